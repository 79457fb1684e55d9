#ifndef GUI_GRAPHPOINTS_H
#define GUI_GRAPHPOINTS_H

#include <QPointF>
#include <QStringList>
#include <QVector>

// The module's graph points, "GRAPH,AXIS,INDEX,VALUE", as the points of one
// curve; a point is kept only when both of its coordinates arrived.
QVector<QPointF> graphStringsToPoints(const QStringList &strings);

#endif
