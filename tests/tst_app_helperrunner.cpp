// The runner of the helper programs, on shell scripts that end each way a
// helper can and on the program's own module inspector; the reader of the
// Access files runs through it in the tests of the import.

#include "app/app_helperlimits.h"
#include "app/app_helperrunner.h"
#include "app/app_inspectorcontract.h"
#include "app/app_number.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_processes.h"

#include <QtTest>

using Ending = AppHelperRunner::Ending;

class TstAppHelperRunner : public QObject
{
    Q_OBJECT

    static AppHelperRunner::Result runScript(
        const QString &script, const AppHelperRunner::Limits &limits, const QByteArray &input = QByteArray())
    {
        return testRunHelper(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), script }, limits, input);
    }

private slots:
    void tellsHowTheHelperEnded_data()
    {
        QTest::addColumn<QString>("script"); // empty: a program that does not exist
        QTest::addColumn<int>("ending");
        QTest::addColumn<QString>("how");
        // The only limit a script can meet is short; its memory cap is not for a shell to take up.
        const QString seconds = AppNumber::toText(0.3 * testSlowdown());
        QTest::newRow("finished") << "printf said; printf 'one\\ntwo\\n' >&2; exit 3" << int(Ending::Finished)
                                  << "ended with the code 3";
        QTest::newRow("time limit") << "exec sleep 600" << int(Ending::TimeLimit)
                                    << "took longer than " + seconds + " s and was stopped";
        QTest::newRow("CPU limit") << "kill -XCPU $$" << int(Ending::TimeLimit)
                                   << "took longer than " + seconds + " s and was stopped";
        // Told by the code of the helper's contract, whatever it said before.
        QTest::newRow("memory limit")
            << QString("echo 'nothing of memory' >&2; exit %1").arg(AppHelperLimits::outOfMemoryExit)
            << int(Ending::MemoryLimit) << "needed more than 64 MiB of memory";
        QTest::newRow("killed from outside")
            << "kill -KILL $$" << int(Ending::Killed) << "was ended from outside (Killed)";
        QTest::newRow("crashed") << "echo 'nothing of memory' >&2; kill -SEGV $$" << int(Ending::Crashed)
                                 << "crashed (Segmentation fault)";
        // The words of a crash are no memory limit.
        QTest::newRow("crashed speaking of allocation")
            << "echo 'GLib-ERROR **: failed to allocate 65536 bytes' >&2; kill -ABRT $$" << int(Ending::Crashed)
            << "crashed (Aborted)";
        QTest::newRow("not started") << QString() << int(Ending::NotStarted)
                                     << "could not be started from /nonexistent/vornakel_helper (";
    }
    void tellsHowTheHelperEnded()
    {
        QFETCH(QString, script);
        QFETCH(int, ending);
        QFETCH(QString, how);
        AppHelperRunner::Limits limits;
        limits.timeMs = 300 * testSlowdown();
        limits.memoryMiB = 64;
        const AppHelperRunner::Result result = script.isEmpty()
            ? testRunHelper(QStringLiteral("/nonexistent/vornakel_helper"), {}, limits)
            : runScript(script, limits);
        QCOMPARE(int(result.ending), ending);
        QVERIFY2(result.how().startsWith(how), qPrintable(result.how()));
        if (result.ending == Ending::Finished) {
            QCOMPARE(result.output, QByteArray("said"));
            QCOMPARE(result.warningLines, qint64(2));
            QCOMPARE(result.lastWarning, QByteArray("two"));
        }
    }

    // The limits the child runs under, as it reads them itself: its CPU
    // time a second past the clock's, no core file, and the memory it is
    // given to cap once it is set up.
    void theHelperRunsUnderItsLimits()
    {
        AppHelperRunner::Limits limits;
        limits.timeMs = 60000 * testSlowdown();
        limits.memoryMiB = 64;
        const AppHelperRunner::Result result
            = runScript("ulimit -t; ulimit -H -t; ulimit -c; echo \"$VORNAKEL_HELPER_MEMORY_MIB\"", limits);
        QCOMPARE(int(result.ending), int(Ending::Finished));
        const int seconds = 60 * testSlowdown();
        QCOMPARE(
            QString::fromLatin1(result.output), QStringLiteral("%1\n%2\n0\n64\n").arg(seconds + 1).arg(seconds + 2));
    }

    // A module text that takes the inspector past its memory: a memory limit,
    // though the script engine ends by a fault when an allocation fails.
    void aModuleOverTheInspectorsMemoryIsAMemoryLimit()
    {
        if (testSlowdown() > 1)
            QSKIP("an instrumented helper caps its resident memory through the sanitizer, which reports the fault");
        QByteArray text = "function getModuleName() { return \"Big\"; }\n"
                          "function getModuleVersion() { return \"1\"; }\n";
        for (int i = 0; text.size() < 16500000; ++i)
            text += "function f" + QByteArray::number(i) + "(a) { return a + " + QByteArray::number(i) + "; }\n";
        AppHelperRunner::Limits limits;
        limits.timeMs = 60000 * testSlowdown();
        limits.memoryMiB = AppInspectorContract::defaultMemoryMiB;
        const AppHelperRunner::Result result
            = testRunHelper(QLatin1String(AppInspectorContract::program), { "big_main.js" }, limits, text);
        QCOMPARE(int(result.ending), int(Ending::MemoryLimit));
        QCOMPARE(result.how(), QStringLiteral("needed more than 256 MiB of memory"));
    }

    // However much a helper writes, only the first bytes and the last whole
    // lines that fit in as many are kept; its lines are all counted, past
    // what an int holds too.
    void keepsTheHeadOfWhatItSaysAndFeedsItItsInput_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<qint64>("lines");
        QTest::newRow("a thousand lines")
            << "cat; i=0; while [ $i -lt 1000 ]; do i=$((i + 1)); echo warning $i >&2; "
               "done; echo 'said last' >&2; printf 'last' >&2"
            << QByteArray("warning 1\nwarning 2\nwarn") << QByteArray("said last\nlast") << qint64(1002);
        QTest::newRow("more lines than an int counts")
            << "cat >/dev/null; head -c 2147483653 /dev/zero | tr '\\0' '\\n' >&2; printf 'last' >&2"
            << QByteArray(24, '\n') << QByteArray(20, '\n') + "last" << qint64(2147483654);
    }
    void keepsTheHeadOfWhatItSaysAndFeedsItItsInput()
    {
        QFETCH(QString, script);
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        QFETCH(qint64, lines);
        AppHelperRunner::Limits limits;
        limits.timeMs = 600000 * testSlowdown();
        limits.outputBytes = 4096;
        limits.warningBytes = 24;
        const AppHelperRunner::Result result = runScript(script, limits, QByteArray(100000, 'a'));
        QCOMPARE(int(result.ending), int(Ending::Finished));
        QCOMPARE(result.output, script.startsWith("cat;") ? QByteArray(4096, 'a') : QByteArray());
        QCOMPARE(result.warnings, head);
        QCOMPARE(result.warningsTail, tail);
        QCOMPARE(result.warningLines, lines);
        QCOMPARE(result.lastWarning, QByteArray("last"));
    }
};

TEST_GUILESS_MAIN(TstAppHelperRunner)
#include "tst_app_helperrunner.moc"
