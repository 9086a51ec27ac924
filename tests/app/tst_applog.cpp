#include "app/applog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A clock that starts at a fixed time and advances by 1.5 s at every reading.
TClock SteppingClock()
{
    auto now = std::make_shared<QDateTime>(QDate(2024, 12, 31), QTime(23, 59, 58, 7));
    return [now] {
        const QDateTime t = *now;
        *now = now->addMSecs(1500);
        return t;
    };
}

} // namespace

class TestAppLog : public QObject {
    Q_OBJECT

private slots:
    void format_data();
    void format();
    void newestFirstWithCrLf();
    void replacesThePreviousRun();
    void heldUntilReleased();
    void releaseWithoutLinesKeepsFile();
    void unwritableFile();
};

void TestAppLog::format_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("padded fields") << QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 45)) << "hello"
                                   << "20240305 07:08:09.045 hello";
    QTest::newRow("afternoon, 24 hours") << QDateTime(QDate(2023, 11, 30), QTime(23, 0, 1, 999)) << "x"
                                         << "20231130 23:00:01.999 x";
    QTest::newRow("timing line") << QDateTime(QDate(2024, 1, 1), QTime(0, 0)) << "载入星系使用了00:01.250秒"
                                 << "20240101 00:00:00.000 载入星系使用了00:01.250秒";
    QTest::newRow("leading blank kept") << QDateTime(QDate(2024, 1, 1), QTime(12, 30, 0, 5))
                                        << " >system query took 00:00.012"
                                        << "20240101 12:30:00.005  >system query took 00:00.012";
}

void TestAppLog::format()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, message);
    QTEST(TAppLog::FormatLine(time, message), "line");
}

void TestAppLog::newestFirstWithCrLf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(LogFileName);
    TAppLog log(path, SteppingClock());
    QVERIFY(log.WriteLog(QStringLiteral("first")));
    QVERIFY(log.WriteLog(QStringLiteral("second")));
    QVERIFY(log.WriteLog(QStringLiteral("第三")));
    const QStringList expected = { "20250101 00:00:01.007 第三", "20241231 23:59:59.507 second",
        "20241231 23:59:58.007 first" };
    QCOMPARE(log.Lines(), expected);
    QCOMPARE(ReadAll(path),
        QByteArray("20250101 00:00:01.007 第三\r\n20241231 23:59:59.507 second\r\n20241231 23:59:58.007 first\r\n"));
    QCOMPARE(TAppLog::FileText(expected), ReadAll(path));
}

void TestAppLog::replacesThePreviousRun()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(LogFileName);
    WriteAll(path, "20200101 00:00:00.000 an older run\r\n");
    TAppLog log(path, SteppingClock());
    log.WriteLog(QStringLiteral("now"));
    QCOMPARE(ReadAll(path), QByteArray("20241231 23:59:58.007 now\r\n"));
}

void TestAppLog::heldUntilReleased()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(LogFileName);
    const QByteArray previous = "20200101 00:00:00.000 an older run\r\n";
    WriteAll(path, previous);
    TAppLog log(path, SteppingClock());
    log.Hold();
    QVERIFY(log.Held());
    QVERIFY(log.WriteLog(QStringLiteral("a")));
    QVERIFY(log.WriteLog(QStringLiteral("b")));
    QCOMPARE(ReadAll(path), previous);
    QCOMPARE(log.Lines().size(), 2);
    QVERIFY(log.Release());
    QVERIFY(!log.Held());
    QCOMPARE(ReadAll(path), QByteArray("20241231 23:59:59.507 b\r\n20241231 23:59:58.007 a\r\n"));
    log.WriteLog(QStringLiteral("c"));
    QVERIFY(ReadAll(path).startsWith("20250101 00:00:01.007 c\r\n"));
}

void TestAppLog::releaseWithoutLinesKeepsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(LogFileName);
    {
        TAppLog log(path, SteppingClock());
        log.Hold();
        QVERIFY(log.Release());
    }
    QVERIFY(!QFile::exists(path));
}

void TestAppLog::unwritableFile()
{
    QTemporaryDir dir;
    TAppLog log(dir.filePath(QStringLiteral("no/such/folder/VUDoza.log")), SteppingClock());
    QVERIFY(!log.WriteLog(QStringLiteral("lost?")));
    QVERIFY(log.LastError().contains(QLatin1String("no/such/folder")));
    QCOMPARE(log.Lines().size(), 1);
}

QTEST_GUILESS_MAIN(TestAppLog)
#include "tst_applog.moc"
