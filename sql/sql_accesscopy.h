#ifndef SQL_ACCESSCOPY_H
#define SQL_ACCESSCOPY_H

#include "app/app_accessreadercontract.h"

#include <QString>
#include <QStringList>

// The work of the reader of the older Access files, a program of its own
// (app/main_accessreader.cpp): the ODBC driver that reads them runs only
// there, so that a damaged file can crash or hang that program and never
// the one that imports. It checks that a file opens as an Access database,
// and copies tables of it into a new SQLite file, which the import engine
// then reads as it reads any SQLite source.
namespace SqlAccessCopy {

// What a run of the reader ends with, as its exit code.
using Exit = AppAccessReaderContract::Exit;

// Whether the file looks like an Access database and its catalog reads
// through the ODBC driver `driver`; `why` says what is wrong.
Exit check(const QString &file, const QString &driver, QString *why);

// The tables of the file named in `tables` (every table when it is empty;
// names in any letter case, those the file lacks passed over), column for
// column and row for row, into the new SQLite file `copy`; `why` says what
// went wrong. Each table is copied apart: one that cannot be copied is left
// out and named in `warnings`, as is one whose definition counts other rows
// than could be read, and one whose definition or pages hold what no sound
// file holds.
Exit copy(const QString &file, const QString &copy, const QStringList &tables, const QString &driver, QString *why,
    QStringList *warnings);

} // namespace SqlAccessCopy

#endif
