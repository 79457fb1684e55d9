#include "gui/gui_vornakel.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_savefile.h"
#include "app/app_windowgeometry.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_figurewidth.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_style.h"
#include "gui/gui_units.h"
#include "sql/sql_databasefile.h"
#include "sql/sql_updatedatabase.h"
#include "xml/xml_messageprocessor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QSize>
#include <QStatusBar>
#include <QTimer>

#include <limits>

namespace {
const char *const geometryPrefix = "MainWindow";
const QSize defaultSize(773, 739);

const char *const calculationModuleName = AppCalculationContract::moduleName;
const char *const calculationModuleVersion = "20120412";

// Re-parented into their fields, so each sits inside the field it labels.
void putInside(QWidget *label, QWidget *field)
{
    label->setParent(field);
}
} // namespace

GuiVornakel::GuiVornakel(const QString &path, QWidget *parent) : QMainWindow(parent), m_databasePath(path)
{
    AppLog::connect(this, &GuiVornakel::sigLog, lcGui);
}

GuiVornakel::~GuiVornakel()
{
    // QWidget's destructor hides the window, which ends the edit in the focused
    // field; by then this window's pages and module are gone, so nothing of its
    // own may answer the fields' signals any more.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        disconnect(child, nullptr, this, nullptr);

    // A failed start (no database, or no calculation module after the
    // geometry was restored) must not overwrite the stored geometry with that
    // of a window nobody saw: its (0, 0) would pin the next window there.
    if (m_started)
        AppWindowGeometry::store(this, QLatin1String(geometryPrefix));

    // The manager takes its modules with it, the calculation module among them.
    delete m_moduleManager;
    m_moduleManager = nullptr;
    m_calculationsPlugin = nullptr;
    delete m_dataUpdate;
    m_dataUpdate = nullptr;
    delete m_changeDefaults;
    m_changeDefaults = nullptr;
    if (m_initialized) {
        // Removed before the form's own tree goes, as pages of the stack.
        delete qtStackComposition;
        qtStackComposition = nullptr;
        delete qtStackBufferComponents;
        qtStackBufferComponents = nullptr;
    }
    delete m_densityStandardValue;
    m_densityStandardValue = nullptr;
    delete m_viscosityStandardValue;
    m_viscosityStandardValue = nullptr;
    delete m_vbarStandardValue;
    m_vbarStandardValue = nullptr;
}

bool GuiVornakel::initVornakel()
{
    m_calculationsBlocked = false;
    emit sigShowSplashMessage(QStringLiteral("Loading Vornakel..."));

    QSqlDatabase db = QSqlDatabase::database(m_databasePath, true);
    if (!db.isOpen()) {
        if (!openDatabase(m_databasePath))
            return false;
    } else {
        m_database = db;
    }

    setupUi(this);
    initialize();
    // After initialize(): it gathers the numeric fields of the pages and of the
    // standard-value dialogs, which exist only from then on.
    createConnections();
    reserveFigureWidths();

    m_moduleManager->loadPlugins(modulesPath());
    m_calculationsPlugin = m_moduleManager->findPlugin(QString::fromLatin1(calculationModuleName), QString());
    if (!m_calculationsPlugin) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            QStringLiteral("Failed to find Vornakel Module: ModuleName: %1\nModuleVersion: %2\nModulePath: %3")
                .arg(QString::fromLatin1(calculationModuleName), QString::fromLatin1(calculationModuleVersion),
                    modulesPath()),
            QMessageBox::Ok, QMessageBox::NoButton);
        return false;
    }
    setCalculationsPlugin(m_calculationsPlugin);

    m_started = true;
    if (m_showPending)
        firstShow();
    return true;
}

void GuiVornakel::reserveFigureWidths()
{
    // A figure never runs under the unit written inside its field; the stop
    // sign stands only in an empty field.
    for (const UnitLabel &unit : unitLabels()) {
        if (unit.label != qtStopSign)
            unit.field->setTextMargins(0, 0, unit.label->sizeHint().width() + unitGap, 0);
    }
    GuiFigureWidth::reserveFields(this);
    for (QLabel *label : resultFigureLabels())
        GuiFigureWidth::reserve(label, GuiResultFigure::shownDigits);
    for (QLineEdit *field : { qtHydrateRatio, qtGraphShapeHydrationExpansion })
        GuiFigureWidth::reserve(field);
    // The note of a run without equilibrium speed comes and goes as figures are
    // typed: its line is kept, so that the field being typed into never moves.
    QSizePolicy keep = qtNoEquilibriumSpeed->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    qtNoEquilibriumSpeed->setSizePolicy(keep);
    qtNoEquilibriumSpeed->setMinimumHeight(qtNoEquilibriumSpeed->fontMetrics().lineSpacing());
}

void GuiVornakel::setCalculationsPlugin(AppPlugin *module)
{
    // The module replaced stays with its owner (the module manager lists it).
    m_calculationsPlugin = module;
    if (!module)
        return;
    connect(module, &AppPlugin::sigPluginError, this, &GuiVornakel::onPluginError, Qt::UniqueConnection);
    // Each page's database path is set before it gets the module: setting the
    // path resets the buffer page's module.
    qtStackBufferComponents->setCalculationsPlugin(module);
    qtStackComposition->setCalculationsPlugin(module);
    m_vbarStandardValue->setCalculations(module);
    m_densityStandardValue->setCalculations(module);
    m_viscosityStandardValue->setCalculations(module);
}

bool GuiVornakel::openDatabase(const QString &path)
{
    // The default file is the one of the start (`path` may be the member set below).
    const bool atStart = path.isNull();
    QString file = path;
    if (file.isNull()) {
        file = databasePath();
        m_databasePath = file;
    }

    // Another user's file under its name, or one others may now write, is
    // told before anything is saved into it, and opened only when the person says so.
    const QString change = SqlDatabaseFile::change(file);
    if (!change.isEmpty()) {
        const QMessageBox::StandardButton answer = QMessageBox::warning(nullptr, QStringLiteral("Vornakel"),
            change
                + QStringLiteral("\n\nOpen it all the same? Yes opens it, and it is taken as it is now from then on; "
                                 "No leaves it unopened%1.")
                      .arg(atStart ? QStringLiteral(", and Vornakel ends") : QString()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }

    SqlUpdateDatabase updater;
    connect(&updater, &SqlUpdateDatabase::sigShowMessage, this, &GuiVornakel::sigShowSplashMessage);
    while (!updater.openAndUpdate(file)) {
        if (!updater.isLocked()) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Vornakel"), updater.error(), QMessageBox::Ok, QMessageBox::NoButton);
            return false;
        }
        // Held by another program: nothing is wrong with the file, and it can
        // be opened once that program lets it go.
        QSqlDatabase::removeDatabase(file);
        const QMessageBox::StandardButton answer = QMessageBox::warning(nullptr, QStringLiteral("Vornakel"),
            updater.error()
                + QStringLiteral("\n\nRetry opens it again; Cancel leaves it unopened%1.")
                      .arg(atStart ? QStringLiteral(", and Vornakel ends") : QString()),
            QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry);
        if (answer != QMessageBox::Retry)
            return false;
    }
    // A file opened as it is, which its user may not write.
    if (!updater.notice().isEmpty())
        QMessageBox::warning(
            nullptr, QStringLiteral("Vornakel"), updater.notice(), QMessageBox::Ok, QMessageBox::NoButton);
    SqlDatabaseFile::remember(file);
    m_database = QSqlDatabase::database(file, true);
    return true;
}

// The bundled file or folder (beside bin/, as an installed copy has it), or
// else the one named fallback beside the application bundle (on a plain
// folder layout, the executable's own folder).
static QString besideTheProgram(const QString &bundled, const QString &fallback)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString path = appDir + QStringLiteral("/../") + bundled;
    if (QFileInfo::exists(path))
        return path;
    const QString bundle = QCoreApplication::applicationFilePath().contains(QLatin1String("Vornakel_debug"))
        ? QStringLiteral("/Vornakel_debug.app")
        : QStringLiteral("/Vornakel.app");
    return appDir.section(bundle, 0, 0) + QLatin1Char('/') + fallback;
}

QString GuiVornakel::databasePath()
{
    return besideTheProgram(QStringLiteral("Database/vornakel.db"), QStringLiteral("vornakel.db"));
}

QString GuiVornakel::modulesPath()
{
    return besideTheProgram(QStringLiteral("Modules"), QStringLiteral("modules"));
}

void GuiVornakel::initialize()
{
    AppWindowGeometry::restore(this, QLatin1String(geometryPrefix), defaultSize);
    m_initialized = true;

    m_moduleManager = new XmlMessageProcessor(m_databasePath, false, this);
    m_dataUpdate = new GuiDataUpdate(m_databasePath, nullptr);

    m_clearing = false;

    qtStackComposition->setDatabasePath(m_databasePath);
    qtStackBufferComponents->setDatabasePath(m_databasePath);

    qtErrorText->clear();
    setWindowTitle(windowTitle() + m_databasePath);

    m_changeDefaults = new GuiChangeDefaults(m_databasePath, nullptr);
    const GuiDefaultsRow defaults = m_changeDefaults->defaultsRow();
    auto defaultText = [](const QString &value) { return QString::number(value.toDouble(), 'g', 6); };
    const QString temperature = defaultText(defaults.temperature);
    const QString density = defaultText(defaults.density);
    const QString viscosity = defaultText(defaults.viscosity);
    const QString vbar = defaultText(defaults.vbar);
    const QString pH = defaultText(defaults.pH);
    const QString sk = defaultText(defaults.sk);

    qtExactMolecularWeight->setEnabled(true);
    qtFromSigma->setEnabled(true);
    qtSedEquilibriumMR->setStyleSheet(QLatin1String(GuiStyle::exactMrText));

    qtVbarDirectEntry->setEnabled(true);
    qtVbarStandard->setEnabled(true);
    qtVbarCompute->setEnabled(true);
    onSampleVbarDirectEntry(false);
    qtDensityDirectEntry->setEnabled(true);
    qtDensityStandard->setEnabled(true);
    qtDensityCompute->setEnabled(true);
    onBufferDensityDirectEntry(false);
    qtViscosityDirectEntry->setEnabled(true);
    qtViscosityStandard->setEnabled(true);
    qtViscosityCompute->setEnabled(true);
    onBufferViscosityDirectEntry(false);
    qtExperimentResultsRp->setEnabled(true);
    qtExperimentResultsS->setEnabled(true);

    qtSedVelocityK->setBottom(GuiDefaultBounds::leastSk);
    qtSedVelocityK->setFormat('g', 6);
    qtSedVelocityK->setDefaultText(sk);

    qtSampleVbar->setBottom(GuiDefaultBounds::leastPositive);
    qtSampleVbar->setFormat('f', 5);
    qtSampleVbar->setDefaultText(vbar);

    qtBufferpH->setBottom(GuiDefaultBounds::leastPositive);
    qtBufferpH->setTop(GuiDefaultBounds::greatestpH);
    qtBufferpH->setFormat('f', 4);
    qtBufferpH->setDefaultText(pH);

    qtBufferDensity->setBottom(GuiDefaultBounds::leastPositive);
    qtBufferDensity->setFormat('f', 6);
    qtBufferDensity->setDefaultText(density);

    qtBufferViscosity->setBottom(GuiDefaultBounds::leastPositive);
    qtBufferViscosity->setFormat('E', 4);
    qtBufferViscosity->setDefaultText(viscosity);
    // The form shows only the symbols; the units are where the figures are typed.
    qtBufferDensity->setToolTip(QLatin1String(GuiUnits::densityTip));
    qtBufferViscosity->setToolTip(QLatin1String(GuiUnits::viscosityTip));

    qtSedEquilibriumTemp->setRange(0, 45, 1000);
    qtSedEquilibriumTemp->setFormat('f', 2);
    qtSedEquilibriumTemp->setDefaultText(temperature);

    qtSedEquilibriumRPM->setRange(90, 90000, 1000);
    // A speed of 0 is a run without an equilibrium speed (velocity work), as
    // the file's format stores it: only what needs a speed is left out.
    qtSedEquilibriumRPM->setAlsoTakes(0);
    qtSedEquilibriumRPM->setFormat('g', 6);

    qtSedEquilibriumMR->setBottom(1e-07);
    qtSedEquilibriumMR->setFormat('f', 2);

    qtSedVelocityTemp->setRange(0, 45, 1000);
    qtSedVelocityTemp->setFormat('f', 2);
    qtSedVelocityTemp->setDefaultText(temperature);

    qtSedVelocityConcentration->setBottom(1e-07);
    qtSedVelocityConcentration->setFormat('e', 4);

    qtSedVelocityCoefficient->setFormat('e', 4);

    qtExperimentResultsMb->setFormat('f', 2);
    // A radius is positive, as its tool tip says; s20,w of a floating particle is not.
    // In cm, a peptide's is below a nanometre (1e-7), the least of a density.
    qtExperimentResultsRp->setBottom(std::numeric_limits<double>::min());

    putInside(qtSedVelocityKLabel, qtSedVelocityK);
    putInside(qtskButton, qtSedVelocityKLabel);
    putInside(qtSampleVbarUnitLabel, qtSampleVbar);
    putInside(qtBufferpHLabel, qtBufferpH);
    putInside(qtBufferDensityUnitLabel, qtBufferDensity);
    putInside(qtBufferViscosityUnitLabel, qtBufferViscosity);
    putInside(qtSedEquilibriumTempLabel, qtSedEquilibriumTemp);
    putInside(qtSedEquilibriumSigmaLabel, qtSedEquilibriumSigma);
    putInside(qtSedEquilibriumRPMLabel, qtSedEquilibriumRPM);
    putInside(qtSedEquilibriumMRLabel, qtSedEquilibriumMR);
    putInside(qtStopSign, qtSedEquilibriumMR);
    putInside(qtSedVelocityTempLabel, qtSedVelocityTemp);
    putInside(qtSedVelocityConcentrationLabel, qtSedVelocityConcentration);
    putInside(qtSedVelocityCoefficientLabel, qtSedVelocityCoefficient);
    putInside(qtExperimentResultsMbLabel, qtExperimentResultsMb);
    putInside(qtExperimentResultsRpLabel, qtExperimentResultsRp);
    putInside(qtS20WLabel, qtExperimentResultsS);

    m_vbarStandardValue = new GuiVbarStandardValue(this);
    m_densityStandardValue = new GuiDensityStandardValue(this);
    m_viscosityStandardValue = new GuiViscosityStandardValue(this);
    // A solvent's standard values are taken to 20 C in its own water.
    for (GuiStandardValue *dialog : { static_cast<GuiStandardValue *>(m_densityStandardValue),
             static_cast<GuiStandardValue *>(m_viscosityStandardValue) })
        dialog->setWaterSource([this] { return bufferWater(); });
    for (GuiStandardValue *dialog :
        { static_cast<GuiStandardValue *>(m_vbarStandardValue), static_cast<GuiStandardValue *>(m_densityStandardValue),
            static_cast<GuiStandardValue *>(m_viscosityStandardValue) })
        AppLog::connect(dialog, &GuiStandardValue::sigLog, lcGui);
    AppLog::connect(qtStackComposition, &GuiSampleComposition::sigLog, lcGui);
    AppLog::connect(qtStackBufferComponents, &GuiBufferComponents::sigLog, lcGui);
    AppLog::connect(m_dataUpdate, &GuiDataUpdate::sigLog, lcGui);

    clear();
    alignLabels();

    statusBar()->showMessage(QStringLiteral("Ready"));

    stackedWidget->setCurrentWidget(qtStackVornakel);
    qtTabWidget->setCurrentWidget(qtTabSample);

    for (QComboBox *sortBy : { qtBufferSortBy, qtSampleSortBy, qtResultsSortBy, qtExperimentSortBy }) {
        sortBy->clear();
        sortBy->addItem(QStringLiteral("Date"));
        sortBy->addItem(QStringLiteral("Name"));
    }

    populateSampleRecordList();
    populateSolventRecordList();
    populateExperimentRecordList();
    populateResultsRecordList();
}

void GuiVornakel::createConnections()
{
    // Menu actions, module windows and the reference data editor.
    connect(actionCheck_for_updates, &QAction::triggered, this, &GuiVornakel::onCheckForUpdates);
    connect(actionAbout_Vornakel, &QAction::triggered, this, &GuiVornakel::onShowAboutVornakel);
    connect(actionAdditional_Modules, &QAction::triggered, this, &GuiVornakel::onShowAdditionalModules);
    connect(actionDebug_Console, &QAction::triggered, this, &GuiVornakel::debug);
    connect(actionNew_Data_Entry_Form, &QAction::triggered, this, &GuiVornakel::clear);
    connect(actionOpen_Different_Experimental_Database, &QAction::triggered, this,
        &GuiVornakel::onShowExperimentalDatabases);
    connect(actionImport, &QAction::triggered, this, &GuiVornakel::onImport);
    connect(this, &GuiVornakel::sigModulePath, this, &GuiVornakel::onShowModuleWindow);
    connect(actionChange_Program_Defaults, &QAction::triggered, this, &GuiVornakel::onChangeDefaults);
    connect(actionUpdate_Amino_Acid_Data, &QAction::triggered, m_dataUpdate, &GuiDataUpdate::showAminoAcidPage);
    connect(actionUpdate_Conjugate_Data, &QAction::triggered, m_dataUpdate, &GuiDataUpdate::showConjugatePage);
    connect(actionUpdate_Denaturants_Data, &QAction::triggered, m_dataUpdate, &GuiDataUpdate::showDenaturantPage);
    connect(actionUpdate_BufferComponents_Data, &QAction::triggered, m_dataUpdate,
        &GuiDataUpdate::showBufferComponentsPage);
    connect(actionUpdate_Extinction_Data, &QAction::triggered, m_dataUpdate, &GuiDataUpdate::showExtinctionPage);
    connect(m_dataUpdate, &GuiDataUpdate::sigNewBufferComponentAdded, qtStackBufferComponents,
        &GuiBufferComponents::onNewComponentRecordAdded);
    connect(m_dataUpdate, &GuiDataUpdate::sigComponentRecordChanged, qtStackBufferComponents,
        &GuiBufferComponents::onComponentRecordChanged);

    // Values accepted on the sample composition page, and reference changes announced to it.
    connect(qtStackComposition, &GuiSampleComposition::sigCalculatedVBarAccepted, this,
        &GuiVornakel::onCalculatedVBarAccepted);
    connect(
        qtStackComposition, &GuiSampleComposition::sigCalculatedMrAccepted, this, &GuiVornakel::onCalculatedMrAccepted);
    connect(qtStackComposition, &GuiSampleComposition::sigCalculatedHydrationAccepted, this,
        &GuiVornakel::onCalculatedHydrationAccepted);
    connect(m_dataUpdate, &GuiDataUpdate::sigNewAminoRecordAdded, qtStackComposition,
        &GuiSampleComposition::onNewAminoRecordAdded);
    connect(m_dataUpdate, &GuiDataUpdate::sigAminoRecordChanged, qtStackComposition,
        &GuiSampleComposition::onAminoRecordChanged);
    connect(m_dataUpdate, &GuiDataUpdate::sigNewDenaturantRecordAdded, qtStackComposition,
        &GuiSampleComposition::onNewDenaturantRecordAdded);
    connect(m_dataUpdate, &GuiDataUpdate::sigDenaturantRecordChanged, qtStackComposition,
        &GuiSampleComposition::onDenaturantRecordChanged);
    connect(m_dataUpdate, &GuiDataUpdate::sigNewConjugateRecordAdded, qtStackComposition,
        &GuiSampleComposition::onNewConjugateRecordAdded);
    connect(m_dataUpdate, &GuiDataUpdate::sigConjugateRecordChanged, qtStackComposition,
        &GuiSampleComposition::onConjugateRecordChanged);
    connect(m_dataUpdate, &GuiDataUpdate::sigExtinctionSpectrumChanged, qtStackComposition,
        &GuiSampleComposition::onExtinctionSpectrumChanged);
    // What the pages give once they followed a change reaches the tabs.
    connect(qtStackComposition, &GuiSampleComposition::sigReferenceFiguresChanged, this,
        &GuiVornakel::onPageFollowedReferenceData);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigReferenceFiguresChanged, this,
        &GuiVornakel::onPageFollowedReferenceData);

    // Source and method buttons of the Sample, Solvent and Experiment tabs.
    connect(qtVbarDirectEntry, &QAbstractButton::toggled, this, &GuiVornakel::onSampleVbarDirectEntry);
    connect(qtVbarStandard, &QAbstractButton::clicked, this, &GuiVornakel::onClickedVbarStandard);
    connect(qtVbarCompute, &QAbstractButton::clicked, this, &GuiVornakel::onClickedVbarCompute);
    connect(qtDensityDirectEntry, &QAbstractButton::toggled, this, &GuiVornakel::onBufferDensityDirectEntry);
    connect(qtDensityStandard, &QAbstractButton::clicked, this, &GuiVornakel::onClickedDensityStandard);
    connect(qtDensityCompute, &QAbstractButton::clicked, this, &GuiVornakel::onClickedDensityCompute);
    connect(qtViscosityDirectEntry, &QAbstractButton::toggled, this, &GuiVornakel::onBufferViscosityDirectEntry);
    connect(qtViscosityStandard, &QAbstractButton::clicked, this, &GuiVornakel::onClickedViscosityStandard);
    connect(qtViscosityCompute, &QAbstractButton::clicked, this, &GuiVornakel::onClickedViscosityCompute);
    connect(qtskButton, &QAbstractButton::clicked, this, &GuiVornakel::onskButtonClicked);
    connect(qtExactMolecularWeight, &QAbstractButton::clicked, this, &GuiVornakel::onExactMolecularWeightDirectEntry);
    connect(qtFromSigma, &QAbstractButton::clicked, this, &GuiVornakel::onSetFromSigma);
    connect(qtFromComposition, &QAbstractButton::clicked, this, &GuiVornakel::onClickedFromComposition);
    connect(qtVbarCompute, &QAbstractButton::clicked, this, &GuiVornakel::onClickedFromComposition);

    // Every numeric field below the window at this moment, the pages' and the
    // standard-value dialogs' included; a field made later is not caught.
    const QList<GuiLineEdit *> fields = findChildren<GuiLineEdit *>();
    for (GuiLineEdit *field : fields) {
        connect(field, &GuiLineEdit::sigValueEdited, this, &GuiVornakel::onValueEdited);
        connect(field, &GuiLineEdit::sigValueChanged, this, &GuiVornakel::onValueChanged);
    }
    connect(qtSedEquilibriumMR, &QLineEdit::textChanged, qtStopSign, &QWidget::hide);
    connect(qtTabWidget, &QTabWidget::currentChanged, this, &GuiVornakel::onCurrentTabChanged);

    // Page events of the two composition pages.
    connect(qtStackComposition, &GuiSampleComposition::sigPageCanceled, this, &GuiVornakel::onPageCanceled);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigPageCanceled, this, &GuiVornakel::onPageCanceled);
    connect(qtStackComposition, &GuiSampleComposition::sigPageAccepted, this, &GuiVornakel::onPageAccepted);
    connect(qtStackComposition, &GuiSampleComposition::sigSaveToDatabase, this, &GuiVornakel::onSaveToDBClicked);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigPageAccepted, this, &GuiVornakel::onPageAccepted);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigCalculatedDensityAccepted, this,
        &GuiVornakel::onBufferDensityCalculated);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigSaveToDatabase, this, &GuiVornakel::onSaveToDBClicked);
    connect(qtStackBufferComponents, &GuiBufferComponents::sigCalculatedViscosityAccepted, this,
        &GuiVornakel::onBufferViscosityCalculated);

    // Save buttons and record lists.
    connect(qtSampleSaveToDB, &QAbstractButton::clicked, this, &GuiVornakel::onSaveToDBClicked);
    connect(qtBufferSaveToDB, &QAbstractButton::clicked, this, &GuiVornakel::onSaveToDBClicked);
    connect(qtExperimentSaveToDB, &QAbstractButton::clicked, this, &GuiVornakel::onSaveToDBClicked);
    connect(qtResultsSaveToDB, &QAbstractButton::clicked, this, &GuiVornakel::onSaveToDBClicked);
    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(qtBufferName, indexChanged, this, &GuiVornakel::onRecordComboBoxChanged);
    connect(qtBufferSortBy, indexChanged, this, &GuiVornakel::populateSolventRecordList);
    connect(qtSampleName, indexChanged, this, &GuiVornakel::onRecordComboBoxChanged);
    connect(qtSampleSortBy, indexChanged, this, &GuiVornakel::populateSampleRecordList);
    connect(qtExperimentName, indexChanged, this, &GuiVornakel::onRecordComboBoxChanged);
    connect(qtExperimentSortBy, indexChanged, this, &GuiVornakel::populateExperimentRecordList);
    connect(qtResultsName, indexChanged, this, &GuiVornakel::onRecordComboBoxChanged);
    connect(qtResultsSortBy, indexChanged, this, &GuiVornakel::populateResultsRecordList);

    // Results tab, Experiment temperature, help and the save menu.
    connect(qtHydrateNothing, &QAbstractButton::toggled, this, &GuiVornakel::onToggledHydrateNothing);
    connect(qtHydrateProlate, &QAbstractButton::toggled, this, &GuiVornakel::onToggledHydrateProlate);
    connect(qtHydrateOblate, &QAbstractButton::toggled, this, &GuiVornakel::onToggledHydrateOblate);
    connect(qtHydrateComputed, &QAbstractButton::toggled, this, &GuiVornakel::onToggledHydrateComputed);
    connect(qtHydrateDelta1, &QAbstractButton::toggled, this, &GuiVornakel::onToggledHydrateDelta1);
    connect(qtHydrateRatio, &QLineEdit::editingFinished, this, &GuiVornakel::onHydrateRatioEdited);
    connect(qtShapeProlate, &QAbstractButton::toggled, this, &GuiVornakel::calculateResults);
    connect(qtShapeOblate, &QAbstractButton::toggled, this, &GuiVornakel::calculateResults);
    connect(qtShapeCylinder, &QAbstractButton::toggled, this, &GuiVornakel::calculateResults);
    watchResultsInputs();
    connect(qtGraphShapeButton, &QAbstractButton::clicked, this, &GuiVornakel::onGraphShapeClicked);
    connect(qtAvsBGraphButton, &QAbstractButton::clicked, this, &GuiVornakel::onGraphAoverBClicked);
    connect(qtSedEquilibriumTemp, &QLineEdit::editingFinished, this, &GuiVornakel::onSedEqTempChanged);
    connect(actionContents, &QAction::triggered, this, &GuiVornakel::onHelpContentClicked);
    connect(actionSearch_for_Help_On, &QAction::triggered, this, &GuiVornakel::onHelpContentSearchClicked);
    connect(qtHydrateComputed, &QAbstractButton::toggled, this, &GuiVornakel::enableShapeButtons);
    connect(actionSave_Sample_Info_in_Database, &QAction::triggered, this, &GuiVornakel::onSaveToDBClicked);
    connect(actionSave_Buffer_Info_in_Database, &QAction::triggered, this, &GuiVornakel::onSaveToDBClicked);
    connect(actionSave_Experiment_Info_in_Database, &QAction::triggered, this, &GuiVornakel::onSaveToDBClicked);
    connect(actionSave_Results_in_Database, &QAction::triggered, this, &GuiVornakel::onSaveToDBClicked);
}

QString GuiVornakel::activeDbLocation() const
{
    return m_databasePath;
}

void GuiVornakel::mainVornakelWindow()
{
    if (m_vornakelList.isEmpty())
        m_vornakelList.append(this);
}

void GuiVornakel::syncVornakelList(QList<GuiVornakel *> list)
{
    m_vornakelList = list;
}

void GuiVornakel::firstShow()
{
    if (!m_started) {
        // A message box of the start-up is waiting: the splash goes so that it
        // hides nothing, and a window that is not built yet stays hidden.
        m_showPending = true;
        emit sigShown();
        return;
    }
    emit sigShown();
    setVisible(true);
    alignLabels();
    // A save that wrote into a file in place and was cut off (here or in an
    // earlier run) is told of once there is a window; the box comes after
    // the save, never in the middle of it.
    // Its note is kept until the box has been seen.
    AppSaveFile::setTeller([](const QString &message, const std::function<void()> &told) {
        QTimer::singleShot(0, qApp, [message, told]() {
            QMessageBox::warning(QApplication::activeWindow(), QStringLiteral("Vornakel"), message, QMessageBox::Ok);
            told();
        });
    });
    AppSaveFile::tellCutCopies();
    // The splash is gone: later messages have nowhere to go.
    disconnect(this, &GuiVornakel::sigShowSplashMessage, nullptr, nullptr);
}

void GuiVornakel::log(const QString &message)
{
    emit sigLog(message, AppLog::Trace);
}

void GuiVornakel::debug() { }

void GuiVornakel::resizeEvent(QResizeEvent *)
{
    if (!m_initialized)
        return; // no form yet, and nothing restored that could be stored
    AppWindowGeometry::store(this, QLatin1String(geometryPrefix));
    alignLabels();
}

void GuiVornakel::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_initialized)
        AppWindowGeometry::store(this, QLatin1String(geometryPrefix));
}

void GuiVornakel::closeEvent(QCloseEvent *event)
{
    if (!m_initialized) {
        setVisible(false);
        event->accept();
        return;
    }
    AppWindowGeometry::store(this, QLatin1String(geometryPrefix));
    // Closing only hides the window; it can be shown again with its database.
    setVisible(false);
    // The windows it opened go with it, so that closing the last main window
    // ends the program instead of leaving it running behind a graph.
    const QList<QPointer<QWidget>> opened = m_openedWindows;
    m_openedWindows.clear();
    for (const QPointer<QWidget> &window : opened) {
        if (window)
            window->close();
    }
    m_dataUpdate->close();
    qtStackComposition->closeGraphs();
    clear();
    event->accept();
}

void GuiVornakel::keepWithWindow(QWidget *window)
{
    m_openedWindows.removeAll(QPointer<QWidget>());
    if (window)
        m_openedWindows.append(window);
}

// A script exception is shown, never dropped, except while clear() empties the
// fields (which makes the module see half-empty inputs on purpose).
void GuiVornakel::onPluginError(const QString &text)
{
    if (m_clearing)
        return;
    QMessageBox::information(this, QStringLiteral("Plugin Error"), text, QMessageBox::Ok, QMessageBox::NoButton);
}

// Back from a composition page to the tabs. A value accepted from the page has
// made its compute button the source; what the page did not send (an empty
// field) leaves the source chosen before it opened, as cancelling does.
void GuiVornakel::onPageAccepted()
{
    QObject *page = sender();
    if (!page)
        return;
    if (page == qtStackComposition) {
        m_compositionFollowsPending = false; // OK hands over what the page gives now
        m_sources.pressAgain({ Source::MrMethod, Source::Vbar });
    } else if (page == qtStackBufferComponents) {
        m_bufferFollowsPending = false;
        m_sources.pressAgain({ Source::Density, Source::Viscosity });
        // The page may have given the buffer another water: standard values
        // are carried in the water the tab now shows.
        showStandardValues({ Source::Density, Source::Viscosity });
        showSolventWater();
        calculate();
    }
    showTabs();
}

void GuiVornakel::onPageCanceled()
{
    QObject *page = sender();
    if (!page)
        return;
    if (page == qtStackComposition)
        m_sources.pressAgain({ Source::MrMethod, Source::Vbar });
    else if (page == qtStackBufferComponents)
        m_sources.pressAgain({ Source::Viscosity, Source::Density });
    // The page is back on the tab's own composition, computed with the
    // reference data that changed while it was open: the tabs take its figures.
    bool &pending = page == qtStackComposition ? m_compositionFollowsPending : m_bufferFollowsPending;
    if (pending) {
        pending = false;
        takePageFigures(page == qtStackComposition);
    }
    showTabs();
}

void GuiVornakel::showTabs()
{
    setUpdatesEnabled(false);
    stackedWidget->setCurrentWidget(qtStackVornakel);
    setUpdatesEnabled(true);
    // What the page handed over may be another record than the list names.
    followShownRecords();
}
