#include "sql/sql_accesscopy.h"

#include "sql/sql_odbcdriver.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace {

const char *const sourceConnection = "access source";
const char *const copyConnection = "access copy";

// What is wrong with the file before any driver reads it, or an empty text.
// The driver opens any file, and a file that is not an Access database made
// its SQL fail table by table instead of being refused.
QString headerProblem(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("it cannot be opened (%1)").arg(file.errorString());
    const qint64 size = file.size();
    if (size == 0)
        return QStringLiteral("the file is empty");
    const QByteArray head = file.read(0x20);
    const QByteArray format = head.mid(4, 16);
    if (head.size() < 0x20
        || (format != QByteArray("Standard Jet DB\0", 16) && format != QByteArray("Standard ACE DB\0", 16)))
        return QStringLiteral("it is not an Access database file");
    // Pages of 2 KiB in the first Jet version, of 4 KiB since; the catalog's
    // definition is the third page.
    const qint64 page = head.at(0x14) == 0 ? 2048 : 4096;
    if (size < 3 * page)
        return QStringLiteral("it holds only %1 bytes, fewer than the first pages of an Access database").arg(size);
    return QString();
}

// Runs `work` on the file opened through the ODBC driver, then drops the connection.
SqlAccessCopy::Exit onSource(
    const QString &path, const QString &driver, QString *why, const std::function<bool(QSqlDatabase &)> &work)
{
    *why = headerProblem(path);
    if (!why->isEmpty())
        return SqlAccessCopy::Exit::Failed;
    if (!SqlOdbcDriver::installedDrivers().contains(driver, Qt::CaseInsensitive)) {
        *why = QStringLiteral("the ODBC driver \"%1\" is not installed").arg(driver);
        return SqlAccessCopy::Exit::DriverMissing;
    }
    *why = AppAccessReaderContract::pathRefusal(path);
    if (!why->isEmpty())
        return SqlAccessCopy::Exit::Failed;
    bool done = false;
    {
        QSqlDatabase source = QSqlDatabase::addDatabase(new SqlOdbcDriver, QLatin1String(sourceConnection));
        source.setDatabaseName(QStringLiteral("DRIVER={%1};DBQ=%2").arg(driver, path));
        if (!source.open())
            *why = QStringLiteral("the ODBC driver could not open it: %1").arg(source.lastError().text());
        else
            done = work(source);
        source.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(sourceConnection));
    return done ? SqlAccessCopy::Exit::Done : SqlAccessCopy::Exit::Failed;
}

// The column type of the copy that keeps what the driver read: numbers stay
// numbers, and dates become the text the import would have bound for them.
const char *columnType(QVariant::Type type)
{
    switch (type) {
    case QVariant::Int:
    case QVariant::LongLong:
        return "INTEGER";
    case QVariant::Double:
        return "REAL";
    case QVariant::ByteArray:
        return "BLOB";
    default:
        return "TEXT";
    }
}

// One table of the source into the copy; false with `why` set.
bool copyTable(QSqlDatabase &source, QSqlDatabase &copy, const QString &table, QString *why)
{
    auto fail = [&](const QString &error) {
        *why = QStringLiteral("table %1: %2").arg(table, error);
        return false;
    };
    QSqlQuery select(source);
    select.setForwardOnly(true);
    if (!select.exec(
            QStringLiteral("SELECT * FROM %1").arg(source.driver()->escapeIdentifier(table, QSqlDriver::TableName))))
        return fail(select.lastError().text());
    const QSqlRecord columns = select.record();
    if (columns.isEmpty())
        return fail(QStringLiteral("it has no columns"));
    QStringList definitions;
    QStringList marks;
    for (int i = 0; i < columns.count(); ++i) {
        definitions << copy.driver()->escapeIdentifier(columns.fieldName(i), QSqlDriver::FieldName) + QLatin1Char(' ')
                + QLatin1String(columnType(columns.field(i).type()));
        marks << QStringLiteral("?");
    }
    const QString name = copy.driver()->escapeIdentifier(table, QSqlDriver::TableName);
    QSqlQuery insert(copy);
    if (!insert.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(name, definitions.join(QStringLiteral(", ")))))
        return fail(insert.lastError().text());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(name, marks.join(QLatin1Char(',')))))
        return fail(insert.lastError().text());
    while (select.next()) {
        for (int i = 0; i < columns.count(); ++i)
            insert.bindValue(i, select.value(i));
        if (!insert.exec())
            return fail(insert.lastError().text());
    }
    // A read that broke off is a failure, not the end of the table.
    if (select.lastError().isValid())
        return fail(select.lastError().text());
    return true;
}

} // namespace

namespace SqlAccessCopy {

Exit check(const QString &file, const QString &driver, QString *why)
{
    return onSource(file, driver, why, [why](QSqlDatabase &source) {
        // Listing the tables reads the catalog, where a file that is not
        // whole shows first.
        if (!source.tables(QSql::AllTables).isEmpty())
            return true;
        *why = QStringLiteral("its catalog lists no tables");
        return false;
    });
}

Exit copy(const QString &file, const QString &copy, const QString &driver, QString *why)
{
    if (QFileInfo::exists(copy)) {
        *why = QStringLiteral("the copy %1 exists already").arg(copy);
        return Exit::Failed;
    }
    return onSource(file, driver, why, [&](QSqlDatabase &source) {
        bool done = false;
        {
            QSqlDatabase target = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(copyConnection));
            target.setDatabaseName(copy);
            if (!target.open() || !target.transaction()) {
                *why = QStringLiteral("the copy %1 cannot be written: %2").arg(copy, target.lastError().text());
            } else {
                done = true;
                const QStringList tables = source.tables(QSql::Tables);
                for (const QString &table : tables) {
                    done = copyTable(source, target, table, why);
                    if (!done)
                        break;
                }
                if (done && !target.commit()) {
                    *why = QStringLiteral("the copy %1 cannot be written: %2").arg(copy, target.lastError().text());
                    done = false;
                }
                if (!done)
                    target.rollback();
            }
            target.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(copyConnection));
        return done;
    });
}

} // namespace SqlAccessCopy
