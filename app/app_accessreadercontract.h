#ifndef APP_ACCESSREADERCONTRACT_H
#define APP_ACCESSREADERCONTRACT_H

#include <QLatin1Char>
#include <QString>

// What the reader of the older Access files (app/main_accessreader.cpp) and
// the import that runs it (sql/sql_accessreader.cpp) agree on:
//   vornakel_accessreader check FILE [--driver NAME]
//   vornakel_accessreader copy FILE COPY [--driver NAME]
// "check" opens the file and reads its catalog; "copy" writes every table of
// it into the new SQLite file COPY. The exit code says how it went; a
// failure's reason is the one line on standard output. Standard error is the
// ODBC driver's library's, whose warnings the import counts.
namespace AppAccessReaderContract {

constexpr char program[] = "vornakel_accessreader";
constexpr char checkMode[] = "check";
constexpr char copyMode[] = "copy";
constexpr char driverOption[] = "--driver";

enum class Exit { Done = 0, Failed = 1, Usage = 2, DriverMissing = 3 };

// The ODBC driver that reads the files, as the driver manager names it.
constexpr char defaultDriver[] = "MDBTools";
// The limits of one run: its time, and the memory beyond what it holds at start.
constexpr int defaultSeconds = 60;
constexpr int defaultMemoryMiB = 1024;

// Why the driver cannot open the file at this path, or an empty text: a ';'
// would end the file name in its connection string, which takes no quoting.
inline QString pathRefusal(const QString &path)
{
    return path.contains(QLatin1Char(';')) ? QStringLiteral("the ODBC driver cannot open a file whose path holds a ';'")
                                           : QString();
}

} // namespace AppAccessReaderContract

#endif
