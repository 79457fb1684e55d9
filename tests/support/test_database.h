#ifndef TEST_DATABASE_H
#define TEST_DATABASE_H

#include "test_environment.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QVector>

// A database file at the current revision in a temporary folder, made by the
// program's own opening routine (SqlUpdateDatabase::openAndUpdate), so tests
// see exactly the schema the program works on. The connection is registered
// under the file path, as the program does, and removed with the object.
class TestDatabase
{
public:
    // What the file holds: nothing yet (the program makes it), the schema, or that and the shipped reference data.
    enum class Contents { None, Schema, ReferenceData };

    explicit TestDatabase(const QString &fileName = QStringLiteral("vornakel.db"));
    explicit TestDatabase(Contents contents, const QString &fileName = QStringLiteral("vornakel.db"));
    ~TestDatabase();

    bool isValid() const { return m_ok; }
    QString path() const { return m_path; }
    QString path(const QString &fileName) const { return m_files.path(fileName); } // another in the folder
    QString connectionName() const { return m_path; } // the program's convention
    QSqlDatabase database() const;
    QString dir() const { return m_files.dir(); }

    // Runs `sql` with the named values bound; false (and a warning with the
    // driver's text) on failure.
    bool exec(const QString &sql, const QVariantMap &values = QVariantMap()) const;
    // The first column of the first row of `sql`, or an invalid variant.
    QVariant value(const QString &sql, const QVariantMap &values = QVariantMap()) const;

    // Creates or migrates the file at `path` through openAndUpdate and leaves
    // its connection registered under `path`; returns that connection name,
    // empty on failure.
    static QString createCurrent(const QString &path);

    // Builds a file at `version`, one of the revision names of the migration
    // chain, by running the first release's schema and the chain's steps up to
    // it on a private connection that is removed again; no connection named
    // `path` is left registered. False for a name outside the chain or on failure.
    static bool createAtRevision(const QString &path, const QString &version);

    // Every revision name of the chain, oldest first, the current one last.
    static QStringList revisions();

    // Closes and forgets a registered connection.
    static void removeConnection(const QString &connectionName);

    // Writes to `journal` a hot rollback journal of the file at `path`: one
    // that SQLite, finding it beside the file, plays in, after which the file
    // holds what `changes` (statements) made of it. It is made on a copy of
    // the file, where the changes are committed and a transaction that runs
    // `later` (statements that change the same rows again) is left
    // unfinished, as by a process killed in it; the file itself is not touched.
    static bool writeHotJournal(
        const QString &path, const QStringList &changes, const QStringList &later, const QString &journal);

    // Damages the page of the (closed) file at `path` that holds `text`, past
    // its first two pages, as a fault of the disk would: a read that reaches
    // that page fails ("database disk image is malformed"), one that ends
    // before it does not. False when no such page was found and damaged.
    static bool damagePageHolding(const QString &path, const QByteArray &text);

private:
    TestDatabaseFiles m_files;
    QString m_path;
    bool m_ok = false;
};

// The choice columns of the file's format ("table.column"), each button's
// object name, which the format stores, and the word the program holds for it.
struct TestFormatChoice
{
    const char *column;
    const char *name;
    const char *word;
};
QVector<TestFormatChoice> testFormatChoices();

// Another program using the same database file: a connection of its own
// (SQLite keeps two connections of one process apart as two programs), on
// which a test reads and saves as that program would, opened with the
// driver's connect options given. Removed when it goes.
class TestOtherProgram
{
public:
    explicit TestOtherProgram(const QString &path, const QString &connectOptions = QString());
    ~TestOtherProgram();
    TestOtherProgram(const TestOtherProgram &) = delete;
    TestOtherProgram &operator=(const TestOtherProgram &) = delete;

    bool isOpen() const { return database().isOpen(); }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

// Another program's hold on a database file: a connection of its own in a
// transaction (SQLite locks a file between two connections of one process as
// between two programs). It lets go when told, when it goes, or after a timer of the
// event loop has ticked a number of times: a window that waits for the file
// with its event loop running sees it free again, one frozen while it waits
// never does. Nothing is timed.
class TestLockHolder : public QObject
{
    Q_OBJECT

public:
    // What the other program holds: the whole file (BEGIN EXCLUSIVE), its
    // writes only (BEGIN IMMEDIATE), when it may still be read, or a read
    // under way (a transaction that has read), which lets others read and
    // begin a write, but keeps any write from being stored.
    enum class Hold { Everything, Writes, Reads };
    explicit TestLockHolder(const QString &path, Hold hold = Hold::Everything);
    ~TestLockHolder() override;

    bool isHolding() const { return m_holding; }
    // Lets go once the timer has ticked `ticks` times from now.
    void releaseAfterTicks(int ticks);
    // The two ways a test meets the program's wait for the file (in the
    // settings, which the test keeps apart with TestSettings): let go on the
    // fifth tick, the wait long enough that only the ticks end it; or held
    // beyond a wait of none.
    void meetTheWait(bool letGo);
    void release();
    // Let go by its timer, which ticked only while the event loop ran.
    bool wasLetGoOnATick() const { return m_letGoOnATick; }

private:
    TestOtherProgram m_program;
    QTimer m_timer;
    int m_ticks = 0;
    int m_releaseAt = 0;
    bool m_holding = false;
    bool m_letGoOnATick = false;
};
Q_DECLARE_METATYPE(TestLockHolder::Hold)

// SQLite's waits for another program's lock on a connection, counted. Each
// ends at once (the connection's own brief wait is set aside meanwhile, and
// put back after), and notes the turn of the event loop it came in: a timer
// of that loop ticks on every turn. Two waits in one turn held the window for
// both of them. Nothing is timed.
class TestLockWaits : public QObject
{
    Q_OBJECT

public:
    explicit TestLockWaits(const QSqlDatabase &db);
    ~TestLockWaits() override;

    bool isWatching() const { return m_handle != nullptr; }
    int count() const { return m_waits; }
    // The waits that came in the same turn of the event loop as the one before.
    int inOneTurn() const { return m_inOneTurn; }

private:
    static int onWait(void *self, int tries);

    QTimer m_turns;
    void *m_handle = nullptr;
    int m_briefWaitMs = 0;
    int m_turn = 0;
    int m_lastWaitTurn = -1;
    int m_waits = 0;
    int m_inOneTurn = 0;
};

#endif
