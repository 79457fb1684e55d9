#include "app/app_number.h"
#include "app/app_plugin.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_changepkas.h"
#include "gui/gui_grapher.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"

#include "test_database.h"
#include "test_environment.h"
#include "test_fakemodule.h"
#include "test_log.h"
#include "test_mainwindow.h"

#include <QClipboard>
#include <QPrinter>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>

// Hen egg-white lysozyme, 129 residues with four disulfides (Canfield 1963 sequence).
static const char *const lysozyme = "ALA=12 ARG=11 ASN=14 ASP=7 GLN=3 GLU=2 GLY=12 HIS=1 ILE=6 LEU=8 LYS=6 MET=2 PHE=3 "
                                    "PRO=2 SER=10 THR=7 TRP=6 TYR=3 VAL=6 CY2=4";
// Its mature chain as a protein database lists it: blocks of ten, eight cysteines.
static const char *const lysozymeChain = "KVFGRCELAA AMKRHGLDNY RGYSLGNWVC AAKFESNFNT QATNRNTDGS TDYGILQINS RWWCNDGRTP "
                                         "GSRNLCNIPC SALLSSDITA SVNCAKKIVS DGNGMNAWVA WRNRCKGTDV QAWIRGCRL";

#define QCOMPARE_FIGURE(name, expected, tolerance)                                                                     \
    QVERIFY2(std::fabs(number(name) - (expected)) <= (tolerance), qPrintable(QString(name) + ": " + text(name)))

class TstGuiSampleComposition : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;
    TestFakeModule *m_fake = nullptr;
    GuiSampleComposition *page() const { return m_f->window->qtStackComposition; }

    template<typename T = QWidget> T *widget(const QString &name) const { return testChild<T>(page(), name); }
    QString text(const QString &name) const
    {
        QWidget *w = widget(name);
        if (auto *label = qobject_cast<QLabel *>(w))
            return label->text();
        return static_cast<QLineEdit *>(w)->text();
    }
    double number(const QString &name) const { return AppNumber::valueOrZero(text(name)); }
    int rowOf(const QString &table, const QString &name) const
    {
        auto *t = widget<QTableWidget>(table);
        for (int row = 0; row < t->rowCount(); ++row)
            if (t->item(row, 0)->text() == name)
                return row;
        qFatal("no row %s", qPrintable(name));
    }
    QTableWidgetItem *cell(const QString &name) const
    {
        const bool amino = widget<QTableWidget>("qtAminoAcids")->findItems(name, Qt::MatchExactly).size() > 0;
        auto *t = widget<QTableWidget>(amino ? "qtAminoAcids" : "qtConjugates");
        return t->item(rowOf(t->objectName(), name), amino ? 2 : 1);
    }
    // Typed into the count or amount cell of the named residue or conjugate.
    void type(const QString &name, const QString &value) { cell(name)->setText(value); }
    void typeAll(const QString &entries)
    {
        for (const QString &entry : entries.split(QLatin1Char(' ')))
            type(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    }
    QScriptValue script(const QString &code) const
    {
        return qobject_cast<AppQtScriptPlugin *>(m_f->window->calculationsPlugin())->engine()->evaluate(code);
    }
    TestFakeModule *record() { return m_fake = m_f->record(); }
    TestFakeModule::Call lastCall() const
    {
        const QList<TestFakeModule::Call> calls = m_fake->callRecords();
        m_fake->clearCalls();
        return calls.isEmpty() ? TestFakeModule::Call() : calls.last();
    }
    static QString input(const TestFakeModule::Call &call, int index) { return call.inputs.value(index).second; }
    // The rows of an ARRAY input, in key order "0", "1", ...
    static QList<QMap<QString, QString>> rows(const TestFakeModule::Call &call, int index)
    {
        const QMap<QString, QMap<QString, QString>> children = call.children.value(index);
        QList<QMap<QString, QString>> out;
        for (int i = 0; children.contains(QString::number(i)); ++i)
            out << children.value(QString::number(i));
        return out;
    }
    static QList<GuiGrapher *> graphers() { return testTopLevels<GuiGrapher>(); }
    // Enters a sequence through the sequence dialog, pasted or typed, answering the question on disulfides.
    void enterSequence(const QString &sequence, bool pasted, QMessageBox::StandardButton disulfides)
    {
        m_f->answerer.answerWith([sequence, pasted](QWidget *w) {
            auto *dialog = qobject_cast<GuiAminoAcidSequence *>(w);
            QVERIFY(dialog);
            if (pasted) {
                QApplication::clipboard()->setText(sequence);
                dialog->qtPaste->click();
            } else {
                dialog->qtSequenceEdit->setPlainText(sequence);
            }
            dialog->accept();
        });
        m_f->answerer.answerMessageBox(disulfides);
        widget<QPushButton>("qtEditAASequence")->click();
    }
    // Saves the page's sample as "Peptide", starts the program again on the file and loads the sample: the
    // sequence its row stores, then the one the sequence dialog shows.
    QStringList savedAndReloadedSequence()
    {
        {
            GuiSaveToDatabase dialog(m_f->db.path(), m_f->window.get()); // a child of the window
            dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
            dialog.qtSampleName->setEditText("Peptide");
            dialog.qtSampleButtonBox->button(QDialogButtonBox::Save)->click();
        }
        QSqlQuery query(m_f->db.database());
        if (!query.exec("SELECT id, aminoSequence FROM sample WHERE name = 'Peptide'") || !query.next())
            return { "<not saved>" };
        const QString stored = query.value(1).toString();
        const int id = query.value(0).toInt();
        query.finish();

        if (!m_f->start()) // the program started again on the same file
            return { stored, "<not started>" };
        QComboBox *list = m_f->window->qtSampleName;
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        list->setCurrentIndex(list->findData(id, Qt::UserRole));
        QString reopened = "<not opened>";
        m_f->answerer.answerWith([&reopened](QWidget *w) {
            if (auto *sequenceDialog = qobject_cast<GuiAminoAcidSequence *>(w)) {
                reopened = sequenceDialog->sequence();
                sequenceDialog->reject();
            }
        });
        widget<QPushButton>("qtEditAASequence")->click();
        return { stored, reopened };
    }
    void selectDenaturant(const QString &name)
    {
        auto *list = widget<QListWidget>("qtDenaturants");
        QListWidgetItem *item = list->findItems(name, Qt::MatchExactly).value(0);
        QVERIFY(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->db.isValid());
        // A denaturant whose binding figures are known (the shipped ones have none).
        QVERIFY(m_f->sql("INSERT INTO denature (Name, rhomin, v3, g3) VALUES ('Test denaturant', 1.14, 0.76, 0.05)"));
        QVERIFY(m_f->start());
        m_f->window->stackedWidget->setCurrentWidget(page());
    }
    void cleanup() { m_f.reset(); }

    void formStartsAsDrawnAndThePageSetsItsDefaults()
    {
        QCOMPARE(widget<QTabWidget>("qtTabWidget")->currentIndex(), 0);
        QVERIFY(!widget("qtOligomerN")->isEnabled() && text("qtOligomerN") == "2");
        QVERIFY(!widget("qtDenaturants")->isEnabled());
        QVERIFY(
            widget<QCheckBox>("qtTitrableAmino")->isChecked() && widget<QCheckBox>("qtTitrableCarboxyl")->isChecked());
        QVERIFY(widget<QGroupBox>("qtCalculateVbar")->isChecked() && !widget<QGroupBox>("qtCalculateMr")->isChecked());
        QVERIFY(widget("qtpH")->isHidden() && number("qtpH") == 7.0);
        QCOMPARE(widget<QTableWidget>("qtAminoAcids")->rowCount(), 21);
        QCOMPARE(widget<QTableWidget>("qtAminoAcids")->item(0, 0)->flags(), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        QCOMPARE(widget<QTableWidget>("qtAminoAcids")->item(0, 2)->flags(), Qt::ItemIsEditable | Qt::ItemIsEnabled);
    }

    // Hand figures from the published residue values: Mr as the residue sum plus
    // one water; extinction 5500 W + 1490 Y + 125 per disulfide (Pace et al. 1995)
    // and 5690 W + 1280 Y + 120 (Gill and von Hippel 1989); vbar by Cohn and Edsall 1943.
    void lysozymeGivesItsPublishedFigures()
    {
        typeAll(lysozyme);
        QCOMPARE(text("qtTotalAminos"), QString("129"));
        QCOMPARE_FIGURE("qtCalculatedMR", 14305.1, 0.05);
        QCOMPARE_FIGURE("qtCalculatedVBar", 0.7175, 0.00005);
        QCOMPARE_FIGURE("qtEstAbsExtinction", 37970, 0.5);
        QCOMPARE_FIGURE("qtEstAbsMgMl", 2.654, 0.0005);
        QCOMPARE_FIGURE("qtAbsExtinction", 38460, 0.5);
        QCOMPARE_FIGURE("qtpHCharge", 7.86, 0.005);
        QCOMPARE_FIGURE("qtIsoElectricPoint", 10.64, 0.005);
        widget<QCheckBox>("qtMakeOligomer")->click();
        QCOMPARE_FIGURE("qtCalculatedMR", 28610.2, 0.05);
        QCOMPARE(text("qtTotalAminos"), QString("129"));
    }

    // A composition computed while another program holds the database file waits for it with the window going
    // on (the hold ends only on a tick of a timer of its event loop), then gives its figures: ALA 12 is 12 x
    // 71.079 + 18.015 = 870.963 (residue and water masses from the IUPAC standard atomic weights, Meija et al.
    // 2016). Held beyond the wait, the box says the file is in use and what to do, and no figure shows. A file
    // put beside the open database that is not used (here a second name of a file, which others may have
    // filled) is named in the box, as the open names it.
    void aCompositionWaitsForADatabaseAnotherProgramHolds_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::newRow("let go while the page waits") << "released";
        QTest::newRow("held beyond the wait") << "held";
        QTest::newRow("a file put beside the database") << "planted";
    }
    void aCompositionWaitsForADatabaseAnotherProgramHolds()
    {
        QFETCH(QString, hold);
        const QString path = m_f->db.path();
        const QString journal = path + "-journal";
        std::unique_ptr<TestLockHolder> holder;
        if (hold == "planted") {
            QVERIFY(
                TestDatabase::writeHotJournal(path, { "DELETE FROM amino" }, { "DELETE FROM buffer" }, path + ".j"));
            QVERIFY(testSecondName(path + ".j", journal));
            TestLog::ignore(QtWarningMsg, QRegularExpression("^Exec Error: [\\s\\S]*beside it lies"));
        } else {
            holder = std::make_unique<TestLockHolder>(path);
            QVERIFY(holder->isHolding());
            holder->meetTheWait(hold == "released");
            if (hold == "held")
                TestLog::ignore(QtWarningMsg, QRegularExpression("^Exec Error: [\\s\\S]*is in use by another program"));
        }
        typeAll("ALA=12");
        if (holder)
            holder->release();
        if (hold == "released") {
            QVERIFY(holder->wasLetGoOnATick());
            QVERIFY(m_f->answerer.seen().isEmpty());
            QCOMPARE_FIGURE("qtCalculatedMR", 870.963, 0.0005);
            return;
        }
        QCOMPARE(m_f->answerer.texts().size(), 1);
        const QString box = m_f->answerer.texts().first();
        if (hold == "held")
            QVERIFY2(box.startsWith(path + ":\nThe database file is in use by another program")
                    && box.endsWith("Wait until that program is done with it, or close it, then try again."),
                qPrintable(box));
        else
            QVERIFY2(box.startsWith("The database file\n" + path + "\nis not read or written now: beside it lies "
                         + journal + ", a file with a second name (a hard link)")
                    && box.endsWith("Do not remove it or move it aside: it may hold a change that was cut off, which "
                                    "the database file needs to be whole. Whoever holds its other name may have "
                                    "changed it, though. If you trust them, give it a name of its own (copy it, and "
                                    "put the copy in its place), and try again."),
                qPrintable(box));
        QCOMPARE(text("qtCalculatedMR"), QString());
        QVERIFY(hold == "held" || QFile::remove(journal));
    }

    // Casassa and Eisenberg 1964: 0.7175 - 0.05 (1/1.14 - 0.76) = 0.7116.
    void denaturantChangesTheVbarButNotTheUndenaturedOne()
    {
        typeAll(lysozyme);
        widget<QCheckBox>("qtUseDefinedDenaturant")->click();
        QVERIFY(widget("qtDenaturants")->isEnabled());
        selectDenaturant("Test denaturant");
        QCOMPARE_FIGURE("qtCalculatedVBar", 0.7116, 0.00005);
        QCOMPARE_FIGURE("qtUnDenaturedVBar", 0.7175, 0.00005);
        widget<QCheckBox>("qtUseDefinedDenaturant")->click(); // no denaturant: its vbar goes
        QCOMPARE_FIGURE("qtCalculatedVBar", 0.7175, 0.00005);
        record();
        widget<QCheckBox>("qtUseDefinedDenaturant")->click();
        QVERIFY(m_fake->callRecords().isEmpty()); // checking alone chooses nothing
        widget<QPushButton>("qtCompute")->click();
        QCOMPARE(input(lastCall(), 8), QString(""));
    }

    void inputsReachTheModuleInOrderWithOnlyValidRows()
    {
        record();
        auto *amino = widget<QTableWidget>("qtAminoAcids");
        amino->item(0, 2)->setText("2");
        amino->item(2, 2)->setText("x");
        amino->item(3, 2)->setText("1.5");
        for (const char *bad : { "inf", "nan", "-3", "1e300" })
            type("TRP", bad);
        type("CY2", "3");
        type("D-Glucose (residue)", "0.50");
        const TestFakeModule::Call call = lastCall();
        QCOMPARE(call.function, QString("calculationsFromComposition"));
        QCOMPARE(call.inputs.size(), 9);
        const QStringList names { "BufferpH", "OligomerN", "", "", "UseTritrableAmino", "AminoEndpKaValue",
            "UseTritrableCarboxyl", "CarboxylValue", "denaturents" };
        for (int i = 0; i < 9; ++i)
            if (!names.at(i).isEmpty())
                QCOMPARE(call.inputs.at(i).first, names.at(i));
        QCOMPARE(input(call, 0), QString("7"));
        QCOMPARE(input(call, 1), QString("1"));
        QCOMPARE(input(call, 5), QString("7.35"));
        QCOMPARE(input(call, 7), QString("3.9"));
        const QList<QMap<QString, QString>> aminoRows = rows(call, 2);
        QCOMPARE(call.children.at(2).size(), 3); // dense keys: a skipped row takes none
        QCOMPARE(aminoRows.size(), 3);
        QCOMPARE(aminoRows.at(0).value("ROW"), QString("0"));
        QCOMPARE(aminoRows.at(1).value("ROW"), QString("3"));
        QCOMPARE(aminoRows.at(1).value("MOLES"), QString("1.5"));
        QCOMPARE(aminoRows.at(2).value("ITEMNAME"), QString("CY2"));
        QCOMPARE(aminoRows.at(2).value("MOLES"), QString("6"));
        QCOMPARE(aminoRows.at(2).value("VALUE"), QString("3"));
        QCOMPARE(rows(call, 3).value(0).value("MOLES"), QString("0.50"));
        QCOMPARE(text("qtTotalAminos"), QString("9.5"));
        QCOMPARE(amino->item(1, 2)->background().color().alpha(), 0);
        for (QTableWidgetItem *invalid : { amino->item(2, 2), cell("TRP") })
            QCOMPARE(invalid->background().color(), QColor(170, 28, 29, 100));
        type("TRP", "1");
        QCOMPARE(cell("TRP")->data(Qt::BackgroundRole), QVariant()); // valid again: the mark goes
        amino->item(0, 2)->setText("0.50");
        QCOMPARE(rows(lastCall(), 2).value(0).value("MOLES"), QString("0.5"));
    }

    // Anything but a whole number from 1 is refused with a message, never rounded or wrapped into another number:
    // the chains accepted before stay.
    void oligomerNumberIsAWholeNumberOfAtLeastOne_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << "4"
                               << "4";
        QTest::newRow("fraction") << "2.5"
                                  << "2";
        QTest::newRow("letter") << "a"
                                << "2";
        QTest::newRow("zero") << "0"
                              << "2";
        QTest::newRow("negative") << "-4"
                                  << "2";
        QTest::newRow("beyond int") << "1e12"
                                    << "2";
    }
    void oligomerNumberIsAWholeNumberOfAtLeastOne()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        record();
        widget<QCheckBox>("qtMakeOligomer")->click();
        QCOMPARE(input(lastCall(), 1), QString("2"));
        auto *field = widget<QLineEdit>("qtOligomerN");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), shown);
        for (const TestFakeModule::Call &call : m_fake->callRecords())
            QCOMPARE(input(call, 1), shown);
        QCOMPARE(m_f->answerer.titles(), typed == shown ? QStringList() : QStringList { "Vornakel" });
    }

    void searchMakesTheFirstMatchCurrentOrMarksTheField()
    {
        auto *search = widget<QLineEdit>("qtAminoAcidSearch");
        QTest::keyClicks(search, "al");
        QCOMPARE(widget<QTableWidget>("qtAminoAcids")->currentItem()->text(), QString("ALA"));
        QTest::keyClicks(search, "z");
        QVERIFY(search->styleSheet().contains("170, 28, 29"));
        QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(search, Qt::Key_Delete);
        QCOMPARE(search->styleSheet(), QString("background-color:rgb(255,255,255)"));
    }

    void clearingEmptiesInputsResultsAndTheDenaturant()
    {
        typeAll(lysozyme);
        widget<QCheckBox>("qtUseDefinedDenaturant")->click();
        selectDenaturant("Test denaturant");
        widget<QGroupBox>("qtCalculateMr")->setChecked(true);
        widget<QPushButton>("qtClear")->click();
        QVERIFY(text("qtTotalAminos").isEmpty() && text("qtCalculatedVBar").isEmpty() && cell("ALA")->text().isEmpty());
        QVERIFY(
            text("qtpHCharge").isEmpty() && text("qtAbsExtinction").isEmpty() && text("qtUnDenaturedVBar").isEmpty());
        widget<QPushButton>("qtGraphCharge")->click();
        QVERIFY(graphers().isEmpty());
        typeAll(lysozyme);
        page()->clear();
        for (const char *name : { "qtTotalAminos", "qtCalculatedVBar", "qtCalculatedMR", "qtUnDenaturedVBar",
                 "qtCalculatedVBarWater", "qtpHCharge", "qtIsoElectricPoint", "qtAbsExtinction" })
            QVERIFY2(text(name).isEmpty(), name);
        QVERIFY(cell("ALA")->text().isEmpty() && cell("CY2")->text().isEmpty());
        QVERIFY(!widget<QGroupBox>("qtCalculateMr")->isChecked() && widget<QGroupBox>("qtCalculateVbar")->isChecked());
        QVERIFY(!widget<QCheckBox>("qtUseDefinedDenaturant")->isChecked() && page()->denaturant().isEmpty());
        QVERIFY(!widget("qtDenaturants")->isEnabled());
    }

    void okSendsOnlyUsableValuesAndCancelOnlyCancels()
    {
        QSignalSpy vbar(page(), &GuiSampleComposition::sigCalculatedVBarAccepted);
        QSignalSpy mr(page(), &GuiSampleComposition::sigCalculatedMrAccepted);
        QSignalSpy hydration(page(), &GuiSampleComposition::sigCalculatedHydrationAccepted);
        QSignalSpy accepted(page(), &GuiSampleComposition::sigPageAccepted);
        QSignalSpy canceled(page(), &GuiSampleComposition::sigPageCanceled);
        auto *box = widget<QDialogButtonBox>("qtButtonBox");
        widget<QGroupBox>("qtCalculateMr")->setChecked(true);
        m_f->window->stackedWidget->setCurrentWidget(m_f->window->qtStackVornakel);
        m_f->window->qtVbarCompute->click(); // opens the page
        QCOMPARE(m_f->window->stackedWidget->currentWidget(), page());
        box->button(QDialogButtonBox::Ok)->click(); // nothing computed yet
        QVERIFY(vbar.isEmpty() && mr.isEmpty() && hydration.isEmpty());
        QCOMPARE(accepted.size(), 1);
        QVERIFY(m_f->window->qtVbarStandard->isChecked()); // nothing accepted: the earlier source stays
        m_f->window->stackedWidget->setCurrentWidget(page());
        typeAll(lysozyme);
        widget<QGroupBox>("qtCalculateVbar")->setChecked(false);
        box->button(QDialogButtonBox::Ok)->click();
        QVERIFY(vbar.isEmpty() && mr.size() == 1 && hydration.size() == 1);
        QCOMPARE(mr.first().first().toDouble(), number("qtCalculatedMR"));
        m_f->window->stackedWidget->setCurrentWidget(page());
        box->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(canceled.size(), 1);
        QCOMPARE(accepted.size(), 2);
        QVERIFY(!text("qtCalculatedMR").isEmpty());
    }

    void pkaDialogRefusesWhatIsNoPkaAndTakesAValidOne()
    {
        record();
        QStringList shown;
        const auto enter = [&shown](const QString &amino) {
            return [&shown, amino](QWidget *w) {
                auto *dialog = qobject_cast<GuiChangePkas *>(w);
                QVERIFY(dialog);
                shown << dialog->qtAmino->text() + ' ' + dialog->qtCarboxyl->text();
                dialog->qtAmino->setText(amino);
                QTimer::singleShot(0, dialog->buttonBox->button(QDialogButtonBox::Ok), &QAbstractButton::click);
            };
        };
        m_f->answerer.answerWith(enter("abc"));
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        m_f->answerer.answerWith(enter("15"));
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        m_f->answerer.answerWith(enter("8.0"));
        widget<QPushButton>("qtChangePeptide")->click();
        QCOMPARE(shown, QStringList({ "7.35 3.9", "abc 3.9", "15 3.9" }));
        QCOMPARE(m_f->answerer.titles().count("Vornakel"), 2);
        QCOMPARE(page()->aminoValue(), 8.0);
        QCOMPARE(input(lastCall(), 5), QString("8"));

        m_f->answerer.answerWith([](QWidget *w) {
            auto *dialog = static_cast<GuiChangePkas *>(w);
            dialog->qtCarboxyl->setText("2");
            dialog->reject();
        });
        widget<QPushButton>("qtChangePeptide")->click();
        QCOMPARE(page()->carboxylValue(), 3.9);
        QVERIFY(m_fake->callRecords().isEmpty());
    }

    // A result that cannot be written whole is no result either: no part of it shows.
    void aScriptErrorLeavesNoEarlierResultShowing_data()
    {
        QTest::addColumn<QString>("body"); // of calculationsFromComposition
        QTest::addColumn<QString>("error");
        QTest::newRow("thrown") << "throw new Error('broken');"
                                << "Error: broken";
        QTest::newRow("a result that contains itself")
            << "var r = [{NAME: 'qtCalculatedVBar', VALUE: 0.7}, {NAME: 'qtCalculatedMR', VALUE: 14300}];"
               " r.push(r); return r;"
            << "The result contains itself: its member 2 refers back to an object that holds it; a result that "
               "contains itself cannot be answered whole, and none of it was answered.";
        QTest::newRow("a result nested too deep")
            << "var r = [{NAME: 'qtCalculatedVBar', VALUE: 0.7}]; for (var i = 0; i < 64; ++i) r = [r]; return r;"
            << "The result nests objects and arrays deeper than 64 levels, the most a result may; none of it was "
               "answered.";
    }
    void aScriptErrorLeavesNoEarlierResultShowing()
    {
        QFETCH(QString, body);
        QFETCH(QString, error);
        typeAll(lysozyme);
        script("calculationsFromComposition = function () { " + body + " };");
        TestLog::ignore(QtWarningMsg, qPrintable("Exec Error: " + error));
        widget<QPushButton>("qtCompute")->click();
        for (const char *name : { "qtCalculatedVBar", "qtCalculatedMR", "qtCalculatedHydration", "qtUnDenaturedVBar",
                 "qtCalculatedVBarWater", "qtIsoElectricPoint", "qtpHCharge", "qtAbsExtinction", "qtAbsMgMl",
                 "qtEstAbsExtinction", "qtEstAbsMgMl" })
            QVERIFY2(text(name).isEmpty(), name);
        QVERIFY(m_f->answerer.titles().contains("Plugin Error"));
        QVERIFY2(m_f->answerer.texts().filter(error).size() == 1, qPrintable(m_f->answerer.texts().join('|')));
    }

    // Saved, overwritten after the question, a failing overwrite rolled back,
    // then chosen again in the main window's list: everything comes back.
    // A stored sequence marks a computed sample for the loader, so only a composition stores one.
    void aSampleWithoutCompositionKeepsItsTypedVbar()
    {
        const QString path = m_f->db.path();
        GuiVornakel *w = m_f->window.get();
        w->qtVbarDirectEntry->click();
        w->qtSampleVbar->setText("0.75");
        GuiSaveToDatabase dialog(path, w);
        dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
        const auto saveAs = [&dialog](const QString &name) {
            dialog.qtSampleName->setEditText(name);
            dialog.qtSampleButtonBox->button(QDialogButtonBox::Save)->click();
        };
        saveAs("Typed");
        dialog.qtSampleName->setCurrentIndex(0); // a new record again
        type("D-Glucose (residue)", "3");
        saveAs("Sugar");
        QSqlQuery query(QSqlDatabase::database(path));
        QVERIFY(query.exec("SELECT id, aminoSequence IS NULL, aminoSequence FROM sample ORDER BY id") && query.next());
        const int typed = query.value(0).toInt();
        QVERIFY(query.value(1).toBool());
        QVERIFY(query.next() && !query.value(1).toBool() && query.value(2).toString().isEmpty());
        w->loadSamplePage(typed);
        QVERIFY(w->qtVbarDirectEntry->isChecked());
        QCOMPARE(w->qtSampleVbar->text().toDouble(), 0.75);
    }

    void aSampleIsSavedOverwrittenAndReloadedUnchanged()
    {
        const QString path = m_f->db.path();
        const auto count = [path](const QString &sql) {
            QSqlQuery query(QSqlDatabase::database(path));
            return query.exec(sql) && query.next() ? query.value(0).toString() : QString("<error>");
        };
        const QString denaturantId = count("SELECT id FROM denature WHERE Name = 'Test denaturant'");
        typeAll(lysozyme);
        type("ALA", "2.5");
        type("D-Glucose (residue)", "3");
        widget<QCheckBox>("qtUseDefinedDenaturant")->click();
        selectDenaturant("Test denaturant");
        const double vbar = number("qtCalculatedVBar");

        GuiSaveToDatabase dialog(path, m_f->window.get());
        dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
        dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
        QAbstractButton *save = dialog.qtSampleButtonBox->button(QDialogButtonBox::Save);
        dialog.qtSampleName->setEditText("Lysozyme test");
        save->click();
        QCOMPARE(count("SELECT count(*) || ' ' || useDenaturant FROM sample"), "1 " + denaturantId);
        QCOMPARE(count("SELECT count(*) FROM aminoComposition WHERE active = 1"), QString("20"));
        QCOMPARE(count("SELECT count FROM conjugateComposition"), QString("3"));

        type("GLY", "13");
        // The stored record chosen again: the button is enabled by a change of the name box.
        dialog.qtSampleName->setCurrentIndex(0);
        dialog.qtSampleName->setCurrentIndex(dialog.qtSampleName->findText("Lysozyme test"));
        QVERIFY(save->isEnabled());
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save->click();
        QVERIFY(m_f->answerer.texts().contains("Are you sure you wish to overwrite this record?"));
        QCOMPARE(count("SELECT count(*) FROM sample"), QString("1"));
        QCOMPARE(count("SELECT group_concat(count) FROM aminoComposition JOIN amino ON amino.id = aminoId "
                       "WHERE Namethree = 'GLY' AND aminoComposition.active = 1"),
            QString("13"));
        QCOMPARE(count("SELECT count(*) FROM aminoComposition WHERE active = 0"), QString("20"));

        QSqlQuery trigger(QSqlDatabase::database(path));
        QVERIFY(trigger.exec("CREATE TRIGGER refuse BEFORE INSERT ON conjugateComposition BEGIN "
                             "SELECT RAISE(ABORT, 'refused by the test'); END"));
        type("GLY", "14");
        TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO conjugateComposition"));
        dialog.qtSampleName->setCurrentIndex(0);
        dialog.qtSampleName->setCurrentIndex(dialog.qtSampleName->findText("Lysozyme test"));
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        save->click();
        QVERIFY(m_f->answerer.texts().last().contains("refused by the test"));
        QCOMPARE(count("SELECT count(*) FROM aminoComposition WHERE active = 1"), QString("20"));
        QCOMPARE(count("SELECT count(*) FROM conjugateComposition WHERE active = 1"), QString("1"));
        QVERIFY(trigger.exec("DROP TRIGGER refuse"));

        // Through the main window's list: a new sample first, then the stored one.
        QComboBox *list = m_f->window->qtSampleName;
        m_f->window->populateSampleRecordList();
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        list->setCurrentIndex(0);
        QVERIFY(cell("ALA")->text().isEmpty() && page()->denaturant().isEmpty());
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        list->setCurrentIndex(list->findData(count("SELECT id FROM sample").toInt(), Qt::UserRole));
        for (const QString &entry : QString(lysozyme).split(' ').mid(1))
            if (!entry.startsWith("GLY"))
                QCOMPARE(cell(entry.section('=', 0, 0))->text(), entry.section('=', 1));
        QCOMPARE(cell("ALA")->text() + ' ' + cell("GLY")->text(), QString("2.5 13"));
        QCOMPARE(cell("D-Glucose (residue)")->text(), QString("3"));
        QCOMPARE(page()->denaturant(), denaturantId);
        QVERIFY(widget<QCheckBox>("qtUseDefinedDenaturant")->isChecked());
        QVERIFY(widget<QListWidget>("qtDenaturants")->currentItem()->isSelected());
        QVERIFY(std::fabs(number("qtCalculatedVBar") - vbar) < 0.01);
    }

    void chargeGraphShowsTheLastPointsInOneWindow()
    {
        widget<QPushButton>("qtGraphCharge")->click(); // nothing computed: no window
        QVERIFY(graphers().isEmpty());
        TestFakeModule *fake = record();
        QList<QVariantMap> points;
        for (int i = 0; i < 5; ++i)
            points << TestFakeModule::point("pH Graph", "x", i, 2 * i)
                   << TestFakeModule::point("pH Graph", "y", i, 10 - i);
        fake->answer("calculationsFromComposition", points);
        widget<QPushButton>("qtCompute")->click();
        widget<QPushButton>("qtGraphCharge")->click();
        QCOMPARE(graphers().size(), 1);
        const QPointer<GuiGrapher> first = graphers().first();
        QCOMPARE(first->curves().size(), 1);
        QCOMPARE(int(first->curves().first()->dataSize()), 5);
        QCOMPARE(first->curves().first()->sample(4), QPointF(8, 6));
        QCOMPARE(first->plotOptions()->axisTitle(QwtPlot::xBottom).text(), QString("pH"));
        QCOMPARE(first->plotOptions()->axisTitle(QwtPlot::yLeft).text(), QString("Net Charge"));

        points.removeLast(); // the last point loses its y: it is not drawn
        fake->answer("calculationsFromComposition", points + QList<QVariantMap> { TestFakeModule::value("x", 1) });
        widget<QPushButton>("qtCompute")->click();
        widget<QPushButton>("qtGraphCharge")->click();
        QVERIFY(first.isNull());
        QCOMPARE(graphers().size(), 1);
        QCOMPARE(int(graphers().first()->curves().first()->dataSize()), 4);
    }

    // A new data entry form draws nothing of the protein before it.
    void newDataEntryFormLeavesNoGraphPoints()
    {
        typeAll(lysozyme);
        m_f->window->actionNew_Data_Entry_Form->trigger();
        widget<QPushButton>("qtGraphCharge")->click();
        widget<QPushButton>("qtGraphAbsorbance")->click();
        QVERIFY(graphers().isEmpty());
    }

    void lysozymeChargeCrossesZeroAtItsIsoelectricPoint()
    {
        typeAll(lysozyme);
        widget<QPushButton>("qtGraphCharge")->click();
        QCOMPARE(graphers().size(), 1);
        const QwtPlotCurve *curve = graphers().first()->curves().first();
        double crossing = -1;
        for (size_t i = 1; i < curve->dataSize(); ++i) {
            const QPointF a = curve->sample(i - 1), b = curve->sample(i);
            if (a.y() > 0 && b.y() <= 0)
                crossing = a.x() + (b.x() - a.x()) * a.y() / (a.y() - b.y());
        }
        QVERIFY2(std::fabs(crossing - 10.64) < 0.1, qPrintable(QString::number(crossing)));
        widget<QPushButton>("qtGraphAbsorbance")->click();
        QCOMPARE(graphers().size(), 2);
        for (GuiGrapher *grapher : graphers())
            if (grapher->plotOptions()->axisTitle(QwtPlot::xBottom).text() == "nm")
                QCOMPARE(grapher->plotOptions()->axisTitle(QwtPlot::yLeft).text(), QString("Molar Exctinction"));
        QVERIFY(graphers().first()->plotOptions()->axisTitle(QwtPlot::xBottom).text() == "nm"
            || graphers().last()->plotOptions()->axisTitle(QwtPlot::xBottom).text() == "nm");
    }

    // Counts as "CODE=n" for the rows that have one, in table order.
    QString counts() const
    {
        QStringList out;
        auto *table = widget<QTableWidget>("qtAminoAcids");
        for (int row = 0; row < table->rowCount(); ++row)
            if (!table->item(row, 2)->text().isEmpty())
                out << table->item(row, 0)->text() + '=' + table->item(row, 2)->text();
        return out.join(' ');
    }

    void sequencesBecomeCounts_data()
    {
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<bool>("convert");
        QTest::addColumn<QString>("counts");
        QTest::newRow("MCCAC converted") << "MCCAC" << true << "ALA=1 CY2=1 CYS=1 MET=1";
        QTest::newRow("MCCAC kept") << "MCCAC" << false << "ALA=1 CYS=3 MET=1";
        QTest::newRow("CCC converted") << "CCC" << true << "CY2=1 CYS=1";
        QTest::newRow("blank adds to CY2") << "ACC A" << true << "ALA=2 CY2=2";
        QTest::newRow("lower case") << "acd" << false << "ALA=1 ASP=1 CYS=1";
        QTest::newRow("empty") << "" << false << "";
    }
    void sequencesBecomeCounts()
    {
        QFETCH(QString, sequence);
        QFETCH(bool, convert);
        QFETCH(QString, counts);
        typeAll("GLY=5 TRP=2");
        page()->populateAminoTableFromSequence(sequence, convert);
        QCOMPARE(this->counts(), counts);
        QCOMPARE(page()->toOneLetterCodes().size(), int(counts.isEmpty() ? 0 : sequence.size() - (convert ? 1 : 0)));
    }

    // A sample composed from a sequence stores the sequence as it was typed or pasted, each cysteine where it
    // stood (the counts hold the disulfides), while the counts are still its own; after a restart the sequence
    // dialog shows exactly that, with the counts and figures unchanged. Counts typed or edited by hand store no
    // sequence, and none is shown.
    void aTypedSequenceIsStoredAndComesBack_data()
    {
        QTest::addColumn<int>("disulfides"); // the answer to the question
        QTest::addColumn<bool>("pasted"); // else typed
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<QString>("edit"); // counts typed afterwards
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("mr"); // hand figures, where given
        QTest::addColumn<double>("extinction");
        const QString chain = QString(lysozymeChain).remove(' ');
        QTest::newRow("as typed") << int(QMessageBox::No) << false << "mkcag\nc"
                                  << ""
                                  << "MKCAGC" << 0.0 << 0.0;
        QTest::newRow("cysteines converted") << int(QMessageBox::Yes) << false << "mkcag\nc"
                                             << ""
                                             << "MKCAGC" << 0.0 << 0.0;
        QTest::newRow("three cysteines converted") << int(QMessageBox::Yes) << false << "CKCAC"
                                                   << ""
                                                   << "CKCAC" << 0.0 << 0.0;
        QTest::newRow("a typed cystine") << int(QMessageBox::No) << false << "AC CA"
                                         << ""
                                         << "AC CA" << 0.0 << 0.0;
        // Mr and the extinction with four disulfides (Pace et al. 1995), as lysozymeGivesItsPublishedFigures.
        QTest::newRow("lysozyme pasted, disulfides")
            << int(QMessageBox::Yes) << true << QString(lysozymeChain).toLower() << "" << chain << 14305.1 << 37970.0;
        QTest::newRow("a count edited") << int(QMessageBox::No) << false << "mkcag\nc"
                                        << "GLY=2"
                                        << "" << 0.0 << 0.0;
        QTest::newRow("counts typed, no sequence") << int(QMessageBox::No) << false << ""
                                                   << "ALA=2 CY2=1 GLY=3"
                                                   << "" << 0.0 << 0.0;
    }
    void aTypedSequenceIsStoredAndComesBack()
    {
        QFETCH(int, disulfides);
        QFETCH(bool, pasted);
        QFETCH(QString, sequence);
        QFETCH(QString, edit);
        QFETCH(QString, stored);
        QFETCH(double, mr);
        QFETCH(double, extinction);
        if (!sequence.isEmpty())
            enterSequence(sequence, pasted, QMessageBox::StandardButton(disulfides));
        if (!edit.isEmpty()) {
            // A count changed away from the sequence drops it once the person says so.
            if (!sequence.isEmpty())
                m_f->answerer.answerMessageBox(QMessageBox::Yes);
            typeAll(edit);
        }
        const QString before = counts();
        const QStringList figures { "qtCalculatedMR", "qtCalculatedVBar", "qtEstAbsExtinction", "qtAbsExtinction" };
        QStringList shown;
        for (const QString &name : figures)
            shown << text(name);

        QCOMPARE(savedAndReloadedSequence(), (QStringList { stored, stored }));
        QCOMPARE(counts(), before);
        for (int i = 0; i < figures.size(); ++i)
            QCOMPARE(text(figures.at(i)), shown.at(i));
        if (mr > 0) {
            QCOMPARE_FIGURE("qtCalculatedMR", mr, 0.05);
            QCOMPARE_FIGURE("qtEstAbsExtinction", extinction, 0.5);
        }
    }

    // A count changed by hand away from the sequence it was set with (lysozyme pasted as a protein database lists
    // it, then ALA 12 made 13): the page asks first. No puts the count back and keeps the sequence; Yes drops it,
    // so that the sequence dialog, the save and a reload all show none beside the new counts. A composition file
    // read over the sequence's counts drops it and says so in its box.
    void aCountChangedAwayFromTheSequenceAsksFirst_data()
    {
        QTest::addColumn<int>("answer"); // to the question; none: the counts read from a composition file
        QTest::addColumn<QString>("count"); // of ALA afterwards
        QTest::addColumn<QString>("total");
        QTest::addColumn<bool>("kept"); // the sequence
        QTest::newRow("No: the count goes back") << int(QMessageBox::No) << "12"
                                                 << "129" << true;
        QTest::newRow("Yes: the sequence goes") << int(QMessageBox::Yes) << "13"
                                                << "130" << false;
        QTest::newRow("a composition file read") << int(QMessageBox::NoButton) << "13"
                                                 << "130" << false;
    }
    void aCountChangedAwayFromTheSequenceAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(QString, count);
        QFETCH(QString, total);
        QFETCH(bool, kept);
        const QString chain = QString(lysozymeChain).remove(' ');
        enterSequence(chain, true, QMessageBox::Yes);
        QCOMPARE(text("qtTotalAminos"), QString("129"));
        m_f->answerer.clear();
        if (answer != QMessageBox::NoButton) {
            m_f->answerer.answerMessageBox(QMessageBox::StandardButton(answer));
            type("ALA", "13");
            QCOMPARE(m_f->answerer.texts(),
                QStringList { "The counts no longer match the sequence of 129 residues (ALA: 12 in the sequence, now "
                              "13).\n\nChange the count and drop the sequence? The sample is then saved without a "
                              "sequence." });
        } else {
            QTemporaryDir dir;
            QString file;
            for (const QString &entry : QString(lysozyme).replace("ALA=12", "ALA=13").split(' '))
                file += entry.section('=', 0, 0) + '\t' + entry.section('=', 1) + '\n';
            QVERIFY(testWriteFile(dir.filePath("more.SMP"), (file + '\n').toLatin1()));
            m_f->answerer.answerFileDialog(dir.filePath("more.SMP"));
            widget<QPushButton>("qtReadCompositionFile")->click();
            QCOMPARE(m_f->answerer.texts().last(),
                QString("The counts read do not match the sequence of 129 residues shown before; the sample has no "
                        "sequence now."));
        }
        QCOMPARE(cell("ALA")->text() + ' ' + text("qtTotalAminos"), count + ' ' + total);
        QCOMPARE(page()->aminoAcidSequenceDialog()->sequence(), kept ? chain : QString());
        const QString figures = text("qtCalculatedVBar") + ' ' + text("qtCalculatedHydration");
        QCOMPARE(savedAndReloadedSequence(), (QStringList { kept ? chain : "", kept ? chain : "" }));
        QCOMPARE(cell("ALA")->text() + ' ' + text("qtTotalAminos"), count + ' ' + total);
        QCOMPARE(text("qtCalculatedVBar") + ' ' + text("qtCalculatedHydration"), figures);
    }

    // A residue whose code the sequence field takes but which has no row of the page's table (made inactive
    // since) is named, not counted as nothing.
    void residuesWithoutARowAreNamed()
    {
        QVERIFY(m_f->sql("UPDATE amino SET active = 0 WHERE Namethree = 'TRP'"));
        QVERIFY(m_f->start());
        m_f->window->stackedWidget->setCurrentWidget(page());
        enterSequence("AWKW", false, QMessageBox::No);
        QCOMPARE(counts(), QString("ALA=1 LYS=1"));
        QCOMPARE(m_f->answerer.texts().last(),
            QString("These residues have no row in the amino acid table and were left out of the counts:\n'W' (2 "
                    "times)"));
    }

    // A sample as the older code stored it, or as the importer brought it, loads with its counts and figures,
    // shows its sequence as stored, and is saved again with its residues in their stored order.
    void anOlderStoredSequenceKeepsItsForm_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("a blank for each disulfide") << "KVFGR ELAAAMKRHGLDNYRGYSLGNWVAAKFESNFNTQATNRNTDGSTDYGILQINSRWW "
                                                       "NDGRTPGSRNLNIP SALLSSDITASVNAKKIVSDGNGMNAWV"
                                                       "AWRNR KGTDVQAWIRGRL";
        QTest::newRow("count order")
            << "AAAAAAAAAAAARRRRRRRRRRRNNNNNNNNNNNNNNDDDDDDD    QQQEEGGGGGGGGGGGGHIIIIIILLLLLLLL"
               "KKKKKKMMFFFPPSSSSSSSSSSTTTTTTTWWWWWWYYYVVVVVV";
        QTest::newRow("blocks of ten") << QString(lysozymeChain);
    }
    void anOlderStoredSequenceKeepsItsForm()
    {
        QFETCH(QString, stored);
        QVERIFY(
            m_f->sql("INSERT INTO sample (id, name, calcVBar, aminoSequence) VALUES (7, 'Older', 0.7175, :sequence)",
                { { ":sequence", stored } }));
        for (const QString &entry : QString(lysozyme).split(' '))
            QVERIFY(m_f->sql("INSERT INTO aminoComposition (sampleId, aminoId, count, active) "
                             "SELECT 7, id, :count, 1 FROM amino WHERE Namethree = :name",
                { { ":count", entry.section('=', 1).toInt() }, { ":name", entry.section('=', 0, 0) } }));
        QVERIFY(m_f->start());
        m_f->window->loadSamplePage(7);
        QStringList loaded = counts().split(' ');
        QStringList wanted = QString(lysozyme).split(' ');
        loaded.sort();
        wanted.sort();
        QCOMPARE(loaded, wanted);
        QCOMPARE_FIGURE("qtCalculatedMR", 14305.1, 0.05);
        QCOMPARE_FIGURE("qtEstAbsExtinction", 37970, 0.5);
        QCOMPARE(page()->aminoAcidSequenceDialog()->sequence(), stored);

        GuiSaveToDatabase dialog(m_f->db.path(), m_f->window.get());
        dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
        dialog.qtSampleName->setCurrentIndex(dialog.qtSampleName->findText("Older"));
        m_f->answerer.answerMessageBox(QMessageBox::Save);
        dialog.qtSampleButtonBox->button(QDialogButtonBox::Save)->click();
        QSqlQuery query(m_f->db.database());
        QVERIFY(query.exec("SELECT count(*), aminoSequence FROM sample") && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QCOMPARE(query.value(1).toString(), stored);
    }

    // The charge tab says the pH its charge is computed at: the sample's own, or a new sample's 7.
    void chargeCaptionNamesThePhUsed()
    {
        QVERIFY(m_f->sql("INSERT INTO sample (id, name, pH, aminoSequence) VALUES (7, 'Acid', 6.8, 'DDR')"));
        for (const char *row : { "'ASP', 2", "'ARG', 1" })
            QVERIFY(m_f->sql(QStringLiteral("INSERT INTO aminoComposition (sampleId, aminoId, count, active) SELECT 7, "
                                            "id, %2, 1 FROM amino WHERE Namethree = %1")
                                 .arg(QString(row).section(", ", 0, 0), QString(row).section(", ", 1))));
        QVERIFY(m_f->start());
        m_f->window->loadSamplePage(7);
        QCOMPARE(text("qtpHLabel"), QString("Charge at pH 6.8"));
        QVERIFY(!text("qtpHCharge").isEmpty());
        m_f->window->clearSamplePage();
        QCOMPARE(text("qtpHLabel"), QString("Charge at pH 7.0"));
    }

    // The sequence dialog holds the loaded sample's sequence only: none after "New Sample", a sample without
    // composition or the page's Clear.
    void theSequenceDialogHoldsOnlyTheLoadedSample()
    {
        QVERIFY(m_f->sql("INSERT INTO sample (id, name, aminoSequence) VALUES (1, 'Peptide', 'DDR')"));
        QVERIFY(m_f->sql("INSERT INTO sample (id, name, VBarDirectEntry) VALUES (2, 'Typed', 0.73)"));
        for (const char *row : { "'ASP', 2", "'ARG', 1" })
            QVERIFY(m_f->sql(QStringLiteral("INSERT INTO aminoComposition (sampleId, aminoId, count, active) SELECT 1, "
                                            "id, %2, 1 FROM amino WHERE Namethree = %1")
                                 .arg(QString(row).section(", ", 0, 0), QString(row).section(", ", 1))));
        QVERIFY(m_f->start());
        QComboBox *list = m_f->window->qtSampleName;
        const GuiAminoAcidSequence *dialog = page()->aminoAcidSequenceDialog();
        const auto choose = [this, list](int id) {
            m_f->answerer.answerMessageBox(QMessageBox::Ok);
            list->setCurrentIndex(id < 0 ? 0 : list->findData(id, Qt::UserRole));
        };
        for (const int next : { -1, 2 }) {
            choose(1);
            QCOMPARE(dialog->sequence(), QString("DDR"));
            choose(next);
            QCOMPARE(dialog->sequence(), QString());
        }
        choose(1);
        widget<QPushButton>("qtClear")->click();
        QCOMPARE(dialog->sequence(), QString());
    }

    void withoutACystineRowNoCysteineIsConverted()
    {
        QSqlQuery update(m_f->db.database());
        QVERIFY(update.exec("UPDATE amino SET active = 0 WHERE Namethree = 'CY2'"));
        QPushButton importer; // the page reloads its lists only on an importer's signal
        connect(&importer, &QPushButton::clicked, page(), &GuiSampleComposition::onDatabaseImporterRun);
        importer.click();
        page()->populateAminoTableFromSequence("CCCC", true);
        QCOMPARE(counts(), QString("CYS=4"));
    }

    void editCommandAsksAboutDisulfides()
    {
        m_f->answerer.answerWith([](QWidget *w) {
            auto *dialog = qobject_cast<GuiAminoAcidSequence *>(w);
            QVERIFY(dialog);
            dialog->qtSequenceEdit->setPlainText("ACCCK");
            dialog->accept();
        });
        m_f->answerer.answerMessageBox(QMessageBox::Yes);
        widget<QPushButton>("qtEditAASequence")->click();
        QCOMPARE(m_f->answerer.titles().last(), QString("Vornakel Composition"));
        QCOMPARE(counts(), QString("ALA=1 CY2=1 CYS=1 LYS=1"));
        QCOMPARE(text("qtTotalAminos"), QString("5")); // a CY2 counts two residues
        page()->fromOneLetterCodes("aA ");
        QCOMPARE(counts(), QString("ALA=3 CY2=2 CYS=1 LYS=1"));
    }

    // A count typed into a cell is in the total once the cell is left, wherever the person clicks next.
    void theTotalCountsTheLastCellWhenItIsLeft_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::newRow("a label") << "labelTotal";
        QTest::newRow("beside the fields") << "";
        QTest::newRow("another cell") << "qtAminoAcids";
    }
    void theTotalCountsTheLastCellWhenItIsLeft()
    {
        QFETCH(QString, clicked);
        typeAll("ALA=500 GLY=47");
        auto *table = widget<QTableWidget>("qtAminoAcids");
        QApplication::setActiveWindow(m_f->window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_f->window.get(), testPatienceMs()));
        table->setCurrentItem(cell("LYS"));
        table->editItem(cell("LYS"));
        QTest::keyClicks(QApplication::focusWidget(), "36");
        QCOMPARE(text("qtTotalAminos"), QString("547"));
        if (clicked == "qtAminoAcids")
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(cell("ALA")).center());
        else
            QTest::mouseClick(clicked.isEmpty() ? page() : widget(clicked), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(text("qtTotalAminos"), QString("583"));
    }

    void compositionFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("lysozyme.SMP");
        typeAll(lysozyme);
        type("D-Glucose (residue)", "1");
        m_f->answerer.answerFileDialog(path);
        widget<QPushButton>("qtSaveCompositionFile")->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY(written.startsWith("ALA\t12\nARG\t11\nASN\t14\nASP\t7\nCY2\t4\nGLN\t3\n"));
        QVERIFY(written.endsWith("VAL\t6\n\nD-Glucose (residue)\t1\n"));
        const QString before = counts();
        widget<QPushButton>("qtClear")->click();
        m_f->answerer.answerFileDialog(path);
        widget<QPushButton>("qtReadCompositionFile")->click();
        QCOMPARE(counts(), before);
        QCOMPARE(cell("D-Glucose (residue)")->text(), QString("1"));
        QCOMPARE(text("qtTotalAminos"), QString("129"));

        widget<QPushButton>("qtClear")->click();
        m_f->answerer.answerFileDialog(path);
        m_f->answerer.answerMessageBox(QMessageBox::Yes); // the file dialog's "replace?"
        widget<QPushButton>("qtSaveCompositionFile")->click();
        // A save puts a new file in the old one's place.
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\n")); // nothing to store: the parting line only
    }

    // One box for the file's problems; a name listed twice is said once, as the .buf reader says it.
    void compositionFileProblemsAreGatheredInOneBox()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("odd.SMP");
        QVERIFY(testWriteFile(path,
            "ala\t3\r\n ARG \t 4 \r\nno tab here\nXYZ\t1\nALA\t5\n   \t \nD-Glucose (residue)\t2\textra\nALA\t9\n"
            "d-glucose (residue)\t6\nD-Glucose (residue)\t7"));
        type("GLY", "5");
        m_f->answerer.answerFileDialog(path);
        widget<QPushButton>("qtReadCompositionFile")->click();
        QCOMPARE(counts(), QString("ALA=5 ARG= 4 "));
        QCOMPARE(cell("D-Glucose (residue)")->text(), QString("7"));
        QCOMPARE(m_f->answerer.texts().last(),
            QString(
                "Line 3: Ignoring invalid row\nLine 4: No record found for 'XYZ'\nLine 5: 'ALA' is listed more than "
                "once; its last line is used\nLine 8: No record found for 'ALA'\nLine 9: 'd-glucose (residue)' is "
                "listed more than once; its last line is used"));

        QVERIFY(testWriteFile(path, QByteArray("x\n").repeated(25)));
        m_f->answerer.answerFileDialog(path);
        widget<QPushButton>("qtReadCompositionFile")->click();
        // Two file dialogs, two boxes, and the module's word that glucose has no hydration figures.
        QCOMPARE(m_f->answerer.seen().size(), 5);
        QVERIFY(m_f->answerer.texts().filter("'D-Glucose (residue)' has no HipH7, no HipH4").size() == 1);
        QVERIFY(m_f->answerer.texts().last().endsWith("Line 20: Ignoring invalid row\n... and 5 more lines"));
    }

    void sequenceFilesAreReadInTheFormOfTheirFilter()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("seq.SEQ");
        QVERIFY(testWriteFile(path, "ACDEC"));
        type("D-Glucose (residue)", "2");
        m_f->answerer.answerFileDialog(path, GuiSampleComposition::oneLetterSequenceFilter);
        m_f->answerer.answerMessageBox(QMessageBox::No); // no disulfides
        widget<QPushButton>("qtReadCompositionFile")->click();
        QCOMPARE(counts(), QString("ALA=1 ASP=1 CYS=2 GLU=1"));
        QVERIFY(cell("D-Glucose (residue)")->text().isEmpty());
        QVERIFY(testWriteFile(path, "ALACYSGLY"));
        m_f->answerer.answerFileDialog(path, GuiSampleComposition::threeLetterSequenceFilter);
        m_f->answerer.answerMessageBox(QMessageBox::No);
        widget<QPushButton>("qtReadCompositionFile")->click();
        QCOMPARE(counts(), QString("ALA=1 CYS=1 GLY=1"));
    }

    // The save dialogs add the extension their filter shows, so that the open dialogs list the file again.
    void savedFilesGetTheExtensionOfTheirFilter_data()
    {
        QTest::addColumn<bool>("sequence");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("composition") << false << "bsa"
                                     << "bsa.SMP";
        QTest::newRow("composition, a dot in the name") << false << "Tris 0.1 M"
                                                        << "Tris 0.1 M.SMP";
        QTest::newRow("composition, its extension typed") << false << "bsa.smp"
                                                          << "bsa.smp";
        QTest::newRow("sequence") << true << "bsa"
                                  << "bsa.SEQ";
    }
    void savedFilesGetTheExtensionOfTheirFilter()
    {
        QFETCH(bool, sequence);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir dir;
        typeAll("ALA=2");
        m_f->answerer.answerFileDialog(dir.filePath(typed));
        if (sequence) {
            page()->aminoAcidSequenceDialog()->qtSequenceEdit->setPlainText("ACDE");
            page()->aminoAcidSequenceDialog()->qtSaveToFile->click();
        } else {
            widget<QPushButton>("qtSaveCompositionFile")->click();
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { written });
        QCOMPARE(m_f->answerer.seen().size(), 1); // nothing to replace, nothing asked
    }

    // "Read Composition from File" reads the sequence files the program writes, named or not, under its first filter;
    // their cysteines become disulfides again when the person says so, as in the sequence dialog.
    void compositionReadTakesTheProgramsSequenceFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("convert");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with its extension") << "bsa.SEQ" << int(QMessageBox::No) << "ALA=1 ASP=1 CYS=2 GLU=1";
        QTest::newRow("without an extension") << "bsa" << int(QMessageBox::No) << "ALA=1 ASP=1 CYS=2 GLU=1";
        QTest::newRow("cysteines converted") << "bsa.SEQ" << int(QMessageBox::Yes) << "ALA=1 ASP=1 CY2=1 GLU=1";
    }
    void compositionReadTakesTheProgramsSequenceFiles()
    {
        QFETCH(QString, name);
        QFETCH(int, convert);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        page()->aminoAcidSequenceDialog()->qtSequenceEdit->setPlainText("ACDEC");
        m_f->answerer.answerFileDialog(dir.filePath("bsa.SEQ"));
        page()->aminoAcidSequenceDialog()->qtSaveToFile->click();
        QVERIFY(name == "bsa.SEQ" || QFile::rename(dir.filePath("bsa.SEQ"), dir.filePath(name)));
        m_f->answerer.clear();
        m_f->answerer.answerFileDialog(dir.filePath(name));
        m_f->answerer.answerMessageBox(QMessageBox::StandardButton(convert));
        widget<QPushButton>("qtReadCompositionFile")->click();
        QCOMPARE(counts(), expected);
        QCOMPARE(m_f->answerer.texts().last(), QString("Do you want all cysteines converted to disulfides?"));
    }

    // A composition saved over a file on a disk that fails the write (here
    // a write past the size this process may write): the old file is kept,
    // and the box says why.
    void aCompositionFileThatCannotBeWrittenIsReported()
    {
        typeAll("ALA=1 GLY=2");
        QTemporaryDir dir;
        const QString old = dir.filePath("old.SMP");
        QVERIFY(testWriteFile(old, "CYS\t9\n\n"));
        m_f->answerer.answerFileDialog(old);
        m_f->answerer.answerMessageBox(QMessageBox::Yes); // "replace?"
        {
            const TestFileSizeLimit full(4);
            widget<QPushButton>("qtSaveCompositionFile")->click();
        }
        QFile file(old);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("CYS\t9\n\n"));
        QCOMPARE(m_f->answerer.texts().last(),
            old + " could not be written: " + TestFileSizeLimit::reason() + ". The file keeps what it held before.");
    }

    // A class row of the summary: number, % by weight, % by number.
    static QString classRow(const QString &html, const QString &label)
    {
        const int at = html.indexOf("<TD>" + label + "</TD>");
        const QString row = html.mid(at, html.indexOf("</TR>", at) - at);
        QStringList cells;
        for (const QString &part : row.split("<TD ALIGN=right>").mid(1))
            cells << part.section('<', 0, 0);
        return cells.join(' ');
    }
    static double figureAfter(const QString &html, const QString &text)
    {
        return html.mid(html.indexOf(text) + text.size()).section(QRegularExpression("[;<]"), 0, 0).toDouble();
    }

    // Hand counts of hen lysozyme: charged D7 E2 H1 K6 R11 = 27 of 129 residues,
    // hydrophobic A12 F3 I6 L8 M2 V6 W6 = 43; weights from the residue masses.
    void summaryReportOfLysozymeAsMonomerAndTrimer()
    {
        typeAll(lysozyme);
        page()->setSampleName("<b>Lysozyme & co</b>");
        QString html = page()->summaryHtml();
        QVERIFY(html.contains("Sample Name: &lt;b&gt;Lysozyme &amp; co&lt;/b&gt;<br>"));
        QVERIFY(html.contains("Charge at pH 7.0 = 7.86; Isoelectric point = 10.64<br>"));
        QCOMPARE(classRow(html, "Charged (DEHKR)"), QString("27 25.78 20.93"));
        QCOMPARE(classRow(html, "Hydrophobic (AFILMVW)"), QString("43 33.93 33.33"));
        QCOMPARE(std::round(figureAfter(html, "(per residue) = ") * 100) / 100, 110.89);
        QCOMPARE(std::round(figureAfter(html, "(per peptide bond) = ") * 100) / 100, 111.76);
        QVERIFY(!html.contains("N-mer"));

        widget<QCheckBox>("qtMakeOligomer")->click();
        auto *n = widget<QLineEdit>("qtOligomerN");
        n->setText("3");
        emit n->editingFinished();
        html = page()->summaryHtml();
        QVERIFY(html.contains("Values are for an N-mer of this monomeric composition, N=3<br>"));
        QVERIFY(html.contains("Total amino acids per monomer = 129<br>"));
        QCOMPARE(classRow(html, "Charged (DEHKR)"), QString("27 25.78 20.93"));
        QCOMPARE(classRow(html, "Hydrophobic (AFILMVW)"), QString("43 33.93 33.33"));
        QCOMPARE(std::round(figureAfter(html, "(per residue) = ") * 100) / 100, 110.89);
        QCOMPARE(std::round(figureAfter(html, "(per peptide bond) = ") * 100) / 100, 111.76);
        QVERIFY(!html.contains('\n'));
        QVERIFY(!html.contains('\t') && html.contains("<br>&nbsp;&nbsp;&nbsp;&nbsp;in 6M GdnHCl = "));
    }

    void summaryOfAnEmptyCompositionPrintsDashes()
    {
        const QString html = page()->summaryHtml();
        QCOMPARE(classRow(html, "Charged (DEHKR)"), QString("0 - -"));
        QVERIFY(html.contains("Molecular Weight = -<br>"));
        QVERIFY(html.contains("(per residue) = -; (per peptide bond) = -<br>"));
        QVERIFY(!html.contains("inf") && !html.contains("nan"));
        type("ASP", "2.5"); // counted as the number it is
        QCOMPARE(classRow(page()->summaryHtml(), "Acidic (DE)").section(' ', 0, 0), QString("2.5"));
    }

    void summaryPrintsToPdf()
    {
        typeAll(lysozyme);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("summary.pdf"));
        page()->printSummary(&printer);
        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(4) == "%PDF" && pdf.size() > 1000);
    }

    void oneLetterCodesFollowTheTableAndStopAtTheCap()
    {
        typeAll("ALA=2 CY2=1 CYS=0");
        QCOMPARE(page()->toOneLetterCodes(), QString("AA "));
        type("ALA", "2000000");
        QCOMPARE(page()->toOneLetterCodes(), QString());
    }
};

TEST_MAIN(TstGuiSampleComposition)
#include "tst_gui_samplecomposition.moc"
