#ifndef SQL_IMPORTBATCH_H
#define SQL_IMPORTBATCH_H

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class SqlTransaction;

// The rows one copy of the import writes, stored a slice at a time and yet
// whole or not at all. Each slice is a transaction of its own, begun and
// ended within one turn of the event loop, so that between slices nothing
// of the import is open and the window and the message server go on.
//
// A copy that needs more than one slice notes in the destination (in the
// table "importUnfinished", there only while some copy needs it) which rows
// each slice added, in that slice's own transaction; its last slice removes
// the notes as it stores its last rows. A copy that does not end (it fails,
// is stopped, or its program dies) is taken back by those notes: by itself,
// or, after its program died, by the next import into the file.
class SqlImportBatch
{
public:
    // The time one slice may work before it is stored, in milliseconds (the
    // settings key "import/sliceTime", 30 by default): a few frames', so
    // that the window waits no longer, and the disk's time to store each
    // slice stays small beside the work. A slice does at least one row,
    // whatever its time (0 makes a slice of each row).
    static constexpr char sliceTimeKey[] = "import/sliceTime";
    static qint64 configuredSliceNs();

    // The copy writes into `tables` of `db` (rowid tables), a slice working for `sliceNs`.
    SqlImportBatch(const QSqlDatabase &db, const QStringList &tables, qint64 sliceNs);
    // A slice still open is rolled back.
    ~SqlImportBatch();
    SqlImportBatch(const SqlImportBatch &) = delete;
    SqlImportBatch &operator=(const SqlImportBatch &) = delete;

    // Opens a slice: its transaction, and its clock. False with the driver's text.
    bool begin();
    bool isOpen() const;
    // Whether the slice has had its time.
    bool timeIsUp() const { return m_clock.nsecsElapsed() > m_sliceNs; }
    // Stores the slice; `last` when it ends the copy. False (rolled back) with the driver's text.
    bool commit(bool last);
    // Rolls the open slice back.
    void rollback(const QString &why);
    // Whether earlier slices stored rows, which a copy that fails takes back.
    bool hasStored() const { return m_noted; }
    // One slice of taking back what the copy's earlier slices stored; true
    // while more remains. False with driverText() when it could not.
    bool takeBack();
    QString driverText() const { return m_driverText; }
    // The rows the copy's earlier slices stored that are still in the file.
    qint64 storedRows() const { return m_storedRows; }

    // The copies noted in the file whose import no longer runs (its
    // program ended without taking them back); false with the driver's
    // text when the notes could not be read.
    static bool unfinishedCopies(const QSqlDatabase &db, QList<qint64> *copies, QString *error);
    // One slice of taking back the copies given (of `tables` only),
    // emptying the list as each is done; `removed` counts the rows taken
    // back per table. True while more remains; false with `driverText` when
    // it could not.
    static bool takeBack(const QSqlDatabase &db, const QStringList &tables, qint64 sliceNs, QList<qint64> *copies,
        QHash<QString, qint64> *removed, QString *driverText);

    // One import into a file at a time: claims the file for an import, or
    // (false) says why it cannot: another import, of this program or
    // another, is under way, or the file refused the claim.
    static bool claim(const QSqlDatabase &db, qint64 *claim, QString *refusal);
    static void release(const QSqlDatabase &db, qint64 claim);

private:
    // Takes back at most `rows` rows of the first copy given, in a
    // transaction of its own; false with `driverText` when it could not.
    static bool takeBackStep(const QSqlDatabase &db, const QStringList &tables, QList<qint64> *copies,
        QHash<QString, qint64> *removed, qint64 rows, QString *driverText);
    // Where each of the copy's tables ends now; false, the slice rolled back, when one cannot be read.
    bool readEnds(QHash<QString, qint64> *ends);

    QSqlDatabase m_db;
    QStringList m_tables;
    qint64 m_copy;
    qint64 m_sliceNs;
    std::unique_ptr<SqlTransaction> m_transaction;
    QHash<QString, qint64> m_ends; // where each table's rowids ended when the slice began
    QElapsedTimer m_clock;
    bool m_noted = false;
    // The rows that slices stored and nothing took back since, counted as
    // they go: told also when the file can no longer be read.
    qint64 m_storedRows = 0;
    QString m_driverText;
};

#endif
