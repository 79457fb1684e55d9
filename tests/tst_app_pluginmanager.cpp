#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_scriptobject.h"

#include "test_environment.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

namespace {

QStringList names(const AppPluginManager &manager)
{
    QStringList out;
    for (AppPlugin *plugin : manager.plugins())
        out << plugin->moduleName();
    return out;
}

QStringList messages(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TstAppPluginManager : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    TestDatabaseFiles m_db;

    // The manager never deletes its modules; the tests take them back.
    static void release(AppPluginManager &manager) { qDeleteAll(manager.plugins()); }

private slots:
    void filesLoadBeforeSubFoldersInNameOrder()
    {
        TestModules modules;
        modules.write(QStringLiteral("b_main.js"), QStringLiteral("b"), QStringLiteral("1"));
        modules.write(QStringLiteral("A_main.js"), QStringLiteral("A"), QStringLiteral("1"));
        modules.write(QStringLiteral("a/main.js"), QStringLiteral("a/main"), QStringLiteral("1"));
        modules.write(QStringLiteral("B/x/Main.js"), QStringLiteral("B/x/Main"), QStringLiteral("1"));
        modules.write(QStringLiteral("helper.js"), QStringLiteral("helper"), QStringLiteral("1"));
        modules.write(QStringLiteral(".hidden/main.js"), QStringLiteral("hidden"), QStringLiteral("1"));
        modules.write(QStringLiteral(".hidden_main.js"), QStringLiteral("hidden file"), QStringLiteral("1"));
        AppPluginManager manager(m_db.path(), nullptr);
        QVERIFY(manager.modulesSearchPath().isNull());
        manager.loadPlugins(modules.path());
        QCOMPARE(names(manager), QStringList({ "A", "b", "a/main", "B/x/Main" }));
        QCOMPARE(manager.modulesSearchPath(), modules.path());
        QCOMPARE(manager.plugins().at(0)->databaseName(), m_db.path());
        release(manager);
    }

    void linkedFolderLeadingBackLoadsNothingTwice()
    {
        TestModules modules;
        TestModules elsewhere;
        modules.write(QStringLiteral("a/x_main.js"), QStringLiteral("x"), QStringLiteral("1"));
        elsewhere.write(QStringLiteral("y_main.js"), QStringLiteral("y"), QStringLiteral("1"));
        QVERIFY(QFile::link(modules.path(), modules.path() + QStringLiteral("/a/up")));
        QVERIFY(QFile::link(elsewhere.path(), modules.path() + QStringLiteral("/b")));
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(modules.path());
        // A linked folder that is no loop is still scanned.
        QCOMPARE(names(manager), QStringList({ "x", "y" }));
        release(manager);
    }

    void badModulesAreSkipped()
    {
        TestModules modules;
        modules.write(QStringLiteral("xmain.JS"), QStringLiteral("upper"), QStringLiteral("1"));
        modules.writeRaw(QStringLiteral("syntax_main.js"), QStringLiteral("function ("));
        modules.writeRaw(QStringLiteral("throws_main.js"), QStringLiteral("throw 'x';"));
        modules.writeRaw(QStringLiteral("noname_main.js"), QStringLiteral("function getModuleVersion() { return 1; }"));
        modules.write(QStringLiteral("z_main.js"), QStringLiteral("good"), QStringLiteral("1"));
        AppPluginManager manager(m_db.path(), nullptr);
        QSignalSpy log(&manager, &AppPluginManager::sigLog);
        manager.loadPlugins(modules.path());
        QCOMPARE(names(manager), QStringList({ "good" }));
        const QStringList lines = messages(log);
        QVERIFY(
            lines.contains(QStringLiteral("Ignoring bad plugin at ") + modules.path() + QStringLiteral("/xmain.JS")));
        QVERIFY(lines.contains(QStringLiteral("One or more necessary module entry points are missing.")));
        QVERIFY(lines.contains(QStringLiteral("Searching for plugins here: ") + QDir(modules.path()).absolutePath()));
        QVERIFY(lines.contains(QStringLiteral("Found plugin: ") + modules.path() + QStringLiteral("/z_main.js")));
        QVERIFY(lines.contains(QStringLiteral("Add Plugin Path: ") + modules.path() + QStringLiteral("/z_main.js")));
        release(manager);
    }

    void missingFolderLoadsNothing()
    {
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(m_db.dir() + QStringLiteral("/no/such/folder"));
        QVERIFY(manager.plugins().isEmpty());
        QVERIFY(!manager.findPlugin(QStringLiteral("MainScreen")));
        QVERIFY(manager.availableModules().isEmpty());
    }

    void findsByNameAndVersion_data()
    {
        QTest::addColumn<QString>("secondVersion");
        QTest::addColumn<QString>("nameAndVersion");
        QTest::addColumn<int>("found"); // index in load order, -1 for none
        QTest::newRow("greatest") << "20130101"
                                  << "MainScreen" << 1;
        QTest::newRow("greatest, word behind the number") << "20130101 beta"
                                                          << "MainScreen" << 0;
        QTest::newRow("equal versions keep the first") << "20120412"
                                                       << "MainScreen" << 0;
        QTest::newRow("exact version") << "20130101"
                                       << "MainScreen,20120412" << 0;
        QTest::newRow("exact second") << "20130101"
                                      << "MainScreen,20130101" << 1;
        QTest::newRow("unknown version") << "20130101"
                                         << "MainScreen,1" << -1;
        QTest::newRow("empty version matches only empty") << "20130101"
                                                          << "MainScreen," << -1;
        QTest::newRow("name is case-sensitive") << "20130101"
                                                << "mainscreen" << -1;
        QTest::newRow("unknown name") << "20130101"
                                      << "Other" << -1;
        QTest::newRow("greater than int") << "99999999999"
                                          << "MainScreen" << 1;
    }
    void findsByNameAndVersion()
    {
        QFETCH(QString, secondVersion);
        QFETCH(QString, nameAndVersion);
        QFETCH(int, found);
        TestModules modules;
        modules.write(QStringLiteral("a/MainScreen_main.js"), QStringLiteral("MainScreen"), QStringLiteral("20120412"));
        modules.write(QStringLiteral("b/MainScreen_main.js"), QStringLiteral("MainScreen"), secondVersion);
        modules.write(QStringLiteral("c/other_main.js"), QStringLiteral("Other2"), QStringLiteral("9"));
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(modules.path());
        QCOMPARE(manager.plugins().size(), 3);
        AppPlugin *expected = found < 0 ? nullptr : manager.plugins().at(found);
        QCOMPARE(manager.findPlugin(nameAndVersion), expected);
        const int comma = nameAndVersion.indexOf(QLatin1Char(','));
        if (comma >= 0)
            QCOMPARE(manager.findPlugin(nameAndVersion.left(comma), nameAndVersion.mid(comma + 1)), expected);
        else
            QCOMPARE(manager.findPlugin(nameAndVersion, QString()), expected);
        release(manager);
    }

    void nullNameFindsNothing()
    {
        TestModules modules;
        modules.write(QStringLiteral("a_main.js"), QStringLiteral(""), QStringLiteral("1"));
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(modules.path());
        QSignalSpy log(&manager, &AppPluginManager::sigLog);
        QVERIFY(!manager.findPlugin(QString(), QString()));
        QVERIFY(manager.findPlugin(QStringLiteral(""), QString()));
        QCOMPARE(messages(log).at(0), QStringLiteral("Searching for plugin  "));
        release(manager);
    }

    void describesTheLoadedModules()
    {
        TestModules modules;
        modules.write(QStringLiteral("a_main.js"), QStringLiteral("Plain"), QStringLiteral("3"));
        modules.writeRaw(QStringLiteral("b_main.js"),
            QStringLiteral("function getModuleName() { return 'Web'; }\n"
                           "function getModuleVersion() { return '4'; }\n"
                           "function getModuleHTMLUI() { return 'w.html'; }\n"));
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(modules.path());
        QCOMPARE(manager.availableModules(),
            QStringList({ QStringLiteral("Plain,3,,") + QDir::toNativeSeparators(modules.path() + "/a_main.js"),
                QStringLiteral("Web,4,w.html,") + QDir::toNativeSeparators(modules.path() + "/b_main.js") }));
        release(manager);
    }

    void relaysModuleMessagesButNotExecMessages()
    {
        TestModules modules;
        modules.write(QStringLiteral("a_main.js"), QStringLiteral("A"), QStringLiteral("1"),
            QStringLiteral("function f() { return {VALUE: 1}; }"));
        AppPluginManager manager(m_db.path(), nullptr);
        QSignalSpy log(&manager, &AppPluginManager::sigLog);
        manager.loadPlugins(modules.path());
        QVERIFY(messages(log).last().startsWith(QStringLiteral("Loaded plugin: ")));
        log.clear();
        DataPluginExecInfo request;
        request.functionName = QStringLiteral("f");
        qDeleteAll(manager.plugins().at(0)->exec({ &request }));
        QCOMPARE(messages(log), QStringList({ "Plugin execOne: Calling f\n" }));
        release(manager);
    }

    void loadingTwiceAddsSecondCopies()
    {
        TestModules modules;
        modules.write(QStringLiteral("a_main.js"), QStringLiteral("A"), QStringLiteral("1"));
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(modules.path());
        manager.loadPlugins(modules.path());
        QCOMPARE(names(manager), QStringList({ "A", "A" }));
        QVERIFY(manager.plugins().at(0) != manager.plugins().at(1));
        QCOMPARE(manager.findPlugin(QStringLiteral("A")), manager.plugins().at(0));
        release(manager);
    }

    void destroyingTheManagerKeepsTheModules()
    {
        TestModules modules;
        modules.write(QStringLiteral("a_main.js"), QStringLiteral("A"), QStringLiteral("1"),
            QStringLiteral("function f() { return {VALUE: 'alive'}; }"));
        QPointer<AppPlugin> kept;
        {
            AppPluginManager manager(m_db.path(), nullptr);
            manager.loadPlugins(modules.path());
            kept = manager.findPlugin(QStringLiteral("A"));
            QVERIFY(kept);
            QVERIFY(!kept->parent());
        }
        QVERIFY(kept);
        AppScriptObject *out = kept->execOne(QStringLiteral("f"), {});
        delete out;
        delete kept.data();
    }

    void shippedCalculationModuleLoads()
    {
        AppPluginManager manager(m_db.path(), nullptr);
        manager.loadPlugins(TestModules::shippedModulesPath());
        AppPlugin *plugin = manager.findPlugin(QStringLiteral("MainScreen"));
        QVERIFY(plugin);
        release(manager);
    }
};

QTEST_MAIN(TstAppPluginManager)
#include "tst_app_pluginmanager.moc"
