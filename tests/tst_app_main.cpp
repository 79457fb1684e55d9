#include "gui/gui_vornakel.h"
#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

namespace {

// The program's folder layout, rebuilt in a temporary folder: bin/ with a copy
// of an executable, Modules/ and Database/ beside it, as the path rules expect.
class ProgramLayout
{
public:
    ProgramLayout() { QDir(m_dir.path()).mkpath(QStringLiteral("bin")); }

    QString root() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

    void write(const QString &relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    void copyShippedModules()
    {
        QDir().mkpath(path(QStringLiteral("Modules")));
        const QDir shipped(TestModules::shippedModulesPath());
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name), path(QStringLiteral("Modules/") + name));
    }

    // Starts a copy of the executable from bin/, with settings and runtime files kept in the layout.
    void start(QProcess &process, const QString &executable, const QStringList &arguments)
    {
        const QString copy = path(QStringLiteral("bin/") + QFileInfo(executable).fileName());
        QFile::copy(executable, copy);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char *name : { "HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR" })
            env.insert(QLatin1String(name), m_dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(copy, arguments);
    }

    // The window's start-up inside a copy of this test program (see main below):
    // its exit code, and the database and message boxes it printed.
    int probe(QByteArray &out)
    {
        QProcess process;
        start(process, QCoreApplication::applicationFilePath(), { QStringLiteral("--probe-start") });
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        out = process.readAllStandardOutput();
        return process.exitCode();
    }

private:
    QTemporaryDir m_dir;
};

int probeStart()
{
    TestSettings settings;
    TestModalAnswerer answerer;
    GuiVornakel window(QString(), nullptr);
    const bool started = window.initVornakel();
    std::printf("database|%s\n", qPrintable(window.activeDbLocation()));
    for (const TestModalAnswerer::Seen &seen : answerer.seen())
        std::printf("box|%s|%s\n", qPrintable(seen.title), qPrintable(QString(seen.text).replace('\n', "\\n")));
    std::fflush(stdout);
    return started ? 0 : 1;
}

const QString program = testBinaryDir() + QStringLiteral("/bin/Vornakel");

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
        QTest::newRow("capital") << QStringList { "-V" } << QByteArray();
        QTest::newRow("longer") << QStringList { "-vvv" } << QByteArray();
        QTest::newRow("second argument") << QStringList { "x", "-v" } << QByteArray();
    }
    void onlyAnExactFirstArgumentPrintsTheVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, output);
        ProgramLayout layout;
        layout.copyShippedModules();
        QProcess process;
        layout.start(process, program, arguments);
        const QString database = layout.path(QStringLiteral("bin/vornakel.db"));
        if (!output.isEmpty()) {
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(process.readAllStandardOutput(), output);
            QVERIFY(!QFile::exists(database));
            return;
        }
        // A normal start opens (and here creates) the default database beside the program.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(database), 60000);
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
        QVERIFY(!process.readAllStandardOutput().contains("20120828"));
    }

    // A first start opens the bundled database (an empty file is a new one) or
    // creates one beside the program; without a database or the calculation
    // module it ends with code 1 after its message, which names where it looked.
    void startUpOpensTheDefaultDatabaseOrEndsWithCodeOne_data()
    {
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("notPrinted");
        QTest::addColumn<bool>("besideTheProgram");
        const QString missing = QStringLiteral("box|Vornakel|Failed to find Vornakel Module: ModuleName: MainScreen\\n"
                                               "ModuleVersion: 20120412\\nModulePath: %1/bin");
        QTest::newRow("first start") << QStringList { "modules" } << 0 << "database|%1/bin/vornakel.db\n"
                                     << "box|" << true;
        QTest::newRow("bundled database")
            << QStringList { "modules", "bundled database" } << 0 << "database|%1/bin/../Database/vornakel.db\n"
            << "box|" << false;
        QTest::newRow("unopenable database") << QStringList { "modules", "database folder" } << 1 << "box|Vornakel|"
                                             << "Failed to find" << false;
        QTest::newRow("another module") << QStringList { "other module" } << 1
                                        << missing + QStringLiteral("/../Modules\n") << QString() << true;
        QTest::newRow("no modules folder")
            << QStringList() << 1 << missing + QStringLiteral("/modules\n") << QString() << true;
    }
    void startUpOpensTheDefaultDatabaseOrEndsWithCodeOne()
    {
        QFETCH(QStringList, layout);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QFETCH(QString, notPrinted);
        QFETCH(bool, besideTheProgram);
        ProgramLayout folders;
        if (layout.contains(QStringLiteral("modules")))
            folders.copyShippedModules();
        if (layout.contains(QStringLiteral("other module")))
            folders.write(QStringLiteral("Modules/Other_main.js"),
                "function getModuleName() { return \"Other\"; }\n"
                "function getModuleVersion() { return \"20120412\"; }\n");
        if (layout.contains(QStringLiteral("bundled database")))
            folders.write(QStringLiteral("Database/vornakel.db"), QByteArray());
        // A folder where the database file should be: it exists, but SQLite cannot open it.
        if (layout.contains(QStringLiteral("database folder")))
            QVERIFY(QDir().mkpath(folders.path(QStringLiteral("Database/vornakel.db"))));
        QByteArray out;
        QCOMPARE(folders.probe(out), exitCode);
        QVERIFY2(out.contains(QString(printed).replace(QStringLiteral("%1"), folders.root()).toLocal8Bit()),
            out.constData());
        QVERIFY2(notPrinted.isEmpty() || !out.contains(notPrinted.toLocal8Bit()), out.constData());
        QCOMPARE(QFile::exists(folders.path(QStringLiteral("bin/vornakel.db"))), besideTheProgram);
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
