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
var calls = [], answers = {};
["calculateRp", "calculateRo", "calculateMbDirectly", "calculateSigmaFromMr", "calculateMbFromSigma",
 "calculateMr", "calculationsFromMr", "calculateS20W", "calculateSo20W", "_calculateVBarAtT",
 "calculateDensityAtT", "calculateViscAtT", "calculateSampleVbar", "_calculateSampleVbar"].forEach(function (name) {
    this[name] = function () {
        var parts = [];
        for (var j = 0; j < arguments.length; ++j)
            parts.push(arguments[j].NAME + "=" + arguments[j].VALUE);
        calls.push(name + "(" + parts.join(",") + ")");
        return answers[name] !== undefined ? answers[name] : [];
    };
}, this);
)JS";

// Relative agreement with a figure computed by hand.
#define QCOMPARE_NEAR(actual, expected, relative)                                                                      \
    do {                                                                                                               \
        const double a_ = (actual), e_ = (expected);                                                                   \
        QVERIFY2(std::fabs(a_ / e_ - 1) < (relative),                                                                  \
            qPrintable(QStringLiteral("%1 shown, %2 by hand").arg(a_, 0, 'g', 10).arg(e_, 0, 'g', 10)));               \
    } while (false)

class TstGuiVornakelExperiment : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TestDatabaseFiles> m_files;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    std::unique_ptr<GuiVornakel> m_window;

    template<typename T = GuiLineEdit> T *widget(const QString &name) const
    {
        T *w = m_window->findChild<T *>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    GuiLineEdit *field(const QString &name) const { return widget(name); }
    QString text(const QString &name) const { return widget<QLineEdit>(name)->text(); }
    double number(const QString &name) const { return text(name).toDouble(); }
    void click(const QString &name) { widget<QAbstractButton>(name)->click(); }
    bool checked(const QString &name) const { return widget<QAbstractButton>(name)->isChecked(); }
    GuiSampleComposition *composition() const { return widget<GuiSampleComposition>("qtStackComposition"); }
    // Written as a calculation or a load writes them: "name=text" each.
    void fill(const QStringList &texts)
    {
        for (const QString &t : texts)
            widget<QLineEdit>(t.section(QLatin1Char('='), 0, 0))->setText(t.section(QLatin1Char('='), 1));
    }
    // A finished user edit: replace the text by typing and press Return.
    void type(const QString &name, const QString &text)
    {
        GuiLineEdit *f = field(name);
        f->setFocus();
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, text);
        QTest::keyClick(f, Qt::Key_Return);
    }
    // The next standard-value dialog is given this value at 20 C and accepted.
    void acceptStandard(const QString &value)
    {
        m_answerer->answerWith([value](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(value);
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->accept(); });
        });
    }

    QScriptValue script(const QString &code) const
    {
        return qobject_cast<AppQtScriptPlugin *>(m_window->calculationsPlugin())->engine()->evaluate(code);
    }
    void useRecorders() { script(QString::fromLatin1(recorders)); }
    void answer(const QString &function, const QString &name, const QString &value)
    {
        script(QStringLiteral("answers['%1'] = { NAME: '%2', VALUE: '%3' };").arg(function, name, value));
    }
    // The calls made since the last look.
    QStringList takeCalls() const
    {
        const QString joined = script(QStringLiteral("calls.splice(0).join(';')")).toString();
        return joined.isEmpty() ? QStringList() : joined.split(QLatin1Char(';'));
    }

private slots:
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_files = std::make_unique<TestDatabaseFiles>();
        m_answerer = std::make_unique<TestModalAnswerer>();
        m_window = std::make_unique<GuiVornakel>(m_files->path());
        QVERIFY(m_window->initVornakel());
        QVERIFY(qobject_cast<AppQtScriptPlugin *>(m_window->calculationsPlugin()));
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

    void sampleAtFourDegreesGivesTheHandFiguresWithoutCompounding()
    {
        click("qtExactMolecularWeight");
        type("qtSedEquilibriumTemp", "4");
        QCOMPARE(text("qtSedVelocityTemp"), QStringLiteral("4.00"));
        type("qtSedVelocityCoefficient", "4.5");
        // Water (the defaults) and vbar 0.73 at 20 C; vbar less 4.25e-4 per K (Durchschlag 1986);
        // water 0.999972 and 0.998207 g/ml, 1.5674 and 1.0016 mPa s at 4 and 20 C (handbook).
        // s20,w = s (eta_T / eta_20,w) (1 - vbar20 rho_20,w) / (1 - vbar_T rho_T) (Svedberg and Pedersen 1940).
        const double vbarT = 0.73 - 4.25e-4 * 16, rhoT = 0.99823 * 0.999972 / 0.998207;
        QCOMPARE(text("qtSampleVbar"), QStringLiteral("0.72320"));
        QCOMPARE_NEAR(number("qtBufferDensity"), rhoT, 2e-5);
        QCOMPARE_NEAR(number("qtExperimentResultsS"),
            4.5e-13 * (1.5674 / 1.0016) * (1 - 0.73 * 0.998234) / (1 - vbarT * rhoT), 2e-3);
        QVERIFY(m_answerer->seen().isEmpty());

        // Back at 20 C the figures are the 20 C values again, not a twice-corrected figure.
        type("qtSedEquilibriumTemp", "20");
        QCOMPARE(text("qtSampleVbar"), QStringLiteral("0.73000"));
        QCOMPARE(text("qtBufferDensity"), QStringLiteral("0.998230"));
    }

    // Equilibrium at 20 C and 40000 rpm, velocity run at 4 C, vbar 0.73 typed,
    // s 4.5 S, Mr 66000; then the same sample from its sigma, then with a concentration.
    void typedExperimentGivesTheHandFiguresThroughout()
    {
        click("qtVbarDirectEntry");
        type("qtSampleVbar", "0.73");
        click("qtExactMolecularWeight");
        type("qtSedEquilibriumMR", "66000");
        type("qtSedEquilibriumTemp", "20");
        type("qtSedEquilibriumRPM", "40");
        type("qtSedVelocityTemp", "4");
        type("qtSedVelocityCoefficient", "4.5");
        // Mb = M (1 - vbar rho), sigma = Mb omega^2 / (R T) (Yphantis 1964); Ro = (3 M vbar / 4 pi N)^1/3.
        const double mb = 66000 * (1 - 0.73 * 0.99823), omega = 2 * M_PI * 40000 / 60;
        const double sigma = mb * omega * omega / (8.314462618e7 * 293.15);
        const double ro = std::cbrt(3 * 66000 * 0.73 / (4 * M_PI * 6.02214076e23));
        QCOMPARE_NEAR(number("qtExperimentResultsMb"), mb, 1e-6);
        QCOMPARE_NEAR(number("qtSedEquilibriumSigma"), sigma, 1e-4);
        QCOMPARE_NEAR(number("qtExperimentResultsRp"), ro, 1e-4);
        // The buffer carried from 20 to 4 C as water is, vbar as above.
        const double s20w = 4.5e-13 * (1.5674 / 1.0016) * (1 - 0.73 * 0.998234)
            / (1 - (0.73 - 4.25e-4 * 16) * 0.99823 * 0.999972 / 0.998207);
        QCOMPARE_NEAR(number("qtExperimentResultsS"), s20w, 1e-3);

        click("qtFromSigma");
        type("qtSedEquilibriumSigma", AppNumber::toText(sigma));
        QCOMPARE_NEAR(number("qtSedEquilibriumMR"), 66000, 1e-4);
        QCOMPARE_NEAR(number("qtExperimentResultsMb"), mb, 1e-4);
        // From sigma the radius is Teller's: As = 6.3 M^0.73 A^2.
        QCOMPARE_NEAR(
            number("qtExperimentResultsRp"), std::sqrt(6.3 * std::pow(66000.0, 0.73) / (4 * M_PI)) * 1e-8, 1e-4);

        // 1.5 mg/ml with k 0.009 ml/mg: so20,w = s20,w / (1 - k c).
        type("qtSedVelocityConcentration", "1.5");
        QCOMPARE(text("qtSedVelocityK"), QStringLiteral("0.009"));
        QCOMPARE_NEAR(number("qtExperimentResultsS"), s20w / (1 - 0.009 * 1.5), 1e-3);
        QVERIFY(m_answerer->seen().isEmpty());
    }

    // A standard value arrives at 20 C and is corrected to the experiment
    // temperature; a later edit starts again from it, not from an earlier
    // composition result nor from the corrected figure.
    void standardValueIsCorrectedToTheExperimentTemperature_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("expected");
        auto row = [](const char *tag, const char *button, const char *name, const char *value, double expected) {
            QTest::newRow(tag) << QString::fromLatin1(button) << QString::fromLatin1(name) << QString::fromLatin1(value)
                               << expected;
        };
        row("vbar", "qtVbarStandard", "qtSampleVbar", "0.74", 0.74 - 4.25e-4 * 16);
        row("density", "qtDensityStandard", "qtBufferDensity", "1.0082", 1.0082 * 0.999972 / 0.998207);
        row("viscosity", "qtViscosityStandard", "qtBufferViscosity", "0.0102", 0.0102 * 1.5674 / 1.0016);
    }
    void standardValueIsCorrectedToTheExperimentTemperature()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(double, expected);
        composition()->qtCalculatedVBar->setText(QStringLiteral("0.70"));
        type("qtSedEquilibriumTemp", "4");
        acceptStandard(value);
        click(button);
        QVERIFY(checked(button));
        const double shown = number(name);
        QCOMPARE_NEAR(shown, expected, 1e-3);
        type("qtSedEquilibriumTemp", "4");
        QCOMPARE(number(name), shown);
    }

    // One edit, one box per problem: neither a result written early nor a
    // second recalculation may repeat the module's warnings. A vbar of 1.2 in
    // water leaves no buoyancy: Mb and sigma from Mr each warn, Mr from sigma once.
    void oneEditShowsEachWarningOnce_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("mr");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<int>("boxes");
        QTest::newRow("exact Mr") << QStringLiteral("qtExactMolecularWeight") << QStringLiteral("50000")
                                  << QStringLiteral("qtSedEquilibriumTemp=25") << 2;
        QTest::newRow("sigma") << QStringLiteral("qtFromSigma") << QString()
                               << QStringLiteral("qtSedEquilibriumSigma=1.5") << 1;
    }
    void oneEditShowsEachWarningOnce()
    {
        QFETCH(QString, method);
        QFETCH(QString, mr);
        QFETCH(QString, edited);
        QFETCH(int, boxes);
        acceptStandard(QStringLiteral("1.2"));
        click("qtVbarStandard");
        type("qtSedEquilibriumRPM", "20");
        click(method);
        if (!mr.isEmpty())
            type("qtSedEquilibriumMR", mr);
        QTest::qWait(50);
        m_answerer->clear();
        type(edited.section(QLatin1Char('='), 0, 0), edited.section(QLatin1Char('='), 1));
        QTest::qWait(50);
        QCOMPARE(m_answerer->titles().count(QStringLiteral("Vornakel Warning")), boxes);
    }

    // ---- field rules ----

    void typedNumbersAreReadInTheFieldsUnits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        auto row = [](const char *tag, const char *name, const char *typed, const char *shown) {
            QTest::newRow(tag) << QString::fromLatin1(name) << QString::fromLatin1(typed) << QString::fromLatin1(shown);
        };
        row("90 rpm are thousands", "qtSedEquilibriumRPM", "90", "90000");
        row("91 rpm are rpm", "qtSedEquilibriumRPM", "91", "91");
        row("s of 4.5 is svedbergs", "qtSedVelocityCoefficient", "4.5", "4.5000e-13");
        row("s of 9e-06 is seconds", "qtSedVelocityCoefficient", "9e-06", "9.0000e-06");
        row("no number stays", "qtSedVelocityCoefficient", "abc", "abc");
    }
    void typedNumbersAreReadInTheFieldsUnits()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        type(name, typed);
        QCOMPARE(text(name), shown);
        QVERIFY(field(name)->property("USER_ENTRY").toBool());
    }

    void overridingAComputedResultIsAsked()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        fill({ "qtSedEquilibriumMR=50000", "qtExperimentResultsRp=3e-07" }); // Rp as a calculation writes it
        takeCalls();
        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsS", "5e-13");
        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsRp", "5e-07");
        QCOMPARE(m_answerer->texts(),
            QStringList({ "Do you want to override computed S20W?", "Do you want to override computed R?" }));
        QCOMPARE(m_answerer->seen().at(0).icon, QMessageBox::Question);
        QVERIFY(text("qtExperimentResultsS").isEmpty());
        QCOMPARE(text("qtExperimentResultsRp"), QStringLiteral("3e-07"));
        QVERIFY(takeCalls().isEmpty());

        m_answerer->answerMessageBox(QMessageBox::Yes);
        type("qtExperimentResultsRp", "5e-07");
        QCOMPARE(text("qtExperimentResultsRp"), QStringLiteral("5e-07"));
        QVERIFY(field("qtExperimentResultsRp")->property("USER_ENTRY").toBool());
        QVERIFY(takeCalls().isEmpty());

        // The user's own figure is edited without a question and calculated
        // from; the module's new figure counts as computed again.
        m_answerer->clear();
        answer(QStringLiteral("calculateRo"), QStringLiteral("qtExperimentResultsRp"), QStringLiteral("4e-07"));
        type("qtExperimentResultsRp", "6e-07");
        QVERIFY(m_answerer->seen().isEmpty());
        QVERIFY(!takeCalls().isEmpty());
        QCOMPARE(text("qtExperimentResultsRp"), QStringLiteral("4e-07"));
        QVERIFY(!field("qtExperimentResultsRp")->property("USER_ENTRY").toBool());
        m_answerer->answerMessageBox(QMessageBox::Cancel);
        type("qtExperimentResultsRp", "7e-07");
        QCOMPARE(m_answerer->texts(), QStringList { "Do you want to override computed R?" });
    }

    void equilibriumTemperatureFollowsIntoAnUntypedVelocityTemperature()
    {
        GuiLineEdit *velocity = field("qtSedVelocityTemp");
        velocity->setText(QStringLiteral("abc")); // written, not typed, and not valid
        type("qtSedEquilibriumTemp", "4");
        QCOMPARE(velocity->text(), QStringLiteral("4.00"));
        QVERIFY(velocity->isValid());
        QVERIFY(velocity->styleSheet().isEmpty());

        type("qtSedVelocityTemp", "25");
        type("qtSedEquilibriumTemp", "10");
        QCOMPARE(velocity->text(), QStringLiteral("25.00"));
        velocity->clear(); // the default text followed the equilibrium temperature
        QCOMPARE(velocity->text(), QStringLiteral("10.00"));
    }

    void concentrationSwitchesTheCaptionAndKOnlyExplains()
    {
        useRecorders();
        QSignalSpy logs(m_window.get(), &GuiVornakel::sigLog);
        type("qtSedVelocityConcentration", "1.2");
        QVERIFY(widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        type("qtSedVelocityConcentration", QString());
        QVERIFY(!widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        QStringList messages;
        for (const QList<QVariant> &log : logs)
            messages << log.at(0).toString();
        QVERIFY(messages.contains(QStringLiteral("Changing to s*20W")));
        QVERIFY(messages.contains(QStringLiteral("Changing to s20W")));

        takeCalls();
        m_answerer->answerWith([](QWidget *w) { QTimer::singleShot(0, w, &QWidget::close); });
        click("qtskButton");
        QCOMPARE(m_answerer->seen().size(), 1);
        QCOMPARE(m_answerer->seen().at(0).className, QStringLiteral("GuiModifyK"));
        QVERIFY(takeCalls().isEmpty());
    }

    // ---- calls and inputs, with recorded module functions ----

    // The buttons are pressed, the fields written, then the window calculates.
    void calculationFollowsTheMethodAndStopsAtTheFirstInvalidField_data()
    {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("expected");
        const QStringList exact { "qtExactMolecularWeight" }, sigma { "qtFromSigma" };
        const QString mr = QStringLiteral("Mr=50000,Vbar=0.73"), mb = "calculateMbDirectly(" + mr + ",Density=1.01)";
        const QStringList equilibrium { "qtSedEquilibriumTemp=20", "qtSedEquilibriumMR=50000", "qtBufferDensity=1.01" };
        QTest::newRow("Mr: radius, Mb, sigma")
            << exact << equilibrium + QStringList { "qtSedEquilibriumRPM=20000" }
            << QStringList { "calculateRo(" + mr + ")", mb,
                   "calculateSigmaFromMr(EquilibriumTemp=20,RPM=20000," + mr + ",Density=1.01)" };
        QTest::newRow("Mr, Teller, speed invalid")
            << QStringList { "qtTellerMethod", "qtExactMolecularWeight" }
            << equilibrium + QStringList { "qtSedEquilibriumRPM=abc" } << QStringList { "calculateRp(" + mr + ")", mb };
        QTest::newRow("Mr, density invalid") << exact << equilibrium + QStringList { "qtBufferDensity=abc" }
                                             << QStringList { "calculateRo(" + mr + ")" };
        const QString input = QStringLiteral("EquilibriumTemp=20,Sigma=1.5,RPM=20000");
        QTest::newRow("sigma: Mr written before the radius")
            << sigma
            << QStringList { "qtSedEquilibriumTemp=20", "qtSedEquilibriumRPM=20000", "qtSedEquilibriumSigma=1.5" }
            << QStringList { "calculateMbFromSigma(" + input + ")",
                   "calculateMr(" + input + ",Vbar=0.73,Density=0.99823)", "calculateRp(Mr=12345,Vbar=0.73)" };
        QTest::newRow("sigma missing: the Mr at hand")
            << sigma << QStringList { "qtSedEquilibriumMR=40000" } << QStringList { "calculateRp(Mr=40000,Vbar=0.73)" };
        const QString nine = QStringLiteral("EquilibriumTemp=20,VelocityTemp=20,S=4.5e-13,Vbar20=0.73,"
                                            "Viscosity=0.01002,Vbar=0.73,Density=0.99823,aVbar=0,vbarwater=0");
        const QString s = QStringLiteral("qtSedVelocityCoefficient=4.5e-13");
        QTest::newRow("s20,w") << exact << QStringList { s } << QStringList { "calculateS20W(" + nine + ")" };
        QTest::newRow("so20,w") << exact << QStringList { s, "qtSedVelocityConcentration=1.5" }
                                << QStringList { "calculateSo20W(" + nine + ",So20w_k=0.009,Cp=1.5)" };
        QTest::newRow("invalid viscosity gives no s20,w")
            << exact << QStringList { s, "qtBufferViscosity=abc" } << QStringList();
        QTest::newRow("vbar from the composition page")
            << QStringList { "qtExactMolecularWeight", "qtFromComposition" }
            << QStringList { s, "qtCalculatedVBarWater=0.7321" }
            << QStringList { "calculateS20W(" + QString(nine).replace("aVbar=0,vbarwater=0", "aVbar=1,vbarwater=0.7321")
                   + ")" };
    }
    void calculationFollowsTheMethodAndStopsAtTheFirstInvalidField()
    {
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, expected);
        useRecorders();
        answer(QStringLiteral("calculateMr"), QStringLiteral("qtSedEquilibriumMR"), QStringLiteral("12345"));
        for (const QString &button : buttons)
            click(button);
        fill(fields);
        takeCalls();
        m_window->calculate();
        QCOMPARE(takeCalls(), expected);
    }

    void methodButtonsSetTheMrFieldAndTheStopSign()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        QVERIFY(!widget<QLabel>("qtStopSign")->isHidden());
        QVERIFY(field("qtSedEquilibriumMR")->isEnabled());
        click("qtFromSigma");
        QVERIFY(widget<QLabel>("qtStopSign")->isHidden());
        QVERIFY(!field("qtSedEquilibriumMR")->isEnabled());

        // An Mr from the composition page is calculated even from empty fields.
        click("qtTellerMethod");
        takeCalls();
        emit composition()->sigCalculatedMrAccepted(52000.0);
        QCOMPARE(m_window->mrCalculationMethod(), 3);
        QVERIFY(!field("qtSedEquilibriumMR")->isEnabled());
        QCOMPARE(takeCalls(),
            QStringList { "calculationsFromMr(EquilibriumTemp=20,RPM=0,Mr=52000,Vbar=0.73,"
                          "Density=0.99823,tellerMethod=1)" });
    }

    // A vbar corrected for a new temperature is followed by a recalculation;
    // a vbar typed directly is neither corrected nor replaced.
    void vbarFollowsTheTemperatureUnlessTyped()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        fill({ "qtSedEquilibriumMR=50000" });
        answer(QStringLiteral("_calculateSampleVbar"), QStringLiteral("qtSampleVbar"), QStringLiteral("0.7"));
        takeCalls();
        type("qtSedEquilibriumTemp", "4");
        const QStringList made = takeCalls();
        const int corrected = made.indexOf(QStringLiteral("_calculateSampleVbar(vBar=0.73,sedEqTemp=4)"));
        QVERIFY2(corrected >= 0, qPrintable(made.join('\n')));
        QVERIFY(made.indexOf(QStringLiteral("calculateRo(Mr=50000,Vbar=0.7)"), corrected) > corrected);

        widget<QPushButton>("qtVbarDirectEntry")->setChecked(true);
        QVERIFY(field("qtSampleVbar")->isEnabled());
        QCOMPARE(widget<QLabel>("qtSampleVbarLabel")->text(), QStringLiteral("No Temp Correction"));
        fill({ "qtSampleVbar=0.75" });
        takeCalls();
        type("qtSedEquilibriumTemp", "10");
        for (const QString &call : takeCalls())
            QVERIFY2(!call.contains(QLatin1String("VBarAtT")) && !call.contains(QLatin1String("SampleVbar")),
                qPrintable(call));
        QCOMPARE(text("qtSampleVbar"), QStringLiteral("0.75000"));
    }

    void nothingIsCalculatedBeforeAMethodIsChosenOrWhileBlocked()
    {
        useRecorders();
        QSignalSpy logs(m_window.get(), &GuiVornakel::sigLog);
        type("qtSedVelocityCoefficient", "4.5");
        QCOMPARE(m_window->mrCalculationMethod(), 0);
        QVERIFY(takeCalls().isEmpty());
        QCOMPARE(logs.count(), 1);
        QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("calculate()"));

        click("qtExactMolecularWeight");
        takeCalls();
        logs.clear();
        m_window->blockCalculations(true);
        m_window->calculate();
        QVERIFY(takeCalls().isEmpty());
        QCOMPARE(logs.count(), 0);
        m_window->blockCalculations(false);
        m_window->calculate();
        QVERIFY(!takeCalls().isEmpty());
    }

    void typedSourcesGetNoTemperatureCorrectionUntilLeft()
    {
        useRecorders();
        click("qtVbarDirectEntry");
        click("qtDensityDirectEntry");
        click("qtViscosityDirectEntry");
        takeCalls();
        m_window->equilibriumTempCalculations();
        QVERIFY(takeCalls().isEmpty());
        QCOMPARE(field("qtBufferViscosity")->styleSheet(), QStringLiteral("color: rgb(0, 128, 255);"));
        QCOMPARE(widget<QLabel>("qtBufferViscosityLabel")->text(), QStringLiteral("No Temp Correction"));

        acceptStandard(QStringLiteral("0.01002"));
        click("qtViscosityStandard");
        QVERIFY(!field("qtBufferViscosity")->isEnabled());
        QCOMPARE(field("qtBufferViscosity")->styleSheet(), QStringLiteral("color: rgb(76, 76, 76);"));
        QVERIFY(widget<QLabel>("qtBufferViscosityLabel")->text().isEmpty());

        // A cancelled standard value keeps the source and calculates nothing.
        takeCalls();
        m_answerer->answerWith(
            [](QWidget *w) { QTimer::singleShot(0, w, [w] { static_cast<QDialog *>(w)->reject(); }); });
        click("qtDensityStandard");
        QVERIFY(takeCalls().isEmpty());
        QVERIFY(checked("qtDensityDirectEntry"));
        QVERIFY(!checked("qtDensityStandard"));
    }

    void valuesAcceptedOnThePagesAreTakenOver()
    {
        useRecorders();
        click("qtExactMolecularWeight");
        fill({ "qtSedEquilibriumMR=50000", "qtSedEquilibriumTemp=4", "qtCalculatedVBar=0.7312" });
        takeCalls();
        emit composition()->sigCalculatedVBarAccepted(0.7312);
        QCOMPARE(takeCalls().value(0), QStringLiteral("calculateSampleVbar(vBar=0.7312,sedEqTemp=4)"));
        QVERIFY(composition()->qtCalculateVbar->isChecked());

        fill({ "qtSedEquilibriumTemp=20", "qtSampleVbar=0.73" });
        emit widget<GuiBufferComponents>("qtStackBufferComponents")->sigCalculatedDensityAccepted(1.01);
        QCOMPARE(text("qtBufferDensity"), QStringLiteral("1.010000"));
        QVERIFY(checked("qtDensityCompute"));
        QVERIFY(takeCalls().contains(QStringLiteral("calculateMbDirectly(Mr=50000,Vbar=0.73,Density=1.01)")));

        // Hydration calculates nothing; the computed choice needs a hydration other than 0.
        auto *hydrateComputed = widget<QRadioButton>("qtHydrateComputed");
        auto *tabs = widget<QTabWidget>("qtTabWidget");
        for (const double hydration : { 0.0, 0.35 }) {
            emit composition()->sigCalculatedHydrationAccepted(hydration);
            QVERIFY(takeCalls().isEmpty());
            hydrateComputed->setEnabled(hydration == 0);
            tabs->setCurrentWidget(widget<QWidget>("qtTabResults"));
            QCOMPARE(hydrateComputed->isEnabled(), hydration != 0);
            tabs->setCurrentWidget(widget<QWidget>("qtTabExperiment"));
        }
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
};

QTEST_MAIN(TstGuiVornakelExperiment)
#include "tst_gui_vornakel_experiment.moc"
