#include "sql/sql_accesscopy.h"

#include "app/app_regularfile.h"
#include "sql/sql_jetcheck.h"
#include "sql/sql_jetdefinitions.h"
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
    // Before it is opened: opening a named pipe waits for a writer for ever.
    const QString refusal = AppRegularFile::readRefusal(path);
    if (!refusal.isEmpty())
        return refusal;
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

// Runs `work` on the file opened through the ODBC driver, then drops the
// connection; `check` is what the file's own bytes told before the driver
// read any of them.
SqlAccessCopy::Exit onSource(const QString &path, const QString &driver, QString *why,
    const std::function<bool(QSqlDatabase &, const SqlJetCheck &)> &work)
{
    *why = headerProblem(path);
    if (!why->isEmpty())
        return SqlAccessCopy::Exit::Failed;
    // Damage the driver would crash, loop or go astray on is told, and the driver never meets it.
    const SqlJetCheck check(path);
    *why = check.fileDamage();
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
            done = work(source, check);
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

// One table of the source into the copy, counting the rows read; false with `why` set.
bool copyTable(QSqlDatabase &source, QSqlDatabase &copy, const QString &table, qint64 *rows, QString *why)
{
    auto fail = [why](const QString &error) {
        *why = error;
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
    *rows = 0;
    while (select.next()) {
        for (int i = 0; i < columns.count(); ++i)
            insert.bindValue(i, select.value(i));
        if (!insert.exec())
            return fail(insert.lastError().text());
        ++*rows;
    }
    // A read that broke off is a failure, not the end of the table.
    if (select.lastError().isValid())
        return fail(select.lastError().text());
    return true;
}

// The tables of `listed` that `asked` names, in any letter case, each once;
// all of them when nothing is asked.
QStringList chosenTables(const QStringList &listed, const QStringList &asked)
{
    if (asked.isEmpty())
        return listed;
    QStringList chosen;
    for (const QString &name : asked)
        for (const QString &table : listed)
            if (table.compare(name, Qt::CaseInsensitive) == 0 && !chosen.contains(table))
                chosen << table;
    return chosen;
}

} // namespace

namespace SqlAccessCopy {

Exit check(const QString &file, const QString &driver, QString *why)
{
    return onSource(file, driver, why, [why](QSqlDatabase &source, const SqlJetCheck &) {
        // Listing the tables reads the catalog, where a file that is not
        // whole shows first.
        if (!source.tables(QSql::AllTables).isEmpty())
            return true;
        *why = QStringLiteral("its catalog lists no tables");
        return false;
    });
}

Exit copy(const QString &file, const QString &copy, const QStringList &tables, const QString &driver, QString *why,
    QStringList *warnings)
{
    *why = AppAccessReaderContract::copyRefusal(copy);
    if (!why->isEmpty())
        return Exit::Usage;
    if (QFileInfo::exists(copy)) {
        *why = QStringLiteral("the copy %1 exists already").arg(copy);
        return Exit::Failed;
    }
    return onSource(file, driver, why, [&](QSqlDatabase &source, const SqlJetCheck &check) {
        const QStringList chosen = chosenTables(source.tables(QSql::Tables), tables);
        const SqlJetDefinitions definitions(file);
        bool done = false;
        {
            QSqlDatabase target = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(copyConnection));
            // As a path, a name SQLite would take for a URI ("file:...") is a file too.
            target.setDatabaseName(QFileInfo(copy).absoluteFilePath());
            QSqlQuery mark(target);
            auto unwritten = [&](const QString &error) {
                *why = QStringLiteral("the copy %1 cannot be written: %2").arg(copy, error);
                return false;
            };
            if (!target.open() || !target.transaction()) {
                done = unwritten(target.lastError().text());
            } else {
                done = true;
                for (const QString &table : chosen) {
                    // A table that cannot be copied leaves nothing in the copy, and the others are copied all the same.
                    if (!mark.exec(QStringLiteral("SAVEPOINT one_table"))) {
                        done = unwritten(mark.lastError().text());
                        break;
                    }
                    qint64 rows = 0;
                    QString failure;
                    const QStringList damage = check.tableDamage(table);
                    if (!damage.isEmpty())
                        failure = QStringLiteral("the file is damaged: %1").arg(damage.join(QStringLiteral("; ")));
                    if (!failure.isEmpty() || !copyTable(source, target, table, &rows, &failure)) {
                        *warnings << AppAccessReaderContract::uncopiedTable(table, failure);
                        if (!mark.exec(QStringLiteral("ROLLBACK TO one_table"))) {
                            done = unwritten(mark.lastError().text());
                            break;
                        }
                    } else {
                        // Jet pages carry no checksum, but the definition's count tells rows lost to damage.
                        const qint64 counted = definitions.rowCount(table);
                        if (counted >= 0 && counted != rows)
                            *warnings << AppAccessReaderContract::rowsDiffer(table, counted, rows);
                        // Some damage the driver reads without a word is impossible in a sound file.
                        for (const QString &what : definitions.damage(table))
                            *warnings << AppAccessReaderContract::damagedTable(table, what);
                    }
                    if (!mark.exec(QStringLiteral("RELEASE one_table"))) {
                        done = unwritten(mark.lastError().text());
                        break;
                    }
                }
                mark.finish();
                if (done && !target.commit())
                    done = unwritten(target.lastError().text());
                if (!done)
                    target.rollback();
            }
            mark = QSqlQuery();
            target.close();
        }
        QSqlDatabase::removeDatabase(QLatin1String(copyConnection));
        return done;
    });
}

} // namespace SqlAccessCopy
