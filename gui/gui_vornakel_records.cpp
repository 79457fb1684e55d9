// Stored records on the main window: the four record lists, loading a record
// into its tab, clearing the tabs, and the save command.
#include "gui/gui_vornakel.h"

#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_recordlistmodel.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_standardvalue.h"
#include "sql/sql_records.h"
#include "sql/sql_transaction.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QTime>

namespace {

// "(MM/dd/yy)  " for a stored date, as the date is stored (no time zone), or
// nothing when the value is no date. The database's own "yyyy-MM-dd hh:mm:ss"
// is read straight from its digits: ten thousand full parses would double the
// time of a refill.
QString datePrefix(const QVariant &modified)
{
    if (modified.isNull())
        return QString();
    const QString text = modified.toString();
    const bool databaseForm = (text.size() == 10 || (text.size() == 19 && text.at(10) == QLatin1Char(' ')))
        && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-');
    if (databaseForm) {
        bool ok[6] = { false, false, false, true, true, true };
        const int year = text.midRef(0, 4).toInt(&ok[0]);
        const int month = text.midRef(5, 2).toInt(&ok[1]);
        const int day = text.midRef(8, 2).toInt(&ok[2]);
        int hour = 0, minute = 0, second = 0;
        if (text.size() == 19) {
            hour = text.midRef(11, 2).toInt(&ok[3]);
            minute = text.midRef(14, 2).toInt(&ok[4]);
            second = text.midRef(17, 2).toInt(&ok[5]);
        }
        const bool valid = ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && ok[5] && QDate::isValid(year, month, day)
            && QTime::isValid(hour, minute, second);
        if (!valid)
            return QString();
        return QLatin1Char('(') + text.midRef(5, 2) + QLatin1Char('/') + text.midRef(8, 2) + QLatin1Char('/')
            + text.midRef(2, 2) + QLatin1String(")  ");
    }
    return modified.toDateTime().toString(QStringLiteral("(MM/dd/yy)  "));
}

// The option buttons' signals stopped for a load, and given back as they were
// on every way out of it: a load inside another keeps the outer one's stop.
class OptionsStopped
{
public:
    OptionsStopped(GuiVornakel *window, bool wasStopped) : m_window(window), m_wasStopped(wasStopped)
    {
        m_window->stopSignals(true);
    }
    ~OptionsStopped() { m_window->stopSignals(m_wasStopped); }
    OptionsStopped(const OptionsStopped &) = delete;
    OptionsStopped &operator=(const OptionsStopped &) = delete;

private:
    GuiVornakel *m_window;
    bool m_wasStopped;
};

// What could not be read, from which file, and the reason the database gave.
QString readFailure(const QString &what, const QSqlDatabase &db, const SqlRecords &records)
{
    // Or what lies beside the file, which the message names.
    if (records.refused())
        return QStringLiteral("%1.\n\n%2").arg(what, records.error());
    return QStringLiteral("%1 from the database file\n%2\n\nThe database gave this reason: %3")
        .arg(what, QDir::toNativeSeparators(db.databaseName()), SqlTransaction::reason(records.driverText()));
}

QString kindNamed(SqlRecordKind kind)
{
    switch (kind) {
    case SqlRecordKind::Sample:
        return QStringLiteral("sample");
    case SqlRecordKind::Solvent:
        return QStringLiteral("solvent");
    case SqlRecordKind::Experiment:
        return QStringLiteral("experiment");
    case SqlRecordKind::Results:
        break;
    }
    return QStringLiteral("results");
}

QString kindsNamed(SqlRecordKind kind)
{
    return kind == SqlRecordKind::Results ? kindNamed(kind) : kindNamed(kind) + QLatin1Char('s');
}

// A record's version before it is read for its tab: a save by another program
// in between makes the version the window keeps older than what it shows,
// never newer, so that a later save over it asks first rather than writes
// over that save unseen. Empty when it cannot be read (a save then asks as
// over any record).
QString versionBeforeLoad(SqlRecords &records, SqlRecordKind kind, int id)
{
    QString version;
    records.version(kind, id, &version);
    return version;
}

constexpr SqlRecordKind recordKinds[]
    = { SqlRecordKind::Sample, SqlRecordKind::Solvent, SqlRecordKind::Experiment, SqlRecordKind::Results };

} // namespace

// Record lists

void GuiVornakel::fillRecordList(QComboBox *list, const QComboBox *sortBy, SqlRecordKind kind, const QString &first)
{
    const bool wasBlocked = list->blockSignals(true);
    // Ten thousand entries in one step, without an item object each.
    auto *model = qobject_cast<GuiRecordListModel *>(list->model());
    if (!model)
        model = GuiRecordListModel::showIn(list);
    list->clear();
    list->addItem(QIcon(), first, QVariant());
    if (!list->property(lastRecordProperty).isValid())
        list->setProperty(lastRecordProperty, first);

    SqlRecords::Order order = SqlRecords::Order::AsStored;
    if (sortBy->currentText() == QLatin1String("Name"))
        order = SqlRecords::Order::ByName;
    else if (sortBy->currentText() == QLatin1String("Date"))
        order = SqlRecords::Order::ByDate;
    SqlRecords records(m_database);
    QVector<SqlRecords::Entry> stored;
    if (!records.list(kind, order, true, &stored)) {
        // Several database windows may be open: the box names the file.
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            readFailure(QStringLiteral("The list of %1 could not be read").arg(kindsNamed(kind)), m_database, records),
            QMessageBox::Ok, QMessageBox::NoButton);
        list->blockSignals(wasBlocked);
        return;
    }
    QVector<GuiRecordListModel::Entry> entries;
    entries.reserve(stored.size());
    for (const SqlRecords::Entry &entry : qAsConst(stored))
        entries.append({ datePrefix(entry.modified) + entry.name, entry.id });
    model->append(entries);

    // A record just saved is found by its id: the remembered text carries the
    // local date, the list the stored UTC date.
    int index = -1;
    const QVariant savedId = list->property(lastRecordIdProperty);
    if (savedId.isValid()) {
        list->setProperty(lastRecordIdProperty, QVariant());
        index = list->findData(savedId, Qt::UserRole);
        if (index > 0)
            list->setProperty(lastRecordProperty, list->itemText(index));
    }
    if (index < 0)
        index = list->findData(
            list->property(lastRecordProperty), Qt::DisplayRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    list->setCurrentIndex(index);

    if (list == qtSampleName)
        qtStackComposition->setSampleName(list->currentText());
    list->blockSignals(wasBlocked);
    followShownRecords();
}

void GuiVornakel::populateSampleRecordList()
{
    fillRecordList(qtSampleName, qtSampleSortBy, SqlRecordKind::Sample, QStringLiteral("New Sample"));
}

void GuiVornakel::populateSolventRecordList()
{
    fillRecordList(qtBufferName, qtBufferSortBy, SqlRecordKind::Solvent, QStringLiteral("New Solvent"));
}

void GuiVornakel::populateExperimentRecordList()
{
    fillRecordList(qtExperimentName, qtExperimentSortBy, SqlRecordKind::Experiment, QStringLiteral("New Experiment"));
}

void GuiVornakel::populateResultsRecordList()
{
    fillRecordList(qtResultsName, qtResultsSortBy, SqlRecordKind::Results, QStringLiteral("New Results"));
}

void GuiVornakel::onRecordComboBoxChanged()
{
    auto *list = qobject_cast<QComboBox *>(sender());
    if (!list)
        return;

    QMessageBox question;
    question.setText(list->currentIndex() == 0 ? QStringLiteral("Are you sure you wish to create a new record?")
                                               : QStringLiteral("Are you sure you wish to load this record?"));
    question.setInformativeText(QStringLiteral("All unsaved changes will be lost!"));
    question.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    question.setDefaultButton(QMessageBox::Cancel);
    if (question.exec() == QMessageBox::Cancel) {
        const bool wasBlocked = list->blockSignals(true);
        list->setCurrentIndex(list->findData(
            list->property(lastRecordProperty), Qt::DisplayRole, Qt::MatchExactly | Qt::MatchCaseSensitive));
        list->blockSignals(wasBlocked);
        // The remembered entry may not be the record an experiment brought,
        // nor what the tab shows now.
        followShownRecords();
        return;
    }
    if (list->currentIndex() > 0 && chosenRecordGone(list, list->property(lastRecordProperty)))
        return;

    list->setProperty(lastRecordProperty, list->currentText());
    // What each tab shows is compared with its record once the load is computed.
    m_followHeld = true;
    // A run shows its sample, solvent and results: with another one of them
    // the window shows a run of its own, which the list names as new, so that
    // choosing the stored run shows it again.
    if (list != qtExperimentName && qtExperimentName->currentIndex() != 0) {
        showNoRecord(qtExperimentName);
        qtExperimentName->setProperty(lastRecordProperty, qtExperimentName->itemText(0));
    }
    if (list == qtBufferName)
        loadSolventPage(-1);
    else if (list == qtSampleName)
        loadSamplePage(-1);
    else if (list == qtExperimentName)
        loadExperimentPage(-1);
    else if (list == qtResultsName)
        loadResultsPage(-1);
    calculate();
    // A run's typed radius and s20,w stand over what the calculation gives.
    showTypedFigures();
    m_typedRp = m_typedS20w = QVariant();
    // Results loaded, alone or as a run's, are shown as stored until one of
    // their inputs is changed: the calculation of the load changes none.
    if ((list == qtExperimentName || list == qtResultsName) && shownOf(SqlRecordKind::Results).id >= 0)
        m_resultsStale = false;
    m_followHeld = false;
    followShownRecords();
    tellNotAsSaved(list);
}

void GuiVornakel::tellNotAsSaved(QComboBox *list)
{
    if (list != qtSampleName && list != qtBufferName)
        return;
    const ShownRecord &shown = shownOf(kindOf(list));
    if (shown.sinceSaved.isEmpty())
        return;
    const bool sample = list == qtSampleName;
    QMessageBox::warning(this, QStringLiteral("Vornakel"),
        QStringLiteral("The %1 \"%2\" was saved with figures that its %3 with the reference data as they are now "
                       "(they, or how the figures are computed, changed since): %4.\n\nThe %5 tab shows the figures "
                       "%6 now, and its list names a new %1: save it to keep them.")
            .arg(sample ? QStringLiteral("sample") : QStringLiteral("solvent"), shown.name,
                sample ? QStringLiteral("composition no longer gives") : QStringLiteral("components no longer give"),
                shown.sinceSaved, sample ? QStringLiteral("Sample") : QStringLiteral("Solvent"),
                sample ? QStringLiteral("it gives") : QStringLiteral("they give")));
}

bool GuiVornakel::chosenRecordGone(QComboBox *list, const QVariant &remembered)
{
    const SqlRecordKind kind = kindOf(list);
    SqlRecords records(m_database);
    QString stamp;
    // A record that cannot be read is named by its loader's box.
    if (!records.stamp(kind, list->currentData(Qt::UserRole).toInt(), &stamp) || !stamp.isEmpty())
        return false;
    const QString chosen = list->currentText();
    // Nothing of the record shown before is taken for it: the tab keeps its
    // record, the list names it again.
    list->setProperty(lastRecordProperty, remembered);
    refillRecordList(list);
    if (list->currentIndex() < 0)
        showNoRecord(list);
    QMessageBox::warning(this, QStringLiteral("Vornakel"),
        QStringLiteral("The %1 \"%2\" is no longer in the database file %3 (deleted, or made inactive by another "
                       "program using it). The list of %4 was read again; the tab still shows what it showed.")
            .arg(kindNamed(kind), chosen, QDir::toNativeSeparators(m_database.databaseName()), kindsNamed(kind)));
    return true;
}

void GuiVornakel::onDatabaseImporterRun()
{
    if (!sender())
        return;
    // An import brings no results records.
    populateSolventRecordList();
    populateSampleRecordList();
    populateExperimentRecordList();
}

// The records the tabs show

QComboBox *GuiVornakel::recordList(SqlRecordKind kind) const
{
    QComboBox *const lists[] = { qtSampleName, qtBufferName, qtExperimentName, qtResultsName };
    return lists[static_cast<int>(kind)];
}

SqlRecordKind GuiVornakel::kindOf(const QComboBox *list) const
{
    for (SqlRecordKind kind : recordKinds) {
        if (recordList(kind) == list)
            return kind;
    }
    return SqlRecordKind::Results;
}

void GuiVornakel::refillRecordList(QComboBox *list)
{
    QComboBox *const sortLists[] = { qtSampleSortBy, qtBufferSortBy, qtExperimentSortBy, qtResultsSortBy };
    const SqlRecordKind kind = kindOf(list);
    fillRecordList(list, sortLists[static_cast<int>(kind)], kind, list->itemText(0));
}

QStringList GuiVornakel::shownValues(SqlRecordKind kind, bool fromPage) const
{
    // A run keeps its own vbar, density and viscosity, how each was obtained
    // (a page computing it or not) and its k: typed or chosen over a sample's
    // or solvent's, they leave the tab showing that record, as a run loaded
    // with its links shows it.
    switch (kind) {
    case SqlRecordKind::Sample: {
        SqlSampleRecord record = sampleShown(fromPage);
        for (QVariant *runs : { &record.vbarSource, &record.vbarDirect, &record.vbarStandard, &record.vbarStandardT,
                 &record.calculatedVbar, &record.sk })
            *runs = QVariant();
        if (!record.calculations.isNull())
            record.calculations = record.calculations.toInt() & ~1; // the vbar's Calculate box
        // The composition's vbar figures are the sample's whichever vbar the run
        // takes: the same counts give others once the reference data change.
        const GuiSampleComposition *page = qtStackComposition;
        return SqlRecords::valuesOf(record)
            << page->qtCalculatedVBar->text() << page->qtUnDenaturedVBar->text() << page->qtCalculatedVBarWater->text();
    }
    case SqlRecordKind::Solvent: {
        SqlSolventRecord record = solventShown(fromPage);
        for (QVariant *runs : { &record.densitySource, &record.densityDirect, &record.densityStandard,
                 &record.densityStandardT, &record.computedDensity, &record.computedDensityAt20,
                 &record.viscositySource, &record.viscosityDirect, &record.viscosityStandard,
                 &record.viscosityStandardT, &record.computedViscosity, &record.computedViscosityAt20 })
            *runs = QVariant();
        return SqlRecords::valuesOf(record);
    }
    case SqlRecordKind::Experiment:
        return SqlRecords::valuesOf(experimentShown());
    case SqlRecordKind::Results:
        break;
    }
    // The figures as the page shows them: stored ones are shown as stored.
    return resultsShownTexts();
}

bool GuiVornakel::showsStored(SqlRecordKind kind) const
{
    const ShownRecord &shown = shownOf(kind);
    const QComboBox *list = recordList(kind);
    return shown.id >= 0 && !shown.changed && list->currentIndex() > 0
        && list->currentData(Qt::UserRole).toInt() == shown.id;
}

void GuiVornakel::followShownRecords()
{
    // A load or clear writes the tabs with the option controls stopped, and an
    // open composition page shows what its OK has not handed over yet: they are
    // compared once done.
    if (m_followHeld || optionsStopped() || stackedWidget->currentWidget() != qtStackVornakel)
        return;
    for (SqlRecordKind kind : recordKinds) {
        QComboBox *list = recordList(kind);
        if (list->currentIndex() <= 0)
            continue;
        ShownRecord &shown = shownOf(kind);
        if (showsStored(kind)) {
            if (shown.shown.isEmpty()) {
                shown.shown = shownValues(kind);
                continue;
            }
            if (shownValues(kind) == shown.shown)
                continue;
        }
        // Something else than the record: the tab holds a new record now, also
        // for a question declined later; choosing the record loads it again.
        const bool wasBlocked = list->blockSignals(true);
        list->setCurrentIndex(0);
        list->blockSignals(wasBlocked);
        list->setProperty(lastRecordProperty, list->itemText(0));
        if (list == qtSampleName)
            qtStackComposition->setSampleName(list->currentText());
        shown.changed = true;
        shown.shown.clear();
    }
}

void GuiVornakel::holdSavedRecord(
    SqlRecordKind kind, int id, const QString &name, bool fromPage, const QString &stamp, const QString &version)
{
    shownOf(kind) = { id, name, stamp, version, shownValues(kind, fromPage), false, {}, {} };
}

QString GuiVornakel::takenVersion(SqlRecordKind kind, int id) const
{
    const ShownRecord &shown = shownOf(kind);
    return shown.id >= 0 && shown.id == id ? shown.version : QString();
}

int GuiVornakel::takenId(SqlRecordKind kind, const QString &name) const
{
    const ShownRecord &shown = shownOf(kind);
    return shown.id >= 0 && shown.name == name ? shown.id : -1;
}

int GuiVornakel::shownRecord(SqlRecordKind kind, QString *stamp, QString *why) const
{
    const ShownRecord &shown = shownOf(kind);
    QString because;
    int id = -1;
    QString tab = kindNamed(kind);
    tab[0] = tab.at(0).toUpper();
    if (showsStored(kind)) {
        // The file may hold something else under its id by now.
        QString now;
        SqlRecords records(m_database);
        if (!records.stamp(kind, shown.id, &now) || now.isEmpty())
            because = QStringLiteral("\"%1\" is no longer in the database").arg(shown.name);
        else if (now != shown.stamp)
            because = QStringLiteral("\"%1\" was saved over by another program since the %2 tab took it")
                          .arg(shown.name, tab);
        else if (kind == SqlRecordKind::Results && m_resultsStale)
            because = QStringLiteral("the figures of \"%1\" are out of date: the values they are computed from "
                                     "changed since")
                          .arg(shown.name);
        else
            id = shown.id;
        if (stamp)
            *stamp = id >= 0 ? now : QString();
    } else if (shown.id >= 0 && shown.changed) {
        because = shown.why.isEmpty()
            ? QStringLiteral("the %1 tab changed since \"%2\" was loaded or saved").arg(tab, shown.name)
            : shown.why;
    }
    if (why)
        *why = because;
    return id;
}

// Loading records

void GuiVornakel::showLoadFailure(const QString &what, const SqlRecords &records)
{
    QMessageBox::critical(this, QStringLiteral("Vornakel"),
        readFailure(what + QStringLiteral(" could not be loaded"), m_database, records), QMessageBox::Ok,
        QMessageBox::NoButton);
}

bool GuiVornakel::pickRecord(QComboBox *list, int *id)
{
    if (*id == -1) {
        if (list->currentIndex() == 0)
            return false;
        *id = list->currentData(Qt::UserRole).toInt();
        return true;
    }
    // A linked record is shown without asking and without becoming the remembered entry.
    int index = list->findData(*id, Qt::UserRole);
    if (index < 0) {
        // Saved by another program since the list was read: the list names it once read again.
        refillRecordList(list);
        index = list->findData(*id, Qt::UserRole);
    }
    const bool wasBlocked = list->blockSignals(true);
    list->setCurrentIndex(index);
    list->blockSignals(wasBlocked);
    return true;
}

bool GuiVornakel::optionsStopped() const
{
    return qtHydrateNothing->signalsBlocked();
}

void GuiVornakel::loadSamplePage(int recordId)
{
    // A load inside another keeps the outer load's suspensions when it ends.
    const bool wasStopped = optionsStopped();
    const bool wasBlocked = signalsBlocked();
    const bool wasCalculationsBlocked = m_calculationsBlocked;
    GuiSampleComposition *page = qtStackComposition;
    stopSignals(true);
    blockSignals(true);
    blockCalculations(true);
    page->blockCalculations(true);

    // The whole tab is the record's, or a new sample's when there is none: a
    // missing record and a failed read leave nothing of the sample before.
    int id = recordId;
    SqlSampleRecord record;
    bool found = false;
    QString version;
    if (pickRecord(qtSampleName, &id)) {
        SqlRecords records(m_database);
        version = versionBeforeLoad(records, SqlRecordKind::Sample, id);
        if (!records.loadSample(id, &record, &found))
            showLoadFailure(QStringLiteral("The sample"), records);
    }
    showSample(found ? record : newSample(), found);
    page->setSampleName(qtSampleName->currentText());
    holdLoaded(SqlRecordKind::Sample, found ? id : -1, record.name, SqlRecords::valuesOf(record), version);

    page->blockCalculations(false);
    holdCompositionVbar();
    blockSignals(wasBlocked);
    blockCalculations(wasCalculationsBlocked);
    stopSignals(wasStopped);
    // The page has computed the composition with the reference data as they
    // are now: figures it no longer gives are not shown as the sample's. A
    // run's sample is told by the run, which keeps its own figures.
    if (found) {
        holdNotAsSaved(SqlRecordKind::Sample,
            page->changesSince(record, vbarSourceOf(record) == QLatin1String(SqlSource::computed)));
        if (!shownOf(SqlRecordKind::Sample).sinceSaved.isEmpty() && !m_loadingLinkedSample)
            takeCompositionFigures();
    }
    // The sample may have chosen another hydration option.
    followShownRecords();
}

void GuiVornakel::loadSolventPage(int recordId)
{
    const OptionsStopped stopped(this, optionsStopped());
    shownOf(SqlRecordKind::Solvent) = ShownRecord();
    int id = recordId;
    if (!pickRecord(qtBufferName, &id)) {
        clearSolventPage();
        return;
    }
    SqlRecords records(m_database);
    SqlSolventRecord record;
    bool active = false;
    const QString version = versionBeforeLoad(records, SqlRecordKind::Solvent, id);
    if (!records.loadSolvent(id, &record, nullptr, &active)) {
        showLoadFailure(QStringLiteral("The solvent"), records);
        return;
    }
    // A record no longer listed shows as a new one, as a missing one does.
    if (active) {
        showSolvent(record, true);
        holdLoaded(SqlRecordKind::Solvent, id, record.name, SqlRecords::valuesOf(record), version);
        // The page computed the buffer again where its components give other
        // figures now: the tab shows those.
        holdNotAsSaved(SqlRecordKind::Solvent, qtStackBufferComponents->changedSinceSaved());
    } else {
        clearSolventPage();
    }
}

void GuiVornakel::holdLoaded(
    SqlRecordKind kind, int id, const QString &name, const QStringList &values, const QString &version)
{
    // What the tab shows of it is taken once the load is computed.
    shownOf(kind)
        = id >= 0 ? ShownRecord { id, name, SqlRecords::stampOf(values), version, {}, false, {}, {} } : ShownRecord();
}

void GuiVornakel::bufferPageAtRunTemperature()
{
    double temperature = 0.0;
    GuiBufferComponents *page = qtStackBufferComponents;
    if (qtSedEquilibriumTemp->isValid() && AppNumber::fromText(qtSedEquilibriumTemp->text(), &temperature)
        && temperature != page->temperature())
        page->setTemperature(temperature);
}

void GuiVornakel::showNoRecord(QComboBox *list)
{
    // The list names the new record the tab shows; its remembered entry stays.
    shownOf(kindOf(list)) = ShownRecord();
    if (list->currentIndex() == 0)
        return;
    const bool wasBlocked = list->blockSignals(true);
    list->setCurrentIndex(0);
    list->blockSignals(wasBlocked);
}

void GuiVornakel::loadExperimentPage(int recordId)
{
    const OptionsStopped stopped(this, optionsStopped());
    m_typedRp = m_typedS20w = QVariant();
    shownOf(SqlRecordKind::Experiment) = ShownRecord();
    int id = recordId;
    if (!pickRecord(qtExperimentName, &id)) {
        clearExperimentPage();
        return;
    }
    SqlRecords records(m_database);
    SqlExperimentRecord record;
    bool found = false;
    const QString version = versionBeforeLoad(records, SqlRecordKind::Experiment, id);
    if (!records.loadExperiment(id, &record, &found)) {
        showLoadFailure(QStringLiteral("The experiment"), records);
        return;
    }
    if (!found)
        return;
    holdLoaded(SqlRecordKind::Experiment, id, record.name, SqlRecords::valuesOf(record), version);
    // Nothing is computed on half-shown tabs: the load is calculated once whole.
    const bool wasCalculationsBlocked = m_calculationsBlocked;
    blockCalculations(true);
    showExperiment(record);
    blockCalculations(wasCalculationsBlocked);
    showTypedFigures();
}

void GuiVornakel::loadResultsPage(int recordId)
{
    // The stored figures are shown as stored: checking the stored option and
    // shape must not run their handlers, which would compute the page anew
    // (or, without a molecular weight, clear it) while it is half written.
    const OptionsStopped stopped(this, optionsStopped());
    // The page is rewritten: it is compared with the new record once written.
    shownOf(SqlRecordKind::Results) = ShownRecord();
    int id = recordId;
    if (!pickRecord(qtResultsName, &id)) {
        showNewResults();
        return;
    }
    SqlRecords records(m_database);
    SqlResultsRecord record;
    bool found = false;
    const QString version = versionBeforeLoad(records, SqlRecordKind::Results, id);
    if (!records.loadResults(id, &record, &found)) {
        showLoadFailure(QStringLiteral("The results"), records);
        return;
    }
    if (found) {
        showResults(record);
        // The record's own figures, shown as stored.
        m_resultsStale = false;
        m_resultsWithoutFigures = false;
        holdLoaded(SqlRecordKind::Results, id, record.name, SqlRecords::valuesOf(record), version);
        // As stored: the results calculation of the load leaves them.
        shownOf(SqlRecordKind::Results).shown = resultsShownTexts();
        // Chosen on its own tab, beside the inputs shown: their note, as when
        // the tab is shown (a run's load is done first).
        if (qtTabWidget->currentWidget() == qtTabResults && !m_calculationsBlocked)
            noteStoredResults();
    }
}

// Clearing the tabs

GuiDefaultsRow GuiVornakel::defaults() const
{
    return m_changeDefaults ? m_changeDefaults->defaultsRow() : GuiDefaultsRow();
}

void GuiVornakel::clear()
{
    m_clearing = true;
    m_followHeld = true;
    clearSamplePage();
    clearSolventPage();
    clearExperimentPage();
    showNewResults();
    holdComputedHydration(nullptr);
    // The lists name the new records the tabs show, and a declined question
    // returns to them: nothing of the records before is on show.
    for (QComboBox *list : { qtSampleName, qtBufferName, qtExperimentName, qtResultsName }) {
        if (list->count() == 0)
            continue;
        showNoRecord(list);
        list->setProperty(lastRecordProperty, list->itemText(0));
    }
    for (ShownRecord &shown : m_shown)
        shown = ShownRecord();
    m_followHeld = false;
    m_clearing = false;
}

void GuiVornakel::clearSamplePage()
{
    showSample(newSample(), false);
    holdCompositionVbar();
}

void GuiVornakel::holdComputedHydration(const double *value)
{
    if (m_sources.holdComputedHydration(value))
        m_resultsStale = true;
    qtHydrateComputed->setEnabled(m_sources.offersComputedHydration());
    // Chosen, the option's field shows the hydration its figures are computed
    // with, in four digits as when it is chosen.
    if (value && qtHydrateComputed->isChecked())
        qtHydrateRatio->setText(AppNumber::toText(*value, 4));
}

void GuiVornakel::clearSolventPage()
{
    emit sigLog(QStringLiteral("Clearing Solvent Form"), AppLog::Trace);
    showSolvent(newSolvent(), false);
}

void GuiVornakel::clearExperimentPage()
{
    useExactMr();
    qtSedVelocityTemp->setProperty(AppKeys::userEntry, false);
    // A velocity temperature that followed a loaded run's follows the new one's.
    qtSedVelocityTemp->setDefaultText(qtSedEquilibriumTemp->defaultText());
    for (GuiLineEdit *field : { qtSedEquilibriumTemp, qtSedEquilibriumSigma, qtSedEquilibriumRPM, qtSedEquilibriumMR,
             qtSedVelocityConcentration, qtSedVelocityCoefficient, qtSedVelocityK, qtSedVelocityTemp,
             qtExperimentResultsMb, qtExperimentResultsRp, qtExperimentResultsS })
        field->clear();
    showS20wCaption();
    // An exact Mr is asked for while there is none.
    qtStopSign->setVisible(qtSedEquilibriumMR->text().isEmpty());
    // The vbar in water and the buffer's water a run held stay with the
    // Sample and Solvent tabs' figures they belong to.
    m_typedRp = m_typedS20w = QVariant();
}

void GuiVornakel::clearResultsPage()
{
    for (QAbstractButton *button :
        std::initializer_list<QAbstractButton *> { qtTellerMethod, qtVbarMethod, qtHydrateNothing, qtShapeProlate })
        button->blockSignals(true);
    qtTellerMethod->setChecked(true);
    qtVbarMethod->setChecked(false);
    qtHydrateNothing->setChecked(true);
    qtShapeProlate->setChecked(true);
    for (QAbstractButton *button :
        std::initializer_list<QAbstractButton *> { qtTellerMethod, qtVbarMethod, qtHydrateNothing, qtShapeProlate })
        button->blockSignals(false);
    enableForHydrationOption();
    qtTellerDelta1max->setText(QStringLiteral("0.0000"));
    qtVbarDelta1max->setText(QStringLiteral("0.0000"));
    for (QLabel *label : { qtTellermaxab, qtTeller2bmin, qtTeller2amax, qtVbarmaxab, qtVbar2bmin, qtVbar2amax })
        label->setText(QStringLiteral("0.000"));
    qtHydrateRatio->setText(QStringLiteral("1.000"));
    qtResultsErrorText->setText(QString());
    qtResultsErrorText->setStyleSheet(QString());
    showResultsNote({});
    followShownRecords();
}

void GuiVornakel::showNewResults()
{
    // No figure of the results shown before stays: the tab computes its own
    // when it is next shown.
    shownOf(SqlRecordKind::Results) = ShownRecord();
    emptyResultFigures();
    clearResultsPage();
}

// The save command

void GuiVornakel::onSaveToDBClicked()
{
    QObject *source = sender();
    if (!source)
        return;
    // The dialog links only what the tabs show of their records now.
    followShownRecords();
    GuiSaveToDatabase dialog(activeDbLocation(), this);
    connect(&dialog, &GuiSaveToDatabase::sigSolventRecordsChanged, this, &GuiVornakel::populateSolventRecordList);
    connect(&dialog, &GuiSaveToDatabase::sigSampleRecordsChanged, this, &GuiVornakel::populateSampleRecordList);
    connect(&dialog, &GuiSaveToDatabase::sigExperimentRecordsChanged, this, &GuiVornakel::populateExperimentRecordList);
    connect(&dialog, &GuiSaveToDatabase::sigResultsRecordsChanged, this, &GuiVornakel::populateResultsRecordList);

    GuiSaveToDatabase::Page page = GuiSaveToDatabase::SampleRecordPage;
    if (source == qtBufferSaveToDB || source == qtStackBufferComponents)
        page = GuiSaveToDatabase::SolventRecordPage;
    else if (source == qtExperimentSaveToDB)
        page = GuiSaveToDatabase::ExperimentRecordPage;
    else if (source == qtResultsSaveToDB)
        page = GuiSaveToDatabase::ResultsRecordPage;
    dialog.setStartedFromPage(source == qtStackBufferComponents || source == qtStackComposition);
    dialog.setFocus(Qt::OtherFocusReason);
    dialog.execute(page);
}

GuiVbarStandardValue *GuiVornakel::vbarStandardValue() const
{
    return m_vbarStandardValue;
}

GuiDensityStandardValue *GuiVornakel::densityStandardValue() const
{
    return m_densityStandardValue;
}

GuiViscosityStandardValue *GuiVornakel::viscosityStandardValue() const
{
    return m_viscosityStandardValue;
}
