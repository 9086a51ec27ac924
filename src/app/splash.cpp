#include "splash.h"

#include <QEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int splashWidth = 398;
constexpr int splashHeight = 217;
}

QPixmap SplashPicture()
{
    QPixmap picture(splashWidth, splashHeight);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, splashWidth, splashHeight);
    sky.setColorAt(0, QColor(8, 12, 40));
    sky.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(picture.rect(), sky);
    // Fixed seed: the same star field every start.
    QRandomGenerator stars(1234);
    for (int i = 0; i < 160; ++i) {
        const int shade = 120 + stars.bounded(136);
        p.setPen(QColor(shade, shade, 255));
        p.drawPoint(stars.bounded(splashWidth), stars.bounded(splashHeight));
    }
    QFont font = p.font();
    font.setPixelSize(44);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(230, 235, 255));
    p.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("QOR MAP"));
    return picture;
}

TSplashForm::TSplashForm(const QString& fileVersion, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(splashWidth, splashHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->setPixmap(SplashPicture());
    Image1->installEventFilter(this);

    versionLabel = new QLabel(this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setAttribute(Qt::WA_TranslucentBackground);
    versionLabel->setStyleSheet(QStringLiteral("color: silver; background: transparent;"));
    versionLabel->setText(QStringLiteral("v%1 beta").arg(fileVersion));
    versionLabel->move(0, 0);
    versionLabel->adjustSize();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TSplashForm::Timer1Timer);
}

void TSplashForm::Timer1Timer()
{
    if (Loading && !Loading()) {
        Timer1->stop();
        close();
    }
}

void TSplashForm::FormClick()
{
    close();
}

bool TSplashForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
        FormClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TSplashForm::mousePressEvent(QMouseEvent*)
{
    FormClick();
}

void TSplashForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    Timer1->start();
}
