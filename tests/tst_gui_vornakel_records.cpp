#include "app/app_number.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"
#include "gui/gui_watercomposition.h"

#include "test_log.h"
#include "test_mainwindow.h"
#include "test_recordsteps.h"

#include <QClipboard>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <memory>

// The record lists of the main window, loading records into the tabs, clearing them, and a record's
// way through the save dialog and back. The window runs on the shipped calculation module.
class TstGuiVornakelRecords : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;

    // Stored dates as given: the update trigger would write the time of the change.
    bool setModified(const QString &table, const QString &name, const QString &modified) const
    {
        return m_f->sql(QStringLiteral("DROP TRIGGER IF EXISTS %1_update_modified_time").arg(table))
            && m_f->sql(QStringLiteral("UPDATE %1 SET modified = '%2' WHERE name = '%3'").arg(table, modified, name));
    }
    void choose(QComboBox *list, const QString &entry, QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        TestRecordSteps(m_f.get()).choose(list, entry, answer);
    }
    static QStringList entries(const QComboBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }
    void steps(const QString &scenario) { TestRecordSteps(m_f.get()).steps(scenario); }
    QStringList shown() const { return TestRecordSteps(m_f.get()).shown(); }
    static QStringList differences(const QStringList &before, const QStringList &after)
    {
        return TestRecordSteps::differences(before, after);
    }
    static QStringList compared(const QStringList &texts, const QStringList &ignored)
    {
        return TestRecordSteps::without(texts, ignored);
    }
    // The links the save dialog offers for a run, and its note on those it does not offer.
    QString offeredLinks()
    {
        QString offered;
        m_f->answerer.answerWith([&offered](QWidget *w) {
            auto *d = qobject_cast<GuiSaveToDatabase *>(w);
            QVERIFY(d);
            for (const QCheckBox *box : { d->qtLinkToSample, d->qtLinkToSolvent, d->qtLinkToResults }) {
                if (box->isChecked())
                    offered += box->text() + "; ";
            }
            const auto *note = d->findChild<QLabel *>("qtLinkNotes");
            if (note && note->isVisibleTo(d))
                offered += note->text();
            d->close();
        });
        m_f->click("qtExperimentSaveToDB");
        return offered;
    }
    // A record of each kind beside its tab's list, table and tab.
    struct Kind
    {
        const char *list, *table, *tab;
        TestRecordSteps::Part part;
    };
    static Kind kind(const QString &name)
    {
        if (name == "sample")
            return { "qtSampleName", "sample", "Sample", TestRecordSteps::Part::Sample };
        if (name == "solvent")
            return { "qtBufferName", "buffer", "Solvent", TestRecordSteps::Part::Solvent };
        if (name == "experiment")
            return { "qtExperimentName", "experiment", "Experiment", TestRecordSteps::Part::Experiment };
        return { "qtResultsName", "results", "Results", TestRecordSteps::Part::Results };
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::Schema);
        QVERIFY(m_f->db.isValid());
    }
    void cleanup() { m_f.reset(); }

    void listsOrderByDateOrName_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("byName");
        QTest::addColumn<QStringList>("expected");
        const char *const lists[][3] = { { "qtSampleName", "sample", "New Sample" },
            { "qtBufferName", "buffer", "New Solvent" }, { "qtExperimentName", "experiment", "New Experiment" },
            { "qtResultsName", "results", "New Results" } };
        for (const auto &l : lists) {
            // Oldest first; by name capitals come first; the inactive record is not listed; a record
            // without a readable date shows its name alone.
            QTest::addRow("%s by date", l[1])
                << l[0] << l[1] << false
                << QStringList { l[2], "undated", "(01/15/26)  Gamma", "(02/10/26)  beta", "odd", "(03/01/26)  Alpha" };
            QTest::addRow("%s by name", l[1])
                << l[0] << l[1] << true
                << QStringList { l[2], "(03/01/26)  Alpha", "(01/15/26)  Gamma", "(02/10/26)  beta", "odd", "undated" };
        }
    }
    void listsOrderByDateOrName()
    {
        QFETCH(QString, list);
        QFETCH(QString, table);
        QFETCH(bool, byName);
        for (const char *name : { "beta", "Alpha", "zed", "Gamma", "odd", "undated" })
            QVERIFY(m_f->sql(QStringLiteral("INSERT INTO %1 (name) VALUES ('%2')").arg(table, QLatin1String(name))));
        QVERIFY(m_f->sql(QStringLiteral("UPDATE %1 SET active = 0 WHERE name = 'zed'").arg(table)));
        QVERIFY(setModified(table, "Alpha", "2026-03-01 10:00:00") && setModified(table, "beta", "2026-02-10 23:59:59")
            && setModified(table, "Gamma", "2026-01-15") && setModified(table, "odd", "2026-02-30 10:00:00"));
        QVERIFY(m_f->sql(QStringLiteral("UPDATE %1 SET modified = NULL WHERE name = 'undated'").arg(table)));
        QVERIFY(m_f->start());
        auto *names = m_f->widget<QComboBox>(list);
        if (byName)
            m_f->window->findChild<QComboBox *>(QString(list).replace("Name", "SortBy"))->setCurrentIndex(1);
        QTEST(entries(names), "expected");
        QCOMPARE(names->currentIndex(), 0);
        QCOMPARE(names->itemData(0), QVariant());
        QVERIFY(m_f->answerer.seen().isEmpty());
    }

    // The chosen entry survives a new order; a declined question returns to it and loads nothing.
    void chosenEntryIsRemembered()
    {
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('b sample', 0.7175), ('A sample', 0.74)"));
        QVERIFY(m_f->start());
        auto *list = m_f->widget<QComboBox>("qtSampleName");
        choose(list, "b sample");
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.71750"));
        QVERIFY(m_f->checked("qtVbarDirectEntry"));
        m_f->widget<QComboBox>("qtSampleSortBy")->setCurrentIndex(1);
        QVERIFY(list->currentText().endsWith(QLatin1String("b sample")));
        QCOMPARE(list->currentIndex(), 2);
        choose(list, "A sample", QMessageBox::Cancel);
        QVERIFY(list->currentText().endsWith(QLatin1String("b sample")));
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.71750"));
        choose(list, "New Sample", QMessageBox::Cancel);
        QCOMPARE(m_f->answerer.texts(),
            QStringList({ "Are you sure you wish to load this record?", "Are you sure you wish to load this record?",
                "Are you sure you wish to create a new record?" }));
    }

    // The box names the list and the file as well as the driver's complaint; a file put beside the open database
    // that is not used (here a second name of a file, which others may have filled) is named, with what to do.
    void failingListQueryKeepsTheFirstEntry_data()
    {
        QTest::addColumn<bool>("planted");
        QTest::newRow("a table another program renamed") << false;
        QTest::newRow("a file put beside the database") << true;
    }
    void failingListQueryKeepsTheFirstEntry()
    {
        QFETCH(bool, planted);
        QVERIFY(m_f->sql("INSERT INTO results (name) VALUES ('R1')"));
        QVERIFY(m_f->start());
        const QString path = QDir::toNativeSeparators(m_f->db.path());
        const QString journal = path + "-journal";
        if (planted) {
            QVERIFY(TestDatabase::writeHotJournal(
                m_f->db.path(), { "DELETE FROM results" }, { "DELETE FROM sample" }, m_f->db.path() + ".j"));
            QVERIFY(testSecondName(m_f->db.path() + ".j", journal));
        } else {
            QVERIFY(m_f->sql("ALTER TABLE results RENAME TO results_gone"));
        }
        m_f->window->populateResultsRecordList();
        QCOMPARE(m_f->answerer.titles(), QStringList { "Vornakel" });
        const QString text = m_f->answerer.seen().constLast().text;
        if (planted)
            QVERIFY2(text.startsWith("The list of results could not be read.\n\nThe database file\n" + path
                         + "\nis not read or written now: beside it lies " + journal
                         + ", a file with a second name (a hard link)")
                    && text.endsWith("Do not remove it or move it aside: it may hold a change that was cut off, which "
                                     "the database file needs to be whole. Whoever holds its other name may have "
                                     "changed it, though. If you trust them, give it a name of its own (copy it, and "
                                     "put the copy in its place), and try again."),
                qPrintable(text));
        else
            QVERIFY2(text.startsWith("The list of results could not be read from the database file\n" + path
                         + "\n\nThe database gave this reason: no such table: results"),
                qPrintable(text));
        QCOMPARE(entries(m_f->widget<QComboBox>("qtResultsName")), QStringList { "New Results" });
        QVERIFY(!m_f->widget<QComboBox>("qtResultsName")->signalsBlocked());
        QVERIFY(!planted || QFile::remove(journal));
    }

    // Each source of vbar, a computed Mr and hydration, the end-group pKas and the oligomer come back.
    void sampleLoadsEachSource_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QStringList>("expected"); // a checked button, or widget=text
        QTest::newRow("direct vbar") << "VBarDirectEntry, nMer"
                                     << "0.7175, 0"
                                     << QStringList { "qtVbarDirectEntry", "qtSampleVbar=0.71750", "qtMakeOligomer=off",
                                            "qtOligomerN=2" };
        // 0.74 measured at 24 C is 0.74 - 4.25e-4 x 4 at 20 C (Durchschlag 1986).
        QTest::newRow("standard vbar") << "VBarStandard, VbarStandardT, nMer"
                                       << "0.74, 24, 4"
                                       << QStringList { "qtVbarStandard", "qtSampleVbar=0.73830", "qtMakeOligomer=on",
                                              "qtOligomerN=4" };
        // The composition's vbar is its 25 C estimate, shown at 20 C: 0.731201 - 5 x 4.25e-4 (Durchschlag 1986).
        QTest::newRow("computed") << "calcVBar, calcMR, calcHydration, pkaamino, pkacarboxl"
                                  << "0.731201, 14305, 0.35, 7.7, 3.3"
                                  << QStringList { "qtVbarCompute", "qtSampleVbar=0.72908", "qtFromComposition",
                                         "qtHydrateComputed", "qtSedEquilibriumMR=14305.00", "qtHydrateRatio=0.35",
                                         "pka=7.7/3.3" };
        QTest::newRow("direct vbar beside a composition")
            << "VBarDirectEntry, calcVBar, aminoSequence"
            << "0.8, 0.7312, 'KV'" << QStringList { "qtVbarDirectEntry", "qtSampleVbar=0.80000" };
    }
    void sampleLoadsEachSource()
    {
        QFETCH(QString, columns);
        QFETCH(QString, values);
        QFETCH(QStringList, expected);
        QVERIFY(m_f->sql(QStringLiteral("INSERT INTO sample (name, %1) VALUES ('S', %2)").arg(columns, values)));
        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtSampleName"), "S");
        auto *page = m_f->widget<GuiSampleComposition>("qtStackComposition");
        for (const QString &e : expected) {
            const QString name = e.section('=', 0, 0), want = e.section('=', 1);
            if (name == "pka")
                QCOMPARE(QString("%1/%2").arg(page->aminoValue()).arg(page->carboxylValue()), want);
            else if (!e.contains('='))
                QVERIFY2(m_f->checked(name), qPrintable(name));
            else if (auto *box = m_f->window->findChild<QCheckBox *>(name))
                QCOMPARE(box->isChecked() ? "on" : "off", want);
            else
                QCOMPARE(m_f->text(name), want);
        }
        if (values.startsWith("0.74"))
            QCOMPARE(m_f->window->vbarStandardValue()->value() * 100 + m_f->window->vbarStandardValue()->temperature(),
                74.0 + 24);
        QVERIFY(!m_f->window->signalsBlocked());
    }

    // A standard vbar comes back as its Standard button's OK gives it: 0.70 measured at 20 C is 0.70 at 20 C and
    // 0.70 + 4.25e-4 (4 - 20) = 0.6932 at 4 C (Durchschlag 1986). A linked run's anhydrous radius is the dry
    // sphere's at 20 C, as the Results tab gives it: (3 M vbar20 / 4 pi N)^(1/3).
    void standardVbarComesBackAtTheExperimentTemperature_data()
    {
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("vbar");
        QTest::newRow("at 20 C") << "20" << false << "0.70000";
        QTest::newRow("at 4 C") << "4" << false << "0.69320";
        QTest::newRow("linked to a run at 4 C") << "4" << true << "0.69320";
    }
    void standardVbarComesBackAtTheExperimentTemperature()
    {
        QFETCH(QString, temperature);
        QFETCH(bool, linked);
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarStandard, VbarStandardT) VALUES ('Std', 0.70, 20)"));
        QVERIFY(m_f->sql("INSERT INTO experiment (name, Tc, Mp, vbar, calculatedBy, sample_id, buffer_id, results_id, "
                         "radiusMethod) VALUES ('Run', 4, 14305, 0.73, 'qtExactMolecularWeight', 1, -1, -1, 'vbar')"));
        QVERIFY(m_f->start());
        m_f->showTab("qtTabExperiment");
        if (linked) {
            choose(m_f->widget<QComboBox>("qtExperimentName"), "Run");
            const double ro = std::cbrt(3 * 14305 * 0.70 / (4 * M_PI * 6.02214076e23));
            QVERIFY2(std::fabs(m_f->text("qtExperimentResultsRp").toDouble() / ro - 1) < 1e-5,
                qPrintable(m_f->text("qtExperimentResultsRp")));
        } else {
            m_f->type("qtSedEquilibriumTemp", temperature);
            choose(m_f->widget<QComboBox>("qtSampleName"), "Std");
        }
        QVERIFY(m_f->checked("qtVbarStandard"));
        QTEST(m_f->text("qtSampleVbar"), "vbar");
        m_f->showTab("qtTabSample");
        m_f->answerer.answerWith([](QWidget *dialog) { static_cast<QDialog *>(dialog)->accept(); });
        m_f->widget<QAbstractButton>("qtVbarStandard")->click();
        QTEST(m_f->text("qtSampleVbar"), "vbar");
    }

    // An experiment comes back with its own Mr method, whatever was pressed or loaded before: any text but exact Mr
    // and from sigma (none, or an imported row's) is the composition's, with the Mr as stored. A linked sample's
    // computed Mr counts only for that method. Saved again, it stores what was loaded as the file's format names it,
    // by the method's button; rows an earlier release wrote as words are read as well.
    void experimentComesBackWithItsMrMethod_data()
    {
        QTest::addColumn<QString>("method"); // as SQL
        QTest::addColumn<QString>("before"); // a button pressed, or a record loaded, first
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("loaded"); // the run, or the computed sample on its own
        QTest::addColumn<QString>("stored"); // by the save after the load
        QTest::newRow("composition after From Sigma") << "'composition'"
                                                      << "qtFromSigma"
                                                      << "qtFromComposition"
                                                      << "Run"
                                                      << "qtFromComposition";
        QTest::newRow("an older row's composition") << "'qtFromComposition'"
                                                    << "qtFromSigma"
                                                    << "qtFromComposition"
                                                    << "Run"
                                                    << "qtFromComposition";
        QTest::newRow("none after a from-sigma run") << "NULL"
                                                     << "Sigma run"
                                                     << "qtFromComposition"
                                                     << "Run"
                                                     << "qtFromComposition";
        QTest::newRow("an imported text") << "'Mw by light scattering'"
                                          << "qtFromSigma"
                                          << "qtFromComposition"
                                          << "Run"
                                          << "qtFromComposition";
        QTest::newRow("exact after From Sigma") << "'exact'"
                                                << "qtFromSigma"
                                                << "qtExactMolecularWeight"
                                                << "Run"
                                                << "qtExactMolecularWeight";
        QTest::newRow("an older row's exact Mr") << "'qtExactMolecularWeight'"
                                                 << "qtFromSigma"
                                                 << "qtExactMolecularWeight"
                                                 << "Run"
                                                 << "qtExactMolecularWeight";
        QTest::newRow("from sigma, linked to a computed sample") << "'sigma'"
                                                                 << ""
                                                                 << "qtFromSigma"
                                                                 << "Run"
                                                                 << "qtFromSigma";
        QTest::newRow("an older row's from sigma") << "'qtFromSigma'"
                                                   << ""
                                                   << "qtFromSigma"
                                                   << "Run"
                                                   << "qtFromSigma";
        // The sample's button is pressed, and its method is the one in use.
        QTest::newRow("a computed sample on its own after exact Mr") << "'sigma'"
                                                                     << "qtExactMolecularWeight"
                                                                     << "qtFromComposition"
                                                                     << "Computed"
                                                                     << "qtFromComposition";
    }
    void experimentComesBackWithItsMrMethod()
    {
        QFETCH(QString, method);
        QFETCH(QString, before);
        QFETCH(QString, button);
        QFETCH(QString, loaded);
        QFETCH(QString, stored);
        const bool sigma = button == "qtFromSigma";
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry, calcMR) VALUES ('Computed', 0.73, 99999)"));
        QVERIFY(
            m_f->sql(QStringLiteral("INSERT INTO experiment (name, Tc, RPM, sigma, Mp, calculatedBy, sample_id, "
                                    "buffer_id, results_id) VALUES ('Run', 20, 20000, 1.25, 14305, %1, %2, -1, -1), "
                                    "('Sigma run', 20, 20000, 1.25, NULL, 'sigma', -1, -1, -1)")
                         .arg(method, sigma ? "1" : "-1")));
        QVERIFY(m_f->start());
        m_f->showTab("qtTabExperiment");
        if (before.startsWith("qt"))
            m_f->widget<QAbstractButton>(before)->click();
        else if (!before.isEmpty())
            choose(m_f->widget<QComboBox>("qtExperimentName"), before);
        choose(m_f->widget<QComboBox>(loaded == "Run" ? "qtExperimentName" : "qtSampleName"), loaded);
        QVERIFY2(m_f->checked(button), qPrintable(button));
        const double mr = m_f->text("qtSedEquilibriumMR").toDouble();
        const double storedMr = loaded == "Run" ? 14305 : 99999;
        QVERIFY2(sigma ? mr > 0 && mr != 99999 : mr == storedMr, qPrintable(m_f->text("qtSedEquilibriumMR")));

        GuiSaveToDatabase dialog(m_f->db.path(), m_f->window.get());
        dialog.showPage(GuiSaveToDatabase::ExperimentRecordPage);
        dialog.qtExperimentName->lineEdit()->setText(QStringLiteral("Again"));
        dialog.qtExperimentButtonBox->button(QDialogButtonBox::Save)->click();
        QCOMPARE(m_f->db.value("SELECT calculatedBy FROM experiment WHERE name = 'Again'").toString(), stored);
        QCOMPARE(m_f->db.value("SELECT Mp FROM experiment WHERE name = 'Again'").toDouble(), mr);
    }

    // A computed hydration leaves with its sample: "Use computed delta1" is then offered no more. The loader shows
    // it in four digits, as the option does.
    void computedHydrationLeavesWithItsSample_data()
    {
        QTest::addColumn<QString>("next");
        QTest::newRow("a sample without hydration") << "Dry";
        QTest::newRow("a new sample") << "New Sample";
    }
    void computedHydrationLeavesWithItsSample()
    {
        QFETCH(QString, next);
        QVERIFY(m_f->sql("INSERT INTO sample (name, calcHydration) VALUES ('Wet', 0.35123)"));
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('Dry', 0.72)"));
        QVERIFY(m_f->start());
        auto *list = m_f->widget<QComboBox>("qtSampleName");
        choose(list, "Wet");
        const QString ratio = m_f->text("qtHydrateRatio");
        auto *computed = m_f->widget<QAbstractButton>("qtHydrateComputed");
        m_f->showTab("qtTabResults");
        QVERIFY(computed->isEnabled());
        m_f->showTab("qtTabSample");
        choose(list, next);
        m_f->showTab("qtTabResults");
        QVERIFY(!computed->isEnabled());
        QCOMPARE(ratio, QStringLiteral("0.3512"));
    }

    // A failing load says which record could not be loaded (a linked one as the experiment's), from which file, and
    // the reason the database gave, on every path; it leaves nothing suspended.
    void failingLoadSaysWhatAndWhy_data()
    {
        QTest::addColumn<QString>("column"); // table.column, or the table, that another program renamed
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("what");
        QTest::newRow("sample") << "sample.vbarSource"
                                << "qtSampleName"
                                << "S"
                                << "The sample";
        QTest::newRow("its composition") << "aminoComposition.count"
                                         << "qtSampleName"
                                         << "S"
                                         << "The sample";
        QTest::newRow("solvent") << "buffer.densitySource"
                                 << "qtBufferName"
                                 << "B"
                                 << "The solvent";
        QTest::newRow("its components") << "bufferComposition.concentration"
                                        << "qtBufferName"
                                        << "B"
                                        << "The solvent";
        QTest::newRow("experiment") << "experiment.radiusMethod"
                                    << "qtExperimentName"
                                    << "E"
                                    << "The experiment";
        QTest::newRow("results") << "results.hydrationValue"
                                 << "qtResultsName"
                                 << "R"
                                 << "The results";
        QTest::newRow("the run's sample") << "sample.calculations"
                                          << "qtExperimentName"
                                          << "E"
                                          << "The sample of this experiment";
        QTest::newRow("the run's solvent") << "buffer.computedAt20"
                                           << "qtExperimentName"
                                           << "E"
                                           << "The solvent of this experiment";
        QTest::newRow("the run's results") << "results.shape"
                                           << "qtExperimentName"
                                           << "E"
                                           << "The results of this experiment";
        // A file of another version may have no results table at all.
        QTest::newRow("no results table") << "results"
                                          << "qtExperimentName"
                                          << "E"
                                          << "The results of this experiment";
    }
    void failingLoadSaysWhatAndWhy()
    {
        QFETCH(QString, column);
        QFETCH(QString, list);
        QFETCH(QString, entry);
        QFETCH(QString, what);
        QVERIFY(m_f->sql("INSERT INTO sample (name) VALUES ('S')"));
        QVERIFY(m_f->sql("INSERT INTO aminoComposition (sampleId, aminoId, count) VALUES (1, 1, 2)"));
        QVERIFY(m_f->sql("INSERT INTO buffer (name, densityDirectEntry) VALUES ('B', 1.01)"));
        QVERIFY(m_f->sql("INSERT INTO bufferComponent (name) VALUES ('Salt')"));
        QVERIFY(m_f->sql("INSERT INTO bufferComposition (bufferId, componentID, concentration) VALUES (1, 1, 0.1)"));
        QVERIFY(m_f->sql("INSERT INTO results (name, R) VALUES ('R', 3e-9)"));
        QVERIFY(m_f->sql("INSERT INTO experiment (name, Tc, sample_id, buffer_id, results_id) VALUES ('E', 20, 1, 1, "
                         "1)"));
        QVERIFY(m_f->start());
        const QString table = column.section('.', 0, 0);
        const bool wholeTable = !column.contains('.');
        QVERIFY(
            m_f->sql(wholeTable ? "ALTER TABLE " + table + " RENAME TO gone"
                                : "ALTER TABLE " + table + " RENAME COLUMN " + column.section('.', 1) + " TO gone"));
        m_f->answerer.clear();
        choose(m_f->widget<QComboBox>(list), entry);
        const QString expected = what + " could not be loaded from the database file\n"
            + QDir::toNativeSeparators(m_f->db.path()) + "\n\nThe database gave this reason: "
            + (wholeTable ? "no such table: " + table : "no such column: " + column.section('.', 1));
        QStringList failures;
        for (const TestModalAnswerer::Seen &box : m_f->answerer.seen()) {
            if (box.text.contains("could not be loaded"))
                failures << box.title + ": " + box.text;
        }
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].startsWith("Vornakel: " + expected), qPrintable(failures[0]));
        QVERIFY2(!failures[0].contains("Parameter count"), qPrintable(failures[0]));
        QVERIFY(!m_f->window->signalsBlocked() && !m_f->widget<QAbstractButton>("qtHydrateNothing")->signalsBlocked());
    }

    // Each source of density and viscosity comes back with its button; a standard value is computed,
    // the viscosity as the density.
    void solventLoadsEachSource_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("density");
        QTest::addColumn<QString>("viscosity");
        QTest::newRow("direct") << "densityDirectEntry, viscosityDirectEntry"
                                << "1.003, 0.0102" << QStringList { "qtDensityDirectEntry", "qtViscosityDirectEntry" }
                                << "1.003000"
                                << "1.0200E-02";
        // At 20 C the standard values are the values at 20 C.
        QTest::newRow("standard") << "densityStandard, densityStandardT, viscosityStandard, viscosityStandardT"
                                  << "1.003, 20, 0.0102, 20"
                                  << QStringList { "qtDensityStandard", "qtViscosityStandard" } << "1.003000"
                                  << "1.0200E-02";
        QTest::newRow("computed") << "computeDensity, computeViscosity"
                                  << "1.0051, 0.0105" << QStringList { "qtDensityCompute", "qtViscosityCompute" }
                                  << "1.005100"
                                  << "1.0500E-02";
    }
    void solventLoadsEachSource()
    {
        QFETCH(QString, columns);
        QFETCH(QString, values);
        QFETCH(QStringList, buttons);
        QVERIFY(
            m_f->sql(QStringLiteral("INSERT INTO buffer (name, pH, %1) VALUES ('PBS', 7.4, %2)").arg(columns, values)));
        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtBufferName"), "PBS");
        for (const QString &button : buttons)
            QVERIFY2(m_f->checked(button), qPrintable(button));
        QTEST(m_f->text("qtBufferDensity"), "density");
        QTEST(m_f->text("qtBufferViscosity"), "viscosity");
        QCOMPARE(m_f->text("qtBufferpH"), QStringLiteral("7.4000"));
    }

    // A NULL link is no link, like -1: the experiment keeps its own vbar and viscosity.
    void experimentLoadsItsLinks_data()
    {
        QTest::addColumn<QString>("links");
        QTest::addColumn<QString>("vbar");
        QTest::addColumn<QString>("viscosity");
        QTest::addColumn<QString>("sampleEntry");
        QTest::newRow("linked") << "1, 1, 1"
                                << "0.71750"
                                << "1.1000E-02"
                                << "  Lysozyme";
        QTest::newRow("no links") << "-1, -1, -1"
                                  << "0.74000"
                                  << "1.1000E-02"
                                  << "New Sample";
        QTest::newRow("null links") << "NULL, NULL, NULL"
                                    << "0.74000"
                                    << "1.1000E-02"
                                    << "New Sample";
    }
    void experimentLoadsItsLinks()
    {
        QFETCH(QString, links);
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('Lysozyme', 0.7175)"));
        QVERIFY(m_f->sql("INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry) VALUES ('PBS', 1.0051, "
                         "0.0105)"));
        QVERIFY(
            m_f->sql("INSERT INTO results (name, Ro, Rp, av, options, options_value, shape, method) VALUES ('Shape', "
                     "2.5e-9, 2.4e-9, 1.5, 'qtHydrateProlate', 2, 'qtShapeProlate', 'qtVbarMethod')"));
        QVERIFY(
            m_f->sql(QStringLiteral("INSERT INTO experiment (name, Tc, RPM, Mp, vbar, rho, vis, calculatedBy, "
                                    "sample_id, buffer_id, results_id) VALUES ('Run', 20, 20000, 14305, 0.74, 1.004, "
                                    "0.011, 'qtExactMolecularWeight', %1)")
                         .arg(links)));
        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtExperimentName"), "Run");
        QTEST(m_f->text("qtSampleVbar"), "vbar");
        QTEST(m_f->text("qtBufferViscosity"), "viscosity");
        // The experiment's own density and viscosity win: they are the figures it was computed with.
        QCOMPARE(m_f->text("qtBufferDensity"), QStringLiteral("1.004000"));
        QCOMPARE(m_f->text("qtSedEquilibriumMR"), QStringLiteral("14305.00"));
        QVERIFY(m_f->checked("qtExactMolecularWeight"));
        QTEST(m_f->widget<QComboBox>("qtSampleName")->currentText().right(10), "sampleEntry");
        // The linked results keep their stored figures: no handler recomputed them from a half-loaded tab.
        const bool linked = links.startsWith('1');
        QCOMPARE(m_f->text("qtVbarRo"), linked ? AppNumber::toText(2.5e-9) : QString());
        QCOMPARE(m_f->text("qtVbar2amax"), linked ? QStringLiteral("3") : QStringLiteral("0.000"));
        // A load leaves nothing suspended.
        QVERIFY(!m_f->widget<QAbstractButton>("qtHydrateNothing")->signalsBlocked() && !m_f->window->signalsBlocked());
        QCOMPARE(m_f->widget<QComboBox>("qtSampleName")->property("combobox_last_record").toString(),
            QStringLiteral("New Sample"));
    }

    // Each method, option and shape comes back with its button, stored as the button's name, as the file's format
    // has it, or as a word, as an earlier release wrote it.
    void resultsLoadTheirChoices_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QStringList>("expected");
        const char *const choices[][4]
            = { { "vbar", "none", "cylinder", "qtVbarMethod qtHydrateNothing qtShapeCylinder" },
                  { "teller", "prolate", "prolate", "qtTellerMethod qtHydrateProlate qtShapeProlate" },
                  { "vbar", "oblate", "oblate", "qtVbarMethod qtHydrateOblate qtShapeOblate" },
                  { "teller", "computed", "cylinder", "qtTellerMethod qtHydrateComputed qtShapeCylinder" },
                  { "vbar", "delta1", "prolate", "qtVbarMethod qtHydrateDelta1 qtShapeProlate" } };
        for (const auto &choice : choices) {
            const QStringList buttons = QString(choice[3]).split(' ');
            QTest::newRow(qPrintable(QString(choice[1]) + " as words"))
                << choice[0] << choice[1] << choice[2] << buttons;
            QTest::newRow(qPrintable(QString(choice[1]) + " as button names"))
                << buttons[0] << buttons[1] << buttons[2] << buttons;
        }
        // Unknown texts: Teller's method, the current option kept, an oblate shape.
        QTest::newRow("unknown texts") << "by hand"
                                       << "sometimes"
                                       << "spherical"
                                       << QStringList { "qtTellerMethod", "qtHydrateNothing", "qtShapeOblate" };
    }
    void resultsLoadTheirChoices()
    {
        QFETCH(QString, method);
        QFETCH(QString, option);
        QFETCH(QString, shape);
        QFETCH(QStringList, expected);
        QVERIFY(m_f->sql(QStringLiteral("INSERT INTO results (name, R, av, at, bv, bt, method, options, options_value, "
                                        "shape) VALUES ('Shape', 3.1e-9, 1.5, 2, 0.25, 0.5, '%1', '%2', 2.5, '%3')")
                             .arg(method, option, shape)));
        QVERIFY(m_f->start());
        // Loaded while the Results tab is on screen: no tab change brings the enabling up to date.
        m_f->showTab("qtTabResults");
        m_f->window->loadResultsPage(1);
        for (const QString &button : expected)
            QVERIFY2(m_f->checked(button), qPrintable(button));
        const bool axialRatio = expected.contains("qtHydrateProlate") || expected.contains("qtHydrateOblate");
        QCOMPARE(m_f->widget<QWidget>("qtAssumedShape")->isEnabled(), !axialRatio);
        QCOMPARE(m_f->widget("qtHydrateRatio")->isEnabled(), axialRatio || expected.contains("qtHydrateDelta1"));
        QCOMPARE(m_f->text("qtVbar2amax") + ' ' + m_f->text("qtTeller2amax") + ' ' + m_f->text("qtVbar2bmin") + ' '
                + m_f->text("qtTeller2bmin"),
            QStringLiteral("3 4 0.5 1"));
        QCOMPARE(m_f->text("qtRStokes").toDouble(), 3.1e-9);
        QVERIFY(m_f->answerer.seen().isEmpty());
    }

    void clearingGivesTheDefaults_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("new data entry form") << "clear";
        QTest::newRow("each new entry") << "new entries";
        QTest::newRow("defaults row deleted") << "no defaults";
        QTest::newRow("defaults unreadable") << "defaults dropped";
    }
    void clearingGivesTheDefaults()
    {
        QFETCH(QString, how);
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('S', 0.7175)"));
        QVERIFY(m_f->sql("INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry, pH) VALUES ('B', 1.01, "
                         "0.011, 6.5)"));
        QVERIFY(m_f->sql("INSERT INTO experiment (name, Tc, RPM, Mp, sstar, calculatedBy, sample_id, buffer_id, "
                         "results_id) VALUES ('E', 4, 20000, 14305, 4.5e-13, 'qtFromSigma', 1, 1, 1)"));
        QVERIFY(m_f->sql("INSERT INTO results (name, R, av, options, shape) VALUES ('R', 3e-9, 1.5, 'qtHydrateOblate', "
                         "'qtShapeCylinder')"));
        QVERIFY(m_f->start());
        // The run with its sample, solvent and results; New on the run's list first: a new sample, solvent or
        // results make the window show a run of its own, which its list then names as new.
        const char *const lists[][2] = { { "qtExperimentName", "E" }, { "qtSampleName", "S" }, { "qtBufferName", "B" },
            { "qtResultsName", "R" } };
        choose(m_f->widget<QComboBox>("qtExperimentName"), "E");
        QVERIFY(m_f->checked("qtFromSigma") && m_f->checked("qtHydrateOblate"));

        m_f->answerer.clear();
        if (how == "new entries") {
            for (const auto &l : lists)
                choose(m_f->widget<QComboBox>(l[0]), "New ");
        } else {
            if (how == "no defaults")
                QVERIFY(m_f->sql("DELETE FROM defaults"));
            if (how == "defaults dropped")
                QVERIFY(m_f->sql("DROP TABLE defaults"));
            m_f->widget<QAction>("actionNew_Data_Entry_Form")->trigger();
        }
        // The fields return to the defaults read at start; the standard values take the current ones.
        const bool defaults = how == "clear" || how == "new entries";
        QCOMPARE(m_f->window->vbarStandardValue()->value(), defaults ? 0.73 : 0.0);
        QCOMPARE(m_f->window->densityStandardValue()->value(), defaults ? 0.99823 : 0.0);
        const QStringList boxes = how == "defaults dropped" ? QStringList { "Vornakel", "Vornakel" } : QStringList();
        QCOMPARE(m_f->answerer.titles().filter("Vornakel"), boxes);
        QCOMPARE(m_f->text("qtSampleVbar"), QStringLiteral("0.73000"));
        QCOMPARE(m_f->text("qtBufferDensity"), QStringLiteral("0.998230"));
        QCOMPARE(m_f->text("qtBufferpH"), QStringLiteral("7.0000"));
        QCOMPARE(m_f->text("qtSedEquilibriumTemp"), QStringLiteral("20.00"));
        QVERIFY(m_f->text("qtSedEquilibriumRPM").isEmpty() && m_f->text("qtSedEquilibriumMR").isEmpty()
            && m_f->text("qtSedVelocityCoefficient").isEmpty());
        // A source button is pressed once its tab shows.
        const char *const shown[][4] = { { "qtTabSample", "qtVbarStandard", "qtVbarStandard", "qtVbarStandard" },
            { "qtTabSolvent", "qtDensityStandard", "qtViscosityStandard", "qtDensityStandard" },
            { "qtTabExperiment", "qtExactMolecularWeight", "qtExactMolecularWeight", "qtExactMolecularWeight" },
            { "qtTabResults", "qtTellerMethod", "qtHydrateNothing", "qtShapeProlate" } };
        for (const auto &tab : shown) {
            m_f->window->qtTabWidget->setCurrentWidget(m_f->widget<QWidget>(tab[0]));
            for (int i = 1; i < 4; ++i)
                QVERIFY2(m_f->checked(tab[i]), tab[i]);
        }
        QCOMPARE(m_f->window->mrCalculationMethod(), GuiVornakel::MrMethod::ExactMr);
        QCOMPARE(m_f->text("qtVbar2amax") + m_f->text("qtTellerDelta1max") + m_f->text("qtHydrateRatio"),
            QStringLiteral("0.0000.00001.000"));
    }

    // The cleared form's exact Mr method computes s20,w as soon as S* is typed. In water at 20 C with the
    // default vbar, s20,w is s itself: s (eta/eta20,w)(1 - vbar rho20,w)/(1 - vbar rho) with eta = eta20,w
    // and rho = rho20,w (Svedberg and Pedersen 1940).
    void freshWindowGivesS20wFromSAlone()
    {
        QVERIFY(m_f->start());
        m_f->showTab("qtTabExperiment");
        m_f->type("qtSedVelocityCoefficient", "4.5");
        const double s20w = m_f->text("qtExperimentResultsS").toDouble();
        QVERIFY2(std::fabs(s20w / 4.5e-13 - 1) < 1e-3, qPrintable(m_f->text("qtExperimentResultsS")));
    }

    // Saved results belong to the values on the tabs: a new S* is computed before the save. Stokes radius
    // M (1 - vbar rho) / (N s20,w 6 pi eta) with water at 20 C, 0.998234 g/ml and 0.01002 P. Without a molecular
    // weight there are no results: the save says so and stores nothing.
    void savedResultsBelongToTheValuesShown_data()
    {
        QTest::addColumn<bool>("removeMr");
        QTest::newRow("a new S*") << false;
        QTest::newRow("the molecular weight removed") << true;
    }
    void savedResultsBelongToTheValuesShown()
    {
        QFETCH(bool, removeMr);
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('Lysozyme', 0.703)"));
        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtSampleName"), "Lysozyme");
        m_f->showTab("qtTabExperiment");
        m_f->type("qtSedEquilibriumMR", "14307");
        m_f->type("qtSedVelocityCoefficient", "1.91");
        m_f->showTab("qtTabResults");
        QVERIFY(!m_f->text("qtRStokes").isEmpty());
        m_f->showTab("qtTabExperiment");
        m_f->type("qtSedVelocityCoefficient", "1.5");
        if (removeMr)
            m_f->type("qtSedEquilibriumMR", "");
        const double s20w = m_f->text("qtExperimentResultsS").toDouble();

        m_f->answerer.clear();
        // Later: a box the save shows must find the answerer free.
        m_f->answerer.answerWith([](QWidget *w) {
            QTimer::singleShot(0, w, [w] {
                auto *d = qobject_cast<GuiSaveToDatabase *>(w);
                d->qtResultsName->lineEdit()->setText(QStringLiteral("Shape"));
                d->qtResultsButtonBox->button(QDialogButtonBox::Save)->click();
                d->close();
            });
        });
        m_f->widget<QAbstractButton>("qtResultsSaveToDB")->click();
        const QString boxes = m_f->answerer.texts().mid(1).join('|');
        if (removeMr) {
            QVERIFY2(boxes.contains("not saved") && boxes.contains("molecular weight"), qPrintable(boxes));
            QCOMPARE(m_f->db.value("SELECT count(*) FROM results").toInt(), 0);
            return;
        }
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes));
        const double stokes = 14307 * (1 - 0.703 * 0.998234) / (6.02214076e23 * s20w * 6 * M_PI * 0.01002);
        const double stored = m_f->db.value("SELECT R FROM results WHERE name = 'Shape'").toDouble();
        QVERIFY2(std::fabs(stored / stokes - 1) < 1e-4, qPrintable(AppNumber::toText(stored)));
    }

    // A sample's pH and k come back, and what is computed from them follows: the charge at that pH by
    // Henderson and Hasselbalch with the residue pKas of the reference table (Asp 4.0, Arg 12.0; Nozaki and
    // Tanford 1967) and the stored end-group pKas, and so20,w = s20,w / (1 - k c) (Schachman 1959). A sample
    // without them gives the defaults: pH 7 on a fresh page (also after a sample that had one) and k 0.009.
    void sampleBringsBackItsPhAndK_data()
    {
        QTest::addColumn<QStringList>("loaded"); // samples chosen in turn
        QTest::addColumn<double>("pH");
        QTest::addColumn<double>("k");
        QTest::newRow("stored") << QStringList { "Stored" } << 5.5 << 0.012;
        QTest::newRow("not stored") << QStringList { "Unstored" } << 7.0 << 0.009;
        QTest::newRow("not stored, after a stored one") << QStringList { "Stored", "Unstored" } << 7.0 << 0.012;
    }
    void sampleBringsBackItsPhAndK()
    {
        QFETCH(QStringList, loaded);
        QFETCH(double, pH);
        QFETCH(double, k);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->sql("INSERT INTO sample (id, name, pkaamino, pkacarboxl, pH, sk, aminoSequence) VALUES "
                         "(1, 'Stored', 7.7, 3.3, 5.5, 0.012, 'DDR'), (2, 'Unstored', 7.7, 3.3, NULL, NULL, 'DDR')"));
        for (const char *row : { "1, 'ASP', 2", "1, 'ARG', 1", "2, 'ASP', 2", "2, 'ARG', 1" }) {
            const QStringList v = QString::fromLatin1(row).split(", ");
            QVERIFY(m_f->sql(QStringLiteral("INSERT INTO aminoComposition (sampleId, aminoId, count, active) SELECT "
                                            "%1, id, %2, 1 FROM amino WHERE Namethree = %3")
                                 .arg(v[0], v[2], v[1])));
        }
        QVERIFY(m_f->start());
        m_f->showTab("qtTabExperiment");
        m_f->type("qtSedVelocityCoefficient", "2");
        m_f->type("qtSedVelocityConcentration", "5");
        for (const QString &name : loaded)
            choose(m_f->widget<QComboBox>("qtSampleName"), name);

        auto *page = m_f->widget<GuiSampleComposition>("qtStackComposition");
        QCOMPARE(page->qtpH->text().toDouble(), pH);
        const auto ionised = [pH](double pKa, int charge) {
            return charge > 0 ? 1 / (1 + std::pow(10, pH - pKa)) : -1 / (1 + std::pow(10, pKa - pH));
        };
        const double charge = 2 * ionised(4.0, -1) + ionised(12.0, 1) + ionised(7.7, 1) + ionised(3.3, -1);
        QVERIFY2(std::fabs(page->qtpHCharge->text().toDouble() - charge) < 0.006, qPrintable(page->qtpHCharge->text()));
        QCOMPARE(m_f->number("qtSedVelocityK"), k);
        const double so20w = m_f->number("qtExperimentResultsS");
        m_f->type("qtSedVelocityConcentration", "");
        const double s20w = m_f->number("qtExperimentResultsS");
        QVERIFY2(std::fabs(so20w * (1 - k * 5) / s20w - 1) < 1e-3, qPrintable(AppNumber::toText(so20w)));
    }

    // As the newcomer of the report: lysozyme typed on the composition page, a run at 4 C, its results with
    // "Input nothing" (lysozyme's computed hydration matches no axial ratio), all saved, the program started
    // again and the records loaded in each order: the Results tab shows what was saved, and its list names the
    // record while it does. A changed option makes the page a new record; loading the record again shows it.
    void resultsComeBackAsSavedInAnyOrder_data()
    {
        QTest::addColumn<QString>("order");
        QTest::newRow("the experiment linking sample and results") << "experiment";
        QTest::newRow("the results alone") << "results";
        QTest::newRow("the sample, then the results") << "sample results";
    }
    void resultsComeBackAsSavedInAnyOrder()
    {
        QFETCH(QString, order);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        m_f->click("qtFromComposition");
        auto *page = m_f->widget<GuiSampleComposition>("qtStackComposition");
        QCOMPARE(m_f->window->stackedWidget->currentWidget(), page);
        page->qtCalculateMr->setChecked(true);
        // Hen egg-white lysozyme (Canfield 1963).
        for (const QString &entry : QStringLiteral("ALA=12 ARG=11 ASN=14 ASP=7 GLN=3 GLU=2 GLY=12 HIS=1 ILE=6 LEU=8 "
                                                   "LYS=6 MET=2 PHE=3 PRO=2 SER=10 THR=7 TRP=6 TYR=3 VAL=6 CY2=4")
                                        .split(' ')) {
            const QList<QTableWidgetItem *> rows
                = page->qtAminoAcids->findItems(entry.section('=', 0, 0), Qt::MatchExactly);
            QVERIFY(!rows.isEmpty());
            page->qtAminoAcids->item(rows.first()->row(), GuiSampleComposition::AminoCountColumn)
                ->setText(entry.section('=', 1));
        }
        QVERIFY(page->qtCalculatedHydration->text().toDouble() > 0);
        page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        m_f->showTab("qtTabExperiment");
        m_f->type("qtSedEquilibriumTemp", "4");
        // About 1.9 S as s20,w: lysozyme's 1.91 S at 20 C in water, slowed by the cold water's viscosity.
        m_f->type("qtSedVelocityCoefficient", "1.22");
        m_f->showTab("qtTabResults");
        QVERIFY(m_f->checked("qtHydrateNothing"));
        // Lysozyme's Stokes sphere is smaller than its Teller sphere: that method says under the figures that no
        // axial ratio matches.
        QVERIFY2(m_f->answerer.seen().isEmpty()
                && m_f->text("qtResultsNote").startsWith("No axial ratio of this shape matches (Teller method)"),
            qPrintable(m_f->text("qtResultsNote") + '|' + m_f->answerer.texts().join('\n')));
        const auto shown = [this] {
            QStringList texts;
            for (const char *name : { "qtRStokes", "qtVbarRo", "qtTellerRp", "qtVbarFo", "qtTellerFp", "qtVbarffo",
                     "qtTellerffp", "qtVbarSmax", "qtTellerSmax", "qtVbarDmax", "qtTellerDmax", "qtVbarDelta1max",
                     "qtTellerDelta1max", "qtVbarmaxab", "qtTellermaxab", "qtVbar2amax", "qtTeller2amax", "qtVbar2bmin",
                     "qtTeller2bmin", "qtHydrateRatio" })
                texts << QString::fromLatin1(name) + '=' + m_f->text(name);
            for (const char *name : { "qtHydrateNothing", "qtHydrateProlate", "qtHydrateOblate", "qtHydrateComputed",
                     "qtHydrateDelta1", "qtShapeProlate", "qtShapeOblate", "qtShapeCylinder", "qtVbarMethod" })
                texts << QString::fromLatin1(name) + '=' + (m_f->checked(name) ? "on" : "off");
            return texts;
        };
        const QStringList saved = shown();
        QVERIFY2(m_f->number("qtVbar2amax") > 0, qPrintable(saved.join(' ')));
        // The same texts, or the same numbers: the ratio field's "1.000" is stored as 1.
        const auto showsSaved = [&] {
            const QStringList now = shown();
            for (int i = 0; i < saved.size(); ++i) {
                const QString before = saved.at(i).section('=', 1), after = now.at(i).section('=', 1);
                double a = 0, b = 0;
                if (before != after && !(AppNumber::fromText(before, &a) && AppNumber::fromText(after, &b) && a == b)) {
                    qWarning("%s became %s", qPrintable(saved.at(i)), qPrintable(after));
                    return false;
                }
            }
            return true;
        };

        m_f->answerer.clear();
        m_f->answerer.answerWith([](QWidget *w) {
            auto *d = qobject_cast<GuiSaveToDatabase *>(w);
            QVERIFY(d);
            d->showPage(GuiSaveToDatabase::SampleRecordPage);
            d->qtSampleName->lineEdit()->setText(QStringLiteral("HEWL"));
            d->qtSampleButtonBox->button(QDialogButtonBox::Save)->click();
            d->showPage(GuiSaveToDatabase::ResultsRecordPage);
            d->qtResultsName->lineEdit()->setText(QStringLiteral("HEWL shape"));
            d->qtResultsButtonBox->button(QDialogButtonBox::Save)->click();
            d->showPage(GuiSaveToDatabase::ExperimentRecordPage);
            d->qtExperimentName->lineEdit()->setText(QStringLiteral("HEWL 4C velocity"));
            d->qtLinkToSample->setChecked(true);
            d->qtLinkToResults->setChecked(true);
            d->qtExperimentButtonBox->button(QDialogButtonBox::Save)->click();
            d->close();
        });
        m_f->click("qtResultsSaveToDB");
        QVERIFY2(m_f->answerer.seen().size() == 1, qPrintable(m_f->answerer.texts().join('\n')));
        QCOMPARE(
            m_f->db.value("SELECT sample_id || ' ' || results_id FROM experiment").toString(), QStringLiteral("1 1"));

        QVERIFY(m_f->start());
        m_f->answerer.clear();
        auto *results = m_f->widget<QComboBox>("qtResultsName");
        if (order == "experiment") {
            m_f->showTab("qtTabExperiment");
            choose(m_f->widget<QComboBox>("qtExperimentName"), "HEWL 4C velocity");
        } else if (order == "sample results") {
            choose(m_f->widget<QComboBox>("qtSampleName"), "HEWL");
        }
        m_f->showTab("qtTabResults");
        if (order != "experiment")
            choose(results, "HEWL shape");
        QVERIFY(showsSaved());
        QVERIFY2(results->currentText().endsWith(QLatin1String("  HEWL shape")), qPrintable(results->currentText()));
        QVERIFY2(m_f->answerer.texts().filter("Are you sure").size() == m_f->answerer.seen().size(),
            qPrintable(m_f->answerer.texts().join('\n')));

        m_f->click("qtHydrateProlate");
        QVERIFY(!showsSaved());
        QCOMPARE(results->currentIndex(), 0);
        choose(results, "HEWL shape");
        QVERIFY(showsSaved());
        QVERIFY(results->currentText().endsWith(QLatin1String("  HEWL shape")));
    }

    // A source chosen on a tab over its composition page's (a typed or standard figure) switches the page's
    // Calculate box off; the page opened then and cancelled returns to that, not to the box as the page last
    // handed it over: Cancel changes nothing the tabs or pages show, and the record shown stays shown.
    void cancelKeepsTheSourceChosenOnTheTab_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("open"); // the button that opens the page
        QTest::addColumn<QString>("box");
        QTest::newRow("a typed vbar")
            << "counts ALA=12,LYS=6,TRP=6; save sample=zC; tab qtTabSample; click qtVbarDirectEntry;"
               "type qtSampleVbar=0.735"
            << "qtSampleName"
            << "qtFromComposition"
            << "qtStackComposition/qtCalculateVbar";
        QTest::newRow("a standard vbar") << "counts ALA=12,LYS=6,TRP=6; save sample=zC; tab qtTabSample;"
                                            "std qtVbarStandard=0.734@20"
                                         << "qtSampleName"
                                         << "qtFromComposition"
                                         << "qtStackComposition/qtCalculateVbar";
        QTest::newRow("a typed density")
            << "buffer Sodium chloride=0.15; save solvent=zS; tab qtTabSolvent; click qtDensityDirectEntry;"
               "type qtBufferDensity=1.015"
            << "qtBufferName"
            << "qtViscosityCompute"
            << "qtStackBufferComponents/qtCalculateDensity";
    }
    void cancelKeepsTheSourceChosenOnTheTab()
    {
        QFETCH(QString, state);
        QFETCH(QString, list);
        QFETCH(QString, open);
        QFETCH(QString, box);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(state);
        QVERIFY(!QTest::currentTestFailed());
        const auto *group = m_f->widget<QGroupBox>(box);
        QVERIFY(!group->isChecked());
        const int index = m_f->widget<QComboBox>(list)->currentIndex();
        const QStringList before = shown();
        steps("click " + open + "; cancel");
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!group->isChecked());
        const QStringList changed = TestRecordSteps::differences(before, shown());
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
        QCOMPARE(m_f->widget<QComboBox>(list)->currentIndex(), index);
    }

    // A day's states saved and loaded again after a restart, each as a person makes it: every figure, choice and
    // source comes back as it was, and the same later edit gives the same figures as before the save.
    void statesComeBackAsSaved_data()
    {
        QTest::addColumn<QString>("state"); // made, saved: what the load must bring back
        QTest::addColumn<QString>("reload"); // after the restart
        QTest::addColumn<QString>("edit"); // the same later edit, before the restart and after the load
        // Lines the record cannot bring back, by name; "run": a run without its sample keeps no composition, and
        // only what it shows itself is compared (with "results", its results too). Its computed vbar comes back as
        // a standard value at the run's temperature.
        QTest::addColumn<QStringList>("ignored");
        const QString typed = "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.73; tab qtTabSolvent; "
                              "click qtDensityDirectEntry; type qtBufferDensity=1.010; click qtViscosityDirectEntry; "
                              "type qtBufferViscosity=0.0150; tab qtTabExperiment;";
        const QString warmer = "tab qtTabExperiment; type qtSedEquilibriumTemp=25";
        const QString hewl = "counts ALA=12,ARG=11,ASN=14,ASP=7,GLN=3,GLU=2,GLY=12,HIS=1,ILE=6,LEU=8,LYS=6,MET=2,"
                             "PHE=3,PRO=2,SER=10,THR=7,TRP=6,TYR=3,VAL=6,CY2=4;";
        QTest::newRow("a run's own k and typed figures, a velocity temperature apart")
            << typed
                + "type qtSedEquilibriumTemp=20; type qtSedVelocityTemp=10; type qtSedVelocityCoefficient=4.2;"
                  "type qtSedVelocityConcentration=5; type qtSedVelocityK=0.02; save experiment=Run"
            << "load qtExperimentName=Run" << warmer << QStringList();
        // The mature hen egg-white lysozyme chain (Canfield 1963) pasted, its eight cysteines made disulfides.
        QTest::newRow("lysozyme pasted with its disulfides")
            << "paste kvfgrcelaa amkrhgldny rgyslgnwvc aakfesnfnt qatnrntdgs tdygilqins rwwcndgrtp gsrnlcnipc "
               "sallssdita svncakkivs dgngmnawva wrnrckgtdv qawirgcrl; tab qtTabResults; click qtHydrateComputed;"
               "save sample=HEWL"
            << "load qtSampleName=HEWL" << warmer << QStringList();
        QTest::newRow("a run's own k over its sample's") << typed
                + "tab qtTabSample; type qtSampleVbar=0.72; save sample=Lyso; tab qtTabExperiment;"
                  "type qtSedVelocityCoefficient=1.9; type qtSedVelocityConcentration=5; type qtSedVelocityK=0.02;"
                  "save experiment=Run+sample"
                                                         << "load qtExperimentName=Run" << warmer << QStringList();
        QTest::newRow("a run without links after one with them")
            << hewl
                + "buffer Sodium chloride=0.15; tab qtTabResults; click qtHydrateComputed; tab qtTabExperiment;"
                  "type qtSedVelocityCoefficient=1.9; save sample=HEWL; save solvent=Salt;"
                  "save experiment=Linked+sample+solvent; restart;"
                + typed + "type qtSedVelocityCoefficient=4.2; save experiment=Plain"
            << "load qtExperimentName=Linked; load qtExperimentName=Plain" << warmer << QStringList();
        QTest::newRow("a sample saved after the composition page's Clear")
            << "click qtFromComposition; click qtUseDefinedDenaturant; denaturant Urea; click qtMakeOligomer;"
               "type qtOligomerN=3; type qtStackComposition/qtpH=6; click qtClear; ok; save sample=Cleared"
            << "load qtSampleName=Cleared" << warmer << QStringList();
        // Cancel leaves the tab with the sample it held, and the page with it: nothing cancelled is computed,
        // linked or saved.
        const QString zzA = "counts ALA=12,ARG=11,LYS=6,TRP=6; save sample=zzA; residues ALA=20,TRP=0; "
                            "conjugate D-Glucose (residue)=2; pkas 8.5/3.5; cancel;";
        QTest::newRow("a sample's composition page cancelled, the run linked to its sample")
            << zzA + "tab qtTabExperiment; type qtSedVelocityCoefficient=4.2; save experiment=Run+offered"
            << "load qtExperimentName=Run" << warmer << QStringList();
        QTest::newRow("a sample saved after its composition page was cancelled")
            << zzA + "tab qtTabResults; click qtHydrateComputed; save sample=zzB"
            << "load qtSampleName=zzB" << warmer << QStringList();
        QTest::newRow("a typed solvent beside a heavy-water composition")
            << "buffer Sodium chloride=0.15; heavy 50; tab qtTabSolvent; click qtDensityDirectEntry;"
               "type qtBufferDensity=1.05; click qtViscosityDirectEntry; type qtBufferViscosity=0.0125;"
               "save solvent=Typed"
            << "load qtBufferName=Typed" << warmer << QStringList();
        QTest::newRow("a standard solvent at 25 C in a run at 8 C")
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=8; tab qtTabSolvent; std qtDensityStandard=1.0200@25;"
               "std qtViscosityStandard=0.01200@25; save solvent=Std"
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=8; load qtBufferName=Std" << warmer << QStringList();
        // Without links the run keeps each source itself: typed figures stay as typed, standard ones are taken from
        // their dialogs' values to the new temperature.
        QTest::newRow("standard vbar, density and viscosity at 25 C in a run at 8 C without links")
            << typed
                + "type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2; save experiment=Typed run; new;"
                  "tab qtTabExperiment; type qtSedEquilibriumTemp=8; type qtSedEquilibriumMR=66000;"
                  "type qtSedVelocityCoefficient=4.2; tab qtTabSample; std qtVbarStandard=0.734@25; tab qtTabSolvent;"
                  "std qtDensityStandard=1.0200@25; std qtViscosityStandard=0.01200@25; save experiment=Std run"
            << "load qtExperimentName=Typed run; load qtExperimentName=Std run" << warmer
            << QStringList { "qtCalculateVbar" }; // a run without its sample shows a new sample's page
        QTest::newRow("a buffer computed at 25 C, loaded alone at 20 C")
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=25; buffer Sodium chloride=0.15; save solvent=Salt25;"
               "tab qtTabExperiment; type qtSedEquilibriumTemp=20"
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=20; load qtBufferName=Salt25" << warmer << QStringList();
        QTest::newRow("BSA from sigma at 25 C, its velocity at 37 C, with its links")
            << "tab qtTabSample; std qtVbarStandard=0.734@20; save sample=BSA; buffer Sodium chloride=0.15;"
               "save solvent=Saline; tab qtTabExperiment; click qtFromSigma; type qtSedEquilibriumTemp=25;"
               "type qtSedEquilibriumRPM=12000; type qtSedEquilibriumSigma=1.075; type qtSedVelocityTemp=37;"
               "type qtSedVelocityCoefficient=4.2; type qtSedVelocityConcentration=2; tab qtTabResults;"
               "save results=BSA shape; save experiment=BSA run+sample+solvent+results"
            << "load qtExperimentName=BSA run"
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=30" << QStringList();
        QTest::newRow("the radius of the Results tab's method")
            << typed
                + "type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2; tab qtTabResults;"
                  "click qtVbarMethod; save results=Vbar shape; save experiment=Vbar run+results"
            << "load qtExperimentName=Vbar run" << warmer << QStringList();
        QTest::newRow("a buffer whose component was deleted since")
            << "buffer Sodium chloride=0.15,Glycerol=1; save solvent=Mixed;"
               "sql UPDATE BufferComponent SET active = 0 WHERE name = 'Glycerol'"
            << "load qtBufferName=Mixed" << warmer << QStringList { "Glycerol" };
        // Sources a run stores whether or not a button was pressed: the defaults of a fresh form are standard
        // values, corrected again when the temperature changes.
        QTest::newRow("a run typed on a fresh form")
            << "tab qtTabExperiment; type qtSedEquilibriumMR=40000; type qtSedVelocityCoefficient=3.0;"
               "save experiment=Plain"
            << "load qtExperimentName=Plain"
            << "tab qtTabExperiment; type qtSedEquilibriumTemp=30" << QStringList();
        QTest::newRow("a velocity temperature typed equal to the equilibrium one")
            << "tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityTemp=20;"
               "type qtSedVelocityCoefficient=4.2; save experiment=Same"
            << "load qtExperimentName=Same" << warmer << QStringList();
        QTest::newRow("a density typed over a computed buffer, the run linked to it")
            << "buffer Sodium chloride=0.5; save solvent=Salt; tab qtTabSolvent; click qtDensityDirectEntry;"
               "type qtBufferDensity=1.015; tab qtTabExperiment; type qtSedEquilibriumMR=66000;"
               "type qtSedVelocityCoefficient=4.2; save experiment=Run+solvent"
            << "load qtExperimentName=Run" << warmer << QStringList();
        QTest::newRow("results with the computed hydration, linked to a run without its sample")
            << hewl
                + "tab qtTabExperiment; type qtSedVelocityCoefficient=1.9; tab qtTabResults; click qtHydrateComputed;"
                  "save results=HEWL shape; save experiment=Run+results"
            << "load qtExperimentName=Run" << QString()
            << QStringList { "run", "results", "qtVbarStandard", "qtVbarCompute", "Enter Partial Specific Volume" };
        // Urea's binding figures as entered by a person: the composition's vbar in water is not its vbar.
        QTest::newRow("a sample in urea, the run without links")
            << "sql UPDATE denature SET rhomin = 1.12, v3 = 0.75, g3 = 0.1 WHERE Name = 'Urea';"
               "residues ALA=12,ARG=11,ASN=14,ASP=7,GLY=12,LYS=6,TRP=6,VAL=6; denaturant Urea; ok;"
               "tab qtTabExperiment; type qtSedVelocityCoefficient=1.9; save experiment=Urea run"
            << "load qtExperimentName=Urea run" << warmer
            << QStringList { "run", "qtVbarStandard", "qtVbarCompute", "Enter Partial Specific Volume" };
        QTest::newRow("a radius and s20,w typed over the computed ones")
            << "tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;"
               "override qtExperimentResultsS=3.5e-13; override qtExperimentResultsRp=3e-07; save experiment=Typed"
            << "load qtExperimentName=Typed" << warmer << QStringList();
    }
    void statesComeBackAsSaved()
    {
        QFETCH(QString, state);
        QFETCH(QString, reload);
        QFETCH(QString, edit);
        QFETCH(QStringList, ignored);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(state);
        QVERIFY(!QTest::currentTestFailed());
        const auto shownNow = [this, &ignored] {
            if (!ignored.contains("run"))
                return shown();
            const TestRecordSteps view(m_f.get());
            return view.shown(TestRecordSteps::Part::Run)
                + (ignored.contains("results") ? view.shown(TestRecordSteps::Part::Results) : QStringList());
        };
        const QStringList saved = shownNow();
        steps(edit);
        const QStringList edited = shownNow();
        steps("restart;" + reload);
        QVERIFY(!QTest::currentTestFailed());
        QStringList changed = differences(compared(saved, ignored), compared(shownNow(), ignored));
        QVERIFY2(changed.isEmpty(), qPrintable("loaded: " + changed.join("; ")));
        steps(edit);
        changed = differences(compared(edited, ignored), compared(shownNow(), ignored));
        QVERIFY2(changed.isEmpty(), qPrintable("edited: " + changed.join("; ")));
    }

    // The whole day of a newcomer: a buffer composed at 20 C, a run at 4 C linked to it, its sample and its results,
    // the program started again and the run loaded. The Solvent tab shows the figures at 4 C the run was computed
    // with, and s20,w is as before: s (eta/eta20,w)(1 - vbar20 rho20,w)/(1 - vbar rho) (Svedberg and Pedersen 1940),
    // with water at 20 C 0.998234 g/ml and 0.01002 P and vbar20 = vbar + 4.25e-4 (20 - 4) (Durchschlag 1986). The
    // linked results come back by name with their stored figures.
    void linkedRunShowsTheSolventItWasSavedWith()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("buffer Sodium chloride=0.15; save solvent=NaCl150; tab qtTabSample; click qtVbarDirectEntry;"
              "type qtSampleVbar=0.702; save sample=Lysozyme; tab qtTabExperiment; type qtSedEquilibriumTemp=4;"
              "type qtSedEquilibriumMR=14305; type qtSedVelocityCoefficient=1.8; tab qtTabResults;"
              "save results=Lysozyme shape; save experiment=Lysozyme 4C+sample+solvent+results");
        QVERIFY(!QTest::currentTestFailed());
        const QString viscosity = m_f->text("qtBufferViscosity"), ffo = m_f->text("qtVbarffo");
        const double hand = 1.8e-13 * (m_f->number("qtBufferViscosity") / 0.01002)
            * (1 - (0.702 + 4.25e-4 * 16) * 0.998234) / (1 - 0.702 * m_f->number("qtBufferDensity"));
        QVERIFY2(std::fabs(m_f->number("qtExperimentResultsS") / hand - 1) < 1e-4,
            qPrintable(m_f->text("qtExperimentResultsS")));

        steps("restart; load qtExperimentName=Lysozyme 4C");
        QVERIFY2(std::fabs(m_f->number("qtExperimentResultsS") / hand - 1) < 1e-4,
            qPrintable(m_f->text("qtExperimentResultsS")));
        QCOMPARE(m_f->text("qtBufferViscosity"), viscosity);
        m_f->showTab("qtTabResults");
        QVERIFY2(m_f->widget<QComboBox>("qtResultsName")->currentText().endsWith("  Lysozyme shape"),
            qPrintable(m_f->widget<QComboBox>("qtResultsName")->currentText()));
        QCOMPARE(m_f->text("qtVbarffo"), ffo);
    }

    // A save started from a composition page stores what the page shows, as its OK hands it to the tabs: the same
    // row as the save from the tab after OK.
    void pageSaveStoresWhatThePageShows_data()
    {
        QTest::addColumn<QString>("compose");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("table");
        QTest::newRow("the buffer page") << "compose Sodium chloride=0.15"
                                         << "qtTabSolvent"
                                         << "buffer";
        QTest::newRow("the sample page")
            << "tab qtTabExperiment; tab qtTabSample; residues ALA=12,ARG=11,GLY=12,LYS=6,TRP=6"
            << "qtTabSample"
            << "sample";
    }
    void pageSaveStoresWhatThePageShows()
    {
        QFETCH(QString, compose);
        QFETCH(QString, tab);
        QFETCH(QString, table);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        const QString kind = table == "buffer" ? "solvent" : "sample";
        steps(compose + "; pagesave " + kind + "=From page; ok; tab qtTabExperiment; tab " + tab + "; save " + kind
            + "=From tab");
        QVERIFY(!QTest::currentTestFailed());
        const QString columns = table == "buffer"
            ? "densityDirectEntry, viscosityDirectEntry, densityStandard, viscosityStandard, densityStandardT, "
              "viscosityStandardT, computeDensity, computeViscosity, pH, isHeavyWater, D2O, D2O18, H2O18, H2O"
            : "VBarDirectEntry, VBarStandard, VbarStandardT, calcVBar, calcMr, calcHydration, useDenaturant, sk, "
              "pkaamino, pkacarboxl, pH, nMer, aminoSequence";
        const auto row = [&](const QString &name) {
            QStringList values;
            for (const QString &column : columns.split(", "))
                values << column + '='
                        + m_f->db.value(QString("SELECT quote(%1) FROM %2 WHERE name = '%3'").arg(column, table, name))
                              .toString();
            return values;
        };
        const QStringList fromPage = row("From page");
        QVERIFY2(!fromPage.filter(QRegularExpression("^comput|^calcVBar")).join(' ').contains("NULL"),
            qPrintable(fromPage.join(' ')));
        QCOMPARE(fromPage, row("From tab"));
    }

    // A solvent whose component was deleted since it was saved keeps its stored figures; computing it says which
    // component is missing and gives no figures without it.
    void missingComponentIsNamedWhenComputed()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("buffer Sodium chloride=0.15,Glycerol=1; save solvent=Mixed;"
              "sql UPDATE BufferComponent SET active = 0 WHERE name = 'Glycerol'; restart; load qtBufferName=Mixed");
        const QString density = m_f->text("qtBufferDensity"), viscosity = m_f->text("qtBufferViscosity");
        m_f->answerer.clear();
        steps("tab qtTabSolvent; click qtDensityCompute; ok");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(
            boxes.contains("cannot be computed") && boxes.contains("Missing record: 'Glycerol'"), qPrintable(boxes));
        QCOMPARE(m_f->text("qtBufferDensity"), density);
        QCOMPARE(m_f->text("qtBufferViscosity"), viscosity);
    }

    // The shipped denaturants have no binding figures: choosing one says that the vbar is not corrected for it, in
    // one box, the module's warning that every caller has. The page computes again at each count, and says it
    // no more while the choice stands; chosen again after another denaturant, it is said again.
    void denaturantWithoutDataSaysSo()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        const auto said = [this] {
            QStringList boxes;
            for (const TestModalAnswerer::Seen &seen : m_f->answerer.seen())
                boxes << seen.title + ": " + seen.text.section(" (", 0, 0);
            m_f->answerer.clear();
            return boxes;
        };
        steps("click qtFromComposition; click qtUseDefinedDenaturant; denaturant Guanidine hydrochloride");
        const QString box = m_f->answerer.texts().value(0);
        QVERIFY2(box.contains("no data for the denaturant 'Guanidine hydrochloride'")
                && box.contains("vbar is not corrected for it, and is the vbar without denaturant"),
            qPrintable(box));
        QCOMPARE(
            said(), QStringList { "Vornakel Warning: There are no data for the denaturant 'Guanidine hydrochloride'" });
        steps("residues ALA=12,LYS=6; denaturant Guanidine hydrochloride");
        QCOMPARE(said(), QStringList());
        steps("denaturant Urea; denaturant Guanidine hydrochloride");
        QCOMPARE(said(),
            QStringList({ "Vornakel Warning: There are no data for the denaturant 'Urea'",
                "Vornakel Warning: There are no data for the denaturant 'Guanidine hydrochloride'" }));
    }

    // A run whose linked solvent and results have gone from the file (made inactive, or removed by another program
    // using it) shows the figures and sources it was saved with, and says that they have gone: a later change of
    // temperature gives what it gave before the save.
    void aRunWhoseLinksHaveGoneShowsItsOwnFigures()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("buffer Sodium chloride=0.5; save solvent=Salt; tab qtTabExperiment; type qtSedEquilibriumTemp=10;"
              "type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2; tab qtTabResults; click qtVbarMethod;"
              "save results=Shape; save experiment=Run+solvent+results; tab qtTabExperiment;"
              "type qtSedEquilibriumTemp=30");
        QVERIFY(!QTest::currentTestFailed());
        const TestRecordSteps view(m_f.get());
        const QStringList warmed = view.shown(TestRecordSteps::Part::Run);
        steps("restart; sql UPDATE buffer SET active = 0; sql DELETE FROM results");
        m_f->answerer.clear();
        steps("load qtExperimentName=Run");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("saved with its solvent and its results, which are no longer in the database"),
            qPrintable(boxes));
        QCOMPARE(m_f->widget<QComboBox>("qtBufferName")->currentIndex(), 0);
        QCOMPARE(m_f->widget<QComboBox>("qtResultsName")->currentIndex(), 0);
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=30");
        // The buffer page's computation has gone with the solvent: the figures come back as standard values at
        // the run's temperature, as shown, in the digits the run kept of them.
        const QStringList source { "qtDensityStandard", "qtDensityCompute", "qtViscosityStandard", "qtViscosityCompute",
            "Enter Density", "Enter Viscosity" };
        const QStringList changed = TestRecordSteps::differences(
            compared(warmed, source), compared(view.shown(TestRecordSteps::Part::Run), source), 5e-5);
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }

    // A tab that shows something else than the record its list named since that record was loaded or saved (a
    // composition page accepted, a field typed, a choice made, the record saved over by another program using the
    // file) is not that record: its list names a new one where the window can tell, and a run saved now is not
    // linked to the record, saying why. Before the change the link was offered.
    void aTabChangedSinceItsRecordIsNotLinked_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("listNamesNew");
        const QString run = "tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;";
        const QString sample = "counts ALA=12,ARG=11,LYS=6,TRP=6; save sample=zzA;" + run;
        const QString solvent = "buffer Sodium chloride=0.15; save solvent=zzL;" + run;
        const QString results = run + "tab qtTabResults; save results=zzS;";
        QTest::newRow("sample: its composition page accepted") << "sample" << sample << "residues ALA=13; ok" << true;
        QTest::newRow("sample: its pH typed on the page")
            << "sample" << sample << "residues ALA=12; type qtStackComposition/qtpH=6; ok" << true;
        QTest::newRow("sample: its oligomer box ticked")
            << "sample" << sample << "residues ALA=12; toggle qtMakeOligomer; ok" << true;
        QTest::newRow("sample: saved over by another program")
            << "sample" << sample << "sql UPDATE sample SET pH = 6.5 WHERE name = 'zzA'" << false;
        QTest::newRow("solvent: computed in heavy water") << "solvent" << solvent << "heavy 50" << true;
        QTest::newRow("solvent: another component") << "solvent" << solvent << "buffer Glycerol=1" << true;
        QTest::newRow("solvent: its pH typed")
            << "solvent" << solvent << "tab qtTabSolvent; type qtBufferpH=6.5" << true;
        QTest::newRow("solvent: deleted by another program")
            << "solvent" << solvent << "sql DELETE FROM buffer WHERE name = 'zzL'" << false;
        QTest::newRow("results: another shape chosen")
            << "results" << results << "tab qtTabResults; click qtShapeCylinder" << true;
        QTest::newRow("results: another hydration typed")
            << "results" << results << "tab qtTabResults; click qtHydrateDelta1; type qtHydrateRatio=0.3" << true;
        QTest::newRow("results: an input changed since")
            << "results" << results << "tab qtTabExperiment; type qtSedEquilibriumTemp=25" << false;
    }
    void aTabChangedSinceItsRecordIsNotLinked()
    {
        QFETCH(QString, kind);
        QFETCH(QString, state);
        QFETCH(QString, change);
        QFETCH(bool, listNamesNew);
        const Kind k = this->kind(kind);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(state);
        QVERIFY(!QTest::currentTestFailed());
        const QString linked = offeredLinks();
        QVERIFY2(linked.startsWith("Link to " + QString(k.tab)), qPrintable(linked));
        steps(change);
        if (listNamesNew)
            QCOMPARE(m_f->widget<QComboBox>(k.list)->currentIndex(), 0);
        const QString offered = offeredLinks();
        QVERIFY2(!offered.contains("Link to " + QString(k.tab)) && offered.contains("Not linked")
                && offered.contains(kind == "solvent" ? "zzL"
                        : kind == "sample"            ? "zzA"
                                                      : "zzS"),
            qPrintable(offered));
        m_f->answerer.clear();
        steps("save experiment=Run+offered");
        QVERIFY2(m_f->answerer.seen().size() == 1, qPrintable(m_f->answerer.texts().join('\n')));
        const char *column = kind == "sample" ? "sample_id" : kind == "solvent" ? "buffer_id" : "results_id";
        QCOMPARE(m_f->db.value(QString("SELECT %1 FROM experiment WHERE name = 'Run'").arg(column)).toInt(), -1);
    }

    // A record saved from its composition page is what the tab shows once the page's OK has handed it over: its
    // list names it, and a run links it.
    void aRecordSavedFromItsPageIsTheTabsOnceTakenOver_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("compose");
        QTest::newRow("sample") << "sample"
                                << "residues ALA=12,LYS=6,TRP=6";
        QTest::newRow("solvent") << "solvent"
                                 << "compose Sodium chloride=0.15";
    }
    void aRecordSavedFromItsPageIsTheTabsOnceTakenOver()
    {
        QFETCH(QString, kind);
        QFETCH(QString, compose);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(compose + "; pagesave " + kind + "=Paged; ok");
        QVERIFY(m_f->widget<QComboBox>(this->kind(kind).list)->currentText().endsWith("  Paged"));
        const QString linked = offeredLinks();
        QVERIFY2(linked.startsWith("Link to " + QString(this->kind(kind).tab)), qPrintable(linked));
    }

    // A link chosen by hand to a record its tab does not show is asked about: the run is saved without it, or not
    // at all.
    void aLinkToARecordNotShownIsAskedAbout_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("saved without the link") << int(QMessageBox::Save);
        QTest::newRow("cancelled") << int(QMessageBox::Cancel);
    }
    void aLinkToARecordNotShownIsAskedAbout()
    {
        QFETCH(int, answer);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.72; save sample=Typed;"
              "load qtSampleName=New Sample; tab qtTabExperiment; type qtSedEquilibriumMR=66000");
        m_f->answerer.clear();
        steps("save experiment=Run+sample+" + QString(answer == QMessageBox::Save ? "!Save" : "!Cancel"));
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("its sample \"Typed\": the tab shows another record"), qPrintable(boxes));
        QCOMPARE(m_f->db.value("SELECT count(*) FROM experiment").toInt(), answer == QMessageBox::Save ? 1 : 0);
        if (answer == QMessageBox::Save)
            QCOMPARE(m_f->db.value("SELECT sample_id FROM experiment").toInt(), -1);
    }

    // A record another program deleted (or made inactive) since the list was read: choosing it says so, the list is
    // read again without it, and the tab keeps the record it showed under that record's name.
    void aRecordGoneBehindTheWindowIsNotShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("saves");
        QTest::addColumn<QString>("gone");
        const QString run = "tab qtTabExperiment; type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;";
        QTest::newRow("experiment") << "experiment"
                                    << run + "save experiment=xe01; type qtSedEquilibriumTemp=10; save experiment=xe03"
                                    << "DELETE FROM experiment WHERE name = 'xe03'";
        QTest::newRow("results") << "results"
                                 << run
                + "tab qtTabResults; save results=xe01; click qtShapeCylinder; save results=xe03"
                                 << "DELETE FROM results WHERE name = 'xe03'";
        QTest::newRow("sample") << "sample"
                                << "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.72; save sample=xe01;"
                                   "type qtSampleVbar=0.75; save sample=xe03"
                                << "DELETE FROM sample WHERE name = 'xe03'";
        QTest::newRow("solvent, made inactive")
            << "solvent"
            << "tab qtTabSolvent; click qtDensityDirectEntry; type qtBufferDensity=1.01; save solvent=xe01;"
               "type qtBufferDensity=1.02; save solvent=xe03"
            << "UPDATE buffer SET active = 0 WHERE name = 'xe03'";
    }
    void aRecordGoneBehindTheWindowIsNotShown()
    {
        QFETCH(QString, kind);
        QFETCH(QString, saves);
        QFETCH(QString, gone);
        const Kind k = this->kind(kind);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(saves + "; load " + k.list + "=xe01");
        QVERIFY(!QTest::currentTestFailed());
        const TestRecordSteps view(m_f.get());
        const QStringList before = view.shown(k.part);
        steps("sql " + gone);
        m_f->answerer.clear();
        steps(QString("load ") + k.list + "=xe03");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(boxes.contains("The " + kind + " \"") && boxes.contains("xe03\" is no longer in the database file"),
            qPrintable(boxes));
        const auto *list = m_f->widget<QComboBox>(k.list);
        QVERIFY(list->currentText().endsWith("xe01"));
        QVERIFY(!entries(list).join('|').contains("xe03"));
        const QStringList changed = differences(before, view.shown(k.part));
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join("; ")));
    }

    // A run whose linked record was saved over since the run was saved (here by another program using the file)
    // says so, as it says of a link that has gone, and shows its own figures with no list naming that record.
    void aRunWhoseLinkWasSavedOverSaysSo_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("sample saved over") << "sample"
                                           << "UPDATE sample SET pH = 6.5"
                                           << "its sample, which has been saved over with other values since";
        QTest::newRow("solvent saved over") << "solvent"
                                            << "UPDATE buffer SET pH = 6.5"
                                            << "its solvent, which has been saved over with other values since";
        QTest::newRow("results saved over") << "results"
                                            << "UPDATE results SET shape = 'cylinder'"
                                            << "its results, which have been saved over with other values since";
        QTest::newRow("solvent gone, sample saved over")
            << "sample"
            << "UPDATE sample SET pH = 6.5; sql UPDATE buffer SET active = 0"
            << "its solvent, which is no longer in the database (deleted, or made inactive by another program using "
               "the file), and with its sample, which has been saved over";
        QTest::newRow("the same values written again") << "sample"
                                                       << "UPDATE sample SET name = name"
                                                       << "";
    }
    void aRunWhoseLinkWasSavedOverSaysSo()
    {
        QFETCH(QString, kind);
        QFETCH(QString, change);
        QFETCH(QString, said);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("counts ALA=12,ARG=11,LYS=6,TRP=6; save sample=S; buffer Sodium chloride=0.15; save solvent=B;"
              "tab qtTabExperiment; type qtSedVelocityCoefficient=4.2; tab qtTabResults; save results=R;"
              "save experiment=Run+sample+solvent+results; restart; sql "
            + change);
        m_f->answerer.clear();
        steps("load qtExperimentName=Run");
        const QString boxes = m_f->answerer.texts().join('\n');
        if (said.isEmpty()) {
            QVERIFY2(!boxes.contains("This experiment was saved with"), qPrintable(boxes));
            QVERIFY(m_f->widget<QComboBox>("qtSampleName")->currentText().endsWith("  S"));
            return;
        }
        QVERIFY2(boxes.contains(said), qPrintable(boxes));
        QCOMPARE(m_f->widget<QComboBox>(this->kind(kind).list)->currentIndex(), 0);
    }

    // A run linked to a record another program stored after the list was read: the list, read again, names it.
    void aLinkedRecordStoredSinceTheListWasReadIsNamed()
    {
        QVERIFY(m_f->start());
        steps("tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.72; save sample=S;"
              "tab qtTabExperiment; type qtSedEquilibriumMR=66000; save experiment=Run+sample; restart;"
              "sql INSERT INTO sample (name, vbarSource, VBarDirectEntry) VALUES ('Later', 'direct', 0.74);"
              "sql UPDATE experiment SET sample_id = (SELECT max(id) FROM sample), sampleStamp = NULL;"
              "load qtExperimentName=Run");
        QVERIFY(m_f->widget<QComboBox>("qtSampleName")->currentText().endsWith("  Later"));
    }

    // A solvent row saved before figures were stored at 20 C holds the buffer page's figures at the run temperature
    // of its save, heavy water included: it is shown as stored, never corrected a second time.
    void olderSolventRowsShowTheirFiguresAsStored_data()
    {
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<QString>("water"); // heavy P/Q/R, or nothing
        QTest::newRow("0.15 M NaCl at 4 C") << "4"
                                            << "";
        QTest::newRow("10 % D2O and 5 % H2-18O at 8 C") << "8"
                                                        << "10/0/5";
    }
    void olderSolventRowsShowTheirFiguresAsStored()
    {
        QFETCH(QString, temperature);
        QFETCH(QString, water);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=" + temperature + "; buffer Sodium chloride=0.15"
            + (water.isEmpty() ? QString() : "; heavy " + water) + "; save solvent=Salt");
        QVERIFY(!QTest::currentTestFailed());
        const QString density = m_f->text("qtBufferDensity"), viscosity = m_f->text("qtBufferViscosity");
        // What an earlier version stored: the figures as the run showed them, in a row that does not say so.
        QVERIFY(m_f->sql("UPDATE buffer SET computeDensity = :density, computeViscosity = :viscosity, "
                         "computeDensityAt20 = NULL, computeViscosityAt20 = NULL, computedAt20 = NULL, "
                         "densitySource = NULL, viscositySource = NULL",
            { { ":density", m_f->number("qtBufferDensity") }, { ":viscosity", m_f->number("qtBufferViscosity") } }));
        steps("restart; tab qtTabExperiment; type qtSedEquilibriumTemp=" + temperature + "; load qtBufferName=Salt");
        QVERIFY(m_f->checked("qtDensityCompute") && m_f->checked("qtViscosityCompute"));
        QCOMPARE(m_f->text("qtBufferDensity"), density);
        QCOMPARE(m_f->text("qtBufferViscosity"), viscosity);
        // Nor once the temperature changes: the row does not say which temperature its figures are at.
        steps("tab qtTabExperiment; type qtSedEquilibriumTemp=20");
        QCOMPARE(m_f->text("qtBufferViscosity"), viscosity);
    }

    // A speed of 0 is a run without an equilibrium speed, as the velocity runs of older files carry it, and as an
    // empty speed is: only sigma, which needs a speed, is left empty, a note beside the equilibrium figures says so,
    // and every other figure, the Results tab's too, is computed as it would be. The run saves as it was shown, its
    // speed and its empty sigma stored as the format stores them (0.0, which its own readers take as a number).
    void aRunWithoutEquilibriumSpeedIsComputedAndSavedWhole_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("typed in a fresh window") << "typed";
        QTest::newRow("written by the format's own statement") << "stored";
    }
    void aRunWithoutEquilibriumSpeedIsComputedAndSavedWhole()
    {
        QFETCH(QString, how);
        // The format's save stores every field as a number, an empty one as 0.0.
        const QString insert
            = "INSERT INTO experiment (name, Tc, RPM, sigma, sstart, mgml, sstar, vbar, rho, vis, Mp, "
              "Mb, calculatedBy, sample_id, buffer_id, results_id, active) VALUES ('%1', 20, %2, "
              "%2, 20, 0.0, 2.5e-13, 0.73, 0.99823, 0.01002, 14300, 0.0, 'qtExactMolecularWeight', -1, "
              "-1, -1, 1)";
        QVERIFY(m_f->sql(insert.arg("Velocity", "0.0")));
        QVERIFY(m_f->sql(insert.arg("No speed", "NULL")));
        QVERIFY(m_f->start());
        const auto speedNote = [this] {
            const auto *note = m_f->widget<QLabel>("qtNoEquilibriumSpeed");
            return note->isHidden() ? QString() : note->text();
        };
        // The same run with its speed empty: the figures that need no speed.
        if (how == "typed") {
            steps("tab qtTabExperiment; click qtExactMolecularWeight; type qtSedEquilibriumMR=14300;"
                  "type qtSedVelocityCoefficient=2.5");
        } else {
            steps("load qtExperimentName=No speed");
        }
        steps("tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList figures { "qtRStokes", "qtVbarRo", "qtTellerRp", "qtVbarffo", "qtTellerffp",
            "qtExperimentResultsMb", "qtExperimentResultsRp", "qtExperimentResultsS" };
        QStringList withoutSpeed;
        for (const QString &figure : figures)
            withoutSpeed << figure + '=' + m_f->text(figure);
        QVERIFY2(!m_f->text("qtRStokes").isEmpty() && !m_f->text("qtExperimentResultsMb").isEmpty(),
            qPrintable(withoutSpeed.join('\n')));
        const QString noted = speedNote();
        QVERIFY2(noted.startsWith("No equilibrium speed (empty or 0): sigma needs one and is left empty"),
            qPrintable(noted));

        m_f->answerer.clear();
        if (how == "typed")
            steps("tab qtTabExperiment; type qtSedEquilibriumRPM=0");
        else
            steps("tab qtTabExperiment; load qtExperimentName=Velocity");
        steps("tab qtTabResults");
        const auto sameFigures = [&] {
            QStringList now;
            for (const QString &figure : figures)
                now << figure + '=' + m_f->text(figure);
            QCOMPARE(now, withoutSpeed);
            QVERIFY(AppNumber::valueOrZero(m_f->text("qtSedEquilibriumRPM")) == 0.0);
            const auto *speed = m_f->widget<GuiLineEdit>("qtSedEquilibriumRPM");
            QVERIFY(speed->text().isEmpty() || speed->isValid()); // not refused
            QCOMPARE(m_f->text("qtSedEquilibriumSigma"), QString());
            QCOMPARE(speedNote(), noted);
            QVERIFY(m_f->widget<QLabel>("qtResultsErrorText")->text().isEmpty());
        };
        sameFigures();
        // Saved over itself, or anew: nothing refused, and the speed and sigma stored as numbers.
        steps("save experiment=Velocity+!Save");
        const QString boxes = m_f->answerer.texts().join('\n');
        QVERIFY2(!boxes.contains("not a number"), qPrintable(boxes));
        QCOMPARE(m_f->db
                     .value("SELECT typeof(RPM) || ' ' || RPM || ' ' || typeof(sigma) || ' ' || sigma FROM "
                            "experiment WHERE active > 0 AND name = 'Velocity'")
                     .toString(),
            QStringLiteral("real 0.0 real 0.0"));
        QCOMPARE(m_f->db.value("SELECT count(*) FROM experiment WHERE active > 0 AND name = 'Velocity'").toInt(), 1);
        steps("restart; tab qtTabExperiment; load qtExperimentName=Velocity; tab qtTabResults");
        sameFigures();
    }

    // A speed of 0 with each way of giving Mr: only what needs a speed (sigma, and from sigma Mb and Mr) is empty,
    // the rest as with a speed, and the run saved and loaded in a new window shows the same.
    void aSpeedOfZeroLeavesEmptyOnlyWhatNeedsOne_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("mr"); // Mr and Mb given
        QTest::newRow("exact Mr") << "tab qtTabExperiment; click qtExactMolecularWeight; type qtSedEquilibriumMR=14300"
                                  << true;
        QTest::newRow("from composition") << "counts ALA=12,LYS=6,TRP=6; save sample=zF; tab qtTabExperiment" << true;
        QTest::newRow("from sigma") << "tab qtTabExperiment; click qtFromSigma; type qtSedEquilibriumSigma=1.2"
                                    << false;
    }
    void aSpeedOfZeroLeavesEmptyOnlyWhatNeedsOne()
    {
        QFETCH(QString, state);
        QFETCH(bool, mr);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->start());
        steps(state
            + "; type qtSedEquilibriumTemp=20; type qtSedEquilibriumRPM=20000; type qtSedVelocityTemp=20;"
              "type qtSedVelocityCoefficient=4.0; tab qtTabResults; click qtVbarMethod");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList figures { "qtRStokes", "qtVbarRo", "qtTellerRp", "qtVbarffo", "qtTellerffp",
            "qtExperimentResultsMb", "qtExperimentResultsRp", "qtExperimentResultsS", "qtSedEquilibriumMR" };
        const auto shownNow = [&] {
            QStringList now;
            for (const QString &figure : figures)
                now << figure + '=' + m_f->text(figure);
            return now;
        };
        const QStringList withSpeed = shownNow();
        steps("tab qtTabExperiment; type qtSedEquilibriumRPM=0; tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        const QStringList withoutSpeed = shownNow();
        QVERIFY2(!m_f->widget<QLabel>("qtNoEquilibriumSpeed")->isHidden(), qPrintable(withoutSpeed.join('\n')));
        if (mr) {
            QCOMPARE(withoutSpeed, withSpeed);
            QCOMPARE(m_f->text("qtSedEquilibriumSigma"), QString());
        } else {
            QCOMPARE(m_f->text("qtSedEquilibriumMR") + '|' + m_f->text("qtExperimentResultsMb"), QStringLiteral("|"));
        }
        steps("save experiment=Run+offered; restart; tab qtTabExperiment; load qtExperimentName=Run; tab qtTabResults");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(shownNow(), withoutSpeed);
        QVERIFY(!m_f->widget<QLabel>("qtNoEquilibriumSpeed")->isHidden());
    }

    // From sigma, a run without an equilibrium speed has no Mb and no Mr: both are left empty, the note says why,
    // and no box comes with each calculation; once a speed is given they are computed and the note goes.
    void fromSigmaARunWithoutSpeedLeavesItsMrEmptyAndSaysWhy()
    {
        QVERIFY(m_f->start());
        m_f->answerer.clear();
        steps("tab qtTabExperiment; click qtFromSigma; type qtSedEquilibriumSigma=1.2; type qtSedEquilibriumRPM=0");
        const auto *note = m_f->widget<QLabel>("qtNoEquilibriumSpeed");
        QVERIFY2(!note->isHidden()
                && note->text().startsWith("No equilibrium speed (empty or 0): Mb and the Mr from sigma need one"),
            qPrintable(note->text()));
        QCOMPARE(m_f->text("qtSedEquilibriumMR") + '|' + m_f->text("qtExperimentResultsMb"), QStringLiteral("|"));
        QVERIFY2(m_f->answerer.seen().isEmpty(), qPrintable(m_f->answerer.texts().join('\n')));
        steps("type qtSedEquilibriumRPM=20000");
        QVERIFY(m_f->number("qtSedEquilibriumMR") > 0 && m_f->number("qtExperimentResultsMb") > 0);
        QVERIFY(note->isHidden());
    }

    // A sample stored with a sequence and no counts of its own (an older file's, imported, or a row another program
    // wrote) shows that sequence on its composition page and in the sequence dialog; saved, under another name or
    // over itself, it keeps it.
    void aSequenceShownIsASequenceSaved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("save"); // through the Sample tab's button, or its composition page's
        QTest::newRow("under another name") << "SeqS copy"
                                            << "save";
        QTest::newRow("over itself") << "SeqS"
                                     << "save";
        QTest::newRow("by its page, under another name") << "SeqS copy"
                                                         << "click qtFromComposition; pagesave";
        QTest::newRow("by its page, over itself") << "SeqS"
                                                  << "click qtFromComposition; pagesave";
    }
    void aSequenceShownIsASequenceSaved()
    {
        QFETCH(QString, name);
        QFETCH(QString, save);
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        const QString sequence = "KVFGRCELAAAMKRHGLDNYRGYSLGNWVCAAKFESNFNTQ";
        QVERIFY(
            m_f->sql("INSERT INTO sample (name, aminoSequence, aminoSequenceCodeSize) VALUES ('SeqS', :sequence, 1)",
                { { ":sequence", sequence } }));
        QVERIFY(m_f->start());
        steps("load qtSampleName=SeqS");
        QVERIFY(!QTest::currentTestFailed());
        const auto *page = m_f->widget<GuiSampleComposition>("qtStackComposition");
        QCOMPARE(page->findChild<GuiAminoAcidSequence *>()->sequence(), sequence);
        steps(save + " sample=" + name + "+!Save");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(
            m_f->db.value("SELECT aminoSequence FROM sample WHERE active > 0 AND name = :name", { { ":name", name } })
                .toString(),
            sequence);
        QCOMPARE(m_f->db.value("SELECT count(*) FROM sample WHERE active > 0").toInt(), name == "SeqS" ? 1 : 2);
        // Shown again, it is the sequence saved.
        steps("restart; load qtSampleName=" + name);
        QCOMPARE(
            m_f->widget<GuiSampleComposition>("qtStackComposition")->findChild<GuiAminoAcidSequence *>()->sequence(),
            sequence);
    }

    // As a new user: an experiment and its results saved, the program closed and started again, both
    // picked from the lists: every field and label as saved, empty ones empty.
    void savedRecordsComeBackAfterARestart()
    {
        QVERIFY(m_f->sql("INSERT INTO sample (name, VBarDirectEntry) VALUES ('Lysozyme', 0.7175)"));
        QVERIFY(
            m_f->sql("INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry, pH) VALUES ('PBS', 1.0051, "
                     "0.0105, 7.4)"));
        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtSampleName"), "Lysozyme");
        choose(m_f->widget<QComboBox>("qtBufferName"), "PBS");
        m_f->showTab("qtTabExperiment");
        m_f->widget<QAbstractButton>("qtExactMolecularWeight")->click();
        m_f->type("qtSedEquilibriumTemp", "4");
        m_f->type("qtSedEquilibriumRPM", "20000");
        m_f->type("qtSedEquilibriumMR", "14305");
        QVERIFY(!m_f->text("qtSedEquilibriumSigma").isEmpty());
        m_f->showTab("qtTabResults");

        const QStringList fields { "qtSedEquilibriumTemp", "qtSedEquilibriumRPM", "qtSedEquilibriumSigma",
            "qtSedEquilibriumMR", "qtSedVelocityTemp", "qtSedVelocityConcentration", "qtSedVelocityCoefficient",
            "qtSampleVbar", "qtBufferDensity", "qtBufferViscosity", "qtExperimentResultsMb", "qtBufferpH" };
        const QStringList labels { "qtRStokes", "qtVbarRo", "qtTellerRp", "qtVbarFo", "qtTellerFp", "qtVbarffo",
            "qtTellerffp", "qtVbarSmax", "qtTellerSmax", "qtVbarDmax", "qtTellerDmax", "qtVbarDelta1max",
            "qtTellerDelta1max", "qtVbarmaxab", "qtTellermaxab", "qtVbar2amax", "qtTeller2amax", "qtVbar2bmin",
            "qtTeller2bmin", "qtHydrateRatio" };
        auto snapshot = [&] {
            QStringList shown;
            for (const QString &name : fields + labels)
                shown << name + '=' + m_f->text(name);
            for (const char *button : { "qtVbarDirectEntry", "qtDensityDirectEntry", "qtExactMolecularWeight",
                     "qtVbarMethod", "qtHydrateNothing", "qtShapeProlate" })
                shown << QString::fromLatin1(button) + '=' + (m_f->checked(button) ? "on" : "off");
            return shown;
        };
        const QStringList saved = snapshot();
        QVERIFY2(m_f->text("qtSedVelocityConcentration").isEmpty() && !m_f->text("qtVbarRo").isEmpty(),
            qPrintable(saved.join('\n')));

        m_f->answerer.clear();
        m_f->answerer.answerWith([](QWidget *w) {
            auto *d = qobject_cast<GuiSaveToDatabase *>(w);
            QVERIFY(d);
            d->qtExperimentName->lineEdit()->setText(QStringLiteral("Run 7"));
            d->qtLinkToSample->setChecked(true);
            d->qtLinkToSolvent->setChecked(true);
            d->qtExperimentButtonBox->button(QDialogButtonBox::Save)->click();
            d->showPage(GuiSaveToDatabase::ResultsRecordPage);
            d->qtResultsName->lineEdit()->setText(QStringLiteral("Run 7 shape"));
            d->qtResultsButtonBox->button(QDialogButtonBox::Save)->click();
            d->close();
        });
        m_f->widget<QAbstractButton>("qtExperimentSaveToDB")->click();
        QVERIFY2(m_f->answerer.seen().size() == 1, qPrintable(m_f->answerer.texts().join('\n')));
        QVERIFY(m_f->widget<QComboBox>("qtExperimentName")->currentText().endsWith(QLatin1String("  Run 7")));

        QVERIFY(m_f->start());
        choose(m_f->widget<QComboBox>("qtExperimentName"), "Run 7");
        choose(m_f->widget<QComboBox>("qtResultsName"), "Run 7 shape");
        const QStringList shown = snapshot();
        for (int i = 0; i < saved.size(); ++i) {
            const QString before = saved.at(i).section('=', 1), after = shown.at(i).section('=', 1);
            double a = 0, b = 0;
            const bool same
                = before == after || (AppNumber::fromText(before, &a) && AppNumber::fromText(after, &b) && a == b);
            QVERIFY2(same, qPrintable(saved.at(i) + " became " + after));
        }
        QVERIFY(m_f->widget<QComboBox>("qtSampleName")->currentText().endsWith(QLatin1String("  Lysozyme")));
        QVERIFY(m_f->widget<QComboBox>("qtBufferName")->currentText().endsWith(QLatin1String("  PBS")));
    }
};

TEST_MAIN(TstGuiVornakelRecords)
#include "tst_gui_vornakel_records.moc"
