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

    void accessorOpensAClosedConnection()
    {
        const QString path = m_files.path(QStringLiteral("a.db"));
        QVERIFY(openWindowConnection(path));
        dbEngine.close(path);
        QVERIFY(!QSqlDatabase::database(path, false).isOpen());
        QCOMPARE(dbEngine.databaseName(path), path);
        QVERIFY(QSqlDatabase::database(path, false).isOpen());
    }

    void closeOfUnknownNameDoesNothingAndCloseAllClosesEvery()
    {
        const QString a = m_files.path(QStringLiteral("a.db"));
        const QString b = m_files.path(QStringLiteral("b.db"));
        QVERIFY(openWindowConnection(a));
        QVERIFY(openWindowConnection(b));
        dbEngine.close(QStringLiteral("nobody"));
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("nobody")));
        QVERIFY(QSqlDatabase::database(a, false).isOpen());
        dbEngine.closeAll();
        QVERIFY(!QSqlDatabase::database(a, false).isOpen());
        QVERIFY(!QSqlDatabase::database(b, false).isOpen());
    }

    void reportsFailures_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("slotName");
        QTest::addColumn<QString>("payloadStart");
        QTest::newRow("isValid") << "isValid"
                                 << "isValid"
                                 << "Database nope does not have a valid driver.";
        QTest::newRow("open") << "open"
                              << "open"
                              << "Database nope was not opened. ";
        QTest::newRow("isOpen") << "isOpen"
                                << "isOpen"
                                << "Database nope was not open. ";
        QTest::newRow("transaction") << "transaction"
                                     << "transaction"
                                     << "Database nope transaction could not be started.";
        QTest::newRow("commit") << "commit"
                                << "commit"
                                << "Database nope would not execute a commit operation.";
        QTest::newRow("rollback") << "rollback"
                                  << "rollback"
                                  << "Database nope could not be rolled back. ";
        QTest::newRow("exec") << "exec"
                              << "exec"
                              << "nope ";
    }
    void reportsFailures()
    {
        QFETCH(QString, operation);
        QFETCH(QString, slotName);
        QFETCH(QString, payloadStart);
        const QString name = QStringLiteral("nope");
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        bool result = true;
        if (operation == QLatin1String("isValid"))
            result = dbEngine.isValid(name);
        else if (operation == QLatin1String("open"))
            result = dbEngine.open(name);
        else if (operation == QLatin1String("isOpen"))
            result = dbEngine.isOpen(name);
        else if (operation == QLatin1String("transaction"))
            result = dbEngine.transaction(name);
        else if (operation == QLatin1String("commit"))
            result = dbEngine.commit(name);
        else if (operation == QLatin1String("rollback"))
            result = dbEngine.rollback(name);
        else if (operation == QLatin1String("exec"))
            result = dbEngine.exec(QStringLiteral("SELECT 1"), name).isActive();
        QVERIFY(!result);
        QCOMPARE(spy.count(), 1);
        const QList<QVariant> args = spy.at(0);
        QCOMPARE(args.at(0).toString(), QStringLiteral("sqlDatabase"));
        QCOMPARE(args.at(1).toString(), QStringLiteral("app"));
        QCOMPARE(args.at(2).toString(), QStringLiteral("error"));
        QCOMPARE(args.at(3).toString(), slotName);
        QVERIFY2(args.at(4).toString().startsWith(payloadStart), qPrintable(args.at(4).toString()));
    }

    void execRunsOnTheNamedConnection()
    {
        const QString path = m_files.path(QStringLiteral("e.db"));
        QVERIFY(openWindowConnection(path, { QStringLiteral("CREATE TABLE t (v INTEGER)") }));
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        QVERIFY(dbEngine.exec(QStringLiteral("INSERT INTO t VALUES (3)"), path).isActive());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(column(path, QStringLiteral("SELECT v FROM t")), QStringList { "3" });
    }

    void addsConnectionsFromStrings_data()
    {
        QTest::addColumn<QString>("connectString");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("port");
        QTest::newRow("odbc") << "DBTYPE=QODBC;SERVER=h;DATABASE=calc"
                              << "QODBC"
                              << "localhost"
                              << "DBTYPE=QODBC;SERVER=h;DATABASE=calc"
                              << "" << -1;
        QTest::newRow("mysql") << "DBTYPE=QMYSQL;SERVER=db1;UID=ann;PWD=pw;DATABASE=calc;PORT=3307"
                               << "QMYSQL"
                               << "db1"
                               << "calc"
                               << "ann" << 3307;
        QTest::newRow("type from caller") << "DATABASE=x.db"
                                          << "QSQLITE"
                                          << ""
                                          << "x.db"
                                          << "" << -1;
    }
    void addsConnectionsFromStrings()
    {
        QFETCH(QString, connectString);
        QFETCH(QString, driver);
        QFETCH(QString, host);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(int, port);
        {
            const QSqlDatabase db = dbEngine.addDatabaseFromString(
                QStringLiteral("QSQLITE"), connectString, QStringLiteral("fromstring"));
            QCOMPARE(db.driverName(), driver);
            QCOMPARE(db.hostName(), host);
            QCOMPARE(db.databaseName(), database);
            QCOMPARE(db.userName(), user);
            QCOMPARE(db.port(), port);
        }
        QCOMPARE(dbEngine.getDatabaseConnectString(), connectString);
    }

    void namesOfAnOdbcDefaultConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"));
            db.setDatabaseName(QStringLiteral("driver=x;database=calc;server=h"));
        }
        QCOMPARE(dbEngine.dbDatabaseName(), QStringLiteral("CALC"));
        QCOMPARE(dbEngine.dbHostName(), QStringLiteral("H"));
    }

    void namesOfASqliteDefaultConnection()
    {
        const QString path = m_files.path(QStringLiteral("d.db"));
        QVERIFY(openDefaultConnection(path));
        QCOMPARE(dbEngine.dbDatabaseName(), path);
        QCOMPARE(dbEngine.dbHostName(), QString());
    }

    void configReaderReportsMissingFile()
    {
        QSignalSpy spy(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("h")));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(),
            QStringLiteral(">>> No database config files found when looking for\n"
                           ">>> vornakeltest.ini or /etc/vornakeltest.conf."));
        QCOMPARE(spy.at(0).at(1).toInt(), 10);
    }

    void fileReadersReturnFailureInsteadOfEnding()
    {
        QVERIFY(!dbEngine.addDatabaseFromFile(QStringLiteral("QSQLITE"), QStringLiteral("vornakeltest")).isValid());
        QVERIFY(!dbEngine
                     .addGuessDatabaseFromFile(
                         QStringLiteral("QSQLITE"), QStringLiteral("vornakeltest"), QStringLiteral("h"))
                     .isValid());
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }

    void configReaderChoosesTheHostsLine()
    {
        writeConfig(QStringLiteral("vornakeltest"),
            QStringLiteral("DBTYPE=QMYSQL;SERVER=alpha.lab;UID=a;PWD=one;DATABASE=x\n"
                           "DBTYPE=QMYSQL;SERVER=beta.lab;UID=b;PWD=two;DATABASE=y\n"));
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("BETA.other")));
        QCOMPARE(dbEngine.getIniFile(), QStringLiteral("vornakeltest.ini"));
        QCOMPARE(dbEngine.connectionStrings().size(), 2);
        QCOMPARE(dbEngine.getDatabaseConnectString(),
            QStringLiteral("DBTYPE=QMYSQL;SERVER=beta.lab;UID=b;PWD=two;DATABASE=y\n"));
        // No password is kept in the settings.
        QVERIFY(!storedConnection().contains(QLatin1String("two")));
        QVERIFY(storedConnection().contains(QLatin1String("SERVER=beta.lab")));

        // The stored choice is taken again, with its password from the file.
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("BETA")));
        QCOMPARE(dbEngine.getDatabaseConnectString(),
            QStringLiteral("DBTYPE=QMYSQL;SERVER=beta.lab;UID=b;PWD=two;DATABASE=y\n"));

        // A host nobody names gets the first line.
        QVERIFY(dbEngine.loadConfigFile(QStringLiteral("vornakeltest"), QStringLiteral("GAMMA")));
        QCOMPARE(dbEngine.getDatabaseConnectString(),
            QStringLiteral("DBTYPE=QMYSQL;SERVER=alpha.lab;UID=a;PWD=one;DATABASE=x\n"));
        QVERIFY(!storedConnection().contains(QLatin1String("one")));
    }

    void valuesOfAFileLineLeaveItsLineEnd()
    {
        writeConfig(QStringLiteral("vornakeltest"), QStringLiteral("SERVER=db1;UID=ann;DATABASE=calc\n"));
        {
            const QSqlDatabase db = dbEngine.addDatabaseFromFile(
                QStringLiteral("QMYSQL"), QStringLiteral("vornakeltest"), QStringLiteral("fromfile"));
            QCOMPARE(db.driverName(), QStringLiteral("QMYSQL"));
            QCOMPARE(db.hostName(), QStringLiteral("db1"));
            QCOMPARE(db.databaseName(), QStringLiteral("calc"));
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
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("SELECT 1"));
        QCOMPARE(spy.at(0).at(1).toInt(), 10);
    }

    void scriptsSeeOpenAndSetDatabaseName()
    {
        const QString path = m_files.path(QStringLiteral("s.db"));
        const QString other = m_files.path(QStringLiteral("s2.db"));
        QVERIFY(openDefaultConnection(path));
        QScriptEngine engine;
        engine.globalObject().setProperty(QStringLiteral("m_db"), engine.newQObject(&dbEngine));
        QCOMPARE(engine.evaluate(QStringLiteral("typeof m_db.open + typeof m_db.setDatabaseName + typeof m_db.tables"))
                     .toString(),
            QStringLiteral("functionfunctionundefined"));
        engine.evaluate(QStringLiteral("m_db.setDatabaseName('%1')").arg(other));
        QCOMPARE(QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).databaseName(), other);
        QCOMPARE(engine.evaluate(QStringLiteral("m_db.open()")).toBool(), true);
    }

    void scriptEmittingDatabaseClosedReopensDefault()
    {
        const QString path = m_files.path(QStringLiteral("r.db"));
        QVERIFY(openDefaultConnection(path));
        dbEngine.close(sqlDatabase::defaultConnection());
        QScriptEngine engine;
        engine.globalObject().setProperty(QStringLiteral("m_db"), engine.newQObject(&dbEngine));
        engine.evaluate(QStringLiteral("m_db.sigDatabaseClosed()"));
        QVERIFY(QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).isOpen());
    }
};

QTEST_GUILESS_MAIN(TstSqlDatabase)
#include "tst_sql_database.moc"
