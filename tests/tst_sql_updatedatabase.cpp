#include "app/app_version.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_records.h"
#include "sql/sql_transaction.h"
#include "sql/sql_updatedatabase.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_fifo.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_processes.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kReport = QStringLiteral("Updated Database schema to version '20120320'");
const QString kStamp = QStringLiteral("20120320|20120828 BETA");
const QString kSeed = QStringLiteral("1|20|0.99823|0.01002|0.73|7|0.009");
const QString kStampAndSeed
    = QStringLiteral("SELECT databaseVersion, applicationVersion, id, temperature, density, viscosity, vbar, pH, sk");

// The tables of a file at the current revision: columns in declaration order with their declared types and
// constraints (indented lines continue the table above). Every table but version starts with "id INTEGER PK"; a
// column without a type is a DOUBLE; "+" stands for the closing "active INTEGER NOT NULL DEFAULT 1, modified DATE".
const char *const kSchema = R"(version: databaseVersion varchar(9), applicationVersion varchar(9)
amino: Namethree VARCHAR(3), name VARCHAR(25), nameone VARCHAR(1), Mr, covalent INTEGER, vbar, HipH7, HipH4,
  extinction, charge, pka, +
conjugates: name VARCHAR(30), Mr, covalent INTEGER, vbar, hiph7, hiph4, extinction, charge, pka, Mcutoff,
  carbo INTEGER, +
denature: Name VARCHAR(25), rhomin, v3, g3, Md, carbo BOOLEAN, +
extinction: name VARCHAR(25), nm, ext, +
rhoseries: name VARCHAR(40), a, b, c, d, e, f, Cmax, ErrorMax, Source VARCHAR(80), modified DATE
viscseries: name VARCHAR(40), a, b, c, d, e, Cmax, ErrorMax, Source VARCHAR(80), modified DATE
BufferComponent: name VARCHAR(40), componentRhoId INTEGER, componentViscId INTEGER, componentDensity, componentMr, +
buffer: name VARCHAR(64), densityDirectEntry, viscosityDirectEntry, densityStandard, viscosityStandard,
  densityStandardT, viscosityStandardT, computeDensity, computeViscosity, pH, isHeavyWater INTEGER, D2O, D2O18,
  H2O18, H2O, +, densitySource varchar(30), viscositySource varchar(30), computedAt20 INTEGER, computeDensityAt20,
  computeViscosityAt20
bufferComposition: bufferId INTEGER, componentID INTEGER, concentration, units VARCHAR(10), +
sample: name VARCHAR(64), VBarDirectEntry, VBarStandard, VbarStandardT, calcVBar, calcMr, calcHydration,
  useDenaturant INTEGER, sk, pkaamino, pkacarboxl, pH, nMer INTEGER, aminoSequence TEXT, +,
  aminoSequenceCodeSize integer, vbarSource varchar(30), calculations INTEGER, titratableAmino INTEGER,
  titratableCarboxyl INTEGER
aminoComposition: sampleId INTEGER, aminoId INTEGER, count INTEGER, +
conjugateComposition: sampleId INTEGER, conjugateId INTEGER, count INTEGER, +
defaults: temperature, density, viscosity, vbar, pH, sk, modified DATE
experiment: name varchar(64), Tc, RPM, sigma, sstar, mgml, sstart, vbar, rho, vis, Mp, Mb, calculatedBy varchar(30),
  sample_id INTEGER, buffer_id INTEGER, results_id INTEGER, +, sk, vbarSource varchar(30), vbarStandard, vbarStandardT,
  densitySource varchar(30), densityStandard, densityStandardT, viscositySource varchar(30), viscosityStandard,
  viscosityStandardT, sstartTyped INTEGER, rpTyped, s20wTyped, vbarWater, waterD2O, waterD2O18, waterH2O18,
  radiusMethod varchar(10), sampleStamp varchar(40), bufferStamp varchar(40), resultsStamp varchar(40)
results: name varchar(64), R, Ro, Rp, Fo, Fp, FFo, FFp, So, Sp, Do, Dp, Delta1v, Delta1t, abv, abt, av, at, bv, bt,
  method varchar(20), options varchar(25), options_value, shape varchar(25), sample_id INTEGER, buffer_id INTEGER,
  experiment_id INTEGER, +, hydrationValue, hydrationExpansion)";

// Every row of `sql` run on a private connection to `path`, fields joined by '|', NULL shown as <NULL>.
QStringList rows(const QString &path, const QString &sql)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst-private"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql))
            out << QStringLiteral("ERROR: ") + q.lastError().text();
        for (QStringList fields; q.next(); out << fields.join('|'), fields.clear())
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.value(i).isNull() ? QStringLiteral("<NULL>") : q.value(i).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst-private"));
    return out;
}

// Every table of the file as a line of kSchema, in lower case and sorted.
QStringList schemaText(const QString &path)
{
    QStringList tables = rows(path,
        "SELECT lower(m.name || ': ' || group_concat(p.name || CASE p.type WHEN 'DOUBLE' THEN '' ELSE ' ' || p.type END"
        " || CASE WHEN p.pk THEN ' PK' ELSE '' END || CASE WHEN p.\"notnull\" THEN ' NOT NULL' ELSE '' END"
        " || CASE WHEN p.dflt_value IS NULL THEN '' ELSE ' DEFAULT ' || p.dflt_value END, ', '))"
        " FROM sqlite_master m, pragma_table_info(m.name) p WHERE m.type = 'table' GROUP BY m.name");
    tables.replaceInStrings(": id integer pk, ", ": ");
    tables.replaceInStrings(", active integer not null default 1, modified date", ", +");
    tables.sort();
    return tables;
}

const QString kMaster = QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name");

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

// What the guard says of the file `beside` the database at `path`, which is `what`, as the database is opened
// or, put there later, while it is open.
// `advice`: what the person is told to do; by default to remove it.
QString besideRefusal(
    const QString &path, const QString &beside, const QString &what, bool opening = true, QString advice = QString())
{
    if (advice.isEmpty())
        advice = "Remove " + beside + ", or move it aside, and " + (opening ? "open the file again." : "try again.");
    return "The database file\n" + path + (opening ? "\nis not opened" : "\nis not read or written now")
        + ": beside it lies " + beside + ", " + what
        + ", which would be taken for changes of the database's own and written into it. Nothing was read from the "
          "database or written to it. "
        + advice;
}

// What the person is told of a journal or log that may hold a change the database needs to be whole: never to
// remove it. `why`: "write" (others may have changed it), "read" (others may read it) or "second name"; the
// database file's group and permissions, and who is to give the file them ("give it" or "ask its owner (x) to
// give it"). `change`: it may hold a change; else it is a log or its index that a program may be using. `log`: it
// is a log or its index, which is given a name of its own only once no program has the database file open.
QString keepAdvice(const QString &why, const QString &group, const QString &permissions, bool opening = true,
    const QString &give = "give it", bool change = true, bool log = false)
{
    const QString again = opening ? "open the file again." : "try again.";
    const QString fit = give + " the group (" + group + ") and the permissions (" + permissions
        + ") of the database file, and " + again;
    QString advice = change ? "Do not remove it or move it aside: it may hold a change that was cut off, which the "
                              "database file needs to be whole. "
                            : "Do not remove it or move it aside: a program that has the database file open may keep "
                              "its log of changes through it, and those changes would be lost. ";
    if (why == "write")
        return advice
            + "Others who may not write the database file may have changed it, though. If you trust "
              "everyone who may write it, "
            + fit;
    if (why == "read")
        return advice + fit.left(1).toUpper() + fit.mid(1);
    return advice + "Whoever holds its other name may have changed it, though. If you trust them, "
        + (log ? "once no program has the database file open, " : "")
        + "give it a name of its own (copy it, and put the copy in its place), and " + again;
}

// What the guard says of the journal or log `beside` the database at `path`, moved since it was written, in a
// folder where others may rename the user's files: whose it is (empty: the user's), never to remove it.
QString movedRefusal(const QString &path, const QString &beside, const QString &owner = QString())
{
    return "The database file\n" + path + "\nis not opened: beside it lies " + beside
        + ", a file of changes that was moved or renamed after it was last written, in a folder where others may "
          "do so, which would be taken for changes of the database's own and written into it. Nothing was read "
          "from the database or written to it. Do not remove it or move it aside: it may hold a change that was "
          "cut off, which the database file needs to be whole. "
        + (owner.isEmpty()
                ? QString("It is yours, but it may also have been taken away and put back, and played in it would "
                          "undo what was saved since. If you know it is a change of yours that was cut off, move "
                          "the database file together with it to a folder that only you may write, and open the "
                          "file there: that finishes the change.")
                : QString("It is %1's, but it may also have been taken away and put back, and played in it would "
                          "undo what was saved since. If %1 knows it is a change of theirs that was cut off, %1 can "
                          "finish it: with the database file moved together with it to a folder that only %1 may "
                          "write, opening the file there as %1 does.")
                      .arg(owner));
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
    QString m_notice; // and what it has the window tell after opening
    QString m_error; // and its error

    // Opens `path` through the program's routine and removes the connection again.
    bool openAndUpdate(const QString &path)
    {
        SqlUpdateDatabase update;
        QSignalSpy spy(&update, &SqlUpdateDatabase::sigShowMessage);
        const bool ok = update.openAndUpdate(path);
        m_error = update.error();
        m_notice = update.notice();
        m_messages.clear();
        for (const QList<QVariant> &args : spy)
            m_messages << args.at(0).toString();
        TestDatabase::removeConnection(path);
        return ok;
    }

    // "v.db" in a new folder "shared" of the superuser's, which other users may reach; empty on failure.
    QString sharedPath()
    {
        const QString folder = m_files->dir() + "/shared";
        if (!QDir().mkdir(folder) || ::chmod(QFile::encodeName(m_files->dir()).constData(), 0755) != 0)
            return QString();
        return folder + "/v.db";
    }

    // "v.db" in a new folder "lab" that the lab's group shares (the superuser's, of that group, of `mode`, 2775
    // or 2770: what is made in it takes the group); empty on failure.
    QString labPath(int mode)
    {
        const QString folder = m_files->dir() + "/lab";
        const QByteArray name = QFile::encodeName(folder);
        if (!QDir().mkdir(folder) || ::chmod(QFile::encodeName(m_files->dir()).constData(), 0755) != 0
            || ::chown(name.constData(), 0, gid_t(testLabGroup)) != 0 || ::chmod(name.constData(), mode_t(mode)) != 0)
            return QString();
        return folder + "/v.db";
    }

    // The database at `path` in the lab's folder, made by the user, which the group may write, with one amino acid.
    void makeLabDatabaseWithAnAminoAcid(const QString &path)
    {
        TestAsLabUser user;
        QVERIFY(user.isActing());
        QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0664) == 0);
        QVERIFY(runOn(path, { "INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)" }));
    }

    // The bytes as the whole of a new file at `path`, given `group` and `mode` before they are written, so
    // that its last change is the write, as SQLite leaves a journal it wrote.
    static bool writeAs(const QString &path, const QByteArray &bytes, unsigned group, int mode)
    {
        const QByteArray name = QFile::encodeName(path);
        QFile::remove(path);
        return testWriteFile(path, QByteArray()) && ::chown(name.constData(), uid_t(-1), gid_t(group)) == 0
            && ::chmod(name.constData(), mode_t(mode)) == 0 && testWriteFile(path, bytes);
    }

    // A hot journal beside the database at `path` that takes its amino acid's vbar to 0.123, as `writeAs`
    // leaves it.
    static bool writeJournalAs(const QString &path, unsigned group, int mode)
    {
        const QString hot = path + ".hot";
        const bool written = TestDatabase::writeHotJournal(
            path, { "UPDATE amino SET vbar = 0.123" }, { "UPDATE amino SET vbar = 0.5" }, hot);
        const QByteArray bytes = testReadFile(hot);
        QFile::remove(hot);
        return written && writeAs(path + "-journal", bytes, group, mode);
    }

    // `file` taken away to `taken` the moment SQLite has opened it (renamed, as another member of the folder's
    // group can), once; `took` says whether it was. The guard's warning of the theft is expected.
    static void takeAwayWhenOpened(const QString &file, const QString &taken, bool &took)
    {
        took = false;
        SqlJournalGuard::setAroundOpen([&took, file, taken](const QString &name, bool opened) {
            if (opened && name == file && !took)
                took = QFile::rename(file, taken);
        });
        TestLog::ignore(QtWarningMsg,
            QRegularExpression("^" + QRegularExpression::escape(file)
                + " was taken away from its name before the change it held was done; it was emptied where it is "
                  "now$"));
    }

    // An error holding `text`, for the window to show: the database layer shows no box.
    void expectOneError(const QString &text)
    {
        QVERIFY(m_answerer->seen().isEmpty());
        QVERIFY2(m_error.contains(text), qPrintable(m_error));
    }

private slots:
    void init()
    {
        m_files.reset(new TestDatabaseFiles);
        m_answerer.reset(new TestModalAnswerer);
        m_path = m_files->path();
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
        QVERIFY(!emptyFile || QFile(m_path).open(QIODevice::WriteOnly));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(m_messages + m_answerer->texts(), QStringList(kReport));
        QCOMPARE(rows(m_path, kStampAndSeed + ", modified IS NOT NULL FROM version, defaults"),
            QStringList(kStamp + '|' + kSeed + "|1"));
        QStringList schema = QString(kSchema).replace("\n  ", " ").toLower().split('\n');
        schema.sort();
        QCOMPARE(schemaText(m_path), schema);
        QCOMPARE(rows(m_path, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name"),
            QStringList({ "index_amino_id", "index_conjugates_id" }));
        // Two per table but version: 30, and none left over from series tables that were rebuilt.
        QStringList triggers;
        for (const QString &line : schema) {
            const QString table = line.section(':', 0, 0);
            if (table == "version")
                continue;
            triggers << table + "_insert_modified_time" << table + "_update_modified_time";
            // Inserting stamps a row; clearing the date is itself an update, which is stamped again.
            const QStringList statements = QString("INSERT INTO %1 (id) VALUES (7);INSERT INTO %1 (id) VALUES (8);"
                                                   "UPDATE %1 SET modified = NULL WHERE id = 8")
                                               .arg(table)
                                               .split(';');
            QVERIFY(runOn(m_path, statements));
            QCOMPARE(rows(m_path,
                         QString("SELECT count(*) FROM %1 WHERE id > 6 AND date(modified) = date('now')").arg(table)),
                QStringList("2"));
        }
        QCOMPARE(triggers.size(), 30);
        QCOMPARE(rows(m_path, "SELECT lower(name) FROM sqlite_master WHERE type = 'trigger' ORDER BY 1"), triggers);
    }

    void migratesFromEveryRevision_data()
    {
        QTest::addColumn<QString>("revision");
        QTest::addColumn<QStringList>("statements"); // run on the file at that revision
        QTest::addColumn<QStringList>("experiments"); // its experiment rows after the update
        QCOMPARE(TestDatabase::revisions().last(), QString(DBVERSION));
        for (const QString &revision : TestDatabase::revisions())
            QTest::newRow(qPrintable(revision)) << revision << QStringList() << QStringList();
        // A file of the current revision that already keeps an experiment's k gains the other columns; its run
        // keeps its figures, with no source, which reads as typed.
        QTest::newRow("with the k column")
            << QString(DBVERSION)
            << QStringList { "ALTER TABLE experiment ADD COLUMN sk DOUBLE",
                   "INSERT INTO experiment (name, vbar, rho, sk) VALUES ('Run', 0.73, 1.01, 0.02)" }
            << QStringList { "Run|0.73|1.01|0.02|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>" };
        // Sources stored as the object name of the button pressed become words.
        QTest::newRow("with sources as button names")
            << QString(DBVERSION)
            << QStringList { "ALTER TABLE experiment ADD COLUMN sk DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN vbarSource varchar(30)",
                   "ALTER TABLE experiment ADD COLUMN vbarStandard DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN vbarStandardT DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN densitySource varchar(30)",
                   "ALTER TABLE experiment ADD COLUMN densityStandard DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN densityStandardT DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN viscositySource varchar(30)",
                   "ALTER TABLE experiment ADD COLUMN viscosityStandard DOUBLE",
                   "ALTER TABLE experiment ADD COLUMN viscosityStandardT DOUBLE",
                   "INSERT INTO experiment (name, vbar, rho, sk, vbarSource, densitySource, densityStandard, "
                   "densityStandardT, viscositySource) VALUES ('Run', 0.73, 1.01, 0.02, 'qtVbarDirectEntry', "
                   "'qtDensityStandard', 1.02, 25, 'qtViscosityCompute')" }
            << QStringList { "Run|0.73|1.01|0.02|direct|<NULL>|<NULL>|standard|1.02|25|computed|<NULL>|<NULL>" };
    }
    void migratesFromEveryRevision()
    {
        QFETCH(QString, revision);
        QFETCH(QStringList, statements);
        const QString reference = m_files->path("reference.db");
        QVERIFY(openAndUpdate(reference));
        QVERIFY(TestDatabase::createAtRevision(m_path, revision));
        QVERIFY(runOn(m_path, statements));
        QCOMPARE(rows(m_path, "SELECT databaseVersion FROM version"), QStringList(revision));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(m_messages + m_answerer->texts(), revision == DBVERSION ? QStringList() : QStringList(kReport));
        // Every road ends in the same schema, statement for statement.
        QCOMPARE(rows(m_path, kMaster), rows(reference, kMaster));
        QCOMPARE(rows(m_path, kStampAndSeed + " FROM version, defaults"), QStringList(kStamp + '|' + kSeed));
        QTEST(
            rows(m_path,
                "SELECT name, vbar, rho, sk, vbarSource, vbarStandard, vbarStandardT, densitySource, densityStandard, "
                "densityStandardT, viscositySource, viscosityStandard, viscosityStandardT FROM experiment"),
            "experiments");
    }

    // Series become components by name, inactive series rows are dropped, compositions point at components by id
    // (unmatched names, case-sensitive, are dropped); rows copied before their triggers exist keep a NULL date.
    void seriesBecomeComponentsAndCompositionsPointAtThem()
    {
        QVERIFY(TestDatabase::createAtRevision(m_path, "03.10.2011"));
        const QString composition = "INSERT INTO bufferComposition (bufferId, name, concentration, units, active) "
                                    "VALUES (1, '%1', %2, '%3', %4)";
        QVERIFY(runOn(m_path,
            { "INSERT INTO rhoseries (name, a, f, active) VALUES ('Gone', 1, 6, 0)",
                "INSERT INTO rhoseries (name, a, f, Source) VALUES ('NaCl', 0.998, 0.5, 'tab')",
                "INSERT INTO rhoseries (name, a) VALUES ('KCl', 0.9)",
                "INSERT INTO viscseries (name, a, e) VALUES ('NaCl', 1.002, 5)",
                "INSERT INTO viscseries (name, a) VALUES ('Urea', 1.1)", composition.arg("NaCl", "150", "mM", "1"),
                composition.arg("KCl", "2.7", "mM", "0"), composition.arg("nacl", "1", "M", "1") }));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(rows(m_path,
                     "SELECT id, name, a, f, Source, modified FROM rhoseries UNION ALL "
                     "SELECT id, name, a, e, Source, modified FROM viscseries"),
            QStringList({ "1|NaCl|0.998|0.5|tab|<NULL>", "2|KCl|0.9|<NULL>|<NULL>|<NULL>",
                "1|NaCl|1.002|5|<NULL>|<NULL>", "2|Urea|1.1|<NULL>|<NULL>|<NULL>" }));
        QCOMPARE(rows(m_path,
                     "SELECT id, name, componentRhoId, componentViscId, active, modified IS NULL "
                     "FROM BufferComponent ORDER BY name"),
            QStringList({ "1|KCl|2|<NULL>|1|0", "2|NaCl|1|1|1|0", "3|Urea|<NULL>|2|1|0" }));
        QCOMPARE(
            rows(m_path, "SELECT bufferId, componentID, concentration, units, active, modified FROM bufferComposition"),
            QStringList({ "1|2|150|mM|1|<NULL>", "1|1|2.7|mM|0|<NULL>" }));
    }

    // A file at an unknown revision keeps its schema; only the application is stamped.
    void unknownRevisionOnlyRestampsApplication()
    {
        for (const QString revision : { "20130101", " 05.18.2011" }) {
            QVERIFY(openAndUpdate(m_path));
            QVERIFY(runOn(m_path,
                { "DROP TABLE IF EXISTS results",
                    QStringLiteral("UPDATE version SET databaseVersion = '%1', applicationVersion = 'older'")
                        .arg(revision) }));
            const QStringList schema = rows(m_path, kMaster);
            QVERIFY(openAndUpdate(m_path));
            QVERIFY(m_messages.isEmpty() && m_answerer->seen().isEmpty());
            QCOMPARE(rows(m_path, kMaster), schema);
            QCOMPARE(rows(m_path, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList(revision + "|20120828 BETA"));
        }
    }

    // Each choice is stored in the form its column holds: a column of the format holds the object name of the
    // button, as every program that reads the format takes it (rows an earlier release wrote as words), a column
    // this program added holds the word (rows an older release wrote as names). Opening the file rewrites each such
    // value once, in its one transaction: a text that is neither stays, every row keeps its date, the table keeps
    // its triggers, and the file is written no more after that.
    void storesEveryChoiceInTheFormItsColumnHolds_data()
    {
        QTest::addColumn<QString>("column"); // table.column
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("stored");
        const char *const choices[][3] = { { "experiment.vbarSource", "qtVbarDirectEntry", "direct" },
            { "experiment.vbarSource", "qtVbarStandard", "standard" },
            { "experiment.vbarSource", "qtVbarCompute", "computed" },
            { "experiment.densitySource", "qtDensityDirectEntry", "direct" },
            { "experiment.densitySource", "qtDensityStandard", "standard" },
            { "experiment.densitySource", "qtDensityCompute", "computed" },
            { "experiment.viscositySource", "qtViscosityDirectEntry", "direct" },
            { "experiment.viscositySource", "qtViscosityStandard", "standard" },
            { "experiment.viscositySource", "qtViscosityCompute", "computed" } };
        for (const auto &c : choices)
            QTest::newRow(qPrintable(QString(c[0]) + ' ' + c[1])) << c[0] << c[1] << c[2];
        for (const TestFormatChoice &c : testFormatChoices())
            QTest::newRow(qPrintable(QString(c.column) + ' ' + c.word)) << c.column << c.word << c.name;
        // Written in the form the column holds, it stays.
        QTest::newRow("results.shape as the format has it") << "results.shape"
                                                            << "qtShapeOblate"
                                                            << "qtShapeOblate";
    }
    void storesEveryChoiceInTheFormItsColumnHolds()
    {
        QFETCH(QString, column);
        QFETCH(QString, written);
        QFETCH(QString, stored);
        const QString table = column.section('.', 0, 0);
        column = column.section('.', 1);
        QVERIFY(openAndUpdate(m_path));
        const QString triggers
            = "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = '" + table + "' ORDER BY name";
        const QStringList before = rows(m_path, triggers);
        const QString update = table + "_update_modified_time";
        // Rows dated as saved long ago: the update trigger set aside while they are given their dates.
        QVERIFY(runOn(m_path,
            { QStringLiteral("INSERT INTO %1 (name, %2) VALUES ('Older', '%3'), ('Other', 'by hand'), ('None', NULL)")
                    .arg(table, column, written),
                "DROP TRIGGER " + update, "UPDATE " + table + " SET modified = '2011-07-05 10:00:0' || id",
                rows(m_path, "SELECT sql FROM sqlite_master WHERE name = '" + update + "'").value(0) }));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(rows(m_path, QStringLiteral("SELECT name, %1, modified FROM %2 ORDER BY id").arg(column, table)),
            QStringList({ "Older|" + stored + "|2011-07-05 10:00:01", "Other|by hand|2011-07-05 10:00:02",
                "None|<NULL>|2011-07-05 10:00:03" }));
        QCOMPARE(rows(m_path, triggers), before);
        const QByteArray translated = bytesOf(m_path);
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(bytesOf(m_path), translated);
        // Its triggers date the next save as before.
        QVERIFY(runOn(m_path, { "UPDATE " + table + " SET name = 'Saved' WHERE id = 1" }));
        QCOMPARE(rows(m_path, "SELECT date(modified) = date('now') FROM " + table + " ORDER BY id"),
            QStringList({ "1", "0", "0" }));
    }

    // A run's speed, sigma or concentration stored empty (NULL, or an empty text: rows an earlier release or another
    // program wrote) is stored as the format stores none, 0.0, which its own readers take as a number: opening the
    // file rewrites it once, in the same transaction as the choices, every row keeping its date and the table its
    // triggers; a figure stays, and the file is written no more after that. Read, 0.0 is none again.
    void storesARunsMissingFiguresAsTheFormatDoes_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("written"); // as SQL
        QTest::addColumn<QString>("stored");
        for (const char *column : { "RPM", "sigma", "mgml" }) {
            QTest::addRow("%s NULL", column) << column << "NULL"
                                             << "0.0";
            QTest::addRow("%s empty", column) << column << "' '"
                                              << "0.0";
            QTest::addRow("%s a figure", column) << column << "12.5"
                                                 << "12.5";
        }
    }
    void storesARunsMissingFiguresAsTheFormatDoes()
    {
        QFETCH(QString, column);
        QFETCH(QString, written);
        QFETCH(QString, stored);
        QVERIFY(openAndUpdate(m_path));
        const QString triggers = "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = "
                                 "'experiment' ORDER BY name";
        const QStringList before = rows(m_path, triggers);
        const QString update = "experiment_update_modified_time";
        const QString others = column == "RPM" ? "sigma, mgml" : column == "sigma" ? "RPM, mgml" : "RPM, sigma";
        QVERIFY(runOn(m_path,
            { QStringLiteral("INSERT INTO experiment (name, %1, %2) VALUES ('Older', %3, 1, 2), ('Other', 7, 1, 2)")
                    .arg(column, others, written),
                "DROP TRIGGER " + update, "UPDATE experiment SET modified = '2011-07-05 10:00:0' || id",
                rows(m_path, "SELECT sql FROM sqlite_master WHERE name = '" + update + "'").value(0) }));
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(rows(m_path,
                     QStringLiteral("SELECT name, typeof(%1), %1, %2, modified FROM experiment ORDER BY id")
                         .arg(column, others.section(',', 0, 0))),
            QStringList(
                { "Older|" + QString(stored == "0.0" ? "real|0|1" : "real|" + stored + "|1") + "|2011-07-05 10:00:01",
                    "Other|real|7|1|2011-07-05 10:00:02" }));
        QCOMPARE(rows(m_path, triggers), before);
        const QByteArray rewritten = bytesOf(m_path);
        QVERIFY(openAndUpdate(m_path));
        QCOMPARE(bytesOf(m_path), rewritten);
        SqlExperimentRecord run;
        bool found = false;
        {
            SqlUpdateDatabase update;
            QVERIFY(update.openAndUpdate(m_path));
            SqlRecords records(QSqlDatabase::database(m_path));
            QVERIFY2(records.loadExperiment(1, &run, &found) && found, qPrintable(records.error()));
        }
        TestDatabase::removeConnection(m_path);
        const QVariant read = column == "RPM" ? run.rpm : column == "sigma" ? run.sigma : run.mgml;
        QCOMPARE(read.isNull(), stored == "0.0");
    }

    // A file whose version names no revision of the chain (a later release's, or another program's) keeps it, but
    // each table of this release it has gains the columns it lacks, so that its records are saved and read; a table
    // it lacks is not made, and reading that kind of record gives the database's reason.
    void aFileOfAnotherVersionGainsTheColumnsOfThisRelease_data()
    {
        QTest::addColumn<QString>("revision"); // the tables the file has
        QTest::addColumn<QString>("stamp"); // its version
        QTest::newRow("every table, none of the later columns") << "20111118"
                                                                << "20130101";
        QTest::newRow("no experiment or results table") << "05.18.2011"
                                                        << "2011-05-18";
    }
    void aFileOfAnotherVersionGainsTheColumnsOfThisRelease()
    {
        QFETCH(QString, revision);
        QFETCH(QString, stamp);
        const QString reference = m_files->path("reference.db");
        QVERIFY(openAndUpdate(reference));
        QVERIFY(TestDatabase::createAtRevision(m_path, revision));
        QVERIFY(runOn(m_path, { "UPDATE version SET databaseVersion = '" + stamp + "'" }));
        const QString tables = "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name";
        const QStringList before = rows(m_path, tables);
        SqlUpdateDatabase update;
        QVERIFY2(update.openAndUpdate(m_path), qPrintable(update.error()));
        {
            QCOMPARE(rows(m_path, tables), before);
            QCOMPARE(rows(m_path, "SELECT databaseVersion, applicationVersion FROM version"),
                QStringList(stamp + "|20120828 BETA"));
            const QStringList full = schemaText(reference);
            for (const QString &table : schemaText(m_path))
                QVERIFY2(full.contains(table), qPrintable(table));

            SqlRecords records(QSqlDatabase::database(m_path));
            int id = -1;
            SqlSampleRecord sample;
            sample.name = QStringLiteral("Lysozyme");
            sample.vbarSource = QLatin1String(SqlSource::direct);
            sample.vbarDirect = 0.7175;
            QVERIFY2(records.saveSample(sample, -1, &id), qPrintable(records.error()));
            QVERIFY(records.loadSample(id, &sample) && sample.vbarDirect.toDouble() == 0.7175);
            SqlSolventRecord solvent;
            solvent.name = QStringLiteral("Water");
            solvent.computedAt20 = 1;
            QVERIFY2(records.saveSolvent(solvent, -1, &id), qPrintable(records.error()));
            QVERIFY(records.loadSolvent(id, &solvent) && solvent.computedAt20.toInt() == 1);
            SqlExperimentRecord experiment;
            experiment.name = QStringLiteral("Run");
            experiment.radiusMethod = QLatin1String(SqlRadiusMethod::vbar);
            const bool hasRuns = before.contains("experiment");
            if (!hasRuns)
                TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO experiment"));
            QCOMPARE(records.saveExperiment(experiment, -1, &id), hasRuns);
            if (hasRuns) {
                QVERIFY(records.loadExperiment(id, &experiment) && experiment.radiusMethod == "vbar");
            } else {
                QVERIFY(!records.loadExperiment(1, &experiment));
                QVERIFY2(
                    records.driverText().startsWith("no such table: experiment"), qPrintable(records.driverText()));
            }
        }
        TestDatabase::removeConnection(m_path);
    }

    // A file that is up to date is only read: it opens while another program holds it in a read of its own, which
    // would keep a write waiting until it failed, or in a write of its own, which would refuse a write begun as a
    // read; its bytes stay as they were.
    void anUpToDateFileIsNotWritten_data()
    {
        QTest::addColumn<QString>("begin"); // the other program's transaction
        QTest::newRow("while another program reads it") << "BEGIN";
        QTest::newRow("while another program writes it") << "BEGIN IMMEDIATE";
    }
    void anUpToDateFileIsNotWritten()
    {
        QFETCH(QString, begin);
        QVERIFY(openAndUpdate(m_path));
        const QByteArray before = bytesOf(m_path);
        {
            TestOtherProgram other(m_path);
            QVERIFY(other.isOpen());
            QSqlQuery q(other.database());
            QVERIFY(q.exec(begin) && q.exec("SELECT databaseVersion FROM version") && q.next());
            QVERIFY2(openAndUpdate(m_path), qPrintable(m_error));
            QVERIFY(m_messages.isEmpty());
            q.finish();
            QVERIFY(q.exec("ROLLBACK"));
        }
        QCOMPARE(bytesOf(m_path), before);
    }

    // Several instances started at once on one file all open it: one that has to write waits for another's write
    // instead of failing, and finds the file brought up to date when its turn comes.
    void instancesStartedAtOnceAllOpenTheFile_data()
    {
        QTest::addColumn<QString>("revision"); // of the file, or none
        QTest::newRow("up to date") << QString(DBVERSION);
        QTest::newRow("an older revision") << "20110705";
        QTest::newRow("no file yet") << QString();
    }
    void instancesStartedAtOnceAllOpenTheFile()
    {
        QFETCH(QString, revision);
        if (revision == DBVERSION)
            QVERIFY(openAndUpdate(m_path));
        else if (!revision.isEmpty())
            QVERIFY(TestDatabase::createAtRevision(m_path, revision));
        const QByteArray before = bytesOf(m_path);
        std::vector<std::unique_ptr<QProcess>> hosts;
        for (int i = 0; i < 8; ++i) {
            hosts.push_back(std::make_unique<QProcess>());
            hosts.back()->start(testBinaryDir() + "/bin/host_opendatabase", { m_path, "20" });
        }
        // Each is told to open the file once all of them are ready.
        for (const auto &host : hosts) {
            while (!host->canReadLine())
                QVERIFY2(host->waitForReadyRead(testPatienceMs()), qPrintable(host->errorString()));
        }
        // Written through at once: a process's buffer would wait for the next call waiting on that process.
        for (const auto &host : hosts)
            QVERIFY(host->write("open\n") == 5 && host->waitForBytesWritten(testPatienceMs()));
        QStringList refusals;
        for (const auto &host : hosts) {
            QVERIFY(host->waitForFinished(testPatienceMs()));
            if (host->exitStatus() != QProcess::NormalExit || host->exitCode() != 0)
                refusals << QString::fromLocal8Bit(host->readAllStandardError());
        }
        QVERIFY2(refusals.isEmpty(), qPrintable(refusals.join('\n')));
        QCOMPARE(rows(m_path, kStampAndSeed + " FROM version, defaults"), QStringList(kStamp + '|' + kSeed));
        if (revision == DBVERSION)
            QCOMPARE(bytesOf(m_path), before);
    }

    void refusedFileIsLeftAsItWas_data()
    {
        QTest::addColumn<QString>("revision"); // or how else the file is made
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("error");
        // Three whole steps have run, with the data moves of the component step, when the sample step fails.
        QTest::newRow("after earlier steps")
            << "01.24.2011"
            << QStringList { "INSERT INTO rhoseries (name, a, active) VALUES ('Gone', 1, 0)",
                   "INSERT INTO rhoseries (name, a) VALUES ('NaCl', 0.998)",
                   "INSERT INTO viscseries (name, a) VALUES ('NaCl', 1.002)",
                   "CREATE TABLE aminoComposition (hand INTEGER)" }
            << "already exists";
        QTest::newRow("no version table") << "" << QStringList { "CREATE TABLE other (x)" } << "no such table: version";
        QTest::newRow("not a database") << "plain text" << QStringList() << "not a database";
        QTest::newRow("missing folder") << "missing folder" << QStringList() << "Cannot open the database:\n";
        // The reason is told, not only that the file did not open.
        QTest::newRow("a path over 512 bytes") << "long path" << QStringList()
                                               << "\n\nits full name is %1 bytes long, and the database library takes "
                                                  "names of at most 512 bytes, the ending \"-journal\" of its journal "
                                                  "included, so at most 504 for the file.";
        // A name whose bytes are no UTF-8 is read with a stand-in character, which names another file.
        QTest::newRow("a name not in the system's encoding")
            << "undecodable name" << QStringList()
            << "%1 is not opened: its name on disk is not text in the system's encoding (UTF-8)";
        QTest::newRow("a folder not in the system's encoding")
            << "undecodable folder" << QStringList()
            << "%1 is not opened: the name of its folder %2 on disk is not text in the system's encoding (UTF-8)";
    }
    void refusedFileIsLeftAsItWas()
    {
        QFETCH(QString, revision);
        QFETCH(QStringList, statements);
        QFETCH(QString, error);
        QFile f(m_path);
        const bool missing = revision == "missing folder" || revision == "long path";
        if (revision == "missing folder") {
            m_path = m_files->dir() + "/no such folder/vornakel.db";
        } else if (revision == "long path") {
            m_path = m_files->dir();
            // One byte more than the journal's name may take: the file itself would open, and fail at the first write.
            while (QFile::encodeName(m_path).size() < 400)
                m_path += '/' + QString(100, 'f');
            QVERIFY(QDir().mkpath(m_path));
            m_path = QDir(QFileInfo(m_path).canonicalFilePath()).filePath("vornakel.db");
            m_path.insert(m_path.size() - 3, QString(505 - QFile::encodeName(m_path).size(), 'v'));
            error = "Cannot open the database:\n" + m_path + error.arg(QFile::encodeName(m_path).size());
        } else if (revision.startsWith("undecodable")) {
            const QTextCodec *before = QTextCodec::codecForLocale();
            QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
            auto restore = qScopeGuard([before] { QTextCodec::setCodecForLocale(const_cast<QTextCodec *>(before)); });
            const bool folder = revision.endsWith("folder");
            const QByteArray named = QFile::encodeName(m_files->dir()) + (folder ? "/lab\xE9" : "/lab\xE9.db");
            if (folder)
                QVERIFY(::mkdir(named.constData(), 0700) == 0);
            else
                QVERIFY(::close(::open(named.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600)) == 0);
            m_path = QFile::decodeName(named) + (folder ? "/vornakel.db" : "");
            error = folder ? error.arg(m_path, QFile::decodeName(named)) : error.arg(m_path);
            QVERIFY(!openAndUpdate(m_path));
            expectOneError(error);
            // Neither the file chosen nor any other was opened or made (Qt can list neither by its name).
            QCOMPARE(testNamesIn(m_files->dir()), QList<QByteArray> { folder ? "lab\xE9" : "lab\xE9.db" });
            // The folder is removed only while empty; the file is as it was made.
            struct stat found = {};
            if (folder)
                QCOMPARE(::rmdir(named.constData()), 0);
            else
                QVERIFY(
                    ::stat(named.constData(), &found) == 0 && found.st_size == 0 && ::unlink(named.constData()) == 0);
            return;
        } else if (revision == "plain text")
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray("plain text, not a database\n").repeated(40)));
        else
            QVERIFY(revision.isEmpty() || TestDatabase::createAtRevision(m_path, revision));
        f.close();
        QVERIFY(runOn(m_path, statements));
        const QByteArray before = bytesOf(m_path);
        QVERIFY(!openAndUpdate(m_path));
        QVERIFY(m_messages.isEmpty());
        expectOneError(error + (revision == "missing folder" ? m_path : QString()));
        QCOMPARE(bytesOf(m_path), before);
        QCOMPARE(QFile::exists(m_path), !missing);
    }

    // A file another program holds is waited for with the event loop running: the hold ends only on a tick of
    // a timer of that loop, so a wait that froze the loop would never see it end. Held beyond the wait, the file
    // is said to be in use, with what to do, and is left as it was. A read under way in the other program lets
    // a file that needs a write be read and its write begin, but keeps the write from being stored: it is met
    // the same way, also where the write only spells the choices as the file's version has them.
    void aFileAnotherProgramHoldsIsWaitedForWithTheEventLoopRunning_data()
    {
        QTest::addColumn<TestLockHolder::Hold>("hold"); // the whole file, or what keeps a file that needs a write
        QTest::addColumn<bool>("choicesOnly"); // the write: a revision's steps, or the choices' spelling
        QTest::addColumn<bool>("released");
        for (const bool released : { true, false }) {
            const char *how = released ? "let go while waited for" : "beyond the wait";
            QTest::addRow("held whole, %s", how) << TestLockHolder::Hold::Everything << false << released;
            QTest::addRow("its writes held, %s", how) << TestLockHolder::Hold::Writes << false << released;
            QTest::addRow("a read under way, %s", how) << TestLockHolder::Hold::Reads << false << released;
            QTest::addRow("a read under way, the choices to spell anew, %s", how)
                << TestLockHolder::Hold::Reads << true << released;
        }
    }
    void aFileAnotherProgramHoldsIsWaitedForWithTheEventLoopRunning()
    {
        QFETCH(TestLockHolder::Hold, hold);
        QFETCH(bool, choicesOnly);
        QFETCH(bool, released);
        TestSettings settings;
        if (hold == TestLockHolder::Hold::Everything || choicesOnly)
            QVERIFY(openAndUpdate(m_path));
        else
            QVERIFY(TestDatabase::createAtRevision(m_path, "20110705"));
        if (choicesOnly)
            QVERIFY(runOn(m_path, { "INSERT INTO results (name, method) VALUES ('r', 'vbar')" }));
        const QByteArray before = bytesOf(m_path);
        TestLockHolder holder(m_path, hold);
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        const bool opened = openAndUpdate(m_path);
        if (released) {
            QVERIFY2(opened, qPrintable(m_error));
            QVERIFY(holder.wasLetGoOnATick());
            QCOMPARE(rows(m_path, kStampAndSeed + " FROM version, defaults"), QStringList(kStamp + '|' + kSeed));
            if (choicesOnly)
                QCOMPARE(rows(m_path, "SELECT method FROM results"), QStringList("qtVbarMethod"));
            return;
        }
        QVERIFY(!opened);
        expectOneError("is in use by another program, which holds it locked");
        QVERIFY2(m_error.contains(QDir::toNativeSeparators(m_path)) && m_error.contains("close it, then try again")
                && !m_error.contains("Choose another"),
            qPrintable(m_error));
        holder.release();
        QCOMPARE(bytesOf(m_path), before);
    }

    // A journal, log or index beside the database that is not a regular file
    // of the user's own (nor of the file's owner) was put there by another
    // user who may write the folder (here a group's, 2775): SQLite would play
    // a journal into the file. The open is refused, naming it, and nothing
    // is rolled back: the planted file stays, the records stay as they were.
    void whatAnotherUserPutsBesideTheFileIsNotPlayedIn_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("kind"); // own, other user's, link, pipe
        QTest::addColumn<QString>("what"); // as the message names it; empty when the file opens
        QTest::newRow("another user's hot journal") << "-journal"
                                                    << "other user's"
                                                    << "a file of another user's";
        QTest::newRow("another user's log") << "-wal"
                                            << "other user's"
                                            << "a file of another user's";
        QTest::newRow("another user's index") << "-shm"
                                              << "other user's"
                                              << "a file of another user's";
        QTest::newRow("a link as the journal") << "-journal"
                                               << "link"
                                               << "a link";
        QTest::newRow("a named pipe as the journal") << "-journal"
                                                     << "pipe"
                                                     << "a named pipe (FIFO)";
        // The user's own file all the same, but one that others may have filled.
        QTest::newRow("a second name of a file of the user's") << "-journal"
                                                               << "second name"
                                                               << "a file with a second name (a hard link)";
        QTest::newRow("a file of the user's that the group may write") << "-journal"
                                                                       << "group-writable"
                                                                       << "a file that others may write";
        QTest::newRow("a log of the user's that all may write") << "-wal"
                                                                << "writable by all"
                                                                << "a file that others may write";
        QTest::newRow("a folder as the log") << "-wal"
                                             << "folder"
                                             << "a folder";
        // The user's own journal is the file's own: played in, as SQLite does.
        QTest::newRow("the user's own hot journal") << "-journal"
                                                    << "own"
                                                    << "";
    }
    void whatAnotherUserPutsBesideTheFileIsNotPlayedIn()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, kind);
        QFETCH(QString, what);
        if (kind == "other user's" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        QVERIFY(::chmod(QFile::encodeName(m_files->dir()).constData(), 02775) == 0);
        QVERIFY(openAndUpdate(m_path));
        QVERIFY(runOn(m_path, { "INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)" }));
        const QString planted = m_path + suffix;
        const QStringList changes { "UPDATE amino SET vbar = 0.123" };
        const QStringList later { "UPDATE amino SET vbar = 0.5" };
        // A window that has the file open already, and reads it once more after the planting.
        QSqlDatabase open = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-open");
        open.setDatabaseName(m_path);
        QVERIFY(open.open());
        std::unique_ptr<TestFifo> pipe;
        if (kind == "pipe") {
            pipe = std::make_unique<TestFifo>(planted, 5000);
        } else if (kind == "link") {
            QVERIFY(TestDatabase::writeHotJournal(m_path, changes, later, m_path + ".saved"));
            QVERIFY(QFile::link(m_path + ".saved", planted));
        } else if (kind == "second name") {
            QVERIFY(TestDatabase::writeHotJournal(m_path, changes, later, m_path + ".saved"));
            QVERIFY(testSecondName(m_path + ".saved", planted));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(planted));
        } else {
            QVERIFY(TestDatabase::writeHotJournal(m_path, changes, later, planted));
        }
        if (kind == "other user's")
            QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0666) == 0 && testGiveAway(planted));
        // The database itself only its owner may write.
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0644) == 0);
        if (kind == "group-writable" || kind == "writable by all")
            QVERIFY(::chmod(QFile::encodeName(planted).constData(), kind == "group-writable" ? 0664 : 0666) == 0);
        const QByteArray journal = pipe || kind == "folder" ? QByteArray() : bytesOf(planted);
        const QByteArray before = bytesOf(m_path);
        {
            QSqlQuery query(open);
            const bool read = query.exec("SELECT vbar FROM amino") && query.next();
            // An index without its log is not looked at.
            QCOMPARE(read, what.isEmpty() || suffix == "-shm");
            if (read)
                QCOMPARE(query.value(0).toString(), QString(what.isEmpty() ? "0.123" : "0.74"));
        }
        open.close();
        open = QSqlDatabase();
        QSqlDatabase::removeDatabase("tst-open");
        if (what.isEmpty())
            return;
        QCOMPARE(SqlJournalGuard::takeRefusal().isEmpty(), suffix == "-shm");
        QVERIFY(!openAndUpdate(m_path));
        // A journal or log of the user's may hold a change that was cut off: it is not to be removed.
        QString advice;
        if (kind == "second name")
            advice = keepAdvice("second name", QString(), QString());
        else if (kind == "group-writable" || kind == "writable by all")
            advice = keepAdvice("write", QFileInfo(m_path).group(), "rw-r--r--");
        QCOMPARE(m_error, besideRefusal(m_path, planted, what, true, advice));
        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(bytesOf(m_path), before);
        QVERIFY(QFileInfo(planted).isSymLink() || QFileInfo::exists(planted));
        if (!pipe && kind != "folder")
            QCOMPARE(bytesOf(planted), journal);
        // A query of a module's script, on a connection of its own, is refused the same way.
        {
            QSqlDatabase script = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-script");
            script.setDatabaseName(m_path);
            QSqlQuery query(script);
            QVERIFY(!script.open() || !query.exec("SELECT vbar FROM amino"));
        }
        QSqlDatabase::removeDatabase("tst-script");
        QCOMPARE(SqlJournalGuard::takeRefusal(), m_error);
        if (pipe)
            pipe.reset(); // and the pipe with it
        else if (kind == "folder")
            QVERIFY(QDir().rmdir(planted));
        else
            QVERIFY(QFile::remove(planted));
        QCOMPARE(rows(m_path, "SELECT vbar FROM amino"), QStringList { "0.74" });
    }

    // A journal put under the name for just the moment SQLite opens it, the user's own put back at once (as a
    // program that watches the folder can), is judged as the file that was opened: it is not played in.
    void aJournalSwappedInForTheOpenIsNotPlayedIn()
    {
        QVERIFY(::chmod(QFile::encodeName(m_files->dir()).constData(), 02775) == 0);
        QVERIFY(openAndUpdate(m_path));
        QVERIFY(runOn(m_path, { "INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)" }));
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0644) == 0);
        const QString journal = m_path + "-journal";
        const QString own = m_path + ".own";
        const QString planted = m_path + ".planted";
        const QStringList later { "UPDATE amino SET vbar = 0.9" };
        QVERIFY(TestDatabase::writeHotJournal(m_path, { "UPDATE amino SET vbar = 0.123" }, later, journal));
        QVERIFY(TestDatabase::writeHotJournal(m_path, { "UPDATE amino SET vbar = 0.5" }, later, planted));
        QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0666) == 0);
        const QByteArray before = bytesOf(m_path);
        int swaps = 0;
        SqlJournalGuard::setAroundOpen([&](const QString &name, bool opened) {
            if (name != journal)
                return;
            const QString away = opened ? planted : own;
            const QString back = opened ? own : planted;
            swaps += QFile::rename(journal, away) && QFile::rename(back, journal);
        });
        QString read;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-swapped");
            db.setDatabaseName(m_path);
            QSqlQuery query(db);
            if (db.open() && query.exec("SELECT vbar FROM amino") && query.next())
                read = query.value(0).toString();
        }
        QSqlDatabase::removeDatabase("tst-swapped");
        SqlJournalGuard::setAroundOpen(nullptr);
        QVERIFY(swaps >= 2 && swaps % 2 == 0);
        QCOMPARE(read, QString()); // nothing read, and above all not the 0.5 of the planted journal
        // Found when the database was open already.
        QCOMPARE(SqlJournalGuard::takeRefusal(),
            besideRefusal(m_path, journal, "a file that others may write", false,
                keepAdvice("write", QFileInfo(m_path).group(), "rw-r--r--", false)));
        QCOMPARE(bytesOf(m_path), before);
    }

    // In a folder the group may write (2775), another member takes the journal away while the user saves
    // (renamed the moment SQLite opened it, as a program that watches the folder can), keeps it, and puts it
    // back after the user's later saves. The save whose journal was taken is stored and says so; what is put
    // back holds nothing to play in, so no save is undone, at the next open or at the next statement of the
    // file still open, also when a table was made after the theft.
    void aJournalTakenAwayAndPutBackUndoesNoSave_data()
    {
        QTest::addColumn<bool>("stillOpen"); // put back while the program holds the file open
        QTest::addColumn<QString>("later"); // what the user saves after the theft
        const QString row = "INSERT INTO amino (Namethree) VALUES ('GLY')";
        const QString table = "CREATE TABLE notes (text); INSERT INTO notes VALUES ('kept')";
        QTest::newRow("put back before the next open") << false << row;
        QTest::newRow("put back while the file is open") << true << row;
        QTest::newRow("a table made since, put back before the next open") << false << table;
        QTest::newRow("a table made since, put back while the file is open") << true << table;
    }
    void aJournalTakenAwayAndPutBackUndoesNoSave()
    {
        QFETCH(bool, stillOpen);
        QFETCH(QString, later);
        QVERIFY(::chmod(QFile::encodeName(m_files->dir()).constData(), 02775) == 0);
        QVERIFY(openAndUpdate(m_path));
        const QString journal = m_path + "-journal";
        const QString taken = m_files->path("taken");
        QStringList saved { "ALA" };
        {
            TestOtherProgram user(m_path);
            QVERIFY(user.isOpen());
            QSqlDatabase db = user.database();
            // Each save as the program writes: one transaction, its error as the window would show it.
            const auto save = [&db](const QString &statements) {
                SqlTransaction transaction(db);
                QSqlQuery query(db);
                for (const QString &statement : statements.split("; "))
                    if (transaction.isOpen() && !query.exec(statement))
                        transaction.fail(query);
                query.finish();
                transaction.commit();
                return transaction.error();
            };
            bool took = false;
            takeAwayWhenOpened(journal, taken, took);
            const QString first = save("INSERT INTO amino (Namethree) VALUES ('ALA')");
            SqlJournalGuard::setAroundOpen(nullptr);
            QVERIFY(took);
            QCOMPARE(first, QString());
            QCOMPARE(save(later), QString());
            QVERIFY(QFile::rename(taken, journal));
            if (stillOpen) {
                QSqlQuery query(db);
                QVERIFY2(query.exec("SELECT Namethree FROM amino ORDER BY id"), qPrintable(query.lastError().text()));
                QStringList read;
                while (query.next())
                    read << query.value(0).toString();
                QCOMPARE(read, later.contains("GLY") ? QStringList({ "ALA", "GLY" }) : saved);
                query.finish();
                QCOMPARE(save("INSERT INTO amino (Namethree) VALUES ('SER')"), QString());
                saved << "SER";
            }
        }
        QVERIFY2(openAndUpdate(m_path), qPrintable(m_error));
        if (later.contains("GLY"))
            saved.insert(1, "GLY");
        else
            QCOMPARE(rows(m_path, "SELECT text FROM notes"), QStringList { "kept" });
        QCOMPARE(rows(m_path, "SELECT Namethree FROM amino ORDER BY id"), saved);
        QCOMPARE(rows(m_path, "PRAGMA integrity_check"), QStringList { "ok" });
    }

    // The same for the log of a file that another program keeps in log mode ("wal"): taken away the moment
    // SQLite opened it, kept, and put back after the file was closed, saved into again and closed. The log
    // SQLite was done with holds nothing to play in, so the later save stays.
    void aLogTakenAwayAndPutBackUndoesNoSave()
    {
        QVERIFY(::chmod(QFile::encodeName(m_files->dir()).constData(), 02775) == 0);
        QVERIFY(openAndUpdate(m_path));
        const QString log = m_path + "-wal";
        const QString taken = m_files->path("taken");
        bool took = false;
        takeAwayWhenOpened(log, taken, took);
        {
            TestOtherProgram user(m_path);
            QSqlQuery query(user.database());
            QVERIFY(user.isOpen() && query.exec("PRAGMA journal_mode = WAL") && query.next());
            QCOMPARE(query.value(0).toString(), QStringLiteral("wal"));
            QVERIFY(query.exec("INSERT INTO amino (Namethree) VALUES ('ALA')"));
            QVERIFY(QFileInfo(taken).size() > 0);
            query.finish();
        }
        SqlJournalGuard::setAroundOpen(nullptr);
        QVERIFY(took);
        QVERIFY(runOn(m_path, { "INSERT INTO amino (Namethree) VALUES ('GLY')" }));
        QVERIFY(!QFileInfo::exists(log));
        QVERIFY(QFile::rename(taken, log));
        QVERIFY2(openAndUpdate(m_path), qPrintable(m_error));
        QCOMPARE(rows(m_path, "SELECT Namethree FROM amino ORDER BY id"), QStringList({ "ALA", "GLY" }));
        QCOMPARE(rows(m_path, "PRAGMA integrity_check"), QStringList { "ok" });
    }

    // A journal or log of the user's own that was renamed or moved since it was last written (its change time
    // later than its modification time), in a folder where others may rename the user's files (2775, a
    // group's), may have been taken away and put back, and played in would undo the saves made since: it is
    // refused, naming it, and nothing is rolled back. Not moved, or where only the user may move it (a folder
    // of the user's own, a sticky one), it is the user's cut-off change, and is played in as SQLite does.
    void aChangeFileMovedSinceWrittenIsNotPlayedInWhereOthersMayMoveIt_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a journal moved, in a group's folder") << "-journal" << 02775 << true << true;
        QTest::newRow("a journal not moved, in a group's folder") << "-journal" << 02775 << false << false;
        QTest::newRow("a journal moved, in a folder only the user may write") << "-journal" << 0700 << true << false;
        QTest::newRow("a journal moved, in a sticky folder of the user's") << "-journal" << 01777 << true << false;
        QTest::newRow("a log moved, in a group's folder") << "-wal" << 02775 << true << true;
        QTest::newRow("a log not moved, in a group's folder") << "-wal" << 02775 << false << false;
    }
    void aChangeFileMovedSinceWrittenIsNotPlayedInWhereOthersMayMoveIt()
    {
        QFETCH(QString, suffix);
        QFETCH(int, folderMode);
        QFETCH(bool, moved);
        QFETCH(bool, refused);
        QVERIFY(::chmod(QFile::encodeName(m_files->dir()).constData(), mode_t(folderMode)) == 0);
        QVERIFY(openAndUpdate(m_path));
        QVERIFY(runOn(m_path, { "INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)" }));
        const QString file = m_path + suffix;
        if (suffix == "-journal") {
            QVERIFY(TestDatabase::writeHotJournal(
                m_path, { "UPDATE amino SET vbar = 0.123" }, { "UPDATE amino SET vbar = 0.5" }, file));
        } else {
            // A program that writes the log and ends without folding it into the file (killed) leaves it beside.
            const int ended = testInChild([this]() {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-wal");
                db.setDatabaseName(m_path);
                QSqlQuery query(db);
                const bool written = db.open() && query.exec("PRAGMA journal_mode = WAL") && query.next()
                    && query.value(0).toString() == "wal" && query.exec("PRAGMA wal_autocheckpoint = 0")
                    && query.exec("UPDATE amino SET vbar = 0.123");
                return written ? 0 : 1;
            });
            QCOMPARE(ended, 0);
            QVERIFY(QFileInfo(file).size() > 0);
        }
        if (moved)
            QVERIFY(testMoveAwayAndBack(file));
        const QByteArray before = bytesOf(m_path);
        const QByteArray changes = bytesOf(file);
        if (!refused) {
            QVERIFY2(openAndUpdate(m_path), qPrintable(m_error));
            QCOMPARE(rows(m_path, "SELECT vbar FROM amino"), QStringList { "0.123" });
            return;
        }
        QVERIFY(!openAndUpdate(m_path));
        QCOMPARE(m_error, movedRefusal(m_path, file));
        QCOMPARE(bytesOf(m_path), before);
        QCOMPARE(bytesOf(file), changes);
    }

    // What the program makes beside the user's database (a journal, or a log and its index) lets no one write
    // or read it who may not write or read the database file: it has the database file's group and permissions,
    // not the group of the folder it is made in, which a group's shared folder passes on. Where the user may not
    // give it the database file's group, the folder's group may do no more than everyone may to the database.
    void whatTheProgramMakesBesideTheDatabaseGrantsNoMoreThanIt_data()
    {
        QTest::addColumn<QString>("journalMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<bool>("ownGroup"); // the database file's group is the user's own, or one they are not in
        QTest::addColumn<int>("madeMode"); // what the files made beside it have
        QTest::newRow("a journal, in a folder its group may write") << "delete" << 02775 << 0664 << true << 0664;
        QTest::newRow("a log and its index, in a folder its group may write") << "wal" << 02775 << 0664 << true << 0664;
        QTest::newRow("a journal, in a folder only its group may read") << "delete" << 02770 << 0640 << true << 0640;
        QTest::newRow("a journal, the database file of a group the user is not in")
            << "delete" << 02775 << 0664 << false << 0644;
    }
    void whatTheProgramMakesBesideTheDatabaseGrantsNoMoreThanIt()
    {
        QFETCH(QString, journalMode);
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        QFETCH(bool, ownGroup);
        QFETCH(int, madeMode);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        const QString path = labPath(folderMode);
        QVERIFY(!path.isEmpty());
        {
            TestAsLabUser user;
            QVERIFY(user.isActing());
            QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        }
        // A group the user is not in ("games"), given by the superuser.
        const unsigned fileGroup = ownGroup ? testLabUserGroup : 60;
        QVERIFY(::chown(QFile::encodeName(path).constData(), uid_t(-1), gid_t(fileGroup)) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)) == 0);
        // Each file made beside it, held open as it is opened, and looked at as SQLite leaves it.
        std::vector<std::pair<QString, int>> made;
        SqlJournalGuard::setAroundOpen([&made](const QString &name, bool opened) {
            if (opened)
                made.emplace_back(QFileInfo(name).fileName(), ::open(QFile::encodeName(name).constData(), O_PATH));
        });
        {
            TestAsLabUser user;
            QVERIFY(user.isActing());
            TestOtherProgram program(path);
            QSqlQuery query(program.database());
            QVERIFY(program.isOpen() && query.exec("PRAGMA journal_mode = " + journalMode) && query.next());
            QCOMPARE(query.value(0).toString(), journalMode);
            QVERIFY2(query.exec("INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)"),
                qPrintable(query.lastError().text()));
            query.finish();
        }
        SqlJournalGuard::setAroundOpen(nullptr);
        QStringList names;
        for (const auto &one : made) {
            struct stat status = {};
            const bool looked = ::fstat(one.second, &status) == 0;
            ::close(one.second);
            QVERIFY(looked);
            names << one.first;
            QCOMPARE(unsigned(status.st_gid), ownGroup ? fileGroup : testLabGroup);
            QCOMPARE(QString::number(status.st_mode & 0777, 8), QString::number(madeMode, 8));
        }
        // Switching to the log is itself written through a journal.
        for (const QString &name :
            journalMode == "wal" ? QStringList({ "v.db-shm", "v.db-wal" }) : QStringList { "v.db-journal" })
            QVERIFY2(names.contains(name), qPrintable(names.join(' ')));
        QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.74" });
    }

    // A journal beside the user's database that lets someone write or read it who may not write or read the
    // database file (of the folder's group, as a program that does not give it the database file's group leaves
    // it) may hold what that someone put in it, or show them the pages saved: it is refused, naming it, and
    // nothing is played in or removed. It may also hold the user's cut-off change, so the person is told what
    // makes it usable, never to remove it. Of the database file's group and permissions it is played in.
    void aJournalThatGrantsMoreThanTheDatabaseIsRefusedNamingIt_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("fileMode"); // the database file's and the journal's
        QTest::addColumn<bool>("folderGroup"); // the journal's group is the folder's, not the database file's
        QTest::addColumn<QString>("what"); // as the message names it; empty when it is played in
        QTest::newRow("of the folder's group, which may write it")
            << 02775 << 0664 << true << "a file that others may write";
        QTest::newRow("of the folder's group, which may read it")
            << 02770 << 0640 << true << "a file that others may read who may not read the database file";
        QTest::newRow("of the database file's group") << 02775 << 0664 << false << "";
    }
    void aJournalThatGrantsMoreThanTheDatabaseIsRefusedNamingIt()
    {
        QFETCH(int, folderMode);
        QFETCH(int, fileMode);
        QFETCH(bool, folderGroup);
        QFETCH(QString, what);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        const QString path = labPath(folderMode);
        QVERIFY(!path.isEmpty());
        const QString journal = path + "-journal";
        TestAsLabUser user;
        QVERIFY(user.isActing());
        QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        QVERIFY(::chown(QFile::encodeName(path).constData(), uid_t(-1), gid_t(testLabUserGroup)) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)) == 0);
        QVERIFY(runOn(path, { "INSERT INTO amino (Namethree, vbar) VALUES ('ALA', 0.74)" }));
        QVERIFY(writeJournalAs(path, folderGroup ? testLabGroup : testLabUserGroup, fileMode));
        const QByteArray before = bytesOf(path);
        const QByteArray changes = bytesOf(journal);
        if (what.isEmpty()) {
            QVERIFY2(openAndUpdate(path), qPrintable(m_error));
            QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.123" });
            return;
        }
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(m_error,
            besideRefusal(path, journal, what, true,
                keepAdvice(fileMode == 0664 ? "write" : "read", QFileInfo(path).group(),
                    fileMode == 0664 ? "rw-rw-r--" : "rw-r-----")));
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(bytesOf(journal), changes);
        // Given what the database file has, as the message says, it is the user's cut-off change, played in.
        QVERIFY(::chown(QFile::encodeName(journal).constData(), uid_t(-1), gid_t(testLabUserGroup)) == 0);
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(journal).constData(), nullptr, 0) == 0);
        QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.123" });
    }

    // The log of changes beside the user's database, empty as it may be, or its index, that lets others write it
    // who may not write the database file (of the folder's group, as a program that does not give it the
    // database file's group leaves it): it is refused, naming it, but never to be removed, since a program that
    // has the database file open may keep its changes through it.
    void aLogOrItsIndexThatGrantsMoreIsRefusedNeverToBeRemoved_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("secondName"); // of the user's own, else of the folder's group
        QTest::newRow("the index of the log") << "-shm" << false;
        QTest::newRow("an empty log") << "-wal" << false;
        QTest::newRow("the index of the log, with a second name") << "-shm" << true;
    }
    void aLogOrItsIndexThatGrantsMoreIsRefusedNeverToBeRemoved()
    {
        QFETCH(QString, suffix);
        QFETCH(bool, secondName);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        const QString path = labPath(02775);
        QVERIFY(!path.isEmpty());
        const QString file = path + suffix;
        TestAsLabUser user;
        QVERIFY(user.isActing());
        QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        QVERIFY(::chown(QFile::encodeName(path).constData(), uid_t(-1), gid_t(testLabUserGroup)) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0664) == 0);
        const QString made = secondName ? path + ".made" : file;
        QVERIFY(writeAs(made, suffix == "-shm" ? QByteArray(32768, '\0') : QByteArray(),
            secondName ? testLabUserGroup : testLabGroup, 0664));
        QVERIFY(!secondName || testSecondName(made, file));
        QVERIFY(!openAndUpdate(path));
        QCOMPARE(m_error,
            secondName ? besideRefusal(path, file, "a file with a second name (a hard link)", true,
                keepAdvice("second name", QString(), QString(), true, "give it", false, true))
                       : besideRefusal(path, file, "a file that others may write", true,
                           keepAdvice("write", QFileInfo(path).group(), "rw-rw-r--", true, "give it", false)));
        QVERIFY(QFileInfo::exists(file));
    }

    // A shared database (of the lab's group, which may write it) in the group's folder: what another member left
    // beside it (the journal of a save of theirs that was cut off, the log their program still writes) is a
    // change of the database's own, since all who may write it may write the database anyway: it is played in,
    // as SQLite does for the file's owner, and nothing of it is lost. One the user may not write waits for that
    // member: the refusal says whose it is and that opening the file as them finishes it, and never to remove it.
    void aChangeOfAnotherWriterOfTheDatabaseIsPlayedIn_data()
    {
        QTest::addColumn<QString>("left");
        QTest::newRow("their cut-off save's journal") << "journal";
        QTest::newRow("the journal of their cut-off save, which only they may write") << "their own journal";
        QTest::newRow("the log of their program, still open") << "log";
        QTest::newRow("their cut-off save's journal, renamed since it was written") << "moved journal";
    }
    void aChangeOfAnotherWriterOfTheDatabaseIsPlayedIn()
    {
        QFETCH(QString, left);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        const QString path = labPath(02775);
        QVERIFY(!path.isEmpty());
        const QString journal = path + "-journal";
        makeLabDatabaseWithAnAminoAcid(path);
        QVERIFY(!QTest::currentTestFailed());
        std::unique_ptr<TestOtherProgram> program;
        {
            TestAsLabMember member;
            QVERIFY(member.isActing());
            if (left == "log") {
                program = std::make_unique<TestOtherProgram>(path);
                QSqlQuery query(program->database());
                QVERIFY(program->isOpen() && query.exec("PRAGMA journal_mode = WAL") && query.next());
                QCOMPARE(query.value(0).toString(), QStringLiteral("wal"));
                QVERIFY(query.exec("PRAGMA wal_autocheckpoint = 0"));
                QVERIFY(query.exec("UPDATE amino SET vbar = 0.123"));
                query.finish();
                QVERIFY(QFileInfo(path + "-wal").size() > 0);
            } else {
                QVERIFY(writeJournalAs(path, testLabGroup, left == "journal" ? 0664 : 0644));
            }
        }
        if (left == "moved journal") {
            // May be taken away and put back by anyone of the group: theirs to finish, never to be removed.
            QVERIFY(testMoveAwayAndBack(journal));
            const QByteArray changes = bytesOf(journal);
            TestAsLabUser user;
            QVERIFY(user.isActing());
            QVERIFY(!openAndUpdate(path));
            QCOMPARE(m_error, movedRefusal(path, journal, "nobody"));
            QCOMPARE(bytesOf(journal), changes);
            return;
        }
        {
            TestAsLabUser user;
            QVERIFY(user.isActing());
            if (left == "their own journal") {
                QVERIFY(!openAndUpdate(path));
                QCOMPARE(m_error,
                    "The database file\n" + path + "\nis not opened: beside it lies " + journal
                        + ", a change of nobody's to it that is not finished, which you may not write. Nothing was "
                          "read from the database or written to it. Do not remove it or move it aside: the "
                          "database file needs it to be whole. The change is finished when nobody's program closes "
                          "the database file or, where that program was cut off, when the database file is opened "
                          "as nobody.");
                QCOMPARE(rows(path, "SELECT vbar FROM amino").value(0).left(6), QStringLiteral("ERROR:"));
            } else {
                QVERIFY2(openAndUpdate(path), qPrintable(m_error));
                QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.123" });
            }
        }
        {
            TestAsLabMember member;
            QVERIFY(member.isActing());
            program.reset();
            if (left == "their own journal")
                QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        }
        QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.123" });
        QCOMPARE(rows(path, "PRAGMA integrity_check"), QStringList { "ok" });
        QVERIFY(!QFileInfo::exists(journal) || QFileInfo(journal).size() == 0);
    }

    // A shared database whose log another member's program keeps, the index of which that member made such
    // that the user may not write it: the user reads their change, but a save says whose the index is and what
    // ends it, never to remove it (which would damage the file while their program has it open), not only that
    // the database is read only. Once that member has opened and closed the file, the user saves again.
    void aSaveSaysWhoseLogIndexTheUserMayNotWrite()
    {
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        const QString path = labPath(02775);
        QVERIFY(!path.isEmpty());
        const QString index = path + "-shm";
        makeLabDatabaseWithAnAminoAcid(path);
        QVERIFY(!QTest::currentTestFailed());
        // Their program, in a process of its own, cut off with its change in the log.
        TestChildSession member([&]() {
            TestAsLabMember as;
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-member");
            db.setDatabaseName(path);
            QSqlQuery query(db);
            const bool written = as.isActing() && db.open() && query.exec("PRAGMA journal_mode = WAL") && query.next()
                && query.value(0).toString() == "wal" && query.exec("PRAGMA wal_autocheckpoint = 0")
                && query.exec("UPDATE amino SET vbar = 0.123");
            query.finish();
            return written && ::chmod(QFile::encodeName(index).constData(), 0644) == 0 ? 0 : 1;
        });
        QCOMPARE(member.ready(), 0);
        for (int cut = 0; cut < 2; ++cut) {
            if (cut)
                member.end();
            TestAsLabUser user;
            QVERIFY(user.isActing());
            QCOMPARE(rows(path, "SELECT vbar FROM amino"), QStringList { "0.123" });
            TestOtherProgram mine(path);
            QVERIFY(mine.isOpen());
            SqlTransaction save(mine.database());
            if (save.isOpen()) {
                QSqlQuery query(mine.database());
                QVERIFY(!query.exec("INSERT INTO amino (Namethree, vbar) VALUES ('GLY', 0.7)"));
                save.fail(query);
            }
            QCOMPARE(save.error(),
                path + ":\nYou may write the database file, but not " + index
                    + " beside it, the index of the log of changes that every save goes through. It is nobody's, "
                      "whose program may have the database file open: do not remove it or move it aside. Nothing "
                      "can be saved until nobody's program closes the database file or, where that program was cut "
                      "off, until the database file is opened as nobody and closed again.");
        }
        {
            TestAsLabMember as;
            QVERIFY(as.isActing());
            QVERIFY2(openAndUpdate(path), qPrintable(m_error));
        }
        TestAsLabUser user;
        QVERIFY(user.isActing());
        QVERIFY(runOn(path, { "INSERT INTO amino (Namethree, vbar) VALUES ('GLY', 0.7)" }));
        QCOMPARE(rows(path, "SELECT Namethree || vbar FROM amino ORDER BY id"), QStringList({ "ALA0.123", "GLY0.7" }));
    }

    // Another user's journal beside the user's database where the user may not remove it (a sticky folder that
    // all may write, as /tmp, keeps each file for its owner; a folder the user may not write): the refusal says
    // what the user can do there instead of asking for what cannot be done.
    void aFileBesideTheDatabaseTheUserMayNotRemoveIsRefusedWithWhatCanBeDone_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<QString>("advice");
        QTest::newRow("a sticky folder all may write")
            << 01777
            << "You may not remove %1 or move it aside: in this sticky folder only its owner (root), the folder's "
               "owner or an administrator may. Ask one of them to remove it, or move the database file to a folder "
               "that only you may write, and open it there.";
        QTest::newRow("a folder the user may not write")
            << 0755
            << "You may not remove %1 or move it aside, since you may not write its folder. Ask its owner (root) or "
               "an administrator to remove it, or move the database file to a folder that only you may write, and "
               "open it there.";
        QTest::newRow("a folder all may write") << 0777 << "Remove %1, or move it aside, and open the file again.";
    }
    void aFileBesideTheDatabaseTheUserMayNotRemoveIsRefusedWithWhatCanBeDone()
    {
        QFETCH(int, folderMode);
        QFETCH(QString, advice);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as another user");
        // The other user's database, in a folder of the superuser's, who put a journal beside it.
        const QString path = sharedPath();
        QVERIFY(!path.isEmpty());
        const QString folder = QFileInfo(path).path();
        QVERIFY(openAndUpdate(path));
        QVERIFY(testGiveAway(path));
        const QString journal = path + "-journal";
        QVERIFY(testWriteFile(journal, QByteArray(4096, 'J')));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)) == 0);
        {
            TestAsOtherUser user;
            QVERIFY(user.isActing());
            QVERIFY(!openAndUpdate(path));
        }
        QCOMPARE(m_error,
            "The database file\n" + path + "\nis not opened: beside it lies " + journal
                + ", a file of another user's, which would be taken for changes of the database's own and written "
                  "into it. Nothing was read from the database or written to it. "
                + advice.arg(journal));
        QCOMPARE(testReadFile(journal), QByteArray(4096, 'J'));
    }

    // A file its user may not write (by its own permissions, or its folder's) is opened as it is where only the
    // spelling of its choices, or this release's stamp, would be written: every read takes either spelling. The
    // person is told when its choices stay as words, which other programs that read the format take wrongly.
    // Where the records need what it lacks (a revision's steps), it is refused as before. Nothing is written.
    void aFileItsUserMayNotWriteIsOpenedAsItIsWhereOnlyItsSpellingWouldChange_data()
    {
        QTest::addColumn<QString>("content"); // choices as words, figures, another release's stamp, a revision
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<bool>("opened");
        QTest::newRow("choices as words, the file read-only") << "words" << 0644 << true;
        QTest::newRow("choices as words, the folder read-only") << "words" << 0666 << true;
        QTest::newRow("another release's stamp, the file read-only") << "stamp" << 0644 << true;
        QTest::newRow("a run's speed stored empty, the file read-only") << "figures" << 0644 << true;
        QTest::newRow("an older revision, the file read-only") << "revision" << 0644 << false;
    }
    void aFileItsUserMayNotWriteIsOpenedAsItIsWhereOnlyItsSpellingWouldChange()
    {
        QFETCH(QString, content);
        QFETCH(int, fileMode);
        QFETCH(bool, opened);
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as another user");
        // The superuser's file, in a folder of the superuser's that the other user may only read.
        const QString path = sharedPath();
        QVERIFY(!path.isEmpty());
        if (content == "revision") {
            QVERIFY(TestDatabase::createAtRevision(path, "20110705"));
        } else {
            QVERIFY(openAndUpdate(path));
            QVERIFY(runOn(path,
                { content == "words" ? "INSERT INTO results (name, method, options, shape) VALUES ('r', 'vbar', "
                                       "'prolate', 'oblate')"
                        : content == "figures" ? "INSERT INTO experiment (name, RPM) VALUES ('e', NULL)"
                                               : "UPDATE version SET applicationVersion = '20100101'" }));
        }
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(fileMode)) == 0);
        const QByteArray before = bytesOf(path);
        bool done = false;
        {
            TestAsOtherUser user;
            QVERIFY(user.isActing());
            done = openAndUpdate(path);
        }
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
        if (!opened) {
            QVERIFY(!done);
            expectOneError("could not be brought up to date: attempt to write a readonly database");
            return;
        }
        QVERIFY2(done, qPrintable(m_error));
        if (content != "words") {
            QCOMPARE(m_notice, QString());
            return;
        }
        QVERIFY2(m_notice.startsWith("The database file\n" + path
                     + "\nis opened as it is, and nothing can be saved to it: attempt to write a readonly database")
                && m_notice.contains("stay so, where its version (20120320) has the object names of the buttons"),
            qPrintable(m_notice));
        // Read as the choices they stand for.
        SqlResultsRecord results;
        bool found = false;
        {
            TestAsOtherUser user;
            SqlUpdateDatabase update;
            QVERIFY(update.openAndUpdate(path));
            SqlRecords records(QSqlDatabase::database(path));
            QVERIFY2(records.loadResults(1, &results, &found) && found, qPrintable(records.error()));
        }
        TestDatabase::removeConnection(path);
        QCOMPARE(QStringList({ results.method.toString(), results.option.toString(), results.shape.toString() }),
            QStringList({ SqlRadiusMethod::vbar, SqlHydration::prolate, SqlShape::oblate }));
    }

    void failedCommitIsReportedAndRolledBack()
    {
        QVERIFY(TestDatabase::createAtRevision(m_path, "20111118"));
        const QByteArray before = bytesOf(m_path);
        // A reader inside its own transaction keeps the file shared, so the write cannot have it whole.
        {
            TestOtherProgram reader(m_path);
            QVERIFY(reader.isOpen() && reader.database().transaction());
            QSqlQuery q(reader.database());
            QVERIFY(q.exec("SELECT databaseVersion FROM version") && q.next());
            QVERIFY(!openAndUpdate(m_path));
            expectOneError("locked");
            QVERIFY(m_messages.isEmpty()); // nothing announced as updated
            q.finish();
            reader.database().rollback();
        }
        QCOMPARE(bytesOf(m_path), before);
    }
};

TEST_MAIN(TstSqlUpdateDatabase)
#include "tst_sql_updatedatabase.moc"
