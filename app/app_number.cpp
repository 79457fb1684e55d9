#include "app/app_number.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <system_error>

namespace AppNumber {

QString toText(double value)
{
    return QString::number(value, 'g', 15);
}

QString toExactText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString toText(double value, int significantDigits)
{
    return QString::number(value, 'g', significantDigits);
}

QString toText(double value, char format, int precision)
{
    return QString::number(value, format, precision);
}

namespace {

bool fromLocaleText(QStringView text, double *value)
{
    // Made once: a paste reads hundreds of thousands of fields.
    static const QLocale c = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    const double v = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

} // namespace

// A plain decimal, the form spreadsheets, files and the plot window's own copy
// write ("-12.5", "2.5e+07"), is converted straight from the text, so that a
// paste of a hundred thousand points is not spent making strings. Both ways
// round correctly and so agree to the bit. Any other form, and results at the
// ends of the double range (where the two ways reject differently), go the
// locale's way.
bool fromText(QStringView field, double *value)
{
    // Powers of ten that a double holds exactly.
    static const double exactPowers[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
        1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22 };
    const quint64 exactLimit = quint64(1) << 53;

    // -?digits(.digits)?([eE][+-]?digits)?, read as mantissa * 10^power while
    // the mantissa's digits fit a double exactly.
    const int n = int(field.size());
    const char16_t *c = field.utf16();
    quint64 mantissa = 0;
    bool exact = true;
    int power = 0;
    auto digits = [&](int &i, int powerStep) {
        const int from = i;
        for (; i < n && c[i] >= u'0' && c[i] <= u'9'; ++i) {
            const unsigned digit = c[i] - u'0';
            if (mantissa <= (exactLimit - 9) / 10) {
                mantissa = mantissa * 10 + digit;
                power += powerStep;
            } else {
                exact = false;
            }
        }
        return i > from;
    };
    const bool negative = n > 0 && c[0] == u'-';
    int i = negative ? 1 : 0;
    bool plainForm = digits(i, 0);
    if (plainForm && i < n && c[i] == u'.')
        plainForm = digits(++i, -1);
    if (plainForm && i < n && (c[i] == u'e' || c[i] == u'E')) {
        const bool negativeExponent = ++i < n && c[i] == u'-';
        if (i < n && (c[i] == u'+' || c[i] == u'-'))
            ++i;
        int exponent = 0;
        const int from = i;
        for (; i < n && c[i] >= u'0' && c[i] <= u'9'; ++i)
            exponent = qMin(exponent * 10 + int(c[i] - u'0'), 100000);
        plainForm = i > from;
        power += negativeExponent ? -exponent : exponent;
    }
    if (!plainForm || i != n)
        return fromLocaleText(field, value);

    // An exact mantissa and an exact power of ten: one rounding (Clinger 1990).
    if (exact && (mantissa == 0 || (power >= -22 && power <= 22))) {
        double magnitude = 0;
        if (mantissa != 0)
            magnitude = power < 0 ? double(mantissa) / exactPowers[-power] : double(mantissa) * exactPowers[power];
        if (value)
            *value = negative ? -magnitude : magnitude;
        return true;
    }
    char plain[64];
    if (n < int(sizeof plain)) {
        for (int k = 0; k < n; ++k)
            plain[k] = char(c[k]);
        double v = 0;
        const std::from_chars_result read = std::from_chars(plain, plain + n, v);
        if (read.ec == std::errc() && read.ptr == plain + n && std::isnormal(v)) {
            if (value)
                *value = v;
            return true;
        }
    }
    return fromLocaleText(field, value);
}

bool fromText(const QString &text, double *value)
{
    return fromText(QStringView(text), value);
}

double valueOrZero(const QString &text)
{
    double value = 0.0;
    return fromText(text, &value) ? value : 0.0;
}

QString secondsText(qint64 ms)
{
    return toText(ms / 1000.0);
}

} // namespace AppNumber
