// The runner of the helper programs, on shell scripts that end each way a
// helper can; the program's own helpers run through it in the tests of the
// import and of the update check.

#include "app/app_helperrunner.h"
#include "app/app_number.h"
#include "test_environment.h"
#include "test_log.h"

#include <QtTest>

using Ending = AppHelperRunner::Ending;

class TstAppHelperRunner : public QObject
{
    Q_OBJECT

    static AppHelperRunner::Result runScript(
        const QString &script, const AppHelperRunner::Limits &limits, const QByteArray &input = QByteArray())
    {
        return AppHelperRunner::run(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), script }, limits, input);
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
        QTest::newRow("memory limit") << "echo 'GLib-ERROR **: failed to allocate 65536 bytes' >&2; kill -ABRT $$"
                                      << int(Ending::MemoryLimit) << "needed more than 64 MiB of memory";
        QTest::newRow("killed from outside")
            << "kill -KILL $$" << int(Ending::Killed) << "was ended from outside (Killed)";
        QTest::newRow("crashed") << "echo 'nothing of memory' >&2; kill -SEGV $$" << int(Ending::Crashed)
                                 << "crashed (Segmentation fault)";
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
            ? AppHelperRunner::run(QStringLiteral("/nonexistent/vornakel_helper"), {}, limits)
            : runScript(script, limits);
        QCOMPARE(int(result.ending), ending);
        QVERIFY2(result.how().startsWith(how), qPrintable(result.how()));
        if (result.ending == Ending::Finished) {
            QCOMPARE(result.output, QByteArray("said"));
            QCOMPARE(result.warningLines, 2);
            QCOMPARE(result.lastWarning, QByteArray("two"));
        }
    }

    // However much a helper writes, only the first bytes and the last whole
    // lines that fit in as many are kept.
    void keepsTheHeadOfWhatItSaysAndFeedsItItsInput()
    {
        AppHelperRunner::Limits limits;
        limits.timeMs = 60000 * testSlowdown();
        limits.outputBytes = 4096;
        limits.warningBytes = 24;
        const AppHelperRunner::Result result
            = runScript("cat; i=0; while [ $i -lt 1000 ]; do i=$((i + 1)); echo warning $i >&2; done; "
                        "echo 'said last' >&2; printf 'last' >&2",
                limits, QByteArray(100000, 'a'));
        QCOMPARE(int(result.ending), int(Ending::Finished));
        QCOMPARE(result.output, QByteArray(4096, 'a'));
        QCOMPARE(result.warnings, QByteArray("warning 1\nwarning 2\nwarn"));
        QCOMPARE(result.warningsTail, QByteArray("said last\nlast"));
        QCOMPARE(result.warningLines, 1002);
        QCOMPARE(result.lastWarning, QByteArray("last"));
    }
};

TEST_GUILESS_MAIN(TstAppHelperRunner)
#include "tst_app_helperrunner.moc"
