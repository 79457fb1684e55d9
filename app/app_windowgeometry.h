#ifndef APP_WINDOWGEOMETRY_H
#define APP_WINDOWGEOMETRY_H

#include <QSize>
#include <QString>

class QWidget;

// A window's place and size under "<prefix>/geometry/{x,y,width,height}",
// read when it is built and written at once when it is resized.
namespace AppWindowGeometry {

void restore(QWidget *window, const QString &prefix, const QSize &defaultSize);
void store(const QWidget *window, const QString &prefix, const QSize &size);

} // namespace AppWindowGeometry

#endif
