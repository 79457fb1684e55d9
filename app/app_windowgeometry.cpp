#include "app/app_windowgeometry.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QWidget>

namespace AppWindowGeometry {

namespace {

// How much of a title bar must be on one screen for a person to take hold of it.
constexpr int grip = 100;

// `client` is the window's area without its frame, as stored; the title bar
// lies above it.
bool titleBarOnScreen(const QWidget *window, const QRect &client)
{
    const int bar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    const QRect titleBar(client.left(), client.top() - bar, client.width(), bar);
    const int wanted = qMin(client.width(), grip);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect seen = screen->availableGeometry().intersected(titleBar);
        if (seen.height() == bar && seen.width() >= wanted)
            return true;
    }
    return false;
}

} // namespace

void restore(QWidget *window, const QString &prefix, const QSize &defaultSize)
{
    QSettings settings;
    const QString x = prefix + QStringLiteral("/geometry/x"), y = prefix + QStringLiteral("/geometry/y");
    const int height = settings.value(prefix + QStringLiteral("/geometry/height"), defaultSize.height()).toInt();
    const int width = settings.value(prefix + QStringLiteral("/geometry/width"), defaultSize.width()).toInt();
    const QRect stored(settings.value(x, window->geometry().x()).toInt(),
        settings.value(y, window->geometry().y()).toInt(), width, height);
    // Without a stored position, or with one whose title bar is off every
    // screen, the window system places the window.
    if ((settings.contains(x) || settings.contains(y)) && titleBarOnScreen(window, stored))
        window->setGeometry(stored);
    else
        window->resize(width, height);
}

void store(const QWidget *window, const QString &prefix)
{
    if (!window->isVisible())
        return;
    const QRect geometry = window->geometry();
    QSettings settings;
    settings.setValue(prefix + QStringLiteral("/geometry/height"), geometry.height());
    settings.setValue(prefix + QStringLiteral("/geometry/width"), geometry.width());
    settings.setValue(prefix + QStringLiteral("/geometry/x"), geometry.x());
    settings.setValue(prefix + QStringLiteral("/geometry/y"), geometry.y());
}

} // namespace AppWindowGeometry
