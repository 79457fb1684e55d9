#ifndef GUI_SAVEFILENAME_H
#define GUI_SAVEFILENAME_H

#include <QString>
#include <QVector>

class QWidget;

// The name a file the program writes is saved under: asked with the save
// dialog, and given the extension of the dialog's filter unless it ends in it
// already, so that the program's open dialogs, which filter by extension, list
// the file again. Whether to replace a file is asked about that name, the file
// then written, never about the name as typed.
namespace GuiSaveFileName {

// One kind of file a save dialog offers: its filter ("ASCII(*.DAT)") and the
// extension a file of that kind is given ("dat").
struct Format
{
    QString filter;
    QString extension;
};

// The name to write, with its extension; null when the person cancels or does
// not want to replace the file of that name.
QString ask(
    QWidget *parent, const QString &caption, const QString &folder, const QString &filter, const QString &extension);

// The name chosen in a dialog offering several formats, with the extension of
// the one chosen, which `format` returns (and preselects when it is one of
// them); null when the person cancels. Nothing is asked about replacing: a
// format that writes a file asks that with mayReplace().
QString choose(
    QWidget *parent, const QString &caption, const QString &folder, const QVector<Format> &formats, int *format);

// Whether the file of that name may be written: true when there is none, or
// when the person says to replace it.
bool mayReplace(QWidget *parent, const QString &caption, const QString &name);

} // namespace GuiSaveFileName

#endif
