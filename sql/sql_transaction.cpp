#include "sql/sql_transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

namespace {

// SQLite's own wait for a lock, in milliseconds: a statement holds the event
// loop no longer than this, well below what a person takes for a freeze.
const char *const briefWait = "QSQLITE_BUSY_TIMEOUT=250";
// The event loop's turn between two tries.
const int lockStepMs = 40;
const int defaultLockWaitSeconds = 5;

// SQLite's primary result codes and texts: another connection's lock (SQLITE_BUSY, or
// SQLITE_LOCKED where connections share a cache), and a full disk.
const char *const busyCode = "5";
const char *const lockedCode = "6";
const char *const busyText = "database is locked";
const char *const lockedText = "database table is locked";
const char *const fullText = "database or disk is full";

} // namespace

SqlTransaction::SqlTransaction(const QSqlDatabase &db) : m_db(db)
{
    // Begun as a write at once: another program's write is waited for here,
    // where nothing of this write is open. A plain BEGIN takes the write lock
    // only at the first write, and when another connection writes meanwhile,
    // SQLite refuses that upgrade at once ("database is locked") instead of
    // waiting, since the two would wait for each other.
    QSqlQuery begin(m_db);
    const bool begun = m_db.isOpen() && execWhileLocked(begin, QStringLiteral("BEGIN IMMEDIATE"));
    if (!begun) {
        m_state = State::Failed;
        m_driverText = m_db.isOpen() ? begin.lastError().text() : m_db.lastError().text();
        m_error = report(m_db, m_driverText);
    }
}

SqlTransaction::~SqlTransaction()
{
    if (m_state == State::Open)
        m_db.rollback();
}

bool SqlTransaction::fail(const QString &driverText)
{
    if (m_state == State::Open)
        m_db.rollback();
    m_state = State::Failed;
    m_driverText = driverText;
    m_error = report(m_db, driverText);
    return false;
}

bool SqlTransaction::fail(QSqlQuery &query)
{
    const QString text = query.lastError().text();
    query.finish();
    return fail(text);
}

bool SqlTransaction::commit()
{
    if (m_state != State::Open)
        return false;
    // Not waited for with the event loop running: the write is open, and
    // nothing else may run inside it. The write lock held keeps new readers
    // off, so only those already reading are waited for (SQLite's brief wait).
    if (!m_db.commit())
        return fail(m_db.lastError().text());
    m_state = State::Committed;
    return true;
}

QString SqlTransaction::report(const QSqlDatabase &db, const QString &driverText)
{
    return report(db.databaseName(), driverText);
}

QString SqlTransaction::report(const QString &fileName, const QString &driverText)
{
    return QDir::toNativeSeparators(fileName) + QStringLiteral(":\n") + reason(driverText);
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
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QSqlError error;
        if (attempt(&error))
            return true;
        if (!isLocked(error) || waited.elapsed() >= waitMs)
            return false;
        if (!QCoreApplication::instance()) {
            QThread::msleep(lockStepMs);
            continue;
        }
        // Painting, timers and the message server go on; a click or a key
        // waits for the end of the wait, as it would for the statement.
        QEventLoop loop;
        QTimer::singleShot(lockStepMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
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
