#ifndef SQL_TRANSACTION_H
#define SQL_TRANSACTION_H

#include <QSqlDatabase>
#include <QString>

#include <functional>

class QSqlError;
class QSqlQuery;

// One write of several statements, whole or not at all: begun when made,
// stored by commit(), rolled back by fail() or when it goes out of scope
// unfinished. Its error names the driver's text and the database file, so the
// window that shows it can say which file refused.
//
// A file that another program holds locked is waited for where nothing is
// open yet, as the write begins: in short tries, with the event loop running
// between them (user input held back), so that the windows never freeze
// while they wait. The write takes the whole file from its start, so that
// no hold of another program's (a read under way, too) is met later, where
// the write is open and could only fail. A lock that outlasts the wait is
// told as such: the file is in use by another program, and what to do.
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
    // The same with the error of a statement that failed; the query is
    // finished first, since an active statement keeps SQLite from rolling
    // back. The error then also says that nothing of the change was stored.
    bool fail(QSqlQuery &query);
    // False, rolled back and with the driver's text, when the commit fails;
    // the error then also says what the file holds now: the change, or what
    // it held before (unless the file was held by another program's lock).
    bool commit();

    // "file:\ndriver text" of the failure, empty while there is none; for a
    // file held locked, that it is in use and what to do.
    QString error() const { return m_error; }
    // The driver's text alone, for a log that names the file elsewhere.
    QString driverText() const { return m_driverText; }
    static QString report(const QSqlDatabase &db, const QString &driverText);
    // The same for a file read some other way than as the connection's name.
    static QString report(const QString &fileName, const QString &driverText);
    // Where a file beside the database stopped the statement (SQLite says
    // only that it could not open a file), the guard's message, which names
    // it and what to do; taken, so that it is said once. Empty otherwise.
    static QString refusal(const QString &fileName, const QString &driverText);

    // How long a file held locked is waited for, in seconds (the settings
    // key "database/lockWait", 5 by default; 0 tries once).
    static constexpr char lockWaitKey[] = "database/lockWait";
    // The connection options of a window's database file, set before it is
    // opened: a statement itself waits only briefly for a lock (SQLite's own
    // wait holds the event loop), so that a read of a file held locked fails
    // soon rather than freezing the window.
    static void waitBriefly(QSqlDatabase &db);
    // Runs `attempt` again while it fails for a lock that another connection
    // holds on the file, until the lock wait has passed; meanwhile the event
    // loop runs, user input held back. True once an attempt succeeds; an
    // attempt that fails puts its error in its argument. Never inside a write
    // of the caller's own, which holds the file and so is never kept waiting
    // by a read, and is committed without the event loop (commit()).
    static bool whileLocked(const std::function<bool(QSqlError *)> &attempt);
    // While one lives on this thread, a file held locked is tried once, not
    // waited for again: for what follows a wait that has run its course for
    // the same work (taking back what it stored, its note in the file), which
    // would otherwise keep the person waiting once more for each.
    class WaitSpent
    {
    public:
        explicit WaitSpent(bool spent = true);
        ~WaitSpent();
        WaitSpent(const WaitSpent &) = delete;
        WaitSpent &operator=(const WaitSpent &) = delete;

    private:
        bool m_spent;
    };
    // A read or a statement of its own run so (the query prepared and bound
    // before; `sql` run as given otherwise). False with the query's error.
    static bool execWhileLocked(QSqlQuery &query, const QString &sql = QString());
    // Another connection holds the file locked (SQLite's "database is locked",
    // or "database table is locked" where connections share a cache).
    static bool isLocked(const QSqlError &error);
    static bool isLocked(const QString &driverText);
    // The disk or the file is full (SQLite's "database or disk is full").
    static bool isFull(const QString &driverText);
    // The reason of a failure as a person reads it: for a file held locked,
    // that it is in use and what to do; otherwise the driver's text.
    static QString reason(const QString &driverText);

private:
    enum class State { Open, Committed, Failed };

    // Rolls back, keeps the text and makes the error of it.
    void failed(const QString &driverText);
    // After a failed commit: whether the file holds the change, as a person reads it.
    QString heldNow();

    QSqlDatabase m_db;
    State m_state = State::Open;
    QString m_error;
    QString m_driverText;
    // The file's change counter as the write began, when it has one.
    quint32 m_counter = 0;
    bool m_counted = false;
    // The failure is the guard's refusal of a file beside the database.
    bool m_refused = false;
};

#endif
