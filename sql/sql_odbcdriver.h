#ifndef SQL_ODBCDRIVER_H
#define SQL_ODBCDRIVER_H

#include <QSqlDriver>
#include <QString>
#include <QStringList>

// A read-only Qt SQL driver over the narrow-character calls of the unixODBC
// driver manager. Qt's own ODBC driver sets every statement's cursor through
// the wide-character SQLSetStmtAttrW, which the driver for the older database
// files (MDBTools) lacks, so no statement of Qt's ever runs on it; the narrow
// calls work. Statements run as they are written (no placeholders, no
// transactions); results are read forward only.
//
// The database name is the ODBC connection string, for example
// "DRIVER={MDBTools};DBQ=/path/VORNAKEL.MDB".
class SqlOdbcDriver : public QSqlDriver
{
    Q_OBJECT

public:
    explicit SqlOdbcDriver(QObject *parent = nullptr);
    ~SqlOdbcDriver() override;

    bool hasFeature(DriverFeature feature) const override;
    bool open(const QString &db, const QString &user, const QString &password, const QString &host, int port,
        const QString &options) override;
    void close() override;
    QSqlResult *createResult() const override;
    QStringList tables(QSql::TableType type) const override;
    QSqlRecord record(const QString &table) const override;
    QString escapeIdentifier(const QString &identifier, IdentifierType type) const override;
    bool isIdentifierEscaped(const QString &identifier, IdentifierType type) const override;

    // The drivers the driver manager knows (the names in its odbcinst.ini).
    static QStringList installedDrivers();

    // The handle of the connection, for the results; null while closed.
    void *connectionHandle() const { return m_connection; }

private:
    void release();
    // Text column `column` of the statement's current row, whole; false when it cannot be read.
    static bool columnText(void *statement, int column, QString *text);

    void *m_environment = nullptr;
    void *m_connection = nullptr;
};

#endif
