#include "app/app_number.h"
#include "app/app_plugin.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_samplecomposition.h"

#include "test_environment.h"
#include "test_fakemodule.h"
#include "test_log.h"
#include "test_mainwindow.h"

#include <QtTest>
#include <cmath>
#include <memory>

// Relative agreement with a figure computed by hand.
#define QCOMPARE_NEAR(actual, expected, relative)                                                                      \
    QVERIFY2(std::fabs((actual) / (expected)-1) < (relative), qPrintable(AppNumber::toText(actual)))

// Water at 4 and 20 C (handbook): density in g/ml, viscosity in mPa s; vbar falls 4.25e-4 per K (Durchschlag 1986).
static const double kRho4 = 0.999972, kRho20 = 0.998207, kEta4 = 1.5674, kEta20 = 1.0016, kDvbar = 4.25e-4;

class TstGuiVornakelExperiment : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;

    // The next standard-value dialog is given this value at 20 C and accepted, or is cancelled.
    void answerStandard(const QString &value, bool accept = true)
    {
        m_f->answerer.answerWith([value, accept](QWidget *w) {
            w->findChild<QLineEdit *>(QStringLiteral("qtValue"))->setText(value);
            w->findChild<QLineEdit *>(QStringLiteral("qtTemperature"))->setText(QStringLiteral("20"));
            QTimer::singleShot(0, w, [w, accept] { static_cast<QDialog *>(w)->done(accept); });
        });
    }
    // The calls made since the last look.
    QStringList takeCalls() const { return m_f->fake()->takeCalls(); }
    // The recording module in place of the shipped one, the given buttons pressed, and the calls so far forgotten.
    void record(const QStringList &buttons = { "qtVbarMethod", "qtExactMolecularWeight" })
    {
        m_f->record();
        for (const QString &button : buttons)
            m_f->click(button);
        takeCalls();
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>();
        QVERIFY(m_f->start());
        m_f->showTab("qtTabExperiment");
    }
    void cleanup() { m_f.reset(); }

    // The note of a run without equilibrium speed shows as soon as a figure is computed without one: the field
    // typed into next stays where it was.
    void theNoteOfARunWithoutSpeedMovesNoField()
    {
        const auto placeOf = [this](const char *name) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            return m_f->widget(name)->mapTo(m_f->window.get(), QPoint());
        };
        const QPoint before = placeOf("qtSedVelocityCoefficient");
        m_f->click("qtExactMolecularWeight");
        m_f->type("qtSedEquilibriumMR", "14300");
        QVERIFY(!m_f->widget("qtNoEquilibriumSpeed")->isHidden());
        QCOMPARE(placeOf("qtSedVelocityCoefficient"), before);
    }

    void sampleAtFourDegreesGivesTheHandFiguresWithoutCompounding()
    {
        auto *velocity = m_f->widget<GuiLineEdit>("qtSedVelocityTemp");
        velocity->setText(QStringLiteral("abc")); // written, not typed, and not valid
        m_f->click("qtExactMolecularWeight");
        m_f->type("qtSedEquilibriumTemp", "4");
        // The untyped velocity temperature follows, and is valid again.
        QCOMPARE(velocity->text(), QStringLiteral("4.00"));
        QVERIFY(velocity->isValid());
        m_f->type("qtSedVelocityCoefficient", "4.5");
        // Water (the defaults) and vbar 0.73 at 20 C, carried to 4 C.
        // s20,w = s (eta_T / eta_20,w) (1 - vbar20 rho_20,w) / (1 - vbar_T rho_T) (Svedberg and Pedersen 1940).
        const double vbarT = 0.73 - kDvbar * 16, rhoT = 0.99823 * kRho4 / kRho20;
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.72320"));
        QCOMPARE_NEAR(m_f->number("qtBufferDensity"), rhoT, 2e-5);
        QCOMPARE_NEAR(m_f->number("qtExperimentResultsS"),
            4.5e-13 * (kEta4 / kEta20) * (1 - 0.73 * 0.998234) / (1 - vbarT * rhoT), 2e-3);
        QVERIFY(m_f->answerer.seen().isEmpty());

        // Back at 20 C the figures are the 20 C values again, not twice-corrected ones;
        // a typed velocity temperature no longer follows.
        m_f->type("qtSedVelocityTemp", "25");
        m_f->type("qtSedEquilibriumTemp", "20");
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.73000"));
        QCOMPARE(m_f->text("qtBufferDensity"), QStringLiteral("0.998230"));
        QCOMPARE(velocity->text(), QStringLiteral("25.00"));
    }

    // A standard value arrives at 20 C and is corrected to the experiment temperature; a later edit starts
    // again from it, not from an earlier composition result nor from the corrected figure.
    void standardValueIsCorrectedToTheExperimentTemperature_data()
    {
        QTest::addColumn<QStringList>("names"); // button, field, value
        QTest::addColumn<double>("expected");
        QTest::newRow("vbar") << QStringList { "qtVbarStandard", "qtSampleVbar", "0.74" } << 0.74 - kDvbar * 16;
        QTest::newRow("density") << QStringList { "qtDensityStandard", "qtBufferDensity", "1.0082" }
                                 << 1.0082 * kRho4 / kRho20;
        QTest::newRow("viscosity") << QStringList { "qtViscosityStandard", "qtBufferViscosity", "0.0102" }
                                   << 0.0102 * kEta4 / kEta20;
    }
    void standardValueIsCorrectedToTheExperimentTemperature()
    {
        QFETCH(QStringList, names);
        QFETCH(double, expected);
        m_f->widget<GuiSampleComposition>("qtStackComposition")->qtCalculatedVBar->setText(QStringLiteral("0.70"));
        m_f->type("qtSedEquilibriumTemp", "4");
        answerStandard(names[2]);
        m_f->click(names[0]);
        QVERIFY(m_f->checked(names[0]));
        const double shown = m_f->number(names[1]);
        QCOMPARE_NEAR(shown, expected, 1e-3);
        m_f->type("qtSedEquilibriumTemp", "4");
        QCOMPARE(m_f->number(names[1]), shown);
    }

    // One edit, one box, one line per problem: neither a result written early, nor a second call that
    // finds the same problem, nor a second recalculation repeats a warning. A vbar of 1.2 in water leaves no
    // buoyancy: Mb and sigma from Mr both find it, Mr from sigma too.
    void oneEditShowsEachWarningOnce_data()
    {
        QTest::addColumn<QStringList>("steps"); // method, Mr typed, field edited, its text
        QTest::addColumn<int>("lines");
        QTest::newRow("Mr") << QStringList { "qtExactMolecularWeight", "50000", "qtSedEquilibriumTemp", "25" } << 1;
        QTest::newRow("sigma") << QStringList { "qtFromSigma", "", "qtSedEquilibriumSigma", "1.5" } << 1;
    }
    void oneEditShowsEachWarningOnce()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, lines);
        answerStandard(QStringLiteral("1.2"));
        m_f->click("qtVbarStandard");
        m_f->type("qtSedEquilibriumRPM", "20");
        m_f->click(steps[0]);
        if (!steps[1].isEmpty())
            m_f->type("qtSedEquilibriumMR", steps[1]);
        m_f->answerer.clear();
        m_f->type(steps[2], steps[3]);
        TEST_TRY_COMPARE(m_f->answerer.titles(), QStringList { "Vornakel Warning" });
        QCOMPARE(m_f->answerer.texts().value(0).split(QLatin1Char('\n')).size(), lines);
    }

    // A figure the module refuses (with its warning) is emptied, not left standing from the inputs before.
    void refusedFiguresAreEmptiedNotLeftStale()
    {
        m_f->click("qtExactMolecularWeight");
        m_f->type("qtSedEquilibriumMR", "66000");
        m_f->type("qtSedEquilibriumRPM", "20");
        m_f->type("qtSedVelocityCoefficient", "4.4");
        const QStringList figures = { "qtExperimentResultsMb", "qtSedEquilibriumSigma", "qtExperimentResultsS" };
        for (const QString &name : figures)
            QVERIFY2(!m_f->text(name).isEmpty(), qPrintable(name));
        answerStandard(QStringLiteral("1.2")); // vbar 1.2 in water leaves no buoyancy
        m_f->click("qtVbarStandard");
        for (const QString &name : figures)
            QVERIFY2(m_f->text(name).isEmpty(), qPrintable(name + "=" + m_f->text(name)));
        QVERIFY(!m_f->text("qtExperimentResultsRp").isEmpty()); // Teller's radius needs no vbar
        answerStandard(QStringLiteral("0.73"));
        m_f->click("qtVbarStandard");
        QVERIFY(!m_f->text("qtExperimentResultsS").isEmpty());
        m_f->type("qtSedVelocityCoefficient", "0");
        QVERIFY(m_f->text("qtExperimentResultsS").isEmpty());
    }

    // Speeds of 90 or less are thousands of rpm; s beyond ±9e-06 is in svedbergs.
    void typedNumbersAreReadInTheFieldsUnits_data()
    {
        QTest::addColumn<QStringList>("edit"); // field, typed, shown
        QTest::newRow("90 rpm") << QStringList { "qtSedEquilibriumRPM", "90", "90000" };
        QTest::newRow("91 rpm") << QStringList { "qtSedEquilibriumRPM", "91", "91" };
        QTest::newRow("s 4.5") << QStringList { "qtSedVelocityCoefficient", "4.5", "4.5000e-13" };
        QTest::newRow("s 9e-06") << QStringList { "qtSedVelocityCoefficient", "9e-06", "9.0000e-06" };
        QTest::newRow("s -5, floating") << QStringList { "qtSedVelocityCoefficient", "-5", "-5.0000e-13" };
    }
    void typedNumbersAreReadInTheFieldsUnits()
    {
        QFETCH(QStringList, edit);
        m_f->type(edit[0], edit[1]);
        QCOMPARE(m_f->text(edit[0]), edit[2]);
        QVERIFY(m_f->widget(edit[0])->property("USER_ENTRY").toBool());
    }

    void overridingAComputedResultIsAsked()
    {
        record();
        m_f->fill("qtSedEquilibriumMR=50000 qtExperimentResultsRp=3e-07"); // Rp as a calculation writes it
        for (const char *name : { "qtExperimentResultsS", "qtExperimentResultsRp" }) {
            m_f->answerer.answerMessageBox(QMessageBox::Cancel);
            m_f->type(name, "5e-07");
        }
        QCOMPARE(m_f->answerer.texts(),
            QStringList({ "Do you want to override computed S20W?", "Do you want to override computed R?" }));
        QVERIFY(m_f->text("qtExperimentResultsS").isEmpty());
        QCOMPARE(m_f->text("qtExperimentResultsRp"), QStringLiteral("3e-07"));
        m_f->answerer.answerMessageBox(QMessageBox::Yes);
        m_f->type("qtExperimentResultsRp", "5e-07");
        QCOMPARE(m_f->text("qtExperimentResultsRp"), QStringLiteral("5e-07"));
        QVERIFY(takeCalls().isEmpty());
        // The user's own figure is edited without a question and stays theirs: no calculation writes over it, also
        // when another input changes. Erased, it is the module's again.
        m_f->answerer.clear();
        m_f->fake()->answerValues("calculateRo", { { "qtExperimentResultsRp", "4e-07" } });
        m_f->type("qtExperimentResultsRp", "6e-07");
        m_f->type("qtSedEquilibriumMR", "52000");
        QVERIFY(m_f->answerer.seen().isEmpty());
        QCOMPARE(m_f->text("qtExperimentResultsRp"), QStringLiteral("6e-07"));
        QVERIFY(m_f->widget("qtExperimentResultsRp")->property("USER_ENTRY").toBool());
        m_f->type("qtExperimentResultsRp", "");
        QCOMPARE(m_f->text("qtExperimentResultsRp"), QStringLiteral("4e-07"));
        QVERIFY(!m_f->widget("qtExperimentResultsRp")->property("USER_ENTRY").toBool());
    }

    void concentrationSwitchesTheCaptionAndKOnlyExplains()
    {
        record({});
        m_f->type("qtSedVelocityConcentration", "1.2");
        QVERIFY(m_f->widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        m_f->type("qtSedVelocityConcentration", QString());
        QVERIFY(!m_f->widget<QLabel>("qtS20WLabel")->text().contains(QLatin1String("<sup>o</sup>")));
        m_f->answerer.answerWith([](QWidget *w) { QTimer::singleShot(0, w, &QWidget::close); });
        m_f->click("qtskButton");
        QCOMPARE(m_f->answerer.seen().value(0).className, QStringLiteral("GuiModifyK"));
        QVERIFY(takeCalls().isEmpty());
    }

    // The buttons are pressed, the fields written, then the window calculates.
    void calculationFollowsTheMethodAndStopsAtTheFirstInvalidField_data()
    {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("expected");
        auto row = [](const char *tag, const QString &buttons, const QString &fields, const QString &expected) {
            QTest::newRow(tag) << buttons.split(' ') << fields << expected.split(' ', Qt::SkipEmptyParts);
        };
        const QString eq = "qtSedEquilibriumTemp=20 qtSedEquilibriumMR=50000 qtBufferDensity=1.01 qtSedEquilibriumRPM=";
        const QString mr = "(Mr=50000,Vbar=0.73", mb = " calculateMbDirectly" + mr + ",Density=1.01)";
        row("Mr: radius, Mb, sigma", "qtVbarMethod qtExactMolecularWeight", eq + "20000",
            "calculateRo" + mr + ",EquilibriumTemp=20,UnDenaturedVbar=0)" + mb
                + " calculateSigmaFromMr(EquilibriumTemp=20,RPM=20000," + mr.mid(1) + ",Density=1.01)");
        row("Mr, Teller, speed invalid", "qtTellerMethod qtExactMolecularWeight", eq + "abc",
            "calculateRp" + mr + ")" + mb);
        const QString in = "(EquilibriumTemp=20,Sigma=1.5,RPM=20000";
        row("sigma: Mr written before the radius", "qtFromSigma",
            "qtSedEquilibriumTemp=20 qtSedEquilibriumRPM=20000 qtSedEquilibriumSigma=1.5",
            "calculateMbFromSigma" + in + ") calculateMr" + in
                + ",Vbar=0.73,Density=0.99823) calculateRp(Mr=12345,Vbar=0.73)");
        // An Mr left from earlier inputs is emptied, not used.
        row("sigma missing: no Mr, no radius", "qtFromSigma", "qtSedEquilibriumMR=40000", "");
        const QString s = "qtSedVelocityCoefficient=4.5e-13",
                      nine = "(EquilibriumTemp=20,VelocityTemp=20,S=4.5e-13,"
                             "Vbar20=0.73,Viscosity=0.01002,Vbar=0.73,Density=0.99823,",
                      water = ",D2O=0,D2O18=0,H2O18=0)"; // the buffer page's water: light
        row("so20,w", "qtExactMolecularWeight", s + " qtSedVelocityConcentration=1.5",
            "calculateSo20W" + nine + "aVbar=0,vbarwater=0,So20w_k=0.009,Cp=1.5" + water);
        row("invalid viscosity gives no s20,w", "qtExactMolecularWeight", s + " qtBufferViscosity=abc", "");
        // Only the composition's own vbar has its vbar in water on the water side, whatever the Mr method.
        row("vbar from the composition page", "qtExactMolecularWeight qtVbarCompute",
            s + " qtCalculatedVBarWater=0.7321", "calculateS20W" + nine + "aVbar=1,vbarwater=0.7321" + water);
        row("Mr from the composition, vbar standard", "qtExactMolecularWeight qtFromComposition",
            s + " qtCalculatedVBarWater=0.7321", "calculateS20W" + nine + "aVbar=0,vbarwater=0" + water);
    }
    void calculationFollowsTheMethodAndStopsAtTheFirstInvalidField()
    {
        QFETCH(QStringList, buttons);
        QFETCH(QString, fields);
        record(buttons);
        // Compute opens the page; its vbar comes once the page hands it over, with the page's figures as they are
        // then.
        m_f->fake()->answerValues("calculateMr", { { "qtSedEquilibriumMR", "12345" } });
        m_f->fill(fields);
        if (buttons.contains("qtVbarCompute"))
            emit m_f->widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedVBarAccepted(0.73);
        takeCalls();
        m_f->window->calculate();
        QTEST(takeCalls(), "expected");
    }

    // The radius field holds the radius its caption names, whatever gave the Mr: Rp, the radius of the sphere of
    // the accessible surface 6.3 M^0.73 A^2 (Miller et al. 1987, Teller 1976), or Ro, the anhydrous sphere
    // (3 M vbar / 4 pi N)^1/3 with vbar 0.73 at 20 C; the Mr from sigma is the one its field shows.
    void theRadiusIsTheOneItsCaptionNames_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("mrMethod");
        QTest::addColumn<QString>("caption");
        QTest::newRow("exact Mr, Teller") << "qtTellerMethod"
                                          << "qtExactMolecularWeight"
                                          << "Rp";
        QTest::newRow("exact Mr, vbar") << "qtVbarMethod"
                                        << "qtExactMolecularWeight"
                                        << "Ro";
        QTest::newRow("from sigma, Teller") << "qtTellerMethod"
                                            << "qtFromSigma"
                                            << "Rp";
        QTest::newRow("from sigma, vbar") << "qtVbarMethod"
                                          << "qtFromSigma"
                                          << "Ro";
    }
    void theRadiusIsTheOneItsCaptionNames()
    {
        QFETCH(QString, method);
        QFETCH(QString, mrMethod);
        QFETCH(QString, caption);
        m_f->click(method);
        m_f->click(mrMethod);
        m_f->type("qtSedEquilibriumTemp", "20");
        m_f->type("qtSedEquilibriumRPM", "20000");
        if (mrMethod == "qtFromSigma")
            m_f->type("qtSedEquilibriumSigma", "1.5");
        else
            m_f->type("qtSedEquilibriumMR", "50000");
        const double mr = m_f->number("qtSedEquilibriumMR");
        QVERIFY(mr > 1000);
        const double radius = caption == "Rp" ? std::sqrt(6.3 * std::pow(mr, 0.73) / (4 * M_PI)) * 1e-8
                                              : std::cbrt(3 * mr * 0.73 / (4 * M_PI * 6.02214076e23));
        QCOMPARE_NEAR(m_f->number("qtExperimentResultsRp"), radius, 1e-5);
        QVERIFY2(m_f->widget<QLabel>("qtExperimentResultsRpLabel")->text().contains(">" + caption + "<"),
            qPrintable(m_f->widget<QLabel>("qtExperimentResultsRpLabel")->text()));
    }

    // A radius is any positive figure in cm: the anhydrous sphere of a peptide of Mr 2000 with vbar 0.73 at 20 C,
    // (3 M vbar / 4 pi N)^1/3 = 8.3337e-8 cm, is below a nanometre, and is shown as the other figures are (six
    // digits), not marked as an entry out of range; one typed below a nanometre is taken as typed.
    void aRadiusBelowANanometreIsAFigure()
    {
        m_f->click("qtVbarMethod");
        m_f->click("qtExactMolecularWeight");
        m_f->type("qtSedEquilibriumTemp", "20");
        m_f->type("qtSedEquilibriumMR", "2000");
        auto *radius = m_f->widget<GuiLineEdit>("qtExperimentResultsRp");
        const double ro = std::cbrt(3 * 2000 * 0.73 / (4 * M_PI * 6.02214076e23));
        QCOMPARE(radius->text(), QString::number(ro, 'g', 6));
        QVERIFY(radius->isValid());
        QCOMPARE(radius->styleSheet(), QString());
        m_f->answerer.answerMessageBox(QMessageBox::Yes);
        m_f->type("qtExperimentResultsRp", "5e-8");
        QCOMPARE(radius->text(), QStringLiteral("5e-08"));
        QVERIFY(radius->isValid());
        m_f->type("qtExperimentResultsRp", "0");
        QVERIFY(!radius->isValid());
    }

    // An Mr of 1e308 g/mol at 60000 rpm and 20 C gives a buoyant mass of 2.7e307 and a sigma beyond any double
    // (Mb omega^2 / R T, omega^2 = 3.9e7): sigma is left empty, and the box names it by its caption; no field
    // writes a figure in hundreds of digits.
    void aFigureBeyondANumberIsNamedByItsCaption()
    {
        m_f->click("qtExactMolecularWeight");
        m_f->type("qtSedEquilibriumTemp", "20");
        m_f->type("qtSedEquilibriumRPM", "60000");
        m_f->type("qtSedEquilibriumMR", "1e308");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("Sigma: the result is not a finite number."), qPrintable(boxes));
        QVERIFY2(!boxes.contains(QRegularExpression("\\bqt")), qPrintable(boxes));
        QCOMPARE(m_f->text("qtSedEquilibriumSigma"), QString());
        QCOMPARE(m_f->text("qtSedEquilibriumMR"), QStringLiteral("1e+308"));
        for (const QLineEdit *field : m_f->window->findChildren<QLineEdit *>())
            QVERIFY2(field->text().size() < 30, qPrintable(field->objectName() + ' ' + field->text()));
    }

    // Every figure the calculation module writes has a caption a message can name it by: the module names a
    // figure by the object name it writes to, and no message shown names a widget.
    void everyFigureOfTheModuleHasACaption()
    {
        QFile module(QDir(TestModules::shippedModulesPath()).filePath(QStringLiteral("MainScreen_main.js")));
        QVERIFY(module.open(QIODevice::ReadOnly));
        const QString source = QString::fromUtf8(module.readAll());
        QSet<QString> named;
        QRegularExpressionMatchIterator it = QRegularExpression("\"(qt\\w+)\"").globalMatch(source);
        while (it.hasNext())
            named << it.next().captured(1);
        QVERIFY(named.contains("qtSedEquilibriumSigma") && named.contains("qtCorrectedDensity"));
        int figures = 0;
        for (QWidget *widget : m_f->window->findChildren<QWidget *>()) {
            const QString name = widget->objectName();
            // The Results tab's figures are named from the method's prefix.
            const bool composed = (name.startsWith("qtVbar") || name.startsWith("qtTeller")) && !name.endsWith("Label")
                && !name.endsWith("Method");
            if (!(named.contains(name) || composed)
                || !(qobject_cast<QLabel *>(widget) || qobject_cast<QLineEdit *>(widget)))
                continue;
            ++figures;
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(name));
        }
        QVERIFY(figures > 40);
    }

    // A fresh form takes the exact Mr as its method, so S* alone gives s20,w; nothing is calculated while
    // blocked; each method sets the Mr field and the stop sign, and an Mr from the composition page is
    // calculated even from empty fields.
    void methodButtonsRuleTheCalculation()
    {
        record({});
        m_f->type("qtSedVelocityCoefficient", "4.5");
        QVERIFY(takeCalls().value(0).startsWith(QLatin1String("calculateS20W(")));
        m_f->click("qtExactMolecularWeight");
        QVERIFY(!m_f->widget<QLabel>("qtStopSign")->isHidden() && m_f->widget("qtSedEquilibriumMR")->isEnabled());
        takeCalls();
        m_f->window->blockCalculations(true);
        m_f->window->calculate();
        QVERIFY(takeCalls().isEmpty());
        m_f->window->blockCalculations(false);
        m_f->click("qtFromSigma");
        QVERIFY(m_f->widget<QLabel>("qtStopSign")->isHidden() && !m_f->widget("qtSedEquilibriumMR")->isEnabled());
        m_f->click("qtTellerMethod");
        takeCalls();
        emit m_f->widget<GuiSampleComposition>("qtStackComposition")->sigCalculatedMrAccepted(52000.0);
        QCOMPARE(m_f->window->mrCalculationMethod(), GuiVornakel::MrMethod::FromComposition);
        // Without a speed the composition's Mr gives what needs none, as a typed Mr does.
        QCOMPARE(takeCalls().mid(0, 2),
            QStringList(
                { "calculateRp(Mr=52000,Vbar=0.73)", "calculateMbDirectly(Mr=52000,Vbar=0.73,Density=0.99823)" }));
    }

    // A vbar corrected for a new temperature is followed by a recalculation; typed sources are neither
    // corrected nor replaced, and stay so when a standard value is cancelled.
    void vbarFollowsTheTemperatureUnlessTyped()
    {
        record();
        m_f->fill("qtSedEquilibriumMR=50000");
        m_f->fake()->answerValues("_calculateSampleVbar", { { "qtSampleVbar", "0.7" } });
        m_f->type("qtSedEquilibriumTemp", "4");
        const QStringList made = takeCalls();
        const int corrected = made.indexOf(QStringLiteral("_calculateSampleVbar(vBar=0.73,sedEqTemp=4)"));
        QVERIFY2(corrected >= 0, qPrintable(made.join('\n')));
        QVERIFY(made.indexOf(
                    QStringLiteral("calculateRo(Mr=50000,Vbar=0.7,EquilibriumTemp=4,UnDenaturedVbar=0)"), corrected)
            > corrected);
        for (const char *button : { "qtVbarDirectEntry", "qtDensityDirectEntry", "qtViscosityDirectEntry" })
            m_f->click(button);
        m_f->fill("qtSampleVbar=0.75");
        takeCalls();
        m_f->type("qtSedEquilibriumTemp", "10");
        QCOMPARE(takeCalls().filter(QRegularExpression("Vbar\\(|AtT\\(")), QStringList());
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.75000"));
        QCOMPARE(m_f->widget<QLabel>("qtBufferViscosityLabel")->text(), QStringLiteral("No Temp Correction"));
        answerStandard(QString(), false);
        m_f->click("qtDensityStandard");
        QVERIFY(takeCalls().isEmpty());
        QVERIFY(m_f->checked("qtDensityDirectEntry") && !m_f->checked("qtDensityStandard"));
    }

    void valuesAcceptedOnThePagesAreTakenOver()
    {
        record();
        auto *composition = m_f->widget<GuiSampleComposition>("qtStackComposition");
        m_f->fill("qtSedEquilibriumMR=50000 qtSedEquilibriumTemp=4 qtCalculatedVBar=0.7312");
        emit composition->sigCalculatedVBarAccepted(0.7312);
        QCOMPARE(takeCalls().value(0), QStringLiteral("calculateSampleVbar(vBar=0.7312,sedEqTemp=4)"));
        QVERIFY(composition->qtCalculateVbar->isChecked());
        m_f->fill("qtSedEquilibriumTemp=20 qtSampleVbar=0.73");
        emit m_f->widget<GuiBufferComponents>("qtStackBufferComponents")->sigCalculatedDensityAccepted(1.01);
        QCOMPARE(m_f->text("qtBufferDensity"), QStringLiteral("1.010000"));
        QVERIFY(m_f->checked("qtDensityCompute"));
        QVERIFY(takeCalls().contains(QStringLiteral("calculateMbDirectly(Mr=50000,Vbar=0.73,Density=1.01)")));
    }

    // Viscosity is in poise; the usual 1.0177 cP typed as poise is asked about, and Yes converts it.
    // s20,w = s (eta / eta_20,w) at 20 C in the defaults' water: the answer changes it a hundredfold.
    void viscosityTypedInCentipoiseIsAskedAbout_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<double>("poise");
        QTest::newRow("meant in cP") << true << 0.010177;
        QTest::newRow("meant in P") << false << 1.0177;
    }
    void viscosityTypedInCentipoiseIsAskedAbout()
    {
        QFETCH(bool, yes);
        QFETCH(double, poise);
        QCOMPARE(
            m_f->widget("qtBufferViscosity")->toolTip(), QStringLiteral("poise (water at 20 C: 0.01002 P = 1.002 cP)"));
        QCOMPARE(m_f->widget("qtBufferDensity")->toolTip(), QStringLiteral("g/ml"));
        m_f->click("qtExactMolecularWeight");
        m_f->click("qtViscosityDirectEntry");
        m_f->type("qtSedVelocityCoefficient", "4.5");
        m_f->answerer.clear();
        m_f->answerer.answerMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
        m_f->type("qtBufferViscosity", "1.0177");
        QCOMPARE(m_f->answerer.seen().size(), 1);
        QCOMPARE(m_f->answerer.seen().value(0).icon, QMessageBox::Question);
        QVERIFY(m_f->answerer.texts().value(0).contains(QLatin1String("centipoise")));
        QCOMPARE_NEAR(m_f->number("qtBufferViscosity"), poise, 1e-9);
        QCOMPARE_NEAR(m_f->number("qtExperimentResultsS"), 4.5e-13 * poise / (kEta20 / 100), 2e-3);
        // An ordinary viscosity asks nothing.
        m_f->type("qtBufferViscosity", "0.0102");
        QCOMPARE(m_f->answerer.seen().size(), 1);
    }

    // Lysozyme (14305) at 20 C, 20000 rpm, s* 4.5 S: a red input is not sent, and the figures made from it are
    // emptied without a box rather than left from the inputs before; they come back with a valid input.
    void invalidInputEmptiesItsFiguresUntilValidAgain_data()
    {
        QTest::addColumn<QStringList>("edit"); // field, bad text, good text
        QTest::addColumn<QStringList>("emptied");
        const QStringList all { "qtExperimentResultsRp", "qtExperimentResultsMb", "qtSedEquilibriumSigma",
            "qtExperimentResultsS" };
        QTest::newRow("T -5") << QStringList { "qtSedEquilibriumTemp", "-5", "20" }
                              << QStringList { "qtSedEquilibriumSigma", "qtExperimentResultsS" };
        QTest::newRow("Mr abc") << QStringList { "qtSedEquilibriumMR", "abc", "14305" } << QStringList(all.mid(0, 3));
        QTest::newRow("rpm -5") << QStringList { "qtSedEquilibriumRPM", "-5", "20" }
                                << QStringList { "qtSedEquilibriumSigma" };
        QTest::newRow("s* 1e999") << QStringList { "qtSedVelocityCoefficient", "1e999", "4.5" }
                                  << QStringList { "qtExperimentResultsS" };
        QTest::newRow("viscosity abc") << QStringList { "qtBufferViscosity", "abc", "0.01002" }
                                       << QStringList { "qtExperimentResultsS" };
    }
    void invalidInputEmptiesItsFiguresUntilValidAgain()
    {
        QFETCH(QStringList, edit);
        QFETCH(QStringList, emptied);
        const QStringList figures { "qtExperimentResultsRp", "qtExperimentResultsMb", "qtSedEquilibriumSigma",
            "qtExperimentResultsS" };
        m_f->click("qtExactMolecularWeight");
        m_f->click("qtViscosityDirectEntry");
        for (const char *entry :
            { "qtSedEquilibriumMR=14305", "qtSedEquilibriumRPM=20", "qtSedVelocityCoefficient=4.5" })
            m_f->type(QString(entry).section('=', 0, 0), QString(entry).section('=', 1));
        QStringList before;
        for (const QString &name : figures)
            before << m_f->text(name);
        QVERIFY2(!before.contains(QString()), qPrintable(before.join('|')));
        m_f->answerer.clear();
        m_f->type(edit[0], edit[1]);
        QVERIFY(!m_f->widget<GuiLineEdit>(edit[0])->isValid());
        QCOMPARE(m_f->answerer.titles(), QStringList());
        QCOMPARE(m_f->text("qtSedVelocityTemp"), QStringLiteral("20.00")); // a bad temperature is not followed
        for (int i = 0; i < figures.size(); ++i)
            QCOMPARE(m_f->text(figures[i]), emptied.contains(figures[i]) ? QString() : before[i]);
        m_f->type(edit[0], edit[2]);
        for (int i = 0; i < figures.size(); ++i)
            QCOMPARE(m_f->text(figures[i]), before[i]);
    }

    // Taking the window down hides it, which ends a pending edit in the focused field; the
    // window must not act on that edit once its pages are gone.
    void windowTakenDownDuringAnEditDoesNotCrash()
    {
        QApplication::setActiveWindow(m_f->window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_f->window.get(), testPatienceMs()));
        m_f->widget("qtSedEquilibriumTemp")->setFocus();
        QTest::keyClicks(m_f->widget("qtSedEquilibriumTemp"), "5");
        m_f.reset();
    }
};

TEST_MAIN(TstGuiVornakelExperiment)
#include "tst_gui_vornakel_experiment.moc"
