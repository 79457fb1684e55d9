#include "gui/gui_changedefaults.h"
#include "gui/gui_lineedit.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QSettings>
#include <QtTest>
#include <memory>

namespace {

const QStringList seedDefaults = { "20", "0.99823", "0.01002", "0.73", "7", "0.009" };

// The five value rows of the form, in the order they are written: check box, field, column, place in
// defaultValues().
struct Row
{
    const char *box;
    const char *field;
    const char *column;
    int index;
};
const QList<Row> valueRows = {
    { "qtChangeBufferDensity", "qtDefaultBufferDensityValue", "density", 1 },
    { "qtChangeBufferViscosity", "qtDefaultBufferViscosityValue", "viscosity", 2 },
    { "qtChangeBufferpH", "qtDefaultBufferpHValue", "pH", 4 },
    { "qtChangeVbar", "qtDefaultVbarValue", "vbar", 3 },
    { "qtChangeDependence", "qtDefaultConcentrationDependenceValue", "sk", 5 },
};

} // namespace

class TstGuiChangeDefaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    std::unique_ptr<GuiChangeDefaults> m_dlg;

    // The dialog on the test database, made and shown on first use.
    GuiChangeDefaults &dialog()
    {
        if (!m_dlg) {
            m_dlg.reset(new GuiChangeDefaults(m_db->connectionName()));
            m_dlg->show();
            (void)QTest::qWaitForWindowExposed(m_dlg.get());
        }
        return *m_dlg;
    }
    void click(const QString &name)
    {
        auto *w = dialog().findChild<QAbstractButton *>(name);
        QVERIFY2(w, qPrintable(name));
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }
    // Ticks the row's box and types `text` into its field.
    void change(const Row &row, const QString &text)
    {
        click(row.box);
        auto *edit = dialog().findChild<GuiLineEdit *>(row.field);
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }
    void press(QDialogButtonBox::StandardButton button)
    {
        auto *w = dialog().qtChangeDefaultAccRej->button(button);
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }
    QString stored(const QString &column)
    {
        return m_db->value(QStringLiteral("SELECT %1 FROM defaults WHERE id = 1").arg(column)).toString();
    }

private slots:
    void init()
    {
        m_settings.reset(new TestSettings);
        m_db.reset(new TestDatabase);
        m_answerer.reset(new TestModalAnswerer);
    }
    void cleanup()
    {
        m_dlg.reset();
        m_answerer.reset();
        m_db.reset();
        m_settings.reset();
    }

    void formShowsStoredDefaultsWithEveryRowLocked()
    {
        GuiChangeDefaults &dlg = dialog();
        QCOMPARE(dlg.objectName(), QString("QtChangeDefault"));
        QCOMPARE(dlg.windowTitle(), QString("Change Defaults"));
        QCOMPARE(dlg.minimumSize(), QSize(710, 389));
        for (const Row &row : valueRows) {
            QCOMPARE(dlg.findChild<QCheckBox *>(row.box)->text(), QString("Change"));
            QVERIFY(!dlg.findChild<QCheckBox *>(row.box)->isChecked());
            QVERIFY(!dlg.findChild<GuiLineEdit *>(row.field)->isEnabled());
            QCOMPARE(dlg.findChild<GuiLineEdit *>(row.field)->text(), seedDefaults.at(row.index));
        }
        QCOMPARE(dlg.qtDefaultDatabaseLocation->text(), m_db->path());
        QVERIFY(dlg.qtDefaultDatabaseLocation->isReadOnly());
        QVERIFY(!dlg.qtRadioDefaultTellerMethod->isChecked());
        QVERIFY(m_answerer->seen().isEmpty());
    }

    void defaultValuesReadsRowOne_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("error");
        QTest::newRow("seed row") << "SELECT 1" << seedDefaults << "";
        QTest::newRow("changed row") << "UPDATE defaults SET temperature = 25.5, sk = NULL"
                                     << QStringList({ "25.5", "0.99823", "0.01002", "0.73", "7", "" }) << "";
        QTest::newRow("no row") << "DELETE FROM defaults" << QStringList({ "", "", "", "", "", "" }) << "";
        QTest::newRow("no table") << "DROP TABLE defaults" << QStringList({ "", "", "", "", "", "" })
                                  << "no such table";
    }
    void defaultValuesReadsRowOne()
    {
        QFETCH(QString, statement);
        QFETCH(QStringList, values);
        QFETCH(QString, error);
        QVERIFY(m_db->exec(statement));
        QCOMPARE(dialog().defaultValues(), values);
        QCOMPARE(dialog().qtDefaultVbarValue->text(), values.at(3));
        // Each failed read shows the driver's text.
        QCOMPARE(m_answerer->seen().isEmpty(), error.isEmpty());
        for (const TestModalAnswerer::Seen &seen : m_answerer->seen()) {
            QCOMPARE(seen.title, QString("Vornakel"));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QVERIFY(seen.text.contains(error));
        }
    }

    void changeBoxesUnlockTheirRows_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("unlocked");
        QTest::newRow("database") << "qtChangeExperimentalDatabase"
                                  << QStringList({ "qtDefaultDatabaseLocation", "qtChangeDbBrowseButton" });
        for (const Row &row : valueRows)
            QTest::newRow(row.box) << row.box << QStringList({ row.field });
        QTest::newRow("method") << "qtChangeDefaultMethod" << QStringList();
    }
    void changeBoxesUnlockTheirRows()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, unlocked);
        const QStringList all = { "qtDefaultDatabaseLocation", "qtChangeDbBrowseButton", "qtDefaultBufferDensityValue",
            "qtDefaultBufferViscosityValue", "qtDefaultBufferpHValue", "qtDefaultVbarValue",
            "qtDefaultConcentrationDependenceValue", "qtRadioDefaultVbarMethod", "qtRadioDefaultTellerMethod" };
        for (bool ticked : { true, false }) {
            click(box);
            for (const QString &name : all)
                QCOMPARE(dialog().findChild<QWidget *>(name)->isEnabled(), ticked && unlocked.contains(name));
        }
    }

    // Each row written alone, in one of the forms a number may be typed; it is stored as a number.
    void okWritesOnlyTheCheckedRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("read");
        QTest::newRow("density") << 0 << "1.5e-1"
                                 << "0.15";
        QTest::newRow("viscosity") << 1 << ".5"
                                   << "0.5";
        QTest::newRow("pH") << 2 << " 7.4 "
                            << "7.4";
        QTest::newRow("vbar") << 3 << "+0.72"
                              << "0.72";
        QTest::newRow("sk") << 4 << "5E-3"
                            << "0.005";
    }
    void okWritesOnlyTheCheckedRow()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, read);
        // An old date stored past the update trigger, so that the write is seen to stamp the row.
        const QString trigger = stored("(SELECT sql FROM sqlite_master WHERE name = 'defaults_update_modified_time')");
        QVERIFY(m_db->exec("DROP TRIGGER defaults_update_modified_time"));
        QVERIFY(m_db->exec("UPDATE defaults SET modified = '2000-01-01 00:00:00'") && m_db->exec(trigger));
        change(valueRows.at(row), typed);
        press(QDialogButtonBox::Ok);
        QVERIFY(!dialog().isVisible());
        QVERIFY(m_answerer->seen().isEmpty());
        QStringList expected = seedDefaults;
        expected[valueRows.at(row).index] = read;
        QCOMPARE(dialog().defaultValues(), expected);
        QCOMPARE(stored(QStringLiteral("typeof(%1)").arg(valueRows.at(row).column)), QString("real"));
        QVERIFY(stored("modified") != "2000-01-01 00:00:00");
    }

    void refusesEntriesThatAreNotNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("decimal comma") << "1,5";
        QTest::newRow("nan") << "nan";
        QTest::newRow("overflow") << "1e999";
        QTest::newRow("statement") << "1; DROP TABLE defaults";
    }
    void refusesEntriesThatAreNotNumbers()
    {
        QFETCH(QString, text);
        change(valueRows.at(0), text);
        change(valueRows.at(2), "7.2");
        press(QDialogButtonBox::Ok);
        QCOMPARE(m_answerer->seen().size(), 1);
        QCOMPARE(m_answerer->seen().first().title, QString("Vornakel"));
        QCOMPARE(m_answerer->seen().first().icon, QMessageBox::Warning);
        QVERIFY(m_answerer->seen().first().text.startsWith("Buffer density: "));
        // The refused row is left alone; the other checked row is still written.
        QCOMPARE(dialog().defaultValues(), QStringList({ "20", "0.99823", "0.01002", "0.73", "7.2", "0.009" }));
    }

    void cancelWritesNothing()
    {
        for (const Row &row : valueRows)
            change(row, "3");
        press(QDialogButtonBox::Cancel);
        QCOMPARE(dialog().result(), int(QDialog::Rejected));
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(dialog().defaultValues(), seedDefaults);
    }

    void failingUpdateShowsDriverText()
    {
        QVERIFY(m_db->exec("CREATE TRIGGER defaults_locked BEFORE UPDATE ON defaults "
                           "BEGIN SELECT RAISE(ABORT, 'defaults are locked'); END"));
        change(valueRows.at(0), "1.1");
        change(valueRows.at(3), "0.7");
        press(QDialogButtonBox::Ok);
        QCOMPARE(m_answerer->seen().size(), 2);
        for (const TestModalAnswerer::Seen &seen : m_answerer->seen()) {
            QCOMPARE(seen.title, QString("Vornakel"));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QVERIFY(seen.text.contains("defaults are locked"));
        }
        QCOMPARE(dialog().defaultValues(), seedDefaults);
    }

    void databaseAndMethodRowsOnlyLeaveDebugLines()
    {
        click("qtChangeExperimentalDatabase");
        click("qtChangeDefaultMethod");
        QTest::ignoreMessage(QtDebugMsg, "Change Default Database not yet implemented.");
        QTest::ignoreMessage(QtDebugMsg, "Change Default calculation method not yet implemented.");
        press(QDialogButtonBox::Ok);
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(dialog().defaultValues(), seedDefaults);
    }

    void browseShowsChosenFileAndRemembersItsFolder()
    {
        TestDatabase other("other.db");
        const QString folder = QFileInfo(other.path()).absolutePath();
        click("qtChangeExperimentalDatabase");
        m_answerer->answerFileDialog(other.path());
        click("qtChangeDbBrowseButton");
        QCOMPARE(m_answerer->seen().size(), 1);
        QCOMPARE(m_answerer->seen().first().title, QString("Open Database"));
        QCOMPARE(m_answerer->seen().first().text, QDir::currentPath());
        QCOMPARE(dialog().qtDefaultDatabaseLocation->text(), other.path());
        QCOMPARE(QSettings("KSQ/DLM", "Vornakel").value("ChangeDefaults/lastOpenDirectory").toString(), folder);

        // The next browse starts in the remembered folder; cancelling changes nothing.
        m_answerer->clear();
        m_answerer->answerFileDialog(QString());
        click("qtChangeDbBrowseButton");
        QCOMPARE(m_answerer->seen().first().text, folder);
        QCOMPARE(dialog().qtDefaultDatabaseLocation->text(), other.path());
        // Only shown: the defaults still come from the dialog's own database.
        QCOMPARE(dialog().defaultValues(), seedDefaults);
    }
};

QTEST_MAIN(TstGuiChangeDefaults)
#include "tst_gui_changedefaults.moc"
