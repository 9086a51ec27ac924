#include "app/functions.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {

using testsupport::readFile;
using testsupport::writeFile;

} // namespace

class TestFunctions : public QObject {
    Q_OBJECT

private slots:
    void replaceAllText_data();
    void replaceAllText();
    void replaceAllTextRefusesEndlessReplacement_data();
    void replaceAllTextRefusesEndlessReplacement();

    void isNewerVersion_data();
    void isNewerVersion();
    void isNewerVersionRejectsMalformed_data();
    void isNewerVersionRejectsMalformed();

    void parseLocaleNumber_data();
    void parseLocaleNumber();

    void sqlSafeText_data();
    void sqlSafeText();

    void shellOpenAccepts_data();
    void shellOpenAccepts();
    void shellOpenRefuses_data();
    void shellOpenRefuses();
    void shellOpenReportsOpenerFailure();

    void systemDriveSerialIsStable();
    void systemDriveSerialFallbacks();

    void copyFileContents();
    void copyFileContentsMissingSource();
    void copyFileContentsOntoItself();
};

void TestFunctions::replaceAllText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ampersands") << "A&B&c"
                                << "&"
                                << "+"
                                << "A+B+c";
    QTest::newRow("letter case ignored") << "xABCx"
                                         << "abc"
                                         << "-"
                                         << "x-x";
    QTest::newRow("not found") << "hello"
                               << "z"
                               << "y"
                               << "hello";
    QTest::newRow("quote to apostrophe") << R"(say "hi")"
                                         << "\""
                                         << "'"
                                         << "say 'hi'";
    QTest::newRow("deletion") << "a--b--c"
                              << "-"
                              << ""
                              << "abc";
    QTest::newRow("rescan finds joined match") << "aabb"
                                               << "ab"
                                               << ""
                                               << "";
    QTest::newRow("rescan through replacement") << "aab"
                                                << "ab"
                                                << "ba"
                                                << "baa";
    // Only a to z fold; other letters must match exactly.
    QTest::newRow("non-ASCII exact") << QStringLiteral("éÉ") << QStringLiteral("é") << "e"
                                     << QStringLiteral("eÉ");
    QTest::newRow("empty text") << ""
                                << "x"
                                << "y"
                                << "";
}

void TestFunctions::replaceAllText()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceAllText(text, search, replacement), expected);
}

void TestFunctions::replaceAllTextRefusesEndlessReplacement_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::newRow("contains search") << "a"
                                     << "bab";
    QTest::newRow("contains search other case") << "ab"
                                                << "xABx";
    QTest::newRow("empty search") << ""
                                  << "x";
}

void TestFunctions::replaceAllTextRefusesEndlessReplacement()
{
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ReplaceAllText("a text", search, replacement));
}

void TestFunctions::isNewerVersion_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("newer");

    QTest::newRow("fourth part higher") << "1.0.7.0"
                                        << "1.0.6.0" << true;
    QTest::newRow("fourth part lower") << "1.0.6.0"
                                       << "1.0.7.0" << false;
    QTest::newRow("equal") << "1.2.3.4"
                           << "1.2.3.4" << false;
    QTest::newRow("three parts equal four") << "1.0.6"
                                            << "1.0.6.0" << false;
    QTest::newRow("three parts newer than four") << "1.0.7"
                                                 << "1.0.6.9" << true;
    QTest::newRow("one part") << "2"
                              << "1.9.9.9" << true;
    QTest::newRow("empty against 0.0.0.1") << ""
                                           << "0.0.0.1" << false;
    QTest::newRow("0.0.0.1 against empty") << "0.0.0.1"
                                           << "" << true;
    QTest::newRow("both empty") << ""
                                << "" << false;
    QTest::newRow("numeric not textual") << "1.10"
                                         << "1.9" << true;
    QTest::newRow("leading zeros") << "1.010"
                                   << "1.9" << true;
    // A weighted sum would call 1.0.257 newer than 1.1.
    QTest::newRow("large lower part") << "1.0.257.0"
                                      << "1.1.0.0" << false;
    QTest::newRow("large part") << "1.1.0.0"
                                << "1.0.257.0" << true;
    QTest::newRow("no overflow in first part") << "200.0"
                                               << "100.0" << true;
}

void TestFunctions::isNewerVersion()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, newer);
    QCOMPARE(IsNewerVersion(a, b, 4), newer);
}

void TestFunctions::isNewerVersionRejectsMalformed_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("bad");

    QTest::newRow("letter part") << "1.x.0"
                                 << "1.0"
                                 << "1.x.0";
    QTest::newRow("bad b") << "1.0"
                           << "1.0.beta"
                           << "1.0.beta";
    QTest::newRow("negative part") << "1.-1"
                                   << "1.0"
                                   << "1.-1";
    QTest::newRow("empty part") << "1..2"
                                << "1.0"
                                << "1..2";
    QTest::newRow("trailing dot") << "1."
                                  << "1.0"
                                  << "1.";
    QTest::newRow("blank inside") << "1. 2"
                                  << "1.0"
                                  << "1. 2";
    QTest::newRow("hex part") << "1.$A"
                              << "1.0"
                              << "1.$A";
    QTest::newRow("five parts") << "1.0.0.0.1"
                                << "1.0"
                                << "1.0.0.0.1";
    QTest::newRow("blank version") << " "
                                   << "1.0"
                                   << " ";
}

void TestFunctions::isNewerVersionRejectsMalformed()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, bad);
    try {
        IsNewerVersion(a, b);
        QFAIL("no error raised");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), "invalid version format: " + bad);
    }
}

void TestFunctions::parseLocaleNumber_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    const double failed = -2147483647.0;

    QTest::newRow("C integer") << c << "42" << 42.0;
    QTest::newRow("C decimal") << c << "3.25" << 3.25;
    QTest::newRow("C comma taken as decimal") << c << "3,25" << 3.25;
    QTest::newRow("C negative") << c << "-0.5" << -0.5;
    QTest::newRow("C blanks around") << c << " 7.5 " << 7.5;
    QTest::newRow("C two separators") << c << "1,234.5" << failed;
    QTest::newRow("C no digits") << c << "abc" << failed;
    QTest::newRow("C empty") << c << "" << failed;
    QTest::newRow("C not finite") << c << "inf" << failed;
    QTest::newRow("de decimal comma") << de << "3,25" << 3.25;
    QTest::newRow("de dot taken as decimal") << de << "3.25" << 3.25;
    QTest::newRow("de no digits") << de << "-" << failed;
}

void TestFunctions::parseLocaleNumber()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(ParseLocaleNumber(text, locale), expected);
}

void TestFunctions::sqlSafeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "Aldera 4-4"
                           << "Aldera 4-4";
    QTest::newRow("double quotes") << R"(the "best" spot)"
                                   << "the 'best' spot";
    QTest::newRow("apostrophes kept") << "it's"
                                      << "it's";
    QTest::newRow("only quotes") << R"("")"
                                 << "''";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFunctions::sqlSafeText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(SqlSafeText(text), expected);
    QCOMPARE(SqlSafeValue(text), expected);
}

void TestFunctions::shellOpenAccepts_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QUrl>("opened");

    QTest::newRow("http") << "http://example.com/qor/" << QUrl("http://example.com/qor/");
    QTest::newRow("https with query")
        << "https://example.com/a.php?corp=1&type=2" << QUrl("https://example.com/a.php?corp=1&type=2");
    QTest::newRow("trimmed") << "  https://example.com  " << QUrl("https://example.com");
    QTest::newRow("upper-case scheme") << "HTTPS://example.com" << QUrl("https://example.com");
}

void TestFunctions::shellOpenAccepts()
{
    QFETCH(QString, address);
    QFETCH(QUrl, opened);
    QList<QUrl> calls;
    const ShellOpenResult result = ShellOpen(address, {}, [&](const QUrl& url) {
        calls << url;
        return true;
    });
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
    QCOMPARE(calls, QList<QUrl> { opened });
}

void TestFunctions::shellOpenRefuses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("parameters");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank") << "   "
                           << "";
    QTest::newRow("file url") << "file:///etc/passwd"
                              << "";
    QTest::newRow("absolute program") << "/usr/bin/xterm"
                                      << "";
    QTest::newRow("relative program") << "bin/run.sh"
                                      << "";
    QTest::newRow("bare name") << "calc"
                               << "";
    QTest::newRow("other scheme") << "javascript:alert(1)"
                                  << "";
    QTest::newRow("ftp") << "ftp://example.com/file"
                         << "";
    QTest::newRow("no host") << "http:/path/only"
                             << "";
    QTest::newRow("scheme only") << "https://"
                                 << "";
    QTest::newRow("malformed") << "http://exa mple.com:99999x"
                               << "";
    QTest::newRow("parameters") << "https://example.com"
                                << "--new-window";
}

void TestFunctions::shellOpenRefuses()
{
    QFETCH(QString, address);
    QFETCH(QString, parameters);
    int calls = 0;
    const ShellOpenResult result = ShellOpen(address, parameters, [&](const QUrl&) {
        ++calls;
        return true;
    });
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(calls, 0);
}

void TestFunctions::shellOpenReportsOpenerFailure()
{
    const ShellOpenResult failed = ShellOpen("https://example.com", {}, [](const QUrl&) { return false; });
    QVERIFY(!failed.ok);
    QVERIFY(failed.error.contains("https://example.com"));
    QVERIFY(!ShellOpen("https://example.com", {}, UrlOpener {}).ok);
}

void TestFunctions::systemDriveSerialIsStable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString one = dir.filePath("one"), other = dir.filePath("other");
    writeFile(one, "0123456789abcdef0123456789abcdef\n");
    writeFile(other, "fedcba9876543210fedcba9876543210\n");

    const QString serial = SystemDriveSerial({ one });
    QVERIFY2(QRegularExpression("^[0-9A-F]{8}$").match(serial).hasMatch(), qPrintable(serial));
    QCOMPARE(SystemDriveSerial({ one }), serial);
    QVERIFY(serial != SystemDriveSerial({ other }));
    // The first usable file wins; a missing or empty one is skipped.
    writeFile(dir.filePath("empty"), "\n");
    QCOMPARE(SystemDriveSerial({ dir.filePath("absent"), dir.filePath("empty"), one, other }), serial);
    // The raw id must not show through.
    QVERIFY(!QByteArray("0123456789ABCDEF").contains(serial.toLatin1()));

    const QString system = SystemDriveSerial();
    QVERIFY2(QRegularExpression("^[0-9A-F]{8}$").match(system).hasMatch(), qPrintable(system));
    QCOMPARE(SystemDriveSerial(), system);
}

void TestFunctions::systemDriveSerialFallbacks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath("empty"), "");
    QCOMPARE(SystemDriveSerial({}), QStringLiteral("E1E01001"));
    QCOMPARE(SystemDriveSerial({ dir.filePath("absent") }), QStringLiteral("E1E01001"));
    QCOMPARE(SystemDriveSerial({ dir.filePath("empty") }), QStringLiteral("E1E01001"));
    // A folder exists but cannot be read as a file.
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QCOMPARE(
        SystemDriveSerial({ dir.filePath("folder"), dir.filePath("absent") }), QStringLiteral("E1E01002"));
}

void TestFunctions::copyFileContents()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray data;
    for (int i = 0; i < 200000; ++i)
        data += char(i * 7);
    const QString source = dir.filePath("source.bin"), destination = dir.filePath("copy.bin");
    writeFile(source, data);

    CopyFileContents(source, destination);
    QCOMPARE(readFile(destination), data);

    // An existing destination is overwritten as a whole, also when it was longer.
    writeFile(source, "short");
    CopyFileContents(source, destination);
    QCOMPARE(readFile(destination), QByteArray("short"));

    writeFile(source, "");
    CopyFileContents(source, destination);
    QCOMPARE(readFile(destination), QByteArray());
}

void TestFunctions::copyFileContentsMissingSource()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString destination = dir.filePath("copy.txt");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, CopyFileContents(dir.filePath("absent.txt"), destination));
    QVERIFY(!QFile::exists(destination));

    writeFile(destination, "keep me");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, CopyFileContents(dir.filePath("absent.txt"), destination));
    QCOMPARE(readFile(destination), QByteArray("keep me"));

    QVERIFY_THROWS_EXCEPTION(
        std::runtime_error, CopyFileContents(destination, dir.filePath("no/such/folder/copy.txt")));
}

void TestFunctions::copyFileContentsOntoItself()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("data.txt");
    writeFile(file, "precious");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, CopyFileContents(file, dir.path() + "/./data.txt"));
    QCOMPARE(readFile(file), QByteArray("precious"));
}

QTEST_GUILESS_MAIN(TestFunctions)
#include "tst_functions.moc"
