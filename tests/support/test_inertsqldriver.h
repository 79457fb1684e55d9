#ifndef TEST_INERTSQLDRIVER_H
#define TEST_INERTSQLDRIVER_H

#include <QString>

// A stand-in for ODBC-to-TDS (an ODBC connection to a SQL Server), which
// nothing installed where the tests run can show; MySQL and ODBC themselves
// are tested on a real server and a real driver. Registered under a driver's
// name, it lets a connection of that kind exist and keep the names, options
// and port set on it; it opens without a server and every statement on it
// fails. While registered it hides the real driver of that name.
namespace TestInertSqlDriver {
void registerAs(const QString &driverName);
// The real driver of that name again.
void unregister(const QString &driverName);
} // namespace TestInertSqlDriver

#endif
