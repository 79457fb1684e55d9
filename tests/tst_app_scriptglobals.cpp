#include "app/app_plugin.h"
#include "app/app_scriptglobals.h"
#include "app/app_scriptobject.h"
#include "app/app_scriptplot.h"
#include "sql/sql_database.h"
#include "test_environment.h"
#include "test_sqlconnections.h"

#include <QScriptEngine>
#include <QSignalSpy>
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

    // A database file as a main window opens it: its connection named by its path.
    QString windowDatabase(const QString &fileName, const QString &marker)
    {
        const QString path = m_files.path(fileName);
        QFile::remove(path);
        if (!openWindowConnection(path,
                { QStringLiteral("CREATE TABLE m (v TEXT)"),
                    QStringLiteral("INSERT INTO m VALUES ('%1')").arg(marker) }))
            return QString();
        return path;
    }

    std::unique_ptr<QScriptEngine> engineOn(const QString &databaseName)
    {
        std::unique_ptr<QScriptEngine> engine(new QScriptEngine);
        AppScriptGlobals::install(engine.get(), databaseName,
            [this](const QString &message, int level) { m_logs.append(qMakePair(message, level)); });
        return engine;
    }

    // A calculation-style module that reads and writes the table m through m_query.
    std::unique_ptr<AppPlugin> moduleOn(TestModules &modules, const QString &databaseName)
    {
        static const char *body = R"js(
function addRow(a) {
    m_query.prepare("INSERT INTO m (v) VALUES (:v)");
        m_query.bindValue(":v", a.VALUE);
        return { NAME : "added", VALUE : m_query.exec() };
    }
    function findRow(a)
    {
        m_query.prepare("SELECT count(*) FROM m WHERE v = :v");
        m_query.bindValue(":v", a.VALUE);
        var n = m_query.exec() && m_query.next() ? m_query.value(0) : "failed";
        return { NAME : "found", VALUE : n };
    }
    function firstRow()
    {
        var ok = m_query2.exec("SELECT v FROM m ORDER BY rowid");
        return { NAME : "first", VALUE : ok && m_query2.next() ? m_query2.value(0) : "none" };
    }
    function plotName() { return { NAME : "plot", VALUE : typeof m_plot + ":" + (m_db.open ? "db" : "") }; }
)js";
        const QString path = modules.write(
            QStringLiteral("db_main.js"), QStringLiteral("Db"), QStringLiteral("1"), QString::fromLatin1(body));
        std::unique_ptr<AppPlugin> plugin(AppPlugin::generate(path, databaseName));
        if (!plugin || !plugin->load(path))
            return nullptr;
        return plugin;
    }

    static QString callValue(AppPlugin *plugin, const QString &function, const QString &input = QString())
    {
        AppScriptObject in(QStringLiteral("v"), input, AppScriptObject::Normal);
        QList<AppScriptObject *> inputs;
        if (!input.isNull())
            inputs << &in;
        std::unique_ptr<AppScriptObject> out(plugin->execOne(function, inputs));
        return out->property(QStringLiteral("VALUE")).toString();
    }

    static QString defaultDatabaseName()
    {
        return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).databaseName();
    }

private slots:
    void init()
    {
        m_logs.clear();
        removeSqlLog();
    }
    void cleanup() { removeAll(); }

    void publishesTheFourGlobals()
    {
        const QString path = windowDatabase(QStringLiteral("g.db"), QStringLiteral("g"));
        QVERIFY(!path.isEmpty());
        std::unique_ptr<QScriptEngine> engine = engineOn(path);
        QCOMPARE(engine
                     ->evaluate(QStringLiteral("[typeof m_db.open, typeof m_query.prepare, typeof m_query2.exec,"
                                               " typeof m_plot.sigLog, typeof m_plot.objectName].join(',')"))
                     .toString(),
            QStringLiteral("function,function,function,function,string"));
        QVERIFY(engine->globalObject().property(QStringLiteral("m_db")).toQObject() == &dbEngine);
        QVERIFY(qobject_cast<AppScriptPlot *>(engine->globalObject().property(QStringLiteral("m_plot")).toQObject()));
        QVERIFY(engine->globalObject().property(QStringLiteral("m_query")).toQObject()
            != engine->globalObject().property(QStringLiteral("m_query2")).toQObject());
    }

    void scriptCannotDeleteTheRegistry()
    {
        // dbEngine is not a heap object: deleting it would end the process.
        const QString path = windowDatabase(QStringLiteral("del.db"), QStringLiteral("d"));
        std::unique_ptr<QScriptEngine> engine = engineOn(path);
        QCOMPARE(engine->evaluate(QStringLiteral("typeof m_db.deleteLater")).toString(), QStringLiteral("undefined"));
        engine->evaluate(QStringLiteral("try { m_db.deleteLater(); } catch (e) {}"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dbEngine.isOpen(QLatin1String(QSqlDatabase::defaultConnection)));
    }

    void firstModuleOpensTheDefaultConnection()
    {
        const QString path = windowDatabase(QStringLiteral("first.db"), QStringLiteral("first"));
        std::unique_ptr<QScriptEngine> engine = engineOn(path);
        QCOMPARE(m_logs.value(0), qMakePair(QStringLiteral("Attempting to open DB connection"), 4));
        QCOMPARE(m_logs.size(), 1);
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        QVERIFY(db.isOpen());
        QCOMPARE(db.driverName(), QStringLiteral("QSQLITE"));
        QCOMPARE(db.hostName(), QStringLiteral("localhost"));
        QCOMPARE(db.databaseName(), path);
        QCOMPARE(db.userName(), QString());

        // A later module of the same window finds it open and says nothing.
        m_logs.clear();
        std::unique_ptr<QScriptEngine> second = engineOn(path);
        QVERIFY(m_logs.isEmpty());
    }

    void secondFileLeavesTheDefaultOnTheFirst()
    {
        const QString first = windowDatabase(QStringLiteral("one.db"), QStringLiteral("one"));
        const QString second = windowDatabase(QStringLiteral("two.db"), QStringLiteral("two"));
        std::unique_ptr<QScriptEngine> a = engineOn(first);
        std::unique_ptr<QScriptEngine> b = engineOn(second);
        QCOMPARE(defaultDatabaseName(), first);
        // Each module's queries run on its own window's file.
        const QString script = QStringLiteral("m_query.exec('SELECT v FROM m'); m_query.next();"
                                              "m_query2.exec('SELECT v FROM m'); m_query2.next();"
                                              "m_query.value(0) + '/' + m_query2.value(0)");
        QCOMPARE(a->evaluate(script).toString(), QStringLiteral("one/one"));
        QCOMPARE(b->evaluate(script).toString(), QStringLiteral("two/two"));
        QCOMPARE(column(QLatin1String(QSqlDatabase::defaultConnection), QStringLiteral("SELECT v FROM m")),
            QStringList { QStringLiteral("one") });
    }

    void unopenableFileIsLoggedAndModuleStaysUsable()
    {
        const QString path = m_files.path(QStringLiteral("no/such/folder/x.db"));
        std::unique_ptr<QScriptEngine> engine = engineOn(path);
        QCOMPARE(m_logs.size(), 2);
        QCOMPARE(m_logs.at(1), qMakePair(QStringLiteral("Failed to establish connection to database"), 1));
        QCOMPARE(engine->evaluate(QStringLiteral("m_query.exec('SELECT 1') + ',' + typeof m_plot")).toString(),
            QStringLiteral("false,object"));
        QVERIFY(!engine->hasUncaughtException());
    }

    void scriptWritesThroughSafeBinding()
    {
        const QString path = windowDatabase(QStringLiteral("w.db"), QStringLiteral("w"));
        std::unique_ptr<QScriptEngine> engine = engineOn(path);
        engine->evaluate(QStringLiteral("m_query.prepare('INSERT INTO m (v) VALUES (:v)');"
                                        "m_query.bindValue(':v', \"x'); DELETE FROM m; --\"); m_query.exec();"));
        QCOMPARE(column(path, QStringLiteral("SELECT v FROM m ORDER BY rowid")),
            (QStringList { QStringLiteral("w"), QStringLiteral("x'); DELETE FROM m; --") }));
        QCOMPARE(sqlLogLines(), QStringList { QStringLiteral("INSERT INTO m (v) VALUES ('x''); DELETE FROM m; --')") });
    }

    void moduleReadsAndWritesThroughItsQueries()
    {
        TestModules modules;
        const QString path = windowDatabase(QStringLiteral("mod.db"), QStringLiteral("start"));
        std::unique_ptr<AppPlugin> plugin = moduleOn(modules, path);
        QVERIFY(plugin);
        QCOMPARE(callValue(plugin.get(), QStringLiteral("plotName")), QStringLiteral("object:db"));
        const QString hostile = QStringLiteral("it's'); DELETE FROM m; --");
        QCOMPARE(callValue(plugin.get(), QStringLiteral("addRow"), hostile), QStringLiteral("true"));
        QCOMPARE(callValue(plugin.get(), QStringLiteral("findRow"), hostile), QStringLiteral("1"));
        QCOMPARE(
            callValue(plugin.get(), QStringLiteral("findRow"), QStringLiteral("x' OR '1'='1")), QStringLiteral("0"));
        QCOMPARE(callValue(plugin.get(), QStringLiteral("firstRow")), QStringLiteral("start"));
        QCOMPARE(column(path, QStringLiteral("SELECT count(*) FROM m")), QStringList { QStringLiteral("2") });
        QCOMPARE(sqlLogLines().value(0), QStringLiteral("INSERT INTO m (v) VALUES ('it''s''); DELETE FROM m; --')"));
    }

    void modulesOfTwoFilesShareTheFirstDefaultConnection()
    {
        TestModules modules;
        const QString first = windowDatabase(QStringLiteral("mone.db"), QStringLiteral("one"));
        const QString second = windowDatabase(QStringLiteral("mtwo.db"), QStringLiteral("two"));
        std::unique_ptr<AppPlugin> a = moduleOn(modules, first);
        std::unique_ptr<AppPlugin> b = moduleOn(modules, second);
        QVERIFY(a && b);
        QCOMPARE(defaultDatabaseName(), first);
        QCOMPARE(callValue(a.get(), QStringLiteral("firstRow")), QStringLiteral("one"));
        QCOMPARE(callValue(b.get(), QStringLiteral("firstRow")), QStringLiteral("two"));
        QCOMPARE(defaultDatabaseName(), first);
    }

    void moduleOnUnopenableFileStillLoadsAndCalls()
    {
        TestModules modules;
        std::unique_ptr<AppPlugin> plugin = moduleOn(modules, m_files.path(QStringLiteral("no/such/dir/x.db")));
        QVERIFY(plugin);
        QCOMPARE(callValue(plugin.get(), QStringLiteral("firstRow")), QStringLiteral("none"));
    }

    void closedConnectionIsReopenedForAModule()
    {
        TestModules modules;
        const QString path = windowDatabase(QStringLiteral("reopen.db"), QStringLiteral("r"));
        std::unique_ptr<AppPlugin> plugin = moduleOn(modules, path);
        QVERIFY(plugin);
        dbEngine.close(path);
        QCOMPARE(callValue(plugin.get(), QStringLiteral("addRow"), QStringLiteral("again")), QStringLiteral("true"));
        QCOMPARE(column(path, QStringLiteral("SELECT count(*) FROM m WHERE v = 'again'")),
            QStringList { QStringLiteral("1") });
    }
};

QTEST_GUILESS_MAIN(TstAppScriptGlobals)
#include "tst_app_scriptglobals.moc"
