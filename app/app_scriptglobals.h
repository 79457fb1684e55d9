#ifndef APP_SCRIPTGLOBALS_H
#define APP_SCRIPTGLOBALS_H

#include <QString>
#include <functional>

class QScriptEngine;

// What every module engine is given while it is built: the scripts' default
// connection and the globals m_db, m_query, m_query2 and m_plot.
namespace AppScriptGlobals {

using LogFunction = std::function<void(const QString &message, int logLevel)>;

// Opens the default connection on databaseName when it is not open yet (so
// the first module of the run decides its file), then publishes the globals.
// The objects made here outlive the engine; log receives the module's messages.
void install(QScriptEngine *engine, const QString &databaseName, const LogFunction &log);

} // namespace AppScriptGlobals

#endif
