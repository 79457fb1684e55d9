#include "app/app_scriptglobals.h"

#include "app/app_scriptplot.h"
#include "sql/sql_database.h"
#include "sql/sql_journalguard.h"
#include "sql/sql_query.h"
#include "sql/sql_transaction.h"

#include <QScriptEngine>
#include <QSqlError>
#include <QSqlQuery>

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
            // A statement holds the event loop only briefly; a call waits before it begins.
            SqlTransaction::waitBriefly(db);
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

QString waitForDatabase(QScriptEngine *engine)
{
    QSet<QString> looked;
    const QList<sqlQuery *> queries = engine->findChildren<sqlQuery *>(QString(), Qt::FindDirectChildrenOnly);
    for (sqlQuery *query : queries) {
        const QString name = query->connectionName();
        if (looked.contains(name) || query->inTransaction())
            continue;
        looked.insert(name);
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        if (!db.isOpen() || db.driverName() != QLatin1String("QSQLITE"))
            continue;
        // A read of the file's own, as every statement of the call makes.
        QSqlQuery probe(db);
        if (SqlTransaction::execWhileLocked(probe, QStringLiteral("SELECT 1 FROM sqlite_master LIMIT 1")))
            continue;
        // A file put beside it that is not used fails the call as well, and
        // is named as the open names it.
        const QString refused = SqlJournalGuard::takeRefusal(db.databaseName());
        if (!refused.isEmpty())
            return refused;
        if (SqlTransaction::isLocked(probe.lastError()))
            return SqlTransaction::report(db.databaseName(), probe.lastError().text());
    }
    return QString();
}

CallScope::CallScope(QScriptEngine *engine, const LogFunction &log) : m_log(log)
{
    const QList<sqlQuery *> queries = engine->findChildren<sqlQuery *>(QString(), Qt::FindDirectChildrenOnly);
    for (sqlQuery *query : queries) {
        m_queries << query;
        if (query->inTransaction())
            m_transactionsBefore.insert(query->connectionName());
    }
}

CallScope::~CallScope()
{
    for (const QPointer<sqlQuery> &query : qAsConst(m_queries)) {
        if (query)
            query->finish();
    }
    // A transaction that was open before the call (a window's, under way)
    // is not the call's to end.
    QSet<QString> ended = m_transactionsBefore;
    for (const QPointer<sqlQuery> &query : qAsConst(m_queries)) {
        if (!query || ended.contains(query->connectionName()) || !query->inTransaction())
            continue;
        ended.insert(query->connectionName());
        query->rollbackTransaction();
        if (m_log)
            m_log(QStringLiteral("A module's call left a transaction open on %1; it was rolled back")
                      .arg(query->connectionName()),
                1);
    }
}

} // namespace AppScriptGlobals
