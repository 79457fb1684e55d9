#include "app/app_number.h"

#include <QLocale>
#include <cmath>

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

bool fromText(const QString &text, double *value)
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

double valueOrZero(const QString &text)
{
    double value = 0.0;
    return fromText(text, &value) ? value : 0.0;
}

} // namespace AppNumber
