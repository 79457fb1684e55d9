#ifndef SQL_IMPORTDB_H
#define SQL_IMPORTDB_H

#include "sql/sql_accessreader.h"
#include "sql/sql_importbatch.h"

#include <QFile>
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <limits>
#include <memory>

class QSqlQuery;

// Copies the tables of the older database generation ("PHYCONST.MDB" with the
// reference tables, "VORNAKEL.MDB" with the records) into the database of the
// window that runs it, and flags the source rows it copied. Each table is one
// transaction: it is copied whole or not at all, and its source rows are
// flagged only once the copy is committed. Details and failures go to
// "ImportLog.txt" in the current folder; what the person must hear of goes
// out through sigWarning, for the window to show.
//
// An Access file is read by the reader program (SqlAccessReader), once per
// run and before its tables are asked for (startReading(), which ends with
// sigReadEnded), into a temporary SQLite copy of the tables the copies below
// read, which they read as they read SQLite copies of the older tables; a
// file the reader cannot read is reported once and nothing of it is
// imported, and a table it cannot copy is reported where it would be read.
//
// Each copy below runs to its end when called, its transaction begun and
// ended within the call. A source that cannot be
// written keeps no flags: all its rows are copied, and the log and the
// results say once per file that a second import copies them again.
class SqlImportDb : public QObject
{
    Q_OBJECT

public:
    // destinationConnection: the registered connection written to, the
    // window's database path.
    explicit SqlImportDb(const QString &destinationConnection, QObject *parent = nullptr);
    ~SqlImportDb() override;

    // The reference tables of "PHYCONST.MDB", in the order they are copied.
    static QStringList referenceTables();
    // The tables of "VORNAKEL.MDB" that the record copies read.
    static QStringList recordTables();

    // Whether the file is a SQLite database (else it is an Access file, for the reader).
    static bool isSqliteFile(const QString &path);
    // Whether the file is an Access file the reader has not read in this run.
    bool needsReading(const QString &path) const;
    // Starts the reader on an Access file; sigReadEnded follows, once the
    // copy of its tables is made or the file is told unreadable.
    void startReading(const QString &path);
    // Stops the reader: the file is told unread, and sigReadEnded follows.
    void stopReading();
    // The source files of this run whose copied rows could not be flagged.
    QStringList unflaggedFiles() const { return m_unflaggedFiles; }
    // What this run did: the records stored per table in the order copied
    // (the buffer components added among them), the source files that could
    // not be read, the tables that could not be read from a file that could,
    // and the tables whose rows could not be written.
    QVector<QPair<QString, int>> importedRecords() const { return m_importedRecords; }
    QStringList unreadableFiles() const { return m_unreadableFiles; }
    int unreadTables() const { return m_unreadTables; }
    int unwrittenTables() const { return m_unwrittenTables; }
    // The tables whose rows, stored before the table failed, could not be
    // taken back: they stay in the file until the next import takes them back.
    QStringList leftBehind() const { return m_leftBehind; }

    // One import into a file at a time: claims the destination for this
    // engine's run, or says (results, warning, refusal()) that another
    // import of it is under way, or why the file refused. Released when the
    // engine goes, or before.
    bool claimDestination();
    void releaseDestination();
    QString refusal() const { return m_refusal; }
    // Another program held the destination locked beyond the lock wait: the
    // run goes no further.
    bool destinationLocked() const { return m_destinationLocked; }
    // The log file, as an absolute path; why it could not be written, or
    // an empty text when every line was.
    QString logPath() const;
    QString logFailure();

    void logMesg(const QString &message);
    // A numeric value rounded to `digits` decimals; text and NULL unchanged.
    static QVariant fixPrecision(const QVariant &value, int digits);
    bool IsDatabaseModified(const QString &table, QSqlDatabase &db);
    bool ModifyDatabase(const QString &table, QSqlDatabase &db);
    bool ignoreDuplicates(const QString &table, QSqlDatabase &db);
    bool openSourceDatabase(const QString &path);
    // The id of the destination row whose column equals the simplified name, or -1.
    int FindLink(const QString &table, const QString &column, const QString &name);

    // Each copy below runs to its end when called. The run (SqlImportRun)
    // does the same a slice at a time instead: a begin...() function starts
    // a copy, and proceed() does its next slice, each within a frame's time
    // and within a transaction of its own, until it answers false. A copy
    // that fails or is abandoned takes back what its slices stored.
    void beginReferenceTable(const QString &path, const QString &table, bool preventDuplicates);
    void beginBufferComponents();
    void beginBufferTable(const QString &path, bool preventDuplicates);
    void beginSampleTable(const QString &path, bool preventDuplicates);
    void beginExperimentTable(const QString &path, bool preventDuplicates);
    void beginAminoAcidCompositionsTable(const QString &path, bool preventDuplicates);
    // Takes back what imports into the file stored of the copies they never
    // ended (their program died), and says so in the results.
    void beginTakingBackUnfinished();
    // The next slice of the copy under way; true while more remains.
    bool proceed();
    bool isCopying() const { return bool(m_slice); }
    // The copy under way is stopped: its next slices take back what it stored.
    void abandon();
    // Every table an import writes into.
    static QStringList destinationTables();

    bool copyFromAccess(const QString &path, const QStringList &tables, bool preventDuplicates);
    // One reference table of the file; the file stays open for the next one.
    bool copyReferenceTable(const QString &path, const QString &table, bool preventDuplicates);
    void populateBufferComponents(const QString &path, bool preventDuplicates);
    void copyBufferTable(const QString &path, bool preventDuplicates);
    void copySampleTable(const QString &path, bool preventDuplicates);
    void copyExperimentTable(const QString &path, bool preventDuplicates);
    void copyAminoAcidCompositionsTable(const QString &path, bool preventDuplicates);
    // The composition rows of one source buffer, linked to the buffer row just written.
    bool copyBufferComposition(const QString &bufferName, const QVariant &bufferId);
    void CreateConnections() { }

signals:
    void sigLog(const QString &message, int loglevel);
    void sigStatus(const QString &message);
    void sigResults(const QString &message);
    // A table that could not be read or written, said once; `text` names the file.
    void sigWarning(const QString &title, const QString &text);
    // The reader started by startReading() is done with its file.
    void sigReadEnded();

private:
    struct RecordCopy;
    // A destination table read in rowid order, a slice at a time, each slice
    // a statement of its own.
    struct TableScan
    {
        QString table;
        QString columns; // after the rowid, which comes first
        qint64 after = std::numeric_limits<qint64>::min();
        bool done = false;
        // Reads until the slice has had its time (the batch's clock, or its
        // own) or the table ends; false with the driver's text.
        bool read(const QSqlDatabase &db, const SqlImportBatch *clock, qint64 sliceNs,
            const std::function<void(const QSqlQuery &)> &row, QString *error);
    };
    // The flags of the source rows copied, set a range of rows at a time.
    struct Flagging
    {
        QString table;
        qint64 next = 0;
        qint64 last = -1;
    };
    struct TableCopy;
    struct Components;
    struct Records;

    void beginRecords(const QString &path, bool preventDuplicates, const RecordCopy &copy);
    // Runs the copy under way to its end.
    void finishCopy();
    bool referenceSlice(TableCopy &copy);
    bool componentsSlice(Components &state);
    bool recordsSlice(Records &state);
    bool readRecords(Records &state, QString *error);
    // The buffers' compositions, read a slice at a time; false once they are
    // read, or (with destinationError) the destination's components could not be.
    bool compositionsSlice(Records &state, QString *destinationError);
    bool writeRecords(Records &state);
    void endRecords(Records &state);
    // One slice of taking back a failed or stopped copy; true while more remains.
    bool takeBackSlice(SqlImportBatch *batch, const QString &path, const QString &table);
    // Notes that the destination was found held by another program, and says
    // so once in the results.
    void noteLock(const QString &driverText);
    // Says that a table was stopped before its end.
    void stoppedTable(const QString &path, const QString &table);
    // Prepares the flagging of a copied table's source rows; false when
    // there is nothing to flag (or it was said why it cannot be done).
    bool beginFlagging(Flagging &flagging, const QString &table, bool flagged);
    bool flagSlice(Flagging &flagging);
    // The record of this name written in this run, else the one FindLink finds.
    int linkTo(const QHash<QString, int> &imported, const QString &table, const QString &name);
    // FindLink through an index of the table read once per copied table.
    int indexedLink(const QString &table, const QString &column, const QString &name);
    // Whether the source table has the flag column, adding it when it can
    // and `add` asks for it; false with the driver's text when the table's
    // columns could not be read.
    bool sourceFlag(const QString &table, bool add, bool *flagged, QString *error);
    // Whether the table of the file has the flag column; false when its columns could not be read.
    static bool hasFlagColumn(const QSqlDatabase &db, const QString &table, bool *flagged, QString *error);
    // Keeps the first failed read of the destination that its caller could
    // only answer with "no link": the copy under way fails with it.
    void readFailed(const QString &driverText);
    // Flags the copied rows of a source table, or says why it cannot.
    void flagCopied(const QString &table, bool flagged);
    // Says once per file that its copied rows could not be flagged.
    void cannotFlag(const QString &path, const QString &why);
    // The driver's error of a failed SELECT, or that the table is missing.
    QString selectError(const QString &table, const QSqlQuery &select);
    bool loadCompositions();
    // One log line, left in the file's buffer.
    void writeLog(const QString &message);
    // Writes out the lines in the buffer, noting a failure.
    void flushLog();
    // Closes the source and drops its connection.
    void closeSource();
    // Tells the person once about a table that could not be read or written.
    void warn(const QString &title, const QString &text);
    // Flags the source rows of a copied table.
    void markImported(const QString &table);
    static QString rowFailures(const QString &firstFailure, int failed, const QString &table);
    // Logs and reports an error of `file` that stops a table.
    void failTable(const QString &table, const QString &error, const QString &file);
    // Opens the source, or (after the log line and, once per file, the
    // warning) leaves it closed.
    bool openSourceOrWarn(const QString &path);
    // The SQLite copy of an Access file the reader has read; empty when the
    // file could not be read (logged and told once when it was read).
    QString accessCopy(const QString &path);
    // Keeps what the reader made of the file, and says what it found.
    void readEnded(const QString &path, const QString &copy, const SqlAccessReader::Result &read);
    // Commits a table's copy when nothing failed; otherwise rolls it back and
    // tells the person once. True when the copy is stored.
    bool finishTable(SqlImportBatch &batch, const QString &table, const QString &fatal, const QString &fatalFile,
        int failed, const QString &firstFailure);

    // The copy under way, a slice at a time, and how it is stopped.
    std::function<bool()> m_slice;
    std::function<void()> m_abandon;
    bool m_stored = false; // the last reference table copied was stored
    qint64 m_sliceNs; // the time a slice may work

    QSqlDatabase m_destination;
    QSqlDatabase m_source;
    QString m_sourceName;
    bool m_sourceOpen = false;
    // The driver's text when another program held the source beyond the wait.
    QString m_sourceLocked;
    // Why the open source cannot be written; empty when it can.
    QString m_sourceReadOnly;
    QStringList m_unflaggedFiles;
    QStringList m_unreadableFiles;
    QVector<QPair<QString, int>> m_importedRecords;
    int m_unreadTables = 0;
    int m_unwrittenTables = 0;
    QStringList m_leftBehind;
    qint64 m_claim = -1;
    QString m_refusal;
    bool m_destinationLocked = false;
    // The copies of the Access files of this run, by path (empty: not
    // readable), in a folder removed with the engine.
    std::unique_ptr<SqlAccessReader::CopyFolder> m_copyFolder;
    SqlAccessReader *m_reader = nullptr;
    QString m_reading; // the file the reader reads, while it does, and its copy
    QString m_readingCopy;
    // Files whose source did not open, said once each.
    QStringList m_unopenedFiles;
    QHash<QString, QString> m_accessCopies;
    // The tables of those files that the reader could not copy, with why, by file and table.
    QHash<QString, QHash<QString, QString>> m_uncopiedTables;
    // Lookups of the current table: destination ids by name, per "table.column".
    QHash<QString, QHash<QString, int>> m_linkIndexes;
    // A read of the destination that failed within a row's write (readFailed).
    QString m_readFailure;
    // The source's composition rows (component name, molarity) by buffer name
    // as read, and the active components by name, read once per buffer table.
    QHash<QString, QVector<QPair<QVariant, QVariant>>> m_compositions;
    QHash<QString, QVariant> m_componentIds;
    QString m_compositionsError;
    bool m_compositionsLoaded = false;
    QFile m_log;
    QString m_logPath;
    QString m_logFailure;
    QByteArray m_stamp;
    qint64 m_stampMinute = -1;
    // Records written in this run, by simplified name, so that later tables of
    // the run link to them rather than to older records of the same name.
    QHash<QString, int> m_importedBuffers;
    QHash<QString, int> m_importedSamples;
};

#endif
