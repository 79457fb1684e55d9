// The reader of the older Access files, run by hand and as the import runs
// it: what it says of a file, what it refuses, and what becomes of a reader
// that is still running when the import stops waiting for it, that is ended
// from outside, or whose importing program is killed.

#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_olddatabase.h"
#include "test_processes.h"

#include <QScopeGuard>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

class TstSqlAccessReader : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    QTemporaryDir m_dir;

    // The copy folders of imports in the temporary folder.
    static QStringList copyFolders()
    {
        return QDir(QDir::tempPath()).entryList({ "vornakel-access-*" }, QDir::Dirs | QDir::NoDotAndDotDot);
    }

private slots:
    // By hand: an intact file copies without a word; on its error output the
    // reader names a table it could not copy, and one whose definition
    // counts rows it could not give; it refuses what is not a regular file
    // before it opens it, and a copy that would be no file.
    void theReaderByHandSaysWhatTheFileHolds_data()
    {
        QTest::addColumn<QStringList>("arguments"); // FILE, PIPE and COPY stand for their paths
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("warnings");
        using Damage = TestOldDatabase::Damage;
        const QString pipe = "PIPE is a named pipe (FIFO), not a regular file, and is not opened.\n";
        QTest::newRow("an intact file") << QStringList { "copy", "FILE", "COPY" } << int(Damage::None) << 0 << ""
                                        << "";
        QTest::newRow("a row its definition counts but cannot give")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::LostRow) << 0 << ""
            << "vornakel_accessreader: table Monitor_Authenticate: its definition counts 1 row, but 0 were read\n";
        QTest::newRow("a table that cannot be copied")
            << QStringList { "copy", "FILE", "COPY", "monitor_authenticate" } << int(Damage::UnreadableTable) << 0 << ""
            << "vornakel_accessreader: table Monitor_Authenticate could not be copied: Couldn't parse SQL\n";
        QTest::newRow("check of a named pipe")
            << QStringList { "check", "PIPE" } << int(Damage::None) << 1 << pipe << "";
        QTest::newRow("copy of a named pipe")
            << QStringList { "copy", "PIPE", "COPY" } << int(Damage::None) << 1 << pipe << "";
        QTest::newRow("an empty copy name") << QStringList { "copy", "FILE", "" } << int(Damage::None) << 2
                                            << "the copy must be named by a file path, not \"\"\n"
                                            << "";
        QTest::newRow("a copy in memory") << QStringList { "copy", "FILE", ":memory:" } << int(Damage::None) << 2
                                          << "the copy must be named by a file path, not \":memory:\"\n"
                                          << "";
    }
    void theReaderByHandSaysWhatTheFileHolds()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, damage);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, warnings);
        QTemporaryDir dir;
        const QString file = dir.filePath("READ.MDB");
        const QString pipe = dir.filePath("PIPE.MDB");
        const QString copy = dir.filePath("copy.sqlite");
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage(damage), file));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        arguments.replaceInStrings(QRegularExpression("^FILE$"), file);
        arguments.replaceInStrings(QRegularExpression("^PIPE$"), pipe);
        arguments.replaceInStrings(QRegularExpression("^COPY$"), copy);
        QProcess reader;
        reader.start(testBinaryDir() + "/bin/vornakel_accessreader", arguments);
        // A reader that opened the pipe would wait for a writer for ever.
        const bool ended = reader.waitForFinished(20000 * testSlowdown());
        if (!ended)
            reader.kill();
        QVERIFY(ended);
        QCOMPARE(reader.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), output.replace("PIPE", pipe));
        // The reader's own warnings come last, after the library's.
        const QString said = QString::fromUtf8(reader.readAllStandardError());
        QVERIFY2(warnings.isEmpty() ? said.isEmpty() : said.endsWith(warnings), qPrintable(said));
        QCOMPARE(reader.exitCode(), exitCode);
        QCOMPARE(QFileInfo::exists(copy), exitCode == 0);
    }

    // The program quits while a file is read (QCoreApplication::exit ends
    // every loop, the reader's wait too): the reader is stopped, and its
    // half-written copy is no file read. A time limit given in seconds is
    // not cut short where it overflows in milliseconds.
    void aReaderStillRunningWhenTheWaitEndsIsStoppedAndNotRead_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::newRow("limits as set") << 60 * testSlowdown();
        QTest::newRow("a time limit past an int of milliseconds") << 4294968;
    }
    void aReaderStillRunningWhenTheWaitEndsIsStoppedAndNotRead()
    {
        QFETCH(int, seconds);
        TestOldDatabase::shortenReaderLimits(seconds, 1024);
        // The reader waits on its driver without a word (a damaged file may loop in one build and be read in another).
        const TestSilentDriver silent;
        QVERIFY(silent.isValid());
        QTimer::singleShot(1500 * testSlowdown(), QCoreApplication::instance(), [] { QCoreApplication::exit(); });
        const SqlAccessReader::Result result
            = SqlAccessReader::copy(TestOldDatabase::accessSample(), m_dir.filePath("copy.sqlite"));
        // Later loops run again.
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        QCOMPARE(int(result.outcome), int(SqlAccessReader::Outcome::Stopped));
        QCOMPARE(result.reason, QStringLiteral("the reader was stopped before it ended"));
        QVERIFY(testChildren(getpid(), "vornakel_accessreader").isEmpty());
    }

    // A reader ended by a signal from outside (a person, the system) is
    // said to be so, and the file is not blamed for it.
    void aReaderEndedFromOutsideIsSaidToBe_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("how");
        QTest::newRow("SIGKILL") << int(SIGKILL) << "Killed";
        QTest::newRow("SIGTERM") << int(SIGTERM) << "Terminated";
    }
    void aReaderEndedFromOutsideIsSaidToBe()
    {
        QFETCH(int, signal);
        QFETCH(QString, how);
        // Only the signal ends the reader, which waits on its driver: its limits are beyond what the test waits for.
        TestOldDatabase::shortenReaderLimits(600, 1024);
        const TestSilentDriver silent;
        QVERIFY(silent.isValid());
        const QString file = TestOldDatabase::accessSample();
        const QString copy = m_dir.filePath("ended.sqlite");
        QFile::remove(copy);
        QTimer outside;
        connect(&outside, &QTimer::timeout, this, [&outside, signal] {
            const QList<pid_t> readers = testChildren(getpid(), "vornakel_accessreader");
            if (readers.isEmpty())
                return;
            ::kill(readers.first(), signal);
            outside.stop();
        });
        outside.start(50);
        const SqlAccessReader::Result result = SqlAccessReader::copy(file, copy);
        QCOMPARE(int(result.outcome), int(SqlAccessReader::Outcome::Stopped));
        QCOMPARE(SqlAccessReader::unreadable(file, result),
            file + QString(" could not be read: the reader was ended from outside (%1).").arg(how));
    }

    // Killed with kill -9 mid-read, the importing program takes its reader
    // with it; the copy folder it leaves goes with the next import, which
    // keeps its own only while it lives.
    void aKilledImportLeavesNoReaderAndTheNextImportRemovesItsCopy()
    {
        const QByteArray temp = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([temp] {
            if (temp.isEmpty())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", temp);
        });
        qputenv("TMPDIR", m_dir.path().toLocal8Bit());
        // A reader that writes would die of its broken pipe with the program
        // anyway: the host's reader waits on its driver without a word.
        QProcess host;
        host.start(testBinaryDir() + "/bin/host_import", { TestOldDatabase::accessSample() });
        QVERIFY(host.waitForStarted());
        QList<pid_t> readers;
        QTRY_VERIFY_WITH_TIMEOUT(!(readers = testChildren(pid_t(host.processId()), "vornakel_accessreader")).isEmpty(),
            10000 * testSlowdown());
        const QStringList left = copyFolders();
        ::kill(pid_t(host.processId()), SIGKILL);
        QVERIFY(host.waitForFinished());
        QTRY_VERIFY(!testIsAlive(readers.first()));
        QCOMPARE(left.size(), 1);
        QCOMPARE(copyFolders(), left);

        TestDatabase db;
        {
            SqlImportDb engine(db.connectionName());
            QVERIFY(engine.openSourceDatabase(TestOldDatabase::accessSample()));
            const QStringList own = copyFolders();
            QVERIFY2(own.size() == 1 && own != left, qPrintable(own.join(' ')));
        }
        QCOMPARE(copyFolders(), QStringList());
    }
};

TEST_GUILESS_MAIN(TstSqlAccessReader)
#include "tst_sql_accessreader.moc"
