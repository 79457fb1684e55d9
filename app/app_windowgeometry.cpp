#include "app/app_windowgeometry.h"

#include <QSettings>
#include <QWidget>

namespace AppWindowGeometry {

void restore(QWidget *window, const QString &prefix, const QSize &defaultSize)
{
    QSettings settings;
    const int height = settings.value(prefix + QStringLiteral("/geometry/height"), defaultSize.height()).toInt();
    const int width = settings.value(prefix + QStringLiteral("/geometry/width"), defaultSize.width()).toInt();
    const int y = settings.value(prefix + QStringLiteral("/geometry/y"), window->geometry().y()).toInt();
    const int x = settings.value(prefix + QStringLiteral("/geometry/x"), window->geometry().x()).toInt();
    window->setGeometry(x, y, width, height);
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
