#ifndef GUI_RESULTFIGURE_H
#define GUI_RESULTFIGURE_H

#include <QString>

class QLabel;

// A results label shows a figure to six significant digits so that it fits,
// while saves and the shape graphs go on from the module's full figure.
namespace GuiResultFigure {

// The significant digits a results label shows.
inline constexpr int shownDigits = 6;

// Shows text (a number in full, or anything else as it stands) and keeps it.
void show(QLabel *label, const QString &text);

// What a label shows of a figure.
QString shown(double figure);

// The full figure behind what the label shows, or its text when it was set
// some other way since (cleared, or written directly).
QString value(const QLabel *label);

} // namespace GuiResultFigure

#endif
