#ifndef SQL_DATABASE_H
#define SQL_DATABASE_H

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

class QSqlDriver;
class sqlExecutor;

// A thin registry over the toolkit's named connections. One instance,
// dbEngine, serves the whole process; scripts see it as m_db. Failures are
// reported on its signals, never to the user.
class sqlDatabase : public QObject
{
    Q_OBJECT

public:
    explicit sqlDatabase(QObject *parent = nullptr);
    ~sqlDatabase() override;

    static QString defaultConnection() { return QLatin1String(QSqlDatabase::defaultConnection); }

    // Connection bookkeeping.
    QStringList connectionNames() const;
    QSqlDatabase database(const QString &connectionName = defaultConnection(), bool open = true) const;
    QSqlDatabase addDatabase(QSqlDriver *driver, const QString &connectionName = defaultConnection());
    QSqlDatabase addDatabase(const QString &type, const QString &connectionName = defaultConnection());
    QSqlDatabase addDatabase(const QString &type, const QString &hostName, const QString &databaseName,
        const QString &connectionName, const QString &userName, const QString &password);
    void setDatabaseType(const QString &type, const QString &connectionName = defaultConnection());
    sqlExecutor *sqlEngine(const QString &connectionName = defaultConnection());
    bool reOpenDatabase(QSqlDatabase &db);
    void close(const QString &connectionName = defaultConnection());
    void closeAll();

    // Per-connection accessors; each fetch opens a closed connection.
    void setUserName(const QString &name, const QString &connectionName = defaultConnection());
    void setPassword(const QString &password, const QString &connectionName = defaultConnection());
    void setHostName(const QString &host, const QString &connectionName = defaultConnection());
    void setConnectOptions(const QString &options, const QString &connectionName = defaultConnection());
    void setPort(int port, const QString &connectionName = defaultConnection());
    QString userName(const QString &connectionName = defaultConnection()) const;
    QString password(const QString &connectionName = defaultConnection()) const;
    QString hostName(const QString &connectionName = defaultConnection()) const;
    QString databaseName(const QString &connectionName = defaultConnection()) const;
    QString driverName(const QString &connectionName = defaultConnection()) const;
    QString connectionName(const QString &connectionName = defaultConnection()) const;
    QString connectOptions(const QString &connectionName = defaultConnection()) const;
    int port(const QString &connectionName = defaultConnection()) const;
    QSqlDriver *driver(const QString &connectionName = defaultConnection()) const;
    QSqlError lastError(const QString &connectionName = defaultConnection()) const;
    QStringList tables(QSql::TableType type = QSql::Tables, const QString &connectionName = defaultConnection()) const;
    QSqlRecord record(const QString &tableName, const QString &connectionName = defaultConnection()) const;
    QSqlIndex primaryIndex(const QString &tableName, const QString &connectionName = defaultConnection()) const;

    // Reporting operations: the toolkit's answer, and sigSignalLog on failure.
    bool isOpen(const QString &connectionName = defaultConnection());
    bool isOpenError(const QString &connectionName = defaultConnection());
    bool isValid(const QString &connectionName = defaultConnection());
    bool transaction(const QString &connectionName = defaultConnection());
    bool commit(const QString &connectionName = defaultConnection());
    bool rollback(const QString &connectionName = defaultConnection());
    QSqlQuery exec(const QString &sql, const QString &connectionName = defaultConnection());

    // Names held by the default connection; an ODBC one keeps them in its connection string.
    QString dbDatabaseName() const;
    QString dbHostName() const;

    // Connection strings and configuration files.
    QSqlDatabase addDatabaseFromString(
        const QString &type, const QString &connectString, const QString &connectionName = defaultConnection());
    bool loadConfigFile(const QString &name, const QString &host);
    // Both give an invalid connection when no configuration file could be read.
    QSqlDatabase addGuessDatabaseFromFile(const QString &type, const QString &name, const QString &host,
        const QString &connectionName = defaultConnection());
    QSqlDatabase addDatabaseFromFile(
        const QString &type, const QString &name, const QString &connectionName = defaultConnection());
    QString getIniFile() const { return m_iniFile; }
    QString getDatabaseConnectString() const { return m_connectString; }
    QStringList connectionStrings() const { return m_connectionStrings; }

    Q_INVOKABLE bool open(const QString &connectionName);
    Q_INVOKABLE bool open();
    Q_INVOKABLE bool open(const QString &user, const QString &password, const QString &connectionName);
    Q_INVOKABLE bool open(const QString &user, const QString &password);
    Q_INVOKABLE void setDatabaseName(const QString &name, const QString &connectionName);
    Q_INVOKABLE void setDatabaseName(const QString &name);

signals:
    void sigSignalLog(QString className, QString objectName, QString signalName, QString slotName, QString Payload);
    void sigError(QString functionName, QString command, QString errorText);
    void sigDatabaseClosed();
    void sigQueryLog(QString query);
    void sigLog(QString message, int logLevel);
    void sigLog(QString message);

private slots:
    void reopenDatabase();

private:
    void report(const QString &slotName, const QString &payload);
    void fillFromConnectString(QSqlDatabase &db, const QString &connectString);

    QString m_userName;
    QString m_password;
    QString m_hostName;
    QString m_databaseName;
    QString m_connectOptions;
    QString m_configName;
    QString m_connectString;
    QString m_iniFile;
    QStringList m_connectionStrings;
    int m_port;
};

// The process-wide registry; it exists before main runs.
extern sqlDatabase dbEngine;

#endif
