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
        QCOMPARE(run(QStringLiteral("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
                                    "m_query.bindValue(':n', 'gamma'); m_query.bindValue(':k', 7);"
                                    "m_query.exec();"))
                     .toBool(),
            true);
        const QScriptValue v = run(QStringLiteral("m_query.prepare('SELECT k, name FROM t WHERE name = :n');"
                                                  "m_query.bindValue(':n', 'gamma');"
                                                  "var r = []; if (m_query.exec()) while (m_query.next())"
                                                  " r.push(m_query.value(0), typeof m_query.value(1)); r.join('|');"));
        QCOMPARE(v.toString(), QStringLiteral("7|string"));
    }

    void logsTheFinishedStatement()
    {
        setUpScript();
        run(QStringLiteral("m_query.prepare('SELECT id FROM t WHERE name = :n AND k = :k');"
                           "m_query.bindValue(':n', \"O'Brien\"); m_query.bindValue(':k', 20);"
                           "var ok = m_query.exec() && m_query.next();"));
        QCOMPARE(run(QStringLiteral("ok")).toBool(), true);
        QCOMPARE(sqlLogLines(), QStringList { QStringLiteral("SELECT id FROM t WHERE name = 'O''Brien' AND k = 20") });
        run(QStringLiteral("m_query.exec('SELECT 1')"));
        QCOMPARE(sqlLogLines().value(1), QStringLiteral("SELECT 1"));
        QCOMPARE(sqlLogLines().size(), 2);
    }

    void writesLiteralsByType_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("literal");
        QTest::newRow("text") << QVariant(QStringLiteral("abc")) << "'abc'";
        QTest::newRow("quote doubled") << QVariant(QStringLiteral("O'Brien")) << "'O''Brien'";
        QTest::newRow("empty text is a blank") << QVariant(QString()) << "' '";
        QTest::newRow("empty bytes are a blank") << QVariant(QByteArray()) << "' '";
        QTest::newRow("bytes in base64") << QVariant(QByteArray("hi")) << "'aGk='";
        QTest::newRow("date") << QVariant(QDate(2012, 12, 31)) << "'12-31-2012'";
        QTest::newRow("time") << QVariant(QTime(23, 59, 58, 120)) << "'23:59:58.120'";
        QTest::newRow("date-time") << QVariant(QDateTime(QDate(2012, 12, 31), QTime(23, 59, 58, 120)))
                                   << "'12-31-2012 23:59:58.120'";
        QTest::newRow("true") << QVariant(true) << "1";
        QTest::newRow("false") << QVariant(false) << "0";
        QTest::newRow("int") << QVariant(-42) << "-42";
        QTest::newRow("script number") << QVariant(20.0) << "20";
        QTest::newRow("double to 15 digits") << QVariant(0.1 + 0.2) << "0.3";
        QTest::newRow("64-bit") << QVariant(qlonglong(9000000000LL)) << "9000000000";
        QTest::newRow("invalid is nothing") << QVariant() << "";
    }
    void writesLiteralsByType()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, literal);
        setUpScript();
        QVERIFY(m_query->prepare(QStringLiteral("SELECT :v")));
        m_query->bindValue(QStringLiteral(":v"), value);
        QCOMPARE(m_query->showPreparedQuery(), QStringLiteral("SELECT ") + literal);
    }

    void writesScriptNullAndUndefinedAsNothing_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("null") << "null";
        QTest::newRow("undefined") << "undefined";
    }
    void writesScriptNullAndUndefinedAsNothing()
    {
        QFETCH(QString, expression);
        setUpScript();
        run(QStringLiteral("m_query.prepare('SELECT :v, 1'); m_query.bindValue(':v', %1);").arg(expression));
        QCOMPARE(m_query->showPreparedQuery(), QStringLiteral("SELECT , 1"));
    }

    void bindingWithParamTypeFromScript()
    {
        setUpScript();
        run(QStringLiteral("m_query.prepare('SELECT :v'); m_query.bindValue(':v', 'a', 1);"));
        QCOMPARE(m_query->showPreparedQuery(), QStringLiteral("SELECT 'a'"));
    }

    void injectionThroughBoundValuesChangesNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("or true") << "x' OR '1'='1";
        QTest::newRow("drop") << "'; DROP TABLE t; --";
        QTest::newRow("delete") << "alpha'; DELETE FROM t WHERE '1'='1";
        QTest::newRow("backslash quote") << "\\' OR 1=1 --";
        QTest::newRow("placeholder inside") << "x' OR name = :k OR '";
        QTest::newRow("comment breaker") << "\n' OR 1=1; DELETE FROM t; --";
    }
    void injectionThroughBoundValuesChangesNothing()
    {
        QFETCH(QString, value);
        setUpScript();
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
        QCOMPARE(rowCount(), 3);
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE k = 3")), QStringList { value });
    }

    void replacesOnlyWholePlaceholders_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("expected");
        QTest::newRow("prefix first") << "SELECT :t, :temp" << QStringList { ":t", ":temp" } << QVariantList { 1, 2 }
                                      << "SELECT 1, 2";
        QTest::newRow("longer first") << "SELECT :t, :temp" << QStringList { ":temp", ":t" } << QVariantList { 2, 1 }
                                      << "SELECT 1, 2";
        QTest::newRow("twice") << "SELECT :a + :a" << QStringList { ":a" } << QVariantList { 4 } << "SELECT 4 + 4";
        QTest::newRow("value holding a placeholder") << "SELECT :a, :b" << QStringList { ":a", ":b" }
                                                     << QVariantList { QStringLiteral(":b"), 5 } << "SELECT ':b', 5";
        QTest::newRow("value holding a quote")
            << "SELECT :a, :b" << QStringList { ":a", ":b" } << QVariantList { QStringLiteral("it's :b"), 5 }
            << "SELECT 'it''s :b', 5";
        QTest::newRow("quoted text untouched")
            << "SELECT ':a', \":a\", :a" << QStringList { ":a" } << QVariantList { 1 } << "SELECT ':a', \":a\", 1";
        QTest::newRow("bracketed names untouched")
            << "SELECT [:a], :a" << QStringList { ":a" } << QVariantList { QStringLiteral("x] FROM t; --") }
            << "SELECT [:a], 'x] FROM t; --'";
        QTest::newRow("comments untouched")
            << "SELECT :a -- :a\n/* :a */" << QStringList { ":a" } << QVariantList { 1 } << "SELECT 1 -- :a\n/* :a */";
        QTest::newRow("unbound stays") << "SELECT :a, :b" << QStringList { ":a" } << QVariantList { 1 }
                                       << "SELECT 1, :b";
        QTest::newRow("name without colon") << "SELECT :a" << QStringList { "a" } << QVariantList { 1 } << "SELECT 1";
        QTest::newRow("negative after minus")
            << "SELECT 10 -:v" << QStringList { ":v" } << QVariantList { -5 } << "SELECT 10 - -5";
    }
    void replacesOnlyWholePlaceholders()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QFETCH(QVariantList, values);
        QFETCH(QString, expected);
        setUpScript();
        m_query->prepare(sql);
        for (int i = 0; i < names.size(); ++i)
            m_query->bindValue(names.at(i), values.at(i));
        QCOMPARE(m_query->showPreparedQuery(), expected);
    }

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

    void negativeNumberAfterMinusStaysArithmetic()
    {
        setUpScript();
        QCOMPARE(run(QStringLiteral("m_query.prepare('SELECT 10 -:v, 2'); m_query.bindValue(':v', -5);"
                                    "m_query.exec() && m_query.next() ? m_query.value(0) + '/' + m_query.value(1)"
                                    " : 'failed'"))
                     .toString(),
            QStringLiteral("15/2"));
    }

    void preparedTextRunsAgainAfterExec()
    {
        setUpScript();
        run(QStringLiteral("m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
                           "for (var i = 0; i < 3; ++i) { m_query.bindValue(':n', 'row' + i);"
                           " m_query.bindValue(':k', i); m_query.exec(); }"));
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE name LIKE 'row%' ORDER BY k")),
            (QStringList { "row0", "row1", "row2" }));
        QCOMPARE(sqlLogLines().value(2), QStringLiteral("INSERT INTO t (name, k) VALUES ('row2', 2)"));
    }

    void execTextThenExecRunsNatively()
    {
        setUpScript();
        QVERIFY(m_query->prepare(QStringLiteral("SELECT :v")));
        QVERIFY(m_query->exec(QStringLiteral("SELECT 5")));
        QVERIFY(m_query->showPreparedQuery().isNull());
        QVERIFY(m_query->exec());
        QVERIFY(m_query->next());
        QCOMPARE(m_query->toInt(0), 5);
        // Only the text run was logged.
        QCOMPARE(sqlLogLines(), QStringList { QStringLiteral("SELECT 5") });
    }

    void nullColumnIsEmptyValue()
    {
        setUpScript();
        QCOMPARE(run(QStringLiteral("m_query.exec(\"SELECT x, k FROM t WHERE name = 'O''Brien'\"); m_query.next();"
                                    "'[' + m_query.value(0) + ']' + m_query.isNull(0) + m_query.isNull(1)"))
                     .toString(),
            QStringLiteral("[]truefalse"));
    }

    void doublesReadWithFifteenDigits()
    {
        setUpScript();
        QCOMPARE(run(QStringLiteral("m_query.exec('SELECT 0.1 + 0.2'); m_query.next(); m_query.value(0)")).toString(),
            QStringLiteral("0.3"));
        QCOMPARE(m_query->valuetoString(0), QStringLiteral("0.3"));
    }

    void emulatedPrepareAcceptsAnyText()
    {
        setUpScript();
        QCOMPARE(run(QStringLiteral("m_query.prepare('this is not sql')")).toBool(), true);
        QCOMPARE(run(QStringLiteral("m_query.exec()")).toBool(), false);
    }

    void convertsColumnsByIndexAndName()
    {
        setUpScript();
        QCOMPARE(run(QStringLiteral("m_query.exec(\"SELECT k, name FROM t WHERE name = 'O''Brien'\");"
                                    "m_query.next(); [m_query.toInt(0), m_query.toInt('k'), m_query.toBool('k'),"
                                    " m_query.toInt('nope'), m_query.toBool('nope')].join(',')"))
                     .toString(),
            QStringLiteral("20,20,true,0,false"));
    }

    void nativeModeBindsThroughDriver()
    {
        setUpScript();
        const QScriptValue v = run(
            QStringLiteral("m_query.preserveSqlString(false);"
                           "m_query.prepare('INSERT INTO t (name, k) VALUES (:n, :k)');"
                           "m_query.bindValue(':n', \"x' OR '1'='1\"); m_query.bindValue(':k', 9); m_query.exec()"));
        QCOMPARE(v.toBool(), true);
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE k = 9")),
            QStringList { QStringLiteral("x' OR '1'='1") });
        QVERIFY(sqlLogLines().isEmpty());
        QVERIFY(m_query->lastInsertId(QStringLiteral("t"), QStringLiteral("id")).toInt() > 2);
    }

    void failedPreparedStatementIsNotRunUnbound()
    {
        setUpScript();
        QVERIFY(openDefaultConnection(m_path));
        m_query->preserveSqlString(false);
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k) VALUES (:n, 5)")));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("alpha"));
        QVERIFY(!m_query->exec());
        QCOMPARE(column(m_path, QStringLiteral("SELECT count(*) FROM t WHERE k = 5")), QStringList { "0" });
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
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k) VALUES (:n, 8)")));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("after reopen"));
        dbEngine.close(m_path);
        QVERIFY(!QSqlDatabase::database(m_path, false).isOpen());
        QVERIFY(m_query->exec());
        QVERIFY(QSqlDatabase::database(m_path, false).isOpen());
        QCOMPARE(column(m_path, QStringLiteral("SELECT name FROM t WHERE k = 8")),
            QStringList { QStringLiteral("after reopen") });

        dbEngine.close(m_path);
        QVERIFY(m_query->exec(QStringLiteral("UPDATE t SET k = 9 WHERE k = 8")));
        QCOMPARE(column(m_path, QStringLiteral("SELECT count(*) FROM t WHERE k = 9")), QStringList { "1" });
    }

    void reopenedPreparedStatementKeepsEveryBoundValue()
    {
        // A name used twice is bound at both of its places after the reopen too.
        setUpScript();
        m_query->preserveSqlString(false);
        QVERIFY(m_query->prepare(QStringLiteral("INSERT INTO t (name, k, x) VALUES (:n, :k, :k)")));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("twice"));
        m_query->bindValue(QStringLiteral(":k"), 8);
        dbEngine.close(m_path);
        QVERIFY(m_query->exec());
        QCOMPARE(column(m_path, QStringLiteral("SELECT x FROM t WHERE name = 'twice'")), QStringList { "8" });
    }

    void reopenedPositionalStatementKeepsItsValues()
    {
        setUpScript();
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
    }

    void failedStatementOnOpenConnectionIsNotRetried()
    {
        setUpScript();
        QSignalSpy logs(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!m_query->exec(QStringLiteral("INSERT INTO nosuchtable VALUES (1)")));
        // The executor logs each statement it runs once.
        QCOMPARE(logs.count(), 1);
    }

    void lastErrorIsAppendedToLog()
    {
        setUpScript();
        QVERIFY(!m_query->exec(QStringLiteral("SELEC 1")));
        const QString text = m_query->lastError().text();
        QVERIFY(!text.isEmpty());
        QCOMPARE(sqlLogLines(), (QStringList { QStringLiteral("SELEC 1"), text }));
    }

    void lastInsertIdOnSqliteIsTheDriverValue()
    {
        setUpScript();
        m_query->prepare(QStringLiteral("INSERT INTO t (name) VALUES (:n)"));
        m_query->bindValue(QStringLiteral(":n"), QStringLiteral("new"));
        QVERIFY(m_query->exec());
        QCOMPARE(m_query->lastInsertId(QStringLiteral("t"), QStringLiteral("id")).toInt(), 3);
    }

    void unknownConnectionNameCopiesTheDefaultConnection()
    {
        m_path = m_files.path(QStringLiteral("default.db"));
        QFile::remove(m_path);
        QVERIFY(openDefaultConnection(m_path));
        {
            QSqlQuery q(QSqlDatabase::database());
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE d (v INTEGER)")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO d VALUES (11)")));
        }
        {
            sqlQuery first(nullptr, QStringLiteral("page connection"), false);
            sqlQuery second(nullptr, QStringLiteral("page connection"), false);
            QVERIFY(first.hasExecutor());
            QVERIFY(second.hasExecutor());
            QVERIFY(second.exec(QStringLiteral("SELECT v FROM d")));
            QVERIFY(second.next());
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

    void mySqlEscapesBackslashes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("backslash quote") << "SELECT :v"
                                         << "a\\' OR 1 --"
                                         << "SELECT 'a\\\\'' OR 1 --'";
        QTest::newRow("escaped quote in prepared text") << "SELECT 'it\\'s :v', :v"
                                                        << "b"
                                                        << "SELECT 'it\\'s :v', 'b'";
        QTest::newRow("hash comment") << "SELECT 1 # :v\n, :v"
                                      << "\n; DELETE FROM t; -- "
                                      << "SELECT 1 # :v\n, '\n; DELETE FROM t; -- '";
    }
    void mySqlEscapesBackslashes()
    {
        QFETCH(QString, sql);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        std::unique_ptr<sqlQuery> q = mySqlQuery();
        QVERIFY(q && q->hasExecutor());
        // MySQL always has its values written in, even when asked not to.
        q->preserveSqlString(false);
        QVERIFY(q->prepare(sql));
        q->bindValue(QStringLiteral(":v"), value);
        QCOMPARE(q->showPreparedQuery(), expected);
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
        q->exec();
        statements.clear();
        QCOMPARE(q->lastInsertId(QStringLiteral("t; DROP TABLE t"), QStringLiteral("id")), QVariant(-1));
        QCOMPARE(statements.count(), 0);
        // A proper name is looked up by the bound values; the inert server finds nothing.
        QCOMPARE(q->lastInsertId(QStringLiteral("t"), QStringLiteral("id")), QVariant(-1));
        QCOMPARE(statements.count(), 1);
        QCOMPARE(statements.at(0).at(0).toString(), QStringLiteral("SELECT id FROM t WHERE a=1"));
    }

    void placeholderMissingFromTheTextStillKeepsItsPair()
    {
        std::unique_ptr<sqlQuery> q = mySqlQuery();
        QVERIFY(q && q->hasExecutor());
        q->prepare(QStringLiteral("INSERT INTO t (a) VALUES (:a)"));
        q->bindValue(QStringLiteral(":a"), 1);
        q->bindValue(QStringLiteral(":zz"), QStringLiteral("b"));
        QCOMPARE(q->showPreparedQuery(), QStringLiteral("INSERT INTO t (a) VALUES (1)"));
        q->exec();
        QSignalSpy statements(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        q->lastInsertId(QStringLiteral("t"), QStringLiteral("id"));
        QCOMPARE(statements.count(), 1);
        QCOMPARE(statements.at(0).at(0).toString(), QStringLiteral("SELECT id FROM t WHERE a=1 AND zz='b'"));
    }

    void executorReportsFailedPreparedStatement()
    {
        setUpScript();
        sqlExecutor executor(QSqlDatabase::database(m_path));
        QSignalSpy errors(&executor, &sqlExecutor::sigError);
        QVERIFY(executor.prepare(QStringLiteral("INSERT INTO t (name) VALUES (:n)")));
        executor.bindValue(QStringLiteral(":n"), QStringLiteral("alpha"));
        QVERIFY(!executor.exec());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("sqlExecutor::exec() Prepare Statement"));
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("INSERT INTO t (name) VALUES (:n)"));
        QCOMPARE(rowCount(), 2);
    }

    void executorReportsPlainExecWithItsText()
    {
        setUpScript();
        sqlExecutor executor(QSqlDatabase::database(m_path));
        QSignalSpy errors(&executor, &sqlExecutor::sigError);
        QVERIFY(executor.exec(QStringLiteral("INSERT INTO t (name) VALUES ('zeta')")));
        // Running the same statement again breaks the unique name.
        QVERIFY(!executor.exec());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("sqlExecutor::exec()"));
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("INSERT INTO t (name) VALUES ('zeta')"));
    }

    void executorClearKeepsPreparedText()
    {
        setUpScript();
        sqlExecutor executor(QSqlDatabase::database(m_path));
        QSignalSpy queries(&executor, &sqlExecutor::sigQueryLog);
        QSignalSpy errors(&executor, &sqlExecutor::sigError);
        QVERIFY(executor.exec(QStringLiteral("SELECT 1")));
        QVERIFY(executor.prepare(QStringLiteral("SELECT :v")));
        executor.clear();
        QVERIFY(!executor.exec());
        QCOMPARE(queries.last().at(0).toString(), QString());
        QCOMPARE(errors.last().at(1).toString(), QStringLiteral("SELECT :v"));
    }
};

QTEST_GUILESS_MAIN(TstSqlQuery)
#include "tst_sql_query.moc"
