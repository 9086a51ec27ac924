#include "mydialog.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

UrlOpener DesktopUrlOpener()
{
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

ShellOpenResult OpenInBrowser(const QString& address)
{
    return ShellOpen(address, {}, DesktopUrlOpener());
}

TDialogForm::TDialogForm(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("信息"));
    setWindowFlags(
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // Plain text only: texts and links may come from a server.
    hdrlabel = new QLabel(Panel1);
    hdrlabel->setObjectName(QStringLiteral("hdrlabel"));
    hdrlabel->setTextFormat(Qt::PlainText);
    hdrlabel->setAlignment(Qt::AlignCenter);
    hdrlabel->setWordWrap(true);

    linkLabel = new QLabel(Panel1);
    linkLabel->setObjectName(QStringLiteral("linkLabel"));
    linkLabel->setTextFormat(Qt::PlainText);
    linkLabel->setAlignment(Qt::AlignCenter);
    linkLabel->setWordWrap(true);
    linkLabel->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    linkLabel->setCursor(Qt::PointingHandCursor);
    linkLabel->installEventFilter(this);
    linkLabel->hide();

    auto* texts = new QVBoxLayout;
    texts->addWidget(hdrlabel, 1);
    texts->addWidget(linkLabel);
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->addWidget(Image1);
    panelLayout->addLayout(texts, 1);

    const auto makeButton = [this](const char* name, const QString& caption, int result) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        return button;
    };
    btnYes = makeButton("btnYes", QStringLiteral("是(&Y)"), ModalResult::Yes);
    btnNo = makeButton("btnNo", QStringLiteral("否(&N)"), ModalResult::No);
    btnOK = makeButton("btnOK", QStringLiteral("确定"), ModalResult::OK);

    cbDontAsk = new QCheckBox(QStringLiteral("不要再次询问"), this);
    cbDontAsk->setObjectName(QStringLiteral("cbDontAsk"));
    cbDontAsk->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbDontAsk);
    buttons->addStretch(1);
    buttons->addWidget(btnYes);
    buttons->addWidget(btnNo);
    buttons->addWidget(btnOK);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1, 1);
    layout->addLayout(buttons);
    resize(380, 107);
}

void TDialogForm::Setup(
    const QString& text, int buttons, const QString& link, bool stayOnTop, const QString& linkCaption)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, stayOnTop);
    LinkAddress = link;
    linkLabel->setText(linkCaption.isEmpty() ? link : linkCaption);
    linkLabel->setVisible(!link.isEmpty());
    btnYes->setVisible(buttons & DialogButton::Yes);
    btnNo->setVisible(buttons & DialogButton::No);
    btnOK->setVisible(buttons & DialogButton::OK);
    for (QPushButton* b : { btnYes, btnOK, btnNo })
        if (!b->isHidden()) {
            b->setDefault(true);
            break;
        }
    hdrlabel->setText(text);
}

void TDialogForm::linkLabelClick()
{
    const ShellOpenResult opened = ShellOpen(LinkAddress.trimmed(), {}, Opener);
    if (!opened)
        QMessageBox::warning(this, windowTitle(), opened.error);
}

void TDialogForm::reject()
{
    done(ModalResult::Cancel);
}

bool TDialogForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == linkLabel && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        linkLabelClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TDialogForm::showEvent(QShowEvent* event)
{
    // Fixed width; taller only when the text would not fit.
    const int height = std::max(107, layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(380) : 0);
    setFixedSize(380, std::max(height, layout()->totalMinimumSize().height()));
    QDialog::showEvent(event);
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}

int AskWithLink(const QString& text, int buttons, const QString& link, bool stayOnTop,
    const QString& linkCaption, QWidget* parent)
{
    TDialogForm form(parent);
    form.Setup(text, buttons, link, stayOnTop, linkCaption);
    return form.exec();
}

int MessageDialog(const QString& text, int buttons, bool stayOnTop, QWidget* parent)
{
    return AskWithLink(text, buttons, {}, stayOnTop, {}, parent);
}

void ShowInfo(const QString& text, QWidget* parent)
{
    MessageDialog(text, DialogButton::OK, false, parent);
}
