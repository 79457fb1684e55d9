#include "gui/gui_resultfigure.h"
#include "gui/gui_savetodatabase.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_records.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_mainwindow.h"

#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>
#include <ctime>
#include <memory>
#include <sys/stat.h>

class TstGuiSaveToDatabase : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;

    static QPushButton *save(QDialogButtonBox *box) { return box->button(QDialogButtonBox::Save); }
    // A dialog on the page, as the window opens it, but not run modally.
    std::unique_ptr<GuiSaveToDatabase> dialog(GuiSaveToDatabase::Page page)
    {
        GuiVornakel *w = m_f->window.get();
        auto d = std::make_unique<GuiSaveToDatabase>(m_f->db.path(), w);
        connect(d.get(), &GuiSaveToDatabase::sigSampleRecordsChanged, w, &GuiVornakel::populateSampleRecordList);
        connect(
            d.get(), &GuiSaveToDatabase::sigExperimentRecordsChanged, w, &GuiVornakel::populateExperimentRecordList);
        connect(d.get(), &GuiSaveToDatabase::sigResultsRecordsChanged, w, &GuiVornakel::populateResultsRecordList);
        d->showPage(page);
        return d;
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::Schema);
        QVERIFY(m_f->db.isValid());
        QVERIFY(m_f->sql("INSERT INTO sample (name) VALUES ('Lysozyme')"));
        QVERIFY(m_f->sql("INSERT INTO buffer (name) VALUES ('PBS')"));
        QVERIFY(m_f->sql("INSERT INTO results (name) VALUES ('Run 1 shape')"));
        QVERIFY(m_f->sql(
            "INSERT INTO experiment (name, Tc, sample_id, buffer_id, results_id) VALUES ('Run 1', 4, 1, 1, -1)"));
        QVERIFY(m_f->start(TestMainWindow::Show::No));
    }
    void cleanup() { m_f.reset(); }

    void eachSaveCommandOpensItsPage_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("tab");
        QTest::newRow("sample button") << "qtSampleSaveToDB"
                                       << "qtSampleTab";
        QTest::newRow("solvent button") << "qtBufferSaveToDB"
                                        << "qtSolventTab";
        QTest::newRow("experiment button") << "qtExperimentSaveToDB"
                                           << "qtExperimentTab";
        QTest::newRow("results button") << "qtResultsSaveToDB"
                                        << "qtResultsTab";
        QTest::newRow("a menu action") << "actionSave_Results_in_Database"
                                       << "qtSampleTab";
    }
    void eachSaveCommandOpensItsPage()
    {
        QFETCH(QString, command);
        QFETCH(QString, tab);
        QString shown;
        int names = 0;
        m_f->answerer.answerWith([&](QWidget *w) {
            auto *d = qobject_cast<GuiSaveToDatabase *>(w);
            if (d) {
                shown = d->qtTabWidget->currentWidget()->objectName();
                names = qobject_cast<QComboBox *>(d->qtTabWidget->currentWidget()->findChildren<QComboBox *>().value(0))
                            ->count();
            }
            w->close();
        });
        if (auto *button = m_f->window->findChild<QAbstractButton *>(command))
            button->click();
        else
            m_f->window->findChild<QAction *>(command)->trigger();
        QCOMPARE(shown, tab);
        QCOMPARE(names, 2); // the new record and the stored one
    }

    void saveNeedsANameAndTypingKeepsTheLinks()
    {
        QVERIFY(m_f->sql("DROP TRIGGER experiment_update_modified_time"));
        QVERIFY(m_f->sql("UPDATE experiment SET modified = '2026-03-05 23:10:00'"));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        QVERIFY(!save(d->qtExperimentButtonBox)->isEnabled());
        QVERIFY(d->qtLinkToSample->isEnabled() && d->qtLinkToSolvent->isEnabled() && d->qtLinkToResults->isEnabled());
        // With no name, choosing a link does not offer the save.
        d->qtExperimentName->lineEdit()->clear();
        d->qtLinkToSolvent->setChecked(true);
        QVERIFY(d->qtLinkToSolventFrame->isEnabled());
        d->qtLinkToSolventName->setCurrentIndex(-1);
        d->qtLinkToSolventName->setCurrentIndex(0);
        QVERIFY(!save(d->qtExperimentButtonBox)->isEnabled());
        d->qtExperimentName->lineEdit()->setText(QStringLiteral("Run 2"));
        QVERIFY(save(d->qtExperimentButtonBox)->isEnabled());
        QVERIFY(d->qtLinkToSolvent->isChecked());
        d->qtExperimentName->lineEdit()->clear();
        QVERIFY(!save(d->qtExperimentButtonBox)->isEnabled());

        // A stored experiment's name cannot be edited; its links are the records the tabs show (none here), not
        // those it was stored with.
        d->qtExperimentName->setCurrentIndex(1);
        QVERIFY(!d->qtExperimentName->isEditable());
        QVERIFY(save(d->qtExperimentButtonBox)->isEnabled());
        QVERIFY(
            !d->qtLinkToSample->isChecked() && !d->qtLinkToSolvent->isChecked() && !d->qtLinkToResults->isChecked());
        QCOMPARE(d->qtExperimentModified->text(), QStringLiteral("3/05/26"));
        d->qtExperimentName->setCurrentIndex(0);
        QVERIFY(d->qtExperimentName->isEditable());
        QVERIFY(!d->qtLinkToSample->isChecked());
    }

    // The links offered are the records the tabs show, and an overwrite that changes or drops a stored link says
    // which before it writes.
    void linksAreTheRecordsTheTabsShow()
    {
        QVERIFY(m_f->sql("INSERT INTO sample (name) VALUES ('Ribonuclease')"));
        m_f->window->populateSampleRecordList();
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        m_f->window->qtSampleName->setCurrentIndex(
            m_f->window->qtSampleName->findText("Ribonuclease", Qt::MatchEndsWith));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        QVERIFY(d->qtLinkToSample->isChecked() && !d->qtLinkToSolvent->isChecked() && !d->qtLinkToResults->isChecked());
        QCOMPARE(d->qtLinkToSampleName->currentText(), QStringLiteral("Ribonuclease"));
        d->qtExperimentName->setCurrentIndex(1);
        QCOMPARE(d->qtLinkToSampleName->currentText(), QStringLiteral("Ribonuclease"));
        m_f->answerer.clear();
        m_f->answerer.answerWith([](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            QCOMPARE(box->informativeText(),
                QStringLiteral("It is saved with the records the tabs show: its sample \"Lysozyme\" is replaced by "
                               "\"Ribonuclease\"; its solvent \"PBS\" is no longer linked."));
            box->button(QMessageBox::Cancel)->click();
        });
        save(d->qtExperimentButtonBox)->click();
        QCOMPARE(m_f->answerer.seen().size(), 1);
        QCOMPARE(m_f->db.value("SELECT sample_id || '|' || buffer_id FROM experiment WHERE id = 1").toString(),
            QStringLiteral("1|1"));
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save(d->qtExperimentButtonBox)->click();
        QCOMPARE(m_f->db.value("SELECT sample_id || '|' || buffer_id FROM experiment WHERE id = 1").toString(),
            QStringLiteral("2|-1"));
    }

    void blanksAreNoName_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("kind");
        QTest::newRow("sample") << int(GuiSaveToDatabase::SampleRecordPage) << "Sample";
        QTest::newRow("solvent") << int(GuiSaveToDatabase::SolventRecordPage) << "Solvent";
        QTest::newRow("experiment") << int(GuiSaveToDatabase::ExperimentRecordPage) << "Experiment";
        QTest::newRow("results") << int(GuiSaveToDatabase::ResultsRecordPage) << "Results";
    }
    void blanksAreNoName()
    {
        QFETCH(int, page);
        QFETCH(QString, kind);
        auto d = dialog(GuiSaveToDatabase::Page(page));
        auto *name = d->findChild<QComboBox *>("qt" + kind + "Name");
        QPushButton *button = save(d->findChild<QDialogButtonBox *>("qt" + kind + "ButtonBox"));
        name->lineEdit()->setText(QStringLiteral("   "));
        QVERIFY(!button->isEnabled());
        name->lineEdit()->setText(QStringLiteral(" a "));
        QVERIFY(button->isEnabled());
    }

    // " BufC 8 M urea" is stored as "BufC 8 M urea": blanks around a name are seen in no list.
    void namesAreTrimmedBeforeSaving_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("table");
        QTest::newRow("sample") << int(GuiSaveToDatabase::SampleRecordPage) << "Sample"
                                << "sample";
        QTest::newRow("solvent") << int(GuiSaveToDatabase::SolventRecordPage) << "Solvent"
                                 << "buffer";
        QTest::newRow("experiment") << int(GuiSaveToDatabase::ExperimentRecordPage) << "Experiment"
                                    << "experiment";
    }
    void namesAreTrimmedBeforeSaving()
    {
        QFETCH(int, page);
        QFETCH(QString, kind);
        QFETCH(QString, table);
        auto d = dialog(GuiSaveToDatabase::Page(page));
        d->show();
        QApplication::setActiveWindow(d.get());
        QVERIFY(QTest::qWaitForWindowActive(d.get(), testPatienceMs()));
        QLineEdit *edit = d->findChild<QComboBox *>("qt" + kind + "Name")->lineEdit();
        edit->clear();
        edit->setFocus();
        // Typed key by key into whatever has the focus: a leading blank must not take it from the box.
        for (const QChar c : QStringLiteral(" BufC 8 M urea  "))
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
        save(d->findChild<QDialogButtonBox *>("qt" + kind + "ButtonBox"))->click();
        QCOMPARE(m_f->db.value("SELECT name FROM " + table + " ORDER BY id DESC LIMIT 1").toString(),
            QStringLiteral("BufC 8 M urea"));
        QCOMPARE(d->findChild<QLabel *>("qt" + kind + "Saved")->text(), kind + " Saved as BufC 8 M urea");
    }

    // A name of a thousand characters is elided where it is shown, whole in a tool tip, and no page of the
    // dialog grows past the screen.
    void longNamesAreElidedAndTheDialogStaysOnScreen()
    {
        const QString longName = "BufC " + QString(995, 'u');
        QVERIFY(m_f->sql("INSERT INTO buffer (name) VALUES (:name)", { { ":name", longName } }));
        auto d = dialog(GuiSaveToDatabase::SolventRecordPage);
        d->show();
        const int screen = d->screen()->availableGeometry().width();
        const int stored = d->qtSolventName->findText(longName);
        QVERIFY(stored > 0);
        QCOMPARE(d->qtSolventName->itemData(stored, Qt::ToolTipRole).toString(), longName);
        QVERIFY(d->qtSolventName->view()->textElideMode() != Qt::ElideNone);
        d->qtSolventName->lineEdit()->setText(longName); // the stored record's name: saved over it
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save(d->qtSolventButtonBox)->click();
        QCOMPARE(m_f->db.value("SELECT count(*) FROM buffer").toInt(), 2); // PBS and the long one
        m_f->answerer.clear();
        QCOMPARE(d->qtSolventSaved->toolTip(), longName);
        QVERIFY(d->qtSolventSaved->text().contains(QChar(0x2026)));
        QVERIFY(d->minimumSizeHint().width() <= screen);
        d->showPage(GuiSaveToDatabase::ExperimentRecordPage);
        d->qtLinkToSolvent->setChecked(true);
        d->qtLinkToSolventName->setCurrentIndex(d->qtLinkToSolventName->findText(longName));
        QCOMPARE(d->qtLinkToSolventName->toolTip(), longName);
        QVERIFY(d->minimumSizeHint().width() <= screen && d->sizeHint().width() <= screen);
    }

    // Enter in a new record's name box names the record, as the box inserts; it saves nothing until Save.
    void enterNamesTheNewRecordAndSavesNothing()
    {
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->show();
        QApplication::setActiveWindow(d.get());
        QVERIFY(QTest::qWaitForWindowActive(d.get(), testPatienceMs()));
        QLineEdit *edit = d->qtResultsName->lineEdit();
        edit->clear(); // an empty name gives the focus to the dialog
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("Run 2 shape"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(m_f->db.value("SELECT group_concat(name) FROM results").toString(), QStringLiteral("Run 1 shape"));
        QCOMPARE(d->qtResultsName->itemText(0) + '|' + d->qtResultsName->itemData(0).toString(),
            QStringLiteral("Run 2 shape|-1"));
        QVERIFY(d->isVisible() && !d->qtResultsSaved->isVisible() && save(d->qtResultsButtonBox)->isEnabled());
    }

    // A newcomer clicks into the experiment or results name box, which shows "New Experiment" or "New Results",
    // and types: the typed name replaces the text; a later click into the typed name only places the cursor.
    void typingIntoTheDefaultNameReplacesIt_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("experiment") << int(GuiSaveToDatabase::ExperimentRecordPage) << "Experiment"
                                    << "HEWL 4C velocity";
        QTest::newRow("results") << int(GuiSaveToDatabase::ResultsRecordPage) << "Results"
                                 << "HEWL shape";
    }
    void typingIntoTheDefaultNameReplacesIt()
    {
        QFETCH(int, page);
        QFETCH(QString, kind);
        QFETCH(QString, name);
        auto d = dialog(GuiSaveToDatabase::Page(page));
        d->show();
        QApplication::setActiveWindow(d.get());
        QVERIFY(QTest::qWaitForWindowActive(d.get(), testPatienceMs()));
        auto *box = d->findChild<QComboBox *>("qt" + kind + "Name");
        QCOMPARE(box->currentText(), "New " + kind);
        QLineEdit *edit = box->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
        QVERIFY(box->hasFocus());
        QTest::keyClicks(edit, name);
        QCOMPARE(box->currentText(), name);
        QCOMPARE(box->itemText(0), "New " + kind); // the default text itself stays
        // Away and back: what the person typed is theirs to edit.
        d->qtTabWidget->setFocus();
        QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
        QVERIFY(box->hasFocus() && !edit->hasSelectedText());
        if (page == GuiSaveToDatabase::ExperimentRecordPage) {
            save(d->qtExperimentButtonBox)->click();
            QCOMPARE(m_f->db.value("SELECT name FROM experiment WHERE id = 2").toString(), name);
        }
    }

    void emptyTablesOfferNoLink()
    {
        QVERIFY(m_f->sql("UPDATE sample SET active = 0"));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        QVERIFY(!d->qtLinkToSample->isEnabled());
        QVERIFY(d->qtLinkToSolvent->isEnabled());
        d->showPage(GuiSaveToDatabase::SampleRecordPage);
        QCOMPARE(d->qtSampleName->count(), 1);
        QCOMPARE(d->qtSampleName->lineEdit()->placeholderText(), QStringLiteral("New Sample"));
    }

    // Empty fields are stored as NULL (an empty sigma or concentration as the format stores it, 0.0), the links as
    // chosen or -1, the method as its button, as the format has it.
    void newExperimentIsStoredAsShown()
    {
        // A run links only a record its tab shows.
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        m_f->window->qtBufferName->setCurrentIndex(1);
        m_f->answerer.clear();
        m_f->window->qtSedEquilibriumTemp->setText(QStringLiteral("4"));
        m_f->window->qtSedEquilibriumRPM->setText(QStringLiteral("20000"));
        m_f->window->qtSedEquilibriumMR->setText(QStringLiteral("14305"));
        m_f->window->qtSedVelocityCoefficient->setText(QString());
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        QSignalSpy changed(d.get(), &GuiSaveToDatabase::sigExperimentRecordsChanged);
        d->qtExperimentName->lineEdit()->setText(QStringLiteral("Run 2"));
        d->qtLinkToSolvent->setChecked(true);
        save(d->qtExperimentButtonBox)->click();

        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_f->db.value("SELECT count(*) FROM experiment").toInt(), 2);
        QCOMPARE(m_f->db
                     .value("SELECT Tc || '|' || RPM || '|' || Mp || '|' || calculatedBy || '|' || sample_id || '|' || "
                            "buffer_id || '|' || results_id FROM experiment WHERE name = 'Run 2'")
                     .toString(),
            QStringLiteral("4.0|20000.0|14305.0|qtExactMolecularWeight|-1|1|-1"));
        QVERIFY(
            m_f->db.value("SELECT sstar IS NULL AND mgml = 0.0 AND sigma = 0.0 FROM experiment WHERE name = 'Run 2'")
                .toBool());
        // The dialog shows the record it stored, and the window's list selects it.
        QCOMPARE(d->qtExperimentName->currentText(), QStringLiteral("Run 2"));
        QVERIFY(d->qtExperimentSaved->isVisibleTo(d.get()));
        QCOMPARE(d->qtExperimentSaved->text(), QStringLiteral("Experiment Saved as Run 2"));
        QVERIFY(!save(d->qtExperimentButtonBox)->isEnabled());
        QVERIFY(m_f->window->qtExperimentName->currentText().endsWith(QLatin1String("  Run 2")));
        QVERIFY(m_f->answerer.seen().isEmpty());
    }

    // Axes halved, the choices as their buttons (the first checked option), no links; an overwrite keeps the name.
    void resultsAreStoredAsShown()
    {
        m_f->window->stopSignals(true); // the options' own handlers would recalculate the page
        m_f->window->qtVbar2amax->setText(QStringLiteral("12"));
        m_f->window->qtTeller2bmin->setText(QStringLiteral("0.000"));
        m_f->window->qtVbarRo->setText(QString());
        // The label shows six digits; the record keeps the module's figure whole.
        GuiResultFigure::show(m_f->window->qtTellerRp, QStringLiteral("2.12345678912e-07"));
        QCOMPARE(m_f->window->qtTellerRp->text(), QStringLiteral("2.12346e-07"));
        m_f->window->qtHydrateOblate->setChecked(true);
        m_f->window->qtShapeCylinder->setChecked(true);
        m_f->window->qtHydrateRatio->setText(QStringLiteral("2.5"));
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->qtResultsName->setCurrentIndex(1);
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save(d->qtResultsButtonBox)->click();
        QCOMPARE(m_f->answerer.texts(), QStringList { "Are you sure you wish to overwrite this record?" });
        QCOMPARE(
            m_f->db
                .value("SELECT name || '|' || av || '|' || bt || '|' || ifnull(Ro, 'null') || '|' || options || '|' "
                       "|| options_value || '|' || shape || '|' || method || '|' || sample_id || '|' || buffer_id "
                       "|| '|' || experiment_id FROM results WHERE id = 1")
                .toString(),
            QStringLiteral("Run 1 shape|6.0|0.0|null|qtHydrateOblate|2.5|qtShapeCylinder|qtTellerMethod|-1|-1|-1"));
        QCOMPARE(m_f->db.value("SELECT Rp FROM results WHERE id = 1").toDouble(), 2.12345678912e-07);
    }

    // A stored record, chosen from the list or its name typed (a blank before it too), is saved over after the
    // question: one record of that name.
    void overwriteIsAskedFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("typed"); // empty: chosen from the list
        QTest::addColumn<QString>("stored");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << ""
                                << "4.0|1|1";
        QTest::newRow("save") << int(QMessageBox::Save) << ""
                              << "25.0|-1|-1";
        QTest::newRow("its name typed, cancel") << int(QMessageBox::Cancel) << "Run 1"
                                                << "4.0|1|1";
        QTest::newRow("its name typed, save") << int(QMessageBox::Save) << "Run 1"
                                              << "25.0|-1|-1";
        QTest::newRow("its name typed after a blank") << int(QMessageBox::Save) << " Run 1"
                                                      << "25.0|-1|-1";
    }
    void overwriteIsAskedFirst()
    {
        QFETCH(int, answer);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        m_f->window->qtSedEquilibriumTemp->setText(QStringLiteral("25"));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        if (typed.isEmpty())
            d->qtExperimentName->setCurrentIndex(1);
        else
            d->qtExperimentName->lineEdit()->setText(typed);
        d->qtLinkToSample->setChecked(false);
        m_f->answerer.answerMessageBox(QMessageBox::StandardButton(answer));
        save(d->qtExperimentButtonBox)->click();
        QCOMPARE(m_f->answerer.texts(), QStringList { "Are you sure you wish to overwrite this record?" });
        QCOMPARE(m_f->db.value("SELECT Tc || '|' || buffer_id || '|' || sample_id FROM experiment WHERE name = 'Run 1'")
                     .toString(),
            stored);
        QCOMPARE(m_f->db.value("SELECT count(*) FROM experiment").toInt(), 1);
        QCOMPARE(d->qtExperimentSaved->isVisibleTo(d.get()), answer == QMessageBox::Save);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // A link whose record is no longer listed is no link the tabs can show: the question says it goes, and it is
    // stored as none, never as 0.
    void unlistedLinkIsDroppedAfterTheQuestion()
    {
        QVERIFY(m_f->sql("UPDATE sample SET active = 0"));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        d->qtExperimentName->setCurrentIndex(1);
        QVERIFY(!d->qtLinkToSample->isChecked());
        QString details;
        m_f->answerer.answerWith([&details](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            details = box->informativeText();
            box->button(QMessageBox::Save)->click();
        });
        save(d->qtExperimentButtonBox)->click();
        QVERIFY2(
            details.contains("its sample a record no longer in the database is no longer linked"), qPrintable(details));
        QCOMPARE(m_f->db.value("SELECT sample_id FROM experiment WHERE id = 1").toInt(), -1);
    }

    // A record another program deletes or makes inactive while the dialog lists it is not saved over: the box
    // says it is gone and nothing was written, and the list is read again without it.
    void aRecordGoneWhileListedIsNotSavedOver_data()
    {
        QTest::addColumn<QString>("gone");
        QTest::newRow("deleted") << "DELETE FROM experiment";
        QTest::newRow("made inactive") << "UPDATE experiment SET active = 0";
    }
    void aRecordGoneWhileListedIsNotSavedOver()
    {
        QFETCH(QString, gone);
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        d->qtExperimentName->setCurrentIndex(1);
        QVERIFY(m_f->sql(gone));
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save(d->qtExperimentButtonBox)->click();
        QVERIFY2(m_f->answerer.texts().value(1).contains("no longer in the database file"),
            qPrintable(m_f->answerer.texts().join('\n')));
        QVERIFY(!d->qtExperimentSaved->isVisibleTo(d.get()));
        QCOMPARE(d->qtExperimentName->count(), 1);
        QCOMPARE(m_f->db.value("SELECT count(*) || '/' || total(active) FROM experiment").toString(),
            gone.startsWith("DELETE") ? "0/0.0" : "1/0.0");
    }

    // Two programs on one file: this window loads a record, another program saves over it, and this window, changed,
    // saves over it again. Its question says that the stored record changed since this window took it: Cancel keeps
    // the other program's version, Save writes this window's. Unchanged by others, the question is the usual one.
    // Saved over by the other program while the question is open, nothing is written and the box says why. Deleted
    // by the other program and saved anew under its name, the record of that name is another one, and the question
    // says so.
    void aRecordChangedSinceTheWindowTookItIsToldBeforeItIsSavedOver_data()
    {
        QTest::addColumn<int>("kind"); // SqlRecordKind
        QTest::addColumn<QString>("theirs"); // the other program's saves: before the question, while it is open
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("stored"); // the figure at the end: "mine", "theirs" or "theirs again"
        const char *const kinds[] = { "sample", "solvent", "experiment", "results" };
        for (int kind = 0; kind < 4; ++kind) {
            QTest::addRow("%s saved over since, cancel", kinds[kind])
                << kind << "before" << int(QMessageBox::Cancel) << "theirs";
            QTest::addRow("%s saved over since, save", kinds[kind])
                << kind << "before" << int(QMessageBox::Save) << "mine";
            QTest::addRow("%s unchanged", kinds[kind]) << kind << "" << int(QMessageBox::Save) << "mine";
            QTest::addRow("%s saved over while asked", kinds[kind])
                << kind << "while asked" << int(QMessageBox::Save) << "theirs again";
            QTest::addRow("%s deleted and saved anew, cancel", kinds[kind])
                << kind << "anew" << int(QMessageBox::Cancel) << "theirs";
            QTest::addRow("%s deleted and saved anew, save", kinds[kind])
                << kind << "anew" << int(QMessageBox::Save) << "mine";
        }
    }
    void aRecordChangedSinceTheWindowTookItIsToldBeforeItIsSavedOver()
    {
        QFETCH(int, kind);
        QFETCH(QString, theirs);
        QFETCH(int, answer);
        QFETCH(QString, stored);
        struct Kind
        {
            const char *list; // the window's
            GuiSaveToDatabase::Page page;
            const char *box; // the dialog's name box and button box
            const char *table;
            const char *column; // the figure both programs change
            const char *field; // where this window shows it
            const char *mine;
        };
        const Kind kinds[] = {
            { "qtSampleName", GuiSaveToDatabase::SampleRecordPage, "Sample", "sample", "sk", "qtSedVelocityK", "0.02" },
            { "qtBufferName", GuiSaveToDatabase::SolventRecordPage, "Solvent", "buffer", "pH", "qtBufferpH", "7.2" },
            { "qtExperimentName", GuiSaveToDatabase::ExperimentRecordPage, "Experiment", "experiment", "Tc",
                "qtSedEquilibriumTemp", "25" },
            { "qtResultsName", GuiSaveToDatabase::ResultsRecordPage, "Results", "results", "options_value",
                "qtHydrateRatio", "2.5" },
        };
        const Kind &k = kinds[kind];
        // The one record of its name listed at the end.
        const QString figure
            = QStringLiteral("SELECT %1 FROM %2 WHERE active > 0 ORDER BY id DESC LIMIT 1").arg(k.column, k.table);
        TestOtherProgram other(m_f->db.path());
        QVERIFY(other.isOpen());
        // The other program loads the record as it is stored and saves it with its own figure: over it, or (anew)
        // as a new record of its name after deleting it.
        const auto theirSave = [&](double value) {
            SqlRecords records(other.database());
            const int over = theirs == "anew" ? -1 : 1;
            if (over < 0)
                QVERIFY(
                    QSqlQuery(QStringLiteral("UPDATE %1 SET active = 0 WHERE id = 1").arg(k.table), other.database())
                        .isActive());
            int id = -1;
            bool saved = false;
            switch (SqlRecordKind(kind)) {
            case SqlRecordKind::Sample: {
                SqlSampleRecord r;
                saved = records.loadSample(1, &r) && (r.sk = value, records.saveSample(r, over, &id));
                break;
            }
            case SqlRecordKind::Solvent: {
                SqlSolventRecord r;
                saved = records.loadSolvent(1, &r) && (r.pH = value, records.saveSolvent(r, over, &id));
                break;
            }
            case SqlRecordKind::Experiment: {
                SqlExperimentRecord r;
                saved = records.loadExperiment(1, &r) && (r.tc = value, records.saveExperiment(r, over, &id));
                break;
            }
            case SqlRecordKind::Results: {
                SqlResultsRecord r;
                saved = records.loadResults(1, &r) && (r.optionValue = value, records.saveResults(r, over, &id));
                break;
            }
            }
            QVERIFY2(saved, qPrintable(records.error()));
        };

        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        m_f->window->findChild<QComboBox *>(k.list)->setCurrentIndex(1);
        QCOMPARE(m_f->answerer.seen().size(), 1);
        m_f->answerer.clear();
        if (theirs == "before" || theirs == "anew")
            theirSave(30);
        m_f->window->stopSignals(true); // the field's own handlers would compute the tab anew
        m_f->window->findChild<QLineEdit *>(k.field)->setText(QLatin1String(k.mine));
        m_f->window->stopSignals(false);

        auto d = dialog(k.page);
        d->findChild<QComboBox *>(QStringLiteral("qt%1Name").arg(k.box))->setCurrentIndex(1);
        QString asked;
        m_f->answerer.answerWith([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            asked = box->text() + '\n' + box->informativeText();
            if (theirs == "while asked")
                theirSave(40);
            box->button(QMessageBox::StandardButton(answer))->click();
        });
        save(d->findChild<QDialogButtonBox *>(QStringLiteral("qt%1ButtonBox").arg(k.box)))->click();

        if (theirs == "before") {
            QVERIFY2(asked.startsWith(QStringLiteral("The stored %1 \"").arg(QString(k.box).toLower()))
                    && asked.contains("\" has changed since this window loaded or saved it: another program using "
                                      "the database file saved it (on ")
                    && asked.contains("Cancel writes nothing: load it from the list to see it, or save under another "
                                      "name to keep both."),
                qPrintable(asked));
        } else if (theirs == "anew") {
            QVERIFY2(asked.startsWith(QStringLiteral("The stored %1 \"").arg(QString(k.box).toLower()))
                    && asked.contains("\" is not the one this window loaded or saved: that one is no longer in the "
                                      "database file under this name, and this one was saved in its place since (on ")
                    && asked.contains("Cancel writes nothing"),
                qPrintable(asked));
        } else {
            QVERIFY2(asked.startsWith("Are you sure you wish to overwrite this record?"), qPrintable(asked));
        }
        const QStringList boxes = m_f->answerer.texts();
        if (theirs == "while asked") {
            QVERIFY2(boxes.value(1).contains("has been saved by another program using the database file since this "
                                             "save began. Nothing was written.\n\nSave again to be told what "
                                             "changed, and to choose."),
                qPrintable(boxes.join('\n')));
        } else {
            QCOMPARE(boxes.size(), 1);
        }
        const double expected = stored == "mine" ? QString(k.mine).toDouble() : stored == "theirs" ? 30 : 40;
        QCOMPARE(m_f->db.value(figure).toDouble(), expected);
    }

    // Two listed records of one name (an import, an older file, another program): the window loaded the first, and
    // the person chooses one of them in the dialog. The question names the one to be replaced by its date, and says
    // only what is so: the other one is still stored under the name, not gone.
    void twoRecordsOfOneNameAreToldApartByTheirDates_data()
    {
        QTest::addColumn<int>("loaded"); // the id the window loaded; below 0: made inactive since
        QTest::addColumn<int>("chosen"); // the id chosen in the dialog; 0: the name typed
        QTest::addColumn<QString>("asked");
        const QString other
            = "More than one stored sample is named \"Lysozyme\", and the one chosen (saved on %1 UTC) is "
              "not the one this window loaded or saved (saved on %2 UTC). Saving now replaces the one "
              "saved on %1 UTC with what this window shows.";
        const QString same = "Are you sure you wish to overwrite this record?\nMore than one stored sample is named "
                             "\"Lysozyme\": this replaces the one saved on %1 UTC.";
        const char *dates[] = { "", "2026-01-02 03:04:05", "2026-06-07 08:09:10", "2026-08-09 10:11:12" };
        QTest::newRow("the other one") << 1 << 2 << other.arg(dates[2], dates[1]);
        QTest::newRow("the one loaded") << 1 << 1 << same.arg(dates[1]);
        QTest::newRow("of three, another") << 2 << 3 << other.arg(dates[3], dates[2]);
        QTest::newRow("of three, the one loaded") << 2 << 2 << same.arg(dates[2]);
        // A name typed is the record of that name the window loaded, not the first of the name.
        QTest::newRow("of three, the name typed") << 2 << 0 << same.arg(dates[2]);
        // The one loaded made inactive since by another program: the one chosen was not saved in its place.
        QTest::newRow("of three, the one loaded gone, an older one")
            << -2 << 1
            << QString("The stored sample \"Lysozyme\" is not the one this window loaded or saved: that one is no "
                       "longer in the database file under this name, and this one is another sample of the name, "
                       "stored before it (on %1 UTC). Saving now replaces it with what this window shows.")
                   .arg(dates[1]);
    }
    void twoRecordsOfOneNameAreToldApartByTheirDates()
    {
        QFETCH(int, loaded);
        QFETCH(int, chosen);
        QFETCH(QString, asked);
        QVERIFY(m_f->sql("INSERT INTO sample (name, sk) VALUES ('Lysozyme', 0.01), ('Lysozyme', 0.02)"));
        QVERIFY(m_f->sql("DROP TRIGGER sample_update_modified_time"));
        QVERIFY(m_f->sql("UPDATE sample SET modified = '2026-01-02 03:04:05' WHERE id = 1"));
        QVERIFY(m_f->sql("UPDATE sample SET modified = '2026-06-07 08:09:10' WHERE id = 2"));
        QVERIFY(m_f->sql("UPDATE sample SET modified = '2026-08-09 10:11:12' WHERE id = 3"));
        m_f->window->populateSampleRecordList();
        QComboBox *list = m_f->window->qtSampleName;
        m_f->answerer.answerMessageBox(QMessageBox::Ok); // load it
        list->setCurrentIndex(list->findData(std::abs(loaded), Qt::UserRole));
        QCOMPARE(m_f->answerer.seen().size(), 1);
        m_f->answerer.clear();
        if (loaded < 0)
            QVERIFY(m_f->sql(QString("UPDATE sample SET active = 0 WHERE id = %1").arg(-loaded)));

        auto d = dialog(GuiSaveToDatabase::SampleRecordPage);
        if (chosen > 0) {
            d->qtSampleName->setCurrentIndex(d->qtSampleName->findData(chosen, Qt::UserRole));
        } else {
            d->qtSampleName->setCurrentIndex(0);
            d->qtSampleName->setEditText("Lysozyme");
        }
        QString text;
        m_f->answerer.answerWith([&text](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            text = box->informativeText().startsWith("Save writes over it")
                ? box->text()
                : box->text() + '\n' + box->informativeText();
            box->button(QMessageBox::Cancel)->click();
        });
        save(d->qtSampleButtonBox)->click();
        QCOMPARE(text, asked);
        QCOMPARE(m_f->answerer.seen().size(), 1);
        QCOMPARE(m_f->db.value("SELECT group_concat(modified, ' / ') FROM sample").toString(),
            QStringLiteral("2026-01-02 03:04:05 / 2026-06-07 08:09:10 / 2026-08-09 10:11:12"));
    }

    // One save, one transaction: a refused statement leaves the row, the dialog and the lists as they were.
    void refusedSaveChangesNothing()
    {
        QVERIFY(
            m_f->sql("CREATE TRIGGER refuse BEFORE UPDATE ON experiment BEGIN SELECT RAISE(ABORT, 'refused by test'); "
                     "END"));
        m_f->window->qtSedEquilibriumTemp->setText(QStringLiteral("25"));
        auto d = dialog(GuiSaveToDatabase::ExperimentRecordPage);
        QSignalSpy changed(d.get(), &GuiSaveToDatabase::sigExperimentRecordsChanged);
        d->qtExperimentName->setCurrentIndex(1);
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        TestLog::ignore(QtWarningMsg, QRegularExpression("^UPDATE experiment SET"));
        save(d->qtExperimentButtonBox)->click();
        QCOMPARE(m_f->answerer.titles().value(1), QStringLiteral("Vornakel"));
        QVERIFY(m_f->answerer.texts().value(1).startsWith(QDir::toNativeSeparators(m_f->db.path()) + ":\n")
            && m_f->answerer.texts().value(1).contains(QLatin1String("refused by test")));
        QCOMPARE(m_f->db.value("SELECT Tc FROM experiment WHERE id = 1").toDouble(), 4.0);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!d->qtExperimentSaved->isVisibleTo(d.get()));
        QVERIFY(save(d->qtExperimentButtonBox)->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // The database is usable afterwards: no transaction was left open.
        QVERIFY(m_f->db.database().transaction());
        QVERIFY(m_f->db.database().rollback());
    }

    // A file put beside the database while the window has it open (here a second name of a file, which others
    // may have filled) is not played in: the save is refused, and its box names that file and what to do, as the
    // open of the file would, not the driver's "unable to open database file".
    void aSaveNamesWhatWasPutBesideTheOpenDatabase_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("what"); // as the box names it
        QTest::addColumn<QString>("advice"); // how the box ends
        QTest::newRow("a second name of a file")
            << "second name"
            << "a file with a second name (a hard link)"
            << "Do not remove it or move it aside: it may hold a change that was cut off, which the database file "
               "needs to be whole. Whoever holds its other name may have changed it, though. If you trust them, give "
               "it a name of its own (copy it, and put the copy in its place), and try again.";
        // Put there once the save has begun, as its first statement opens the journal: the box says once that
        // nothing was written.
        QTest::newRow("a second name of a file, put there as the save writes")
            << "second name as the save writes"
            << "a file with a second name (a hard link)"
            << "Do not remove it or move it aside: it may hold a change that was cut off, which the database file "
               "needs to be whole. Whoever holds its other name may have changed it, though. If you trust them, give "
               "it a name of its own (copy it, and put the copy in its place), and try again.";
        QTest::newRow("another user's, that all may write, in a folder its group may write")
            << "another user's"
            << "a file of another user's"
            << "Remove %1, or move it aside, and try again.";
    }
    void aSaveNamesWhatWasPutBesideTheOpenDatabase()
    {
        QFETCH(QString, planted);
        QFETCH(QString, what);
        QFETCH(QString, advice);
        if (planted == "another user's" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->qtResultsName->lineEdit()->setText(QStringLiteral("Planted"));
        const QString path = m_f->db.path();
        const QString journal = path + "-journal";
        QVERIFY(TestDatabase::writeHotJournal(path, { "DELETE FROM results" }, { "DELETE FROM sample" }, path + ".j"));
        bool put = false;
        if (planted == "second name") {
            QVERIFY(testSecondName(path + ".j", journal));
        } else if (planted == "second name as the save writes") {
            SqlJournalGuard::setAroundOpen([&](const QString &name, bool opened) {
                if (!opened && !put && name.endsWith("-journal"))
                    put = testSecondName(path + ".j", journal);
            });
            TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO results"));
        } else {
            QVERIFY(::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 02775) == 0);
            QVERIFY(QFile::rename(path + ".j", journal));
            QVERIFY(::chmod(QFile::encodeName(journal).constData(), 0666) == 0 && testGiveAway(journal));
        }
        save(d->qtResultsButtonBox)->click();
        SqlJournalGuard::setAroundOpen(nullptr);
        QVERIFY(put || planted != "second name as the save writes");
        const QString text = m_f->answerer.texts().value(0);
        QVERIFY2(text
                == "The database file\n" + QDir::toNativeSeparators(path)
                    + "\nis not read or written now: beside it lies " + QDir::toNativeSeparators(journal) + ", " + what
                    + ", which would be taken for changes of the database's own and written into it. Nothing was "
                      "read from the database or written to it. "
                    + QString(advice).replace("%1", QDir::toNativeSeparators(journal)),
            qPrintable(text));
        QVERIFY(save(d->qtResultsButtonBox)->isEnabled());
        QVERIFY(QFile::remove(journal));
        QCOMPARE(m_f->db.value("SELECT group_concat(name) FROM results").toString(), QStringLiteral("Run 1 shape"));
    }

    // A save while another program holds the file waits for it with the window's event loop running: the hold
    // ends only on a tick of a timer of that loop. Held beyond the wait, the box says the file is in use and
    // what to do, and nothing is saved. A read under way in the other program is met the same way, though it
    // would let the save begin: it keeps the save from being stored.
    void aSaveWaitsForAFileAnotherProgramHoldsWithTheWindowGoingOn_data()
    {
        QTest::addColumn<TestLockHolder::Hold>("hold");
        QTest::addColumn<bool>("released");
        QTest::newRow("let go while the save waits") << TestLockHolder::Hold::Everything << true;
        QTest::newRow("held beyond the wait") << TestLockHolder::Hold::Everything << false;
        QTest::newRow("a read under way, let go while the save waits") << TestLockHolder::Hold::Reads << true;
        QTest::newRow("a read under way beyond the wait") << TestLockHolder::Hold::Reads << false;
    }
    void aSaveWaitsForAFileAnotherProgramHoldsWithTheWindowGoingOn()
    {
        QFETCH(TestLockHolder::Hold, hold);
        QFETCH(bool, released);
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->qtResultsName->lineEdit()->setText(QStringLiteral("Held"));
        TestLockHolder holder(m_f->db.path(), hold);
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        save(d->qtResultsButtonBox)->click();
        holder.release();
        const QString name = "SELECT COUNT(*) FROM results WHERE name = 'Held'";
        if (released) {
            QCOMPARE(m_f->answerer.texts(), QStringList());
            QVERIFY(holder.wasLetGoOnATick());
            QCOMPARE(m_f->db.value(name).toInt(), 1);
            return;
        }
        const QString text = m_f->answerer.texts().value(0);
        QVERIFY2(text.startsWith(QDir::toNativeSeparators(m_f->db.path())
                     + ":\nThe database file is in use by "
                       "another program, which holds it locked")
                && text.contains("close it, then try again"),
            qPrintable(text));
        QCOMPARE(m_f->db.value(name).toInt(), 0);
        QVERIFY(save(d->qtResultsButtonBox)->isEnabled());
    }

    // The remembered text carries the local date and the list the stored UTC date; the saved record is
    // selected all the same, also when the two dates differ.
    void windowListSelectsTheSavedRecordWhateverTheZone()
    {
        const QByteArray zone = qgetenv("TZ");
        const std::time_t now = std::time(nullptr);
        // Fourteen hours ahead after noon UTC, twelve behind before: the local date is never the UTC date.
        qputenv("TZ", std::gmtime(&now)->tm_hour >= 12 ? "<+14>-14" : "<-12>12");
        tzset();
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->qtResultsName->lineEdit()->setText(QStringLiteral("Late run"));
        save(d->qtResultsButtonBox)->click();
        const QString listed = m_f->window->qtResultsName->currentText();
        const QString remembered = m_f->window->qtResultsName->property("combobox_last_record").toString();
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
        QVERIFY2(listed.endsWith(QLatin1String(")  Late run")), qPrintable(listed));
        QCOMPARE(remembered, listed);
        QCOMPARE(m_f->window->qtResultsName->currentData().toInt(), 2);
    }

    // A save into the file the window has open, after it was moved away or replaced under its name, says so
    // (SQLite says only "attempt to write a readonly database"), and that nothing was stored; the file moved
    // away is as it was, and so is the one put in its place.
    void aSaveIntoAFileMovedOrReplacedSaysSo_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QString>("reason");
        QTest::newRow("moved away") << false
                                    << "The database file was moved away or removed since it was opened. Nothing can "
                                       "be saved to it any more; put it back under its name, or open it where it is "
                                       "now.";
        QTest::newRow("replaced") << true
                                  << "The database file was replaced by another file since it was opened: what is now "
                                     "under its name is not the file this window has open. Nothing can be saved to it "
                                     "any more; open the file again to save into what its name holds now, once you "
                                     "know what that is.";
    }
    void aSaveIntoAFileMovedOrReplacedSaysSo()
    {
        QFETCH(bool, replaced);
        QFETCH(QString, reason);
        const QString path = m_f->db.path();
        auto d = dialog(GuiSaveToDatabase::ResultsRecordPage);
        d->qtResultsName->lineEdit()->setText(QStringLiteral("Moved"));
        QVERIFY(QFile::rename(path, path + ".aside"));
        if (replaced)
            QVERIFY(QFile::copy(path + ".aside", path));
        const QByteArray before = testReadFile(path + ".aside");
        TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO results"));
        save(d->qtResultsButtonBox)->click();
        QCOMPARE(m_f->answerer.texts(),
            QStringList { QDir::toNativeSeparators(path) + ":\n" + reason
                + "\n\nNothing of the change was stored: the database file holds what it held before." });
        QCOMPARE(testReadFile(path + ".aside"), before);
        if (replaced)
            QCOMPARE(testReadFile(path), before);
        QVERIFY(save(d->qtResultsButtonBox)->isEnabled());
    }
};

TEST_MAIN(TstGuiSaveToDatabase)
#include "tst_gui_savetodatabase.moc"
