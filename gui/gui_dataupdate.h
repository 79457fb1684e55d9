#ifndef GUI_DATAUPDATE_H
#define GUI_DATAUPDATE_H

#include "sql/sql_referencerecords.h"
#include "ui_gui_dataupdate.h"

#include <QList>
#include <QString>
#include <QVector>
#include <QWidget>

class QAbstractButton;
class QCloseEvent;
class QLineEdit;

// The reference data editor: a top-level window per main window, on that
// window's connection, in which the reference tables are browsed and edited.
// Each save of an amino acid, conjugate, denaturant or buffer component is
// announced with the record id once it is committed, and each spectrum
// written by its name.
class GuiDataUpdate : public QWidget, public Ui::QtDataUpdate
{
    Q_OBJECT

public:
    // The ids carried by the table selector's entries.
    using Table = SqlReferenceRecords::Kind;

    explicit GuiDataUpdate(const QString &databasePath, QWidget *parent = nullptr);
    ~GuiDataUpdate() override;

    void lockRecordFrame(bool lock);
    // Relists the current table and shows the record with this id, or the first one.
    void updateRecordControlFrame(int id);
    void clear();
    void clearRecordFields();
    bool validateRecordName(const QString &table);

public slots:
    void showAminoAcidPage();
    void showConjugatePage();
    void showDenaturantPage();
    void showBufferComponentsPage();
    void showExtinctionPage();

    void showNewRecord();
    void showAminoAcidSave(bool showSaveButtons = true);
    void showConjugateSave(bool showSaveButtons = true);
    void showDenaturantSave(bool showSaveButtons = true);
    void showComponentsSave(bool showSaveButtons = true);
    void showExtinctionSave(bool showSaveButtons = true);
    void validateAminoCode();
    void enableExtinctionApplyButton();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigNewBufferComponentAdded(int id);
    void sigComponentRecordChanged(int id);
    void sigNewAminoRecordAdded(int id);
    void sigAminoRecordChanged(int id);
    void sigNewDenaturantRecordAdded(int id);
    void sigDenaturantRecordChanged(int id);
    void sigNewConjugateRecordAdded(int id);
    void sigConjugateRecordChanged(int id);
    // A spectrum added, changed or deleted, by its name.
    void sigExtinctionSpectrumChanged(const QString &name);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onDialogButtonClicked(QAbstractButton *button);
    void onDataTableChanged(int index);
    void onFirstRecordClicked();
    void onPrevRecordClicked();
    void onNextRecordClicked();
    void onLastRecordClicked();
    void onRecordSearchEdited(const QString &text);
    void onRecordAddToggled(bool checked);
    void onRecordDeleteToggled(bool checked);
    void onRecordNameChanged();
    void onAddSolventDataStateChanged(int state);

    void onAminoAcidRecordSaveClicked();
    void onAminoAcidRecordResetClicked();
    void onConjugateRecordSaveClicked();
    void onConjugateRecordResetClicked();
    void onDenaturantRecordSaveClicked();
    void onDenaturantRecordResetClicked();
    void onComponentRecordSaveClicked();
    void onComponentRecordResetClicked();
    void onExtinctionRecordSaveClicked();
    void onExtinctionRecordResetClicked();

private:
    // The listed records of the current table and the one shown, walked as the
    // rows of a query are: before the first, on one, or after the last.
    class Listing
    {
    public:
        Listing() = default;
        explicit Listing(const QVector<SqlReferenceRecords::Listed> &rows) : m_rows(rows) { }
        bool first();
        bool last();
        bool next();
        bool previous();
        bool isValid() const { return m_at >= 0; }
        bool isBeforeFirst() const { return m_at == beforeFirst; }
        bool isAfterLast() const { return m_at == afterLast; }
        // The record shown; an empty one when none is.
        const SqlReferenceRecords::Listed &current() const;

    private:
        static constexpr int beforeFirst = -1;
        static constexpr int afterLast = -2;
        QVector<SqlReferenceRecords::Listed> m_rows;
        int m_at = beforeFirst;
    };

    void initialize();
    void createConnections();

    Table currentTable() const;
    // A table's page, its Apply/Cancel box and the instruction shown while Apply is on.
    struct PageWidgets
    {
        QWidget *page;
        QDialogButtonBox *buttons;
        QLabel *instruction;
    };
    PageWidgets widgetsOf(Table table) const;
    // The current table's save-controls member.
    void showSave(Table table, bool show);
    // The shared body of the five save-controls members; `checksPass` adds
    // the page's own checks to the name check.
    void updateSaveControls(Table table, bool show, bool checksPass);
    // Leaves any edit: save controls off, frame released, fields enabled.
    void endEdit();
    void showTable(Table table);
    // Whether a record is on view: only such a record can be edited or deleted,
    // and a page without one is greyed.
    void offerShownRecord(bool shown);

    int listingId() const;
    // The name a save stores: the name field without blanks around it, as the
    // name check reads it.
    QString recordName() const;
    // Marks the page's value fields; false when one holds text that is not a number.
    bool checkValueFields(const QList<QLineEdit *> &fields);
    bool checkExtinctionCells();
    // Checks one amino code field against the stored codes; false when it
    // clashes or is empty, or when the check could not run (*failed set).
    bool checkAminoCode(QLineEdit *field, bool *failed);
    void clearValueMarks();
    QList<QLineEdit *> componentValueFields() const;
    void fillExtinctionGrid(bool freshGrid);

    // Stores a record filled from the page in the mode the frame is in, then
    // announces it and shows it.
    template<typename R>
    void saveRecord(Table table, R record, void (GuiDataUpdate::*added)(int), void (GuiDataUpdate::*changed)(int));
    // The box of a database failure: the file and the driver's text.
    void showDatabaseError();
    // Reruns the current table's listing and reads it to its end; false (after
    // the box) when it cannot run.
    bool relist();
    // The listing positioned on the spectrum of this name, then shown.
    void showSpectrum(const QString &name);

    QString m_connectionName;
    SqlReferenceRecords m_records;
    Listing m_listing;
    bool m_frameLocked = false;
    QList<QLineEdit *> m_aminoValues;
    QList<QLineEdit *> m_conjugateValues;
    QList<QLineEdit *> m_denaturantValues;
    QList<QLineEdit *> m_densityValues;
    QList<QLineEdit *> m_viscosityValues;
};

#endif
