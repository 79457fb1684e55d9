#ifndef SQL_BOUNDEDWAIT_H
#define SQL_BOUNDEDWAIT_H

#include <QList>
#include <QString>

#include <functional>

class QSqlDatabase;
class QSqlError;
struct sqlite3;

// A call with a time of its own (one from another program) waits for another
// program's hold on the database file only within that time, and once. While
// one lives on a thread, a statement of a script's query object that meets
// such a hold waits for it, retrying, for at most what the call has left,
// the waiting counted into the call's time; a hold that outlasts it, or a
// statement refused for a hold without waiting, ends the waiting for the
// rest of the call: every later statement that meets a hold fails at once,
// and the call is to end saying that the file is in use by another program.
// Left to themselves the statements each wait SQLite's own brief wait, which
// a call of many statements adds up to many seconds, the window and the
// server held all the while.
class SqlBoundedWait
{
public:
    struct Call
    {
        std::function<qint64()> leftNs; // what the call may still take
        std::function<void(qint64)> waited; // told each span slept, in nanoseconds
        std::function<void()> gaveUp; // told once, when a hold ends the waiting
    };

    explicit SqlBoundedWait(Call call);
    // The connections wait as they did before.
    ~SqlBoundedWait();
    SqlBoundedWait(const SqlBoundedWait &) = delete;
    SqlBoundedWait &operator=(const SqlBoundedWait &) = delete;

    // Whether a wait is on this thread.
    static bool active();
    // Before a statement of a script runs on the connection: its waits for a
    // hold become the call's, while a wait is on this thread.
    static void cover(const QSqlDatabase &db);
    // After a statement of a script failed on the connection: a failure for
    // another connection's hold ends the waiting.
    static void failed(const QSqlDatabase &db, const QSqlError &error);

    // Whether a hold ended the waiting; and then that the file is in use by
    // another program, and what to do, as the windows say it.
    bool gaveUp() const { return m_gaveUp; }
    QString report() const;

private:
    struct Covered
    {
        QString connection;
        sqlite3 *handle;
        int ownWaitMs; // SQLite's own wait of the connection before
    };

    static int onBusy(void *wait, int tries);
    int busy();
    void giveUp(const QString &fileName, const QString &driverText);

    Call m_call;
    QList<Covered> m_covered;
    bool m_gaveUp = false;
    QString m_fileName;
    QString m_driverText;
    SqlBoundedWait *m_outer;
};

#endif
