#include "mapview/uColors.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray defaultFile = "Galaxy=$000000\r\n"
                               "Route=clYellow\r\n"
                               "RouteName=clOlive\r\n"
                               "System=$FF8000\r\n"
                               "RegionJump=$4080FF\r\n"
                               "ConstJump=$C08000\r\n"
                               "SysJump=$804000\r\n"
                               "Legend1=clFuchsia\r\n"
                               "Legend2=$00FF80FF\r\n"
                               "Block=$0000FF\r\n"
                               "Avoid=$0080FF\r\n"
                               "MouseOver=$FFFFFF\r\n"
                               "Character=clYellow\r\n"
                               "CharacterText=$FFFF80\r\n";

using testsupport::readFile;
using testsupport::writeFile;

} // namespace

class TestColors : public QObject {
    Q_OBJECT

private slots:
    void init();

    void stringToColor_data();
    void stringToColor();
    void qColorConversion();

    void missingFileIsCreatedWithDefaults();
    void defaultColours_data();
    void defaultColours();
    void lookupFromFile_data();
    void lookupFromFile();
    void colorNamesInFileOrder();
    void roundTripIsByteExact();
    void setColorWritesDecimalAndReloads();
    void setColorAddsMissingName();
    void resetToDefaults();
    void badValueReportedOnceDefaultUsedFileUntouched();
    void unwritableFolderIsReported();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TestColors::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = ColorsFilePath(m_dir->path());
}

void TestColors::stringToColor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: no colour

    QTest::newRow("identifier") << "clYellow" << 0x00FFFF;
    QTest::newRow("identifier any case") << "CLRED" << 0x0000FF;
    QTest::newRow("last identifier") << "clCream" << 0xF0FBFF;
    QTest::newRow("hex is BGR") << "$FF8000" << 0xFF8000;
    QTest::newRow("eight hex digits") << "$00FF80FF" << 0xFF80FF;
    QTest::newRow("lower-case hex") << "$ff8000" << 0xFF8000;
    QTest::newRow("0x hex") << "0x4080FF" << 0x4080FF;
    QTest::newRow("decimal") << "65535" << 0x00FFFF;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("blanks around") << " 255 " << 255;
    QTest::newRow("unknown identifier") << "clPink" << -1;
    QTest::newRow("system colour") << "clBtnFace" << -1;
    QTest::newRow("text") << "red" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("dollar only") << "$" << -1;
    QTest::newRow("negative") << "-16777201" << -1;
    QTest::newRow("sign") << "+5" << -1;
    QTest::newRow("high byte set") << "$01FF80FF" << -1;
    QTest::newRow("too large decimal") << "16777216" << -1;
    QTest::newRow("bad hex digit") << "$FG0000" << -1;
}

void TestColors::stringToColor()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(StringToColor(text).value_or(-1), expected);
}

void TestColors::qColorConversion()
{
    QCOMPARE(ToQColor(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(ToQColor(0xFF8000), QColor(0, 0x80, 0xFF));
    QCOMPARE(ToQColor(0x123456), QColor(0x56, 0x34, 0x12));
    QCOMPARE(FromQColor(QColor(0x56, 0x34, 0x12)), 0x123456);
    QCOMPARE(FromQColor(Qt::yellow), 65535);
}

void TestColors::missingFileIsCreatedWithDefaults()
{
    TColorObj colours;
    QStringList warnings;
    colours.OnWarning = [&](const QString& w) { warnings << w; };
    colours.LoadFrom(m_file);
    QVERIFY(warnings.isEmpty());
    QCOMPARE(readFile(m_file), defaultFile);
    QCOMPARE(colours.FileName(), m_file);
    QCOMPARE(colours.ColorNames(),
        QStringList({ "Galaxy", "Route", "RouteName", "System", "RegionJump", "ConstJump", "SysJump",
            "Legend1", "Legend2", "Block", "Avoid", "MouseOver", "Character", "CharacterText" }));
}

void TestColors::defaultColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("colour");

    QTest::newRow("Galaxy") << "Galaxy" << 0x000000;
    QTest::newRow("Route") << "Route" << 0x00FFFF;
    QTest::newRow("RouteName") << "RouteName" << 0x008080;
    QTest::newRow("System") << "System" << 0xFF8000;
    QTest::newRow("Legend1") << "Legend1" << 0xFF00FF;
    QTest::newRow("Legend2") << "Legend2" << 0xFF80FF;
    QTest::newRow("Block") << "Block" << 0x0000FF;
    QTest::newRow("CharacterText") << "CharacterText" << 0xFFFF80;
    QTest::newRow("MyStation is white") << "MyStation" << 0xFFFFFF;
    QTest::newRow("unknown is white") << "Nothing" << 0xFFFFFF;
}

void TestColors::defaultColours()
{
    QFETCH(QString, name);
    QFETCH(int, colour);
    TColorObj colours;
    colours.LoadFrom(m_file);
    QCOMPARE(colours.GetColor(name), colour);
}

void TestColors::lookupFromFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("colour");

    QTest::newRow("single line: its name") << QByteArray("Route=clRed\r\n") << "Route" << 0x0000FF;
    QTest::newRow("single line: other default") << QByteArray("Route=clRed\r\n") << "System" << 0xFF8000;
    QTest::newRow("single line: named default") << QByteArray("Route=clRed\r\n") << "Character" << 0x00FFFF;
    QTest::newRow("lower-case name") << QByteArray("route=255\r\n") << "Route" << 255;
    QTest::newRow("upper-case name") << QByteArray("MYSTATION=$00FF00\r\n") << "MyStation" << 0x00FF00;
    QTest::newRow("blanks around") << QByteArray("Route = 255 \r\n") << "Route" << 255;
    QTest::newRow("first of two lines") << QByteArray("Route=1\r\nRoute=2\r\n") << "Route" << 1;
    QTest::newRow("empty value") << QByteArray("Route=\r\n") << "Route" << 0x00FFFF;
    QTest::newRow("line without name") << QByteArray("junk\r\nRoute=5\r\n") << "Route" << 5;
}

void TestColors::lookupFromFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(int, colour);
    writeFile(m_file, content);
    TColorObj colours;
    colours.LoadFrom(m_file);
    QCOMPARE(colours.GetColor(name), colour);
    QCOMPARE(readFile(m_file), content);
}

void TestColors::colorNamesInFileOrder()
{
    writeFile(m_file, "junk\r\nRoute=clRed\r\n=5\r\nmyStation=0\r\n");
    TColorObj colours;
    colours.LoadFrom(m_file);
    QCOMPARE(colours.ColorNames(), QStringList({ "Route", "myStation" }));
}

void TestColors::roundTripIsByteExact()
{
    const QByteArray custom = "Galaxy=0\r\nRoute=clRed\r\nMyStation=$00FF00\r\nSystem=16744448\r\n";
    writeFile(m_file, custom);
    TColorObj colours;
    colours.LoadFrom(m_file);
    QVERIFY(colours.Save());
    QCOMPARE(readFile(m_file), custom);

    // Bare LF lines load alike and are written back with CR LF.
    writeFile(m_file, "Galaxy=0\nRoute=clRed\n");
    colours.LoadFrom(m_file);
    QCOMPARE(colours.CurrentList(), QStringList({ "Galaxy=0", "Route=clRed" }));
    QVERIFY(colours.Save());
    QCOMPARE(readFile(m_file), QByteArray("Galaxy=0\r\nRoute=clRed\r\n"));
}

void TestColors::setColorWritesDecimalAndReloads()
{
    TColorObj colours;
    colours.LoadFrom(m_file);
    colours.SetColor("Route", FromQColor(Qt::yellow));
    QVERIFY(colours.Save());
    QByteArray expected = defaultFile;
    expected.replace("Route=clYellow\r\n", "Route=65535\r\n");
    QCOMPARE(readFile(m_file), expected);

    TColorObj next;
    QStringList warnings;
    next.OnWarning = [&](const QString& w) { warnings << w; };
    next.LoadFrom(m_file);
    QCOMPARE(next.GetColor("Route"), 65535);
    QCOMPARE(next.ColorNames().size(), 14);
    QVERIFY(warnings.isEmpty());
}

void TestColors::setColorAddsMissingName()
{
    writeFile(m_file, "Route=clRed\r\n");
    TColorObj colours;
    colours.LoadFrom(m_file);
    colours.SetColor("MyStation", 0x00FF00);
    colours.SetColor("route", 0xFF0000);
    QVERIFY(colours.Save());
    QCOMPARE(readFile(m_file), QByteArray("route=16711680\r\nMyStation=65280\r\n"));
    QCOMPARE(colours.GetColor("MyStation"), 0x00FF00);
    QCOMPARE(colours.GetColor("Route"), 0xFF0000);
}

void TestColors::resetToDefaults()
{
    writeFile(m_file, "Route=clRed\r\n");
    TColorObj colours;
    colours.LoadFrom(m_file);
    colours.ResetToDefaults();
    QCOMPARE(colours.GetColor("Route"), 0x00FFFF);
    QCOMPARE(readFile(m_file), QByteArray("Route=clRed\r\n"));
    QVERIFY(colours.Save());
    QCOMPARE(readFile(m_file), defaultFile);
}

void TestColors::badValueReportedOnceDefaultUsedFileUntouched()
{
    const QByteArray content = "Route=clPink\r\nSystem=$00FF00\r\nMyStation=nonsense\r\n";
    writeFile(m_file, content);
    const QDateTime written = QFileInfo(m_file).lastModified();
    TColorObj colours;
    QStringList warnings;
    colours.OnWarning = [&](const QString& w) { warnings << w; };
    colours.LoadFrom(m_file);

    for (int i = 0; i < 3; ++i) {
        QCOMPARE(colours.GetColor("Route"), 0x00FFFF);
        QCOMPARE(colours.GetColor("System"), 0x00FF00);
        QCOMPARE(colours.GetColor("MyStation"), 0xFFFFFF);
    }
    QCOMPARE(warnings.size(), 2);
    QVERIFY2(warnings[0].contains("Route=clPink"), qPrintable(warnings[0]));
    QVERIFY2(warnings[1].contains("MyStation=nonsense"), qPrintable(warnings[1]));
    QCOMPARE(readFile(m_file), content);
    QCOMPARE(QFileInfo(m_file).lastModified(), written);

    // Loading again reports again; a mended value is not reported.
    colours.SetColor("Route", 255);
    QCOMPARE(colours.GetColor("Route"), 255);
    QCOMPARE(warnings.size(), 2);
    colours.LoadFrom(m_file);
    colours.GetColor("Route");
    QCOMPARE(warnings.size(), 3);
}

void TestColors::unwritableFolderIsReported()
{
    TColorObj colours;
    QStringList warnings;
    colours.OnWarning = [&](const QString& w) { warnings << w; };
    const QString file = ColorsFilePath(m_dir->filePath("no/such/folder"));
    colours.LoadFrom(file);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains(file), qPrintable(warnings[0]));
    QCOMPARE(colours.GetColor("Route"), 0x00FFFF);
    QString error;
    QVERIFY(!colours.Save(&error));
    QVERIFY(error.contains(file));
}

QTEST_GUILESS_MAIN(TestColors)
#include "tst_colors.moc"
