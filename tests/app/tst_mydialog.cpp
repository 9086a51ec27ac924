#include "app/mydialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs action on the modal dialog once the event loop of its exec() shows it.
void whenModal(std::function<void(QWidget*)> action, int attempts = 100)
{
    QTimer::singleShot(0, [action = std::move(action), attempts]() mutable {
        if (QWidget* w = QApplication::activeModalWidget())
            action(w);
        else if (attempts > 0)
            whenModal(std::move(action), attempts - 1);
    });
}

} // namespace

class TestMyDialog : public QObject {
    Q_OBJECT

private slots:
    void layoutAndCaption();
    void buttonsOfBitSet_data();
    void buttonsOfBitSet();
    void linkLine_data();
    void linkLine();
    void textIsPlain();
    void stayOnTopOnlyWhenAsked();
    void askWithLinkReturnsClickedButton_data();
    void askWithLinkReturnsClickedButton();
    void closingWithoutButtonIsCancel();
    void showInfoOffersOk();
    void linkOpensTrimmedAddress();
    void refusedLinkIsReportedAndDialogStays();
};

void TestMyDialog::layoutAndCaption()
{
    TDialogForm form;
    form.Setup("hello", DialogButton::OK, {}, false, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("信息"));
    QCOMPARE(form.width(), 380);
    QVERIFY(form.height() >= 107);
    QCOMPARE(form.cbDontAsk->text(), QStringLiteral("不要再次询问"));
    QVERIFY(!form.cbDontAsk->isVisible());
    QCOMPARE(form.hdrlabel->text(), QStringLiteral("hello"));
    QVERIFY(form.hdrlabel->wordWrap());

    // A long text makes the dialog taller instead of being cut off.
    TDialogForm tall;
    tall.Setup(QString("word ").repeated(120), DialogButton::OK, {}, false, {});
    tall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tall));
    QCOMPARE(tall.width(), 380);
    QVERIFY(tall.height() > form.height());
}

void TestMyDialog::buttonsOfBitSet_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("no");
    QTest::addColumn<bool>("ok");

    QTest::newRow("none") << 0 << false << false << false;
    QTest::newRow("yes") << 1 << true << false << false;
    QTest::newRow("no") << 2 << false << true << false;
    QTest::newRow("yes no") << 3 << true << true << false;
    QTest::newRow("ok") << 4 << false << false << true;
    QTest::newRow("all") << 7 << true << true << true;
}

void TestMyDialog::buttonsOfBitSet()
{
    QFETCH(int, buttons);
    QFETCH(bool, yes);
    QFETCH(bool, no);
    QFETCH(bool, ok);
    TDialogForm form;
    form.Setup("question", buttons, {}, false, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.btnYes->isVisible(), yes);
    QCOMPARE(form.btnNo->isVisible(), no);
    QCOMPARE(form.btnOK->isVisible(), ok);
}

void TestMyDialog::linkLine_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("text");

    QTest::newRow("no link") << ""
                             << "" << false << "";
    QTest::newRow("no link, caption ignored") << ""
                                              << "click" << false << "";
    QTest::newRow("address as text") << "https://example.com/"
                                     << "" << true << "https://example.com/";
    QTest::newRow("caption as text") << "https://example.com/"
                                     << "下载" << true << "下载";
}

void TestMyDialog::linkLine()
{
    QFETCH(QString, link);
    QFETCH(QString, caption);
    QFETCH(bool, shown);
    QFETCH(QString, text);
    TDialogForm form;
    form.Setup("text", DialogButton::OK, link, false, caption);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.linkLabel->isVisible(), shown);
    if (shown)
        QCOMPARE(form.linkLabel->text(), text);
}

void TestMyDialog::textIsPlain()
{
    TDialogForm form;
    form.Setup("<b>1.2</b>", DialogButton::OK, "https://example.com", false, "<a href='file:///x'>x</a>");
    QCOMPARE(form.hdrlabel->textFormat(), Qt::PlainText);
    QCOMPARE(form.linkLabel->textFormat(), Qt::PlainText);
}

void TestMyDialog::stayOnTopOnlyWhenAsked()
{
    TDialogForm normal, onTop;
    normal.Setup("a", DialogButton::OK, {}, false, {});
    onTop.Setup("a", DialogButton::OK, {}, true, {});
    QVERIFY(!(normal.windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(onTop.windowFlags() & Qt::WindowStaysOnTopHint);
}

void TestMyDialog::askWithLinkReturnsClickedButton_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("result");

    QTest::newRow("yes") << 3 << "btnYes" << 6;
    QTest::newRow("no") << 3 << "btnNo" << 7;
    QTest::newRow("ok") << 4 << "btnOK" << 1;
}

void TestMyDialog::askWithLinkReturnsClickedButton()
{
    QFETCH(int, buttons);
    QFETCH(QString, click);
    QFETCH(int, result);
    QString seenText;
    bool linkShown = true, onTop = false;
    whenModal([&](QWidget* w) {
        seenText = w->findChild<QLabel*>("hdrlabel")->text();
        onTop = w->windowFlags() & Qt::WindowStaysOnTopHint;
        linkShown = w->findChild<QLabel*>("linkLabel")->isVisible();
        QTest::mouseClick(w->findChild<QPushButton*>(click), Qt::LeftButton);
    });
    QCOMPARE(AskWithLink("a newer version is available", buttons, {}, true), result);
    QCOMPARE(seenText, QStringLiteral("a newer version is available"));
    QVERIFY(!linkShown);
    QVERIFY(onTop);
}

void TestMyDialog::closingWithoutButtonIsCancel()
{
    whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(MessageDialog("question", DialogButton::Yes | DialogButton::No), ModalResult::Cancel);
}

void TestMyDialog::showInfoOffersOk()
{
    bool okOnly = false;
    whenModal([&](QWidget* w) {
        okOnly = w->findChild<QPushButton*>("btnOK")->isVisible()
            && !w->findChild<QPushButton*>("btnYes")->isVisible()
            && !w->findChild<QPushButton*>("btnNo")->isVisible()
            && !(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QTest::mouseClick(w->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    });
    ShowInfo("done");
    QVERIFY(okOnly);
}

void TestMyDialog::linkOpensTrimmedAddress()
{
    TDialogForm form;
    QList<QUrl> opened;
    form.Opener = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    form.Setup("text", DialogButton::OK, "  https://example.com/download  ", false, "下载");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.linkLabel, Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl> { QUrl("https://example.com/download") });
    QVERIFY(form.isVisible());
}

void TestMyDialog::refusedLinkIsReportedAndDialogStays()
{
    TDialogForm form;
    int calls = 0;
    form.Opener = [&](const QUrl&) {
        ++calls;
        return true;
    };
    form.Setup("text", DialogButton::OK, "file:///usr/bin/xterm", false, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString warning;
    whenModal([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            warning = box->text();
            box->accept();
        }
    });
    QTest::mouseClick(form.linkLabel, Qt::LeftButton);
    QCOMPARE(calls, 0);
    QVERIFY2(warning.contains("file:///usr/bin/xterm"), qPrintable(warning));
    QVERIFY(form.isVisible());
}

QTEST_MAIN(TestMyDialog)
#include "tst_mydialog.moc"
