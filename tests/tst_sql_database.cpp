#include "sql/sql_database.h"
#include "sql/sql_executor.h"
#include "test_environment.h"
#include "test_inertsqldriver.h"
#include "test_sqlconnections.h"

#include <QFile>
#include <QScriptEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QtTest>
#include <functional>
#include <memory>

using namespace TestSqlConnections;

// Read by a static initialiser of this program, before main runs.
static const bool s_registryBeforeMain = dbEngine.metaObject() != nullptr && dbEngine.connectionNames().isEmpty();

class TstSqlDatabase : public QObject
{
    Q_OBJECT

private:
    TestDatabaseFiles m_files;
    std::unique_ptr<TestSettings> m_settings;

    void writeConfig(const QString &name, const QString &text)
    {
        QFile f(name + QStringLiteral(".ini"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toLocal8Bit());
    }

    QString storedConnection()
    {
        return QSettings(QStringLiteral("DLM"), QStringLiteral("VEVIV"))
            .value(QStringLiteral("database/connection"))
            .toString();
    }

private slots:
    void initTestCase()
    {
        TestInertSqlDriver::registerAs(QStringLiteral("QODBC"));
        TestInertSqlDriver::registerAs(QStringLiteral("QMYSQL"));
    }
    void init() { m_settings.reset(new TestSettings); }
    void cleanup()
    {
        removeAll();
        QFile::remove(QStringLiteral("vornakeltest.ini"));
        m_settings.reset();
    }

    void registryExistsBeforeMain() { QVERIFY(s_registryBeforeMain); }

    void connectionsReopenOnUseAndCloseByName()
    {
        const QString a = m_files.path(QStringLiteral("a.db"));
        const QString b = m_files.path(QStringLiteral("b.db"));
        QVERIFY(openWindowConnection(a, { QStringLiteral("CREATE TABLE t (v INTEGER)") }));
        QVERIFY(openWindowConnection(b));
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        QVERIFY(dbEngine.exec(QStringLiteral("INSERT INTO t VALUES (3)"), a).isActive());
        QCOMPARE(column(a, QStringLiteral("SELECT v FROM t")), QStringList { "3" });
        dbEngine.close(a);
        QVERIFY(!QSqlDatabase::database(a, false).isOpen());
        QCOMPARE(dbEngine.databaseName(a), a); // the accessor opens it again
        QVERIFY(QSqlDatabase::database(a, false).isOpen());
        dbEngine.close(QStringLiteral("nobody"));
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("nobody")));
        dbEngine.closeAll();
        QVERIFY(!QSqlDatabase::database(a, false).isOpen());
        QVERIFY(!QSqlDatabase::database(b, false).isOpen());
        QCOMPARE(spy.count(), 0);
    }

    void reportsFailuresOfAnUnknownConnection_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("payloadStart");
        QTest::newRow("isValid") << "isValid"
                                 << "Database nope does not have a valid driver.";
        QTest::newRow("open") << "open"
                              << "Database nope was not opened. ";
        QTest::newRow("isOpen") << "isOpen"
                                << "Database nope was not open. ";
        QTest::newRow("transaction") << "transaction"
                                     << "Database nope transaction could not be started.";
        QTest::newRow("commit") << "commit"
                                << "Database nope would not execute a commit operation.";
        QTest::newRow("rollback") << "rollback"
                                  << "Database nope could not be rolled back. ";
        QTest::newRow("exec") << "exec"
                              << "nope ";
    }
    void reportsFailuresOfAnUnknownConnection()
    {
        QFETCH(QString, operation);
        QFETCH(QString, payloadStart);
        const QString n = QStringLiteral("nope");
        const QMap<QString, std::function<bool()>> operations = { { "isValid", [&] { return dbEngine.isValid(n); } },
            { "open", [&] { return dbEngine.open(n); } }, { "isOpen", [&] { return dbEngine.isOpen(n); } },
            { "transaction", [&] { return dbEngine.transaction(n); } },
            { "commit", [&] { return dbEngine.commit(n); } }, { "rollback", [&] { return dbEngine.rollback(n); } },
            { "exec", [&] { return dbEngine.exec(QStringLiteral("SELECT 1"), n).isActive(); } } };
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        QVERIFY(!operations.value(operation)());
        QCOMPARE(spy.count(), 1);
        const QList<QVariant> args = spy.at(0);
        QCOMPARE(
            QStringList({ args.at(0).toString(), args.at(1).toString(), args.at(2).toString(), args.at(3).toString() }),
            QStringList({ "sqlDatabase", "app", "error", operation }));
        QVERIFY2(args.at(4).toString().startsWith(payloadStart), qPrintable(args.at(4).toString()));
    }

    void addsConnectionsFromStrings_data()
    {
        QTest::addColumn<QString>("connectString");
        QTest::addColumn<QString>("expected"); // driver|host|database|user|port
        QTest::newRow("odbc") << "DBTYPE=QODBC;SERVER=h;DATABASE=calc"
                              << "QODBC|localhost|DBTYPE=QODBC;SERVER=h;DATABASE=calc||-1";
        QTest::newRow("mysql") << "DBTYPE=QMYSQL;SERVER=db1;UID=ann;PWD=pw;DATABASE=calc;PORT=3307"
                               << "QMYSQL|db1|calc|ann|3307";
        QTest::newRow("type from caller") << "DATABASE=x.db"
                                          << "QSQLITE||x.db||-1";
    }
    void addsConnectionsFromStrings()
    {
        QFETCH(QString, connectString);
        QFETCH(QString, expected);
        {
            const QSqlDatabase db = dbEngine.addDatabaseFromString(
                QStringLiteral("QSQLITE"), connectString, QStringLiteral("fromstring"));
            QCOMPARE(QStringList({ db.driverName(), db.hostName(), db.databaseName(), db.userName(),
                                     QString::number(db.port()) })
                         .join('|'),
                expected);
        }
        QCOMPARE(dbEngine.getDatabaseConnectString(), connectString);
    }

    void namesOfTheDefaultConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"));
            db.setDatabaseName(QStringLiteral("driver=x;database=calc;server=h"));
        }
        QCOMPARE(dbEngine.dbDatabaseName(), QStringLiteral("CALC"));
        QCOMPARE(dbEngine.dbHostName(), QStringLiteral("H"));
        removeAll();
        const QString path = m_files.path(QStringLiteral("d.db"));
        QVERIFY(openDefaultConnection(path));
        QCOMPARE(dbEngine.dbDatabaseName(), path);
        QCOMPARE(dbEngine.dbHostName(), QString());
    }

    void missingConfigFileIsReportedNotFatal()
    {
        QSignalSpy spy(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("h")));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(),
            QStringLiteral(">>> No database config files found when looking for\n"
                           ">>> vornakeltest.ini or /etc/vornakeltest.conf."));
        QCOMPARE(spy.at(0).at(1).toInt(), 10);
        // The file readers return failure instead of ending the process.
        QVERIFY(!dbEngine.addDatabaseFromFile(QStringLiteral("QSQLITE"), QStringLiteral("vornakeltest")).isValid());
        QVERIFY(!dbEngine.addGuessDatabaseFromFile("QSQLITE", "vornakeltest", "h").isValid());
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }

    void configReaderChoosesTheHostsLine()
    {
        const QString alpha = QStringLiteral("DBTYPE=QMYSQL;SERVER=alpha.lab;UID=a;PWD=one;DATABASE=x\n");
        const QString beta = QStringLiteral("DBTYPE=QMYSQL;SERVER=beta.lab;UID=b;PWD=two;DATABASE=y\n");
        writeConfig(QStringLiteral("vornakeltest"), alpha + beta);
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("BETA.other")));
        QCOMPARE(dbEngine.getIniFile(), QStringLiteral("vornakeltest.ini"));
        QCOMPARE(dbEngine.connectionStrings().size(), 2);
        QCOMPARE(dbEngine.getDatabaseConnectString(), beta);
        // No password is kept in the settings.
        QVERIFY(!storedConnection().contains(QLatin1String("two")));
        QVERIFY(storedConnection().contains(QLatin1String("SERVER=beta.lab")));
        // The stored choice is taken again, with its password from the file.
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("BETA")));
        QCOMPARE(dbEngine.getDatabaseConnectString(), beta);
        // A host nobody names gets the first line.
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("GAMMA")));
        QCOMPARE(dbEngine.getDatabaseConnectString(), alpha);
        QVERIFY(!storedConnection().contains(QLatin1String("one")));
    }

    void valuesOfAFileLineLeaveItsLineEnd()
    {
        writeConfig(QStringLiteral("vornakeltest"), QStringLiteral("SERVER=db1;UID=ann;DATABASE=calc\n"));
        {
            const QSqlDatabase db = dbEngine.addDatabaseFromFile("QMYSQL", "vornakeltest", "fromfile");
            QCOMPARE(
                db.driverName() + '|' + db.hostName() + '|' + db.databaseName(), QStringLiteral("QMYSQL|db1|calc"));
        }
        // The line itself is kept as read.
        QVERIFY(dbEngine.getDatabaseConnectString().endsWith(QLatin1String("calc\n")));
    }

    void engineForwardsExecutorLogs()
    {
        const QString path = m_files.path(QStringLiteral("f.db"));
        QVERIFY(openWindowConnection(path));
        QSignalSpy spy(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        std::unique_ptr<sqlExecutor> executor(dbEngine.sqlEngine(path));
        QVERIFY(executor->exec(QStringLiteral("SELECT 1")));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString() + '|' + spy.at(0).at(1).toString(), QStringLiteral("SELECT 1|10"));
    }

    void scriptsSeeOpenSetDatabaseNameAndClosedSignal()
    {
        const QString path = m_files.path(QStringLiteral("s.db"));
        const QString other = m_files.path(QStringLiteral("s2.db"));
        QVERIFY(openDefaultConnection(path));
        QScriptEngine engine;
        engine.globalObject().setProperty(QStringLiteral("m_db"), engine.newQObject(&dbEngine));
        QCOMPARE(engine.evaluate("typeof m_db.open + typeof m_db.setDatabaseName + typeof m_db.tables").toString(),
            QStringLiteral("functionfunctionundefined"));
        engine.evaluate(QStringLiteral("m_db.setDatabaseName('%1')").arg(other));
        const auto defaultDb
            = [] { return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false); };
        QCOMPARE(defaultDb().databaseName(), other);
        QCOMPARE(engine.evaluate(QStringLiteral("m_db.open()")).toBool(), true);
        // A script announcing the closed database has the default connection reopened.
        dbEngine.close(sqlDatabase::defaultConnection());
        QVERIFY(!defaultDb().isOpen());
        engine.evaluate(QStringLiteral("m_db.sigDatabaseClosed()"));
        QVERIFY(defaultDb().isOpen());
    }
};

QTEST_GUILESS_MAIN(TstSqlDatabase)
#include "tst_sql_database.moc"
