#include "app/app_plugin.h"
#include "app/app_scriptglobals.h"
#include "app/app_scriptobject.h"
#include "app/app_scriptplot.h"
#include "sql/sql_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_sqlconnections.h"

#include <QScriptEngine>
#include <QSqlDatabase>
#include <QtTest>
#include <memory>

using namespace TestSqlConnections;

class TstAppScriptGlobals : public QObject
{
    Q_OBJECT

private:
    TestDatabaseFiles m_files;
    QList<QPair<QString, int>> m_logs;

    // A database file as a main window opens it: its connection named by its path, one row in table m.
    QString windowDatabase(const QString &fileName, const QString &marker)
    {
        const QString path = m_files.path(fileName);
        const bool ok
            = openWindowConnection(path, { "CREATE TABLE m (v TEXT)", "INSERT INTO m VALUES ('" + marker + "')" });
        return ok ? path : QString();
    }

    std::unique_ptr<QScriptEngine> engineOn(const QString &databaseName)
    {
        std::unique_ptr<QScriptEngine> engine(new QScriptEngine);
        AppScriptGlobals::install(engine.get(), databaseName,
            [this](const QString &message, int level) { m_logs.append(qMakePair(message, level)); });
        return engine;
    }

    static QString call(AppPlugin *plugin, const QString &function, const QString &input)
    {
        AppScriptObject in("v", input, AppScriptObject::Normal);
        std::unique_ptr<AppScriptObject> out(plugin->execOne(function, { &in }));
        return out->property("VALUE").toString();
    }

private slots:
    void init()
    {
        m_logs.clear();
        removeSqlLog();
    }
    void cleanup() { removeAll(); }

    void publishesTheFourGlobalsAndKeepsTheRegistryAlive()
    {
        std::unique_ptr<QScriptEngine> engine = engineOn(windowDatabase("g.db", "g"));
        QCOMPARE(engine
                     ->evaluate("[typeof m_db.open, typeof m_query.prepare, typeof m_query2.exec,"
                                " typeof m_plot.sigLog, typeof m_plot.objectName, typeof m_db.deleteLater].join(',')")
                     .toString(),
            QStringLiteral("function,function,function,function,string,undefined"));
        const QScriptValue global = engine->globalObject();
        QVERIFY(global.property("m_db").toQObject() == &dbEngine);
        QVERIFY(qobject_cast<AppScriptPlot *>(global.property("m_plot").toQObject()));
        QVERIFY(global.property("m_query").toQObject() != global.property("m_query2").toQObject());
        // dbEngine is not a heap object: deleting it would end the process.
        engine->evaluate("try { m_db.deleteLater(); } catch (e) {}");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dbEngine.isOpen(QLatin1String(QSqlDatabase::defaultConnection)));
    }

    void firstModuleOpensTheDefaultConnectionAndKeepsIt()
    {
        const QString first = windowDatabase("one.db", "one"), second = windowDatabase("two.db", "two");
        std::unique_ptr<QScriptEngine> a = engineOn(first);
        QCOMPARE(m_logs, (QList<QPair<QString, int>> { { "Attempting to open DB connection", 4 } }));
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        QVERIFY(db.isOpen());
        QCOMPARE(QStringList({ db.driverName(), db.hostName(), db.databaseName(), db.userName() }),
            QStringList({ "QSQLITE", "localhost", first, "" }));
        // Later modules, of this window or of another file, find it open and say nothing.
        m_logs.clear();
        std::unique_ptr<QScriptEngine> again = engineOn(first), b = engineOn(second);
        QVERIFY(m_logs.isEmpty());
        QCOMPARE(column(QLatin1String(QSqlDatabase::defaultConnection), "SELECT v FROM m"), QStringList { "one" });
        // Each module's queries run on its own window's file.
        const QString script = "m_query.exec('SELECT v FROM m'); m_query.next(); m_query2.exec('SELECT v FROM m');"
                               "m_query2.next(); m_query.value(0) + '/' + m_query2.value(0)";
        QCOMPARE(a->evaluate(script).toString(), QStringLiteral("one/one"));
        QCOMPARE(b->evaluate(script).toString(), QStringLiteral("two/two"));
    }

    void unopenableFileIsLoggedAndModuleStaysUsable()
    {
        std::unique_ptr<QScriptEngine> engine = engineOn(m_files.path("no/such/folder/x.db"));
        QCOMPARE(m_logs.value(1), qMakePair(QStringLiteral("Failed to establish connection to database"), 1));
        QCOMPARE(engine->evaluate("m_query.exec('SELECT 1') + ',' + typeof m_plot").toString(),
            QStringLiteral("false,object"));
        QVERIFY(!engine->hasUncaughtException());
    }

    void moduleWritesAndReadsThroughSafeBindingAndReopens()
    {
        // A module that writes and reads the table m through m_query.
        static const char *body = R"js(
function addRow(a) {
    m_query.prepare("INSERT INTO m (v) VALUES (:v)");
    m_query.bindValue(":v", a.VALUE);
    return { NAME : "added", VALUE : m_query.exec() };
}
function findRow(a) {
    m_query.prepare("SELECT count(*) FROM m WHERE v = :v");
    m_query.bindValue(":v", a.VALUE);
    return { NAME : "found", VALUE : m_query.exec() && m_query.next() ? m_query.value(0) : "failed" };
}
)js";
        TestModules modules;
        const QString path = windowDatabase("mod.db", "start"), file = modules.write("db_main.js", "Db", "1", body);
        std::unique_ptr<AppPlugin> plugin(AppPlugin::generate(file, path));
        QVERIFY(plugin && plugin->load(file));
        const QString hostile = "it's'); DELETE FROM m; --";
        QCOMPARE(call(plugin.get(), "addRow", hostile), QStringLiteral("true"));
        QCOMPARE(call(plugin.get(), "findRow", hostile), QStringLiteral("1"));
        QCOMPARE(call(plugin.get(), "findRow", "x' OR '1'='1"), QStringLiteral("0"));
        QCOMPARE(sqlLogLines().value(0), QStringLiteral("INSERT INTO m (v) VALUES ('it''s''); DELETE FROM m; --')"));
        // A closed connection is opened again for the next statement.
        dbEngine.close(path);
        QCOMPARE(call(plugin.get(), "addRow", "again"), QStringLiteral("true"));
        QCOMPARE(column(path, "SELECT v FROM m ORDER BY rowid"), (QStringList { "start", hostile, "again" }));
    }
};

TEST_GUILESS_MAIN(TstAppScriptGlobals)
#include "tst_app_scriptglobals.moc"
