#include "sql/sql_transaction.h"

#include "sql/sql_databasefile.h"
#include "sql/sql_journalguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <sqlite3.h>

namespace {

// SQLite's own wait for a lock, in milliseconds: a statement holds the event
// loop no longer than this, well below what a person takes for a freeze.
const char *const briefWait = "QSQLITE_BUSY_TIMEOUT=250";
// The event loop's turn between two tries.
const int lockStepMs = 40;
const int defaultLockWaitSeconds = 5;

// The WaitSpent that live on this thread.
thread_local int waitsSpent = 0;
// A wait gave up on a lock, and none has turned the event loop since (a
// queued call may run, but timers, sockets and the like wait while such
// calls follow each other).
thread_local bool lockJustMet = false;

// One step of the event loop between two tries: painting, timers and the
// message server go on; a click or a key waits for the end of the wait, as
// it would for the statement.
void turnBetweenTries()
{
    lockJustMet = false;
    if (!QCoreApplication::instance()) {
        QThread::msleep(lockStepMs);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(lockStepMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// SQLite's primary result codes and texts: another connection's lock (SQLITE_BUSY, or
// SQLITE_LOCKED where connections share a cache), and a full disk.
const char *const busyCode = "5";
const char *const lockedCode = "6";
const char *const busyText = "database is locked";
const char *const lockedText = "database table is locked";
const char *const fullText = "database or disk is full";
// And a file SQLite could not open, the guard's refusal among them.
const char *const cantOpenText = "unable to open database file";

const char *const nothingStored = "Nothing of the change was stored: the database file holds what it held before.";

// The change counter in the header of the database file: one more with
// each change stored. Read through the file SQLite has open (closing a
// handle of one's own would drop SQLite's locks on the file). False where
// it does not count (a file that keeps a log of changes, the "wal" mode).
bool readChangeCounter(const QSqlDatabase &db, quint32 *counter)
{
    sqlite3 *connection = SqlDatabaseFile::connectionOf(db);
    sqlite3_file *file = nullptr;
    if (!connection || sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file
        || !file->pMethods)
        return false;
    // Bytes 18 and 19 say how the file is written (2: with a log), 24 to 27 the counter.
    unsigned char header[10] = {};
    if (file->pMethods->xRead(file, header, int(sizeof header), 18) != SQLITE_OK || header[0] == 2 || header[1] == 2)
        return false;
    *counter = qFromBigEndian<quint32>(header + 6);
    return true;
}

} // namespace

SqlTransaction::SqlTransaction(const QSqlDatabase &db) : m_db(db)
{
    // Begun with the whole file at once: another program's hold is waited
    // for here, where nothing of this write is open. A plain BEGIN takes the
    // write lock only at the first write, and when another connection writes
    // meanwhile, SQLite refuses that upgrade at once ("database is locked")
    // instead of waiting, since the two would wait for each other. The write
    // lock alone (BEGIN IMMEDIATE) would let the write run while another
    // program reads, and then fail at its commit, which must store the
    // change without running the event loop inside the open write, after
    // only SQLite's brief wait for that reader.
    QSqlQuery begin(m_db);
    const bool begun = m_db.isOpen() && execWhileLocked(begin, QStringLiteral("BEGIN EXCLUSIVE"));
    if (!begun) {
        m_state = State::Failed;
        m_driverText = m_db.isOpen() ? begin.lastError().text() : m_db.lastError().text();
        m_error = report(m_db, m_driverText);
        return;
    }
    // Under the write lock, before anything of this write is in the file.
    m_counted = readChangeCounter(m_db, &m_counter);
}

SqlTransaction::~SqlTransaction()
{
    if (m_state == State::Open)
        m_db.rollback();
}

bool SqlTransaction::fail(const QString &driverText)
{
    failed(driverText);
    return false;
}

bool SqlTransaction::fail(QSqlQuery &query)
{
    const QString text = query.lastError().text();
    query.finish();
    // Taken back, or ended by SQLite itself (as a full disk may end it), the
    // write left nothing in the file: the person is told so.
    bool takenBack = false;
    if (m_state == State::Open) {
        takenBack = m_db.rollback();
        sqlite3 *connection = SqlDatabaseFile::connectionOf(m_db);
        takenBack = takenBack || (connection && sqlite3_get_autocommit(connection) != 0);
        m_state = State::Failed;
    }
    failed(text);
    // The guard's refusal of a file beside the database says itself that nothing was written.
    if (takenBack && !m_refused)
        m_error += QStringLiteral("\n\n") + QLatin1String(nothingStored);
    return false;
}

void SqlTransaction::failed(const QString &driverText)
{
    if (m_state == State::Open)
        m_db.rollback();
    m_state = State::Failed;
    m_driverText = driverText;
    const QString refused = refusal(m_db.databaseName(), driverText);
    m_refused = !refused.isEmpty();
    m_error = m_refused ? refused : report(m_db, driverText);
}

bool SqlTransaction::commit()
{
    if (m_state != State::Open)
        return false;
    // Not waited for with the event loop running: the write is open, and
    // nothing else may run inside it. It holds the whole file since it began
    // (in a file with a log of changes, the log's write lock, which readers
    // do not hinder), so no other program's hold is met here.
    if (!m_db.commit()) {
        failed(m_db.lastError().text());
        // Another program's lock kept the change from the file; any other
        // failure may have come before the change was stored, or after.
        if (!isLocked(m_driverText))
            m_error += QStringLiteral("\n\n") + heldNow();
        return false;
    }
    m_state = State::Committed;
    return true;
}

QString SqlTransaction::heldNow()
{
    const QString unknown = QStringLiteral("What the database file holds now could not be told%1: read the record "
                                           "again to see whether the change was stored.");
    // A file that keeps its changes in a log does not count them.
    if (!m_counted)
        return unknown.arg(QString());
    // Read under a lock of its own, so that what a failed commit left to
    // take back (a journal) is played in first.
    QString why;
    quint32 now = 0;
    {
        QSqlQuery look(m_db);
        if (!look.exec(QStringLiteral("BEGIN")) || !look.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))
            || !look.next() || !readChangeCounter(m_db, &now))
            why = look.lastError().text().isEmpty() ? QStringLiteral("its header could not be read")
                                                    : reason(look.lastError().text());
        look.finish();
        look.exec(QStringLiteral("ROLLBACK"));
    }
    if (!why.isEmpty())
        return unknown.arg(QStringLiteral(" (%1)").arg(why));
    if (now == m_counter)
        return QLatin1String(nothingStored);
    return QStringLiteral("The database file holds the change all the same: it was stored before the error.");
}

QString SqlTransaction::report(const QSqlDatabase &db, const QString &driverText)
{
    // SQLite says "read only" of a file moved away or replaced since it was
    // opened, and of one whose folder may not be written: said as it is.
    const QString readOnly = SqlDatabaseFile::readOnlyReason(db, driverText);
    if (!readOnly.isEmpty())
        return QDir::toNativeSeparators(db.databaseName()) + QStringLiteral(":\n") + readOnly;
    return report(db.databaseName(), driverText);
}

QString SqlTransaction::report(const QString &fileName, const QString &driverText)
{
    const QString refused = refusal(fileName, driverText);
    if (!refused.isEmpty())
        return refused;
    const QString readOnly = SqlDatabaseFile::readOnlyReason(fileName, driverText);
    return QDir::toNativeSeparators(fileName) + QStringLiteral(":\n")
        + (readOnly.isEmpty() ? reason(driverText) : readOnly);
}

QString SqlTransaction::refusal(const QString &fileName, const QString &driverText)
{
    return driverText.contains(QLatin1String(cantOpenText)) ? SqlJournalGuard::takeRefusal(fileName) : QString();
}

QString SqlTransaction::reason(const QString &driverText)
{
    if (!isLocked(driverText))
        return driverText;
    return QStringLiteral("The database file is in use by another program, which holds it locked (%1). Wait until "
                          "that program is done with it, or close it, then try again.")
        .arg(driverText.simplified());
}

void SqlTransaction::waitBriefly(QSqlDatabase &db)
{
    db.setConnectOptions(QLatin1String(briefWait));
}

bool SqlTransaction::whileLocked(const std::function<bool(QSqlError *)> &attempt)
{
    bool ok = false;
    const double seconds = QSettings().value(QLatin1String(lockWaitKey), defaultLockWaitSeconds).toDouble(&ok);
    // Capped at a day: a larger figure would overflow the milliseconds and wait not at all.
    const qint64 waitMs = qint64((ok ? qBound(0.0, seconds, 86400.0) : defaultLockWaitSeconds) * 1000);
    // After a wait that gave up, the event loop turns first: each try holds
    // the window for SQLite's brief wait, and two of them never follow each
    // other without a turn between.
    if (lockJustMet)
        turnBetweenTries();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QSqlError error;
        if (attempt(&error))
            return true;
        if (!isLocked(error))
            return false;
        if (waitsSpent > 0 || waited.elapsed() >= waitMs) {
            lockJustMet = true;
            return false;
        }
        turnBetweenTries();
    }
}

SqlTransaction::WaitSpent::WaitSpent(bool spent) : m_spent(spent)
{
    if (m_spent)
        ++waitsSpent;
}

SqlTransaction::WaitSpent::~WaitSpent()
{
    if (m_spent)
        --waitsSpent;
}

bool SqlTransaction::execWhileLocked(QSqlQuery &query, const QString &sql)
{
    return whileLocked([&](QSqlError *error) {
        if (sql.isNull() ? query.exec() : query.exec(sql))
            return true;
        *error = query.lastError();
        return false;
    });
}

bool SqlTransaction::isLocked(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String(busyCode) || error.nativeErrorCode() == QLatin1String(lockedCode)
        || isLocked(error.databaseText());
}

bool SqlTransaction::isLocked(const QString &driverText)
{
    return driverText.contains(QLatin1String(busyText)) || driverText.contains(QLatin1String(lockedText));
}

bool SqlTransaction::isFull(const QString &driverText)
{
    return driverText.contains(QLatin1String(fullText));
}
