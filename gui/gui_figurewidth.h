#ifndef GUI_FIGUREWIDTH_H
#define GUI_FIGUREWIDTH_H

#include <QList>

class QFontMetrics;
class QLabel;
class QLineEdit;
class QWidget;

// A label or field that shows a figure is never narrower than the longest
// figure it can be given: a text cut at its edge reads as another figure
// ("1.86237e+10" for 1.86237e+104), and a layout short of room (a small
// screen) takes its width down to its minimum.
namespace GuiFigureWidth {

// The figures of most labels and fields: those of the one number helper.
inline constexpr int allDigits = 15;

// The width of the longest text of a figure of that many significant digits
// (sign, mantissa and a three-digit exponent) in the font.
int longestFigure(const QFontMetrics &metrics, int digits = allDigits);

void reserve(QLabel *label, int digits = allDigits);
void reserve(QLineEdit *field, int digits = allDigits);
// Every numeric field (GuiLineEdit) below the form, its pages' and dialogs' too.
void reserveFields(QWidget *form);

} // namespace GuiFigureWidth

#endif
