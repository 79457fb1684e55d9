#include "sql/sql_records.h"
#include "test_database.h"
#include "test_log.h"

#include <QDir>
#include <QtTest>

// The four kinds of record stored and read back without a window, on a real
// database file.
class TstSqlRecords : public QObject
{
    Q_OBJECT

    // A value as stored: NULL stays NULL, a number compares as its text.
    static QString stored(const QVariant &value) { return value.isNull() ? QStringLiteral("NULL") : value.toString(); }
    static QStringList stored(const QVariantList &values)
    {
        QStringList texts;
        for (const QVariant &value : values)
            texts << stored(value);
        return texts;
    }
    // Every listed field of a record, then what it holds beside them.
    template<typename Record> static QStringList listed(const Record &r)
    {
        QVariantList values;
        for (const SqlField<Record> &field : Record::fields()) {
            if (field.member)
                values << r.*field.member;
        }
        return stored(values);
    }
    static QStringList fields(const SqlSampleRecord &r)
    {
        QVariantList values = { r.name };
        for (const auto *counts : { &r.aminoAcids, &r.conjugates }) {
            for (const SqlSampleRecord::Count &count : *counts)
                values << count.id << count.count;
            values << QStringLiteral("|");
        }
        return listed(r) + stored(values);
    }
    static QStringList fields(const SqlSolventRecord &r)
    {
        QVariantList values = { r.name };
        for (const SqlSolventRecord::Component &component : r.components)
            values << component.id << component.concentration << component.units;
        return listed(r) + stored(values);
    }
    static QStringList fields(const SqlExperimentRecord &r)
    {
        return listed(r) + stored({ r.name, r.sampleId, r.bufferId, r.resultsId });
    }
    static QStringList fields(const SqlResultsRecord &r)
    {
        return listed(r) + stored({ r.name, r.sampleId, r.bufferId, r.experimentId });
    }
    // A record whose every listed field holds a value of its own.
    template<typename Record> static Record everyFieldSet()
    {
        Record r;
        int i = 0;
        for (const SqlField<Record> &field : Record::fields()) {
            if (field.member)
                r.*field.member = ++i;
        }
        return r;
    }

    static SqlSampleRecord lysozyme()
    {
        const QVariant null(QVariant::Double);
        SqlSampleRecord r;
        r.name = QStringLiteral("Lysozyme");
        r.vbarDirect = 0.7175;
        r.vbarStandard = null;
        r.vbarStandardT = null;
        r.calculatedVbar = 0.7195;
        r.calculatedMr = 14313.14;
        r.calculatedHydration = null;
        r.denaturant = 2;
        r.sk = 0.009;
        r.pkaAmino = 7.7;
        r.pkaCarboxyl = 3.3;
        r.pH = null;
        r.nMer = 2;
        r.sequence = QStringLiteral("KVFGR");
        r.aminoAcids = { { 1, 12.5 }, { 3, 7 } };
        r.conjugates = { { 4, 1 } };
        return r;
    }
    static SqlSolventRecord saline(const QVariant &component)
    {
        const QVariant null(QVariant::Double);
        SqlSolventRecord r;
        r.name = QStringLiteral("Saline");
        r.densityDirect = null;
        r.viscosityDirect = 0.01002;
        r.densityStandard = 1.005;
        r.densityStandardT = 4.0;
        r.viscosityStandard = null;
        r.viscosityStandardT = null;
        r.computedDensity = null;
        r.computedViscosity = 0.010235;
        r.pH = 7.4;
        r.heavyWater = 1;
        r.d2o = 0.5;
        r.d2o18 = 0.0;
        r.h2o18 = 0.0;
        r.h2o = 0.5;
        r.components = { { component, QString(), 0.15, QStringLiteral("molar") } };
        return r;
    }

private slots:
    // Each kind comes back field by field, NULLs and composition rows
    // included; an overwrite keeps the id, and the earlier composition is no
    // longer read.
    void storesAndReadsEachKind()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("INSERT INTO bufferComponent (name) VALUES ('Sodium chloride'), ('Urea')"));
        const QVariant salt = db.value("SELECT id FROM bufferComponent WHERE name = 'Sodium chloride'");
        const QVariant urea = db.value("SELECT id FROM bufferComponent WHERE name = 'Urea'");
        SqlRecords records(db.database());
        int id = -1;
        int again = -1;
        bool found = false;

        SqlSampleRecord sample = lysozyme();
        SqlSampleRecord sampleRead;
        QVERIFY2(records.saveSample(sample, -1, &id), qPrintable(records.error()));
        QVERIFY(records.loadSample(id, &sampleRead, &found) && found);
        QCOMPARE(fields(sampleRead), fields(sample));
        sample.aminoAcids = { { 5, 1 } };
        sample.conjugates.clear();
        sample.sequence = QVariant(QVariant::String);
        QVERIFY(records.saveSample(sample, id, &again) && again == id);
        QVERIFY(records.loadSample(id, &sampleRead));
        QCOMPARE(fields(sampleRead), fields(sample));

        SqlSolventRecord solvent = saline(salt);
        SqlSolventRecord solventRead;
        bool active = false;
        QVERIFY2(records.saveSolvent(solvent, -1, &id), qPrintable(records.error()));
        QVERIFY(records.loadSolvent(id, &solventRead, &found, &active) && found && active);
        QCOMPARE(fields(solventRead), fields(solvent));
        QCOMPARE(solventRead.components.value(0).name, QStringLiteral("Sodium chloride"));
        solvent.components = { { urea, QString(), 2.0, QStringLiteral("molar") } };
        QVERIFY(records.saveSolvent(solvent, id, &again) && again == id);
        QVERIFY(records.loadSolvent(id, &solventRead));
        QCOMPARE(fields(solventRead), fields(solvent));

        SqlExperimentRecord experiment;
        experiment.name = QStringLiteral("Run 1");
        experiment.tc = 20.0;
        experiment.rpm = 42000.0;
        experiment.sigma = QVariant(QVariant::Double);
        experiment.mp = 14313.14;
        experiment.sstart = 20.0;
        experiment.mgml = 1.2;
        experiment.sstar = 1.91e-13;
        experiment.vbar = 0.7175;
        experiment.rho = 0.99823;
        experiment.vis = 0.01002;
        experiment.mb = QVariant(QVariant::Double);
        experiment.calculatedBy = QStringLiteral("qtFromSigma");
        experiment.vbarSource = QStringLiteral("qtVbarDirectEntry");
        experiment.densitySource = QStringLiteral("qtDensityStandard");
        experiment.densityStandard = 1.02;
        experiment.densityStandardT = 25.0;
        experiment.viscositySource = QStringLiteral("qtViscosityCompute");
        experiment.sampleId = 1;
        experiment.bufferId = id;
        SqlExperimentRecord experimentRead;
        QVERIFY2(records.saveExperiment(experiment, -1, &id), qPrintable(records.error()));
        QVERIFY(records.loadExperiment(id, &experimentRead, &found) && found);
        QCOMPARE(fields(experimentRead), fields(experiment));
        // A link the window no longer lists keeps the stored one.
        const int storedSample = experiment.sampleId;
        experiment.sampleId = SqlExperimentRecord::keepStoredLink;
        QVERIFY(records.saveExperiment(experiment, id, &again) && again == id);
        QVERIFY(records.loadExperiment(id, &experimentRead));
        experiment.sampleId = storedSample;
        QCOMPARE(fields(experimentRead), fields(experiment));

        SqlResultsRecord results;
        results.name = QStringLiteral("Run 1 shape");
        QVariant *const figures[] = { &results.radius, &results.vbarRadius, &results.tellerRadius,
            &results.vbarFriction, &results.tellerFriction, &results.vbarFrictionRatio, &results.tellerFrictionRatio,
            &results.vbarSmax, &results.tellerSmax, &results.vbarDmax, &results.tellerDmax, &results.vbarDelta1,
            &results.tellerDelta1, &results.vbarAxialRatio, &results.tellerAxialRatio, &results.vbarSemiAxisA,
            &results.tellerSemiAxisA, &results.vbarSemiAxisB, &results.tellerSemiAxisB, &results.optionValue };
        for (int i = 0; i < 20; ++i)
            *figures[i] = i == 3 ? QVariant(QVariant::Double) : QVariant(1.0 + i / 8.0);
        results.method = QStringLiteral("qtVbarMethod");
        results.option = QStringLiteral("qtHydrateDelta1");
        results.shape = QStringLiteral("qtShapeOblate");
        SqlResultsRecord resultsRead;
        QVERIFY2(records.saveResults(results, -1, &id), qPrintable(records.error()));
        QVERIFY(records.loadResults(id, &resultsRead, &found) && found);
        QCOMPARE(fields(resultsRead), fields(results));
        // An overwrite keeps the stored name.
        SqlResultsRecord renamed = results;
        renamed.name = QStringLiteral("Another");
        QVERIFY(records.saveResults(renamed, id, &again) && again == id);
        QVERIFY(records.loadResults(id, &resultsRead));
        QCOMPARE(fields(resultsRead), fields(results));

        QVERIFY(records.loadResults(id + 100, &resultsRead, &found) && !found);
        QCOMPARE(fields(resultsRead), fields(SqlResultsRecord()));

        SqlDefaultsRow change;
        change.pH = 7.4;
        QCOMPARE(records.saveDefaults(change), SqlRecords::DefaultsSave::Stored);
        SqlDefaultsRow defaults;
        QVERIFY(records.loadDefaults(&defaults));
        QCOMPARE(stored({ defaults.temperature, defaults.density, defaults.viscosity, defaults.vbar, defaults.pH,
                     defaults.sk }),
            QStringList({ "20", "0.99823", "0.01002", "0.73", "7.4", "0.009" }));
    }

    // Every field a record lists is stored in its column and read back: the statements are made from the lists.
    void everyListedFieldComesBack()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        SqlRecords records(db.database());
        int id = -1;
        auto check = [&](auto record, auto save, auto load) {
            record.name = QStringLiteral("All");
            decltype(record) read;
            QVERIFY2((records.*save)(record, -1, &id), qPrintable(records.error()));
            QVERIFY((records.*load)(id, &read, nullptr, nullptr));
            QCOMPARE(fields(read), fields(record));
        };
        check(everyFieldSet<SqlSampleRecord>(), &SqlRecords::saveSample, &SqlRecords::loadSample);
        check(everyFieldSet<SqlSolventRecord>(), &SqlRecords::saveSolvent, &SqlRecords::loadSolvent);
        check(everyFieldSet<SqlExperimentRecord>(), &SqlRecords::saveExperiment, &SqlRecords::loadExperiment);
        check(everyFieldSet<SqlResultsRecord>(), &SqlRecords::saveResults, &SqlRecords::loadResults);
    }

    // A composition row the database refuses undoes the whole save, and the
    // error names the file beside the driver's text.
    void aRefusedSaveLeavesNothingHalfWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("table");
        QTest::newRow("sample") << "sample"
                                << "conjugateComposition";
        QTest::newRow("solvent") << "buffer"
                                 << "bufferComposition";
    }
    void aRefusedSaveLeavesNothingHalfWritten()
    {
        QFETCH(QString, kind);
        QFETCH(QString, table);
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, "
                                       "'refused by the test'); END")
                            .arg(table)));
        TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO " + table));
        SqlRecords records(db.database());
        int id = -1;
        const bool saved
            = kind == "sample" ? records.saveSample(lysozyme(), -1, &id) : records.saveSolvent(saline(1), -1, &id);
        QVERIFY(!saved);
        QVERIFY2(records.error().startsWith(QDir::toNativeSeparators(db.path()) + ":\n")
                && records.error().contains("refused by the test"),
            qPrintable(records.error()));
        QCOMPARE(db.value("SELECT (SELECT count(*) FROM " + kind
                       + ") + (SELECT count(*) FROM aminoComposition) + (SELECT count(*) FROM bufferComposition)")
                     .toInt(),
            0);
        // No transaction is left open.
        QVERIFY(db.database().transaction() && db.database().rollback());
    }
};

TEST_MAIN(TstSqlRecords)
#include "tst_sql_records.moc"
