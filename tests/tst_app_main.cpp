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
    QString bin() const { return m_dir.path() + QStringLiteral("/bin"); }
    QString modules() const { return m_dir.path() + QStringLiteral("/Modules"); }
    QString database() const { return m_dir.path() + QStringLiteral("/Database"); }

    // Copies an executable into bin/; returns the copy's path.
    QString install(const QString &executable)
    {
        const QString target = bin() + QLatin1Char('/') + QFileInfo(executable).fileName();
        QFile::remove(target);
        if (!QFile::copy(executable, target))
            return QString();
        QFile::setPermissions(target, QFile::permissions(executable) | QFileDevice::ExeOwner);
        return target;
    }

    void copyShippedModules()
    {
        QDir().mkpath(modules());
        const QDir shipped(TestModules::shippedModulesPath());
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name), modules() + QLatin1Char('/') + name);
    }

    void writeModule(const QString &fileName, const QString &moduleName)
    {
        QDir().mkpath(modules());
        QFile file(modules() + QLatin1Char('/') + fileName);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write(QStringLiteral("function getModuleName() { return \"%1\"; }\n"
                                  "function getModuleVersion() { return \"20120412\"; }\n"
                                  "function getModuleDate() { return \"20120412\"; }\n"
                                  "function getModuleInteractionXml() { return \"\"; }\n"
                                  "function getModuleUI() { return \"\"; }\n"
                                  "function getModuleHTMLUI() { return \"\"; }\n")
                       .arg(moduleName)
                       .toUtf8());
    }

    // A process environment whose settings and runtime files stay in the layout.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), root());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root());
        return env;
    }

private:
    QTemporaryDir m_dir;
};

QString programPath()
{
    return testBinaryDir() + QStringLiteral("/bin/Vornakel");
}

// Run inside a copy of this test program placed in a temporary layout: the
// window's start-up, with every message box answered and written to stdout.
int probeStart()
{
    TestSettings settings;
    TestModalAnswerer answerer;
    GuiVornakel window(QString(), nullptr);
    const bool started = window.initVornakel();
    std::printf("database|%s\n", qPrintable(window.activeDbLocation()));
    for (const TestModalAnswerer::Seen &seen : answerer.seen()) {
        QString text = seen.text;
        text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        std::printf("box|%s|%s\n", qPrintable(seen.title), qPrintable(text));
    }
    std::fflush(stdout);
    return started ? 0 : 1;
}

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out;
};

Run runProbe(ProgramLayout &layout)
{
    Run run;
    const QString probe = layout.install(QCoreApplication::applicationFilePath());
    if (probe.isEmpty())
        return run;
    QProcess process;
    process.setProcessEnvironment(layout.environment());
    process.setWorkingDirectory(layout.root());
    process.start(probe, { QStringLiteral("--probe-start") });
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = process.readAllStandardOutput();
    return run;
}

} // namespace

class TstAppMain : public QObject
{
    Q_OBJECT

private slots:
    void versionSwitchesPrintAndExitWithZero_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("-v") << "-v" << QByteArray("20120828 BETA\n");
        QTest::newRow("-vv") << "-vv" << QByteArray("20120828");
    }
    void versionSwitchesPrintAndExitWithZero()
    {
        QFETCH(QString, argument);
        QFETCH(QByteArray, output);

        ProgramLayout layout;
        const QString program = layout.install(programPath());
        QVERIFY(!program.isEmpty());
        QProcess process;
        process.setProcessEnvironment(layout.environment());
        process.start(program, { argument, QStringLiteral("ignored") });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), output);
        // Answered before anything was built: no database was opened or made.
        QVERIFY(!QFile::exists(layout.bin() + QStringLiteral("/vornakel.db")));
    }

    void onlyAnExactFirstArgumentIsASwitch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("capital") << QStringList { QStringLiteral("-V") };
        QTest::newRow("second dash") << QStringList { QStringLiteral("--v") };
        QTest::newRow("longer") << QStringList { QStringLiteral("-vvv") };
        QTest::newRow("second argument") << QStringList { QStringLiteral("x"), QStringLiteral("-v") };
    }
    void onlyAnExactFirstArgumentIsASwitch()
    {
        QFETCH(QStringList, arguments);

        ProgramLayout layout;
        layout.copyShippedModules();
        const QString program = layout.install(programPath());
        QVERIFY(!program.isEmpty());
        QProcess process;
        process.setProcessEnvironment(layout.environment());
        process.setWorkingDirectory(layout.root());
        process.start(program, arguments);
        QVERIFY(process.waitForStarted());
        // A normal start opens (and here creates) the default database beside the program.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(layout.bin() + QStringLiteral("/vornakel.db")), 60000);
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
        QVERIFY(!process.readAllStandardOutput().contains("20120828"));
    }

    void aStartWithoutTheCalculationModuleEndsWithCodeOne()
    {
        ProgramLayout layout;
        layout.writeModule(QStringLiteral("Other_main.js"), QStringLiteral("Other"));
        const Run run = runProbe(layout);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        const QByteArray expected = "box|Vornakel|Failed to find Vornakel Module: ModuleName: MainScreen\\n"
                                    "ModuleVersion: 20120412\\nModulePath: "
            + (layout.bin() + QStringLiteral("/../Modules")).toLocal8Bit() + "\n";
        QVERIFY2(run.out.contains(expected), run.out.constData());
    }

    void aStartWithoutAModulesFolderEndsWithCodeOne()
    {
        ProgramLayout layout;
        const Run run = runProbe(layout);
        QCOMPARE(run.exitCode, 1);
        // No bundle folder: the fallback beside the program is named.
        QVERIFY2(run.out.contains("ModulePath: " + (layout.bin() + QStringLiteral("/modules")).toLocal8Bit()),
            run.out.constData());
    }

    void aDatabaseThatCannotBeOpenedEndsWithCodeOne()
    {
        ProgramLayout layout;
        layout.copyShippedModules();
        // A folder where the database file should be: it exists, but SQLite cannot open it.
        QVERIFY(QDir().mkpath(layout.database() + QStringLiteral("/vornakel.db")));
        const Run run = runProbe(layout);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains("box|Vornakel|"), run.out.constData());
        // The start ended at the database: the modules were never looked at.
        QVERIFY(!run.out.contains("Failed to find Vornakel Module"));
    }

    void aFirstStartCreatesTheDatabaseBesideTheProgram()
    {
        ProgramLayout layout;
        layout.copyShippedModules();
        const Run run = runProbe(layout);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.out.contains("box|"), run.out.constData());
        QVERIFY(run.out.contains("database|" + (layout.bin() + QStringLiteral("/vornakel.db")).toLocal8Bit() + "\n"));
        QVERIFY(QFile::exists(layout.bin() + QStringLiteral("/vornakel.db")));
    }

    void theBundledDatabaseIsPreferred()
    {
        ProgramLayout layout;
        layout.copyShippedModules();
        QVERIFY(QDir().mkpath(layout.database()));
        {
            QFile file(layout.database() + QStringLiteral("/vornakel.db"));
            QVERIFY(file.open(QIODevice::WriteOnly)); // an empty file counts as a new database
        }
        const Run run = runProbe(layout);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(
            "database|" + (layout.bin() + QStringLiteral("/../Database/vornakel.db")).toLocal8Bit() + "\n"));
        QVERIFY(!QFile::exists(layout.bin() + QStringLiteral("/vornakel.db")));
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
