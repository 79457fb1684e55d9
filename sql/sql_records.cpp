#include "sql/sql_records.h"

#include "app/app_log.h"
#include "sql/sql_transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

QString tableOf(SqlRecordKind kind)
{
    switch (kind) {
    case SqlRecordKind::Sample:
        return QStringLiteral("sample");
    case SqlRecordKind::Solvent:
        return QStringLiteral("buffer");
    case SqlRecordKind::Experiment:
        return QStringLiteral("experiment");
    case SqlRecordKind::Results:
        return QStringLiteral("results");
    }
    return QString();
}

// A link column: NULL means no link, as -1 does (no record has the id 0).
int linkId(const QVariant &value)
{
    return value.isNull() ? -1 : value.toInt();
}

// Prepared unless it already is: the importer runs one statement for many records.
bool prepareOnce(QSqlQuery &query, const QString &sql)
{
    return query.lastQuery() == sql || query.prepare(sql);
}

// Rolls the save back with the failed statement's error; the statement goes to the log.
bool failSave(SqlTransaction &transaction, QSqlQuery &query, QString *error)
{
    qCWarning(lcSql).noquote() << query.executedQuery();
    transaction.fail(query);
    *error = transaction.error();
    return false;
}

bool commitSave(SqlTransaction &transaction, QString *error)
{
    if (transaction.commit())
        return true;
    *error = transaction.error();
    return false;
}

const char *const solventInsert
    = "INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry, densityStandard, "
      "viscosityStandard, densityStandardT, viscosityStandardT, computeDensity, "
      "computeViscosity, pH, isHeavyWater, D2O, D2O18, H2O18, H2O, active) VALUES (:name, "
      ":densityDirectEntry, :viscosityDirectEntry, :densityStandard, :viscosityStandard, "
      ":densityStandardT, :viscosityStandardT, :computeDensity, :computeViscosity, :pH, "
      ":isHeavyWater, :d2o, :D2O18, :h2o18, :H2O, :active)";

const char *const solventUpdate = "UPDATE buffer SET name = :name, densityDirectEntry = :densityDirectEntry, "
                                  "viscosityDirectEntry = :viscosityDirectEntry, densityStandard = :densityStandard, "
                                  "viscosityStandard = :viscosityStandard, densityStandardT = :densityStandardT, "
                                  "viscosityStandardT = :viscosityStandardT, computeDensity = :computeDensity, "
                                  "computeViscosity = :computeViscosity, pH = :pH, isHeavyWater = :isHeavyWater, "
                                  "D2O = :d2o, D2O18 = :D2O18, H2O18 = :h2o18, H2O = :H2O, active = :active "
                                  "WHERE id = :bufId";

bool writeCounts(QSqlQuery &query, const QString &sql, int sampleId, const QVector<SqlSampleRecord::Count> &counts)
{
    if (counts.isEmpty())
        return true;
    if (!query.prepare(sql))
        return false;
    for (const SqlSampleRecord::Count &count : counts) {
        query.bindValue(QStringLiteral(":sampleid"), sampleId);
        query.bindValue(QStringLiteral(":id"), count.id);
        query.bindValue(QStringLiteral(":count"), count.count);
        query.bindValue(QStringLiteral(":active"), 1);
        if (!query.exec())
            return false;
    }
    return true;
}

bool readCounts(QSqlQuery &query, const QString &sql, int sampleId, QVector<SqlSampleRecord::Count> *counts)
{
    query.prepare(sql);
    query.bindValue(QStringLiteral(":id"), sampleId);
    if (!query.exec())
        return false;
    while (query.next())
        counts->append({ query.value(0), query.value(1) });
    return true;
}

} // namespace

SqlRecords::SqlRecords(const QSqlDatabase &db) : m_db(db) { }

bool SqlRecords::save(int *savedId, const std::function<bool(QSqlQuery &, int *)> &write)
{
    SqlTransaction transaction(m_db);
    if (!transaction.isOpen()) {
        m_error = transaction.error();
        return false;
    }
    int id = -1;
    {
        QSqlQuery query(m_db);
        if (!write(query, &id))
            return failSave(transaction, query, &m_error);
    }
    if (!commitSave(transaction, &m_error))
        return false;
    *savedId = id;
    return true;
}

bool SqlRecords::readFailed(QSqlQuery &query)
{
    m_driverText = query.lastError().text();
    m_error = SqlTransaction::report(m_db, m_driverText);
    return false;
}

// Record lists

bool SqlRecords::list(SqlRecordKind kind, Order order, bool withDates, QVector<Entry> *entries)
{
    QString sql = QStringLiteral("SELECT id, name%1 FROM %2 WHERE active > 0 ")
                      .arg(withDates ? QStringLiteral(", modified") : QString(), tableOf(kind));
    if (order == Order::ByName)
        sql += QLatin1String("ORDER BY name");
    else if (order == Order::ByDate)
        sql += QLatin1String("ORDER BY modified");
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return readFailed(query);
    while (query.next())
        entries->append({ query.value(0), query.value(1).toString(), withDates ? query.value(2) : QVariant() });
    return true;
}

bool SqlRecords::anyListed(SqlRecordKind kind, bool *any)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT 1 FROM %1 WHERE active > 0 LIMIT 1").arg(tableOf(kind))))
        return readFailed(query);
    *any = query.next();
    return true;
}

QVariant SqlRecords::modified(SqlRecordKind kind, int id)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT modified FROM %1 WHERE id = :id").arg(tableOf(kind)));
    query.bindValue(QStringLiteral(":id"), id);
    if (query.exec() && query.next())
        return query.value(0);
    return QVariant();
}

// Samples

bool SqlRecords::saveSample(const SqlSampleRecord &record, int storedId, int *savedId)
{
    return save(savedId, [&](QSqlQuery &query, int *sampleId) {
        *sampleId = storedId;
        if (storedId < 0) {
            query.prepare(QStringLiteral(
                "INSERT INTO sample (name, VBarDirectEntry, VBarStandard, VbarStandardT, calcVBar, calcMr, "
                "calcHydration, useDenaturant, sk, pkaamino, pkacarboxl, pH, nMer, aminoSequence, "
                "aminoSequenceCodeSize) VALUES (:name, :vbarDirect, :vbarStandard, :vbarStandardT, :vbarCalc, :mr, "
                ":hydration, :denaturant, :sk, :pkaamino, :pkacarboxl, :pH, :nMer, :sequence, :sequenceCodeSize)"));
        } else {
            query.prepare(QStringLiteral(
                "UPDATE sample SET name = :name, VBarDirectEntry = :vbarDirect, VBarStandard = :vbarStandard, "
                "VbarStandardT = :vbarStandardT, calcVBar = :vbarCalc, calcMr = :mr, calcHydration = :hydration, "
                "useDenaturant = :denaturant, sk = :sk, pkaamino = :pkaamino, pkacarboxl = :pkacarboxl, pH = :pH, "
                "nMer = :nMer, aminoSequence = :sequence, aminoSequenceCodeSize = :sequenceCodeSize WHERE id = :id"));
            query.bindValue(QStringLiteral(":id"), storedId);
        }
        query.bindValue(QStringLiteral(":name"), record.name);
        query.bindValue(QStringLiteral(":vbarDirect"), record.vbarDirect);
        query.bindValue(QStringLiteral(":vbarStandard"), record.vbarStandard);
        query.bindValue(QStringLiteral(":vbarStandardT"), record.vbarStandardT);
        query.bindValue(QStringLiteral(":vbarCalc"), record.calculatedVbar);
        query.bindValue(QStringLiteral(":mr"), record.calculatedMr);
        query.bindValue(QStringLiteral(":hydration"), record.calculatedHydration);
        query.bindValue(QStringLiteral(":denaturant"), record.denaturant);
        query.bindValue(QStringLiteral(":sk"), record.sk);
        query.bindValue(QStringLiteral(":pkaamino"), record.pkaAmino);
        query.bindValue(QStringLiteral(":pkacarboxl"), record.pkaCarboxyl);
        query.bindValue(QStringLiteral(":pH"), record.pH);
        query.bindValue(QStringLiteral(":nMer"), record.nMer);
        query.bindValue(QStringLiteral(":sequence"), record.sequence);
        query.bindValue(QStringLiteral(":sequenceCodeSize"), 1);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *sampleId = query.lastInsertId().toInt();

        if (storedId >= 0) {
            // The earlier composition stays in the file, inactive, as deleted records do.
            for (const char *sql : { "UPDATE aminoComposition SET active = 0 WHERE sampleId = :sampleid",
                     "UPDATE conjugateComposition SET active = 0 WHERE sampleId = :sampleid" }) {
                query.prepare(QString::fromLatin1(sql));
                query.bindValue(QStringLiteral(":sampleid"), *sampleId);
                if (!query.exec())
                    return false;
            }
        }
        return writeCounts(query,
                   QStringLiteral("INSERT INTO aminoComposition (sampleId, aminoId, count, active) VALUES (:sampleid, "
                                  ":id, :count, :active)"),
                   *sampleId, record.aminoAcids)
            && writeCounts(query,
                QStringLiteral("INSERT INTO conjugateComposition (sampleId, conjugateId, count, active) VALUES "
                               "(:sampleid, :id, :count, :active)"),
                *sampleId, record.conjugates);
    });
}

bool SqlRecords::loadSample(int id, SqlSampleRecord *record, bool *found)
{
    *record = SqlSampleRecord();
    if (found)
        *found = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT name, VBarDirectEntry, VBarStandard, VbarStandardT, calcVBar, calcMr, "
                                 "calcHydration, useDenaturant, sk, pkaamino, pkacarboxl, pH, nMer, aminoSequence "
                                 "FROM sample WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return readFailed(query);
    if (query.next()) {
        if (found)
            *found = true;
        record->name = query.value(0).toString();
        QVariant *const columns[] = { &record->vbarDirect, &record->vbarStandard, &record->vbarStandardT,
            &record->calculatedVbar, &record->calculatedMr, &record->calculatedHydration, &record->denaturant,
            &record->sk, &record->pkaAmino, &record->pkaCarboxyl, &record->pH, &record->nMer, &record->sequence };
        for (int i = 0; i < 13; ++i)
            *columns[i] = query.value(i + 1);
    }
    query.finish();
    if (!readCounts(query,
            QStringLiteral("SELECT aminoId, count FROM aminoComposition WHERE sampleId = :id AND active > 0"), id,
            &record->aminoAcids)
        || !readCounts(query,
            QStringLiteral("SELECT conjugateId, count FROM conjugateComposition WHERE sampleId = :id AND active > 0"),
            id, &record->conjugates))
        return readFailed(query);
    return true;
}

// Solvents

bool SqlRecords::prepareNewSolvent(QSqlQuery &query)
{
    return query.prepare(QLatin1String(solventInsert));
}

bool SqlRecords::writeSolvent(QSqlQuery &query, const SqlSolventRecord &record, int storedId, QVariant *id)
{
    if (!prepareOnce(query, QLatin1String(storedId < 0 ? solventInsert : solventUpdate)))
        return false;
    if (storedId >= 0)
        query.bindValue(QStringLiteral(":bufId"), storedId);
    query.bindValue(QStringLiteral(":name"), record.name);
    query.bindValue(QStringLiteral(":densityDirectEntry"), record.densityDirect);
    query.bindValue(QStringLiteral(":viscosityDirectEntry"), record.viscosityDirect);
    query.bindValue(QStringLiteral(":densityStandard"), record.densityStandard);
    query.bindValue(QStringLiteral(":viscosityStandard"), record.viscosityStandard);
    query.bindValue(QStringLiteral(":densityStandardT"), record.densityStandardT);
    query.bindValue(QStringLiteral(":viscosityStandardT"), record.viscosityStandardT);
    query.bindValue(QStringLiteral(":computeDensity"), record.computedDensity);
    query.bindValue(QStringLiteral(":computeViscosity"), record.computedViscosity);
    query.bindValue(QStringLiteral(":pH"), record.pH);
    query.bindValue(QStringLiteral(":isHeavyWater"), record.heavyWater);
    query.bindValue(QStringLiteral(":d2o"), record.d2o);
    query.bindValue(QStringLiteral(":D2O18"), record.d2o18);
    query.bindValue(QStringLiteral(":h2o18"), record.h2o18);
    query.bindValue(QStringLiteral(":H2O"), record.h2o);
    query.bindValue(QStringLiteral(":active"), 1);
    if (!query.exec())
        return false;
    *id = storedId >= 0 ? QVariant(storedId) : query.lastInsertId();
    return true;
}

bool SqlRecords::writeComponents(
    QSqlQuery &query, const QVariant &bufferId, const QVector<SqlSolventRecord::Component> &components)
{
    if (!prepareOnce(query,
            QStringLiteral("INSERT INTO bufferComposition (bufferId, componentId, concentration, units, active) "
                           "VALUES (:bufId, :compId, :concentration, :units, :active)")))
        return false;
    for (const SqlSolventRecord::Component &component : components) {
        query.bindValue(QStringLiteral(":bufId"), bufferId);
        query.bindValue(QStringLiteral(":compId"), component.id);
        query.bindValue(QStringLiteral(":concentration"), component.concentration);
        query.bindValue(QStringLiteral(":units"), component.units);
        query.bindValue(QStringLiteral(":active"), 1);
        if (!query.exec())
            return false;
    }
    return true;
}

bool SqlRecords::saveSolvent(const SqlSolventRecord &record, int storedId, int *savedId)
{
    return save(savedId, [&](QSqlQuery &query, int *bufferId) {
        QVariant id;
        if (!writeSolvent(query, record, storedId, &id))
            return false;
        *bufferId = id.toInt();
        // The earlier components stay as inactive rows; the buffer shown is written anew.
        query.prepare(QStringLiteral("UPDATE bufferComposition SET active = 0 WHERE bufferId = :bufferId"));
        query.bindValue(QStringLiteral(":bufferId"), *bufferId);
        return query.exec() && writeComponents(query, *bufferId, record.components);
    });
}

bool SqlRecords::loadSolvent(int id, SqlSolventRecord *record, bool *found, bool *active)
{
    *record = SqlSolventRecord();
    if (found)
        *found = false;
    if (active)
        *active = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT name, densityDirectEntry, viscosityDirectEntry, densityStandard, "
                                 "viscosityStandard, densityStandardT, viscosityStandardT, computeDensity, "
                                 "computeViscosity, pH, isHeavyWater, D2O, D2O18, H2O18, H2O, active > 0 FROM buffer "
                                 "WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return readFailed(query);
    if (query.next()) {
        if (found)
            *found = true;
        if (active)
            *active = query.value(15).toBool();
        record->name = query.value(0).toString();
        QVariant *const columns[] = { &record->densityDirect, &record->viscosityDirect, &record->densityStandard,
            &record->viscosityStandard, &record->densityStandardT, &record->viscosityStandardT,
            &record->computedDensity, &record->computedViscosity, &record->pH, &record->heavyWater, &record->d2o,
            &record->d2o18, &record->h2o18, &record->h2o };
        for (int i = 0; i < 14; ++i)
            *columns[i] = query.value(i + 1);
    }
    query.finish();
    query.prepare(QStringLiteral("SELECT name, componentId, concentration, units FROM bufferComposition JOIN "
                                 "bufferComponent ON bufferComposition.componentId = bufferComponent.id WHERE "
                                 "bufferId = :id AND bufferComposition.active > 0"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return readFailed(query);
    while (query.next())
        record->components.append(
            { query.value(1), query.value(0).toString(), query.value(2), query.value(3).toString() });
    return true;
}

// Experiments

namespace {

// The columns that say how an experiment's vbar, density and viscosity were
// obtained, beside the members that hold them; each column's placeholder is
// its name.
QVector<QPair<const char *, QVariant SqlExperimentRecord::*>> experimentSources()
{
    using E = SqlExperimentRecord;
    return { { "vbarSource", &E::vbarSource }, { "vbarStandard", &E::vbarStandard },
        { "vbarStandardT", &E::vbarStandardT }, { "densitySource", &E::densitySource },
        { "densityStandard", &E::densityStandard }, { "densityStandardT", &E::densityStandardT },
        { "viscositySource", &E::viscositySource }, { "viscosityStandard", &E::viscosityStandard },
        { "viscosityStandardT", &E::viscosityStandardT } };
}

} // namespace

bool SqlRecords::saveExperiment(const SqlExperimentRecord &record, int storedId, int *savedId)
{
    return save(savedId, [&](QSqlQuery &query, int *experimentId) {
        *experimentId = storedId;
        // A link the window no longer lists keeps what was stored.
        int stored[3] = { -1, -1, -1 };
        if (storedId >= 0) {
            query.prepare(QStringLiteral("SELECT sample_id, buffer_id, results_id FROM experiment WHERE id = :id"));
            query.bindValue(QStringLiteral(":id"), storedId);
            if (!query.exec())
                return false;
            if (query.next()) {
                for (int i = 0; i < 3; ++i)
                    stored[i] = linkId(query.value(i));
            }
            query.finish();
        }
        auto link = [](int chosen, int keep) { return chosen == SqlExperimentRecord::keepStoredLink ? keep : chosen; };

        if (storedId < 0) {
            query.prepare(QStringLiteral(
                "INSERT INTO experiment (name, Tc, RPM, sigma, sstart, mgml, sstar, vbar, rho, vis, Mp, Mb, sk, "
                "calculatedBy, sample_id, buffer_id, results_id, active, vbarSource, vbarStandard, vbarStandardT, "
                "densitySource, densityStandard, densityStandardT, viscositySource, viscosityStandard, "
                "viscosityStandardT) VALUES (:name, :Tc, :RPM, :sigma, :sstart, :mgml, :sstar, :vbar, :rho, :vis, "
                ":Mp, :Mb, :sk, :calculatedBy, :sample_id, :buffer_id, :results_id, :active, :vbarSource, "
                ":vbarStandard, :vbarStandardT, :densitySource, :densityStandard, :densityStandardT, "
                ":viscositySource, :viscosityStandard, :viscosityStandardT)"));
        } else {
            query.prepare(QStringLiteral(
                "UPDATE experiment SET name = :name, Tc = :Tc, RPM = :RPM, sigma = :sigma, sstart = :sstart, mgml = "
                ":mgml, sstar = :sstar, vbar = :vbar, rho = :rho, vis = :vis, Mp = :Mp, Mb = :Mb, sk = :sk, "
                "calculatedBy = :calculatedBy, sample_id = :sample_id, buffer_id = :buffer_id, results_id = "
                ":results_id, active = :active, vbarSource = :vbarSource, vbarStandard = :vbarStandard, "
                "vbarStandardT = :vbarStandardT, densitySource = :densitySource, densityStandard = :densityStandard, "
                "densityStandardT = :densityStandardT, viscositySource = :viscositySource, viscosityStandard = "
                ":viscosityStandard, viscosityStandardT = :viscosityStandardT WHERE id = :bufId"));
            query.bindValue(QStringLiteral(":bufId"), storedId);
        }
        query.bindValue(QStringLiteral(":name"), record.name);
        query.bindValue(QStringLiteral(":Tc"), record.tc);
        query.bindValue(QStringLiteral(":RPM"), record.rpm);
        query.bindValue(QStringLiteral(":sigma"), record.sigma);
        query.bindValue(QStringLiteral(":sstart"), record.sstart);
        query.bindValue(QStringLiteral(":mgml"), record.mgml);
        query.bindValue(QStringLiteral(":sstar"), record.sstar);
        query.bindValue(QStringLiteral(":vbar"), record.vbar);
        query.bindValue(QStringLiteral(":rho"), record.rho);
        query.bindValue(QStringLiteral(":vis"), record.vis);
        query.bindValue(QStringLiteral(":Mp"), record.mp);
        query.bindValue(QStringLiteral(":Mb"), record.mb);
        query.bindValue(QStringLiteral(":sk"), record.k);
        query.bindValue(QStringLiteral(":calculatedBy"), record.calculatedBy);
        query.bindValue(QStringLiteral(":sample_id"), link(record.sampleId, stored[0]));
        query.bindValue(QStringLiteral(":buffer_id"), link(record.bufferId, stored[1]));
        query.bindValue(QStringLiteral(":results_id"), link(record.resultsId, stored[2]));
        query.bindValue(QStringLiteral(":active"), 1);
        for (const auto &source : experimentSources())
            query.bindValue(QLatin1Char(':') + QLatin1String(source.first), record.*source.second);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *experimentId = query.lastInsertId().toInt();
        return true;
    });
}

bool SqlRecords::loadExperiment(int id, SqlExperimentRecord *record, bool *found)
{
    *record = SqlExperimentRecord();
    if (found)
        *found = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // The sources last, in the order of experimentSources().
    query.prepare(QStringLiteral("SELECT name, Tc, RPM, sigma, sstart, mgml, sstar, vbar, rho, vis, Mp, Mb, "
                                 "calculatedBy, sample_id, buffer_id, results_id, sk, vbarSource, vbarStandard, "
                                 "vbarStandardT, densitySource, densityStandard, densityStandardT, viscositySource, "
                                 "viscosityStandard, viscosityStandardT FROM experiment WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return readFailed(query);
    if (!query.next())
        return true;
    if (found)
        *found = true;
    record->name = query.value(0).toString();
    QVariant *const columns[] = { &record->tc, &record->rpm, &record->sigma, &record->sstart, &record->mgml,
        &record->sstar, &record->vbar, &record->rho, &record->vis, &record->mp, &record->mb, &record->calculatedBy };
    for (int i = 0; i < 12; ++i)
        *columns[i] = query.value(i + 1);
    record->sampleId = linkId(query.value(13));
    record->bufferId = linkId(query.value(14));
    record->resultsId = linkId(query.value(15));
    record->k = query.value(16);
    const auto sources = experimentSources();
    for (int i = 0; i < sources.size(); ++i)
        record->*sources.at(i).second = query.value(17 + i);
    return true;
}

// Results

namespace {

// The placeholders of the results statements beside the members they take.
QVector<QPair<const char *, QVariant SqlResultsRecord::*>> resultsValues()
{
    using R = SqlResultsRecord;
    return { { ":R_t", &R::radius }, { ":Ro_t", &R::vbarRadius }, { ":Rp_t", &R::tellerRadius },
        { ":FFo_t", &R::vbarFrictionRatio }, { ":FFp_t", &R::tellerFrictionRatio }, { ":Fo_t", &R::vbarFriction },
        { ":Fp_t", &R::tellerFriction }, { ":So_t", &R::vbarSmax }, { ":Sp_t", &R::tellerSmax },
        { ":Do_t", &R::vbarDmax }, { ":Dp_t", &R::tellerDmax }, { ":Delta1v_t", &R::vbarDelta1 },
        { ":Delta1t_t", &R::tellerDelta1 }, { ":abv_t", &R::vbarAxialRatio }, { ":abt_t", &R::tellerAxialRatio },
        { ":av_t", &R::vbarSemiAxisA }, { ":at_t", &R::tellerSemiAxisA }, { ":bv_t", &R::vbarSemiAxisB },
        { ":bt_t", &R::tellerSemiAxisB }, { ":method_t", &R::method }, { ":options_t", &R::option },
        { ":options_value_t", &R::optionValue }, { ":shape_t", &R::shape } };
}

} // namespace

bool SqlRecords::saveResults(const SqlResultsRecord &record, int storedId, int *savedId)
{
    return save(savedId, [&](QSqlQuery &query, int *resultsId) {
        *resultsId = storedId;
        if (storedId < 0) {
            query.prepare(QStringLiteral(
                "INSERT INTO results (name, R, Ro, Rp, FFo, FFp, Fo, Fp, So, Sp, Do, Dp, Delta1v, Delta1t, abv, abt, "
                "av, at, bv, bt, options, options_value, shape, sample_id, buffer_id, experiment_id, active, method) "
                "VALUES (:name, :R_t, :Ro_t, :Rp_t, :FFo_t, :FFp_t, :Fo_t, :Fp_t, :So_t, :Sp_t, :Do_t, :Dp_t, "
                ":Delta1v_t, :Delta1t_t, :abv_t, :abt_t, :av_t, :at_t, :bv_t, :bt_t, :options_t, :options_value_t, "
                ":shape_t, :sample_id_t, :buffer_id_t, :experiment_id_t, :active_t, :method_t)"));
            query.bindValue(QStringLiteral(":name"), record.name);
        } else {
            // The name of a stored record stays as it is.
            query.prepare(QStringLiteral(
                "UPDATE results SET R = :R_t, Ro = :Ro_t, Rp = :Rp_t, FFo = :FFo_t, FFp = :FFp_t, Fo = :Fo_t, "
                "Fp = :Fp_t, So = :So_t, Sp = :Sp_t, Do = :Do_t, Dp = :Dp_t, Delta1v = :Delta1v_t, Delta1t = "
                ":Delta1t_t, abv = :abv_t, abt = :abt_t, av = :av_t, at = :at_t, bv = :bv_t, bt = :bt_t, method = "
                ":method_t, options = :options_t, options_value = :options_value_t, shape = :shape_t, sample_id = "
                ":sample_id_t, buffer_id = :buffer_id_t, experiment_id = :experiment_id_t, active = :active_t "
                "WHERE id = :bufId_t"));
            query.bindValue(QStringLiteral(":bufId_t"), storedId);
        }
        const auto values = resultsValues();
        for (const auto &value : values)
            query.bindValue(QLatin1String(value.first), record.*value.second);
        query.bindValue(QStringLiteral(":sample_id_t"), record.sampleId);
        query.bindValue(QStringLiteral(":buffer_id_t"), record.bufferId);
        query.bindValue(QStringLiteral(":experiment_id_t"), record.experimentId);
        query.bindValue(QStringLiteral(":active_t"), 1);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *resultsId = query.lastInsertId().toInt();
        return true;
    });
}

bool SqlRecords::loadResults(int id, SqlResultsRecord *record, bool *found)
{
    *record = SqlResultsRecord();
    if (found)
        *found = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // The figures in the order of resultsValues().
    query.prepare(QStringLiteral("SELECT R, Ro, Rp, FFo, FFp, Fo, Fp, So, Sp, Do, Dp, Delta1v, Delta1t, abv, abt, av, "
                                 "at, bv, bt, method, options, options_value, shape, name, sample_id, buffer_id, "
                                 "experiment_id FROM results WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return readFailed(query);
    if (!query.next())
        return true;
    if (found)
        *found = true;
    const auto values = resultsValues();
    for (int i = 0; i < values.size(); ++i)
        record->*values.at(i).second = query.value(i);
    const int links = values.size();
    record->name = query.value(links).toString();
    record->sampleId = linkId(query.value(links + 1));
    record->bufferId = linkId(query.value(links + 2));
    record->experimentId = linkId(query.value(links + 3));
    return true;
}

// Defaults

bool SqlRecords::loadDefaults(SqlDefaultsRow *row)
{
    *row = SqlDefaultsRow();
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT temperature, density, viscosity, vbar, pH, sk FROM defaults WHERE id = 1")))
        return readFailed(query);
    if (query.next()) {
        QVariant *const columns[]
            = { &row->temperature, &row->density, &row->viscosity, &row->vbar, &row->pH, &row->sk };
        for (int i = 0; i < 6; ++i)
            *columns[i] = query.value(i);
    }
    return true;
}

SqlRecords::DefaultsSave SqlRecords::saveDefaults(const SqlDefaultsRow &changes)
{
    const QPair<const char *, const QVariant *> columns[] = { { "temperature", &changes.temperature },
        { "density", &changes.density }, { "viscosity", &changes.viscosity }, { "pH", &changes.pH },
        { "vbar", &changes.vbar }, { "sk", &changes.sk } };
    bool any = false;
    for (const auto &column : columns)
        any = any || !column.second->isNull();
    if (!any)
        return DefaultsSave::Stored;

    SqlTransaction transaction(m_db);
    if (!transaction.isOpen()) {
        m_error = transaction.error();
        return DefaultsSave::NotBegun;
    }
    for (const auto &column : columns) {
        if (column.second->isNull())
            continue;
        // The column is one of the fixed names above; only the value is bound.
        QSqlQuery query(m_db);
        if (!query.prepare(
                QStringLiteral("UPDATE defaults SET %1 = :value WHERE id = 1").arg(QLatin1String(column.first)))) {
            transaction.fail(query);
            m_error = transaction.error();
            return DefaultsSave::Failed;
        }
        query.bindValue(QStringLiteral(":value"), *column.second);
        if (!query.exec()) {
            transaction.fail(query);
            m_error = transaction.error();
            return DefaultsSave::Failed;
        }
        // A file whose defaults row is gone takes the update without error and
        // without storing anything.
        if (query.numRowsAffected() == 0) {
            transaction.fail(QStringLiteral("The database holds no defaults row."));
            m_error = transaction.error();
            return DefaultsSave::NoDefaultsRow;
        }
    }
    if (!transaction.commit()) {
        m_error = transaction.error();
        return DefaultsSave::Failed;
    }
    return DefaultsSave::Stored;
}
