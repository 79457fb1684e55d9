#include "gui/gui_changedefaults.h"
#include "gui/gui_lineedit.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSqlQuery>
#include <QtTest>

namespace {

const QStringList seedDefaults = { "20", "0.99823", "0.01002", "0.73", "7", "0.009" };

struct Row
{
    const char *box;
    const char *field;
    const char *column;
    int index; // in the defaults list
};

// The five value rows of the form, in the order they are written.
const QList<Row> valueRows = {
    { "qtChangeBufferDensity", "qtDefaultBufferDensityValue", "density", 1 },
    { "qtChangeBufferViscosity", "qtDefaultBufferViscosityValue", "viscosity", 2 },
    { "qtChangeBufferpH", "qtDefaultBufferpHValue", "pH", 4 },
    { "qtChangeVbar", "qtDefaultVbarValue", "vbar", 3 },
    { "qtChangeDependence", "qtDefaultConcentrationDependenceValue", "sk", 5 },
};

QString storedDefaults(const TestDatabase &db)
{
    QSqlQuery q(db.database());
    q.exec("SELECT temperature, density, viscosity, vbar, pH, sk FROM defaults WHERE id = 1");
    if (!q.next())
        return QString();
    QStringList out;
    for (int i = 0; i < 6; ++i)
        out << q.value(i).toString();
    return out.join('|');
}

// Stores an old modification date past the update trigger, so a later write is visible.
bool ageDefaultsRow(const TestDatabase &db)
{
    const QString trigger
        = db.value("SELECT sql FROM sqlite_master WHERE name = 'defaults_update_modified_time'").toString();
    return !trigger.isEmpty() && db.exec("DROP TRIGGER defaults_update_modified_time")
        && db.exec("UPDATE defaults SET modified = '2000-01-01 00:00:00' WHERE id = 1") && db.exec(trigger);
}

} // namespace

class TstGuiChangeDefaults : public QObject
{
    Q_OBJECT

private:
    static void click(QWidget *w)
    {
        QVERIFY(w);
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }
    static void type(GuiChangeDefaults &dlg, const char *field, const QString &text)
    {
        auto *edit = dlg.findChild<GuiLineEdit *>(field);
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }
    static void pressOk(GuiChangeDefaults &dlg)
    {
        auto *box = dlg.findChild<QDialogButtonBox *>("qtChangeDefaultAccRej");
        QVERIFY(box);
        click(box->button(QDialogButtonBox::Ok));
    }
    static void show(GuiChangeDefaults &dlg)
    {
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }

private slots:
    void formIsBuiltAsDesigned()
    {
        TestDatabase db;
        GuiChangeDefaults dlg(db.connectionName());
        QCOMPARE(dlg.objectName(), QString("QtChangeDefault"));
        QCOMPARE(dlg.windowTitle(), QString("Change Defaults"));
        QCOMPARE(dlg.minimumSize(), QSize(710, 389));
        QVERIFY(!dlg.parent());
        for (const Row &row : valueRows) {
            auto *field = dlg.findChild<GuiLineEdit *>(row.field);
            QVERIFY2(field, row.field);
            QVERIFY(!field->isEnabled());
            auto *box = dlg.findChild<QCheckBox *>(row.box);
            QVERIFY2(box, row.box);
            QVERIFY(!box->isChecked());
            QCOMPARE(box->text(), QString("Change"));
        }
        QVERIFY(!dlg.findChild<QLineEdit *>("qtDefaultDatabaseLocation")->isEnabled());
        QVERIFY(dlg.findChild<QLineEdit *>("qtDefaultDatabaseLocation")->isReadOnly());
        QVERIFY(!dlg.findChild<QPushButton *>("qtChangeDbBrowseButton")->isEnabled());
        QVERIFY(!dlg.findChild<QRadioButton *>("qtRadioDefaultVbarMethod")->isEnabled());
        QVERIFY(!dlg.findChild<QRadioButton *>("qtRadioDefaultTellerMethod")->isChecked());
    }

    void showsStoredDefaultsAndDatabasePath()
    {
        TestDatabase db;
        GuiChangeDefaults dlg(db.connectionName());
        QCOMPARE(dlg.qtDefaultDatabaseLocation->text(), db.path());
        QCOMPARE(dlg.qtDefaultBufferDensityValue->text(), QString("0.99823"));
        QCOMPARE(dlg.qtDefaultBufferViscosityValue->text(), QString("0.01002"));
        QCOMPARE(dlg.qtDefaultVbarValue->text(), QString("0.73"));
        QCOMPARE(dlg.qtDefaultBufferpHValue->text(), QString("7"));
        QCOMPARE(dlg.qtDefaultConcentrationDependenceValue->text(), QString("0.009"));
    }

    void defaultValuesListsTheSixInOrder()
    {
        TestDatabase db;
        GuiChangeDefaults dlg(db.connectionName());
        QCOMPARE(dlg.defaultValues(), seedDefaults);
        QVERIFY(db.exec("UPDATE defaults SET temperature = 25.5, sk = NULL WHERE id = 1"));
        QCOMPARE(dlg.defaultValues(), QStringList({ "25.5", "0.99823", "0.01002", "0.73", "7", "" }));
    }

    void emptyDefaultsTableGivesSixEmptyStrings()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        QVERIFY(db.exec("DELETE FROM defaults"));
        GuiChangeDefaults dlg(db.connectionName());
        QCOMPARE(dlg.defaultValues(), QStringList({ "", "", "", "", "", "" }));
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(dlg.qtDefaultBufferDensityValue->text().isEmpty());
    }

    void failingDefaultsQueryShowsDriverText()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        QVERIFY(db.exec("DROP TABLE defaults"));
        GuiChangeDefaults dlg(db.connectionName());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
        QVERIFY(answerer.seen().first().text.contains("no such table"));
        QCOMPARE(dlg.defaultValues(), QStringList({ "", "", "", "", "", "" }));
        QVERIFY(dlg.qtDefaultVbarValue->text().isEmpty());
    }

    void changeBoxesUnlockTheirRows_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("unlocked");
        QTest::newRow("database") << "qtChangeExperimentalDatabase"
                                  << QStringList({ "qtDefaultDatabaseLocation", "qtChangeDbBrowseButton" });
        for (const Row &row : valueRows)
            QTest::newRow(row.column) << row.box << QStringList({ row.field });
        QTest::newRow("method") << "qtChangeDefaultMethod" << QStringList();
    }
    void changeBoxesUnlockTheirRows()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, unlocked);
        TestDatabase db;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        const QStringList all = { "qtDefaultDatabaseLocation", "qtChangeDbBrowseButton", "qtDefaultBufferDensityValue",
            "qtDefaultBufferViscosityValue", "qtDefaultBufferpHValue", "qtDefaultVbarValue",
            "qtDefaultConcentrationDependenceValue", "qtRadioDefaultVbarMethod", "qtRadioDefaultTellerMethod" };
        click(dlg.findChild<QCheckBox *>(box));
        for (const QString &name : all)
            QCOMPARE(dlg.findChild<QWidget *>(name)->isEnabled(), unlocked.contains(name));
        click(dlg.findChild<QCheckBox *>(box));
        for (const QString &name : all)
            QVERIFY(!dlg.findChild<QWidget *>(name)->isEnabled());
    }

    void okWritesOnlyTheCheckedRow_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < valueRows.size(); ++i)
            QTest::newRow(valueRows.at(i).column) << i;
    }
    void okWritesOnlyTheCheckedRow()
    {
        QFETCH(int, row);
        TestDatabase db;
        TestModalAnswerer answerer;
        QVERIFY(ageDefaultsRow(db));
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.findChild<QCheckBox *>(valueRows.at(row).box));
        type(dlg, valueRows.at(row).field, "7.4");
        pressOk(dlg);
        QVERIFY(!dlg.isVisible());
        QVERIFY(answerer.seen().isEmpty());

        QStringList expected = seedDefaults;
        expected[valueRows.at(row).index] = "7.4";
        QCOMPARE(storedDefaults(db), expected.join('|'));
        QVERIFY(db.value("SELECT modified FROM defaults WHERE id = 1").toString() != "2000-01-01 00:00:00");
        QCOMPARE(dlg.defaultValues(), expected);
    }

    void okWritesEveryCheckedRow()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        const QStringList values = { "1.01", "0.0105", "6.5", "0.72", "0.011" };
        QStringList expected = seedDefaults;
        for (int i = 0; i < valueRows.size(); ++i) {
            expected[valueRows.at(i).index] = values.at(i);
            click(dlg.findChild<QCheckBox *>(valueRows.at(i).box));
            type(dlg, valueRows.at(i).field, values.at(i));
        }
        pressOk(dlg);
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(dlg.defaultValues(), expected);
    }

    void valuesAreStoredAsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("stored");
        QTest::newRow("exponent") << "1.5e-1" << 0.15;
        QTest::newRow("capital exponent") << "-1E2" << -100.0;
        QTest::newRow("plus sign") << "+2" << 2.0;
        QTest::newRow("no leading digit") << ".5" << 0.5;
        QTest::newRow("no digit after the point") << "5." << 5.0;
        QTest::newRow("blanks around") << " 1.25 " << 1.25;
    }
    void valuesAreStoredAsNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, stored);
        TestDatabase db;
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.qtChangeBufferDensity);
        type(dlg, "qtDefaultBufferDensityValue", text);
        pressOk(dlg);
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(db.value("SELECT typeof(density) FROM defaults WHERE id = 1").toString(), QString("real"));
        QCOMPARE(db.value("SELECT density FROM defaults WHERE id = 1").toDouble(), stored);
    }

    void refusesEntriesThatAreNotNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("decimal comma") << "1,5";
        QTest::newRow("expression") << "1+1";
        QTest::newRow("infinite") << "inf";
        QTest::newRow("nan") << "nan";
        QTest::newRow("overflow") << "1e999";
        QTest::newRow("statement") << "1; DROP TABLE defaults";
        QTest::newRow("subquery") << "(SELECT 5)";
    }
    void refusesEntriesThatAreNotNumbers()
    {
        QFETCH(QString, text);
        TestDatabase db;
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.qtChangeBufferDensity);
        type(dlg, "qtDefaultBufferDensityValue", text);
        click(dlg.qtChangeBufferpH);
        type(dlg, "qtDefaultBufferpHValue", "7.2");
        pressOk(dlg);
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Warning);
        QVERIFY(answerer.seen().first().text.startsWith("Buffer density: "));
        // The refused row is left alone; the other checked row is still written.
        QCOMPARE(storedDefaults(db), QString("20|0.99823|0.01002|0.73|7.2|0.009"));
    }

    void cancelWritesNothing()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        for (const Row &row : valueRows) {
            click(dlg.findChild<QCheckBox *>(row.box));
            type(dlg, row.field, "3");
        }
        click(dlg.qtChangeDefaultAccRej->button(QDialogButtonBox::Cancel));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(dlg.defaultValues(), seedDefaults);
        // Reopening shows the texts as the user left them.
        QCOMPARE(dlg.qtDefaultVbarValue->text(), QString("3"));
    }

    void failingUpdateShowsDriverText()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        QVERIFY(db.exec("CREATE TRIGGER defaults_locked BEFORE UPDATE ON defaults "
                        "BEGIN SELECT RAISE(ABORT, 'defaults are locked'); END"));
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.qtChangeBufferDensity);
        type(dlg, "qtDefaultBufferDensityValue", "1.1");
        click(dlg.qtChangeVbar);
        type(dlg, "qtDefaultVbarValue", "0.7");
        pressOk(dlg);
        QCOMPARE(answerer.seen().size(), 2);
        for (const TestModalAnswerer::Seen &seen : answerer.seen()) {
            QCOMPARE(seen.title, QString("Vornakel"));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QVERIFY(seen.text.contains("defaults are locked"));
        }
        QCOMPARE(dlg.defaultValues(), seedDefaults);
    }

    void databaseAndMethodRowsOnlyLeaveDebugLines()
    {
        TestDatabase db;
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.qtChangeExperimentalDatabase);
        click(dlg.qtChangeDefaultMethod);
        QVERIFY(!dlg.qtRadioDefaultVbarMethod->isEnabled());
        QTest::ignoreMessage(QtDebugMsg, "Change Default Database not yet implemented.");
        QTest::ignoreMessage(QtDebugMsg, "Change Default calculation method not yet implemented.");
        pressOk(dlg);
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(dlg.defaultValues(), seedDefaults);
        QCOMPARE(dlg.qtDefaultDatabaseLocation->text(), db.path());
    }

    void browseShowsChosenFileAndRemembersItsFolder()
    {
        TestSettings settings;
        TestDatabase db;
        TestDatabase other("other.db");
        TestModalAnswerer answerer;
        GuiChangeDefaults dlg(db.connectionName());
        show(dlg);
        click(dlg.qtChangeExperimentalDatabase);
        answerer.answerFileDialog(other.path());
        click(dlg.qtChangeDbBrowseButton);
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Open Database"));
        QCOMPARE(answerer.seen().first().text, QDir::currentPath());
        QCOMPARE(dlg.qtDefaultDatabaseLocation->text(), other.path());
        QCOMPARE(QSettings("KSQ/DLM", "Vornakel").value("ChangeDefaults/lastOpenDirectory").toString(),
            QFileInfo(other.path()).absolutePath());

        // The next browse starts in the remembered folder; cancelling changes nothing.
        answerer.clear();
        answerer.answerFileDialog(QString());
        click(dlg.qtChangeDbBrowseButton);
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().text, QFileInfo(other.path()).absolutePath());
        QCOMPARE(dlg.qtDefaultDatabaseLocation->text(), other.path());
        // Only shown: the defaults still come from the dialog's own database.
        QCOMPARE(dlg.defaultValues(), seedDefaults);
    }
};

QTEST_MAIN(TstGuiChangeDefaults)
#include "tst_gui_changedefaults.moc"
