#ifndef GUI_BUFFERCOMPONENTS_H
#define GUI_BUFFERCOMPONENTS_H

#include "app/app_calculationcontract.h"
#include "app/app_scriptmessages.h"
#include "sql/sql_referencerecords.h"
#include "ui_gui_buffercomponents.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QWidget>

class AppPlugin;
class AppScriptObject;
class GuiFieldReader;
class QComboBox;
class QTableWidgetItem;
struct SqlSolventRecord;

// The buffer composition page of the main window's stack: a buffer composed of
// the reference components with concentrations and units, its density and
// viscosity from the calculation module at 20 C and at the experiment
// temperature. The two tables hold the same components in the same row order;
// a component is in the buffer when its row of qtAddedComponents is shown.
class GuiBufferComponents : public QWidget, public Ui::QtBufferComponents
{
    Q_OBJECT

public:
    // What OK keeps and Cancel brings back.
    class SavedState
    {
    public:
        struct ComponentPair
        {
            QString concentration;
            QString units;
        };

        void clear();

        bool densityComputed = false;
        bool viscosityComputed = false;
        bool heavyWater = false;
        QHash<int, ComponentPair> components; // by component id
    };

    // Item data of the name items in both tables.
    enum Role {
        ComponentIdRole = Qt::UserRole + 2,
        DensitySeriesRole = Qt::UserRole + 3,
        ViscositySeriesRole = Qt::UserRole + 4
    };

    explicit GuiBufferComponents(QWidget *parent = nullptr);
    ~GuiBufferComponents() override;

    // Before setCalculationsPlugin, which it resets; the first call also connects the page's signals.
    void setDatabasePath(const QString &path);
    void initialize();
    void createConnections();
    void setCalculationsPlugin(AppPlugin *module);

    void fitAddedColumns();
    void populateComponents();
    // Keeps the unit a component of the buffer already has, marked red when
    // the component's data no longer allow it.
    void populateUnitsBox(QComboBox *box, bool hasDensity, bool hasMr);
    void setComponentStylesheet(QTableWidgetItem *item);
    void clearTables();

    // Degrees Celsius; the experiment temperature the corrections go to.
    void setTemperature(double temperature);
    double temperature() const;
    void calculateViscosityTemperatureCorrection();
    // The corrected figures, 0 when their field holds no number.
    double calculatedDensity() const;
    double calculatedViscosity() const;
    // The figures at 20 C, whole, as a record stores them; null when their
    // field holds no number.
    QVariant densityAt20() const;
    QVariant viscosityAt20() const;

    void loadBufferRecord(int id);
    // The same from a solvent already read, whole: an empty record is a new buffer.
    void showBufferRecord(const SqlSolventRecord &solvent);
    // The page's part of a solvent record, as showBufferRecord() takes it: its
    // water, components and (for the figures the tab takes from the page) its figures.
    // A reader given names each concentration that is no number the page takes.
    void fillRecord(SqlSolventRecord *solvent, bool densityComputed, bool viscosityComputed,
        GuiFieldReader *reader = nullptr) const;
    // The page shows the figures of a solvent saved before they were stored
    // at 20 C, as stored, and has not computed them since.
    bool showsOlderFigures() const;
    // The figures the solvent shown last was saved with that its components no
    // longer give (the reference data, or how they are computed, changed
    // since): the page computed them again. In words ("density at 20 C
    // 1.0051 (saved with 1.0044)"); empty when they agree.
    QString changedSinceSaved() const { return m_changedSinceSaved; }
    // The greyed fields of a calculation that is off show the form's water.
    void showWaterWhereUnchecked();
    // The tab took a source of its own over the page's figure (a typed or
    // standard one): the box (qtCalculateDensity or qtCalculateViscosity)
    // goes off, and stays off when the page is cancelled later, since that
    // is the tab's choice, not an edit on the page.
    void leaveCalculation(QGroupBox *box);
    void clear();

    // The .buf file behind the two file buttons. Both tell the person what
    // went wrong; writing returns false when the file is not complete.
    bool writeCompositionFile(const QString &fileName);
    void readCompositionFile(const QString &fileName);

public slots:
    void onAcceptClicked();
    void onNewComponentRecordAdded(int id);
    void onComponentRecordChanged(int id);
    void compute();
    void onCancelClicked();
    void onAddComponentClicked();
    void onRemoveComponentClicked();
    void onItemChanged(QTableWidgetItem *item);
    void onSearchTextEdited(const QString &text);
    void onReadFromFileClicked();
    void onSaveToFileClicked();
    void calculateDensityTemperatureCorrection();
    void saveCurrentState();
    void restoreToLastSavedState();
    void onDatabaseImporterRun();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigPageCanceled();
    void sigPageAccepted();
    void sigCalculatedDensityAccepted(qreal density);
    void sigCalculatedViscosityAccepted(qreal viscosity);
    void sigSaveToDatabase();
    // A change of the reference data changed the buffer shown or its figures
    // ("density at 20 C 1.0051 (was 1.0044)"), and the captions of the figures
    // that changed ("density at 20 C").
    void sigReferenceFiguresChanged(const QString &changes, const QStringList &figures);

private:
    struct ComponentRecord
    {
        int id = -1;
        QString name;
        QVariant densitySeries; // null when the component has none
        QVariant viscositySeries;
        bool hasDensity = false; // componentDensity given
        bool hasMr = false; // componentMr given
        bool active = true;
    };
    static ComponentRecord recordFrom(const SqlReferenceRecords::BufferComponent &component);
    // One component, by id; false when the query failed (the person was told) or found nothing.
    bool readComponent(int id, ComponentRecord *record, bool *failed);

    void fillRow(int row, const ComponentRecord &record);
    void sortTables();
    int rowOf(int componentId) const;
    QComboBox *unitsBox(int row) const;
    QList<QComboBox *> unitsBoxes() const;
    // Selects the unit, adding it marked red when the box does not offer it.
    static void selectUnits(QComboBox *box, const QString &units);
    // Clears the red mark and removes kept units once the box shows one it offers.
    static void dropKeptUnits(QComboBox *box);
    // Shows exactly the given components with their texts and units.
    void showComponents(const QHash<int, SavedState::ComponentPair> &components);
    QHash<int, SavedState::ComponentPair> shownComponents() const;
    // Writes a module answer into the page; a field the answer brings no value
    // for is emptied rather than left with a figure of other inputs.
    void writeResult(AppScriptObject *result, QLineEdit *field);
    // The module's answer for the shown components' figure at 20 C in light
    // water (the caller owns it).
    AppScriptObject *askAt20(const QString &function, Role seriesRole) const;
    // The row's concentration is typed (a number or not).
    bool hasConcentration(int row) const;
    // Every shown component has a concentration typed.
    bool concentrationsGiven() const;
    // The shown components that have a series of that kind, as one ARRAY of
    // rows (NAME, VALUE, ID of the series, ROW, UNITS); the caller owns it.
    AppScriptObject *componentRows(Role seriesRole) const;
    // The figure at 20 C in light water of `at20` corrected to the page's
    // temperature in its water, into `corrected`; in heavy water with the rows
    // of `seriesRole`.
    void correctToTemperature(const QLineEdit *at20, QLineEdit *corrected, Role seriesRole,
        const AppCalculation<2> &normal, const AppCalculation<5> &heavyWater);
    // What the shown components give now at 20 C in light water for each
    // figure the solvent stores (null where it stores none, or they give none).
    QPair<QVariant, QVariant> figuresAt20Now(const SqlSolventRecord &solvent) const;
    // The stored figures of a row without the mark of 20 C (one at least) are
    // what its components give at 20 C in light water.
    bool givesStoredFiguresAt20(const SqlSolventRecord &solvent) const;
    // The record keeps its figures at 20 C in light water: in their own
    // columns, or (marked) in place of those the page showed.
    static bool keepsFiguresAt20(const SqlSolventRecord &solvent);
    // After a change of reference data, what it changed of the buffer shown
    // (the component of that name `removed` from it) and of the figures at
    // 20 C the page shows, whole, against those before: told when anything did.
    void tellChangedFigures(
        const QVariant &densityBefore, const QVariant &viscosityBefore, const QString &removed = QString());
    void correctBoth();
    // A component just added has its concentration but not yet its chosen unit.
    bool awaitsUnit() const;
    // The person is done with the components being added (OK, a save, the next
    // component): what was held back of them is computed and said now.
    void finishEntries();
    // How a calculation pass of the page says what the module finds: held back while a unit is awaited.
    AppScriptMessages::Kind messagesPass() const;
    // A stored figure at 20 C shown in its field, whole for the corrections.
    static void showStoredFigure(QLineEdit *field, const QVariant &value);

    AppPlugin *m_calculations = nullptr; // not owned
    QSqlDatabase m_database;
    double m_temperature = 20.0;
    SavedState m_savedState;
    QString m_databasePath; // also the connection name
    QString m_waterDensity; // the form's figures at 20 C
    QString m_waterViscosity;
    bool m_connected = false;
    // The components of the loaded solvent that the reference data no longer
    // hold: its figures cannot be computed again without them.
    QStringList m_missingComponents;
    bool m_olderFigures = false; // see showsOlderFigures()
    // Components added whose unit is still to be chosen, by id.
    QSet<int> m_unitPending;
    QString m_changedSinceSaved; // see changedSinceSaved()
};

#endif
