#include "app/app_windowgeometry.h"

#include <QSettings>
#include <QWidget>

namespace AppWindowGeometry {

void restore(QWidget *window, const QString &prefix, const QSize &defaultSize)
{
    QSettings settings;
    const QString x = prefix + QStringLiteral("/geometry/x"), y = prefix + QStringLiteral("/geometry/y");
    const int height = settings.value(prefix + QStringLiteral("/geometry/height"), defaultSize.height()).toInt();
    const int width = settings.value(prefix + QStringLiteral("/geometry/width"), defaultSize.width()).toInt();
    // Without a stored position the window system places the window: pinning
    // it to the unshown window's (0, 0) would push its frame off screen.
    if (settings.contains(x) || settings.contains(y))
        window->setGeometry(settings.value(x, window->geometry().x()).toInt(),
            settings.value(y, window->geometry().y()).toInt(), width, height);
    else
        window->resize(width, height);
}

void store(const QWidget *window, const QString &prefix, const QSize &size)
{
    QSettings settings;
    settings.setValue(prefix + QStringLiteral("/geometry/height"), size.height());
    settings.setValue(prefix + QStringLiteral("/geometry/width"), size.width());
    settings.setValue(prefix + QStringLiteral("/geometry/x"), window->geometry().x());
    settings.setValue(prefix + QStringLiteral("/geometry/y"), window->geometry().y());
}

} // namespace AppWindowGeometry
