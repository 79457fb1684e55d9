#include "sql/sql_records.h"

#include "app/app_log.h"
#include "sql/sql_transaction.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>

#include <iterator>

// The fields of each record kind, once. The statements below are made from
// these lists; so is the migration of older files (addedColumns()).

namespace {

using S = SqlSampleRecord;
constexpr SqlField<S> sampleFieldList[] = {
    { "vbarSource", &S::vbarSource, "vbarSource", "varchar(30)", "how the vbar was obtained" },
    { "vbarDirect", &S::vbarDirect, "VBarDirectEntry", nullptr, "the vbar typed" },
    { "vbarStandard", &S::vbarStandard, "VBarStandard", nullptr, "the standard vbar" },
    { "vbarStandardT", &S::vbarStandardT, "VbarStandardT", nullptr, "the temperature it was measured at" },
    { "calculatedVbar", &S::calculatedVbar, "calcVBar", nullptr, "the composition's vbar; NULL: Calculate vbar off" },
    { "calculatedMr", &S::calculatedMr, "calcMr", nullptr, "the composition's Mr; NULL: Calculate Mr off" },
    { "calculatedHydration", &S::calculatedHydration, "calcHydration", nullptr,
        "the composition's hydration; NULL: Calculate hydration off" },
    { "calculations", &S::calculations, "calculations", "INTEGER",
        "the composition page's Calculate boxes: 1 vbar, 2 Mr, 4 hydration" },
    { "denaturant", &S::denaturant, "useDenaturant", nullptr, "the denaturant's id" },
    { "sk", &S::sk, "sk", nullptr, "k of the concentration dependence of s" },
    { "pkaAmino", &S::pkaAmino, "pkaamino", nullptr, "the amino end's pKa" },
    { "pkaCarboxyl", &S::pkaCarboxyl, "pkacarboxl", nullptr, "the carboxyl end's pKa" },
    { "titratableAmino", &S::titratableAmino, "titratableAmino", "INTEGER", "whether the amino end titrates" },
    { "titratableCarboxyl", &S::titratableCarboxyl, "titratableCarboxyl", "INTEGER",
        "whether the carboxyl end titrates" },
    { "pH", &S::pH, "pH", nullptr, "the pH of the charge" },
    { "nMer", &S::nMer, "nMer", nullptr, "the oligomer's chains; NULL: no oligomer" },
    { "sequence", &S::sequence, "aminoSequence", nullptr, "the sequence; NULL: no composition" },
    { "oligomerWhileOff", nullptr, nullptr, nullptr,
        "the chain count typed while the oligomer box is off counts for nothing; the sample comes back with 2" },
    { "sampleNameOnPage", nullptr, nullptr, nullptr, "the composition page shows the list entry's text" },
};

using B = SqlSolventRecord;
constexpr SqlField<B> solventFieldList[] = {
    { "densitySource", &B::densitySource, "densitySource", "varchar(30)", "how the density was obtained" },
    { "viscositySource", &B::viscositySource, "viscositySource", "varchar(30)", "how the viscosity was obtained" },
    { "densityDirect", &B::densityDirect, "densityDirectEntry", nullptr, "the density typed" },
    { "viscosityDirect", &B::viscosityDirect, "viscosityDirectEntry", nullptr, "the viscosity typed" },
    { "densityStandard", &B::densityStandard, "densityStandard", nullptr, "the standard density" },
    { "densityStandardT", &B::densityStandardT, "densityStandardT", nullptr, "the temperature it was measured at" },
    { "viscosityStandard", &B::viscosityStandard, "viscosityStandard", nullptr, "the standard viscosity" },
    { "viscosityStandardT", &B::viscosityStandardT, "viscosityStandardT", nullptr,
        "the temperature it was measured at" },
    { "computedDensity", &B::computedDensity, "computeDensity", nullptr, "the buffer page's density" },
    { "computedViscosity", &B::computedViscosity, "computeViscosity", nullptr, "the buffer page's viscosity" },
    { "computedAt20", &B::computedAt20, "computedAt20", "INTEGER", "1: the computed figures are at 20 C" },
    { "computedDensityAt20", &B::computedDensityAt20, "computeDensityAt20", "DOUBLE",
        "the buffer page's density at 20 C in light water" },
    { "computedViscosityAt20", &B::computedViscosityAt20, "computeViscosityAt20", "DOUBLE",
        "the buffer page's viscosity at 20 C in light water" },
    { "pH", &B::pH, "pH", nullptr, "the buffer's pH" },
    { "heavyWater", &B::heavyWater, "isHeavyWater", nullptr, "whether the water is heavy" },
    { "d2o", &B::d2o, "D2O", nullptr, "the water's D2O share" },
    { "d2o18", &B::d2o18, "D2O18", nullptr, "the water's D2-18O share" },
    { "h2o18", &B::h2o18, "H2O18", nullptr, "the water's H2-18O share" },
    { "h2o", &B::h2o, "H2O", nullptr, "the water's H2O share" },
    { "runTemperature", nullptr, nullptr, nullptr,
        "the Experiment tab's: a solvent is shown at the temperature of the run it is used in" },
};

using E = SqlExperimentRecord;
constexpr SqlField<E> experimentFieldList[] = {
    { "tc", &E::tc, "Tc", nullptr, "the equilibrium temperature" },
    { "rpm", &E::rpm, "RPM", nullptr, "the speed" },
    { "sigma", &E::sigma, "sigma", nullptr, "sigma" },
    { "sstart", &E::sstart, "sstart", nullptr, "the velocity temperature" },
    { "mgml", &E::mgml, "mgml", nullptr, "the concentration" },
    { "sstar", &E::sstar, "sstar", nullptr, "s at the velocity temperature" },
    { "vbar", &E::vbar, "vbar", nullptr, "the vbar at the run temperature" },
    { "rho", &E::rho, "rho", nullptr, "the density at the run temperature" },
    { "vis", &E::vis, "vis", nullptr, "the viscosity at the run temperature" },
    { "mp", &E::mp, "Mp", nullptr, "the molecular weight" },
    { "mb", &E::mb, "Mb", nullptr, "the buoyant molecular weight" },
    { "calculatedBy", &E::calculatedBy, "calculatedBy", nullptr, "the Mr method's button" },
    // Added in this order by earlier versions; later columns follow them.
    { "k", &E::k, "sk", "DOUBLE", "k of the concentration dependence of s" },
    { "vbarSource", &E::vbarSource, "vbarSource", "varchar(30)", "how the vbar was obtained" },
    { "vbarStandard", &E::vbarStandard, "vbarStandard", "DOUBLE", "the standard vbar" },
    { "vbarStandardT", &E::vbarStandardT, "vbarStandardT", "DOUBLE", "the temperature it was measured at" },
    { "densitySource", &E::densitySource, "densitySource", "varchar(30)", "how the density was obtained" },
    { "densityStandard", &E::densityStandard, "densityStandard", "DOUBLE", "the standard density" },
    { "densityStandardT", &E::densityStandardT, "densityStandardT", "DOUBLE", "the temperature it was measured at" },
    { "viscositySource", &E::viscositySource, "viscositySource", "varchar(30)", "how the viscosity was obtained" },
    { "viscosityStandard", &E::viscosityStandard, "viscosityStandard", "DOUBLE", "the standard viscosity" },
    { "viscosityStandardT", &E::viscosityStandardT, "viscosityStandardT", "DOUBLE",
        "the temperature it was measured at" },
    { "velocityTempTyped", &E::velocityTempTyped, "sstartTyped", "INTEGER",
        "1: the velocity temperature was typed apart from the equilibrium one" },
    { "rpTyped", &E::rpTyped, "rpTyped", "DOUBLE", "a radius typed over the computed one" },
    { "s20wTyped", &E::s20wTyped, "s20wTyped", "DOUBLE", "an s20,w typed over the computed one" },
    { "vbarWater", &E::vbarWater, "vbarWater", "DOUBLE", "the composition's vbar in water at 20 C" },
    { "waterD2o", &E::waterD2o, "waterD2O", "DOUBLE", "the D2O share of its buffer's water" },
    { "waterD2o18", &E::waterD2o18, "waterD2O18", "DOUBLE", "the D2-18O share of its buffer's water" },
    { "waterH2o18", &E::waterH2o18, "waterH2O18", "DOUBLE", "the H2-18O share of its buffer's water" },
    { "radiusMethod", &E::radiusMethod, "radiusMethod", "varchar(10)", "the method of the radius" },
    // Stored with the links, as the links are.
    { "sampleStamp", nullptr, "sampleStamp", "varchar(40)", "with the links: what its sample held when it was saved" },
    { "bufferStamp", nullptr, "bufferStamp", "varchar(40)", "with the links: what its solvent held when it was saved" },
    { "resultsStamp", nullptr, "resultsStamp", "varchar(40)",
        "with the links: what its results held when it was saved" },
    { "defaultVbar", nullptr, nullptr, nullptr,
        "s20,w falls back on the program's default vbar, which the defaults row holds for every record" },
};

using R = SqlResultsRecord;
constexpr SqlField<R> resultsFieldList[] = {
    { "radius", &R::radius, "R", nullptr, "the Stokes radius" },
    { "vbarRadius", &R::vbarRadius, "Ro", nullptr, "the vbar method's radius" },
    { "tellerRadius", &R::tellerRadius, "Rp", nullptr, "Teller's radius" },
    { "vbarFrictionRatio", &R::vbarFrictionRatio, "FFo", nullptr, "the vbar method's f/fo" },
    { "tellerFrictionRatio", &R::tellerFrictionRatio, "FFp", nullptr, "Teller's f/fp" },
    { "vbarFriction", &R::vbarFriction, "Fo", nullptr, "the vbar method's fo" },
    { "tellerFriction", &R::tellerFriction, "Fp", nullptr, "Teller's fp" },
    { "vbarSmax", &R::vbarSmax, "So", nullptr, "the vbar method's Smax" },
    { "tellerSmax", &R::tellerSmax, "Sp", nullptr, "Teller's Smax" },
    { "vbarDmax", &R::vbarDmax, "Do", nullptr, "the vbar method's Dmax" },
    { "tellerDmax", &R::tellerDmax, "Dp", nullptr, "Teller's Dmax" },
    { "vbarDelta1", &R::vbarDelta1, "Delta1v", nullptr, "the vbar method's delta1 max" },
    { "tellerDelta1", &R::tellerDelta1, "Delta1t", nullptr, "Teller's delta1 max" },
    { "vbarAxialRatio", &R::vbarAxialRatio, "abv", nullptr, "the vbar method's axial ratio" },
    { "tellerAxialRatio", &R::tellerAxialRatio, "abt", nullptr, "Teller's axial ratio" },
    { "vbarSemiAxisA", &R::vbarSemiAxisA, "av", nullptr, "the vbar method's a" },
    { "tellerSemiAxisA", &R::tellerSemiAxisA, "at", nullptr, "Teller's a" },
    { "vbarSemiAxisB", &R::vbarSemiAxisB, "bv", nullptr, "the vbar method's b" },
    { "tellerSemiAxisB", &R::tellerSemiAxisB, "bt", nullptr, "Teller's b" },
    { "method", &R::method, "method", nullptr, "the method's button" },
    { "option", &R::option, "options", nullptr, "the hydration option's button" },
    { "optionValue", &R::optionValue, "options_value", nullptr, "the option's ratio or hydration" },
    { "shape", &R::shape, "shape", nullptr, "the shape's button" },
    { "hydrationValue", &R::hydrationValue, "hydrationValue", "DOUBLE", "the computed hydration used" },
    { "hydrationExpansion", &R::hydrationExpansion, "hydrationExpansion", "DOUBLE",
        "the hydration shell's water in % of the dry particle" },
    { "inputs", nullptr, nullptr, nullptr,
        "the molecular weight, vbar, s20,w and the other figures the results are computed from belong to the "
        "sample, solvent and experiment; a results record keeps its own figures" },
};

// A record holds exactly the fields its list names, and the members its own
// statements store: one of any type added without an entry stops the build.
template<typename Field, std::size_t N> constexpr std::size_t memberCount(const Field (&fields)[N])
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < N; ++i)
        count += fields[i].member ? 1 : 0;
    return count;
}
static_assert(SqlMemberCount::of<S>() == memberCount(sampleFieldList) + 3,
    "every field of a sample record is listed in sampleFieldList (its name and counts aside)");
static_assert(SqlMemberCount::of<B>() == memberCount(solventFieldList) + 2,
    "every field of a solvent record is listed in solventFieldList (its name and components aside)");
static_assert(SqlMemberCount::of<E>() == memberCount(experimentFieldList) + 7,
    "every field of an experiment record is listed in experimentFieldList (its name, links and their stamps aside)");
static_assert(SqlMemberCount::of<R>() == memberCount(resultsFieldList) + 4,
    "every field of a results record is listed in resultsFieldList (its name and links aside)");

template<typename Field, std::size_t N> QVector<Field> listOf(const Field (&fields)[N])
{
    return QVector<Field>(std::begin(fields), std::end(fields));
}

// The stored fields of a list: their columns, in order.
template<typename Record> QStringList columnsOf(const QVector<SqlField<Record>> &fields)
{
    QStringList columns;
    for (const SqlField<Record> &field : fields) {
        if (field.member && field.column)
            columns << QLatin1String(field.column);
    }
    return columns;
}

// Statements of a table with the columns of its list and some of its own
// before them; each placeholder is its column's name.
QString insertSql(const QString &table, const QStringList &columns)
{
    QStringList placeholders;
    for (const QString &column : columns)
        placeholders << QLatin1Char(':') + column;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, columns.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", ")));
}

QString updateSql(const QString &table, const QStringList &columns)
{
    QStringList sets;
    for (const QString &column : columns)
        sets << QStringLiteral("%1 = :%1").arg(column);
    return QStringLiteral("UPDATE %1 SET %2 WHERE id = :storedId").arg(table, sets.join(QStringLiteral(", ")));
}

QString selectSql(const QString &table, const QStringList &columns)
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE id = :id").arg(columns.join(QStringLiteral(", ")), table);
}

// A choice is stored in the form the file holds for its column.
template<typename Record>
void bindFields(QSqlQuery &query, const QString &table, const QVector<SqlField<Record>> &fields, const Record &record)
{
    for (const SqlField<Record> &field : fields) {
        if (field.member && field.column)
            query.bindValue(QLatin1Char(':') + QLatin1String(field.column),
                SqlRecords::storedOf(table, QLatin1String(field.column), record.*field.member));
    }
}

// Reads the list's columns from `first` on; returns the index after them. A
// choice is read as its word whichever form the row holds: another program's
// rows, and an older release's written since the file was opened.
template<typename Record>
int readFields(
    const QSqlQuery &query, const QString &table, const QVector<SqlField<Record>> &fields, Record *record, int first)
{
    int i = first;
    for (const SqlField<Record> &field : fields) {
        if (field.member && field.column)
            (*record).*field.member = SqlRecords::wordOf(table, QLatin1String(field.column), query.value(i++));
    }
    return i;
}

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

// A run's links, each beside what its record held when the run was saved.
struct ExperimentLink
{
    int E::*id;
    QVariant E::*stamp;
    const char *idColumn;
    const char *stampColumn;
};
constexpr ExperimentLink experimentLinks[] = { { &E::sampleId, &E::sampleStamp, "sample_id", "sampleStamp" },
    { &E::bufferId, &E::bufferStamp, "buffer_id", "bufferStamp" },
    { &E::resultsId, &E::resultsStamp, "results_id", "resultsStamp" } };

// Their columns, each link's id before its stamp.
QStringList linkColumns()
{
    QStringList columns;
    for (const ExperimentLink &link : experimentLinks)
        columns << QLatin1String(link.idColumn) << QLatin1String(link.stampColumn);
    return columns;
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

// The statements of a table: its list's columns after the table's own.
template<typename Record> QStringList statementColumns(const QStringList &own, const QVector<SqlField<Record>> &fields)
{
    return own + columnsOf(fields);
}

QStringList solventOwnColumns()
{
    return { QStringLiteral("name"), QStringLiteral("active") };
}

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
    if (!query.prepare(sql))
        return false;
    query.bindValue(QStringLiteral(":id"), sampleId);
    if (!SqlTransaction::execWhileLocked(query))
        return false;
    while (query.next())
        counts->append({ query.value(0), query.value(1) });
    return true;
}

} // namespace

const QVector<SqlField<SqlSampleRecord>> &SqlSampleRecord::fields()
{
    static const QVector<SqlField<SqlSampleRecord>> list = listOf(sampleFieldList);
    return list;
}

const QVector<SqlField<SqlSolventRecord>> &SqlSolventRecord::fields()
{
    static const QVector<SqlField<SqlSolventRecord>> list = listOf(solventFieldList);
    return list;
}

const QVector<SqlField<SqlExperimentRecord>> &SqlExperimentRecord::fields()
{
    static const QVector<SqlField<SqlExperimentRecord>> list = listOf(experimentFieldList);
    return list;
}

const QVector<SqlField<SqlResultsRecord>> &SqlResultsRecord::fields()
{
    static const QVector<SqlField<SqlResultsRecord>> list = listOf(resultsFieldList);
    return list;
}

QVector<SqlRecords::AddedColumn> SqlRecords::addedColumns()
{
    QVector<AddedColumn> added;
    auto collect = [&added](const QString &table, const auto &fields) {
        for (const auto &field : fields) {
            if (field.addedType)
                added.append({ table, QLatin1String(field.column), QLatin1String(field.addedType) });
        }
    };
    // The experiment's first: older versions added them before any other.
    collect(QStringLiteral("experiment"), SqlExperimentRecord::fields());
    collect(QStringLiteral("sample"), SqlSampleRecord::fields());
    collect(QStringLiteral("buffer"), SqlSolventRecord::fields());
    collect(QStringLiteral("results"), SqlResultsRecord::fields());
    return added;
}

namespace {

// The object names of the buttons a choice column names, and the word each
// stands for. A column of the format holds the object name; a column this
// program added holds the word.
struct ObjectName
{
    const char *table;
    const char *column;
    const char *name;
    const char *word;
};
constexpr ObjectName objectNames[] = {
    { "experiment", "vbarSource", "qtVbarDirectEntry", SqlSource::direct },
    { "experiment", "vbarSource", "qtVbarStandard", SqlSource::standard },
    { "experiment", "vbarSource", "qtVbarCompute", SqlSource::computed },
    { "experiment", "densitySource", "qtDensityDirectEntry", SqlSource::direct },
    { "experiment", "densitySource", "qtDensityStandard", SqlSource::standard },
    { "experiment", "densitySource", "qtDensityCompute", SqlSource::computed },
    { "experiment", "viscositySource", "qtViscosityDirectEntry", SqlSource::direct },
    { "experiment", "viscositySource", "qtViscosityStandard", SqlSource::standard },
    { "experiment", "viscositySource", "qtViscosityCompute", SqlSource::computed },
    { "experiment", "calculatedBy", "qtExactMolecularWeight", SqlMrMethod::exact },
    { "experiment", "calculatedBy", "qtFromSigma", SqlMrMethod::sigma },
    { "experiment", "calculatedBy", "qtFromComposition", SqlMrMethod::composition },
    { "results", "method", "qtVbarMethod", SqlRadiusMethod::vbar },
    { "results", "method", "qtTellerMethod", SqlRadiusMethod::teller },
    { "results", "options", "qtHydrateNothing", SqlHydration::none },
    { "results", "options", "qtHydrateProlate", SqlHydration::prolate },
    { "results", "options", "qtHydrateOblate", SqlHydration::oblate },
    { "results", "options", "qtHydrateComputed", SqlHydration::computed },
    { "results", "options", "qtHydrateDelta1", SqlHydration::delta1 },
    { "results", "shape", "qtShapeProlate", SqlShape::prolate },
    { "results", "shape", "qtShapeOblate", SqlShape::oblate },
    { "results", "shape", "qtShapeCylinder", SqlShape::cylinder },
};

// A column the format has: none that files gain when they are opened.
bool formatColumn(const QString &table, const QString &column)
{
    for (const SqlRecords::AddedColumn &added : SqlRecords::addedColumns()) {
        if (added.table == table && added.column.compare(column, Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

} // namespace

const QVector<SqlRecords::ChoiceColumn> &SqlRecords::choiceColumns()
{
    static const QVector<ChoiceColumn> columns = [] {
        QVector<ChoiceColumn> grouped;
        for (const ObjectName &name : objectNames) {
            if (grouped.isEmpty() || grouped.last().column != QLatin1String(name.column)) {
                const QString table = QLatin1String(name.table);
                const QString column = QLatin1String(name.column);
                grouped.append({ table, column, {}, formatColumn(table, column) });
            }
            grouped.last().words.append({ QLatin1String(name.name), QLatin1String(name.word) });
        }
        return grouped;
    }();
    return columns;
}

namespace {

// The values of the form a column does not hold, quoted for its statements.
QString otherForm(const SqlRecords::ChoiceColumn &column)
{
    QStringList values;
    for (const auto &word : column.words)
        values << QLatin1Char('\'') + (column.storesNames ? word.second : word.first) + QLatin1Char('\'');
    return values.join(QStringLiteral(", "));
}

const SqlRecords::ChoiceColumn *choiceColumn(const QString &table, const QString &column)
{
    for (const SqlRecords::ChoiceColumn &choice : SqlRecords::choiceColumns()) {
        if (choice.table == table && choice.column.compare(column, Qt::CaseInsensitive) == 0)
            return &choice;
    }
    return nullptr;
}

// The object name and word that a choice column's value is, in either form;
// null for a column that holds no choice and for any other value.
const QPair<QString, QString> *choiceOf(const QString &table, const QString &column, const QVariant &value)
{
    if (value.type() != QVariant::String)
        return nullptr;
    const SqlRecords::ChoiceColumn *choice = choiceColumn(table, column);
    if (!choice)
        return nullptr;
    const QString text = value.toString();
    for (const auto &word : choice->words) {
        if (text == word.first || text == word.second)
            return &word;
    }
    return nullptr;
}

} // namespace

QString SqlRecords::ChoiceColumn::translation() const
{
    QString cases;
    for (const auto &word : words)
        cases += storesNames ? QStringLiteral(" WHEN '%1' THEN '%2'").arg(word.second, word.first)
                             : QStringLiteral(" WHEN '%1' THEN '%2'").arg(word.first, word.second);
    return QStringLiteral("UPDATE %1 SET %2 = CASE %2%3 END WHERE %2 IN (%4)")
        .arg(table, column, cases, otherForm(*this));
}

QString SqlRecords::ChoiceColumn::anyLeft() const
{
    return QStringLiteral("SELECT 1 FROM %1 WHERE %2 IN (%3) LIMIT 1").arg(table, column, otherForm(*this));
}

namespace {

// Figures the format stores as 0.0 where there are none, as its own save
// reads an empty field: a NULL there is no number to its readers, which keep
// the figure of the record shown before. No run has a speed, sigma or
// concentration of 0: a stored 0.0 is none.
constexpr const char *zeroForNone[] = { "RPM", "sigma", "mgml" };

bool storesZeroForNone(const QString &table, const QString &column)
{
    if (table != QLatin1String("experiment"))
        return false;
    for (const char *figure : zeroForNone) {
        if (column.compare(QLatin1String(figure), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QVector<SqlRecords::NoneColumn> SqlRecords::noneColumns()
{
    QVector<NoneColumn> columns;
    for (const char *figure : zeroForNone)
        columns.append({ QStringLiteral("experiment"), QLatin1String(figure) });
    return columns;
}

namespace {

QString noneOtherwise(const SqlRecords::NoneColumn &column)
{
    return QStringLiteral("%1 IS NULL OR (typeof(%1) = 'text' AND trim(%1) = '')").arg(column.column);
}

} // namespace

QString SqlRecords::NoneColumn::translation() const
{
    return QStringLiteral("UPDATE %1 SET %2 = 0.0 WHERE %3").arg(table, column, noneOtherwise(*this));
}

QString SqlRecords::NoneColumn::anyLeft() const
{
    return QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1").arg(table, noneOtherwise(*this));
}

QVariant SqlRecords::wordOf(const QString &table, const QString &column, const QVariant &value)
{
    if (storesZeroForNone(table, column)) {
        bool numeric = false;
        const double number = value.toDouble(&numeric);
        return !value.isNull() && numeric && number == 0.0 ? QVariant(QVariant::Double) : value;
    }
    const auto *word = choiceOf(table, column, value);
    return word ? QVariant(word->second) : value;
}

QVariant SqlRecords::storedOf(const QString &table, const QString &column, const QVariant &value)
{
    if (storesZeroForNone(table, column))
        return value.isNull() || value.toString().trimmed().isEmpty() ? QVariant(0.0) : value;
    const auto *word = choiceOf(table, column, value);
    return word ? QVariant(choiceColumn(table, column)->storesNames ? word->first : word->second) : value;
}

SqlRecords::SqlRecords(const QSqlDatabase &db) : m_db(db) { }

bool SqlRecords::save(
    SqlRecordKind kind, int storedId, int *savedId, const std::function<bool(QSqlQuery &, int *)> &write)
{
    m_savedOverGone = false;
    m_savedOverChanged = false;
    m_savedStamp.clear();
    m_savedVersion.clear();
    // For this save only.
    const QString expected = m_expectedVersion;
    m_expectedVersion.clear();
    SqlTransaction transaction(m_db);
    // Rolled back, with the transaction's report of `text` as the error.
    const auto failWith = [&](const QString &text) {
        transaction.fail(text);
        m_error = transaction.error();
        return false;
    };
    if (!transaction.isOpen()) {
        m_error = transaction.error();
        return false;
    }
    int id = -1;
    {
        QSqlQuery query(m_db);
        // Asked under the write lock the transaction holds: another program
        // may have deleted the record, or made it inactive, since it was
        // listed. Written into, its row would hold the save unlisted, or list
        // again a record that program took away, and nothing would say so.
        if (storedId >= 0) {
            if (!query.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE id = :id AND active > 0").arg(tableOf(kind))))
                return failSave(transaction, query, &m_error);
            query.bindValue(QStringLiteral(":id"), storedId);
            if (!query.exec())
                return failSave(transaction, query, &m_error);
            const bool listed = query.next();
            query.finish();
            if (!listed) {
                m_savedOverGone = true;
                return failWith(QStringLiteral("The record to be saved over is no longer in the database file: "
                                               "another program using it has deleted it, or made it inactive, "
                                               "since it was listed. Nothing was written."));
            }
            // Saved by another program since the person chose to save over
            // it: that save is not written over without their word.
            if (!expected.isEmpty()) {
                QString now;
                if (!version(kind, storedId, &now))
                    return failWith(m_driverText);
                if (now != expected) {
                    m_savedOverChanged = true;
                    return failWith(QStringLiteral("The record to be saved over has been saved by another program "
                                                   "using the database file since this save began. Nothing was "
                                                   "written."));
                }
            }
        }
        if (!write(query, &id))
            return failSave(transaction, query, &m_error);
    }
    // The record as this save leaves it, read under its lock: a window that
    // takes it after the commit could take another program's next save.
    QString savedStamp, savedVersion;
    if (!readStamps(kind, id, &savedStamp, &savedVersion))
        return failWith(m_driverText);
    if (!commitSave(transaction, &m_error))
        return false;
    m_savedStamp = savedStamp;
    m_savedVersion = savedVersion;
    *savedId = id;
    return true;
}

bool SqlRecords::readFailed(QSqlQuery &query)
{
    m_driverText = query.lastError().text();
    const QString refused = SqlTransaction::refusal(m_db.databaseName(), m_driverText);
    m_refused = !refused.isEmpty();
    m_error = m_refused ? refused : SqlTransaction::report(m_db, m_driverText);
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
    if (!SqlTransaction::execWhileLocked(query, sql))
        return readFailed(query);
    while (query.next())
        entries->append({ query.value(0), query.value(1).toString(), withDates ? query.value(2) : QVariant() });
    return true;
}

bool SqlRecords::anyListed(SqlRecordKind kind, bool *any)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!SqlTransaction::execWhileLocked(
            query, QStringLiteral("SELECT 1 FROM %1 WHERE active > 0 LIMIT 1").arg(tableOf(kind))))
        return readFailed(query);
    *any = query.next();
    return true;
}

bool SqlRecords::findListed(SqlRecordKind kind, const QString &name, int *id, int preferred)
{
    *id = -1;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT id FROM %1 WHERE active > 0 AND name = :name "
                                      "ORDER BY id = :preferred DESC, id LIMIT 1")
                           .arg(tableOf(kind))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":name"), name);
    query.bindValue(QStringLiteral(":preferred"), preferred);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (query.next())
        *id = query.value(0).toInt();
    return true;
}

bool SqlRecords::listedName(SqlRecordKind kind, int id, QString *name)
{
    name->clear();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT name FROM %1 WHERE id = :id AND active > 0").arg(tableOf(kind))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (query.next())
        *name = query.value(0).toString();
    return true;
}

QVariant SqlRecords::modified(SqlRecordKind kind, int id)
{
    QSqlQuery query(m_db);
    if (!query.prepare(QStringLiteral("SELECT modified FROM %1 WHERE id = :id").arg(tableOf(kind))))
        return QVariant();
    query.bindValue(QStringLiteral(":id"), id);
    if (SqlTransaction::execWhileLocked(query) && query.next())
        return query.value(0);
    return QVariant();
}

// What records hold

namespace {

QString valueText(const QVariant &value)
{
    // Doubles as the shortest text that reads back to them: every digit counts.
    return value.isNull() ? QStringLiteral("NULL") : value.toString();
}

// `later`: fields kept since stamps were, which count only where they hold a
// value, so that the stamps of the rows written before stay as they were.
template<typename Record> QStringList fieldTexts(const Record &record, const QVector<QVariant Record::*> &later = {})
{
    QStringList texts;
    for (const SqlField<Record> &field : Record::fields()) {
        if (field.member && !(later.contains(field.member) && (record.*field.member).isNull()))
            texts << QLatin1String(field.key) + QLatin1Char('=') + valueText(record.*field.member);
    }
    return texts;
}

} // namespace

QStringList SqlRecords::valuesOf(const SqlSampleRecord &record)
{
    QStringList texts = fieldTexts(record);
    for (const auto *counts : { &record.aminoAcids, &record.conjugates }) {
        texts << QStringLiteral("|");
        for (const SqlSampleRecord::Count &count : *counts)
            texts << valueText(count.id) + QLatin1Char('=') + valueText(count.count);
    }
    return texts;
}

QStringList SqlRecords::valuesOf(const SqlSolventRecord &record)
{
    // The page's figures at the run temperature follow from those at 20 C,
    // where kept, and the run's temperature, which the run keeps: beside them
    // they count for nothing, so that a solvent saved again for another run
    // holds the same values.
    SqlSolventRecord held = record;
    if (!held.computedDensityAt20.isNull())
        held.computedDensity = QVariant();
    if (!held.computedViscosityAt20.isNull())
        held.computedViscosity = QVariant();
    // A component by its reference id: its name is the reference data's.
    QStringList texts = fieldTexts(held, { &B::computedDensityAt20, &B::computedViscosityAt20 });
    for (const SqlSolventRecord::Component &component : record.components)
        texts << valueText(component.id) + QLatin1Char('=') + valueText(component.concentration) + QLatin1Char(' ')
                + component.units;
    return texts;
}

QStringList SqlRecords::valuesOf(const SqlExperimentRecord &record)
{
    return fieldTexts(record);
}

QStringList SqlRecords::valuesOf(const SqlResultsRecord &record)
{
    return fieldTexts(record);
}

QString SqlRecords::stampOf(const QStringList &values)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(values.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1).toHex());
}

namespace {

// A record's name and links, as texts: with its values and its date, its version.
QStringList identityOf(const SqlSampleRecord &record)
{
    return { QStringLiteral("name=") + record.name };
}

QStringList identityOf(const SqlSolventRecord &record)
{
    return { QStringLiteral("name=") + record.name };
}

QStringList identityOf(const SqlExperimentRecord &record)
{
    return { QStringLiteral("name=") + record.name,
        QStringLiteral("links=%1 %2 %3").arg(record.sampleId).arg(record.bufferId).arg(record.resultsId) };
}

QStringList identityOf(const SqlResultsRecord &record)
{
    return { QStringLiteral("name=") + record.name,
        QStringLiteral("links=%1 %2 %3").arg(record.sampleId).arg(record.bufferId).arg(record.experimentId) };
}

// Reads a record through `load` and gives its values, name and links; *listed: found and active.
template<typename Record>
bool readValues(SqlRecords &records, bool (SqlRecords::*load)(int, Record *, bool *, bool *), int id,
    QStringList *values, QStringList *identity, bool *listed)
{
    Record record;
    bool found = false;
    bool active = false;
    const bool read = (records.*load)(id, &record, &found, &active);
    *values = SqlRecords::valuesOf(record);
    *identity = identityOf(record);
    *listed = read && found && active;
    return read;
}

} // namespace

bool SqlRecords::readStamps(SqlRecordKind kind, int id, QString *stamp, QString *version)
{
    if (stamp)
        stamp->clear();
    if (version)
        version->clear();
    // The date first: a save between the two reads gives a version that no
    // later read gives, never one that hides the save.
    const QVariant written = version ? modified(kind, id) : QVariant();
    QStringList values, identity;
    bool listed = false;
    bool read = false;
    switch (kind) {
    case SqlRecordKind::Sample:
        read = readValues(*this, &SqlRecords::loadSample, id, &values, &identity, &listed);
        break;
    case SqlRecordKind::Solvent:
        read = readValues(*this, &SqlRecords::loadSolvent, id, &values, &identity, &listed);
        break;
    case SqlRecordKind::Experiment:
        read = readValues(*this, &SqlRecords::loadExperiment, id, &values, &identity, &listed);
        break;
    case SqlRecordKind::Results:
        read = readValues(*this, &SqlRecords::loadResults, id, &values, &identity, &listed);
        break;
    }
    if (!listed)
        return read;
    if (stamp)
        *stamp = stampOf(values);
    if (version)
        *version = stampOf(values + identity + QStringList(QStringLiteral("modified=") + valueText(written)));
    return read;
}

bool SqlRecords::stamp(SqlRecordKind kind, int id, QString *stamp)
{
    return readStamps(kind, id, stamp, nullptr);
}

bool SqlRecords::version(SqlRecordKind kind, int id, QString *version)
{
    return readStamps(kind, id, nullptr, version);
}

// Samples

bool SqlRecords::saveSample(const SqlSampleRecord &record, int storedId, int *savedId)
{
    return save(SqlRecordKind::Sample, storedId, savedId, [&](QSqlQuery &query, int *sampleId) {
        *sampleId = storedId;
        const QStringList columns = statementColumns(
            { QStringLiteral("name"), QStringLiteral("aminoSequenceCodeSize") }, SqlSampleRecord::fields());
        if (storedId < 0) {
            if (!query.prepare(insertSql(QStringLiteral("sample"), columns)))
                return false;
        } else {
            if (!query.prepare(updateSql(QStringLiteral("sample"), columns)))
                return false;
            query.bindValue(QStringLiteral(":storedId"), storedId);
        }
        query.bindValue(QStringLiteral(":name"), record.name);
        query.bindValue(QStringLiteral(":aminoSequenceCodeSize"), 1);
        bindFields(query, QStringLiteral("sample"), SqlSampleRecord::fields(), record);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *sampleId = query.lastInsertId().toInt();

        if (storedId >= 0) {
            // The earlier composition stays in the file, inactive, as deleted records do.
            for (const char *sql : { "UPDATE aminoComposition SET active = 0 WHERE sampleId = :sampleid",
                     "UPDATE conjugateComposition SET active = 0 WHERE sampleId = :sampleid" }) {
                if (!query.prepare(QString::fromLatin1(sql)))
                    return false;
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

bool SqlRecords::loadSample(int id, SqlSampleRecord *record, bool *found, bool *active)
{
    *record = SqlSampleRecord();
    if (found)
        *found = false;
    if (active)
        *active = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(selectSql(QStringLiteral("sample"),
            statementColumns({ QStringLiteral("name"), QStringLiteral("active > 0") }, SqlSampleRecord::fields()))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (query.next()) {
        if (found)
            *found = true;
        if (active)
            *active = query.value(1).toBool();
        record->name = query.value(0).toString();
        readFields(query, QStringLiteral("sample"), SqlSampleRecord::fields(), record, 2);
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
    return query.prepare(
        insertSql(QStringLiteral("buffer"), statementColumns(solventOwnColumns(), SqlSolventRecord::fields())));
}

bool SqlRecords::writeSolvent(QSqlQuery &query, const SqlSolventRecord &record, int storedId, QVariant *id)
{
    const QStringList columns = statementColumns(solventOwnColumns(), SqlSolventRecord::fields());
    if (!prepareOnce(query,
            storedId < 0 ? insertSql(QStringLiteral("buffer"), columns) : updateSql(QStringLiteral("buffer"), columns)))
        return false;
    if (storedId >= 0)
        query.bindValue(QStringLiteral(":storedId"), storedId);
    query.bindValue(QStringLiteral(":name"), record.name);
    query.bindValue(QStringLiteral(":active"), 1);
    bindFields(query, QStringLiteral("buffer"), SqlSolventRecord::fields(), record);
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
    return save(SqlRecordKind::Solvent, storedId, savedId, [&](QSqlQuery &query, int *bufferId) {
        QVariant id;
        if (!writeSolvent(query, record, storedId, &id))
            return false;
        *bufferId = id.toInt();
        // The earlier components stay as inactive rows; the buffer shown is written anew.
        if (!query.prepare(QStringLiteral("UPDATE bufferComposition SET active = 0 WHERE bufferId = :bufferId")))
            return false;
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
    if (!query.prepare(selectSql(QStringLiteral("buffer"),
            statementColumns({ QStringLiteral("name"), QStringLiteral("active > 0") }, SqlSolventRecord::fields()))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (query.next()) {
        if (found)
            *found = true;
        if (active)
            *active = query.value(1).toBool();
        record->name = query.value(0).toString();
        readFields(query, QStringLiteral("buffer"), SqlSolventRecord::fields(), record, 2);
    }
    query.finish();
    // A component whose reference row has gone comes too, without a name:
    // the buffer is not shown as another one without a word.
    if (!query.prepare(QStringLiteral("SELECT name, componentId, concentration, units FROM bufferComposition LEFT "
                                      "JOIN bufferComponent ON bufferComposition.componentId = bufferComponent.id "
                                      "WHERE bufferId = :id AND bufferComposition.active > 0")))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    while (query.next())
        record->components.append(
            { query.value(1), query.value(0).toString(), query.value(2), query.value(3).toString() });
    return true;
}

// Experiments

bool SqlRecords::saveExperiment(const SqlExperimentRecord &record, int storedId, int *savedId)
{
    return save(SqlRecordKind::Experiment, storedId, savedId, [&](QSqlQuery &query, int *experimentId) {
        *experimentId = storedId;
        // A link the window no longer lists keeps what was stored: its record,
        // and what that record held then.
        int stored[3] = { -1, -1, -1 };
        QVariant storedStamps[3];
        if (storedId >= 0) {
            if (!query.prepare(selectSql(QStringLiteral("experiment"), linkColumns())))
                return false;
            query.bindValue(QStringLiteral(":id"), storedId);
            if (!query.exec())
                return false;
            if (query.next()) {
                for (int i = 0; i < 3; ++i) {
                    stored[i] = linkId(query.value(2 * i));
                    storedStamps[i] = query.value(2 * i + 1);
                }
            }
            query.finish();
        }

        const QStringList columns
            = statementColumns(QStringList { QStringLiteral("name"), QStringLiteral("active") } + linkColumns(),
                SqlExperimentRecord::fields());
        if (storedId < 0) {
            if (!query.prepare(insertSql(QStringLiteral("experiment"), columns)))
                return false;
        } else {
            if (!query.prepare(updateSql(QStringLiteral("experiment"), columns)))
                return false;
            query.bindValue(QStringLiteral(":storedId"), storedId);
        }
        query.bindValue(QStringLiteral(":name"), record.name);
        query.bindValue(QStringLiteral(":active"), 1);
        for (int i = 0; i < 3; ++i) {
            const ExperimentLink &link = experimentLinks[i];
            const int chosen = record.*link.id;
            const bool kept = chosen == SqlExperimentRecord::keepStoredLink;
            query.bindValue(QLatin1Char(':') + QLatin1String(link.idColumn), kept ? stored[i] : chosen);
            query.bindValue(QLatin1Char(':') + QLatin1String(link.stampColumn),
                kept             ? storedStamps[i]
                    : chosen < 0 ? QVariant(QVariant::String)
                                 : record.*link.stamp);
        }
        bindFields(query, QStringLiteral("experiment"), SqlExperimentRecord::fields(), record);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *experimentId = query.lastInsertId().toInt();
        return true;
    });
}

bool SqlRecords::loadExperiment(int id, SqlExperimentRecord *record, bool *found, bool *active)
{
    *record = SqlExperimentRecord();
    if (found)
        *found = false;
    if (active)
        *active = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(selectSql(QStringLiteral("experiment"),
            statementColumns(QStringList { QStringLiteral("name"), QStringLiteral("active > 0") } + linkColumns(),
                SqlExperimentRecord::fields()))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (!query.next())
        return true;
    if (found)
        *found = true;
    if (active)
        *active = query.value(1).toBool();
    record->name = query.value(0).toString();
    int column = 2;
    for (const ExperimentLink &link : experimentLinks) {
        record->*link.id = linkId(query.value(column++));
        record->*link.stamp = query.value(column++);
    }
    readFields(query, QStringLiteral("experiment"), SqlExperimentRecord::fields(), record, column);
    return true;
}

// Results

bool SqlRecords::saveResults(const SqlResultsRecord &record, int storedId, int *savedId)
{
    return save(SqlRecordKind::Results, storedId, savedId, [&](QSqlQuery &query, int *resultsId) {
        *resultsId = storedId;
        // The name of a stored record stays as it is.
        QStringList own = { QStringLiteral("sample_id"), QStringLiteral("buffer_id"), QStringLiteral("experiment_id"),
            QStringLiteral("active") };
        if (storedId < 0) {
            own.prepend(QStringLiteral("name"));
            if (!query.prepare(insertSql(QStringLiteral("results"), statementColumns(own, SqlResultsRecord::fields()))))
                return false;
            query.bindValue(QStringLiteral(":name"), record.name);
        } else {
            if (!query.prepare(updateSql(QStringLiteral("results"), statementColumns(own, SqlResultsRecord::fields()))))
                return false;
            query.bindValue(QStringLiteral(":storedId"), storedId);
        }
        bindFields(query, QStringLiteral("results"), SqlResultsRecord::fields(), record);
        query.bindValue(QStringLiteral(":sample_id"), record.sampleId);
        query.bindValue(QStringLiteral(":buffer_id"), record.bufferId);
        query.bindValue(QStringLiteral(":experiment_id"), record.experimentId);
        query.bindValue(QStringLiteral(":active"), 1);
        if (!query.exec())
            return false;
        if (storedId < 0)
            *resultsId = query.lastInsertId().toInt();
        return true;
    });
}

bool SqlRecords::loadResults(int id, SqlResultsRecord *record, bool *found, bool *active)
{
    *record = SqlResultsRecord();
    if (found)
        *found = false;
    if (active)
        *active = false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(selectSql(QStringLiteral("results"),
            statementColumns({ QStringLiteral("name"), QStringLiteral("active > 0"), QStringLiteral("sample_id"),
                                 QStringLiteral("buffer_id"), QStringLiteral("experiment_id") },
                SqlResultsRecord::fields()))))
        return readFailed(query);
    query.bindValue(QStringLiteral(":id"), id);
    if (!SqlTransaction::execWhileLocked(query))
        return readFailed(query);
    if (!query.next())
        return true;
    if (found)
        *found = true;
    if (active)
        *active = query.value(1).toBool();
    record->name = query.value(0).toString();
    record->sampleId = linkId(query.value(2));
    record->bufferId = linkId(query.value(3));
    record->experimentId = linkId(query.value(4));
    readFields(query, QStringLiteral("results"), SqlResultsRecord::fields(), record, 5);
    return true;
}

// Defaults

bool SqlRecords::loadDefaults(SqlDefaultsRow *row)
{
    *row = SqlDefaultsRow();
    QSqlQuery query(m_db);
    if (!SqlTransaction::execWhileLocked(
            query, QStringLiteral("SELECT temperature, density, viscosity, vbar, pH, sk FROM defaults WHERE id = 1")))
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
