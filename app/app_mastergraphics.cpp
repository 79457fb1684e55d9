#include "app/app_mastergraphics.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWebView>

namespace {
QRect availableArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

AppMasterGraphics::AppMasterGraphics(QObject *parent) : QObject(parent)
{
    initialize();
}

AppMasterGraphics::~AppMasterGraphics()
{
    delete m_view;
}

void AppMasterGraphics::initialize()
{
    m_view = new QWebView(nullptr);
}

int AppMasterGraphics::maximumWidth()
{
    return availableArea().width();
}

int AppMasterGraphics::maximumHeight()
{
    return availableArea().height();
}

void AppMasterGraphics::changeWindowSize(int height, int width)
{
    if (!m_view)
        return;
    const QRect now = m_view->geometry();
    m_view->setGeometry(now.x(), now.y(), qMin(width, maximumWidth()), qMin(height, maximumHeight()));
}

void AppMasterGraphics::changeWindowLocation(int x, int y)
{
    if (!m_view)
        return;
    const QRect now = m_view->geometry();
    m_view->setGeometry(x, y, now.width(), now.height());
}

QWebView *AppMasterGraphics::view() const
{
    return m_view;
}
