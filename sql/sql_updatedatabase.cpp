#include "sql/sql_updatedatabase.h"

#include "app/app_log.h"
#include "app/app_regularfile.h"
#include "app/app_version.h"
#include "sql/sql_databasefile.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_records.h"
#include "sql/sql_transaction.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {

// Every table but `version` keeps `modified` through one insert and one update
// trigger. The older tables select the updated row by OLD.id, the later ones by
// NEW.id; both name the same row, since no statement changes an id.
QString modifiedTrigger(const char *table, bool onInsert, bool byOldId = false)
{
    return QStringLiteral("CREATE TRIGGER %1_%2_modified_time   AFTER %3 ON %1     BEGIN     "
                          "UPDATE %1 SET modified=datetime('now')     WHERE id = %4.id;     END; ")
        .arg(QLatin1String(table), QLatin1String(onInsert ? "insert" : "update"),
            QLatin1String(onInsert ? "INSERT" : "UPDATE"), QLatin1String(byOldId ? "OLD" : "NEW"));
}

QString insertTrigger(const char *table)
{
    return modifiedTrigger(table, true);
}

QString updateTrigger(const char *table, bool byOldId)
{
    return modifiedTrigger(table, false, byOldId);
}

const char *const createRhoseries = "CREATE TABLE rhoseries (id INTEGER PRIMARY KEY, name VARCHAR(40), a DOUBLE, "
                                    "b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, f DOUBLE, Cmax DOUBLE, "
                                    "ErrorMax DOUBLE, Source VARCHAR(80), modified DATE)";
const char *const createViscseries = "CREATE TABLE viscseries (id INTEGER PRIMARY KEY, name VARCHAR(40), a DOUBLE, "
                                     "b DOUBLE, c DOUBLE, d DOUBLE, e DOUBLE, Cmax DOUBLE, ErrorMax DOUBLE, "
                                     "Source VARCHAR(80), modified DATE)";

QVector<SqlUpdateDatabase::Step> buildSteps()
{
    QVector<SqlUpdateDatabase::Step> steps;

    // The first release kept no modification dates.
    {
        SqlUpdateDatabase::Step step { QStringLiteral("01.24.2011"), QStringLiteral("02.07.2011"), {} };
        for (const char *table : { "amino", "conjugates", "denature", "extinction", "rhoseries", "viscseries" }) {
            step.statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN modified DATE; ").arg(QLatin1String(table))
                            << insertTrigger(table) << updateTrigger(table, true);
        }
        steps << step;
    }

    // Solvent records; a composition names its component by text here.
    steps << SqlUpdateDatabase::Step { QStringLiteral("02.07.2011"), QStringLiteral("03.10.2011"),
        { QStringLiteral("CREATE TABLE buffer (id INTEGER PRIMARY KEY, name VARCHAR(64), densityDirectEntry DOUBLE, "
                         "viscosityDirectEntry DOUBLE, densityStandard DOUBLE, viscosityStandard DOUBLE, "
                         "densityStandardT DOUBLE, viscosityStandardT DOUBLE, computeDensity DOUBLE, "
                         "computeViscosity DOUBLE, pH DOUBLE, isHeavyWater INTEGER, D2O DOUBLE, D2O18 DOUBLE, "
                         "H2O18 DOUBLE, H2O DOUBLE, active INTEGER NOT NULL DEFAULT (1), modified DATE)"),
            insertTrigger("buffer"), updateTrigger("buffer", true),
            QStringLiteral(
                "CREATE TABLE bufferComposition (id INTEGER PRIMARY KEY, bufferId INTEGER, name VARCHAR(40), "
                "componentRhoId INTEGER, componentViscId INTEGER, concentration DOUBLE, units VARCHAR(10), "
                "active INTEGER NOT NULL DEFAULT (1), modified DATE)"),
            insertTrigger("bufferComposition"), updateTrigger("bufferComposition", false) } };

    // Buffer components become records of their own that point at their series;
    // the series lose their soft-delete flag (inactive rows are dropped) and the
    // compositions point at components by id. Rows copied before the new
    // triggers exist keep a NULL `modified`.
    steps << SqlUpdateDatabase::Step { QStringLiteral("03.10.2011"), QStringLiteral("04.14.2011"),
        { QStringLiteral("CREATE TABLE BufferComponent (id INTEGER PRIMARY KEY, name VARCHAR(40), "
                         "componentRhoId INTEGER, componentViscId INTEGER, componentDensity DOUBLE, "
                         "componentMr DOUBLE, active INTEGER NOT NULL DEFAULT (1), modified DATE)"),
            insertTrigger("BufferComponent"), updateTrigger("BufferComponent", false),
            QStringLiteral("CREATE TRIGGER bufferComponent_rhoseries_update_modified_time   AFTER UPDATE ON rhoseries "
                           "    BEGIN     UPDATE bufferComponent SET modified = datetime('now')     "
                           "WHERE componentRhoId = NEW.id;     END; "),
            QStringLiteral(
                "CREATE TRIGGER bufferComponent_viscseries_update_modified_time   AFTER UPDATE ON viscseries "
                "    BEGIN     UPDATE bufferComponent SET modified = datetime('now')     "
                "WHERE componentViscId = NEW.id;     END; "),
            QStringLiteral("ALTER TABLE rhoseries RENAME TO rhoseries_old "),
            QStringLiteral("ALTER TABLE viscseries RENAME TO viscseries_old "), QLatin1String(createViscseries),
            QStringLiteral("INSERT INTO viscseries (name, a, b, c, d, e, Cmax, ErrorMax, Source) SELECT name, a, b, c, "
                           "d, e, Cmax, ErrorMax, Source FROM viscseries_old WHERE active > 0"),
            QStringLiteral("DROP TABLE viscseries_old "), QLatin1String(createRhoseries),
            QStringLiteral(
                "INSERT INTO rhoseries (name, a, b, c, d, e, f,Cmax, ErrorMax, Source) SELECT name, a, b, c, "
                "d, e, f, Cmax, ErrorMax, Source FROM rhoseries_old WHERE active > 0"),
            QStringLiteral("DROP TABLE rhoseries_old "), insertTrigger("rhoseries"), updateTrigger("rhoseries", true),
            insertTrigger("viscseries"), updateTrigger("viscseries", true),
            QStringLiteral("INSERT INTO BufferComponent (name, componentRhoid, componentViscId, active) "
                           "SELECT name, rhoid, viscid, 1 FROM ("
                           "SELECT rhoseries.name, rhoseries.id as rhoID, viscseries.id as viscID FROM rhoseries, "
                           "viscseries WHERE rhoseries.name = viscseries.name "
                           "UNION SELECT rhoseries.name, id, NULL FROM rhoseries WHERE rhoseries.name NOT IN "
                           "(SELECT DISTINCT name FROM viscseries ) "
                           "UNION SELECT viscseries.name, NULL, id FROM viscseries WHERE viscseries.name NOT IN "
                           "(SELECT DISTINCT name FROM rhoseries ))"),
            QStringLiteral("ALTER TABLE buffercomposition RENAME TO buffercomposition_old "),
            QStringLiteral("CREATE TABLE bufferComposition (id INTEGER PRIMARY KEY, bufferId INTEGER, "
                           "componentID INTEGER, concentration DOUBLE, units VARCHAR(10), "
                           "active INTEGER NOT NULL DEFAULT (1), modified DATE)"),
            QStringLiteral("INSERT INTO buffercomposition (bufferId, componentID, concentration, units, active) "
                           "SELECT bufferid, buffercomponent.id, concentration, units, bufferComposition_old.active "
                           "FROM buffercomposition_old JOIN buffercomponent ON buffercomponent.name = "
                           "buffercomposition_old.name"),
            QStringLiteral("DROP TABLE bufferComposition_old"), insertTrigger("bufferComposition"),
            updateTrigger("bufferComposition", false) } };

    // Sample records with their residue and conjugate counts.
    steps << SqlUpdateDatabase::Step { QStringLiteral("04.14.2011"), QStringLiteral("05.12.2011"),
        { QStringLiteral("CREATE TABLE sample (id INTEGER PRIMARY KEY, name VARCHAR(64), VBarDirectEntry DOUBLE, "
                         "VBarStandard DOUBLE, VbarStandardT DOUBLE, calcVBar DOUBLE, calcMr DOUBLE, "
                         "calcHydration DOUBLE, useDenaturant INTEGER REFERENCES denaturant(id), sk DOUBLE, "
                         "pkaamino DOUBLE, pkacarboxl DOUBLE, pH DOUBLE, nMer INTEGER, aminoSequence TEXT, "
                         "active INTEGER NOT NULL DEFAULT(1), modified DATE)"),
            QStringLiteral("CREATE TABLE aminoComposition (id INTEGER PRIMARY KEY, sampleId INTEGER REFERENCES "
                           "sample(id), aminoId INTEGER REFERENCES amino(id), count INTEGER, "
                           "active INTEGER NOT NULL DEFAULT(1), modified DATE)"),
            QStringLiteral("CREATE TABLE conjugateComposition (id INTEGER PRIMARY KEY, sampleId INTEGER REFERENCES "
                           "sample(id), conjugateId INTEGER REFERENCES conjugates(id), count INTEGER, "
                           "active INTEGER NOT NULL DEFAULT(1), modified DATE)"),
            insertTrigger("sample"), updateTrigger("sample", false), insertTrigger("aminoComposition"),
            updateTrigger("aminoComposition", false), insertTrigger("conjugateComposition"),
            updateTrigger("conjugateComposition", false) } };

    // The program defaults, seeded as row 1.
    steps << SqlUpdateDatabase::Step { QStringLiteral("05.12.2011"), QStringLiteral("05.18.2011"),
        { QStringLiteral("CREATE TABLE defaults (id INTEGER PRIMARY KEY, temperature DOUBLE, density DOUBLE, "
                         "viscosity DOUBLE, vbar DOUBLE, pH DOUBLE, sk DOUBLE, modified DATE)"),
            insertTrigger("defaults"), updateTrigger("defaults", false),
            QStringLiteral("INSERT INTO defaults (temperature, density, viscosity, vbar, pH, sK) "
                           "VALUES (20, .99823, .01002, .7300, 7.000, .009)") } };

    steps << SqlUpdateDatabase::Step { QStringLiteral("05.18.2011"), QStringLiteral("20110705"),
        { QStringLiteral("ALTER TABLE sample ADD COLUMN aminoSequenceCodeSize integer;\n ") } };

    // Experiment and results records.
    steps << SqlUpdateDatabase::Step { QStringLiteral("20110705"), QStringLiteral("20110919"),
        { QStringLiteral("CREATE TABLE experiment (id INTEGER PRIMARY KEY, name varchar(64), Tc DOUBLE, RPM DOUBLE, "
                         "sigma DOUBLE, sstar DOUBLE, mgml DOUBLE, sstart DOUBLE, vbar DOUBLE, rho DOUBLE, vis DOUBLE, "
                         "Mp DOUBLE, Mb DOUBLE, calculatedBy varchar(30), sample_id INTEGER, buffer_id INTEGER, "
                         "results_id INTEGER, active INTEGER NOT NULL DEFAULT(1), modified DATE)"),
            insertTrigger("experiment"), updateTrigger("experiment", false),
            QStringLiteral("CREATE TABLE results (id INTEGER PRIMARY KEY, name varchar(64), R DOUBLE, Ro DOUBLE, "
                           "Rp DOUBLE, Fo DOUBLE, Fp DOUBLE, FFo DOUBLE, FFp DOUBLE, So DOUBLE, Sp DOUBLE, Do DOUBLE, "
                           "Dp DOUBLE, Delta1v DOUBLE, Delta1t DOUBLE, abv DOUBLE, abt DOUBLE, av DOUBLE, at DOUBLE, "
                           "bv DOUBLE, bt DOUBLE, method varchar(20), options varchar(25), options_value DOUBLE, "
                           "shape varchar(25), sample_id INTEGER, buffer_id INTEGER, experiment_id INTEGER, "
                           "active INTEGER NOT NULL DEFAULT(1), modified DATE)"),
            insertTrigger("results"), updateTrigger("results", false) } };

    steps << SqlUpdateDatabase::Step { QStringLiteral("20110919"), QStringLiteral("20111118"),
        { QStringLiteral("ALTER TABLE version ADD COLUMN applicationVersion varchar(9);\n ") } };

    steps << SqlUpdateDatabase::Step { QStringLiteral("20111118"), QStringLiteral("20120320"),
        { QStringLiteral("create index index_conjugates_id on conjugates (id);\n"),
            QStringLiteral("create index index_amino_id on amino (id);\n") } };
    return steps;
}

// A column of this release's schema, and its definition as a file gains it.
struct SchemaColumn
{
    QString name;
    QString definition;
    bool key;
};

struct SchemaTable
{
    QString name;
    QVector<SchemaColumn> columns;
};

// The tables of this release as a new file receives them, read once from a
// file made in memory by the same statements.
QVector<SchemaTable> buildSchema()
{
    QVector<SchemaTable> tables;
    const QString name = QStringLiteral("vornakel-schema-%1").arg(quintptr(QThread::currentThreadId()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QStringList statements = SqlUpdateDatabase::baseSchema();
        for (const SqlUpdateDatabase::Step &step : SqlUpdateDatabase::steps())
            statements << step.statements;
        for (const SqlRecords::AddedColumn &column : SqlRecords::addedColumns())
            statements
                << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(column.table, column.column, column.type);
        statements << QStringLiteral("SELECT m.name, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk FROM "
                                     "sqlite_master m, pragma_table_info(m.name) p WHERE m.type = 'table' "
                                     "ORDER BY m.rowid, p.cid");
        bool ok = db.open();
        QSqlQuery query(db);
        for (const QString &statement : qAsConst(statements)) {
            if (ok && !query.exec(statement)) {
                qCCritical(lcSql).noquote() << statement << query.lastError().text();
                ok = false;
            }
        }
        while (ok && query.next()) {
            if (tables.isEmpty() || tables.last().name != query.value(0).toString())
                tables.append({ query.value(0).toString(), {} });
            QString definition = query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString();
            if (query.value(3).toBool())
                definition += QLatin1String(" NOT NULL");
            if (!query.value(4).isNull())
                definition += QStringLiteral(" DEFAULT (%1)").arg(query.value(4).toString());
            tables.last().columns.append({ query.value(1).toString(), definition, query.value(5).toBool() });
        }
    }
    QSqlDatabase::removeDatabase(name);
    return tables;
}

const QVector<SchemaTable> &currentSchema()
{
    static const QVector<SchemaTable> tables = buildSchema();
    return tables;
}

// What a file holds, as far as bringing it up to date goes.
struct FileState
{
    bool isNew = false; // an empty schema, or no version row or value
    QString version;
    QHash<QString, QSet<QString>> columns; // by table, both in lower case
};

bool readVersion(QSqlQuery &query, FileState *state)
{
    state->isNew = false;
    state->version.clear();
    // A file with an empty schema (such as the 0-byte file a failed first
    // start leaves behind) is a new file, not a broken one.
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    const bool emptySchema = query.next() && query.value(0).toInt() == 0;
    query.finish();
    if (emptySchema) {
        state->isNew = true;
        return true;
    }
    if (!query.prepare(QStringLiteral("SELECT databaseVersion FROM version")) || !query.exec())
        return false;
    // A missing row and a NULL value both mean a new file; an empty text is a version outside the chain.
    if (query.next() && !query.value(0).isNull())
        state->version = query.value(0).toString();
    else
        state->isNew = true;
    query.finish();
    return true;
}

bool readColumns(QSqlQuery &query, FileState *state)
{
    state->columns.clear();
    if (!query.exec(QStringLiteral("SELECT lower(m.name), lower(p.name) FROM sqlite_master m, "
                                   "pragma_table_info(m.name) p WHERE m.type = 'table'")))
        return false;
    while (query.next())
        state->columns[query.value(0).toString()].insert(query.value(1).toString());
    query.finish();
    return true;
}

bool hasColumn(const FileState &state, const QString &table, const QString &column)
{
    return state.columns.value(table.toLower()).contains(column.toLower());
}

// The statements that give each table of this release that the file has the
// columns it lacks, in the order a new file has them. A missing key cannot be
// added; the table is then not this release's.
QStringList addedColumns(const FileState &state)
{
    QStringList statements;
    for (const SchemaTable &table : currentSchema()) {
        if (!state.columns.contains(table.name.toLower()))
            continue;
        for (const SchemaColumn &column : table.columns) {
            if (!column.key && !hasColumn(state, table.name, column.name))
                statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table.name, column.definition);
        }
    }
    return statements;
}

// What opening the file writes.
enum class Write {
    None,
    // Only the spelling of its choices, runs' figures stored empty where the
    // format stores 0.0, or this release's stamp: a file that cannot be
    // written is read as it is, since every read takes either form.
    Stamp,
    Figures,
    Choices,
    // A new file, a step of the chain, a column its tables lack: the records'
    // statements need them.
    Schema,
};

// What opening the file writes: a new file, a step of the chain, a column its
// tables lack, a choice in the form its column does not hold, a run's figure
// stored empty where the format stores 0.0, or another release's stamp.
bool needsWrite(QSqlQuery &query, const FileState &state, Write *needed)
{
    *needed = Write::Schema;
    if (state.isNew)
        return true;
    for (const SqlUpdateDatabase::Step &step : SqlUpdateDatabase::steps()) {
        if (state.version == step.from)
            return true;
    }
    if (!addedColumns(state).isEmpty())
        return true;
    // Whether a column of these holds a row in the form it does not keep;
    // false with `failed` set when the file could not be read.
    bool failed = false;
    const auto anyLeft = [&](const auto &columns) {
        for (const auto &column : columns) {
            if (!hasColumn(state, column.table, column.column))
                continue;
            if (!query.exec(column.anyLeft()))
                return !(failed = true);
            const bool any = query.next();
            query.finish();
            if (any)
                return true;
        }
        return false;
    };
    *needed = Write::Choices;
    if (anyLeft(SqlRecords::choiceColumns()) || failed)
        return !failed;
    *needed = Write::Figures;
    if (anyLeft(SqlRecords::noneColumns()) || failed)
        return !failed;
    if (!query.prepare(QStringLiteral("SELECT 1 FROM version WHERE applicationVersion IS NOT :version LIMIT 1")))
        return false;
    query.bindValue(QStringLiteral(":version"), APPVERSION);
    if (!query.exec())
        return false;
    *needed = query.next() ? Write::Stamp : Write::None;
    query.finish();
    return true;
}

// SQLite's word for a file, or a folder, that this user may not write.
bool isReadOnly(const QString &driverText)
{
    return driverText.contains(QLatin1String("attempt to write a readonly database"));
}

// Choices stored in the form their column does not hold are written in the
// one it holds: the object name in a column of the format (rows an earlier
// release wrote as words), the word in a column this program added; a run's
// speed, sigma or concentration stored empty (rows an earlier release wrote,
// or another program) as the format stores none, 0.0. A row so rewritten is the same
// record, spelt as the file's version says: it keeps its date. The table's
// triggers, which would date it now, are set aside while its rows are
// rewritten and put back as they were, all inside the caller's transaction.
bool translateChoices(QSqlQuery &query, const FileState &state)
{
    QStringList tables;
    for (const SqlRecords::ChoiceColumn &column : SqlRecords::choiceColumns()) {
        if (!tables.contains(column.table))
            tables << column.table;
    }
    for (const SqlRecords::NoneColumn &column : SqlRecords::noneColumns()) {
        if (!tables.contains(column.table))
            tables << column.table;
    }
    for (const QString &table : qAsConst(tables)) {
        QStringList translations;
        const auto translate = [&](const auto &column) {
            if (column.table != table || !hasColumn(state, column.table, column.column))
                return true;
            if (!query.exec(column.anyLeft()))
                return false;
            if (query.next())
                translations << column.translation();
            query.finish();
            return true;
        };
        for (const SqlRecords::ChoiceColumn &column : SqlRecords::choiceColumns()) {
            if (!translate(column))
                return false;
        }
        for (const SqlRecords::NoneColumn &column : SqlRecords::noneColumns()) {
            if (!translate(column))
                return false;
        }
        if (translations.isEmpty())
            continue;
        if (!query.prepare(QStringLiteral(
                "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND lower(tbl_name) = lower(:table)")))
            return false;
        query.bindValue(QStringLiteral(":table"), table);
        if (!query.exec())
            return false;
        QVector<QPair<QString, QString>> triggers;
        while (query.next())
            triggers.append({ query.value(0).toString(), query.value(1).toString() });
        query.finish();
        QStringList statements;
        for (const auto &trigger : qAsConst(triggers)) {
            QString name = trigger.first;
            statements
                << QStringLiteral("DROP TRIGGER \"%1\"").arg(name.replace(QLatin1Char('"'), QStringLiteral("\"\"")));
        }
        statements << translations;
        for (const auto &trigger : qAsConst(triggers))
            statements << trigger.second;
        for (const QString &statement : qAsConst(statements)) {
            if (!query.exec(statement))
                return false;
        }
    }
    return true;
}

} // namespace

SqlUpdateDatabase::SqlUpdateDatabase(QObject *parent) : QObject(parent) { }

const QStringList &SqlUpdateDatabase::baseSchema()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE version (databaseVersion varchar(9))"),
        QStringLiteral(
            "CREATE TABLE amino (\"id\" INTEGER PRIMARY KEY, \"Namethree\" VARCHAR(3), \"name\" VARCHAR(25), "
            "\"nameone\" VARCHAR(1), \"Mr\" DOUBLE, \"covalent\" INTEGER, \"vbar\" DOUBLE, "
            "\"HipH7\" DOUBLE, \"HipH4\" DOUBLE, \"extinction\" DOUBLE, \"charge\" DOUBLE, \"pka\" DOUBLE, "
            "\"active\" INTEGER NOT NULL DEFAULT (1))"),
        QStringLiteral("CREATE TABLE conjugates (\"id\" INTEGER PRIMARY KEY, \"name\" VARCHAR(30), \"Mr\" DOUBLE, "
                       "\"covalent\" INTEGER, \"vbar\" DOUBLE, \"hiph7\" DOUBLE, \"hiph4\" DOUBLE, "
                       "\"extinction\" DOUBLE, \"charge\" DOUBLE, \"pka\" DOUBLE, \"Mcutoff\" DOUBLE, "
                       "\"carbo\" INTEGER, \"active\" INTEGER NOT NULL DEFAULT (1))"),
        QStringLiteral("CREATE TABLE denature (\"id\" INTEGER PRIMARY KEY, \"Name\" VARCHAR(25), \"rhomin\" DOUBLE, "
                       "\"v3\" DOUBLE, \"g3\" DOUBLE, \"Md\" DOUBLE, \"carbo\" BOOLEAN, "
                       "\"active\" INTEGER NOT NULL DEFAULT (1))"),
        QStringLiteral("CREATE TABLE extinction (\"id\" INTEGER PRIMARY KEY, \"name\" VARCHAR(25), \"nm\" DOUBLE, "
                       "\"ext\" DOUBLE, \"active\" INTEGER NOT NULL DEFAULT (1))"),
        QStringLiteral("CREATE TABLE rhoseries (\"id\" INTEGER PRIMARY KEY, \"name\" VARCHAR(40), \"a\" DOUBLE, "
                       "\"b\" DOUBLE, \"c\" DOUBLE, \"d\" DOUBLE, \"e\" DOUBLE, \"f\" DOUBLE, \"Cmax\" DOUBLE, "
                       "\"ErrorMax\" DOUBLE, \"Source\" VARCHAR(80), \"active\" INTEGER NOT NULL DEFAULT (1))"),
        QStringLiteral("CREATE TABLE viscseries (\"id\" INTEGER PRIMARY KEY, \"name\" VARCHAR(40), \"a\" DOUBLE, "
                       "\"b\" DOUBLE, \"c\" DOUBLE, \"d\" DOUBLE, \"e\" DOUBLE, \"Cmax\" DOUBLE, "
                       "\"ErrorMax\" DOUBLE, \"Source\" VARCHAR(80), \"active\" INTEGER NOT NULL DEFAULT (1))"),
    };
    return statements;
}

const QVector<SqlUpdateDatabase::Step> &SqlUpdateDatabase::steps()
{
    static const QVector<Step> chain = buildSteps();
    return chain;
}

// A file that is no database of this program: which one, why, and what to do.
// Nothing has been written to it at this point.
QString SqlUpdateDatabase::unreadable(const QString &path, const QString &reason)
{
    return QStringLiteral("The database file\n%1\ncannot be used: %2\n\nChoose another database file, or move this "
                          "one aside to start with a new one. Nothing has been written to it.")
        .arg(QDir::toNativeSeparators(path), reason);
}

// A failure while the file is brought up to date; the rollback leaves it as it was.
QString SqlUpdateDatabase::notUpdated(const QString &path, const QString &reason)
{
    return QStringLiteral("The database file\n%1\ncould not be brought up to date: %2\n\nIt has been left as it "
                          "was.")
        .arg(QDir::toNativeSeparators(path), reason);
}

bool SqlUpdateDatabase::openAndUpdate(const QString &path)
{
    // A named pipe would not open as a database, a folder or a device even less.
    m_locked = false;
    m_notice.clear();
    m_error = AppRegularFile::refusal(path);
    if (m_error.isEmpty())
        m_error = SqlJournalGuard::refusal(path);
    // Opened, it could not be written: said before anything is tried.
    const QString tooLong = SqlDatabaseFile::nameTooLong(path);
    if (m_error.isEmpty() && !tooLong.isEmpty())
        m_error = QStringLiteral("Cannot open the database:\n%1\n\n%2").arg(path, tooLong);
    if (!m_error.isEmpty())
        return false;

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
    db.setHostName(QStringLiteral("localhost"));
    db.setDatabaseName(path);
    SqlTransaction::waitBriefly(db);
    if (!db.open()) {
        m_error = SqlJournalGuard::takeRefusal();
        if (m_error.isEmpty())
            m_error
                = QStringLiteral("Cannot open the database:\n%1\n\n%2").arg(path, db.lastError().text().simplified());
        return false;
    }

    // A look first, writing nothing: a file that is up to date is not written
    // at all, so that any number of instances open it at once.
    // A file another program holds locked is waited for, the window going on.
    QSqlQuery query(db);
    FileState state;
    Write needed = Write::None;
    QSqlError lookError;
    const bool looked = SqlTransaction::whileLocked([&](QSqlError *error) {
        if (readVersion(query, &state) && readColumns(query, &state) && needsWrite(query, state, &needed))
            return true;
        if (!lookError.isValid() && SqlTransaction::isLocked(query.lastError()))
            emit sigShowMessage(
                QStringLiteral("Waiting for %1, which another program holds...").arg(QDir::toNativeSeparators(path)));
        *error = lookError = query.lastError();
        query.finish();
        return false;
    });
    if (!looked) {
        // Put there since the look above, what lies beside it is named all the same.
        m_error = SqlJournalGuard::takeRefusal();
        if (!m_error.isEmpty())
            return false;
        m_locked = SqlTransaction::isLocked(lookError);
        m_error = m_locked ? SqlTransaction::report(path, lookError.text()) : unreadable(path, lookError.text());
        return false;
    }
    query.finish();
    if (needed == Write::None)
        return true;

    // Without a transaction a failure would leave a half-migrated file behind.
    // It holds the write lock from its start: an instance that updates the
    // file at the same time is waited for.
    SqlTransaction transaction(db);
    if (!transaction.isOpen()) {
        m_locked = SqlTransaction::isLocked(transaction.driverText());
        if (m_locked) {
            m_error = transaction.error();
            return false;
        }
        const QString text = QStringLiteral("Unable to begin a database transaction.");
        emit sigShowMessage(text);
        m_error = notUpdated(path, text + QLatin1Char('\n') + transaction.driverText());
        return false;
    }

    auto fail = [&](const QString &text) {
        query.finish();
        transaction.fail(text);
        // One this user may not write is used as it is where nothing that the
        // records need is missing, and the person is told what that leaves.
        if (needed != Write::Schema && isReadOnly(text)) {
            if (needed == Write::Choices)
                m_notice = QStringLiteral("The database file\n%1\nis opened as it is, and nothing can be saved to "
                                          "it: %2.\n\nThe choices an earlier release stored in it as words (the Mr "
                                          "method, the results' method, hydration option and shape) stay so, where "
                                          "its version (%3) has the object names of the buttons: other programs "
                                          "that read the file may take them wrongly. Open it where it can be "
                                          "written to have them stored as its version says.")
                               .arg(QDir::toNativeSeparators(path), text.simplified(), state.version);
            return true;
        }
        m_error = notUpdated(path, text);
        return false;
    };

    // Read again under the lock: that instance may have brought it up to date.
    if (!readVersion(query, &state))
        return fail(query.lastError().text());
    bool changed = false;
    QString version = state.version;
    if (state.isNew) {
        for (const QString &statement : baseSchema()) {
            if (!query.exec(statement))
                return fail(query.lastError().text());
        }
        // The row starts with a NULL version; the stamp below writes the one reached.
        if (!query.prepare(QStringLiteral("INSERT INTO version (databaseVersion) VALUES (:version)")))
            return fail(query.lastError().text());
        query.bindValue(QStringLiteral(":version"), QVariant(QVariant::String));
        if (!query.exec())
            return fail(query.lastError().text());
        version = steps().first().from;
        changed = true;
    }

    // Versions are matched as exact strings; one outside the chain runs nothing.
    for (const Step &step : steps()) {
        if (version != step.from)
            continue;
        for (const QString &statement : step.statements) {
            if (!query.exec(statement))
                return fail(query.lastError().text());
        }
        version = step.to;
        changed = true;
    }

    // Whatever the version, each table of this release that the file has
    // gains the columns it lacks (a file of a version outside the chain, or
    // one an older release of this revision wrote): the statements of the
    // records name them all. No table is created: a file without one opens,
    // and what needs the table says so. Rows hold NULL in a new column (a
    // soft-delete flag: 1), which each record reads as older rows' way.
    // Choices, and runs' figures without a value, are stored in the form the file holds.
    if (!readColumns(query, &state))
        return fail(query.lastError().text());
    for (const QString &statement : addedColumns(state)) {
        if (!query.exec(statement))
            return fail(query.lastError().text());
    }
    if (!translateChoices(query, state))
        return fail(query.lastError().text());

    if (changed) {
        if (!query.prepare(QStringLiteral("UPDATE version SET databaseVersion = :version")))
            return fail(query.lastError().text());
        query.bindValue(QStringLiteral(":version"), version);
        if (!query.exec())
            return fail(query.lastError().text());
    }

    if (!query.prepare(QStringLiteral(
            "UPDATE version SET applicationVersion = :version WHERE applicationVersion IS NOT :sameVersion")))
        return fail(query.lastError().text());
    query.bindValue(QStringLiteral(":version"), APPVERSION);
    query.bindValue(QStringLiteral(":sameVersion"), APPVERSION);
    if (!query.exec())
        return fail(query.lastError().text());

    query.finish();
    if (!transaction.commit()) {
        m_locked = SqlTransaction::isLocked(transaction.driverText());
        m_error = m_locked ? transaction.error() : notUpdated(path, transaction.driverText());
        return false;
    }
    // Announced only once it is on disk: a failed commit must not read as an update.
    if (changed)
        emit sigShowMessage(QStringLiteral("Updated Database schema to version '%1'").arg(version));
    return true;
}
