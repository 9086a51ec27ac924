#include "app/splash.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

class TestSplash : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void closesOnceLoadingEnds();
    void waitsWithoutLoadingFlag();
    void clickCloses_data();
    void clickCloses();
};

void TestSplash::layout()
{
    TSplashForm splash("0.0.6.0");
    QCOMPARE(splash.size(), QSize(398, 217));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(splash.versionLabel->text(), QStringLiteral("v0.0.6.0 beta"));
    QCOMPARE(splash.versionLabel->pos(), QPoint(0, 0));
    QCOMPARE(splash.Image1->geometry(), splash.rect());
    QVERIFY(!splash.Image1->pixmap().isNull());
    QCOMPARE(splash.Timer1->interval(), 1000);
    QVERIFY(!splash.isVisible());
}

void TestSplash::closesOnceLoadingEnds()
{
    TSplashForm splash("1.0.0.0");
    bool loading = true;
    splash.Loading = [&] { return loading; };
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QVERIFY(splash.Timer1->isActive());

    splash.Timer1Timer();
    QVERIFY(splash.isVisible());
    QVERIFY(splash.Timer1->isActive());

    loading = false;
    splash.Timer1Timer();
    QVERIFY(!splash.isVisible());
    QVERIFY(!splash.Timer1->isActive());
}

void TestSplash::waitsWithoutLoadingFlag()
{
    TSplashForm splash("1.0.0.0");
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    splash.Timer1Timer();
    QVERIFY(splash.isVisible());
}

void TestSplash::clickCloses_data()
{
    QTest::addColumn<bool>("onPicture");
    QTest::newRow("picture") << true;
    QTest::newRow("window") << false;
}

void TestSplash::clickCloses()
{
    QFETCH(bool, onPicture);
    TSplashForm splash("1.0.0.0");
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    if (onPicture) {
        QTest::mouseClick(splash.Image1, Qt::LeftButton, {}, QPoint(200, 100));
    } else {
        splash.Image1->hide();
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(200, 100));
    }
    QVERIFY(!splash.isVisible());
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
