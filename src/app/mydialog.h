#pragma once
// The application's message dialog: a text, an optional web link and Yes/No/OK buttons.
#include "functions.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

// Button bit set and modal results of the message dialog.
namespace DialogButton {
inline constexpr int Yes = 1;
inline constexpr int No = 2;
inline constexpr int OK = 4;
}
namespace ModalResult {
inline constexpr int OK = 1;
inline constexpr int Cancel = 2; // closed without a button
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}

// Opens URLs in the desktop's default browser.
UrlOpener DesktopUrlOpener();
// ShellOpen with the desktop's browser.
ShellOpenResult OpenInBrowser(const QString& address);

class TDialogForm : public QDialog {
    Q_OBJECT
public:
    explicit TDialogForm(QWidget* parent = nullptr);

    // Fills the dialog: text, the buttons of the bit set, the link line when link is given.
    void Setup(
        const QString& text, int buttons, const QString& link, bool stayOnTop, const QString& linkCaption);

    QFrame* Panel1;
    QLabel* Image1;
    QLabel* hdrlabel;
    QLabel* linkLabel;
    QPushButton* btnYes;
    QPushButton* btnNo;
    QPushButton* btnOK;
    QCheckBox* cbDontAsk;

    QString LinkAddress;
    UrlOpener Opener = DesktopUrlOpener();

public slots:
    void linkLabelClick();
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The full dialog; returns the modal result.
int AskWithLink(const QString& text, int buttons, const QString& link, bool stayOnTop,
    const QString& linkCaption = {}, QWidget* parent = nullptr);
// The dialog without link; stayOnTop is the settings' DialogFlag.
int MessageDialog(const QString& text, int buttons, bool stayOnTop = false, QWidget* parent = nullptr);
// MessageDialog with the OK button.
void ShowInfo(const QString& text, QWidget* parent = nullptr);
