#include "sql/sql_query.h"

#include "app/app_boundedlog.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "sql/sql_boundedwait.h"
#include "sql/sql_database.h"
#include "sql/sql_databasefile.h"
#include "sql/sql_executor.h"
#include "sql/sql_transaction.h"

#include <QDate>
#include <QDateTime>
#include <QScriptEngine>
#include <QSqlDriver>
#include <QThread>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace {

// A lost connection is tried again a few times, briefly: the scripts run on
// the GUI thread.
const int kReopenAttempts = 3;
const unsigned long kReopenPauseMs = 100;

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Two characters that together open a comment, which would swallow the rest
// of the statement.
bool opensComment(QChar first, QChar second)
{
    return (first == QLatin1Char('-') && second == QLatin1Char('-'))
        || (first == QLatin1Char('/') && second == QLatin1Char('*'));
}

bool endsInto(const QString &text, QChar next)
{
    return !text.isEmpty() && opensComment(text.at(text.size() - 1), next);
}

// Each unpaired UTF-16 surrogate becomes U+FFFD: SQLite's reader would pair
// a lone one with the character after it, the closing quote of a literal.
QString validUtf16(const QString &text)
{
    QString out = text;
    const int n = out.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = out.at(i);
        if (c.isHighSurrogate() && i + 1 < n && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

// A plain table or column name, so lastInsertId never pastes anything else into SQL.
bool isIdentifier(const QString &text)
{
    if (text.isEmpty() || text.at(0).isDigit())
        return false;
    for (const QChar c : text) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

// The text of a column: doubles in the shortest text that reads back to the
// same double, NULL as the empty text.
QString columnText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("");
    if (v.userType() == QMetaType::Double || v.userType() == QMetaType::Float)
        return AppNumber::toExactText(v.toDouble());
    return v.toString();
}

QScriptValue paramTypeToScript(QScriptEngine *, const QSql::ParamType &t)
{
    return QScriptValue(int(t));
}

void paramTypeFromScript(const QScriptValue &v, QSql::ParamType &t)
{
    t = QSql::ParamType(QSql::ParamTypeFlag(v.toInt32()));
}

QScriptValue policyToScript(QScriptEngine *, const QSql::NumericalPrecisionPolicy &p)
{
    return QScriptValue(int(p));
}

void policyFromScript(const QScriptValue &v, QSql::NumericalPrecisionPolicy &p)
{
    p = QSql::NumericalPrecisionPolicy(v.toInt32());
}

} // namespace

sqlQuery::sqlQuery(QObject *parent, const QString &connectionName, bool directExec)
    : QObject(parent), m_executor(nullptr), m_directExec(directExec), m_isTdsOdbc(false), m_isMySql(false),
      m_driverPrepares(false), m_ownsConnection(false), m_preserveSqlString(true), m_positionalBound(false),
      m_bracketNames(false)
{
    if (dbEngine.connectionNames().contains(connectionName)) {
        m_ownsConnection = false;
        m_connectionName = connectionName;
        m_executor = dbEngine.sqlEngine(connectionName);
    } else {
        m_ownsConnection = true;
        {
            const QSqlDatabase defaultDb = dbEngine.database(sqlDatabase::defaultConnection(), true);
            QSqlDatabase db = dbEngine.addDatabase(defaultDb.driverName(), connectionName);
            db.setHostName(defaultDb.hostName());
            db.setDatabaseName(defaultDb.databaseName());
            if (defaultDb.driverName().startsWith(QLatin1String("QODBC"))) {
                db.setConnectOptions(QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3"));
            } else {
                db.setUserName(defaultDb.userName());
                db.setPassword(defaultDb.password());
                // With the default's wait for a file another program holds.
                db.setConnectOptions(defaultDb.connectOptions());
            }
        }
        m_connectionName = connectionName;
        if (!dbEngine.open(connectionName)) {
            qCDebug(lcSql).noquote() << QStringLiteral("could not open database");
            QSqlDatabase::removeDatabase(connectionName);
            m_ownsConnection = false;
            return;
        }
        m_executor = dbEngine.sqlEngine(connectionName);
    }

    m_preserveSqlString = true;
    const QSqlDatabase db = dbEngine.database(m_connectionName, true);
    const QString driverName = db.driverName();
    m_isTdsOdbc
        = driverName == QLatin1String("QODBC") && db.databaseName().contains(QLatin1String("tds"), Qt::CaseInsensitive);
    m_isMySql = driverName == QLatin1String("QMYSQL");
    m_bracketNames = driverName == QLatin1String("QSQLITE") || driverName.startsWith(QLatin1String("QODBC"));
    m_driverPrepares = db.driver() && db.driver()->hasFeature(QSqlDriver::PreparedQueries);
}

sqlQuery::~sqlQuery()
{
    delete m_executor;
    m_executor = nullptr;
    if (m_ownsConnection)
        QSqlDatabase::removeDatabase(m_connectionName);
}

void sqlQuery::registerScriptTypes(QScriptEngine *engine)
{
    qScriptRegisterMetaType<QSql::ParamType>(engine, paramTypeToScript, paramTypeFromScript);
    qScriptRegisterMetaType<QSql::NumericalPrecisionPolicy>(engine, policyToScript, policyFromScript);
}

bool sqlQuery::emulates() const
{
    return m_isTdsOdbc || m_isMySql || !m_driverPrepares || m_preserveSqlString;
}

void sqlQuery::appendToLog(const QString &text)
{
    // Kept within its bound, whoever else writes it; an entry that cannot be written is left out.
    AppBoundedLog::append(QStringLiteral("sql.log"), text);
}

// --- Binding

// What a script hands over, made fit to be bound: an empty text is one
// blank, text is valid UTF-16, and null, undefined and NaN are NULL.
QVariant sqlQuery::normalized(const QVariant &val)
{
    switch (val.userType()) {
    case QMetaType::QString:
        if (val.toString().isEmpty())
            return QStringLiteral(" ");
        return validUtf16(val.toString());
    case QMetaType::QByteArray:
        if (val.toByteArray().isEmpty())
            return QStringLiteral(" ");
        return val;
    case QMetaType::Double:
    case QMetaType::Float:
        if (std::isnan(val.toDouble())) {
            qCWarning(lcSql) << "A NaN bound to a statement is stored as NULL";
            return QVariant();
        }
        return val;
    case QMetaType::UnknownType:
    case QMetaType::Void:
    case QMetaType::Nullptr:
        return QVariant();
    default:
        return val;
    }
}

QString sqlQuery::quoted(const QString &text) const
{
    QString escaped = text;
    if (m_isMySql)
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

sqlQuery::Binding sqlQuery::binding(const QString &name, const QVariant &val) const
{
    Binding b { name, QString(), QVariant(), false };
    const QLatin1Char quote('\'');
    switch (val.userType()) {
    case QMetaType::QByteArray:
        b.literal = quote + QString::fromLatin1(val.toByteArray().toBase64()) + quote;
        return b;
    case QMetaType::QTime:
        b.literal = quote + val.toTime().toString(QStringLiteral("hh:mm:ss.zzz")) + quote;
        return b;
    case QMetaType::QDate:
        b.literal = quote + val.toDate().toString(QStringLiteral("MM-dd-yyyy")) + quote;
        return b;
    case QMetaType::QDateTime:
        b.literal = quote + val.toDateTime().toString(QStringLiteral("MM-dd-yyyy hh:mm:ss.zzz")) + quote;
        return b;
    case QMetaType::Bool:
        if (val.toBool()) {
            qCDebug(lcSql).noquote() << QStringLiteral("intercept bindValue: boolean TRUE");
            b.literal = QStringLiteral("1");
        } else {
            qCDebug(lcSql).noquote() << QStringLiteral("intercept bindValue: boolean FALSE");
            b.literal = QStringLiteral("0");
        }
        return b;
    case QMetaType::Int:
        b.literal = QString::number(val.toInt());
        return b;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = val.toDouble();
        // SQLite reads these as its infinities; "inf" would be a column name.
        if (std::isinf(d))
            b.literal = d > 0 ? QStringLiteral("9e999") : QStringLiteral("-9e999");
        else
            b.literal = AppNumber::toExactText(d); // every digit: the value is stored, not shown
        return b;
    }
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        // Read as a number, a value beyond the signed range would become a
        // rounded float; as text it keeps every digit.
        const qulonglong u = val.toULongLong();
        b.literal = QString::number(u);
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            b.literal = quote + b.literal + quote;
        return b;
    }
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
        b.literal = val.toString();
        return b;
    default:
        break;
    }
    if (!val.isValid() || val.isNull()) {
        b.literal = QStringLiteral("NULL");
        return b;
    }
    // Only numbers go in unquoted; any other value is quoted text.
    const QString text = validUtf16(val.toString());
    // A NUL ends the statement's text for SQLite, and the ODBC SQLite driver
    // garbles statement text holding characters beyond U+FFFF: the driver
    // binds such values.
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isNull() || c.isSurrogate(); })) {
        b.byDriver = true;
        b.driverValue = text;
        return b;
    }
    b.literal = quoted(text);
    return b;
}

// One pass over the prepared text: whole placeholder names outside quoted
// text, bracketed names and comments are replaced by their literals, and
// nothing written in is looked at again.
QString sqlQuery::substitute(const QString &text, QStringList *names) const
{
    if (text.isNull())
        return text;
    QString out;
    out.reserve(text.size());
    const int n = text.size();
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < n ? text.at(i + 1) : QChar();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            int j = i + 1;
            while (j < n) {
                if (m_isMySql && text.at(j) == QLatin1Char('\\')) {
                    j += 2;
                    continue;
                }
                if (text.at(j) == c) {
                    if (j + 1 < n && text.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += text.midRef(i, qMin(j, n - 1) - i + 1);
            i = j + 1;
        } else if (c == QLatin1Char('[') && m_bracketNames) {
            int j = text.indexOf(QLatin1Char(']'), i + 1);
            j = j < 0 ? n : j + 1;
            out += text.midRef(i, j - i);
            i = j;
        } else if ((c == QLatin1Char('-') && next == QLatin1Char('-')) || (c == QLatin1Char('#') && m_isMySql)) {
            int j = text.indexOf(QLatin1Char('\n'), i);
            j = j < 0 ? n : j;
            out += text.midRef(i, j - i);
            i = j;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            int j = text.indexOf(QLatin1String("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            out += text.midRef(i, j - i);
            i = j;
        } else if (c == QLatin1Char(':') && next == QLatin1Char(':')) {
            out += QLatin1String("::");
            i += 2;
        } else if (c == QLatin1Char(':') && !next.isNull() && isNameCharacter(next)) {
            int j = i + 1;
            while (j < n && isNameCharacter(text.at(j)))
                ++j;
            const QString name = text.mid(i + 1, j - i - 1);
            if (names && !names->contains(name))
                names->append(name);
            bool bound = false;
            for (const Binding &binding : m_bindings) {
                if (binding.name == name) {
                    // "a -:v" with v = -5 must not become the comment "a --5".
                    const QString literal = binding.byDriver ? QLatin1Char(':') + name : binding.literal;
                    if (!literal.isEmpty() && endsInto(out, literal.at(0)))
                        out += QLatin1Char(' ');
                    out += literal;
                    if (j < n && endsInto(out, text.at(j)))
                        out += QLatin1Char(' ');
                    bound = true;
                    break;
                }
            }
            if (!bound)
                out += text.midRef(i, j - i);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

void sqlQuery::bindValue(const QString &placeholder, const QVariant &val, QSql::ParamType paramType)
{
    QString name = placeholder;
    name.remove(QLatin1Char(':'));
    const QVariant value = normalized(val);
    if (!m_executor)
        return;
    // Harmless: a module may bind one set of values for several statements.
    const bool held = m_preparedNames.contains(name);
    if (!held)
        qCDebug(lcSql).noquote() << "Bound" << placeholder << "which the statement does not hold";
    if (!emulates()) {
        if (held) {
            m_executor->bindValue(QLatin1Char(':') + name, value, paramType);
            m_nativeBound.insert(name);
        }
        return;
    }
    const Binding b = binding(name, value);
    m_boundPairs.append(name + QLatin1Char('=') + (b.byDriver ? QLatin1Char(':') + name : b.literal));
    bool replaced = false;
    for (Binding &existing : m_bindings) {
        if (existing.name == name) {
            existing = b;
            replaced = true;
        }
    }
    if (!replaced)
        m_bindings.append(b);
    m_workingSql = substitute(m_preparedSql);
}

void sqlQuery::bindValue(const QString &placeholder, const QVariant &val)
{
    bindValue(placeholder, val, QSql::In);
}

void sqlQuery::addBindValue(const QVariant &val, QSql::ParamType type)
{
    if (!m_executor)
        return;
    m_executor->addBindValue(val, type);
    m_positionalBound = true;
}

void sqlQuery::bindValue(int position, const QVariant &val, QSql::ParamType type)
{
    if (!m_executor)
        return;
    m_executor->bindValue(position, val, type);
    m_positionalBound = true;
}

void sqlQuery::resetPrepare()
{
    m_lastBoundPairs = m_boundPairs;
    if (emulates()) {
        m_lastBindings = m_bindings;
        m_workingSql = m_preparedSql;
        m_boundPairs.clear();
        m_bindings.clear();
    }
}

bool sqlQuery::prepare(const QString &query)
{
    if (!m_executor)
        return false;
    m_refusal.clear();
    m_preparedNames.clear();
    substitute(query, &m_preparedNames);
    m_nativeBound.clear();
    m_positionalBound = false;
    if (!emulates())
        return m_executor->prepare(query);
    m_preparedSql = query;
    resetPrepare();
    return true;
}

void sqlQuery::preserveSqlString(bool preserve)
{
    m_preserveSqlString = preserve;
}

void sqlQuery::printPreparedValues()
{
    for (const QString &pair : qAsConst(m_boundPairs))
        qCDebug(lcSql).noquote() << QStringLiteral("Value: [%1]").arg(pair);
    qCDebug(lcSql).noquote() << QStringLiteral("prepared exec=[%1]").arg(m_workingSql);
}

// --- Execution

bool sqlQuery::lostConnection() const
{
    const QSqlError error = m_executor->lastError();
    // SQLite's driver calls every failed step a connection error, another
    // program's hold too: closed and opened again for that, the connection
    // lost what it held (a transaction under way) and the statement waited
    // for the hold a second time.
    if (SqlTransaction::isLocked(error))
        return false;
    if (error.type() == QSqlError::ConnectionError)
        return true;
    // The MySQL driver reports a server that went away (2006) or a connection
    // lost in mid-statement (2013) as a statement error.
    if (m_isMySql
        && (error.nativeErrorCode() == QLatin1String("2006") || error.nativeErrorCode() == QLatin1String("2013")))
        return true;
    return !QSqlDatabase::database(m_connectionName, false).isOpen();
}

bool sqlQuery::runWithRetry(const std::function<bool()> &statement, bool prepared)
{
    m_refusal.clear();
    // Every statement of a script runs here: a call with a time of its own
    // waits for another program's hold within that time, once.
    const auto run = [this, &statement]() {
        if (!SqlBoundedWait::active())
            return statement();
        const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        SqlBoundedWait::cover(db);
        const bool ok = statement();
        if (!ok)
            SqlBoundedWait::failed(db, m_executor->lastError());
        return ok;
    };
    const bool ok = run();
    if (ok)
        return ok;
    // A file beside the database that is not used stopped it, though SQLite
    // says only that it could not open a file (and Qt calls that a lost
    // connection): the connection is sound, and opened again it would be
    // refused again. The error names that file and what to do.
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    m_refusal = SqlTransaction::refusal(db.databaseName(), m_executor->lastError().text());
    // A statement that ran is never run again; one that failed for another
    // reason than the connection would only fail again.
    if (!m_refusal.isEmpty() || !lostConnection())
        return ok;
    // A connection whose server went away still counts as open.
    if (db.isOpen())
        db.close();
    const QString nameLine = QStringLiteral("Database name=[") + m_connectionName + QStringLiteral("]\n");
    for (int attempt = 1; attempt <= kReopenAttempts; ++attempt) {
        if (db.open()) {
            qCDebug(lcSql).noquote() << nameLine.trimmed();
            qCDebug(lcSql).noquote() << QStringLiteral("-->Database re-opened.");
            // Reopening has finalised the statements prepared on the old connection.
            if (prepared)
                m_executor->reprepare();
            return run();
        }
        qCDebug(lcSql).noquote() << nameLine.trimmed();
        qCDebug(lcSql).noquote() << QStringLiteral("-->Database closed....attempting to re-open...");
        if (attempt < kReopenAttempts)
            QThread::msleep(kReopenPauseMs);
    }
    qCWarning(lcSql).noquote() << "Database" << m_connectionName << "closed and could not be re-opened";
    return ok;
}

QStringList sqlQuery::unboundNames() const
{
    QStringList missing;
    if (!emulates() && m_positionalBound)
        return missing;
    for (const QString &name : m_preparedNames) {
        bool bound = false;
        if (emulates()) {
            for (const Binding &b : m_bindings)
                bound = bound || b.name == name;
        } else {
            bound = m_nativeBound.contains(name);
        }
        if (!bound)
            missing << QLatin1Char(':') + name;
    }
    return missing;
}

// The driver would run a placeholder left without a value as NULL and report
// success; a misspelt name would store NULL unnoticed.
bool sqlQuery::refuseUnbound()
{
    const QStringList missing = unboundNames();
    if (missing.isEmpty())
        return false;
    qCWarning(lcSql).noquote() << "Statement not run: no value bound for" << missing.join(QStringLiteral(", "));
    return true;
}

bool sqlQuery::exec()
{
    if (!m_executor)
        return false;
    m_lastQuery = m_workingSql;
    if (m_directExec)
        return runWithRetry([this] { return m_executor->exec(); }, true);
    if (emulates() && !m_workingSql.isNull()) {
        if (refuseUnbound()) {
            resetPrepare();
            return false;
        }
        const QString text = m_workingSql;
        QVariantMap driverValues;
        for (const Binding &b : qAsConst(m_bindings)) {
            if (b.byDriver)
                driverValues.insert(QLatin1Char(':') + b.name, b.driverValue);
        }
        qCDebug(lcSql).noquote() << QStringLiteral("psuedo exec=[%1]").arg(text);
        appendToLog(text);
        const bool ok = runWithRetry(
            [this, text, driverValues] {
                return driverValues.isEmpty() ? m_executor->exec(text) : m_executor->exec(text, driverValues);
            },
            false);
        resetPrepare();
        return ok;
    }
    if (refuseUnbound())
        return false;
    const bool ok = runWithRetry([this] { return m_executor->exec(); }, true);
    if (!ok)
        qCWarning(lcSql).noquote()
            << QStringLiteral("error 101: [%1],[%2]").arg(m_executor->lastError().text(), m_workingSql);
    return ok;
}

bool sqlQuery::exec(const QString &query)
{
    if (!m_executor)
        return false;
    m_preparedSql = QString();
    m_workingSql = QString();
    m_preparedNames.clear();
    m_lastQuery = query;
    appendToLog(query);
    return runWithRetry([this, query] { return m_executor->exec(query); }, false);
}

bool sqlQuery::execBatch(QSqlQuery::BatchExecutionMode mode)
{
    if (!m_executor)
        return false;
    return runWithRetry([this, mode] { return m_executor->execBatch(mode); }, true);
}

bool sqlQuery::execShowError(QWidget *, const QString &)
{
    return exec();
}

bool sqlQuery::execShowError(QWidget *, const QString &sql, const QString &)
{
    return exec(sql);
}

QSqlError sqlQuery::lastError() const
{
    if (!m_executor)
        return QSqlError();
    const QSqlError error = m_refusal.isEmpty()
        ? m_executor->lastError()
        : QSqlError(m_refusal, QString(), QSqlError::StatementError, m_executor->lastError().nativeErrorCode());
    appendToLog(error.text());
    return error;
}

QVariant sqlQuery::lastInsertId(const QString &table, const QString &field)
{
    if (!m_executor)
        return QVariant(-1);
    // The driver's own id where it reports one (MySQL does).
    const QSqlDriver *driver = m_executor->driver();
    const bool driverKnows = driver && driver->hasFeature(QSqlDriver::LastInsertId);
    if (!m_isTdsOdbc && (m_driverPrepares || driverKnows))
        return m_executor->lastInsertId();
    // Find the new row again by the values bound for the insert; of several
    // rows holding them, the newest.
    if (m_lastBindings.isEmpty() || !isIdentifier(table) || !isIdentifier(field))
        return QVariant(-1);
    QStringList conditions;
    QVariantMap driverValues;
    for (const Binding &b : qAsConst(m_lastBindings)) {
        if (!isIdentifier(b.name))
            return QVariant(-1);
        if (b.byDriver) {
            conditions << b.name + QStringLiteral("=:") + b.name;
            driverValues.insert(QLatin1Char(':') + b.name, b.driverValue);
        } else {
            conditions << b.name
                    + (b.literal == QLatin1String("NULL") ? QStringLiteral(" IS NULL")
                                                          : QString(QLatin1Char('=') + b.literal));
        }
    }
    const QString query = QStringLiteral("SELECT MAX(") + field + QStringLiteral(") FROM ") + table
        + QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    const bool ok = driverValues.isEmpty() ? m_executor->exec(query) : m_executor->exec(query, driverValues);
    if (ok && m_executor->next() && !m_executor->isNull(0))
        return m_executor->value(0);
    return QVariant(-1);
}

bool sqlQuery::inTransaction() const
{
    sqlite3 *connection = SqlDatabaseFile::connectionOf(QSqlDatabase::database(m_connectionName, false));
    return connection && sqlite3_get_autocommit(connection) == 0;
}

bool sqlQuery::rollbackTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    return db.isOpen() && db.rollback();
}

// --- Forwarding

void sqlQuery::clear()
{
    if (m_executor)
        m_executor->clear();
}

void sqlQuery::finish()
{
    if (m_executor)
        m_executor->finish();
}

bool sqlQuery::first()
{
    return m_executor && m_executor->first();
}

bool sqlQuery::isActive()
{
    return m_executor && m_executor->isActive();
}

bool sqlQuery::isForwardOnly()
{
    return m_executor && m_executor->isForwardOnly();
}

bool sqlQuery::isNull(int field)
{
    return m_executor ? m_executor->isNull(field) : true;
}

bool sqlQuery::isSelect()
{
    return m_executor && m_executor->isSelect();
}

bool sqlQuery::isValid()
{
    return m_executor && m_executor->isValid();
}

bool sqlQuery::last()
{
    return m_executor && m_executor->last();
}

bool sqlQuery::next()
{
    return m_executor && m_executor->next();
}

bool sqlQuery::nextResult()
{
    return m_executor && m_executor->nextResult();
}

int sqlQuery::numRowsAffected()
{
    return m_executor ? m_executor->numRowsAffected() : -1;
}

bool sqlQuery::previous()
{
    return m_executor && m_executor->previous();
}

bool sqlQuery::seek(int index, bool relative)
{
    return m_executor && m_executor->seek(index, relative);
}

bool sqlQuery::seek(int index)
{
    return seek(index, false);
}

void sqlQuery::setForwardOnly(bool forward)
{
    if (m_executor)
        m_executor->setForwardOnly(forward);
}

void sqlQuery::setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy precisionPolicy)
{
    if (m_executor)
        m_executor->setNumericalPrecisionPolicy(precisionPolicy);
}

int sqlQuery::size()
{
    return m_executor ? m_executor->size() : -1;
}

QVariant sqlQuery::value(int index)
{
    return QVariant(toString(index));
}

QString sqlQuery::valuetoString(int index)
{
    return toString(index);
}

int sqlQuery::toInt(int index)
{
    return m_executor ? m_executor->value(index).toInt() : 0;
}

bool sqlQuery::toBool(int index)
{
    return m_executor && m_executor->value(index).toBool();
}

int sqlQuery::toInt(const QString &columnName)
{
    if (!m_executor)
        return 0;
    const QSqlRecord rec = m_executor->record();
    const int index = rec.indexOf(columnName);
    return index < 0 ? 0 : rec.value(index).toInt();
}

bool sqlQuery::toBool(const QString &columnName)
{
    if (!m_executor)
        return false;
    const QSqlRecord rec = m_executor->record();
    const int index = rec.indexOf(columnName);
    return index >= 0 && rec.value(index).toBool();
}

QString sqlQuery::toString(int index) const
{
    return m_executor ? columnText(m_executor->value(index)) : QStringLiteral("");
}

QString sqlQuery::toString(const QString &columnName) const
{
    if (!m_executor)
        return QStringLiteral("");
    const QSqlRecord rec = m_executor->record();
    const int index = rec.indexOf(columnName);
    return index < 0 ? QStringLiteral("") : columnText(rec.value(index));
}

QSqlRecord sqlQuery::record() const
{
    return m_executor ? m_executor->record() : QSqlRecord();
}

const QSqlResult *sqlQuery::result() const
{
    return m_executor ? m_executor->result() : nullptr;
}

QSql::NumericalPrecisionPolicy sqlQuery::numericalPrecisionPolicy() const
{
    return m_executor ? m_executor->numericalPrecisionPolicy() : QSql::LowPrecisionDouble;
}

QString sqlQuery::executedQuery() const
{
    return m_executor ? m_executor->executedQuery() : QString();
}

const QSqlDriver *sqlQuery::driver() const
{
    return m_executor ? m_executor->driver() : nullptr;
}

QMap<QString, QVariant> sqlQuery::boundValues() const
{
    return m_executor ? m_executor->boundValues() : QMap<QString, QVariant>();
}

QVariant sqlQuery::boundValue(int pos) const
{
    return m_executor ? m_executor->boundValue(pos) : QVariant();
}

QVariant sqlQuery::boundValue(const QString &placeholder) const
{
    return m_executor ? m_executor->boundValue(placeholder) : QVariant();
}

int sqlQuery::at() const
{
    return m_executor ? m_executor->at() : QSql::BeforeFirstRow;
}

QVariant sqlQuery::lastInsertId() const
{
    return m_executor ? m_executor->lastInsertId() : QVariant();
}
