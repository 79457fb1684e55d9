#include "test_mainwindow.h"
#include "test_recordsteps.h"

#include <QtTest>

// The first calculation the README walks a newcomer through, on the shipped module and reference data: every figure
// it quotes is one the window shows, and the run it saves comes back whole. With VORNAKEL_SCREENSHOTS set it also
// makes the manual's pictures.
class TstGuiVornakelFirstRun : public QObject
{
    Q_OBJECT

private slots:
    void walksThroughTheReadme()
    {
        TestMainWindow f(TestDatabase::Contents::ReferenceData);
        QVERIFY(f.start());
        TestRecordSteps steps(&f);
        // Hen egg-white lysozyme, 129 residues (Canfield 1963), its eight cysteines made four disulfides.
        steps.steps("paste kvfgrcelaa amkrhgldny rgyslgnwvc aakfesnfnt qatnrntdgs tdygilqins rwwcndgrtp gsrnlcnipc "
                    "sallssdita svncakkivs dgngmnawva wrnrckgtdv qawirgcrl");
        steps.steps("buffer Sodium chloride=0.1,Potassium phosphate monobasic (KH2PO4)=0.02");
        steps.steps("tab qtTabExperiment; type qtSedEquilibriumTemp=20; type qtSedVelocityTemp=20;"
                    "type qtSedEquilibriumRPM=20000; type qtSedVelocityCoefficient=1.85; tab qtTabResults;"
                    "click qtVbarMethod");
        const QString figures[][2] = { { "qtSampleVbar", "0.71538" }, { "qtSedEquilibriumMR", "14305.10" },
            { "qtBufferDensity", "1.004302" }, { "qtBufferViscosity", "1.0162E-02" },
            { "qtSedEquilibriumSigma", "0.724816" }, { "qtExperimentResultsMb", "4027.49" },
            { "qtExperimentResultsS", "1.90513e-13" }, { "qtVbarRo", "1.59489e-07" }, { "qtVbarffo", "1.18332" },
            { "qtVbarmaxab", "4.01324" }, { "qtRStokes", "1.88726e-07" } };
        for (const auto &figure : figures)
            QCOMPARE(f.text(figure[0]), figure[1]);
        QVERIFY(f.picture(f.window.get(), "results-tab"));
        steps.steps("tab qtTabExperiment");
        QVERIFY(f.picture(f.window.get(), "experiment-tab"));

        // The pages behind the two Compute buttons, as the README shows them.
        f.click("qtVbarCompute");
        QVERIFY(f.picture(f.window.get(), "composition-page"));
        // The page's vbar is at 25 C, the Sample tab's carried to the run's 20 C.
        const QString page[][2] = { { "qtCalculatedVBar", "0.717507" }, { "qtCalculatedMR", "14305.1" },
            { "qtCalculatedHydration", "0.348016" }, { "qtAbsExtinction", "38460" }, { "qtAbsMgMl", "2.68854844" },
            { "qtIsoElectricPoint", "10.64" }, { "qtpHCharge", "7.86" } };
        for (const auto &figure : page)
            QCOMPARE(f.text("qtStackComposition/" + figure[0]), figure[1]);
        steps.steps("cancel; click qtDensityCompute");
        QVERIFY(f.picture(f.window.get(), "buffer-page"));
        steps.steps("cancel");

        steps.steps("save sample=Lysozyme; save solvent=NaCl 100 mM phosphate 20 mM; save results=Lysozyme shape;"
                    "save experiment=Lysozyme 20 C+offered");
        // The run is stored with the three records its tabs show, as the save dialog offers them.
        QVERIFY(f.db.value("SELECT sample_id > 0 AND buffer_id > 0 AND results_id > 0 FROM experiment "
                           "WHERE name = 'Lysozyme 20 C'")
                    .toBool());
        const QStringList saved = steps.shown();
        steps.steps("new; load qtExperimentName=Lysozyme 20 C");
        QCOMPARE(TestRecordSteps::differences(saved, steps.shown()), QStringList());
    }
};

QTEST_MAIN(TstGuiVornakelFirstRun)
#include "tst_gui_vornakel_firstrun.moc"
