#include "app/app_number.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"

#include "test_log.h"
#include "test_mainwindow.h"
#include "test_recordsteps.h"

#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QtTest>
#include <cmath>
#include <memory>

// What a run shows follows what its tabs show: the water its solvent's figures are in, the records its links name,
// the text its fields hold. The window runs on the shipped calculation module.
class TstGuiVornakelFigures : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;
    void steps(const QString &scenario) { TestRecordSteps(m_f.get()).steps(scenario); }
    QString text(const char *name) const { return m_f->text(name); }
    double number(const char *name) const { return m_f->number(name); }
    static bool near(double a, double b, double relative) { return std::fabs(a - b) <= relative * std::fabs(b); }
    static QString hewl()
    {
        return "counts ALA=12,ARG=11,ASN=14,ASP=7,GLN=3,GLU=2,GLY=12,HIS=1,ILE=6,LEU=8,LYS=6,MET=2,PHE=3,PRO=2,"
               "SER=10,THR=7,TRP=6,TYR=3,VAL=6,CY2=4;";
    }

    // Hen egg-white lysozyme, 129 residues (Canfield 1963).
    static QString lysozymeSequence()
    {
        return "KVFGRCELAAAMKRHGLDNYRGYSLGNWVCAAKFESNFNTQATNRNTDGSTDYGILQINSRWWCNDGRTPGSRNLCNIPCSALLSSDITASVNCAKK"
               "IVSDGNGMNAWVAWRNRCKGTDVQAWIRGCRL";
    }
    // The link the stored run holds to a record of that table, -1 for none.
    int storedLink(const char *column, const QString &run) const
    {
        return m_f->db.value(QString("SELECT %1 FROM experiment WHERE name = '%2'").arg(column, run)).toInt();
    }

    // Whether a label or field shows its whole text: its width in the font (QFontMetrics) within the room the
    // widget gives it (a line edit's text margins, a unit written inside it among them, and its own two pixels on
    // either side); empty when it does, else what is cut.
    static QString cutOff(QWidget *widget)
    {
        const auto said = [widget](const QString &text, int room, int need) {
            return need <= room
                ? QString()
                : QString("%1 \"%2\" (%3 of %4 px)").arg(widget->objectName(), text).arg(room).arg(need);
        };
        if (auto *label = qobject_cast<QLabel *>(widget))
            return said(label->text(), label->contentsRect().width() - 2 * label->margin() - qMax(label->indent(), 0),
                label->fontMetrics().horizontalAdvance(label->text()));
        auto *field = qobject_cast<QLineEdit *>(widget);
        QStyleOptionFrame option;
        option.initFrom(field);
        option.rect = field->rect();
        option.lineWidth
            = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
        const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
        const QMargins text = field->textMargins();
        return said(field->text(), contents.width() - text.left() - text.right() - 2 * 2,
            field->fontMetrics().horizontalAdvance(field->text()));
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
    }
    void cleanup() { m_f.reset(); }

    // Standard values typed for a buffer in 50 % D2O at 25 C are that water's: s20,w carries them to the velocity
    // temperature in it, so it is the same whatever the equilibrium temperature they are first taken to. At 25 C
    // nothing is carried before s20,w, which is the figure of reference: the viscosity by the water's ratio from
    // 25 to 10 C, (1.30590 + 1.669107) / (0.89002 + 1.092769) mPa s (IAPWS 2008 for H2O, 2020 for D2O), the
    // density's increment over the water by light water's, 4 S x (eta / 1.002 cP) (1 - 0.73 x 0.998234) /
    // (1 - 0.72575 rho) = 6.8343e-13 s.
    void standardValuesAreCarriedInTheirWater()
    {
        steps("heavy 50; tab qtTabSolvent; std qtDensityStandard=1.050758@25; std qtViscosityStandard=0.009922812@25;"
              "tab qtTabExperiment; type qtSedEquilibriumTemp=25; type qtSedVelocityTemp=10;"
              "type qtSedVelocityCoefficient=4");
        const double reference = number("qtExperimentResultsS");
        QVERIFY2(near(reference, 6.8343e-13, 1e-4), qPrintable(text("qtExperimentResultsS")));
        QCOMPARE(text("qtSolventWater"), QStringLiteral("Figures in water of 50 % D2O"));
        for (const char *temperature : { "4", "10", "20" }) {
            steps(QString("type qtSedEquilibriumTemp=") + temperature);
            // The fields' own digits (vbar 5 decimals, viscosity 5 figures) limit the agreement.
            QVERIFY2(near(number("qtExperimentResultsS"), reference, 5e-5),
                qPrintable(QString(temperature) + " C: " + text("qtExperimentResultsS")));
        }
    }

    // A solute adds to the buffer's water its mass less the water it displaces, c (1 - phi rho_w), and in heavy water
    // it displaces heavy water. 18 % sucrose by mass (0.56383 M, 1.0722 g/ml at 20 C, CRC Handbook) is
    // c = 0.192999 g/ml; 1.0722 = 0.998234 + c (1 - phi 0.998234) gives its share of the volume, c phi = 0.119243.
    // In water of 90 % D2O (Kell 1975 and the IAPWS 2017 formulation, on the program's 20 C scale) the balance at
    // 20 C is c + rho_w (1 - c phi); at 10 C the water's own density plus that increment scaled by light water's.
    // The Experiment tab says that s20,w and an Mr from sigma include no H/D exchange while the water holds deuterium,
    // and a water below its melting point (3.82 C x 0.9 = 3.44 C) is computed with a warning.
    void aSoluteInHeavyWaterDisplacesHeavyWater()
    {
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=10; buffer Sucrose=0.56383; heavy 90");
        const double scale = 0.998234 / 0.9982071, grams = 0.56383 * 342.297 / 1000;
        const double displaced = (grams - (1.0722 - 0.998234)) / 0.998234;
        const double water20 = (0.1 * 0.9982071 + 0.9 * 1.105336) * scale;
        const double water10 = (0.1 * 0.9997026 + 0.9 * 1.105911) * scale;
        const double balance = water10 + (grams + water20 * (1 - displaced) - water20) * 0.9997026 / 0.9982071;
        QVERIFY2(std::fabs(number("qtBufferDensity") - balance) < 1.5e-4,
            qPrintable(text("qtBufferDensity") + " by the mass balance " + AppNumber::toText(balance)));
        QVERIFY(!m_f->widget("qtS20wHeavyWater")->isHidden());
        // The buoyant mass an equilibrium gives holds the exchange as s does: M (1 - vbar rho + 0.015) in D2O.
        QVERIFY(m_f->widget<QLabel>("qtS20wHeavyWater")->text().contains("an Mr from sigma read about 7-8 % high"));
        QVERIFY(!m_f->answerer.texts().join('\n').contains("supercooled"));
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=2");
        QVERIFY2(m_f->answerer.texts().join('\n').contains("Water of 90 % D2O melts at about 3.44 C"),
            qPrintable(m_f->answerer.texts().join('\n')));
        QVERIFY(number("qtBufferDensity") > 1.15);
        steps("new");
        QVERIFY(m_f->widget("qtS20wHeavyWater")->isHidden());
    }

    // The Results tab's friction ratios and Stokes radius come from s20,w, and carry its want of H/D exchange: the
    // tab says so while the water holds deuterium, as the Experiment tab does.
    void theResultsTabSaysWhatHeavyWaterLeavesOut()
    {
        steps("heavy 90; tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4;"
              "tab qtTabResults");
        QVERIFY(!m_f->widget("qtResultsHeavyWater")->isHidden());
        QVERIFY(text("qtResultsHeavyWater").contains("the Stokes radius"));
        QVERIFY(text("qtResultsHeavyWater").contains("about 7 % low"));
        steps("new");
        QVERIFY(m_f->widget("qtResultsHeavyWater")->isHidden());
    }

    // Stored results come back as stored, and with the inputs they were computed from (their run) the note of that
    // calculation stands beside them again: lysozyme at 1.9 S has a Stokes sphere smaller than its Teller sphere, so
    // the Teller figures under "max a/b" and "Delta1 max" are the shape's smallest axial ratio without hydration,
    // which only the note tells. Beside other inputs (the results loaded alone) no note speaks for them.
    void storedResultsComeBackWithTheirNote()
    {
        steps(hewl()
            + "tab qtTabExperiment; type qtSedEquilibriumTemp=20; type qtSedVelocityCoefficient=1.9; tab qtTabResults");
        const QString note = text("qtResultsNote");
        QVERIFY2(note.startsWith("No axial ratio of this shape matches (Teller method): f/fp is"), qPrintable(note));
        const QStringList results = TestRecordSteps(m_f.get()).shown(TestRecordSteps::Part::Results);
        steps("save sample=S; save results=R; save experiment=Run+sample+results; restart; load qtExperimentName=Run;"
              "tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(text("qtResultsNote"), note);
        QVERIFY(!m_f->widget("qtResultsNote")->isHidden());
        const QStringList changed = TestRecordSteps::differences(TestRecordSteps::without(results, { "qtResultsName" }),
            TestRecordSteps::without(
                TestRecordSteps(m_f.get()).shown(TestRecordSteps::Part::Results), { "qtResultsName" }));
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
        QVERIFY(m_f->widget<QComboBox>("qtResultsName")->currentText().endsWith("R"));
        // Chosen on the Results tab beside the same inputs.
        steps("restart; load qtSampleName=S; tab qtTabExperiment; type qtSedEquilibriumTemp=20;"
              "type qtSedVelocityCoefficient=1.9; tab qtTabResults; click qtVbarMethod; load qtResultsName=R");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(text("qtResultsNote"), note);
        QVERIFY(m_f->checked("qtTellerMethod"));
        steps("restart; tab qtTabExperiment; type qtSedEquilibriumMR=50000; type qtSedVelocityCoefficient=4;"
              "load qtResultsName=R; tab qtTabResults");
        QCOMPARE(text("qtTellermaxab"), QStringLiteral("1"));
        QCOMPARE(text("qtResultsNote"), QString());
        QVERIFY(m_f->widget("qtResultsNote")->isHidden());
        QVERIFY(m_f->widget<QComboBox>("qtResultsName")->currentText().endsWith("R"));
    }

    // f is taken from s20,w with the vbar s20,w was normalised with. With the composition's Mr, s20,w takes its vbar
    // in water, not the apparent vbar of urea's binding (Casassa and Eisenberg 1964 with v3 0.75, g3 0.1): the
    // Stokes radius is M (1 - vbar_water 0.998234) / (N s20,w 6 pi 0.01002 P).
    void theStokesRadiusTakesTheVbarOfS20w()
    {
        steps("sql UPDATE denature SET rhomin = 1.12, v3 = 0.75, g3 = 0.1 WHERE Name = 'Urea';"
              "residues ALA=12,ARG=11,ASN=14,ASP=7,GLY=12,LYS=6,TRP=6,VAL=6; denaturant Urea; ok;"
              "tab qtTabExperiment; type qtSedVelocityCoefficient=1.9; tab qtTabResults");
        QVERIFY(m_f->checked("qtFromComposition"));
        const double water = number("qtCalculatedVBarWater");
        QVERIFY(water - number("qtCalculatedVBar") > 0.01);
        const double stokes = number("qtSedEquilibriumMR") * (1 - water * 0.998234)
            / (6.02214076e23 * number("qtExperimentResultsS") * 6 * M_PI * 0.01002);
        QVERIFY2(near(number("qtRStokes"), stokes, 1e-4),
            qPrintable(text("qtRStokes") + " by hand " + AppNumber::toText(stokes)));
    }

    // A typed or standard vbar is the vbar on both sides of s20,w, whatever the Mr method; the composition's vbar in
    // water stands on the water side only while the vbar shown is the composition's own (with urea's binding its
    // apparent vbar is another, Casassa and Eisenberg 1964 with v3 0.75, g3 0.1). At 20 C (both temperatures)
    // s20,w = S* (eta / 0.01002 P) (1 - v_w 0.998234) / (1 - v rho) (Svedberg and Pedersen 1940), with the
    // buffer's rho and eta and the vbar v as the tabs show them; the Stokes radius is M (1 - v_w 0.998234) /
    // (N s20,w 6 pi 0.01002 P) and the anhydrous radius (3 M v_dry / 4 pi N)^1/3, v_dry the vbar at 20 C without a
    // denaturant (the composition's 25 C figure less 5 x 4.25e-4, Durchschlag 1986).
    void theVbarShownIsTheVbarOfEveryFigure_data()
    {
        QTest::addColumn<QString>("vbar"); // how the sample's vbar is given, after its composition
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<QString>("sStar");
        QTest::addColumn<bool>("composition"); // the vbar shown is the composition's own
        const QString urea = "sql UPDATE denature SET rhomin = 1.12, v3 = 0.75, g3 = 0.1 WHERE Name = 'Urea';"
                             "residues ALA=12,ARG=11,ASN=14,ASP=7,GLY=12,LYS=6,TRP=6,VAL=6; denaturant Urea; ok;";
        const QString tris = "Tris base=0.02,Potassium chloride=0.1,Glycerol=1";
        QTest::newRow("typed 0.735, Mr from the composition")
            << hewl() + "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.735" << tris << "0.85" << false;
        QTest::newRow("standard 0.735, Mr from the composition")
            << hewl() + "tab qtTabSample; std qtVbarStandard=0.735@20" << tris << "0.85" << false;
        QTest::newRow("typed 0.735 over a composition in urea")
            << urea + "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.735" << tris << "0.85" << false;
        QTest::newRow("typed 0.95 in 6 M urea: a floating particle")
            << hewl() + "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.95"
            << "Urea=6"
            << "-0.5" << false;
        QTest::newRow("a standard vbar over a run whose sample has gone") << urea
                + "tab qtTabExperiment; type qtSedVelocityCoefficient=1; save experiment=Run+sample; restart;"
                  "sql UPDATE sample SET active = 0; load qtExperimentName=Run; tab qtTabSample;"
                  "std qtVbarStandard=0.735@20" << tris << "0.85" << false;
        QTest::newRow("the composition's vbar in urea, Mr from the composition") << urea << tris << "0.85" << true;
        QTest::newRow("the composition's vbar in urea, an exact Mr")
            << urea + "tab qtTabExperiment; click qtExactMolecularWeight; type qtSedEquilibriumMR=9000" << tris
            << "0.85" << true;
    }
    void theVbarShownIsTheVbarOfEveryFigure()
    {
        QFETCH(QString, vbar);
        QFETCH(QString, buffer);
        QFETCH(QString, sStar);
        QFETCH(bool, composition);
        steps(vbar + "; buffer " + buffer
            + "; tab qtTabResults; click qtVbarMethod; tab qtTabExperiment; type qtSedEquilibriumTemp=20;"
              "type qtSedVelocityCoefficient="
            + sStar);
        const double v = number("qtSampleVbar"), rho = number("qtBufferDensity"), eta = number("qtBufferViscosity");
        const double water = composition ? number("qtCalculatedVBarWater") : v;
        const double dry = composition ? number("qtUnDenaturedVBar") - 5 * 4.25e-4 : v;
        QVERIFY(v > 0 && water > 0 && rho > 1 && eta > 0.01002);
        QVERIFY(!composition || std::fabs(water - v) > 0.01);
        const double s20w = sStar.toDouble() * 1e-13 * (eta / 0.01002) * (1 - water * 0.998234) / (1 - v * rho);
        QVERIFY2(near(number("qtExperimentResultsS"), s20w, 2e-4),
            qPrintable(text("qtExperimentResultsS") + " by hand " + AppNumber::toText(s20w)));
        const double mr = number("qtSedEquilibriumMR"), n = 6.02214076e23;
        const double ro = std::cbrt(3 * mr * dry / (4 * M_PI * n));
        QVERIFY2(near(number("qtExperimentResultsRp"), ro, 1e-4),
            qPrintable(text("qtExperimentResultsRp") + " by hand " + AppNumber::toText(ro)));
        steps("tab qtTabResults");
        const double stokes = mr * std::fabs(1 - water * 0.998234) / (n * std::fabs(s20w) * 6 * M_PI * 0.01002);
        QVERIFY2(near(number("qtRStokes"), stokes, 2e-4),
            qPrintable(text("qtRStokes") + " by hand " + AppNumber::toText(stokes)));
        QVERIFY2(near(number("qtVbarRo"), ro, 1e-4), qPrintable(text("qtVbarRo")));
    }

    // A run whose solvent has gone keeps its figures in the water they were carried in: a change of temperature
    // carries them in it, and New Experiment keeps that water with the figures it leaves on the Solvent tab.
    void aRunWithoutItsSolventKeepsItsWater()
    {
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=4; type qtSedVelocityTemp=10;"
              "buffer Sodium chloride=0.15; heavy 50; save solvent=Heavy; tab qtTabExperiment;"
              "type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4; save experiment=Run+solvent");
        const double computed = number("qtExperimentResultsS");
        steps("restart; sql UPDATE buffer SET active = 0; load qtExperimentName=Run");
        const double saved = number("qtExperimentResultsS");
        QVERIFY2(near(saved, computed, 1e-5), qPrintable(text("qtExperimentResultsS")));
        QCOMPARE(text("qtSolventWater"), QStringLiteral("Figures in water of 50 % D2O"));
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=20");
        QVERIFY2(near(number("qtExperimentResultsS"), saved, 5e-5), qPrintable(text("qtExperimentResultsS")));
        steps("type qtSedEquilibriumTemp=4; load qtExperimentName=New Experiment; tab qtTabExperiment;"
              "type qtSedEquilibriumTemp=4; type qtSedVelocityTemp=10; type qtSedEquilibriumMR=66000;"
              "type qtSedVelocityCoefficient=4");
        QVERIFY2(near(number("qtExperimentResultsS"), saved, 5e-5), qPrintable(text("qtExperimentResultsS")));
        QCOMPARE(text("qtSolventWater"), QStringLiteral("Figures in water of 50 % D2O"));
        // Another solvent brings its own water.
        steps("new");
        QCOMPARE(text("qtSolventWater"), QStringLiteral("Figures in light water"));
    }

    // A save stores the records the tabs show: saved over a run linked to sample A while sample B is shown, the run
    // comes back with B, after the question named the change.
    void aSaveStoresTheLinksTheTabsShow()
    {
        steps("tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.7212; save sample=A;"
              "click qtVbarDirectEntry; type qtSampleVbar=0.75; save sample=B; load qtSampleName=A;"
              "tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4;"
              "save experiment=Run+sample; load qtSampleName=B");
        m_f->answerer.clear();
        steps("save experiment=Run+offered+!Save");
        QVERIFY2(m_f->answerer.texts().contains("Are you sure you wish to overwrite this record?"),
            qPrintable(m_f->answerer.texts().join('\n')));
        steps("restart; load qtExperimentName=Run");
        QVERIFY(m_f->widget<QComboBox>("qtSampleName")->currentText().endsWith("  B"));
        QCOMPARE(text("qtSampleVbar"), QStringLiteral("0.75000"));
    }

    // A sample whose composition was computed anew from a pasted sequence since it was saved is no longer the stored
    // sample: its list names a new sample, the run saved with it is not linked to the stored one, and it comes back
    // with the figures it was saved with, not those of the stored sample's 35 residues.
    void aSampleChangedSinceItsSaveIsNotLinked()
    {
        steps("counts ALA=12,ARG=11,LYS=6,TRP=6; save sample=zzA; paste " + lysozymeSequence()
            + "; tab qtTabExperiment; type qtSedEquilibriumTemp=20; type qtSedEquilibriumRPM=20000;"
              "type qtSedVelocityCoefficient=4.0");
        QCOMPARE(text("qtTotalAminos"), QStringLiteral("129"));
        QCOMPARE(m_f->widget<QComboBox>("qtSampleName")->currentIndex(), 0);
        QVERIFY(m_f->checked("qtFromComposition"));
        const double saved = number("qtExperimentResultsS");
        steps("save experiment=zzR+offered");
        QCOMPARE(storedLink("sample_id", "zzR"), -1);
        steps("restart; load qtExperimentName=zzR");
        QVERIFY2(near(number("qtExperimentResultsS"), saved, 1e-5), qPrintable(text("qtExperimentResultsS")));
        QVERIFY(text("qtTotalAminos") != QLatin1String("35"));
    }

    // A solvent computed anew in heavy water since it was saved is no longer the stored solvent: the run saved with
    // it keeps its own figures in its own water, and a reload at another temperature shows what the window that
    // saved it showed there.
    void aSolventChangedSinceItsSaveIsNotLinked()
    {
        steps("buffer Sodium chloride=0.15; save solvent=zzL1; heavy 50");
        QCOMPARE(m_f->widget<QComboBox>("qtBufferName")->currentIndex(), 0);
        steps("tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.73; tab qtTabExperiment;"
              "type qtSedEquilibriumTemp=20; type qtSedEquilibriumMR=50000; type qtSedVelocityCoefficient=4.0;"
              "save experiment=zzE1+offered; type qtSedEquilibriumTemp=10");
        QCOMPARE(storedLink("buffer_id", "zzE1"), -1);
        const QStringList figures { "qtBufferDensity", "qtBufferViscosity", "qtExperimentResultsS" };
        QList<double> before;
        for (const QString &figure : figures)
            before << number(qPrintable(figure));
        steps("restart; load qtExperimentName=zzE1");
        QCOMPARE(text("qtSolventWater"), QStringLiteral("Figures in water of 50 % D2O"));
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=10");
        // Carried from 20 C in the water's own figures, not the buffer's: a few parts in 10^5 apart.
        for (int i = 0; i < figures.size(); ++i)
            QVERIFY2(near(number(qPrintable(figures.at(i))), before.at(i), 2e-4),
                qPrintable(figures.at(i) + ": " + text(qPrintable(figures.at(i))) + " saved at "
                    + QString::number(before.at(i), 'g', 7)));
    }

    // The Mr a composition gave goes with its sample: a new sample, or one without a composition, leaves the Mr
    // method asking for one, as a fresh window does.
    void theCompositionsMrGoesWithItsSample_data()
    {
        QTest::addColumn<QString>("next");
        QTest::newRow("new sample") << "load qtSampleName=New Sample";
        QTest::newRow("a sample without a composition") << "load qtSampleName=Typed";
    }
    void theCompositionsMrGoesWithItsSample()
    {
        QFETCH(QString, next);
        steps("tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.72; save sample=Typed; new;" + hewl()
            + "save sample=HEWL");
        QCOMPARE(text("qtSedEquilibriumMR"), QStringLiteral("14305.10"));
        steps(next);
        QVERIFY(text("qtSedEquilibriumMR").isEmpty());
        QVERIFY(m_f->checked("qtExactMolecularWeight") && !m_f->checked("qtFromComposition"));
    }

    // A run whose linked sample was saved over with a typed vbar since: the run's own computed vbar stands as a
    // value known at its temperature, and follows the temperature as a standard value does (Durchschlag 1986:
    // 4.25e-4 ml/g per kelvin).
    void aLinkOverwrittenSinceShowsTheRunsOwnFigure()
    {
        steps(hewl()
            + "save sample=HEWL; tab qtTabExperiment; type qtSedEquilibriumTemp=4;"
              "type qtSedVelocityCoefficient=1.9; save experiment=Run+sample; tab qtTabSample;"
              "click qtVbarDirectEntry; type qtSampleVbar=0.71; save sample=HEWL+!Save;"
              "restart; load qtExperimentName=Run");
        const double atRun = number("qtSampleVbar");
        QVERIFY2(near(atRun, 0.70858, 2e-5), qPrintable(text("qtSampleVbar")));
        QVERIFY(m_f->checked("qtVbarStandard") && !m_f->checked("qtVbarDirectEntry"));
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=25");
        QVERIFY2(near(number("qtSampleVbar"), atRun + 21 * 4.25e-4, 2e-5), qPrintable(text("qtSampleVbar")));
    }

    // A run whose sample has gone computes its results with the undenatured vbar it stored, as before the save.
    void aRunWithoutItsSampleKeepsItsDryVbar()
    {
        steps("sql UPDATE denature SET rhomin = 1.12, v3 = 0.75, g3 = 0.1 WHERE Name = 'Urea';"
              "residues ALA=12,ARG=11,ASN=14,ASP=7,GLY=12,LYS=6,TRP=6,VAL=6; denaturant Urea; ok; save sample=U;"
              "tab qtTabExperiment; type qtSedVelocityCoefficient=1.9; save experiment=Run+sample; tab qtTabResults");
        const QString ro = text("qtVbarRo");
        QVERIFY(!ro.isEmpty());
        steps("restart; sql UPDATE sample SET active = 0; load qtExperimentName=Run; tab qtTabResults");
        QCOMPARE(text("qtVbarRo"), ro);
    }

    // A field whose text is no number it takes is never stored as nothing: the save is refused with a box that
    // names the field and its text, and nothing is written.
    void textThatIsNoNumberIsNeverSaved_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named");
        QTest::newRow("a typed vbar with a decimal comma")
            << "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=1,5"
            << "sample"
            << "vbar (Sample tab): \"1,5\"";
        QTest::newRow("a residue count") << "residues ALA=abc; ok"
                                         << "sample"
                                         << "amount of ALA: \"abc\"";
        QTest::newRow("a typed density") << "tab qtTabSolvent; click qtDensityDirectEntry; type qtBufferDensity=abc"
                                         << "solvent"
                                         << "density (Solvent tab): \"abc\"";
        QTest::newRow("a concentration") << "buffer Sodium chloride=0.1.5"
                                         << "solvent"
                                         << "concentration of Sodium chloride: \"0.1.5\" (is not a number)";
        QTest::newRow("the speed") << "tab qtTabExperiment; type qtSedEquilibriumRPM=fast"
                                   << "experiment"
                                   << "speed: \"fast\"";
        // A number, but beyond the field's range (0 to 45 C).
        QTest::newRow("an equilibrium temperature out of range") << "tab qtTabExperiment; type qtSedEquilibriumTemp=60"
                                                                 << "experiment"
                                                                 << "equilibrium temperature: \"60\"";
        QTest::newRow("the hydration") << "tab qtTabExperiment; type qtSedEquilibriumMR=66000;"
                                          "type qtSedVelocityCoefficient=4.2; tab qtTabResults;"
                                          "click qtHydrateDelta1; type qtHydrateRatio=0.3x"
                                       << "results"
                                       << "axial ratio or hydration: \"0.3x\"";
    }
    void textThatIsNoNumberIsNeverSaved()
    {
        QFETCH(QString, state);
        QFETCH(QString, kind);
        QFETCH(QString, named);
        const QString table = kind == "solvent" ? "buffer" : kind;
        steps(state);
        m_f->answerer.clear();
        steps("save " + kind + "=Bad");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("was not saved") && boxes.contains(named), qPrintable(boxes));
        QCOMPARE(m_f->db.value("SELECT count(*) FROM " + table).toInt(), 0);
    }

    // An s20,w typed over the computed one is the person's: a second edit stays as typed, later calculations leave
    // it, and it is read in svedbergs as S* is.
    void typedFiguresStayTyped()
    {
        steps("tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;"
              "override qtExperimentResultsS=1.9e-13; type qtExperimentResultsS=1.8e-13");
        QCOMPARE(text("qtExperimentResultsS"), QStringLiteral("1.8e-13"));
        steps("type qtSedEquilibriumTemp=25");
        QCOMPARE(text("qtExperimentResultsS"), QStringLiteral("1.8e-13"));
        steps("type qtExperimentResultsS=1.9");
        QCOMPARE(text("qtExperimentResultsS"), QStringLiteral("1.9e-13"));
    }

    // What the module says of an input it names by its name in the calculation contract is said in the window of
    // the field the window took it from, by its caption: an s20,w typed 0 over the computed one is "s20,w" in the
    // Results tab's note, never "S20W".
    void aMessageNamesAnInputByTheCaptionOfItsField()
    {
        steps("tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;"
              "override qtExperimentResultsS=0; tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        const QString said = text("qtResultsNote") + '\n' + m_f->answerer.texts().join('\n');
        QVERIFY2(said.contains("s20,w is zero; no figures were taken from s20,w."), qPrintable(said));
        QVERIFY2(!said.contains("S20W is"), qPrintable(said));
    }

    // Results reloaded show what their calculation showed: the graph buttons and the hydration shell's expansion.
    // The Experiment tab's anhydrous radius is the Results tab's (the dry sphere at 20 C).
    void aReloadShowsWhatTheCalculationShowed()
    {
        steps(hewl()
            + "tab qtTabExperiment; type qtSedEquilibriumTemp=4; type qtSedVelocityCoefficient=0.9; tab qtTabResults;"
              "click qtVbarMethod; click qtHydrateComputed; save results=Shape");
        QCOMPARE(text("qtExperimentResultsRp"), text("qtVbarRo"));
        const QString expansion = text("qtGraphShapeHydrationExpansion");
        QVERIFY(!expansion.isEmpty());
        QVERIFY(m_f->widget("qtGraphShapeButton")->isEnabled() && m_f->widget("qtAvsBGraphButton")->isEnabled());
        steps("restart; load qtResultsName=Shape; tab qtTabResults");
        QVERIFY(m_f->widget("qtGraphShapeButton")->isEnabled() && m_f->widget("qtAvsBGraphButton")->isEnabled());
        QCOMPARE(text("qtGraphShapeHydrationExpansion"), expansion);
    }

    // A solvent whose component's reference row was deleted since says so, rather than loading as another buffer.
    void aComponentDeletedSinceIsNamed()
    {
        steps("buffer Sodium chloride=0.15,Glycerol=1; save solvent=Mixed;"
              "sql DELETE FROM BufferComponent WHERE name = 'Glycerol'; restart");
        m_f->answerer.clear();
        steps("load qtBufferName=Mixed");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("no longer in the reference data"), qPrintable(boxes));
    }

    // Rows of the releases that stored the buffer page's figures at 20 C in light water in place of those shown:
    // the first without a mark, its figures what its components give at 20 C; the next with one. Each is shown
    // corrected to the run temperature.
    void rowsOfThePreviousReleaseAreShownCorrected_data()
    {
        QTest::addColumn<QString>("mark"); // computedAt20
        QTest::newRow("unmarked") << "NULL";
        QTest::newRow("marked") << "1";
    }
    void rowsOfThePreviousReleaseAreShownCorrected()
    {
        QFETCH(QString, mark);
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=8; buffer Sodium chloride=0.15,Glycerol=0.5;"
              "save solvent=Mixed");
        const QString density = text("qtBufferDensity"), viscosity = text("qtBufferViscosity");
        QVERIFY(m_f->sql("UPDATE buffer SET computeDensity = computeDensityAt20, computeViscosity = "
                         "computeViscosityAt20, computeDensityAt20 = NULL, computeViscosityAt20 = NULL, computedAt20 = "
            + mark + ", densitySource = NULL, viscositySource = NULL"));
        steps("restart; tab qtTabExperiment; type qtSedEquilibriumTemp=8; load qtBufferName=Mixed");
        QCOMPARE(text("qtBufferDensity"), density);
        QCOMPARE(text("qtBufferViscosity"), viscosity);
    }

    // No label or field shows a figure cut, which would read as another figure ("1.86237e+10" for 1.86237e+104):
    // each shows the longest figure it is given whole (a results label in its six digits, every other one in the
    // fifteen of the number helper) at the least size the window allows, as on a small screen, and a figure never
    // runs under a unit written inside its field.
    void everyFigureShowsWhole_data()
    {
        QTest::addColumn<QString>("place"); // a tab, a page (and its inner tab), or a standard-value dialog
        QTest::addColumn<QStringList>("others"); // figure labels and line edits beside the numeric fields
        const QStringList results { "qtVbarRo", "qtVbarFo", "qtVbarffo", "qtVbarSmax", "qtVbarDmax", "qtVbarDelta1max",
            "qtVbarmaxab", "qtVbar2amax", "qtVbar2bmin", "qtTellerRp", "qtTellerFp", "qtTellerffp", "qtTellerSmax",
            "qtTellerDmax", "qtTellerDelta1max", "qtTellermaxab", "qtTeller2amax", "qtTeller2bmin", "qtHydrateRatio",
            "qtGraphShapeHydrationExpansion" };
        const QStringList composition { "qtTotalAminos", "qtCalculatedVBarWater", "qtIsoElectricPoint", "qtpHCharge",
            "qtAbsExtinction", "qtAbsMgMl", "qtEstAbsExtinction", "qtEstAbsMgMl" };
        for (const char *tab : { "qtTabSample", "qtTabSolvent", "qtTabExperiment" })
            QTest::newRow(tab) << tab << QStringList();
        QTest::newRow("qtTabResults") << "qtTabResults" << results;
        for (int inner = 0; inner < 3; ++inner)
            QTest::newRow(qPrintable(QString("sample page, tab %1").arg(inner)))
                << QString("qtStackComposition/%1").arg(inner) << composition;
        QTest::newRow("buffer page") << "qtStackBufferComponents" << QStringList();
        for (const char *dialog : { "vbar", "density", "viscosity" })
            QTest::newRow(dialog) << dialog << QStringList();
    }
    void everyFigureShowsWhole()
    {
        QFETCH(QString, place);
        QFETCH(QStringList, others);
        const QString figure = "-1.23456789012345e+308";
        GuiVornakel *w = m_f->window.get();
        // The figure written as the window writes it (a results label through the results' own helper), the
        // window at its least size.
        QStringList cut;
        int seen = 0;
        const auto measure = [&](QWidget *top, QWidget *area) {
            QList<QWidget *> shown;
            for (GuiLineEdit *field : area->findChildren<GuiLineEdit *>())
                shown << field;
            for (const QString &name : others)
                shown << testChild<QWidget>(area, name);
            for (QWidget *widget : shown) {
                if (auto *label = qobject_cast<QLabel *>(widget)) {
                    if (place == "qtTabResults")
                        GuiResultFigure::show(label, figure);
                    else
                        label->setText(figure);
                } else {
                    qobject_cast<QLineEdit *>(widget)->setText(figure);
                }
            }
            top->resize(1, 1);
            QApplication::processEvents();
            for (QWidget *widget : shown) {
                if (!widget->isVisible())
                    continue;
                ++seen;
                const QString what = cutOff(widget);
                if (!what.isEmpty())
                    cut << what;
            }
        };
        if (place.startsWith("qtTab")) {
            w->qtTabWidget->setCurrentWidget(m_f->widget(place));
            measure(w, m_f->widget(place));
        } else if (place.startsWith("qtStack")) {
            QWidget *page = m_f->widget(place.section('/', 0, 0));
            w->stackedWidget->setCurrentWidget(page);
            if (auto *composition = qobject_cast<GuiSampleComposition *>(page))
                composition->qtTabWidget->setCurrentIndex(place.section('/', 1).toInt());
            measure(w, page);
        } else {
            GuiStandardValue *dialogs[] = { w->findChild<GuiVbarStandardValue *>(),
                w->findChild<GuiDensityStandardValue *>(), w->findChild<GuiViscosityStandardValue *>() };
            GuiStandardValue *dialog = dialogs[place == "vbar" ? 0 : place == "density" ? 1 : 2];
            QVERIFY(dialog);
            m_f->answerer.answerWith([&](QWidget *open) {
                measure(open, open);
                static_cast<QDialog *>(open)->reject();
            });
            dialog->exec();
        }
        QVERIFY(seen > 0);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    }
};

TEST_MAIN(TstGuiVornakelFigures)
#include "tst_gui_vornakel_figures.moc"
