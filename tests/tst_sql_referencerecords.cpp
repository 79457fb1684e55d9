#include "sql/sql_referencerecords.h"
#include "test_database.h"
#include "test_log.h"

#include <QDir>
#include <QtTest>

using Records = SqlReferenceRecords;

// Reference rows stored and read back without a window, on a file of the
// program's own schema.
class TstSqlReferenceRecords : public QObject
{
    Q_OBJECT

private slots:
    // Each kind is added, read back and changed; typed text is stored as its number.
    void storesAndLoadsEachKind()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        Records records(db.database());
        bool found = false;
        qint64 id = 0;

        Records::AminoAcid amino;
        amino.name = "Norleucine";
        amino.threeLetter = "NLE";
        amino.oneLetter = "J";
        amino.mr = " 113.16 ";
        QVERIFY(records.add(&amino));
        amino.vbar = "0.9";
        QVERIFY(records.change(amino));
        Records::AminoAcid aminoRead;
        QVERIFY(records.load(amino.id, &aminoRead));
        QCOMPARE(QStringList({ aminoRead.name, aminoRead.threeLetter.toString(), aminoRead.oneLetter.toString(),
                     aminoRead.mr.toString(), aminoRead.vbar.toString() }),
            QStringList({ "Norleucine", "NLE", "J", "113.16", "0.9" }));
        QVERIFY(records.findName("amino", "NORLEUCINE", &found, &id) && found && id == amino.id);
        QVERIFY(records.findAminoCode("nle", true, &found, &id) && !found);

        Records::Conjugate conjugate;
        conjugate.name = "Heme b";
        conjugate.mr = "616.49";
        QVERIFY(records.add(&conjugate));
        Records::Conjugate conjugateRead;
        QVERIFY(records.load(conjugate.id, &conjugateRead));
        QCOMPARE(conjugateRead.name + ' ' + conjugateRead.mr.toString(), QStringLiteral("Heme b 616.49"));

        Records::Denaturant denaturant;
        denaturant.name = "Urea";
        denaturant.md = "60.06";
        QVERIFY(records.add(&denaturant));
        Records::Denaturant denaturantRead;
        QVERIFY(records.load(denaturant.id, &denaturantRead));
        QCOMPARE(denaturantRead.name + ' ' + denaturantRead.md.toString(), QStringLiteral("Urea 60.06"));

        // A component with both series; dropping one unlinks it and keeps its row.
        Records::BufferComponent salt;
        salt.name = "Sodium chloride";
        salt.density = "2.17";
        salt.withDensitySeries = true;
        salt.densitySeries.a = "0.998234";
        salt.densitySeries.source = "CRC";
        salt.withViscositySeries = true;
        salt.viscositySeries.a = "1";
        QVERIFY(records.add(&salt));
        Records::DensitySeries density;
        QVERIFY(records.loadDensitySeries(salt.id, &density, &found) && found);
        QCOMPARE(density.a.toString() + ' ' + density.source.toString(), QStringLiteral("0.998234 CRC"));
        salt.withDensitySeries = false;
        QVERIFY(records.change(salt));
        QVERIFY(records.loadDensitySeries(salt.id, &density, &found) && !found && density.a.isNull());
        Records::BufferComponent saltRead;
        QVERIFY(records.loadBufferComponent(salt.id, &saltRead, &found) && found);
        QVERIFY(saltRead.densitySeriesId.isNull() && !saltRead.viscositySeriesId.isNull());
        QCOMPARE(saltRead.density.toString() + ' ' + db.value("SELECT COUNT(*) FROM rhoseries").toString(),
            QStringLiteral("2.17 1"));

        // A spectrum: points added, one changed by its wavelength, all removed by the name.
        QVERIFY(records.addSpectrum("NLE", { { {}, 280.0, "5500" }, { {}, 282.0, "5600" } }));
        QVERIFY(records.changeSpectrum("NLE", { { {}, 282.0, "5700" } }));
        QVector<Records::SpectrumPoint> points;
        QVERIFY(records.loadSpectrum("NLE", &points) && points.size() == 2);
        QCOMPARE(points.at(1).nm.toString() + ' ' + points.at(1).ext.toString(), QStringLiteral("282 5700"));
        int codes = 0;
        int rows = 0;
        QVERIFY(records.countSpectrumName("NLE", &codes, &rows) && codes == 1 && rows == 2);

        QStringList listed;
        for (Records::Kind kind : { Records::Kind::Amino, Records::Kind::Conjugates, Records::Kind::Denature,
                 Records::Kind::BufferComponent, Records::Kind::Extinction }) {
            QVector<Records::Listed> entries;
            QVERIFY(records.list(kind, &entries));
            for (const Records::Listed &entry : entries)
                listed << entry.name;
        }
        QCOMPARE(listed, QStringList({ "Norleucine", "Heme b", "Urea", "Sodium chloride", "NLE" }));

        QVERIFY(records.removeSpectrum("NLE"));
        QVERIFY(records.loadSpectrum("NLE", &points) && points.isEmpty());
    }

    void aFailedWriteLeavesNothingAndNamesTheFile_data()
    {
        QTest::addColumn<QString>("refusal"); // a trigger's event, or none
        QTest::addColumn<int>("write");
        QTest::addColumn<QString>("text");
        QTest::newRow("a component, after its series") << "BEFORE INSERT ON bufferComponent" << 0 << "refused";
        QTest::newRow("a spectrum, at its second point")
            << "BEFORE INSERT ON extinction WHEN NEW.nm > 230" << 1 << "refused";
        QTest::newRow("a change of a record that is gone") << "" << 2 << "no longer in the database";
        // A file whose table lacks a column: the database's reason, not the statement's unbound values.
        QTest::newRow("a component whose series lack a column")
            << "ALTER TABLE rhoseries RENAME COLUMN Source TO gone" << 0 << "has no column named Source";
        QTest::newRow("a spectrum whose table lacks a column")
            << "ALTER TABLE extinction RENAME COLUMN ext TO gone" << 1 << "has no column named ext";
    }
    void aFailedWriteLeavesNothingAndNamesTheFile()
    {
        QFETCH(QString, refusal);
        QFETCH(int, write);
        QFETCH(QString, text);
        TestDatabase db;
        QVERIFY(db.isValid());
        if (refusal.startsWith("ALTER"))
            QVERIFY(db.exec(refusal));
        else if (!refusal.isEmpty())
            QVERIFY(db.exec("CREATE TRIGGER refuse " + refusal + " BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        Records records(db.database());
        Records::BufferComponent component;
        component.name = "Doomed";
        component.withDensitySeries = true;
        component.withViscositySeries = true;
        Records::AminoAcid gone;
        gone.id = 999;
        gone.name = "Gone";
        const QVector<Records::SpectrumPoint> spectrum = { { {}, 230.0, "1" }, { {}, 232.0, "2" } };
        bool stored = true;
        if (write == 0)
            stored = records.add(&component);
        else if (write == 1)
            stored = records.addSpectrum("ALA", spectrum);
        else
            stored = records.change(gone);
        QVERIFY(!stored);
        QCOMPARE(db.value("SELECT (SELECT COUNT(*) FROM rhoseries) + (SELECT COUNT(*) FROM viscseries) + "
                          "(SELECT COUNT(*) FROM bufferComponent) + (SELECT COUNT(*) FROM extinction) + "
                          "(SELECT COUNT(*) FROM amino)")
                     .toInt(),
            0);
        const QString error = records.error();
        QVERIFY2(
            error.startsWith(QDir::toNativeSeparators(db.path()) + ":\n") && error.contains(text), qPrintable(error));
    }

    // A read from a table that lacks a column gives the database's reason.
    void aFailedReadGivesTheDatabasesReason()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("ALTER TABLE rhoseries RENAME COLUMN modified TO gone"));
        QVERIFY(db.exec("ALTER TABLE amino RENAME COLUMN HipH7 TO gone"));
        Records records(db.database());
        Records::DensitySeries series;
        bool found = true;
        QVERIFY(!records.loadDensitySeries(1, &series, &found));
        QVERIFY2(records.error().endsWith(":\nno such column: modified Unable to execute statement"),
            qPrintable(records.error()));
        Records::AminoAcid amino;
        QVERIFY(!records.load(1, &amino));
        QVERIFY2(records.error().contains("no such column"), qPrintable(records.error()));
    }
};

TEST_GUILESS_MAIN(TstSqlReferenceRecords)
#include "tst_sql_referencerecords.moc"
