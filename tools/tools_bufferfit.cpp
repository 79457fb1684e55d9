#include "tools/tools_bufferfit.h"

#include "app/app_number.h"
#include "sql/sql_referencedata.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ToolsBufferFit {

namespace {

const double kWaterDensity = 0.998234; // g/ml at 20 C, the program's
const double kWaterViscosity = 1.002; // cP at 20 C, the handbook table's water
const char *kSource = "Weighted minimax fit (tool_bufferfit) to CRC Handbook 102nd ed. table, 20 C";

// One term of a series form: C to the power half/2, times the form's scale.
struct Term
{
    int half;
    double scale;
};
// b to f of the density form, b to e of the viscosity form.
const Term kDensityTerms[] = { { 1, 1e-3 }, { 2, 1e-2 }, { 4, 1e-3 }, { 6, 1e-4 }, { 8, 1e-6 } };
const Term kViscosityTerms[] = { { 1, 1e-3 }, { 2, 1e-2 }, { 4, 1e-3 }, { 6, 1e-3 } };
const int kLinear = 1; // the linear term, which every fit uses

int termCount(Kind kind)
{
    return kind == Kind::Density ? 5 : 4;
}
const Term &term(Kind kind, int i)
{
    return kind == Kind::Density ? kDensityTerms[i] : kViscosityTerms[i];
}
double water(Kind kind)
{
    return kind == Kind::Density ? kWaterDensity : 1.0;
}

// Six significant digits, as the series are written.
double rounded(double value)
{
    return AppNumber::toText(value, 6).toDouble();
}

// Least squares of a (n rows, p columns, row-major) x = b by Householder QR;
// false when the columns are dependent.
bool leastSquares(std::vector<double> a, std::vector<double> b, int n, int p, std::vector<double> *x)
{
    if (n < p)
        return false;
    std::vector<double> norms(p, 0.0);
    for (int j = 0; j < p; ++j) { // columns scaled to unit length first
        for (int i = 0; i < n; ++i)
            norms[j] += a[i * p + j] * a[i * p + j];
        norms[j] = std::sqrt(norms[j]);
        if (norms[j] == 0)
            return false;
        for (int i = 0; i < n; ++i)
            a[i * p + j] /= norms[j];
    }
    std::vector<double> v(n);
    for (int k = 0; k < p; ++k) {
        double norm = 0;
        for (int i = k; i < n; ++i)
            norm += a[i * p + k] * a[i * p + k];
        norm = std::sqrt(norm);
        const double alpha = a[k * p + k] > 0 ? -norm : norm;
        double vv = 0;
        for (int i = k; i < n; ++i) {
            v[i] = a[i * p + k] - (i == k ? alpha : 0.0);
            vv += v[i] * v[i];
        }
        if (vv == 0)
            continue;
        for (int j = k; j < p; ++j) {
            double dot = 0;
            for (int i = k; i < n; ++i)
                dot += v[i] * a[i * p + j];
            for (int i = k; i < n; ++i)
                a[i * p + j] -= 2 * dot / vv * v[i];
        }
        double dot = 0;
        for (int i = k; i < n; ++i)
            dot += v[i] * b[i];
        for (int i = k; i < n; ++i)
            b[i] -= 2 * dot / vv * v[i];
    }
    x->assign(p, 0.0);
    for (int k = p - 1; k >= 0; --k) {
        if (std::fabs(a[k * p + k]) < 1e-12)
            return false;
        double sum = b[k];
        for (int j = k + 1; j < p; ++j)
            sum -= a[k * p + j] * (*x)[j];
        (*x)[k] = sum / a[k * p + k];
    }
    for (int j = 0; j < p; ++j)
        (*x)[j] /= norms[j];
    return true;
}

// A row the fit must follow: a handbook row, or a guard point that keeps the
// curve on the straight line from water to the first row below that row.
struct Row
{
    double c, value, target;
    bool guard;
};

struct Trial
{
    std::array<double, 6> coefficients {};
    double worst = HUGE_VAL;
    bool ok = false;
};

double seriesValue(Kind kind, const std::array<double, 6> &k, double c)
{
    double sum = k[0];
    for (int i = 0; i < termCount(kind); ++i)
        sum += k[i + 1] * term(kind, i).scale * std::pow(c, term(kind, i).half / 2.0);
    return sum;
}

// The fit of the given terms (a bit mask over b..f) to the rows, with its
// coefficients rounded as written. Weighted least squares first; when that
// misses a target, Lawson's iteration towards the smallest largest residual
// over its target (the weighted Chebyshev fit).
Trial fitTerms(Kind kind, const std::vector<Row> &rows, unsigned mask)
{
    std::vector<int> used;
    for (int i = 0; i < termCount(kind); ++i)
        if (mask & (1u << i))
            used.push_back(i);
    const int n = int(rows.size()), p = int(used.size());
    std::vector<double> weights(n, 1.0 / n);
    Trial best;
    for (int iteration = 0; iteration < 120; ++iteration) {
        std::vector<double> a(n * p), b(n), x;
        for (int r = 0; r < n; ++r) {
            const double w = std::sqrt(weights[r]) / rows[r].target;
            for (int j = 0; j < p; ++j)
                a[r * p + j] = w * term(kind, used[j]).scale * std::pow(rows[r].c, term(kind, used[j]).half / 2.0);
            b[r] = w * (rows[r].value - water(kind));
        }
        if (!leastSquares(a, b, n, p, &x))
            break;
        Trial trial;
        trial.coefficients[0] = water(kind);
        for (int j = 0; j < p; ++j)
            trial.coefficients[used[j] + 1] = rounded(x[j]);
        trial.worst = 0;
        std::vector<double> errors(n);
        double total = 0;
        for (int r = 0; r < n; ++r) {
            const double residual = std::fabs(seriesValue(kind, trial.coefficients, rows[r].c) - rows[r].value);
            trial.worst = std::max(trial.worst, residual / rows[r].target);
            errors[r] = residual / rows[r].target;
            total += weights[r] * errors[r];
        }
        trial.ok = true;
        if (trial.worst < best.worst)
            best = trial;
        if ((iteration == 0 && trial.worst <= 1) || total <= 0)
            break;
        for (int r = 0; r < n; ++r)
            weights[r] = weights[r] * errors[r] / total;
    }
    return best;
}

} // namespace

double target(Kind kind, double c, double value)
{
    if (kind == Kind::Density)
        return c <= 1 ? 1e-4 : 3e-4;
    return (c <= 1 ? 2e-3 : 5e-3) * value;
}

bool readData(const QString &path, QList<Data> *data, QString *error)
{
    QList<QStringList> csv;
    if (!SqlReferenceData::readCsv(path, &csv, error))
        return false;
    if (csv.isEmpty()) {
        *error = QStringLiteral("%1 has no header row").arg(path);
        return false;
    }
    const QStringList header = csv.takeFirst();
    QHash<QString, int> column;
    for (const char *name : { "solute", "density", "viscosity", "molarity_calc", "note" }) {
        column[QLatin1String(name)] = header.indexOf(QLatin1String(name));
        if (column[QLatin1String(name)] < 0) {
            *error = QStringLiteral("%1 has no column %2").arg(path, QLatin1String(name));
            return false;
        }
    }
    data->clear();
    QHash<QString, int> index;
    for (const QStringList &row : qAsConst(csv)) {
        const QString solute = row.value(column["solute"]);
        const QString cText = row.value(column["molarity_calc"]);
        // A note names the one property of its row that breaks the trend of its neighbours.
        const QString excluded = row.value(column["note"]).section(QLatin1Char(' '), 0, 0);
        double c = 0;
        if (!AppNumber::fromText(cText, &c) || c <= 0)
            continue;
        for (const Kind kind : { Kind::Density, Kind::Viscosity }) {
            const bool density = kind == Kind::Density;
            double value = 0;
            if (excluded == QLatin1String(density ? "density" : "viscosity")
                || !AppNumber::fromText(row.value(column[density ? "density" : "viscosity"]), &value))
                continue;
            const QString key = solute + (density ? QStringLiteral("|d") : QStringLiteral("|v"));
            if (!index.contains(key)) {
                index[key] = data->size();
                data->append({ solute, kind, {} });
            }
            (*data)[index[key]].points.append({ c, density ? value : value / kWaterViscosity, cText });
        }
    }
    for (Data &d : *data)
        std::sort(d.points.begin(), d.points.end(), [](const Point &x, const Point &y) { return x.c < y.c; });
    return true;
}

namespace {

// Solutes that form no ions in water (or, like acetic acid and Tris base, too
// few to count): their viscosity has no square-root term, which comes from the
// ions' atmospheres (Jones and Dole 1929).
bool isNonElectrolyte(const QString &solute)
{
    static const QStringList names = { QStringLiteral("Acetic acid"), QStringLiteral("D-Glucose"),
        QStringLiteral("D-Mannitol"), QStringLiteral("Ethanol"), QStringLiteral("Ethylene glycol"),
        QStringLiteral("Glycerol"), QStringLiteral("Methanol"), QStringLiteral("Sucrose"), QStringLiteral("Tris base"),
        QStringLiteral("Urea") };
    return names.contains(solute);
}

// The terms a series may use. A density has no square-root term: the apparent
// molar volume goes as the square root of C (Masson 1929), so the density leaves
// water linearly and its next term goes as C^1.5. A viscosity has the Jones-Dole
// A term only for an electrolyte, and there A is never negative (checked on the
// fitted coefficient), so no dilute solution is less viscous than water unless
// its B is negative.
unsigned allowedTerms(const Data &data)
{
    const unsigned all = (1u << termCount(data.kind)) - 1;
    const unsigned squareRoot = 1u;
    if (data.kind == Kind::Density || isNonElectrolyte(data.solute))
        return all & ~squareRoot;
    return all;
}

// The fit over the rows from index first on: the widest range that one of the
// allowed forms follows within the targets, and at it the form with the fewest
// terms (then the smallest error). The range never ends below 1 M, or below the
// last row when the data stop short of 1 M; where no form meets the targets over
// that range, the best one there is kept.
struct Choice
{
    Trial trial;
    int rows = 0; // the range ends before this row
    bool passed = false;
};

Choice fitFrom(const Data &data, int first)
{
    const int count = data.points.size();
    int least = count;
    for (int i = first; i < count; ++i) {
        if (data.points[i].c >= 1) {
            least = i + 1;
            break;
        }
    }
    const int terms = termCount(data.kind);
    const unsigned allowed = allowedTerms(data);
    const auto rowsUpTo = [&](int n) {
        std::vector<Row> rows;
        const Point &start = data.points[first];
        for (int k = 1; k <= 3; ++k) {
            const double c = start.c * k / 4, value = water(data.kind) + (start.value - water(data.kind)) * k / 4;
            rows.push_back({ c, value, target(data.kind, c, value), true });
        }
        for (int i = first; i < n; ++i)
            rows.push_back({ data.points[i].c, data.points[i].value,
                target(data.kind, data.points[i].c, data.points[i].value), false });
        return rows;
    };

    Choice chosen;
    chosen.rows = least;
    for (int n = count; n >= least && !chosen.passed; --n) {
        const std::vector<Row> rows = rowsUpTo(n);
        for (int size = 1; size <= terms && !chosen.passed; ++size) {
            for (unsigned mask = 1; mask < (1u << terms); ++mask) {
                int bits = 0;
                for (unsigned m = mask; m; m >>= 1)
                    bits += int(m & 1u);
                if (!(mask & (1u << kLinear)) || bits != size || (mask & ~allowed))
                    continue;
                const Trial trial = fitTerms(data.kind, rows, mask);
                if (!trial.ok || trial.coefficients[1] < 0)
                    continue;
                if (trial.worst <= 1 && (!chosen.passed || trial.worst < chosen.trial.worst)) {
                    chosen = { trial, n, true };
                } else if (!chosen.passed && n == least && trial.worst < chosen.trial.worst) {
                    chosen = { trial, n, false };
                }
            }
        }
    }
    return chosen;
}

} // namespace

// The two most dilute rows of a handbook table differ least from water, at the
// same resolution as the rest, so they say least about the curve. Where no
// allowed form follows them together with the others, or where they alone keep
// the series from reaching twice as far, the series follows the others; its
// error is still taken over every row up to Cmax.
Series fit(const Data &data)
{
    const int skipped = 2;
    Choice chosen = fitFrom(data, 0);
    int first = 0;
    if (data.points.size() > skipped + 1) {
        const Choice rest = fitFrom(data, skipped);
        const bool farther
            = rest.rows > chosen.rows && data.points[rest.rows - 1].c >= 2 * data.points[chosen.rows - 1].c;
        if (rest.passed && (!chosen.passed || farther)) {
            chosen = rest;
            first = skipped;
        }
    }

    Series series;
    series.name = data.solute;
    series.kind = data.kind;
    series.coefficients = chosen.trial.coefficients;
    series.points = chosen.rows - first;
    series.cmaxText = data.points[chosen.rows - 1].cText;
    series.worst = 0;
    double largest = 0;
    for (int i = 0; i < chosen.rows; ++i) {
        const Point &p = data.points[i];
        const double residual = std::fabs(evaluate(series, p.c) - p.value);
        largest = std::max(largest, residual);
        series.worst = std::max(series.worst, residual / target(data.kind, p.c, p.value));
    }
    series.errorMax = std::round(largest * 1e6) / 100; // units of 1e-4, two decimals
    return series;
}

double evaluate(const Series &series, double c)
{
    return seriesValue(series.kind, series.coefficients, c);
}

bool writeSeries(const QString &path, const QList<Series> &series, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << "name,kind,a,b,c,d,e,f,Cmax,ErrorMax,npoints,source\n";
    for (const Series &s : series) {
        const bool density = s.kind == Kind::Density;
        QStringList fields = { s.name, density ? QStringLiteral("density") : QStringLiteral("viscosity") };
        for (int i = 0; i < 6; ++i)
            fields << (i == 5 && !density ? QString() : AppNumber::toText(s.coefficients[i], 6));
        fields << s.cmaxText << AppNumber::toText(s.errorMax) << QString::number(s.points)
               << QLatin1Char('"') + QLatin1String(kSource) + QLatin1Char('"');
        out << fields.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace ToolsBufferFit
