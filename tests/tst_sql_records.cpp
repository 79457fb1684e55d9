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

    // A record whose choice in `column` is `word` is saved with `stored` there; a row holding either form is
    // read as the word.
    template<typename Record>
    static void choiceIsStored(TestDatabase &db, const QString &table, const QString &column, const QString &word,
        const QString &stored, bool (SqlRecords::*save)(const Record &, int, int *),
        bool (SqlRecords::*load)(int, Record *, bool *, bool *))
    {
        QVariant Record::*member = nullptr;
        for (const SqlField<Record> &field : Record::fields()) {
            if (field.member && field.column && column == QLatin1String(field.column))
                member = field.member;
        }
        QVERIFY(member);
        Record record;
        record.name = QStringLiteral("Chosen");
        record.*member = word;
        SqlRecords records(db.database());
        int id = -1;
        QVERIFY2((records.*save)(record, -1, &id), qPrintable(records.error()));
        const QString select = QStringLiteral("SELECT %1 FROM %2 WHERE id = %3").arg(column, table).arg(id);
        QCOMPARE(db.value(select).toString(), stored);
        for (const QString &form : { word, stored }) {
            QVERIFY(db.exec(QStringLiteral("UPDATE %1 SET %2 = :form WHERE id = %3").arg(table, column).arg(id),
                { { ":form", form } }));
            Record read;
            QVERIFY((records.*load)(id, &read, nullptr, nullptr));
            QCOMPARE((read.*member).toString(), word);
        }
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

    // The record read from the row written by hand holds in each field the value of the column named for it; one
    // stored with each field holding its own name has it in that column.
    template<typename Record, typename Load, typename Save>
    static void landsInItsColumn(
        const TestDatabase &db, const QString &table, const QMap<QString, QString> &columnOf, Load load, Save save)
    {
        QStringList stored;
        Record read;
        Record written;
        for (const SqlField<Record> &field : Record::fields()) {
            if (field.member && field.column) {
                stored << field.key;
                written.*field.member = QStringLiteral("field ") + field.key;
            }
        }
        stored.sort();
        QCOMPARE(stored, columnOf.keys());
        SqlRecords records(db.database());
        bool found = false;
        QVERIFY((records.*load)(1, &read, &found, nullptr) && found);
        for (const SqlField<Record> &field : Record::fields()) {
            if (field.member && field.column)
                QCOMPARE((read.*field.member).toString(), "column " + columnOf.value(field.key));
        }
        int id = -1;
        QVERIFY2((records.*save)(written, -1, &id), qPrintable(records.error()));
        for (auto it = columnOf.cbegin(); it != columnOf.cend(); ++it)
            QCOMPARE(
                db.value(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3").arg(it.value(), table).arg(id)).toString(),
                "field " + it.key());
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
        experiment.calculatedBy = QLatin1String(SqlMrMethod::sigma);
        experiment.vbarSource = QLatin1String(SqlSource::direct);
        experiment.densitySource = QLatin1String(SqlSource::standard);
        experiment.densityStandard = 1.02;
        experiment.densityStandardT = 25.0;
        experiment.viscositySource = QLatin1String(SqlSource::computed);
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
        results.method = QLatin1String(SqlRadiusMethod::vbar);
        results.option = QLatin1String(SqlHydration::delta1);
        results.shape = QLatin1String(SqlShape::oblate);
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

    // Each field is read from and written to its own column. Rows written by hand with a distinct value in every
    // column come back in the fields named here, and a record whose every field holds its own name is stored in the
    // columns named here: a field list that swaps two columns fails both.
    void eachFieldLandsInItsColumn_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("columns"); // field=column, every stored field of the record
        QTest::newRow("sample") << "sample"
                                << "vbarSource=vbarSource vbarDirect=VBarDirectEntry vbarStandard=VBarStandard "
                                   "vbarStandardT=VbarStandardT calculatedVbar=calcVBar calculatedMr=calcMr "
                                   "calculatedHydration=calcHydration calculations=calculations "
                                   "denaturant=useDenaturant sk=sk pkaAmino=pkaamino pkaCarboxyl=pkacarboxl "
                                   "titratableAmino=titratableAmino titratableCarboxyl=titratableCarboxyl pH=pH "
                                   "nMer=nMer sequence=aminoSequence";
        QTest::newRow("solvent") << "buffer"
                                 << "densitySource=densitySource viscositySource=viscositySource "
                                    "densityDirect=densityDirectEntry viscosityDirect=viscosityDirectEntry "
                                    "densityStandard=densityStandard densityStandardT=densityStandardT "
                                    "viscosityStandard=viscosityStandard viscosityStandardT=viscosityStandardT "
                                    "computedDensity=computeDensity computedViscosity=computeViscosity "
                                    "computedAt20=computedAt20 computedDensityAt20=computeDensityAt20 "
                                    "computedViscosityAt20=computeViscosityAt20 pH=pH heavyWater=isHeavyWater d2o=D2O "
                                    "d2o18=D2O18 "
                                    "h2o18=H2O18 h2o=H2O";
        QTest::newRow("experiment") << "experiment"
                                    << "tc=Tc rpm=RPM sigma=sigma sstart=sstart mgml=mgml sstar=sstar vbar=vbar "
                                       "rho=rho vis=vis mp=Mp mb=Mb calculatedBy=calculatedBy k=sk "
                                       "vbarSource=vbarSource vbarStandard=vbarStandard vbarStandardT=vbarStandardT "
                                       "densitySource=densitySource densityStandard=densityStandard "
                                       "densityStandardT=densityStandardT viscositySource=viscositySource "
                                       "viscosityStandard=viscosityStandard viscosityStandardT=viscosityStandardT "
                                       "velocityTempTyped=sstartTyped rpTyped=rpTyped s20wTyped=s20wTyped "
                                       "vbarWater=vbarWater waterD2o=waterD2O waterD2o18=waterD2O18 "
                                       "waterH2o18=waterH2O18 radiusMethod=radiusMethod";
        QTest::newRow("results") << "results"
                                 << "radius=R vbarRadius=Ro tellerRadius=Rp vbarFrictionRatio=FFo "
                                    "tellerFrictionRatio=FFp vbarFriction=Fo tellerFriction=Fp vbarSmax=So "
                                    "tellerSmax=Sp vbarDmax=Do tellerDmax=Dp vbarDelta1=Delta1v tellerDelta1=Delta1t "
                                    "vbarAxialRatio=abv tellerAxialRatio=abt vbarSemiAxisA=av tellerSemiAxisA=at "
                                    "vbarSemiAxisB=bv tellerSemiAxisB=bt method=method option=options "
                                    "optionValue=options_value shape=shape hydrationValue=hydrationValue "
                                    "hydrationExpansion=hydrationExpansion";
    }
    void eachFieldLandsInItsColumn()
    {
        QFETCH(QString, table);
        QFETCH(QString, columns);
        TestDatabase db;
        QVERIFY(db.isValid());
        QMap<QString, QString> columnOf;
        for (const QString &pair : columns.split(' '))
            columnOf.insert(pair.section('=', 0, 0), pair.section('=', 1));
        const QStringList names = columnOf.values();
        QStringList values;
        for (const QString &column : names)
            values << "'column " + column + "'";
        QVERIFY(db.exec(QStringLiteral("INSERT INTO %1 (name, %2) VALUES ('By hand', %3)")
                            .arg(table, names.join(", "), values.join(", "))));
        if (table == "sample")
            landsInItsColumn<SqlSampleRecord>(db, table, columnOf, &SqlRecords::loadSample, &SqlRecords::saveSample);
        else if (table == "buffer")
            landsInItsColumn<SqlSolventRecord>(db, table, columnOf, &SqlRecords::loadSolvent, &SqlRecords::saveSolvent);
        else if (table == "experiment")
            landsInItsColumn<SqlExperimentRecord>(
                db, table, columnOf, &SqlRecords::loadExperiment, &SqlRecords::saveExperiment);
        else
            landsInItsColumn<SqlResultsRecord>(db, table, columnOf, &SqlRecords::loadResults, &SqlRecords::saveResults);
    }

    // A run without an equilibrium speed, or without sigma, is stored as the format stores it (0.0), which the
    // format's own readers take as a number, never as NULL; read back, they are none.
    void noSpeedOrSigmaIsStoredAsTheFormatStoresIt_data()
    {
        QTest::addColumn<QVariant>("rpm");
        QTest::addColumn<QVariant>("sigma");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("read"); // rpm and sigma, NULL for none
        const QVariant none(QVariant::Double);
        QTest::newRow("none") << none << none << "real 0.0 real 0.0"
                              << "NULL NULL";
        QTest::newRow("speed 0") << QVariant(0.0) << none << "real 0.0 real 0.0"
                                 << "NULL NULL";
        QTest::newRow("a speed and sigma") << QVariant(20000.0) << QVariant(1.25) << "real 20000.0 real 1.25"
                                           << "20000 1.25";
    }
    void noSpeedOrSigmaIsStoredAsTheFormatStoresIt()
    {
        QFETCH(QVariant, rpm);
        QFETCH(QVariant, sigma);
        QFETCH(QString, stored);
        QFETCH(QString, read);
        TestDatabase db;
        QVERIFY(db.isValid());
        SqlRecords records(db.database());
        SqlExperimentRecord run;
        run.name = QStringLiteral("Velocity");
        run.rpm = rpm;
        run.sigma = sigma;
        int id = -1;
        QVERIFY2(records.saveExperiment(run, -1, &id), qPrintable(records.error()));
        QVERIFY2(records.saveExperiment(run, id, &id), qPrintable(records.error()));
        QCOMPARE(db.value("SELECT typeof(RPM)||' '||RPM||' '||typeof(sigma)||' '||sigma FROM experiment").toString(),
            stored);
        SqlExperimentRecord back;
        QVERIFY(records.loadExperiment(id, &back));
        const auto text
            = [](const QVariant &value) { return value.isNull() ? QStringLiteral("NULL") : value.toString(); };
        QCOMPARE(text(back.rpm) + ' ' + text(back.sigma), read);
    }

    // A solvent's stamp, which the runs that link it keep: a row written before the figures at 20 C had columns of
    // their own gives the stamp it gave then (no key of theirs), and one that keeps them gives the same whatever run
    // temperature its figures as shown were saved at.
    void aSolventsStampFollowsItsFiguresAt20()
    {
        SqlSolventRecord older = saline(1);
        older.computedDensity = 1.0044;
        older.computedAt20 = 1;
        for (const QString &value : SqlRecords::valuesOf(older))
            QVERIFY2(!value.contains("At20=NULL"), qPrintable(value));
        SqlSolventRecord kept = older;
        kept.computedAt20 = QVariant(QVariant::Int);
        kept.computedDensityAt20 = 1.0044;
        kept.computedViscosityAt20 = 0.01018;
        const QString stamp = SqlRecords::stampOf(SqlRecords::valuesOf(kept));
        kept.computedDensity = 1.00621; // the same buffer at 4 C
        kept.computedViscosity = 0.01590;
        QCOMPARE(SqlRecords::stampOf(SqlRecords::valuesOf(kept)), stamp);
        kept.computedDensityAt20 = 1.0045;
        QVERIFY(SqlRecords::stampOf(SqlRecords::valuesOf(kept)) != stamp);
    }

    // A member of any type counts in the check that each record lists all of its members.
    void everyMemberIsCounted()
    {
        struct Listed
        {
            QString name;
            QVariant listed;
            int id = -1;
            bool flag;
            QVector<int> rows;
        };
        QCOMPARE(int(SqlMemberCount::of<Listed>()), 5);
    }

    // A read that fails gives the database's reason, not the statement's unbound values: a file whose table lacks a
    // column the record reads.
    void aFailedReadGivesTheDatabasesReason_data()
    {
        QTest::addColumn<QString>("column");
        QTest::newRow("sample") << "sample.vbarSource";
        QTest::newRow("sample composition") << "conjugateComposition.count";
        QTest::newRow("solvent") << "buffer.computedAt20";
        QTest::newRow("solvent components") << "bufferComposition.units";
        QTest::newRow("experiment") << "experiment.waterD2O";
        QTest::newRow("results") << "results.hydrationValue";
    }
    void aFailedReadGivesTheDatabasesReason()
    {
        QFETCH(QString, column);
        TestDatabase db;
        QVERIFY(db.isValid());
        const QString table = column.section('.', 0, 0);
        QVERIFY(db.exec("ALTER TABLE " + table + " RENAME COLUMN " + column.section('.', 1) + " TO gone"));
        SqlRecords records(db.database());
        bool read = true;
        if (table == "sample" || table == "conjugateComposition") {
            SqlSampleRecord record;
            read = records.loadSample(1, &record);
        } else if (table == "buffer" || table == "bufferComposition") {
            SqlSolventRecord record;
            read = records.loadSolvent(1, &record);
        } else if (table == "experiment") {
            SqlExperimentRecord record;
            read = records.loadExperiment(1, &record);
        } else {
            SqlResultsRecord record;
            read = records.loadResults(1, &record);
        }
        QVERIFY(!read);
        QVERIFY2(records.driverText().startsWith("no such column: " + column.section('.', 1)),
            qPrintable(records.driverText()));
        QCOMPARE(records.error(), QDir::toNativeSeparators(db.path()) + ":\n" + records.driverText());
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

    // A record another program deleted or made inactive since it was listed is not saved over: the save says so
    // and writes nothing, neither into its row, nor its composition, nor listing it again.
    void aRecordGoneSinceItWasListedIsNotSavedOver_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("gone"); // what the other program did
        for (const char *table : { "sample", "buffer", "experiment", "results" }) {
            QTest::addRow("%s deleted", table) << table << "DELETE FROM %1";
            QTest::addRow("%s made inactive", table) << table << "UPDATE %1 SET active = 0";
        }
    }
    void aRecordGoneSinceItWasListedIsNotSavedOver()
    {
        QFETCH(QString, table);
        QFETCH(QString, gone);
        TestDatabase db;
        QVERIFY(db.isValid());
        SqlRecords records(db.database());
        const auto save = [&](int storedId, int *savedId) {
            if (table == "sample")
                return records.saveSample(lysozyme(), storedId, savedId);
            if (table == "buffer")
                return records.saveSolvent(saline(1), storedId, savedId);
            if (table == "experiment")
                return records.saveExperiment(everyFieldSet<SqlExperimentRecord>(), storedId, savedId);
            return records.saveResults(everyFieldSet<SqlResultsRecord>(), storedId, savedId);
        };
        const auto rows = [&db, &table] {
            QStringList texts;
            for (const QString &t : { table, QStringLiteral("aminoComposition"), QStringLiteral("conjugateComposition"),
                     QStringLiteral("bufferComposition") })
                texts << db.value("SELECT count(*) || '/' || total(active) FROM " + t).toString();
            return texts;
        };
        int id = -1;
        QVERIFY2(save(-1, &id), qPrintable(records.error()));
        QVERIFY(db.exec(gone.arg(table)));
        const QStringList before = rows();
        int again = -1;
        QVERIFY(!save(id, &again));
        QVERIFY2(records.error().contains("no longer in the database file"), qPrintable(records.error()));
        QCOMPARE(rows(), before);
    }

    // A choice column of the file's format holds the object name of the button, as every program that reads the
    // format takes it; a column this program added holds the word. Either form is read as the word.
    void choicesAreStoredInTheFormTheirColumnHolds_data()
    {
        QTest::addColumn<QString>("column"); // table.column
        QTest::addColumn<QString>("word"); // as the record holds it
        QTest::addColumn<QString>("stored");
        for (const TestFormatChoice &c : testFormatChoices())
            QTest::newRow(qPrintable(QString(c.column) + ' ' + c.word)) << c.column << c.word << c.name;
        const char *const added[][2]
            = { { "experiment.vbarSource", "direct" }, { "experiment.densitySource", "standard" },
                  { "experiment.viscositySource", "computed" }, { "experiment.radiusMethod", "vbar" },
                  { "sample.vbarSource", "computed" }, { "buffer.densitySource", "direct" } };
        for (const auto &c : added)
            QTest::newRow(qPrintable(QString(c[0]) + ' ' + c[1])) << c[0] << c[1] << c[1];
    }
    void choicesAreStoredInTheFormTheirColumnHolds()
    {
        QFETCH(QString, column);
        QFETCH(QString, word);
        QFETCH(QString, stored);
        const QString table = column.section('.', 0, 0);
        column = column.section('.', 1);
        TestDatabase db;
        QVERIFY(db.isValid());
        if (table == "sample")
            choiceIsStored<SqlSampleRecord>(
                db, table, column, word, stored, &SqlRecords::saveSample, &SqlRecords::loadSample);
        else if (table == "buffer")
            choiceIsStored<SqlSolventRecord>(
                db, table, column, word, stored, &SqlRecords::saveSolvent, &SqlRecords::loadSolvent);
        else if (table == "experiment")
            choiceIsStored<SqlExperimentRecord>(
                db, table, column, word, stored, &SqlRecords::saveExperiment, &SqlRecords::loadExperiment);
        else
            choiceIsStored<SqlResultsRecord>(
                db, table, column, word, stored, &SqlRecords::saveResults, &SqlRecords::loadResults);
    }

    // Two programs on one file: a save over a record written only while the record is at the version the saving
    // program took. Another program's save in between is not written over: the save says so, writes nothing, and
    // goes on once the version now stored is the one expected.
    void aRecordSavedByAnotherProgramSinceItWasTakenIsNotWrittenOver_data()
    {
        QTest::addColumn<QString>("table");
        for (const char *table : { "sample", "buffer", "experiment", "results" })
            QTest::newRow(table) << table;
    }
    void aRecordSavedByAnotherProgramSinceItWasTakenIsNotWrittenOver()
    {
        QFETCH(QString, table);
        TestDatabase db;
        QVERIFY(db.isValid());
        TestOtherProgram other(db.path());
        QVERIFY(other.isOpen());
        const SqlRecordKind kind = table == "sample" ? SqlRecordKind::Sample
            : table == "buffer"                      ? SqlRecordKind::Solvent
            : table == "experiment"                  ? SqlRecordKind::Experiment
                                                     : SqlRecordKind::Results;
        // Each save gives the record a figure of its own: its pH, temperature or Stokes radius.
        const auto save = [&](SqlRecords &records, double figure, int storedId, int *savedId) {
            if (table == "sample") {
                SqlSampleRecord r = lysozyme();
                r.pH = figure;
                return records.saveSample(r, storedId, savedId);
            }
            if (table == "buffer") {
                SqlSolventRecord r = saline(1);
                r.pH = figure;
                return records.saveSolvent(r, storedId, savedId);
            }
            if (table == "experiment") {
                SqlExperimentRecord r = everyFieldSet<SqlExperimentRecord>();
                r.tc = figure;
                return records.saveExperiment(r, storedId, savedId);
            }
            SqlResultsRecord r = everyFieldSet<SqlResultsRecord>();
            r.radius = figure;
            return records.saveResults(r, storedId, savedId);
        };
        const QString figure = table == "sample" || table == "buffer" ? "pH" : table == "experiment" ? "Tc" : "R";
        const auto storedFigure = [&](int id) {
            return db.value(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3").arg(figure, table).arg(id));
        };

        SqlRecords mine(db.database());
        int id = -1, again = -1;
        QVERIFY2(save(mine, 7.0, -1, &id), qPrintable(mine.error()));
        // What this program took, as its save left it, and what a read gives: the same version.
        QString read;
        QVERIFY(mine.version(kind, id, &read) && !read.isEmpty());
        QCOMPARE(mine.savedVersion(), read);
        QString taken = read;
        // Unchanged since: written.
        mine.expectVersion(taken);
        QVERIFY2(save(mine, 7.1, id, &again) && again == id, qPrintable(mine.error()));
        taken = mine.savedVersion();
        {
            SqlRecords theirs(other.database());
            QVERIFY2(save(theirs, 6.5, id, &again), qPrintable(theirs.error()));
        }
        mine.expectVersion(taken);
        QVERIFY(!save(mine, 7.2, id, &again));
        QVERIFY(mine.savedOverChanged() && !mine.savedOverGone());
        QVERIFY2(mine.error().contains("saved by another program using the database file since this save began. "
                                       "Nothing was written."),
            qPrintable(mine.error()));
        QCOMPARE(storedFigure(id).toDouble(), 6.5);
        // The version now stored, seen and chosen: written over.
        QVERIFY(mine.version(kind, id, &read) && read != taken);
        mine.expectVersion(read);
        QVERIFY2(save(mine, 7.3, id, &again), qPrintable(mine.error()));
        QCOMPARE(storedFigure(id).toDouble(), 7.3);
        // An expected version holds for one save only.
        QVERIFY2(save(mine, 7.4, id, &again), qPrintable(mine.error()));
    }
};

TEST_MAIN(TstSqlRecords)
#include "tst_sql_records.moc"
