// The loader of the shipped reference data, on databases made by the program's own
// schema creation.

#include "sql/sql_referencedata.h"
#include "sql/sql_updatedatabase.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_refdata.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

static QString scalar(const QString &connection, const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    return query.exec(sql) && query.next() ? query.value(0).toString() : QStringLiteral("<error>");
}

class TstSqlReferenceData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_db.isValid(), qPrintable(m_db.error())); }

    void storesTheShippedRows_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        // Every row loaded and active, the series linked to their components by name.
        const QString count = QStringLiteral("SELECT COUNT(*) || '/' || SUM(active > 0) FROM %1");
        QTest::newRow("amino rows") << count.arg("amino") << "21/21";
        QTest::newRow("conjugates rows") << count.arg("conjugates") << "8/8";
        QTest::newRow("denature rows") << count.arg("denature") << "2/2";
        QTest::newRow("extinction rows") << count.arg("extinction") << "130/130";
        QTest::newRow("component rows") << count.arg("BufferComponent") << "36/36";
        QTest::newRow("series linked")
            << "SELECT COUNT(*) FROM BufferComponent c JOIN rhoseries r ON r.id = c.componentRhoId "
               "JOIN viscseries v ON v.id = c.componentViscId WHERE r.name = c.name AND v.name = c.name"
            << "36";
        // Cystine's one-letter code is a blank; residues that do not ionise have a NULL pKa, not 0.
        QTest::newRow("amino") << "SELECT group_concat(nameone || ':' || ifnull(pka, 'NULL') || ':' || extinction) "
                                  "FROM (SELECT * FROM amino WHERE Namethree IN ('ALA', 'CY2', 'LYS', 'TRP') "
                                  "ORDER BY Namethree)"
                               << "A:NULL:0.0, :NULL:62.5,K:10.4:0.0,W:NULL:5500.0";
        QTest::newRow("components") << "SELECT group_concat(name || ':' || componentMr || ':' || "
                                       "ifnull(componentDensity, 'NULL')) FROM (SELECT * FROM BufferComponent "
                                       "WHERE name IN ('Sodium chloride', 'Hydrochloric acid') ORDER BY name)"
                                    << "Hydrochloric acid:36.458:NULL,Sodium chloride:58.44:2.17";
        // Largest errors in the editor's units: density in g/ml x 1e4 as the file has it;
        // viscosity in cP x 1e3, from the file's 87.01 x 1e-4 of water's 1.002 cP.
        QTest::newRow("NaCl series") << "SELECT r.a || ' ' || r.ErrorMax || ' ' || v.a || ' ' || ROUND(v.ErrorMax, 4) "
                                        "|| ' ' || (length(v.Source) > 0) FROM rhoseries r JOIN viscseries v "
                                        "ON v.name = r.name WHERE r.name = 'Sodium chloride'"
                                     << "0.998234 1.11 1.0 8.7184 1";
    }
    void storesTheShippedRows()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(scalar(m_db.path(), sql), expected);
    }

    void refusesASecondLoad()
    {
        QString error;
        QVERIFY(!SqlReferenceData::load(m_db.path(), SqlReferenceData::shippedFolder(testSourceDir()), &error));
        QVERIFY(error.contains("already holds rows"));
        QCOMPARE(scalar(m_db.path(), "SELECT COUNT(*) FROM amino"), QStringLiteral("21"));
    }

    void rollsBackOnABadFile()
    {
        TestDatabaseFiles files;
        const QString path = files.path("bad.db");
        QVERIFY(SqlUpdateDatabase().openAndUpdate(path));
        // A copy of the shipped files with one bad number in the last table read.
        QTemporaryDir folder;
        const QDir shipped(SqlReferenceData::shippedFolder(testSourceDir()));
        for (const QString &name : shipped.entryList({ "*.csv" }))
            QVERIFY(QFile::copy(shipped.filePath(name), folder.filePath(name)));
        QFile components(folder.filePath("buffer_components.csv"));
        QVERIFY(components.open(QIODevice::Append) && components.write("Broken,not a number,,source,\n") > 0);
        components.close();
        QString error;
        QVERIFY(!SqlReferenceData::load(path, folder.path(), &error));
        QVERIFY2(error.contains("not a number"), qPrintable(error));
        QCOMPARE(scalar(path, "SELECT (SELECT COUNT(*) FROM amino) + COUNT(*) FROM rhoseries"), QStringLiteral("0"));
    }

    void readsQuotedFieldsAndRejectsAnOpenQuote()
    {
        QTemporaryDir folder;
        QList<QStringList> rows;
        QString error;
        auto read = [&](const QByteArray &text) {
            const QString path = folder.filePath("q.csv");
            return testWriteFile(path, text) && SqlReferenceData::readCsv(path, &rows, &error);
        };
        QVERIFY(read("a,b,c\r\n\" \",\"x, \"\"y\"\"\",\n1,2,3"));
        QCOMPARE(rows, (QList<QStringList> { { "a", "b", "c" }, { " ", "x, \"y\"", "" }, { "1", "2", "3" } }));
        QVERIFY(!read("a\n\"open") && !error.isEmpty());
    }

    void fitsTextToTheColumn()
    {
        QCOMPARE(
            SqlReferenceData::fitText("N-Acetylneuraminic acid (residue)", 30), QString("N-Acetylneuraminic acid"));
        QCOMPARE(SqlReferenceData::fitText("abcdefghij", 4), QString("abcd"));
        // A character of two UTF-16 units is kept whole or left out, never halved.
        const QString grinning = QString::fromUcs4(U"\U0001F600");
        QCOMPARE(SqlReferenceData::fitText("abc" + grinning + "d", 4), QString("abc"));
    }

private:
    TestReferenceDatabase m_db;
};

TEST_MAIN(TstSqlReferenceData)
#include "tst_sql_referencedata.moc"
