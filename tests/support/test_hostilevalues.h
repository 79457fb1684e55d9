#ifndef TEST_HOSTILEVALUES_H
#define TEST_HOSTILEVALUES_H

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QScriptEngine;

// Values that try to break out of a statement, and one script that binds each
// through m_query in INSERT, SELECT, UPDATE and DELETE. The same statements run
// with the driver's own binding on a second table are the reference: both
// tables must end up holding the same rows.
namespace TestHostileValues {

struct Case
{
    QString name;
    QString script; // a script expression giving the value
    QVariant reference; // what the driver is given for the reference table
};

// Every case for a connection of that driver ("QSQLITE", "QMYSQL", "QODBC");
// infinities only where the server stores them (not MySQL).
QList<Case> cases(const QString &driverName);

// Creates the tables e and d (id, name, k, v), each with the rows
// ('alpha', 1) and ('beta', 2), in the dialect of the connection's driver.
bool createTables(QSqlDatabase db);

// Installs the script function exercise(value) on an engine that holds
// m_query; its answer describes each statement's result.
void installScript(QScriptEngine *engine);
// The value of a case in that engine.
QVariant runScript(QScriptEngine *engine, const Case &c, const QString &table);

// The warnings that binding the value through m_query in every statement gives.
void expectWarnings(const Case &c);

// The same statements on table, bound by the driver; the same kind of answer.
QString runByDriver(QSqlDatabase db, const QString &table, const QVariant &value);

// Every row of table in id order, each column as the driver reads it.
QList<QVariantList> rows(QSqlDatabase db, const QString &table);

} // namespace TestHostileValues

#endif
