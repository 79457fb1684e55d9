#ifndef GUI_COMPLAINTS_H
#define GUI_COMPLAINTS_H

#include <QString>
#include <QStringList>

// The text of one box that names what a file reader left out or changed:
// a box of thousands of lines would reach past the screen with its OK button.
namespace GuiComplaints {

inline constexpr int shownLines = 20;

// The first shownLines lines, then "… and N more lines" for the rest.
QString text(const QStringList &lines);

} // namespace GuiComplaints

#endif
