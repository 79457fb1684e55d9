#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "sql/sql_database.h"
#include "sql/sql_executor.h"
#include "sql/sql_query.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_hostilevalues.h"
#include "test_inertsqldriver.h"
#include "test_log.h"
#include "test_mariadb.h"
#include "test_sqlconnections.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

using namespace TestSqlConnections;

namespace {
const QStringList kSchema = {
    QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT UNIQUE, k INTEGER, x REAL)"),
    QStringLiteral("INSERT INTO t (name, k, x) VALUES ('alpha', 1, 0.5)"),
    QStringLiteral("INSERT INTO t (name, k, x) VALUES ('O''Brien', 20, NULL)"),
};
}

class TstSqlQuery : public QObject
{
    Q_OBJECT

private:
    TestDatabaseFiles m_files;
    QString m_path;
    std::unique_ptr<sqlQuery> m_query;
    std::unique_ptr<QScriptEngine> m_engine;

    // A script engine holding m_query on a window's connection to a fresh file.
    void setUpScript()
    {
        m_path = m_files.path("q.db");
        QFile::remove(m_path);
        QVERIFY(openWindowConnection(m_path, kSchema));
        m_query.reset(new sqlQuery(nullptr, m_path, false));
        QVERIFY(m_query->hasExecutor());
        m_engine.reset(new QScriptEngine);
        sqlQuery::registerScriptTypes(m_engine.get());
        m_engine->globalObject().setProperty("m_query", m_engine->newQObject(m_query.get()));
    }

    QScriptValue run(const QString &code) { return m_engine->evaluate(code); }

    int rowCount() { return column(m_path, "SELECT count(*) FROM t").value(0).toInt(); }

    // Started by the first test that needs it, stopped at the end of the program.
    TestMariaDb m_server;

    // The name of a connection of a kind, empty when it cannot be had (see
    // unavailable): the window's SQLite file; a database on the MySQL test
    // server; or an SQLite file through the ODBC driver as the scripts'
    // default connection, which a query object of a new name copies.
    QString connection(const QString &kind)
    {
        if (kind == "mysql") {
            if (!m_server.start())
                return QString();
            if (!QSqlDatabase::contains(kind))
                m_server.addConnection(kind);
            return QSqlDatabase::database(kind, false).isOpen() ? kind : QString();
        }
        if (kind == "odbc") {
            const QString connectString = odbcConnectString(m_files.path("odbc.db"));
            if (connectString.isEmpty())
                return QString();
            if (!QSqlDatabase::contains(sqlDatabase::defaultConnection()))
                dbEngine.addDatabaseFromString("QODBC", connectString, sqlDatabase::defaultConnection());
            return dbEngine.open() ? QStringLiteral("odbc page") : QString();
        }
        return m_path;
    }
    QByteArray unavailable(const QString &kind)
    {
        if (kind == "mysql")
            return m_server.log().toLocal8Bit();
        return "ODBC: " + dbEngine.lastError(sqlDatabase::defaultConnection()).text().toLocal8Bit()
            + " (libsqliteodbc and unixodbc installed?)";
    }
    // The connection that the statements of a query object of that kind reach.
    static QSqlDatabase databaseOf(const QString &kind, const QString &name)
    {
        return QSqlDatabase::database(kind == "odbc" ? sqlDatabase::defaultConnection() : name);
    }

    std::unique_ptr<sqlQuery> mySqlQuery()
    {
        const QString name = connection("mysql");
        return std::unique_ptr<sqlQuery>(name.isEmpty() ? nullptr : new sqlQuery(nullptr, name, false));
    }

private slots:
    void init()
    {
        removeSqlLog();
        setUpScript();
    }
    void cleanup()
    {
        m_engine.reset();
        m_query.reset();
        removeAll();
    }

    void readsAndWritesThroughScript()
    {
        QCOMPARE(run("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
                     "m_query.bindValue(':n', 'gamma'); m_query.bindValue(':k', 7, 1); m_query.exec();"
                     "m_query.prepare('SELECT k, name FROM t WHERE name = :n'); m_query.bindValue(':n', 'gamma');"
                     "var r = []; if (m_query.exec()) while (m_query.next())"
                     " r.push(m_query.value(0), typeof m_query.value(1)); r.join('|');")
                     .toString(),
            QStringLiteral("7|string"));
        // Conversions scripts use: NULL reads empty, doubles with every digit, unknown columns give 0/false.
        QCOMPARE(run("m_query.exec(\"SELECT x, k, 0.1 + 0.2 FROM t WHERE name = 'O''Brien'\"); m_query.next();"
                     "['[' + m_query.value(0) + ']', m_query.isNull(0), m_query.value(2), m_query.toInt('k'),"
                     " m_query.toBool('k'), m_query.toInt('nope')].join(',')")
                     .toString(),
            QStringLiteral("[],true,0.30000000000000004,20,true,0"));
    }

    void logsEachStatementAsRunAndItsError()
    {
        run("m_query.prepare('SELECT id FROM t WHERE name = :n AND k = :k');"
            "m_query.bindValue(':n', \"O'Brien\"); m_query.bindValue(':k', 20); m_query.exec();"
            "m_query.exec('SELECT 1'); m_query.exec('SELEC 1')");
        QCOMPARE(sqlLogLines(),
            (QStringList { "SELECT id FROM t WHERE name = 'O''Brien' AND k = 20", "SELECT 1", "SELEC 1",
                m_query->lastError().text() }));
    }

    // An entry cut at its length keeps whole characters: one of two UTF-16
    // units across the cut is left out whole, and the log reads as UTF-8.
    void sqlLogCutsAnEntryBetweenWholeCharacters()
    {
        const QString a4095(4095, 'a');
        m_query->exec(a4095 + QString::fromUcs4(U"\U0001F600"));
        QFile log("sql.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QCOMPARE(text, a4095 + " ... (2 more characters not logged)\n");
    }

    // Written by the window and the CGI mode at once, sql.log and its older
    // part hold at most 16 MiB together: the newest entries of each writer,
    // whole, in order and without a gap. An entry is one line of at most
    // 4096 characters.
    void sqlLogStaysBoundedWithTwoWriters()
    {
        const int each = 2600; // statements of about 4 KiB: some 20 MiB from the two
        const QString pad(4000, 'p');
        TestModules modules;
        modules.write("spam_main.js", "Spam", "1",
            QString("function spam() { var pad = new Array(4001).join('p');"
                    " for (var i = 0; i < %1; ++i) m_query.exec(\"SELECT 'cgi \" + i + \" \" + pad + \"'\");"
                    " return 'done'; }")
                .arg(each));
        QProcess cgi;
        cgi.start(testBinaryDir() + "/bin/host_cgi", { modules.path(), m_path });
        QVERIFY(cgi.waitForStarted(testPatienceMs()));
        cgi.write("<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"Spam\"/><EXECUTE FUNCTION=\"spam\"/></VORNAKEL>");
        cgi.closeWriteChannel();
        // Once the CGI mode writes, so that the two write at once.
        TEST_TRY_VERIFY(QFile::exists("sql.log"));
        for (int i = 0; i < each; ++i)
            QVERIFY(m_query->exec(QString("SELECT 'window %1 %2'").arg(i).arg(pad)));
        // 8 + 100,000 + 1 characters: the first 4096 are kept, 95,913 left out.
        QVERIFY(m_query->exec("SELECT '" + QString(100000, 'q') + "'"));
        QVERIFY(cgi.waitForFinished(2 * testPatienceMs()));
        QVERIFY2(cgi.readAllStandardOutput().contains("VALUE=\"done\""), "the CGI call did not run");

        const qint64 older = QFileInfo("sql.log.1").size();
        const qint64 newer = QFileInfo("sql.log").size();
        QVERIFY2(
            older <= 8 * 1024 * 1024 && newer <= 8 * 1024 * 1024, qPrintable(QString("%1 %2").arg(older).arg(newer)));
        // The older part was full when it was put aside.
        QVERIFY(older > 8 * 1024 * 1024 - 16 * 1024);
        QStringList lines = sqlLogLines(true);
        // The window's last entry.
        const int cut = lines.indexOf("SELECT '" + QString(4088, 'q') + " ... (95913 more characters not logged)");
        QVERIFY(cut >= 0 && lines.mid(cut).filter("SELECT 'window ").isEmpty());
        lines.removeAt(cut);
        const QRegularExpression entry("^SELECT '(window|cgi) (\\d+) " + pad + "'$");
        QMap<QString, QList<int>> kept;
        for (const QString &line : qAsConst(lines)) {
            const QRegularExpressionMatch match = entry.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line.left(100)));
            kept[match.captured(1)] << match.captured(2).toInt();
        }
        for (const QString &writer : { QString("window"), QString("cgi") }) {
            const QList<int> numbers = kept.value(writer);
            QVERIFY2(!numbers.isEmpty() && numbers.last() == each - 1, qPrintable(writer));
            for (int i = 1; i < numbers.size(); ++i)
                QVERIFY2(numbers.at(i) == numbers.at(i - 1) + 1, qPrintable(QString("%1 %2").arg(writer).arg(i)));
        }
    }

    // A log that passed the bound before (an earlier version kept no bound)
    // is not kept as the older part: its lines are dropped.
    void anOverlongLogIsNotKept()
    {
        QVERIFY(testWriteFile("sql.log", QByteArray(9 * 1024 * 1024, 'x')));
        QVERIFY(m_query->exec("SELECT 1"));
        QCOMPARE(sqlLogLines(true), QStringList { "SELECT 1" });
    }

    void injectionThroughBoundValuesChangesNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("native");
        QTest::newRow("or true") << "x' OR '1'='1" << false;
        QTest::newRow("comment breaker") << "\n' OR 1=1; DELETE FROM t; --" << false;
        QTest::newRow("driver binding") << "x' OR '1'='1" << true;
    }
    void injectionThroughBoundValuesChangesNothing()
    {
        QFETCH(QString, value);
        QFETCH(bool, native);
        m_query->preserveSqlString(!native);
        m_query->prepare("SELECT name FROM t WHERE name = :n AND k = :k -- :n\n");
        m_query->bindValue(":n", value);
        m_query->bindValue(":k", 20.0);
        QVERIFY(m_query->exec());
        QVERIFY(!m_query->next());
        QCOMPARE(rowCount(), 2);
        // Stored and read back letter for letter.
        m_query->prepare("INSERT INTO t (name, k) VALUES (:n, 3)");
        m_query->bindValue(":n", value);
        QVERIFY(m_query->exec());
        QCOMPARE(column(m_path, "SELECT name FROM t WHERE k = 3"), QStringList { value });
        QCOMPARE(m_query->lastInsertId("t", "id").toInt(), 3);
        // Driver binding leaves no statement text to log.
        QCOMPARE(sqlLogLines().isEmpty(), native);
    }

    // The prepared text as it will run: one pass over the text, whole names only, outside quotes and comments.
    void writesBoundValuesIntoTheText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("mySql");
        auto row = [](const char *name, const QString &sql, const QStringList &names, const QVariantList &values,
                       const QString &expected,
                       bool mySql = false) { QTest::newRow(name) << sql << names << values << expected << mySql; };
        auto literal = [&](const char *name, const QVariant &value, const QString &literal) {
            row(name, "SELECT :v", { ":v" }, { value }, "SELECT " + literal);
        };
        literal("quote doubled", QStringLiteral("O'Brien"), "'O''Brien'");
        literal("empty text is a blank", QString(), "' '");
        literal("bytes in base64", QByteArray("hi"), "'aGk='");
        literal("date-time", QDateTime(QDate(2012, 12, 31), QTime(23, 59, 58, 120)), "'12-31-2012 23:59:58.120'");
        literal("date", QDate(2012, 12, 31), "'12-31-2012'");
        literal("double with every digit", 0.1 + 0.2, "0.30000000000000004");
        literal("invalid is NULL", QVariant(), "NULL");
        literal("NaN is NULL", qQNaN(), "NULL");
        literal("infinity as SQLite reads it", -qInf(), "-9e999");
        literal(
            "unsigned beyond the signed range as text", std::numeric_limits<quint64>::max(), "'18446744073709551615'");
        literal("lone surrogate replaced", QString(QChar(0xD800)) + "'",
            QString("'") + QChar(0xFFFD)
                + "''"
                  "'");
        literal("text with a NUL left to the driver", QString("a") + QChar(0) + "b", ":v");
        row("prefix first", "SELECT :t, :temp", { ":t", ":temp" }, { 1, 2 }, "SELECT 1, 2");
        row("value holding a quote", "SELECT :a, :b", { ":a", ":b" }, { "it's :b", 5 }, "SELECT 'it''s :b', 5");
        row("quoted text untouched", "SELECT ':a', \":a\", [:a], :a", { ":a" }, { 1 }, "SELECT ':a', \":a\", [:a], 1");
        row("comments untouched", "SELECT :a -- :a\n/* :a */", { ":a" }, { 1 }, "SELECT 1 -- :a\n/* :a */");
        // Nothing written in must not join its neighbours into a comment.
        row("no comment from a minus", "SELECT 1 -:v", { ":v" }, { -5 }, "SELECT 1 - -5");
        // MySQL escapes backslashes and has its values written in even when asked not to.
        row("mysql backslash quote", "SELECT :v", { ":v" }, { "a\\' OR 1 --" }, "SELECT 'a\\\\'' OR 1 --'", true);
        row("mysql escaped quote in the text", "SELECT 'it\\'s :v', :v", { ":v" }, { "b" }, "SELECT 'it\\'s :v', 'b'",
            true);
    }
    void writesBoundValuesIntoTheText()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QVariantList, values);
        QFETCH(QString, expected);
        QFETCH(bool, mySql);
        if (QTest::currentDataTag() == QByteArray("NaN is NULL"))
            TestLog::ignore(QtWarningMsg, "A NaN bound to a statement is stored as NULL");
        std::unique_ptr<sqlQuery> q = mySql ? mySqlQuery() : nullptr;
        sqlQuery *query = mySql ? q.get() : m_query.get();
        QVERIFY2(query && query->hasExecutor(), unavailable("mysql").constData());
        query->preserveSqlString(!mySql);
        QVERIFY(query->prepare(sql));
        for (int i = 0; i < names.size(); ++i)
            query->bindValue(names.at(i), values.at(i));
        QCOMPARE(query->showPreparedQuery(), expected);
    }

    // The table of hostile values, bound from a script in emulated mode on one
    // table and by the driver on another, on each kind of connection: both
    // tables must end up the same.
    void hostileValuesActAsTheDriversBinding_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QVariant>("reference");
        const QList<QPair<QString, QString>> kinds { { "sqlite", "QSQLITE" }, { "mysql", "QMYSQL" },
            { "odbc", "QODBC" } };
        for (const auto &kind : kinds) {
            for (const TestHostileValues::Case &c : TestHostileValues::cases(kind.second))
                QTest::newRow(qPrintable(kind.first + ": " + c.name)) << kind.first << c.script << c.reference;
        }
    }
    void hostileValuesActAsTheDriversBinding()
    {
        QFETCH(QString, kind);
        QFETCH(QString, script);
        QFETCH(QVariant, reference);
        const QString name = connection(kind);
        QVERIFY2(!name.isEmpty(), unavailable(kind).constData());
        sqlQuery query(nullptr, name, false);
        QVERIFY(query.hasExecutor());
        QScriptEngine engine;
        sqlQuery::registerScriptTypes(&engine);
        engine.globalObject().setProperty("m_query", engine.newQObject(&query));
        const QSqlDatabase db = databaseOf(kind, name);
        QVERIFY(TestHostileValues::createTables(db));
        TestHostileValues::installScript(&engine);
        TestHostileValues::expectWarnings({ QString(), script, reference });
        const QString answer = TestHostileValues::runScript(&engine, { QString(), script, reference }, "e").toString();
        QVERIFY2(!answer.contains("false") && !answer.startsWith("exception"), qPrintable(answer.left(200)));
        QCOMPARE(answer, TestHostileValues::runByDriver(db, "d", reference));
        QCOMPARE(TestHostileValues::rows(db, "e"), TestHostileValues::rows(db, "d"));
    }

    void placeholderLeftWithoutValueIsNotRun_data()
    {
        QTest::addColumn<bool>("native");
        QTest::newRow("emulated") << false;
        QTest::newRow("native") << true;
    }
    void placeholderLeftWithoutValueIsNotRun()
    {
        QFETCH(bool, native);
        m_query->preserveSqlString(!native);
        TestLog::ignore(QtWarningMsg, "Statement not run: no value bound for :name");
        // A name the statement does not hold is harmless.
        QCOMPARE(run("var sql = 'INSERT INTO t (name, k) VALUES (:name, 5)';"
                     "m_query.prepare(sql); m_query.bindValue(':nmae', 'gamma'); var misspelt = m_query.exec();"
                     "m_query.prepare(sql); m_query.bindValue(':name', 'gamma'); m_query.bindValue(':other', 1);"
                     "[misspelt, m_query.exec()].join()")
                     .toString(),
            QStringLiteral("false,true"));
        QCOMPARE(column(m_path, "SELECT name FROM t WHERE k = 5"), QStringList { "gamma" });
    }

    void preparedTextRunsAgainAfterExec()
    {
        run("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
            "for (var i = 0; i < 3; ++i) { m_query.bindValue(':n', 'row' + i); m_query.bindValue(':k', i);"
            " m_query.exec(); }");
        QCOMPARE(column(m_path, "SELECT name FROM t WHERE name LIKE 'row%' ORDER BY k"),
            (QStringList { "row0", "row1", "row2" }));
        QCOMPARE(sqlLogLines().value(2), QStringLiteral("INSERT INTO t (name, k) VALUES ('row2', 2)"));
    }

    void reopensClosedConnectionOnce_data()
    {
        QTest::addColumn<bool>("native");
        QTest::newRow("emulated") << false;
        QTest::newRow("native") << true;
    }
    void reopensClosedConnectionOnce()
    {
        QFETCH(bool, native);
        QVERIFY(openDefaultConnection(m_path));
        m_query->preserveSqlString(!native);
        // A name used twice is bound at both of its places after the reopen too.
        QVERIFY(m_query->prepare("INSERT INTO t (name, k, x) VALUES (:n, :k, :k)"));
        m_query->bindValue(":n", "after reopen");
        m_query->bindValue(":k", 8);
        dbEngine.close(m_path);
        QVERIFY(m_query->exec());
        QVERIFY(QSqlDatabase::database(m_path, false).isOpen());
        QCOMPARE(column(m_path, "SELECT name || '/' || (x = k) FROM t WHERE k = 8"), QStringList { "after reopen/1" });
    }

    void givesUpWhenTheConnectionCannotBeReopened()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("gone.db");
        QVERIFY(openWindowConnection(path, kSchema));
        sqlQuery q(nullptr, path, false);
        dbEngine.close(path);
        QVERIFY(folder.remove());
        TestLog::ignore(QtWarningMsg, qPrintable("Database " + path + " closed and could not be re-opened"));
        QVERIFY(!q.exec("SELECT 1"));
        QVERIFY(!QSqlDatabase::database(path, false).isOpen());
    }

    // A journal put beside the database while a module's query has it open (a second name of a file, which others
    // may have filled; another user's that all may write): the statement is refused and its error names that file,
    // as the open of the file would. The connection is not taken for lost: it stays open, and once the file is gone
    // the next statement runs on it.
    void aFilePutBesideTheOpenDatabaseIsNamedAndTheConnectionKept_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("what"); // as the error names it
        QTest::newRow("a second name of a file") << "second name"
                                                 << "a file with a second name (a hard link)";
        QTest::newRow("another user's that all may write") << "another user's"
                                                           << "a file of another user's";
    }
    void aFilePutBesideTheOpenDatabaseIsNamedAndTheConnectionKept()
    {
        QFETCH(QString, planted);
        QFETCH(QString, what);
        if (planted == "another user's" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        QVERIFY(m_query->exec("INSERT INTO t (k) VALUES (3)"));
        const QString journal = m_path + "-journal";
        QVERIFY(TestDatabase::writeHotJournal(
            m_path, { "DELETE FROM t" }, { "INSERT INTO t (k) VALUES (4)" }, m_path + ".j"));
        if (planted == "second name") {
            QVERIFY(testSecondName(m_path + ".j", journal));
        } else {
            QVERIFY(QFile::rename(m_path + ".j", journal));
            QVERIFY(QFile::setPermissions(journal, QFileDevice::Permissions(0x6666)) && testGiveAway(journal));
        }
        QVERIFY(!m_query->exec("INSERT INTO t (k) VALUES (5)"));
        const QString error = m_query->lastError().text();
        QVERIFY2(error.startsWith("The database file\n" + m_path + "\nis not read or written now: beside it lies "
                     + journal + ", " + what + ", which would be taken for changes of the database's own"),
            qPrintable(error));
        QVERIFY(QSqlDatabase::database(m_path, false).isOpen());
        QVERIFY(QFile::remove(journal));
        QVERIFY(m_query->exec("INSERT INTO t (k) VALUES (6)"));
        QCOMPARE(column(m_path, "SELECT group_concat(k) FROM t"), QStringList { "1,20,3,6" });
    }

    void neverRunsAStatementTwiceNorUnbound()
    {
        // The scripts' default connection is closed; the query's own is open.
        QVERIFY(openDefaultConnection(m_path));
        dbEngine.close(sqlDatabase::defaultConnection());
        QVERIFY(m_query->exec("INSERT INTO t (k) VALUES (77)"));
        QCOMPARE(rowCount(), 3);
        // A statement failing on an open connection is not retried: the executor logs it once.
        QSignalSpy logs(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!m_query->exec("INSERT INTO nosuchtable VALUES (1)"));
        QCOMPARE(logs.count(), 1);
        // A failed prepared statement is not run again unbound on the (open) default connection.
        QVERIFY(dbEngine.open(sqlDatabase::defaultConnection()));
        m_query->preserveSqlString(false);
        QVERIFY(m_query->prepare("INSERT INTO t (name, k) VALUES (:n, 5)"));
        m_query->bindValue(":n", "alpha");
        TestLog::ignore(QtWarningMsg, QRegularExpression("^error 101: \\[UNIQUE constraint failed"));
        QVERIFY(!m_query->exec());
        QCOMPARE(rowCount(), 3);
    }

    void unknownConnectionNameCopiesTheDefaultConnection()
    {
        QVERIFY(openDefaultConnection(m_files.path("default.db")));
        QVERIFY(QSqlQuery(QSqlDatabase::database()).exec("CREATE TABLE d AS SELECT 11 AS v"));
        {
            sqlQuery first(nullptr, QStringLiteral("page connection"), false);
            sqlQuery second(nullptr, QStringLiteral("page connection"), false);
            QVERIFY(second.exec("SELECT v FROM d") && second.next());
            QCOMPARE(second.valuetoString(0), QStringLiteral("11"));
        }
        // The object that made the connection removed it again.
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("page connection")));
    }

    void objectWithoutConnectionAnswersSafely()
    {
        // Registered, but its file cannot be made.
        QVERIFY(!openDefaultConnection(m_files.path("no/such/folder/x.db")));
        sqlQuery q(nullptr, QStringLiteral("unopenable"), false);
        QVERIFY(!q.hasExecutor());
        QScriptEngine engine;
        engine.globalObject().setProperty("m_query", engine.newQObject(&q));
        const QScriptValue v = engine.evaluate(
            QStringLiteral("[m_query.prepare('SELECT 1'), m_query.exec(), m_query.exec('SELECT 1'), m_query.next(),"
                           " '[' + m_query.value(0) + ']', m_query.toInt(0), m_query.size()].join(',')"));
        QCOMPARE(v.toString(), QStringLiteral("false,false,false,false,[],0,-1"));
    }

    // Where the driver reports the new row's id, that is the answer, also of
    // two rows holding the same values.
    void lastInsertIdOfTwoEqualRowsIsTheNewOne_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << "sqlite";
        QTest::newRow("mysql") << "mysql";
    }
    void lastInsertIdOfTwoEqualRowsIsTheNewOne()
    {
        QFETCH(QString, kind);
        const QString name = connection(kind);
        QVERIFY2(!name.isEmpty(), unavailable(kind).constData());
        QVERIFY(TestHostileValues::createTables(databaseOf(kind, name)));
        sqlQuery q(nullptr, name, false);
        for (int i = 0; i < 2; ++i) {
            q.prepare("INSERT INTO e (name, k) VALUES (:n, :k)");
            q.bindValue(":n", "same");
            q.bindValue(":k", 7);
            QVERIFY(q.exec());
        }
        QCOMPARE(q.lastInsertId("e", "id").toInt(), 4);
    }

    // ODBC-to-TDS, shown by the stand-in driver, finds the row again by the
    // values bound for the insert: the newest of those holding them.
    void lastInsertIdOnTdsSearchesTheNewestMatchingRow()
    {
        TestInertSqlDriver::registerAs("QODBC");
        struct Unregister
        {
            ~Unregister() { TestInertSqlDriver::unregister("QODBC"); }
        } unregister;
        QSqlDatabase::addDatabase("QODBC", "tds").setDatabaseName("DRIVER=FreeTDS;SERVER=sql1;DATABASE=calc");
        sqlQuery q(nullptr, "tds", false);
        QVERIFY(q.hasExecutor());
        QSignalSpy statements(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        q.prepare("INSERT INTO t (a, b) VALUES (:a, :b)");
        q.bindValue(":a", 1);
        q.bindValue(":b", QVariant());
        q.bindValue(":zz", "b"); // not in the text, still one of the values
        q.exec();
        statements.clear();
        QCOMPARE(q.lastInsertId(QStringLiteral("t; DROP TABLE t"), QStringLiteral("id")), QVariant(-1));
        QCOMPARE(statements.count(), 0);
        // The stand-in finds nothing.
        QCOMPARE(q.lastInsertId("t", "id"), QVariant(-1));
        QCOMPARE(statements.count(), 1);
        QCOMPARE(statements.at(0).at(0).toString(),
            QStringLiteral("SELECT MAX(id) FROM t WHERE a=1 AND b IS NULL AND zz='b'"));
    }

    // The old connection's server went away: the statement reconnects, runs
    // once, with its values bound again.
    void restartedServerIsReconnected()
    {
        const QString name = connection("mysql");
        QVERIFY2(!name.isEmpty(), unavailable("mysql").constData());
        QVERIFY(TestHostileValues::createTables(QSqlDatabase::database(name)));
        sqlQuery q(nullptr, name, false);
        QVERIFY(q.exec("INSERT INTO e (name, k) VALUES ('before', 5)"));
        m_server.stop();
        QVERIFY2(m_server.start(), qPrintable(m_server.log()));
        const QString withNul = QString("a") + QChar(0) + "b"; // bound by the driver
        q.prepare("INSERT INTO e (name, k, v) VALUES (:n, 5, :v)");
        q.bindValue(":n", "after");
        q.bindValue(":v", withNul);
        QVERIFY(q.exec());
        QCOMPARE(column(name, "SELECT name FROM e WHERE k = 5 ORDER BY id"), (QStringList { "before", "after" }));
        // Read as bytes: the MySQL driver reads text only up to a NUL.
        QCOMPARE(column(name, "SELECT HEX(v) FROM e WHERE name = 'after'"), QStringList { "610062" });
    }

    // A lab that keeps its records on a MySQL server: the scripts' default
    // connection and the module's query object are on it.
    void moduleReadsThroughItsQueryOnMySql()
    {
        const QString name = connection("mysql");
        QVERIFY2(!name.isEmpty(), unavailable("mysql").constData());
        QVERIFY(TestHostileValues::createTables(QSqlDatabase::database(name)));
        QVERIFY(m_server.addConnection(sqlDatabase::defaultConnection()).isOpen());
        TestModules modules;
        const QString file = modules.write("lab_main.js", "Lab", "1", R"js(
function nameOf(a) {
    m_query.prepare("SELECT name FROM e WHERE k = :k");
    m_query.bindValue(":k", a.VALUE);
    return { NAME : "name", VALUE : m_query.exec() && m_query.next() ? m_query.value(0) : "failed" };
}
)js");
        std::unique_ptr<AppPlugin> plugin(AppPlugin::generate(file, name));
        QVERIFY(plugin && plugin->load(file));
        AppScriptObject in("k", "2", AppScriptObject::Normal);
        std::unique_ptr<AppScriptObject> out(plugin->execOne("nameOf", { &in }));
        QCOMPARE(out->property("VALUE").toString(), QStringLiteral("beta"));
    }

    void executorReportsFailuresWithTheirText()
    {
        sqlExecutor executor(QSqlDatabase::database(m_path));
        QSignalSpy errors(&executor, &sqlExecutor::sigError);
        QVERIFY(executor.prepare("INSERT INTO t (name) VALUES (:n)"));
        executor.bindValue(":n", "alpha");
        // The prepared statement, a text run, and the text run again by exec().
        QVERIFY(!executor.exec() && !executor.exec("INSERT INTO t (name) VALUES ('alpha')") && !executor.exec());
        QStringList seen;
        for (const QList<QVariant> &error : errors)
            seen << error.at(0).toString() + '|' + error.at(1).toString();
        QCOMPARE(seen,
            QStringList({ "sqlExecutor::exec() Prepare Statement|INSERT INTO t (name) VALUES (:n)",
                "sqlExecutor::exec(query)|INSERT INTO t (name) VALUES ('alpha')",
                "sqlExecutor::exec()|INSERT INTO t (name) VALUES ('alpha')" }));
    }
};

TEST_GUILESS_MAIN(TstSqlQuery)
#include "tst_sql_query.moc"
