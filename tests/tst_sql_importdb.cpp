#include "sql/sql_importbatch.h"
#include "sql/sql_importdb.h"
#include "sql/sql_importrun.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_olddatabase.h"
#include "test_sqlconnections.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QtTest>
#include <memory>

// The import engine on SQLite files holding the older tables, into a
// temporary database at the current revision.
class TstSqlImportDb : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TestOldDatabase> m_old;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    // The warnings the engines gave for the window to show, as "title|text".
    QStringList m_warnings;

    // Everything a run of the importer does, in its order.
    void importAll(SqlImportDb &engine, bool preventDuplicates)
    {
        engine.copyFromAccess(m_old->phyconst(), SqlImportDb::referenceTables(), preventDuplicates);
        engine.populateBufferComponents(m_old->phyconst(), preventDuplicates);
        engine.copyBufferTable(m_old->vornakel(), preventDuplicates);
        engine.copySampleTable(m_old->vornakel(), preventDuplicates);
        engine.copyExperimentTable(m_old->vornakel(), preventDuplicates);
        engine.copyAminoAcidCompositionsTable(m_old->vornakel(), preventDuplicates);
    }
    // The engine shows no box itself: its warnings are gathered here.
    void watch(SqlImportDb &engine)
    {
        connect(&engine, &SqlImportDb::sigWarning, this,
            [this](const QString &title, const QString &text) { m_warnings << title + '|' + text; });
    }
    QStringList warningTitles() const
    {
        QStringList titles;
        for (const QString &warning : m_warnings)
            titles << warning.section('|', 0, 0);
        return titles;
    }
    QStringList warningTexts() const
    {
        QStringList texts;
        for (const QString &warning : m_warnings)
            texts << warning.section('|', 1);
        return texts;
    }
    int count(const QString &table) { return m_db->value("SELECT COUNT(*) FROM " + table).toInt(); }
    QStringList results(const QSignalSpy &spy)
    {
        QStringList lines;
        for (const auto &line : spy)
            lines << line.at(0).toString();
        return lines;
    }
    QStringList log()
    {
        QFile file("ImportLog.txt");
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

    // A run of the import over both files, as the dialog starts it, to its
    // end. At each turn of the event loop between its slices, `turn` is
    // told the rows of `table`, and whether a transaction of the import was
    // open on the window's connection then (which is so when one of its own
    // cannot begin).
    void runImport(const QString &table, const std::function<void(SqlImportRun &run, int rows, bool inside)> &turn = {})
    {
        SqlImportRun run(m_db->connectionName(), { m_old->phyconst(), m_old->vornakel() }, true);
        watch(run.engine());
        QTimer ticks;
        ticks.setInterval(0);
        connect(&ticks, &QTimer::timeout, this, [&] {
            QSqlQuery begin(m_db->database());
            const bool inside = !begin.exec("BEGIN");
            if (!inside)
                begin.exec("COMMIT");
            if (turn)
                turn(run, count(table), inside);
        });
        ticks.start();
        QVERIFY(testRunUntil(&run, &SqlImportRun::sigFinished, [&] { run.start(); }));
    }
    int countIn(const QString &sql) { return m_db->value(sql).toInt(); }
    bool hasNotes() { return countIn("SELECT COUNT(*) FROM sqlite_master WHERE name = 'importUnfinished'") > 0; }

private slots:
    void init()
    {
        m_settings.clear();
        QFile::remove("ImportLog.txt");
        m_db.reset(new TestDatabase);
        m_old.reset(new TestOldDatabase);
        QVERIFY(m_db->isValid() && m_old->isValid());
        m_answerer.reset(new TestModalAnswerer);
        m_warnings.clear();
    }
    void cleanup()
    {
        m_answerer.reset();
        m_old.reset();
        m_db.reset();
    }

    // Every row of every table, well past what a table model fetches at once.
    void runsCopyOnceWithTheFlagAndAgainWithout_data()
    {
        QTest::addColumn<bool>("preventDuplicates");
        QTest::newRow("prevent duplicates") << true;
        QTest::newRow("copy again") << false;
    }
    void runsCopyOnceWithTheFlagAndAgainWithout()
    {
        QFETCH(bool, preventDuplicates);
        const QStringList references = SqlImportDb::referenceTables();
        const QStringList records = { "Buffer", "Sample", "Experiment", "AminoAcidCompositions" };
        for (const QString &table : references)
            QVERIFY(m_old->fill(m_old->phyconst(), table, 300));
        for (const QString &table : records)
            QVERIFY(m_old->fill(m_old->vornakel(), table, 300));
        const QStringList destinations
            = references + QStringList { "buffer", "sample", "experiment", "aminoComposition" };
        for (int run = 1; run <= 2; ++run) {
            SqlImportDb engine(m_db->connectionName());
            watch(engine);
            QSignalSpy results(&engine, &SqlImportDb::sigResults);
            importAll(engine, preventDuplicates);
            QCOMPARE(results.size(), 11);
            const int expected = preventDuplicates && run == 2 ? 0 : 300;
            for (const auto &line : results)
                if (!line.at(0).toString().startsWith("BufferComponent"))
                    QVERIFY2(line.at(0).toString().endsWith(QStringLiteral("]: %1 records imported").arg(expected)),
                        qPrintable(line.at(0).toString()));
            for (const QString &table : destinations)
                QCOMPARE(count(table), preventDuplicates ? 300 : 300 * run);
            // Each operation drops its source connection when it ends.
            QVERIFY(!QSqlDatabase::contains(m_old->phyconst()) && !QSqlDatabase::contains(m_old->vornakel()));
        }
        QCOMPARE(count("amino WHERE active = 1"), count("amino"));
        QCOMPARE(count("extinction WHERE active = 1 AND name LIKE 'name %' AND nm > 0"), count("extinction"));
        for (const QString &table : references)
            QCOMPARE(m_old->value(m_old->phyconst(), "SELECT SUM(imported) FROM " + table).toInt(),
                preventDuplicates ? 300 : 0);
        for (const QString &table : records)
            QCOMPARE(m_old->value(m_old->vornakel(), "SELECT SUM(imported) FROM " + table).toInt(),
                preventDuplicates ? 300 : 0);
        QVERIFY(m_answerer->seen().isEmpty() && m_warnings.isEmpty());
    }

    void mapsTheOlderRecords_data()
    {
        QTest::addColumn<QStringList>("destination");
        QTest::addColumn<QStringList>("source");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("expected");
        const QString buffer = "SELECT quote(densityDirectEntry)||' '||quote(densityStandard)||' '||"
                               "quote(densityStandardT)||' '||quote(computeDensity)||' '||quote(viscosityDirectEntry)"
                               "||' '||quote(viscosityStandard)||' '||quote(viscosityStandardT)||' '||"
                               "quote(computeViscosity)||' '||quote(pH)||' '||quote(H2O) FROM buffer";
        const QString row = "INSERT INTO Buffer VALUES ('B', %1, %1, 1.0045213, 20.0000004, 0.0100234, 20, 7.0000004, "
                            "0, 0, 0, 0)";
        QTest::newRow("buffer typed in") << QStringList() << QStringList(row.arg(0)) << buffer
                                         << "1.0045213 NULL NULL NULL 0.0100234 NULL NULL NULL 7.0 NULL";
        QTest::newRow("buffer standard") << QStringList() << QStringList(row.arg(1)) << buffer
                                         << "NULL 1.004521 20.0 NULL NULL 0.010023 20.0 NULL 7.0 NULL";
        QTest::newRow("buffer computed") << QStringList() << QStringList(row.arg(2)) << buffer
                                         << "NULL NULL NULL 1.004521 NULL NULL NULL 0.010023 7.0 NULL";
        QTest::newRow("buffer unknown source")
            << QStringList() << QStringList(row.arg(3)) << buffer << "NULL NULL NULL NULL NULL NULL NULL NULL 7.0 NULL";
        const QString sample = "SELECT quote(VBarDirectEntry)||' '||quote(calcVBar)||' '||quote(VBarStandard)||' '||"
                               "quote(sk)||' '||quote(calcHydration)||' '||name FROM sample";
        QTest::newRow("vbar 0.3") << QStringList()
                                  << QStringList(
                                         "INSERT INTO Sample VALUES ('  Lysozyme  C', 0.3, 0, 20, 0.00912345678, "
                                         "7.7, 3.3, 1, 'KV', 0.34996)")
                                  << sample << "0.3 0.3 NULL 0.009123 0.35 Lysozyme C";
        QTest::newRow("vbar 0.45, integer 0")
            << QStringList() << QStringList("INSERT INTO Sample VALUES ('S', 0.45, 0.72, 20, 0, 7.7, 3.3, 1, 'KV', 0)")
            << sample << "0.45 0.45 0.72 0.0 0.0 S";
        QTest::newRow("no vbar") << QStringList()
                                 << QStringList("INSERT INTO Sample VALUES ('S', NULL, 0, 20, 0, 7.7, 3.3, 1, '', 0)")
                                 << sample << "NULL 0.0 NULL 0.0 0.0 S";
        const QString experiment = "SELECT quote(calculatedBy)||' '||results_id||' '||quote(sstar)||' '||quote(mgml)"
                                   "||' '||quote(Mp)||' '||(sample_id = (SELECT id FROM sample WHERE name = "
                                   "'My sample'))||' '||buffer_id FROM experiment";
        const QString run = "INSERT INTO Experiment VALUES ('E', 20, 40000, 1.5, %1, 0.73000049, 0, 0.73, 1.0, 0.01, "
                            "12345.678, 1, %2, '  My   sample ', 'No such buffer', '2011-03-05')";
        const QStringList mine
            = { "INSERT INTO sample (name) VALUES ('My sample')", "INSERT INTO results (name) VALUES ('-1')" };
        QTest::newRow("method 3, results named -1")
            << mine << QStringList(run.arg("4.56e-13").arg(3)) << experiment << "NULL -1 4.56e-13 0.73 12345.68 1 -1";
        QTest::newRow("method 1, sstar as text")
            << mine << QStringList(run.arg("'n/a'").arg(1)) << experiment << "'qtFromSigma' -1 0.0 0.73 12345.68 1 -1";
        // No speed or sigma is stored as the format stores it, as a save stores it: its readers take 0.0 as a number.
        const QString withoutSpeed = "INSERT INTO Experiment VALUES ('E', 20, %1, %1, 4.56e-13, 0.73, 0, 0.73, 1.0, "
                                     "0.01, 12345.678, 1, 0, 'x', 'y', '2011-03-05')";
        const QString speed = "SELECT quote(RPM)||' '||quote(sigma) FROM experiment";
        QTest::newRow("no speed, none stored")
            << QStringList() << QStringList(withoutSpeed.arg("NULL")) << speed << "0.0 0.0";
        QTest::newRow("speed 0") << QStringList() << QStringList(withoutSpeed.arg("0")) << speed << "0.0 0.0";
        QTest::newRow("composition links")
            << (mine + QStringList("INSERT INTO amino (Namethree, name) VALUES ('ALA', 'Alanine')"))
            << QStringList({ "INSERT INTO AminoAcidCompositions VALUES ('My  sample', ' ALA ', 2.6)",
                   "INSERT INTO AminoAcidCompositions VALUES ('Other', 'XXX', 0.4)" })
            << "SELECT group_concat((sampleId = (SELECT id FROM sample WHERE name = 'My sample'))||'/'||sampleId||'/'"
               "||(aminoId > 0)||'/'||aminoId||'/'||count, ' ') FROM aminoComposition"
            << QStringLiteral("1/%1/1/%2/3 0/-1/0/-1/0").arg(1).arg(1);
    }
    void mapsTheOlderRecords()
    {
        QFETCH(QStringList, destination);
        QFETCH(QStringList, source);
        QFETCH(QString, check);
        QFETCH(QString, expected);
        for (const QString &sql : destination)
            QVERIFY(m_db->exec(sql));
        QVERIFY(m_old->exec(m_old->vornakel(), source));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        importAll(engine, true);
        QCOMPARE(m_db->value(check).toString(), expected);
        QVERIFY(m_answerer->seen().isEmpty() && m_warnings.isEmpty());
    }

    // What the file held before stays: components by id, buffers and their compositions.
    void keepsWhatTheDestinationHeld()
    {
        QVERIFY(m_db->exec("INSERT INTO rhoseries (name) VALUES ('Mine')"));
        QVERIFY(m_db->exec("INSERT INTO BufferComponent (name, componentRhoId) VALUES ('Mine', 1)"));
        QVERIFY(m_db->exec("INSERT INTO BufferComponent (name, active) VALUES ('NaCl', 0)"));
        QVERIFY(m_db->exec("INSERT INTO buffer (name) VALUES ('Tris buffer')"));
        QVERIFY(m_db->exec("INSERT INTO bufferComposition (bufferId, componentID) VALUES (1, 1)"));
        QVERIFY(m_old->exec(m_old->phyconst(),
            { "INSERT INTO rhoseries (name, imported) VALUES ('Mine', 0), ('NaCl', 0), ('NaCl', 0), ('Urea', 0)",
                "INSERT INTO viscseries (name, imported) VALUES ('NaCl', 0)" }));
        QVERIFY(m_old->exec(m_old->vornakel(),
            { "INSERT INTO Buffer (NAME) VALUES ('  Tris  buffer ')",
                "INSERT INTO BufferCompositions VALUES ('  Tris  buffer ', 'NaCl', 0.15)" }));
        for (bool preventDuplicates : { true, false }) {
            SqlImportDb engine(m_db->connectionName());
            watch(engine);
            engine.copyFromAccess(m_old->phyconst(), SqlImportDb::referenceTables(), preventDuplicates);
            engine.populateBufferComponents(m_old->phyconst(), preventDuplicates);
        }
        QCOMPARE(m_db->value("SELECT group_concat(id||' '||name||' '||quote(componentRhoId)||' '||"
                             "quote(componentViscId), ', ') FROM BufferComponent")
                     .toString(),
            QStringLiteral("1 Mine 1 NULL, 2 NaCl NULL NULL, 3 NaCl 4 1, 4 Urea 5 NULL"));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        engine.copyBufferTable(m_old->vornakel(), true);
        QCOMPARE(
            m_db->value("SELECT group_concat(b.id||' '||b.name||' '||c.componentID||' '||quote(c.concentration), ', ') "
                        "FROM buffer b JOIN bufferComposition c ON c.bufferId = b.id")
                .toString(),
            QStringLiteral("1 Tris buffer 1 NULL, 2 Tris buffer 3 0.15"));
        QVERIFY(m_answerer->seen().isEmpty() && m_warnings.isEmpty());
    }

    // A failing row: its whole table rolled back, the source unmarked, one box, every line logged.
    void aFailingRowRollsItsTableBack_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("reference table") << "conjugates";
        QTest::newRow("records") << "sample";
    }
    void aFailingRowRollsItsTableBack()
    {
        QFETCH(QString, table);
        QVERIFY(m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 BEGIN SELECT "
                                          "RAISE(ABORT, 'refused here'); END")
                               .arg(table)));
        for (const char *reference : { "amino", "conjugates" })
            QVERIFY(m_old->fill(m_old->phyconst(), reference, 5));
        QVERIFY(m_old->fill(m_old->vornakel(), "Sample", 5));
        QVERIFY(m_old->fill(m_old->vornakel(), "Buffer", 5));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        QSignalSpy results(&engine, &SqlImportDb::sigResults);
        importAll(engine, true);
        QCOMPARE(count(table), 0);
        QCOMPARE(count("amino") + count("buffer"), 10);
        const QString file = table == "sample" ? m_old->vornakel() : m_old->phyconst();
        QCOMPARE(m_old->value(file, "SELECT SUM(imported) FROM " + table).toInt(), 0);
        QCOMPARE(warningTitles(), QStringList("import"));
        QVERIFY(warningTexts().first().startsWith(QDir::toNativeSeparators(m_db->path()) + ":\n")
            && warningTexts().first().contains("refused here")
            && warningTexts().first().contains("5 row(s) of " + table));
        QVERIFY(results.contains(QVariantList { QStringLiteral("%1.[%2]: 0 records imported").arg(file, table) }));
        QCOMPARE(log().filter("refused here").size(), 5);
    }

    void aMissingSourceTableOrFileIsReported()
    {
        QVERIFY(m_old->exec(m_old->vornakel(), { "DROP TABLE Sample" }));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        engine.copySampleTable(m_old->vornakel(), true);
        QVERIFY2(log().last().contains(": Updating sample: no such table: Sample"), qPrintable(log().last()));
        const QString notADatabase = m_old->folder() + "/PHYCONST.MDB";
        QVERIFY(testWriteFile(notADatabase, "Standard Jet DB"));
        QVERIFY(!engine.copyFromAccess(notADatabase, SqlImportDb::referenceTables(), true));
        QVERIFY(log().last().endsWith("Source db [" + notADatabase + "] is not valid"));
        QCOMPARE(warningTitles(), QStringList({ "Vornakel", "Vornakel" }));
        QCOMPARE(count("sample") + count("amino"), 0);
    }

    // A journal of another user's beside a source file is not played into
    // it: the source is not opened, and the log and the box say why.
    void aSourceWithAnotherUsersJournalBesideItIsNotOpened()
    {
        if (!testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        const QString journal = m_old->vornakel() + "-journal";
        QVERIFY(testWriteFile(journal, QByteArray(4096, 'J')) && testGiveAway(journal));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        engine.copySampleTable(m_old->vornakel(), true);
        const QString why = "beside it lies " + journal + ", a file of another user's";
        QVERIFY(!log().isEmpty());
        QVERIFY2(log().last().contains(why), qPrintable(log().last()));
        QCOMPARE(warningTitles(), QStringList { "Vornakel" });
        QVERIFY(warningTexts().first().contains(why));
        QCOMPARE(testReadFile(journal), QByteArray(4096, 'J'));
        QCOMPARE(count("sample"), 0);
    }

    // The scripts' connection on another file is not the destination.
    void writesIntoTheWindowsDatabaseOnly()
    {
        TestDatabase other("other.db");
        QVERIFY(TestSqlConnections::openDefaultConnection(other.path()));
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 3));
        {
            SqlImportDb engine(m_db->connectionName());
            watch(engine);
            engine.copyFromAccess(m_old->phyconst(), { "amino" }, true);
        }
        QCOMPARE(count("amino"), 3);
        QCOMPARE(other.value("SELECT COUNT(*) FROM amino").toInt(), 0);
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    }

    void logsEachConversionWithItsTime()
    {
        QVERIFY(m_old->exec(m_old->phyconst(),
            { "INSERT INTO amino (Namethree, name, Mr, imported) VALUES ('NLE', 'Norleucine', 113.15914, 0)" }));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        engine.copyFromAccess(m_old->phyconst(), { "amino" }, true);
        QCOMPARE(m_db->value("SELECT Mr FROM amino").toDouble(), 113.159);
        const QStringList lines = log();
        QCOMPARE(lines.size(), 2);
        const QString stamp = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d: ";
        QVERIFY2(QRegularExpression("^" + stamp + "Opening .*PHYCONST.MDB$").match(lines.at(0)).hasMatch(),
            qPrintable(lines.at(0)));
        QVERIFY2(
            QRegularExpression("^" + stamp + "\\[amino.Mr\\] From 113.15914 to 113.159$").match(lines.at(1)).hasMatch(),
            qPrintable(lines.at(1)));
        QVERIFY(m_db->exec("CREATE TRIGGER refuse BEFORE INSERT ON sample BEGIN SELECT RAISE(ABORT, 'no'); END"));
        QVERIFY(m_old->fill(m_old->vornakel(), "Sample", 1));
        engine.copySampleTable(m_old->vornakel(), true);
        QVERIFY2(QRegularExpression("^" + stamp + stamp + "unable to add a row: no\\b").match(log().last()).hasMatch(),
            qPrintable(log().last()));
    }

    // A source that cannot be written: every row copied on every run, and
    // once per file the word that its rows could not be flagged.
    void copiesAReadOnlySourceWholeAndSaysItCannotFlagIt()
    {
        for (const QString &table : SqlImportDb::referenceTables())
            QVERIFY(m_old->fill(m_old->phyconst(), table, 3));
        for (const char *table : { "Buffer", "Sample", "Experiment", "AminoAcidCompositions" })
            QVERIFY(m_old->fill(m_old->vornakel(), table, 3));
        QVERIFY(m_old->makeReadOnly());
        for (int run = 1; run <= 2; ++run) {
            SqlImportDb engine(m_db->connectionName());
            watch(engine);
            QSignalSpy spy(&engine, &SqlImportDb::sigResults);
            importAll(engine, true);
            for (const char *table : { "amino", "extinction", "buffer", "sample", "experiment", "aminoComposition" })
                QCOMPARE(count(table), 3 * run);
            const QStringList lines = results(spy).filter("could not be flagged");
            QCOMPARE(lines.size(), 2);
            QVERIFY(
                lines.at(0).startsWith(m_old->phyconst() + ": ") && lines.at(1).startsWith(m_old->vornakel() + ": "));
        }
        QCOMPARE(log().filter("could not be flagged").size(), 4);
        QVERIFY(!m_old->value(m_old->vornakel(), "SELECT COUNT(imported) FROM Sample").isValid());
        QVERIFY(m_answerer->seen().isEmpty() && m_warnings.isEmpty());
    }

    // Source fields past the destination's own columns are logged and
    // dropped; they never land in `active` (where a 0 would hide the row).
    void dropsSurplusSourceColumns()
    {
        QVERIFY(m_old->exec(m_old->phyconst(),
            { "ALTER TABLE amino ADD COLUMN extra1 INTEGER", "ALTER TABLE amino ADD COLUMN extra2 TEXT",
                "INSERT INTO amino (Namethree, name, imported, extra1, extra2) VALUES ('ALA', 'Alanine', 0, 0, "
                "'x')" }));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        QVERIFY(engine.copyFromAccess(m_old->phyconst(), { "amino" }, true));
        QCOMPARE(m_db->value("SELECT Namethree||' '||name||' '||active FROM amino").toString(), "ALA Alanine 1");
        QCOMPARE(log().filter(QRegularExpression("\\[amino\\.extra[12]\\] has no destination column$")).size(), 2);
    }

    // A real Access file through the engine's source connection, which reads
    // the reader's copy of the tables the import reads: its rows and their
    // types (a date as the text it is stored as), the engine's copy of its
    // table, and the tables it lacks.
    void readsAnAccessFileThroughTheOdbcDriver()
    {
        // The sample's one table, under a name the import reads.
        const QString path = m_old->folder() + "/ACCESS.MDB";
        QVERIFY2(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage::None, path, "extinction"),
            "tools/install-deps.sh --tests unpacks it");
        const TestRuntimeFolder runtime;
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        QSignalSpy spy(&engine, &SqlImportDb::sigResults);
        TestOldDatabase::readAccessFile(engine, path);
        QVERIFY(engine.openSourceDatabase(path));
        {
            QSqlQuery query(QSqlDatabase::database(path, false));
            QVERIFY(query.exec("SELECT ID, EMail_Address, LastVisit, typeof(ID), typeof(LastVisit) FROM extinction"));
            QCOMPARE(query.record().field(0).type(), QVariant::Int);
            QCOMPARE(query.record().field(1).type(), QVariant::String);
            QVERIFY(query.next());
            QCOMPARE(query.value(0), QVariant(1));
            QCOMPARE(query.value(1), QVariant("nobody@sunnyline.co.za"));
            QCOMPARE(query.value(2).toDateTime(), QDateTime(QDate(2000, 6, 17), QTime(20, 36, 24)));
            QCOMPARE(query.value(3).toString() + ' ' + query.value(4).toString(), QStringLiteral("integer text"));
            QVERIFY(!query.next());
        }
        QVERIFY(m_db->exec("DROP TABLE extinction")
            && m_db->exec("CREATE TABLE extinction (id INTEGER PRIMARY KEY, ident, line, password, speed, email, day, "
                          "week, month, year, mail, visit, comment, active INTEGER DEFAULT 1)"));
        QVERIFY(!engine.copyFromAccess(path, { "extinction", "amino" }, true));
        QCOMPARE(m_db->value("SELECT ident||' '||email||' '||substr(visit, 1, 10)||' '||active||' '||comment "
                             "FROM extinction")
                     .toString(),
            "1 nobody@sunnyline.co.za 2000-06-17 1 Example Circuit Added For Monitor Example To Potential New Clients");
        engine.copySampleTable(path, true);
        QVERIFY(log().filter(": Updating amino: no such table: amino").size() == 1
            && log().last().endsWith(": Updating sample: no such table: Sample"));
        QCOMPARE(warningTitles(), QStringList({ "Vornakel", "Vornakel" }));
        QCOMPARE(results(spy),
            QStringList({ path + ".[extinction]: 1 records imported",
                path
                    + ": the rows copied from this file could not be flagged as imported (the ODBC driver only "
                      "reads this file); a second import would copy them again",
                path + ".[amino]: no such table: amino", path + ".[sample]: no such table: Sample" }));
    }

    void roundsAndLinksByName()
    {
        QCOMPARE(SqlImportDb::fixPrecision(0.73000049, 6), QVariant(0.73));
        QCOMPARE(SqlImportDb::fixPrecision(QString("0.73000049"), 6), QVariant(QString("0.73000049")));
        QVERIFY(m_db->exec("INSERT INTO sample (name) VALUES ('My sample')"));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        QCOMPARE(engine.FindLink("sample", "name", "  My   sample"), 1);
        QCOMPARE(engine.FindLink("sample", "name", ""), -1);
        QCOMPARE(engine.FindLink("sample", "name", "Other"), -1);
    }

    // A table is stored a slice at a time (here a row a slice), and between
    // slices the window and the message server go on: no transaction of the
    // import is open then, and they see the table grow. It is whole at the
    // end, and nothing else of the import stays in the file.
    void aTableIsStoredInSlicesBetweenWhichTheWindowGoesOn_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("a reference table") << "amino";
        QTest::newRow("the buffer components") << "BufferComponent";
        QTest::newRow("a table of records") << "sample";
    }
    void aTableIsStoredInSlicesBetweenWhichTheWindowGoesOn()
    {
        QFETCH(QString, table);
        QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        QVERIFY(m_old->fill(m_old->phyconst(), "rhoseries", 30) && m_old->fill(m_old->phyconst(), "viscseries", 30));
        QVERIFY(m_old->fill(m_old->vornakel(), "Sample", 30));
        const int before = count(table);
        QSet<int> seen;
        bool inside = false;
        runImport(table, [&](SqlImportRun &, int rows, bool open) {
            seen << rows - before;
            inside = inside || open;
        });
        QCOMPARE(count(table) - before, 30);
        QVERIFY(!inside);
        QVERIFY2(seen.size() > 10, qPrintable(QString::number(seen.size())));
        QVERIFY(!hasNotes());
        QVERIFY(m_warnings.isEmpty());
    }

    // A table that fails or is stopped after slices of it were stored is
    // taken back whole, a slice at a time, and the import goes on (failed)
    // or ends (stopped).
    void aTableThatFailsOrIsStoppedMidwayIsTakenBackWhole_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("a row refused near the end") << false;
        QTest::newRow("stopped midway") << true;
    }
    void aTableThatFailsOrIsStoppedMidwayIsTakenBackWhole()
    {
        QFETCH(bool, stop);
        QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        QVERIFY(m_old->fill(m_old->phyconst(), "conjugates", 5));
        if (!stop)
            QVERIFY(m_db->exec("CREATE TRIGGER refuse BEFORE INSERT ON amino WHEN NEW.name = 'name 25' BEGIN SELECT "
                               "RAISE(ABORT, 'refused here'); END"));
        const int before = count("amino");
        int most = 0;
        runImport("amino", [&](SqlImportRun &run, int rows, bool) {
            most = qMax(most, rows - before);
            if (stop && rows - before >= 10)
                run.stop();
        });
        QVERIFY2(most >= 10, qPrintable(QString::number(most)));
        QCOMPARE(count("amino"), before);
        QVERIFY(!hasNotes());
        QCOMPARE(count("conjugates"), stop ? 0 : 5);
        QCOMPARE(m_old->value(m_old->phyconst(), "SELECT SUM(imported) FROM amino").toInt(), 0);
        if (stop)
            QVERIFY(
                log().filter(m_old->phyconst() + ".[amino]: stopped before its end; nothing of it was imported").size()
                == 1);
        else
            QVERIFY(warningTexts().value(0).contains("1 row(s) of amino could not be written"));
    }

    // A source table whose read fails after its first rows (a page of the file damaged past them; here the
    // buffers' compositions, read whole before the buffers are copied) is not taken for one that ends there: the
    // import says that it could not be read, and no buffer is imported without its components.
    void aSourceTableWhoseReadFailsPartwayIsSaidSoAndImportsNothing()
    {
        QVERIFY(m_old->fill(m_old->vornakel(), "Buffer", 5));
        QVERIFY(m_old->fill(m_old->vornakel(), "BufferCompositions", 300));
        QVERIFY(TestDatabase::damagePageHolding(m_old->vornakel(), "ComponentName 250"));
        const int before = count("buffer");
        SqlImportRun run(m_db->connectionName(), { m_old->phyconst(), m_old->vornakel() }, true);
        watch(run.engine());
        QSignalSpy results(&run.engine(), &SqlImportDb::sigResults);
        QVERIFY(testRunUntil(&run, &SqlImportRun::sigFinished, [&] { run.start(); }));
        const QString malformed = "database disk image is malformed";
        QCOMPARE(run.engine().unreadTables(), 1);
        QCOMPARE(run.engine().unwrittenTables(), 0);
        const QString why = "the compositions of the buffers (BufferCompositions) could not be read: " + malformed
            + " Unable to fetch row";
        QVERIFY2(results.contains(QVariantList { m_old->vornakel() + ".[buffer]: " + why }),
            qPrintable(this->results(results).join('\n')));
        QCOMPARE(warningTexts(), QStringList { m_old->vornakel() + ":\n" + why });
        QCOMPARE(count("buffer"), before);
        QCOMPARE(count("bufferComposition"), 0);
        for (const auto &table : run.engine().importedRecords())
            QVERIFY2(table.first != "buffer" || table.second == 0, qPrintable(QString::number(table.second)));
    }

    // A table that fails midway and whose stored rows then cannot be taken back (a full disk may refuse that
    // too) is not left at "0 records imported": the results and the warning say how many of its rows stay in
    // the file, and the next import into the file takes them back first, also one of the same program.
    void aTableThatCannotBeTakenBackSaysWhatStaysUntilTheNextImport()
    {
        QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        const int before = count("amino");
        QVERIFY(m_db->exec("CREATE TRIGGER full BEFORE INSERT ON amino WHEN NEW.name = 'name 25' BEGIN SELECT "
                           "RAISE(ABORT, 'database or disk is full'); END"));
        QVERIFY(m_db->exec(
            "CREATE TRIGGER stuck BEFORE DELETE ON amino BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
        QStringList said;
        auto importBoth = [&] {
            said.clear();
            SqlImportRun run(m_db->connectionName(), { m_old->phyconst(), m_old->vornakel() }, true);
            watch(run.engine());
            connect(&run.engine(), &SqlImportDb::sigResults, this, [&](const QString &line) { said << line; });
            QVERIFY(testRunUntil(&run, &SqlImportRun::sigFinished, [&] { run.start(); }));
        };
        importBoth();
        QCOMPARE(count("amino"), before + 29); // the rows after the refused one are tried too
        const QString stays = m_old->phyconst()
            + ".[amino]: 29 rows stored before the table failed could not be "
              "taken back (database or disk is full";
        QVERIFY2(
            said.filter(stays).size() == 1 && warningTexts().filter(stays).size() == 1, qPrintable(said.join('\n')));
        QVERIFY(
            said.filter("they stay in the database file until the next import into it takes them back").size() == 1);
        // Room again: the next import of this same program takes them back before anything else.
        QVERIFY(m_db->exec("DROP TRIGGER stuck") && m_db->exec("DROP TRIGGER full"));
        QVERIFY(m_old->exec(m_old->phyconst(), { "DELETE FROM amino" }));
        importBoth();
        QCOMPARE(said.value(0),
            QStringLiteral("An earlier import into this file did not end; what it had stored was taken back (29 rows "
                           "of amino)."));
        QCOMPARE(count("amino"), before);
        QVERIFY(!hasNotes());
    }

    // Two imports into one file at once (two windows or programs) would both copy what neither had flagged
    // yet: the second is refused, and says so, and copies nothing. The claim of an import whose program died
    // keeps none from running.
    void oneImportRunsIntoAFileAtATime()
    {
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        QVERIFY(m_old->fill(m_old->vornakel(), "Sample", 30));
        const int amino = count("amino");
        const int samples = count("sample");
        {
            // The other import works through a connection of its own, as another program's would.
            TestOtherProgram other(m_db->path());
            QVERIFY(other.isOpen());
            const QStringList files = { m_old->phyconst(), m_old->vornakel() };
            SqlImportRun first(m_db->connectionName(), files, true);
            SqlImportRun second(other.database().connectionName(), files, true);
            watch(second.engine());
            QVERIFY(testRunUntil(&first, &SqlImportRun::sigFinished, [&] {
                first.start();
                second.start();
            }));
            QVERIFY(second.wasRefused() && !first.wasRefused());
            QVERIFY2(warningTexts().size() == 1
                    && warningTexts().first().endsWith(
                        ":\nAnother import into this database file is under way (in this or another program); import "
                        "once it has ended."),
                qPrintable(warningTexts().join('\n')));
        }
        QCOMPARE(count("amino"), amino + 30);
        QCOMPARE(count("sample"), samples + 30);
        QCOMPARE(countIn("SELECT COUNT(*) FROM sqlite_master WHERE name = 'importRunning'"), 0);

        QVERIFY(m_db->exec("CREATE TABLE importRunning (claim INTEGER NOT NULL, owner TEXT)"));
        QVERIFY(m_db->exec("INSERT INTO importRunning VALUES (7, '2147483646:1')"));
        QVERIFY(m_old->exec(m_old->phyconst(), { "UPDATE amino SET imported = 0" }));
        runImport("amino");
        QCOMPARE(count("amino"), amino + 60);
        QCOMPARE(countIn("SELECT COUNT(*) FROM sqlite_master WHERE name = 'importRunning'"), 0);
    }

    // The log names the numbers that six significant digits changed, not the many that came over as they
    // were: a large import leaves a small log.
    void logsOnlyTheValuesItChanged()
    {
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 2000));
        QVERIFY(m_old->exec(m_old->phyconst(),
            { "INSERT INTO amino (Namethree, name, Mr, imported) VALUES ('NLE', 'Norleucine', 113.15914, 0)" }));
        const int before = count("amino");
        SqlImportDb engine(m_db->connectionName());
        engine.copyFromAccess(m_old->phyconst(), { "amino" }, true);
        QCOMPARE(count("amino"), before + 2001);
        const QStringList changed = log().filter(" From ");
        QCOMPARE(changed.size(), 1);
        QVERIFY2(changed.first().endsWith("[amino.Mr] From 113.15914 to 113.159"), qPrintable(changed.first()));
        QVERIFY(QFileInfo("ImportLog.txt").size() < 1000);
    }

    // An import whose program dies (kill -9, a power cut) after slices of a
    // table were stored leaves them noted in the file; the next import takes
    // them back first, and says so. The notes of an import that still runs
    // are not taken for such leftovers.
    void whatADeadImportLeftIsTakenBackByTheNext()
    {
        QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        const int before = count("amino");
        {
            SqlImportDb dying(m_db->connectionName());
            dying.beginReferenceTable(m_old->phyconst(), "amino", true);
            for (int slice = 0; slice < 5; ++slice)
                QVERIFY(dying.proceed());
            QCOMPARE(count("amino"), before + 5);
            QVERIFY(hasNotes());
            // Another import, while this one runs: its rows stay.
            SqlImportDb other(m_db->connectionName());
            other.beginTakingBackUnfinished();
            QVERIFY(!other.isCopying());
            // Its program ends here, without a word: as killed, a program that no longer runs.
            QVERIFY(m_db->exec("UPDATE importUnfinished SET owner = '2147483646:1'"));
        }
        QCOMPARE(count("amino"), before + 5);
        QVERIFY(m_old->exec(m_old->phyconst(), { "DELETE FROM amino" }));
        QStringList said;
        {
            SqlImportRun run(m_db->connectionName(), { m_old->phyconst(), m_old->vornakel() }, true);
            connect(&run.engine(), &SqlImportDb::sigResults, this, [&](const QString &line) { said << line; });
            QVERIFY(testRunUntil(&run, &SqlImportRun::sigFinished, [&] { run.start(); }));
        }
        QCOMPARE(count("amino"), before);
        QVERIFY(!hasNotes());
        QCOMPARE(said.value(0),
            QStringLiteral("An earlier import into this file did not end; what it had stored was taken back (5 rows "
                           "of amino)."));
    }

    // What earlier imports left unfinished is looked for in the file as an import begins. A file another
    // program holds is waited for as the window does; held beyond the wait, it is not taken for a file with
    // nothing left over: the import says that the file is in use and goes no further.
    void whatADeadImportLeftIsNotTakenForNothingInAFileHeld_data()
    {
        QTest::addColumn<bool>("released");
        QTest::newRow("let go within the wait") << true;
        QTest::newRow("held beyond the wait") << false;
    }
    void whatADeadImportLeftIsNotTakenForNothingInAFileHeld()
    {
        QFETCH(bool, released);
        QVERIFY(m_old->fill(m_old->phyconst(), "amino", 30));
        const int before = count("amino");
        QVERIFY(m_old->leaveUnfinishedImport(m_db->connectionName(), "amino", 5));
        SqlImportDb engine(m_db->connectionName());
        watch(engine);
        QSignalSpy said(&engine, &SqlImportDb::sigResults);
        TestLockHolder holder(m_db->path());
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        engine.beginTakingBackUnfinished();
        const bool found = engine.isCopying();
        holder.release();
        if (released) {
            QVERIFY(holder.wasLetGoOnATick() && found && !engine.destinationLocked());
            while (engine.proceed()) { }
            QCOMPARE(count("amino"), before);
            QCOMPARE(results(said).value(0),
                QStringLiteral("An earlier import into this file did not end; what it had stored was taken back (5 "
                               "rows of amino)."));
            return;
        }
        QVERIFY(!found && engine.destinationLocked());
        QCOMPARE(count("amino"), before + 5);
        QVERIFY(hasNotes());
        QVERIFY2(said.size() == 1
                && results(said).first().startsWith(
                    m_db->path() + ": The database file is in use by another program, which holds it locked"),
            qPrintable(results(said).join('\n')));
        QVERIFY2(warningTexts().size() == 1 && warningTexts().first().contains("is in use by another program"),
            qPrintable(warningTexts().join('\n')));
    }
};

TEST_MAIN(TstSqlImportDb)
#include "tst_sql_importdb.moc"
