#include "gui/gui_savefilename.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString GuiSaveFileName::ask(
    QWidget *parent, const QString &caption, const QString &folder, const QString &filter, const QString &extension)
{
    // The dialog would ask about the name as typed; the question is asked below,
    // about the file that is then written.
    QString name
        = QFileDialog::getSaveFileName(parent, caption, folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return QString();
    const QString suffix = QLatin1Char('.') + extension;
    // "Tris 0.1 M" ends in no extension of ours, whatever its dot says.
    if (!name.endsWith(suffix, Qt::CaseInsensitive))
        name += suffix;
    if (QFileInfo::exists(name)
        && QMessageBox::question(parent, caption,
               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(name).fileName()),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
        return QString();
    return name;
}
