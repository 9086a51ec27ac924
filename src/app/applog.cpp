#include "applog.h"

#include <QSaveFile>

TAppLog::TAppLog(QString fileName, TClock clock) : m_fileName(std::move(fileName)), m_clock(std::move(clock)) { }

QString TAppLog::FormatLine(const QDateTime& time, const QString& message)
{
    return QStringLiteral("%1 %2").arg(time.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz")), message);
}

QByteArray TAppLog::FileText(const QStringList& lines)
{
    QByteArray text;
    for (const QString& line : lines)
        text += line.toUtf8() + "\r\n";
    return text;
}

bool TAppLog::WriteLog(const QString& message)
{
    m_lines.prepend(FormatLine(m_clock(), message));
    return m_held || Flush();
}

bool TAppLog::Release()
{
    m_held = false;
    // Nothing logged: the previous run's file stays as it is, as without holding.
    return m_lines.isEmpty() || Flush();
}

bool TAppLog::Flush()
{
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(FileText(m_lines)) < 0 || !file.commit()) {
        m_lastError = QStringLiteral("cannot write %1: %2").arg(m_fileName, file.errorString());
        return false;
    }
    m_lastError.clear();
    return true;
}
