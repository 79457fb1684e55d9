#ifndef SQL_RECORDS_H
#define SQL_RECORDS_H

#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstddef>
#include <functional>
#include <utility>

class QSqlQuery;

// The four kinds of stored record, by the table each lives in.
enum class SqlRecordKind { Sample, Solvent, Experiment, Results };

// The choices of a record, as the program holds them: words that no renamed
// button can change. The file holds the choice columns of its format
// (`calculatedBy`, `method`, `options`, `shape`) as the object name of the
// button, as every program that reads the format expects, and the columns
// this program added as words; either form is read (SqlRecords::wordOf()),
// and a save stores the file's form (SqlRecords::storedOf()).

// How a figure was obtained.
namespace SqlSource {
inline constexpr const char *direct = "direct";
inline constexpr const char *standard = "standard";
inline constexpr const char *computed = "computed";
} // namespace SqlSource

// The method of an experiment's radius and of a results record's figures:
// Teller's (Rp) or the vbar's (Ro).
namespace SqlRadiusMethod {
inline constexpr const char *teller = "teller";
inline constexpr const char *vbar = "vbar";
} // namespace SqlRadiusMethod

// How an experiment's molecular weight was obtained.
namespace SqlMrMethod {
inline constexpr const char *exact = "exact";
inline constexpr const char *sigma = "sigma";
inline constexpr const char *composition = "composition";
} // namespace SqlMrMethod

// The hydration a results record's figures assume: none, an axial ratio of a
// prolate or oblate hydrated particle, the sample's computed hydration, or a
// hydration typed as delta1.
namespace SqlHydration {
inline constexpr const char *none = "none";
inline constexpr const char *prolate = "prolate";
inline constexpr const char *oblate = "oblate";
inline constexpr const char *computed = "computed";
inline constexpr const char *delta1 = "delta1";
} // namespace SqlHydration

// The shape a results record's axes are given for.
namespace SqlShape {
inline constexpr const char *prolate = "prolate";
inline constexpr const char *oblate = "oblate";
inline constexpr const char *cylinder = "cylinder";
} // namespace SqlShape

// The number of members of an aggregate such as a record: the most
// initializers a brace list of it takes, each of them convertible to any type.
// Each record's field list is checked against it, so that a member of any
// type added without an entry stops the build.
namespace SqlMemberCount {
struct Any
{
    template<typename T> operator T() const; // only ever named in unevaluated code
};
template<typename T, std::size_t... I>
constexpr auto takes(std::index_sequence<I...>) -> decltype(T { (void(I), Any {})... }, true)
{
    return true;
}
template<typename T> constexpr bool takes(...)
{
    return false;
}
template<typename T, std::size_t N = 0> constexpr std::size_t of()
{
    if constexpr (takes<T>(std::make_index_sequence<N + 1>()))
        return of<T, N + 1>();
    else
        return N;
}
} // namespace SqlMemberCount

// One field of a record: an input, choice or source that a figure shown with
// the record depends on. Every record kind lists all of its fields once (its
// fields()); the statements that store and read it and the migration that adds
// later columns are made from that list, and the tests walk it. A field is
// stored in its column, or it is not stored and `why` says why.
template<typename Record> struct SqlField
{
    const char *key; // its name in tests and messages
    QVariant Record::*member; // null: an input the record does not hold (not stored)
    const char *column; // null when not stored
    const char *addedType; // the column's type, for a column older files gain when opened
    const char *why; // what the column holds, or why the field is not stored
};

// A record's values are held as the columns hold them: NULL where nothing is
// stored, a number or a text as it was stored. A window fills a record from
// what a tab shows and shows a loaded one whole; SqlRecords stores and reads it.

// A `sample` row with its composition: the residue and conjugate counts.
struct SqlSampleRecord
{
    // A residue's (or conjugate's) id in its reference table, and its count.
    struct Count
    {
        QVariant id;
        QVariant count;
    };

    QString name;
    QVariant vbarSource; // an SqlSource word
    QVariant vbarDirect, vbarStandard, vbarStandardT;
    // The composition page's figures; NULL while its Calculate box is off.
    QVariant calculatedVbar, calculatedMr, calculatedHydration;
    // Its Calculate boxes: 1 vbar, 2 Mr, 4 hydration. NULL (older rows): on
    // where a figure is stored.
    QVariant calculations;
    QVariant denaturant; // the id of the denaturant used, NULL for none
    QVariant sk, pkaAmino, pkaCarboxyl, pH;
    QVariant titratableAmino, titratableCarboxyl; // 1 or 0
    QVariant nMer; // NULL while the oligomer box is off
    // The one-letter codes; NULL when the sample holds no composition.
    QVariant sequence;
    QVector<Count> aminoAcids, conjugates;

    static const QVector<SqlField<SqlSampleRecord>> &fields();
};

// A `buffer` row with its components.
struct SqlSolventRecord
{
    struct Component
    {
        QVariant id; // in `bufferComponent`
        QString name; // read only, from `bufferComponent`; empty when its row has gone
        QVariant concentration;
        QString units;
    };

    QString name;
    QVariant densitySource, viscositySource; // SqlSource words
    QVariant densityDirect, viscosityDirect;
    QVariant densityStandard, densityStandardT, viscosityStandard, viscosityStandardT;
    // The buffer page's figures as it showed them: at the run temperature of
    // the save, in the buffer's water, as the file's format has them.
    QVariant computedDensity, computedViscosity;
    // The page's figures at 20 C in light water, from which a loaded solvent
    // is carried to the temperature of its run; NULL where not kept.
    QVariant computedDensityAt20, computedViscosityAt20;
    // 1 (rows of the release that kept no figures at 20 C of their own): the
    // computed figures above are the page's at 20 C in light water. NULL,
    // without figures at 20 C (rows written before): they are the page's at
    // the run temperature of their save, which is not known, and are shown as
    // stored.
    QVariant computedAt20;
    QVariant pH;
    QVariant heavyWater, d2o, d2o18, h2o18, h2o; // the water, as fractions of 1
    QVector<Component> components;

    static const QVector<SqlField<SqlSolventRecord>> &fields();
};

// An `experiment` row. A link is a record id, or -1 for none.
struct SqlExperimentRecord
{
    // On an overwrite, the link stored before; on a new record, no link.
    static constexpr int keepStoredLink = -2;

    QString name;
    QVariant tc, rpm, sigma, mp; // sedimentation equilibrium
    QVariant sstart, mgml, sstar; // sedimentation velocity
    QVariant vbar, rho, vis, mb;
    QVariant calculatedBy; // an SqlMrMethod word
    QVariant k; // the concentration dependence of s; NULL: none stored with the experiment
    // How vbar, rho and vis were obtained (SqlSource words), and a standard
    // value with the temperature it was measured at. NULL: not stored (older
    // rows): the linked record's source, else a typed figure.
    QVariant vbarSource, vbarStandard, vbarStandardT;
    QVariant densitySource, densityStandard, densityStandardT;
    QVariant viscositySource, viscosityStandard, viscosityStandardT;
    // 1: the velocity temperature was typed apart from the equilibrium one;
    // 0: it follows it. NULL (older rows): apart when the two differ.
    QVariant velocityTempTyped;
    // A radius and s20,w typed over the computed ones; NULL when computed.
    QVariant rpTyped, s20wTyped;
    // The composition's vbar in water at 20 C, used in s20,w while the Mr
    // comes from the composition; NULL when there is none.
    QVariant vbarWater;
    // The water of its buffer (fractions of 1), in which s20,w carries the
    // buffer's figures to the velocity temperature; NULL (older rows): light.
    QVariant waterD2o, waterD2o18, waterH2o18;
    QVariant radiusMethod; // an SqlRadiusMethod word; NULL (older rows): Teller's
    int sampleId = -1;
    int bufferId = -1;
    int resultsId = -1;
    // What each linked record held when the run was saved (SqlRecords::stamp()):
    // a linked record that holds other values now was saved over since. NULL
    // (older rows, or no link): not known.
    QVariant sampleStamp, bufferStamp, resultsStamp;

    static const QVector<SqlField<SqlExperimentRecord>> &fields();
};

// A `results` row: the Stokes radius and the figures of the vbar and Teller
// methods, the axes as semi-axes.
struct SqlResultsRecord
{
    QString name; // stored with a new record only: an overwrite keeps the name
    QVariant radius;
    QVariant vbarRadius, tellerRadius; // Ro, Rp
    QVariant vbarFriction, tellerFriction; // Fo, Fp
    QVariant vbarFrictionRatio, tellerFrictionRatio; // FFo, FFp
    QVariant vbarSmax, tellerSmax;
    QVariant vbarDmax, tellerDmax;
    QVariant vbarDelta1, tellerDelta1;
    QVariant vbarAxialRatio, tellerAxialRatio;
    QVariant vbarSemiAxisA, tellerSemiAxisA, vbarSemiAxisB, tellerSemiAxisB;
    // SqlRadiusMethod, SqlHydration and SqlShape words, and the option's value.
    QVariant method, option, optionValue, shape;
    // The computed hydration (g/g) the figures were computed with; NULL for none.
    QVariant hydrationValue;
    // The hydration shell's water in % of the dry particle, as the shape graph
    // draws it; NULL where the option gives none (or older rows).
    QVariant hydrationExpansion;
    int sampleId = -1;
    int bufferId = -1;
    int experimentId = -1;

    static const QVector<SqlField<SqlResultsRecord>> &fields();
};

// Row 1 of `defaults`, the program defaults.
struct SqlDefaultsRow
{
    QVariant temperature, density, viscosity, vbar, pH, sk;
};

// Stores and reads the records of one database file. A save is one
// transaction: a record and its composition are stored whole or not at all.
// A failure is reported, never shown: error() names the database file and the
// driver's text, for the window's box.
class SqlRecords
{
public:
    enum class Order { AsStored, ByName, ByDate };
    // One entry of a record list; `modified` only when asked for.
    struct Entry
    {
        QVariant id;
        QString name;
        QVariant modified;
    };
    enum class DefaultsSave { Stored, NotBegun, Failed, NoDefaultsRow };
    // A column that files gain when they are opened, and its table.
    struct AddedColumn
    {
        QString table, column, type;
    };

    explicit SqlRecords(const QSqlDatabase &db);

    // "file:\ndriver text" of the last failure.
    QString error() const { return m_error; }
    // The driver's text alone of the last failed read.
    QString driverText() const { return m_driverText; }
    // The last failed read was stopped by a file beside the database that is
    // not used: error() is the message that names it and what to do.
    bool refused() const { return m_refused; }
    // The last save failed because its record to overwrite was no longer listed.
    bool savedOverGone() const { return m_savedOverGone; }
    // The last save failed because its record to overwrite was no longer at
    // the version expectVersion() named: another program saved it since.
    bool savedOverChanged() const { return m_savedOverChanged; }

    // The listed (active) records of a kind.
    bool list(SqlRecordKind kind, Order order, bool withDates, QVector<Entry> *entries);
    bool anyListed(SqlRecordKind kind, bool *any);
    // The id of a listed record of that name (-1 for none): `preferred` where
    // it is one of them (the one a window took, of several of the name), else
    // the first.
    bool findListed(SqlRecordKind kind, const QString &name, int *id, int preferred = -1);
    // The name of a listed record; empty when it is not listed (deleted, or
    // made inactive).
    bool listedName(SqlRecordKind kind, int id, QString *name);
    // A record's `modified` value; invalid when it cannot be read.
    QVariant modified(SqlRecordKind kind, int id);

    // What a record holds, field by field, as texts (its name and links
    // aside): two records with the same texts hold the same values.
    static QStringList valuesOf(const SqlSampleRecord &record);
    static QStringList valuesOf(const SqlSolventRecord &record);
    static QStringList valuesOf(const SqlExperimentRecord &record);
    static QStringList valuesOf(const SqlResultsRecord &record);
    // A short digest of such values: what an experiment keeps of each record
    // it links, to tell one saved over since.
    static QString stampOf(const QStringList &values);
    // The stamp of a stored record as the file holds it now; empty when the
    // record is not listed (deleted, or made inactive). False when it cannot be read.
    bool stamp(SqlRecordKind kind, int id, QString *stamp);
    // A stored record's version: its stamp's values, its name and links, and
    // when it was last written (`modified`). Another version than the one a
    // window took means that the record was saved since. Empty when the
    // record is not listed; false when it cannot be read.
    bool version(SqlRecordKind kind, int id, QString *version);

    // The next save over a stored record writes only while the record is at
    // this version (read under the save's own lock): one saved by another
    // program in the meantime is not written over (savedOverChanged()).
    // Empty: any version.
    void expectVersion(const QString &version) { m_expectedVersion = version; }
    // Of the record the last successful save wrote, as its transaction left it.
    QString savedStamp() const { return m_savedStamp; }
    QString savedVersion() const { return m_savedVersion; }

    // storedId: the record to overwrite, or -1 for a new one; *savedId is the
    // id of the record written. A record to overwrite that another program has
    // deleted or made inactive since it was listed is not written into (nor
    // listed again): the save fails, and savedOverGone() says why.
    bool saveSample(const SqlSampleRecord &record, int storedId, int *savedId);
    bool saveSolvent(const SqlSolventRecord &record, int storedId, int *savedId);
    bool saveExperiment(const SqlExperimentRecord &record, int storedId, int *savedId);
    bool saveResults(const SqlResultsRecord &record, int storedId, int *savedId);

    // *found is false (and the record empty) when there is no row of that id,
    // *active whether the record is listed.
    bool loadSample(int id, SqlSampleRecord *record, bool *found = nullptr, bool *active = nullptr);
    bool loadSolvent(int id, SqlSolventRecord *record, bool *found = nullptr, bool *active = nullptr);
    bool loadExperiment(int id, SqlExperimentRecord *record, bool *found = nullptr, bool *active = nullptr);
    bool loadResults(int id, SqlResultsRecord *record, bool *found = nullptr, bool *active = nullptr);

    // A failed read leaves the row empty.
    bool loadDefaults(SqlDefaultsRow *row);
    // Writes the values the row holds, NULL ones left as they are.
    DefaultsSave saveDefaults(const SqlDefaultsRow &changes);

    // The writes of a solvent save, on a query of the caller's transaction;
    // the importer's too. False with the driver's error on the query. A query
    // prepared for the statement already is not prepared again.
    static bool prepareNewSolvent(QSqlQuery &query);
    static bool writeSolvent(QSqlQuery &query, const SqlSolventRecord &record, int storedId, QVariant *id);
    static bool writeComponents(
        QSqlQuery &query, const QVariant &bufferId, const QVector<SqlSolventRecord::Component> &components);

    // A choice column: the object name of each button and the word it stands
    // for, and which of the two the file holds.
    struct ChoiceColumn
    {
        QString table, column;
        QVector<QPair<QString, QString>> words; // object name, word
        bool storesNames; // a column of the format: the object name
        // The statement that turns values of the other form into the stored
        // one, and a query that gives a row while any row holds one. Fixed
        // names only.
        QString translation() const;
        QString anyLeft() const;
    };

    // A run's figure that the format stores as 0.0 where there is none, as
    // storedOf() stores it.
    struct NoneColumn
    {
        QString table, column;
        // The statement that stores none as 0.0, and a query that gives a row
        // while any row holds none otherwise (NULL, or an empty text). Fixed
        // names only.
        QString translation() const;
        QString anyLeft() const;
    };

    // For the migration: the columns the record tables gained after their
    // revision, in the order they are added, the choice columns and the
    // figures stored as 0.0 where there are none.
    static QVector<AddedColumn> addedColumns();
    static const QVector<ChoiceColumn> &choiceColumns();
    static QVector<NoneColumn> noneColumns();
    // A stored value as the program holds it: a choice column's as a word,
    // whichever form the row holds (another program's rows, or an older
    // release's), and the format's 0.0 for a run's speed, sigma or
    // concentration as none; anything else stays.
    static QVariant wordOf(const QString &table, const QString &column, const QVariant &value);
    // A value in the form the file holds: a choice column's as the file spells
    // it, and no speed, sigma or concentration as the format stores it, 0.0;
    // anything else stays. Every save and the import store through it.
    static QVariant storedOf(const QString &table, const QString &column, const QVariant &value);

private:
    // One record's save in one transaction: write runs its statements on the
    // query and gives the record's id; a false from it rolls everything back
    // with the error of the query's last statement.
    bool save(SqlRecordKind kind, int storedId, int *savedId, const std::function<bool(QSqlQuery &, int *)> &write);
    bool readFailed(QSqlQuery &query);
    // The stamp and the version of a stored record, each when asked for.
    bool readStamps(SqlRecordKind kind, int id, QString *stamp, QString *version);

    QSqlDatabase m_db;
    QString m_error;
    QString m_driverText;
    bool m_refused = false;
    bool m_savedOverGone = false;
    bool m_savedOverChanged = false;
    QString m_expectedVersion;
    QString m_savedStamp;
    QString m_savedVersion;
};

#endif
