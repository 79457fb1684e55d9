#ifndef TOOLS_BUFFERFIT_H
#define TOOLS_BUFFERFIT_H

#include <QList>
#include <QString>
#include <QVector>

#include <array>

// The density and viscosity series of the buffer components, fitted to the
// handbook rows of buffer_data.csv (20 C). The shipped buffer_series.csv is the
// output of this fit (tool_bufferfit); the tests run it again.
//
// Series forms, C in mol/l (the forms of the reference data editor):
//   density, g/ml:  a + 1e-3 b C^0.5 + 1e-2 c C + 1e-3 d C^2 + 1e-4 e C^3 + 1e-6 f C^4
//   viscosity relative to water at 20 C (1.002 cP):  a + 1e-3 b C^0.5 + 1e-2 c C + 1e-3 d C^2 + 1e-3 e C^3
// with a fixed at the program's water (0.998234 g/ml, 1), so that every series
// gives pure water at C = 0. A density's b is 0; a viscosity's b is never
// negative, and 0 for a solute that forms no ions.
namespace ToolsBufferFit {

enum class Kind { Density, Viscosity };

struct Point
{
    double c; // mol/l, from the mass fraction and the density (molarity_calc)
    double value; // g/ml, or viscosity over 1.002 cP
    QString cText; // c as the data file writes it
};

// The usable rows of one solute and one property, ascending in C.
struct Data
{
    QString solute;
    Kind kind;
    QVector<Point> points;
};

struct Series
{
    QString name;
    Kind kind;
    std::array<double, 6> coefficients; // a to f; f is 0 for viscosity
    QString cmaxText; // the largest C fitted; the series is not meant beyond it
    double errorMax; // largest residual over the fitted rows, in units of 1e-4 (g/ml or relative viscosity)
    int points; // rows fitted
    double worst; // largest residual over its target; above 1 the series misses a target
};

// Up to 1 M, the data's own resolution: 1e-4 g/ml (four decimals) and 0.2 % of
// the viscosity (four figures); beyond, 3e-4 g/ml and 0.5 %.
double target(Kind kind, double c, double value);

bool readData(const QString &path, QList<Data> *data, QString *error);
Series fit(const Data &data);
double evaluate(const Series &series, double c);
bool writeSeries(const QString &path, const QList<Series> &series, QString *error);

} // namespace ToolsBufferFit

#endif
