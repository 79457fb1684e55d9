#include "sql/sql_odbcdriver.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QVariant>
#include <QVector>

#include <sql.h>
#include <sqlext.h>

namespace {

// The most one value may hold. A source file is read as it comes, and a
// damaged or hostile one must not take all the memory with one field.
constexpr qsizetype valueCap = 16 * 1024 * 1024;

// Every diagnostic record of a handle, as one text.
QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList texts;
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN r = SQLGetDiagRec(type, handle, record, state, &native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(r))
            break;
        texts << QString::fromUtf8(reinterpret_cast<const char *>(message)).trimmed();
    }
    return texts.join(QLatin1Char(' '));
}

// A name the driver gives: its length says whether the buffer held it all.
QString nameText(const SQLCHAR *name, qsizetype length, qsizetype room)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(name), qBound<qsizetype>(0, length, room - 1));
}

QVariant::Type qtType(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
        return QVariant::Int;
    case SQL_BIGINT:
        return QVariant::LongLong;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return QVariant::Double;
    case SQL_DATE:
    case SQL_TYPE_DATE:
    case SQL_TIME:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return QVariant::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return QVariant::ByteArray;
    default:
        return QVariant::String;
    }
}

class SqlOdbcResult : public QSqlResult
{
public:
    explicit SqlOdbcResult(const SqlOdbcDriver *driver) : QSqlResult(driver), m_driver(driver) { }
    ~SqlOdbcResult() override { freeStatement(); }

protected:
    bool reset(const QString &query) override
    {
        freeStatement();
        m_record.clear();
        m_row.clear();
        m_rowsAffected = -1;
        m_capExceeded = false;
        setActive(false);
        setAt(QSql::BeforeFirstRow);
        if (!m_driver->isOpen() || !m_driver->connectionHandle()) {
            setLastError(
                QSqlError(QString(), QStringLiteral("The connection is not open"), QSqlError::ConnectionError));
            return false;
        }
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_driver->connectionHandle(), &m_statement))) {
            m_statement = nullptr;
            setLastError(QSqlError(
                QString(), diagnostics(SQL_HANDLE_DBC, m_driver->connectionHandle()), QSqlError::StatementError));
            return false;
        }
        QByteArray text = query.toUtf8();
        const SQLRETURN executed = SQLExecDirect(
            m_statement, reinterpret_cast<SQLCHAR *>(text.data()), static_cast<SQLINTEGER>(text.size()));
        // A statement that touched no rows answers "no data": it ran.
        if (executed == SQL_NO_DATA) {
            m_rowsAffected = 0;
            setSelect(false);
            setActive(true);
            return true;
        }
        if (!SQL_SUCCEEDED(executed))
            return failStatement();
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_statement, &columns)))
            return failStatement();
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            QSqlField field;
            if (!describeColumn(c, &field))
                return failStatement();
            m_record.append(field);
        }
        setSelect(columns > 0);
        if (columns == 0) {
            SQLLEN rows = -1;
            if (SQL_SUCCEEDED(SQLRowCount(m_statement, &rows)))
                m_rowsAffected = static_cast<int>(rows);
        }
        setActive(true);
        return true;
    }

    bool fetchNext() override
    {
        if (!m_statement || !isSelect())
            return false;
        const SQLRETURN r = SQLFetch(m_statement);
        if (r == SQL_NO_DATA) {
            setAt(QSql::AfterLastRow);
            return false;
        }
        if (!SQL_SUCCEEDED(r)) {
            setLastError(statementError());
            setAt(QSql::AfterLastRow);
            return false;
        }
        m_row.resize(m_record.count());
        for (int c = 0; c < m_record.count(); ++c) {
            if (!readColumn(c)) {
                setLastError(m_capExceeded ? capError(c) : statementError());
                setAt(QSql::AfterLastRow);
                return false;
            }
        }
        setAt(at() < 0 ? 0 : at() + 1);
        return true;
    }

    // Forward only: the next row, or nothing.
    bool fetch(int index) override { return index == at() + 1 && fetchNext(); }
    bool fetchFirst() override { return at() == QSql::BeforeFirstRow && fetchNext(); }
    bool fetchLast() override
    {
        if (!fetchNext())
            return false;
        QVector<QVariant> last;
        int lastAt = 0;
        do {
            last = m_row;
            lastAt = at();
        } while (fetchNext());
        m_row = last;
        setAt(lastAt);
        return true;
    }

    QVariant data(int index) override { return m_row.value(index); }
    bool isNull(int index) override { return m_row.value(index).isNull(); }
    int size() override { return -1; }
    int numRowsAffected() override { return m_rowsAffected; }
    QSqlRecord record() const override { return m_record; }
    void detachFromResultSet() override
    {
        if (m_statement)
            SQLFreeStmt(m_statement, SQL_CLOSE);
    }

private:
    QSqlError statementError() const
    {
        return QSqlError(QString(), diagnostics(SQL_HANDLE_STMT, m_statement), QSqlError::StatementError);
    }

    QSqlError capError(int c) const
    {
        return QSqlError(QString(),
            QStringLiteral("Column %1 holds more than %2 bytes; the row was not read")
                .arg(m_record.fieldName(c))
                .arg(valueCap),
            QSqlError::StatementError);
    }

    bool failStatement()
    {
        setLastError(statementError());
        freeStatement();
        m_record.clear();
        return false;
    }

    // The name and type of result column c; a name that fills the first
    // buffer is asked for again with the largest one (some drivers give the
    // length of what they wrote, not of the name).
    bool describeColumn(SQLUSMALLINT c, QSqlField *field)
    {
        QByteArray name(256, '\0');
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT decimals = 0;
        SQLSMALLINT nullable = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const SQLRETURN r = SQLDescribeCol(m_statement, c, reinterpret_cast<SQLCHAR *>(name.data()),
                static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size, &decimals, &nullable);
            if (!SQL_SUCCEEDED(r))
                return false;
            if (nameLength < name.size() - 1)
                break;
            name.resize(32767);
        }
        *field = QSqlField(
            nameText(reinterpret_cast<const SQLCHAR *>(name.constData()), nameLength, name.size()), qtType(type));
        return true;
    }

    void freeStatement()
    {
        if (m_statement)
            SQLFreeHandle(SQL_HANDLE_STMT, m_statement);
        m_statement = nullptr;
    }

    // Column c of the current row into m_row; false when the driver fails.
    bool readColumn(int c)
    {
        const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(c + 1);
        SQLLEN indicator = 0;
        SQLRETURN r = SQL_SUCCESS;
        const QVariant::Type type = m_record.field(c).type();
        switch (type) {
        case QVariant::Int: {
            SQLINTEGER value = 0;
            r = SQLGetData(m_statement, column, SQL_C_SLONG, &value, 0, &indicator);
            m_row[c] = indicator == SQL_NULL_DATA ? QVariant(type) : QVariant(static_cast<int>(value));
            break;
        }
        case QVariant::LongLong: {
            SQLBIGINT value = 0;
            r = SQLGetData(m_statement, column, SQL_C_SBIGINT, &value, 0, &indicator);
            m_row[c] = indicator == SQL_NULL_DATA ? QVariant(type) : QVariant(static_cast<qlonglong>(value));
            break;
        }
        case QVariant::Double: {
            SQLDOUBLE value = 0;
            r = SQLGetData(m_statement, column, SQL_C_DOUBLE, &value, 0, &indicator);
            m_row[c] = indicator == SQL_NULL_DATA ? QVariant(type) : QVariant(static_cast<double>(value));
            break;
        }
        case QVariant::DateTime: {
            SQL_TIMESTAMP_STRUCT value = {};
            r = SQLGetData(m_statement, column, SQL_C_TYPE_TIMESTAMP, &value, sizeof value, &indicator);
            m_row[c] = indicator == SQL_NULL_DATA
                ? QVariant(type)
                : QVariant(QDateTime(QDate(value.year, value.month, value.day),
                    QTime(value.hour, value.minute, value.second, static_cast<int>(value.fraction / 1000000))));
            break;
        }
        default: {
            // Text and bytes come in pieces as long as the driver has more.
            const bool text = type != QVariant::ByteArray;
            QByteArray bytes;
            char buffer[4096];
            for (;;) {
                r = SQLGetData(
                    m_statement, column, text ? SQL_C_CHAR : SQL_C_BINARY, buffer, sizeof buffer, &indicator);
                if (r == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(r) || indicator == SQL_NULL_DATA)
                    break;
                const qsizetype room = text ? sizeof buffer - 1 : sizeof buffer;
                const qsizetype got
                    = indicator == SQL_NO_TOTAL || indicator > room ? room : static_cast<qsizetype>(indicator);
                if (bytes.size() + got > valueCap) {
                    m_capExceeded = true;
                    return false;
                }
                bytes.append(buffer, got);
                if (r == SQL_SUCCESS)
                    break;
            }
            if (r == SQL_NO_DATA)
                r = SQL_SUCCESS;
            // An empty value is not NULL: a null QString or QByteArray would make it one.
            if (indicator == SQL_NULL_DATA)
                m_row[c] = QVariant(type);
            else if (text)
                m_row[c] = bytes.isEmpty() ? QVariant(QLatin1String("")) : QVariant(QString::fromUtf8(bytes));
            else
                m_row[c] = bytes.isEmpty() ? QVariant(QByteArray("", 0)) : QVariant(bytes);
            break;
        }
        }
        return SQL_SUCCEEDED(r);
    }

    const SqlOdbcDriver *m_driver;
    SQLHSTMT m_statement = nullptr;
    QSqlRecord m_record;
    QVector<QVariant> m_row;
    int m_rowsAffected = -1;
    bool m_capExceeded = false;
};

} // namespace

SqlOdbcDriver::SqlOdbcDriver(QObject *parent) : QSqlDriver(parent) { }

SqlOdbcDriver::~SqlOdbcDriver()
{
    release();
}

bool SqlOdbcDriver::hasFeature(DriverFeature feature) const
{
    switch (feature) {
    case Unicode:
    case FinishQuery:
        return true;
    default:
        return false;
    }
}

bool SqlOdbcDriver::open(const QString &db, const QString &, const QString &, const QString &, int, const QString &)
{
    release();
    QString error;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_environment))) {
        m_environment = nullptr;
        error = QStringLiteral("The ODBC driver manager could not be started");
    } else {
        SQLSetEnvAttr(m_environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_environment, &m_connection))) {
            m_connection = nullptr;
            error = diagnostics(SQL_HANDLE_ENV, m_environment);
        }
    }
    if (m_connection) {
        QByteArray text = db.toUtf8();
        SQLCHAR completed[1024] = {};
        SQLSMALLINT completedLength = 0;
        if (!SQL_SUCCEEDED(SQLDriverConnect(m_connection, nullptr, reinterpret_cast<SQLCHAR *>(text.data()),
                static_cast<SQLSMALLINT>(text.size()), completed, sizeof completed, &completedLength,
                SQL_DRIVER_NOPROMPT))) {
            error = diagnostics(SQL_HANDLE_DBC, m_connection);
            SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
            m_connection = nullptr;
        }
    }
    if (!m_connection) {
        release();
        setLastError(QSqlError(QString(), error, QSqlError::ConnectionError));
        setOpenError(true);
        return false;
    }
    setOpen(true);
    setOpenError(false);
    return true;
}

void SqlOdbcDriver::close()
{
    release();
    setOpen(false);
    setOpenError(false);
}

void SqlOdbcDriver::release()
{
    if (m_connection) {
        SQLDisconnect(m_connection);
        SQLFreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = nullptr;
    }
    if (m_environment) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_environment);
        m_environment = nullptr;
    }
}

QSqlResult *SqlOdbcDriver::createResult() const
{
    return new SqlOdbcResult(this);
}

QStringList SqlOdbcDriver::tables(QSql::TableType type) const
{
    QStringList names;
    SQLHSTMT statement = nullptr;
    if (!m_connection || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_connection, &statement)))
        return names;
    if (SQL_SUCCEEDED(SQLTables(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0))) {
        // A column that cannot be read ends the list rather than adding a
        // name that is not one; a name too long for its buffer is read whole.
        while (SQL_SUCCEEDED(SQLFetch(statement))) {
            QString name;
            QString kind;
            if (!columnText(statement, 3, &name) || !columnText(statement, 4, &kind))
                break;
            if ((type & QSql::Tables && kind == QLatin1String("TABLE"))
                || (type & QSql::SystemTables && kind == QLatin1String("SYSTEM TABLE"))
                || (type & QSql::Views && kind == QLatin1String("VIEW")))
                names << name;
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return names;
}

bool SqlOdbcDriver::columnText(void *statement, int column, QString *text)
{
    QByteArray bytes;
    char buffer[256];
    SQLLEN length = 0;
    for (;;) {
        const SQLRETURN r
            = SQLGetData(statement, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer, sizeof buffer, &length);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            return false;
        if (length == SQL_NULL_DATA)
            break;
        const qsizetype got = length == SQL_NO_TOTAL || length >= qsizetype(sizeof buffer)
            ? qsizetype(sizeof buffer) - 1
            : static_cast<qsizetype>(length);
        if (bytes.size() + got > 32767)
            return false;
        bytes.append(buffer, got);
        if (r == SQL_SUCCESS)
            break;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

QString SqlOdbcDriver::escapeIdentifier(const QString &identifier, IdentifierType) const
{
    if (isIdentifierEscaped(identifier, TableName))
        return identifier;
    // Brackets, as the Access SQL dialect writes a name with blanks or a
    // reserved word; the SQLite driver takes them too.
    QString escaped = identifier;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

bool SqlOdbcDriver::isIdentifierEscaped(const QString &identifier, IdentifierType) const
{
    return identifier.size() > 2 && identifier.startsWith(QLatin1Char('[')) && identifier.endsWith(QLatin1Char(']'));
}

QSqlRecord SqlOdbcDriver::record(const QString &table) const
{
    // The columns of a result, without reading a row. A missing table is
    // answered here: the driver would print its complaint on the standard error.
    if (!tables(QSql::AllTables).contains(table, Qt::CaseInsensitive))
        return QSqlRecord();
    QSqlQuery query(createResult());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM %1").arg(escapeIdentifier(table, TableName))))
        return QSqlRecord();
    return query.record();
}

QStringList SqlOdbcDriver::installedDrivers()
{
    QStringList names;
    SQLHENV environment = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return names;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLCHAR attributes[2048] = {};
        SQLSMALLINT attributesLength = 0;
        if (!SQL_SUCCEEDED(SQLDrivers(environment, direction, name, sizeof name, &nameLength, attributes,
                sizeof attributes, &attributesLength)))
            break;
        names << QString::fromUtf8(reinterpret_cast<const char *>(name));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return names;
}
