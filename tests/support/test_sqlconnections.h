#ifndef TEST_SQLCONNECTIONS_H
#define TEST_SQLCONNECTIONS_H

#include <QString>
#include <QStringList>

// SQLite connections for tests of the database layer.
namespace TestSqlConnections {

// Registers and opens a connection named by the file path, as a main window
// does for its database file, and runs the given statements on it.
bool openWindowConnection(const QString &path, const QStringList &statements = QStringList());

// Registers and opens the toolkit's default connection on path.
bool openDefaultConnection(const QString &path);

// A DSN-less ODBC connection string for the SQLite file at path, through the
// SQLite ODBC driver; empty when that driver is not installed.
QString odbcConnectString(const QString &path);

// Closes and removes every connection of the process.
void removeAll();

// The rows of a one-column query on the connection, as text; "<error>" on failure.
QStringList column(const QString &connectionName, const QString &sql);

// The lines of "sql.log" in the current folder; with `older`, those of its
// older part "sql.log.1" first.
QStringList sqlLogLines(bool older = false);
void removeSqlLog();

} // namespace TestSqlConnections

#endif
