#include "sql/sql_odbcdriver.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_sqlconnections.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <memory>

// The reader's ODBC driver, on SQLite files through the SQLite ODBC driver,
// which answers the narrow calls as the driver for the older files does.
class TstSqlOdbcDriver : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabaseFiles> m_files;
    const QString m_name = QStringLiteral("odbc source");

    // A SQLite file made by the statements, opened through the ODBC driver.
    QSqlDatabase source(const QStringList &statements)
    {
        const QString path = m_files->path(QStringLiteral("source.db"));
        const QString odbc = TestSqlConnections::odbcConnectString(path);
        if (odbc.isEmpty())
            return QSqlDatabase();
        if (!TestSqlConnections::openWindowConnection(path, statements))
            return QSqlDatabase();
        QSqlDatabase::removeDatabase(path);
        QSqlDatabase db = QSqlDatabase::addDatabase(new SqlOdbcDriver, m_name);
        db.setDatabaseName(odbc);
        if (!db.open())
            qWarning() << "TstSqlOdbcDriver:" << db.lastError().text();
        return db;
    }

private slots:
    void init()
    {
        if (TestSqlConnections::odbcConnectString(QStringLiteral("x.db")).isEmpty())
            QSKIP("The SQLite ODBC driver is not installed (tools/install-deps.sh --tests installs it)");
        m_files.reset(new TestDatabaseFiles);
    }
    void cleanup()
    {
        QSqlDatabase::removeDatabase(m_name);
        m_files.reset();
    }

    // A source value is read up to a cap, so one damaged field cannot take the memory.
    void aSourceValueBeyondTheCapIsRefused()
    {
        QSqlDatabase db = source({ "CREATE TABLE t (k INTEGER, v TEXT)", "INSERT INTO t VALUES (1, 'small')",
            "INSERT INTO t VALUES (2, hex(zeroblob(8500000)))" });
        QVERIFY(db.isOpen());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT k, v FROM t ORDER BY k"));
        QVERIFY(query.next());
        QCOMPARE(query.value(1).toString(), QStringLiteral("small"));
        QVERIFY(!query.next());
        QVERIFY(query.lastError().text().contains("holds more than 16777216 bytes"));
    }

    // An empty text or binary value is empty, not NULL: the import keeps the two apart.
    void readsEmptyValuesAsEmpty()
    {
        QSqlDatabase db = source({ "CREATE TABLE t (k INTEGER, s TEXT, b BLOB)", "INSERT INTO t VALUES (1, '', x'')",
            "INSERT INTO t VALUES (2, NULL, NULL)" });
        QVERIFY(db.isOpen());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT s, b FROM t ORDER BY k"));
        QCOMPARE(query.record().field(1).type(), QVariant::ByteArray);
        QVERIFY(query.next());
        QVERIFY(!query.isNull(0) && !query.value(0).isNull() && query.value(0).toString().isEmpty());
        QVERIFY(!query.isNull(1) && !query.value(1).isNull() && query.value(1).toByteArray().isEmpty());
        QVERIFY(query.next());
        QVERIFY(query.isNull(0) && query.isNull(1));
    }

    // A statement that touched no rows ran: the driver's "no data" is no failure.
    void aStatementThatTouchesNoRowsSucceeds()
    {
        QSqlDatabase db = source({ "CREATE TABLE t (k INTEGER)", "INSERT INTO t VALUES (1)" });
        QVERIFY(db.isOpen());
        QSqlQuery query(db);
        QVERIFY2(query.exec("DELETE FROM t WHERE k = 2"), qPrintable(query.lastError().text()));
        QCOMPARE(query.numRowsAffected(), 0);
        QVERIFY(query.exec("UPDATE t SET k = 3 WHERE k = 1"));
        QCOMPARE(query.numRowsAffected(), 1);
    }

    // Table and column names longer than the driver's first buffer are read
    // whole, not cut where the buffer ends.
    void readsLongNamesWhole()
    {
        const QString table = QString(300, QLatin1Char('t'));
        const QString column = QString(300, QLatin1Char('c'));
        QSqlDatabase db = source({ QStringLiteral("CREATE TABLE %1 (%2 INTEGER)").arg(table, column) });
        QVERIFY(db.isOpen());
        QCOMPARE(db.tables(), QStringList(table));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("SELECT * FROM %1").arg(table)));
        QCOMPARE(query.record().fieldName(0), column);
    }

    // The columns of a table whose name is no plain word.
    void findsTheColumnsOfATableNamedWithBlanks()
    {
        QSqlDatabase db = source({ "CREATE TABLE \"Buffer Compositions\" (BufferName TEXT, Molarity REAL)" });
        QVERIFY(db.isOpen());
        const QSqlRecord columns = db.record("Buffer Compositions");
        QCOMPARE(columns.count(), 2);
        QCOMPARE(columns.fieldName(1), QStringLiteral("Molarity"));
    }
};

TEST_MAIN(TstSqlOdbcDriver)
#include "tst_sql_odbcdriver.moc"
