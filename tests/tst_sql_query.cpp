#include "sql/sql_database.h"
#include "sql/sql_executor.h"
#include "sql/sql_query.h"
#include "test_environment.h"
#include "test_inertsqldriver.h"
#include "test_sqlconnections.h"

#include <QDate>
#include <QDateTime>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTime>
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
    void setUpScript(const QString &fileName = QStringLiteral("q.db"))
    {
        m_path = m_files.path(fileName);
        QFile::remove(m_path);
        QVERIFY(openWindowConnection(m_path, kSchema));
        m_query.reset(new sqlQuery(nullptr, m_path, false));
        QVERIFY(m_query->hasExecutor());
        m_engine.reset(new QScriptEngine);
        sqlQuery::registerScriptTypes(m_engine.get());
        m_engine->globalObject().setProperty(QStringLiteral("m_query"), m_engine->newQObject(m_query.get()));
    }

    QScriptValue run(const char *code) { return run(QString::fromUtf8(code)); }
    QScriptValue run(const QString &code)
    {
        const QScriptValue v = m_engine->evaluate(code);
        if (m_engine->hasUncaughtException())
            qWarning() << "script exception:" << v.toString();
        return v;
    }

    int rowCount() { return column(m_path, QStringLiteral("SELECT count(*) FROM t")).value(0).toInt(); }

    // A query object on a MySQL-named connection.
    std::unique_ptr<sqlQuery> mySqlQuery()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("mysql"));
            db.setDatabaseName(QStringLiteral("calc"));
            if (!db.open())
                return nullptr;
        }
        return std::unique_ptr<sqlQuery>(new sqlQuery(nullptr, QStringLiteral("mysql"), false));
    }

private slots:
    void initTestCase() { TestInertSqlDriver::registerAs(QStringLiteral("QMYSQL")); }
    void init() { removeSqlLog(); }
    void cleanup()
    {
        m_engine.reset();
        m_query.reset();
        removeAll();
    }

    void readsAndWritesThroughScript()
    {
        setUpScript();
        QCOMPARE(run("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
                     "m_query.bindValue(':n', 'gamma'); m_query.bindValue(':k', 7, 1); m_query.exec();")
                     .toBool(),
            true);
        QCOMPARE(run("m_query.prepare('SELECT k, name FROM t WHERE name = :n'); m_query.bindValue(':n', 'gamma');"
                     "var r = []; if (m_query.exec()) while (m_query.next())"
                     " r.push(m_query.value(0), typeof m_query.value(1)); r.join('|');")
                     .toString(),
            QStringLiteral("7|string"));
        // Conversions scripts use: NULL reads empty, doubles to 15 digits, unknown columns give 0/false.
        QCOMPARE(run("m_query.exec(\"SELECT x, k, 0.1 + 0.2 FROM t WHERE name = 'O''Brien'\"); m_query.next();"
                     "['[' + m_query.value(0) + ']', m_query.isNull(0), m_query.isNull(1), m_query.value(2),"
                     " m_query.toInt(1), m_query.toInt('k'), m_query.toBool('k'), m_query.toInt('nope'),"
                     " m_query.toBool('nope')].join(',')")
                     .toString(),
            QStringLiteral("[],true,false,0.3,20,20,true,0,false"));
        QCOMPARE(m_query->valuetoString(2), QStringLiteral("0.3"));
        // Values are written in by the program, so any text prepares; the driver refuses it on exec.
        QCOMPARE(run("[m_query.prepare('this is not sql'), m_query.exec()].join()").toString(),
            QStringLiteral("true,false"));
    }

    void logsEachStatementAsRunAndItsError()
    {
        setUpScript();
        QCOMPARE(run("m_query.prepare('SELECT id FROM t WHERE name = :n AND k = :k');"
                     "m_query.bindValue(':n', \"O'Brien\"); m_query.bindValue(':k', 20);"
                     "m_query.exec() && m_query.next()")
                     .toBool(),
            true);
        run("m_query.exec('SELECT 1'); m_query.exec('SELEC 1')");
        QCOMPARE(sqlLogLines(),
            (QStringList { "SELECT id FROM t WHERE name = 'O''Brien' AND k = 20", "SELECT 1", "SELEC 1",
                m_query->lastError().text() }));
        QVERIFY(!m_query->lastError().text().isEmpty());
    }

    void injectionThroughBoundValuesChangesNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("native");
        QTest::newRow("or true") << "x' OR '1'='1" << false;
        QTest::newRow("drop") << "'; DROP TABLE t; --" << false;
        QTest::newRow("delete") << "alpha'; DELETE FROM t WHERE '1'='1" << false;
        QTest::newRow("backslash quote") << "\\' OR 1=1 --" << false;
        QTest::newRow("placeholder inside") << "x' OR name = :k OR '" << false;
        QTest::newRow("comment breaker") << "\n' OR 1=1; DELETE FROM t; --" << false;
        QTest::newRow("driver binding") << "x' OR '1'='1" << true;
    }
    void injectionThroughBoundValuesChangesNothing()
    {
        QFETCH(QString, value);
        QFETCH(bool, native);
        setUpScript();
        m_query->preserveSqlString(!native);
        m_query->prepare(QStringLiteral("SELECT name FROM t WHERE name = :n AND k = :k -- :n\n"));
        m_query->bindValue(QStringLiteral(":n"), value);
        m_query->bindValue(QStringLiteral(":k"), 20.0);
        QVERIFY(m_query->exec());
        QVERIFY(!m_query->next());
        QCOMPARE(rowCount(), 2);

        // Stored and read back letter for letter.
        m_query->prepare(QStringLiteral("INSERT INTO t (name, k) VALUES (:n, :k)"));
        m_query->bindValue(QStringLiteral(":n"), value);
        m_query->bindValue(QStringLiteral(":k"), 3);
        QVERIFY(m_query->exec());
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE k = 3")), QStringList { value });
        QCOMPARE(m_query->lastInsertId(QStringLiteral("t"), QStringLiteral("id")).toInt(), 3);
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
        literal("true", true, "1");
        literal("script number", 20.0, "20");
        literal("double to 15 digits", 0.1 + 0.2, "0.3");
        literal("64-bit", qlonglong(9000000000LL), "9000000000");
        literal("invalid is nothing", QVariant(), "");
        row("prefix first", "SELECT :t, :temp", { ":t", ":temp" }, { 1, 2 }, "SELECT 1, 2");
        row("longer first", "SELECT :t, :temp", { ":temp", ":t" }, { 2, 1 }, "SELECT 1, 2");
        row("twice", "SELECT :a + :a", { ":a" }, { 4 }, "SELECT 4 + 4");
        row("value holding a placeholder", "SELECT :a, :b", { ":a", ":b" }, { ":b", 5 }, "SELECT ':b', 5");
        row("value holding a quote", "SELECT :a, :b", { ":a", ":b" }, { "it's :b", 5 }, "SELECT 'it''s :b', 5");
        row("quoted text untouched", "SELECT ':a', \":a\", :a", { ":a" }, { 1 }, "SELECT ':a', \":a\", 1");
        row("bracketed names untouched", "SELECT [:a], :a", { ":a" }, { "x] FROM t; --" },
            "SELECT [:a], 'x] FROM t; --'");
        row("comments untouched", "SELECT :a -- :a\n/* :a */", { ":a" }, { 1 }, "SELECT 1 -- :a\n/* :a */");
        row("unbound stays", "SELECT :a, :b", { ":a" }, { 1 }, "SELECT 1, :b");
        row("name without colon", "SELECT :a", { "a" }, { 1 }, "SELECT 1");
        row("negative after minus", "SELECT 10 -:v", { ":v" }, { -5 }, "SELECT 10 - -5");
        // MySQL escapes backslashes and has its values written in even when asked not to.
        row("mysql backslash quote", "SELECT :v", { ":v" }, { "a\\' OR 1 --" }, "SELECT 'a\\\\'' OR 1 --'", true);
        row("mysql escaped quote in the text", "SELECT 'it\\'s :v', :v", { ":v" }, { "b" }, "SELECT 'it\\'s :v', 'b'",
            true);
        row("mysql hash comment", "SELECT 1 # :v\n, :v", { ":v" }, { "\n; DELETE FROM t; -- " },
            "SELECT 1 # :v\n, '\n; DELETE FROM t; -- '", true);
    }
    void writesBoundValuesIntoTheText()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QVariantList, values);
        QFETCH(QString, expected);
        QFETCH(bool, mySql);
        std::unique_ptr<sqlQuery> q;
        if (mySql)
            q = mySqlQuery();
        else
            setUpScript();
        sqlQuery *query = mySql ? q.get() : m_query.get();
        QVERIFY(query && query->hasExecutor());
        query->preserveSqlString(!mySql);
        QVERIFY(query->prepare(sql));
        for (int i = 0; i < names.size(); ++i)
            query->bindValue(names.at(i), values.at(i));
        QCOMPARE(query->showPreparedQuery(), expected);
    }

    // A script's null is written as nothing, which must not join its neighbours into a comment.
    void missingValueNeverJoinsNeighboursIntoAComment_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("line comment") << "UPDATE t SET k = 1 -:v-:w WHERE name = 'alpha'"
                                      << "UPDATE t SET k = 1 - -5 WHERE name = 'alpha'";
        QTest::newRow("block comment") << "UPDATE t SET k = 1 /:v*:w WHERE name = 'alpha'"
                                       << "UPDATE t SET k = 1 / *5 WHERE name = 'alpha'";
    }
    void missingValueNeverJoinsNeighboursIntoAComment()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        setUpScript();
        run(QStringLiteral("m_query.prepare(\"%1\"); m_query.bindValue(':v', null); m_query.bindValue(':w', 5);"
                           "m_query.exec();")
                .arg(sql));
        QCOMPARE(sqlLogLines(), QStringList { expected });
        // The condition still holds: no other row was touched.
        QCOMPARE(column(m_path, QStringLiteral("SELECT k FROM t WHERE name = 'O''Brien'")), QStringList { "20" });
    }

    void preparedTextRunsAgainAfterExec()
    {
        setUpScript();
        run("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
            "for (var i = 0; i < 3; ++i) { m_query.bindValue(':n', 'row' + i); m_query.bindValue(':k', i);"
            " m_query.exec(); }");
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE name LIKE 'row%' ORDER BY k")),
            (QStringList { "row0", "row1", "row2" }));
        QCOMPARE(sqlLogLines().value(2), QStringLiteral("INSERT INTO t (name, k) VALUES ('row2', 2)"));
        // A text run forgets the prepared statement; exec() then repeats the text run natively, unlogged.
        QVERIFY(m_query->exec(QStringLiteral("SELECT 5")));
        QVERIFY(m_query->showPreparedQuery().isNull());
        QVERIFY(m_query->exec() && m_query->next());
        QCOMPARE(m_query->toInt(0), 5);
        QCOMPARE(sqlLogLines().size(), 4);
    }

    void failedPreparedStatementIsNotRunUnbound()
    {
        setUpScript();
        QVERIFY(openDefaultConnection(m_path));
        m_query->preserveSqlString(false);
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k) VALUES (:n, 5)")));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("alpha"));
        QVERIFY(!m_query->exec());
        QCOMPARE(rowCount(), 2);
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
        setUpScript();
        QVERIFY(openDefaultConnection(m_path));
        m_query->preserveSqlString(!native);
        // A name used twice is bound at both of its places after the reopen too.
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k, x) VALUES (:n, :k, :k)")));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("after reopen"));
        m_query->bindValue(QStringLiteral(":k"), 8);
        dbEngine.close(m_path);
        QVERIFY(m_query->exec());
        QVERIFY(QSqlDatabase::database(m_path, false).isOpen());
        QCOMPARE(column(m_path, QStringLiteral("SELECT name || '/' || (x = k) FROM t WHERE k = 8")),
            QStringList { "after reopen/1" });

        dbEngine.close(m_path);
        QVERIFY(m_query->exec(QStringLiteral("UPDATE t SET k = 9 WHERE k = 8")));
        QCOMPARE(column(m_path, QStringLiteral("SELECT count(*) FROM t WHERE k = 9")), QStringList { "1" });

        // Positional values, bound by the driver, survive the reopen as well.
        m_query->preserveSqlString(false);
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k, x) VALUES (?, ?, ?)")));
        m_query->addBindValue(QStringLiteral("positional"));
        m_query->addBindValue(4);
        m_query->addBindValue(2.5);
        dbEngine.close(m_path);
        QVERIFY(m_query->exec());
        QCOMPARE(column(m_path, QStringLiteral("SELECT k || '/' || x FROM t WHERE name = 'positional'")),
            QStringList { "4/2.5" });
    }

    void givesUpWhenTheConnectionCannotBeReopened()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("gone.db"));
        QVERIFY(openWindowConnection(path, kSchema));
        sqlQuery q(nullptr, path, false);
        dbEngine.close(path);
        QVERIFY(folder.remove());
        QVERIFY(!q.exec(QStringLiteral("SELECT 1")));
        QVERIFY(!QSqlDatabase::database(path, false).isOpen());
    }

    void neverRunsASuccessfulStatementTwice()
    {
        // The scripts' default connection is closed; the query's own is open.
        setUpScript();
        QVERIFY(openDefaultConnection(m_files.path(QStringLiteral("other.db"))));
        dbEngine.close(sqlDatabase::defaultConnection());
        QVERIFY(m_query->exec(QStringLiteral("INSERT INTO t (k) VALUES (77)")));
        QCOMPARE(column(m_path, QStringLiteral("SELECT count(*) FROM t WHERE k = 77")), QStringList { "1" });
        // A statement failing on an open connection is not retried: the executor logs it once.
        QSignalSpy logs(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!m_query->exec(QStringLiteral("INSERT INTO nosuchtable VALUES (1)")));
        QCOMPARE(logs.count(), 1);
    }

    void unknownConnectionNameCopiesTheDefaultConnection()
    {
        m_path = m_files.path(QStringLiteral("default.db"));
        QFile::remove(m_path);
        QVERIFY(openDefaultConnection(m_path));
        QVERIFY(QSqlQuery(QSqlDatabase::database()).exec(QStringLiteral("CREATE TABLE d AS SELECT 11 AS v")));
        {
            sqlQuery first(nullptr, QStringLiteral("page connection"), false);
            sqlQuery second(nullptr, QStringLiteral("page connection"), false);
            QVERIFY(first.hasExecutor() && second.hasExecutor());
            QVERIFY(second.exec(QStringLiteral("SELECT v FROM d")) && second.next());
            QCOMPARE(second.valuetoString(0), QStringLiteral("11"));
            QVERIFY(QSqlDatabase::connectionNames().contains(QStringLiteral("page connection")));
        }
        // The object that made the connection removed it again.
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("page connection")));
    }

    void objectWithoutConnectionAnswersSafely()
    {
        // Registered, but its file cannot be made.
        QVERIFY(!openDefaultConnection(m_files.path(QStringLiteral("no/such/folder/x.db"))));
        sqlQuery q(nullptr, QStringLiteral("unopenable"), false);
        QVERIFY(!q.hasExecutor());
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("unopenable")));
        QScriptEngine engine;
        engine.globalObject().setProperty(QStringLiteral("m_query"), engine.newQObject(&q));
        const QScriptValue v = engine.evaluate(
            QStringLiteral("[m_query.prepare('SELECT 1'), m_query.exec(), m_query.exec('SELECT 1'), m_query.next(),"
                           " '[' + m_query.value(0) + ']', m_query.toInt(0), m_query.size()].join(',')"));
        QCOMPARE(v.toString(), QStringLiteral("false,false,false,false,[],0,-1"));
    }

    void lastInsertIdByBoundValuesNeverPastesNames()
    {
        std::unique_ptr<sqlQuery> q = mySqlQuery();
        QVERIFY(q && q->hasExecutor());
        QSignalSpy statements(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        // Nothing bound yet.
        QCOMPARE(q->lastInsertId(QStringLiteral("t"), QStringLiteral("id")), QVariant(-1));
        q->prepare(QStringLiteral("INSERT INTO t (a) VALUES (:a)"));
        q->bindValue(QStringLiteral(":a"), 1);
        q->bindValue(QStringLiteral(":zz"), QStringLiteral("b")); // not in the text, still one of the pairs
        QCOMPARE(q->showPreparedQuery(), QStringLiteral("INSERT INTO t (a) VALUES (1)"));
        q->exec();
        statements.clear();
        QCOMPARE(q->lastInsertId(QStringLiteral("t; DROP TABLE t"), QStringLiteral("id")), QVariant(-1));
        QCOMPARE(statements.count(), 0);
        // A proper name is looked up by the bound values; the inert server finds nothing.
        QCOMPARE(q->lastInsertId(QStringLiteral("t"), QStringLiteral("id")), QVariant(-1));
        QCOMPARE(statements.count(), 1);
        QCOMPARE(statements.at(0).at(0).toString(), QStringLiteral("SELECT id FROM t WHERE a=1 AND zz='b'"));
    }

    void executorReportsFailuresWithTheirText()
    {
        setUpScript();
        sqlExecutor executor(QSqlDatabase::database(m_path));
        QSignalSpy errors(&executor, &sqlExecutor::sigError);
        QSignalSpy queries(&executor, &sqlExecutor::sigQueryLog);
        QVERIFY(executor.prepare(QStringLiteral("INSERT INTO t (name) VALUES (:n)")));
        executor.bindValue(QStringLiteral(":n"), QStringLiteral("alpha"));
        QVERIFY(!executor.exec());
        // Running a plain statement again breaks the unique name.
        QVERIFY(executor.exec(QStringLiteral("INSERT INTO t (name) VALUES ('zeta')")));
        QVERIFY(!executor.exec());
        // clear() keeps the prepared text, which no longer runs.
        QVERIFY(executor.prepare(QStringLiteral("SELECT :v")));
        executor.clear();
        QVERIFY(!executor.exec());
        QCOMPARE(queries.last().at(0).toString(), QString());
        QCOMPARE(errors.count(), 3);
        const QStringList expected = { "sqlExecutor::exec() Prepare Statement|INSERT INTO t (name) VALUES (:n)",
            "sqlExecutor::exec()|INSERT INTO t (name) VALUES ('zeta')",
            "sqlExecutor::exec() Prepare Statement|SELECT :v" };
        for (int i = 0; i < 3; ++i)
            QCOMPARE(errors.at(i).at(0).toString() + '|' + errors.at(i).at(1).toString(), expected.at(i));
        QCOMPARE(rowCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TstSqlQuery)
#include "tst_sql_query.moc"
