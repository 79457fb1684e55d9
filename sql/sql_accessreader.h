#ifndef SQL_ACCESSREADER_H
#define SQL_ACCESSREADER_H

#include "app/app_helperrunner.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

// Runs the reader of the older Access files (the program
// "vornakel_accessreader" beside this one) through the helper runner and says
// how it went. The ODBC driver that reads those files crashes, aborts or
// loops on damaged ones; in a process of its own, under a time and a memory
// limit, it can take only that process with it. Nothing waits for it: the
// program goes on, and ended() says when the reader is done.
class SqlAccessReader : public QObject
{
    Q_OBJECT

public:
    // Settings: the seconds one copy of a file may take (60), those the check
    // of a chosen folder's files may take (5), and the memory the reader may
    // take beyond what it holds at its start, in MiB (1024).
    static constexpr char timeLimitKey[] = "import/readerTimeLimit";
    static constexpr char checkTimeLimitKey[] = "import/readerCheckTimeLimit";
    static constexpr char memoryLimitKey[] = "import/readerMemoryLimit";
    // The ODBC driver that reads the files, as the driver manager names it:
    // the settings key "import/odbcDriver", by default "MDBTools".
    static constexpr char driverKey[] = "import/odbcDriver";
    static QString driverName();
    // The Debian package that brings that driver.
    static QString driverPackage();

    enum class Outcome {
        Read, // the file was read
        Failed, // the reader could not read it, crashed, or met a limit
        DriverMissing, // the ODBC driver is not installed
        NotStarted, // the reader itself could not be run
        Stopped, // something else ended the reader, or the program stopped it: the file is not to blame
    };
    struct Result
    {
        Outcome outcome = Outcome::NotStarted;
        // Why the file was not read.
        QString reason;
        // The warnings about the file that the driver's library wrote while
        // it read (a dump of bytes that follows one is part of it), and the
        // first few, each one line of printable text.
        qint64 warnings = 0;
        QStringList firstWarnings;
        // The reader's own: tables whose definition counts other rows than
        // could be read, tables not asked for by name that could not be copied.
        QStringList readerWarnings;
        // The tables asked for by name that could not be copied, with why.
        QHash<QString, QString> uncopiedTables;
    };

    explicit SqlAccessReader(QObject *parent = nullptr);
    // A reader still running is stopped, and ended() is not sent.
    ~SqlAccessReader() override;

    // Starts reading whether the file opens as an Access database and its
    // catalog reads; ended() follows.
    void startCheck(const QString &file);
    // Starts copying the tables named (every table when none is; those the
    // file lacks are passed over) into the new SQLite file `copy`, each
    // apart: one that cannot be copied is not in it. ended() follows.
    void startCopy(const QString &file, const QString &copy, const QStringList &tables = QStringList());
    // Stops the reader: ended() follows, the file not read (Stopped).
    void stop();
    // What the last run came to, once ended() has come.
    Result result() const { return m_result; }

    // What the person reads about a file that was not read:
    // "FILE could not be read: REASON (the file may be damaged)."
    static QString unreadable(const QString &file, const Result &result);
    // "FILE: the file gave N warnings while it was read; it may be damaged"
    // with the first few warnings, and a line "FILE: WARNING; the file may be
    // damaged" for each of the reader's own; empty without warnings.
    static QString warned(const QString &file, const Result &result);

    // A folder for the copies of one import, "vornakel-access-XXXXXX" in a
    // folder only this user may write (baseFolder()), held by the running
    // program while it lives and removed with the object. Made after
    // removing the folders of earlier imports whose program is gone (killed
    // before it could remove its own): a folder of this user's whose lock
    // file, a regular file, no living program holds. Nothing is followed
    // through a link, and nothing waits on what it finds.
    class CopyFolder
    {
    public:
        CopyFolder();
        ~CopyFolder();
        CopyFolder(const CopyFolder &) = delete;
        CopyFolder &operator=(const CopyFolder &) = delete;
        bool isValid() const { return m_folder >= 0; }
        QString errorString() const { return m_error; }
        QString filePath(const QString &name) const;
        // The first of the user's runtime folder ($XDG_RUNTIME_DIR) and
        // cache folder ($XDG_CACHE_HOME, else ~/.cache; each only when it
        // names an absolute path) that is the user's own and that no one
        // else may write; empty, with why, when neither is.
        static QString baseFolder(QString *why = nullptr);

    private:
        QString m_path;
        QString m_name;
        QString m_error;
        int m_base = -1; // the folder that holds the copy folders
        int m_folder = -1;
        int m_owner = -1; // the lock file, locked while the program lives
    };

signals:
    void ended();

private:
    void start(const QStringList &arguments, const char *timeKey, int seconds, const QStringList &tables);
    // What the reader's run tells of the file.
    static Result interpret(const AppHelperRunner::Result &ran, const QStringList &tables);

    AppHelperRunner m_runner;
    QStringList m_tables;
    Result m_result;
};

#endif
