#ifndef GUI_SAMPLECOMPOSITION_H
#define GUI_SAMPLECOMPOSITION_H

#include "ui_gui_samplecomposition.h"

#include <QChar>
#include <QHash>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class AppPlugin;
class GuiFieldReader;
class GuiAminoAcidSequence;
class GuiGrapher;
class QListWidgetItem;
class QPrinter;
class QTableWidget;
class QTableWidgetItem;
struct SqlSampleRecord;

// The sample composition page of the main window's stack: a protein described
// by its residue counts, conjugate amounts and an optional denaturant, with
// vbar, molar mass, extinction, charge and hydration from the calculation
// module. The form is a public base: the main window and the save dialog read
// its widgets by object name.
class GuiSampleComposition : public QWidget, public Ui::QtSampleComposition
{
    Q_OBJECT

public:
    // Item data roles of the reference lists.
    enum Role { RecordIdRole = Qt::UserRole + 1, MrRole = 100, PkaRole = 101, DenaturantIdRole = Qt::DecorationRole };
    // Column of the count in the residue table and of the amount in the conjugate table.
    enum Column { AminoNameColumn = 0, AminoCodeColumn = 1, AminoCountColumn = 2, ConjugateAmountColumn = 1 };

    explicit GuiSampleComposition(QWidget *parent = nullptr);
    ~GuiSampleComposition() override;

    // Once, before setCalculationsPlugin: loads the lists and connects the handlers.
    void setDatabasePath(const QString &path);
    void setCalculationsPlugin(AppPlugin *module);
    void clear();
    // Closes the charge and absorbance graph windows, with the main window.
    void closeGraphs();

    void setpH(const QString &pH);
    double aminoValue() const;
    double carboxylValue() const;
    void setAminoValue(double value);
    void setCarboxylValue(double value);
    // The chosen denaturant's record id as text; empty when none is chosen.
    QString denaturant() const;

    // The residue table as one-letter codes (a blank for a residue without a
    // code); empty beyond maxSequenceLength residues.
    QString toOneLetterCodes() const;
    static constexpr int maxSequenceLength = 1000000;
    // The sequence a sample stores: the one typed, pasted, read or loaded, as
    // it came (a converted cysteine stays a C: the counts hold the disulfides),
    // while the residue counts are still the ones set with it; otherwise empty.
    QString sequenceToStore() const;

    // The read command's file filters.
    static const char *const compositionFilter; // "Sample Composition (*.SMP)"
    static const char *const threeLetterSequenceFilter; // "3 Letter Amino Code Sequence (*.SEQ)"
    static const char *const oneLetterSequenceFilter; // "1 Letter Code (*.SEQ)"

    // Shows a stored sample whole (every count, amount, the denaturant, the
    // Calculate boxes and their figures, the pH, the end groups, the oligomer
    // and the sequence), then recalculates.
    void populateAminoTableFromSequence(int const &sampleId);
    // The same from a sample already read; an empty record is a new sample.
    // It is the sample the main window's tab holds: the page's Cancel returns to it.
    void showRecord(const SqlSampleRecord &sample);
    // The Calculate boxes and their figures as a sample stores them.
    void showCalculations(const SqlSampleRecord &sample);
    // The page's part of a sample record, as showRecord() takes it.
    // A reader given names each typed field and count that is no number the page takes.
    void fillRecord(SqlSampleRecord *sample, GuiFieldReader *reader = nullptr) const;
    // The page's Calculate boxes, as a sample stores them.
    enum Calculation { VbarCalculation = 1, MrCalculation = 2, HydrationCalculation = 4 };
    // The figures a stored sample was saved with that the page, having shown it,
    // no longer gives (the reference data, or how they are computed, changed
    // since), in words ("vbar 0.781142 (saved with 0.76246)"); empty when none,
    // and for a sample without a composition, whose figures stand alone. Only
    // the figures the sample took from its composition are compared: its vbar
    // only where it is the sample's vbar (`vbarIsComposition`: no typed or
    // standard vbar is its own).
    QString changesSince(const SqlSampleRecord &saved, bool vbarIsComposition) const;
    // Whether the sample took that figure from its composition: its Calculate
    // box was on; in a row stored before the boxes were, a figure other than 0
    // (a 0 is none, as an imported sample without it has).
    static bool tookFigure(const SqlSampleRecord &sample, const QVariant &figure, Calculation calculation);
    // The tab took a source of its own over the page's figure (a typed or
    // standard vbar): the box (qtCalculateVbar) goes off, and stays off when
    // the page is cancelled later, since that is the tab's choice, not an
    // edit on the page.
    void leaveCalculation(QGroupBox *box);
    // Whether a record holds a composition: counts, amounts or a sequence.
    static bool holdsComposition(const SqlSampleRecord &sample);
    static constexpr double defaultAminoPka = 7.35;
    static constexpr double defaultCarboxylPka = 3.9;
    // Sets the counts from a one-letter sequence (a blank is one CY2), then
    // recalculates. With convertCysteines, pairs of C become CY2 and an odd one
    // stays a free cysteine; without a CY2 row no C is converted.
    void populateAminoTableFromSequence(QString const &sequence, bool const &convertCysteines);
    // Adds the residues of a one-letter text to the counts, then recalculates.
    void fromOneLetterCodes(QString const &text);
    GuiAminoAcidSequence *aminoAcidSequenceDialog() const { return sequenceDialog; }

    // Reads the text of a composition file into the tables, then recalculates.
    void readCompositionText(const QString &text);

    // The printed summary: its HTML, and the printing of it without the dialog.
    QString summaryHtml();
    void printSummary(QPrinter *printer);
    // Summary operations: the class sums are filled while the residue rows are formatted.
    void resetSummaryCounts();
    QString getAminoCount(const QString &code);
    QString getAminoPKA(const QString &code) const;
    // A result text as printed: a dash where there is none.
    static QString formatSummaryValue(const QString &text);

    // Empties the text and tooltip of one column and paints its cells white.
    void clearTableColumn(QTableWidget *table, int column);

    // A count or amount: a finite number from 0 to 1e9.
    static bool isValidAmount(const QString &text, double *value = nullptr);
    // A whole number of chains from 1 on, nothing else.
    static bool isOligomerNumber(const QString &text, int *chains = nullptr);

public slots:
    void blockCalculations(bool block);
    void setSampleName(const QString &name);
    // The stored sequence of a loaded sample, after its counts: shown in the
    // sequence dialog and kept, as stored, as the sequence of those counts.
    void setSequence(const QString &sequence);
    void computeValues();

    void onDatabaseImporterRun();
    void onAminoRecordRemoved(int id);
    void onConjugateRecordRemoved(int id);
    // The reference data editor's announcements: the lists are read again and
    // the composition shown is computed with the reference data as they are now.
    void onNewAminoRecordAdded(int id);
    void onAminoRecordChanged(int id);
    void onNewDenaturantRecordAdded(int id);
    void onDenaturantRecordChanged(int id);
    void onNewConjugateRecordAdded(int id);
    void onConjugateRecordChanged(int id);
    // A spectrum changed: the absorbance graph is drawn from it.
    void onExtinctionSpectrumChanged(const QString &name);

    void onAcceptClicked();
    void onCancelClicked();
    void onClearClicked();
    void onComputeClicked();
    void onItemChanged(QTableWidgetItem *item);
    void onSearchTextEdited(const QString &text);
    void onDenaturantClicked(QListWidgetItem *item);
    void onUseDenaturantStateChanged(int state);
    void onMakeOligomerStateChanged(int state);
    void onOligomerNEditingFinished();
    void OnClickedChangePeptide();
    void onGraphChargeClicked();
    void onEditAASequenceClicked();
    void onSaveToFileClicked();
    void onReadFromFileClicked();
    void OnClickedPrintReport();
    void onGraphAbsorbanceClicked();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigCalculatedVBarAccepted(qreal vbar);
    void sigCalculatedMrAccepted(qreal mr);
    void sigCalculatedHydrationAccepted(qreal hydration);
    void sigPageAccepted();
    void sigPageCanceled();
    void sigSaveToDatabase();
    // A change of the reference data changed the composition shown or the
    // figures the main window takes from the page ("vbar 0.781142 (was 0.76246)"),
    // and the captions of the figures that changed ("vbar").
    void sigReferenceFiguresChanged(const QString &changes, const QStringList &figures);

private:
    void initialize();
    void createConnections();
    // False (after the box) when the list could not be read.
    bool populateAmino();
    bool populateConjugates();
    bool populateDenaturants();
    // The lists read again, the composition shown kept by record id and computed again.
    void followReferenceData();
    void removeRecordRow(QTableWidget *table, int id);
    void emptyResults();
    // The composition file: "name TAB amount" lines, residues, one empty line, conjugates.
    QString compositionText() const;
    void readSequenceData(const QByteArray &data, bool threeLetter);
    bool askToConvertCysteines(const QString &sequence);
    // A file offered under the composition filter that is a sequence: named
    // ".SEQ", or not named ".SMP" and holding letters and blanks only.
    static bool isSequenceFile(const QString &path, const QByteArray &data);
    // The residues of a one-letter text that the counts take, in its order and
    // upper case; with convertCysteines each pair of cysteines is one blank
    // (one CY2) at the place of its first, and an odd one stays a cysteine.
    // The characters counted nowhere are added to leftOut.
    QString countedResidues(const QString &text, bool convertCysteines, QStringList *leftOut = nullptr) const;
    // After a count was changed by hand: true when the page has no sequence, the counts still are the
    // sequence's, or the person drops the sequence; otherwise the count is put back.
    bool keepsSequence(QTableWidgetItem *count);
    int oligomerNumber() const;
    // A field's number, or NULL for an empty or non-numeric text.
    static QVariant numberOrNull(const QString &text);
    // The charge tab's caption names the pH the charge is computed at.
    void showChargePh();
    // The page holds a sequence whose counts are no longer the table's.
    bool countsLeftSequence() const;
    // No sequence on the page, nor in the sequence dialog.
    void forgetSequence();
    // Shows a sample whole (showRecord()) without making it the one the tab holds.
    void showComposition(const SqlSampleRecord &sample);
    // The page as it stands becomes the sample the tab holds (loaded, or handed over by OK).
    void holdAsTaken();
    // The residue counts by record id, those that are numbers other than 0.
    QHash<int, double> residueCounts() const;
    void showGraph(QPointer<GuiGrapher> &window, const QStringList &points, const QString &xTitle,
        const QString &yTitle, bool yTitleFirst);

    QString sequence; // the sample's sequence (sequenceToStore)
    QHash<int, double> sequenceCounts; // the residue counts set with it
    bool calculationsBlocked = false;
    AppPlugin *calculations = nullptr; // not owned
    // Owned, top-level; a window the person closes is not deleted, so the page deletes it.
    QPointer<GuiGrapher> chargeGraph;
    QPointer<GuiGrapher> absorbanceGraph;
    GuiAminoAcidSequence *sequenceDialog = nullptr; // a child of the page
    QSqlDatabase database;
    QHash<QChar, int> oneLetterCounts;
    double aminoEndPka = defaultAminoPka;
    double carboxylEndPka = defaultCarboxylPka;
    QStringList chargeGraphPoints;
    QStringList absorbanceGraphPoints;
    QString sampleName;
    // Residue classes of the summary: residues (per monomer) and their weight (all chains).
    double chargedCount = 0, chargedWeight = 0;
    double acidicCount = 0, acidicWeight = 0;
    double basicCount = 0, basicWeight = 0;
    double polarCount = 0, polarWeight = 0;
    double hydrophobicCount = 0, hydrophobicWeight = 0;
    double summaryMr = 0;
    QString databasePath;
    QString denaturantId;
    QStringList toldWarnings; // what the module said at the last computation, each told once
    int acceptedOligomerN = 2; // the last oligomer number the field was allowed to hold
    // The sample the main window's tab holds, as the page showed it when it was loaded or handed over.
    std::unique_ptr<SqlSampleRecord> taken;
};

#endif
