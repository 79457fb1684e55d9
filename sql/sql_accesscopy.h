#ifndef SQL_ACCESSCOPY_H
#define SQL_ACCESSCOPY_H

#include "app/app_accessreadercontract.h"

#include <QString>

// The work of the reader of the older Access files, a program of its own
// (app/main_accessreader.cpp): the ODBC driver that reads them runs only
// there, so that a damaged file can crash or hang that program and never
// the one that imports. It checks that a file opens as an Access database,
// and copies every table of it into a new SQLite file, which the import
// engine then reads as it reads any SQLite source.
namespace SqlAccessCopy {

// What a run of the reader ends with, as its exit code.
using Exit = AppAccessReaderContract::Exit;

// Whether the file looks like an Access database and its catalog reads
// through the ODBC driver `driver`; `why` says what is wrong.
Exit check(const QString &file, const QString &driver, QString *why);

// Every table of the file, column for column and row for row, into the new
// SQLite file `copy`, in one transaction; `why` says what went wrong.
Exit copy(const QString &file, const QString &copy, const QString &driver, QString *why);

} // namespace SqlAccessCopy

#endif
