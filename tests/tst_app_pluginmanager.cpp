#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_scriptobject.h"

#include "test_environment.h"
#include "test_log.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

class TstAppPluginManager : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    TestDatabaseFiles m_db;
    std::unique_ptr<TestModules> m_modules;
    std::unique_ptr<AppPluginManager> m_manager;
    std::unique_ptr<QSignalSpy> m_log;

    QStringList names() const
    {
        QStringList out;
        for (AppPlugin *plugin : m_manager->plugins())
            out << plugin->moduleName();
        return out;
    }
    QStringList messages() const
    {
        QStringList out;
        for (const QList<QVariant> &args : *m_log)
            out << args.at(0).toString();
        return out;
    }
    void write(const QString &relPath, const QString &name, const QString &version = "1", const QString &body = "")
    {
        m_modules->write(relPath, name, version, body);
    }

private slots:
    void init()
    {
        m_modules.reset(new TestModules);
        m_manager.reset(new AppPluginManager(m_db.path(), nullptr));
        m_log.reset(new QSignalSpy(m_manager.get(), &AppPluginManager::sigLog));
    }
    void cleanup() { m_manager.reset(); }

    void filesLoadBeforeSubFoldersInNameOrderAndBadModulesAreSkipped()
    {
        const QString dir = m_modules->path();
        for (const QString file : { "b_main.js", "A_main.js", "a/main.js", "B/x/Main.js", "helper.js",
                 ".hidden/main.js", ".hidden_main.js", "xmain.JS" })
            write(file, file.left(file.lastIndexOf('.'))); // named by their file
        m_modules->writeRaw("syntax_main.js", "function (");
        m_modules->writeRaw("throws_main.js", "throw 'x';");
        m_modules->writeRaw("noname_main.js", "function getModuleVersion() { return 1; }");
        m_modules->writeRaw("web_main.js",
            "function getModuleName() { return 'Web'; }\n"
            "function getModuleVersion() { return '4'; }\n"
            "function getModuleHTMLUI() { return 'w.html'; }\n");
        QVERIFY(m_manager->modulesSearchPath().isNull());
        // Each bad module is logged as a warning, at each load.
        auto expectBadModules = [] {
            TestLog::ignore(QtWarningMsg, "One or more necessary module entry points are missing.");
            TestLog::ignore(QtWarningMsg, QRegularExpression("^Error: .* LineNumber: 1$"));
            TestLog::ignore(QtWarningMsg, "Plugin Error: x");
        };
        expectBadModules();
        m_manager->loadPlugins(dir);
        QCOMPARE(names(), QStringList({ "A_main", "b_main", "Web", "a/main", "B/x/Main" }));
        QCOMPARE(m_manager->modulesSearchPath(), dir);
        QCOMPARE(m_manager->plugins().at(0)->databaseName(), m_db.path());
        QCOMPARE(m_manager->availableModules().mid(1, 2),
            QStringList({ "b_main,1,," + QDir::toNativeSeparators(dir + "/b_main.js"),
                "Web,4,w.html," + QDir::toNativeSeparators(dir + "/web_main.js") }));
        for (const QString &line :
            { "Searching for plugins here: " + QDir(dir).absolutePath(), "Found plugin: " + dir + "/b_main.js",
                "Add Plugin Path: " + dir + "/b_main.js", "Ignoring bad plugin at " + dir + "/xmain.JS",
                QString("One or more necessary module entry points are missing.") })
            QVERIFY2(messages().contains(line), qPrintable(line));

        expectBadModules();
        m_manager->loadPlugins(dir); // a second load adds second copies
        QCOMPARE(names().size(), 10);
        QCOMPARE(m_manager->findPlugin("A_main"), m_manager->plugins().at(0));
    }

    void aModuleThatNeverFinishesLoadingIsLeftOut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("its global code") << "while (true) {}\nfunction getModuleName() { return 'Loop'; }\n"
                                            "function getModuleVersion() { return '1'; }";
        QTest::newRow("its name function") << "function getModuleName() { for (;;) {} }\n"
                                              "function getModuleVersion() { return '1'; }";
        // No loop: only a look at every statement reaches it.
        const QString fib = "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\n";
        QTest::newRow("a recursion in its global code")
            << fib + "fib(60);\nfunction getModuleName() { return 'Loop'; }";
        QTest::newRow("a recursion in its name function") << fib + "function getModuleName() { return fib(60); }";
    }
    void aModuleThatNeverFinishesLoadingIsLeftOut()
    {
        QFETCH(QString, text);
        const int limit = AppQtScriptPlugin::loadTimeLimitMs();
        const int shortLimit = 200 * testSlowdown();
        AppQtScriptPlugin::setLoadTimeLimitMs(shortLimit);
        write("MainScreen_main.js", "MainScreen", "20120412");
        const QString loop = QDir::toNativeSeparators(m_modules->writeRaw("loop_main.js", text));
        TestLog::ignore(QtWarningMsg,
            qPrintable(QString("The module %1 did not finish loading within %2 s; it is not loaded.")
                           .arg(loop, AppNumber::toText(shortLimit / 1000.0))));
        m_manager->loadPlugins(m_modules->path());
        AppQtScriptPlugin::setLoadTimeLimitMs(limit);
        QCOMPARE(names(), QStringList { "MainScreen" });
        QVERIFY(m_manager->findPlugin("MainScreen", QString()));
    }

    void linkedFolderLeadingBackLoadsNothingTwice()
    {
        TestModules elsewhere;
        write("a/x_main.js", "x");
        elsewhere.write("y_main.js", "y", "1");
        QVERIFY(QFile::link(m_modules->path(), m_modules->path() + "/a/up"));
        QVERIFY(QFile::link(elsewhere.path(), m_modules->path() + "/b"));
        m_manager->loadPlugins(m_modules->path());
        QCOMPARE(names(), QStringList({ "x", "y" })); // a linked folder that is no loop is still scanned
    }

    void missingFolderLoadsNothing()
    {
        m_manager->loadPlugins(m_db.dir() + "/no/such/folder");
        QVERIFY(m_manager->plugins().isEmpty() && m_manager->availableModules().isEmpty());
        QVERIFY(!m_manager->findPlugin("MainScreen"));
    }

    void findsByNameAndVersion_data()
    {
        QTest::addColumn<QString>("secondVersion");
        QTest::addColumn<QString>("nameAndVersion");
        QTest::addColumn<int>("found"); // index in load order, -1 for none
        QTest::newRow("greatest") << "20130101" << QString("MainScreen") << 1;
        QTest::newRow("greatest, word behind the number") << "20130101 beta" << QString("MainScreen") << 0;
        QTest::newRow("equal versions keep the first") << "20120412" << QString("MainScreen") << 0;
        QTest::newRow("greater than int") << "99999999999" << QString("MainScreen") << 1;
        QTest::newRow("exact version") << "20130101" << QString("MainScreen,20120412") << 0;
        QTest::newRow("unknown version") << "20130101" << QString("MainScreen,1") << -1;
        QTest::newRow("empty version matches only empty") << "20130101" << QString("MainScreen,") << -1;
        QTest::newRow("name is case-sensitive") << "20130101" << QString("mainscreen") << -1;
    }
    void findsByNameAndVersion()
    {
        QFETCH(QString, secondVersion);
        QFETCH(QString, nameAndVersion);
        QFETCH(int, found);
        write("a/MainScreen_main.js", "MainScreen", "20120412");
        write("b/MainScreen_main.js", "MainScreen", secondVersion);
        write("c/other_main.js", "Other2", "9");
        m_manager->loadPlugins(m_modules->path());
        QCOMPARE(m_manager->plugins().size(), 3);
        AppPlugin *expected = found < 0 ? nullptr : m_manager->plugins().at(found);
        QCOMPARE(m_manager->findPlugin(nameAndVersion), expected);
        const int comma = nameAndVersion.indexOf(',');
        QCOMPARE(
            m_manager->findPlugin(nameAndVersion.left(comma), comma < 0 ? QString() : nameAndVersion.mid(comma + 1)),
            expected);
    }

    void nullNameFindsNothing()
    {
        write("a_main.js", "");
        m_manager->loadPlugins(m_modules->path());
        m_log->clear();
        QVERIFY(!m_manager->findPlugin(QString(), QString()));
        QVERIFY(m_manager->findPlugin("", QString()));
        QCOMPARE(messages().at(0), "Searching for plugin  ");
    }

    void relaysModuleMessagesButNotExecMessages()
    {
        write("a_main.js", "A", "1", "function f() { return {VALUE: 1}; }");
        m_manager->loadPlugins(m_modules->path());
        QVERIFY(messages().last().startsWith("Loaded plugin: "));
        m_log->clear();
        DataPluginExecInfo request;
        request.functionName = "f";
        qDeleteAll(m_manager->plugins().at(0)->exec({ &request }));
        QCOMPARE(messages(), QStringList({ "Plugin execOne: Calling f\n" }));
    }

    // The manager owns what it lists: its modules live as long as it does, and go with it.
    void destroyingTheManagerDeletesItsModules()
    {
        write("a_main.js", "A", "1", "function f() { return {VALUE: 'alive'}; }");
        write("b_main.js", "B");
        m_manager->loadPlugins(m_modules->path());
        const QPointer<AppPlugin> a = m_manager->findPlugin("A");
        const QPointer<AppPlugin> b = m_manager->findPlugin("B");
        QVERIFY(a && b);
        QCOMPARE(std::unique_ptr<AppScriptObject>(a->execOne("f", {}))->property("VALUE").toString(), "alive");
        m_manager.reset(new AppPluginManager(m_db.path(), nullptr));
        QVERIFY(!a);
        QVERIFY(!b);
    }

    void shippedCalculationModuleLoads()
    {
        m_manager->loadPlugins(TestModules::shippedModulesPath());
        QVERIFY(m_manager->findPlugin("MainScreen"));
    }
};

TEST_MAIN(TstAppPluginManager)
#include "tst_app_pluginmanager.moc"
