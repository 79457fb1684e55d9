#ifndef APP_SCRIPTGLOBALS_H
#define APP_SCRIPTGLOBALS_H

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>

class QScriptEngine;
class sqlQuery;

// What every module engine is given while it is built: the scripts' default
// connection and the globals m_db, m_query, m_query2 and m_plot.
namespace AppScriptGlobals {

using LogFunction = std::function<void(const QString &message, int logLevel)>;

// Opens the default connection on databaseName when it is not open yet (so
// the first module of the run decides its file), then publishes the globals.
// The objects made here outlive the engine; log receives the module's messages.
void install(QScriptEngine *engine, const QString &databaseName, const LogFunction &log);

// Before a call of a module's script from the program itself: waits, the
// event loop running (user input held back), while another program holds
// the file of the scripts' queries locked, as the windows' own reads do, so
// that no statement of the call freezes the window waiting for it. Nothing
// of the call runs meanwhile. Empty once the file may be read (or when it is
// no SQLite file, or a transaction under way on it holds it already);
// otherwise, held beyond the wait, that the file is in use and what to do.
QString waitForDatabase(QScriptEngine *engine);

// What one call of a module's script may leave open on the database ends with
// the call, however the call ends (with a result, an error, or stopped at its
// time limit in the middle of a statement's rows): every statement of the
// engine's query objects, and a transaction the call began, which is rolled
// back. An open statement keeps every other connection from writing the file.
// Made before the call; its end ends them.
class CallScope
{
public:
    CallScope(QScriptEngine *engine, const LogFunction &log);
    ~CallScope();
    CallScope(const CallScope &) = delete;
    CallScope &operator=(const CallScope &) = delete;

private:
    QList<QPointer<sqlQuery>> m_queries;
    QSet<QString> m_transactionsBefore; // connections inside a transaction before the call
    LogFunction m_log;
};

} // namespace AppScriptGlobals

#endif
