#include "gui/gui_figurechanges.h"

#include "app/app_number.h"

#include <QStringList>

namespace {

// The significant digits of a figure as its shortest text gives them (at most
// the fifteen that figures are shown and compared with).
int digitsOf(double value)
{
    QString mantissa = AppNumber::toText(value).section(QLatin1Char('e'), 0, 0);
    mantissa.remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    int first = 0;
    while (first < mantissa.size() - 1 && mantissa.at(first) == QLatin1Char('0'))
        ++first;
    return mantissa.size() - first;
}

// Two figures shown with the fewest digits, from six, that tell them apart.
QPair<QString, QString> shownApart(double before, double now)
{
    for (int digits = 6; digits < 15; ++digits) {
        const QString a = AppNumber::toText(before, digits), b = AppNumber::toText(now, digits);
        if (a != b)
            return { a, b };
    }
    return { AppNumber::toText(before), AppNumber::toText(now) };
}

bool isNumber(const QVariant &value)
{
    bool ok = false;
    return !value.isNull() && value.isValid() && (value.toDouble(&ok), ok);
}

} // namespace

void GuiFigureChanges::compare(const QString &caption, const QVariant &before, const QVariant &now)
{
    if (!isNumber(before))
        return;
    if (isNumber(now)) {
        const int digits = digitsOf(before.toDouble());
        if (AppNumber::toText(now.toDouble(), digits) == AppNumber::toText(before.toDouble(), digits))
            return;
    }
    m_changes.append({ caption, before, now });
}

void GuiFigureChanges::add(const QString &change)
{
    m_changes.append({ QString(), change, QVariant() });
}

QStringList GuiFigureChanges::captions() const
{
    QStringList captions;
    for (const Change &change : m_changes) {
        if (!change.caption.isEmpty())
            captions << change.caption;
    }
    return captions;
}

QString GuiFigureChanges::text(const QString &before) const
{
    QStringList parts;
    for (const Change &change : m_changes) {
        if (change.caption.isEmpty()) {
            parts << change.before.toString();
        } else if (!isNumber(change.now)) {
            parts << QStringLiteral("%1 none (%2 %3)")
                         .arg(change.caption, before, AppNumber::toText(change.before.toDouble()));
        } else {
            const QPair<QString, QString> shown = shownApart(change.before.toDouble(), change.now.toDouble());
            parts << QStringLiteral("%1 %2 (%3 %4)").arg(change.caption, shown.second, before, shown.first);
        }
    }
    return parts.join(QStringLiteral(", "));
}
