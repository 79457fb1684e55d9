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
#include <memory>

namespace {

const QString kReport = QStringLiteral("Updated Database schema to version '20120320'");
const QString kStamp = QStringLiteral("20120320|20120828 BETA");
const QString kSeed = QStringLiteral("1|20|0.99823|0.01002|0.73|7|0.009");

// The tables of a file at the current revision: columns in declaration order with their declared types and
// constraints (indented lines continue the table above).
const char *const kSchema = R"(version: databaseVersion varchar(9), applicationVersion varchar(9)
amino: id INTEGER PK, Namethree VARCHAR(3), name VARCHAR(25), nameone VARCHAR(1), Mr DOUBLE, covalent INTEGER,
  vbar DOUBLE, HipH7 DOUBLE, HipH4 DOUBLE, extinction DOUBLE, charge DOUBLE, pka DOUBLE,
  active INTEGER NOT NULL DEFAULT 1, modified DATE
conjugates: id INTEGER PK, name VARCHAR(30), Mr DOUBLE, covalent INTEGER, vbar DOUBLE, hiph7 DOUBLE, hiph4 DOUBLE,
  extinction DOUBLE, charge DOUBLE, pka DOUBLE, Mcutoff DOUBLE, carbo INTEGER, active INTEGER NOT NULL DEFAULT 1,
  modified DATE
denature: id INTEGER PK, Name VARCHAR(25), rhomin DOUBLE, v3 DOUBLE, g3 DOUBLE, Md DOUBLE, carbo BOOLEAN,
  active INTEGER NOT NULL DEFAULT 1, modified DATE
extinction: id INTEGER PK, name VARCHAR(25), nm DOUBLE, ext DOUBLE, active INTEGER NOT NULL DEFAULT 1, modified DATE
rhoseries: id INTEGER PK, name VARCHAR(40), a DOUBLE, b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, f DOUBLE, Cmax DOUBLE,
  ErrorMax DOUBLE, Source VARCHAR(80), modified DATE
viscseries: id INTEGER PK, name VARCHAR(40), a DOUBLE, b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, Cmax DOUBLE,
  ErrorMax DOUBLE, Source VARCHAR(80), modified DATE
BufferComponent: id INTEGER PK, name VARCHAR(40), componentRhoId INTEGER, componentViscId INTEGER,
  componentDensity DOUBLE, componentMr DOUBLE, active INTEGER NOT NULL DEFAULT 1, modified DATE
buffer: id INTEGER PK, name VARCHAR(64), densityDirectEntry DOUBLE, viscosityDirectEntry DOUBLE,
  densityStandard DOUBLE, viscosityStandard DOUBLE, densityStandardT DOUBLE, viscosityStandardT DOUBLE,
  computeDensity DOUBLE, computeViscosity DOUBLE, pH DOUBLE, isHeavyWater INTEGER, D2O DOUBLE, D2O18 DOUBLE,
  H2O18 DOUBLE, H2O DOUBLE, active INTEGER NOT NULL DEFAULT 1, modified DATE
bufferComposition: id INTEGER PK, bufferId INTEGER, componentID INTEGER, concentration DOUBLE, units VARCHAR(10),
  active INTEGER NOT NULL DEFAULT 1, modified DATE
sample: id INTEGER PK, name VARCHAR(64), VBarDirectEntry DOUBLE, VBarStandard DOUBLE, VbarStandardT DOUBLE,
  calcVBar DOUBLE, calcMr DOUBLE, calcHydration DOUBLE, useDenaturant INTEGER, sk DOUBLE, pkaamino DOUBLE,
  pkacarboxl DOUBLE, pH DOUBLE, nMer INTEGER, aminoSequence TEXT, active INTEGER NOT NULL DEFAULT 1, modified DATE,
  aminoSequenceCodeSize integer
aminoComposition: id INTEGER PK, sampleId INTEGER, aminoId INTEGER, count INTEGER, active INTEGER NOT NULL DEFAULT 1,
  modified DATE
conjugateComposition: id INTEGER PK, sampleId INTEGER, conjugateId INTEGER, count INTEGER,
  active INTEGER NOT NULL DEFAULT 1, modified DATE
defaults: id INTEGER PK, temperature DOUBLE, density DOUBLE, viscosity DOUBLE, vbar DOUBLE, pH DOUBLE, sk DOUBLE,
  modified DATE
experiment: id INTEGER PK, name varchar(64), Tc DOUBLE, RPM DOUBLE, sigma DOUBLE, sstar DOUBLE, mgml DOUBLE,
  sstart DOUBLE, vbar DOUBLE, rho DOUBLE, vis DOUBLE, Mp DOUBLE, Mb DOUBLE, calculatedBy varchar(30),
  sample_id INTEGER, buffer_id INTEGER, results_id INTEGER, active INTEGER NOT NULL DEFAULT 1, modified DATE
results: id INTEGER PK, name varchar(64), R DOUBLE, Ro DOUBLE, Rp DOUBLE, Fo DOUBLE, Fp DOUBLE, FFo DOUBLE, FFp DOUBLE,
  So DOUBLE, Sp DOUBLE, Do DOUBLE, Dp DOUBLE, Delta1v DOUBLE, Delta1t DOUBLE, abv DOUBLE, abt DOUBLE, av DOUBLE,
  at DOUBLE, bv DOUBLE, bt DOUBLE, method varchar(20), options varchar(25), options_value DOUBLE, shape varchar(25),
  sample_id INTEGER, buffer_id INTEGER, experiment_id INTEGER, active INTEGER NOT NULL DEFAULT 1, modified DATE)";

// Table name -> its columns as "name type [PK] [NOT NULL] [DEFAULT value]", lower case.
QMap<QString, QStringList> finalSchema()
{
    QMap<QString, QStringList> tables;
    for (const QString &line : QString(kSchema).replace("\n  ", " ").split('\n'))
        tables.insert(line.section(": ", 0, 0), line.section(": ", 1).toLower().split(", "));
    return tables;
}

// Every row of `sql` run on a private connection to `path`, fields joined by '|', NULL shown as <NULL>.
QStringList rows(const QString &path, const QString &sql)
{
    QStringList out;
    const QString name = QStringLiteral("tst-private:") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql))
            out << QStringLiteral("ERROR: ") + q.lastError().text();
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.value(i).isNull() ? QStringLiteral("<NULL>") : q.value(i).toString());
            out << fields.join(QLatin1Char('|'));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

QStringList schemaOf(const QString &path)
{
    return rows(path, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool runOn(const QString &path, const QStringList &statements)
{
    for (const QString &s : statements)
        if (rows(path, s).join(' ').startsWith(QLatin1String("ERROR: ")))
            return false;
    return true;
}

} // namespace

class TstSqlUpdateDatabase : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabaseFiles> m_files;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    QString m_path;
    QStringList m_messages; // progress messages of the last openAndUpdate

    // Opens `path` through the program's routine and removes the connection again.
    bool openAndUpdate(const QString &path)
    {
        SqlUpdateDatabase update;
        QSignalSpy spy(&update, &SqlUpdateDatabase::sigShowMessage);
        const bool ok = update.openAndUpdate(path);
        m_messages.clear();
        for (const QList<QVariant> &args : spy)
            m_messages << args.at(0).toString();
        TestDatabase::removeConnection(path);
        return ok;
    }

    // One critical box titled "Vornakel" holding `text`.
    void expectOneError(const QString &text)
    {
        QCOMPARE(m_answerer->seen().size(), 1);
        QCOMPARE(m_answerer->seen().first().title, QString("Vornakel"));
        QCOMPARE(m_answerer->seen().first().icon, QMessageBox::Critical);
        QVERIFY2(m_answerer->seen().first().text.contains(text), qPrintable(m_answerer->seen().first().text));
    }

private slots:
    void init()
    {
        m_files.reset(new TestDatabaseFiles);
        m_answerer.reset(new TestModalAnswerer);
        m_path = m_files->path();
    }
    void cleanup()
    {
        m_answerer.reset();
        m_files.reset();
    }

    void newFileHasEveryTableWithItsKeysAndTriggers_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        const QMap<QString, QStringList> schema = finalSchema();
        for (auto it = schema.cbegin(); it != schema.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }
    void newFileHasEveryTableWithItsKeysAndTriggers()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        TestDatabase db;
        QVERIFY(db.isValid());
        QStringList found;
        QSqlQuery q(db.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)));
        while (q.next()) // name, type, NOT NULL, default, primary key
            found << (q.value(1).toString() + ' ' + q.value(2).toString() + (q.value(5).toInt() ? " PK" : "")
                + (q.value(3).toInt() ? " NOT NULL" : "")
                + (q.value(4).isNull() ? QString() : " DEFAULT " + q.value(4).toString()))
                         .toLower();
        QCOMPARE(found, columns);
        if (table == "version")
            return;

        // Update triggers of the older tables select the row by OLD.id, the others by NEW.id.
        const bool byOld
            = QStringList({ "amino", "conjugates", "denature", "extinction", "rhoseries", "viscseries", "buffer" })
                  .contains(table);
        const QString update = db.value("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = :n",
                                     { { "n", table + "_update_modified_time" } })
                                   .toString();
        QVERIFY2(update.contains(QString("WHERE id = %1.id;").arg(byOld ? "OLD" : "NEW")), qPrintable(update));

        // Inserting stamps the row; clearing the date is itself an update, which is stamped again.
        QVERIFY(db.exec(QStringLiteral("INSERT INTO \"%1\" (id) VALUES (77)").arg(table)));
        const QString select = QStringLiteral("SELECT modified FROM \"%1\" WHERE id = 77").arg(table);
        QCOMPARE(db.value(select).toString().left(10), db.value("SELECT date('now')").toString());
        QVERIFY(db.exec(QStringLiteral("UPDATE \"%1\" SET modified = NULL WHERE id = 77").arg(table)));
        QVERIFY(!db.value(select).isNull());
    }

    void newFileHasExactlyItsTablesIndexesAndTriggers()
    {
        QVERIFY(openAndUpdate(m_path));
        const QStringList tables = rows(m_path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        QCOMPARE(tables, finalSchema().keys());
        QCOMPARE(rows(m_path,
                     "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name"),
            QStringList({ "index_amino_id|amino", "index_conjugates_id|conjugates" }));
        // Two per table but version: 30, and none left over from series tables that were rebuilt.
        QStringList expectedTriggers;
        for (const QString &table : tables)
            if (table != "version")
                expectedTriggers << table + "_insert_modified_time|" + table
                                 << table + "_update_modified_time|" + table;
        expectedTriggers.sort();
        QCOMPARE(rows(m_path, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger' ORDER BY name"),
            expectedTriggers);
        QCOMPARE(expectedTriggers.size(), 30);
        QCOMPARE(rows(m_path, "SELECT sql FROM sqlite_master WHERE name = 'amino_insert_modified_time'"),
            QStringList("CREATE TRIGGER amino_insert_modified_time   AFTER INSERT ON amino     BEGIN     "
                        "UPDATE amino SET modified=datetime('now')     WHERE id = NEW.id;     END"));
    }

    // A 0-byte file, as a failed first start leaves behind, is made like a missing one.
    void newOrEmptyFileIsCreatedSeededAndStamped_data()
    {
        QTest::addColumn<bool>("emptyFile");
        QTest::newRow("no file") << false;
        QTest::newRow("empty file") << true;
    }
    void newOrEmptyFileIsCreatedSeededAndStamped()
    {
        QFETCH(bool, emptyFile);
        QFile f(m_path);
        QVERIFY(!emptyFile || f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(QFile::exists(m_path), emptyFile);
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(m_messages, QStringList({ kReport }));
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(rows(m_path, "SELECT databaseVersion, applicationVersion FROM version"), QStringList({ kStamp }));
        QCOMPARE(rows(m_path,
                     "SELECT id, temperature, density, viscosity, vbar, pH, sk, modified IS NOT NULL "
                     "FROM defaults"),
            QStringList({ kSeed + "|1" }));
        QCOMPARE(rows(m_path, "SELECT count(*) FROM sqlite_master WHERE type = 'table'"), QStringList({ "16" }));
        QCOMPARE(DBVERSION, SqlUpdateDatabase::steps().last().to);
    }

    void migratesFromEveryRevision_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<int>("tablesBefore"); // shows the file really is at that revision
        const QList<int> tables = { 7, 7, 9, 10, 13, 14, 14, 16, 16, 16 };
        const QStringList revisions = TestDatabase::revisions();
        QCOMPARE(revisions.size(), tables.size());
        for (int i = 0; i < tables.size(); ++i)
            QTest::newRow(qPrintable(revisions.at(i))) << revisions.at(i) << tables.at(i);
    }
    void migratesFromEveryRevision()
    {
        QFETCH(QString, revision);
        QFETCH(int, tablesBefore);
        const QString reference = m_files->path("reference.db");
        QVERIFY(openAndUpdate(reference));
        QVERIFY(TestDatabase::createAtRevision(m_path, revision));
        QCOMPARE(rows(m_path, "SELECT count(*) FROM sqlite_master WHERE type = 'table'"),
            QStringList({ QString::number(tablesBefore) }));
        QCOMPARE(rows(m_path, "SELECT databaseVersion FROM version"), QStringList({ revision }));

        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(m_messages, revision == DBVERSION ? QStringList() : QStringList({ kReport }));
        QVERIFY(m_answerer->seen().isEmpty());
        // Every road ends in the same schema, statement for statement.
        QCOMPARE(schemaOf(m_path), schemaOf(reference));
        QCOMPARE(rows(m_path, "SELECT databaseVersion, applicationVersion FROM version"), QStringList({ kStamp }));
        QCOMPARE(rows(m_path, "SELECT id, temperature, density, viscosity, vbar, pH, sk FROM defaults"),
            QStringList({ kSeed }));
    }

    void firstRevisionSeriesBecomeComponents()
    {
        QVERIFY(TestDatabase::createAtRevision(m_path, "01.24.2011"));
        QVERIFY(runOn(m_path,
            { "INSERT INTO amino (name, Mr) VALUES ('Glycine', 75.07)",
                "INSERT INTO rhoseries (name, a, f, active) VALUES ('Gone', 1, 6, 0)",
                "INSERT INTO rhoseries (name, a, f, Source) VALUES ('NaCl', 0.998, 0.5, 'tab')",
                "INSERT INTO rhoseries (name, a) VALUES ('Glycerol', 0.997)",
                "INSERT INTO viscseries (name, a, active) VALUES ('Gone too', 3, 0)",
                "INSERT INTO viscseries (name, a, e) VALUES ('NaCl', 1.002, 5)",
                "INSERT INTO viscseries (name, a) VALUES ('Urea', 1.1)" }));
        QVERIFY(openAndUpdate(m_path));
        // Inactive series rows are dropped; rows copied before their triggers exist keep a NULL date.
        QCOMPARE(rows(m_path, "SELECT name, modified FROM amino"), QStringList({ "Glycine|<NULL>" }));
        QCOMPARE(rows(m_path, "SELECT id, name, a, f, Source, modified FROM rhoseries ORDER BY id"),
            QStringList({ "1|NaCl|0.998|0.5|tab|<NULL>", "2|Glycerol|0.997|<NULL>|<NULL>|<NULL>" }));
        QCOMPARE(rows(m_path, "SELECT id, name, a, e FROM viscseries ORDER BY id"),
            QStringList({ "1|NaCl|1.002|5", "2|Urea|1.1|<NULL>" }));
        QCOMPARE(rows(m_path,
                     "SELECT name, componentRhoId, componentViscId, active, modified IS NULL FROM BufferComponent "
                     "ORDER BY name"),
            QStringList({ "Glycerol|2|<NULL>|1|0", "NaCl|1|1|1|0", "Urea|<NULL>|2|1|0" }));
    }

    void compositionsPointAtComponentsById()
    {
        QVERIFY(TestDatabase::createAtRevision(m_path, "03.10.2011"));
        const QString composition = "INSERT INTO bufferComposition (bufferId, name, concentration, units, active) "
                                    "VALUES (1, '%1', %2, '%3', %4)";
        QVERIFY(runOn(m_path,
            { "INSERT INTO rhoseries (name, a) VALUES ('NaCl', 0.998)",
                "INSERT INTO viscseries (name, a) VALUES ('NaCl', 1.002)",
                "INSERT INTO rhoseries (name, a) VALUES ('KCl', 0.9)",
                "INSERT INTO buffer (name, pH) VALUES ('PBS', 7.4)", composition.arg("NaCl", "150", "mM", "1"),
                composition.arg("KCl", "2.7", "mM", "0"), composition.arg("nacl", "1", "M", "1"),
                composition.arg("Unknown", "1", "M", "1") }));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(
            rows(m_path, "SELECT id, name FROM BufferComponent ORDER BY name"), QStringList({ "1|KCl", "2|NaCl" }));
        // Unmatched names (case-sensitive) are dropped; the active flag travels.
        QCOMPARE(rows(m_path,
                     "SELECT bc.bufferId, c.name, bc.concentration, bc.units, bc.active, bc.modified "
                     "FROM bufferComposition bc LEFT JOIN BufferComponent c ON c.id = bc.componentID ORDER BY c.name"),
            QStringList({ "1|KCl|2.7|mM|0|<NULL>", "1|NaCl|150|mM|1|<NULL>" }));
        QCOMPARE(rows(m_path, "SELECT name, pH FROM buffer"), QStringList({ "PBS|7.4" }));
    }

    // A file at the current or an unknown revision keeps its schema; only the application is stamped.
    void currentOrUnknownRevisionOnlyRestampsApplication_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::newRow("current") << "20120320";
        QTest::newRow("later release") << "20130101";
        QTest::newRow("different case") << "20120320 beta";
        QTest::newRow("padded") << " 05.18.2011";
    }
    void currentOrUnknownRevisionOnlyRestampsApplication()
    {
        QFETCH(QString, revision);
        QVERIFY(openAndUpdate(m_path));
        QVERIFY(runOn(m_path,
            { "DROP TABLE results", "DROP INDEX index_amino_id",
                QStringLiteral("UPDATE version SET databaseVersion = '%1', applicationVersion = 'older'")
                    .arg(revision) }));
        const QStringList schema = schemaOf(m_path);
        QVERIFY(openAndUpdate(m_path));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(schemaOf(m_path), schema);
        QCOMPARE(rows(m_path, "SELECT databaseVersion, applicationVersion FROM version"),
            QStringList({ revision + "|20120828 BETA" }));
    }

    void refusedFileIsLeftAsItWas_data()
    {
        QTest::addColumn<QString>("revision"); // empty: a file that is no database of ours
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("error");
        const QStringList data = { "INSERT INTO amino (name, Mr) VALUES ('Glycine', 75.07)",
            "INSERT INTO rhoseries (name, a, active) VALUES ('Gone', 1, 0)",
            "INSERT INTO rhoseries (name, a) VALUES ('NaCl', 0.998)",
            "INSERT INTO viscseries (name, a) VALUES ('NaCl', 1.002)" };
        const QString composition = "INSERT INTO bufferComposition (bufferId, name) VALUES (1, 'NaCl')";
        QTest::newRow("first statement of a step")
            << "03.10.2011" << data + QStringList { "CREATE TABLE BufferComponent (hand INTEGER)", composition }
            << "already exists";
        // Five statements of the component step have run when the renaming finds its name taken.
        QTest::newRow("within a step") << "03.10.2011"
                                       << data + QStringList { "CREATE TABLE rhoseries_old (x)", composition }
                                       << "already another table";
        // Three whole steps have run, with their data moves, when the sample step fails.
        QTest::newRow("after earlier steps")
            << "01.24.2011" << data + QStringList { "CREATE TABLE aminoComposition (hand INTEGER)" }
            << "already exists";
        // Outside the chain, with a version table that never got its application column: the stamp fails.
        QTest::newRow("final stamp") << "20110705" << QStringList { "UPDATE version SET databaseVersion = 'custom'" }
                                     << "applicationVersion";
        // Without a version the file is taken as new, and the schema cannot be made over it.
        QTest::newRow("no version row") << "20110919" << QStringList { "DELETE FROM version" } << "already exists";
        QTest::newRow("NULL version") << "20110919" << QStringList { "UPDATE version SET databaseVersion = NULL" }
                                      << "already exists";
        QTest::newRow("no version table")
            << "" << QStringList { "CREATE TABLE other (x)", "INSERT INTO other VALUES (5)" }
            << "no such table: version";
        QTest::newRow("not a database") << "" << QStringList() << "not a database";
    }
    void refusedFileIsLeftAsItWas()
    {
        QFETCH(QString, revision);
        QFETCH(QStringList, statements);
        QFETCH(QString, error);
        QVERIFY(revision.isEmpty() || TestDatabase::createAtRevision(m_path, revision));
        QVERIFY(runOn(m_path, statements));
        if (statements.isEmpty()) {
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("plain text, nothing like a database file\n").repeated(40));
        }
        const QByteArray before = bytesOf(m_path);
        QVERIFY(!openAndUpdate(m_path));
        QVERIFY(m_messages.isEmpty());
        expectOneError(error);
        QCOMPARE(bytesOf(m_path), before);
    }

    void failedCommitIsReportedAndRolledBack()
    {
        QVERIFY(TestDatabase::createAtRevision(m_path, "20111118"));
        const QByteArray before = bytesOf(m_path);
        // A reader inside its own transaction keeps the file shared, so the commit cannot take its exclusive lock.
        {
            QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-reader");
            reader.setDatabaseName(m_path);
            QVERIFY(reader.open() && reader.transaction());
            QSqlQuery q(reader);
            QVERIFY(q.exec("SELECT databaseVersion FROM version") && q.next());
            QVERIFY(!openAndUpdate(m_path));
            expectOneError("locked");
            QVERIFY(m_messages.isEmpty()); // nothing announced as updated
            q.finish();
            reader.rollback();
        }
        QSqlDatabase::removeDatabase("tst-reader");
        QCOMPARE(bytesOf(m_path), before);
    }

    void missingFolderCannotBeOpened()
    {
        const QString path = m_files->dir() + "/no such folder/vornakel.db";
        QVERIFY(!openAndUpdate(path));
        expectOneError("Cannot open the database:\n" + path);
        QCOMPARE(m_answerer->seen().first().text, "Cannot open the database:\n" + path);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TstSqlUpdateDatabase)
#include "tst_sql_updatedatabase.moc"
