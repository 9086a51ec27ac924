#pragma once
// The application log VUDoza.log: the lines of this run, newest first, each the local time
// "yyyymmdd hh:nn:ss.zzz", a blank and the message, ended by CR LF.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

inline const QString LogFileName = QStringLiteral("VUDoza.log");

using TClock = std::function<QDateTime()>;

class TAppLog {
public:
    // fileName is replaced at every message; clock gives the local time of each line.
    explicit TAppLog(QString fileName, TClock clock = &QDateTime::currentDateTime);

    // Puts the line at the top and rewrites the file (unless held). False, with the reason in
    // LastError(), when the file could not be written; the line is kept either way.
    bool WriteLog(const QString& message);

    // While held, lines are kept but the file is not touched, so a start that fails leaves
    // the previous run's log as it was. Releasing writes the lines kept so far.
    void Hold() { m_held = true; }
    bool Release();
    bool Held() const { return m_held; }

    const QStringList& Lines() const { return m_lines; } // newest first
    const QString& FileName() const { return m_fileName; }
    const QString& LastError() const { return m_lastError; }

    static QString FormatLine(const QDateTime& time, const QString& message);
    // The file's bytes for the given lines.
    static QByteArray FileText(const QStringList& lines);

private:
    bool Flush();

    QString m_fileName;
    TClock m_clock;
    QStringList m_lines;
    QString m_lastError;
    bool m_held = false;
};
