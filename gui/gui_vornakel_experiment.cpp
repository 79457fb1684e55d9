// The main road of the program: the input rules of the numeric fields and the
// experiment calculations, all done by the calculation module.
#include "gui/gui_vornakel.h"

#include "app/app_calculationcontract.h"
#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_scriptmessages.h"
#include "app/app_scriptobject.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_modifyk.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_style.h"
#include "gui/gui_units.h"

#include "sql/sql_records.h"

#include <QApplication>
#include <QGroupBox>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>

namespace {

void setCheckedQuietly(QGroupBox *box, bool checked)
{
    const bool was = box->blockSignals(true);
    box->setChecked(checked);
    box->blockSignals(was);
}

using AppKeys::lastValue;
using AppKeys::userEntry;

// A field's number as the module reads it: an empty field is 0.
QVariant number(const QLineEdit *field)
{
    return QVariant(AppNumber::valueOrZero(field->text()));
}

} // namespace

// Experiment calculations

QStringList GuiVornakel::writeResults(const QList<AppScriptObject *> &results)
{
    blockSignals(true);
    const QStringList graphPoints = AppScriptObject::populateForm(results, this);
    blockSignals(false);
    return graphPoints;
}

AppPlugin *GuiVornakel::calculationsPlugin() const
{
    return m_calculationsPlugin;
}

void GuiVornakel::calculate()
{
    namespace Calc = AppCalculationContract;
    // Whatever changed before a calculation, the record lists follow what the tabs show.
    const auto follow = qScopeGuard([this] { followShownRecords(); });
    // The radius field holds the method's radius, and says which; so do the
    // messages that speak of it.
    const QString radiusCaption = qtTellerMethod->isChecked() ? QStringLiteral("Rp") : QStringLiteral("Ro");
    qtExperimentResultsRpLabel->setText(
        QStringLiteral("<html><head/><body style=\" font-size:12pt;\"><p style=\" margin:0px;\">%1</p></body></html>")
            .arg(radiusCaption));
    qtExperimentResultsRp->setAccessibleName(radiusCaption);
    showEquilibriumSpeedNote();
    if (m_calculationsBlocked)
        return;
    emit sigLog(QStringLiteral("calculate()"), AppLog::Trace);
    if (m_mrMethod == MrMethod::None || !m_calculationsPlugin)
        return;

    const AppScriptMessages pass(this);
    AppScriptList results;
    int written = 0; // results already in the form, with their messages shown
    AppPlugin *module = m_calculationsPlugin;
    // A red or empty input is never sent: the figures computed from it are
    // emptied rather than left from earlier inputs.
    QList<GuiLineEdit *> stale;
    auto valid = [](std::initializer_list<const GuiLineEdit *> fields) {
        return std::all_of(fields.begin(), fields.end(), [](const GuiLineEdit *field) { return field->isValid(); });
    };
    // No speed (empty or 0): only what needs an equilibrium speed is left out.
    const bool noSpeed = withoutEquilibriumSpeed();

    // The anhydrous radius is the dry particle's at 20 C, as the Results tab
    // shows it: the vbar goes with the temperature it holds its value at.
    const QVariant vbarTemperature
        = qtSedEquilibriumTemp->isValid() ? number(qtSedEquilibriumTemp) : QVariant(QStringLiteral("NULL"));
    const QVariant dryVbar(undenaturedVbar());
    // A radius or s20,w the person typed over the computed one is theirs: no
    // calculation writes over it.
    const auto typedOver = [](const GuiLineEdit *field) {
        return field->property(userEntry).toBool() && !field->text().simplified().isEmpty();
    };
    const bool rpTyped = typedOver(qtExperimentResultsRp), sTyped = typedOver(qtExperimentResultsS);
    const QString rpText = qtExperimentResultsRp->text();
    // The radius its caption names (Rp or Ro), from the Mr the field shows, whatever gave that Mr.
    auto radius = [&] {
        if (rpTyped)
            return;
        if (!valid({ qtSedEquilibriumMR, qtSampleVbar }))
            stale << qtExperimentResultsRp;
        else if (qtTellerMethod->isChecked())
            results.add(Calc::calculateRp.call(module, number(qtSedEquilibriumMR), number(qtSampleVbar)));
        else
            results.add(Calc::calculateRo.call(
                module, number(qtSedEquilibriumMR), number(qtSampleVbar), vbarTemperature, dryVbar));
    };
    // Radius, buoyant mass and sigma from a known Mr, each once its own inputs are there.
    auto fromKnownMr = [&] {
        const bool mrVbar = valid({ qtSedEquilibriumMR, qtSampleVbar });
        const bool buoyancy = mrVbar && qtBufferDensity->isValid();
        const QVariant mr = number(qtSedEquilibriumMR), vbar = number(qtSampleVbar), density = number(qtBufferDensity);
        radius();
        if (buoyancy)
            results.add(Calc::calculateMbDirectly.call(module, mr, vbar, density));
        else
            stale << qtExperimentResultsMb;
        if (buoyancy && valid({ qtSedEquilibriumTemp, qtSedEquilibriumRPM }) && !noSpeed)
            results.add(Calc::calculateSigmaFromMr.call(
                module, number(qtSedEquilibriumTemp), number(qtSedEquilibriumRPM), mr, vbar, density));
        else
            stale << qtSedEquilibriumSigma;
    };

    switch (m_mrMethod) {
    case MrMethod::ExactMr:
        fromKnownMr();
        break;
    case MrMethod::FromSigma: {
        if (!noSpeed
            && valid(
                { qtSedEquilibriumTemp, qtSedEquilibriumSigma, qtSedEquilibriumRPM, qtSampleVbar, qtBufferDensity })) {
            const QVariant temperature = number(qtSedEquilibriumTemp), sigma = number(qtSedEquilibriumSigma),
                           rpm = number(qtSedEquilibriumRPM);
            results.add(Calc::calculateMbFromSigma.call(module, temperature, sigma, rpm));
            results.add(
                Calc::calculateMr.call(module, temperature, sigma, rpm, number(qtSampleVbar), number(qtBufferDensity)));
            // The computed Mr must stand in its field before Rp is asked for.
            writeResults(results);
            written = results.size();
        } else {
            // Emptied now, so that the radius is not computed from the Mr of earlier inputs.
            emptyFigures({ qtExperimentResultsMb, qtSedEquilibriumMR });
        }
        // Read now: the Mr just computed stands in its field.
        radius();
        break;
    }
    case MrMethod::FromComposition:
        if (valid({ qtSedEquilibriumTemp, qtSedEquilibriumRPM, qtSedEquilibriumMR, qtSampleVbar, qtBufferDensity }))
            results.add(Calc::calculationsFromMr.call(module, number(qtSedEquilibriumTemp), number(qtSedEquilibriumRPM),
                number(qtSedEquilibriumMR), number(qtSampleVbar), number(qtBufferDensity),
                QVariant(qtTellerMethod->isChecked() ? 1 : 0), dryVbar));
        else
            fromKnownMr(); // what the inputs at hand allow, as for a typed Mr
        break;
    default:
        break;
    }

    // Sedimentation step. A concentration typed but not valid, or a k that is
    // not, gives no s20,w rather than one without the correction.
    const bool concentration = !qtSedVelocityConcentration->text().simplified().isEmpty();
    if (sTyped) {
        // The person's s20,w stands.
    } else if (valid({ qtSedEquilibriumTemp, qtSedVelocityTemp, qtBufferDensity, qtSampleVbar, qtSedVelocityCoefficient,
                   qtBufferViscosity })
        && (!concentration || valid({ qtSedVelocityConcentration, qtSedVelocityK })) && m_changeDefaults) {
        // Vbar20 is the program's default vbar; without the defaults row there is no s20,w.
        double vbar20 = 0.0;
        if (!AppNumber::fromText(m_changeDefaults->defaultsRow().vbar, &vbar20))
            vbar20 = 0.0;
        const NormalisingVbar normalising = normalisingVbar();
        const QVariant common[] = { number(qtSedEquilibriumTemp), number(qtSedVelocityTemp),
            number(qtSedVelocityCoefficient), QVariant(vbar20), number(qtBufferViscosity), number(qtSampleVbar),
            number(qtBufferDensity), normalising.aVbar, normalising.vbarWater };
        // The buffer's water, in which its figures are carried to the velocity temperature.
        const BufferWater water = bufferWater();
        const QVariant d2o(water.d2o), d2o18(water.d2o18), h2o18(water.h2o18);
        if (concentration)
            results.add(Calc::calculateSo20W.call(module, common[0], common[1], common[2], common[3], common[4],
                common[5], common[6], common[7], common[8], number(qtSedVelocityK), number(qtSedVelocityConcentration),
                d2o, d2o18, h2o18));
        else
            results.add(Calc::calculateS20W.call(module, common[0], common[1], common[2], common[3], common[4],
                common[5], common[6], common[7], common[8], d2o, d2o18, h2o18));
    } else {
        stale << qtExperimentResultsS;
    }

    emptyFigures(stale);
    // Written again, Mr would show its module's warnings a second time.
    writeResults(results.mid(written));
    // The composition's calculations give the radius with Mb and sigma.
    if (rpTyped && qtExperimentResultsRp->text() != rpText) {
        const QSignalBlocker blocker(qtExperimentResultsRp);
        qtExperimentResultsRp->setText(rpText);
        qtExperimentResultsRp->validateAndFormat();
        qtExperimentResultsRp->setProperty(userEntry, true);
    }
}

bool GuiVornakel::withoutEquilibriumSpeed() const
{
    // The file's format stores no speed as 0: empty and 0 are the same run.
    const QString text = qtSedEquilibriumRPM->text();
    return text.simplified().isEmpty() || (qtSedEquilibriumRPM->isValid() && AppNumber::valueOrZero(text) == 0.0);
}

void GuiVornakel::showEquilibriumSpeedNote()
{
    // Said beside the figures, not in a box: every calculation of the run would say it again.
    const bool noSpeed = withoutEquilibriumSpeed();
    qtNoEquilibriumSpeed->setVisible(noSpeed);
    if (!noSpeed) {
        qtNoEquilibriumSpeed->clear();
        return;
    }
    qtNoEquilibriumSpeed->setText(m_mrMethod == MrMethod::FromSigma
            ? QStringLiteral("No equilibrium speed (empty or 0): Mb and the Mr from sigma need one and are left "
                             "empty.")
            : QStringLiteral("No equilibrium speed (empty or 0): sigma needs one and is left empty; the other "
                             "figures are computed."));
}

double GuiVornakel::undenaturedVbar() const
{
    // Only the composition's own vbar has a dry vbar of its own: a typed or
    // standard vbar is the particle's.
    if (showsCompositionVbar() && !m_compositionVbar.undenatured.isNull())
        return m_compositionVbar.undenatured.toDouble();
    // A run without its sample kept its composition's vbar in water at 20 C:
    // the module takes it to 25 C as the page gives it.
    if (m_runVbarWater.isNull() || !m_calculationsPlugin)
        return 0.0;
    AppScriptList results;
    results.add(AppCalculationContract::vbarAtT.call(m_calculationsPlugin, m_runVbarWater, QVariant(25.0)));
    return AppCalculationContract::figureOf(results.first()).value_or(0.0);
}

void GuiVornakel::emptyFigures(const QList<GuiLineEdit *> &figures)
{
    // A figure the person has typed over stays: it is theirs, not the module's.
    blockSignals(true);
    for (GuiLineEdit *field : figures)
        if (!field->property(AppKeys::userEntry).toBool() && !field->text().isEmpty())
            field->setText(QString());
    blockSignals(false);
}

void GuiVornakel::equilibriumTempCalculations()
{
    correctForTemperature(nullptr);
}

void GuiVornakel::correctForTemperature(const QLineEdit *only)
{
    // Each correction starts from the value's 20 °C base, not from the field,
    // which may already hold the value at an earlier temperature.
    auto wanted = [only](const QLineEdit *field) { return !field->isEnabled() && (!only || only == field); };
    // A density or viscosity accepted from the buffer page is the page's own
    // correction of its buffer to this temperature, not the accepted figure
    // corrected once more.
    GuiBufferComponents *page = qtStackBufferComponents;
    const FiguresFromPages taken = figuresFromPages();
    const bool densityFromPage = wanted(qtBufferDensity) && taken.density;
    const bool viscosityFromPage = wanted(qtBufferViscosity) && taken.viscosity;
    const AppScriptMessages pass(this);
    // A temperature that is no valid entry corrects nothing; the figures that
    // depend on it are emptied by calculate().
    const bool temperatureValid = qtSedEquilibriumTemp->isValid();
    QHash<QLineEdit *, double> fromPage;
    if ((densityFromPage || viscosityFromPage) && temperatureValid) {
        bufferPageAtRunTemperature();
        if (densityFromPage)
            fromPage.insert(qtBufferDensity, page->calculatedDensity());
        if (viscosityFromPage)
            fromPage.insert(qtBufferViscosity, page->calculatedViscosity());
    }
    namespace Calc = AppCalculationContract;
    AppScriptList results;
    QHash<const QObject *, double> bases;
    const QVariant temperature = number(qtSedEquilibriumTemp);
    auto correct = [&](QLineEdit *field) {
        const double base = m_sources.valueAt20(field);
        bases.insert(field, base);
        return QVariant(base);
    };
    if (m_calculationsPlugin && temperatureValid) {
        // The solvent's figures are carried in its own water, whatever their source.
        const BufferWater water = bufferWater();
        const QVariant d2o(water.d2o), d2o18(water.d2o18), h2o18(water.h2o18);
        if (wanted(qtSampleVbar))
            results.add(Calc::vbarAtT.call(m_calculationsPlugin, correct(qtSampleVbar), temperature));
        if (wanted(qtBufferDensity) && !densityFromPage)
            results.add(
                Calc::densityAtT.call(m_calculationsPlugin, temperature, correct(qtBufferDensity), d2o, d2o18, h2o18));
        if (wanted(qtBufferViscosity) && !viscosityFromPage)
            results.add(Calc::viscosityAtT.call(
                m_calculationsPlugin, correct(qtBufferViscosity), temperature, QVariant(0), d2o, d2o18, h2o18));
    }
    m_sources.beginCorrection();
    writeResults(results);
    for (auto it = fromPage.cbegin(); it != fromPage.cend(); ++it)
        it.key()->setText(it.value() > 0 ? AppNumber::toText(it.value()) : QString());
    m_sources.endCorrection(bases);
}

void GuiVornakel::onSedEqTempChanged()
{
    // A vbar typed directly gets no temperature correction, nor does any at a
    // temperature that is no valid entry.
    if (qtSampleVbar->isEnabled() || !m_calculationsPlugin || !qtSedEquilibriumTemp->isValid())
        return;
    // The same edit has just been calculated: what it showed is not shown again.
    const AppScriptMessages pass(this, AppScriptMessages::ContinuingPass);
    double vbar = AppDefaults::vbar;
    const AppCalculation<2> *function = &AppCalculationContract::defaultSampleVbar;
    // The composition's vbar stands only while it is the chosen source: a
    // standard vbar chosen since is corrected from its own base instead. It is
    // the one the tab took, not what the page may compute since.
    if (!m_compositionVbar.vbar.isNull() && m_sources.button(Source::Vbar) != qtVbarStandard) {
        vbar = m_compositionVbar.vbar.toDouble();
        function = &AppCalculationContract::calculateSampleVbar;
    }
    const QString before = qtSampleVbar->text();
    AppScriptList results;
    results.add(function->call(m_calculationsPlugin, QVariant(vbar), number(qtSedEquilibriumTemp)));
    writeResults(results);
    // The figures on screen were computed with the vbar of the old temperature.
    // An unchanged vbar needs no second run, which would repeat its warnings.
    if (qtSampleVbar->text() != before)
        calculate();
}

void GuiVornakel::onCalculatedVBarAccepted(qreal value)
{
    const AppScriptMessages pass(this);
    holdCompositionVbar();
    if (!qtStackComposition->qtCalculatedVBar->text().isEmpty() && m_calculationsPlugin) {
        AppScriptList results;
        results.add(AppCalculationContract::calculateSampleVbar.call(
            m_calculationsPlugin, QVariant(AppNumber::toText(value)), number(qtSedEquilibriumTemp)));
        writeResults(results);
    }
    m_sources.choose(Source::MrMethod, qtFromComposition);
    m_sources.choose(Source::Vbar, qtVbarCompute);
    setCheckedQuietly(qtStackComposition->qtCalculateVbar, true);
    calculate();
}

void GuiVornakel::onCalculatedMrAccepted(qreal value)
{
    qtSedEquilibriumMR->setText(AppNumber::toText(value));
    useMrFromComposition();
    calculate();
}

void GuiVornakel::useMrFromComposition()
{
    m_mrMethod = MrMethod::FromComposition;
    m_sources.choose(Source::MrMethod, qtFromComposition);
    // The Mr is the composition's: nothing is asked of the person.
    qtStopSign->hide();
    qtSedEquilibriumMR->setEnabled(false);
}

void GuiVornakel::onCalculatedHydrationAccepted(qreal value)
{
    const double hydration = value;
    holdComputedHydration(&hydration);
    m_sources.choose(Source::MrMethod, qtFromComposition);
}

void GuiVornakel::onBufferDensityCalculated(qreal value)
{
    qtBufferDensity->setText(AppNumber::toText(value));
    qtDensityCompute->setChecked(true);
    m_sources.choose(Source::Density, qtDensityCompute);
    calculate();
}

void GuiVornakel::onBufferViscosityCalculated(qreal value)
{
    qtBufferViscosity->setText(AppNumber::toText(value));
    m_sources.choose(Source::Viscosity, qtViscosityCompute);
    qtViscosityCompute->setChecked(true);
    calculate();
}

GuiVornakel::MrMethod GuiVornakel::mrCalculationMethod() const
{
    return m_mrMethod;
}

double GuiVornakel::So20W_K() const
{
    return AppNumber::valueOrZero(qtSedVelocityK->text());
}

// Field input rules

void GuiVornakel::blockCalculations(bool block)
{
    m_calculationsBlocked = block;
}

void GuiVornakel::stopSignals(bool stop)
{
    const QList<QObject *> controls = { qtHydrateRatio, qtShapeProlate, qtShapeOblate, qtShapeCylinder,
        qtHydrateNothing, qtHydrateProlate, qtHydrateOblate, qtHydrateComputed, qtHydrateDelta1 };
    for (QObject *control : controls)
        control->blockSignals(stop);
}

void GuiVornakel::setBusyCursor(bool busy)
{
    // Calls do not nest: a second true keeps the one cursor, a false without one does nothing.
    if (busy && !m_busyCursor)
        m_busyCursor = std::make_unique<GuiWaitCursor>();
    else if (!busy)
        m_busyCursor.reset();
}

void GuiVornakel::onValueEdited()
{
    QObject *source = sender();
    if (!source)
        return;
    // One edit, one pass: each warning of its calculations is shown once.
    const AppScriptMessages pass(this);

    if (source == qtSedEquilibriumTemp) {
        // Only a valid temperature is followed: a mistyped one would turn both fields red.
        const bool follow = qtSedEquilibriumTemp->isValid();
        if (follow)
            qtSedVelocityTemp->setDefaultText(qtSedEquilibriumTemp->text());
        if (follow && !qtSedVelocityTemp->property(userEntry).toBool()) {
            const bool was = qtSedVelocityTemp->blockSignals(true);
            qtSedVelocityTemp->setText(qtSedEquilibriumTemp->text());
            // Its own check is silenced with its signals; its valid mark must follow the copied text.
            qtSedVelocityTemp->validateAndFormat();
            qtSedVelocityTemp->blockSignals(was);
        }
        // The buffer page first: a density or viscosity accepted from it is its own correction.
        bufferPageAtRunTemperature();
        equilibriumTempCalculations();
    } else if (source == qtSedEquilibriumRPM) {
        // Speeds up to 90 are taken as thousands of rpm.
        double rpm = 0.0;
        const QString text = qtSedEquilibriumRPM->text().simplified();
        if (!text.isEmpty() && AppNumber::fromText(text, &rpm) && !(rpm > 90))
            qtSedEquilibriumRPM->setText(AppNumber::toText(rpm * 1000));
    } else if (source == qtSedEquilibriumMR) {
    } else if (source == qtBufferViscosity) {
        GuiUnits::askCentipoise(qtBufferViscosity, this);
    } else if (source == qtSedVelocityConcentration) {
        emit sigLog(qtSedVelocityConcentration->text().simplified().isEmpty() ? QStringLiteral("Changing to s20W")
                                                                              : QStringLiteral("Changing to s*20W"),
            AppLog::Trace);
        showS20wCaption();
    } else if (source == qtExperimentResultsRp || source == qtExperimentResultsS) {
        auto *field = static_cast<GuiLineEdit *>(source);
        // An s20,w is read as S* is: above 9e-06 (or below -9e-06, a floating
        // particle) in svedbergs.
        if (source == qtExperimentResultsS)
            takeSvedbergs(field);
        if (field->text().simplified().isEmpty()) {
            // Erased: the figure is the module's again.
            field->setProperty(userEntry, false);
            calculate();
            return;
        }
        // Already the person's: what they type now stays, nothing recomputes it.
        if (source->property(userEntry).toBool())
            return;
        QMessageBox question;
        question.setIcon(QMessageBox::Question);
        question.setText(source == qtExperimentResultsRp ? QStringLiteral("Do you want to override computed R?")
                                                         : QStringLiteral("Do you want to override computed S20W?"));
        question.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
        question.setDefaultButton(QMessageBox::Cancel);
        if (question.exec() == QMessageBox::Yes)
            field->setProperty(userEntry, true);
        else
            field->setText(field->property(lastValue).toString());
        return;
    } else if (source == qtSedVelocityCoefficient) {
        takeSvedbergs(qtSedVelocityCoefficient);
    }

    source->setProperty(userEntry, true);
    m_sources.typed(source);
    calculate();
}

void GuiVornakel::takeSvedbergs(GuiLineEdit *field)
{
    // Values above 9e-06 are taken as svedbergs, and so are those below
    // -9e-06: a floating particle's s is typed as "-5" too. Text that is no
    // number stays as typed (and marked), so it never turns into a valid 0.
    double s = 0.0;
    if (!AppNumber::fromText(field->text(), &s) || std::fabs(s) <= 9e-06)
        return;
    // Still the typed value: the field's computed value and its source are not touched.
    const QSignalBlocker blocker(field);
    field->setText(AppNumber::toText(s * 1e-13));
    field->validateAndFormat();
}

void GuiVornakel::onValueChanged()
{
    QObject *source = sender();
    if (!source)
        return;
    source->setProperty(userEntry, false);
    // However the experiment temperature was set: typed, the defaults, a loaded experiment.
    if (source == qtSedEquilibriumTemp)
        bufferPageAtRunTemperature();
    if (source == qtExperimentResultsRp || source == qtExperimentResultsS)
        source->setProperty(lastValue, static_cast<QLineEdit *>(source)->text());
    // A value written by anything but the temperature correction is a new base.
    m_sources.written(source);
}

void GuiVornakel::onSampleVbarDirectEntry(bool checked)
{
    setDirectEntry(checked, qtVbarDirectEntry, Source::Vbar, qtSampleVbar, qtSampleVbarLabel,
        qtStackComposition->qtCalculateVbar, false);
    // The vbar shown is typed now, even before another figure is typed over
    // it: the figures take it on both sides of s20,w.
    if (checked) {
        m_runVbarWater = QVariant();
        calculate();
    }
}

void GuiVornakel::onBufferDensityDirectEntry(bool checked)
{
    setDirectEntry(checked, qtDensityDirectEntry, Source::Density, qtBufferDensity, qtBufferDensityLabel,
        qtStackBufferComponents->qtCalculateDensity, false);
}

void GuiVornakel::onBufferViscosityDirectEntry(bool checked)
{
    setDirectEntry(checked, qtViscosityDirectEntry, Source::Viscosity, qtBufferViscosity, qtBufferViscosityLabel,
        qtStackBufferComponents->qtCalculateViscosity, true);
}

// A direct-entry field is typed by the person, shown in blue and marked as
// taking no temperature correction; leaving direct entry locks it again (the
// viscosity field also turns grey).
void GuiVornakel::setDirectEntry(bool checked, QAbstractButton *button, Source source, QLineEdit *field,
    QLabel *caption, QGroupBox *pageChoice, bool greyWhenLeft)
{
    if (checked) {
        m_sources.choose(source, button);
        caption->setText(QStringLiteral("No Temp Correction"));
        field->setEnabled(true);
        field->setStyleSheet(QLatin1String(GuiStyle::typedText));
        field->setFocus(Qt::OtherFocusReason);
        leavePageCalculation(pageChoice);
    } else {
        caption->setText(QString());
        field->setEnabled(false);
        if (greyWhenLeft)
            field->setStyleSheet(QLatin1String(GuiStyle::lockedText));
    }
}

void GuiVornakel::leavePageCalculation(QGroupBox *pageChoice)
{
    if (qtStackComposition->isAncestorOf(pageChoice))
        qtStackComposition->leaveCalculation(pageChoice);
    else
        qtStackBufferComponents->leaveCalculation(pageChoice);
}

void GuiVornakel::onClickedVbarStandard()
{
    chooseStandardValue(m_vbarStandardValue, Source::Vbar, qtVbarStandard, qtStackComposition->qtCalculateVbar);
}

void GuiVornakel::onClickedDensityStandard()
{
    chooseStandardValue(
        m_densityStandardValue, Source::Density, qtDensityStandard, qtStackBufferComponents->qtCalculateDensity);
}

void GuiVornakel::onClickedViscosityStandard()
{
    chooseStandardValue(m_viscosityStandardValue, Source::Viscosity, qtViscosityStandard,
        qtStackBufferComponents->qtCalculateViscosity);
}

// An accepted standard value becomes the field's source, is taken to the
// experiment temperature and recalculated; either way the remembered source
// button ends up pressed again.
void GuiVornakel::chooseStandardValue(
    GuiStandardValue *dialog, Source source, QAbstractButton *standardButton, QGroupBox *pageChoice)
{
    const AppScriptMessages pass(this);
    if (dialog && dialog->execute() == QDialog::Accepted) {
        m_sources.choose(source, standardButton);
        // A standard vbar given by the person is no run's composition vbar.
        if (source == Source::Vbar)
            m_runVbarWater = QVariant();
        leavePageCalculation(pageChoice);
        carryStandardValue(source);
        calculate();
    }
    m_sources.pressAgain({ source });
}

void GuiVornakel::onClickedFromComposition()
{
    setUpdatesEnabled(false);
    stackedWidget->setCurrentWidget(qtStackComposition);
    setUpdatesEnabled(true);
}

void GuiVornakel::onClickedVbarCompute() { }

void GuiVornakel::onClickedDensityCompute()
{
    stackedWidget->setCurrentWidget(qtStackBufferComponents);
    update();
    setCheckedQuietly(qtStackBufferComponents->qtCalculateDensity, true);
    qtStackBufferComponents->compute();
}

void GuiVornakel::onClickedViscosityCompute()
{
    stackedWidget->setCurrentWidget(qtStackBufferComponents);
    update();
    setCheckedQuietly(qtStackBufferComponents->qtCalculateViscosity, true);
    qtStackBufferComponents->compute();
}

void GuiVornakel::onExactMolecularWeightDirectEntry()
{
    emit sigLog(QStringLiteral("USER_SUPPLIED_MR"), AppLog::Trace);
    if (qtSedEquilibriumMR->text().isEmpty())
        qtStopSign->show();
    m_mrMethod = MrMethod::ExactMr;
    m_sources.choose(Source::MrMethod, qtExactMolecularWeight);
    qtSedEquilibriumMR->setEnabled(true);
    qtSedEquilibriumMR->setFocus(Qt::OtherFocusReason);
    qtSedEquilibriumMR->setStyleSheet(QLatin1String(GuiStyle::exactMrText));
    calculate();
}

void GuiVornakel::onSetFromSigma()
{
    emit sigLog(QStringLiteral("USER_SUPPLIED_SIGMA"), AppLog::Trace);
    qtStopSign->hide();
    m_mrMethod = MrMethod::FromSigma;
    m_sources.choose(Source::MrMethod, qtFromSigma);
    qtSedEquilibriumSigma->setEnabled(true);
    qtSedEquilibriumSigma->setFocus(Qt::OtherFocusReason);
    qtSedEquilibriumMR->setEnabled(false);
    qtSedEquilibriumMR->setText(QString());
    qtSedEquilibriumMR->setStyleSheet(QLatin1String(GuiStyle::lockedText));
    calculate();
}

void GuiVornakel::onskButtonClicked()
{
    emit sigLog(QStringLiteral("GuiVornakel::onS20WButtonClicked() not fully implemented"), AppLog::Trace);
    GuiModifyK dialog(this);
    AppLog::connect(&dialog, &GuiModifyK::sigLog, lcGui);
    dialog.exec();
}

void GuiVornakel::onCurrentTabChanged(int index)
{
    if (index < 0)
        return;
    alignLabels();
    if (qtTabWidget->tabText(index).remove(QLatin1Char('&')).compare(QLatin1String("Results"), Qt::CaseInsensitive)
        == 0) {
        qtHydrateComputed->setEnabled(m_sources.offersComputedHydration());
        // A stored record is shown as stored while nothing it was computed
        // from has changed since; anything else is computed from the tabs.
        const bool storedShown = showsStored(SqlRecordKind::Results);
        if (!storedShown || m_resultsStale)
            calculateResults();
        else
            noteStoredResults();
    }
}

void GuiVornakel::slotExchange()
{
    emit sigLog(QStringLiteral("slotExchange"), AppLog::Trace);
    QObject *source = sender();
    if (!source || source->metaObject()->propertyCount() == 0)
        return;
    const QMetaMethod signal = source->metaObject()->property(0).notifySignal();
    static const char *const kinds[] = { "Method", "Signal", "Slot", "Constructor" };
    const int kind = signal.methodType();
    if (kind >= 0 && kind < 4)
        emit sigLog(QString::fromLatin1(kinds[kind]), AppLog::Trace);
    const QList<QByteArray> names = signal.parameterNames();
    for (const QByteArray &name : names)
        emit sigLog(QStringLiteral("signal name: %1").arg(QString::fromLatin1(name)), AppLog::Trace);
}
