#include "sql/sql_boundedwait.h"

#include "sql/sql_databasefile.h"
#include "sql/sql_transaction.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>

#include <sqlite3.h>

#include <ctime>

namespace {

// The wait on this thread, innermost first.
thread_local SqlBoundedWait *current = nullptr;

// The longest sleep between two tries for a hold, in nanoseconds.
const qint64 kTryIntervalNs = 2 * 1000 * 1000;

using SqlDatabaseFile::connectionOf;

// SQLite's own wait of a connection: the pragma reads no file and so meets no hold.
int ownWaitMs(sqlite3 *handle)
{
    sqlite3_stmt *statement = nullptr;
    int ms = 0;
    if (sqlite3_prepare_v2(handle, "PRAGMA busy_timeout", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        ms = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return ms;
}

} // namespace

SqlBoundedWait::SqlBoundedWait(Call call) : m_call(std::move(call)), m_outer(current)
{
    current = this;
}

SqlBoundedWait::~SqlBoundedWait()
{
    current = m_outer;
    for (const Covered &covered : qAsConst(m_covered)) {
        // Only the handle it was put on: a connection reopened since has a handle, and its wait, of its own.
        if (connectionOf(QSqlDatabase::database(covered.connection, false)) == covered.handle)
            sqlite3_busy_timeout(covered.handle, covered.ownWaitMs);
    }
}

bool SqlBoundedWait::active()
{
    return current != nullptr;
}

void SqlBoundedWait::cover(const QSqlDatabase &db)
{
    SqlBoundedWait *wait = current;
    sqlite3 *handle = wait ? connectionOf(db) : nullptr;
    if (!handle)
        return;
    const QString name = db.connectionName();
    for (Covered &covered : wait->m_covered) {
        if (covered.connection != name)
            continue;
        // Reopened: the handle before is closed, with what was put on it.
        if (covered.handle != handle) {
            covered.handle = handle;
            covered.ownWaitMs = ownWaitMs(handle);
        }
        // Put on again every time: a connection reopened may have the very
        // address of the one it replaced, and SQLite's own wait in place.
        sqlite3_busy_handler(handle, &SqlBoundedWait::onBusy, wait);
        return;
    }
    wait->m_covered.append({ name, handle, ownWaitMs(handle) });
    sqlite3_busy_handler(handle, &SqlBoundedWait::onBusy, wait);
}

void SqlBoundedWait::failed(const QSqlDatabase &db, const QSqlError &error)
{
    if (current && connectionOf(db) && SqlTransaction::isLocked(error))
        current->giveUp(db.databaseName(), error.text());
}

int SqlBoundedWait::onBusy(void *wait, int)
{
    return static_cast<SqlBoundedWait *>(wait)->busy();
}

int SqlBoundedWait::busy()
{
    if (m_gaveUp)
        return 0;
    const qint64 left = m_call.leftNs ? m_call.leftNs() : 0;
    if (left <= 0) {
        // The statement fails with SQLite's "database is locked", which
        // failed() takes up with the file's name.
        giveUp(QString(), QString());
        return 0;
    }
    const qint64 sleep = qMin(left, kTryIntervalNs);
    QElapsedTimer slept;
    slept.start();
    timespec pause { time_t(sleep / 1000000000), long(sleep % 1000000000) };
    nanosleep(&pause, nullptr);
    if (m_call.waited)
        m_call.waited(slept.nsecsElapsed());
    return 1;
}

void SqlBoundedWait::giveUp(const QString &fileName, const QString &driverText)
{
    if (m_fileName.isNull() && !fileName.isNull()) {
        m_fileName = fileName;
        m_driverText = driverText;
    }
    if (m_gaveUp)
        return;
    m_gaveUp = true;
    if (m_call.gaveUp)
        m_call.gaveUp();
}

QString SqlBoundedWait::report() const
{
    if (m_fileName.isNull())
        return SqlTransaction::reason(QStringLiteral("database is locked"));
    return SqlTransaction::report(m_fileName, m_driverText);
}
