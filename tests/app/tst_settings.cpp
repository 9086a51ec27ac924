#include "app/settings.h"
#include "model/uGalaxy.h"
#include "qormap_version.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

TSettings Loaded(const QByteArray& text)
{
    TSettings settings;
    LoadSettings(TIniFile::FromText(text), settings);
    return settings;
}

QString OptionName(TOption option)
{
    static const char* names[] = { "DrawJumps", "DrawConstBox", "ShowNames", "SmartNames", "NoNames", "SysClrRegion",
        "SysClrSec", "JmpClrType", "JmpClrSec", "RouteZoom", "RouteNames", "CursorPan", "CursorZoom", "PreferEqual",
        "PreferHigh", "PreferLow", "HotTrack", "ShowCharacters", "MyStation", "RegionHot" };
    static_assert(std::size(names) == OptionCount);
    return QLatin1String(names[std::size_t(option)]);
}

// Names of the checked options (of grouped ones only, when asked), for readable comparisons.
QStringList CheckedNames(const TOptionStates& states, bool groupedOnly = false)
{
    QStringList result;
    for (std::size_t i = 0; i < OptionCount; ++i)
        if (states.Checked(TOption(i)) && (!groupedOnly || OptionGroup(TOption(i)) != 0))
            result << OptionName(TOption(i));
    return result;
}

const QByteArray DefaultFile = "[fileScan]\r\n"
                               "limitDays=30\r\n"
                               "\r\n"
                               "[buttons]\r\n"
                               "DrawJumps=0\r\n"
                               "HotTrack=1\r\n"
                               "ShowCharacters=1\r\n"
                               "DrawConstBox=0\r\n"
                               "MyStation=0\r\n"
                               "RouteZoom=1\r\n"
                               "RouteNames=1\r\n"
                               "SysClrRegion=1\r\n"
                               "PreferEqual=1\r\n"
                               "PreferHigh=0\r\n"
                               "PreferLow=0\r\n"
                               "ShowNames=0\r\n"
                               "SmartNames=1\r\n"
                               "CursorPan=1\r\n"
                               "JmpClrType=1\r\n"
                               "RegionHotTrack=1\r\n"
                               "\r\n"
                               "[application]\r\n"
                               "CheckForUpdateStartup=1\r\n"
                               "\r\n"
                               "[OpenGL]\r\n"
                               "AntiAliasing=2x\r\n";

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void defaultsWhenFileMissing();
    void exclusiveGroups_data();
    void exclusiveGroups();
    void integers_data();
    void integers();
    void booleans_data();
    void booleans();
    void namesIgnoreCaseAndLineEnds();
    void writeOrderOfAFreshFile();
    void debugNeverWrittenButKept();
    void updateKeepsExistingLines();
    void roundTrip();
    void saveReplacesFileWhole();
    void groupRule();
    void applyDisplayOptionsDefaults();
    void executeOption_data();
    void executeOption();
    void versionAndCaption();
};

void TestSettings::defaultsWhenFileMissing()
{
    QTemporaryDir dir;
    TSettings settings;
    settings.DayLimit = 7;
    settings.CheckUpdateAtStart = false;
    settings.AntiAliasing = QStringLiteral("none");
    LoadSettings(TIniFile(dir.filePath(QStringLiteral("vudoza.cfg"))), settings);
    QCOMPARE(settings.DayLimit, 30);
    QCOMPARE(settings.DebugMenu, false);
    QCOMPARE(settings.CheckUpdateAtStart, true);
    QCOMPARE(settings.AntiAliasing, QStringLiteral("2x"));
    // DrawJumps starts checked in the window but defaults to off in the file.
    QCOMPARE(CheckedNames(settings.Options),
        QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "RouteZoom", "RouteNames", "CursorPan",
            "PreferEqual", "HotTrack", "ShowCharacters", "RegionHot" }));
}

void TestSettings::exclusiveGroups_data()
{
    QTest::addColumn<QByteArray>("buttons");
    QTest::addColumn<QStringList>("checkedOfGroups");
    QTest::addColumn<bool>("alwaysNames");
    QTest::addColumn<bool>("smartNames");
    QTest::addColumn<int>("preference");
    QTest::addColumn<bool>("zoomRect");

    // Only options of groups are listed in checkedOfGroups.
    QTest::newRow("both names on: the later key wins")
        << QByteArray("ShowNames=1\nSmartNames=1\n")
        << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "CursorPan", "PreferEqual" }) << false << true
        << 2 << false;
    QTest::newRow("both names off: no names")
        << QByteArray("ShowNames=0\nSmartNames=0\n")
        << QStringList({ "SysClrRegion", "JmpClrType", "CursorPan", "PreferEqual" }) << false << false << 2 << false;
    QTest::newRow("always names") << QByteArray("ShowNames=1\nSmartNames=0\n")
                                  << QStringList({ "ShowNames", "SysClrRegion", "JmpClrType", "CursorPan", "PreferEqual" })
                                  << true << true << 2 << false;
    QTest::newRow("low security") << QByteArray("PreferEqual=0\nPreferHigh=0\nPreferLow=1\n")
                                  << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "CursorPan", "PreferLow" })
                                  << false << true << 1 << false;
    QTest::newRow("no preference leaves the shortest route")
        << QByteArray("PreferEqual=0\nPreferHigh=0\nPreferLow=0\n")
        << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "CursorPan" }) << false << true << 2 << false;
    QTest::newRow("high after equal wins") << QByteArray("PreferEqual=1\nPreferHigh=1\n")
                                           << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "CursorPan", "PreferHigh" })
                                           << false << true << 0 << false;
    QTest::newRow("missing equal read as 1 then high and low")
        << QByteArray("PreferHigh=1\nPreferLow=1\n")
        << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "CursorPan", "PreferLow" }) << false << true << 1
        << false;
    QTest::newRow("pan off: zoom rectangle")
        << QByteArray("CursorPan=0\n") << QStringList({ "SmartNames", "SysClrRegion", "JmpClrType", "PreferEqual" })
        << false << true << 2 << true;
    QTest::newRow("colour pairs take the opposite")
        << QByteArray("SysClrRegion=0\nJmpClrType=0\n")
        << QStringList({ "SmartNames", "SysClrSec", "JmpClrSec", "CursorPan", "PreferEqual" }) << false << true << 2
        << false;
}

void TestSettings::exclusiveGroups()
{
    QFETCH(QByteArray, buttons);
    QFETCH(QStringList, checkedOfGroups);
    QFETCH(bool, alwaysNames);
    QFETCH(bool, smartNames);
    QFETCH(bool, zoomRect);
    const TSettings settings = Loaded("[buttons]\n" + buttons);
    QCOMPARE(CheckedNames(settings.Options, true), checkedOfGroups);

    TGalaxy galaxy(QString(), nullptr);
    // Start away from the expected values so that applying must set them.
    galaxy.AlwaysNames = !alwaysNames;
    galaxy.SmartNames = !smartNames;
    galaxy.ZoomRectMode = !zoomRect;
    galaxy.SecurityPreference = 9;
    ApplyDisplayOptions(settings.Options, galaxy);
    QCOMPARE(galaxy.AlwaysNames, alwaysNames);
    // With always names, SmartNames is left as it was.
    QCOMPARE(galaxy.SmartNames, alwaysNames ? !smartNames : smartNames);
    QTEST(int(galaxy.SecurityPreference), "preference");
    QCOMPARE(galaxy.ZoomRectMode, zoomRect);
}

void TestSettings::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << "45" << 45;
    QTest::newRow("hexadecimal") << "0x2D" << 45;
    QTest::newRow("hexadecimal upper X") << "0X2d" << 45;
    QTest::newRow("blanks around") << "  12  " << 12;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("top bit set") << "0xFFFFFFFF" << -1;
    QTest::newRow("empty") << "" << 30;
    QTest::newRow("prefix only") << "0x" << 30;
    QTest::newRow("letters") << "abc" << 30;
    QTest::newRow("trailing letters") << "12abc" << 30;
    QTest::newRow("too large") << "99999999999" << 30;
    QTest::newRow("hexadecimal too long") << "0x100000000" << 30;
    QTest::newRow("dollar is not hexadecimal") << "$2D" << 30;
    QTest::newRow("hexadecimal with sign") << "0x-1" << 30;
}

void TestSettings::integers()
{
    QFETCH(QString, text);
    const TSettings settings = Loaded("[fileScan]\nlimitDays=" + text.toUtf8() + "\n");
    QTEST(settings.DayLimit, "expected");
}

void TestSettings::booleans_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("drawJumps");
    QTest::addColumn<bool>("hotTrack");
    QTest::newRow("defaults") << QByteArray() << false << true;
    QTest::newRow("one and zero") << QByteArray("DrawJumps=1\nHotTrack=0\n") << true << false;
    QTest::newRow("any non-zero is true") << QByteArray("DrawJumps=2\nHotTrack=-1\n") << true << true;
    QTest::newRow("hexadecimal") << QByteArray("DrawJumps=0x1\nHotTrack=0x0\n") << true << false;
    QTest::newRow("unreadable gives the default") << QByteArray("DrawJumps=yes\nHotTrack=false\n") << false << true;
}

void TestSettings::booleans()
{
    QFETCH(QByteArray, line);
    const TSettings settings = Loaded("[buttons]\n" + line);
    QTEST(settings.Options.Checked(TOption::DrawJumps), "drawJumps");
    QTEST(settings.Options.Checked(TOption::HotTrack), "hotTrack");
}

void TestSettings::namesIgnoreCaseAndLineEnds()
{
    const TIniFile ini = TIniFile::FromText("\xEF\xBB\xBF[FILESCAN]\r\n  LIMITDAYS = 0x10 \r\n[Debug]\ndebug=1\n"
                                            "[OpenGL]\nAntiAliasing=\"4x\"\n[buttons]\nDrawJumps");
    TSettings settings;
    LoadSettings(ini, settings);
    QCOMPARE(settings.DayLimit, 16);
    QCOMPARE(settings.DebugMenu, true);
    QCOMPARE(settings.AntiAliasing, QStringLiteral("4x"));
    QCOMPARE(settings.Options.Checked(TOption::DrawJumps), false); // a line without '=' is no key
}

void TestSettings::writeOrderOfAFreshFile()
{
    TIniFile ini;
    SaveSettings(ini, Loaded(QByteArray()));
    QCOMPARE(ini.ToText(), DefaultFile);
}

void TestSettings::debugNeverWrittenButKept()
{
    TSettings settings = Loaded(QByteArray());
    settings.DebugMenu = true;
    TIniFile fresh;
    SaveSettings(fresh, settings);
    QVERIFY(!fresh.ToText().contains("debug"));

    const QByteArray withDebug = "[debug]\r\ndebug=1\r\n";
    TIniFile ini = TIniFile::FromText(withDebug);
    settings.DebugMenu = false;
    SaveSettings(ini, settings);
    QVERIFY(ini.ToText().startsWith(withDebug + "\r\n[fileScan]\r\n"));
    QCOMPARE(ini.ReadInteger(QStringLiteral("debug"), QStringLiteral("debug"), 0), 1);
}

void TestSettings::updateKeepsExistingLines()
{
    TIniFile ini = TIniFile::FromText("; my settings\n"
                                      "[buttons]\n"
                                      "smartnames=0\n"
                                      "Unknown=7\n"
                                      "\n"
                                      "[fileScan]\n"
                                      "limitDays=0x10\n");
    TSettings settings = Loaded(QByteArray());
    settings.DayLimit = 12;
    SaveSettings(ini, settings);
    const QByteArray text = ini.ToText();
    // Existing keys keep their place and spelling, new ones follow the section's last entry.
    QVERIFY(text.startsWith("; my settings\r\n[buttons]\r\nsmartnames=1\r\nUnknown=7\r\nDrawJumps=0\r\n"));
    QCOMPARE(text.count("martNames=") + text.count("martnames="), 1);
    QVERIFY(text.contains("\r\nJmpClrType=1\r\nRegionHotTrack=1\r\n\r\n[fileScan]\r\nlimitDays=12\r\n\r\n"
                          "[application]\r\nCheckForUpdateStartup=1\r\n\r\n[OpenGL]\r\nAntiAliasing=2x\r\n"));
    QVERIFY(text.endsWith("AntiAliasing=2x\r\n"));
}

void TestSettings::roundTrip()
{
    TSettings settings;
    settings.DayLimit = 5;
    settings.CheckUpdateAtStart = false;
    settings.AntiAliasing = QStringLiteral("8x");
    for (TOption o : { TOption::DrawJumps, TOption::NoNames, TOption::SysClrSec, TOption::JmpClrSec,
             TOption::CursorZoom, TOption::PreferHigh, TOption::MyStation })
        settings.Options.SetChecked(o, true);
    for (TOption o : { TOption::RouteZoom, TOption::HotTrack, TOption::RegionHot })
        settings.Options.SetChecked(o, false);
    TIniFile ini;
    SaveSettings(ini, settings);
    TSettings read = Loaded(ini.ToText());
    QCOMPARE(read.DayLimit, 5);
    QCOMPARE(read.CheckUpdateAtStart, false);
    QCOMPARE(read.AntiAliasing, QStringLiteral("8x"));
    // Neither NoNames nor CursorZoom has a key: reading leaves them as they were, and their
    // groups' keyed options read as off.
    TOptionStates expected = settings.Options;
    expected.SetChecked(TOption::NoNames, false);
    expected.SetChecked(TOption::CursorZoom, false);
    QCOMPARE(CheckedNames(read.Options), CheckedNames(expected));
}

void TestSettings::saveReplacesFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vudoza.cfg"));
    TIniFile ini;
    SaveSettings(ini, Loaded(QByteArray()));
    QVERIFY(ini.SaveTo(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), DefaultFile);
    QString error;
    QVERIFY(!ini.SaveTo(dir.filePath(QStringLiteral("missing/vudoza.cfg")), &error));
    QVERIFY(error.contains(QLatin1String("missing/vudoza.cfg")));
}

void TestSettings::groupRule()
{
    TOptionStates s = TOptionStates::Initial();
    QVERIFY(s.Checked(TOption::DrawJumps));
    s.SetChecked(TOption::NoNames, true);
    QVERIFY(!s.Checked(TOption::SmartNames));
    QVERIFY(!s.Checked(TOption::ShowNames));
    s.SetChecked(TOption::NoNames, false);
    QVERIFY(!s.Checked(TOption::SmartNames)); // unchecking checks nothing else
    s.SetChecked(TOption::PreferLow, true);
    QVERIFY(s.Checked(TOption::PreferLow));
    QVERIFY(!s.Checked(TOption::PreferEqual));
    QVERIFY(s.Checked(TOption::CursorPan)); // other groups untouched
    QCOMPARE(OptionGroup(TOption::CursorZoom), 4);
    QCOMPARE(OptionGroup(TOption::PreferHigh), 6);
    QCOMPARE(OptionGroup(TOption::RegionHot), 0);
}

void TestSettings::applyDisplayOptionsDefaults()
{
    TGalaxy galaxy(QString(), nullptr);
    galaxy.DrawJumps = true;
    galaxy.JumpColourMode = 2;
    galaxy.SystemColourMode = 2;
    galaxy.HotTrack = false;
    ApplyDisplayOptions(Loaded(QByteArray()).Options, galaxy);
    QCOMPARE(galaxy.DrawJumps, false);
    QCOMPARE(galaxy.HotTrack, true);
    QCOMPARE(galaxy.ShowCharacters, true);
    QCOMPARE(galaxy.DrawConstBoxes, false);
    QCOMPARE(galaxy.ShowMyStations, false);
    QCOMPARE(galaxy.RouteZoom, true);
    QCOMPARE(galaxy.RouteNames, true);
    QCOMPARE(galaxy.RegionHotTrack, true);
    QCOMPARE(int(galaxy.SystemColourMode), 0);
    QCOMPARE(int(galaxy.JumpColourMode), 1);
    QCOMPARE(int(galaxy.SecurityPreference), 2);
    QCOMPARE(galaxy.AlwaysNames, false);
    QCOMPARE(galaxy.SmartNames, true);
    QCOMPARE(galaxy.ZoomRectMode, false);
}

void TestSettings::executeOption_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("followUp");
    const int none = int(TOptionFollowUp::None), redraw = int(TOptionFollowUp::Redraw),
              recalc = int(TOptionFollowUp::Recalculate);
    auto row = [](const char* tag, TOption o, bool checked, const char* field, int value, int follow) {
        QTest::newRow(tag) << int(o) << checked << QString::fromLatin1(field) << value << follow;
    };
    row("DrawJumps on", TOption::DrawJumps, true, "DrawJumps", 1, redraw);
    row("DrawJumps off", TOption::DrawJumps, false, "DrawJumps", 0, redraw);
    row("DrawConstBox", TOption::DrawConstBox, true, "DrawConstBoxes", 1, redraw);
    row("ShowNames", TOption::ShowNames, true, "AlwaysNames", 1, redraw);
    row("SmartNames sets smart", TOption::SmartNames, true, "SmartNames", 1, redraw);
    row("SmartNames clears always", TOption::SmartNames, true, "AlwaysNames", 0, redraw);
    row("NoNames clears smart", TOption::NoNames, true, "SmartNames", 0, redraw);
    row("NoNames clears always", TOption::NoNames, true, "AlwaysNames", 0, redraw);
    row("SysClrRegion", TOption::SysClrRegion, true, "SystemColourMode", 0, redraw);
    row("SysClrSec", TOption::SysClrSec, true, "SystemColourMode", 2, redraw);
    row("JmpClrType", TOption::JmpClrType, true, "JumpColourMode", 1, redraw);
    row("JmpClrSec", TOption::JmpClrSec, true, "JumpColourMode", 2, redraw);
    row("RouteZoom without redraw", TOption::RouteZoom, false, "RouteZoom", 0, none);
    row("RouteNames", TOption::RouteNames, false, "RouteNames", 0, redraw);
    row("HotTrack without redraw", TOption::HotTrack, false, "HotTrack", 0, none);
    row("RegionHot without redraw", TOption::RegionHot, false, "RegionHotTrack", 0, none);
    row("ShowCharacters", TOption::ShowCharacters, false, "ShowCharacters", 0, redraw);
    row("MyStation", TOption::MyStation, true, "ShowMyStations", 1, redraw);
    row("CursorPan", TOption::CursorPan, true, "ZoomRectMode", 0, none);
    row("CursorZoom", TOption::CursorZoom, true, "ZoomRectMode", 1, none);
    row("PreferEqual", TOption::PreferEqual, true, "SecurityPreference", 2, recalc);
    row("PreferHigh", TOption::PreferHigh, true, "SecurityPreference", 0, recalc);
    row("PreferLow", TOption::PreferLow, true, "SecurityPreference", 1, recalc);
}

void TestSettings::executeOption()
{
    QFETCH(int, option);
    QFETCH(bool, checked);
    QFETCH(QString, field);
    QFETCH(int, value);
    TGalaxy galaxy(QString(), nullptr);
    // Start every field away from the expected value so the handler must set it.
    galaxy.DrawJumps = galaxy.DrawConstBoxes = galaxy.AlwaysNames = galaxy.SmartNames = galaxy.RouteZoom
        = galaxy.RouteNames = galaxy.HotTrack = galaxy.RegionHotTrack = galaxy.ShowCharacters
        = galaxy.ShowMyStations = galaxy.ZoomRectMode = !value;
    galaxy.SystemColourMode = galaxy.JumpColourMode = galaxy.SecurityPreference = quint8(value == 0 ? 9 : 0);
    const TOptionFollowUp follow = ExecuteOption(TOption(option), checked, galaxy);
    const QHash<QString, int> fields = {
        { "DrawJumps", galaxy.DrawJumps },
        { "DrawConstBoxes", galaxy.DrawConstBoxes },
        { "AlwaysNames", galaxy.AlwaysNames },
        { "SmartNames", galaxy.SmartNames },
        { "RouteZoom", galaxy.RouteZoom },
        { "RouteNames", galaxy.RouteNames },
        { "HotTrack", galaxy.HotTrack },
        { "RegionHotTrack", galaxy.RegionHotTrack },
        { "ShowCharacters", galaxy.ShowCharacters },
        { "ShowMyStations", galaxy.ShowMyStations },
        { "ZoomRectMode", galaxy.ZoomRectMode },
        { "SystemColourMode", galaxy.SystemColourMode },
        { "JumpColourMode", galaxy.JumpColourMode },
        { "SecurityPreference", galaxy.SecurityPreference },
    };
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field), value);
    QTEST(int(follow), "followUp");
}

void TestSettings::versionAndCaption()
{
    const QString version = GetVersionInfo(QStringLiteral("FileVersion"));
    QCOMPARE(version, QStringLiteral(QORMAP_VERSION));
    QCOMPARE(version.split(QLatin1Char('.')).size(), 4);
    QCOMPARE(GetVersionInfo(QStringLiteral("CompanyName")), QString());
    QCOMPARE(MainCaption(QStringLiteral("0.0.6.0")), QStringLiteral("QOR MAP v0.0.6.0"));
    QCOMPARE(MainCaption(QString()), QStringLiteral("QOR MAP v"));
    QCOMPARE(CFG().DialogFlag, false);
    QVERIFY(CFG().UpdateURL.isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
