// The loader of the shipped reference data, on databases made by the program's own
// schema creation.

#include "sql/sql_referencedata.h"
#include "sql/sql_updatedatabase.h"
#include "test_environment.h"
#include "test_refdata.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <cmath>

class TstSqlReferenceData : public QObject
{
    Q_OBJECT

private slots:
    void fillsEveryReferenceTable_data();
    void fillsEveryReferenceTable();
    void keepsTheBlankOneLetterCodeOfCystine();
    void linksComponentsToTheirSeries();
    void keepsNumbersAndNulls();
    void refusesASecondLoad();
    void rollsBackOnABadFile();
    void readsQuotedFields();
    void fitsTextToTheColumn_data();
    void fitsTextToTheColumn();

private:
    static QVariant scalar(const QString &connection, const QString &sql);
};

QVariant TstSqlReferenceData::scalar(const QString &connection, const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    if (!query.exec(sql) || !query.next())
        return QVariant();
    return query.value(0);
}

void TstSqlReferenceData::fillsEveryReferenceTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rows");
    QTest::newRow("amino") << "amino" << 21;
    QTest::newRow("conjugates") << "conjugates" << 8;
    QTest::newRow("denature") << "denature" << 2;
    QTest::newRow("extinction") << "extinction" << 130;
    QTest::newRow("rhoseries") << "rhoseries" << 36;
    QTest::newRow("viscseries") << "viscseries" << 36;
    QTest::newRow("BufferComponent") << "BufferComponent" << 36;
}

void TstSqlReferenceData::fillsEveryReferenceTable()
{
    QFETCH(QString, table);
    QFETCH(int, rows);
    TestReferenceDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QCOMPARE(scalar(db.path(), "SELECT COUNT(*) FROM " + table).toInt(), rows);
    if (table != "rhoseries" && table != "viscseries")
        QCOMPARE(scalar(db.path(), "SELECT COUNT(*) FROM " + table + " WHERE active > 0").toInt(), rows);
}

void TstSqlReferenceData::keepsTheBlankOneLetterCodeOfCystine()
{
    TestReferenceDatabase db;
    QVERIFY(db.isValid());
    QCOMPARE(scalar(db.path(), "SELECT nameone FROM amino WHERE Namethree = 'CY2'").toString(), QStringLiteral(" "));
    QCOMPARE(scalar(db.path(), "SELECT nameone FROM amino WHERE Namethree = 'TRP'").toString(), QStringLiteral("W"));
}

void TstSqlReferenceData::linksComponentsToTheirSeries()
{
    TestReferenceDatabase db;
    QVERIFY(db.isValid());
    QCOMPARE(scalar(db.path(),
                 "SELECT COUNT(*) FROM BufferComponent c JOIN rhoseries r ON r.id = c.componentRhoId "
                 "JOIN viscseries v ON v.id = c.componentViscId WHERE r.name = c.name AND v.name = c.name")
                 .toInt(),
        36);
    QCOMPARE(
        scalar(db.path(), "SELECT componentMr FROM BufferComponent WHERE name = 'Sodium chloride'").toDouble(), 58.44);
}

void TstSqlReferenceData::keepsNumbersAndNulls()
{
    TestReferenceDatabase db;
    QVERIFY(db.isValid());
    // Alanine does not ionise: its pKa is NULL, not 0.
    QVERIFY(scalar(db.path(), "SELECT pka FROM amino WHERE Namethree = 'ALA'").isNull());
    QCOMPARE(scalar(db.path(), "SELECT extinction FROM amino WHERE Namethree = 'TRP'").toDouble(), 5500.0);
    QCOMPARE(scalar(db.path(), "SELECT a FROM rhoseries WHERE name = 'Sodium chloride'").toDouble(), 0.998234);
    QCOMPARE(scalar(db.path(), "SELECT a FROM viscseries WHERE name = 'Sodium chloride'").toDouble(), 1.0);
    QVERIFY(!scalar(db.path(), "SELECT Source FROM viscseries WHERE name = 'Sodium chloride'").toString().isEmpty());
    // Largest errors in the editor's units: density in g/ml x 1e4 as the file has it;
    // viscosity in cP x 1e3, from the file's 29.69 x 1e-4 of water's 1.002 cP.
    QCOMPARE(scalar(db.path(), "SELECT ErrorMax FROM rhoseries WHERE name = 'Sodium chloride'").toDouble(), 0.97);
    QVERIFY(std::fabs(
                scalar(db.path(), "SELECT ErrorMax FROM viscseries WHERE name = 'Sodium chloride'").toDouble() - 2.9749)
        < 1e-4);
    QVERIFY(
        scalar(db.path(), "SELECT componentDensity FROM BufferComponent WHERE name = 'Hydrochloric acid'").isNull());
}

void TstSqlReferenceData::refusesASecondLoad()
{
    TestReferenceDatabase db;
    QVERIFY(db.isValid());
    QString error;
    QVERIFY(!SqlReferenceData::load(db.path(), SqlReferenceData::shippedFolder(testSourceDir()), &error));
    QVERIFY(error.contains("already holds rows"));
    QCOMPARE(scalar(db.path(), "SELECT COUNT(*) FROM amino").toInt(), 21);
}

void TstSqlReferenceData::rollsBackOnABadFile()
{
    TestDatabaseFiles files;
    const QString path = files.path("bad.db");
    SqlUpdateDatabase schema;
    QVERIFY(schema.openAndUpdate(path));
    // A copy of the shipped files with one bad number in the last table read.
    QTemporaryDir folder;
    const QDir shipped(SqlReferenceData::shippedFolder(testSourceDir()));
    for (const QString &name : shipped.entryList({ "*.csv" }))
        QVERIFY(QFile::copy(shipped.filePath(name), QDir(folder.path()).filePath(name)));
    QFile components(QDir(folder.path()).filePath("buffer_components.csv"));
    QVERIFY(components.open(QIODevice::Append));
    components.write("Broken,not a number,,source,\n");
    components.close();
    QString error;
    QVERIFY(!SqlReferenceData::load(path, folder.path(), &error));
    QVERIFY2(error.contains("not a number"), qPrintable(error));
    QCOMPARE(scalar(path, "SELECT COUNT(*) FROM amino").toInt(), 0);
    QCOMPARE(scalar(path, "SELECT COUNT(*) FROM rhoseries").toInt(), 0);
}

void TstSqlReferenceData::readsQuotedFields()
{
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath("q.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a,b,c\r\n\" \",\"x, \"\"y\"\"\",\n1,2,3");
    file.close();
    QList<QStringList> rows;
    QVERIFY(SqlReferenceData::readCsv(path, &rows));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1), (QStringList { " ", "x, \"y\"", "" }));
    QCOMPARE(rows.at(2), (QStringList { "1", "2", "3" }));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a\n\"open");
    file.close();
    QString error;
    QVERIFY(!SqlReferenceData::readCsv(path, &rows, &error));
    QVERIFY(!error.isEmpty());
}

void TstSqlReferenceData::fitsTextToTheColumn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << "Heme b (Fe-protoporphyrin IX)" << 30 << "Heme b (Fe-protoporphyrin IX)";
    QTest::newRow("note dropped") << "N-Acetylneuraminic acid (residue)" << 30 << "N-Acetylneuraminic acid";
    QTest::newRow("cut") << "abcdefghij" << 4 << "abcd";
}

void TstSqlReferenceData::fitsTextToTheColumn()
{
    QFETCH(QString, text);
    QFETCH(int, size);
    QFETCH(QString, expected);
    QCOMPARE(SqlReferenceData::fitText(text, size), expected);
}

QTEST_MAIN(TstSqlReferenceData)
#include "tst_sql_referencedata.moc"
