#ifndef SQL_QUERY_H
#define SQL_QUERY_H

#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <functional>

class QScriptEngine;
class QSqlDriver;
class QSqlResult;
class QWidget;
class sqlExecutor;

Q_DECLARE_METATYPE(QSql::ParamType)
Q_DECLARE_METATYPE(QSql::NumericalPrecisionPolicy)

// The query object of script modules and HTML module pages. Unless told
// otherwise it writes bound values into the SQL text as literals and runs the
// finished text, logging each such statement to "sql.log" in the current
// folder (kept within its bound, AppBoundedLog); after a lost connection it
// reopens it and runs the statement once more.
class sqlQuery : public QObject
{
    Q_OBJECT

public:
    sqlQuery(QObject *parent, const QString &connectionName, bool directExec);
    ~sqlQuery() override;

    // Lets a script engine pass the toolkit's enumerations as numbers.
    static void registerScriptTypes(QScriptEngine *engine);

    Q_INVOKABLE void bindValue(const QString &placeholder, const QVariant &val, QSql::ParamType paramType);
    Q_INVOKABLE void bindValue(const QString &placeholder, const QVariant &val);
    Q_INVOKABLE void clear();
    Q_INVOKABLE bool exec(const QString &query);
    Q_INVOKABLE bool exec();
    Q_INVOKABLE void finish();
    Q_INVOKABLE bool first();
    Q_INVOKABLE bool isActive();
    Q_INVOKABLE bool isForwardOnly();
    Q_INVOKABLE bool isNull(int field);
    Q_INVOKABLE bool isSelect();
    Q_INVOKABLE bool isValid();
    Q_INVOKABLE bool last();
    Q_INVOKABLE bool next();
    Q_INVOKABLE bool nextResult();
    Q_INVOKABLE int numRowsAffected();
    Q_INVOKABLE bool prepare(const QString &query);
    Q_INVOKABLE bool previous();
    Q_INVOKABLE bool seek(int index, bool relative);
    Q_INVOKABLE bool seek(int index);
    Q_INVOKABLE void setForwardOnly(bool forward);
    Q_INVOKABLE void setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy precisionPolicy);
    Q_INVOKABLE int size();
    // A variant holding text: a script value would be lost on the way into a web page.
    Q_INVOKABLE QVariant value(int index);
    Q_INVOKABLE void printPreparedValues();
    Q_INVOKABLE QString valuetoString(int index);
    Q_INVOKABLE int toInt(int index);
    Q_INVOKABLE bool toBool(int index);
    Q_INVOKABLE int toInt(const QString &columnName);
    Q_INVOKABLE bool toBool(const QString &columnName);
    Q_INVOKABLE void preserveSqlString(bool preserve);

    // For the program's own code.
    QSqlRecord record() const;
    const QSqlResult *result() const;
    QSql::NumericalPrecisionPolicy numericalPrecisionPolicy() const;
    QString executedQuery() const;
    const QSqlDriver *driver() const;
    QMap<QString, QVariant> boundValues() const;
    QVariant boundValue(int pos) const;
    QVariant boundValue(const QString &placeholder) const;
    int at() const;
    QVariant lastInsertId() const;
    void addBindValue(const QVariant &val, QSql::ParamType type = QSql::In);
    void bindValue(int position, const QVariant &val, QSql::ParamType type = QSql::In);
    QString toString(int index) const;
    QString toString(const QString &columnName) const;
    QString lastQuery() const { return m_lastQuery; }
    QString showPreparedQuery() const { return m_workingSql; }
    void resetPrepare();
    QSqlError lastError() const;
    QVariant lastInsertId(const QString &table, const QString &field);
    bool execBatch(QSqlQuery::BatchExecutionMode mode = QSqlQuery::ValuesAsRows);
    bool execShowError(QWidget *parent, const QString &text);
    bool execShowError(QWidget *parent, const QString &sql, const QString &text);

    // Whether its connection is inside a transaction (one begun by a BEGIN
    // statement, say); false where the driver cannot tell (drivers other
    // than SQLite).
    bool inTransaction() const;
    // Rolls back the transaction its connection is inside.
    bool rollbackTransaction();

    // The connection this object runs on, and whether it could be opened.
    QString connectionName() const { return m_connectionName; }
    bool hasExecutor() const { return m_executor != nullptr; }

private:
    // A bound value in emulated mode: its literal, or, for text that a
    // statement's text cannot carry, the value for the driver to bind under
    // the placeholder's name.
    struct Binding
    {
        QString name;
        QString literal;
        QVariant driverValue;
        bool byDriver;
    };

    bool emulates() const;
    static QVariant normalized(const QVariant &val);
    Binding binding(const QString &name, const QVariant &val) const;
    QString quoted(const QString &text) const;
    QString substitute(const QString &text, QStringList *names = nullptr) const;
    QStringList unboundNames() const;
    bool refuseUnbound();
    bool runWithRetry(const std::function<bool()> &statement, bool prepared);
    bool lostConnection() const;
    static void appendToLog(const QString &text);

    sqlExecutor *m_executor;
    bool m_directExec;
    bool m_isTdsOdbc;
    bool m_isMySql;
    bool m_driverPrepares;
    bool m_ownsConnection;
    QString m_connectionName;
    QString m_workingSql;
    QString m_preparedSql;
    QStringList m_boundPairs;
    QStringList m_lastBoundPairs;
    bool m_preserveSqlString;
    QString m_lastQuery;
    // Where what lies beside the database file stopped the last statement,
    // the message that names it, as its error.
    QString m_refusal;
    // Each value bound since the last reset, one per name; the working text is
    // rebuilt from the prepared text with them.
    QList<Binding> m_bindings;
    QList<Binding> m_lastBindings;
    // The placeholder names of the prepared text, and in native mode the names
    // bound since it was prepared: a statement runs only with all of them bound.
    QStringList m_preparedNames;
    QSet<QString> m_nativeBound;
    bool m_positionalBound;
    // The driver reads [name] as a quoted name (SQLite, SQL Server).
    bool m_bracketNames;
};

#endif
