#include "sql/sql_importdb.h"

#include "app/app_fixedfile.h"
#include "app/app_number.h"
#include "app/app_regularfile.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_read.h"
#include "sql/sql_records.h"
#include "sql/sql_transaction.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

bool isNumber(const QVariant &value, double *number)
{
    if (value.isNull() || value.type() == QVariant::String)
        return false;
    bool ok = false;
    *number = value.toDouble(&ok);
    return ok;
}

// A whole number: a floating value rounds, NULL and other text give 0.
qlonglong asInteger(const QVariant &value)
{
    if (value.isNull())
        return 0;
    bool ok = false;
    if (value.type() == QVariant::String) {
        const qlonglong whole = value.toString().trimmed().toLongLong(&ok);
        return ok ? whole : 0;
    }
    const double number = value.toDouble(&ok);
    return ok ? qRound64(number) : 0;
}

// The value as a double bound as text in a fixed form; a missing value is 0.
QString formatted(const QVariant &value, char format, int precision)
{
    return AppNumber::toText(value.toDouble(), format, precision);
}

QString simplified(const QVariant &value)
{
    return value.toString().simplified();
}

const QVariant nullDouble = QVariant(QVariant::Double);

// A value counts as absent when it is missing or its number is 0.
bool isAbsent(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return value.isNull() || !ok || number == 0.0;
}

// Rows the older program added after a table was first flagged carry no flag
// at all; they are as new as the 0 rows. The copies pick their rows as they
// read them (isImported), with the same rule.
const char *const notImported = "(imported = 0 OR imported IS NULL)";

bool isImported(const QVariant &flag)
{
    return !flag.isNull() && flag.toInt() != 0;
}

bool isFlagColumn(const QString &name)
{
    return name.compare(QLatin1String("imported"), Qt::CaseInsensitive) == 0;
}

using Row = QVector<QVariant>;

} // namespace

// One table of "VORNAKEL.MDB" and how its rows become rows of the destination.
struct SqlImportDb::RecordCopy
{
    QString word;
    // The columns read, "SELECT <columns> FROM <table>" without the flag.
    QString columns;
    QString table;
    // The rows go in the order of this column (-1: as read).
    int sortColumn = -1;
    // Prepares the statement that writes a row, once per table.
    std::function<bool(QSqlQuery &insert)> prepare;
    bool failureWithSelectError;
    // Binds a source row and writes it; false with the driver's error on the query.
    std::function<bool(const Row &source, QSqlQuery &insert)> write;
    // After a row is written; false (with the log line) when what hangs on it failed.
    std::function<bool(const Row &source, const QSqlQuery &insert, QHash<QString, int> &written, QString *failure)>
        afterRow;
    QHash<QString, int> *imported;
    // The destination tables it writes.
    QStringList written;
    // The destination's records it links to by name: table and column.
    QList<QPair<QString, QString>> links;
    // It needs the buffers' compositions.
    bool compositions = false;
    // Once it has ended, whatever way.
    std::function<void()> ended;
};

// A reference table under way.
struct SqlImportDb::TableCopy
{
    enum class Phase { Copy, TakeBack, Flag };
    Phase phase = Phase::Copy;
    QString path;
    QString table;
    bool preventDuplicates = false;
    bool flagged = false;
    bool filter = false;
    bool stopped = false;
    QSqlQuery select; // on the source, read on from slice to slice
    QSqlQuery insert;
    QSqlRecord sourceRecord;
    QList<int> fields;
    int flagField = -1;
    std::unique_ptr<SqlImportBatch> batch;
    int count = 0;
    int failed = 0;
    QString firstFailure;
    QString fatal; // stops the table: the statement or the reading
    QString fatalFile; // the file that refused
    Flagging flagging;
};

// The buffer components under way: the series' names read, then written.
struct SqlImportDb::Components
{
    enum class Phase { Read, Write, TakeBack };
    Phase phase = Phase::Read;
    bool stopped = false;
    QVector<TableScan> scans; // rhoseries, viscseries, BufferComponent
    int scanning = 0;
    QMap<QString, int> density; // the newest series of each name, by name
    QMap<QString, int> viscosity;
    QSet<QString> present; // names with an active component
    QVector<QString> names; // those to add, in order
    int written = 0;
    std::unique_ptr<SqlImportBatch> batch;
};

// A table of records under way: read whole, ordered, then written.
struct SqlImportDb::Records
{
    enum class Phase { Read, Index, Write, TakeBack, Flag };
    Phase phase = Phase::Read;
    RecordCopy copy;
    QString path;
    bool preventDuplicates = false;
    bool flagged = false;
    bool stopped = false;
    QSqlQuery select;
    int width = 0;
    QVector<Row> rows;
    // The lookups of linked records, by "table.column", and their scans.
    QVector<QPair<QString, TableScan>> indexes;
    int indexing = 0;
    QSqlQuery compositions; // the source's buffer compositions
    bool compositionsBegun = false;
    bool compositionsRead = false;
    TableScan components { QStringLiteral("bufferComponent"), QStringLiteral("id, name, active") };
    std::unique_ptr<SqlImportBatch> batch;
    int next = 0; // the next row to write
    int count = 0;
    int failed = 0;
    QString firstFailure;
    QHash<QString, int> written;
    Flagging flagging;
};

SqlImportDb::SqlImportDb(const QString &destinationConnection, QObject *parent)
    : QObject(parent), m_sliceNs(SqlImportBatch::configuredSliceNs()),
      m_destination(QSqlDatabase::database(destinationConnection, true)), m_log(QStringLiteral("ImportLog.txt")),
      m_logPath(QFileInfo(m_log.fileName()).absoluteFilePath())
{
    // A log that cannot be opened leaves the import without one, and the
    // results say so. It is only ever added to: what it held stays.
    AppFixedFile::open(m_log, QIODevice::Append | QIODevice::Text, &m_logFailure);
    m_reader = new SqlAccessReader(this);
    connect(m_reader, &SqlAccessReader::ended, this, [this]() {
        readEnded(m_reading, m_readingCopy, m_reader->result());
        m_reading.clear();
        m_readingCopy.clear();
        emit sigReadEnded();
    });
}

SqlImportDb::~SqlImportDb()
{
    releaseDestination();
    // The reader goes before the folder it writes into.
    delete m_reader;
    closeSource();
    m_log.flush();
}

QString SqlImportDb::logFailure()
{
    // The lines are written out as they are flushed; the last of them now.
    flushLog();
    return m_logFailure;
}

void SqlImportDb::flushLog()
{
    if (m_log.isOpen() && !m_log.flush() && m_logFailure.isEmpty())
        m_logFailure = m_log.errorString();
}

QStringList SqlImportDb::referenceTables()
{
    return { QStringLiteral("amino"), QStringLiteral("conjugates"), QStringLiteral("denature"),
        QStringLiteral("rhoseries"), QStringLiteral("viscseries"), QStringLiteral("extinction") };
}

QStringList SqlImportDb::recordTables()
{
    return { QStringLiteral("Buffer"), QStringLiteral("BufferCompositions"), QStringLiteral("Sample"),
        QStringLiteral("Experiment"), QStringLiteral("AminoAcidCompositions") };
}

bool SqlImportDb::isSqliteFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

QString SqlImportDb::logPath() const
{
    return m_logPath;
}

void SqlImportDb::logMesg(const QString &message)
{
    writeLog(message);
    flushLog();
}

void SqlImportDb::writeLog(const QString &message)
{
    if (!m_log.isOpen())
        return;
    // The stamp shows minutes: made once a minute, not for each of many lines.
    const qint64 minute = QDateTime::currentMSecsSinceEpoch() / 60000;
    if (minute != m_stampMinute) {
        m_stampMinute = minute;
        m_stamp = now().toLocal8Bit() + ": ";
    }
    m_log.write(m_stamp + message.toLocal8Bit() + '\n');
}

QVariant SqlImportDb::fixPrecision(const QVariant &value, int digits)
{
    double number = 0;
    if (!isNumber(value, &number))
        return value;
    double fixed = 0;
    AppNumber::fromText(AppNumber::toText(number, 'f', digits), &fixed);
    return fixed;
}

bool SqlImportDb::IsDatabaseModified(const QString &table, QSqlDatabase &db)
{
    bool flagged = false;
    QString error;
    return hasFlagColumn(db, table, &flagged, &error) && flagged;
}

bool SqlImportDb::hasFlagColumn(const QSqlDatabase &db, const QString &table, bool *flagged, QString *error)
{
    // From the table's columns, not from a statement that fails without it.
    QStringList columns;
    if (!SqlRead::columns(db, table, &columns, error))
        return false;
    *flagged = std::any_of(columns.cbegin(), columns.cend(), isFlagColumn);
    return true;
}

bool SqlImportDb::ModifyDatabase(const QString &table, QSqlDatabase &db)
{
    // Every row present reads 0 at once, without the table being rewritten
    // row by row in one long statement.
    QSqlQuery query(db);
    if (!SqlTransaction::execWhileLocked(
            query, QStringLiteral("ALTER TABLE %1 ADD COLUMN imported BIT DEFAULT 0").arg(table))) {
        logMesg(QStringLiteral("Adding imported to ") + table + QStringLiteral(": ") + query.lastError().text());
        return false;
    }
    return true;
}

bool SqlImportDb::ignoreDuplicates(const QString &table, QSqlDatabase &db)
{
    return IsDatabaseModified(table, db) || ModifyDatabase(table, db);
}

bool SqlImportDb::openSourceDatabase(const QString &path)
{
    closeSource();
    m_sourceOpen = false;
    m_sourceLocked.clear();
    // Opening would create a missing file.
    if (!AppRegularFile::isRegular(path))
        return false;
    const QFileInfo file(path);
    QString database = path;
    if (!isSqliteFile(path)) {
        database = accessCopy(path);
        if (database.isEmpty())
            return false;
        // The reader's driver reads these files and never writes them.
        m_sourceReadOnly = QStringLiteral("the ODBC driver only reads this file");
    } else if (!file.isWritable()
        || !(file.permissions() & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther))) {
        // A file without write permission stays unwritten, also for a user the
        // permission would not stop.
        m_sourceReadOnly = QStringLiteral("the file is read-only");
    }
    m_sourceName = path;
    m_source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
    m_source.setDatabaseName(database);
    m_source.setHostName(QStringLiteral("localhost"));
    // A source that another program holds is waited for as the database file is, the window going on.
    SqlTransaction::waitBriefly(m_source);
    if (!m_sourceReadOnly.isEmpty())
        m_source.setConnectOptions(m_source.connectOptions() + QStringLiteral(";QSQLITE_OPEN_READONLY"));
    if (!m_source.open())
        return false;
    // The driver opens any file; the first statement tells whether it holds a database.
    QSqlQuery probe(m_source);
    m_sourceOpen = SqlTransaction::execWhileLocked(probe, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!m_sourceOpen && SqlTransaction::isLocked(probe.lastError()))
        m_sourceLocked = probe.lastError().text();
    return m_sourceOpen;
}

void SqlImportDb::closeSource()
{
    if (m_sourceName.isEmpty())
        return;
    m_source.close();
    m_source = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_sourceName);
    m_sourceName.clear();
    m_sourceOpen = false;
    m_sourceLocked.clear();
    m_sourceReadOnly.clear();
}

void SqlImportDb::warn(const QString &title, const QString &text)
{
    emit sigWarning(title, text);
}

int SqlImportDb::FindLink(const QString &table, const QString &column, const QString &name)
{
    if (name.isEmpty())
        return -1;
    // Table and column are the engine's own names; the name is bound.
    QSqlQuery query(m_destination);
    query.prepare(QStringLiteral("SELECT id FROM %1 WHERE %2=:Name").arg(table, column));
    query.bindValue(QStringLiteral(":Name"), name.simplified());
    QVariant id;
    QString error;
    if (!SqlRead::value(query, &id, &error)) {
        // No link is no answer here: the copy that asked fails.
        readFailed(error);
        return -1;
    }
    return id.isNull() ? -1 : id.toInt();
}

void SqlImportDb::readFailed(const QString &driverText)
{
    if (m_readFailure.isEmpty())
        m_readFailure = driverText;
}

void SqlImportDb::markImported(const QString &table)
{
    QSqlQuery query(m_source);
    if (!SqlTransaction::execWhileLocked(
            query, QStringLiteral("UPDATE %1 SET imported=1 WHERE ").arg(table) + QLatin1String(notImported))) {
        logMesg(QStringLiteral("Updating %1: %2").arg(table, query.lastError().text()));
        cannotFlag(m_sourceName, query.lastError().text());
    }
}

bool SqlImportDb::sourceFlag(const QString &table, bool add, bool *flagged, QString *error)
{
    if (!hasFlagColumn(m_source, table, flagged, error))
        return false;
    // A source that cannot be written is not asked to: its rows are all copied.
    if (!*flagged)
        *flagged = add && m_sourceReadOnly.isEmpty() && ModifyDatabase(table, m_source);
    return true;
}

void SqlImportDb::cannotFlag(const QString &path, const QString &why)
{
    if (m_unflaggedFiles.contains(path))
        return;
    m_unflaggedFiles << path;
    const QString text = QStringLiteral("%1: the rows copied from this file could not be flagged as imported (%2); "
                                        "a second import would copy them again")
                             .arg(path, why);
    logMesg(text);
    emit sigResults(text);
}

QString SqlImportDb::selectError(const QString &table, const QSqlQuery &select)
{
    // Not in the copy of an Access file, since the reader could not copy it.
    const QHash<QString, QString> uncopied = m_uncopiedTables.value(m_sourceName);
    for (auto it = uncopied.cbegin(); it != uncopied.cend(); ++it)
        if (it.key().compare(table, Qt::CaseInsensitive) == 0)
            return QStringLiteral("the table could not be read from the file: %1").arg(it.value());
    // A missing table is named as such, whatever else the driver says; a
    // file that could not be asked, or was held, is said to be so.
    bool exists = true;
    QString error;
    if (!SqlTransaction::isLocked(select.lastError()) && SqlRead::hasTable(m_source, table, &exists, &error) && !exists)
        return QStringLiteral("no such table: %1").arg(table);
    return select.lastError().text();
}

void SqlImportDb::flagCopied(const QString &table, bool flagged)
{
    if (flagged && m_sourceReadOnly.isEmpty())
        markImported(table);
    else
        cannotFlag(m_sourceName,
            m_sourceReadOnly.isEmpty() ? QStringLiteral("the flag column could not be added") : m_sourceReadOnly);
}

int SqlImportDb::indexedLink(const QString &table, const QString &column, const QString &name)
{
    if (name.isEmpty())
        return -1;
    const QString key = table + QLatin1Char('.') + column;
    auto index = m_linkIndexes.find(key);
    if (index == m_linkIndexes.end()) {
        // The lowest id of a name, as FindLink's lookup returns it.
        index = m_linkIndexes.insert(key, QHash<QString, int>());
        QSqlQuery query(m_destination);
        query.setForwardOnly(true);
        QHash<QString, int> &names = *index;
        QString error;
        if (!SqlRead::rows(
                query,
                [&names](const QSqlQuery &row) {
                    const QString value = row.value(1).toString();
                    if (!names.contains(value))
                        names.insert(value, row.value(0).toInt());
                },
                &error, QStringLiteral("SELECT id, %2 FROM %1 WHERE %2 IS NOT NULL ORDER BY id").arg(table, column))) {
            // Read again when next asked; meanwhile the copy that asked fails.
            m_linkIndexes.erase(index);
            readFailed(error);
            return -1;
        }
    }
    return index->value(name.simplified(), -1);
}

QString SqlImportDb::rowFailures(const QString &firstFailure, int failed, const QString &table)
{
    return QStringLiteral("%1\n\n%2 row(s) of %3 could not be written, so none of %3 was imported.")
        .arg(firstFailure)
        .arg(failed)
        .arg(table);
}

void SqlImportDb::failTable(const QString &table, const QString &error, const QString &file)
{
    if (file == m_sourceName) {
        ++m_unreadTables;
        // Beside the tables' counts, one line each; a file held is said to be so.
        emit sigResults(QStringLiteral("%1.[%2]: %3").arg(file, table, SqlTransaction::reason(error).simplified()));
    } else {
        noteLock(error);
        ++m_unwrittenTables;
    }
    logMesg(QStringLiteral("Updating %1: %2").arg(table, error));
    warn(QStringLiteral("Vornakel"), SqlTransaction::report(file, error));
}

bool SqlImportDb::openSourceOrWarn(const QString &path)
{
    if (openSourceDatabase(path))
        return true;
    // What lies beside the file stopped it, or another program's hold on it: said as it is.
    QString text = SqlJournalGuard::takeRefusal();
    if (text.isEmpty() && !m_sourceLocked.isEmpty())
        text = SqlTransaction::report(path, m_sourceLocked);
    if (text.isEmpty())
        text = QStringLiteral("Source db [%1] is not valid").arg(path);
    logMesg(text);
    // Said once per file; an Access file the reader could not read was told of already.
    if (!m_unreadableFiles.contains(path)) {
        m_unreadableFiles << path;
        warn(QStringLiteral("Vornakel"), text);
    }
    closeSource();
    return false;
}

bool SqlImportDb::needsReading(const QString &path) const
{
    return !m_accessCopies.contains(path) && AppRegularFile::isRegular(path) && !isSqliteFile(path);
}

void SqlImportDb::startReading(const QString &path)
{
    if (!m_copyFolder)
        m_copyFolder = std::make_unique<SqlAccessReader::CopyFolder>();
    emit sigStatus(QStringLiteral("Reading %1").arg(QDir::toNativeSeparators(path)));
    if (!m_copyFolder->isValid()) {
        SqlAccessReader::Result read;
        read.outcome = SqlAccessReader::Outcome::Failed;
        read.reason = QStringLiteral("no temporary folder for its copy (%1)").arg(m_copyFolder->errorString());
        // Told as the reader's end is: after this call, from the event loop.
        QMetaObject::invokeMethod(
            this,
            [this, path, read]() {
                readEnded(path, QString(), read);
                emit sigReadEnded();
            },
            Qt::QueuedConnection);
        return;
    }
    m_reading = path;
    m_readingCopy = m_copyFolder->filePath(QStringLiteral("%1.sqlite").arg(m_accessCopies.size() + 1));
    m_reader->startCopy(path, m_readingCopy, referenceTables() + recordTables());
}

void SqlImportDb::stopReading()
{
    m_reader->stop();
}

QString SqlImportDb::accessCopy(const QString &path)
{
    const auto known = m_accessCopies.constFind(path);
    if (known != m_accessCopies.constEnd())
        return known.value();
    // Asked for before the reader was: nothing of it is read here, where it
    // could only be waited for.
    SqlAccessReader::Result read;
    read.outcome = SqlAccessReader::Outcome::Failed;
    read.reason = QStringLiteral("the reader was not run on it before its tables were read");
    readEnded(path, QString(), read);
    return QString();
}

void SqlImportDb::readEnded(const QString &path, const QString &copy, const SqlAccessReader::Result &read)
{
    QString made = copy;
    // Warnings came with a read file too: it was read all the same, but it
    // may hold less than it should, or wrong values.
    const QString warnings = SqlAccessReader::warned(path, read);
    if (read.outcome != SqlAccessReader::Outcome::Read) {
        made.clear();
        const QString text = SqlAccessReader::unreadable(path, read);
        logMesg(text);
        if (!warnings.isEmpty())
            logMesg(warnings);
        emit sigResults(text);
        m_unreadableFiles << path;
        warn(QStringLiteral("Vornakel"), warnings.isEmpty() ? text : text + QLatin1Char('\n') + warnings);
    } else if (!warnings.isEmpty()) {
        logMesg(warnings);
        emit sigResults(warnings);
        warn(QStringLiteral("Vornakel"), warnings);
    }
    m_accessCopies.insert(path, made);
    m_uncopiedTables.insert(path, read.uncopiedTables);
}

bool SqlImportDb::finishTable(SqlImportBatch &batch, const QString &table, const QString &fatal,
    const QString &fatalFile, int failed, const QString &firstFailure)
{
    if (fatal.isEmpty() && failed == 0) {
        if (batch.commit(true))
            return true;
        failTable(table, batch.driverText(), m_destination.databaseName());
        return false;
    }
    batch.rollback(fatal.isEmpty() ? firstFailure : fatal);
    if (!fatal.isEmpty()) {
        failTable(table, fatal, fatalFile);
        return false;
    }
    ++m_unwrittenTables;
    warn(QStringLiteral("import"), SqlTransaction::report(m_destination, rowFailures(firstFailure, failed, table)));
    return false;
}

// ---- slices

QStringList SqlImportDb::destinationTables()
{
    return referenceTables()
        + QStringList { QStringLiteral("BufferComponent"), QStringLiteral("buffer"),
              QStringLiteral("bufferComposition"), QStringLiteral("sample"), QStringLiteral("experiment"),
              QStringLiteral("aminoComposition") };
}

bool SqlImportDb::proceed()
{
    if (!m_slice)
        return false;
    // Once the file was found held beyond the wait, what is left (taking
    // back what was stored) tries once, and says what stays when it is held.
    const SqlTransaction::WaitSpent spent(m_destinationLocked);
    // Taken out first: a slice may begin the next part of its copy.
    const std::function<bool()> slice = m_slice;
    if (slice())
        return true;
    m_slice = nullptr;
    m_abandon = nullptr;
    return false;
}

void SqlImportDb::abandon()
{
    if (m_abandon)
        m_abandon();
}

void SqlImportDb::finishCopy()
{
    while (proceed()) { }
}

bool SqlImportDb::TableScan::read(const QSqlDatabase &db, const SqlImportBatch *clock, qint64 sliceNs,
    const std::function<void(const QSqlQuery &)> &row, QString *error)
{
    QElapsedTimer own;
    own.start();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    for (bool first = true; !done && (first || (clock ? !clock->timeIsUp() : own.nsecsElapsed() <= sliceNs));
         first = false) {
        query.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid > :after ORDER BY rowid LIMIT 2000")
                          .arg(columns, db.driver()->escapeIdentifier(table, QSqlDriver::TableName)));
        query.bindValue(QStringLiteral(":after"), after);
        int rows = 0;
        if (!SqlRead::rows(
                query,
                [&](const QSqlQuery &read) {
                    ++rows;
                    after = read.value(0).toLongLong();
                    row(read);
                },
                error))
            return false;
        done = rows < 2000;
    }
    return true;
}

// ---- undoing what an import left unfinished

void SqlImportDb::beginTakingBackUnfinished()
{
    auto copies = std::make_shared<QList<qint64>>();
    QString notes;
    if (!SqlImportBatch::unfinishedCopies(m_destination, copies.get(), &notes)) {
        // Unread, they are not taken for none: the run goes no further when the file is held.
        const QString text = QStringLiteral("What earlier imports into this file left unfinished could not be looked "
                                            "for: %1")
                                 .arg(SqlTransaction::reason(notes));
        logMesg(text);
        noteLock(notes);
        if (!m_destinationLocked)
            emit sigResults(text);
        warn(QStringLiteral("Vornakel"), SqlTransaction::report(m_destination, notes));
        return;
    }
    if (copies->isEmpty())
        return;
    auto removed = std::make_shared<QHash<QString, qint64>>();
    emit sigStatus(QStringLiteral("Taking back what an earlier import did not finish"));
    m_abandon = nullptr;
    m_slice = [this, copies, removed]() {
        QString error;
        if (SqlImportBatch::takeBack(
                m_destination, destinationTables(), m_sliceNs, copies.get(), removed.get(), &error))
            return true;
        QStringList tables;
        for (auto it = removed->cbegin(); it != removed->cend(); ++it)
            tables << QStringLiteral("%1 rows of %2").arg(it.value()).arg(it.key());
        tables.sort();
        const QString text = error.isEmpty()
            ? QStringLiteral("An earlier import into this file did not end; what it had stored was taken back (%1).")
                  .arg(tables.isEmpty() ? QStringLiteral("no rows") : tables.join(QStringLiteral(", ")))
            : QStringLiteral("An earlier import into this file did not end, and what it had stored could not be "
                             "taken back: %1")
                  .arg(SqlTransaction::reason(error));
        logMesg(text);
        emit sigResults(text);
        if (!error.isEmpty()) {
            // A file held stops the run here: its tables are not imported over what is left.
            noteLock(error);
            warn(QStringLiteral("Vornakel"), text);
        }
        return false;
    };
}

// ---- reference tables

bool SqlImportDb::copyFromAccess(const QString &path, const QStringList &tables, bool preventDuplicates)
{
    bool all = true;
    for (const QString &table : tables)
        all = copyReferenceTable(path, table, preventDuplicates) && all;
    closeSource();
    return all;
}

bool SqlImportDb::copyReferenceTable(const QString &path, const QString &table, bool preventDuplicates)
{
    m_stored = false;
    beginReferenceTable(path, table, preventDuplicates);
    finishCopy();
    return m_stored;
}

void SqlImportDb::beginReferenceTable(const QString &path, const QString &table, bool preventDuplicates)
{
    m_stored = false;
    if (!m_sourceOpen || m_sourceName != path) {
        // A file that did not open is said once, not for each of its tables.
        if (m_unopenedFiles.contains(path))
            return;
        logMesg(QStringLiteral("Opening ") + path);
        if (!openSourceOrWarn(path)) {
            m_unopenedFiles << path;
            return;
        }
    }
    emit sigStatus(QStringLiteral("Importing %1").arg(table));
    m_readFailure.clear();
    auto copy = std::make_shared<TableCopy>();
    copy->path = path;
    copy->table = table;
    copy->preventDuplicates = preventDuplicates;
    QString error;
    if (!sourceFlag(table, preventDuplicates, &copy->flagged, &error)) {
        failTable(table, error, m_sourceName);
        flushLog();
        return;
    }
    copy->select = QSqlQuery(m_source);
    copy->select.setForwardOnly(true);
    if (!SqlTransaction::execWhileLocked(copy->select, QStringLiteral("SELECT * FROM %1").arg(table))) {
        failTable(table, selectError(table, copy->select), m_sourceName);
        flushLog();
        return;
    }

    // Source fields fill the destination's columns after `id` by position.
    // `id`, `active` and `modified` are the destination's own: a field there
    // would renumber, hide or misdate the row. The flag column is the older
    // generation's own. Fields left over are logged and dropped; columns left
    // over take their defaults.
    copy->sourceRecord = copy->select.record();
    // Read, not taken for a table without columns when the file is held.
    QStringList destinationColumns;
    if (!SqlRead::columns(m_destination, table, &destinationColumns, &error) || destinationColumns.isEmpty()) {
        copy->select = QSqlQuery();
        failTable(table, error.isEmpty() ? QStringLiteral("no such table: %1").arg(table) : error,
            m_destination.databaseName());
        flushLog();
        return;
    }
    QStringList targets;
    for (const QString &name : qAsConst(destinationColumns)) {
        if (name.compare(QLatin1String("id"), Qt::CaseInsensitive) != 0
            && name.compare(QLatin1String("active"), Qt::CaseInsensitive) != 0
            && name.compare(QLatin1String("modified"), Qt::CaseInsensitive) != 0)
            targets << name;
    }
    QStringList columns;
    QStringList placeholders;
    for (int k = 0; k < copy->sourceRecord.count(); ++k) {
        if (isFlagColumn(copy->sourceRecord.fieldName(k))) {
            copy->flagField = k;
            continue;
        }
        if (copy->fields.size() >= targets.size()) {
            logMesg(QStringLiteral("[%1.%2] has no destination column").arg(table, copy->sourceRecord.fieldName(k)));
            continue;
        }
        columns << m_destination.driver()->escapeIdentifier(targets.at(copy->fields.size()), QSqlDriver::FieldName);
        copy->fields << k;
        placeholders << QStringLiteral("?");
    }
    copy->filter = preventDuplicates && copy->flagged && copy->flagField >= 0;
    copy->insert = QSqlQuery(m_destination);
    if (!copy->insert.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", "))))) {
        copy->fatal = copy->insert.lastError().text();
        copy->fatalFile = m_destination.databaseName();
    }
    copy->batch = std::make_unique<SqlImportBatch>(m_destination, QStringList { table }, m_sliceNs);
    m_slice = [this, copy]() { return referenceSlice(*copy); };
    m_abandon = [copy]() { copy->stopped = true; };
}

bool SqlImportDb::referenceSlice(TableCopy &copy)
{
    if (copy.phase == TableCopy::Phase::TakeBack)
        return takeBackSlice(copy.batch.get(), copy.path, copy.table);
    if (copy.phase == TableCopy::Phase::Flag)
        return flagSlice(copy.flagging);
    if (copy.stopped) {
        stoppedTable(copy.path, copy.table);
        copy.phase = TableCopy::Phase::TakeBack;
        return copy.batch->hasStored();
    }
    const QString table = copy.table;
    bool more = false;
    if (copy.fatal.isEmpty() && !copy.batch->begin()) {
        copy.fatal = copy.batch->driverText();
        copy.fatalFile = m_destination.databaseName();
    }
    for (int read = 0; copy.fatal.isEmpty() && !(more = read > 0 && copy.batch->timeIsUp()) && copy.select.next();
         ++read) {
        if (copy.filter && isImported(copy.select.value(copy.flagField)))
            continue;
        for (int j = 0; j < copy.fields.size(); ++j) {
            const QVariant value = copy.select.value(copy.fields.at(j));
            double number = 0;
            if (!isNumber(value, &number)) {
                copy.insert.bindValue(j, value);
                continue;
            }
            // Numbers come over with six significant digits; the log names
            // those that this changed. Its lines are left in the file's
            // buffer; the next flushed line or the end of the table writes them out.
            const QString text = AppNumber::toText(number, 6);
            double rounded = 0;
            if (!AppNumber::fromText(text, &rounded) || rounded != number)
                writeLog(
                    QStringLiteral("[%1.%2] From %3 to %4")
                        .arg(table, copy.sourceRecord.fieldName(copy.fields.at(j)), AppNumber::toText(number), text));
            copy.insert.bindValue(j, text);
        }
        if (copy.insert.exec()) {
            ++copy.count;
            continue;
        }
        // The other rows are still tried, so that one warning can tell how many failed.
        const QString line = QStringLiteral("unable to submit: %1").arg(copy.insert.lastError().text());
        logMesg(line);
        if (copy.failed++ == 0)
            copy.firstFailure = line;
    }
    // Every row or none: a read that broke off is a failure, not the end.
    if (copy.fatal.isEmpty() && copy.select.lastError().isValid()) {
        copy.fatal = copy.select.lastError().text();
        copy.fatalFile = m_sourceName;
    }
    if (more && copy.fatal.isEmpty()) {
        // The rows so far are stored; the rest in the next slices.
        if (copy.batch->commit(false)) {
            flushLog();
            return true;
        }
        copy.fatal = copy.batch->driverText();
        copy.fatalFile = m_destination.databaseName();
    }
    copy.select.finish();
    const bool stored = finishTable(*copy.batch, table, copy.fatal, copy.fatalFile, copy.failed, copy.firstFailure);
    emit sigResults(QStringLiteral("%1.[%2]: %3 records imported").arg(copy.path, table).arg(stored ? copy.count : 0));
    m_importedRecords.append({ table, stored ? copy.count : 0 });
    m_stored = stored;
    flushLog();
    if (!stored) {
        copy.phase = TableCopy::Phase::TakeBack;
        return copy.batch->hasStored();
    }
    // Flagged only once stored, so that a failed run is tried again in full.
    if (copy.preventDuplicates && copy.count > 0 && beginFlagging(copy.flagging, table, copy.flagged)) {
        copy.phase = TableCopy::Phase::Flag;
        return true;
    }
    return false;
}

void SqlImportDb::stoppedTable(const QString &path, const QString &table)
{
    const QString text = QStringLiteral("%1.[%2]: stopped before its end; nothing of it was imported").arg(path, table);
    logMesg(text);
    emit sigResults(text);
}

bool SqlImportDb::takeBackSlice(SqlImportBatch *batch, const QString &path, const QString &table)
{
    if (batch->takeBack())
        return true;
    if (!batch->driverText().isEmpty() && batch->hasStored()) {
        // The rows stay noted: the next import into the file takes them back.
        // Until then they are in the file, which the person is told.
        const QString error = batch->driverText();
        noteLock(error);
        logMesg(QStringLiteral("Taking back %1: %2").arg(table, error));
        const QString text = QStringLiteral("%1.[%2]: %3 rows stored before the table failed could not be taken back "
                                            "(%4); they stay in the database file until the next import into it "
                                            "takes them back.")
                                 .arg(path, table)
                                 .arg(batch->storedRows())
                                 .arg(error.simplified());
        m_leftBehind << table;
        emit sigResults(text);
        warn(QStringLiteral("Vornakel"), text);
    }
    return false;
}

void SqlImportDb::noteLock(const QString &driverText)
{
    if (m_destinationLocked || !SqlTransaction::isLocked(driverText))
        return;
    m_destinationLocked = true;
    // Said once, beside the tables' lines, whichever step met it.
    emit sigResults(QStringLiteral("%1: %2").arg(
        QDir::toNativeSeparators(m_destination.databaseName()), SqlTransaction::reason(driverText)));
}

bool SqlImportDb::claimDestination()
{
    QString refusal;
    if (SqlImportBatch::claim(m_destination, &m_claim, &refusal))
        return true;
    m_claim = -1;
    m_refusal = refusal;
    // The refusal says it, in the results too.
    m_destinationLocked = SqlTransaction::isLocked(refusal);
    logMesg(refusal);
    emit sigResults(refusal);
    warn(QStringLiteral("Vornakel"), refusal);
    return false;
}

void SqlImportDb::releaseDestination()
{
    if (m_claim < 0)
        return;
    // A claim left in a file held is a leftover the next import removes.
    const SqlTransaction::WaitSpent spent(m_destinationLocked);
    SqlImportBatch::release(m_destination, m_claim);
    m_claim = -1;
}

bool SqlImportDb::beginFlagging(Flagging &flagging, const QString &table, bool flagged)
{
    if (!flagged || !m_sourceReadOnly.isEmpty()) {
        flagCopied(table, flagged);
        return false;
    }
    QSqlQuery last(m_source);
    QVariantList ends;
    QString error;
    if (!SqlRead::firstRow(last, &ends, &error, QStringLiteral("SELECT MIN(rowid), MAX(rowid) FROM %1").arg(table))
        || ends.size() < 2) {
        markImported(table);
        return false;
    }
    flagging.table = table;
    flagging.next = ends.at(0).toLongLong();
    flagging.last = ends.at(1).toLongLong();
    return !ends.at(0).isNull();
}

bool SqlImportDb::flagSlice(Flagging &flagging)
{
    QElapsedTimer clock;
    clock.start();
    QSqlQuery query(m_source);
    const qint64 rows = 5000;
    for (bool first = true; flagging.next <= flagging.last && (first || clock.nsecsElapsed() <= m_sliceNs);
         first = false) {
        const qint64 to = flagging.next + qMin(rows, flagging.last - flagging.next);
        if (!SqlTransaction::execWhileLocked(query,
                QStringLiteral("UPDATE %1 SET imported=1 WHERE rowid BETWEEN %2 AND %3 AND ")
                        .arg(flagging.table)
                        .arg(flagging.next)
                        .arg(to)
                    + QLatin1String(notImported))) {
            logMesg(QStringLiteral("Updating %1: %2").arg(flagging.table, query.lastError().text()));
            cannotFlag(m_sourceName, query.lastError().text());
            return false;
        }
        if (to == flagging.last)
            return false;
        flagging.next = to + 1;
    }
    return true;
}

// ---- buffer components

void SqlImportDb::populateBufferComponents(const QString &, bool)
{
    beginBufferComponents();
    finishCopy();
}

void SqlImportDb::beginBufferComponents()
{
    // Components are added, never deleted: stored solvents point at them by id.
    // A series name without an active component gets one, linked to the newest
    // density and viscosity series of that name. Every table is read once, a
    // slice at a time, so the cost grows with the names alone.
    emit sigStatus(QStringLiteral("Populating %1").arg(QStringLiteral("BufferComponent")));
    auto state = std::make_shared<Components>();
    state->scans = { { QStringLiteral("rhoseries"), QStringLiteral("id, name") },
        { QStringLiteral("viscseries"), QStringLiteral("id, name") },
        { QStringLiteral("BufferComponent"), QStringLiteral("name, active") } };
    state->batch
        = std::make_unique<SqlImportBatch>(m_destination, QStringList { QStringLiteral("BufferComponent") }, m_sliceNs);
    m_slice = [this, state]() { return componentsSlice(*state); };
    m_abandon = [state]() { state->stopped = true; };
}

bool SqlImportDb::componentsSlice(Components &state)
{
    auto fail = [&](const QString &error) {
        // Told as any table that could not be written: the run may end here.
        failTable(QStringLiteral("buffercomponent"), error, m_destination.databaseName());
        state.phase = Components::Phase::TakeBack;
        return state.batch->hasStored();
    };
    switch (state.phase) {
    case Components::Phase::TakeBack:
        return takeBackSlice(state.batch.get(), m_destination.databaseName(), QStringLiteral("BufferComponent"));
    case Components::Phase::Read: {
        if (state.stopped)
            return false;
        TableScan &scan = state.scans[state.scanning];
        QString error;
        const bool read = scan.read(
            m_destination, nullptr, m_sliceNs,
            [&](const QSqlQuery &row) {
                if (state.scanning == 2) {
                    if (row.value(2).toInt() > 0 && !row.value(1).isNull())
                        state.present.insert(row.value(1).toString());
                    return;
                }
                if (row.value(2).isNull())
                    return;
                int &newest = (state.scanning == 0 ? state.density : state.viscosity)[row.value(2).toString()];
                newest = qMax(newest, row.value(1).toInt());
            },
            &error);
        if (!read)
            return fail(error);
        if (scan.done && ++state.scanning == state.scans.size()) {
            // The names of both, in order, each once: one pass over two ordered maps.
            state.names.reserve(state.density.size() + state.viscosity.size());
            auto d = state.density.cbegin();
            auto v = state.viscosity.cbegin();
            while (d != state.density.cend() || v != state.viscosity.cend()) {
                const bool fromDensity
                    = v == state.viscosity.cend() || (d != state.density.cend() && d.key() <= v.key());
                const QString &name = fromDensity ? d.key() : v.key();
                if (fromDensity && v != state.viscosity.cend() && v.key() == name)
                    ++v;
                if (!state.present.contains(name))
                    state.names << name;
                if (fromDensity)
                    ++d;
                else
                    ++v;
            }
            state.phase = Components::Phase::Write;
        }
        return true;
    }
    case Components::Phase::Write:
        break;
    }
    if (state.stopped) {
        state.phase = Components::Phase::TakeBack;
        return state.batch->hasStored();
    }
    if (!state.batch->begin())
        return fail(state.batch->driverText());
    QSqlQuery insert(m_destination);
    if (!insert.prepare(QStringLiteral("INSERT INTO BufferComponent (name, componentRhoId, componentViscId, active) "
                                       "VALUES (:name, :rho, :visc, 1)"))) {
        state.batch->rollback(insert.lastError().text());
        return fail(insert.lastError().text());
    }
    for (const int first = state.written;
         state.written < state.names.size() && (state.written == first || !state.batch->timeIsUp());) {
        const QString &name = state.names.at(state.written);
        const auto density = state.density.constFind(name);
        const auto viscosity = state.viscosity.constFind(name);
        insert.bindValue(QStringLiteral(":name"), name);
        insert.bindValue(QStringLiteral(":rho"),
            density == state.density.cend() ? QVariant(QVariant::Int) : QVariant(density.value()));
        insert.bindValue(QStringLiteral(":visc"),
            viscosity == state.viscosity.cend() ? QVariant(QVariant::Int) : QVariant(viscosity.value()));
        if (!insert.exec()) {
            const QString error = insert.lastError().text();
            insert.finish();
            state.batch->rollback(error);
            return fail(error);
        }
        ++state.written;
    }
    insert.finish();
    const bool last = state.written >= state.names.size();
    if (!state.batch->commit(last))
        return fail(state.batch->driverText());
    if (!last)
        return true;
    const int added = state.names.size();
    m_importedRecords.append({ QStringLiteral("BufferComponent"), added });
    emit sigResults(added > 0 ? QStringLiteral("BufferComponent table populated")
                              : QStringLiteral("BufferComponent table: no component was added"));
    return false;
}

// ---- records

int SqlImportDb::linkTo(const QHash<QString, int> &imported, const QString &table, const QString &name)
{
    const auto found = imported.constFind(name);
    return found != imported.constEnd() ? found.value() : indexedLink(table, QStringLiteral("name"), name);
}

void SqlImportDb::beginRecords(const QString &path, bool preventDuplicates, const RecordCopy &recordCopy)
{
    if (!openSourceOrWarn(path))
        return;
    m_linkIndexes.clear();
    m_readFailure.clear();
    auto state = std::make_shared<Records>();
    state->copy = recordCopy;
    state->path = path;
    state->preventDuplicates = preventDuplicates;
    QString error;
    if (!sourceFlag(recordCopy.word, true, &state->flagged, &error)) {
        failTable(recordCopy.word, error, m_sourceName);
        closeSource();
        return;
    }
    // The rows are read whole before any is written: they are ordered here,
    // and the buffers' compositions are read once, not per buffer.
    emit sigStatus(QStringLiteral("Importing %1").arg(recordCopy.word));
    state->select = QSqlQuery(m_source);
    state->select.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT %1").arg(recordCopy.columns);
    if (state->flagged)
        sql += QStringLiteral(", imported");
    sql += QStringLiteral(" FROM %1 ").arg(recordCopy.table);
    if (!SqlTransaction::execWhileLocked(state->select, sql)) {
        failTable(recordCopy.word, selectError(recordCopy.table, state->select), m_sourceName);
        state->select = QSqlQuery();
        closeSource();
        return;
    }
    state->width = state->select.record().count() - (state->flagged ? 1 : 0);
    for (const auto &link : recordCopy.links) {
        const QString key = link.first + QLatin1Char('.') + link.second;
        m_linkIndexes.insert(key, QHash<QString, int>());
        state->indexes.append({ key, TableScan { link.first, QStringLiteral("id, %1").arg(link.second) } });
    }
    state->batch = std::make_unique<SqlImportBatch>(m_destination, recordCopy.written, m_sliceNs);
    m_slice = [this, state]() { return recordsSlice(*state); };
    m_abandon = [state]() { state->stopped = true; };
}

bool SqlImportDb::readRecords(Records &state, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    for (bool first = true; first || clock.nsecsElapsed() <= m_sliceNs; first = false) {
        if (!state.select.next()) {
            // Every row or none: a read that broke off is a failure, not the end.
            if (state.select.lastError().isValid())
                *error = state.select.lastError().text();
            state.select.finish();
            state.phase = Records::Phase::Index;
            return true;
        }
        if (state.preventDuplicates && state.flagged && isImported(state.select.value(state.width)))
            continue;
        Row row(state.width);
        for (int i = 0; i < state.width; ++i)
            row[i] = state.select.value(i);
        state.rows << row;
    }
    return true;
}

bool SqlImportDb::recordsSlice(Records &state)
{
    const RecordCopy &copy = state.copy;
    switch (state.phase) {
    case Records::Phase::TakeBack:
        return takeBackSlice(state.batch.get(), state.path, copy.word) || (endRecords(state), false);
    case Records::Phase::Flag:
        return flagSlice(state.flagging) || (endRecords(state), false);
    default:
        break;
    }
    if (state.stopped) {
        stoppedTable(state.path, copy.word);
        state.phase = Records::Phase::TakeBack;
        return recordsSlice(state);
    }
    // What stops the table: a failed read of the source, or of the destination.
    QString error;
    QString destinationError;
    switch (state.phase) {
    case Records::Phase::Read:
        readRecords(state, &error);
        break;
    case Records::Phase::Index: {
        // The lookups of the destination's records by name, read a slice at a time.
        if (state.indexing < state.indexes.size()) {
            auto &index = state.indexes[state.indexing];
            QHash<QString, int> &names = m_linkIndexes[index.first];
            // The lowest id of a name, as FindLink's lookup returns it.
            if (index.second.read(
                    m_destination, nullptr, m_sliceNs,
                    [&](const QSqlQuery &row) {
                        if (row.value(2).isNull())
                            return;
                        const QString value = row.value(2).toString();
                        const int id = row.value(1).toInt();
                        const auto known = names.find(value);
                        if (known == names.end())
                            names.insert(value, id);
                        else
                            known.value() = qMin(known.value(), id);
                    },
                    &destinationError)
                && index.second.done)
                ++state.indexing;
            break;
        }
        if (copy.compositions && !m_compositionsLoaded && compositionsSlice(state, &destinationError))
            break;
        if (!destinationError.isEmpty())
            break;
        // The source's compositions that broke off are not taken for fewer:
        // no buffer is written without them, and the table is told unread.
        if (copy.compositions && !m_compositionsError.isEmpty()) {
            error = QStringLiteral("the compositions of the buffers (BufferCompositions) could not be read: %1")
                        .arg(m_compositionsError);
            break;
        }
        if (copy.sortColumn >= 0) {
            // Sorted by the text of the column, its NULLs first; a row keeps its place among equals.
            const int c = copy.sortColumn;
            QVector<QPair<QString, int>> keys;
            keys.reserve(state.rows.size());
            for (int r = 0; r < state.rows.size(); ++r)
                keys.append({ state.rows.at(r).at(c).isNull() ? QString()
                                                              : QLatin1Char('+') + state.rows.at(r).at(c).toString(),
                    r });
            std::stable_sort(keys.begin(), keys.end(),
                [](const QPair<QString, int> &a, const QPair<QString, int> &b) { return a.first < b.first; });
            QVector<Row> sorted;
            sorted.reserve(state.rows.size());
            for (const auto &key : qAsConst(keys))
                sorted.append(state.rows.at(key.second));
            state.rows.swap(sorted);
        }
        state.phase = Records::Phase::Write;
        return true;
    }
    case Records::Phase::Write:
        return writeRecords(state);
    default:
        break;
    }
    if (!error.isEmpty() || !destinationError.isEmpty()) {
        if (error.isEmpty())
            failTable(copy.word, destinationError, m_destination.databaseName());
        else
            failTable(copy.word, error, m_sourceName);
        endRecords(state);
        return false;
    }
    return true;
}

bool SqlImportDb::compositionsSlice(Records &state, QString *destinationError)
{
    QElapsedTimer clock;
    clock.start();
    auto ended = [this](const QString &error) {
        m_compositionsError = error;
        m_compositionsLoaded = true;
        return false;
    };
    if (!state.compositionsBegun) {
        state.compositionsBegun = true;
        m_compositions.clear();
        m_componentIds.clear();
        m_compositionsError.clear();
        state.compositions = QSqlQuery(m_source);
        state.compositions.setForwardOnly(true);
        if (!SqlTransaction::execWhileLocked(state.compositions,
                QStringLiteral("SELECT BufferName, ComponentName, Molarity FROM BufferCompositions ")))
            return ended(selectError(QStringLiteral("BufferCompositions"), state.compositions));
    }
    for (bool first = true; !state.compositionsRead; first = false) {
        if (!first && clock.nsecsElapsed() > m_sliceNs)
            return true;
        QSqlQuery &select = state.compositions;
        if (select.next()) {
            m_compositions[select.value(0).toString()].append(qMakePair(select.value(1), select.value(2)));
            continue;
        }
        state.compositionsRead = true;
        const QString error = select.lastError().isValid() ? select.lastError().text() : QString();
        select.finish();
        if (!error.isEmpty())
            return ended(error);
    }
    // A deactivated component of the same name is no longer offered on the
    // buffer page: the composition goes to the active one.
    const bool read = state.components.read(
        m_destination, nullptr, m_sliceNs,
        [this](const QSqlQuery &row) {
            if (row.value(3).toInt() <= 0 || row.value(2).isNull())
                return;
            const QString name = row.value(2).toString();
            if (!m_componentIds.contains(name))
                m_componentIds.insert(name, row.value(1));
        },
        destinationError);
    if (!read)
        return false;
    if (!state.components.done)
        return true;
    return ended(QString());
}

bool SqlImportDb::writeRecords(Records &state)
{
    const RecordCopy &copy = state.copy;
    QString fatal;
    if (!state.batch->begin())
        fatal = state.batch->driverText();
    QSqlQuery insert(m_destination);
    if (fatal.isEmpty() && !copy.prepare(insert))
        fatal = insert.lastError().text();
    for (const int first = state.next;
         fatal.isEmpty() && state.next < state.rows.size() && (state.next == first || !state.batch->timeIsUp());
         ++state.next) {
        const Row &row = state.rows.at(state.next);
        QString failure;
        const bool written = copy.write(row, insert);
        if (!m_readFailure.isEmpty()) {
            // A link it could not look up: the row would be written without it.
            fatal = m_readFailure;
            break;
        }
        if (!written) {
            // The rows were read before the first was written: no read error goes with it.
            failure = copy.failureWithSelectError
                ? QStringLiteral("%1: unable to add a row: %2 %3").arg(now(), insert.lastError().text(), QString())
                : QStringLiteral("%1: unable to add a row: %2").arg(now(), insert.lastError().text());
        } else {
            ++state.count;
            if (copy.afterRow && !copy.afterRow(row, insert, state.written, &failure)) {
                // Logged by the composition copy itself.
                if (state.failed++ == 0)
                    state.firstFailure = failure;
                continue;
            }
        }
        if (failure.isEmpty())
            continue;
        logMesg(failure);
        if (state.failed++ == 0)
            state.firstFailure = failure;
    }
    insert.finish();
    if (fatal.isEmpty() && state.next < state.rows.size()) {
        // The rows so far are stored; the rest in the next slices.
        if (state.batch->commit(false))
            return true;
        fatal = state.batch->driverText();
    }
    const bool stored
        = finishTable(*state.batch, copy.word, fatal, m_destination.databaseName(), state.failed, state.firstFailure);
    int count = state.count;
    if (!stored) {
        count = 0;
    } else if (copy.imported) {
        for (auto it = state.written.cbegin(); it != state.written.cend(); ++it)
            copy.imported->insert(it.key(), it.value());
    }
    emit sigResults(QStringLiteral("%1.[%2]: %3 records imported").arg(state.path, copy.word).arg(count));
    m_importedRecords.append({ copy.word, count });
    state.rows.clear();
    if (!stored) {
        state.phase = Records::Phase::TakeBack;
        return state.batch->hasStored() || (endRecords(state), false);
    }
    if (state.preventDuplicates && count > 0 && beginFlagging(state.flagging, copy.word, state.flagged)) {
        state.phase = Records::Phase::Flag;
        return true;
    }
    endRecords(state);
    return false;
}

void SqlImportDb::endRecords(Records &state)
{
    state.select = QSqlQuery();
    m_linkIndexes.clear();
    if (state.copy.ended)
        state.copy.ended();
    closeSource();
}

void SqlImportDb::copyBufferTable(const QString &path, bool preventDuplicates)
{
    beginBufferTable(path, preventDuplicates);
    finishCopy();
}

void SqlImportDb::beginBufferTable(const QString &path, bool preventDuplicates)
{
    RecordCopy copy;
    copy.word = QStringLiteral("buffer");
    copy.columns = QStringLiteral("NAME, arhoin, avisin, rhoin, rhoint, visin, visint, pH, aHeavy, percent0, percent1, "
                                  "percent2");
    copy.table = QStringLiteral("Buffer");
    // The same write as the solvent save's.
    copy.prepare = [](QSqlQuery &insert) { return SqlRecords::prepareNewSolvent(insert); };
    copy.failureWithSelectError = false;
    copy.write = [](const Row &source, QSqlQuery &insert) {
        SqlSolventRecord buffer;
        buffer.name = simplified(source.value(0));
        // Codes of the source of a value: 0 typed in, 1 a standard, 2 computed.
        auto setSource = [](qlonglong code, const QVariant &value, const QVariant &temperature, QVariant *direct,
                             QVariant *standard, QVariant *standardT, QVariant *computed) {
            *direct = code == 0 ? QVariant(value.toDouble()) : nullDouble;
            *standard = code == 1 ? fixPrecision(value, 6) : nullDouble;
            *standardT = code == 1 ? fixPrecision(temperature, 6) : nullDouble;
            *computed = code == 2 ? fixPrecision(value, 6) : nullDouble;
        };
        setSource(asInteger(source.value(1)), source.value(3), source.value(4), &buffer.densityDirect,
            &buffer.densityStandard, &buffer.densityStandardT, &buffer.computedDensity);
        setSource(asInteger(source.value(2)), source.value(5), source.value(6), &buffer.viscosityDirect,
            &buffer.viscosityStandard, &buffer.viscosityStandardT, &buffer.computedViscosity);
        buffer.pH = fixPrecision(source.value(7), 6);
        buffer.heavyWater = source.value(8);
        buffer.d2o = source.value(9);
        buffer.d2o18 = source.value(10);
        buffer.h2o18 = source.value(11);
        buffer.h2o = nullDouble;
        QVariant id;
        return SqlRecords::writeSolvent(insert, buffer, -1, &id);
    };
    // The compositions belong to the row just written, whatever other buffer
    // carries its name.
    copy.afterRow = [this](const Row &source, const QSqlQuery &insert, QHash<QString, int> &written, QString *failure) {
        const QVariant id = insert.lastInsertId();
        written.insert(simplified(source.value(0)), id.toInt());
        if (copyBufferComposition(source.value(0).toString(), id))
            return true;
        *failure
            = QStringLiteral("The compositions of buffer '%1' could not be written.").arg(source.value(0).toString());
        return false;
    };
    copy.imported = &m_importedBuffers;
    copy.written = QStringList { QStringLiteral("buffer"), QStringLiteral("bufferComposition") };
    copy.compositions = true;
    copy.ended = [this]() {
        m_compositions.clear();
        m_componentIds.clear();
        m_compositionsLoaded = false;
    };
    m_compositionsLoaded = false;
    beginRecords(path, preventDuplicates, copy);
}

bool SqlImportDb::loadCompositions()
{
    m_compositionsLoaded = true;
    m_compositions.clear();
    m_componentIds.clear();
    m_compositionsError.clear();
    QSqlQuery select(m_source);
    select.setForwardOnly(true);
    QString error;
    if (!SqlRead::rows(
            select,
            [this](const QSqlQuery &row) {
                m_compositions[row.value(0).toString()].append(qMakePair(row.value(1), row.value(2)));
            },
            &error, QStringLiteral("SELECT BufferName, ComponentName, Molarity FROM BufferCompositions "))) {
        m_compositionsError = selectError(QStringLiteral("BufferCompositions"), select);
        return false;
    }
    // A deactivated component of the same name is no longer offered on the
    // buffer page: the composition goes to the active one.
    QSqlQuery components(m_destination);
    components.setForwardOnly(true);
    if (!SqlRead::rows(
            components,
            [this](const QSqlQuery &row) {
                const QString name = row.value(1).toString();
                if (!m_componentIds.contains(name))
                    m_componentIds.insert(name, row.value(0));
            },
            &error,
            QStringLiteral("SELECT id, name FROM bufferComponent WHERE active > 0 AND name IS NOT NULL ORDER BY id"))) {
        readFailed(error);
        m_compositionsError = error;
        return false;
    }
    return true;
}

bool SqlImportDb::copyBufferComposition(const QString &bufferName, const QVariant &bufferId)
{
    bool ok = m_compositionsLoaded ? m_compositionsError.isEmpty() : loadCompositions();
    QSqlQuery insert(m_destination);
    if (ok) {
        // The rows of the buffer's name as the source spells it.
        const auto rows = m_compositions.value(bufferName);
        QVector<SqlSolventRecord::Component> components;
        components.reserve(rows.size());
        for (const auto &row : rows)
            components.append({ m_componentIds.value(row.first.toString(), QVariant(QVariant::Int)), QString(),
                fixPrecision(row.second, 6), QStringLiteral("molar") });
        ok = SqlRecords::writeComponents(insert, bufferId, components);
    }
    if (ok)
        return true;
    logMesg(
        QStringLiteral("%1: unable to add a row: %2 %3").arg(now(), insert.lastError().text(), m_compositionsError));
    return false;
}

void SqlImportDb::copySampleTable(const QString &path, bool preventDuplicates)
{
    beginSampleTable(path, preventDuplicates);
    finishCopy();
}

void SqlImportDb::beginSampleTable(const QString &path, bool preventDuplicates)
{
    RecordCopy copy;
    copy.word = QStringLiteral("sample");
    copy.columns
        = QStringLiteral("NAME, vbarin, vbarwater, Texact, sk, pkaamino, pkacarboxyl, NMer, AASequence,delta1c,"
                         "vbarin");
    copy.table = QStringLiteral("Sample");
    copy.prepare = [](QSqlQuery &insert) {
        return insert.prepare(QStringLiteral(
            "INSERT INTO sample (name, VBarDirectEntry, VBarStandard, VbarStandardT, sk, pkaamino, pkacarboxl, nMer, "
            "aminoSequence, active, modified, aminoSequenceCodeSize, calcHydration, calcVBar) VALUES (:name, "
            ":VBarDirectEntry, :VBarStandard, :VbarStandardT, :sk, :pkaamino, :pkacarboxl, :nMer, :aminoSequence, "
            ":active, :modified, :aminoSequenceCodeSize, :calcHydration, :calcVBar) "));
    };
    copy.failureWithSelectError = true;
    const QString modified = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    copy.write = [modified](const Row &source, QSqlQuery &insert) {
        insert.bindValue(QStringLiteral(":name"), simplified(source.value(0)));
        // A vbar of 0 is no vbar; 0.45 is one, though it rounds to 0.
        insert.bindValue(QStringLiteral(":VBarDirectEntry"),
            isAbsent(source.value(1)) ? nullDouble : fixPrecision(source.value(1), 6));
        insert.bindValue(QStringLiteral(":VBarStandard"), isAbsent(source.value(2)) ? nullDouble : source.value(2));
        insert.bindValue(QStringLiteral(":VbarStandardT"), source.value(3));
        insert.bindValue(QStringLiteral(":sk"), fixPrecision(source.value(4), 6));
        insert.bindValue(QStringLiteral(":pkaamino"), fixPrecision(source.value(5), 6));
        insert.bindValue(QStringLiteral(":pkacarboxl"), fixPrecision(source.value(6), 6));
        insert.bindValue(QStringLiteral(":nMer"), source.value(7));
        insert.bindValue(QStringLiteral(":aminoSequence"), source.value(8));
        insert.bindValue(QStringLiteral(":active"), 1);
        insert.bindValue(QStringLiteral(":modified"), modified);
        insert.bindValue(QStringLiteral(":aminoSequenceCodeSize"), 1);
        insert.bindValue(QStringLiteral(":calcHydration"), formatted(source.value(9), 'f', 4));
        insert.bindValue(QStringLiteral(":calcVBar"), formatted(source.value(10), 'f', 4));
        return insert.exec();
    };
    copy.afterRow = [](const Row &source, const QSqlQuery &insert, QHash<QString, int> &written, QString *) {
        written.insert(simplified(source.value(0)), insert.lastInsertId().toInt());
        return true;
    };
    copy.imported = &m_importedSamples;
    copy.written = QStringList { QStringLiteral("sample") };
    beginRecords(path, preventDuplicates, copy);
}

void SqlImportDb::copyExperimentTable(const QString &path, bool preventDuplicates)
{
    beginExperimentTable(path, preventDuplicates);
    finishCopy();
}

void SqlImportDb::beginExperimentTable(const QString &path, bool preventDuplicates)
{
    RecordCopy copy;
    copy.word = QStringLiteral("experiment");
    // The older query's constants -1 and 1 among the columns were never read.
    copy.columns = QStringLiteral("NAME,Tc,RPM,sigma,sstar,mgml, sstart,vbar,rho, vis, Mp, Mb, choicem,SampleName,"
                                  "BufferName,Date");
    copy.table = QStringLiteral("Experiment");
    copy.prepare = [](QSqlQuery &insert) {
        return insert.prepare(QStringLiteral(
            "INSERT INTO experiment (NAME,Tc,RPM, sigma,sstar,mgml, sstart,vbar,rho, vis, Mp, Mb, calculatedBy, "
            "sample_id, buffer_id, results_id, active, modified) VALUES ( :NAME,:Tc,:RPM, :sigma,:sstar,:mgml, "
            ":sstart,:vbar,:rho, :vis, :Mp, :Mb, :calculatedBy, :sample_id, :buffer_id, :results_id, :active, "
            ":modified) "));
    };
    copy.failureWithSelectError = true;
    copy.write = [this](const Row &source, QSqlQuery &insert) {
        static const char *const methods[] = { SqlMrMethod::exact, SqlMrMethod::sigma, SqlMrMethod::composition };
        insert.bindValue(QStringLiteral(":NAME"), simplified(source.value(0)));
        insert.bindValue(QStringLiteral(":Tc"), source.value(1));
        // No speed, sigma or concentration is stored as the format stores it, as the program's own saves do.
        insert.bindValue(QStringLiteral(":RPM"),
            SqlRecords::storedOf(QStringLiteral("experiment"), QStringLiteral("RPM"), source.value(2)));
        insert.bindValue(QStringLiteral(":sigma"),
            SqlRecords::storedOf(QStringLiteral("experiment"), QStringLiteral("sigma"), source.value(3)));
        insert.bindValue(QStringLiteral(":sstar"), formatted(source.value(4), 'e', 3));
        insert.bindValue(QStringLiteral(":mgml"),
            SqlRecords::storedOf(
                QStringLiteral("experiment"), QStringLiteral("mgml"), fixPrecision(source.value(5), 6)));
        insert.bindValue(QStringLiteral(":sstart"), source.value(6));
        insert.bindValue(QStringLiteral(":vbar"), fixPrecision(source.value(7), 6));
        insert.bindValue(QStringLiteral(":rho"), fixPrecision(source.value(8), 6));
        insert.bindValue(QStringLiteral(":vis"), fixPrecision(source.value(9), 6));
        insert.bindValue(QStringLiteral(":Mp"), formatted(source.value(10), 'f', 2));
        insert.bindValue(QStringLiteral(":Mb"), formatted(source.value(11), 'f', 2));
        const qlonglong method = asInteger(source.value(12));
        insert.bindValue(QStringLiteral(":calculatedBy"),
            method >= 0 && method <= 2 ? SqlRecords::storedOf(
                QStringLiteral("experiment"), QStringLiteral("calculatedBy"), QLatin1String(methods[method]))
                                       : QVariant(QVariant::String));
        // Records of this run first: an older record may carry the same name.
        const QString sample = simplified(source.value(13));
        insert.bindValue(QStringLiteral(":sample_id"), linkTo(m_importedSamples, QStringLiteral("sample"), sample));
        const QString buffer = simplified(source.value(14));
        insert.bindValue(QStringLiteral(":buffer_id"), linkTo(m_importedBuffers, QStringLiteral("buffer"), buffer));
        // The older generation linked no results; -1 is "no link", never a record named "-1".
        insert.bindValue(QStringLiteral(":results_id"), -1);
        insert.bindValue(QStringLiteral(":active"), 1);
        insert.bindValue(QStringLiteral(":modified"), source.value(15));
        return insert.exec();
    };
    copy.imported = nullptr;
    copy.written = QStringList { QStringLiteral("experiment") };
    copy.links = { { QStringLiteral("sample"), QStringLiteral("name") },
        { QStringLiteral("buffer"), QStringLiteral("name") } };
    beginRecords(path, preventDuplicates, copy);
}

void SqlImportDb::copyAminoAcidCompositionsTable(const QString &path, bool preventDuplicates)
{
    beginAminoAcidCompositionsTable(path, preventDuplicates);
    finishCopy();
}

void SqlImportDb::beginAminoAcidCompositionsTable(const QString &path, bool preventDuplicates)
{
    RecordCopy copy;
    copy.word = QStringLiteral("AminoAcidCompositions");
    copy.columns = QStringLiteral("SampleName, Name3, Moles");
    copy.table = QStringLiteral("AminoAcidCompositions");
    copy.sortColumn = 0;
    copy.prepare = [](QSqlQuery &insert) {
        return insert.prepare(
            QStringLiteral("INSERT INTO aminoComposition (sampleId, aminoId, count, active, modified) VALUES "
                           "(:sampleId, :aminoId, :count, :active, :modified) "));
    };
    copy.failureWithSelectError = true;
    const QString modified = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    copy.write = [this, modified](const Row &source, QSqlQuery &insert) {
        const QString sample = simplified(source.value(0));
        insert.bindValue(QStringLiteral(":sampleId"), linkTo(m_importedSamples, QStringLiteral("sample"), sample));
        const QString code = simplified(source.value(1));
        insert.bindValue(
            QStringLiteral(":aminoId"), indexedLink(QStringLiteral("amino"), QStringLiteral("Namethree"), code));
        insert.bindValue(QStringLiteral(":count"), asInteger(source.value(2)));
        insert.bindValue(QStringLiteral(":active"), 1);
        insert.bindValue(QStringLiteral(":modified"), modified);
        return insert.exec();
    };
    copy.imported = nullptr;
    copy.written = QStringList { QStringLiteral("aminoComposition") };
    copy.links = { { QStringLiteral("sample"), QStringLiteral("name") },
        { QStringLiteral("amino"), QStringLiteral("Namethree") } };
    beginRecords(path, preventDuplicates, copy);
}
