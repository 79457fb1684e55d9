#include "sql/sql_transaction.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

SqlTransaction::SqlTransaction(const QSqlDatabase &db) : m_db(db)
{
    // Begun as a write at once: the connection's busy timeout then waits for
    // another program writing the file. A plain BEGIN takes the write lock
    // only at the first write, and when another connection writes meanwhile,
    // SQLite refuses that upgrade at once ("database is locked") instead of
    // waiting, since the two would wait for each other.
    QSqlQuery begin(m_db);
    if (!m_db.isOpen() || !begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
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
    return QDir::toNativeSeparators(fileName) + QStringLiteral(":\n") + driverText;
}
