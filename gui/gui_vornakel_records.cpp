// Stored records on the main window: the four record lists, loading a record
// into its tab, clearing the tabs, and the save command.
#include "gui/gui_vornakel.h"

#include "app/app_calculationcontract.h"
#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_scriptlist.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_recordlistmodel.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_standardvalue.h"
#include "sql/sql_records.h"

#include <QDate>
#include <QDateTime>
#include <QMessageBox>
#include <QTime>

namespace {

// A column as the form shows it: numbers through the one number helper, other
// values as stored, NULL as an empty text.
QString columnText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (value.type() == QVariant::Double)
        return AppNumber::toText(value.toDouble());
    return value.toString();
}

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

void checkWhenVisible(QAbstractButton *button)
{
    if (button->isVisible())
        button->setChecked(true);
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

// The box of a record that cannot be read: its kind, then the file and the driver's text.
void showLoadFailure(QWidget *parent, const QString &what, const SqlRecords &records)
{
    QMessageBox::critical(
        parent, QStringLiteral("Vornakel"), what + records.error(), QMessageBox::Ok, QMessageBox::NoButton);
}

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
        QMessageBox::critical(
            this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok, QMessageBox::NoButton);
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
    // A record just saved is what the page shows.
    const QVariant saved = qtResultsName->property(lastRecordIdProperty);
    fillRecordList(qtResultsName, qtResultsSortBy, SqlRecordKind::Results, QStringLiteral("New Results"));
    if (saved.isValid() && qtResultsName->currentIndex() > 0
        && qtResultsName->currentData(Qt::UserRole).toInt() == saved.toInt())
        m_shownResults = { saved.toInt(), resultsShown() };
    followShownResults();
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
        // The remembered entry may not be the results record an experiment brought.
        if (list == qtResultsName)
            followShownResults();
        return;
    }

    list->setProperty(lastRecordProperty, list->currentText());
    if (list == qtBufferName)
        loadSolventPage(-1);
    else if (list == qtSampleName)
        loadSamplePage(-1);
    else if (list == qtExperimentName)
        loadExperimentPage(-1);
    else if (list == qtResultsName)
        loadResultsPage(-1);
    calculate();
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

// Loading records

bool GuiVornakel::pickRecord(QComboBox *list, int *id)
{
    if (*id == -1) {
        if (list->currentIndex() == 0)
            return false;
        *id = list->currentData(Qt::UserRole).toInt();
        return true;
    }
    // A linked record is shown without asking and without becoming the remembered entry.
    const bool wasBlocked = list->blockSignals(true);
    list->setCurrentIndex(list->findData(*id, Qt::UserRole));
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
    clearSamplePage();
    auto lift = [&] {
        page->blockCalculations(false);
        blockSignals(wasBlocked);
        blockCalculations(wasCalculationsBlocked);
        stopSignals(wasStopped);
    };

    int id = recordId;
    if (!pickRecord(qtSampleName, &id)) {
        lift();
        return;
    }
    SqlRecords records(m_database);
    SqlSampleRecord record;
    bool found = false;
    if (!records.loadSample(id, &record, &found)) {
        showLoadFailure(this, QStringLiteral("sample"), records);
        lift();
        return;
    }

    const bool pageWasBlocked = page->blockSignals(true);
    QString computedVbar;
    bool standardVbar = false;
    // As an experiment's link, the sample gives its Mr only to an experiment whose Mr comes from the composition.
    const bool mrToExperiment = !m_loadingLinkedSample || m_mrMethod == MrMethod::FromComposition;
    if (found) {
        const QVariant &vbarDirect = record.vbarDirect;
        const QVariant &vbarStandard = record.vbarStandard;
        const QVariant &calcVbar = record.calculatedVbar;
        const QVariant &calcMr = record.calculatedMr;

        if (!vbarDirect.isNull()) {
            qtVbarDirectEntry->setChecked(true);
            qtSampleVbar->setText(columnText(vbarDirect));
            page->qtCalculateVbar->setChecked(false);
        }
        if (!vbarStandard.isNull()) {
            qtVbarStandard->setChecked(true);
            m_vbarStandardValue->setValue(vbarStandard.toDouble());
            m_vbarStandardValue->setTemperature(record.vbarStandardT.toDouble());
            page->qtCalculateVbar->setChecked(false);
            standardVbar = true;
        }
        // A typed or standard vbar stored beside a composition stays the chosen source.
        const bool vbarChosen = !vbarDirect.isNull() || !vbarStandard.isNull();
        if (calcVbar.toDouble() == 0.0) {
            page->qtCalculateVbar->setChecked(false);
        } else {
            page->qtCalculatedVBar->setText(columnText(calcVbar));
            page->qtCalculateVbar->setChecked(true);
            if (!vbarChosen) {
                qtVbarCompute->setChecked(true);
                m_sources.choose(Source::Vbar, qtVbarCompute);
                computedVbar = columnText(calcVbar);
            }
        }
        if (!calcMr.isNull()) {
            if (mrToExperiment) {
                // The pressed button and the method in use agree: what is
                // computed, and what an experiment saved now stores.
                qtFromComposition->setChecked(true);
                useMrFromComposition();
                qtSedEquilibriumMR->setText(columnText(calcMr));
            }
            page->qtCalculatedMR->setText(columnText(calcMr));
            page->qtCalculateMr->setChecked(true);
        } else {
            page->qtCalculateMr->setChecked(false);
        }
        const double hydration = record.calculatedHydration.toDouble();
        if (hydration == 0.0) {
            qtHydrateNothing->setChecked(true);
            page->qtCalculateHydration->setChecked(false);
        } else {
            page->qtCalculatedHydration->setText(columnText(record.calculatedHydration));
            holdComputedHydration(&hydration);
            page->qtCalculateHydration->setChecked(true);
            qtHydrateComputed->setChecked(true);
            // Four digits, as the option shows the computed value.
            qtHydrateRatio->setText(QString::number(hydration, 'g', 4));
            qtHydrateRatio->setEnabled(false);
        }
        if (!record.pkaAmino.isNull())
            page->setAminoValue(record.pkaAmino.toDouble());
        if (!record.pkaCarboxyl.isNull())
            page->setCarboxylValue(record.pkaCarboxyl.toDouble());
        // The charge is computed at the stored pH, s20,w corrected with the
        // stored k; a record without them keeps what the cleared form gives.
        if (!record.pH.isNull())
            page->setpH(columnText(record.pH));
        if (!record.sk.isNull())
            qtSedVelocityK->setText(columnText(record.sk));
        if (!record.nMer.isNull() && record.nMer.toInt() > 0) {
            page->qtMakeOligomer->setChecked(true);
            page->qtOligomerN->setText(columnText(record.nMer));
        } else {
            page->qtMakeOligomer->setChecked(false);
            page->qtOligomerN->setText(QStringLiteral("2"));
        }
        if (!record.sequence.isNull()) {
            page->qtCalculateVbar->setChecked(true);
            page->qtCalculateMr->setChecked(true);
            page->qtCalculateHydration->setChecked(true);
            page->showStoredComposition(record);
            if (!vbarChosen)
                qtVbarCompute->setChecked(true);
        }
    }
    // The composition's vbar is its 25 C estimate: it is shown at the experiment
    // temperature, as when it was accepted from the page.
    if (!computedVbar.isEmpty()) {
        qtSampleVbar->setText(computedVbar);
        if (m_calculationsPlugin && qtSedEquilibriumTemp->isValid()) {
            AppScriptList results;
            results.add(AppCalculationContract::calculateSampleVbar.call(m_calculationsPlugin, QVariant(computedVbar),
                QVariant(AppNumber::valueOrZero(qtSedEquilibriumTemp->text()))));
            writeResults(results);
        }
    }
    // A standard vbar is shown as its dialog's OK makes it: taken to 20 C,
    // then to the experiment temperature.
    if (standardVbar && m_calculationsPlugin) {
        m_vbarStandardValue->calculate();
        correctForTemperature(qtSampleVbar);
    }
    page->setSampleName(qtSampleName->currentText());
    page->blockSignals(pageWasBlocked);
    lift();
    // The sample may have chosen another hydration option.
    followShownResults();
}

void GuiVornakel::loadSolventPage(int recordId)
{
    const OptionsStopped stopped(this, optionsStopped());
    int id = recordId;
    if (!pickRecord(qtBufferName, &id)) {
        clearSolventPage();
        return;
    }
    SqlRecords records(m_database);
    SqlSolventRecord record;
    bool active = false;
    if (!records.loadSolvent(id, &record, nullptr, &active)) {
        showLoadFailure(this, QStringLiteral("sql"), records);
        return;
    }
    // A record no longer listed reads as empty, as a missing one does.
    const SqlSolventRecord shown = active ? record : SqlSolventRecord();
    // Nothing of the solvent shown before stays: a source the record does not
    // give is the cleared tab's standard value.
    clearSolventPage();
    qtDensityStandard->setChecked(true);
    qtViscosityStandard->setChecked(true);
    GuiBufferComponents *page = qtStackBufferComponents;
    bufferPageAtRunTemperature();
    const bool pageWasBlocked = page->blockSignals(true);

    if (!shown.densityDirect.isNull()) {
        qtDensityDirectEntry->setChecked(true);
        m_sources.choose(Source::Density, qtDensityDirectEntry);
        qtBufferDensity->setText(columnText(shown.densityDirect));
    }
    if (!shown.viscosityDirect.isNull()) {
        qtViscosityDirectEntry->setChecked(true);
        m_sources.choose(Source::Viscosity, qtViscosityDirectEntry);
        qtBufferViscosity->setText(columnText(shown.viscosityDirect));
    }
    if (!shown.densityStandard.isNull()) {
        m_densityStandardValue->setValue(shown.densityStandard.toDouble());
        m_densityStandardValue->setTemperature(shown.densityStandardT.toDouble());
    }
    if (!shown.viscosityStandard.isNull()) {
        m_viscosityStandardValue->setValue(shown.viscosityStandard.toDouble());
        m_viscosityStandardValue->setTemperature(shown.viscosityStandardT.toDouble());
    }
    qtBufferpH->setText(columnText(shown.pH));
    // The page shows the record of the list's current entry: the one loaded
    // here when the list holds it.
    const int pageId = qtBufferName->currentData(Qt::UserRole).toInt();
    if (pageId == id)
        page->showBufferRecord(record);
    else
        page->loadBufferRecord(pageId);
    // A computed figure is the page's: the stored one at 20 C, taken to the
    // run temperature.
    if (!shown.computedDensity.isNull()) {
        qtDensityCompute->setChecked(true);
        m_sources.choose(Source::Density, qtDensityCompute);
        qtBufferDensity->setText(
            page->calculatedDensity() > 0 ? AppNumber::toText(page->calculatedDensity()) : QString());
    }
    if (!shown.computedViscosity.isNull()) {
        qtViscosityCompute->setChecked(true);
        m_sources.choose(Source::Viscosity, qtViscosityCompute);
        qtBufferViscosity->setText(
            page->calculatedViscosity() > 0 ? AppNumber::toText(page->calculatedViscosity()) : QString());
    }
    showStandardValues({ Source::Density, Source::Viscosity });
    page->blockSignals(pageWasBlocked);
}

GuiVornakel::SourceWidgets GuiVornakel::sourceWidgets(Source source) const
{
    if (source == Source::Density)
        return { qtDensityDirectEntry, qtDensityStandard, m_densityStandardValue, qtBufferDensity };
    if (source == Source::Viscosity)
        return { qtViscosityDirectEntry, qtViscosityStandard, m_viscosityStandardValue, qtBufferViscosity };
    return { qtVbarDirectEntry, qtVbarStandard, m_vbarStandardValue, qtSampleVbar };
}

void GuiVornakel::showStandardValues(std::initializer_list<Source> sources)
{
    if (!m_calculationsPlugin)
        return;
    for (Source source : sources) {
        const SourceWidgets widgets = sourceWidgets(source);
        if (m_sources.button(source) == widgets.standard) {
            widgets.dialog->calculate();
            correctForTemperature(widgets.field);
        }
    }
}

void GuiVornakel::showRunFigure(
    Source source, const QVariant &chosen, const QVariant &standard, const QVariant &measuredAt, const QVariant &figure)
{
    const SourceWidgets widgets = sourceWidgets(source);
    if (!standard.isNull() && chosen.toString() == widgets.standard->objectName()) {
        widgets.standard->setChecked(true);
        m_sources.choose(source, widgets.standard);
        widgets.dialog->setValue(standard.toDouble());
        widgets.dialog->setTemperature(measuredAt.toDouble());
        showStandardValues({ source });
        showStoredFigure(widgets.field, figure);
        return;
    }
    // Typed, or computed on a composition page: the run keeps no composition,
    // so the figure stands as typed.
    widgets.direct->setChecked(true);
    m_sources.choose(source, widgets.direct);
    widgets.field->setText(columnText(figure));
}

void GuiVornakel::bufferPageAtRunTemperature()
{
    double temperature = 0.0;
    GuiBufferComponents *page = qtStackBufferComponents;
    if (qtSedEquilibriumTemp->isValid() && AppNumber::fromText(qtSedEquilibriumTemp->text(), &temperature)
        && temperature != page->temperature())
        page->setTemperature(temperature);
}

void GuiVornakel::showStoredFigure(GuiLineEdit *field, const QVariant &value)
{
    // The figure is the one saved at the run's temperature; a later correction
    // still starts from its source's 20 C base.
    m_sources.beginCorrection();
    field->setText(columnText(value));
    m_sources.endCorrection({});
}

void GuiVornakel::showNoRecord(QComboBox *list)
{
    // A stored record's entry goes; no entry rather than the new-record one,
    // which the person can then still choose to clear the tab.
    if (list->currentIndex() <= 0)
        return;
    const bool wasBlocked = list->blockSignals(true);
    list->setCurrentIndex(-1);
    list->blockSignals(wasBlocked);
}

void GuiVornakel::loadExperimentPage(int recordId)
{
    const OptionsStopped stopped(this, optionsStopped());
    int id = recordId;
    if (!pickRecord(qtExperimentName, &id)) {
        clearExperimentPage();
        return;
    }
    SqlRecords records(m_database);
    SqlExperimentRecord record;
    bool found = false;
    if (!records.loadExperiment(id, &record, &found)) {
        showLoadFailure(this, QStringLiteral("experiment"), records);
        return;
    }
    if (!found)
        return;

    // The run's own figures first: its linked records are shown at its temperature.
    // An empty column empties its field: what was saved empty comes back empty.
    const struct
    {
        const QVariant &value;
        GuiLineEdit *field;
    } fields[] = { { record.tc, qtSedEquilibriumTemp }, { record.rpm, qtSedEquilibriumRPM },
        { record.sigma, qtSedEquilibriumSigma }, { record.sstart, qtSedVelocityTemp },
        { record.mgml, qtSedVelocityConcentration }, { record.sstar, qtSedVelocityCoefficient },
        { record.mp, qtSedEquilibriumMR }, { record.mb, qtExperimentResultsMb } };
    for (const auto &f : fields)
        f.field->setText(columnText(f.value));
    // A velocity temperature of its own stays apart from the equilibrium one.
    if (qtSedEquilibriumTemp->isValid())
        qtSedVelocityTemp->setDefaultText(qtSedEquilibriumTemp->text());
    qtSedVelocityTemp->setProperty(AppKeys::userEntry,
        !record.sstart.isNull() && (record.tc.isNull() || record.sstart.toDouble() != record.tc.toDouble()));

    // The solvent it was saved with, showing the figures it was saved with; a
    // run without one shows them from the sources it stored itself.
    if (record.bufferId >= 0) {
        loadSolventPage(record.bufferId);
        showStoredFigure(qtBufferDensity, record.rho);
        showStoredFigure(qtBufferViscosity, record.vis);
    } else {
        clearSolventPage();
        showNoRecord(qtBufferName);
        showRunFigure(
            Source::Density, record.densitySource, record.densityStandard, record.densityStandardT, record.rho);
        showRunFigure(
            Source::Viscosity, record.viscositySource, record.viscosityStandard, record.viscosityStandardT, record.vis);
    }

    const QString calculatedBy = record.calculatedBy.toString();
    if (calculatedBy == QLatin1String("qtExactMolecularWeight")) {
        qtExactMolecularWeight->setChecked(true);
        onExactMolecularWeightDirectEntry();
    } else if (calculatedBy == QLatin1String("qtFromSigma")) {
        qtFromSigma->setChecked(true);
        onSetFromSigma();
    } else {
        // Any other text (also none, as imported rows have) is the
        // composition's Mr, kept as stored.
        qtFromComposition->setChecked(true);
        useMrFromComposition();
    }
    // The sample's own vbar and Mr take the place of the experiment's; a run
    // without one shows its vbar from the source it stored.
    if (record.sampleId >= 0) {
        const bool wasLinked = m_loadingLinkedSample;
        m_loadingLinkedSample = true;
        loadSamplePage(record.sampleId);
        m_loadingLinkedSample = wasLinked;
    } else {
        clearSamplePage();
        showNoRecord(qtSampleName);
        qtStackComposition->setSampleName(qtSampleName->currentText());
        showRunFigure(Source::Vbar, record.vbarSource, record.vbarStandard, record.vbarStandardT, record.vbar);
    }
    // The run's own k, over a linked sample's; a run saved without one keeps
    // what the sample or the form gives.
    if (!record.k.isNull())
        qtSedVelocityK->setText(columnText(record.k));
    // Last: the results come back with their own hydration option, not
    // the one the sample's computed hydration chooses.
    if (record.resultsId >= 0) {
        loadResultsPage(record.resultsId);
    } else {
        // The run has no results of its own: none of the record shown before
        // stays, though the method the person views them by does.
        m_shownResults = ShownResults();
        showNoRecord(qtResultsName);
        const bool vbarMethod = qtVbarMethod->isChecked();
        clearResultsPage();
        const QSignalBlocker vbarBlocker(qtVbarMethod);
        const QSignalBlocker tellerBlocker(qtTellerMethod);
        (vbarMethod ? qtVbarMethod : qtTellerMethod)->setChecked(true);
    }
}

// A load or clear checks the options with their handlers stopped, and the
// Results tab may already be on screen: the shape group and the ratio field
// follow the checked option at once (the rule of the results calculation).
static void enableForHydrationOption(GuiVornakel *window)
{
    if (window->qtHydrateNothing->isChecked()) {
        window->qtAssumedShape->setEnabled(true);
        window->qtHydrateRatio->setEnabled(false);
    } else if (window->qtHydrateProlate->isChecked() || window->qtHydrateOblate->isChecked()) {
        window->qtAssumedShape->setEnabled(false);
        window->qtHydrateRatio->setEnabled(true);
    } else if (window->qtHydrateComputed->isChecked()) {
        window->qtAssumedShape->setEnabled(true);
    } else if (window->qtHydrateDelta1->isChecked()) {
        window->qtAssumedShape->setEnabled(true);
        window->qtHydrateRatio->setEnabled(true);
    }
}

void GuiVornakel::loadResultsPage(int recordId)
{
    // The stored figures are shown as stored: checking the stored option and
    // shape must not run their handlers, which would compute the page anew
    // (or, without a molecular weight, clear it) while it is half written.
    const OptionsStopped stopped(this, optionsStopped());
    // The page is rewritten: it is compared with the new record once written.
    m_shownResults = ShownResults();
    int id = recordId;
    if (!pickRecord(qtResultsName, &id)) {
        clearResultsPage();
        return;
    }
    SqlRecords records(m_database);
    SqlResultsRecord record;
    bool found = false;
    if (!records.loadResults(id, &record, &found)) {
        showLoadFailure(this, QStringLiteral("results"), records);
        return;
    }

    if (found) {
        QLineEdit *rStokes = qtRStokes;
        rStokes->setText(columnText(record.radius));
        const QPair<QLabel *, const QVariant *> figures[]
            = { { qtVbarRo, &record.vbarRadius }, { qtTellerRp, &record.tellerRadius },
                  { qtVbarFo, &record.vbarFriction }, { qtTellerFp, &record.tellerFriction },
                  { qtVbarffo, &record.vbarFrictionRatio }, { qtTellerffp, &record.tellerFrictionRatio },
                  { qtVbarSmax, &record.vbarSmax }, { qtTellerSmax, &record.tellerSmax },
                  { qtVbarDmax, &record.vbarDmax }, { qtTellerDmax, &record.tellerDmax },
                  { qtVbarDelta1max, &record.vbarDelta1 }, { qtTellerDelta1max, &record.tellerDelta1 },
                  { qtVbarmaxab, &record.vbarAxialRatio }, { qtTellermaxab, &record.tellerAxialRatio } };
        for (const auto &figure : figures)
            GuiResultFigure::show(figure.first, columnText(*figure.second));
        // The record keeps the semi-axes; the form shows the full axes.
        const QPair<QLabel *, const QVariant *> axes[]
            = { { qtVbar2amax, &record.vbarSemiAxisA }, { qtTeller2amax, &record.tellerSemiAxisA },
                  { qtVbar2bmin, &record.vbarSemiAxisB }, { qtTeller2bmin, &record.tellerSemiAxisB } };
        for (const auto &axis : axes) {
            const QVariant &half = *axis.second;
            GuiResultFigure::show(axis.first, half.isNull() ? QString() : AppNumber::toText(2 * half.toDouble()));
        }
        if (record.method.toString() == QLatin1String("qtVbarMethod"))
            qtVbarMethod->setChecked(true);
        else
            qtTellerMethod->setChecked(true);
        const QString option = record.option.toString();
        for (QRadioButton *button :
            { qtHydrateNothing, qtHydrateProlate, qtHydrateOblate, qtHydrateComputed, qtHydrateDelta1 }) {
            if (button->objectName() == option)
                button->setChecked(true);
        }
        qtHydrateRatio->setText(columnText(record.optionValue));
        const QString shape = record.shape.toString();
        if (shape == QLatin1String("qtShapeCylinder"))
            qtShapeCylinder->setChecked(true);
        else if (shape == QLatin1String("qtShapeProlate"))
            qtShapeProlate->setChecked(true);
        else
            qtShapeOblate->setChecked(true);
        enableForHydrationOption(this);
        // The record's own figures, shown as stored.
        m_resultsStale = false;
        m_resultsWithoutFigures = false;
        m_shownResults = { id, resultsShown() };
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
    clearSamplePage();
    clearSolventPage();
    clearExperimentPage();
    clearResultsPage();
    holdComputedHydration(nullptr);
    m_clearing = false;
}

void GuiVornakel::clearSamplePage()
{
    m_sources.choose(Source::Vbar, qtVbarStandard);
    checkWhenVisible(qtVbarStandard);
    const double vbar = AppNumber::valueOrZero(defaults().vbar);
    qtSampleVbar->clear();
    m_vbarStandardValue->setValue(vbar);
    m_vbarStandardValue->setTemperature(20.0);
    qtStackComposition->clear();
    // The hydration computed for the sample before is not this one's.
    holdComputedHydration(nullptr);
}

void GuiVornakel::holdComputedHydration(const double *value)
{
    if (m_sources.holdComputedHydration(value))
        m_resultsStale = true;
    qtHydrateComputed->setEnabled(m_sources.offersComputedHydration());
}

void GuiVornakel::clearSolventPage()
{
    emit sigLog(QStringLiteral("Clearing Solvent Form"), AppLog::Trace);
    m_sources.choose(Source::Density, qtDensityStandard);
    m_sources.choose(Source::Viscosity, qtViscosityStandard);
    checkWhenVisible(qtViscosityStandard);
    checkWhenVisible(qtDensityStandard);
    const GuiDefaultsRow row = defaults();
    const double density = AppNumber::valueOrZero(row.density);
    const double viscosity = AppNumber::valueOrZero(row.viscosity);
    qtBufferDensity->clear();
    m_densityStandardValue->setTemperature(20.0);
    m_densityStandardValue->setValue(density);
    qtBufferViscosity->clear();
    m_viscosityStandardValue->setTemperature(20.0);
    m_viscosityStandardValue->setValue(viscosity);
    qtBufferpH->clear();
    qtStackBufferComponents->clear();
}

void GuiVornakel::clearExperimentPage()
{
    m_sources.choose(Source::MrMethod, qtExactMolecularWeight);
    checkWhenVisible(qtExactMolecularWeight);
    qtSedVelocityTemp->setProperty(AppKeys::userEntry, false);
    for (GuiLineEdit *field : { qtSedEquilibriumTemp, qtSedEquilibriumSigma, qtSedEquilibriumRPM, qtSedEquilibriumMR,
             qtSedVelocityConcentration, qtSedVelocityCoefficient, qtSedVelocityK, qtSedVelocityTemp,
             qtExperimentResultsMb, qtExperimentResultsRp, qtExperimentResultsS })
        field->clear();
    // An exact Mr is the method of a fresh form, so s20,w is computed as soon as S* is typed.
    m_mrMethod = MrMethod::ExactMr;
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
    enableForHydrationOption(this);
    qtTellerDelta1max->setText(QStringLiteral("0.0000"));
    qtVbarDelta1max->setText(QStringLiteral("0.0000"));
    for (QLabel *label : { qtTellermaxab, qtTeller2bmin, qtTeller2amax, qtVbarmaxab, qtVbar2bmin, qtVbar2amax })
        label->setText(QStringLiteral("0.000"));
    qtHydrateRatio->setText(QStringLiteral("1.000"));
    qtResultsErrorText->setText(QString());
    qtResultsErrorText->setStyleSheet(QString());
    followShownResults();
}

// The save command

void GuiVornakel::onSaveToDBClicked()
{
    QObject *source = sender();
    if (!source)
        return;
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
