#ifndef GUI_CHANGEDEFAULTS_H
#define GUI_CHANGEDEFAULTS_H

#include "ui_gui_changedefaults.h"

#include "sql/sql_records.h"

#include <QDialog>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QtNumeric>

// What the main window's fields take of the values the defaults fill in: a
// default outside this would start every new form with a refused field.
namespace GuiDefaultBounds {
inline constexpr double leastPositive = 1e-07; // density, viscosity, vbar, pH
inline constexpr double greatestpH = 14;
inline constexpr double leastSk = 0;
} // namespace GuiDefaultBounds

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
    // One value row of the form: its box, caption, field, value of the
    // defaults row and the bounds its main-window field takes.
    struct ValueRow
    {
        QCheckBox *box;
        QLabel *label;
        GuiLineEdit *field;
        QVariant SqlDefaultsRow::*column;
        double least;
        double greatest = qInf();
    };
    QList<ValueRow> valueRows() const;
    // The checked rows' values, or false after saying which row is refused.
    bool readChanges(SqlDefaultsRow *changes);
    // Writes the changes in one transaction; false after saying why none is stored.
    bool writeChanges(const SqlDefaultsRow &changes);

    QString m_connectionName;
    QSqlDatabase m_db;
};

#endif
