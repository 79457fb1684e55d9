#ifndef GUI_SPLASHSCREEN_H
#define GUI_SPLASHSCREEN_H

#include <QSplashScreen>

class QTimer;

// The start-up splash: the logo, the progress messages of the start-up, and
// one signal when its display time is over.
class GuiSplashScreen : public QSplashScreen
{
    Q_OBJECT

public:
    explicit GuiSplashScreen(const QPixmap &pixmap, Qt::WindowFlags flags = Qt::WindowFlags());
    ~GuiSplashScreen() override;

    // Starts the display time, then shows the splash. Hides QWidget::show on purpose.
    void show();

    static constexpr int displayTime = 3000; // ms

public slots:
    void showSplashMessage(const QString &message);

signals:
    void sigTimeOut();

private:
    QTimer *m_timer;
};

#endif
