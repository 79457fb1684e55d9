#include "sql/sql_updatedatabase.h"

#include "app/app_regularfile.h"
#include "app/app_version.h"
#include "sql/sql_records.h"
#include "sql/sql_transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The driver's text of a failed frame: its report without the file, which the
// messages here name themselves.
QString driverText(const QSqlDatabase &db, const SqlTransaction &transaction)
{
    return transaction.error().mid(SqlTransaction::report(db, QString()).size());
}

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
    m_error = AppRegularFile::refusal(path);
    if (!m_error.isEmpty())
        return false;
    // Opening creates the file, so look first.
    const bool existed = QFileInfo::exists(path);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
    db.setHostName(QStringLiteral("localhost"));
    db.setDatabaseName(path);
    if (!db.open()) {
        m_error = QStringLiteral("Cannot open the database:\n%1").arg(path);
        return false;
    }

    QSqlQuery query(db);
    bool haveVersion = false; // a missing row and a NULL value both mean a new file
    QString version;

    if (existed) {
        // A file with an empty schema (such as the 0-byte file a failed first
        // start leaves behind) is a new file, not a broken one.
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            m_error = unreadable(path, query.lastError().text());
            return false;
        }
        const bool emptySchema = query.next() && query.value(0).toInt() == 0;
        query.finish();
        if (!emptySchema) {
            if (!query.prepare(QStringLiteral("SELECT databaseVersion FROM version")) || !query.exec()) {
                m_error = unreadable(path, query.lastError().text());
                return false;
            }
            if (query.next() && !query.value(0).isNull()) {
                version = query.value(0).toString();
                haveVersion = true;
            }
            query.finish();
        }
    }

    // Without a transaction a failure would leave a half-migrated file behind.
    SqlTransaction transaction(db);
    if (!transaction.isOpen()) {
        const QString text = QStringLiteral("Unable to begin a database transaction.");
        emit sigShowMessage(text);
        m_error = notUpdated(path, text + QLatin1Char('\n') + driverText(db, transaction));
        return false;
    }

    auto fail = [&](const QString &text) {
        query.finish();
        transaction.fail(text);
        m_error = notUpdated(path, text);
        return false;
    };

    bool changed = false;
    if (!haveVersion) {
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
        haveVersion = true;
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

    // Columns the record tables gained after this revision: nullable, so
    // files of this revision gain them when they are opened, whatever wrote
    // them, each one a table lacks in the order the records list them. Their
    // rows keep NULL, which each record reads as the older rows' way (an
    // experiment: a k it did not store, typed figures). Sources older rows
    // stored as the object name of a button become words.
    if (version == DBVERSION) {
        QHash<QString, QStringList> present;
        for (const SqlRecords::AddedColumn &column : SqlRecords::addedColumns()) {
            if (!present.contains(column.table)) {
                // Fixed names: nothing here comes from the file or a person.
                if (!query.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(column.table)))
                    return fail(query.lastError().text());
                QStringList names;
                while (query.next())
                    names << query.value(0).toString().toLower();
                query.finish();
                present.insert(column.table, names);
            }
            if (present.value(column.table).contains(column.column.toLower()))
                continue;
            if (!query.exec(
                    QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(column.table, column.column, column.type)))
                return fail(query.lastError().text());
            present[column.table] << column.column.toLower();
        }
        for (const QString &statement : SqlRecords::sourceTranslations()) {
            if (!query.exec(statement))
                return fail(query.lastError().text());
        }
    }

    if (changed) {
        if (!query.prepare(QStringLiteral("UPDATE version SET databaseVersion = :version")))
            return fail(query.lastError().text());
        query.bindValue(QStringLiteral(":version"), version);
        if (!query.exec())
            return fail(query.lastError().text());
    }

    if (!query.prepare(QStringLiteral("UPDATE version SET applicationVersion=:version ")))
        return fail(query.lastError().text());
    query.bindValue(QStringLiteral(":version"), APPVERSION);
    if (!query.exec())
        return fail(query.lastError().text());

    query.finish();
    if (!transaction.commit()) {
        m_error = notUpdated(path, driverText(db, transaction));
        return false;
    }
    // Announced only once it is on disk: a failed commit must not read as an update.
    if (changed)
        emit sigShowMessage(QStringLiteral("Updated Database schema to version '%1'").arg(version));
    return true;
}
