#include "sql/sql_executor.h"

#include "app/app_log.h"

#include <QRegularExpression>

sqlExecutor::sqlExecutor(const QSqlQuery &other) : QObject(nullptr), m_sqlQuery(new QSqlQuery(other))
{
    connectSignals();
    m_queryText = QString();
    m_preparedText = QString();
}

sqlExecutor::sqlExecutor(QSqlDatabase db) : QObject(nullptr), m_sqlQuery(new QSqlQuery(db))
{
    connectSignals();
}

sqlExecutor::sqlExecutor(const QString &query, QSqlDatabase db) : QObject(nullptr), m_sqlQuery(new QSqlQuery(query, db))
{
    connectSignals();
    m_queryText = query;
}

sqlExecutor::sqlExecutor(QSqlResult *result) : QObject(nullptr), m_sqlQuery(new QSqlQuery(result))
{
    connectSignals();
}

sqlExecutor::~sqlExecutor()
{
    disconnect();
    delete m_sqlQuery;
}

void sqlExecutor::connectSignals()
{
    connect(this, &sqlExecutor::sigDatabaseClosed, this, &sqlExecutor::reopenDatabase);
}

void sqlExecutor::reopenDatabase() { }

QString sqlExecutor::errorText() const
{
    const QSqlError error = m_sqlQuery->lastError();
    return error.databaseText() + QStringLiteral(". ") + error.driverText() + QStringLiteral(".");
}

bool sqlExecutor::prepare(const QString &query)
{
    m_preparedText = query;
    return m_sqlQuery->prepare(query);
}

void sqlExecutor::clear()
{
    m_sqlQuery->clear();
    m_queryText = QString();
}

bool sqlExecutor::exec(const QString &query)
{
    m_queryText = query;
    m_preparedText = QString();
    const bool ok = m_sqlQuery->exec(query);
    emit sigQueryLog(query);
    emit sigLog(query, AppLog::Statement);
    if (!ok)
        emit sigError(QStringLiteral("sqlExecutor::exec(query)"), m_queryText, errorText());
    return ok;
}

bool sqlExecutor::exec(const QString &query, const QVariantMap &values)
{
    m_queryText = query;
    m_preparedText = QString();
    bool ok = m_sqlQuery->prepare(query);
    if (ok) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            m_sqlQuery->bindValue(it.key(), it.value());
        ok = m_sqlQuery->exec();
    }
    emit sigQueryLog(query);
    emit sigLog(query, AppLog::Statement);
    if (!ok)
        emit sigError(QStringLiteral("sqlExecutor::exec(query)"), m_queryText, errorText());
    return ok;
}

bool sqlExecutor::exec()
{
    emit sigQueryLog(m_queryText);
    emit sigLog(m_queryText, AppLog::Statement);
    const bool ok = m_sqlQuery->exec();
    if (!ok) {
        if (m_preparedText.isNull()) {
            emit sigError(QStringLiteral("sqlExecutor::exec()"), m_queryText, errorText());
        } else {
            // The statement is not run a second time unbound: on a driver that
            // accepts unbound placeholders that would write NULLs.
            emit sigError(QStringLiteral("sqlExecutor::exec() Prepare Statement"), m_preparedText, errorText());
        }
    }
    return ok;
}

bool sqlExecutor::execBatch(QSqlQuery::BatchExecutionMode mode)
{
    const bool ok = m_sqlQuery->execBatch(mode);
    if (!ok)
        emit sigError(QStringLiteral("sqlExecutor::execBatch()"), m_queryText, errorText());
    return ok;
}

bool sqlExecutor::reprepare()
{
    if (m_preparedText.isNull())
        return false;
    // Named values are bound again by name, so a name used at several places
    // fills all of them; positional values have one entry each.
    const QMap<QString, QVariant> values = m_sqlQuery->boundValues();
    bool named = !values.isEmpty();
    for (auto it = values.cbegin(); named && it != values.cend(); ++it) {
        const QRegularExpression holder(QRegularExpression::escape(it.key()) + QStringLiteral("(?!\\w)"));
        named = m_preparedText.contains(holder);
    }
    QVariantList positional;
    if (!named) {
        for (int i = 0; i < values.size(); ++i)
            positional.append(m_sqlQuery->boundValue(i));
    }
    if (!m_sqlQuery->prepare(m_preparedText))
        return false;
    if (named) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            m_sqlQuery->bindValue(it.key(), it.value());
    } else {
        for (int i = 0; i < positional.size(); ++i)
            m_sqlQuery->bindValue(i, positional.at(i));
    }
    return true;
}
