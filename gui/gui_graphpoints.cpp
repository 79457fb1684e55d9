#include "gui/gui_graphpoints.h"

// The module's graph points, "GRAPH,AXIS,INDEX,VALUE", as the points of one
// curve: a list of n strings describes n/2 points, each with one "x" entry and
// one entry for y. A point is kept only when both of its coordinates arrived,
// so a point the module left incomplete (or sent with an index out of range or
// a value that is no number) is dropped rather than drawn from nothing.
QVector<QPointF> graphStringsToPoints(const QStringList &strings)
{
    const int count = strings.size() / 2;
    QVector<double> x(count, 0.0);
    QVector<double> y(count, 0.0);
    QVector<bool> hasX(count, false);
    QVector<bool> hasY(count, false);
    for (const QString &text : strings) {
        const QString axis = text.section(QLatin1Char(','), 1, 1);
        bool indexOk = false;
        const int index = text.section(QLatin1Char(','), 2, 2).toInt(&indexOk, 10);
        if (!indexOk || index < 0 || index >= count)
            continue;
        bool valueOk = false;
        // Single precision, as the module's values have always been read.
        const double value = double(text.section(QLatin1Char(','), 3, 3).toFloat(&valueOk));
        if (!valueOk)
            continue;
        if (axis.compare(QLatin1String("x"), Qt::CaseInsensitive) == 0) {
            x[index] = value;
            hasX[index] = true;
        } else {
            y[index] = value;
            hasY[index] = true;
        }
    }
    QVector<QPointF> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (hasX.at(i) && hasY.at(i))
            points.append(QPointF(x.at(i), y.at(i)));
    }
    return points;
}
