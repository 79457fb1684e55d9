#ifndef SQL_READ_H
#define SQL_READ_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QSqlQuery;

// Reads of a database file that another program may hold locked. Each waits
// for such a lock as a write does as it begins (SqlTransaction::whileLocked:
// within the lock wait, the windows going on), and each says whether it
// read, with the driver's text when it did not: a file that could not be
// read never answers as one that holds nothing (no rows, no columns, no such
// table). Inside a write of the caller's own no other program's lock stops a
// read, so none waits there.
class SqlRead
{
public:
    // Runs the query (prepared and bound before, or `sql`) and hands it each
    // row in turn. False with the driver's text when running or reading it failed.
    static bool rows(QSqlQuery &query, const std::function<void(const QSqlQuery &)> &row, QString *error,
        const QString &sql = QString());
    // The first row's values, as many as the query gives: none when it gives no row.
    static bool firstRow(QSqlQuery &query, QVariantList *values, QString *error, const QString &sql = QString());
    // The first row's first value; a null value when there is no row.
    static bool value(QSqlQuery &query, QVariant *value, QString *error, const QString &sql = QString());
    // The table's columns in their order; none when the file has no such table.
    static bool columns(const QSqlDatabase &db, const QString &table, QStringList *names, QString *error);
    // Whether the file has the table.
    static bool hasTable(const QSqlDatabase &db, const QString &table, bool *exists, QString *error);
};

#endif
