#ifndef GUI_VORNAKELMODULES_H
#define GUI_VORNAKELMODULES_H

#include "ui_gui_vornakelmodules.h"

#include <QDialog>
#include <QStringList>

// The list of loaded modules from which the user picks one to open. Each line
// is "name,version,HTML page,module file", as the module manager lists them.
class GuiVornakelModules : public QDialog, public Ui_QtVornakelModules
{
    Q_OBJECT

public:
    GuiVornakelModules(const QStringList &modules, const QString &searchPath, QWidget *parent = nullptr);

    // The selected rows, as lines of the same form.
    QStringList selectedModules() const;

private:
    void initialize();

    QStringList m_modules;
    QString m_searchPath;
};

#endif
