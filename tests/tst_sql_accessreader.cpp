// The reader of the older Access files as the import runs it: what becomes
// of a reader that is still running when the import stops waiting for it,
// or when the importing program is killed.

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

    // A file the reader waits on for ever without a word, in any build: a
    // named pipe that nobody writes (where a damaged file may loop in one
    // build and be read in another).
    QString silentFile()
    {
        const QString file = m_dir.filePath("SILENT.MDB");
        return QFileInfo(file).exists() || ::mkfifo(QFile::encodeName(file).constData(), 0600) == 0 ? file : QString();
    }

private slots:
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
        const QString file = silentFile();
        QVERIFY(!file.isEmpty());
        QTimer::singleShot(1500 * testSlowdown(), QCoreApplication::instance(), [] { QCoreApplication::exit(); });
        const SqlAccessReader::Result result = SqlAccessReader::copy(file, m_dir.filePath("copy.sqlite"));
        // Later loops run again.
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        QCOMPARE(int(result.outcome), int(SqlAccessReader::Outcome::Failed));
        QCOMPARE(result.reason, QStringLiteral("the reader was stopped before it ended"));
        QVERIFY(testChildren(getpid(), "vornakel_accessreader").isEmpty());
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
        // A reader that writes would die of its broken pipe with the program anyway.
        const QString file = silentFile();
        QVERIFY(!file.isEmpty());
        QProcess host;
        host.start(testBinaryDir() + "/bin/host_import", { file });
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
