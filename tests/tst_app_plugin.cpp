#include "app/app_helperrunner.h"
#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "app/app_scriptwatch.h"

#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>
#include <memory>

using Node = AppScriptObject;
using NodePtr = std::unique_ptr<AppScriptObject>;
using PluginPtr = std::unique_ptr<AppPlugin>;

class TstAppPlugin : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    TestDatabaseFiles m_db;
    std::unique_ptr<TestModules> m_modules;
    std::unique_ptr<QSignalSpy> m_log, m_errors; // the module's own log and its plugin errors

    // A module file of `text` and its plugin, not yet loaded; a text that defines entry points itself is written
    // as it is, any other after the six entry points.
    PluginPtr make(const QString &text)
    {
        const QString path = text.contains("getModule") ? m_modules->writeRaw("calc_main.js", text)
                                                        : m_modules->write("calc_main.js", "Calc", "1", text);
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        m_log.reset(new QSignalSpy(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog));
        m_errors.reset(new QSignalSpy(plugin.get(), &AppPlugin::sigPluginError));
        return plugin;
    }
    QString path() const { return m_modules->path() + "/calc_main.js"; }
    PluginPtr loaded(const QString &body)
    {
        PluginPtr plugin = make(body);
        return plugin->load(path()) ? std::move(plugin) : nullptr;
    }
    // The messages a spy recorded (of one log level, or all), joined.
    static QString joined(const QSignalSpy &spy, int level = -1)
    {
        QStringList out;
        for (const QList<QVariant> &args : spy)
            if (level < 0 || args.at(1).toInt() == level)
                out << args.at(0).toString();
        return out.join(" | ");
    }
    static QString call(AppPlugin *plugin, const QString &function, const QList<Node *> &inputs = {})
    {
        NodePtr out(plugin->execOne(function, inputs));
        return out->property("NAME").toString() + "=" + out->property("VALUE").toString();
    }

private slots:
    void init() { m_modules.reset(new TestModules); }

    void generateTakesOnlyLowerCaseJsAndUnreadableFilesFailQuietly()
    {
        QCOMPARE(AppPlugin::pluginFilters(), QStringList({ "*main*.js" }));
        QVERIFY(!PluginPtr(AppPlugin::generate("xmain.JS", m_db.path())));
        QVERIFY(!PluginPtr(AppPlugin::generate("main.txt", m_db.path())));
        PluginPtr plugin(AppPlugin::generate("/nonexistent/x_main.js", m_db.path()));
        QVERIFY(qobject_cast<AppQtScriptPlugin *>(plugin.get()));
        QVERIFY(!plugin->parent() && !plugin->isValid());
        QCOMPARE(plugin->databaseName(), m_db.path());
        QSignalSpy log(static_cast<AppQtScriptPlugin *>(plugin.get()), &AppQtScriptPlugin::sigLog);
        QVERIFY(!plugin->load("/nonexistent/x_main.js"));
        QCOMPARE(log.count(), 0);
        QCOMPARE(plugin->moduleFilePath(), "/nonexistent/x_main.js");
    }

    void loadTakesTheModuleIdentity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("identity"); // name, version, date, interactions, form, page; "-" for none
        QTest::newRow("all six") << "function getModuleName() { return 'MainScreen'; }\n"
                                    "function getModuleVersion() { return 20120412; }\n"
                                    "function getModuleDate() { return '20120412 Release'; }\n"
                                    "function getModuleInteractionXml() { return '<x/>'; }\n"
                                    "function getModuleUI() { return '<ui version=\"4.0\"/>'; }\n"
                                    "function getModuleHTMLUI() { return 'page.html'; }\n"
                                 << "MainScreen|20120412|20120412 Release|<x/>|<ui version=\"4.0\"/>|page.html";
        QTest::newRow("optional ones missing") << "function getModuleName() { return ''; }\n"
                                                  "function getModuleVersion() { return '2'; }\n"
                                                  "function getModuleUI() { return {a: 1}; }\n"
                                               << "|2|-|-|-|-";
    }
    void loadTakesTheModuleIdentity()
    {
        QFETCH(QString, text);
        QFETCH(QString, identity);
        PluginPtr plugin = make(text);
        QVERIFY(plugin->load(path()));
        QVERIFY(plugin->isValid());
        QBuffer *ui = plugin->moduleUI();
        QVERIFY(!ui->isOpen());
        QVERIFY(ui->open(QIODevice::ReadOnly));
        QStringList seen;
        for (const QString &field : { plugin->moduleName(), plugin->moduleVersion(), plugin->moduleDate(),
                 plugin->moduleInteractions(), QString::fromUtf8(ui->readAll()), plugin->moduleHTMLUI() })
            seen << (field.isNull() ? "-" : field);
        ui->close();
        QCOMPARE(seen.join('|'), identity);
        QCOMPARE(plugin->moduleFilePath(), QDir::toNativeSeparators(path()));
        QCOMPARE(joined(*m_log, 100),
            QString("Loaded plugin: %1,\n %2,\n %3,\n %4,\n %5\n")
                .arg(path(), plugin->moduleName(), plugin->moduleVersion(), plugin->moduleDate(),
                    plugin->moduleInteractions()));
    }

    void refusesBrokenModules_data()
    {
        QTest::addColumn<QString>("text"); // written as it is when it defines entry points itself
        QTest::addColumn<QString>("outcome"); // a pattern for the error log, then " ! " and the plugin errors
        const QString missing = "^One or more necessary module entry points are missing\\. ! $";
        QTest::newRow("no name") << "function getModuleVersion() { return '1'; }" << missing;
        QTest::newRow("null version")
            << "function getModuleName() { return 'a'; }\nfunction getModuleVersion() { return null; }" << missing;
        QTest::newRow("thrown version")
            << "function getModuleName() { return 'a'; }\nfunction getModuleVersion() { throw 'x'; }" << missing;
        QTest::newRow("syntax error") << "var a = ;\n"
                                      << "^Error: .* LineNumber: 7 ! $";
        QTest::newRow("incomplete") << "function open() {\n  var x = 1;\n"
                                    << "^The module is not completely valid and may be incomplete\\. .*"
                                       " \\| Plugin Error: .* ! Line #\\d+: ";
        QTest::newRow("exception") << "var x = 1;\nthrow new Error('boom');"
                                   << "^Plugin Error: Error: boom ! Line #8: Error: boom$";
    }
    void refusesBrokenModules()
    {
        QFETCH(QString, text);
        QFETCH(QString, outcome);
        PluginPtr plugin = make(text);
        QVERIFY(!plugin->load(path()));
        QVERIFY(!plugin->isValid());
        const QString seen = joined(*m_log, 1) + " ! " + joined(*m_errors);
        QVERIFY2(seen.contains(QRegularExpression(outcome)), qPrintable(seen));
    }

    void textIsLatin1AndEndsAtTheFirstNulByte()
    {
        const QString path = m_modules->path() + "/nul_main.js";
        QVERIFY(testWriteFile(path,
            QByteArray("function getModuleName() { return 'N\xe9'; }\nfunction getModuleVersion() { return 1; }\n")
                + QByteArray(1, '\0') + "this is not a script {{{"));
        PluginPtr plugin(AppPlugin::generate(path, m_db.path()));
        QVERIFY(plugin->load(path));
        QCOMPARE(plugin->moduleName(), QString::fromLatin1("N\xe9"));
    }

    void inputsArriveAsNamedStringsAndTablesAsArrays()
    {
        PluginPtr plugin = loaded(
            "function f(a, b) { return {NAME: 'out', VALUE: arguments.length + ':' + a.NAME + '=' + a.VALUE + ' ' + "
            "typeof a.VALUE + ' ' + b.NAME + '=' + b.VALUE}; }\n"
            "function g(t) { var s = ''; for (var i = 0; i < t.length; ++i) s += t[i].ID + t[i].UNITS;"
            " return [{NAME: 'qtA', VALUE: s}, {rows: [{NAME: 'qtB', VALUE: 'x'}]}]; }");
        Node mr("Mr", 0.1 + 0.2, Node::Normal);
        Node flag("flag", 1, Node::Normal);
        m_log->clear();
        QCOMPARE(call(plugin.get(), "f", { &mr, &flag }), "out=2:Mr=0.3 string flag=1");
        QCOMPARE(joined(*m_log, 100),
            "Plugin execOne: Calling f\n | Plugin input argument: \nNAME: Mr\nVALUE: 0.3\n | "
            "Plugin input argument: \nNAME: flag\nVALUE: 1\n");

        Node table(Node::Array);
        for (const char *row : { "0", "1" }) {
            auto *node = new Node(Node::Object);
            node->setProperty("id", 10 + QByteArray(row).toInt());
            node->setProperty("units", QString("mM"));
            table.setProperty(row, node);
        }
        NodePtr out(plugin->execOne("g", { &table }));
        QCOMPARE(out->type(), Node::Array); // nested results become trees
        QCOMPARE(out->child("0")->property("VALUE").toString(), "10mM11mM");
        QCOMPARE(out->child("1")->child("ROWS")->child("0")->property("VALUE").toString(), "x");
    }

    void failuresAndPlainValuesComeBackAsNodes_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("outcome"); // NAME=VALUE of the result, then " ! " and the plugin errors
        QTest::newRow("returned error") << "function f() { return new TypeError('bad'); }"
                                        << "ScriptError=TypeError: bad ! ";
        QTest::newRow("thrown error") << "function f() {\n throw new Error('bad'); }"
                                      << "ScriptError=Error: bad ! Line #8: Error: bad";
        QTest::newRow("thrown string") << "function f() { throw 'plain'; }"
                                       << "ScriptError=plain ! Line #7: plain";
        QTest::newRow("thrown result-like object") << "function f() { throw {NAME: 'qtX', VALUE: 1}; }"
                                                   << "ScriptError=[object Object] ! Line #7: [object Object]";
        QTest::newRow("no such function") << ""
                                          << "ScriptError=The module Calc has no function \"f\". ! ";
        QTest::newRow("number, fifteen digits") << "function f() { return 0.1 + 0.2; }"
                                                << "unknown_primitive=0.3 ! ";
        QTest::newRow("no inputs, no arguments") << "function f() { return arguments.length === 0; }"
                                                 << "unknown_primitive=true ! ";
        // A result that cannot be made whole is no result; the window says why, as for a thrown error.
        const QString itself = "The result contains itself: its member me refers back to an object that holds it; a "
                               "result that contains itself cannot be answered whole, and none of it was answered.";
        QTest::newRow("result in itself") << "function f() { var a = {NAME: 'qtX', VALUE: 1}; a.me = a; return a; }"
                                          << "ScriptError=" + itself + " ! " + itself;
        const QString deep = "The result nests objects and arrays deeper than 64 levels, the most a result may; none "
                             "of it was answered.";
        QTest::newRow("result too deep")
            << "function f() { var r = []; for (var i = 0; i < 3000; ++i) r = [r]; return r; }"
            << "ScriptError=" + deep + " ! " + deep;
    }
    void failuresAndPlainValuesComeBackAsNodes()
    {
        QFETCH(QString, body);
        QFETCH(QString, outcome);
        PluginPtr plugin = loaded(body);
        QVERIFY(plugin);
        m_log->clear();
        NodePtr out(plugin->execOne("f", {}));
        QCOMPARE(out->type(), Node::Normal);
        const QString result = out->property("NAME").toString() + "=" + out->property("VALUE").toString();
        QCOMPARE(result + " ! " + joined(*m_errors), outcome);
        if (result.startsWith("ScriptError="))
            QCOMPARE(joined(*m_log, 1), "Exec Error: " + result.mid(12));
    }

    void globalsLiveOnButStaleExceptionsRaiseNoPluginError()
    {
        // Optional entry points that are missing throw while the module loads.
        PluginPtr plugin = make("function getModuleName() { return 'a'; }\n"
                                "function getModuleVersion() { return '1'; }\n"
                                "function bad() { throw new Error('once'); }\n"
                                "function soft() { return new Error('returned'); }\n"
                                "var n = 0;\nfunction count() { n = n + 1; return {NAME: 'n', VALUE: n}; }\n");
        QVERIFY(plugin->load(path()));
        QCOMPARE(call(plugin.get(), "soft"), "ScriptError=Error: returned");
        QCOMPARE(m_errors->count(), 0);
        call(plugin.get(), "bad");
        QCOMPARE(m_errors->count(), 1);
        call(plugin.get(), "soft");
        call(plugin.get(), "count");
        QCOMPARE(call(plugin.get(), "count"), "n=2");
        QCOMPARE(m_errors->count(), 1);
        PluginPtr second = make("var n = 0;\nfunction count() { n = n + 1; return {VALUE: n}; }");
        QVERIFY(second->load(path()));
        QCOMPARE(call(second.get(), "count"), "=1"); // each module has its own engine
    }

    // A downloaded module is judged apart from the program, its syntax too:
    // the check takes a second over the largest module a download may bring.
    void checksTheSyntaxOfADownloadInTheInspector()
    {
        QObject context;
        QString why;
        bool done = false;
        AppQtScriptPlugin::inspect("function getModuleName() { return 'M'; }\nfunction (", "m_main.js", &context,
            [&](const QString &, const QString &, const QString &problem) {
                why = problem;
                done = true;
            });
        QCOMPARE(context.findChildren<AppHelperRunner *>().size(), 1);
        TEST_TRY_VERIFY(done);
        QVERIFY2(why.startsWith("Error: ") && why.endsWith(" LineNumber: 2"), qPrintable(why));
    }
    // However a call ends, no statement or transaction of it is left open to
    // keep another connection from writing, nor its half-done write.
    void aCallLeavesNothingOpenOnTheDatabase_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("stopped"); // called with a time limit that stops it
        QTest::addColumn<bool>("windowsTransaction"); // one is under way on the connection during the call

        QTest::newRow("stopped in a read loop") << "readForever" << true << false;
        QTest::newRow("stopped in a transaction") << "writeForever" << true << false;
        QTest::newRow("returns with a statement open") << "readAndReturn" << false << false;
        QTest::newRow("returns with a transaction open") << "writeAndReturn" << false << false;
        QTest::newRow("throws with a statement open") << "readAndThrow" << false << false;
        QTest::newRow("a transaction of the window's is kept") << "readAndReturn" << false << true;
    }
    void aCallLeavesNothingOpenOnTheDatabase()
    {
        QFETCH(QString, function);
        QFETCH(bool, stopped);
        QFETCH(bool, windowsTransaction);
        PluginPtr plugin = loaded(
            "var spin = 0;\n"
            "function setUp() {\n"
            "    m_query.exec('CREATE TABLE IF NOT EXISTS t (n INTEGER)');\n"
            "    m_query.exec('DELETE FROM t');\n"
            "    for (var i = 0; i < 100; ++i) m_query.exec('INSERT INTO t VALUES (' + i + ')');\n"
            "    return {NAME: 'setUp'};\n"
            "}\n"
            "function readForever() { m_query.exec('SELECT n FROM t'); m_query.next(); for (;;) { spin = spin + 1; } "
            "}\n"
            "function writeForever() {\n"
            "    m_query.exec('BEGIN IMMEDIATE'); m_query.exec('INSERT INTO t VALUES (-1)'); for (;;) { spin = spin + "
            "1; }\n"
            "}\n"
            "function readAndReturn() {\n"
            "    m_query.exec('SELECT n FROM t'); m_query.next(); return {NAME: 'n', VALUE: m_query.value(0)};\n"
            "}\n"
            "function writeAndReturn() {\n"
            "    m_query.exec('BEGIN'); m_query.exec('INSERT INTO t VALUES (-1)'); return {NAME: 'n'};\n"
            "}\n"
            "function readAndThrow() { m_query.exec('SELECT n FROM t'); m_query.next(); throw 'x'; }\n");
        QVERIFY(plugin);
        QCOMPARE(call(plugin.get(), "setUp"), "setUp=");
        QSqlDatabase window = QSqlDatabase::database(m_db.path(), false);
        QVERIFY(window.isOpen());
        if (windowsTransaction)
            QVERIFY(window.transaction());

        NodePtr result(stopped ? plugin->execWithin(function, {}, 50) : plugin->execOne(function, {}));
        if (stopped)
            QVERIFY(result->property("VALUE").toString().contains("and was stopped"));

        if (windowsTransaction) {
            // Still the window's to commit.
            QVERIFY2(window.commit(), qPrintable(window.lastError().text()));
            return;
        }
        {
            // Another connection, one that does not wait: the file is free for its write.
            TestOtherProgram other(m_db.path(), "QSQLITE_BUSY_TIMEOUT=0");
            QVERIFY(other.isOpen());
            QSqlQuery write(other.database());
            QVERIFY2(write.exec("INSERT INTO t VALUES (7)"), qPrintable(write.lastError().text()));
            // What the call wrote in its transaction is not there.
            QVERIFY(write.exec("SELECT COUNT(*) FROM t WHERE n = -1") && write.next());
            QCOMPARE(write.value(0).toInt(), 0);
        }
    }

    // A call from another program is stopped at its time whatever its loop
    // holds, every time: a loop with nothing in it, which no statement hook
    // sees, as a loop of statements or a recursion that runs no loop; however
    // the module looped before, as it loaded or in a call without a limit;
    // and where the loop is in what reads its result, a getter of it or the
    // toString of what it throws.
    // The module goes on as before afterwards, with a limit and without.
    void stopsEveryCallAtItsTime_data()
    {
        QTest::addColumn<QString>("body"); // defines slow()
        QTest::addColumn<QString>("before"); // without a limit: "" nothing, "load" loops as it loads, "call" a call

        const QString statements = "function slow() { var x = 0; while (true) { x++; } }";
        QTest::newRow("an empty for (;;)") << "function slow() { for (;;) {} }"
                                           << "";
        QTest::newRow("an empty while (true)") << "function slow() { while (true) {} }"
                                               << "";
        QTest::newRow("while (true) with x++") << statements << "";
        QTest::newRow("a loop calling a function")
            << "function one() { return 1; }\nfunction slow() { var x = 0; for (;;) { x += one(); } }"
            << "";
        QTest::newRow("a loop deep in a recursion")
            << "function deep(n) { if (n > 0) return deep(n - 1); for (;;) {} }\nfunction slow() { return deep(500); }"
            << "";
        QTest::newRow("a recursion of a global function")
            << "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\nfunction slow() { return fib(60); }"
            << "";
        QTest::newRow("a recursion of a global object's method")
            << "var o = {fib: function (n) { return n < 2 ? n : o.fib(n - 1) + o.fib(n - 2); }};\n"
               "function slow() { return o.fib(60); }"
            << "";
        QTest::newRow("a recursion through this")
            << "function slow() {\n"
               "    var o = {fib: function (n) { return n < 2 ? n : this.fib(n - 1) + this.fib(n - 2); }};\n"
               "    return o.fib(60);\n"
               "}"
            << "";
        QTest::newRow("a recursion of a nested function")
            << "function slow() { function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); } return fib(60); }"
            << "";
        QTest::newRow("a loop in a nested function")
            << "function slow() { function inner() { for (var i = 0;; ++i) {} } inner(); }"
            << "";
        QTest::newRow("a long string built") << "function slow() { var s = ''; for (;;) { s += 'Vornakel'; } }"
                                             << "";
        QTest::newRow("a recursion, after a call without a limit")
            << "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }\nfunction slow() { return fib(60); }"
            << "call";
        QTest::newRow("a getter of the result")
            << "function slow() { var o = {}; o.__defineGetter__('x', function () { for (;;) {} }); return o; }"
            << "";
        QTest::newRow("a thrown object's toString")
            << "function slow() { throw {toString: function () { for (;;) {} }}; }"
            << "";
        QTest::newRow("after a load that looped") << statements << "load";
        QTest::newRow("after a call without a limit that looped") << statements << "call";
    }
    void stopsEveryCallAtItsTime()
    {
        QFETCH(QString, body);
        QFETCH(QString, before);
        PluginPtr plugin = loaded(body
            + "\nfunction fine() { return {NAME: 'fine', VALUE: 'alive'}; }\n"
              "function loop() { var n = 0; for (var i = 0; i < 3000000; ++i) { n += i; } return {NAME: 'loop'}; }\n"
            + (before == "load" ? "loop();\n" : ""));
        QVERIFY(plugin);
        if (before == "call")
            QCOMPARE(call(plugin.get(), "loop"), "loop=");
        const QString stopped = "ScriptError=The call slow took more than 50 ms of the processor's time, the most a "
                                "call from another program may take, and was stopped.";
        for (int i = 0; i < 10; ++i) {
            NodePtr out(plugin->execWithin("slow", {}, 50));
            QCOMPARE(out->property("NAME").toString() + "=" + out->property("VALUE").toString(), stopped);
        }
        NodePtr limited(plugin->execWithin("fine", {}, 50));
        QCOMPARE(limited->property("VALUE").toString(), "alive");
        QCOMPARE(call(plugin.get(), "fine"), "fine=alive");
    }

    // A name that a getter holds offers no function: reading it would run the
    // module's code before any call's watch begins, and a loop there held the
    // server for good.
    void aGetterOffersNoFunction_data()
    {
        QTest::addColumn<QString>("body");
        const QString loop = "function () { for (;;) {} }";
        QTest::newRow("on the global object") << "this.__defineGetter__('slow', " + loop + ");";
        QTest::newRow("defined as a property") << "Object.defineProperty(this, 'slow', {get: " + loop + "});";
        QTest::newRow("on the prototype") << "Object.prototype.__defineGetter__('slow', " + loop + ");";
    }
    void aGetterOffersNoFunction()
    {
        QFETCH(QString, body);
        PluginPtr plugin = loaded(body + "\nfunction fine() { return {NAME: 'fine', VALUE: 'alive'}; }");
        QVERIFY(plugin);
        QVERIFY(!plugin->withholds("slow"));
        NodePtr out(plugin->execWithin("slow", {}, 50));
        QCOMPARE(out->property("VALUE").toString(), "The module Calc has no function \"slow\".");
        QCOMPARE(call(plugin.get(), "fine"), "fine=alive");
    }

    // Nothing else runs inside a call from another program while it is
    // watched: a posted call and a timer (a second call on the engine, a
    // write to the database, the deletion of what the call uses) wait for its
    // end, as they wait for any call, and then run.
    void nothingElseRunsInsideACall()
    {
        PluginPtr plugin = loaded("function slow() { for (;;) {} }\n"
                                  "function fine() { return {NAME: 'fine', VALUE: 'alive'}; }");
        QVERIFY(plugin);
        bool calling = false;
        QStringList during, after;
        const auto ran = [&](const QString &what) { (calling ? during : after) << what; };
        QMetaObject::invokeMethod(
            qApp, [&]() { ran("posted " + call(plugin.get(), "fine")); }, Qt::QueuedConnection);
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, [&]() { ran("timer"); });
        timer.start(0);
        calling = true;
        NodePtr out(plugin->execWithin("slow", {}, 50));
        calling = false;
        QVERIFY(out->property("VALUE").toString().endsWith("and was stopped."));
        QCOMPARE(during, QStringList());
        TEST_TRY_COMPARE(after.size(), 2);
        QVERIFY(after.contains("posted fine=alive") && after.contains("timer"));
    }

    // A loop whose every step costs milliseconds (one native operation each)
    // is stopped within a step of its time, as a loop of cheap steps is: the
    // watch looks at its clock when the time may be up, not every so many
    // steps. Counted in steps, each made to cost about a fifth of the limit
    // of the processor's time.
    void stopsALoopOfCostlyStepsWithinAStepOfItsTime()
    {
        PluginPtr plugin = loaded("var steps = 0, size = 1;\n"
                                  "function grow() { size = size * 2; return {NAME: 'size'}; }\n"
                                  "function one() { new Array(size).join('x'); return {NAME: 'one'}; }\n"
                                  "function costly() { steps = 0; for (;;) { new Array(size).join('x'); ++steps; } }\n"
                                  "function done() { return {NAME: 'steps', VALUE: steps}; }");
        QVERIFY(plugin);
        const int limitMs = 50;
        for (int doublings = 0; doublings < 28; ++doublings) {
            const qint64 before = AppScriptWatch::now(AppScriptWatch::Clock::Processor);
            QCOMPARE(call(plugin.get(), "one"), "one=");
            if (AppScriptWatch::now(AppScriptWatch::Clock::Processor) - before >= qint64(limitMs) * 1000000 / 5)
                break;
            QCOMPARE(call(plugin.get(), "grow"), "size=");
        }
        NodePtr out(plugin->execWithin("costly", {}, limitMs));
        QVERIFY2(out->property("VALUE").toString().endsWith("and was stopped."),
            qPrintable(out->property("VALUE").toString()));
        // About five; a watch that looked every few hundred steps let it run a hundred and more.
        const int steps = call(plugin.get(), "done").section('=', 1).toInt();
        QVERIFY2(steps <= 20, qPrintable(QString::number(steps)));
    }

    // A call from another program that meets another program's hold on the
    // database file waits for it within its time, once, and ends saying that
    // the file is in use by another program, whatever the module makes of
    // its failed statement; it does not wait again at each statement that
    // follows. The file's own wait is as it was afterwards.
    void aCallMeetingAnotherProgramsHoldEndsSayingTheFileIsInUse_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<TestLockHolder::Hold>("hold");
        const auto whole = TestLockHolder::Hold::Everything;
        QTest::newRow("a read") << "readOne" << whole;
        QTest::newRow("forty reads, each failure passed over") << "readForty" << whole;
        QTest::newRow("a write") << "writeOne" << whole;
        QTest::newRow("a transaction begun") << "beginAndWrite" << whole;
        QTest::newRow("a write, the other program's writes under way") << "writeOne" << TestLockHolder::Hold::Writes;
        QTest::newRow("a write, the other program reading") << "writeOne" << TestLockHolder::Hold::Reads;
    }
    void aCallMeetingAnotherProgramsHoldEndsSayingTheFileIsInUse()
    {
        QFETCH(QString, function);
        QFETCH(TestLockHolder::Hold, hold);
        PluginPtr plugin = loaded(
            "var tries = 0;\n"
            "function setUp() { m_query.exec('CREATE TABLE IF NOT EXISTS t (n INTEGER)'); return {NAME: 'setUp'}; }\n"
            "function readOne() {\n"
            "    ++tries; if (!m_query.exec('SELECT COUNT(*) FROM t')) return {NAME: 'n', VALUE: 'no rows'};\n"
            "    return {NAME: 'n', VALUE: 'read'};\n"
            "}\n"
            "function readForty() {\n"
            "    for (var i = 0; i < 40; ++i) { ++tries; m_query.exec('SELECT COUNT(*) FROM t'); }\n"
            "    return {NAME: 'n', VALUE: 'its series could not be read'};\n"
            "}\n"
            "function writeOne() { ++tries; m_query.exec('INSERT INTO t VALUES (1)'); return {NAME: 'n'}; }\n"
            "function beginAndWrite() {\n"
            "    ++tries; m_query.exec('BEGIN IMMEDIATE'); ++tries; m_query.exec('INSERT INTO t VALUES (1)');\n"
            "    return {NAME: 'n'};\n"
            "}\n"
            "function triesMade() { var n = tries; tries = 0; return {NAME: 'tries', VALUE: n}; }\n"
            "function count() { m_query.exec('SELECT COUNT(*) FROM t'); m_query.next(); "
            "return {NAME: 'count', VALUE: m_query.value(0)}; }\n");
        QVERIFY(plugin);
        QCOMPARE(call(plugin.get(), "setUp"), "setUp=");
        QSqlDatabase module = QSqlDatabase::database(m_db.path(), false);
        const auto ownWait = [&module]() {
            QSqlQuery pragma(module);
            return pragma.exec("PRAGMA busy_timeout") && pragma.next() ? pragma.value(0).toInt() : -1;
        };
        const int waitBefore = ownWait();
        QVERIFY(waitBefore > 0);
        {
            TestLockHolder holder(m_db.path(), hold);
            QVERIFY(holder.isHolding());
            NodePtr out(plugin->execWithin(function, {}, 50));
            QCOMPARE(out->property("NAME").toString(), "ScriptError");
            const QString why = out->property("VALUE").toString();
            QVERIFY2(why.startsWith("The call " + function + " was stopped: ")
                    && why.contains("The database file is in use by another program"),
                qPrintable(why));
        }
        // Stopped at the first statement that met the hold, give or take the one the engine was at.
        const int tries = call(plugin.get(), "triesMade").section('=', 1).toInt();
        QVERIFY2(tries >= 1 && tries <= 3, qPrintable(QString::number(tries)));
        // Free again: nothing of the call is left, and the next call from another program reads.
        NodePtr after(plugin->execWithin("count", {}, 50));
        QCOMPARE(after->property("NAME").toString(), "count");
        QCOMPARE(ownWait(), waitBefore);
    }

    // A calculation of the window's own that meets another program's hold
    // after the wait before it (the other program's writes under way, which
    // let its reads through) waits for it once, as one statement would, and
    // says in its box that the file is in use; every statement used to wait
    // half a second (the connection closed, opened again and the statement
    // run again), the window held for seconds, and the result came back as
    // if whole.
    void aWindowsCallWaitsForAHoldOnceAndSaysTheFileIsInUse_data()
    {
        QTest::addColumn<TestLockHolder::Hold>("hold");
        QTest::newRow("the other program's writes under way") << TestLockHolder::Hold::Writes;
        QTest::newRow("the other program reading") << TestLockHolder::Hold::Reads;
    }
    void aWindowsCallWaitsForAHoldOnceAndSaysTheFileIsInUse()
    {
        QFETCH(TestLockHolder::Hold, hold);
        PluginPtr plugin = loaded(
            "function setUp() { m_query.exec('CREATE TABLE IF NOT EXISTS t (n INTEGER)'); return {NAME: 'setUp'}; }\n"
            "function writeEight() {\n"
            "    for (var i = 0; i < 8; ++i) m_query.exec('INSERT INTO t VALUES (1)');\n"
            "    return {NAME: 'n', VALUE: 'written'};\n"
            "}\n");
        QVERIFY(plugin);
        QCOMPARE(call(plugin.get(), "setUp"), "setUp=");
        // What the connection holds of its own lives as long as it stays open.
        QSqlDatabase module = QSqlDatabase::database(m_db.path(), false);
        QVERIFY(QSqlQuery(module).exec("CREATE TEMP TABLE kept (n INTEGER)"));
        TestLockHolder holder(m_db.path(), hold);
        QVERIFY(holder.isHolding());
        m_errors->clear();
        NodePtr out(plugin->execOne("writeEight", {}));
        // A hold is no lost connection: it was not closed and opened again.
        QVERIFY(QSqlQuery(module).exec("SELECT n FROM kept"));
        const QString why = out->property("VALUE").toString();
        QCOMPARE(out->property("NAME").toString(), "ScriptError");
        QVERIFY2(why.contains("The database file is in use by another program"), qPrintable(why));
        QCOMPARE(m_errors->size(), 1);
        QCOMPARE(m_errors->at(0).at(0).toString(), why);
    }

    // A call from another program whose steps sleep in native operations
    // (here each statement on a connection that has lost its file, which
    // tries to open it again, pausing between tries) is stopped at its time
    // as one that computes is: the time it waits counts, not only the
    // processor's. Each such statement used to cost the call nothing.
    void aCallThatWaitsInItsStepsIsStoppedAtItsTime()
    {
        PluginPtr plugin = loaded("var tries = 0;\n"
                                  "function setUp() { m_query.exec('SELECT 1'); return {NAME: 'setUp'}; }\n"
                                  "function waits() {\n"
                                  "    for (var i = 0; i < 10; ++i) { ++tries; m_query.exec('SELECT 1'); }\n"
                                  "    return {NAME: 'n', VALUE: 'ran'};\n"
                                  "}\n"
                                  "function triesMade() { return {NAME: 'tries', VALUE: tries}; }\n");
        QVERIFY(plugin);
        QCOMPARE(call(plugin.get(), "setUp"), "setUp=");
        QSqlDatabase module = QSqlDatabase::database(m_db.path(), false);
        QVERIFY(module.isValid());
        module.close();
        module.setDatabaseName(m_db.path() + "-gone/folder/database.db");
        NodePtr out;
        {
            // Each try says that the file could not be opened again.
            const TestLog::Capture warnings;
            out.reset(plugin->execWithin("waits", {}, 50));
        }
        QCOMPARE(out->property("VALUE").toString(),
            "The call waits took more than 50 ms of the processor's time, the most a call from another program may "
            "take, and was stopped.");
        // Stopped at the statement that passed its time, give or take the one the engine was at.
        const int tries = call(plugin.get(), "triesMade").section('=', 1).toInt();
        QVERIFY2(tries >= 1 && tries <= 3, qPrintable(QString::number(tries)));
        module.setDatabaseName(m_db.path());
        QVERIFY(module.open());
    }

    void execRunsEveryRequestInOrder()
    {
        PluginPtr plugin = loaded("function a(x) { return {NAME: 'a', VALUE: x.VALUE}; }\n"
                                  "function b() { return {NAME: 'b'}; }");
        DataPluginExecInfo first;
        first.functionName = "a";
        first.inputs.add(new Node("x", 4, Node::Normal));
        DataPluginExecInfo second;
        second.functionName = "b";
        QSignalSpy baseLog(plugin.get(), &AppPlugin::sigLog);
        m_log->clear();
        const QList<Node *> results = plugin->exec({ &first, &second });
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0)->property("VALUE").toString(), "4");
        QCOMPARE(results.at(1)->property("NAME").toString(), "b");
        qDeleteAll(results);
        QCOMPARE(joined(baseLog),
            "-----------app plugin started--------------- | Exec plugin:\nCalc\na\n | Exec plugin:\nCalc\nb\n | "
            "-----------app plugin finished---------------");
        QVERIFY(joined(*m_log).startsWith("Plugin execOne: Calling a\n"));
    }
};

TEST_MAIN(TstAppPlugin)
#include "tst_app_plugin.moc"
