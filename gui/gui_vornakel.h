#ifndef GUI_VORNAKEL_H
#define GUI_VORNAKEL_H

#include "app/app_calculationcontract.h"
#include "gui_valuesources.h"
#include "gui_waitcursor.h"
#include "ui_gui_vornakel.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

class AppPlugin;
class AppScriptObject;
struct GuiDefaultsRow;
class GuiChangeDefaults;
class GuiDataUpdate;
class GuiFieldReader;
class GuiDensityStandardValue;
class GuiGrapher;
class GuiLineEdit;
class GuiStandardValue;
class GuiVbarStandardValue;
class GuiViscosityStandardValue;
class QAbstractButton;
class QCloseEvent;
class QMoveEvent;
class QResizeEvent;
class XmlMessageProcessor;
enum class SqlRecordKind;
struct SqlExperimentRecord;
struct SqlResultsRecord;
struct SqlSampleRecord;
struct SqlSolventRecord;
class SqlRecords;

// The main window: one per open database file. The form is a public base, so
// the save dialog, the composition pages and the standard-value dialogs reach
// its widgets by object name.
class GuiVornakel : public QMainWindow, public Ui_QtVornakel
{
    Q_OBJECT

public:
    // How the molecular weight is obtained.
    enum class MrMethod { None = 0, ExactMr = 1, FromSigma = 2, FromComposition = 3 };
    Q_ENUM(MrMethod)

    // A null path stands for the default database file. Builds neither the
    // form nor any other object: initVornakel() does.
    explicit GuiVornakel(const QString &path, QWidget *parent = nullptr);
    ~GuiVornakel() override;

    // The start-up sequence. False when the database or the calculation module
    // cannot be had (the user has been told); the caller then ends the program
    // with exit code 1.
    bool initVornakel();
    void initialize();
    void createConnections();
    // Every label and field that shows a figure holds its longest text.
    void reserveFigureWidths();
    // False after a box has said why the file cannot be used.
    bool openDatabase(const QString &path);

    // Where the program looks by default, from the executable's folder.
    static QString databasePath();
    static QString modulesPath();

    // Several database windows.
    QString activeDbLocation() const;
    void mainVornakelWindow();
    void syncVornakelList(QList<GuiVornakel *> list);
    QList<GuiVornakel *> vornakelList() const { return m_vornakelList; }

    // Experiment calculations.
    void calculate();
    void equilibriumTempCalculations();
    MrMethod mrCalculationMethod() const;
    double So20W_K() const;
    void blockCalculations(bool block);
    void stopSignals(bool stop);
    void setBusyCursor(bool busy);
    // The calculation module "MainScreen" the window calls (not handed over).
    AppPlugin *calculationsPlugin() const;
    // Another calculation module in its place (a test's recording one). The
    // window deletes neither: the module manager owns the modules it loaded,
    // and whoever made another keeps it alive while the window uses it. Only
    // after initVornakel(), which builds the pages and dialogs it is handed to.
    void setCalculationsPlugin(AppPlugin *module);

    // Results page and shape graphs.
    void alignLabels();
    // A unit label inside its field (the stop sign too), at its height there.
    struct UnitLabel
    {
        QWidget *label;
        QLineEdit *field;
        int y;
    };
    QVector<UnitLabel> unitLabels() const;
    // Between a unit label and its field's right edge.
    static constexpr int unitGap = 5;
    void generateGraphData();
    // Brings the Results tab up to date when its inputs have changed since it
    // was computed or loaded; false when they give no figures.
    bool resultsUpToDate();

    // Clearing and loading the tabs.
    void clearSamplePage();
    void clearSolventPage();
    void clearExperimentPage();
    void clearResultsPage();
    void loadSamplePage(int id);
    void loadSolventPage(int id);
    void loadExperimentPage(int id);
    void loadResultsPage(int id);

    // Each tab as one record: what it shows, whole, as a save stores it (the
    // name and links are the save dialog's), and what New shows. A save
    // started from a composition page takes the page's figures as its OK
    // would hand them to the tab. Loading, New, Clear and File > New show
    // such a record whole; nothing else sets what they set.
    // A reader given names every field whose text is no number it takes
    // (stored as NULL in the record): a save refuses such a record.
    SqlSampleRecord sampleShown(bool fromPage = false, GuiFieldReader *reader = nullptr) const;
    SqlSolventRecord solventShown(bool fromPage = false, GuiFieldReader *reader = nullptr) const;
    SqlExperimentRecord experimentShown(GuiFieldReader *reader = nullptr) const;
    SqlResultsRecord resultsShown(GuiFieldReader *reader = nullptr) const;
    SqlSampleRecord newSample() const;
    SqlSolventRecord newSolvent() const;

    // The stored record a tab shows exactly, as it is in the file now: a save
    // links only that one. Its id and stamp (SqlRecords::stamp()), or -1 with
    // `why` saying why the record the tab came from is not it any more
    // (empty when the tab came from none).
    int shownRecord(SqlRecordKind kind, QString *stamp = nullptr, QString *why = nullptr) const;
    // A record just saved is what its tab shows: the record of that id, named
    // so, holding what the tab shows (as a save started from a composition
    // page takes it), with the stamp and version its save left it at.
    void holdSavedRecord(
        SqlRecordKind kind, int id, const QString &name, bool fromPage, const QString &stamp, const QString &version);
    // The version (SqlRecords::version()) of the stored record of that id as
    // this window took it, loaded or saved, if its tab came from that record
    // (also when it changed since); empty otherwise.
    QString takenVersion(SqlRecordKind kind, int id) const;
    // The id of the stored record of that kind the tab came from, loaded or
    // saved (also when it changed since), if it was named `name`; -1 otherwise.
    int takenId(SqlRecordKind kind, const QString &name) const;

    // Main window commands.
    bool loadAdditionalModule(QString nameAndVersion);

    // The reference data editor of this window's database file.
    GuiDataUpdate *referenceDataEditor() const { return m_dataUpdate; }

    // The standard-value dialogs, read by the save dialog.
    GuiVbarStandardValue *vbarStandardValue() const;
    GuiDensityStandardValue *densityStandardValue() const;
    GuiViscosityStandardValue *viscosityStandardValue() const;

    // Dynamic properties of a record list: the text of the entry last taken
    // over into the tab, and the id of a record just saved, by which the next
    // refill selects it.
    static constexpr const char *lastRecordProperty = "combobox_last_record";
    static constexpr const char *lastRecordIdProperty = "combobox_last_record_id";

public slots:
    void firstShow();
    void log(const QString &message);
    void debug();

    // Clearing, accepting and cancelling pages.
    void clear();
    void onPageAccepted();
    void onPageCanceled();

    // Record lists.
    void populateSampleRecordList();
    void populateSolventRecordList();
    void populateExperimentRecordList();
    void populateResultsRecordList();
    void onRecordComboBoxChanged();
    void onDatabaseImporterRun();

    // Several database windows.
    void onShowExperimentalDatabases();

    // Main window commands.
    void onChangeDefaults();
    void onImport();
    void onShowAboutVornakel();
    void onSaveToDBClicked();
    void onShowAdditionalModules();
    void onShowModuleWindow(QString moduleUIPath, QString moduleScriptPath);
    void onCheckForUpdates();
    void onHelpContentClicked();
    void onHelpContentSearchClicked();
    void onPluginError(const QString &text);

    // Field input rules.
    void onValueEdited();
    void onValueChanged();
    void onSampleVbarDirectEntry(bool checked);
    void onBufferDensityDirectEntry(bool checked);
    void onBufferViscosityDirectEntry(bool checked);
    void onClickedVbarStandard();
    void onClickedDensityStandard();
    void onClickedViscosityStandard();
    void onClickedFromComposition();
    void onClickedVbarCompute();
    void onClickedDensityCompute();
    void onClickedViscosityCompute();
    void onExactMolecularWeightDirectEntry();
    void onSetFromSigma();
    void onskButtonClicked();
    void onCurrentTabChanged(int index);
    void slotExchange();

    // Experiment calculations.
    void onSedEqTempChanged();
    void onCalculatedVBarAccepted(qreal value);
    void onCalculatedMrAccepted(qreal value);
    void onCalculatedHydrationAccepted(qreal value);
    void onBufferDensityCalculated(qreal value);
    void onBufferViscosityCalculated(qreal value);

    // Reference data changed behind a composition page: the figures it gives
    // now reach the tabs, and the person is told what changed.
    void onPageFollowedReferenceData(const QString &changes, const QStringList &figures);

    // Results page and shape graphs.
    void calculateResults();
    void onToggledHydrateNothing(bool checked);
    void onToggledHydrateProlate(bool checked);
    void onToggledHydrateOblate(bool checked);
    void onToggledHydrateComputed(bool checked);
    void onToggledHydrateDelta1(bool checked);
    void onHydrateRatioEdited();
    void enableShapeButtons();
    void onGraphShapeClicked();
    void onGraphAoverBClicked();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigShown();
    void sigShowSplashMessage(const QString &message);
    void sigModulePath(QString moduleUIPath, QString moduleScriptPath);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    using Source = GuiValueSources::Source;

    // A top-level window opened from this one (a graph, a module's window),
    // closed when this window closes.
    void keepWithWindow(QWidget *window);
    void showTabs(); // the stacked widget back on the page that holds the tabs

    // Record lists and loaders.
    void fillRecordList(QComboBox *list, const QComboBox *sortBy, SqlRecordKind kind, const QString &first);
    // The id to load (-1 takes the list's current entry, which it then is);
    // false when that entry starts a new record.
    bool pickRecord(QComboBox *list, int *id);
    bool optionsStopped() const;
    // The buffer page at the equilibrium temperature, when that is a valid entry.
    void bufferPageAtRunTemperature();
    // A stored figure shown in its field; a later temperature correction still
    // starts from the base of the field's source.
    void showStoredFigure(GuiLineEdit *field, const QVariant &value);
    // The chosen standard values of these sources shown as their dialogs' OK
    // makes them: taken to 20 C, then to the run temperature.
    void showStandardValues(std::initializer_list<Source> sources);
    // The buttons, dialog and field of the vbar, density or viscosity.
    struct SourceWidgets
    {
        QAbstractButton *direct;
        QAbstractButton *standard;
        QAbstractButton *compute;
        GuiStandardValue *dialog;
        GuiLineEdit *field;
    };
    SourceWidgets sourceWidgets(Source source) const;
    // The source word of the button that chose a figure (standard when none has).
    QString sourceWord(Source source) const;
    // Presses the source's button for a word and makes it the chosen one.
    void chooseSource(Source source, const QString &word);
    // A figure shown from its source: typed, a standard value through its
    // dialog (taken to the run temperature), or the composition page's.
    void showFigure(
        Source source, const QString &word, const QVariant &typed, const QVariant &computed, bool stored = true);
    // A figure of a run from the source the run stored (a source word, a
    // standard value and the temperature it was measured at). The linked
    // record shown keeps its own source where the run stored none, or where
    // both computed it; otherwise the run's own source and figure stand.
    void showRunFigure(Source source, const QVariant &chosen, const QVariant &standard, const QVariant &measuredAt,
        const QVariant &figure, bool linked, const QVariant &runTemperature);
    // Writes the whole tab (and its page and dialogs) from a record.
    // A new record's standard value shows as its field's default text; a
    // stored one as its dialog's OK makes it.
    void showSample(const SqlSampleRecord &record, bool stored);
    // How a sample's vbar is obtained: its source word, or in a row stored
    // before sources were, the one its figures give.
    static QString vbarSourceOf(const SqlSampleRecord &record);
    void showSolvent(const SqlSolventRecord &record, bool stored);
    void showExperiment(const SqlExperimentRecord &record);
    void showResults(const SqlResultsRecord &record);
    // New results: no figures, the cleared options.
    void showNewResults();
    // The shape group, the ratio field and the figures' captions follow the
    // checked hydration option (the rule of the results calculation), also
    // while its handlers are stopped.
    void enableForHydrationOption();
    // The captions of the Results tab's hydration, axial ratio and axes, and
    // the names messages give those figures, for the checked option and shape.
    void showResultCaptions();
    // The Experiment tab's Mr method "exact Mr", with its field open for typing.
    void useExactMr();
    // A sedimentation coefficient typed in svedbergs, in seconds.
    static void takeSvedbergs(GuiLineEdit *field);
    // The s20,w caption: with a concentration it is so20,w.
    void showS20wCaption();
    // Whether the vbar shown is the sample composition's own (its Compute),
    // rather than typed or a standard value.
    bool showsCompositionVbar() const;
    // The composition's vbar in water at 20 C that s20,w uses, only while the
    // vbar shown is that composition's: the page's, or the one a loaded run
    // stored while it shows the run's composition vbar. Null for a typed or
    // standard vbar, which is the vbar on both sides of s20,w.
    QVariant vbarInWater() const;
    // The composition's figures that go with the vbar the Sample tab shows,
    // taken from the page whenever the tab takes its vbar (OK, a load, a
    // change of reference data the tab follows): its 25 C estimate, its vbar
    // in water at 20 C and its vbar without the denaturant. The page may
    // compute others since (its vbar calculation off, a change not yet
    // taken); every figure of the window is computed with these.
    struct CompositionVbar
    {
        QVariant vbar, water, undenatured;
    };
    void holdCompositionVbar();
    // The inputs "aVbar" and "vbarwater" of s20,w: the vbar it is normalised
    // with, whatever the Mr method. The shape figures take f from s20,w with
    // the same one.
    struct NormalisingVbar
    {
        QVariant aVbar, vbarWater;
    };
    NormalisingVbar normalisingVbar() const;
    // The composition's vbar without its denaturant (its 25 C estimate), the
    // dry particle's of the radius and the shape figures, while the vbar shown
    // is the composition's: the page's, or the one a loaded run's vbar in
    // water gives while it shows the run's composition vbar; 0 for none (the
    // vbar shown is then the dry particle's).
    double undenaturedVbar() const;
    // A speed empty or 0 (as the file's format stores a velocity run's): no equilibrium speed.
    bool withoutEquilibriumSpeed() const;
    // Beside the equilibrium figures, what a run without a speed leaves empty.
    void showEquilibriumSpeedNote();
    // The water of the buffer the Solvent tab's figures are in (fractions of
    // 1): the buffer page's when it is heavy, or the one a loaded run stored.
    // Every figure of the tab is carried between temperatures in it.
    using BufferWater = AppCalculationContract::Water;
    BufferWater bufferWater() const;
    // The Solvent tab's figures came from a run without its solvent: they are
    // in the run's water, which stays with them until another solvent is shown.
    void holdRunWater(const std::optional<BufferWater> &water);
    // The Solvent tab says which water its figures are in.
    void showSolventWater();
    // A standard value's figure from its dialog: the dialog's value at 20 C,
    // every digit, carried to the run temperature.
    void carryStandardValue(Source source);
    // A radius and s20,w a loaded run holds as typed: shown again after the
    // calculation that follows its load.
    void showTypedFigures();
    // A record list naming no stored record, without a question or a load;
    // its remembered entry stays.
    void showNoRecord(QComboBox *list);
    // The box of a record that cannot be read: its kind, then the file and the driver's text.
    void showLoadFailure(const QString &what, const SqlRecords &records);
    // The Mr method "From Composition" in use, as its button shows it.
    void useMrFromComposition();
    // The computed hydration of the sample shown, or none; "Use computed
    // delta1" is offered only while there is one, and shows it while chosen.
    void holdComputedHydration(const double *value);
    // The program defaults; all empty without the defaults dialog.
    GuiDefaultsRow defaults() const;
    // Writes result trees into the form with the window's own signals blocked;
    // returns the graph points they carry.
    QStringList writeResults(const QList<AppScriptObject *> &results);
    // Takes the disabled (standard or computed) vbar, density and viscosity,
    // or only the one given, from 20 C to the equilibrium temperature.
    void correctForTemperature(const QLineEdit *only);
    // Empties computed figures whose inputs are missing, leaving those the person typed over.
    void emptyFigures(const QList<GuiLineEdit *> &figures);
    // The shape and a/b graph buttons, offered while the tab shows the figures they draw.
    void enableGraphButtons();
    // Empties the figures of the Results tab, leaving its options as they are.
    void emptyResultFigures();
    // What the Results tab's calculation says of its inputs, shown under its
    // figures until they are computed again (nothing: the note is hidden).
    void showResultsNote(const QStringList &warnings);
    // The Results tab's inputs: whether its calculation can be sent.
    struct ResultsInputs
    {
        bool mrMissing = true;
        bool ratioValid = true; // the axial ratio or hydration is empty or a number
        bool sendable = false;
    };
    ResultsInputs resultsInputs() const;
    // The module's answer to the Results tab's inputs with that hydration
    // option and shape (the caller owns it); null without a module.
    AppScriptObject *resultsAnswer(const QString &hydration, const QString &shape) const;
    // Beside stored results shown as stored, the note of the calculation of
    // the inputs the tabs show, where those give the figures shown.
    void noteStoredResults();
    // Marks the Results tab out of date whenever one of its inputs changes.
    void watchResultsInputs();
    // The figures of the Results tab, in the order a record lists them.
    QList<QLabel *> resultFigureLabels() const;
    // What the Results tab shows of a record: its figures and choices as texts.
    QStringList resultsShownTexts() const;
    // A record list names a stored record only while its tab shows it as
    // loaded (or saved); otherwise it goes to its new-record entry, and the tab
    // is held as changed since that record.
    void followShownRecords();
    // What a tab shows of its record, as texts to compare.
    QStringList shownValues(SqlRecordKind kind, bool fromPage = false) const;
    QComboBox *recordList(SqlRecordKind kind) const;
    // A record chosen from a list that is no longer in the file: says so,
    // reads the list again and keeps what the tab shows. False when it is there.
    bool chosenRecordGone(QComboBox *list, const QVariant &remembered);
    SqlRecordKind kindOf(const QComboBox *list) const;
    // The list read again in its order, under the new-record entry it has.
    void refillRecordList(QComboBox *list);
    // A record loaded into its tab (-1: none), with what it holds in the file.
    void holdLoaded(SqlRecordKind kind, int id, const QString &name, const QStringList &values, const QString &version);
    // A source of the tab chosen over its page's Calculate box: the box goes
    // off, also for the page's Cancel.
    void leavePageCalculation(QGroupBox *pageChoice);
    void setDirectEntry(bool checked, QAbstractButton *button, Source source, QLineEdit *field, QLabel *caption,
        QGroupBox *pageChoice, bool greyWhenLeft);
    void chooseStandardValue(
        GuiStandardValue *dialog, Source source, QAbstractButton *standardButton, QGroupBox *pageChoice);

    XmlMessageProcessor *m_moduleManager = nullptr;
    std::unique_ptr<GuiWaitCursor> m_busyCursor;
    AppPlugin *m_calculationsPlugin = nullptr; // not owned: lent by the module manager
    GuiDataUpdate *m_dataUpdate = nullptr;
    QSqlDatabase m_database;
    GuiDensityStandardValue *m_densityStandardValue = nullptr;
    GuiViscosityStandardValue *m_viscosityStandardValue = nullptr;
    GuiVbarStandardValue *m_vbarStandardValue = nullptr;
    bool m_clearing = false; // silences plugin errors while clear() runs
    bool m_loadingLinkedSample = false; // the sample is shown as a run's: its link, or none
    // The Results tab's inputs changed since its figures were computed or
    // loaded; its last computation gave no figures.
    bool m_resultsStale = false;
    bool m_resultsWithoutFigures = false;
    // The stored record each tab shows (by SqlRecordKind): the record it came
    // from and what the tab showed of it, until the tab shows something else.
    struct ShownRecord
    {
        int id = -1; // -1: a new record
        QString name;
        QString stamp; // what the record held in the file when it was loaded or saved
        QString version; // the record's version then, with its name, links and date
        QStringList shown; // empty: to be taken once its load is computed
        bool changed = false; // the tab shows something else now
        QString why; // why it is not the record any more, where the change says more than "changed"
        // The figures it was saved with that its composition no longer gives,
        // in words: the tab shows those it gives now.
        QString sinceSaved;
    };
    ShownRecord m_shown[4];
    ShownRecord &shownOf(SqlRecordKind kind) { return m_shown[static_cast<int>(kind)]; }
    const ShownRecord &shownOf(SqlRecordKind kind) const { return m_shown[static_cast<int>(kind)]; }
    // The tab shows that stored record as it was loaded or saved.
    bool showsStored(SqlRecordKind kind) const;
    // Held while a load or clear writes the tabs: they are compared once done.
    bool m_followHeld = false;
    // The tab shows a stored record whose composition gave other figures when
    // it was shown: it is the record no more, and the list says so.
    void holdNotAsSaved(SqlRecordKind kind, const QString &changes);
    // Says so of a record just chosen from its list.
    void tellNotAsSaved(QComboBox *list);
    // Which figures the tabs take from the composition and buffer pages: those
    // whose source is the page, where the page computes them.
    struct FiguresFromPages
    {
        bool vbar, mr, hydration, density, viscosity;
    };
    FiguresFromPages figuresFromPages() const;
    // The figures a tab takes from its composition page (those whose source
    // is the page), as the page gives them now. No calculation follows.
    void takeCompositionFigures();
    // Which tab figures the captions of a page's changed figures stand for:
    // those the tabs take from the page now, or those they leave as they were.
    QStringList tabFiguresOf(const QStringList &pageFigures, bool sample, bool taken) const;
    // Those of the composition page or the buffer page, and the calculation
    // that follows them.
    void takePageFigures(bool composition);
    // The composition's vbar (its 25 C estimate) at the run temperature, as
    // accepted from the page.
    QVariant compositionVbarAtRunTemperature(const QVariant &vbar);
    // A page that followed a change of reference data while open: its figures
    // reach the tabs when it is closed.
    bool m_compositionFollowsPending = false;
    bool m_bufferFollowsPending = false;
    QString m_databasePath; // also the name of this window's connection

    // Graph points of the last graph calculation, sorted by tag.
    QStringList graphShapePoints;
    QStringList graphWShapePoints;
    QStringList gcraphShapePoints;
    QStringList gtraphShapePoints;
    QStringList axelPoints;
    QStringList aOverBPoints;
    QPointer<GuiGrapher> aOverBGraph; // the newest a/b window; it deletes itself when closed
    QList<QPointer<QWidget>> m_openedWindows; // see keepWithWindow()

    bool m_calculationsBlocked = false;
    GuiChangeDefaults *m_changeDefaults = nullptr;
    QList<GuiVornakel *> m_vornakelList; // this window's copy of the open windows

    MrMethod m_mrMethod = MrMethod::None;
    // The buttons that chose each source, the 20 C bases of the corrected
    // fields and the computed hydration.
    GuiValueSources m_sources;
    // Held from a loaded run: its vbar in water (see vbarInWater()) and its
    // buffer's water (bufferWater()) while no sample or solvent of the run's
    // own is shown, and the radius and s20,w it holds as typed until they are
    // shown again.
    QVariant m_runVbarWater;
    CompositionVbar m_compositionVbar; // see holdCompositionVbar()
    std::optional<BufferWater> m_runWater;
    QVariant m_typedRp, m_typedS20w;

    bool m_initialized = false; // the form is built and the geometry restored
    // The splash time can run out while a start-up message box waits for the
    // person: the window shows only once initVornakel() has succeeded.
    bool m_started = false;
    bool m_showPending = false;
};

#endif
