#include "app/app_version.h"
#include "sql/sql_updatedatabase.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <unistd.h>

namespace {

// The tables of a file at the current revision: columns in declaration order
// with their declared types.
const QMap<QString, QString> &finalSchema()
{
    static const QMap<QString, QString> tables = {
        { "version", "databaseVersion varchar(9), applicationVersion varchar(9)" },
        { "amino",
            "id INTEGER, Namethree VARCHAR(3), name VARCHAR(25), nameone VARCHAR(1), Mr DOUBLE, covalent INTEGER, "
            "vbar DOUBLE, HipH7 DOUBLE, HipH4 DOUBLE, extinction DOUBLE, charge DOUBLE, pka DOUBLE, active INTEGER, "
            "modified DATE" },
        { "conjugates",
            "id INTEGER, name VARCHAR(30), Mr DOUBLE, covalent INTEGER, vbar DOUBLE, hiph7 DOUBLE, hiph4 DOUBLE, "
            "extinction DOUBLE, charge DOUBLE, pka DOUBLE, Mcutoff DOUBLE, carbo INTEGER, active INTEGER, modified "
            "DATE" },
        { "denature",
            "id INTEGER, Name VARCHAR(25), rhomin DOUBLE, v3 DOUBLE, g3 DOUBLE, Md DOUBLE, carbo BOOLEAN, "
            "active INTEGER, modified DATE" },
        { "extinction", "id INTEGER, name VARCHAR(25), nm DOUBLE, ext DOUBLE, active INTEGER, modified DATE" },
        { "rhoseries",
            "id INTEGER, name VARCHAR(40), a DOUBLE, b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, f DOUBLE, Cmax DOUBLE, "
            "ErrorMax DOUBLE, Source VARCHAR(80), modified DATE" },
        { "viscseries",
            "id INTEGER, name VARCHAR(40), a DOUBLE, b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, Cmax DOUBLE, "
            "ErrorMax DOUBLE, Source VARCHAR(80), modified DATE" },
        { "BufferComponent",
            "id INTEGER, name VARCHAR(40), componentRhoId INTEGER, componentViscId INTEGER, componentDensity DOUBLE, "
            "componentMr DOUBLE, active INTEGER, modified DATE" },
        { "buffer",
            "id INTEGER, name VARCHAR(64), densityDirectEntry DOUBLE, viscosityDirectEntry DOUBLE, "
            "densityStandard DOUBLE, viscosityStandard DOUBLE, densityStandardT DOUBLE, viscosityStandardT DOUBLE, "
            "computeDensity DOUBLE, computeViscosity DOUBLE, pH DOUBLE, isHeavyWater INTEGER, D2O DOUBLE, "
            "D2O18 DOUBLE, H2O18 DOUBLE, H2O DOUBLE, active INTEGER, modified DATE" },
        { "bufferComposition",
            "id INTEGER, bufferId INTEGER, componentID INTEGER, concentration DOUBLE, units VARCHAR(10), "
            "active INTEGER, modified DATE" },
        { "sample",
            "id INTEGER, name VARCHAR(64), VBarDirectEntry DOUBLE, VBarStandard DOUBLE, VbarStandardT DOUBLE, "
            "calcVBar DOUBLE, calcMr DOUBLE, calcHydration DOUBLE, useDenaturant INTEGER, sk DOUBLE, "
            "pkaamino DOUBLE, pkacarboxl DOUBLE, pH DOUBLE, nMer INTEGER, aminoSequence TEXT, active INTEGER, "
            "modified DATE, aminoSequenceCodeSize integer" },
        { "aminoComposition",
            "id INTEGER, sampleId INTEGER, aminoId INTEGER, count INTEGER, active INTEGER, modified DATE" },
        { "conjugateComposition",
            "id INTEGER, sampleId INTEGER, conjugateId INTEGER, count INTEGER, active INTEGER, modified DATE" },
        { "defaults",
            "id INTEGER, temperature DOUBLE, density DOUBLE, viscosity DOUBLE, vbar DOUBLE, pH DOUBLE, sk DOUBLE, "
            "modified DATE" },
        { "experiment",
            "id INTEGER, name varchar(64), Tc DOUBLE, RPM DOUBLE, sigma DOUBLE, sstar DOUBLE, mgml DOUBLE, "
            "sstart DOUBLE, vbar DOUBLE, rho DOUBLE, vis DOUBLE, Mp DOUBLE, Mb DOUBLE, calculatedBy varchar(30), "
            "sample_id INTEGER, buffer_id INTEGER, results_id INTEGER, active INTEGER, modified DATE" },
        { "results",
            "id INTEGER, name varchar(64), R DOUBLE, Ro DOUBLE, Rp DOUBLE, Fo DOUBLE, Fp DOUBLE, FFo DOUBLE, "
            "FFp DOUBLE, So DOUBLE, Sp DOUBLE, Do DOUBLE, Dp DOUBLE, Delta1v DOUBLE, Delta1t DOUBLE, abv DOUBLE, "
            "abt DOUBLE, av DOUBLE, at DOUBLE, bv DOUBLE, bt DOUBLE, method varchar(20), options varchar(25), "
            "options_value DOUBLE, shape varchar(25), sample_id INTEGER, buffer_id INTEGER, experiment_id INTEGER, "
            "active INTEGER, modified DATE" },
    };
    return tables;
}

// Update triggers of the older tables select the row by OLD.id.
const QStringList oldIdTables
    = { "amino", "conjugates", "denature", "extinction", "rhoseries", "viscseries", "buffer" };

// Runs `fn` on a private connection to `path` that is removed afterwards.
template<typename Fn> void withFile(const QString &path, Fn fn)
{
    const QString name = QStringLiteral("tst-private:") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QStringList rows(QSqlDatabase db, const QString &sql)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(sql))
        return { QStringLiteral("ERROR: ") + q.lastError().text() };
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.value(i).isNull() ? QStringLiteral("<NULL>") : q.value(i).toString());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

// Schema and every row of every table, to tell whether a file changed.
QStringList dumpFile(const QString &path)
{
    QStringList out;
    withFile(path, [&](QSqlDatabase db) {
        out << rows(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
        for (const QString &table : rows(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))
            out << table << rows(db, QStringLiteral("SELECT * FROM \"%1\"").arg(table));
    });
    return out;
}

QStringList schemaOf(const QString &path)
{
    QStringList out;
    withFile(path, [&](QSqlDatabase db) {
        out = rows(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
    });
    return out;
}

QStringList columnsOf(QSqlDatabase db, const QString &table)
{
    QStringList cols;
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    while (q.next())
        cols << q.value(1).toString() + QLatin1Char(' ') + q.value(2).toString();
    return cols;
}

bool runOn(const QString &path, const QStringList &statements)
{
    bool ok = true;
    withFile(path, [&](QSqlDatabase db) {
        QSqlQuery q(db);
        for (const QString &s : statements) {
            if (!q.exec(s)) {
                qWarning() << s << q.lastError().text();
                ok = false;
            }
        }
    });
    return ok;
}

} // namespace

class TstSqlUpdateDatabase : public QObject
{
    Q_OBJECT

private:
    // Opens `path` through the program's routine, with the connection removed
    // again afterwards; records the progress messages.
    bool openAndUpdate(const QString &path, QStringList *messages = nullptr)
    {
        SqlUpdateDatabase update;
        QSignalSpy spy(&update, &SqlUpdateDatabase::sigShowMessage);
        const bool ok = update.openAndUpdate(path);
        if (messages) {
            messages->clear();
            for (const QList<QVariant> &args : spy)
                *messages << args.at(0).toString();
        }
        TestDatabase::removeConnection(path);
        return ok;
    }

private slots:
    void newFileHasEveryTableOfTheSchema_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns");
        for (auto it = finalSchema().cbegin(); it != finalSchema().cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }
    void newFileHasEveryTableOfTheSchema()
    {
        QFETCH(QString, table);
        QFETCH(QString, columns);
        TestDatabase db;
        QVERIFY(db.isValid());
        const QStringList found = columnsOf(db.database(), table);
        const QStringList expected = columns.split(QStringLiteral(", "));
        for (int i = 0; i < qMax(found.size(), expected.size()); ++i)
            QCOMPARE(found.value(i).toLower(), expected.value(i).toLower()); // the driver reports INTEGER for integer
    }

    void columnsCarryTheirKeyAndDefaults()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        const QStringList withoutFlag = { "version", "rhoseries", "viscseries", "defaults" };
        for (const QString &table : finalSchema().keys()) {
            QStringList constrained;
            QSqlQuery q(db.database());
            QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)));
            while (q.next()) {
                // name, NOT NULL, default, primary key
                if (q.value(3).toInt() || !q.value(4).isNull() || q.value(5).toInt())
                    constrained << QStringLiteral("%1 %2 %3 %4")
                                       .arg(q.value(1).toString(), q.value(3).toString(), q.value(4).toString(),
                                           q.value(5).toString());
            }
            QStringList expected;
            if (table != QLatin1String("version"))
                expected << "id 0  1";
            if (!withoutFlag.contains(table))
                expected << "active 1 1 0";
            QCOMPARE(constrained, expected);
        }
    }

    void newFileHasExactlyItsTablesIndexesAndTriggers()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QStringList tables = rows(db.database(), "SELECT name FROM sqlite_master WHERE type = 'table'");
        QStringList expected = finalSchema().keys();
        tables.sort();
        expected.sort();
        QCOMPARE(tables, expected);
        QCOMPARE(tables.size(), 16);

        QCOMPARE(rows(db.database(),
                     "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql "
                     "IS NOT NULL ORDER BY name"),
            QStringList({ "index_amino_id|amino", "index_conjugates_id|conjugates" }));

        QStringList expectedTriggers;
        for (const QString &table : finalSchema().keys()) {
            if (table == QLatin1String("version"))
                continue;
            expectedTriggers << table + "_insert_modified_time|" + table << table + "_update_modified_time|" + table;
        }
        expectedTriggers.sort();
        QStringList triggers = rows(db.database(), "SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger'");
        triggers.sort();
        QCOMPARE(triggers, expectedTriggers);
        QCOMPARE(triggers.size(), 30);
    }

    void triggersSelectTheRowByTheirKey_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("key");
        for (const QString &table : finalSchema().keys()) {
            if (table == QLatin1String("version"))
                continue;
            QTest::newRow(qPrintable(table + " insert")) << table + "_insert_modified_time"
                                                         << "NEW.id";
            QTest::newRow(qPrintable(table + " update"))
                << table + "_update_modified_time" << (oldIdTables.contains(table) ? "OLD.id" : "NEW.id");
        }
    }
    void triggersSelectTheRowByTheirKey()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, key);
        TestDatabase db;
        const QString sql
            = db.value("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = :n", { { "n", trigger } })
                  .toString();
        QVERIFY2(sql.contains("SET modified=datetime('now')     WHERE id = " + key + ";"), qPrintable(sql));
    }

    void triggerTextIsKeptWordForWord()
    {
        TestDatabase db;
        QCOMPARE(db.value("SELECT sql FROM sqlite_master WHERE name = 'amino_insert_modified_time'").toString(),
            QString("CREATE TRIGGER amino_insert_modified_time   AFTER INSERT ON amino     BEGIN     "
                    "UPDATE amino SET modified=datetime('now')     WHERE id = NEW.id;     END"));
    }

    void triggersKeepModifiedTime_data()
    {
        QTest::addColumn<QString>("table");
        for (const QString &table : finalSchema().keys()) {
            if (table != QLatin1String("version"))
                QTest::newRow(qPrintable(table)) << table;
        }
    }
    void triggersKeepModifiedTime()
    {
        QFETCH(QString, table);
        TestDatabase db;
        QVERIFY(db.exec(QStringLiteral("INSERT INTO \"%1\" (id) VALUES (77)").arg(table)));
        const QString now = db.value("SELECT datetime('now')").toString().left(10);
        QCOMPARE(
            db.value(QStringLiteral("SELECT modified FROM \"%1\" WHERE id = 77").arg(table)).toString().left(10), now);
        // Clearing the date is itself an update, which the update trigger stamps again.
        QVERIFY(db.exec(QStringLiteral("UPDATE \"%1\" SET modified = NULL WHERE id = 77").arg(table)));
        QVERIFY(!db.value(QStringLiteral("SELECT modified FROM \"%1\" WHERE id = 77").arg(table)).isNull());
    }

    void seriesChangesTouchNoComponent()
    {
        TestDatabase db;
        QCOMPARE(db.value("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND sql LIKE '%bufferComponent%' "
                          "AND tbl_name <> 'BufferComponent'")
                     .toInt(),
            0);
    }

    void newFileSeedsDefaultsRow()
    {
        TestDatabase db;
        QCOMPARE(rows(db.database(), "SELECT id, temperature, density, viscosity, vbar, pH, sk FROM defaults"),
            QStringList({ "1|20|0.99823|0.01002|0.73|7|0.009" }));
        QVERIFY(!db.value("SELECT modified FROM defaults WHERE id = 1").isNull());
    }

    void newFileStampsVersionRowAndReportsIt()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path("new.db");
        QVERIFY(!QFile::exists(path));
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QCOMPARE(messages, QStringList({ "Updated Database schema to version '20120320'" }));
        QVERIFY(answerer.seen().isEmpty());
        withFile(path, [](QSqlDatabase db) {
            QCOMPARE(rows(db, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList({ "20120320|20120828 BETA" }));
        });
        QCOMPARE(DBVERSION, SqlUpdateDatabase::steps().last().to);
    }

    void connectionStaysRegisteredUnderThePath()
    {
        TestDatabaseFiles files;
        const QString first = files.path("one.db");
        const QString second = files.path("two.db");
        {
            SqlUpdateDatabase update;
            QVERIFY(update.openAndUpdate(first));
        }
        {
            SqlUpdateDatabase update;
            QVERIFY(update.openAndUpdate(second));
        }
        QVERIFY(QSqlDatabase::contains(first));
        QVERIFY(QSqlDatabase::contains(second));
        QCOMPARE(QSqlDatabase::database(first).databaseName(), first);
        QCOMPARE(QSqlDatabase::database(second).databaseName(), second);
        QVERIFY(QSqlDatabase::database(first).isOpen());
        TestDatabase::removeConnection(first);
        TestDatabase::removeConnection(second);
    }

    void currentFileOnlyRestampsApplicationVersion()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(openAndUpdate(path));
        QVERIFY(runOn(path, { "UPDATE version SET applicationVersion = 'older'" }));
        const QStringList schema = schemaOf(path);
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QVERIFY(messages.isEmpty());
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(schemaOf(path), schema);
        withFile(path, [](QSqlDatabase db) {
            QCOMPARE(rows(db, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList({ "20120320|20120828 BETA" }));
        });
    }

    void intermediateRevisionsHaveTheirTables_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QStringList>("tables");
        const QStringList first
            = { "amino", "conjugates", "denature", "extinction", "rhoseries", "version", "viscseries" };
        const QStringList withBuffer = first + QStringList { "buffer", "bufferComposition" };
        const QStringList withComponent = withBuffer + QStringList { "BufferComponent" };
        const QStringList withSample
            = withComponent + QStringList { "aminoComposition", "conjugateComposition", "sample" };
        const QStringList withDefaults = withSample + QStringList { "defaults" };
        const QStringList all = withDefaults + QStringList { "experiment", "results" };
        QTest::newRow("01.24.2011") << "01.24.2011" << first;
        QTest::newRow("02.07.2011") << "02.07.2011" << first;
        QTest::newRow("03.10.2011") << "03.10.2011" << withBuffer;
        QTest::newRow("04.14.2011") << "04.14.2011" << withComponent;
        QTest::newRow("05.12.2011") << "05.12.2011" << withSample;
        QTest::newRow("05.18.2011") << "05.18.2011" << withDefaults;
        QTest::newRow("20110705") << "20110705" << withDefaults;
        QTest::newRow("20110919") << "20110919" << all;
        QTest::newRow("20111118") << "20111118" << all;
        QTest::newRow("20120320") << "20120320" << all;
    }
    void intermediateRevisionsHaveTheirTables()
    {
        QFETCH(QString, revision);
        QFETCH(QStringList, tables);
        TestDatabaseFiles files;
        QVERIFY(TestDatabase::createAtRevision(files.path(), revision));
        QVERIFY(!QSqlDatabase::contains(files.path()));
        withFile(files.path(), [&](QSqlDatabase db) {
            QStringList found = rows(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
            found.sort(Qt::CaseInsensitive);
            tables.sort(Qt::CaseInsensitive);
            QCOMPARE(found, tables);
            QCOMPARE(rows(db, "SELECT databaseVersion FROM version"), QStringList({ revision }));
        });
    }

    void migratesFromEveryRevision_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QString>("reported");
        for (const QString &revision : TestDatabase::revisions())
            QTest::newRow(qPrintable(revision))
                << revision << (revision == DBVERSION ? QString() : "Updated Database schema to version '20120320'");
    }
    void migratesFromEveryRevision()
    {
        QFETCH(QString, revision);
        QFETCH(QString, reported);
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString reference = files.path("reference.db");
        QVERIFY(openAndUpdate(reference));

        const QString path = files.path("old.db");
        QVERIFY(TestDatabase::createAtRevision(path, revision));
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QCOMPARE(messages, reported.isEmpty() ? QStringList() : QStringList({ reported }));
        QVERIFY(answerer.seen().isEmpty());
        // Every road ends in the same schema, statement for statement.
        QCOMPARE(schemaOf(path), schemaOf(reference));
        withFile(path, [&](QSqlDatabase db) {
            QCOMPARE(rows(db, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList({ "20120320|20120828 BETA" }));
            QCOMPARE(rows(db, "SELECT id, temperature, density, viscosity, vbar, pH, sk FROM defaults"),
                QStringList({ "1|20|0.99823|0.01002|0.73|7|0.009" }));
        });
    }

    void firstRevisionSeriesBecomeComponents()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "01.24.2011"));
        QVERIFY(runOn(path,
            {
                "INSERT INTO amino (name, Mr) VALUES ('Glycine', 75.07)",
                "INSERT INTO rhoseries (name, a, f, active) VALUES ('Gone', 1, 6, 0)",
                "INSERT INTO rhoseries (name, a, f, Source) VALUES ('NaCl', 0.998, 0.5, 'tab')",
                "INSERT INTO rhoseries (name, a) VALUES ('Glycerol', 0.997)",
                "INSERT INTO viscseries (name, a) VALUES ('Gone too', 3)",
                "UPDATE viscseries SET active = 0",
                "INSERT INTO viscseries (name, a, e) VALUES ('NaCl', 1.002, 5)",
                "INSERT INTO viscseries (name, a) VALUES ('Urea', 1.1)",
            }));
        QVERIFY(openAndUpdate(path));
        withFile(path, [](QSqlDatabase db) {
            // Rows older than their `modified` column keep NULL.
            QCOMPARE(rows(db, "SELECT name, modified FROM amino"), QStringList({ "Glycine|<NULL>" }));
            QCOMPARE(rows(db, "SELECT id, name, a, f, Source, modified FROM rhoseries ORDER BY id"),
                QStringList({ "1|NaCl|0.998|0.5|tab|<NULL>", "2|Glycerol|0.997|<NULL>|<NULL>|<NULL>" }));
            QCOMPARE(rows(db, "SELECT id, name, a, e FROM viscseries ORDER BY id"),
                QStringList({ "1|NaCl|1.002|5", "2|Urea|1.1|<NULL>" }));
            QCOMPARE(rows(db,
                         "SELECT name, componentRhoId, componentViscId, active FROM BufferComponent "
                         "ORDER BY name"),
                QStringList({ "Glycerol|2|<NULL>|1", "NaCl|1|1|1", "Urea|<NULL>|2|1" }));
            QCOMPARE(rows(db, "SELECT count(*) FROM BufferComponent WHERE modified IS NULL"), QStringList({ "0" }));
        });
    }

    void compositionsPointAtComponentsById()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "03.10.2011"));
        QVERIFY(runOn(path,
            {
                "INSERT INTO rhoseries (name, a) VALUES ('NaCl', 0.998)",
                "INSERT INTO viscseries (name, a) VALUES ('NaCl', 1.002)",
                "INSERT INTO rhoseries (name, a) VALUES ('KCl', 0.9)",
                "INSERT INTO buffer (name, pH) VALUES ('PBS', 7.4)",
                "INSERT INTO bufferComposition (bufferId, name, concentration, units, active) "
                "VALUES (1, 'NaCl', 150, 'mM', 1)",
                "INSERT INTO bufferComposition (bufferId, name, concentration, units, active) "
                "VALUES (1, 'KCl', 2.7, 'mM', 0)",
                "INSERT INTO bufferComposition (bufferId, name, concentration, units) "
                "VALUES (1, 'nacl', 1, 'M')",
                "INSERT INTO bufferComposition (bufferId, name, concentration, units) "
                "VALUES (1, 'Unknown', 1, 'M')",
            }));
        QVERIFY(openAndUpdate(path));
        withFile(path, [](QSqlDatabase db) {
            QCOMPARE(
                rows(db, "SELECT id, name FROM BufferComponent ORDER BY name"), QStringList({ "1|KCl", "2|NaCl" }));
            // Unmatched names (case-sensitive) are dropped; the active flag travels.
            QCOMPARE(rows(db,
                         "SELECT bc.bufferId, c.name, bc.concentration, bc.units, bc.active, bc.modified "
                         "FROM bufferComposition bc JOIN BufferComponent c ON c.id = bc.componentID "
                         "ORDER BY c.name"),
                QStringList({ "1|KCl|2.7|mM|0|<NULL>", "1|NaCl|150|mM|1|<NULL>" }));
            QCOMPARE(rows(db, "SELECT count(*) FROM bufferComposition"), QStringList({ "2" }));
            QCOMPARE(rows(db, "SELECT name, pH FROM buffer"), QStringList({ "PBS|7.4" }));
        });
    }

    void existingSamplesGetNoSequenceCodeSize()
    {
        TestDatabaseFiles files;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "05.18.2011"));
        QVERIFY(runOn(path, { "INSERT INTO sample (name, sk) VALUES ('BSA', 0.009)" }));
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QCOMPARE(messages, QStringList({ "Updated Database schema to version '20120320'" }));
        withFile(path, [](QSqlDatabase db) {
            QCOMPARE(
                rows(db, "SELECT name, sk, aminoSequenceCodeSize FROM sample"), QStringList({ "BSA|0.009|<NULL>" }));
        });
    }

    void unknownRevisionLeftUnchanged_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::newRow("later release") << "20130101";
        QTest::newRow("other text") << "not a version";
        QTest::newRow("empty text") << "";
        QTest::newRow("different case") << "20120320 beta";
        QTest::newRow("date written otherwise") << "2011-01-24";
        QTest::newRow("padded") << " 05.18.2011";
    }
    void unknownRevisionLeftUnchanged()
    {
        QFETCH(QString, revision);
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(openAndUpdate(path));
        QVERIFY(runOn(path, { "DROP TABLE results", "DROP INDEX index_amino_id" }));
        withFile(path, [&](QSqlDatabase db) {
            QSqlQuery q(db);
            q.prepare("UPDATE version SET databaseVersion = :v, applicationVersion = 'older'");
            q.bindValue(":v", revision);
            QVERIFY(q.exec());
        });
        const QStringList schema = schemaOf(path);
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QVERIFY(messages.isEmpty());
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(schemaOf(path), schema);
        withFile(path, [&](QSqlDatabase db) {
            QCOMPARE(rows(db, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList({ revision + "|20120828 BETA" }));
        });
    }

    void failingStepRollsBackLeavingFileAsItWas()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "03.10.2011"));
        QVERIFY(runOn(path,
            { "CREATE TABLE BufferComponent (hand INTEGER)",
                "INSERT INTO rhoseries (name, a, active) VALUES ('NaCl', 0.998, 0)",
                "INSERT INTO bufferComposition (bufferId, name) VALUES (1, 'NaCl')" }));
        const QStringList before = dumpFile(path);
        QStringList messages;
        QVERIFY(!openAndUpdate(path, &messages));
        QVERIFY(messages.isEmpty());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
        QVERIFY2(answerer.seen().first().text.contains("already exists"), qPrintable(answerer.seen().first().text));
        QCOMPARE(dumpFile(path), before);
    }

    void failureLateInTheChainUndoesEveryEarlierStep_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QString>("obstacle");
        // The middle of the component step: five statements have run when the
        // renaming finds its name taken.
        QTest::newRow("within a step") << "03.10.2011"
                                       << "CREATE TABLE rhoseries_old (hand INTEGER)";
        // Three whole steps have run, with their data moves, when the sample step fails.
        QTest::newRow("after earlier steps") << "01.24.2011"
                                             << "CREATE TABLE aminoComposition (hand INTEGER)";
    }
    void failureLateInTheChainUndoesEveryEarlierStep()
    {
        QFETCH(QString, revision);
        QFETCH(QString, obstacle);
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, revision));
        QStringList statements = { obstacle, "INSERT INTO amino (name, Mr) VALUES ('Glycine', 75.07)",
            "INSERT INTO rhoseries (name, a, active) VALUES ('Gone', 1, 0)",
            "INSERT INTO rhoseries (name, a) VALUES ('NaCl', 0.998)",
            "INSERT INTO viscseries (name, a) VALUES ('NaCl', 1.002)" };
        if (revision == QLatin1String("03.10.2011"))
            statements << "INSERT INTO bufferComposition (bufferId, name, concentration) VALUES (1, 'NaCl', 150)";
        QVERIFY(runOn(path, statements));
        const QStringList before = dumpFile(path);
        QStringList messages;
        QVERIFY(!openAndUpdate(path, &messages));
        QVERIFY(messages.isEmpty());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
        QVERIFY2(answerer.seen().first().text.contains("already"), qPrintable(answerer.seen().first().text));
        QCOMPARE(dumpFile(path), before);
    }

    void failingApplicationStampRollsBack()
    {
        // A file at a version outside the chain whose version table never got
        // the application column: only the final stamp can fail.
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "20110705"));
        QVERIFY(runOn(path, { "UPDATE version SET databaseVersion = 'custom'" }));
        const QStringList before = dumpFile(path);
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen().first().text.contains("applicationVersion"), qPrintable(answerer.seen().first().text));
        QCOMPARE(dumpFile(path), before);
    }

    void failedCommitIsReportedAndRolledBack()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "20111118"));
        const QStringList before = dumpFile(path);
        // A reader in the middle of its own transaction keeps the file shared,
        // so the commit cannot take the exclusive lock it needs.
        const QString readerName = QStringLiteral("tst-reader");
        {
            QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), readerName);
            reader.setDatabaseName(path);
            QVERIFY(reader.open());
            QVERIFY(reader.transaction());
            QSqlQuery q(reader);
            QVERIFY(q.exec("SELECT databaseVersion FROM version"));
            QVERIFY(q.next());

            QStringList messages;
            QVERIFY(!openAndUpdate(path, &messages));
            QCOMPARE(answerer.seen().size(), 1);
            QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
            QVERIFY2(answerer.seen().first().text.contains("locked"), qPrintable(answerer.seen().first().text));
            q.finish();
            reader.rollback();
            reader.close();
        }
        QSqlDatabase::removeDatabase(readerName);
        QCOMPARE(dumpFile(path), before);
    }

    void emptyFileIsTreatedAsNew()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(QFileInfo(path).size(), qint64(0));
        QStringList messages;
        QVERIFY(openAndUpdate(path, &messages));
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(messages, QStringList({ "Updated Database schema to version '20120320'" }));
        withFile(path, [](QSqlDatabase db) {
            QCOMPARE(rows(db, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList({ "20120320|20120828 BETA" }));
            QCOMPARE(rows(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'"), QStringList({ "16" }));
        });
    }

    void unusableFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("not a database") << QByteArray("plain text, nothing like a database file\n").repeated(40)
                                        << "not a database";
        QTest::newRow("no version table") << QByteArray() << "no such table: version";
    }
    void unusableFilesAreRefusedUntouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        if (content.isEmpty()) {
            QVERIFY(runOn(path, { "CREATE TABLE other (x INTEGER)", "INSERT INTO other VALUES (5)" }));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray before = in.readAll();
        in.close();

        QStringList messages;
        QVERIFY(!openAndUpdate(path, &messages));
        QVERIFY(messages.isEmpty());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
        QVERIFY2(answerer.seen().first().text.contains(error), qPrintable(answerer.seen().first().text));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), before);
    }

    void fileWithoutVersionIsRefused_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("no row") << "DELETE FROM version";
        QTest::newRow("NULL version") << "UPDATE version SET databaseVersion = NULL";
    }
    void fileWithoutVersionIsRefused()
    {
        QFETCH(QString, statement);
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(TestDatabase::createAtRevision(path, "20110919"));
        QVERIFY(runOn(path, { statement }));
        const QStringList before = dumpFile(path);
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen().first().text.contains("already exists"), qPrintable(answerer.seen().first().text));
        QCOMPARE(dumpFile(path), before);
    }

    void missingFolderCannotBeOpened()
    {
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.dir() + "/no such folder/vornakel.db";
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Vornakel"));
        QCOMPARE(answerer.seen().first().text, "Cannot open the database:\n" + path);
        QVERIFY(!QFile::exists(path));
    }

    void writeProtectedFileFailsAtTheStamp()
    {
        if (geteuid() == 0)
            QSKIP("file permissions do not bind the super-user");
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
        const QString path = files.path();
        QVERIFY(openAndUpdate(path));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen().first().text.contains("readonly"), qPrintable(answerer.seen().first().text));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_MAIN(TstSqlUpdateDatabase)
#include "tst_sql_updatedatabase.moc"
