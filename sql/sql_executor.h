#ifndef SQL_EXECUTOR_H
#define SQL_EXECUTOR_H

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

class QSqlDriver;
class QSqlResult;

// One toolkit query on one connection, with error reports and log signals
// around its execution. Each script query object drives its own.
class sqlExecutor : public QObject
{
    Q_OBJECT

public:
    explicit sqlExecutor(const QSqlQuery &other);
    explicit sqlExecutor(QSqlDatabase db);
    sqlExecutor(const QString &query, QSqlDatabase db);
    explicit sqlExecutor(QSqlResult *result);
    ~sqlExecutor() override;

    QVariant value(int index) const { return m_sqlQuery->value(index); }
    int size() const { return m_sqlQuery->size(); }
    void setNumericalPrecisionPolicy(QSql::NumericalPrecisionPolicy policy)
    {
        m_sqlQuery->setNumericalPrecisionPolicy(policy);
    }
    void setForwardOnly(bool forward) { m_sqlQuery->setForwardOnly(forward); }
    bool seek(int index, bool relative = false) { return m_sqlQuery->seek(index, relative); }
    const QSqlResult *result() const { return m_sqlQuery->result(); }
    QSqlRecord record() const { return m_sqlQuery->record(); }
    bool previous() { return m_sqlQuery->previous(); }
    QSql::NumericalPrecisionPolicy numericalPrecisionPolicy() const { return m_sqlQuery->numericalPrecisionPolicy(); }
    int numRowsAffected() const { return m_sqlQuery->numRowsAffected(); }
    bool nextResult() { return m_sqlQuery->nextResult(); }
    bool next() { return m_sqlQuery->next(); }
    QString lastQuery() const { return m_sqlQuery->lastQuery(); }
    QVariant lastInsertId() const { return m_sqlQuery->lastInsertId(); }
    QSqlError lastError() const { return m_sqlQuery->lastError(); }
    bool last() { return m_sqlQuery->last(); }
    bool isValid() const { return m_sqlQuery->isValid(); }
    bool isSelect() const { return m_sqlQuery->isSelect(); }
    bool isNull(int field) const { return m_sqlQuery->isNull(field); }
    bool isForwardOnly() const { return m_sqlQuery->isForwardOnly(); }
    bool isActive() const { return m_sqlQuery->isActive(); }
    bool first() { return m_sqlQuery->first(); }
    void finish() { m_sqlQuery->finish(); }
    QString executedQuery() const { return m_sqlQuery->executedQuery(); }
    const QSqlDriver *driver() const { return m_sqlQuery->driver(); }
    QMap<QString, QVariant> boundValues() const { return m_sqlQuery->boundValues(); }
    QVariant boundValue(int pos) const { return m_sqlQuery->boundValue(pos); }
    QVariant boundValue(const QString &placeholder) const { return m_sqlQuery->boundValue(placeholder); }
    void bindValue(const QString &placeholder, const QVariant &val, QSql::ParamType type = QSql::In)
    {
        m_sqlQuery->bindValue(placeholder, val, type);
    }
    void bindValue(int pos, const QVariant &val, QSql::ParamType type = QSql::In)
    {
        m_sqlQuery->bindValue(pos, val, type);
    }
    void addBindValue(const QVariant &val, QSql::ParamType type = QSql::In) { m_sqlQuery->addBindValue(val, type); }
    int at() const { return m_sqlQuery->at(); }

    bool prepare(const QString &query);
    void clear();
    bool exec(const QString &query);
    // Runs query with the named values bound by the driver: for values that
    // cannot be written into the text as literals.
    bool exec(const QString &query, const QVariantMap &values);
    bool exec();
    bool execBatch(QSqlQuery::BatchExecutionMode mode = QSqlQuery::ValuesAsRows);

    // Prepares the last prepared text again and restores its bound values:
    // a reopened connection has finalised the statements of the old one.
    bool reprepare();

signals:
    void sigSignalLog(QString className, QString objectName, QString signalName, QString slotName, QString Payload);
    void sigLog(QString message);
    void sigLog(QString message, int logLevel);
    void sigError(QString functionName, QString command, QString errorText);
    void sigQueryLog(QString queryText);
    void sigDatabaseClosed();

private slots:
    void reopenDatabase();

private:
    void connectSignals();
    QString errorText() const;

    QSqlQuery *m_sqlQuery;
    QString m_queryText;
    QString m_preparedText;
};

#endif
