#include "gui/gui_savefilename.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include <algorithm>

QString GuiSaveFileName::ask(
    QWidget *parent, const QString &caption, const QString &folder, const QString &filter, const QString &extension)
{
    int format = 0;
    const QString name = choose(parent, caption, folder, { { filter, extension } }, &format);
    return name.isNull() || !mayReplace(parent, caption, name) ? QString() : name;
}

QString GuiSaveFileName::choose(
    QWidget *parent, const QString &caption, const QString &folder, const QVector<Format> &formats, int *format)
{
    QStringList filters;
    for (const Format &f : formats)
        filters << f.filter;
    QString selected = *format >= 0 && *format < formats.size() ? formats.at(*format).filter : QString();
    // The dialog would ask about the name as typed; mayReplace() asks about
    // the file that is then written.
    QString name = QFileDialog::getSaveFileName(
        parent, caption, folder, filters.join(QStringLiteral(";;")), &selected, QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return QString();
    *format = std::max(0, int(filters.indexOf(selected)));
    const QString suffix = QLatin1Char('.') + formats.value(*format).extension;
    // "Tris 0.1 M" ends in no extension of ours, whatever its dot says.
    if (!name.endsWith(suffix, Qt::CaseInsensitive))
        name += suffix;
    return name;
}

bool GuiSaveFileName::mayReplace(QWidget *parent, const QString &caption, const QString &name)
{
    return !QFileInfo::exists(name)
        || QMessageBox::question(parent, caption,
               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(name).fileName()),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}
