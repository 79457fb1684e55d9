#ifndef GUI_SAVETODATABASE_H
#define GUI_SAVETODATABASE_H

#include "ui_gui_savetodatabase.h"

#include "gui/gui_recordlistmodel.h"
#include "sql/sql_records.h"

#include <QDialog>
#include <QSqlDatabase>
#include <QString>

#include <functional>

class GuiFieldReader;
class GuiVornakel;
class QKeyEvent;
class QVariant;

// The modal dialog that stores what the main window shows as sample, solvent,
// experiment and results records. It fills each record from the main window's
// form, its pages and its standard-value dialogs, and stores it through sql/.
class GuiSaveToDatabase : public QDialog, public Ui_QtSaveToDatabase
{
    Q_OBJECT

public:
    enum Page { SampleRecordPage = 0, SolventRecordPage = 1, ExperimentRecordPage = 2, ResultsRecordPage = 3 };

    GuiSaveToDatabase(const QString &connectionName, GuiVornakel *mainWindow);
    ~GuiSaveToDatabase() override;

    // Shows the page's tab and runs the dialog modally.
    int execute(GuiSaveToDatabase::Page page);
    // Shows the page's tab with its lists filled, without running the dialog.
    void showPage(GuiSaveToDatabase::Page page);

    // A save started from a composition page takes what the page shows as its
    // OK would hand it to the tabs, also before OK was pressed.
    void setStartedFromPage(bool fromPage) { m_startedFromPage = fromPage; }

    // Refill one tab's name box (and the experiment tab's link list of that kind).
    void populateSample();
    void populateSolvent();
    void populateExperiment();
    void populateResults();

public slots:
    void onCurrentTabChanged(int index);
    void onNameBoxCurrentIndexChanged(int index);
    void onLinkToStateChanged(int state);
    void onRecordNameChanged();
    void onActivated(const QString &text);
    void onSaveSampleClicked();
    void onSaveSolventClicked();
    void onSaveExperimentClicked();
    void onSaveResultsClicked();

signals:
    void sigSampleRecordsChanged();
    void sigSolventRecordsChanged();
    void sigExperimentRecordsChanged();
    void sigResultsRecordsChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Selects a name box's default text when the box gets the focus.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class RecordKind { Sample, Solvent, Experiment, Results };

    // Stores one record through `records`: a new one when `storedId` is -1,
    // else over the stored record of that id; *savedId is the id written.
    using Writer = std::function<bool(SqlRecords &records, int storedId, int *savedId)>;
    // What an overwrite changes beyond the record's figures, for its question; empty for nothing.
    using Details = std::function<QString(SqlRecords &records, int storedId)>;

    // The frame every record save shares: wait cursor, the overwrite question,
    // the write (one transaction), the error box, and the closing steps after
    // the commit. A failure leaves the stored rows, the lists and the dialog
    // as they were.
    // A record read with a field refused is not saved: a box names the fields.
    bool refuses(RecordKind kind, const GuiFieldReader &read);
    void saveRecord(
        RecordKind kind, const GuiFieldReader &read, const Writer &write, const Details &details = Details());

    // The records as the main window shows them, under the name and with the
    // links the dialog gives.
    SqlSampleRecord sampleRecord(GuiFieldReader *read) const;
    SqlSolventRecord solventRecord(GuiFieldReader *read) const;
    SqlExperimentRecord experimentRecord(GuiFieldReader *read = nullptr) const;
    SqlResultsRecord resultsRecord(GuiFieldReader *read) const;

    // One tab's name box, and the experiment tab's link row of the same kind.
    struct RecordList
    {
        SqlRecordKind kind = SqlRecordKind::Sample;
        QComboBox *nameBox = nullptr;
        QString newRecordText;
        bool newRecordIsPlaceholder = false;
        QComboBox *linkList = nullptr;
        QCheckBox *linkBox = nullptr;
        QLabel *linkDate = nullptr;
        QDialogButtonBox *buttons = nullptr;
        bool nameFilled = false;
        bool linkFilled = false;
        bool linkKnown = false; // whether any record can be linked has been asked
        QString unlinked = QString(); // why the record the tab came from is not offered as a link
    };

    void initialize();
    void createConnections();
    // The link rows name the records the main window's tabs show.
    void loadExperiment();
    // The link row names the record its tab shows exactly, or none and why.
    void offerLink(RecordList &row);
    // Keeps the links to records the tabs show as stored, with their stamps;
    // asks before dropping the others. False: the save is cancelled.
    bool linksShown(SqlExperimentRecord *record);
    // The links an overwrite of that stored experiment changes, in words.
    QString linkChanges(SqlRecords &records, int storedId, const SqlExperimentRecord &saved);
    void populate(RecordList &list);
    bool readRecords(SqlRecordKind kind, QVector<GuiRecordListModel::Entry> *entries);
    void showLinkList(RecordList &list, const QVector<GuiRecordListModel::Entry> &entries);
    void setLinkAvailable(RecordList &list, bool any);
    void fillLinkList(RecordList &list);
    void fillShownTab();
    bool experimentNamed() const; // a stored experiment chosen, or a new one named
    // Typing into a box that shows its new-record text replaces the text.
    void selectDefaultTextOnFocus(QComboBox *nameBox);

    GuiVornakel *m_mainWindow; // not owned; also the parent
    QString m_connectionName;
    QSqlDatabase m_database;
    RecordList m_lists[4]; // sample, solvent, experiment, results
    RecordList &listOf(SqlRecordKind kind) { return m_lists[static_cast<int>(kind)]; }
    // A click gave a name box the focus: its press would undo the selection.
    bool m_selectOnPress = false;
    bool m_startedFromPage = false;
    bool m_linksOffered = false; // the link rows have named the records the tabs show
};

#endif
