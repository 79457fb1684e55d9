#ifndef GUI_UNITS_H
#define GUI_UNITS_H

class QLineEdit;
class QWidget;

// The units of the buffer figures where a person types them. Viscosity is in
// poise, and the usual figure in centipoise is a hundred times larger: typed
// by mistake, it gives an s20,w a hundred times too large.
namespace GuiUnits {

inline constexpr char viscosityTip[] = "poise (water at 20 C: 0.01002 P = 1.002 cP)";
inline constexpr char densityTip[] = "g/ml";

// A viscosity from here on is asked about: no aqueous buffer comes near it,
// and 0.5 cP typed as P would otherwise pass unnoticed.
inline constexpr double suspectPoise = 0.5;

// After an edit of a viscosity field: a value of suspectPoise or more brings
// the question whether it was meant in centipoise, and the answer Yes writes
// it in poise. True when the field was converted.
bool askCentipoise(QLineEdit *field, QWidget *parent);

} // namespace GuiUnits

#endif
