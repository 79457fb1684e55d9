#include "test_sqlconnections.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace TestSqlConnections {

namespace {
bool openOn(const QString &connectionName, const QString &path, const QStringList &statements)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    if (!db.open())
        return false;
    for (const QString &sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            return false;
    }
    return true;
}
} // namespace

bool openWindowConnection(const QString &path, const QStringList &statements)
{
    return openOn(path, path, statements);
}

bool openDefaultConnection(const QString &path)
{
    return openOn(QLatin1String(QSqlDatabase::defaultConnection), path, QStringList());
}

void removeAll()
{
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}

QStringList column(const QString &connectionName, const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(connectionName, true));
    if (!q.exec(sql))
        return { QStringLiteral("<error>") };
    QStringList rows;
    while (q.next())
        rows << (q.value(0).isNull() ? QStringLiteral("<null>") : q.value(0).toString());
    return rows;
}

QStringList sqlLogLines()
{
    QFile f(QStringLiteral("sql.log"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringList();
    QStringList lines = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void removeSqlLog()
{
    QFile::remove(QStringLiteral("sql.log"));
}

} // namespace TestSqlConnections
