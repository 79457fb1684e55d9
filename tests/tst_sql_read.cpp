#include "sql/sql_read.h"
#include "test_database.h"
#include "test_environment.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

// A read says whether it read: one that broke off is never taken for the end of the rows.
class TstSqlRead : public QObject
{
    Q_OBJECT

private slots:
    // A table of 300 rows whose file has a page damaged past its first rows (as a fault of the disk leaves it),
    // or none: the read hands each row it could read, and fails with the driver's text where it broke off.
    void aReadThatBreaksOffAfterItsFirstRowsFails_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole") << false;
        QTest::newRow("a page damaged past the first rows") << true;
    }
    void aReadThatBreaksOffAfterItsFirstRowsFails()
    {
        QFETCH(bool, damaged);
        TestDatabaseFiles files;
        const QString path = files.path("read.db");
        const QString name = QStringLiteral("tst-read");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            QSqlQuery query(db);
            QVERIFY(db.open() && query.exec("CREATE TABLE t (n INTEGER, text TEXT)") && db.transaction());
            for (int n = 1; n <= 300; ++n)
                QVERIFY(
                    query.exec(QStringLiteral("INSERT INTO t VALUES (%1, 'row %1 %2')").arg(n).arg(QString(80, 'x'))));
            QVERIFY(db.commit());
            db.close();
        }
        if (damaged)
            QVERIFY(TestDatabase::damagePageHolding(path, "row 250 "));
        int read = 0;
        QString error;
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::database(name);
            QSqlQuery query(db);
            query.setForwardOnly(true);
            ok = SqlRead::rows(
                query, [&read](const QSqlQuery &) { ++read; }, &error, "SELECT n FROM t ORDER BY rowid");
        }
        QSqlDatabase::removeDatabase(name);
        QCOMPARE(ok, !damaged);
        if (!damaged) {
            QCOMPARE(read, 300);
            QVERIFY(error.isEmpty());
            return;
        }
        QVERIFY2(read > 0 && read < 250, qPrintable(QString::number(read)));
        QCOMPARE(error, QStringLiteral("database disk image is malformed Unable to fetch row"));
    }
};

QTEST_GUILESS_MAIN(TstSqlRead)
#include "tst_sql_read.moc"
