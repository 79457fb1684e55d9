#include "sql/sql_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_sqlconnections.h"

#include <QFile>
#include <QScriptEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QtTest>
#include <functional>

using namespace TestSqlConnections;

// Read by a static initialiser of this program, before main runs.
static const bool s_registryBeforeMain = dbEngine.metaObject() != nullptr && dbEngine.connectionNames().isEmpty();

class TstSqlDatabase : public QObject
{
    Q_OBJECT

private:
    TestDatabaseFiles m_files;
    TestSettings m_settings;

private slots:
    void cleanup()
    {
        removeAll();
        QFile::remove("vornakeltest.ini");
    }

    void registryExistsBeforeMain() { QVERIFY(s_registryBeforeMain); }

    void connectionsReopenOnUseAndCloseByName()
    {
        const QString a = m_files.path("a.db");
        QVERIFY(openWindowConnection(a, { "CREATE TABLE t (v INTEGER)" }));
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        QVERIFY(dbEngine.exec("INSERT INTO t VALUES (3)", a).isActive());
        dbEngine.close(a);
        QVERIFY(!QSqlDatabase::database(a, false).isOpen());
        QCOMPARE(dbEngine.databaseName(a), a); // the accessor opens it again
        QVERIFY(QSqlDatabase::database(a, false).isOpen());
        dbEngine.closeAll();
        QVERIFY(!QSqlDatabase::database(a, false).isOpen());
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
        const QString n = "nope";
        const QMap<QString, std::function<bool()>> operations = { { "isValid", [&] { return dbEngine.isValid(n); } },
            { "open", [&] { return dbEngine.open(n); } }, { "isOpen", [&] { return dbEngine.isOpen(n); } },
            { "transaction", [&] { return dbEngine.transaction(n); } },
            { "commit", [&] { return dbEngine.commit(n); } }, { "rollback", [&] { return dbEngine.rollback(n); } },
            { "exec", [&] { return dbEngine.exec("SELECT 1", n).isActive(); } } };
        QSignalSpy spy(&dbEngine, &sqlDatabase::sigSignalLog);
        QVERIFY(!operations.value(operation)());
        QCOMPARE(spy.count(), 1);
        QStringList args;
        for (const QVariant &arg : spy.at(0))
            args << arg.toString();
        QVERIFY2(args.join('|').startsWith("sqlDatabase|app|error|" + operation + '|' + payloadStart),
            qPrintable(args.join('|')));
    }

    void addsConnectionsFromStrings_data()
    {
        QTest::addColumn<QString>("connectString");
        QTest::addColumn<QString>("expected"); // driver|host|database|user|port
        QTest::newRow("odbc") << "DBTYPE=QODBC;SERVER=h;DATABASE=calc"
                              << "QODBC|localhost|DBTYPE=QODBC;SERVER=h;DATABASE=calc||-1";
        QTest::newRow("mysql") << "DBTYPE=QMYSQL;SERVER=db1;UID=ann;PWD=pw;DATABASE=calc;PORT=3307"
                               << "QMYSQL|db1|calc|ann|3307";
    }
    void addsConnectionsFromStrings()
    {
        QFETCH(QString, connectString);
        QFETCH(QString, expected);
        {
            const QSqlDatabase db = dbEngine.addDatabaseFromString("QSQLITE", connectString, "fromstring");
            QCOMPARE(db.driverName() + '|' + db.hostName() + '|' + db.databaseName() + '|' + db.userName() + '|'
                    + QString::number(db.port()),
                expected);
        }
        QCOMPARE(dbEngine.getDatabaseConnectString(), connectString);
    }

    // On an ODBC connection the names come from the connection string, upper-cased.
    void namesOfTheDefaultConnection()
    {
        const QString path = m_files.path("odbc.db");
        const QString connectString = odbcConnectString(path);
        QVERIFY2(!connectString.isEmpty(), "the SQLite ODBC driver is not installed (libsqliteodbc)");
        dbEngine.addDatabaseFromString(
            "QODBC", connectString + ";SERVER=lab1.example", sqlDatabase::defaultConnection());
        QVERIFY2(dbEngine.open(), qPrintable(dbEngine.lastError(sqlDatabase::defaultConnection()).text()));
        QCOMPARE(dbEngine.dbDatabaseName() + '|' + dbEngine.dbHostName(), path.toUpper() + "|LAB1.EXAMPLE");
    }

    // The file readers return failure instead of ending the process.
    void missingConfigFileIsReportedNotFatal()
    {
        QSignalSpy spy(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog));
        QVERIFY(!dbEngine.loadConfigFile("vornakeltest", "h"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString() + '|' + spy.at(0).at(1).toString(),
            QString(">>> No database config files found when looking for\n"
                    ">>> vornakeltest.ini or /etc/vornakeltest.conf.|10"));
        QVERIFY(!dbEngine.addDatabaseFromFile("QSQLITE", "vornakeltest").isValid());
        QVERIFY(!dbEngine.addGuessDatabaseFromFile("QSQLITE", "vornakeltest", "h").isValid());
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }

    void configReaderChoosesTheHostsLineAndStoresNoPassword()
    {
        const QString alpha = "DBTYPE=QMYSQL;SERVER=alpha.lab;UID=a;PWD=one;DATABASE=x\n";
        const QString beta = "DBTYPE=QMYSQL;SERVER=beta.lab;UID=b;PWD=two;DATABASE=y\n";
        QVERIFY(testWriteFile("vornakeltest.ini", (alpha + beta).toLatin1()));
        const auto storedConnection = [] { return QSettings("DLM", "VEVIV").value("database/connection").toString(); };
        QVERIFY(dbEngine.loadConfigFile("vornakeltest", "BETA.other"));
        QCOMPARE(dbEngine.getDatabaseConnectString(), beta);
        QVERIFY(!storedConnection().contains("two") && storedConnection().contains("SERVER=beta.lab"));
        // The stored choice is taken again, with its password from the file.
        QVERIFY(dbEngine.loadConfigFile("vornakeltest", "BETA"));
        QCOMPARE(dbEngine.getDatabaseConnectString(), beta);
        // A host nobody names gets the first line.
        QVERIFY(dbEngine.loadConfigFile("vornakeltest", "GAMMA"));
        QCOMPARE(dbEngine.getDatabaseConnectString(), alpha);
        QVERIFY(!storedConnection().contains("one"));
    }

    // The ODBC driver manager takes the password key in any case and a braced value with a ";".
    void noPasswordIsStoredInAnySpelling_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("lower case") << "DBTYPE=QODBC;SERVER=beta.lab;uid=b;pwd=secret;DATABASE=y\n";
        QTest::newRow("long key") << "DBTYPE=QODBC;SERVER=beta.lab;UID=b; Password = secret\n";
        QTest::newRow("braced") << "DBTYPE=QODBC;SERVER=beta.lab;UID=b;PWD={se;cret};DATABASE=y\n";
        QTest::newRow("twice") << "DBTYPE=QMYSQL;PWD=secret;SERVER=beta.lab;PWD=secret\n";
    }
    void noPasswordIsStoredInAnySpelling()
    {
        QFETCH(QString, line);
        QSettings("DLM", "VEVIV").remove("database/connection");
        QVERIFY(testWriteFile("vornakeltest.ini", line.toLatin1()));
        QVERIFY(dbEngine.loadConfigFile("vornakeltest", "BETA"));
        const QString stored = QSettings("DLM", "VEVIV").value("database/connection").toString();
        QVERIFY2(!stored.contains("se") && stored.contains("SERVER=beta.lab"), qPrintable(stored));
        // Chosen again, the line comes back whole from the file.
        QVERIFY(dbEngine.loadConfigFile("vornakeltest", "BETA"));
        QCOMPARE(dbEngine.getDatabaseConnectString(), line);
    }

    void scriptsSeeOpenSetDatabaseNameAndClosedSignal()
    {
        const QString other = m_files.path("s2.db");
        QVERIFY(openDefaultConnection(m_files.path("s.db")));
        QScriptEngine engine;
        engine.globalObject().setProperty("m_db", engine.newQObject(&dbEngine));
        QCOMPARE(engine.evaluate("typeof m_db.open + typeof m_db.setDatabaseName + typeof m_db.tables").toString(),
            QString("functionfunctionundefined"));
        engine.evaluate(QString("m_db.setDatabaseName('%1'); m_db.open()").arg(other));
        const auto defaultDb = [] { return QSqlDatabase::database(QSqlDatabase::defaultConnection, false); };
        QVERIFY(defaultDb().databaseName() == other && defaultDb().isOpen());
        // A script announcing the closed database has the default connection reopened.
        dbEngine.close(sqlDatabase::defaultConnection());
        engine.evaluate("m_db.sigDatabaseClosed()");
        QVERIFY(defaultDb().isOpen());
    }
};

TEST_GUILESS_MAIN(TstSqlDatabase)
#include "tst_sql_database.moc"
