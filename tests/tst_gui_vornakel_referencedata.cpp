#include "app/app_number.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_grapher.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_vornakel.h"

#include "test_mainwindow.h"
#include "test_olddatabase.h"
#include "test_recordsteps.h"

#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <memory>

#include <qwt_plot_curve.h>

// The main window when the reference data change while it shows records: through its own reference data editor
// while a record is on show, or behind it (another program, an earlier session) before a record is loaded. Every
// figure comes from what the window shows, the reference data as they are now included; a tab whose figures are no
// longer those of its stored record does not claim that record, and the person is told what changed. The window
// runs on the shipped calculation module; expected figures are worked by hand from the reference rows.
class TstGuiVornakelReferenceData : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;

    // The sample "zF" of the issue and a solvent "zS", each saved; a change of the reference data each is made of,
    // as another program (or the program in an earlier session) makes it.
    static constexpr const char *zF = "counts ALA=12,LYS=6,TRP=6; save sample=zF";
    static constexpr const char *zS = "buffer Sodium chloride=1; save solvent=zS";
    static constexpr const char *alanineVbar = "UPDATE amino SET vbar = 0.80 WHERE Namethree = 'ALA'";
    static constexpr const char *saltSeries = "UPDATE rhoseries SET c = c + 1 WHERE id = (SELECT componentRhoId FROM "
                                              "BufferComponent WHERE name = 'Sodium chloride')";

    void steps(const QString &scenario) { TestRecordSteps(m_f.get()).steps(scenario); }
    QStringList shown(TestRecordSteps::Part part) const { return TestRecordSteps(m_f.get()).shown(part); }
    QString boxes() const { return m_f->answerer.texts().join('\n'); }
    GuiSampleComposition *samplePage() const { return m_f->widget<GuiSampleComposition>("qtStackComposition"); }
    GuiBufferComponents *bufferPage() const { return m_f->widget<GuiBufferComponents>("qtStackBufferComponents"); }
    int listIndex(const char *list) const { return m_f->widget<QComboBox>(list)->currentIndex(); }

    // The composition's vbar at 25 C: the residues' vbar weighted by their mass (Cohn and Edsall 1943), from the
    // reference rows as they are now.
    double compositionVbar(const QList<QPair<QString, int>> &counts) const
    {
        double mass = 0, volume = 0;
        for (const auto &count : counts) {
            const QVariantMap code { { ":code", count.first } };
            const double mr = m_f->db.value("SELECT Mr FROM amino WHERE Namethree = :code", code).toDouble();
            const double vbar = m_f->db.value("SELECT vbar FROM amino WHERE Namethree = :code", code).toDouble();
            mass += count.second * mr;
            volume += count.second * mr * vbar;
        }
        return volume / mass;
    }
    // A coefficient of the component's density series, as the reference rows hold it now.
    double densitySeries(const QString &component, const char *column) const
    {
        return m_f->db
            .value(QString("SELECT %1 FROM rhoseries WHERE id = (SELECT componentRhoId FROM BufferComponent WHERE "
                           "name = :name)")
                       .arg(column),
                { { ":name", component } })
            .toDouble();
    }
    // A buffer of one component at c mol/l at 20 C: water (0.998234 g/ml, Kestin et al. 1978) and the increment of
    // the component's density series over water, a + b 1e-3 c^1/2 + c 1e-2 c + d 1e-3 c^2 + e 1e-4 c^3 + f 1e-6 c^4.
    double bufferDensity(const QString &component, double c) const
    {
        const auto coefficient = [&](const char *column) { return densitySeries(component, column); };
        return 0.998234 + coefficient("b") * 1e-3 * std::sqrt(c) + coefficient("c") * 1e-2 * c
            + coefficient("d") * 1e-3 * c * c + coefficient("e") * 1e-4 * c * c * c
            + coefficient("f") * 1e-6 * c * c * c * c;
    }
    // The tabs show what the composition page hands over: opened and accepted, it changes nothing they show.
    void verifyTabsTakeThePage(const QString &kind)
    {
        const TestRecordSteps::Part part
            = kind == "sample" ? TestRecordSteps::Part::Sample : TestRecordSteps::Part::Solvent;
        const QStringList before = shown(part);
        m_f->click(kind == "sample" ? "qtVbarCompute" : "qtDensityCompute");
        steps("ok");
        const QStringList changed = TestRecordSteps::differences(before, shown(part));
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }
    // A run saved now, with the links the save dialog offers: the id it stores for the record of that kind.
    int linkOfARunSavedNow(const QString &kind)
    {
        steps("tab qtTabExperiment; type qtSedEquilibriumMR=66000; save experiment=Run+offered");
        return m_f->db
            .value(QString("SELECT %1 FROM experiment WHERE name = 'Run'")
                       .arg(kind == "sample" ? "sample_id" : "buffer_id"))
            .toInt();
    }

    // The density at 20 C of the buffer "zS" (sodium chloride 1 mol/l) moved by `shift` g/ml through its series'
    // c coefficient (its term is c 1e-2 mol/l); false unless the shift changes the figure in its sixth significant
    // digit and not in its fifth, or by 0.01 % and so in its fifth.
    struct DensityShift
    {
        double before, after, coefficient;
    };
    DensityShift densityShift(double shift) const
    {
        const double before = bufferDensity("Sodium chloride", 1);
        return { before, before + shift, densitySeries("Sodium chloride", "c") + shift / 1e-2 };
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->db.isValid());
        QVERIFY(m_f->start());
    }
    void cleanup() { m_f.reset(); }

    // The reference data editor changes a record that the sample or buffer shown is made of: the page computes
    // them again at once, the tabs take the figures that come from it, a box says what changed and what they took, and
    // the tab no longer claims the record it showed, so that a run saved now is not linked to it.
    void aChangeOfReferenceDataReachesTheRecordShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("an amino acid's vbar") << "sample" << zF << "refdata amino/Alanine/qtAAVbar=0.80"
                                              << "vbar 0.781";
        QTest::newRow("an amino acid's Mr") << "sample" << zF << "refdata amino/Lysine/qtAAMr=140"
                                            << "Mr 28";
        QTest::newRow("an amino acid made inactive")
            << "sample" << zF << "refdata amino/Tryptophan/delete"
            << "TRP is no longer in the reference data, and its 6 residues were left out";
        QTest::newRow("a conjugate's vbar")
            << "sample"
            << "residues ALA=12,LYS=6,TRP=6; conjugate D-Glucose (residue)=2; ok; save sample=zF"
            << "refdata conjugate/D-Glucose (residue)/qtConjugateVbar=0.70"
            << "vbar 0.75";
        QTest::newRow("the denaturant's binding") << "sample"
                                                  << "sql UPDATE denature SET v3 = 0.75, g3 = 0.1 WHERE name = 'Urea';"
                                                     "residues ALA=12,LYS=6,TRP=6; denaturant Urea; ok; save sample=zF"
                                                  << "refdata denaturant/Urea/qtDenaturantv3=0.9"
                                                  << "vbar 0.";
        QTest::newRow("a component's density series")
            << "solvent" << zS << "refdata component/Sodium chloride/qtDensityC=" + QString("%1")
            << "density at 20 C 1.0";
        QTest::newRow("a component made inactive")
            << "solvent"
            << "buffer Sodium chloride=1,Glycerol=0.5; save solvent=zS"
            << "refdata component/Glycerol/delete"
            << "Glycerol is no longer in the reference data and was taken out of the buffer";
    }
    void aChangeOfReferenceDataReachesTheRecordShown()
    {
        QFETCH(QString, kind);
        QFETCH(QString, state);
        QFETCH(QString, change);
        QFETCH(QString, said);
        if (change.contains("%1"))
            change = change.arg(AppNumber::toText(densitySeries("Sodium chloride", "c") + 1));
        const char *list = kind == "sample" ? "qtSampleName" : "qtBufferName";
        steps(state);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(listIndex(list) > 0);
        m_f->answerer.clear();
        steps(change);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY2(boxes().contains("The reference data changed") && boxes().contains(said), qPrintable(boxes()));
        QVERIFY2(boxes().contains(kind == "sample" ? "no longer shows the stored sample \"zF\""
                                                   : "no longer shows the stored solvent \"zS\""),
            qPrintable(boxes()));
        QCOMPARE(listIndex(list), 0);
        // What the tabs took from the page is named.
        const QString took = kind == "sample" ? "Taken on the tabs: the Sample tab's vbar"
                                              : "Taken on the tabs: the Solvent tab's density";
        QVERIFY2(boxes().contains(took), qPrintable(boxes()));

        if (QTest::currentDataTag() == QByteArray("an amino acid's vbar")) {
            const double vbar = compositionVbar({ { "ALA", 12 }, { "LYS", 6 }, { "TRP", 6 } });
            QVERIFY2(std::fabs(samplePage()->qtCalculatedVBar->text().toDouble() - vbar) < 5e-6,
                qPrintable(samplePage()->qtCalculatedVBar->text() + " for " + AppNumber::toText(vbar)));
            // Taken to the run's temperature with 4.25e-4 ml/g per kelvin (Durchschlag 1986).
            const double t = m_f->number("qtSedEquilibriumTemp");
            QVERIFY2(std::fabs(m_f->number("qtSampleVbar") - (vbar + 4.25e-4 * (t - 25))) < 5e-6,
                qPrintable(m_f->text("qtSampleVbar")));
        }
        if (QTest::currentDataTag() == QByteArray("a component's density series")) {
            const double density = bufferDensity("Sodium chloride", 1);
            QVERIFY2(std::fabs(bufferPage()->densityAt20().toDouble() - density) < 1e-9,
                qPrintable(
                    AppNumber::toText(bufferPage()->densityAt20().toDouble()) + " for " + AppNumber::toText(density)));
        }
        verifyTabsTakeThePage(kind);
        QCOMPARE(linkOfARunSavedNow(kind), -1);
    }

    // A change made while the composition page is open reaches the tabs when it is closed, by OK or by Cancel.
    void aChangeWhileThePageIsOpenReachesTheTabsWhenItCloses_data()
    {
        QTest::addColumn<QString>("close");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Cancel") << "cancel";
    }
    void aChangeWhileThePageIsOpenReachesTheTabsWhenItCloses()
    {
        QFETCH(QString, close);
        steps(QString(zF) + "; residues ALA=12");
        m_f->answerer.clear();
        steps("refdata amino/Alanine/qtAAVbar=0.80");
        QVERIFY2(boxes().contains("The page shows them"), qPrintable(boxes()));
        steps(close);
        QCOMPARE(listIndex("qtSampleName"), 0);
        const double vbar = compositionVbar({ { "ALA", 12 }, { "LYS", 6 }, { "TRP", 6 } });
        const double t = m_f->number("qtSedEquilibriumTemp");
        QVERIFY2(std::fabs(m_f->number("qtSampleVbar") - (vbar + 4.25e-4 * (t - 25))) < 5e-6,
            qPrintable(m_f->text("qtSampleVbar")));
        QCOMPARE(linkOfARunSavedNow("sample"), -1);
    }

    // An import brings reference data too: the pages keep the composition and buffer they show, computed with
    // them, and the tabs follow as after a change in the editor.
    void anImportKeepsWhatThePagesShow_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("imported");
        QTest::newRow("sample") << "sample" << zF << alanineVbar;
        QTest::newRow("solvent") << "solvent" << zS << saltSeries;
    }
    void anImportKeepsWhatThePagesShow()
    {
        QFETCH(QString, kind);
        QFETCH(QString, state);
        QFETCH(QString, imported);
        steps(state + "; sql " + imported);
        QVERIFY(!QTest::currentTestFailed());
        const QStringList before
            = shown(kind == "sample" ? TestRecordSteps::Part::Sample : TestRecordSteps::Part::Solvent);
        QPushButton importer; // the pages follow an import's signal
        connect(&importer, &QPushButton::clicked, samplePage(), &GuiSampleComposition::onDatabaseImporterRun);
        connect(&importer, &QPushButton::clicked, bufferPage(), &GuiBufferComponents::onDatabaseImporterRun);
        m_f->answerer.clear();
        importer.click();
        QVERIFY2(boxes().contains("The reference data changed"), qPrintable(boxes()));
        const QStringList composition
            = (kind == "sample") ? QStringList { "ALA=12", "LYS=6", "TRP=6" } : QStringList { "Sodium chloride=1" };
        const QStringList after
            = shown(kind == "sample" ? TestRecordSteps::Part::Sample : TestRecordSteps::Part::Solvent);
        for (const QString &part : composition)
            QVERIFY2(before.contains(part) && after.contains(part), qPrintable(after.join("; ")));
        QCOMPARE(listIndex(kind == "sample" ? "qtSampleName" : "qtBufferName"), 0);
        verifyTabsTakeThePage(kind);
    }

    // The page's computed vbar belongs to the sample whichever vbar the run takes: the same counts computed again
    // with reference data another program changed are not the stored sample any more.
    void theComputedVbarIsPartOfTheSampleShown()
    {
        steps(QString(zF) + "; sql " + alanineVbar
            + "; click qtVbarCompute; "
              "click qtStackComposition/qtCompute; ok");
        QCOMPARE(listIndex("qtSampleName"), 0);
        QCOMPARE(linkOfARunSavedNow("sample"), -1);
    }

    // A sample or solvent whose reference data changed since it was saved (by another program, or in an earlier
    // session) comes back with the figures it gives now, says what changed, and its list names a new record.
    // Unchanged reference data say nothing.
    void aRecordLoadedAfterItsReferenceDataChangedSaysSo_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("sample, an amino acid's vbar")
            << "sample" << zF << alanineVbar << "vbar 0.781142 (saved with 0.76246)";
        QTest::newRow("sample, unchanged") << "sample" << zF << ""
                                           << "";
        QTest::newRow("solvent, a component's density series") << "solvent" << zS << saltSeries << "density at 20 C";
        QTest::newRow("solvent, unchanged") << "solvent" << zS << ""
                                            << "";
    }
    void aRecordLoadedAfterItsReferenceDataChangedSaysSo()
    {
        QFETCH(QString, kind);
        QFETCH(QString, state);
        QFETCH(QString, change);
        QFETCH(QString, said);
        const char *list = kind == "sample" ? "qtSampleName" : "qtBufferName";
        steps(state + "; restart" + (change.isEmpty() ? QString() : "; sql " + change));
        QVERIFY(!QTest::currentTestFailed());
        m_f->answerer.clear();
        steps(QString("load ") + list + (kind == "sample" ? "=zF" : "=zS"));
        if (said.isEmpty()) {
            QVERIFY2(!boxes().contains("was saved with figures"), qPrintable(boxes()));
            QVERIFY(listIndex(list) > 0);
            return;
        }
        QVERIFY2(boxes().contains("was saved with figures that its") && boxes().contains(said), qPrintable(boxes()));
        QCOMPARE(listIndex(list), 0);
        if (kind == "sample") {
            const double vbar = compositionVbar({ { "ALA", 12 }, { "LYS", 6 }, { "TRP", 6 } });
            QVERIFY(std::fabs(samplePage()->qtCalculatedVBar->text().toDouble() - vbar) < 5e-6);
        } else {
            QVERIFY(std::fabs(bufferPage()->densityAt20().toDouble() - bufferDensity("Sodium chloride", 1)) < 1e-9);
        }
        verifyTabsTakeThePage(kind);
        QCOMPARE(linkOfARunSavedNow(kind), -1);
    }

    // A sample loaded is compared only in the figures it took from its composition. An imported sample keeps the
    // vbar typed in the older program beside its composition (in calcVBar too, which other programs read), a native
    // one its typed vbar: neither is said to have changed, with the reference data as they were or changed since,
    // and a run saved then links it. Where its vbar is its composition's, a change is said (and the list names a
    // new sample); an imported vbar of 0 is none, and the composition's is the sample's.
    void aSampleIsComparedInTheFiguresItTookFromItsComposition_data()
    {
        QTest::addColumn<QString>("state"); // "import" and the older program's vbarin, or the steps of a native one
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("vbar"); // what the Sample tab shows; "composition": the composition's at 20 C
        QTest::newRow("imported, typed vbar") << "import 0.735"
                                              << ""
                                              << ""
                                              << "0.735";
        QTest::newRow("imported, typed vbar, reference data changed") << "import 0.735" << alanineVbar << ""
                                                                      << "0.735";
        QTest::newRow("imported, typed vbar below 0.5") << "import 0.45" << alanineVbar << ""
                                                        << "0.45";
        QTest::newRow("imported, no vbar") << "import 0" << alanineVbar << ""
                                           << "composition";
        QTest::newRow("native, typed vbar, reference data changed")
            << "counts ALA=12,LYS=6,TRP=6; click qtVbarDirectEntry; type qtSampleVbar=0.735; save sample=zF"
            << alanineVbar << ""
            << "0.735";
        QTest::newRow("native, composition's vbar, reference data changed")
            << QString(zF) << alanineVbar << "vbar 0.781142 (saved with 0.76246)"
            << "composition";
    }
    void aSampleIsComparedInTheFiguresItTookFromItsComposition()
    {
        QFETCH(QString, state);
        QFETCH(QString, change);
        QFETCH(QString, said);
        QFETCH(QString, vbar);
        if (state.startsWith("import ")) {
            TestOldDatabase old;
            QVERIFY(old.isValid());
            QVERIFY(old.exec(old.vornakel(),
                { QString(
                      "INSERT INTO Sample VALUES ('zF', %1, 0, 20, 0.009, 7.7, 3.3, 1, 'AAAAAAAAAAAAKKKKKKWWWWWW', 0)")
                        .arg(state.section(' ', 1)),
                    "INSERT INTO AminoAcidCompositions VALUES ('zF', 'ALA', 12)",
                    "INSERT INTO AminoAcidCompositions VALUES ('zF', 'LYS', 6)",
                    "INSERT INTO AminoAcidCompositions VALUES ('zF', 'TRP', 6)" }));
            QVERIFY(old.importSamples(m_f->db.connectionName()));
        } else {
            steps(state);
        }
        steps("restart" + (change.isEmpty() ? QString() : "; sql " + change));
        QVERIFY(!QTest::currentTestFailed());
        m_f->answerer.clear();
        steps("load qtSampleName=zF; tab qtTabExperiment; type qtSedEquilibriumTemp=20");
        QVERIFY(!QTest::currentTestFailed());
        const double composition = compositionVbar({ { "ALA", 12 }, { "LYS", 6 }, { "TRP", 6 } });
        QVERIFY2(std::fabs(samplePage()->qtCalculatedVBar->text().toDouble() - composition) < 5e-6,
            qPrintable(samplePage()->qtCalculatedVBar->text()));
        // At 20 C with 4.25e-4 ml/g per kelvin from the composition's 25 C estimate (Durchschlag 1986).
        const double shown = vbar == "composition" ? composition + 4.25e-4 * (20 - 25) : vbar.toDouble();
        QVERIFY2(std::fabs(m_f->number("qtSampleVbar") - shown) < 5e-6, qPrintable(m_f->text("qtSampleVbar")));
        if (!said.isEmpty()) {
            QVERIFY2(
                boxes().contains("was saved with figures that its") && boxes().contains(said), qPrintable(boxes()));
            QCOMPARE(linkOfARunSavedNow("sample"), -1);
            return;
        }
        QVERIFY2(!boxes().contains("was saved with figures"), qPrintable(boxes()));
        QVERIFY(listIndex("qtSampleName") > 0);
        QCOMPARE(linkOfARunSavedNow("sample"), m_f->db.value("SELECT id FROM sample WHERE name = 'zF'").toInt());
    }

    // A run loaded after the reference data of its sample or solvent changed shows the figures it was saved with,
    // its results' among them, and says which record no longer gives them; that record is not shown as its.
    void aRunLoadedAfterItsReferenceDataChangedShowsItsOwnFigures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("sample") << "sample" << alanineVbar
                                << "its sample, whose composition gives other figures with the reference data as "
                                   "they are now: vbar 0.781142 (saved with 0.76246)";
        QTest::newRow("solvent") << "solvent" << saltSeries
                                 << "its solvent, whose components give other figures with the reference data as "
                                    "they are now: density at 20 C";
    }
    void aRunLoadedAfterItsReferenceDataChangedShowsItsOwnFigures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, change);
        QFETCH(QString, said);
        steps(QString(zF) + ";" + zS
            + ";"
              "tab qtTabExperiment; type qtSedEquilibriumTemp=10; type qtSedVelocityCoefficient=4.2;"
              "tab qtTabResults; click qtVbarMethod; save results=R; save experiment=Run+sample+solvent+results");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList run = shown(TestRecordSteps::Part::Run), results = shown(TestRecordSteps::Part::Results);
        steps("restart; sql " + change);
        m_f->answerer.clear();
        steps("load qtExperimentName=Run");
        QVERIFY2(boxes().contains(said), qPrintable(boxes()));
        QCOMPARE(listIndex(kind == "sample" ? "qtSampleName" : "qtBufferName"), 0);
        // The figures it was saved with, its Results tab's as stored; the record not shown as its own comes back
        // as a standard value at the run's temperature, in the digits the run kept of it, and a sample not shown
        // offers no computed hydration.
        const QStringList sources { "qtVbarStandard", "qtVbarCompute", "qtDensityStandard", "qtDensityCompute",
            "qtViscosityStandard", "qtViscosityCompute", "Enter Partial Specific Volume", "Enter Density",
            "Enter Viscosity", "computed hydration offered" };
        QStringList changed = TestRecordSteps::differences(TestRecordSteps::without(run, sources),
            TestRecordSteps::without(shown(TestRecordSteps::Part::Run), sources), 5e-5);
        changed << TestRecordSteps::differences(TestRecordSteps::without(results, sources),
            TestRecordSteps::without(shown(TestRecordSteps::Part::Results), sources));
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }

    // The run of the sample "zF": Mr from its composition, the equilibrium and velocity at 20 C, S* 4.0, the
    // Results tab by the vbar method, on show.
    static QString zFRun()
    {
        return "tab qtTabExperiment; type qtSedEquilibriumTemp=20; type qtSedEquilibriumRPM=20000; "
               "type qtSedVelocityTemp=20; type qtSedVelocityCoefficient=4.0; tab qtTabResults; click qtVbarMethod";
    }
    // Every figure of the run and its results as the window shows them now.
    QStringList runFigures() const { return shown(TestRecordSteps::Part::Run) + shown(TestRecordSteps::Part::Results); }
    // The lines of two showings that differ, the names of the records and the typed hydration set aside; with
    // `sources`, also how the vbar, density and viscosity were obtained (a run whose sample gives other figures now
    // shows its own as standard values).
    static QStringList figuresApart(const QStringList &before, const QStringList &after, bool sources = false)
    {
        QStringList aside { "qtSampleName", "qtExperimentName", "qtResultsName", "qtBufferName", "qtHydrateRatio" };
        if (sources)
            aside << "qtVbarStandard"
                  << "qtVbarCompute"
                  << "qtDensityStandard"
                  << "qtDensityCompute"
                  << "qtViscosityStandard"
                  << "qtViscosityCompute"
                  << "Enter Partial Specific Volume"
                  << "Enter Density"
                  << "Enter Viscosity"
                  << "computed hydration offered";
        return TestRecordSteps::differences(
            TestRecordSteps::without(before, aside), TestRecordSteps::without(after, aside));
    }

    // A change of reference data reaches every tab at once or none of them: where the Sample tab takes the
    // composition's new vbar, the Experiment and Results tabs show what a window given those inputs afresh shows,
    // the Results tab too while it is on show; where the tab does not take it (its page's vbar calculation is off),
    // no figure of the window changes, the radius and shape figures included. The box says which it is.
    void aChangeOfReferenceDataReachesEveryTabOrNone_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("taken");
        QTest::newRow("taken") << QString(zF) << true;
        QTest::newRow("not taken") << QString(zF)
                + "; click qtFromComposition; box qtStackComposition/qtCalculateVbar=off; ok"
                                   << false;
    }
    void aChangeOfReferenceDataReachesEveryTabOrNone()
    {
        QFETCH(QString, state);
        QFETCH(bool, taken);
        steps(state + ";" + zFRun());
        QVERIFY(!QTest::currentTestFailed());
        const QStringList before = runFigures();
        steps("tab qtTabResults"); // read, the figures of every tab were shown
        m_f->answerer.clear();
        steps("refdata amino/Alanine/qtAAVbar=0.80");
        QVERIFY(!QTest::currentTestFailed());
        // The Results tab, still on show, is up to date without a change of tab.
        QCOMPARE(m_f->text("qtVbarRo"), m_f->text("qtExperimentResultsRp"));
        // The box says which figures the tabs took, and which they left as they were.
        const QString took = "Taken on the tabs: the Sample tab's vbar.";
        const QString left = "Left as they were on the tabs, as they do not come from the composition: the Sample "
                             "tab's vbar.";
        QVERIFY2(boxes().contains(taken ? took : left) && !boxes().contains(taken ? left : took), qPrintable(boxes()));
        const QStringList after = runFigures();
        const QStringList changed = figuresApart(before, after);
        if (!taken) {
            QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
            // Nor does a run temperature changed and changed back bring the page's new vbar in.
            steps("tab qtTabExperiment; type qtSedEquilibriumTemp=25; type qtSedEquilibriumTemp=20; tab qtTabResults");
            const QStringList back = figuresApart(before, runFigures());
            QVERIFY2(back.isEmpty(), qPrintable(back.join("; ")));
            return;
        }
        // The composition's vbar at 20 C, 4.25e-4 ml/g per kelvin below its 25 C estimate (Durchschlag 1986).
        const double vbar = compositionVbar({ { "ALA", 12 }, { "LYS", 6 }, { "TRP", 6 } }) + 4.25e-4 * (20 - 25);
        QVERIFY2(std::fabs(m_f->number("qtSampleVbar") - vbar) < 5e-6, qPrintable(m_f->text("qtSampleVbar")));
        QCOMPARE(m_f->text("qtExperimentResultsRp"), m_f->text("qtVbarRo"));
        // A window given the same inputs afresh shows the same figures (with no hydration, as the run had).
        steps("restart; load qtSampleName=zF;" + zFRun() + "; click qtHydrateNothing");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList afresh = figuresApart(after, runFigures());
        QVERIFY2(afresh.isEmpty(), qPrintable(afresh.join("; ")));
    }

    // A run saved after a change of reference data holds the one set of inputs its window showed (the vbar and the
    // composition's vbar in water that s20,w is normalised with belong together): loaded in a new window it shows
    // what the saving window showed.
    void aRunSavedAfterAChangeComesBackAsShown_data() { aChangeOfReferenceDataReachesEveryTabOrNone_data(); }
    void aRunSavedAfterAChangeComesBackAsShown()
    {
        QFETCH(QString, state);
        steps(state + ";" + zFRun() + "; refdata amino/Alanine/qtAAVbar=0.80");
        QVERIFY(!QTest::currentTestFailed());
        steps("save sample=zF2; save results=R; save experiment=Run+sample+results");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList saved = runFigures();
        // At 20 C and without a denaturant the composition's vbar in water is the run's vbar: one set of inputs.
        const double vbar = m_f->db.value("SELECT vbar FROM experiment WHERE name = 'Run'").toDouble();
        const double water = m_f->db.value("SELECT vbarWater FROM experiment WHERE name = 'Run'").toDouble();
        QVERIFY2(std::fabs(vbar - water) < 5e-6, qPrintable(QString("vbar %1, in water %2").arg(vbar).arg(water)));
        steps("restart; load qtExperimentName=Run");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList changed = figuresApart(saved, runFigures(), true);
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }

    // Any change of reference data behind a run, on the Results tab on show or not, saved and reloaded in a new
    // window: it shows what the saving window showed.
    void aRunSavedAfterAnyChangeComesBackAsShown_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("change");
        const QString conjugate = "residues ALA=12,LYS=6,TRP=6; conjugate D-Glucose (residue)=2; ok; save sample=zF";
        const QString urea = "sql UPDATE denature SET v3 = 0.75, g3 = 0.1 WHERE name = 'Urea';"
                             "residues ALA=12,LYS=6,TRP=6; denaturant Urea; ok; save sample=zF";
        const QString buffer = QString(zF) + ";" + zS;
        for (const char *where : { "Results on show", "Experiment on show" }) {
            const QString tab = where[0] == 'R' ? "" : "tab qtTabExperiment;";
            QTest::addRow("a conjugate's vbar, %s", where)
                << conjugate << tab + "refdata conjugate/D-Glucose (residue)/qtConjugateVbar=0.70";
            QTest::addRow("a conjugate's Mr, %s", where)
                << conjugate << tab + "refdata conjugate/D-Glucose (residue)/qtConjugateMr=200";
            QTest::addRow("a denaturant's binding, %s", where)
                << urea << tab + "refdata denaturant/Urea/qtDenaturantv3=0.9";
            QTest::addRow("a component's viscosity series, %s", where)
                << buffer << tab + "refdata component/Sodium chloride/qtViscosityB=%1";
            QTest::addRow("a component's density series, %s", where)
                << buffer << tab + "refdata component/Sodium chloride/qtDensityC=%2";
        }
    }
    void aRunSavedAfterAnyChangeComesBackAsShown()
    {
        QFETCH(QString, state);
        QFETCH(QString, change);
        const QString series = "SELECT %1 FROM %2 WHERE id = (SELECT %3 FROM BufferComponent WHERE name = 'Sodium "
                               "chloride')";
        change = change.arg(
            AppNumber::toText(m_f->db.value(series.arg("b", "viscseries", "componentViscId")).toDouble() * 2 + 1),
            AppNumber::toText(densitySeries("Sodium chloride", "c") + 1));
        steps(state + ";" + zFRun());
        QVERIFY(!QTest::currentTestFailed());
        const QStringList before = runFigures();
        steps(change + "; tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList shownThen = runFigures();
        QVERIFY(!figuresApart(before, shownThen).isEmpty());
        const QString links = state.contains("solvent") ? "+sample+solvent+results" : "+sample+results";
        steps(QString("save sample=zF2;") + (state.contains("solvent") ? "save solvent=zS2;" : "")
            + "save results=R; save experiment=Run" + links);
        QVERIFY(!QTest::currentTestFailed());
        const QStringList saved = runFigures();
        QStringList changed = figuresApart(shownThen, saved);
        QVERIFY2(changed.isEmpty(), qPrintable("on saving: " + changed.join("; ")));
        steps("restart; load qtExperimentName=Run");
        QVERIFY(!QTest::currentTestFailed());
        changed = figuresApart(saved, runFigures(), true);
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }

    // A change of reference data is told however little it moves a figure: a density at 20 C moved only in its
    // sixth significant digit is said, with what it was; and a solvent whose stored figures at 20 C are 0.01 % off
    // its series is computed again when loaded, and says so.
    void aSmallChangeOfAFigureIsTold_data()
    {
        QTest::addColumn<bool>("loaded"); // the change made behind the window, before the solvent is loaded
        QTest::addColumn<double>("relative"); // the density's shift over its value
        QTest::newRow("in the editor, the sixth digit") << false << 1e-5;
        QTest::newRow("on loading, 0.01 %") << true << 1e-4;
    }
    void aSmallChangeOfAFigureIsTold()
    {
        QFETCH(bool, loaded);
        QFETCH(double, relative);
        steps(zS);
        QVERIFY(!QTest::currentTestFailed());
        DensityShift shift = densityShift(relative * bufferDensity("Sodium chloride", 1));
        if (!loaded) {
            // Toward the figure of five digits nearest, so that only the sixth tells the two apart.
            const double step = 1e-4, inStep = std::fmod(shift.before, step) / step;
            if (inStep < 0.5)
                shift = densityShift(-relative * shift.before);
            QCOMPARE(AppNumber::toText(shift.after, 5), AppNumber::toText(shift.before, 5));
        }
        QVERIFY(AppNumber::toText(shift.after, 6) != AppNumber::toText(shift.before, 6));
        m_f->answerer.clear();
        if (loaded) {
            steps(QString("restart; sql UPDATE rhoseries SET c = %1 WHERE id = (SELECT componentRhoId FROM "
                          "BufferComponent WHERE name = 'Sodium chloride'); load qtBufferName=zS")
                      .arg(AppNumber::toText(shift.coefficient)));
        } else {
            steps("refdata component/Sodium chloride/qtDensityC=" + AppNumber::toText(shift.coefficient));
        }
        QVERIFY(!QTest::currentTestFailed());
        const QString said = QString("density at 20 C %1 (%2 %3)")
                                 .arg(AppNumber::toText(shift.after, 6), loaded ? "saved with" : "was",
                                     AppNumber::toText(shift.before, 6));
        QVERIFY2(boxes().contains(said), qPrintable(said + " in: " + boxes()));
        QVERIFY2(std::fabs(bufferPage()->densityAt20().toDouble() - shift.after) < 1e-9,
            qPrintable(AppNumber::toText(bufferPage()->densityAt20().toDouble())));
        QCOMPARE(listIndex("qtBufferName"), 0);
    }

    // A spectrum changed in the editor is the one the absorbance graph draws next.
    void aChangedSpectrumIsTheOneTheGraphDraws()
    {
        steps("residues TRP=6");
        GuiDataUpdate *editor = m_f->window->referenceDataEditor();
        m_f->window->actionUpdate_Extinction_Data->trigger();
        QTest::keyClicks(editor->qtRecordSearch, "TRP");
        QCOMPARE(editor->qtRecordName->text(), QString("TRP"));
        QTableWidget *grid = editor->qtExtinctionTable;
        int row = 0;
        while (row < grid->rowCount() && grid->item(row, 0)->text().toDouble() != 280)
            ++row;
        QVERIFY(row < grid->rowCount());
        grid->item(row, 1)->setText("6000");
        QPushButton *apply = editor->qtExtinctionButtonBox->button(QDialogButtonBox::Apply);
        QVERIFY(apply->isEnabled());
        apply->click();
        samplePage()->qtGraphAbsorbance->click();
        GuiGrapher *graph = nullptr;
        for (GuiGrapher *g : testTopLevels<GuiGrapher>())
            graph = g->isVisible() ? g : graph;
        QVERIFY(graph && !graph->curves().isEmpty());
        const QwtPlotCurve *curve = graph->curves().first();
        double at280 = -1;
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            if (curve->sample(i).x() == 280)
                at280 = curve->sample(i).y();
        }
        // Six tryptophans of 6000 1/(M cm) each.
        QCOMPARE(at280, 36000.0);
    }
};

QTEST_MAIN(TstGuiVornakelReferenceData)
#include "tst_gui_vornakel_referencedata.moc"
