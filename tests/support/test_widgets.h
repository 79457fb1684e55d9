#ifndef TEST_WIDGETS_H
#define TEST_WIDGETS_H

#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

// The child of `parent` of this type and object name. A missing one stops the
// run at once: every later step would fail on a null pointer.
template<typename T = QWidget> T *testChild(const QObject *parent, const QString &name)
{
    T *child = parent->findChild<T *>(name);
    if (!child)
        qFatal("no widget %s", qPrintable(name));
    return child;
}

// The top-level windows of this type open now, in the application's order.
template<typename T> QList<T *> testTopLevels()
{
    QList<T *> found;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<T *>(top))
            found << window;
    }
    return found;
}

#endif
