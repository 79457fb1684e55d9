#include "app/app_scriptglobals.h"

#include "app/app_scriptplot.h"
#include "sql/sql_database.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_query.h"

#include <QScriptEngine>

namespace AppScriptGlobals {

void install(QScriptEngine *engine, const QString &databaseName, const LogFunction &log)
{
    const QString defaultName = sqlDatabase::defaultConnection();
    if (!dbEngine.isOpen(defaultName)) {
        if (log)
            log(QStringLiteral("Attempting to open DB connection"), 4);
        bool opened = false;
        {
            QSqlDatabase db = dbEngine.addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("localhost"), databaseName,
                defaultName, QString(), QString());
            opened = db.open();
        }
        // The module is still made; its scripts' statements fail later.
        const QString refused = SqlJournalGuard::takeRefusal();
        if (!opened && log)
            log(QStringLiteral("Failed to establish connection to database")
                    + (refused.isEmpty() ? QString() : QStringLiteral(": ") + refused),
                1);
    }

    sqlQuery::registerScriptTypes(engine);
    QScriptValue global = engine->globalObject();
    // The registry is no heap object: a script must not be able to delete it.
    global.setProperty(QStringLiteral("m_db"),
        engine->newQObject(&dbEngine, QScriptEngine::QtOwnership, QScriptEngine::ExcludeDeleteLater));
    // Children of the engine: its scripts are all that reach them, and they go with it.
    auto *query = new sqlQuery(engine, databaseName, false);
    auto *query2 = new sqlQuery(engine, databaseName, false);
    auto *plot = new AppScriptPlot(engine);
    global.setProperty(QStringLiteral("m_query"), engine->newQObject(query, QScriptEngine::QtOwnership));
    global.setProperty(QStringLiteral("m_query2"), engine->newQObject(query2, QScriptEngine::QtOwnership));
    global.setProperty(QStringLiteral("m_plot"), engine->newQObject(plot, QScriptEngine::QtOwnership));
}

} // namespace AppScriptGlobals
