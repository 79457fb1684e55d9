#ifndef SQL_DATABASEFILE_H
#define SQL_DATABASEFILE_H

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

// The database file itself, as the user knows it. A folder others may write
// lets them move the user's file aside between two sessions and put a file
// of their own under its name, which would then receive, and show them,
// every record the user saves; or a file may be made writable to others. So
// the program remembers, in its settings keyed by the file's path, whose the
// file was and who besides its owner could write it when the user last
// opened it, and a file that another user now owns, or that others may
// write where before they could not, is told before anything is saved into
// it. A file of the user's own that others could always write (a group's
// shared database in a lab) is taken as it always was. And a save that fails
// because the file was moved or replaced, or because its folder may not be
// written, says so.
namespace SqlDatabaseFile {

// SQLite's own handle of the connection `db`; null where `db` is not an open
// SQLite connection.
sqlite3 *connectionOf(const QSqlDatabase &db);

// Empty, or what has changed about the file at `path` since the user last
// opened it (or, opened for the first time, that it is another user's),
// naming the file and who may now read or change its records.
QString change(const QString &path);

// Remembers the file at `path` as it is now: its owner and who may write it.
void remember(const QString &path);

// For a save that failed with `driverText` on the connection `db` (or the
// file `fileName`): why, where SQLite says only that the database is read
// only: the file was moved away or replaced since it was opened, its log
// of changes or that log's index is another's that the user may not write,
// or its folder may not be written. Empty otherwise.
QString readOnlyReason(const QSqlDatabase &db, const QString &driverText);
QString readOnlyReason(const QString &fileName, const QString &driverText);

// Why SQLite cannot open or write the database file at `path`, whose full
// name (or its journal's) is longer than it takes; empty otherwise.
QString nameTooLong(const QString &path);

} // namespace SqlDatabaseFile

#endif
