#ifndef GUI_CHANGEDEFAULTS_H
#define GUI_CHANGEDEFAULTS_H

#include "ui_gui_changedefaults.h"

#include <QDialog>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Row 1 of `defaults`, the program defaults, as text: empty where nothing is
// stored, all empty when the row cannot be read.
struct GuiDefaultsRow
{
    QString temperature, density, viscosity, vbar, pH, sk;
};

// Reader of the program defaults (row 1 of `defaults`) for the whole program,
// and the modal dialog in which the user changes them.
class GuiChangeDefaults : public QDialog, public Ui::QtChangeDefault
{
    Q_OBJECT

public:
    // connectionName: the name under which the database file's connection is
    // registered, which is the file path.
    explicit GuiChangeDefaults(QString connectionName, QDialog *parent = nullptr);
    ~GuiChangeDefaults() override;

    // Six strings: temperature, density, viscosity, vbar, pH and sk; all empty
    // when the row cannot be read, an empty one where no default is stored.
    QStringList defaultValues();
    // The same, by name.
    GuiDefaultsRow defaultsRow();

public slots:
    void onBrowseClicked();
    void onFinishedMakingChanges();

private:
    void initialize();
    void createConnections();
    // Writes one column of row 1 from a field; false when refused or failed.
    bool updateDefault(const char *column, const QLabel *label, const GuiLineEdit *field);

    QString m_connectionName;
    QSqlDatabase m_db;
};

#endif
