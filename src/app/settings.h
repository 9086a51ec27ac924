#pragma once
// The settings file vudoza.cfg: an INI reader and writer that keeps the file's own lines,
// the option actions' checked states with their exclusive groups, the settings record,
// and the copy of the display options into the galaxy.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <optional>

class TGalaxy;

inline const QString SettingsFileName = QStringLiteral("vudoza.cfg");
inline const QString LayoutFileName = QStringLiteral("layout.cfg");

// An INI file held as its lines: section lines "[name]" and key=value lines. Section and
// key names compare without letter case. Writing a key replaces its value in place, adds a
// missing key after the last entry of its section, and a missing section (after a blank
// line) at the end; every other line is kept. Saved lines end with CR LF.
class TIniFile {
public:
    TIniFile() = default;
    // Reads fileName; a missing or unreadable file gives an empty INI.
    explicit TIniFile(const QString& fileName);
    static TIniFile FromText(const QByteArray& text);

    // The value with surrounding blanks (and one pair of matching quotes) removed;
    // nothing when the section or key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal, or hexadecimal after "0x"; a missing key or an unreadable value gives defaultValue.
    qint32 ReadInteger(const QString& section, const QString& key, qint32 defaultValue) const;
    // ReadInteger, non-zero meaning true.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, qint32 value);
    void WriteBool(const QString& section, const QString& key, bool value); // "1" or "0"

    QByteArray ToText() const;
    // Replaces fileName as a whole (never half-written); false and error on failure.
    bool SaveTo(const QString& fileName, QString* error = nullptr) const;

    static std::optional<qint32> ParseInteger(const QString& text);

private:
    struct Line {
        QString text;    // the line as read or written
        QString section; // section header name, when this is a header
        QString key;     // key of a key=value line (trimmed)
        QString value;   // value of a key=value line (trimmed)
        bool isSection = false;
        bool isEntry = false;
    };
    int FindSection(const QString& section) const; // index of its header line, or -1
    int FindEntry(const QString& section, const QString& key) const;
    static Line ParseLine(const QString& text);

    QList<Line> m_lines;
};

// The checkable option actions whose state the settings file keeps.
enum class TOption : int {
    DrawJumps,
    DrawConstBox,
    ShowNames,
    SmartNames,
    NoNames,
    SysClrRegion,
    SysClrSec,
    JmpClrType,
    JmpClrSec,
    RouteZoom,
    RouteNames,
    CursorPan,
    CursorZoom,
    PreferEqual,
    PreferHigh,
    PreferLow,
    HotTrack,
    ShowCharacters,
    MyStation,
    RegionHot,
};
inline constexpr std::size_t OptionCount = std::size_t(TOption::RegionHot) + 1;

// The exclusive group number of an option action; 0 when it has none.
int OptionGroup(TOption option);

// Checked states of the option actions with the rule of exclusive groups: checking one
// unchecks the others of its group; unchecking leaves the group possibly without any.
class TOptionStates {
public:
    // The states the main window starts with, before the settings are read.
    static TOptionStates Initial();

    bool Checked(TOption option) const { return m_checked[std::size_t(option)]; }
    void SetChecked(TOption option, bool checked);

    bool operator==(const TOptionStates&) const = default;

private:
    std::array<bool, OptionCount> m_checked {};
};

// Everything vudoza.cfg holds.
struct TSettings {
    TOptionStates Options = TOptionStates::Initial();
    qint32 DayLimit = 30;
    bool DebugMenu = false;
    bool CheckUpdateAtStart = true;
    QString AntiAliasing = QStringLiteral("2x");
};

// Sets every value from ini in the file's table order, missing keys giving their defaults;
// options are set one after another on top of settings.Options, so within a group the
// last key read as true wins.
void LoadSettings(const TIniFile& ini, TSettings& settings);
// Writes every value except debug, in the settings file's write order.
void SaveSettings(TIniFile& ini, const TSettings& settings);

// Copies the options into the galaxy's display options and security preference.
void ApplyDisplayOptions(const TOptionStates& options, TGalaxy& galaxy);

// What the main window does after an option action has changed the galaxy.
enum class TOptionFollowUp { None, Redraw, Recalculate };
// The effect of executing an option action whose state is now checked.
TOptionFollowUp ExecuteOption(TOption option, bool checked, TGalaxy& galaxy);

// The process-wide configuration record.
struct TCFG {
    QString UpdateURL;       // base address of the version check; set by the update check
    bool DialogFlag = false; // handed to the message dialog
};
TCFG& CFG();

// A string of the application's version information: "FileVersion" and "ProductVersion"
// give the four-part version; any other key gives an empty text.
QString GetVersionInfo(const QString& key);
// "QOR MAP v%s" with the given version.
QString MainCaption(const QString& fileVersion);
