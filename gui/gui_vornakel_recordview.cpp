// Each tab of the main window as one record: what a tab shows, read whole as a
// save stores it, and a record written whole into the tab, its page and its
// standard-value dialog. Loading, New, Clear and File > New all go through the
// show functions here, so whatever a record holds is set by all of them.
#include "gui/gui_vornakel.h"

#include "app/app_calculationcontract.h"
#include "app/app_constants.h"
#include "app/app_number.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptmessages.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_fieldreader.h"
#include "gui/gui_figurechanges.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_style.h"
#include "gui/gui_watercomposition.h"
#include "sql/sql_records.h"

#include <QMessageBox>

namespace {

const QVariant nullNumber(QVariant::Double);

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

// A field's number, or NULL for an empty or non-numeric text: an empty field
// must come back empty, not as 0.
QVariant numberOrNull(const QString &text, double factor = 1.0)
{
    double value = 0.0;
    if (!AppNumber::fromText(text, &value))
        return nullNumber;
    return QVariant(value * factor);
}

QString word(const char *text)
{
    return QString::fromLatin1(text);
}

// The source of a sample row written before sources were stored: a typed or
// standard vbar stored beside a composition stays the chosen one.
QString olderSampleSource(const SqlSampleRecord &record)
{
    if (!record.vbarDirect.isNull())
        return word(SqlSource::direct);
    if (!record.vbarStandard.isNull())
        return word(SqlSource::standard);
    if (record.calculatedVbar.toDouble() != 0.0 || !record.sequence.isNull())
        return word(SqlSource::computed);
    return word(SqlSource::standard);
}

// The same for a buffer row: its computed figure first, then a standard value.
QString olderSolventSource(const QVariant &direct, const QVariant &standard, const QVariant &computed)
{
    if (!computed.isNull())
        return word(SqlSource::computed);
    if (!standard.isNull())
        return word(SqlSource::standard);
    if (!direct.isNull())
        return word(SqlSource::direct);
    return word(SqlSource::standard);
}

// The buttons of a choice of the results record, each with its word.
using ChoiceButtons = QVector<QPair<QAbstractButton *, const char *>>;

ChoiceButtons hydrationButtons(const GuiVornakel &w)
{
    // The first four in the order a save tests them: delta1 is what none of them is.
    return { { w.qtHydrateNothing, SqlHydration::none }, { w.qtHydrateProlate, SqlHydration::prolate },
        { w.qtHydrateOblate, SqlHydration::oblate }, { w.qtHydrateComputed, SqlHydration::computed },
        { w.qtHydrateDelta1, SqlHydration::delta1 } };
}

ChoiceButtons shapeButtons(const GuiVornakel &w)
{
    return { { w.qtShapeProlate, SqlShape::prolate }, { w.qtShapeOblate, SqlShape::oblate },
        { w.qtShapeCylinder, SqlShape::cylinder } };
}

// A choice of the results record: the word of the first checked button, or
// `none` when none of them is checked.
QString checkedWord(const ChoiceButtons &buttons, const char *none)
{
    for (const auto &button : buttons) {
        if (button.first->isChecked())
            return word(button.second);
    }
    return word(none);
}

QAbstractButton *buttonOf(const ChoiceButtons &buttons, const QString &chosen)
{
    for (const auto &button : buttons) {
        if (chosen == QLatin1String(button.second))
            return button.first;
    }
    return nullptr;
}

// What became of the records a run was saved with, in one sentence: those
// gone from the file, those saved over since, and those whose composition
// gives other figures now (each said in full).
QString linksNotAsSaved(const QStringList &gone, const QStringList &changed, const QStringList &recomputed)
{
    const auto its
        = [](const QStringList &kinds) { return QStringLiteral("its ") + kinds.join(QStringLiteral(" and its ")); };
    const auto plural
        = [](const QStringList &kinds) { return kinds.size() > 1 || kinds.first() == QLatin1String("results"); };
    QStringList parts;
    if (!gone.isEmpty())
        parts << QStringLiteral("%1, which %2 no longer in the database (deleted, or made inactive by another program "
                                "using the file)")
                     .arg(its(gone), plural(gone) ? QStringLiteral("are") : QStringLiteral("is"));
    if (!changed.isEmpty())
        parts << QStringLiteral("%1, which %2 been saved over with other values since")
                     .arg(its(changed), plural(changed) ? QStringLiteral("have") : QStringLiteral("has"));
    parts << recomputed;
    return QStringLiteral("This experiment was saved with %1. It shows the figures and sources it was saved with in "
                          "their place.")
        .arg(parts.join(QStringLiteral(", and with ")));
}

} // namespace

// Sources

GuiVornakel::SourceWidgets GuiVornakel::sourceWidgets(Source source) const
{
    if (source == Source::Density)
        return { qtDensityDirectEntry, qtDensityStandard, qtDensityCompute, m_densityStandardValue, qtBufferDensity };
    if (source == Source::Viscosity)
        return { qtViscosityDirectEntry, qtViscosityStandard, qtViscosityCompute, m_viscosityStandardValue,
            qtBufferViscosity };
    return { qtVbarDirectEntry, qtVbarStandard, qtVbarCompute, m_vbarStandardValue, qtSampleVbar };
}

QString GuiVornakel::sourceWord(Source source) const
{
    const SourceWidgets widgets = sourceWidgets(source);
    const QAbstractButton *chosen = m_sources.button(source);
    if (chosen == widgets.direct)
        return word(SqlSource::direct);
    if (chosen == widgets.compute)
        return word(SqlSource::computed);
    return word(SqlSource::standard);
}

void GuiVornakel::chooseSource(Source source, const QString &chosen)
{
    const SourceWidgets widgets = sourceWidgets(source);
    QAbstractButton *button = chosen == QLatin1String(SqlSource::direct) ? widgets.direct
        : chosen == QLatin1String(SqlSource::computed)                   ? widgets.compute
                                                                         : widgets.standard;
    // Pressed whether its tab shows or not: the button on screen and the
    // source a save stores are one.
    button->setChecked(true);
    m_sources.choose(source, button);
}

void GuiVornakel::showFigure(
    Source source, const QString &chosen, const QVariant &typed, const QVariant &computed, bool stored)
{
    chooseSource(source, chosen);
    const SourceWidgets widgets = sourceWidgets(source);
    if (chosen == QLatin1String(SqlSource::direct))
        widgets.field->setText(columnText(typed));
    else if (chosen == QLatin1String(SqlSource::computed))
        widgets.field->setText(columnText(computed));
    else if (stored && m_calculationsPlugin)
        showStandardValues({ source });
    else
        widgets.field->clear();
}

void GuiVornakel::showStandardValues(std::initializer_list<Source> sources)
{
    if (!m_calculationsPlugin)
        return;
    for (Source source : sources) {
        const SourceWidgets widgets = sourceWidgets(source);
        if (m_sources.button(source) == widgets.standard) {
            widgets.dialog->calculate();
            carryStandardValue(source);
        }
    }
}

void GuiVornakel::carryStandardValue(Source source)
{
    const SourceWidgets widgets = sourceWidgets(source);
    // The field shows the value at 20 C in its own format; the carry starts
    // from every digit the module gave.
    if (const std::optional<double> at20 = widgets.dialog->valueAt20())
        m_sources.setValueAt20(widgets.field, *at20);
    correctForTemperature(widgets.field);
}

void GuiVornakel::showStoredFigure(GuiLineEdit *field, const QVariant &value)
{
    // The figure is the one saved at the run's temperature; a later correction
    // still starts from its source's 20 C base.
    m_sources.beginCorrection();
    field->setText(columnText(value));
    m_sources.endCorrection({});
}

void GuiVornakel::showRunFigure(Source source, const QVariant &chosen, const QVariant &standard,
    const QVariant &measuredAt, const QVariant &figure, bool linked, const QVariant &runTemperature)
{
    const SourceWidgets widgets = sourceWidgets(source);
    const QString how = chosen.toString();
    // The linked record, as shown, computes the figure as the run did.
    const bool linkedComputes = linked && m_sources.button(source) == widgets.compute;
    // A figure computed on a page the run does not keep (no link, one that
    // has gone, or a linked record that no longer computes it) is a figure
    // known at the run's temperature: it is shown as a standard value
    // measured there, and so follows the temperature as before.
    const bool computedAlone
        = !linkedComputes && how == QLatin1String(SqlSource::computed) && !figure.isNull() && !runTemperature.isNull();
    if ((how == QLatin1String(SqlSource::standard) && !standard.isNull()) || computedAlone) {
        chooseSource(source, word(SqlSource::standard));
        widgets.dialog->setValue(computedAlone ? figure.toDouble() : standard.toDouble());
        widgets.dialog->setTemperature(computedAlone ? runTemperature.toDouble() : measuredAt.toDouble());
        showStandardValues({ source });
        showStoredFigure(widgets.field, figure);
        return;
    }
    // A linked record keeps its own source where the run stored none (older
    // rows) or where both computed the figure. Over a solvent the run's own
    // figure is shown, as saved; a sample of an older row gives its own vbar.
    if (linked && (chosen.isNull() || (how == QLatin1String(SqlSource::computed) && linkedComputes))) {
        if (source != Source::Vbar || !chosen.isNull())
            showStoredFigure(widgets.field, figure);
        return;
    }
    // Typed, or a row that said nothing of its source: the figure stands as typed.
    chooseSource(source, word(SqlSource::direct));
    widgets.field->setText(columnText(figure));
}

// Sample

SqlSampleRecord GuiVornakel::newSample() const
{
    SqlSampleRecord record;
    record.vbarSource = word(SqlSource::standard);
    record.vbarStandard = AppNumber::valueOrZero(defaults().vbar);
    record.vbarStandardT = 20.0;
    return record;
}

SqlSampleRecord GuiVornakel::sampleShown(bool fromPage, GuiFieldReader *reader) const
{
    GuiFieldReader unread;
    GuiFieldReader &read = reader ? *reader : unread;
    const GuiSampleComposition *page = qtStackComposition;
    SqlSampleRecord record;
    page->fillRecord(&record, &read);
    // A save started from the page takes its computed vbar as the sample's, as
    // its OK would: a typed or standard vbar stored beside it would be the one
    // a reload shows.
    double computedVbar = 0.0;
    const bool vbarFromPage = fromPage && page->qtCalculateVbar->isChecked()
        && AppNumber::fromText(page->qtCalculatedVBar->text(), &computedVbar) && computedVbar > 0;
    const QString source = vbarFromPage ? word(SqlSource::computed) : sourceWord(Source::Vbar);
    const bool standard = source == QLatin1String(SqlSource::standard);
    record.vbarSource = source;
    record.vbarDirect = source == QLatin1String(SqlSource::direct)
        ? read.number(qtSampleVbar, QStringLiteral("vbar (Sample tab)"))
        : nullNumber;
    record.vbarStandard = standard ? QVariant(m_vbarStandardValue->value()) : nullNumber;
    record.vbarStandardT = standard ? QVariant(m_vbarStandardValue->temperature()) : nullNumber;
    const QVariant k = read.number(qtSedVelocityK, QStringLiteral("k (Experiment tab)"));
    record.sk = k.isNull() ? QVariant(So20W_K()) : k;
    return record;
}

QString GuiVornakel::vbarSourceOf(const SqlSampleRecord &record)
{
    return record.vbarSource.isNull() ? olderSampleSource(record) : record.vbarSource.toString();
}

void GuiVornakel::showSample(const SqlSampleRecord &record, bool stored)
{
    m_runVbarWater = QVariant(); // the sample shown gives its own
    GuiSampleComposition *page = qtStackComposition;
    const QString source = vbarSourceOf(record);
    const bool standardGiven = !record.vbarStandard.isNull();
    m_vbarStandardValue->setValue(
        standardGiven ? record.vbarStandard.toDouble() : AppNumber::valueOrZero(defaults().vbar));
    m_vbarStandardValue->setTemperature(standardGiven ? record.vbarStandardT.toDouble() : 20.0);

    const bool pageWasBlocked = page->blockSignals(true);
    page->showRecord(record);
    page->blockSignals(pageWasBlocked);

    // The composition's vbar is its 25 C estimate: shown at the experiment
    // temperature, as when it was accepted from the page.
    const bool computed = source == QLatin1String(SqlSource::computed);
    const QVariant computedVbar = computed ? compositionVbarAtRunTemperature(record.calculatedVbar) : QVariant();
    showFigure(Source::Vbar, source, record.vbarDirect, computedVbar, stored);
    // Pressing direct entry leaves the page's vbar calculation: the boxes are
    // the sample's again.
    page->showCalculations(record);

    // As an experiment's link, the sample gives its Mr only to an experiment
    // whose Mr comes from the composition.
    const bool mrToExperiment = !m_loadingLinkedSample || m_mrMethod == MrMethod::FromComposition;
    if (!record.calculatedMr.isNull() && mrToExperiment) {
        // The pressed button and the method in use agree: what is computed,
        // and what an experiment saved now stores.
        qtFromComposition->setChecked(true);
        useMrFromComposition();
        qtSedEquilibriumMR->setText(columnText(record.calculatedMr));
    } else if (!m_loadingLinkedSample && m_mrMethod == MrMethod::FromComposition) {
        // The Mr was the composition's of the sample shown before: it goes
        // with it, and the run asks for one as a fresh window does.
        qtSedEquilibriumMR->clear();
        useExactMr();
        qtStopSign->show();
    }
    // The charge is computed at the stored pH, s20,w corrected with the stored
    // k; a sample without a k leaves the run's.
    if (!record.sk.isNull())
        qtSedVelocityK->setText(columnText(record.sk));

    // The sample's computed hydration chooses the Results tab's option; a new
    // sample takes none, and "Use computed delta1" is offered no more.
    const double hydration = record.calculatedHydration.toDouble();
    if (hydration != 0.0) {
        holdComputedHydration(&hydration);
        qtHydrateComputed->setChecked(true);
        // Four digits, as the option shows the computed value.
        qtHydrateRatio->setText(QString::number(hydration, 'g', 4));
        qtHydrateRatio->setEnabled(false);
    } else {
        holdComputedHydration(nullptr);
        if (stored || qtHydrateComputed->isChecked())
            qtHydrateNothing->setChecked(true);
    }
}

// Solvent

SqlSolventRecord GuiVornakel::newSolvent() const
{
    const GuiDefaultsRow row = defaults();
    SqlSolventRecord record;
    record.densitySource = word(SqlSource::standard);
    record.viscositySource = word(SqlSource::standard);
    record.densityStandard = AppNumber::valueOrZero(row.density);
    record.densityStandardT = 20.0;
    record.viscosityStandard = AppNumber::valueOrZero(row.viscosity);
    record.viscosityStandardT = 20.0;
    return record;
}

SqlSolventRecord GuiVornakel::solventShown(bool fromPage, GuiFieldReader *reader) const
{
    GuiFieldReader unread;
    GuiFieldReader &read = reader ? *reader : unread;
    const GuiBufferComponents *page = qtStackBufferComponents;
    SqlSolventRecord record;
    record.pH = read.number(qtBufferpH, QStringLiteral("pH (Solvent tab)"));
    // A save started from the page takes its figures as its OK would.
    struct Figure
    {
        Source source;
        const QGroupBox *pageChoice;
        QVariant SqlSolventRecord::*chosen;
        QVariant SqlSolventRecord::*direct;
        QVariant SqlSolventRecord::*standard;
        QVariant SqlSolventRecord::*standardT;
        bool computed;
    };
    Figure figures[] = { { Source::Density, page->qtCalculateDensity, &SqlSolventRecord::densitySource,
                             &SqlSolventRecord::densityDirect, &SqlSolventRecord::densityStandard,
                             &SqlSolventRecord::densityStandardT, false },
        { Source::Viscosity, page->qtCalculateViscosity, &SqlSolventRecord::viscositySource,
            &SqlSolventRecord::viscosityDirect, &SqlSolventRecord::viscosityStandard,
            &SqlSolventRecord::viscosityStandardT, false } };
    for (Figure &figure : figures) {
        const SourceWidgets widgets = sourceWidgets(figure.source);
        const QString source
            = fromPage && figure.pageChoice->isChecked() ? word(SqlSource::computed) : sourceWord(figure.source);
        const bool standard = source == QLatin1String(SqlSource::standard);
        // The page's figure is kept whenever the page computes it: the source
        // word says whether the tab takes it.
        figure.computed = figure.pageChoice->isChecked();
        record.*figure.chosen = source;
        record.*figure.direct = source == QLatin1String(SqlSource::direct) ? read.number(widgets.field,
                                    figure.source == Source::Density ? QStringLiteral("density (Solvent tab)")
                                                                     : QStringLiteral("viscosity (Solvent tab)"))
                                                                           : nullNumber;
        record.*figure.standard = standard ? QVariant(widgets.dialog->value()) : nullNumber;
        record.*figure.standardT = standard ? QVariant(widgets.dialog->temperature()) : nullNumber;
    }
    page->fillRecord(&record, figures[0].computed, figures[1].computed, &read);
    return record;
}

void GuiVornakel::showSolvent(const SqlSolventRecord &record, bool stored)
{
    holdRunWater(std::nullopt); // the solvent shown gives its own
    GuiBufferComponents *page = qtStackBufferComponents;
    // A source without a standard value of its own offers the program's default.
    const bool bothGiven = !record.densityStandard.isNull() && !record.viscosityStandard.isNull();
    const GuiDefaultsRow row = bothGiven ? GuiDefaultsRow() : defaults();
    const auto standardValue
        = [](GuiStandardValue *dialog, const QVariant &value, const QVariant &measuredAt, const QString &fallback) {
              dialog->setTemperature(value.isNull() ? 20.0 : measuredAt.toDouble());
              dialog->setValue(value.isNull() ? AppNumber::valueOrZero(fallback) : value.toDouble());
          };
    standardValue(m_densityStandardValue, record.densityStandard, record.densityStandardT, row.density);
    standardValue(m_viscosityStandardValue, record.viscosityStandard, record.viscosityStandardT, row.viscosity);

    bufferPageAtRunTemperature();
    const bool pageWasBlocked = page->blockSignals(true);
    page->showBufferRecord(record);
    page->blockSignals(pageWasBlocked);

    const QString density = record.densitySource.isNull()
        ? olderSolventSource(record.densityDirect, record.densityStandard, record.computedDensity)
        : record.densitySource.toString();
    const QString viscosity = record.viscositySource.isNull()
        ? olderSolventSource(record.viscosityDirect, record.viscosityStandard, record.computedViscosity)
        : record.viscositySource.toString();
    // A computed figure is the page's, at the run temperature.
    const auto pageFigure = [](double figure) { return figure > 0 ? QVariant(figure) : nullNumber; };
    showFigure(Source::Density, density, record.densityDirect, pageFigure(page->calculatedDensity()), stored);
    showFigure(Source::Viscosity, viscosity, record.viscosityDirect, pageFigure(page->calculatedViscosity()), stored);
    if (record.pH.isNull())
        qtBufferpH->clear();
    else
        qtBufferpH->setText(columnText(record.pH));
    showSolventWater();
}

// Experiment

SqlExperimentRecord GuiVornakel::experimentShown(GuiFieldReader *reader) const
{
    GuiFieldReader unread;
    GuiFieldReader &read = reader ? *reader : unread;
    SqlExperimentRecord record;
    const struct
    {
        QVariant SqlExperimentRecord::*member;
        const GuiLineEdit *field;
        const char *what;
    } fields[] = { { &SqlExperimentRecord::tc, qtSedEquilibriumTemp, "equilibrium temperature" },
        { &SqlExperimentRecord::rpm, qtSedEquilibriumRPM, "speed" },
        { &SqlExperimentRecord::sigma, qtSedEquilibriumSigma, "sigma" },
        { &SqlExperimentRecord::sstart, qtSedVelocityTemp, "velocity temperature" },
        { &SqlExperimentRecord::mgml, qtSedVelocityConcentration, "concentration" },
        { &SqlExperimentRecord::sstar, qtSedVelocityCoefficient, "S*" },
        { &SqlExperimentRecord::vbar, qtSampleVbar, "vbar (Sample tab)" },
        { &SqlExperimentRecord::rho, qtBufferDensity, "density (Solvent tab)" },
        { &SqlExperimentRecord::vis, qtBufferViscosity, "viscosity (Solvent tab)" },
        { &SqlExperimentRecord::mp, qtSedEquilibriumMR, "Mr" },
        { &SqlExperimentRecord::mb, qtExperimentResultsMb, "Mb" }, { &SqlExperimentRecord::k, qtSedVelocityK, "k" } };
    for (const auto &field : fields)
        record.*field.member = read.number(field.field, QLatin1String(field.what));
    record.calculatedBy = word(m_mrMethod == MrMethod::ExactMr ? SqlMrMethod::exact
            : m_mrMethod == MrMethod::FromSigma                ? SqlMrMethod::sigma
                                                               : SqlMrMethod::composition);
    // Stored whatever the links: a run loaded without its sample or solvent
    // takes its figures from these.
    const struct
    {
        Source source;
        QVariant SqlExperimentRecord::*chosen;
        QVariant SqlExperimentRecord::*standard;
        QVariant SqlExperimentRecord::*standardT;
    } sources[] = {
        { Source::Vbar, &SqlExperimentRecord::vbarSource, &SqlExperimentRecord::vbarStandard,
            &SqlExperimentRecord::vbarStandardT },
        { Source::Density, &SqlExperimentRecord::densitySource, &SqlExperimentRecord::densityStandard,
            &SqlExperimentRecord::densityStandardT },
        { Source::Viscosity, &SqlExperimentRecord::viscositySource, &SqlExperimentRecord::viscosityStandard,
            &SqlExperimentRecord::viscosityStandardT },
    };
    for (const auto &s : sources) {
        const QString chosen = sourceWord(s.source);
        const bool standard = chosen == QLatin1String(SqlSource::standard);
        GuiStandardValue *dialog = sourceWidgets(s.source).dialog;
        record.*s.chosen = chosen;
        record.*s.standard = standard ? QVariant(dialog->value()) : nullNumber;
        record.*s.standardT = standard ? QVariant(dialog->temperature()) : nullNumber;
    }
    record.velocityTempTyped = qtSedVelocityTemp->property(AppKeys::userEntry).toBool() ? 1 : 0;
    const auto typed = [&read](const GuiLineEdit *field, const QString &what) {
        return field->property(AppKeys::userEntry).toBool() ? read.number(field, what) : nullNumber;
    };
    record.rpTyped = typed(qtExperimentResultsRp, QStringLiteral("radius"));
    record.s20wTyped = typed(qtExperimentResultsS, QStringLiteral("s20,w"));
    record.vbarWater = vbarInWater();
    const BufferWater water = bufferWater();
    record.waterD2o = water.d2o;
    record.waterD2o18 = water.d2o18;
    record.waterH2o18 = water.h2o18;
    record.radiusMethod = qtTellerMethod->isChecked() ? word(SqlRadiusMethod::teller) : word(SqlRadiusMethod::vbar);
    return record;
}

GuiVornakel::BufferWater GuiVornakel::bufferWater() const
{
    const GuiBufferComponents *page = qtStackBufferComponents;
    if (page->qtHeavyWater->isChecked())
        return { page->qtWaterComposition->D2O(), page->qtWaterComposition->D2O18(),
            page->qtWaterComposition->H2O18() };
    return m_runWater.value_or(BufferWater());
}

void GuiVornakel::holdRunWater(const std::optional<BufferWater> &water)
{
    m_runWater = water;
    showSolventWater();
}

void GuiVornakel::showSolventWater()
{
    const BufferWater water = bufferWater();
    // s20,w is computed for a protein that keeps its hydrogens: in deuterium it
    // exchanges some. The friction the Results tab takes from s20,w carries it too.
    qtS20wHeavyWater->setVisible(water.d2o + water.d2o18 > 0);
    qtResultsHeavyWater->setVisible(water.d2o + water.d2o18 > 0);
    if (water.isLight()) {
        qtSolventWater->setText(QStringLiteral("Figures in light water"));
        return;
    }
    QStringList shares;
    const QPair<double, const char *> species[]
        = { { water.d2o, "D2O" }, { water.d2o18, "D2-18O" }, { water.h2o18, "H2-18O" } };
    for (const auto &share : species) {
        if (share.first != 0)
            shares << QStringLiteral("%1 % %2").arg(AppNumber::toText(100 * share.first), QLatin1String(share.second));
    }
    qtSolventWater->setText(QStringLiteral("Figures in water of ") + shares.join(QStringLiteral(", ")));
}

GuiVornakel::NormalisingVbar GuiVornakel::normalisingVbar() const
{
    const QVariant water = vbarInWater();
    return { QVariant(water.isNull() ? 0 : 1), QVariant(water.toDouble()) };
}

bool GuiVornakel::showsCompositionVbar() const
{
    return m_sources.button(Source::Vbar) == qtVbarCompute;
}

QVariant GuiVornakel::vbarInWater() const
{
    // A typed or standard vbar has none: it is the vbar on both sides of s20,w.
    const QVariant taken = showsCompositionVbar() ? m_compositionVbar.water : nullNumber;
    return taken.isNull() ? m_runVbarWater : taken;
}

void GuiVornakel::holdCompositionVbar()
{
    const GuiSampleComposition *page = qtStackComposition;
    const CompositionVbar taken { numberOrNull(page->qtCalculatedVBar->text()),
        numberOrNull(page->qtCalculatedVBarWater->text()), numberOrNull(page->qtUnDenaturedVBar->text()) };
    // The Results tab's figures are computed with them while the vbar shown is the composition's.
    if (showsCompositionVbar()
        && (taken.vbar != m_compositionVbar.vbar || taken.water != m_compositionVbar.water
            || taken.undenatured != m_compositionVbar.undenatured))
        m_resultsStale = true;
    m_compositionVbar = taken;
}

void GuiVornakel::useExactMr()
{
    m_mrMethod = MrMethod::ExactMr;
    qtExactMolecularWeight->setChecked(true);
    m_sources.choose(Source::MrMethod, qtExactMolecularWeight);
    qtSedEquilibriumMR->setEnabled(true);
    qtSedEquilibriumMR->setStyleSheet(QLatin1String(GuiStyle::exactMrText));
}

void GuiVornakel::showS20wCaption()
{
    const bool so20w = !qtSedVelocityConcentration->text().simplified().isEmpty();
    if (so20w)
        qtS20WLabel->setText(QStringLiteral("<html><head/><body><p><span style=\" font-family:'Lucida Grande'; "
                                            "font-size:13pt;\">S<sup>o</sup><sub>20,w</sub></span></p>"
                                            "</body></html>"));
    else
        qtS20WLabel->setText(QStringLiteral("<html><head/><body><p><span style=\" font-family:'Lucida Grande'; "
                                            "font-size:13pt;\">S<sub>20,w</sub></span></p></body></html>"));
    qtExperimentResultsS->setAccessibleName(so20w ? QStringLiteral("so20,w") : QStringLiteral("s20,w"));
}

void GuiVornakel::showTypedFigures()
{
    const struct
    {
        QVariant *typed;
        GuiLineEdit *field;
    } figures[] = { { &m_typedRp, qtExperimentResultsRp }, { &m_typedS20w, qtExperimentResultsS } };
    for (const auto &figure : figures) {
        if (figure.typed->isNull())
            continue;
        figure.field->setText(columnText(*figure.typed));
        figure.field->setProperty(AppKeys::userEntry, true);
    }
}

// Results

SqlResultsRecord GuiVornakel::resultsShown(GuiFieldReader *reader) const
{
    GuiFieldReader unread;
    GuiFieldReader &read = reader ? *reader : unread;
    SqlResultsRecord record;
    record.radius = numberOrNull(qtRStokes->text());
    const struct
    {
        QVariant SqlResultsRecord::*member;
        const QLabel *label;
        double factor;
    } figures[] = {
        { &SqlResultsRecord::vbarRadius, qtVbarRo, 1.0 },
        { &SqlResultsRecord::tellerRadius, qtTellerRp, 1.0 },
        { &SqlResultsRecord::vbarFrictionRatio, qtVbarffo, 1.0 },
        { &SqlResultsRecord::tellerFrictionRatio, qtTellerffp, 1.0 },
        { &SqlResultsRecord::vbarFriction, qtVbarFo, 1.0 },
        { &SqlResultsRecord::tellerFriction, qtTellerFp, 1.0 },
        { &SqlResultsRecord::vbarSmax, qtVbarSmax, 1.0 },
        { &SqlResultsRecord::tellerSmax, qtTellerSmax, 1.0 },
        { &SqlResultsRecord::vbarDmax, qtVbarDmax, 1.0 },
        { &SqlResultsRecord::tellerDmax, qtTellerDmax, 1.0 },
        { &SqlResultsRecord::vbarDelta1, qtVbarDelta1max, 1.0 },
        { &SqlResultsRecord::tellerDelta1, qtTellerDelta1max, 1.0 },
        { &SqlResultsRecord::vbarAxialRatio, qtVbarmaxab, 1.0 },
        { &SqlResultsRecord::tellerAxialRatio, qtTellermaxab, 1.0 },
        // The form shows the full axes; the record keeps the semi-axes.
        { &SqlResultsRecord::vbarSemiAxisA, qtVbar2amax, 0.5 },
        { &SqlResultsRecord::tellerSemiAxisA, qtTeller2amax, 0.5 },
        { &SqlResultsRecord::vbarSemiAxisB, qtVbar2bmin, 0.5 },
        { &SqlResultsRecord::tellerSemiAxisB, qtTeller2bmin, 0.5 },
    };
    for (const auto &figure : figures)
        record.*figure.member = numberOrNull(GuiResultFigure::value(figure.label), figure.factor);
    record.method = word(qtVbarMethod->isChecked() ? SqlRadiusMethod::vbar : SqlRadiusMethod::teller);
    record.option = checkedWord(hydrationButtons(*this), SqlHydration::delta1);
    record.optionValue = read.number(qtHydrateRatio, QStringLiteral("axial ratio or hydration"));
    record.shape = checkedWord(shapeButtons(*this), SqlShape::cylinder);
    // The computed option's figures were computed with this hydration.
    const double *hydration = m_sources.computedHydration();
    record.hydrationValue = qtHydrateComputed->isChecked() && hydration ? QVariant(*hydration) : nullNumber;
    record.hydrationExpansion = numberOrNull(qtGraphShapeHydrationExpansion->text());
    return record;
}

// Experiment, with its links

void GuiVornakel::showExperiment(const SqlExperimentRecord &record)
{
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
    // A velocity temperature of its own stays apart from the equilibrium one;
    // one typed equal to it too. Older rows say nothing: apart when they differ.
    qtSedVelocityTemp->setDefaultText(
        qtSedEquilibriumTemp->isValid() ? qtSedEquilibriumTemp->text() : qtSedEquilibriumTemp->defaultText());
    const bool velocityApart = record.velocityTempTyped.isNull()
        ? !record.sstart.isNull() && (record.tc.isNull() || record.sstart.toDouble() != record.tc.toDouble())
        : record.velocityTempTyped.toBool();
    qtSedVelocityTemp->setProperty(AppKeys::userEntry, velocityApart);
    showS20wCaption();
    // A run without a k of its own takes its sample's, or the form's.
    qtSedVelocityK->clear();
    // Its radius and s20,w are computed, or typed as it holds them (shown
    // once computed): none typed before stays.
    for (GuiLineEdit *figure : { qtExperimentResultsRp, qtExperimentResultsS }) {
        figure->clear();
        figure->setProperty(AppKeys::userEntry, false);
    }
    m_typedRp = record.rpTyped;
    m_typedS20w = record.s20wTyped;

    // A link to a record that is no longer what the run was saved with (it has
    // gone from the file: deleted, or made inactive by another program sharing
    // it; or it was saved over since) is no link: the run shows its own
    // figures and sources, and says so.
    SqlRecords records(m_database);
    QStringList gone, changed;
    const auto linked = [&](int id, const QVariant &savedStamp, SqlRecordKind kind, const QString &what) {
        if (id < 0)
            return false;
        QString stamp;
        if (!records.stamp(kind, id, &stamp)) {
            showLoadFailure(QStringLiteral("The %1 of this experiment").arg(what), records);
            return false;
        }
        if (stamp.isEmpty())
            gone << what;
        else if (!savedStamp.isNull() && savedStamp.toString() != stamp)
            changed << what;
        else
            return true;
        return false;
    };

    // A linked record whose composition gives other figures now than it did
    // when the run was saved (the reference data changed since) is not what
    // the run was computed with either.
    QStringList recomputed;
    const auto givesSavedFigures = [&](SqlRecordKind kind, const QString &what, const QString &changes) {
        if (changes.isEmpty())
            return true;
        recomputed << QStringLiteral("its %1, whose %2 other figures with the reference data as they are now: %3")
                          .arg(what,
                              kind == SqlRecordKind::Sample ? QStringLiteral("composition gives")
                                                            : QStringLiteral("components give"),
                              changes);
        return false;
    };

    // The solvent it was saved with, showing the figures it was saved with; a
    // run without one shows them from the sources it stored itself.
    bool solvent = linked(record.bufferId, record.bufferStamp, SqlRecordKind::Solvent, QStringLiteral("solvent"));
    if (solvent) {
        loadSolventPage(record.bufferId);
        solvent = givesSavedFigures(
            SqlRecordKind::Solvent, QStringLiteral("solvent"), shownOf(SqlRecordKind::Solvent).sinceSaved);
    }
    if (!solvent) {
        clearSolventPage();
        showNoRecord(qtBufferName);
        // Its own figures are in its buffer's water, and carried in it.
        if (!record.waterD2o.isNull())
            holdRunWater(
                BufferWater { record.waterD2o.toDouble(), record.waterD2o18.toDouble(), record.waterH2o18.toDouble() });
    }
    showRunFigure(Source::Density, record.densitySource, record.densityStandard, record.densityStandardT, record.rho,
        solvent, record.tc);
    showRunFigure(Source::Viscosity, record.viscositySource, record.viscosityStandard, record.viscosityStandardT,
        record.vis, solvent, record.tc);

    const QString calculatedBy = record.calculatedBy.toString();
    if (calculatedBy == QLatin1String(SqlMrMethod::exact)) {
        qtExactMolecularWeight->setChecked(true);
        onExactMolecularWeightDirectEntry();
    } else if (calculatedBy == QLatin1String(SqlMrMethod::sigma)) {
        qtFromSigma->setChecked(true);
        onSetFromSigma();
    } else {
        // Any other text (also none, as imported rows have) is the
        // composition's Mr, kept as stored.
        qtFromComposition->setChecked(true);
        useMrFromComposition();
    }

    // The sample's own vbar and Mr, under the run's: its own figures stand.
    bool sample = linked(record.sampleId, record.sampleStamp, SqlRecordKind::Sample, QStringLiteral("sample"));
    if (sample) {
        const bool wasLinked = m_loadingLinkedSample;
        m_loadingLinkedSample = true;
        loadSamplePage(record.sampleId);
        m_loadingLinkedSample = wasLinked;
        // s20,w was normalised with the composition's vbar in water the run kept.
        GuiFigureChanges water;
        water.compare(QStringLiteral("vbar in water"), record.vbarWater,
            numberOrNull(qtStackComposition->qtCalculatedVBarWater->text()));
        const QString changes = shownOf(SqlRecordKind::Sample).sinceSaved;
        sample = givesSavedFigures(SqlRecordKind::Sample, QStringLiteral("sample"),
            changes.isEmpty() ? water.text(QStringLiteral("saved with")) : changes);
        if (sample && !record.mp.isNull() && m_mrMethod != MrMethod::FromSigma)
            qtSedEquilibriumMR->setText(columnText(record.mp));
    }
    if (!sample) {
        // Shown as the run's: its Mr method and Mr stay.
        const bool wasLinked = m_loadingLinkedSample;
        m_loadingLinkedSample = true;
        clearSamplePage();
        m_loadingLinkedSample = wasLinked;
        showNoRecord(qtSampleName);
        qtStackComposition->setSampleName(qtSampleName->currentText());
        // Its Mr is the run's, whatever a sample shown meanwhile gave.
        if (!record.mp.isNull() && m_mrMethod != MrMethod::FromSigma)
            qtSedEquilibriumMR->setText(columnText(record.mp));
    }
    showRunFigure(
        Source::Vbar, record.vbarSource, record.vbarStandard, record.vbarStandardT, record.vbar, sample, record.tc);
    if (!record.k.isNull())
        qtSedVelocityK->setText(columnText(record.k));
    // Without its sample the run keeps its vbar in water itself, while the
    // vbar it shows is its composition's (as a value known at its temperature).
    if (!sample && record.vbarSource.toString() == QLatin1String(SqlSource::computed)
        && m_sources.button(Source::Vbar) == qtVbarStandard)
        m_runVbarWater = record.vbarWater;

    // Last: the results come back with their own hydration option, not the
    // one the sample's computed hydration chooses. A run without results of
    // its own shows new ones, by the method its radius was computed with.
    if (linked(record.resultsId, record.resultsStamp, SqlRecordKind::Results, QStringLiteral("results"))) {
        loadResultsPage(record.resultsId);
    } else {
        showNoRecord(qtResultsName);
        showNewResults();
        const bool vbarMethod = record.radiusMethod.toString() == QLatin1String(SqlRadiusMethod::vbar);
        const QSignalBlocker vbarBlocker(qtVbarMethod);
        const QSignalBlocker tellerBlocker(qtTellerMethod);
        (vbarMethod ? qtVbarMethod : qtTellerMethod)->setChecked(true);
    }

    if (!gone.isEmpty() || !changed.isEmpty() || !recomputed.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Vornakel"), linksNotAsSaved(gone, changed, recomputed));
}

// Results

void GuiVornakel::enableForHydrationOption()
{
    if (qtHydrateNothing->isChecked()) {
        qtAssumedShape->setEnabled(true);
        qtHydrateRatio->setEnabled(false);
    } else if (qtHydrateProlate->isChecked() || qtHydrateOblate->isChecked()) {
        qtAssumedShape->setEnabled(false);
        qtHydrateRatio->setEnabled(true);
    } else if (qtHydrateComputed->isChecked()) {
        qtAssumedShape->setEnabled(true);
    } else if (qtHydrateDelta1->isChecked()) {
        qtAssumedShape->setEnabled(true);
        qtHydrateRatio->setEnabled(true);
    }
    showResultCaptions();
}

void GuiVornakel::showResults(const SqlResultsRecord &record)
{
    // A stored record has its figures: no word of an earlier calculation stays.
    qtResultsErrorText->setText(QString());
    qtResultsErrorText->setStyleSheet(QString());
    showResultsNote({});
    QLineEdit *rStokes = qtRStokes;
    rStokes->setText(columnText(record.radius));
    const QPair<QLabel *, const QVariant *> figures[] = { { qtVbarRo, &record.vbarRadius },
        { qtTellerRp, &record.tellerRadius }, { qtVbarFo, &record.vbarFriction },
        { qtTellerFp, &record.tellerFriction }, { qtVbarffo, &record.vbarFrictionRatio },
        { qtTellerffp, &record.tellerFrictionRatio }, { qtVbarSmax, &record.vbarSmax },
        { qtTellerSmax, &record.tellerSmax }, { qtVbarDmax, &record.vbarDmax }, { qtTellerDmax, &record.tellerDmax },
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
    if (record.method.toString() == QLatin1String(SqlRadiusMethod::vbar))
        qtVbarMethod->setChecked(true);
    else
        qtTellerMethod->setChecked(true);
    // Another text keeps the option shown.
    if (QAbstractButton *option = buttonOf(hydrationButtons(*this), record.option.toString()))
        option->setChecked(true);
    // The hydration the computed option's figures were computed with.
    if (!record.hydrationValue.isNull()) {
        const double hydration = record.hydrationValue.toDouble();
        holdComputedHydration(&hydration);
    }
    qtHydrateRatio->setText(columnText(record.optionValue));
    qtGraphShapeHydrationExpansion->setText(columnText(record.hydrationExpansion));
    // Another text is an oblate shape.
    QAbstractButton *shape = buttonOf(shapeButtons(*this), record.shape.toString());
    (shape ? shape : qtShapeOblate)->setChecked(true);
    enableForHydrationOption();
    enableGraphButtons();
}

// Reference data changed behind the records shown

QVariant GuiVornakel::compositionVbarAtRunTemperature(const QVariant &vbar)
{
    if (vbar.toDouble() == 0.0 || !m_calculationsPlugin || !qtSedEquilibriumTemp->isValid())
        return vbar;
    AppScriptList results;
    results.add(AppCalculationContract::calculateSampleVbar.call(m_calculationsPlugin, QVariant(columnText(vbar)),
        QVariant(AppNumber::valueOrZero(qtSedEquilibriumTemp->text()))));
    writeResults(results);
    return numberOrNull(qtSampleVbar->text());
}

GuiVornakel::FiguresFromPages GuiVornakel::figuresFromPages() const
{
    const GuiSampleComposition *composition = qtStackComposition;
    const GuiBufferComponents *buffer = qtStackBufferComponents;
    return { showsCompositionVbar() && composition->qtCalculateVbar->isChecked(),
        m_mrMethod == MrMethod::FromComposition && composition->qtCalculateMr->isChecked(),
        m_sources.computedHydration() && composition->qtCalculateHydration->isChecked(),
        m_sources.button(Source::Density) == qtDensityCompute && buffer->qtCalculateDensity->isChecked(),
        m_sources.button(Source::Viscosity) == qtViscosityCompute && buffer->qtCalculateViscosity->isChecked() };
}

void GuiVornakel::takeCompositionFigures()
{
    const GuiSampleComposition *page = qtStackComposition;
    const FiguresFromPages taken = figuresFromPages();
    if (taken.vbar) {
        const QVariant vbar = numberOrNull(page->qtCalculatedVBar->text());
        if (vbar.toDouble() > 0) {
            holdCompositionVbar();
            qtSampleVbar->setText(columnText(compositionVbarAtRunTemperature(vbar)));
        }
    }
    const QVariant mr = numberOrNull(page->qtCalculatedMR->text());
    if (taken.mr && mr.toDouble() > 0)
        qtSedEquilibriumMR->setText(columnText(mr));
    const QVariant hydration = numberOrNull(page->qtCalculatedHydration->text());
    if (taken.hydration && !hydration.isNull()) {
        const double value = hydration.toDouble();
        holdComputedHydration(&value);
    }
}

void GuiVornakel::takePageFigures(bool composition)
{
    if (composition) {
        takeCompositionFigures();
    } else {
        // A computed density and viscosity are the page's at the run temperature.
        correctForTemperature(qtBufferDensity);
        correctForTemperature(qtBufferViscosity);
    }
    calculate();
    // The Results tab on show is brought up to date with the others, not at its next showing.
    if (stackedWidget->currentWidget() == qtStackVornakel && qtTabWidget->currentWidget() == qtTabResults)
        resultsUpToDate();
}

void GuiVornakel::holdNotAsSaved(SqlRecordKind kind, const QString &changes)
{
    ShownRecord &shown = shownOf(kind);
    if (shown.id < 0 || changes.isEmpty())
        return;
    shown.changed = true;
    shown.sinceSaved = changes;
    shown.why = QStringLiteral("the %1 tab shows other figures than \"%2\" was saved with: the reference data "
                               "changed since (%3)")
                    .arg(kind == SqlRecordKind::Sample ? QStringLiteral("Sample") : QStringLiteral("Solvent"),
                        shown.name, changes);
}

QStringList GuiVornakel::tabFiguresOf(const QStringList &pageFigures, bool sample, bool taken) const
{
    struct TabFigure
    {
        bool ofSample;
        const char *page, *tab;
        bool taken;
    };
    const FiguresFromPages from = figuresFromPages();
    const TabFigure figures[] = { { true, "vbar", "the Sample tab's vbar", from.vbar },
        { true, "vbar in water", "the Sample tab's vbar", from.vbar },
        { true, "vbar without the denaturant", "the Sample tab's vbar", from.vbar },
        { true, "Mr", "the Experiment tab's Mr", from.mr },
        { true, "hydration", "the Results tab's hydration", from.hydration },
        { false, "density at 20 C", "the Solvent tab's density", from.density },
        { false, "viscosity at 20 C", "the Solvent tab's viscosity", from.viscosity } };
    QStringList tabFigures;
    for (const TabFigure &figure : figures) {
        const QString tab = QLatin1String(figure.tab);
        if (figure.ofSample == sample && figure.taken == taken && pageFigures.contains(QLatin1String(figure.page))
            && !tabFigures.contains(tab))
            tabFigures << tab;
    }
    return tabFigures;
}

void GuiVornakel::onPageFollowedReferenceData(const QString &changes, const QStringList &figures)
{
    const bool sample = sender() == qtStackComposition;
    if (!sample && sender() != qtStackBufferComponents)
        return;
    const SqlRecordKind kind = sample ? SqlRecordKind::Sample : SqlRecordKind::Solvent;
    const QString what = sample ? QStringLiteral("sample") : QStringLiteral("solvent");
    const QString tab = sample ? QStringLiteral("Sample") : QStringLiteral("Solvent");
    // Whatever the page showed when the reference data changed is no figure of
    // the record the tab came from any more.
    const bool claimed = showsStored(kind);
    const QString name = shownOf(kind).name;
    if (claimed) {
        ShownRecord &shown = shownOf(kind);
        shown.changed = true;
        shown.why = QStringLiteral("the reference data changed since \"%1\" was loaded or saved, and the %2 tab shows "
                                   "the figures they give now (%3)")
                        .arg(name, tab, changes);
    }
    const bool pageOpen = stackedWidget->currentWidget() == sender();
    if (pageOpen)
        (sample ? m_compositionFollowsPending : m_bufferFollowsPending) = true;
    else
        takePageFigures(sample);
    followShownRecords();

    QString text = QStringLiteral("The reference data changed, and the %1 shown gives other figures now: %2.")
                       .arg(sample ? QStringLiteral("composition of the sample") : QStringLiteral("buffer"), changes);
    // Before the page is closed, which figures the tabs take is not known yet.
    if (pageOpen) {
        text += QStringLiteral(" The page shows them; the tabs take those that come from it when the page is closed.");
    } else {
        const QString from = sample ? QStringLiteral("composition") : QStringLiteral("buffer");
        const QStringList taken = tabFiguresOf(figures, sample, true);
        const QStringList kept = tabFiguresOf(figures, sample, false);
        if (!taken.isEmpty())
            text += QStringLiteral(" Taken on the tabs: %1.").arg(taken.join(QStringLiteral(", ")));
        if (!kept.isEmpty())
            text += QStringLiteral(" Left as they were on the tabs, as they do not come from the %1: %2.")
                        .arg(from, kept.join(QStringLiteral(", ")));
    }
    if (claimed)
        text += QStringLiteral(" The %1 tab no longer shows the stored %2 \"%3\", which keeps the figures it was saved "
                               "with: its list names a new %2, and saving the %2 keeps the figures shown.")
                    .arg(tab, what, name);
    QMessageBox::warning(this, QStringLiteral("Vornakel"), text);
}
