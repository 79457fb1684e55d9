#ifndef SQL_TRANSACTION_H
#define SQL_TRANSACTION_H

#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

// One write of several statements, whole or not at all: begun when made,
// stored by commit(), rolled back by fail() or when it goes out of scope
// unfinished. Its error names the driver's text and the database file, so the
// window that shows it can say which file refused.
class SqlTransaction
{
public:
    explicit SqlTransaction(const QSqlDatabase &db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction &) = delete;
    SqlTransaction &operator=(const SqlTransaction &) = delete;

    // Begun, and neither committed nor failed yet.
    bool isOpen() const { return m_state == State::Open; }
    // Rolls back and keeps the text; always false, so a writer can return it.
    bool fail(const QString &driverText);
    // The same with the query's error; the query is finished first, since an
    // active statement keeps SQLite from rolling back.
    bool fail(QSqlQuery &query);
    // False, rolled back and with the driver's text, when the commit fails.
    bool commit();

    // "file:\ndriver text" of the failure, empty while there is none.
    QString error() const { return m_error; }
    // The driver's text alone, for a log that names the file elsewhere.
    QString driverText() const { return m_driverText; }
    static QString report(const QSqlDatabase &db, const QString &driverText);
    // The same for a file read some other way than as the connection's name.
    static QString report(const QString &fileName, const QString &driverText);

private:
    enum class State { Open, Committed, Failed };

    QSqlDatabase m_db;
    State m_state = State::Open;
    QString m_error;
    QString m_driverText;
};

#endif
