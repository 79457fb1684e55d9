#include "app/app_number.h"
#include "gui/gui_vornakel.h"
#include "sql/sql_records.h"

#include "test_log.h"
#include "test_mainwindow.h"
#include "test_recordsteps.h"

#include <QSet>
#include <QtTest>
#include <memory>
#include <set>

namespace {

using Part = TestRecordSteps::Part;

// The rows a record holds beside its fields.
QStringList rowsOf(const SqlSampleRecord &r)
{
    return { QString("aminoAcids=%1").arg(r.aminoAcids.size()), QString("conjugates=%1").arg(r.conjugates.size()) };
}
QStringList rowsOf(const SqlSolventRecord &r)
{
    return { QString("components=%1").arg(r.components.size()) };
}
QStringList rowsOf(const SqlExperimentRecord &)
{
    return {};
}
QStringList rowsOf(const SqlResultsRecord &)
{
    return {};
}

// Each member of a record as "key=value", as the record value holds it, and its rows.
template<typename Record> QStringList valuesOf(const Record &record)
{
    QStringList values;
    for (const SqlField<Record> &field : Record::fields()) {
        if (field.member)
            values << QString::fromLatin1(field.key) + '='
                    + ((record.*field.member).isNull() ? QStringLiteral("NULL") : (record.*field.member).toString());
    }
    return values + rowsOf(record);
}

// Every key a walk must set: the record's fields and rows.
template<typename Record> QSet<QString> walkedKeys()
{
    QSet<QString> keys;
    for (const QString &value : valuesOf(Record()))
        keys << value.section('=', 0, 0);
    return keys;
}

QString valueOf(const QStringList &values, const QString &key)
{
    for (const QString &value : values) {
        if (value.section('=', 0, 0) == key)
            return value.section('=', 1);
    }
    return QStringLiteral("(no such field)");
}

Part partOf(const QString &kind)
{
    return kind == "sample"    ? Part::Sample
        : kind == "solvent"    ? Part::Solvent
        : kind == "experiment" ? Part::Experiment
                               : Part::Results;
}

QString listOf(const QString &kind)
{
    return kind == "sample"    ? "qtSampleName"
        : kind == "solvent"    ? "qtBufferName"
        : kind == "experiment" ? "qtExperimentName"
                               : "qtResultsName";
}

QStringList without(const QStringList &texts, const QStringList &names)
{
    return TestRecordSteps::without(texts, names);
}

} // namespace

// Each tab holds one record: every field of a record comes back after a restart, New and File > New show a new
// record whole, and a record shows the same whatever was shown before it. The window runs on the shipped module.
class TstGuiVornakelRecordValues : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;
    TestRecordSteps steps() { return TestRecordSteps(m_f.get()); }

    // What the window would store of a kind of record now, field by field.
    QStringList captured(const QString &kind) const
    {
        const GuiVornakel *w = m_f->window.get();
        if (kind == "sample")
            return valuesOf(w->sampleShown());
        if (kind == "solvent")
            return valuesOf(w->solventShown());
        if (kind == "experiment")
            return valuesOf(w->experimentShown());
        return valuesOf(w->resultsShown());
    }
    // What a stored record holds, field by field.
    QStringList stored(const QString &kind, const QString &name) const
    {
        SqlRecords records(m_f->db.database());
        const SqlRecordKind recordKind = kind == "sample" ? SqlRecordKind::Sample
            : kind == "solvent"                           ? SqlRecordKind::Solvent
            : kind == "experiment"                        ? SqlRecordKind::Experiment
                                                          : SqlRecordKind::Results;
        int id = -1;
        if (!records.findListed(recordKind, name, &id) || id < 0)
            return { "(not stored)" };
        if (kind == "sample") {
            SqlSampleRecord r;
            records.loadSample(id, &r);
            return valuesOf(r);
        }
        if (kind == "solvent") {
            SqlSolventRecord r;
            records.loadSolvent(id, &r);
            return valuesOf(r);
        }
        if (kind == "experiment") {
            SqlExperimentRecord r;
            records.loadExperiment(id, &r);
            return valuesOf(r);
        }
        SqlResultsRecord r;
        records.loadResults(id, &r);
        return valuesOf(r);
    }

    // One walk: a kind of record, the fields its steps set, and the steps.
    struct Walk
    {
        const char *name;
        QString kind;
        QStringList keys;
        QString state;
        QString before = QString();
        QStringList ignored = QStringList();
    };
    static QVector<Walk> walks();

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->db.isValid());
    }
    void cleanup() { m_f.reset(); }

    // Every not-stored field says why in the one list of its record.
    void everyFieldIsStoredOrSaysWhyNot()
    {
        auto check = [](const auto &fields) {
            for (const auto &field : fields)
                QVERIFY2(field.column || (field.why && *field.why && !field.member), field.key);
        };
        check(SqlSampleRecord::fields());
        check(SqlSolventRecord::fields());
        check(SqlExperimentRecord::fields());
        check(SqlResultsRecord::fields());
    }

    // Every field of each record set away from what a new record holds through the real widgets, saved, the
    // program started again and the record loaded: the window shows it again as it was. Then New, and File > New
    // after loading it once more, show what a fresh window shows.
    void everyFieldComesBackAndGoes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("keys"); // the fields the steps set
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("before"); // the same run temperature before the load
        QTest::addColumn<QStringList>("ignored"); // what the record cannot keep
        for (const Walk &walk : walks())
            QTest::newRow(walk.name) << walk.kind << walk.keys << walk.state << walk.before << walk.ignored;
    }
    void everyFieldComesBackAndGoes()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, keys);
        QFETCH(QString, state);
        QFETCH(QString, before);
        QFETCH(QStringList, ignored);
        const Part part = partOf(kind);
        const QString list = listOf(kind);
        QVERIFY(m_f->start());
        const QStringList fresh = steps().shown(part);
        const QStringList freshExperiment = steps().shown(Part::Experiment);
        const QStringList newRecord = captured(kind);
        steps().steps(state);
        QVERIFY(!QTest::currentTestFailed());
        steps().step("save " + kind + "=Walk");
        // Each field the steps set is stored away from what a new record holds.
        const QStringList walk = stored(kind, "Walk");
        for (const QString &key : keys)
            QVERIFY2(valueOf(walk, key) != valueOf(newRecord, key) && valueOf(walk, key) != "(no such field)",
                qPrintable(key + " stored as " + valueOf(walk, key)));
        const QStringList saved = without(steps().shown(part), ignored);

        steps().steps("restart;" + before + "; load " + list + "=Walk");
        QStringList changed = TestRecordSteps::differences(saved, without(steps().shown(part), ignored));
        QVERIFY2(changed.isEmpty(), qPrintable("loaded: " + changed.join("; ")));

        // k belongs to the run: a new sample leaves it. A new experiment leaves the sample and solvent.
        const QStringList notNew = kind == "sample" ? QStringList { "qtSedVelocityK" } : QStringList();
        const Part newPart = kind == "experiment" ? Part::Experiment : part;
        const QStringList freshNew = kind == "experiment" ? freshExperiment : fresh;
        steps().step(kind == "results" ? "new" : "load " + list + "=New");
        changed = TestRecordSteps::differences(without(freshNew, notNew), without(steps().shown(newPart), notNew));
        QVERIFY2(changed.isEmpty(), qPrintable("new: " + changed.join("; ")));
        steps().steps("load " + list + "=Walk; new");
        changed = TestRecordSteps::differences(fresh, steps().shown(part));
        QVERIFY2(changed.isEmpty(), qPrintable("File > New: " + changed.join("; ")));
    }

    // Varied stored records of every kind, linked and not: loading any one of them after any other shows exactly
    // what loading it into a fresh window shows. A sample or solvent is compared without its figures at the run
    // temperature (the run loaded before gives that); what the window would store of it is compared whole, but
    // for those figures of a solvent.
    void aRecordShowsTheSameWhateverCameBefore()
    {
        QVERIFY(m_f->start());
        steps().steps(
            "sql UPDATE denature SET rhomin = 1.12, v3 = 0.75, g3 = 0.1 WHERE Name = 'Urea';"
            "counts ALA=12,ARG=11,ASN=14,ASP=7,GLN=3,GLU=2,GLY=12,HIS=1,ILE=6,LEU=8,LYS=6,MET=2,PHE=3,PRO=2,SER=10,"
            "THR=7,TRP=6,TYR=3,VAL=6,CY2=4; save sample=HEWL; new;"
            "residues LYS=6,ASP=3,ALA=8; toggle qtMakeOligomer; type qtStackComposition/qtOligomerN=3; pkas 7.7/3.3;"
            "toggle qtTitrableAmino; ok; save sample=Trimer; new;"
            "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.72; save sample=Typed; new;"
            "residues ALA=12,LYS=6,TRP=6; denaturant Urea; ok; save sample=Urea; new;"
            "buffer Sodium chloride=0.15; save solvent=Salt; new;"
            "buffer Sodium chloride=0.15; heavy 50; save solvent=Heavy; new;"
            "tab qtTabSolvent; std qtDensityStandard=1.0200@25; std qtViscosityStandard=0.01200@25;"
            "save solvent=Standard; new;"
            "load qtSampleName=HEWL; load qtBufferName=Salt; tab qtTabExperiment; type qtSedEquilibriumTemp=10;"
            "type qtSedVelocityCoefficient=1.9; tab qtTabResults; click qtHydrateComputed; save results=R computed;"
            "save experiment=Linked+sample+solvent+results;"
            "tab qtTabResults; click qtVbarMethod; click qtHydrateProlate; type qtHydrateRatio=2;"
            "save results=R prolate; click qtHydrateOblate; click qtTellerMethod; save results=R oblate;"
            "click qtHydrateDelta1; type qtHydrateRatio=0.3; click qtShapeCylinder; click qtVbarMethod;"
            "save results=R delta; click qtHydrateNothing; click qtShapeOblate; save results=R nothing; new;"
            "tab qtTabExperiment; click qtFromSigma; type qtSedEquilibriumTemp=25; type qtSedEquilibriumRPM=12000;"
            "type qtSedEquilibriumSigma=1.075; type qtSedVelocityCoefficient=4.2; type qtSedVelocityConcentration=2;"
            "type qtSedVelocityK=0.02; tab qtTabSample; std qtVbarStandard=0.734@20; tab qtTabResults;"
            "click qtVbarMethod; save experiment=Plain; new;"
            "load qtSampleName=Typed; load qtBufferName=Heavy; tab qtTabExperiment; type qtSedEquilibriumTemp=4;"
            "type qtSedEquilibriumMR=66000; type qtSedVelocityCoefficient=4.2;"
            "override qtExperimentResultsS=5e-13; type qtExperimentResultsS=5.5e-13;"
            "save experiment=Heavy run+sample+solvent; new;"
            "buffer Sodium chloride=0.15; heavy 50; tab qtTabSolvent; std qtDensityStandard=1.0600@25;"
            "std qtViscosityStandard=0.01300@25; save solvent=Heavy standard; new;"
            // A run whose sample, solvent and results have gone since, and one whose sample was saved over.
            "residues ALA=10,LYS=3; ok; save sample=Gone sample; buffer Sodium chloride=0.3; heavy 20;"
            "save solvent=Gone solvent; tab qtTabExperiment; type qtSedEquilibriumTemp=8;"
            "type qtSedEquilibriumMR=30000; type qtSedVelocityCoefficient=2.5; tab qtTabResults;"
            "save results=Gone results; save experiment=Orphan+sample+solvent+results; new;"
            "sql UPDATE sample SET active = 0 WHERE name = 'Gone sample';"
            "sql UPDATE buffer SET active = 0 WHERE name = 'Gone solvent';"
            "sql UPDATE results SET active = 0 WHERE name = 'Gone results';"
            "residues ALA=12,ARG=11,LYS=6,TRP=6; ok; save sample=Over; tab qtTabExperiment;"
            "type qtSedEquilibriumTemp=4; type qtSedVelocityCoefficient=1.9; save experiment=Overwritten+sample;"
            "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.71; save sample=Over+!Save");
        QVERIFY(!QTest::currentTestFailed());
        const QVector<QPair<QString, QString>> records = { { "sample", "HEWL" }, { "sample", "Trimer" },
            { "sample", "Typed" }, { "sample", "Urea" }, { "solvent", "Salt" }, { "solvent", "Heavy" },
            { "solvent", "Standard" }, { "results", "R computed" }, { "results", "R prolate" },
            { "results", "R oblate" }, { "results", "R delta" }, { "results", "R nothing" }, { "experiment", "Linked" },
            { "experiment", "Plain" }, { "experiment", "Heavy run" }, { "solvent", "Heavy standard" },
            { "experiment", "Orphan" }, { "experiment", "Overwritten" } };
        // Shown first: showing the tabs brings the Results tab up to date.
        const auto view = [this](const QString &kind) {
            QStringList texts;
            if (kind == "sample")
                texts = without(steps().shown(Part::Sample), { "qtSampleVbar" });
            else if (kind == "solvent")
                texts = without(steps().shown(Part::Solvent),
                    { "qtBufferDensity", "qtBufferViscosity", "qtCorrectedDensity", "qtCorrectedViscosity" });
            else if (kind == "results")
                texts = without(steps().shown(Part::Results), { "computed hydration offered" });
            else
                texts = steps().shown(Part::All) + captured("sample") + captured("solvent") + captured("experiment");
            if (kind == "solvent")
                return texts + without(captured(kind), { "computedDensity", "computedViscosity" });
            return texts + captured(kind == "experiment" ? "results" : kind);
        };
        const auto load = [&](int i) { steps().step("load " + listOf(records[i].first) + "=" + records[i].second); };
        QVector<QStringList> fresh;
        for (int i = 0; i < records.size(); ++i) {
            steps().step("restart");
            load(i);
            fresh << view(records[i].first);
        }

        // Every ordered pair of loads in one window: from each record to every other one still owed.
        steps().step("restart");
        std::set<std::pair<int, int>> owed; // ordered: the same walk on every run
        for (int a = 0; a < records.size(); ++a)
            for (int b = 0; b < records.size(); ++b)
                if (a != b)
                    owed.insert({ a, b });
        QStringList faults;
        int current = 0;
        load(current);
        while (!owed.empty()) {
            int next = -1;
            for (int b = 0; b < records.size() && next < 0; ++b)
                if (owed.count({ current, b }))
                    next = b;
            if (next < 0) // all owed from here: go on from a record that still owes
                next = owed.begin()->first == current ? owed.begin()->second : owed.begin()->first;
            owed.erase({ current, next });
            load(next);
            const QStringList changed = TestRecordSteps::differences(fresh[next], view(records[next].first));
            if (!changed.isEmpty()) {
                faults << records[next].second + " after " + records[current].second;
                qWarning("%s after %s: %s", qPrintable(records[next].second), qPrintable(records[current].second),
                    qPrintable(changed.join("; ")));
            }
            current = next;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(QString::number(faults.size()) + " loads differ: " + faults.join(", ")));
    }

    // The walks of the test above set every field and row each record holds: one added later is walked too.
    void everyFieldIsWalked()
    {
        QHash<QString, QSet<QString>> walked;
        for (const Walk &walk : walks())
            walked[walk.kind] += QSet<QString>(walk.keys.begin(), walk.keys.end());
        QCOMPARE(walked.value("sample"), walkedKeys<SqlSampleRecord>());
        // No save writes the mark of the release that kept a solvent's figures at 20 C in place of those shown;
        // its rows are read by tst_gui_buffercomponents and tst_gui_vornakel_figures.
        QCOMPARE(walked.value("solvent") + QSet<QString> { "computedAt20" }, walkedKeys<SqlSolventRecord>());
        QCOMPARE(walked.value("experiment"), walkedKeys<SqlExperimentRecord>());
        QCOMPARE(walked.value("results"), walkedKeys<SqlResultsRecord>());
    }
};

QVector<TstGuiVornakelRecordValues::Walk> TstGuiVornakelRecordValues::walks()
{
    const QString hewl = "counts ALA=12,ARG=11,ASN=14,ASP=7,GLN=3,GLU=2,GLY=12,HIS=1,ILE=6,LEU=8,LYS=6,MET=2,PHE=3,"
                         "PRO=2,SER=10,THR=7,TRP=6,TYR=3,VAL=6,CY2=4";
    const QString run = "tab qtTabExperiment; type qtSedEquilibriumMR=14300; type qtSedVelocityCoefficient=1.9";

    const QString figures = "radius, vbarRadius, tellerRadius, vbarFrictionRatio, tellerFrictionRatio, "
                            "vbarFriction, tellerFriction, vbarSmax, tellerSmax, vbarDmax, tellerDmax, vbarDelta1, "
                            "tellerDelta1, vbarAxialRatio, tellerAxialRatio, vbarSemiAxisA, tellerSemiAxisA, "
                            "vbarSemiAxisB, tellerSemiAxisB";
    return {
        { "sample: a typed vbar", "sample", QStringList { "vbarSource", "vbarDirect" },
            "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.7312" },
        { "sample: a standard vbar", "sample", QStringList { "vbarStandard", "vbarStandardT" },
            "tab qtTabSample; std qtVbarStandard=0.741@25" },
        { "sample: a composition", "sample",
            QStringList { "vbarSource", "calculatedVbar", "calculatedMr", "calculatedHydration", "calculations",
                "sequence", "aminoAcids" },
            hewl },
        { "sample: a conjugate", "sample", QStringList { "conjugates" },
            "residues ALA=10; conjugate D-Glucose (residue)=2; ok" },
        { "sample: a Calculate box off, the Mr typed", "sample", QStringList { "calculations" },
            hewl + "; click qtFromComposition; box qtCalculateMr=off; box qtCalculateHydration=off; ok" },
        { "sample: a denaturant, a pH and an oligomer", "sample", QStringList { "denaturant", "pH", "nMer" },
            "residues ALA=10,LYS=3; denaturant Urea; type qtStackComposition/qtpH=6.8; toggle qtMakeOligomer; type "
            "qtOligomerN=3; ok" },
        { "sample: the end groups", "sample",
            QStringList { "pkaAmino", "pkaCarboxyl", "titratableAmino", "titratableCarboxyl" },
            "residues LYS=6,ASP=3; pkas 7.7/3.3; toggle qtTitrableAmino; toggle qtTitrableCarboxyl; ok" },
        { "sample: k", "sample", QStringList { "sk" }, "tab qtTabExperiment; type qtSedVelocityK=0.015" },
        { "sample: a pasted sequence", "sample", QStringList { "sequence" },
            "paste KVFGRCELAAAMKRHGLDNYRGYSLGNWVCAAKFESNFNTQ" },
        { "solvent: typed figures", "solvent",
            QStringList { "densitySource", "viscositySource", "densityDirect", "viscosityDirect" },
            "tab qtTabSolvent; click qtDensityDirectEntry; type qtBufferDensity=1.012; click qtViscosityDirectEntry;"
            "type qtBufferViscosity=0.0109" },
        { "solvent: standard figures", "solvent",
            QStringList { "densityStandard", "densityStandardT", "viscosityStandard", "viscosityStandardT" },
            "tab qtTabSolvent; std qtDensityStandard=1.0200@25; std qtViscosityStandard=0.01200@25" },
        { "solvent: computed at 8 C", "solvent",
            QStringList { "densitySource", "viscositySource", "computedDensity", "computedViscosity",
                "computedDensityAt20", "computedViscosityAt20", "components" },
            "tab qtTabExperiment; type qtSedEquilibriumTemp=8; buffer Sodium chloride=0.15",
            "tab qtTabExperiment; type qtSedEquilibriumTemp=8" },
        { "solvent: heavy water", "solvent", QStringList { "heavyWater", "d2o", "d2o18", "h2o18", "h2o" },
            "buffer Sodium chloride=0.15; heavy 40/5/3" },
        { "solvent: pH", "solvent", QStringList { "pH" }, "tab qtTabSolvent; type qtBufferpH=6.5" },
        { "solvent: standard figures in heavy water", "solvent",
            QStringList {
                "densityStandard", "densityStandardT", "viscosityStandard", "viscosityStandardT", "heavyWater", "d2o" },
            "tab qtTabExperiment; type qtSedEquilibriumTemp=8; buffer Sodium chloride=0.15; heavy 50;"
            "tab qtTabSolvent; std qtDensityStandard=1.0600@25; std qtViscosityStandard=0.01300@25",
            "tab qtTabExperiment; type qtSedEquilibriumTemp=8" },
        { "experiment: equilibrium at speed", "experiment", QStringList { "tc", "rpm", "sigma", "mp", "mb" },
            "tab qtTabExperiment; type qtSedEquilibriumTemp=10; type qtSedEquilibriumRPM=20000;"
            "type qtSedEquilibriumMR=14300" },
        { "experiment: Mr from sigma", "experiment", QStringList { "calculatedBy", "sigma", "mp", "rpm" },
            "tab qtTabExperiment; click qtFromSigma; type qtSedEquilibriumRPM=20000;"
            "type qtSedEquilibriumSigma=1.2" },
        { "experiment: velocity", "experiment", QStringList { "sstart", "velocityTempTyped", "mgml", "sstar", "k" },
            "tab qtTabExperiment; type qtSedVelocityTemp=15; type qtSedVelocityConcentration=2;"
            "type qtSedVelocityCoefficient=4.2; type qtSedVelocityK=0.012" },
        { "experiment: typed sources", "experiment",
            QStringList { "vbarSource", "densitySource", "viscositySource", "vbar", "rho", "vis" },
            "tab qtTabSample; click qtVbarDirectEntry; type qtSampleVbar=0.74; tab qtTabSolvent;"
            "click qtDensityDirectEntry; type qtBufferDensity=1.01; click qtViscosityDirectEntry;"
            "type qtBufferViscosity=0.0105" },
        { "experiment: standard sources", "experiment",
            QStringList { "vbarStandard", "vbarStandardT", "densityStandard", "densityStandardT", "viscosityStandard",
                "viscosityStandardT" },
            "tab qtTabSample; std qtVbarStandard=0.741@25; tab qtTabSolvent; std qtDensityStandard=1.0200@25;"
            "std qtViscosityStandard=0.01200@25" },
        { "experiment: a radius and s20,w typed", "experiment", QStringList { "rpTyped", "s20wTyped" },
            run + "; override qtExperimentResultsS=3.5e-13; override qtExperimentResultsRp=3e-07" },
        { "experiment: a typed s20,w edited again", "experiment", QStringList { "s20wTyped" },
            run + "; override qtExperimentResultsS=3.5e-13; type qtExperimentResultsS=3.6e-13" },
        { "experiment: the composition's vbar in water", "experiment", QStringList { "vbarWater" }, hewl + ";" + run },
        // Without its solvent the run keeps the water its figures were carried in to the velocity temperature.
        { "experiment: a buffer in heavy water", "experiment", QStringList { "waterD2o", "waterD2o18", "waterH2o18" },
            "buffer Sodium chloride=0.15; heavy 40/5/3;" + run + "; type qtSedVelocityTemp=10" },
        { "experiment: the radius by the vbar", "experiment", QStringList { "radiusMethod" },
            run + "; tab qtTabResults; click qtVbarMethod" },
        { "results: figures of the vbar method, prolate", "results",
            QString(figures + ", method, option, optionValue").split(", "),
            run + "; tab qtTabResults; click qtVbarMethod; click qtHydrateProlate; type qtHydrateRatio=2" },
        { "results: a cylinder, computed hydration", "results",
            QStringList { "shape", "option", "hydrationValue", "hydrationExpansion" },
            hewl + ";" + run + "; tab qtTabResults; click qtHydrateComputed; click qtShapeCylinder" },
    };
}

TEST_MAIN(TstGuiVornakelRecordValues)
#include "tst_gui_vornakel_recordvalues.moc"
