#include "sql/sql_read.h"

#include "sql/sql_transaction.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

bool failed(const QSqlQuery &query, QString *error)
{
    *error = query.lastError().text();
    // A failure is never taken for an answer, even one the driver gives no words for.
    if (error->trimmed().isEmpty())
        *error = QStringLiteral("the database file could not be read");
    return false;
}

} // namespace

bool SqlRead::rows(
    QSqlQuery &query, const std::function<void(const QSqlQuery &)> &row, QString *error, const QString &sql)
{
    if (!SqlTransaction::execWhileLocked(query, sql))
        return failed(query, error);
    while (query.next())
        row(query);
    // next() answers false at the end and on a failure alike.
    if (query.lastError().isValid())
        return failed(query, error);
    return true;
}

bool SqlRead::firstRow(QSqlQuery &query, QVariantList *values, QString *error, const QString &sql)
{
    values->clear();
    if (!SqlTransaction::execWhileLocked(query, sql))
        return failed(query, error);
    if (query.next()) {
        const int n = query.record().count();
        for (int i = 0; i < n; ++i)
            values->append(query.value(i));
    }
    if (query.lastError().isValid())
        return failed(query, error);
    query.finish();
    return true;
}

bool SqlRead::value(QSqlQuery &query, QVariant *value, QString *error, const QString &sql)
{
    QVariantList values;
    if (!firstRow(query, &values, error, sql))
        return false;
    *value = values.value(0);
    return true;
}

bool SqlRead::columns(const QSqlDatabase &db, const QString &table, QStringList *names, QString *error)
{
    // Not QSqlDatabase::record(), which answers a file it could not read with no columns.
    names->clear();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    return rows(
        query, [names](const QSqlQuery &row) { names->append(row.value(1).toString()); }, error,
        QStringLiteral("PRAGMA table_info(%1)").arg(db.driver()->escapeIdentifier(table, QSqlDriver::TableName)));
}

bool SqlRead::hasTable(const QSqlDatabase &db, const QString &table, bool *exists, QString *error)
{
    // Not QSqlDatabase::tables(), which answers a file it could not read with none.
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = :name COLLATE NOCASE"));
    query.bindValue(QStringLiteral(":name"), table);
    QVariant found;
    if (!value(query, &found, error))
        return false;
    *exists = !found.isNull();
    return true;
}
