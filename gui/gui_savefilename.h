#ifndef GUI_SAVEFILENAME_H
#define GUI_SAVEFILENAME_H

#include <QString>

class QWidget;

// The name a file the program writes is saved under: asked with the save
// dialog, and given the extension of the dialog's filter unless it ends in it
// already, so that the program's open dialogs, which filter by extension, list
// the file again.
namespace GuiSaveFileName {

// The name to write, with its extension; null when the person cancels or does
// not want to replace the file of that name.
QString ask(
    QWidget *parent, const QString &caption, const QString &folder, const QString &filter, const QString &extension);

} // namespace GuiSaveFileName

#endif
