#include "gui/gui_splashscreen.h"

#include <QTimer>

GuiSplashScreen::GuiSplashScreen(const QPixmap &pixmap, Qt::WindowFlags flags)
    : QSplashScreen(pixmap, flags), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &GuiSplashScreen::sigTimeOut);
}

GuiSplashScreen::~GuiSplashScreen() = default;

void GuiSplashScreen::show()
{
    // Started first, so the display time counts from before the splash is drawn.
    m_timer->start(displayTime);
    QWidget::show();
}

void GuiSplashScreen::showSplashMessage(const QString &message)
{
    showMessage(message, Qt::AlignLeft | Qt::AlignBottom, Qt::black);
}
