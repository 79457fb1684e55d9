#include "gui/gui_figurewidth.h"

#include "gui/gui_lineedit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// The text margins a line edit keeps on either side of its text (QLineEdit's
// own, which it does not publish), and room for the cursor.
constexpr int lineEditMargins = 2 * 2 + 1;

} // namespace

int GuiFigureWidth::longestFigure(const QFontMetrics &metrics, int digits)
{
    // Digits need not be of one width in every font: the widest of each.
    int widest = 0;
    for (QChar digit = QLatin1Char('0'); digit <= QLatin1Char('9'); digit = QChar(digit.unicode() + 1)) {
        const QString mantissa = QString(digit) + QLatin1Char('.') + QString(digits - 1, digit);
        for (const char *exponent : { "e-308", "e+308" })
            widest = qMax(widest, metrics.horizontalAdvance(QLatin1Char('-') + mantissa + QLatin1String(exponent)));
    }
    return widest;
}

void GuiFigureWidth::reserve(QLabel *label, int digits)
{
    const QMargins margins = label->contentsMargins();
    const int need = longestFigure(label->fontMetrics(), digits) + margins.left() + margins.right()
        + 2 * label->margin() + qMax(label->indent(), 0);
    label->setMinimumWidth(qMax(label->minimumWidth(), need));
}

void GuiFigureWidth::reserve(QLineEdit *field, int digits)
{
    // As QLineEdit sizes itself, with the figure in place of its 17 x's.
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->contentsRect();
    option.lineWidth
        = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QMargins text = field->textMargins(), contents = field->contentsMargins();
    const int width = longestFigure(field->fontMetrics(), digits) + lineEditMargins + text.left() + text.right()
        + contents.left() + contents.right();
    const QSize need = field->style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(width, field->fontMetrics().height()), field);
    field->setMinimumWidth(qMax(field->minimumWidth(), need.width()));
}

void GuiFigureWidth::reserveFields(QWidget *form)
{
    const QList<GuiLineEdit *> fields = form->findChildren<GuiLineEdit *>();
    for (GuiLineEdit *field : fields)
        reserve(field);
}
