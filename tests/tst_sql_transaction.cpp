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

    // A commit that fails for another reason than another program's lock (here the disk fills as the change is
    // written into the file) says what the file holds now: the change may have failed before it was stored, or
    // after. Here nothing of it was, and the file holds what it held before.
    void aFailedCommitSaysWhatTheFileHolds()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("CREATE TABLE t (v TEXT)"));
        const qint64 size = QFileInfo(db.path()).size();
        bool committed = true;
        QString error;
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QSqlQuery query(db.database());
            for (int row = 0; row < 64; ++row)
                QVERIFY(query.exec(
                    QStringLiteral("INSERT INTO t VALUES ('%1')").arg(QString(4096, QChar('a' + row % 26)))));
            query.finish();
            TestFileSizeLimit full(size);
            committed = transaction.commit();
            error = transaction.error();
        }
        QVERIFY(!committed);
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(db.path()) + ":\n")
                && error.endsWith("\n\nNothing of the change was stored: the database file holds what it held before."),
            qPrintable(error));
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), 0);
        QCOMPARE(db.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
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

    // Another program's hold on the file is met as the write begins, whichever it is: the whole file, its
    // writes, or a read under way, which lets a write begin and run but keeps it from being stored. It is
    // waited for with the event loop running (the hold ends only on a tick of a timer of that loop); held
    // beyond the wait, the write is told the file is in use, and nothing is stored.
    void anyHoldIsMetAsTheWriteBegins_data()
    {
        QTest::addColumn<TestLockHolder::Hold>("hold");
        QTest::addColumn<bool>("released");
        const QPair<const char *, TestLockHolder::Hold> holds[]
            = { { "the whole file", TestLockHolder::Hold::Everything }, { "its writes", TestLockHolder::Hold::Writes },
                  { "a read under way", TestLockHolder::Hold::Reads } };
        for (const auto &hold : holds) {
            QTest::addRow("%s, let go while waited for", hold.first) << hold.second << true;
            QTest::addRow("%s, held beyond the wait", hold.first) << hold.second << false;
        }
    }
    void anyHoldIsMetAsTheWriteBegins()
    {
        QFETCH(TestLockHolder::Hold, hold);
        QFETCH(bool, released);
        TestSettings settings;
        TestDatabase db;
        QVERIFY(db.isValid() && db.exec("CREATE TABLE t (v INTEGER NOT NULL)"));
        TestLockHolder holder(db.path(), hold);
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        bool stored = false;
        QString error;
        {
            SqlTransaction transaction(db.database());
            QSqlQuery query(db.database());
            stored = transaction.isOpen() && query.exec("INSERT INTO t VALUES (1)") && transaction.commit();
            error = transaction.error();
        }
        holder.release();
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), released ? 1 : 0);
        if (released) {
            QVERIFY2(stored, qPrintable(error));
            QVERIFY(holder.wasLetGoOnATick());
            return;
        }
        QVERIFY(!stored);
        QVERIFY2(error.contains("is in use by another program, which holds it locked"), qPrintable(error));
    }

    // A write holds the file's write lock from its start, so that another program's write waits for it (here: is
    // told at once that the file is busy) instead of both reading first and then refusing each other.
    void holdsTheWriteLockFromItsStart()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        {
            TestOtherProgram other(db.path(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(other.isOpen());
            QSqlQuery query(other.database());
            {
                SqlTransaction transaction(db.database());
                QVERIFY(transaction.isOpen());
                QVERIFY(!query.exec("BEGIN IMMEDIATE"));
                QVERIFY2(query.lastError().text().contains("locked"), qPrintable(query.lastError().text()));
                QVERIFY(transaction.commit());
            }
            QVERIFY(query.exec("BEGIN IMMEDIATE") && query.exec("ROLLBACK"));
        }
    }
};

TEST_MAIN(TstSqlTransaction)
#include "tst_sql_transaction.moc"
