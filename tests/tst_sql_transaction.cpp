#include "sql/sql_transaction.h"
#include "test_database.h"
#include "test_log.h"

#include <QDir>
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
};

TEST_MAIN(TstSqlTransaction)
#include "tst_sql_transaction.moc"
