#include "app/app_plugin.h"
#include "app/app_scriptobject.h"

#include "test_environment.h"
#include "test_stderrcapture.h"

#include <QDir>
#include <QFile>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

using Node = AppScriptObject;
using NodePtr = std::unique_ptr<AppScriptObject>;
using PluginPtr = std::unique_ptr<AppPlugin>;

namespace {

QStringList messages(const QSignalSpy &spy, int level = -2)
{
    QStringList out;
    for (const QList<QVariant> &args : spy) {
        if (level == -2 || args.at(1).toInt() == level)
            out << args.at(0).toString();
    }
    return out;
}

} // namespace

class TstAppPlugin : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    TestDatabaseFiles m_db;

    // A loaded module of the given body, or null when the load failed.
    PluginPtr loaded(TestModules &modules, const QString &body)
    {
        const QString path
            = modules.write(QStringLiteral("calc_main.js"), QStringLiteral("Calc"), QStringLiteral("1"), body);
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        if (!plugin || !plugin->load(path))
            return nullptr;
        return plugin;
    }

    static NodePtr call(AppPlugin *plugin, const QString &function, const QList<Node *> &inputs = {})
    {
        return NodePtr(plugin->execOne(function, inputs));
    }

private slots:
    // ------------------------------------------------------------- loading

    void generateTakesOnlyLowerCaseJs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("made");
        QTest::newRow("js") << "MainScreen_main.js" << true;
        QTest::newRow("upper case JS") << "xmain.JS" << false;
        QTest::newRow("other") << "main.txt" << false;
    }
    void generateTakesOnlyLowerCaseJs()
    {
        QFETCH(QString, file);
        QFETCH(bool, made);
        PluginPtr plugin(AppPlugin::generate(file, m_db.path()));
        QCOMPARE(plugin != nullptr, made);
        if (plugin) {
            QVERIFY(qobject_cast<AppQtScriptPlugin *>(plugin.get()));
            QVERIFY(!plugin->parent());
            QVERIFY(!plugin->isValid());
            QCOMPARE(plugin->databaseName(), m_db.path());
        }
        QCOMPARE(AppPlugin::pluginFilters(), QStringList({ "*main*.js" }));
    }

    void loadTakesTheModuleIdentity()
    {
        TestModules modules;
        const QString path = modules.writeRaw(QStringLiteral("sub/Calc_main.js"),
            QStringLiteral("function getModuleName() { return 'MainScreen'; }\n"
                           "function getModuleVersion() { return 20120412; }\n"
                           "function getModuleDate() { return '20120412 Release'; }\n"
                           "function getModuleInteractionXml() { return '<x/>'; }\n"
                           "function getModuleUI() { return '<ui version=\"4.0\"/>'; }\n"
                           "function getModuleHTMLUI() { return 'page.html'; }\n"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QVERIFY(plugin->load(path));
        QVERIFY(plugin->isValid());
        QCOMPARE(plugin->moduleName(), QStringLiteral("MainScreen"));
        QCOMPARE(plugin->moduleVersion(), QStringLiteral("20120412"));
        QCOMPARE(plugin->moduleDate(), QStringLiteral("20120412 Release"));
        QCOMPARE(plugin->moduleInteractions(), QStringLiteral("<x/>"));
        QCOMPARE(plugin->moduleHTMLUI(), QStringLiteral("page.html"));
        QCOMPARE(plugin->moduleFilePath(), QDir::toNativeSeparators(path));
        QBuffer *ui = plugin->moduleUI();
        QVERIFY(!ui->isOpen());
        QVERIFY(ui->open(QIODevice::ReadOnly));
        QCOMPARE(ui->readAll(), QByteArray("<ui version=\"4.0\"/>"));
        ui->close();
        QCOMPARE(messages(log, 100),
            QStringList({ QStringLiteral("Loaded plugin: %1,\n MainScreen,\n 20120412,\n 20120412 Release,\n <x/>\n")
                              .arg(path) }));
    }

    void optionalEntryPointsMayBeMissing()
    {
        TestModules modules;
        const QString path = modules.writeRaw(QStringLiteral("a_main.js"),
            QStringLiteral("function getModuleName() { return ''; }\n"
                           "function getModuleVersion() { return '2'; }\n"
                           "function getModuleUI() { return {a: 1}; }\n"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QVERIFY(plugin->load(path));
        QVERIFY(plugin->moduleName().isEmpty());
        QVERIFY(!plugin->moduleName().isNull());
        QVERIFY(plugin->moduleDate().isNull());
        QVERIFY(plugin->moduleHTMLUI().isNull());
        QVERIFY(plugin->moduleUI()->data().isEmpty());
    }

    void missingNameOrVersionRefusesTheModule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no name function") << "function getModuleVersion() { return '1'; }";
        QTest::newRow("undefined name") << "function getModuleName() { }\nfunction getModuleVersion() { return '1'; }";
        QTest::newRow("null version")
            << "function getModuleName() { return 'a'; }\nfunction getModuleVersion() { return null; }";
        QTest::newRow("throwing version") << "function getModuleName() { return 'a'; }\n"
                                             "function getModuleVersion() { throw 'x'; }";
    }
    void missingNameOrVersionRefusesTheModule()
    {
        QFETCH(QString, text);
        TestModules modules;
        const QString path = modules.writeRaw(QStringLiteral("a_main.js"), text);
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QVERIFY(!plugin->load(path));
        QVERIFY(!plugin->isValid());
        QCOMPARE(messages(log, 1), QStringList({ "One or more necessary module entry points are missing." }));
    }

    void syntaxErrorRefusesTheModule()
    {
        TestModules modules;
        const QString path = modules.writeRaw(QStringLiteral("a_main.js"), QStringLiteral("var a = ;\n"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QSignalSpy errors(plugin.get(), &AppPlugin::sigPluginError);
        TestStderrCapture err;
        QVERIFY(!plugin->load(path));
        QVERIFY(err.text().contains(QStringLiteral(" LineNumber: 1\n")));
        QCOMPARE(log.count(), 1);
        QVERIFY(messages(log, 1).at(0).startsWith(QStringLiteral("Error: ")));
        QVERIFY(messages(log, 1).at(0).endsWith(QStringLiteral(" LineNumber: 1")));
        QCOMPARE(errors.count(), 0);
    }

    void incompleteModuleIsReportedAndRefused()
    {
        TestModules modules;
        const QString path = modules.write(QStringLiteral("a_main.js"), QStringLiteral("A"), QStringLiteral("1"),
            QStringLiteral("function open() {\n  var x = 1;\n"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QSignalSpy errors(plugin.get(), &AppPlugin::sigPluginError);
        TestStderrCapture err;
        QVERIFY(!plugin->load(path));
        QVERIFY(err.text().contains(QStringLiteral("The module is not completely valid and may be incomplete.")));
        QVERIFY(messages(log, 1).at(0).startsWith(QStringLiteral("The module is not completely valid")));
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.at(0).at(0).toString().startsWith(QStringLiteral("Line #")));
    }

    void exceptionAtEvaluationRefusesTheModule()
    {
        TestModules modules;
        const QString path = modules.write(QStringLiteral("a_main.js"), QStringLiteral("A"), QStringLiteral("1"),
            QStringLiteral("var x = 1;\nthrow new Error('boom');"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QSignalSpy errors(plugin.get(), &AppPlugin::sigPluginError);
        TestStderrCapture err;
        QVERIFY(!plugin->load(path));
        QVERIFY(err.text().contains(QStringLiteral("Plugin has uncaught exception\n")));
        QCOMPARE(messages(log, 1), QStringList({ "Plugin Error: Error: boom" }));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Line #8: Error: boom"));
        QVERIFY(!plugin->isValid());
    }

    void unreadableFileFailsQuietly()
    {
        PluginPtr plugin(AppPlugin::generate(QStringLiteral("/nonexistent/x_main.js"), m_db.path()));
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QVERIFY(!plugin->load(QStringLiteral("/nonexistent/x_main.js")));
        QCOMPARE(log.count(), 0);
        QCOMPARE(plugin->moduleFilePath(), QStringLiteral("/nonexistent/x_main.js"));
    }

    void textEndsAtTheFirstNulByte()
    {
        TestModules modules;
        const QString path = modules.path() + QStringLiteral("/nul_main.js");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("function getModuleName() { return 'N\xe9'; }\nfunction getModuleVersion() { return '1'; }\n");
        file.write(QByteArray(1, '\0'));
        file.write("this is not a script {{{");
        file.close();
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QVERIFY(plugin->load(path));
        QCOMPARE(plugin->moduleName(), QString::fromLatin1("N\xe9"));
    }

    // ---------------------------------------------------------- script calls

    void inputsArriveAsNamedStrings()
    {
        TestModules modules;
        PluginPtr plugin = loaded(modules,
            QStringLiteral("function f(a, b) { return {NAME: 'out', VALUE: "
                           "arguments.length + ':' + a.NAME + '=' + a.VALUE + ' ' + "
                           "typeof a.VALUE + ' ' + b.NAME + '=' + b.VALUE}; }"));
        QVERIFY(plugin);
        Node mr(QStringLiteral("Mr"), 0.1 + 0.2, Node::Normal);
        Node flag(QStringLiteral("flag"), 1, Node::Normal);
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        NodePtr out = call(plugin.get(), QStringLiteral("f"), { &mr, &flag });
        QCOMPARE(out->type(), Node::Object);
        QCOMPARE(out->property("NAME").toString(), QStringLiteral("out"));
        QCOMPARE(out->property("VALUE").toString(), QStringLiteral("2:Mr=0.3 string flag=1"));
        QCOMPARE(messages(log, 100),
            QStringList({ "Plugin execOne: Calling f\n", "Plugin input argument: \nNAME: Mr\nVALUE: 0.3\n",
                "Plugin input argument: \nNAME: flag\nVALUE: 1\n" }));
    }

    void noInputsMeanNoArguments()
    {
        TestModules modules;
        PluginPtr plugin = loaded(modules, QStringLiteral("function f() { return {VALUE: arguments.length}; }"));
        QCOMPARE(call(plugin.get(), QStringLiteral("f"))->property("VALUE").toDouble(), 0.0);
    }

    void tableInputArrivesAsArrayOfRows()
    {
        TestModules modules;
        PluginPtr plugin = loaded(modules,
            QStringLiteral("function f(t) { var s = ''; for (var i = 0; i < t.length; ++i) "
                           "s += t[i].ID + t[i].UNITS; return {VALUE: s}; }"));
        Node table(Node::Array);
        for (int i = 0; i < 2; ++i) {
            auto *row = new Node(Node::Object);
            row->setProperty("id", 10 + i);
            row->setProperty("units", QStringLiteral("mM"));
            table.setProperty(QByteArray::number(i).constData(), row);
        }
        QCOMPARE(call(plugin.get(), QStringLiteral("f"), { &table })->property("VALUE").toString(),
            QStringLiteral("10mM11mM"));
    }

    void nestedResultsBecomeTrees()
    {
        TestModules modules;
        PluginPtr plugin = loaded(modules,
            QStringLiteral("function f() { return [{NAME: 'qtA', VALUE: 1}, "
                           "{rows: [{NAME: 'qtB', VALUE: 'x'}]}]; }"));
        NodePtr out = call(plugin.get(), QStringLiteral("f"));
        QCOMPARE(out->type(), Node::Array);
        QCOMPARE(out->child(QStringLiteral("0"))->property("NAME").toString(), QStringLiteral("qtA"));
        Node *rows = out->child(QStringLiteral("1"))->child(QStringLiteral("ROWS"));
        QVERIFY(rows);
        QCOMPARE(rows->child(QStringLiteral("0"))->property("VALUE").toString(), QStringLiteral("x"));
    }

    void failuresComeBackAsNodes_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("pluginError");
        QTest::newRow("returned error") << "function f() { return new TypeError('bad'); }"
                                        << "ScriptError"
                                        << "TypeError: bad"
                                        << "";
        QTest::newRow("thrown error") << "function f() {\n throw new Error('bad'); }"
                                      << "ScriptError"
                                      << "Error: bad"
                                      << "Line #8: Error: bad";
        QTest::newRow("thrown string") << "function f() { throw 'plain'; }"
                                       << "ScriptError"
                                       << "plain"
                                       << "Line #7: plain";
        QTest::newRow("thrown result-like object") << "function f() { throw {NAME: 'qtX', VALUE: 1}; }"
                                                   << "ScriptError"
                                                   << "[object Object]"
                                                   << "Line #7: [object Object]";
        QTest::newRow("no such function") << ""
                                          << "unknown_primitive"
                                          << ""
                                          << "";
        QTest::newRow("not a function") << "var f = 3;"
                                        << "unknown_primitive"
                                        << ""
                                        << "";
        QTest::newRow("number") << "function f() { return 0.1 + 0.2; }"
                                << "unknown_primitive"
                                << "0.3"
                                << "";
        QTest::newRow("string") << "function f() { return 'txt'; }"
                                << "unknown_primitive"
                                << "txt"
                                << "";
        QTest::newRow("boolean") << "function f() { return true; }"
                                 << "unknown_primitive"
                                 << "true"
                                 << "";
    }
    void failuresComeBackAsNodes()
    {
        QFETCH(QString, body);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, pluginError);
        TestModules modules;
        PluginPtr plugin = loaded(modules, body);
        QVERIFY(plugin);
        QSignalSpy errors(plugin.get(), &AppPlugin::sigPluginError);
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        NodePtr out = call(plugin.get(), QStringLiteral("f"));
        QCOMPARE(out->type(), Node::Normal);
        QCOMPARE(out->property("NAME").toString(), name);
        QCOMPARE(out->property("VALUE").toString(), value);
        QCOMPARE(errors.count(), pluginError.isEmpty() ? 0 : 1);
        if (!pluginError.isEmpty())
            QCOMPARE(errors.at(0).at(0).toString(), pluginError);
        if (name == QLatin1String("ScriptError"))
            QCOMPARE(messages(log, 1), QStringList({ QStringLiteral("Exec Error: ") + value }));
    }

    void staleExceptionRaisesNoPluginError()
    {
        TestModules modules;
        // Optional entry points that are missing throw while the module loads.
        const QString path = modules.writeRaw(QStringLiteral("a_main.js"),
            QStringLiteral("function getModuleName() { return 'a'; }\n"
                           "function getModuleVersion() { return '1'; }\n"
                           "function bad() { throw new Error('once'); }\n"
                           "function soft() { return new Error('returned'); }\n"
                           "function good() { return {NAME: 'qtA', VALUE: 2}; }\n"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QVERIFY(plugin->load(path));
        QSignalSpy errors(plugin.get(), &AppPlugin::sigPluginError);
        QCOMPARE(
            call(plugin.get(), QStringLiteral("soft"))->property("NAME").toString(), QStringLiteral("ScriptError"));
        QCOMPARE(errors.count(), 0);
        call(plugin.get(), QStringLiteral("bad"));
        QCOMPARE(errors.count(), 1);
        call(plugin.get(), QStringLiteral("soft"));
        QCOMPARE(call(plugin.get(), QStringLiteral("good"))->property("NAME").toString(), QStringLiteral("qtA"));
        QCOMPARE(errors.count(), 1);
    }

    void globalsLiveOnInTheirOwnEngine()
    {
        TestModules modules;
        const QString body = QStringLiteral("var n = 0;\nfunction count() { n = n + 1; return {VALUE: n}; }");
        PluginPtr first = loaded(modules, body);
        QCOMPARE(call(first.get(), QStringLiteral("count"))->property("VALUE").toDouble(), 1.0);
        QCOMPARE(call(first.get(), QStringLiteral("count"))->property("VALUE").toDouble(), 2.0);
        PluginPtr second = loaded(modules, body);
        QCOMPARE(call(second.get(), QStringLiteral("count"))->property("VALUE").toDouble(), 1.0);
    }

    void execRunsEveryRequestInOrder()
    {
        TestModules modules;
        PluginPtr plugin = loaded(modules,
            QStringLiteral("function a(x) { return {NAME: 'a', VALUE: x.VALUE}; }\n"
                           "function b() { return {NAME: 'b'}; }"));
        DataPluginExecInfo first;
        first.functionName = QStringLiteral("a");
        first.inputs << new Node(QStringLiteral("x"), 4, Node::Normal);
        DataPluginExecInfo second;
        second.functionName = QStringLiteral("b");
        QVERIFY(DataPluginExecInfo().functionName.isEmpty());

        QSignalSpy baseLog(plugin.get(), &AppPlugin::sigLog);
        QSignalSpy ownLog(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QList<Node *> results = plugin->exec({ &first, &second });
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0)->property("VALUE").toString(), QStringLiteral("4"));
        QCOMPARE(results.at(1)->property("NAME").toString(), QStringLiteral("b"));
        qDeleteAll(results);
        qDeleteAll(first.inputs);
        QCOMPARE(messages(baseLog),
            QStringList({ "-----------app plugin started---------------", "Exec plugin:\nCalc\na\n",
                "Exec plugin:\nCalc\nb\n", "-----------app plugin finished---------------" }));
        QVERIFY(!messages(ownLog).contains(QStringLiteral("-----------app plugin started---------------")));
        QVERIFY(messages(ownLog).contains(QStringLiteral("Plugin execOne: Calling a\n")));
    }

    void settersReplaceTheFields()
    {
        AppQtScriptPlugin plugin(m_db.path(), nullptr);
        plugin.setModuleName(QStringLiteral("n"));
        plugin.setModuleVersion(QStringLiteral("v"));
        plugin.setModuleDate(QStringLiteral("d"));
        plugin.setModuleHTMLUI(QStringLiteral("h"));
        plugin.setModuleInteractions(QStringLiteral("i"));
        plugin.setModuleFilePath(QStringLiteral("p"));
        plugin.setModuleUI(QStringLiteral("u\xe9"));
        plugin.setModuleValidity(true);
        QCOMPARE(plugin.moduleName() + plugin.moduleVersion() + plugin.moduleDate() + plugin.moduleHTMLUI()
                + plugin.moduleInteractions() + plugin.moduleFilePath(),
            QStringLiteral("nvdhip"));
        QCOMPARE(plugin.moduleUI()->data(), QStringLiteral("u\xe9").toLocal8Bit());
        QVERIFY(plugin.isValid());
    }
};

QTEST_MAIN(TstAppPlugin)
#include "tst_app_plugin.moc"
