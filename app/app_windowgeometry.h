#ifndef APP_WINDOWGEOMETRY_H
#define APP_WINDOWGEOMETRY_H

#include <QSize>
#include <QString>

class QWidget;

// A window's place and size under "<prefix>/geometry/{x,y,width,height}",
// read when it is built and written while it is on screen: as it is moved,
// resized or closed.
namespace AppWindowGeometry {

// A stored place is taken only where the window's title bar is on a screen;
// otherwise the window system places the window, at the stored size.
void restore(QWidget *window, const QString &prefix, const QSize &defaultSize);
// Does nothing for a window not on screen: before the window system has
// placed it, its place is (0, 0), which would hide the title bar next time.
void store(const QWidget *window, const QString &prefix);

} // namespace AppWindowGeometry

#endif
