#include "test_sqlconnections.h"

#include <QDir>
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

QString odbcConnectString(const QString &path)
{
    // Named by its file, so that no registration in odbcinst.ini is needed.
    QStringList folders { QStringLiteral("/usr/lib/odbc"), QStringLiteral("/usr/local/lib/odbc") };
    const QDir lib(QStringLiteral("/usr/lib"));
    for (const QString &arch : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        folders << lib.filePath(arch + QStringLiteral("/odbc"));
    for (const QString &folder : folders) {
        const QString driver = folder + QStringLiteral("/libsqlite3odbc.so");
        if (QFile::exists(driver))
            return QStringLiteral("DRIVER=%1;DATABASE=%2").arg(driver, path);
    }
    return QString();
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

QStringList sqlLogLines(bool older)
{
    QByteArray text;
    for (const QString &name : { QStringLiteral("sql.log.1"), QStringLiteral("sql.log") }) {
        QFile f(name);
        if ((older || !name.endsWith(QLatin1String(".1"))) && f.open(QIODevice::ReadOnly))
            text += f.readAll();
    }
    QStringList lines = QString::fromLocal8Bit(text).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void removeSqlLog()
{
    QFile::remove(QStringLiteral("sql.log"));
    QFile::remove(QStringLiteral("sql.log.1"));
}

} // namespace TestSqlConnections
