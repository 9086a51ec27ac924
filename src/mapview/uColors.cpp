#include "uColors.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <array>
#include <utility>

namespace {

struct NamedColour {
    const char* name;
    int value;
};

constexpr std::array<NamedColour, 20> namedColours { {
    { "clBlack", 0x000000 },
    { "clMaroon", 0x000080 },
    { "clGreen", 0x008000 },
    { "clOlive", 0x008080 },
    { "clNavy", 0x800000 },
    { "clPurple", 0x800080 },
    { "clTeal", 0x808000 },
    { "clGray", 0x808080 },
    { "clSilver", 0xC0C0C0 },
    { "clRed", 0x0000FF },
    { "clLime", 0x00FF00 },
    { "clYellow", 0x00FFFF },
    { "clBlue", 0xFF0000 },
    { "clFuchsia", 0xFF00FF },
    { "clAqua", 0xFFFF00 },
    { "clWhite", 0xFFFFFF },
    { "clMoneyGreen", 0xC0DCC0 },
    { "clSkyBlue", 0xF0CAA6 },
    { "clMedGray", 0xA4A0A0 },
    { "clCream", 0xF0FBFF },
} };

constexpr int white = 0xFFFFFF;

// The name of a name=value line; empty for a line without one.
QString lineName(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

// Index of the first line named name (letter case ignored), or -1.
qsizetype indexOfName(const QStringList& list, const QString& name)
{
    for (qsizetype i = 0; i < list.size(); ++i)
        if (lineName(list[i]).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The value of name, empty when the name is missing.
QString valueOf(const QStringList& list, const QString& name)
{
    const qsizetype i = indexOfName(list, name);
    return i < 0 ? QString() : list[i].mid(list[i].indexOf(QLatin1Char('=')) + 1).trimmed();
}

} // namespace

QString ColorsFilePath(const QString& appFolder)
{
    return QDir(appFolder).filePath(ColorsFileName);
}

std::optional<int> StringToColor(const QString& value)
{
    const QString text = value.trimmed();
    for (const NamedColour& c : namedColours)
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return c.value;
    QString digits = text;
    int base = 10;
    if (digits.startsWith(QLatin1Char('$'))) {
        digits.remove(0, 1);
        base = 16;
    } else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        digits.remove(0, 2);
        base = 16;
    }
    // No sign or blanks inside, which the number parser would accept.
    if (digits.isEmpty() || !(digits[0].isDigit() || (base == 16 && digits[0].isLetter())))
        return std::nullopt;
    bool ok = false;
    const qulonglong number = digits.toULongLong(&ok, base);
    // Only plain 24-bit colours: a set high byte means a system or palette colour.
    if (!ok || number > 0xFFFFFFu)
        return std::nullopt;
    return int(number);
}


const QStringList& TColorObj::DefaultList()
{
    static const QStringList defaults {
        QStringLiteral("Galaxy=$000000"),
        QStringLiteral("Route=clYellow"),
        QStringLiteral("RouteName=clOlive"),
        QStringLiteral("System=$FF8000"),
        QStringLiteral("RegionJump=$4080FF"),
        QStringLiteral("ConstJump=$C08000"),
        QStringLiteral("SysJump=$804000"),
        QStringLiteral("Legend1=clFuchsia"),
        QStringLiteral("Legend2=$00FF80FF"),
        QStringLiteral("Block=$0000FF"),
        QStringLiteral("Avoid=$0080FF"),
        QStringLiteral("MouseOver=$FFFFFF"),
        QStringLiteral("Character=clYellow"),
        QStringLiteral("CharacterText=$FFFF80"),
    };
    return defaults;
}

TColorObj::TColorObj()
    : m_current(DefaultList())
{
}

void TColorObj::LoadFrom(const QString& fileName)
{
    m_fileName = fileName;
    m_reported.clear();
    QFile file(fileName);
    if (!file.exists()) {
        ResetToDefaults();
        QString error;
        if (!Save(&error) && OnWarning)
            OnWarning(error);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        // Keep drawing with the defaults; the unreadable file is left alone.
        ResetToDefaults();
        if (OnWarning)
            OnWarning(QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString()));
        return;
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    m_current = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TColorObj::ResetToDefaults()
{
    m_current = DefaultList();
}

int TColorObj::GetColor(const QString& name)
{
    const QString value = valueOf(m_current, name);
    if (!value.isEmpty()) {
        if (const auto colour = StringToColor(value))
            return *colour;
        const QString line = m_current[indexOfName(m_current, name)];
        if (!m_reported.contains(line)) {
            m_reported.insert(line);
            if (OnWarning)
                OnWarning(QStringLiteral("%1: \"%2\" is not a colour, the default is used")
                              .arg(m_fileName.isEmpty() ? ColorsFileName : m_fileName, line));
        }
    }
    const QString fallback = valueOf(DefaultList(), name);
    return fallback.isEmpty() ? white : StringToColor(fallback).value_or(white);
}

QStringList TColorObj::ColorNames() const
{
    QStringList names;
    for (const QString& line : m_current) {
        const QString name = lineName(line);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

void TColorObj::SetColor(const QString& name, int colour)
{
    const QString line = name.trimmed() + QLatin1Char('=') + QString::number(colour);
    const qsizetype i = indexOfName(m_current, name);
    if (i < 0)
        m_current << line;
    else
        m_current[i] = line;
}

bool TColorObj::Save(QString* error) const
{
    QSaveFile file(m_fileName);
    QByteArray data;
    for (const QString& line : m_current)
        data += line.toUtf8() + "\r\n";
    if (m_fileName.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(data) != data.size()
        || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2")
                         .arg(m_fileName,
                             m_fileName.isEmpty() ? QStringLiteral("no file name") : file.errorString());
        return false;
    }
    return true;
}
