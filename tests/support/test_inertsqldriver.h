#ifndef TEST_INERTSQLDRIVER_H
#define TEST_INERTSQLDRIVER_H

#include <QString>

// The ODBC and MySQL drivers are not installed where the tests run. Registering
// this inert driver under their names lets a connection of that kind exist and
// keep the names, options and port set on it; it opens without a server and
// every statement on it fails.
namespace TestInertSqlDriver {
void registerAs(const QString &driverName);
}

#endif
