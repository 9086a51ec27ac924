#include "settings.h"

#include "model/uGalaxy.h"
#include "qormap_version.h"

#include <QFile>
#include <QSaveFile>

#include <cctype>

namespace {

const QString Crlf = QStringLiteral("\r\n");

// Windows drops one pair of matching quotes around a value.
QString Unquote(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(const QString& fileName)
{
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly))
        *this = FromText(file.readAll());
}

TIniFile TIniFile::FromText(const QByteArray& text)
{
    TIniFile ini;
    QString all = QString::fromUtf8(text);
    if (all.startsWith(QChar(0xFEFF)))
        all.remove(0, 1);
    QStringList lines = all.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the final line end
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        ini.m_lines.append(ParseLine(line));
    }
    return ini;
}

TIniFile::Line TIniFile::ParseLine(const QString& text)
{
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
        if (close > 0) {
            line.isSection = true;
            line.section = trimmed.mid(1, close - 1).trimmed();
            return line;
        }
    }
    if (trimmed.startsWith(QLatin1Char(';')))
        return line;
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq > 0) {
        line.isEntry = true;
        line.key = trimmed.left(eq).trimmed();
        line.value = trimmed.mid(eq + 1).trimmed();
    }
    return line;
}

int TIniFile::FindSection(const QString& section) const
{
    for (int i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].isSection && SameName(m_lines[i].section, section))
            return i;
    return -1;
}

int TIniFile::FindEntry(const QString& section, const QString& key) const
{
    const int header = FindSection(section);
    if (header < 0)
        return -1;
    for (int i = header + 1; i < m_lines.size() && !m_lines[i].isSection; ++i)
        if (m_lines[i].isEntry && SameName(m_lines[i].key, key))
            return i;
    return -1;
}

std::optional<QString> TIniFile::Value(const QString& section, const QString& key) const
{
    const int i = FindEntry(section, key);
    if (i < 0)
        return std::nullopt;
    return Unquote(m_lines[i].value);
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return Value(section, key).value_or(defaultValue);
}

std::optional<qint32> TIniFile::ParseInteger(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        // Up to 32 bits; the top bit makes a negative number, as in the original's reader.
        if (digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        for (QChar c : digits)
            if (c.unicode() >= 128 || !std::isxdigit(c.toLatin1()))
                return std::nullopt;
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<qint32>(qint32(value)) : std::nullopt;
    }
    const int value = t.toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

qint32 TIniFile::ReadInteger(const QString& section, const QString& key, qint32 defaultValue) const
{
    const std::optional<QString> text = Value(section, key);
    if (!text)
        return defaultValue;
    return ParseInteger(*text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const int existing = FindEntry(section, key);
    if (existing >= 0) {
        Line& line = m_lines[existing];
        line = ParseLine(line.key + QLatin1Char('=') + value);
        return;
    }
    const Line entry = ParseLine(key + QLatin1Char('=') + value);
    const int header = FindSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_lines.back().text.trimmed().isEmpty())
            m_lines.append(ParseLine(QString()));
        m_lines.append(ParseLine(QLatin1Char('[') + section + QLatin1Char(']')));
        m_lines.append(entry);
        return;
    }
    // After the section's last non-blank line, so blank lines keep separating sections.
    int last = header;
    for (int i = header + 1; i < m_lines.size() && !m_lines[i].isSection; ++i)
        if (!m_lines[i].text.trimmed().isEmpty())
            last = i;
    m_lines.insert(last + 1, entry);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, qint32 value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray TIniFile::ToText() const
{
    QString text;
    for (const Line& line : m_lines)
        text += line.text + Crlf;
    return text.toUtf8();
}

bool TIniFile::SaveTo(const QString& fileName, QString* error) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(ToText()) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Options

int OptionGroup(TOption option)
{
    switch (option) {
    case TOption::ShowNames:
    case TOption::SmartNames:
    case TOption::NoNames:
        return 1;
    case TOption::SysClrRegion:
    case TOption::SysClrSec:
        return 2;
    case TOption::JmpClrType:
    case TOption::JmpClrSec:
        return 3;
    case TOption::CursorPan:
    case TOption::CursorZoom:
        return 4;
    case TOption::PreferEqual:
    case TOption::PreferHigh:
    case TOption::PreferLow:
        return 6;
    default:
        return 0;
    }
}

TOptionStates TOptionStates::Initial()
{
    TOptionStates s;
    for (TOption o : { TOption::DrawJumps, TOption::SmartNames, TOption::SysClrRegion, TOption::JmpClrType,
             TOption::RouteZoom, TOption::RouteNames, TOption::CursorPan, TOption::PreferEqual, TOption::HotTrack,
             TOption::ShowCharacters, TOption::RegionHot })
        s.m_checked[std::size_t(o)] = true;
    return s;
}

void TOptionStates::SetChecked(TOption option, bool checked)
{
    const int group = OptionGroup(option);
    if (checked && group != 0) {
        for (std::size_t i = 0; i < OptionCount; ++i)
            if (OptionGroup(TOption(i)) == group)
                m_checked[i] = false;
    }
    m_checked[std::size_t(option)] = checked;
}

// ---------------------------------------------------------------------------------------------
// vudoza.cfg

namespace {

const QString Buttons = QStringLiteral("buttons");

// The buttons keys in the file's table order, with their defaults.
struct ButtonKey {
    const char* key;
    TOption option;
    bool defaultValue;
};
constexpr ButtonKey ButtonKeys[] = {
    { "DrawJumps", TOption::DrawJumps, false },
    { "HotTrack", TOption::HotTrack, true },
    { "ShowCharacters", TOption::ShowCharacters, true },
    { "DrawConstBox", TOption::DrawConstBox, false },
    { "MyStation", TOption::MyStation, false },
    { "RouteZoom", TOption::RouteZoom, true },
    { "RouteNames", TOption::RouteNames, true },
    { "SysClrRegion", TOption::SysClrRegion, true },
    { "PreferEqual", TOption::PreferEqual, true },
    { "PreferHigh", TOption::PreferHigh, false },
    { "PreferLow", TOption::PreferLow, false },
    { "ShowNames", TOption::ShowNames, false },
    { "SmartNames", TOption::SmartNames, true },
    { "CursorPan", TOption::CursorPan, true },
    { "JmpClrType", TOption::JmpClrType, true },
    { "RegionHotTrack", TOption::RegionHot, true },
};

const ButtonKey& Button(TOption option)
{
    for (const ButtonKey& b : ButtonKeys)
        if (b.option == option)
            return b;
    Q_UNREACHABLE();
}

} // namespace

void LoadSettings(const TIniFile& ini, TSettings& settings)
{
    settings.DayLimit = ini.ReadInteger(QStringLiteral("fileScan"), QStringLiteral("limitDays"), 30);
    TOptionStates& o = settings.Options;
    for (const ButtonKey& b : ButtonKeys) {
        const bool value = ini.ReadBool(Buttons, QLatin1String(b.key), b.defaultValue);
        o.SetChecked(b.option, value);
        // The colour modes are pairs: the other action of the pair takes the opposite.
        if (b.option == TOption::SysClrRegion)
            o.SetChecked(TOption::SysClrSec, !value);
        else if (b.option == TOption::JmpClrType)
            o.SetChecked(TOption::JmpClrSec, !value);
    }
    settings.DebugMenu = ini.ReadBool(QStringLiteral("debug"), QStringLiteral("debug"), false);
    settings.CheckUpdateAtStart
        = ini.ReadBool(QStringLiteral("application"), QStringLiteral("CheckForUpdateStartup"), true);
    settings.AntiAliasing = ini.ReadString(QStringLiteral("OpenGL"), QStringLiteral("AntiAliasing"), QStringLiteral("2x"));
}

void SaveSettings(TIniFile& ini, const TSettings& settings)
{
    const TOptionStates& o = settings.Options;
    auto button = [&](TOption option) { ini.WriteBool(Buttons, QLatin1String(Button(option).key), o.Checked(option)); };
    ini.WriteInteger(QStringLiteral("fileScan"), QStringLiteral("limitDays"), settings.DayLimit);
    for (TOption option : { TOption::DrawJumps, TOption::HotTrack, TOption::ShowCharacters, TOption::DrawConstBox,
             TOption::MyStation, TOption::RouteZoom, TOption::RouteNames, TOption::SysClrRegion, TOption::PreferEqual,
             TOption::PreferHigh, TOption::PreferLow, TOption::ShowNames, TOption::SmartNames, TOption::CursorPan,
             TOption::JmpClrType })
        button(option);
    ini.WriteBool(QStringLiteral("application"), QStringLiteral("CheckForUpdateStartup"), settings.CheckUpdateAtStart);
    ini.WriteString(QStringLiteral("OpenGL"), QStringLiteral("AntiAliasing"), settings.AntiAliasing);
    button(TOption::RegionHot);
}

// ---------------------------------------------------------------------------------------------
// Display options

void ApplyDisplayOptions(const TOptionStates& o, TGalaxy& galaxy)
{
    galaxy.DrawJumps = o.Checked(TOption::DrawJumps);
    galaxy.HotTrack = o.Checked(TOption::HotTrack);
    galaxy.ShowCharacters = o.Checked(TOption::ShowCharacters);
    galaxy.DrawConstBoxes = o.Checked(TOption::DrawConstBox);
    galaxy.ShowMyStations = o.Checked(TOption::MyStation);
    galaxy.RouteZoom = o.Checked(TOption::RouteZoom);
    galaxy.RouteNames = o.Checked(TOption::RouteNames);
    galaxy.RegionHotTrack = o.Checked(TOption::RegionHot);
    galaxy.SystemColourMode = o.Checked(TOption::SysClrRegion) ? 0 : 2;
    if (o.Checked(TOption::PreferEqual))
        galaxy.SecurityPreference = 2;
    else if (o.Checked(TOption::PreferHigh))
        galaxy.SecurityPreference = 0;
    else if (o.Checked(TOption::PreferLow))
        galaxy.SecurityPreference = 1;
    else
        galaxy.SecurityPreference = 2;
    if (o.Checked(TOption::ShowNames)) {
        galaxy.AlwaysNames = true;
    } else {
        galaxy.AlwaysNames = false;
        galaxy.SmartNames = o.Checked(TOption::SmartNames);
    }
    galaxy.ZoomRectMode = !o.Checked(TOption::CursorPan);
    galaxy.JumpColourMode = o.Checked(TOption::JmpClrType) ? 1 : 2;
}

TOptionFollowUp ExecuteOption(TOption option, bool checked, TGalaxy& galaxy)
{
    using F = TOptionFollowUp;
    switch (option) {
    case TOption::DrawJumps:
        galaxy.DrawJumps = checked;
        return F::Redraw;
    case TOption::DrawConstBox:
        galaxy.DrawConstBoxes = checked;
        return F::Redraw;
    case TOption::ShowNames:
        galaxy.AlwaysNames = checked;
        return F::Redraw;
    case TOption::SmartNames:
        galaxy.AlwaysNames = false;
        galaxy.SmartNames = true;
        return F::Redraw;
    case TOption::NoNames:
        galaxy.AlwaysNames = false;
        galaxy.SmartNames = false;
        return F::Redraw;
    case TOption::SysClrRegion:
        galaxy.SystemColourMode = 0;
        return F::Redraw;
    case TOption::SysClrSec:
        galaxy.SystemColourMode = 2;
        return F::Redraw;
    case TOption::JmpClrType:
        galaxy.JumpColourMode = 1;
        return F::Redraw;
    case TOption::JmpClrSec:
        galaxy.JumpColourMode = 2;
        return F::Redraw;
    case TOption::RouteZoom:
        galaxy.RouteZoom = checked;
        return F::None;
    case TOption::RouteNames:
        galaxy.RouteNames = checked;
        return F::Redraw;
    case TOption::CursorPan:
        galaxy.ZoomRectMode = false;
        return F::None;
    case TOption::CursorZoom:
        galaxy.ZoomRectMode = true;
        return F::None;
    case TOption::PreferEqual:
        galaxy.SecurityPreference = 2;
        return F::Recalculate;
    case TOption::PreferHigh:
        galaxy.SecurityPreference = 0;
        return F::Recalculate;
    case TOption::PreferLow:
        galaxy.SecurityPreference = 1;
        return F::Recalculate;
    case TOption::HotTrack:
        galaxy.HotTrack = checked;
        return F::None;
    case TOption::ShowCharacters:
        galaxy.ShowCharacters = checked;
        return F::Redraw;
    case TOption::MyStation:
        galaxy.ShowMyStations = checked;
        return F::Redraw;
    case TOption::RegionHot:
        galaxy.RegionHotTrack = checked;
        return F::None;
    }
    return F::None;
}

// ---------------------------------------------------------------------------------------------

TCFG& CFG()
{
    static TCFG cfg;
    return cfg;
}

QString GetVersionInfo(const QString& key)
{
    if (key == QLatin1String("FileVersion") || key == QLatin1String("ProductVersion"))
        return QStringLiteral(QORMAP_VERSION);
    return {};
}

QString MainCaption(const QString& fileVersion)
{
    return QStringLiteral("QOR MAP v%1").arg(fileVersion);
}
