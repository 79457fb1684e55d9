#include "sql/sql_transaction.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// A write is stored whole or not at all, and a failure names the file.
class TstSqlTransaction : public QObject
{
    Q_OBJECT

private slots:
    void storesWholeOrNothing_data()
    {
        QTest::addColumn<int>("ending"); // 0 commit, 1 failed statement, 2 left unfinished
        QTest::addColumn<int>("rows");
        QTest::newRow("committed") << 0 << 2;
        QTest::newRow("a statement fails") << 1 << 0;
        QTest::newRow("left unfinished") << 2 << 0;
    }
    void storesWholeOrNothing()
    {
        QFETCH(int, ending);
        QFETCH(int, rows);
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("CREATE TABLE t (v INTEGER NOT NULL)"));
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QSqlQuery query(db.database());
            QVERIFY(query.exec("INSERT INTO t VALUES (1)"));
            QVERIFY(query.exec("INSERT INTO t VALUES (2)"));
            if (ending == 0) {
                QVERIFY(transaction.commit());
                QVERIFY(transaction.error().isEmpty());
            } else if (ending == 1) {
                QVERIFY(!query.exec("INSERT INTO t VALUES (NULL)"));
                QVERIFY(!transaction.fail(query));
                QVERIFY(!transaction.isOpen());
                QVERIFY(transaction.error().startsWith(QDir::toNativeSeparators(db.path()) + ":\n"));
                QVERIFY(transaction.error().contains("NOT NULL"));
                QVERIFY(!transaction.commit()); // nothing left to store
            }
        }
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), rows);
    }

    // A wait set beyond all measure is a long wait, not none: the write waits for the other program to let go.
    void aWaitBeyondMeasureStillWaits_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("1e30 seconds") << "1e30";
        QTest::newRow("infinite") << "inf";
    }
    void aWaitBeyondMeasureStillWaits()
    {
        QFETCH(QString, setting);
        TestSettings settings;
        TestDatabase db;
        QVERIFY(db.isValid());
        TestLockHolder holder(db.path(), TestLockHolder::Hold::Everything);
        QVERIFY(holder.isHolding());
        QSettings().setValue(QLatin1String(SqlTransaction::lockWaitKey), setting);
        holder.releaseAfterTicks(5);
        SqlTransaction transaction(db.database());
        QVERIFY2(transaction.isOpen(), qPrintable(transaction.error()));
        QVERIFY(holder.wasLetGoOnATick());
    }

    // A write holds the file's write lock from its start, so that another program's write waits for it (here: is
    // told at once that the file is busy) instead of both reading first and then refusing each other.
    void holdsTheWriteLockFromItsStart()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst-other"));
            other.setDatabaseName(db.path());
            other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(other.open());
            QSqlQuery query(other);
            {
                SqlTransaction transaction(db.database());
                QVERIFY(transaction.isOpen());
                QVERIFY(!query.exec("BEGIN IMMEDIATE"));
                QVERIFY2(query.lastError().text().contains("locked"), qPrintable(query.lastError().text()));
                QVERIFY(transaction.commit());
            }
            QVERIFY(query.exec("BEGIN IMMEDIATE") && query.exec("ROLLBACK"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tst-other"));
    }
};

TEST_MAIN(TstSqlTransaction)
#include "tst_sql_transaction.moc"
