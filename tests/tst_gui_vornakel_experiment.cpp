#include "app/app_number.h"
#include "app/app_plugin.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakel.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QPushButton>
#include <QRadioButton>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <memory>

// Replaces the experiment functions of the window's calculation module with
// recorders: each call is noted as name(NAME=VALUE,...) in the script's calls
// list and answers what the test put into answers[name] (nothing by default).
static const char *recorders = R"JS(
var calls = [];
var answers = {};
(function (global) {
    var names = ["calculateRp", "calculateRo", "calculateMbDirectly", "calculateSigmaFromMr",
                 "calculateMbFromSigma", "calculateMr", "calculationsFromMr", "calculateS20W",
                 "calculateSo20W", "_calculateVBarAtT", "calculateDensityAtT", "calculateViscAtT",
                 "calculateSampleVbar", "_calculateSampleVbar"];
    for (var i = 0; i < names.length; ++i) {
        (function (name) {
            global[name] = function () {
                var parts = [];
                for (var j = 0; j < arguments.length; ++j)
                    parts.push(arguments[j].NAME + "=" + arguments[j].VALUE);
                calls.push(name + "(" + parts.join(",") + ")");
                return answers[name] !== undefined ? answers[name] : [];
            };
        })(names[i]);
    }
})(this);
)JS";

class TstGuiVornakelExperiment : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TestDatabaseFiles> m_files;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    std::unique_ptr<GuiVornakel> m_window;

    GuiLineEdit *field(const char *name) const
    {
        auto *f = m_window->findChild<GuiLineEdit *>(QLatin1String(name));
        if (!f)
            qFatal("no field %s", name);
        return f;
    }
    template<typename T> T *widget(const char *name) const
    {
        T *w = m_window->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

    // A finished user edit: replace the text by typing and press Return.
    void type(const char *name, const QString &text)
    {
        GuiLineEdit *f = field(name);
        f->setFocus();
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, text);
        QTest::keyClick(f, Qt::Key_Return);
    }
    void click(const char *name) { widget<QAbstractButton>(name)->click(); }

    QScriptEngine *engine() const
    {
        auto *module = qobject_cast<AppQtScriptPlugin *>(m_window->calculationsPlugin());
        return module ? module->engine() : nullptr;
    }
    void useRecorders() { engine()->evaluate(QString::fromLatin1(recorders)); }
    void answer(const QString &function, const QString &name, const QString &value)
    {
        engine()->evaluate(QStringLiteral("answers['%1'] = { NAME: '%2', VALUE: '%3' };").arg(function, name, value));
    }
    QStringList calls() const
    {
        const QString joined = engine()->evaluate(QStringLiteral("calls.join(';')")).toString();
        return joined.isEmpty() ? QStringList() : joined.split(QLatin1Char(';'));
    }
    void forgetCalls() { engine()->evaluate(QStringLiteral("calls = [];")); }

    static double number(const QLineEdit *f) { return f->text().toDouble(); }

private slots:
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_files = std::make_unique<TestDatabaseFiles>();
        m_answerer = std::make_unique<TestModalAnswerer>();
        m_window = std::make_unique<GuiVornakel>(m_files->path());
        QVERIFY(m_window->initVornakel());
        QVERIFY(engine());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        widget<QTabWidget>("qtTabWidget")->setCurrentWidget(widget<QWidget>("qtTabExperiment"));
    }
    void cleanup()
    {
        m_window.reset();
        m_answerer.reset();
        m_files.reset();
        m_settings.reset();
    }

    // ---- end to end, with the shipped module ----

    void sedimentationAtFourDegreesMatchesTheHandFigure()
    {
        click("qtExactMolecularWeight");
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        QCOMPARE(field("qtSedVelocityTemp")->text(), QStringLiteral("4.00"));
        type("qtSedVelocityCoefficient", QStringLiteral("4.5"));
        QCOMPARE(field("qtSedVelocityCoefficient")->text(), QStringLiteral("4.5000e-13"));

        // By hand: the buffer is water (the defaults), vbar 0.73 at 20 C.
        // vbar at 4 C: 0.73 - 4.25e-4 * 16 (Durchschlag 1986). Water density
        // 0.999972 at 4 C and 0.998207 g/ml at 20 C, viscosity 1.5674 and
        // 1.0016 mPa s (handbook tables). s20,w = s (eta_T / eta_20,w)
        // (1 - vbar20 rho_20,w) / (1 - vbar_T rho_T) (Svedberg and Pedersen 1940).
        const double vbarT = 0.73 - 4.25e-4 * 16;
        const double rhoT = 0.99823 * 0.999972 / 0.998207;
        const double etaRatio = 1.5674 / 1.0016;
        const double expected = 4.5e-13 * etaRatio * (1 - 0.73 * 0.998234) / (1 - vbarT * rhoT);
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.72320"));
        QVERIFY(std::fabs(number(field("qtBufferDensity")) - rhoT) < 2e-5);
        const double s20w = number(field("qtExperimentResultsS"));
        QVERIFY2(std::fabs(s20w / expected - 1) < 2e-3,
            qPrintable(QStringLiteral("s20,w %1, by hand %2").arg(s20w).arg(expected)));
        QVERIFY(!m_answerer->titles().contains(QStringLiteral("Vornakel Warning")));
    }

    // A person's whole experiment: equilibrium at 20 C and 40000 rpm, velocity
    // run at 4 C, vbar 0.73 typed in, s 4.5 S, Mr 66000; then the same sample
    // from its sigma, and with a protein concentration.
    void typedExperimentGivesTheHandFiguresThroughout()
    {
        auto *tabs = widget<QTabWidget>("qtTabWidget");
        tabs->setCurrentWidget(widget<QWidget>("qtTabSample"));
        click("qtVbarDirectEntry");
        type("qtSampleVbar", QStringLiteral("0.73"));
        tabs->setCurrentWidget(widget<QWidget>("qtTabExperiment"));
        click("qtExactMolecularWeight");
        type("qtSedEquilibriumMR", QStringLiteral("66000"));
        type("qtSedEquilibriumTemp", QStringLiteral("20"));
        type("qtSedEquilibriumRPM", QStringLiteral("40"));
        type("qtSedVelocityTemp", QStringLiteral("4"));
        type("qtSedVelocityCoefficient", QStringLiteral("4.5"));
        QCOMPARE(field("qtSedEquilibriumRPM")->text(), QStringLiteral("40000"));
        QCOMPARE(field("qtSedVelocityTemp")->text(), QStringLiteral("4.00"));

        // Buffer: water, 0.99823 g/ml and 0.01002 P at 20 C (the defaults).
        // Mb = M (1 - vbar rho) and sigma = Mb omega^2 / (R T) (Yphantis 1964).
        const double mb = 66000 * (1 - 0.73 * 0.99823);
        const double omega = 2 * M_PI * 40000 / 60;
        const double sigma = mb * omega * omega / (8.314462618e7 * 293.15);
        QVERIFY(std::fabs(number(field("qtExperimentResultsMb")) - mb) < 0.01);
        QVERIFY(std::fabs(number(field("qtSedEquilibriumSigma")) / sigma - 1) < 1e-4);
        // Anhydrous sphere: Ro = (3 M vbar / 4 pi N)^1/3.
        const double ro = std::cbrt(3 * 66000 * 0.73 / (4 * M_PI * 6.02214076e23));
        QVERIFY(std::fabs(number(field("qtExperimentResultsRp")) / ro - 1) < 1e-4);

        // s20,w = s (eta_4 / eta_20,w) (1 - vbar20 rho_20,w) / (1 - vbar_4 rho_4), the
        // buffer carried from 20 to 4 C by water (handbook: 0.999972 and 0.998207
        // g/ml, 1.5674 and 1.0016 mPa s), vbar by 4.25e-4 ml/(g K) (Durchschlag 1986).
        const double vbar4 = 0.73 - 4.25e-4 * 16;
        const double rho4 = 0.99823 * 0.999972 / 0.998207;
        const double s20w = 4.5e-13 * (1.5674 / 1.0016) * (1 - 0.73 * 0.998234) / (1 - vbar4 * rho4);
        double shown = number(field("qtExperimentResultsS"));
        QVERIFY2(std::fabs(shown / s20w - 1) < 1e-3,
            qPrintable(QStringLiteral("s20,w %1, by hand %2").arg(shown).arg(s20w)));

        // Teller's surface (As = 6.3 M^0.73 A^2) once any field is edited again.
        widget<QRadioButton>("qtTellerMethod")->setChecked(true);
        type("qtSedEquilibriumMR", QStringLiteral("66000"));
        const double rp = std::sqrt(6.3 * std::pow(66000.0, 0.73) / (4 * M_PI)) * 1e-8;
        QVERIFY(std::fabs(number(field("qtExperimentResultsRp")) / rp - 1) < 1e-4);

        // The same sample from its sigma: Mr comes back, Mb is the same.
        click("qtFromSigma");
        type("qtSedEquilibriumSigma", AppNumber::toText(sigma));
        QVERIFY(std::fabs(number(field("qtSedEquilibriumMR")) / 66000 - 1) < 1e-4);
        QVERIFY(std::fabs(number(field("qtExperimentResultsMb")) / mb - 1) < 1e-4);
        QVERIFY(std::fabs(number(field("qtExperimentResultsRp")) / rp - 1) < 1e-4);

        // A concentration of 1.5 mg/ml with k 0.009 ml/mg: so20,w.
        type("qtSedVelocityConcentration", QStringLiteral("1.5"));
        QCOMPARE(field("qtSedVelocityK")->text(), QStringLiteral("0.009"));
        shown = number(field("qtExperimentResultsS"));
        QVERIFY2(std::fabs(shown / (s20w / (1 - 0.009 * 1.5)) - 1) < 1e-3,
            qPrintable(QStringLiteral("so20,w %1, s20,w by hand %2").arg(shown).arg(s20w)));
        QVERIFY(!m_answerer->titles().contains(QStringLiteral("Vornakel Warning")));
        QVERIFY(!m_answerer->titles().contains(QStringLiteral("Vornakel Error")));
    }

    void temperatureCorrectionsDoNotCompound()
    {
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        type("qtSedEquilibriumTemp", QStringLiteral("30"));
        // Both from the 20 C values: vbar 0.73 + 4.25e-4 * 10; water 0.995647
        // against 0.998207 g/ml (handbook table).
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.73425"));
        QVERIFY(std::fabs(number(field("qtBufferDensity")) - 0.99823 * 0.995647 / 0.998207) < 2e-5);
        type("qtSedEquilibriumTemp", QStringLiteral("20"));
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.73000"));
        QCOMPARE(field("qtBufferDensity")->text(), QStringLiteral("0.998230"));
    }

    void exactMrGivesBuoyantMassAndSigma()
    {
        click("qtExactMolecularWeight");
        type("qtSedEquilibriumTemp", QStringLiteral("20"));
        type("qtSedEquilibriumRPM", QStringLiteral("20"));
        type("qtSedEquilibriumMR", QStringLiteral("50000"));
        // Mb = M (1 - vbar rho); sigma = Mb omega^2 / (R T).
        const double mb = 50000 * (1 - 0.73 * 0.99823);
        const double omega = 2 * M_PI * 20000 / 60;
        const double sigma = mb * omega * omega / (8.314462618e7 * 293.15);
        QVERIFY(std::fabs(number(field("qtExperimentResultsMb")) - mb) < 0.01);
        QVERIFY(std::fabs(number(field("qtSedEquilibriumSigma")) / sigma - 1) < 1e-5);
    }

    // ---- calls and inputs, with recorded module functions ----

    void exactMrStopsAtTheFirstInvalidField_data()
    {
        QTest::addColumn<bool>("teller");
        QTest::addColumn<QString>("density");
        QTest::addColumn<QString>("rpm");
        QTest::addColumn<QStringList>("expected");
        const QString mr = QStringLiteral("Mr=50000,Vbar=0.73");
        QTest::newRow("all valid") << false << "1.01"
                                   << "20000"
                                   << QStringList {
                                          "calculateRo(" + mr + ")", "calculateMbDirectly(" + mr + ",Density=1.01)",
                                          "calculateSigmaFromMr(EquilibriumTemp=20,RPM=20000," + mr + ",Density=1.01)"
                                      };
        QTest::newRow("teller") << true << "1.01"
                                << "abc"
                                << QStringList { "calculateRp(" + mr + ")",
                                       "calculateMbDirectly(" + mr + ",Density=1.01)" };
        QTest::newRow("density invalid") << false << "abc"
                                         << "20000" << QStringList { "calculateRo(" + mr + ")" };
    }
    void exactMrStopsAtTheFirstInvalidField()
    {
        QFETCH(bool, teller);
        QFETCH(QString, density);
        QFETCH(QString, rpm);
        QFETCH(QStringList, expected);
        useRecorders();
        widget<QRadioButton>("qtTellerMethod")->setChecked(teller);
        widget<QRadioButton>("qtVbarMethod")->setChecked(!teller);
        field("qtBufferDensity")->setText(density);
        field("qtSedEquilibriumTemp")->setText(QStringLiteral("20"));
        field("qtSedEquilibriumRPM")->setText(rpm);
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        forgetCalls();
        click("qtExactMolecularWeight");
        QCOMPARE(m_window->mrCalculationMethod(), 1);
        QCOMPARE(calls(), expected);
    }

    void fromSigmaWritesMrBeforeAskingForTheRadius()
    {
        useRecorders();
        answer(QStringLiteral("calculateMr"), QStringLiteral("qtSedEquilibriumMR"), QStringLiteral("12345"));
        widget<QRadioButton>("qtTellerMethod")->setChecked(false);
        widget<QRadioButton>("qtVbarMethod")->setChecked(true);
        field("qtSedEquilibriumTemp")->setText(QStringLiteral("20"));
        field("qtSedEquilibriumRPM")->setText(QStringLiteral("20000"));
        field("qtSedEquilibriumSigma")->setText(QStringLiteral("1.5"));
        forgetCalls();
        click("qtFromSigma");
        QCOMPARE(m_window->mrCalculationMethod(), 2);
        const QString input = QStringLiteral("EquilibriumTemp=20,Sigma=1.5,RPM=20000");
        QCOMPARE(calls(),
            (QStringList { "calculateMbFromSigma(" + input + ")",
                "calculateMr(" + input + ",Vbar=0.73,Density=0.99823)", "calculateRp(Mr=12345,Vbar=0.73)" }));
        QCOMPARE(field("qtSedEquilibriumMR")->text(), QStringLiteral("12345.00"));
    }

    void fromSigmaWithoutSigmaUsesTheMrAtHand()
    {
        useRecorders();
        click("qtFromSigma");
        QVERIFY(field("qtSedEquilibriumMR")->text().isEmpty());
        QVERIFY(widget<QLabel>("qtStopSign")->isHidden());
        field("qtSedEquilibriumMR")->setText(QStringLiteral("40000"));
        forgetCalls();
        type("qtSedEquilibriumRPM", QStringLiteral("30"));
        QCOMPARE(calls(), QStringList { "calculateRp(Mr=40000,Vbar=0.73)" });
    }

    void compositionMrIsCalculatedEvenFromEmptyFields()
    {
        useRecorders();
        widget<QRadioButton>("qtTellerMethod")->setChecked(true);
        forgetCalls();
        emit widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedMrAccepted(52000.0);
        QCOMPARE(m_window->mrCalculationMethod(), 3);
        QVERIFY(!field("qtSedEquilibriumMR")->isEnabled());
        QCOMPARE(calls(),
            QStringList { "calculationsFromMr(EquilibriumTemp=20,RPM=0,Mr=52000,Vbar=0.73,"
                          "Density=0.99823,tellerMethod=1)" });
    }

    void sedimentationStepPicksItsFunctionAndInputs_data()
    {
        QTest::addColumn<QString>("concentration");
        QTest::addColumn<QString>("viscosity");
        QTest::addColumn<QString>("expected");
        const QString nine = QStringLiteral("EquilibriumTemp=20,VelocityTemp=20,S=4.5e-13,Vbar20=0.73,"
                                            "Viscosity=0.01002,Vbar=0.73,Density=0.99823,aVbar=0,vbarwater=0");
        QTest::newRow("no concentration") << ""
                                          << "0.01002"
                                          << "calculateS20W(" + nine + ")";
        QTest::newRow("concentration") << "1.5"
                                       << "0.01002"
                                       << "calculateSo20W(" + nine + ",So20w_k=0.009,Cp=1.5)";
        QTest::newRow("invalid viscosity") << ""
                                           << "abc" << QString();
    }
    void sedimentationStepPicksItsFunctionAndInputs()
    {
        QFETCH(QString, concentration);
        QFETCH(QString, viscosity);
        QFETCH(QString, expected);
        useRecorders();
        field("qtBufferViscosity")->setText(viscosity);
        field("qtSedVelocityConcentration")->setText(concentration);
        field("qtSedVelocityCoefficient")->setText(QStringLiteral("4.5e-13"));
        forgetCalls();
        click("qtExactMolecularWeight"); // method 1 without Mr: only the sedimentation step
        QCOMPARE(calls(), expected.isEmpty() ? QStringList() : QStringList { expected });
    }

    void speedsUpToNinetyAreThousands_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("60") << "60"
                            << "60000";
        QTest::newRow("90") << "90"
                            << "90000";
        QTest::newRow("91") << "91"
                            << "91";
        QTest::newRow("60000") << "60000"
                               << "60000";
        QTest::newRow("negative") << "-5"
                                  << "-5000";
    }
    void speedsUpToNinetyAreThousands()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        type("qtSedEquilibriumRPM", typed);
        QCOMPARE(field("qtSedEquilibriumRPM")->text(), shown);
        QCOMPARE(field("qtSedEquilibriumRPM")->property("USER_ENTRY").toBool(), true);
    }

    void largeSedimentationCoefficientsAreSvedbergs_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("svedbergs") << "4.5"
                                   << "4.5000e-13";
        QTest::newRow("limit") << "9e-06"
                               << "9.0000e-06";
        QTest::newRow("seconds") << "4.5e-13"
                                 << "4.5000e-13";
        QTest::newRow("zero") << "0"
                              << "0.0000e+00";
        QTest::newRow("no number stays") << "abc"
                                         << "abc";
    }
    void largeSedimentationCoefficientsAreSvedbergs()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        type("qtSedVelocityCoefficient", typed);
        QCOMPARE(field("qtSedVelocityCoefficient")->text(), shown);
    }

    void overridingAComputedRadiusIsConfirmed()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        GuiLineEdit *rp = field("qtExperimentResultsRp");
        rp->setText(QStringLiteral("3e-07")); // as a calculation writes it
        QCOMPARE(rp->property("LAST_VALUE").toString(), QStringLiteral("3e-07"));
        forgetCalls();

        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsRp", QStringLiteral("5e-07"));
        QCOMPARE(m_answerer->texts(), QStringList { "Do you want to override computed R?" });
        QCOMPARE(rp->text(), QStringLiteral("3e-07"));
        QVERIFY(calls().isEmpty());

        m_answerer->answerMessageBox(QMessageBox::Yes);
        type("qtExperimentResultsRp", QStringLiteral("5e-07"));
        QCOMPARE(rp->text(), QStringLiteral("5e-07"));
        QCOMPARE(rp->property("USER_ENTRY").toBool(), true);
        QVERIFY(calls().isEmpty());

        m_answerer->clear();
        answer(QStringLiteral("calculateRo"), QStringLiteral("qtExperimentResultsRp"), QStringLiteral("4e-07"));
        type("qtExperimentResultsRp", QStringLiteral("6e-07"));
        QVERIFY(m_answerer->seen().isEmpty());
        QVERIFY(!calls().isEmpty());

        // The module's new figure counts as computed again: the next edit asks.
        QCOMPARE(rp->text(), QStringLiteral("4e-07"));
        QCOMPARE(rp->property("USER_ENTRY").toBool(), false);
        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsRp", QStringLiteral("7e-07"));
        QCOMPARE(m_answerer->texts(), QStringList { "Do you want to override computed R?" });
        QCOMPARE(rp->text(), QStringLiteral("4e-07"));
    }

    void overridingSTwentyWAsksItsOwnQuestion()
    {
        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsS", QStringLiteral("5e-13"));
        QCOMPARE(m_answerer->texts(), QStringList { "Do you want to override computed S20W?" });
        QCOMPARE(m_answerer->seen().at(0).icon, QMessageBox::Question);
        QVERIFY(field("qtExperimentResultsS")->text().isEmpty());
    }

    void equilibriumTemperatureFollowsIntoAnUntypedVelocityTemperature()
    {
        GuiLineEdit *velocity = field("qtSedVelocityTemp");
        velocity->setText(QStringLiteral("abc")); // written, not typed, and not valid
        QVERIFY(!velocity->isValid());
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        QCOMPARE(velocity->text(), QStringLiteral("4.00"));
        QVERIFY(velocity->isValid());
        QVERIFY(velocity->styleSheet().isEmpty());

        type("qtSedVelocityTemp", QStringLiteral("25"));
        type("qtSedEquilibriumTemp", QStringLiteral("10"));
        QCOMPARE(velocity->text(), QStringLiteral("25.00"));
        velocity->clear(); // the default text followed the equilibrium temperature
        QCOMPARE(velocity->text(), QStringLiteral("10.00"));
    }

    void directlyTypedVbarIsNeitherCorrectedNorReplaced()
    {
        useRecorders();
        widget<QPushButton>("qtVbarDirectEntry")->setChecked(true);
        QVERIFY(field("qtSampleVbar")->isEnabled());
        QCOMPARE(widget<QLabel>("qtSampleVbarLabel")->text(), QStringLiteral("No Temp Correction"));
        field("qtSampleVbar")->setText(QStringLiteral("0.75"));
        forgetCalls();
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        for (const QString &call : calls()) {
            QVERIFY2(!call.contains(QLatin1String("VBarAtT")) && !call.contains(QLatin1String("SampleVbar")),
                qPrintable(call));
        }
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.75000"));
    }

    void vbarForANewTemperatureIsFollowedByARecalculation()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        answer(QStringLiteral("_calculateSampleVbar"), QStringLiteral("qtSampleVbar"), QStringLiteral("0.7"));
        forgetCalls();
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        const QStringList made = calls();
        const int corrected = made.indexOf(QStringLiteral("_calculateSampleVbar(vBar=0.73,sedEqTemp=4)"));
        QVERIFY2(corrected >= 0, qPrintable(made.join('\n')));
        QVERIFY(made.indexOf(QStringLiteral("calculateRo(Mr=50000,Vbar=0.7)"), corrected) > corrected);
    }

    void cancelledStandardValueKeepsTheSourceAndCalculatesNothing()
    {
        useRecorders();
        widget<QPushButton>("qtDensityDirectEntry")->click();
        forgetCalls();
        m_answerer->answerWith(
            [](QWidget *w) { QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->reject(); }); });
        click("qtDensityStandard");
        QVERIFY(calls().isEmpty());
        QVERIFY(widget<QPushButton>("qtDensityDirectEntry")->isChecked());
        QVERIFY(!widget<QPushButton>("qtDensityStandard")->isChecked());
    }

    void acceptedStandardDensityIsWrittenAndCalculated()
    {
        m_answerer->answerWith([](QWidget *w) {
            auto *value = w->findChild<QLineEdit *>(QStringLiteral("qtValue"));
            auto *temperature = w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"));
            value->setText(QStringLiteral("1.00820"));
            temperature->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
        click("qtDensityStandard");
        QCOMPARE(field("qtBufferDensity")->text(), QStringLiteral("1.008200"));
        QVERIFY(widget<QPushButton>("qtDensityStandard")->isChecked());
    }

    void standardVbarIsCorrectedFromItsOwnValue()
    {
        // An earlier composition result must not replace the standard vbar chosen since.
        widget<GuiSampleComposition>("qtStackComposition")->qtCalculatedVBar->setText(QStringLiteral("0.70"));
        m_answerer->answerWith([](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(QStringLiteral("0.74"));
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
        click("qtVbarStandard");
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.74000"));
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.73320")); // 0.74 - 4.25e-4 * 16
        type("qtSedEquilibriumTemp", QStringLiteral("10"));
        QCOMPARE(field("qtSampleVbar")->text(), QStringLiteral("0.73575"));
    }

    // A standard value arrives at 20 C; the disabled field holds values at the
    // experiment temperature, so it is corrected before anything is computed.
    void standardValueIsCorrectedToTheExperimentTemperature_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fieldName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("expected");
        // Durchschlag 1986 for vbar; water at 4 and 20 C from handbook tables.
        QTest::newRow("vbar") << "qtVbarStandard"
                              << "qtSampleVbar"
                              << "0.74" << 0.74 - 4.25e-4 * 16;
        QTest::newRow("density") << "qtDensityStandard"
                                 << "qtBufferDensity"
                                 << "1.0082" << 1.0082 * 0.999972 / 0.998207;
        QTest::newRow("viscosity") << "qtViscosityStandard"
                                   << "qtBufferViscosity"
                                   << "0.0102" << 0.0102 * 1.5674 / 1.0016;
    }
    void standardValueIsCorrectedToTheExperimentTemperature()
    {
        QFETCH(QString, button);
        QFETCH(QString, fieldName);
        QFETCH(QString, value);
        QFETCH(double, expected);
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        m_answerer->answerWith([value](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(value);
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
        click(button.toLatin1().constData());
        const double shown = number(field(fieldName.toLatin1().constData()));
        QVERIFY2(std::fabs(shown / expected - 1) < 1e-3,
            qPrintable(QStringLiteral("%1 shown, %2 expected").arg(shown).arg(expected)));
        // A second temperature edit starts again from the 20 C value.
        type("qtSedEquilibriumTemp", QStringLiteral("4"));
        QCOMPARE(number(field(fieldName.toLatin1().constData())), shown);
    }

    // One edit, one box per problem: neither a result written early nor a
    // second recalculation may repeat the module's warnings.
    void oneEditShowsEachWarningOnce_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("boxes");
        // Buoyant mass and sigma from Mr each find the missing buoyancy; Mr
        // from sigma finds it once.
        QTest::newRow("temperature, exact Mr") << "qtExactMolecularWeight"
                                               << "qtSedEquilibriumTemp"
                                               << "25" << 2;
        QTest::newRow("sigma") << "qtFromSigma"
                               << "qtSedEquilibriumSigma"
                               << "1.5" << 1;
    }
    void oneEditShowsEachWarningOnce()
    {
        QFETCH(QString, method);
        QFETCH(QString, edited);
        QFETCH(QString, text);
        QFETCH(int, boxes);
        // A vbar of 1.2 in water leaves no buoyancy: the module warns.
        m_answerer->answerWith([](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(QStringLiteral("1.2"));
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
        click("qtVbarStandard");
        type("qtSedEquilibriumRPM", QStringLiteral("20"));
        click(method.toLatin1().constData());
        if (method == QLatin1String("qtExactMolecularWeight"))
            type("qtSedEquilibriumMR", QStringLiteral("50000"));
        QTest::qWait(50);
        m_answerer->clear();

        type(edited.toLatin1().constData(), text);
        QTest::qWait(50);
        QStringList warnings;
        for (const TestModalAnswerer::Seen &box : m_answerer->seen()) {
            if (box.title == QLatin1String("Vornakel Warning"))
                warnings << box.text;
        }
        QCOMPARE(warnings.size(), boxes);
    }

    void nothingIsCalculatedBeforeAMethodIsChosen()
    {
        useRecorders();
        forgetCalls();
        QSignalSpy logs(m_window.get(), &GuiVornakel::sigLog);
        type("qtSedVelocityCoefficient", QStringLiteral("4.5"));
        QCOMPARE(m_window->mrCalculationMethod(), 0);
        QVERIFY(calls().isEmpty());
        QCOMPARE(logs.count(), 1);
        QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("calculate()"));
    }

    void compositionVbarChoiceReachesTheSedimentationStep()
    {
        useRecorders();
        field("qtSedVelocityCoefficient")->setText(QStringLiteral("4.5e-13"));
        click("qtExactMolecularWeight");
        widget<QPushButton>("qtFromComposition")->setChecked(true);
        widget<GuiSampleComposition>("qtStackComposition")->qtCalculatedVBarWater->setText(QStringLiteral("0.7321"));
        forgetCalls();
        m_window->calculate();
        QCOMPARE(calls().size(), 1);
        QVERIFY2(calls().at(0).endsWith(QLatin1String(",aVbar=1,vbarwater=0.7321)")), qPrintable(calls().at(0)));
    }

    void acceptedCompositionVbarIsTakenToTheExperimentTemperature()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        widget<GuiSampleComposition>("qtStackComposition")->qtCalculatedVBar->setText(QStringLiteral("0.7312"));
        field("qtSedEquilibriumTemp")->setText(QStringLiteral("4"));
        forgetCalls();
        emit widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedVBarAccepted(0.7312);
        QVERIFY(!calls().isEmpty());
        QCOMPARE(calls().at(0), QStringLiteral("calculateSampleVbar(vBar=0.7312,sedEqTemp=4)"));
        QVERIFY(widget<GuiSampleComposition>("qtStackComposition")->qtCalculateVbar->isChecked());
    }

    void allTypedSourcesGetNoTemperatureCorrection()
    {
        useRecorders();
        click("qtVbarDirectEntry");
        click("qtDensityDirectEntry");
        click("qtViscosityDirectEntry");
        forgetCalls();
        m_window->equilibriumTempCalculations();
        QVERIFY(calls().isEmpty());
        QCOMPARE(field("qtBufferViscosity")->styleSheet(), QStringLiteral("color: rgb(0, 128, 255);"));
        QCOMPARE(widget<QLabel>("qtBufferViscosityLabel")->text(), QStringLiteral("No Temp Correction"));

        // Leaving direct entry greys the viscosity and puts it back under correction.
        m_answerer->answerWith([](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(QStringLiteral("0.01002"));
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
        click("qtViscosityStandard");
        QVERIFY(!field("qtBufferViscosity")->isEnabled());
        QCOMPARE(field("qtBufferViscosity")->styleSheet(), QStringLiteral("color: rgb(76, 76, 76);"));
        QVERIFY(widget<QLabel>("qtBufferViscosityLabel")->text().isEmpty());
    }

    void densityFromTheBufferPageIsTakenOver()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        forgetCalls();
        emit widget<GuiBufferComponents>("qtStackBufferComponents")->sigCalculatedDensityAccepted(1.01);
        QCOMPARE(field("qtBufferDensity")->text(), QStringLiteral("1.010000"));
        QVERIFY(widget<QPushButton>("qtDensityCompute")->isChecked());
        QVERIFY(calls().contains(QStringLiteral("calculateMbDirectly(Mr=50000,Vbar=0.73,Density=1.01)")));
    }

    void hydrationIsKeptWithoutRecalculation()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        forgetCalls();
        emit widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedHydrationAccepted(0.35);
        QVERIFY(calls().isEmpty());
        widget<QTabWidget>("qtTabWidget")->setCurrentWidget(widget<QWidget>("qtTabResults"));
        QVERIFY(widget<QRadioButton>("qtHydrateComputed")->isEnabled());
    }

    void computedHydrationChoiceNeedsANonZeroHydration_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("hydration");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("none") << false << 0.0 << false;
        QTest::newRow("zero") << true << 0.0 << false;
        QTest::newRow("some") << true << 0.35 << true;
    }
    void computedHydrationChoiceNeedsANonZeroHydration()
    {
        QFETCH(bool, accepted);
        QFETCH(double, hydration);
        QFETCH(bool, enabled);
        widget<QRadioButton>("qtHydrateComputed")->setEnabled(!enabled);
        if (accepted)
            emit widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedHydrationAccepted(hydration);
        widget<QTabWidget>("qtTabWidget")->setCurrentWidget(widget<QWidget>("qtTabResults"));
        QCOMPARE(widget<QRadioButton>("qtHydrateComputed")->isEnabled(), enabled);
    }

    void exactMrWithoutMrShowsTheStopSign()
    {
        field("qtSedEquilibriumMR")->setText(QString());
        click("qtExactMolecularWeight");
        QVERIFY(!widget<QLabel>("qtStopSign")->isHidden());
        QVERIFY(field("qtSedEquilibriumMR")->isEnabled());
        click("qtFromSigma");
        QVERIFY(widget<QLabel>("qtStopSign")->isHidden());
        QVERIFY(!field("qtSedEquilibriumMR")->isEnabled());
    }

    void concentrationSwitchesTheCaption()
    {
        QSignalSpy logs(m_window.get(), &GuiVornakel::sigLog);
        type("qtSedVelocityConcentration", QStringLiteral("1.2"));
        QVERIFY(widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        type("qtSedVelocityConcentration", QString());
        QVERIFY(!widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        QStringList messages;
        for (const QList<QVariant> &log : logs)
            messages << log.at(0).toString();
        QVERIFY(messages.contains(QStringLiteral("Changing to s*20W")));
        QVERIFY(messages.contains(QStringLiteral("Changing to s20W")));
    }

    void kButtonShowsTheExplanationOnly()
    {
        useRecorders();
        forgetCalls();
        m_answerer->answerWith([](QWidget *w) { QTimer::singleShot(0, w, &QWidget::close); });
        click("qtskButton");
        QCOMPARE(m_answerer->seen().size(), 1);
        QCOMPARE(m_answerer->seen().at(0).className, QStringLiteral("GuiModifyK"));
        QVERIFY(calls().isEmpty());
    }

    void busyCursorDoesNotNest()
    {
        m_window->setBusyCursor(true);
        m_window->setBusyCursor(true);
        QVERIFY(QApplication::overrideCursor());
        m_window->setBusyCursor(false);
        QVERIFY(!QApplication::overrideCursor());
        m_window->setBusyCursor(false);
        QVERIFY(!QApplication::overrideCursor());
    }

    void blockedCalculationsDoNothing()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        field("qtSedEquilibriumMR")->setText(QStringLiteral("50000"));
        forgetCalls();
        m_window->blockCalculations(true);
        QSignalSpy logs(m_window.get(), &GuiVornakel::sigLog);
        m_window->calculate();
        QVERIFY(calls().isEmpty());
        QCOMPARE(logs.count(), 0);
        m_window->blockCalculations(false);
        m_window->calculate();
        QVERIFY(!calls().isEmpty());
    }
};

QTEST_MAIN(TstGuiVornakelExperiment)
#include "tst_gui_vornakel_experiment.moc"
