// The Results tab of the main window: the hydrodynamic shape figures from the
// calculation module, the hydration and shape options, and the two shape graphs.

#include "gui/gui_vornakel.h"

#include "app/app_calculationcontract.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptmessages.h"
#include "app/app_scriptobject.h"
#include "gui/gui_grapher.h"
#include "gui/gui_graphpoints.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_style.h"

#include "sql/sql_records.h"
#include <QAbstractButton>
#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QPen>
#include <QPointF>
#include <QVector>

#include <functional>
#include <optional>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>
#include <qwt_text_label.h>

namespace {

QString checkedName(const QList<QAbstractButton *> &buttons)
{
    for (QAbstractButton *button : buttons) {
        if (button->isChecked())
            return button->objectName();
    }
    return QStringLiteral("unchecked");
}

// The figures of the other tabs that both the results and the graph
// calculations send, read from the fields once.
struct PageFigures
{
    explicit PageFigures(const GuiVornakel &w, const double *computedHydration)
        : mr(AppNumber::valueOrZero(w.qtSedEquilibriumMR->text())),
          vbar(AppNumber::valueOrZero(w.qtSampleVbar->text())),
          temperature(AppNumber::valueOrZero(w.qtSedVelocityTemp->text())),
          mb(AppNumber::valueOrZero(w.qtExperimentResultsMb->text())),
          sigma(AppNumber::valueOrZero(w.qtSedEquilibriumSigma->text())),
          rpm(AppNumber::valueOrZero(w.qtSedEquilibriumRPM->text())),
          bufferViscosity(AppNumber::valueOrZero(w.qtBufferViscosity->text())),
          s20w(w.qtExperimentResultsS->text().isEmpty()
                  ? QVariant(QStringLiteral("NULL"))
                  : QVariant(AppNumber::valueOrZero(w.qtExperimentResultsS->text()))),
          hydrationValue(computedHydration ? QVariant(*computedHydration) : QVariant(QStringLiteral("NULL"))),
          equilibriumTemp(w.qtSedEquilibriumTemp->isValid()
                  ? QVariant(AppNumber::valueOrZero(w.qtSedEquilibriumTemp->text()))
                  : QVariant(QStringLiteral("NULL")))
    { }
    QVariant mr, vbar, temperature, mb, sigma, rpm, bufferViscosity;
    QVariant s20w; // "NULL" when there is none
    QVariant hydrationValue; // the composition page's, or "NULL"
    QVariant equilibriumTemp; // the temperature the vbar field holds its value at, or "NULL"
};

} // namespace

// Results page

void GuiVornakel::calculateResults()
{
    // The ratio field can still report a finished edit while the window is
    // taken down, after its pages are gone: there is nothing to show then.
    if (!qtStackComposition)
        return;

    // What the module says of these inputs stands beside the figures until the
    // inputs change: a box would say it again on every click of an option, over
    // the options.
    const AppScriptMessages said(this, AppScriptMessages::KeptPass);
    setBusyCursor(true);
    blockSignals(true);

    const ResultsInputs inputs = resultsInputs();
    // A ratio or hydration that is no number is marked and not sent, rather than sent as 0.
    qtHydrateRatio->setStyleSheet(inputs.ratioValid
            ? QString()
            : QStringLiteral("QLineEdit{") + QLatin1String(GuiStyle::invalidBackground) + QStringLiteral("}"));

    // The first checked hydration option decides; choosing an axial ratio fixes
    // the shape it belongs to, and checking that shape runs this routine again
    // (nested) through the shape radios' own signals.
    QString hydration = QStringLiteral("unchecked");
    if (qtHydrateNothing->isChecked()) {
        hydration = QStringLiteral("qtHydrateNothing");
        qtAssumedShape->setEnabled(true);
        qtHydrateRatio->setEnabled(false);
    } else if (qtHydrateProlate->isChecked()) {
        hydration = QStringLiteral("qtHydrateProlate");
        qtAssumedShape->setEnabled(false);
        qtHydrateRatio->setEnabled(true);
        qtShapeProlate->setChecked(true);
    } else if (qtHydrateOblate->isChecked()) {
        hydration = QStringLiteral("qtHydrateOblate");
        qtAssumedShape->setEnabled(false);
        qtHydrateRatio->setEnabled(true);
        qtShapeOblate->setChecked(true);
    } else if (qtHydrateComputed->isChecked()) {
        hydration = QStringLiteral("qtHydrateComputed");
        qtAssumedShape->setEnabled(true);
    } else if (qtHydrateDelta1->isChecked()) {
        hydration = QStringLiteral("qtHydrateDelta1");
        qtAssumedShape->setEnabled(true);
        qtHydrateRatio->setEnabled(true);
    }

    QString shape = QStringLiteral("unchecked");
    if (qtShapeProlate->isChecked()) {
        shape = QStringLiteral("qtShapeProlate");
        qtAvsBGraphButton->setText(QCoreApplication::translate("QtVornakel", "Graph a/b vs Hydration"));
    } else if (qtShapeOblate->isChecked()) {
        shape = QStringLiteral("qtShapeOblate");
        qtAvsBGraphButton->setText(QCoreApplication::translate("QtVornakel", "Graph a/b vs Hydration"));
    } else if (qtShapeCylinder->isChecked()) {
        shape = QStringLiteral("qtShapeCylinder");
        qtAvsBGraphButton->setText(QCoreApplication::translate("QtVornakel", "Graph L/d vs Hydration"));
    }

    showResultCaptions();

    // The page shows no figures at all where nothing can be sent, never those
    // of earlier inputs.
    const bool mrMissing = inputs.mrMissing;
    if (!inputs.sendable)
        emptyResultFigures();
    AppScriptList results;
    if (inputs.sendable)
        results.add(resultsAnswer(hydration, shape));
    // A script error writes no figure: those of earlier inputs must not stay.
    const AppScriptObject *result = results.first();
    const bool failed
        = result && AppScriptObject::textOf(result->property(QStringLiteral("NAME"))) == QLatin1String("ScriptError");
    if (failed)
        emptyResultFigures();
    AppScriptObject::populateForm(results, this);
    showResultsNote(said.warnings());
    m_resultsStale = false;
    m_resultsWithoutFigures = !result || failed;
    // The module sends its figures in full; the page shows six significant
    // digits, as the experiment tab's fields do, so that they fit their labels.
    for (QLabel *label : resultFigureLabels())
        GuiResultFigure::show(label, label->text());
    blockSignals(false);

    enableGraphButtons();

    if (mrMissing) {
        emit sigLog(QStringLiteral("no molecular weight entered for results"), AppLog::Notice);
        clearResultsPage();
        qtResultsErrorText->setStyleSheet(QLatin1String(GuiStyle::resultsErrorBackground));
        qtResultsErrorText->setText(QStringLiteral("You must have a molecular weight to get results"));
        qtResultsErrorText->setVisible(true);
    } else {
        qtResultsErrorText->setText(QString());
        qtResultsErrorText->setStyleSheet(QString());
    }
    followShownRecords();

    setBusyCursor(false);
}

GuiVornakel::ResultsInputs GuiVornakel::resultsInputs() const
{
    // Nothing is sent without a molecular weight, nor with an input that is not
    // a valid entry (the needed ones also not when empty, the equilibrium
    // figures and s20,w not when red), nor without the value an option asks for.
    ResultsInputs inputs;
    inputs.mrMissing = qtSedEquilibriumMR->text().isEmpty() || !qtSedEquilibriumMR->isValid()
        || AppNumber::valueOrZero(qtSedEquilibriumMR->text()) == 0.0;
    double ratio = 0.0;
    const bool ratioGiven = !qtHydrateRatio->text().simplified().isEmpty();
    inputs.ratioValid = !ratioGiven || AppNumber::fromText(qtHydrateRatio->text(), &ratio);
    auto red = [](const GuiLineEdit *field) { return !field->text().simplified().isEmpty() && !field->isValid(); };
    const bool valueAsked
        = qtHydrateProlate->isChecked() || qtHydrateOblate->isChecked() || qtHydrateDelta1->isChecked();
    inputs.sendable = !inputs.mrMissing && qtSampleVbar->isValid() && qtSedVelocityTemp->isValid()
        && qtBufferViscosity->isValid() && !red(qtExperimentResultsMb) && !red(qtSedEquilibriumSigma)
        && !red(qtSedEquilibriumRPM) && !red(qtExperimentResultsS) && inputs.ratioValid && (ratioGiven || !valueAsked);
    return inputs;
}

AppScriptObject *GuiVornakel::resultsAnswer(const QString &hydration, const QString &shape) const
{
    const PageFigures page(*this, m_sources.computedHydration());
    const NormalisingVbar normalising = normalisingVbar();
    return AppCalculationContract::calculateResults.call(m_calculationsPlugin, page.mr, page.vbar,
        QVariant(undenaturedVbar()), page.s20w, page.mb, page.temperature, page.sigma, page.rpm,
        QVariant(AppNumber::valueOrZero(qtHydrateRatio->text())), QVariant(hydration), page.hydrationValue,
        QVariant(shape), page.bufferViscosity, page.equilibriumTemp, normalising.aVbar, normalising.vbarWater);
}

void GuiVornakel::noteStoredResults()
{
    // Stored results are shown as stored. Where the tabs show the inputs they
    // were computed from (the module gives the figures shown for them), what
    // the calculation says of those inputs stands beside them as it did: a
    // Teller sphere larger than the Stokes sphere is told beside the smallest
    // axial ratio shown under "max a/b", never left unsaid.
    if (!m_calculationsPlugin || !resultsInputs().sendable)
        return;
    AppScriptList results;
    {
        // Asked only: what it says is shown below, if it is said of these figures.
        const AppScriptMessages asked(this, AppScriptMessages::KeptPass);
        results.add(resultsAnswer(
            checkedName({ qtHydrateNothing, qtHydrateProlate, qtHydrateOblate, qtHydrateComputed, qtHydrateDelta1 }),
            checkedName({ qtShapeProlate, qtShapeOblate, qtShapeCylinder })));
    }
    const AppScriptObject *answer = results.first();
    if (!answer)
        return;
    for (const QLabel *label : resultFigureLabels()) {
        const std::optional<double> figure
            = AppCalculationContract::figureOf(AppCalculationContract::resultNamed(answer, label->objectName()));
        if ((figure ? GuiResultFigure::shown(*figure) : QString()) != label->text())
            return;
    }
    // Its warnings, named by their captions as the page's own calculation names them.
    AppScriptObject said(AppScriptObject::Object);
    QStringList texts;
    std::function<void(const AppScriptObject *)> gather = [&](const AppScriptObject *node) {
        if (node->hasProperty(QStringLiteral("WARNING")))
            texts << AppScriptObject::textOf(node->property(QStringLiteral("WARNING")));
        for (const AppScriptObject *child : node->children())
            gather(child);
    };
    gather(answer);
    said.setProperty("WARNING", QVariant(texts.join(QLatin1Char('\n'))));
    const AppScriptMessages noted(this, AppScriptMessages::KeptPass);
    if (!texts.isEmpty())
        AppScriptObject::populateForm(&said, this);
    showResultsNote(noted.warnings());
}

bool GuiVornakel::resultsUpToDate()
{
    if (m_resultsStale)
        calculateResults();
    return !m_resultsWithoutFigures;
}

void GuiVornakel::watchResultsInputs()
{
    auto outOfDate = [this] { m_resultsStale = true; };
    for (QLineEdit *input : std::initializer_list<QLineEdit *> { qtSedEquilibriumMR, qtSampleVbar, qtExperimentResultsS,
             qtExperimentResultsMb, qtSedVelocityTemp, qtSedEquilibriumSigma, qtSedEquilibriumRPM, qtBufferViscosity,
             qtSedEquilibriumTemp })
        connect(input, &QLineEdit::textChanged, this, outOfDate);
    // Which vbar the figures are normalised with follows its source, also
    // where the figure itself stays the same.
    for (QAbstractButton *source : { qtVbarDirectEntry, qtVbarStandard, qtVbarCompute })
        connect(source, &QAbstractButton::toggled, this, outOfDate);
    // The method is part of a results record too; the Experiment tab's radius
    // is the method's (Rp or Ro), computed anew unless a load is writing it.
    connect(qtVbarMethod, &QAbstractButton::toggled, this, &GuiVornakel::followShownRecords);
    connect(qtVbarMethod, &QAbstractButton::toggled, this, [this] {
        if (!optionsStopped())
            calculate();
    });
}

void GuiVornakel::onToggledHydrateNothing(bool checked)
{
    qtHydrateRatio->setText(QString());
    if (checked)
        calculateResults();
}

void GuiVornakel::onToggledHydrateProlate(bool checked)
{
    if (qtHydrateRatio->text().isEmpty())
        qtHydrateRatio->setText(QStringLiteral("1.000"));
    if (checked)
        calculateResults();
}

void GuiVornakel::onToggledHydrateOblate(bool checked)
{
    if (qtHydrateRatio->text().isEmpty())
        qtHydrateRatio->setText(QStringLiteral("1.000"));
    if (checked)
        calculateResults();
}

void GuiVornakel::onToggledHydrateComputed(bool checked)
{
    if (m_sources.offersComputedHydration())
        qtHydrateRatio->setText(QString::number(*m_sources.computedHydration(), 'g', 4));
    if (checked)
        calculateResults();
}

void GuiVornakel::onToggledHydrateDelta1(bool checked)
{
    // The field starts empty: an axial ratio left in it, or a made-up 1 g/g,
    // is no hydration the person has given.
    if (checked) {
        qtHydrateRatio->setText(QString());
        calculateResults();
    }
}

QList<QLabel *> GuiVornakel::resultFigureLabels() const
{
    return { qtVbarRo, qtVbarFo, qtVbarffo, qtVbarSmax, qtVbarDmax, qtVbarDelta1max, qtVbarmaxab, qtVbar2amax,
        qtVbar2bmin, qtTellerRp, qtTellerFp, qtTellerffp, qtTellerSmax, qtTellerDmax, qtTellerDelta1max, qtTellermaxab,
        qtTeller2amax, qtTeller2bmin };
}

QStringList GuiVornakel::resultsShownTexts() const
{
    QStringList shown;
    for (const QLabel *label : resultFigureLabels())
        shown << label->text();
    shown << qtRStokes->text() << qtHydrateRatio->text();
    for (const QAbstractButton *button :
        std::initializer_list<const QAbstractButton *> { qtHydrateNothing, qtHydrateProlate, qtHydrateOblate,
            qtHydrateComputed, qtHydrateDelta1, qtShapeProlate, qtShapeOblate, qtShapeCylinder, qtVbarMethod })
        shown << (button->isChecked() ? button->objectName() : QString());
    return shown;
}

void GuiVornakel::showResultCaptions()
{
    // Without a hydration or an axial ratio given, the figures are the
    // extremes the friction allows (all of it shape: the largest axial ratio,
    // its longest and thinnest axes; all of it water: the largest hydration);
    // given one, they are the ones that go with it. A cylinder's ratio and
    // axes are its length over its diameter, its length and its diameter.
    const bool extremes = !(qtHydrateProlate->isChecked() || qtHydrateOblate->isChecked()
        || qtHydrateComputed->isChecked() || qtHydrateDelta1->isChecked());
    const bool cylinder = qtShapeCylinder->isChecked();
    const QString ratio = cylinder ? QStringLiteral("L/d") : QStringLiteral("a/b");
    const QString length = cylinder ? QStringLiteral("L") : QStringLiteral("2a");
    const QString width = cylinder ? QStringLiteral("d") : QStringLiteral("2b");
    const QString captions[] = { extremes ? QStringLiteral("Delta1 max") : QStringLiteral("Delta1"),
        extremes ? QStringLiteral("max ") + ratio : ratio, extremes ? length + QStringLiteral(" max") : length,
        extremes ? width + QStringLiteral(" min") : width };
    const struct
    {
        QLabel *captions[4];
        QLabel *figures[4];
        const char *method;
    } methods[] = {
        { { qtVbarDelta1maxLabel, qtVbarmaxabLabel, qtVbar2amaxLabel, qtVbar2bminLabel },
            { qtVbarDelta1max, qtVbarmaxab, qtVbar2amax, qtVbar2bmin }, " (vbar method)" },
        { { qtTellerDelta1maxLabel, qtTellermaxabLabel, qtTeller2amaxLabel, qtTeller2bminLabel },
            { qtTellerDelta1max, qtTellermaxab, qtTeller2amax, qtTeller2bmin }, " (Teller method)" },
    };
    for (const auto &method : methods) {
        for (int i = 0; i < 4; ++i) {
            method.captions[i]->setText(captions[i] + QLatin1Char(':'));
            method.figures[i]->setAccessibleName(captions[i] + QLatin1String(method.method));
        }
    }
}

void GuiVornakel::showResultsNote(const QStringList &warnings)
{
    qtResultsNote->setText(warnings.join(QLatin1Char('\n')));
    qtResultsNote->setVisible(!warnings.isEmpty());
}

void GuiVornakel::emptyResultFigures()
{
    for (QLabel *label : resultFigureLabels())
        label->clear();
    qtRStokes->setText(QString());
    qtGraphShapeHydrationExpansion->setText(QString());
}

void GuiVornakel::onHydrateRatioEdited()
{
    // Qt 5 reports a finished edit again on every focus loss, and a warning box
    // of the calculation takes the focus: only a changed ratio is computed, so
    // one edit runs once and shows its warnings once.
    if (!qtHydrateRatio->isModified())
        return;
    qtHydrateRatio->setModified(false);
    calculateResults();
}

void GuiVornakel::enableGraphButtons()
{
    // The graphs are drawn from the shown axial ratios, whether computed or loaded.
    const bool ratios
        = AppNumber::valueOrZero(qtTellermaxab->text()) != 0.0 && AppNumber::valueOrZero(qtVbarmaxab->text()) != 0.0;
    qtGraphShapeButton->setEnabled(qtHydrateComputed->isChecked() && ratios);
    qtAvsBGraphButton->setEnabled(ratios);
}

void GuiVornakel::enableShapeButtons()
{
    qtShapeProlate->setEnabled(true);
    qtShapeOblate->setEnabled(true);
    qtShapeCylinder->setEnabled(true);
}

QVector<GuiVornakel::UnitLabel> GuiVornakel::unitLabels() const
{
    // The unit labels live inside their fields, so positions are the field's.
    return {
        { qtSampleVbarUnitLabel, qtSampleVbar, 2 },
        { qtBufferpHLabel, qtBufferpH, 0 },
        { qtBufferDensityUnitLabel, qtBufferDensity, -2 },
        { qtBufferViscosityUnitLabel, qtBufferViscosity, -2 },
        { qtStopSign, qtSedEquilibriumMR, 0 },
        { qtSedEquilibriumTempLabel, qtSedEquilibriumTemp, 0 },
        { qtSedEquilibriumSigmaLabel, qtSedEquilibriumSigma, 0 },
        { qtSedEquilibriumRPMLabel, qtSedEquilibriumRPM, 0 },
        { qtSedEquilibriumMRLabel, qtSedEquilibriumMR, 0 },
        { qtSedVelocityTempLabel, qtSedVelocityTemp, 0 },
        { qtSedVelocityConcentrationLabel, qtSedVelocityConcentration, 0 },
        { qtSedVelocityCoefficientLabel, qtSedVelocityCoefficient, 0 },
        { qtExperimentResultsMbLabel, qtExperimentResultsMb, 0 },
        { qtExperimentResultsRpLabel, qtExperimentResultsRp, 0 },
        { qtS20WLabel, qtExperimentResultsS, 0 },
        { qtSedVelocityKLabel, qtSedVelocityK, 0 },
    };
}

void GuiVornakel::alignLabels()
{
    const QVector<UnitLabel> placements = unitLabels();
    for (const UnitLabel &p : placements) {
        if (p.label == qtStopSign) {
            // The stop sign sits in the middle of the molar-mass field.
            p.label->move(p.field->width() / 2 - p.label->width() / 2, 0);
            continue;
        }
        p.label->move(0, 0);
        p.label->move(p.field->width() - p.label->width() - unitGap, p.y);
    }

    // The remembered sources and Mr method show pressed on the tabs that can
    // be seen now: vbar, viscosity, density, then the Mr method.
    for (Source source : { Source::Vbar, Source::Viscosity, Source::Density }) {
        QAbstractButton *button = m_sources.button(source);
        if (button && button->isVisible())
            button->setChecked(true);
    }
    if (qtExactMolecularWeight->isVisible())
        m_sources.pressAgain({ Source::MrMethod });
}

// Shape graphs

void GuiVornakel::generateGraphData()
{
    // The graphs are computed from the tab's inputs: what the tab's note says
    // of them is not said again in a box.
    const AppScriptMessages pass(this);
    std::optional<AppScriptMessages> said;
    said.emplace(this, AppScriptMessages::KeptPass);
    setBusyCursor(true);

    const PageFigures page(*this, m_sources.computedHydration());
    const QString shape = checkedName({ qtShapeProlate, qtShapeOblate, qtShapeCylinder });
    const QString hydration
        = checkedName({ qtHydrateNothing, qtHydrateProlate, qtHydrateOblate, qtHydrateComputed, qtHydrateDelta1 });

    const bool teller = qtTellerMethod->isChecked();
    const int model = teller ? 1 : 0;
    const double hDelta = AppNumber::valueOrZero(GuiResultFigure::value(teller ? qtTellerDelta1max : qtVbarDelta1max));

    if (qtHydrateComputed->isChecked()) {
        const double tamax = AppNumber::valueOrZero(GuiResultFigure::value(qtTeller2amax));
        const double tbmin = AppNumber::valueOrZero(GuiResultFigure::value(qtTeller2bmin));
        const double vamax = AppNumber::valueOrZero(GuiResultFigure::value(qtVbar2amax));
        const double vbmin = AppNumber::valueOrZero(GuiResultFigure::value(qtVbar2bmin));
        AppScriptList results;
        results.add(AppCalculationContract::graphShape.call(m_calculationsPlugin, QVariant(shape), QVariant(model),
            QVariant(tamax), QVariant(tbmin), QVariant(vamax), QVariant(vbmin), QVariant(hDelta), page.mr,
            page.equilibriumTemp));

        graphShapePoints.clear();
        graphWShapePoints.clear();
        gcraphShapePoints.clear();
        gtraphShapePoints.clear();
        axelPoints.clear();

        const QStringList strings = results.isEmpty() ? QStringList() : writeResults(results);

        // "GraphShape" is tested first, so it also takes any string that
        // carries it inside a longer tag.
        for (const QString &text : qAsConst(strings)) {
            if (text.contains(QLatin1String("GraphShape")))
                graphShapePoints.append(text);
            else if (text.contains(QLatin1String("GraphWShape")))
                graphWShapePoints.append(text);
            else if (text.contains(QLatin1String("GCraphShape")))
                gcraphShapePoints.append(text);
            else if (text.contains(QLatin1String("GtraphShape")))
                gtraphShapePoints.append(text);
            else if (text.contains(QLatin1String("axel")))
                axelPoints.append(text);
        }
    }

    // The page's dry volume and its axial ratio (or hydration), as calculateResults sends them.
    const double unDenaturedVbar = qtStackComposition ? undenaturedVbar() : 0.0;
    const double ratio = AppNumber::valueOrZero(qtHydrateRatio->text());
    const NormalisingVbar normalising = normalisingVbar();
    AppScriptList results;
    results.add(AppCalculationContract::calculationsAvsBHydration.call(m_calculationsPlugin, QVariant(shape),
        QVariant(hydration), QVariant(model), page.mr, page.hydrationValue, page.s20w, page.vbar, page.bufferViscosity,
        page.sigma, page.mb, page.temperature, page.rpm, page.equilibriumTemp, QVariant(unDenaturedVbar),
        QVariant(ratio), normalising.aVbar, normalising.vbarWater));

    aOverBPoints.clear();
    const QStringList strings = results.isEmpty() ? QStringList() : writeResults(results);
    for (const QString &text : qAsConst(strings)) {
        if (text.contains(QLatin1String("A over B Graph")))
            aOverBPoints.append(text);
    }

    qtAvsBGraphButton->setEnabled(
        AppNumber::valueOrZero(qtTellermaxab->text()) != 0.0 && AppNumber::valueOrZero(qtVbarmaxab->text()) != 0.0);

    const QStringList warnings = said->warnings();
    said.reset();
    const QStringList noted = qtResultsNote->text().split(QLatin1Char('\n'));
    for (const QString &text : warnings)
        if (!noted.contains(text))
            AppScriptMessages::current()->addWarning(text);
    setBusyCursor(false);
}

void GuiVornakel::onGraphShapeClicked()
{
    generateGraphData();
    if (graphShapePoints.size() < 2)
        return;

    const QVector<QPointF> shapePoints = graphStringsToPoints(graphShapePoints);
    const QVector<QPointF> wShapePoints = graphStringsToPoints(graphWShapePoints);
    const QVector<QPointF> cShapePoints = graphStringsToPoints(gcraphShapePoints);
    const QVector<QPointF> tShapePoints = graphStringsToPoints(gtraphShapePoints);
    const QVector<QPointF> axisPoints = graphStringsToPoints(axelPoints);

    // A window of its own, released when the person closes it; the plot
    // deletes its curves with itself.
    auto *plot = new QwtPlot();
    plot->setAttribute(Qt::WA_DeleteOnClose);
    keepWithWindow(plot);
    plot->setCanvasBackground(QBrush(Qt::white));

    auto makeCurve = [](const QString &title, const QVector<QPointF> &points, const QColor &pen) {
        auto *curve = new QwtPlotCurve(title);
        curve->setPen(QPen(pen));
        curve->setSamples(points);
        return curve;
    };
    QwtPlotCurve *curve1 = makeCurve(QStringLiteral("Curve 1"), wShapePoints, Qt::blue);
    curve1->setZ(2.0);
    curve1->setBrush(QBrush(Qt::blue, Qt::SolidPattern));
    QwtPlotCurve *curve2 = makeCurve(QStringLiteral("Curve 2"), shapePoints, Qt::blue);
    curve2->setZ(2.0);
    curve2->setBrush(QBrush(Qt::blue, Qt::SolidPattern));
    QwtPlotCurve *curve3 = makeCurve(QStringLiteral("Curve 3"), cShapePoints, Qt::blue);
    curve3->setZ(1.0);
    curve3->setBrush(QBrush(Qt::red, Qt::SolidPattern));
    QwtPlotCurve *curve4 = makeCurve(QStringLiteral("Curve 4"), tShapePoints, Qt::blue);
    curve4->setZ(1.0);
    curve4->setBrush(QBrush(Qt::red, Qt::SolidPattern));
    // Invisible; its points only widen the automatic axis ranges.
    QwtPlotCurve *curve5 = makeCurve(QStringLiteral("Curve 5"), axisPoints, Qt::transparent);

    curve2->attach(plot);
    curve1->attach(plot);
    curve3->attach(plot);
    curve4->attach(plot);
    curve5->attach(plot);
    plot->replot();

    // Sized only: a fixed place at the screen's corner would put the title bar off screen.
    plot->resize(600, 600);
    plot->setAxisTitle(QwtPlot::yLeft, QStringLiteral("nm"));
    plot->setAxisTitle(QwtPlot::xBottom, QStringLiteral("nm"));

    struct TitleRow
    {
        QAbstractButton *shape;
        QAbstractButton *method;
        const char *format;
        QLabel *ratio;
        QLabel *length;
        QLabel *width;
    };
    const TitleRow rows[] = {
        { qtShapeProlate, qtTellerMethod,
            "%1 prolate model, Teller method, hydrated \n a/b = %2; 2a = %3 nm; 2b = %4 nm; hydration expansion = "
            "%5%",
            qtTellermaxab, qtTeller2amax, qtTeller2bmin },
        { qtShapeProlate, qtVbarMethod,
            "%1 prolate model, Vbar method, hydrated \n a/b = %2; 2a = %3 nm; 2b = %4 nm; hydration expansion = %5%",
            qtVbarmaxab, qtVbar2amax, qtVbar2bmin },
        { qtShapeOblate, qtTellerMethod,
            "%1 oblate model, Teller method, hydrated \n a/b = %2; 2a = %3 nm; 2b = %4 nm; hydration expansion = "
            "%5%",
            qtTellermaxab, qtTeller2amax, qtTeller2bmin },
        { qtShapeOblate, qtVbarMethod,
            "%1 oblate model, Vbar method, hydrated \n a/b = %2; 2a = %3 nm; 2b = %4 nm; hydration expansion = %5%",
            qtVbarmaxab, qtVbar2amax, qtVbar2bmin },
        { qtShapeCylinder, qtTellerMethod,
            "%1 cylinderical model, Teller method, hydrated \n L/d = %2; L = %3 nm; d = %4 nm; hydration expansion "
            "= %5%",
            qtTellermaxab, qtTeller2amax, qtTeller2bmin },
        { qtShapeCylinder, qtVbarMethod,
            "%1 cylinderical model, Vbar method, hydrated \n L/d = %2; L = %3 nm; d = %4 nm; hydration expansion = "
            "%5%",
            qtVbarmaxab, qtVbar2amax, qtVbar2bmin },
    };
    QString title;
    bool matched = false;
    for (const TitleRow &row : rows) {
        if (row.shape->isChecked() && row.method->isChecked()) {
            // All five at once, so a sample name that itself holds "%2" and the
            // like is shown as it is rather than filled in by a later value.
            title = QString::fromLatin1(row.format)
                        .arg(qtSampleName->currentText(), row.ratio->text(), row.length->text(), row.width->text(),
                            qtGraphShapeHydrationExpansion->text());
            matched = true;
            break;
        }
    }
    if (!matched)
        qtGraphShapeButton->setEnabled(false);

    QwtText plotTitle(title, QwtText::AutoText);
    // Laid out and drawn in one face: what the font leaves open (its weight)
    // is drawn from the title label's bold font but not measured so, and a
    // line that the wider text wraps into is cut off.
    plotTitle.setFont(QFont(QStringLiteral("Helvetica"), 10).resolve(plot->titleLabel()->font()));
    // The figures can make the second line wider than the window; wrapped, the
    // whole title stays readable.
    plotTitle.setRenderFlags(Qt::AlignCenter | Qt::TextWordWrap);
    plot->setTitle(plotTitle);
    plot->setVisible(true);
}

void GuiVornakel::onGraphAoverBClicked()
{
    generateGraphData();
    if (aOverBPoints.size() < 2)
        return;

    // Each press opens a window of its own; it is released when closed, so
    // the pointer to the newest one clears itself.
    aOverBGraph = new GuiGrapher(nullptr);
    aOverBGraph->setAttribute(Qt::WA_DeleteOnClose);
    keepWithWindow(aOverBGraph);
    aOverBGraph->reset();
    connect(aOverBGraph, &GuiGrapher::sigLog, this, &GuiVornakel::sigLog);

    const QVector<QPointF> points = graphStringsToPoints(aOverBPoints);

    struct TitleRow
    {
        QAbstractButton *shape;
        QAbstractButton *method;
        const char *title;
    };
    const TitleRow rows[] = {
        { qtShapeProlate, qtTellerMethod, "prolate axial ratio (a/b), teller method" },
        { qtShapeProlate, qtVbarMethod, "prolate axial ratio (a/b), vbar method" },
        { qtShapeOblate, qtTellerMethod, "oblate axial ratio (a/b), teller method" },
        { qtShapeOblate, qtVbarMethod, "oblate axial ratio (a/b), vbar method" },
        { qtShapeCylinder, qtTellerMethod, "cylinder length/diameter, teller method" },
        { qtShapeCylinder, qtVbarMethod, "cylinder length/diameter, v-bar method" },
    };
    QString yTitle;
    bool matched = false;
    for (const TitleRow &row : rows) {
        if (row.shape->isChecked() && row.method->isChecked()) {
            yTitle = QString::fromLatin1(row.title);
            matched = true;
            break;
        }
    }
    if (!matched)
        qtAvsBGraphButton->setEnabled(false);

    auto *curve = new QwtPlotCurve();
    curve->setSamples(points);

    aOverBGraph->setXAxisTitle(QStringLiteral("hydration (g/g)"));
    aOverBGraph->setYAxisTitle(yTitle);
    aOverBGraph->addCurve(curve);
    aOverBGraph->setTitle(qtExperimentName->currentText());
    aOverBGraph->setVisible(true);
    aOverBGraph->raise();
}
