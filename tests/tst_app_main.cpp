#include "gui/gui_vornakel.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <sys/resource.h>

namespace {

// A temporary folder is laid out as the path rules expect: bin/ holds a copy
// of the executable, Modules/ and Database/ sit beside it.
void copyShippedModules(const QString &root)
{
    QDir().mkpath(root + "/Modules");
    const QDir shipped(TestModules::shippedModulesPath());
    for (const QString &name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), root + "/Modules/" + name);
}

// Starts a copy of the executable from root/bin, with settings and runtime files kept under root.
void start(QProcess &process, const QString &root, const QString &executable, const QStringList &arguments)
{
    const QString copy = root + "/bin/" + QFileInfo(executable).fileName();
    QDir().mkpath(root + "/bin");
    QFile::copy(executable, copy);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char *name : { "HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR" })
        env.insert(QLatin1String(name), root);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(root);
    process.start(copy, arguments);
}

// The window's start-up inside a copy of this test program (see main below):
// prints the database and the message boxes, ends with the start-up's code.
int probeStart()
{
    TestModalAnswerer answerer; // settings live in the layout's HOME
    GuiVornakel window(QString(), nullptr);
    const bool started = window.initVornakel();
    std::printf("database|%s\n", qPrintable(window.activeDbLocation()));
    for (const TestModalAnswerer::Seen &seen : answerer.seen())
        std::printf("box|%s|%s\n", qPrintable(seen.title), qPrintable(QString(seen.text).replace('\n', "\\n")));
    std::fflush(stdout);
    return started ? 0 : 1;
}

} // namespace

class TstAppMain : public QObject
{
    Q_OBJECT

private slots:
    // "-v" and "-vv" print the version and end with code 0 before anything is
    // built; any other first argument is a normal start.
    void onlyAnExactFirstArgumentPrintsTheVersion_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("output"); // empty: a normal start
        QTest::newRow("-v") << QStringList { "-v", "ignored" } << QByteArray("20120828 BETA\n");
        QTest::newRow("-vv") << QStringList { "-vv", "ignored" } << QByteArray("20120828");
        QTest::newRow("longer") << QStringList { "-vvv", "-v" } << QByteArray();
    }
    void onlyAnExactFirstArgumentPrintsTheVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, output);
        QTemporaryDir root;
        copyShippedModules(root.path());
        QProcess process;
        // Started with the usual soft limit on open files, which the program
        // raises for the connections of its message server.
        rlimit limit {};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &limit), 0);
        const rlimit original = limit;
        limit.rlim_cur = qMin<rlim_t>(limit.rlim_cur, 1024);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &limit), 0);
        start(process, root.path(), testBinaryDir() + "/bin/Vornakel", arguments);
        setrlimit(RLIMIT_NOFILE, &original);
        const QString database = root.path() + "/bin/vornakel.db";
        if (output.isEmpty()) {
            // A normal start opens (and here creates) the default database beside the program.
            TEST_TRY_VERIFY(QFile::exists(database));
            QCOMPARE(process.state(), QProcess::Running);
            QFile limits(QString("/proc/%1/limits").arg(process.processId()));
            QVERIFY(limits.open(QIODevice::ReadOnly));
            const QString openFiles
                = QString::fromLatin1(limits.readAll()).split('\n').filter("Max open files").value(0);
            const qint64 hard = limit.rlim_max == RLIM_INFINITY ? 2047 : qMin<qint64>(qint64(limit.rlim_max), 2047);
            QVERIFY2(openFiles.simplified().split(' ').value(3).toLongLong() >= hard, qPrintable(openFiles));
            process.kill();
        }
        QVERIFY(process.waitForFinished(testPatienceMs()));
        QCOMPARE(process.readAllStandardOutput(), output);
        if (!output.isEmpty()) // told before anything is built
            QVERIFY(
                process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && !QFile::exists(database));
    }

    // A first start opens the bundled database (an empty file is a new one) or
    // creates one beside the program; without a database or the calculation
    // module it ends with code 1 after one message, which names where it looked.
    void startUpOpensTheDefaultDatabaseOrEndsWithCodeOne_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<bool>("besideTheProgram");
        const QString missing = "box|Vornakel|Failed to find Vornakel Module: ModuleName: MainScreen\\n"
                                "ModuleVersion: 20120412\\nModulePath: %1/bin";
        QTest::newRow("first start") << "modules" << 0 << "database|%1/bin/vornakel.db\n" << true;
        QTest::newRow("bundled") << "modules bundled" << 0 << "database|%1/bin/../Database/vornakel.db\n" << false;
        QTest::newRow("unopenable database") << "modules folder" << 1 << "box|Vornakel|" << false;
        QTest::newRow("another module") << "other" << 1 << missing + "/../Modules\n" << true;
        QTest::newRow("no modules folder") << "" << 1 << missing + "/modules\n" << true;
    }
    void startUpOpensTheDefaultDatabaseOrEndsWithCodeOne()
    {
        QFETCH(QString, layout);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QFETCH(bool, besideTheProgram);
        QTemporaryDir root;
        if (layout.contains("modules"))
            copyShippedModules(root.path());
        if (layout.contains("other")) {
            QDir().mkpath(root.path() + "/Modules");
            QVERIFY(testWriteFile(root.path() + "/Modules/Other_main.js",
                "function getModuleName() { return 'Other'; }\nfunction getModuleVersion() { return '1'; }\n"));
        }
        if (layout.contains("bundled")) // an empty file is a new database
            QVERIFY(QDir().mkpath(root.path() + "/Database")
                && QFile(root.path() + "/Database/vornakel.db").open(QIODevice::WriteOnly));
        // A folder where the database file should be: it exists, but SQLite cannot open it.
        if (layout.contains("folder"))
            QVERIFY(QDir().mkpath(root.path() + "/Database/vornakel.db"));
        QProcess process;
        start(process, root.path(), QCoreApplication::applicationFilePath(), { "--probe-start" });
        QVERIFY(process.waitForFinished(testPatienceMs()) && process.exitStatus() == QProcess::NormalExit);
        const QByteArray out = process.readAllStandardOutput();
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY2(out.contains(printed.replace("%1", root.path()).toLocal8Bit()), out.constData());
        QVERIFY2(out.count("box|") == exitCode, out.constData()); // a failed start tells once
        QCOMPARE(QFile::exists(root.path() + "/bin/vornakel.db"), besideTheProgram);
        // A window nobody saw stores no position, which would pin the next one to (0, 0).
        for (QDirIterator it(root.path(), { "*.conf" }, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile settings(it.next());
            QVERIFY(settings.open(QIODevice::ReadOnly));
            QVERIFY2(!exitCode || !settings.readAll().contains("geometry"), qPrintable(settings.fileName()));
        }
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--probe-start") == 0)
        return probeStart();
    TstAppMain test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_main.moc"
