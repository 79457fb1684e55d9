#ifndef APP_ACCESSREADERCONTRACT_H
#define APP_ACCESSREADERCONTRACT_H

#include "app/app_helperlimits.h"

#include <QLatin1Char>
#include <QString>

// What the reader of the older Access files (app/main_accessreader.cpp) and
// the import that runs it (sql/sql_accessreader.cpp) agree on:
//   vornakel_accessreader check FILE [--driver NAME]
//   vornakel_accessreader copy FILE COPY [TABLE...] [--driver NAME]
// "check" opens the file and reads its catalog; "copy" writes the named
// tables of it (every table when none is named; a name the file lacks is
// passed over) into the new SQLite file COPY, each table apart. The exit
// code says how it went; a failure's reason is the one line on standard
// output. Standard error is the ODBC driver's library's, whose warnings the
// import counts, followed by the reader's own, each line starting with
// ownWarning: a table that could not be copied (it is not in the copy), a
// table whose definition counts other rows than could be read, and a table
// whose definition or pages hold what no sound file holds.
namespace AppAccessReaderContract {

constexpr char program[] = "vornakel_accessreader";
constexpr char checkMode[] = "check";
constexpr char copyMode[] = "copy";
constexpr char driverOption[] = "--driver";
constexpr char ownWarning[] = "vornakel_accessreader: ";

// OutOfMemory: the memory the runner gave it ran out (app/app_helperlimits.h).
enum class Exit { Done = 0, Failed = 1, Usage = 2, DriverMissing = 3, OutOfMemory = AppHelperLimits::outOfMemoryExit };

// The ODBC driver that reads the files, as the driver manager names it.
constexpr char defaultDriver[] = "MDBTools";
// The limits of one run: its time, and the memory beyond what it holds at
// start. The check reads only the catalog, which takes a fraction of a
// second even in a large file: a file that keeps it longer loops.
constexpr int defaultSeconds = 60;
constexpr int defaultCheckSeconds = 5;
constexpr int defaultMemoryMiB = 1024;

// Why the driver cannot open the file at this path, or an empty text: a ';'
// would end the file name in its connection string, which takes no quoting.
inline QString pathRefusal(const QString &path)
{
    return path.contains(QLatin1Char(';')) ? QStringLiteral("the ODBC driver cannot open a file whose path holds a ';'")
                                           : QString();
}

// Why the copy cannot be written to this name, or an empty text: SQLite
// writes no file for an empty name nor for ":memory:", and the reader would
// end without a word.
inline QString copyRefusal(const QString &copy)
{
    return copy.isEmpty() || copy == QLatin1String(":memory:")
        ? QStringLiteral("the copy must be named by a file path, not \"%1\"").arg(copy)
        : QString();
}

// The reader's own warnings, after ownWarning, as the import finds them again.
inline QString uncopiedTablePrefix(const QString &table)
{
    return QStringLiteral("table %1 could not be copied: ").arg(table);
}
inline QString uncopiedTable(const QString &table, const QString &why)
{
    return uncopiedTablePrefix(table) + why;
}
// A table whose definition or pages hold what no sound file holds.
inline QString damagedTable(const QString &table, const QString &what)
{
    return QStringLiteral("table %1: %2").arg(table, what);
}
inline QString rowsDiffer(const QString &table, qint64 counted, qint64 read)
{
    return damagedTable(table,
        QStringLiteral("its definition counts %1 %2, but %3 %4 read")
            .arg(counted)
            .arg(QLatin1String(counted == 1 ? "row" : "rows"))
            .arg(read)
            .arg(QLatin1String(read == 1 ? "was" : "were")));
}

} // namespace AppAccessReaderContract

#endif
