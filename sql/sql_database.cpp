#include "sql/sql_database.h"

#include "app/app_fixedfile.h"
#include "app/app_log.h"
#include "sql/sql_executor.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDriver>
#include <QTextStream>

sqlDatabase dbEngine;

namespace {

// The value of key in a connection string: the text after its first
// occurrence up to the next ";" or the end. found tells a missing key apart.
QString keyValue(const QString &text, const QString &key, bool *found = nullptr)
{
    const int start = text.indexOf(key);
    if (found)
        *found = start >= 0;
    if (start < 0)
        return QString();
    const int from = start + key.size();
    const int end = text.indexOf(QLatin1Char(';'), from);
    QString value = end < 0 ? text.mid(from) : text.mid(from, end - from);
    // The last value of a line read from a file would keep its line end.
    while (value.endsWith(QLatin1Char('\n')) || value.endsWith(QLatin1Char('\r')))
        value.chop(1);
    return value;
}

// The text up to its first ".", so "db1.lab.org" and "db1" name one server.
QString beforeFirstDot(const QString &text)
{
    const int dot = text.indexOf(QLatin1Char('.'));
    return dot < 0 ? text : text.left(dot);
}

QString connectStringKey(const QString &connectString)
{
    return beforeFirstDot(keyValue(connectString.toUpper(), QStringLiteral("SERVER=")));
}

// The settings keep the chosen connection string without its password. The
// ODBC driver manager reads keys in any case, and a value in braces may hold
// a ";", so both are taken into account.
QString withoutPassword(const QString &connectString)
{
    static const QRegularExpression passwordKey(
        QStringLiteral("(^|;)\\s*(PWD|PASSWORD)\\s*="), QRegularExpression::CaseInsensitiveOption);
    QString text = connectString;
    for (QRegularExpressionMatch match = passwordKey.match(text); match.hasMatch();
         match = passwordKey.match(text, match.capturedEnd(1))) {
        const int field = match.capturedEnd(1);
        int from = match.capturedEnd(0);
        while (from < text.size() && text.at(from).isSpace() && text.at(from) != QLatin1Char('\n'))
            ++from;
        if (from < text.size() && text.at(from) == QLatin1Char('{')) {
            const int close = text.indexOf(QLatin1Char('}'), from);
            from = close < 0 ? text.size() : close;
        }
        const int end = text.indexOf(QLatin1Char(';'), from);
        if (end >= 0) {
            text.remove(field, end + 1 - field);
            continue;
        }
        // The password ran to the end: keep the line end it may carry.
        int keep = text.size();
        while (keep > field && (text.at(keep - 1) == QLatin1Char('\n') || text.at(keep - 1) == QLatin1Char('\r')))
            --keep;
        text.remove(field, keep - field);
    }
    return text;
}

} // namespace

sqlDatabase::sqlDatabase(QObject *parent) : QObject(parent), m_port(0)
{
    connect(this, &sqlDatabase::sigDatabaseClosed, this, &sqlDatabase::reopenDatabase);
    // Its executors' messages come through it, so it is where they are logged.
    AppLog::connect(this, qOverload<QString, int>(&sqlDatabase::sigLog), lcSql);
    connect(this, qOverload<QString>(&sqlDatabase::sigLog), this,
        [](const QString &message) { qCDebug(lcSql).noquote() << message; });
    m_connectString = QString();
    m_iniFile = QString();
}

sqlDatabase::~sqlDatabase() = default;

void sqlDatabase::reopenDatabase()
{
    open(defaultConnection());
}

void sqlDatabase::report(const QString &slotName, const QString &payload)
{
    emit sigSignalLog(QStringLiteral("sqlDatabase"), QStringLiteral("app"), QStringLiteral("error"), slotName, payload);
}

// --- Connection bookkeeping

QStringList sqlDatabase::connectionNames() const
{
    return QSqlDatabase::connectionNames();
}

QSqlDatabase sqlDatabase::database(const QString &connectionName, bool open) const
{
    return QSqlDatabase::database(connectionName, open);
}

QSqlDatabase sqlDatabase::addDatabase(QSqlDriver *driver, const QString &connectionName)
{
    return QSqlDatabase::addDatabase(driver, connectionName);
}

QSqlDatabase sqlDatabase::addDatabase(const QString &type, const QString &connectionName)
{
    return QSqlDatabase::addDatabase(type, connectionName);
}

QSqlDatabase sqlDatabase::addDatabase(const QString &type, const QString &hostName, const QString &databaseName,
    const QString &connectionName, const QString &userName, const QString &password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(type, connectionName);
    db.setHostName(hostName);
    db.setDatabaseName(databaseName);
    db.setUserName(userName);
    db.setPassword(password);
    return db;
}

void sqlDatabase::setDatabaseType(const QString &type, const QString &connectionName)
{
    QSqlDatabase::addDatabase(type, connectionName);
}

sqlExecutor *sqlDatabase::sqlEngine(const QString &connectionName)
{
    auto *executor = new sqlExecutor(database(connectionName, true));
    connect(executor, &sqlExecutor::sigSignalLog, this, &sqlDatabase::sigSignalLog);
    connect(executor, qOverload<QString>(&sqlExecutor::sigLog), this, qOverload<QString>(&sqlDatabase::sigLog));
    connect(
        executor, qOverload<QString, int>(&sqlExecutor::sigLog), this, qOverload<QString, int>(&sqlDatabase::sigLog));
    return executor;
}

bool sqlDatabase::reOpenDatabase(QSqlDatabase &db)
{
    return db.open();
}

void sqlDatabase::close(const QString &connectionName)
{
    if (!connectionNames().contains(connectionName))
        return;
    QSqlDatabase db = database(connectionName, false);
    db.close();
}

void sqlDatabase::closeAll()
{
    const QStringList names = connectionNames();
    for (const QString &name : names)
        close(name);
}

// --- Per-connection accessors

void sqlDatabase::setUserName(const QString &name, const QString &connectionName)
{
    m_userName = name;
    database(connectionName, true).setUserName(name);
}

void sqlDatabase::setPassword(const QString &password, const QString &connectionName)
{
    m_password = password;
    database(connectionName, true).setPassword(password);
}

void sqlDatabase::setHostName(const QString &host, const QString &connectionName)
{
    m_hostName = host;
    database(connectionName, true).setHostName(host);
}

void sqlDatabase::setDatabaseName(const QString &name, const QString &connectionName)
{
    m_databaseName = name;
    database(connectionName, true).setDatabaseName(name);
}

void sqlDatabase::setDatabaseName(const QString &name)
{
    setDatabaseName(name, defaultConnection());
}

void sqlDatabase::setConnectOptions(const QString &options, const QString &connectionName)
{
    m_connectOptions = options;
    database(connectionName, true).setConnectOptions(options);
}

void sqlDatabase::setPort(int port, const QString &connectionName)
{
    m_port = port;
    database(connectionName, true).setPort(port);
}

QString sqlDatabase::userName(const QString &connectionName) const
{
    return database(connectionName, true).userName();
}

QString sqlDatabase::password(const QString &connectionName) const
{
    return database(connectionName, true).password();
}

QString sqlDatabase::hostName(const QString &connectionName) const
{
    return database(connectionName, true).hostName();
}

QString sqlDatabase::databaseName(const QString &connectionName) const
{
    return database(connectionName, true).databaseName();
}

QString sqlDatabase::driverName(const QString &connectionName) const
{
    return database(connectionName, true).driverName();
}

QString sqlDatabase::connectionName(const QString &connectionName) const
{
    return database(connectionName, true).connectionName();
}

QString sqlDatabase::connectOptions(const QString &connectionName) const
{
    return database(connectionName, true).connectOptions();
}

int sqlDatabase::port(const QString &connectionName) const
{
    return database(connectionName, true).port();
}

QSqlDriver *sqlDatabase::driver(const QString &connectionName) const
{
    return database(connectionName, true).driver();
}

QSqlError sqlDatabase::lastError(const QString &connectionName) const
{
    return database(connectionName, true).lastError();
}

QStringList sqlDatabase::tables(QSql::TableType type, const QString &connectionName) const
{
    return database(connectionName, true).tables(type);
}

QSqlRecord sqlDatabase::record(const QString &tableName, const QString &connectionName) const
{
    return database(connectionName, true).record(tableName);
}

QSqlIndex sqlDatabase::primaryIndex(const QString &tableName, const QString &connectionName) const
{
    return database(connectionName, true).primaryIndex(tableName);
}

// --- Reporting operations

bool sqlDatabase::open(const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    const bool ok = db.open();
    if (!ok)
        report(QStringLiteral("open"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" was not opened. ") + db.lastError().text());
    return ok;
}

bool sqlDatabase::open()
{
    return open(defaultConnection());
}

bool sqlDatabase::open(const QString &user, const QString &password, const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    const bool ok = db.open(user, password);
    if (!ok)
        report(QStringLiteral("open(user,password)"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" was not opened. ") + db.lastError().text());
    return ok;
}

bool sqlDatabase::open(const QString &user, const QString &password)
{
    return open(user, password, defaultConnection());
}

bool sqlDatabase::isOpen(const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    const bool ok = db.isOpen();
    if (!ok)
        report(QStringLiteral("isOpen"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" was not open. ") + db.lastError().text());
    return ok;
}

bool sqlDatabase::isOpenError(const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    const bool error = db.isOpenError();
    if (error)
        report(QStringLiteral("isOpenError"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" was not open. ") + db.lastError().text());
    return error;
}

bool sqlDatabase::isValid(const QString &connectionName)
{
    const bool ok = database(connectionName, true).isValid();
    if (!ok)
        report(QStringLiteral("isValid"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" does not have a valid driver."));
    return ok;
}

bool sqlDatabase::transaction(const QString &connectionName)
{
    const bool ok = database(connectionName, true).transaction();
    if (!ok)
        report(QStringLiteral("transaction"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" transaction could not be started."));
    return ok;
}

bool sqlDatabase::commit(const QString &connectionName)
{
    const bool ok = database(connectionName, true).commit();
    if (!ok)
        report(QStringLiteral("commit"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" would not execute a commit operation."));
    return ok;
}

bool sqlDatabase::rollback(const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    const bool ok = db.rollback();
    if (!ok)
        report(QStringLiteral("rollback"),
            QStringLiteral("Database ") + connectionName + QStringLiteral(" could not be rolled back. ")
                + db.lastError().text());
    return ok;
}

QSqlQuery sqlDatabase::exec(const QString &sql, const QString &connectionName)
{
    QSqlDatabase db = database(connectionName, true);
    QSqlQuery query = db.exec(sql);
    if (!query.isActive())
        report(QStringLiteral("exec"), connectionName + QStringLiteral(" ") + db.lastError().text());
    return query;
}

// --- Default-connection names

QString sqlDatabase::dbDatabaseName() const
{
    const QSqlDatabase db = database(defaultConnection(), true);
    if (db.driverName().startsWith(QLatin1String("QODBC")))
        return keyValue(db.databaseName().toUpper(), QStringLiteral("DATABASE="));
    return db.databaseName();
}

QString sqlDatabase::dbHostName() const
{
    const QSqlDatabase db = database(defaultConnection(), true);
    if (db.driverName().startsWith(QLatin1String("QODBC")))
        return keyValue(db.databaseName().toUpper(), QStringLiteral("SERVER="));
    return db.hostName();
}

// --- Connection strings and configuration files

void sqlDatabase::fillFromConnectString(QSqlDatabase &db, const QString &connectString)
{
    if (db.driverName().startsWith(QLatin1String("QODBC"))) {
        // The ODBC driver reads the whole string itself.
        db.setHostName(QStringLiteral("localhost"));
        db.setDatabaseName(connectString);
        return;
    }
    bool found = false;
    QString value = keyValue(connectString, QStringLiteral("SERVER="), &found);
    if (found)
        db.setHostName(value);
    value = keyValue(connectString, QStringLiteral("UID="), &found);
    if (found)
        db.setUserName(value);
    value = keyValue(connectString, QStringLiteral("PWD="), &found);
    if (found)
        db.setPassword(value);
    value = keyValue(connectString, QStringLiteral("DATABASE="), &found);
    if (found)
        db.setDatabaseName(value);
    value = keyValue(connectString, QStringLiteral("PORT="), &found);
    if (found)
        db.setPort(value.trimmed().toInt());
}

QSqlDatabase sqlDatabase::addDatabaseFromString(
    const QString &type, const QString &connectString, const QString &connectionName)
{
    m_connectString = connectString;
    QString driverType = type;
    bool found = false;
    const QString dbType = keyValue(connectString, QStringLiteral("DBTYPE="), &found);
    if (found)
        driverType = dbType;
    QSqlDatabase db = QSqlDatabase::addDatabase(driverType, connectionName);
    fillFromConnectString(db, connectString);
    return db;
}

bool sqlDatabase::loadConfigFile(const QString &name, const QString &host)
{
    QSettings settings(QStringLiteral("DLM"), QStringLiteral("VEVIV"));
    const QString stored = settings.value(QStringLiteral("database/connection"), QString()).toString();
    m_configName = name;

    const QString localFile = name + QStringLiteral(".ini");
    const QString etcFile = QStringLiteral("/etc") + QStringLiteral("/") + name + QStringLiteral(".conf");
    const QString resourceFile
        = QStringLiteral(":/") + name + QStringLiteral("/ini") + QStringLiteral("/") + name + QStringLiteral(".ini");
    QString path;
    for (const QString &candidate : { localFile, etcFile, resourceFile }) {
        if (QFile::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        emit sigLog(QStringLiteral(">>> No database config files found when looking for\n") + QStringLiteral(">>> ")
                + localFile + QStringLiteral(" or ") + etcFile + QStringLiteral("."),
            AppLog::Statement);
        return false;
    }
    QByteArray text;
    QString why;
    bool opened = false;
    if (path == resourceFile) {
        QFile file(path);
        opened = file.open(QIODevice::ReadOnly);
        text = file.readAll();
    } else {
        opened = AppFixedFile::read(path, &text, &why) == AppFixedFile::Read::Done;
    }
    if (!opened) {
        emit sigLog(QStringLiteral("Found config file ") + path + QStringLiteral(" but could not open it")
                + (why.isEmpty() ? QString() : QStringLiteral(": ") + why) + QStringLiteral("."),
            AppLog::Statement);
        return false;
    }
    m_iniFile = path;
    m_connectString = QString();
    m_connectionStrings.clear();
    // Lines as text mode reads them: each with its line feed, a carriage return before it dropped.
    for (int start = 0; start < text.size();) {
        const int feed = text.indexOf('\n', start);
        const int end = feed < 0 ? text.size() : feed + 1;
        m_connectionStrings.append(QString::fromLocal8Bit(text.mid(start, end - start).replace("\r\n", "\n")));
        start = end;
    }
    const QString firstLine = m_connectionStrings.value(0);

    const QString hostKey = beforeFirstDot(host);
    const QString simplified = stored.simplified();
    if (!simplified.isEmpty() && connectStringKey(simplified) == hostKey) {
        // The stored choice has no password: take the file's line it came from.
        m_connectString = simplified;
        for (const QString &line : qAsConst(m_connectionStrings)) {
            if (withoutPassword(line).simplified() == simplified) {
                m_connectString = line;
                break;
            }
        }
        return true;
    }
    for (const QString &line : qAsConst(m_connectionStrings)) {
        if (connectStringKey(line) == hostKey) {
            m_connectString = line;
            settings.setValue(QStringLiteral("database/connection"), withoutPassword(line));
            return true;
        }
    }
    m_connectString = firstLine;
    settings.setValue(QStringLiteral("database/connection"), withoutPassword(firstLine));
    return true;
}

QSqlDatabase sqlDatabase::addGuessDatabaseFromFile(
    const QString &type, const QString &name, const QString &host, const QString &connectionName)
{
    if (!loadConfigFile(name, host))
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::addDatabase(type, connectionName);
    fillFromConnectString(db, m_connectString);
    return db;
}

QSqlDatabase sqlDatabase::addDatabaseFromFile(const QString &type, const QString &name, const QString &connectionName)
{
    if (!loadConfigFile(name, QString()))
        return QSqlDatabase();
    return addDatabaseFromString(type, m_connectString, connectionName);
}
