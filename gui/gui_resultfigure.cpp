#include "gui/gui_resultfigure.h"

#include "app/app_number.h"

#include <QLabel>
#include <QVariant>

namespace {
const char *const FullValueProperty = "RESULT_FULL_VALUE";
} // namespace

void GuiResultFigure::show(QLabel *label, const QString &text)
{
    double value = 0;
    if (!AppNumber::fromText(text, &value)) {
        label->setProperty(FullValueProperty, QVariant());
        label->setText(text);
        return;
    }
    label->setProperty(FullValueProperty, text.trimmed());
    label->setText(shown(value));
}

QString GuiResultFigure::shown(double figure)
{
    return AppNumber::toText(figure, shownDigits);
}

QString GuiResultFigure::value(const QLabel *label)
{
    const QVariant full = label->property(FullValueProperty);
    double value = 0;
    // A label written since by setText() no longer shows the kept figure.
    if (full.isValid() && AppNumber::fromText(full.toString(), &value) && shown(value) == label->text())
        return full.toString();
    return label->text();
}
