// The reader of the older Access files, run by hand and as the import runs
// it: what it says of a file, what it refuses, and what becomes of a reader
// that the import stops, that is ended from outside, or whose importing
// program is killed; and the folders of its copies, which no other user and
// no leftover can take over or freeze.

#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_olddatabase.h"
#include "test_processes.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TstSqlAccessReader : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    QTemporaryDir m_dir;

private slots:
    // By hand: an intact file copies without a word; on its error output the
    // reader names a table it could not copy, and why: here, damage its own
    // check of the file found; it refuses what is not a regular file before
    // it opens it, and a copy that would be no file.
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
        // Damage the driver would read wrong without a word, or crash, loop or
        // allocate without end on, impossible in a sound file: told, and the
        // driver never reads the table.
        const QString damaged
            = "vornakel_accessreader: table Monitor_Authenticate could not be copied: the file is damaged: ";
        QTest::newRow("a row its definition counts but cannot give")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::LostRow) << 0 << ""
            << damaged
                + "row 1 of page 17 does not lie between its neighbours; its definition counts 1 row, but its "
                  "pages hold 0\n";
        QTest::newRow("a row in its page's header")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::RowInPageHeader) << 0 << ""
            << damaged
                + "row 1 of page 17 starts inside the page's header; its definition counts 1 row, but its pages "
                  "hold 0\n";
        QTest::newRow("a row in its page's free space")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::RowInFreeSpace) << 0 << ""
            << damaged
                + "row 1 of page 17 starts inside the page's free space; its definition counts 1 row, but its "
                  "pages hold 0\n";
        QTest::newRow("two columns under one number")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::SharedColumnNumber) << 0 << ""
            << damaged + "its definition gives the number 1 to two columns, LineSpeed among them\n";
        QTest::newRow("no columns of variable length counted")
            << QStringList { "copy", "FILE", "COPY" } << int(Damage::NoVariableLengthColumns) << 0 << ""
            << damaged
                + "its definition counts 0 columns of variable length, but lists 5 (LineNumber, LinePassword, "
                  "LineSpeed, EMail_Address, Comment)\n";
        QTest::newRow("a table that cannot be copied")
            << QStringList { "copy", "FILE", "COPY", "monitor_authenticate" } << int(Damage::UnreadableTable) << 0 << ""
            << damaged + "its definition's page 15 holds no table definition\n";
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
        const bool ended = reader.waitForFinished(testPatienceMs());
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

    // Damage that the driver read wrong without a word (a text running into
    // the next, every value a column off, a text taken for a long value,
    // the rows of another table), crashed on, or looped or aborted on (a file
    // cut in its last page): the reader finds it in the file's own bytes
    // before the driver reads any, and says what it is, for the file or for
    // the table; it ends by its own code, never crashed nor stopped.
    void aDamagedFileIsToldNeverReadWrong_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<bool>("wholeFile"); // else the table alone is not copied
        QTest::addColumn<QString>("says");
        using Damage = TestOldDatabase::Damage;
        QTest::newRow("an offset of a text past the row")
            << int(Damage::ValueOffsetOutsideRow) << false
            << "row 1 of page 17: the offsets of its values of variable length lie outside it";
        QTest::newRow("a column number beyond the count")
            << int(Damage::ColumnNumberBeyondCount) << false
            << "its definition gives column ID the number 255, not below its 12";
        QTest::newRow("a text column made memo")
            << int(Damage::ColumnMadeMemo) << false
            << "row 1 of page 17: the long value of its column EMail_Address lies on page 28416, beyond the file's 27 "
               "pages";
        QTest::newRow("the map's row beyond its page")
            << int(Damage::MapRowBeyondPage) << false
            << "the map of its pages (row 256 of page 16) cannot be read: page 16 has no row 256";
        QTest::newRow("the row's offset moved by one")
            << int(Damage::RowOffsetMovedByOne) << false
            << "row 1 of page 17 counts 256 columns, where the table numbers them below 12";
        QTest::newRow("two tables' pages swapped")
            << int(Damage::PagesSwapped) << false
            << "page 17, which its map lists, holds no data of it; page 20 holds rows of it, but its map leaves the "
               "page out";
        QTest::newRow("a giant long value")
            << int(Damage::GiantLongValue) << true
            << "its catalog of tables is damaged: row 16 of page 14: the long value of its column LvProp gives a "
               "length of 8388864 bytes, but its row holds 256";
        QTest::newRow("cut in the catalog's pages")
            << int(Damage::CutInCatalog) << true << "it ends 2048 bytes into its page 6: it was cut short";
        QTest::newRow("cut in the last page")
            << int(Damage::CutInLastPage) << true << "it ends 3584 bytes into its page 26: it was cut short";
    }
    void aDamagedFileIsToldNeverReadWrong()
    {
        QFETCH(int, damage);
        QFETCH(bool, wholeFile);
        QFETCH(QString, says);
        const QString file = m_dir.filePath("DAMAGED.MDB");
        const QString copy = m_dir.filePath("damaged.sqlite");
        QFile::remove(copy);
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage(damage), file));
        const SqlAccessReader::Result read = TestOldDatabase::copyAccessFile(file, copy, { "Monitor_Authenticate" });
        if (wholeFile) {
            QCOMPARE(int(read.outcome), int(SqlAccessReader::Outcome::Failed));
            QCOMPARE(read.reason, says);
        } else {
            QCOMPARE(int(read.outcome), int(SqlAccessReader::Outcome::Read));
            QCOMPARE(read.uncopiedTables.value("Monitor_Authenticate"), "the file is damaged: " + says);
            QCOMPARE(read.warnings, qint64(0));
        }
    }

    // The import stops its reader (the person pressed Stop): the reader is
    // ended, and its half-written copy is no file read. A time limit given
    // in seconds is not cut short where it overflows in milliseconds.
    void aReaderTheImportStopsEndsAndIsNotRead_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::newRow("limits as set") << 60 * testSlowdown();
        QTest::newRow("a time limit past an int of milliseconds") << 4294968;
    }
    void aReaderTheImportStopsEndsAndIsNotRead()
    {
        QFETCH(int, seconds);
        TestOldDatabase::shortenReaderLimits(seconds, 1024);
        // The reader waits on its driver without a word (a damaged file may loop in one build and be read in another).
        const TestSilentDriver silent;
        QVERIFY(silent.isValid());
        SqlAccessReader reader;
        QTimer stop;
        connect(&stop, &QTimer::timeout, this, [&] {
            if (!testChildren(getpid(), "vornakel_accessreader").isEmpty())
                reader.stop();
        });
        stop.start(50);
        QVERIFY(testRunUntil(&reader, &SqlAccessReader::ended,
            [&] { reader.startCopy(TestOldDatabase::accessSample(), m_dir.filePath("copy.sqlite")); }));
        QCOMPARE(int(reader.result().outcome), int(SqlAccessReader::Outcome::Stopped));
        QCOMPARE(reader.result().reason, QStringLiteral("the reader was stopped before it ended"));
        TEST_TRY_VERIFY(testChildren(getpid(), "vornakel_accessreader").isEmpty());
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
        const SqlAccessReader::Result result = TestOldDatabase::copyAccessFile(file, copy);
        QCOMPARE(int(result.outcome), int(SqlAccessReader::Outcome::Stopped));
        QCOMPARE(SqlAccessReader::unreadable(file, result),
            file + QString(" could not be read: the reader was ended from outside (%1).").arg(how));
    }

    // Killed with kill -9 mid-read, the importing program takes its reader
    // with it; the copy folder it leaves goes with the next import, which
    // keeps its own only while it lives.
    void aKilledImportLeavesNoReaderAndTheNextImportRemovesItsCopy()
    {
        const TestRuntimeFolder runtime;
        // A reader that writes would die of its broken pipe with the program
        // anyway: the host's reader waits on its driver without a word.
        QProcess host;
        host.start(testBinaryDir() + "/bin/host_import", { TestOldDatabase::accessSample() });
        QVERIFY(host.waitForStarted(testPatienceMs()));
        QList<pid_t> readers;
        TEST_TRY_VERIFY(!(readers = testChildren(pid_t(host.processId()), "vornakel_accessreader")).isEmpty());
        const QStringList left = runtime.copyFolders();
        ::kill(pid_t(host.processId()), SIGKILL);
        QVERIFY(host.waitForFinished(testPatienceMs()));
        TEST_TRY_VERIFY(!testIsAlive(readers.first()));
        QCOMPARE(left.size(), 1);
        QCOMPARE(runtime.copyFolders(), left);

        TestDatabase db;
        {
            SqlImportDb engine(db.connectionName());
            TestOldDatabase::readAccessFile(engine, TestOldDatabase::accessSample());
            QVERIFY(engine.openSourceDatabase(TestOldDatabase::accessSample()));
            const QStringList own = runtime.copyFolders();
            QVERIFY2(own.size() == 1 && own != left, qPrintable(own.join(' ')));
        }
        QCOMPARE(runtime.copyFolders(), QStringList());
    }

    // The copies live in a folder that only the user may write: the runtime
    // folder, else the cache folder; each import's copy folder is the
    // user's alone.
    void theCopiesLiveInAFolderOnlyTheUserMayWrite_data()
    {
        QTest::addColumn<int>("runtimeMode");
        QTest::addColumn<uint>("runtimeOwner");
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("the runtime folder") << 0700 << uint(::geteuid()) << true;
        QTest::newRow("a runtime folder others may write") << 0777 << uint(::geteuid()) << false;
        QTest::newRow("a runtime folder of another user") << 0700 << 65534u << false;
    }
    void theCopiesLiveInAFolderOnlyTheUserMayWrite()
    {
        QFETCH(int, runtimeMode);
        QFETCH(uint, runtimeOwner);
        QFETCH(bool, inRuntime);
        if (runtimeOwner != ::geteuid() && ::geteuid() != 0)
            QSKIP("only the superuser can give a folder to another user");
        const TestRuntimeFolder runtime;
        QTemporaryDir cache;
        const TestVariable cacheVariable("XDG_CACHE_HOME", cache.path());
        QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), mode_t(runtimeMode)) == 0);
        QVERIFY(::chown(QFile::encodeName(runtime.path()).constData(), uid_t(runtimeOwner), gid_t(-1)) == 0);
        {
            const SqlAccessReader::CopyFolder folder;
            QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
            const QFileInfo made(QFileInfo(folder.filePath("1.sqlite")).absolutePath());
            QCOMPARE(made.absolutePath(), inRuntime ? runtime.path() : cache.path());
            struct stat status = {};
            QVERIFY(::stat(QFile::encodeName(made.absoluteFilePath()).constData(), &status) == 0);
            QCOMPARE(status.st_mode & 07777, mode_t(0700));
            QCOMPARE(status.st_uid, ::geteuid());
        }
        QVERIFY(::chown(QFile::encodeName(runtime.path()).constData(), ::geteuid(), gid_t(-1)) == 0);
    }

    // A relative $XDG_RUNTIME_DIR or $XDG_CACHE_HOME names no folder (it
    // would lie below wherever the program was started) and is passed over,
    // for ~/.cache; a cache folder that cannot be made is refused with the
    // system's reason.
    void aFolderNamedRelativelyIsPassedOverAndOneNotMadeSaysWhy_data()
    {
        QTest::addColumn<QString>("runtime"); // null: unset
        QTest::addColumn<QString>("cache");
        QTest::addColumn<bool>("homeBelowAFile");
        QTest::addColumn<QString>("refusal"); // empty when the copies go to ~/.cache
        QTest::newRow("a relative runtime folder") << "run" << QString() << false << "";
        QTest::newRow("a relative cache folder") << QString() << "cache" << false << "";
        QTest::newRow("both relative") << "run"
                                       << "cache" << false << "";
        QTest::newRow("a home folder where none can be made")
            << QString() << QString() << true
            << "no folder of this user's own for the copies: HOME/.cache cannot be made: "
                + QString::fromLocal8Bit(std::strerror(ENOTDIR));
    }
    void aFolderNamedRelativelyIsPassedOverAndOneNotMadeSaysWhy()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, cache);
        QFETCH(bool, homeBelowAFile);
        QFETCH(QString, refusal);
        const TestStartFolder start;
        QVERIFY(QDir(start.path()).mkdir("run") && QDir(start.path()).mkdir("cache"));
        for (const char *folder : { "run", "cache" })
            QVERIFY(::chmod(QFile::encodeName(start.filePath(folder)).constData(), 0700) == 0);
        QTemporaryDir homes;
        QVERIFY(testWriteFile(homes.filePath("file"), "a file") && QDir(homes.path()).mkdir("home"));
        const QString home = homes.filePath(homeBelowAFile ? "file/home" : "home");
        const TestVariable runtimeVariable("XDG_RUNTIME_DIR", runtime);
        const TestVariable cacheVariable("XDG_CACHE_HOME", cache);
        const TestVariable homeVariable("HOME", home);
        const SqlAccessReader::CopyFolder folder;
        if (!refusal.isEmpty()) {
            QVERIFY(!folder.isValid());
            QCOMPARE(folder.errorString(), QString(refusal).replace("HOME", home));
            return;
        }
        QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
        QCOMPARE(QFileInfo(QFileInfo(folder.filePath("1.sqlite")).absolutePath()).absolutePath(), home + "/.cache");
        QCOMPARE(QDir(start.filePath("run")).isEmpty() && QDir(start.filePath("cache")).isEmpty(), true);
    }

    // Left in the runtime folder: what the next import removes, and what it
    // leaves alone. A lock that is no regular file (a named pipe, whose
    // opening would wait for ever) is not judged; a link is never followed,
    // neither in place of a folder nor in one; a folder of another user, and
    // one whose program lives, are left as they are. A named pipe in the
    // shared temporary folder is not even looked at.
    void noLeftoverNorOtherUserFreezesOrMisleadsTheNextImport_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        QTest::newRow("a stale folder") << "stale" << true;
        QTest::newRow("a folder whose program lives") << "living" << false;
        QTest::newRow("a named pipe as its lock") << "pipe" << false;
        QTest::newRow("a named pipe as a lock in the shared temporary folder") << "shared pipe" << false;
        QTest::newRow("a link in place of a stale folder") << "link" << false;
        QTest::newRow("a link in a stale folder") << "link inside" << true;
        QTest::newRow("a stale folder of another user") << "other user" << false;
    }
    void noLeftoverNorOtherUserFreezesOrMisleadsTheNextImport()
    {
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        if (kind == "other user" && ::geteuid() != 0)
            QSKIP("only the superuser can give a folder to another user");
        const TestRuntimeFolder runtime;
        // What a link could lead the removal to: a folder that must stay whole.
        QTemporaryDir victim;
        QVERIFY(testWriteFile(victim.filePath("owner.lock"), QByteArray()));
        QVERIFY(testWriteFile(victim.filePath("data.txt"), "kept"));
        const QString base = kind == "shared pipe" ? QDir::tempPath() : runtime.path();
        const QString left = base + "/vornakel-access-" + QFileInfo(victim.path()).fileName().toLower();
        const QByteArray lock = QFile::encodeName(left + "/owner.lock");
        int held = -1;
        if (kind == "link") {
            QVERIFY(QFile::link(victim.path(), left));
        } else {
            QVERIFY(QDir().mkdir(left));
            if (kind == "pipe" || kind == "shared pipe")
                QVERIFY(::mkfifo(lock.constData(), 0600) == 0);
            else
                QVERIFY(testWriteFile(QFile::decodeName(lock), "12345\n"));
            if (kind == "link inside")
                QVERIFY(QFile::link(victim.path(), left + "/data"));
            if (kind == "other user")
                QVERIFY(::chown(QFile::encodeName(left).constData(), 65534, 65534) == 0
                    && ::chown(lock.constData(), 65534, 65534) == 0);
            if (kind == "living") {
                held = ::open(lock.constData(), O_RDONLY | O_CLOEXEC);
                QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
            }
        }
        {
            const SqlAccessReader::CopyFolder folder;
            QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
            QVERIFY(folder.filePath("1.sqlite").startsWith(runtime.path() + "/vornakel-access-"));
        }
        if (held >= 0)
            ::close(held);
        QCOMPARE(!QFileInfo(left).exists() && !QFileInfo(left).isSymLink(), removed);
        QCOMPARE(QDir(victim.path()).entryList(QDir::Files, QDir::Name), QStringList({ "data.txt", "owner.lock" }));
        QVERIFY(QFile::exists(victim.filePath("data.txt")));
        // What the test left, whatever it is.
        if (QFileInfo(left).isSymLink())
            QFile::remove(left);
        else
            QDir(left).removeRecursively();
        QCOMPARE(runtime.copyFolders(), QStringList());
    }
};

TEST_GUILESS_MAIN(TstSqlAccessReader)
#include "tst_sql_accessreader.moc"
