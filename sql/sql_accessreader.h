#ifndef SQL_ACCESSREADER_H
#define SQL_ACCESSREADER_H

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;
class QTemporaryDir;

// Runs the reader of the older Access files (the program
// "vornakel_accessreader" beside this one) through the helper runner and says
// how it went. The ODBC driver that reads those files crashes, aborts or
// loops on damaged ones; in a process of its own, under a time and a memory
// limit, it can take only that process with it. While it runs, the windows
// are repainted but take no input.
class SqlAccessReader
{
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
        int warnings = 0;
        QStringList firstWarnings;
        // The reader's own: tables whose definition counts other rows than
        // could be read, tables not asked for by name that could not be copied.
        QStringList readerWarnings;
        // The tables asked for by name that could not be copied, with why.
        QHash<QString, QString> uncopiedTables;
    };

    // Whether the file opens as an Access database and its catalog reads.
    static Result check(const QString &file);
    // The tables named (every table when none is; those the file lacks are
    // passed over) into the new SQLite file `copy`, each apart: one that
    // cannot be copied is not in it.
    static Result copy(const QString &file, const QString &copy, const QStringList &tables = QStringList());

    // What the person reads about a file that was not read:
    // "FILE could not be read: REASON (the file may be damaged)."
    static QString unreadable(const QString &file, const Result &result);
    // "FILE: the file gave N warnings while it was read; it may be damaged"
    // with the first few warnings, and a line "FILE: WARNING; the file may be
    // damaged" for each of the reader's own; empty without warnings.
    static QString warned(const QString &file, const Result &result);

    // A temporary folder for the copies of one import, owned by the running
    // program while it lives. Made after removing the folders of earlier
    // imports whose program is gone (killed before it could remove its own).
    class CopyFolder
    {
    public:
        CopyFolder();
        ~CopyFolder();
        bool isValid() const;
        QString errorString() const;
        QString filePath(const QString &name) const;

    private:
        std::unique_ptr<QTemporaryDir> m_dir;
        std::unique_ptr<QLockFile> m_owner; // goes first, so that the folder can go
    };

private:
    static Result run(
        const QStringList &arguments, const char *timeKey, int seconds, const QStringList &tables = QStringList());
};

#endif
