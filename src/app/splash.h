#pragma once
// The start-up splash: a picture with the version, closed by a click or once loading ends.
#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    // fileVersion is the executable's FileVersion.
    explicit TSplashForm(const QString& fileVersion, QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* versionLabel;
    QTimer* Timer1;

    // The main window's Loading flag; while unset the splash waits to be closed.
    std::function<bool()> Loading;

public slots:
    void Timer1Timer();
    void FormClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// The splash picture, drawn rather than shipped.
QPixmap SplashPicture();
