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
    // The program quits while a file is read (QCoreApplication::exit ends
    // every loop, the reader's wait too): the reader is stopped, and its
    // half-written copy is no file read. A time limit given in seconds is
    // not cut short where it overflows in milliseconds.
    void aReaderStillRunningWhenTheWaitEndsIsStoppedAndNotRead_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("megabytes");
        QTest::newRow("limits as set") << 60 * testSlowdown() << 4096;
        QTest::newRow("a time limit past an int of milliseconds") << 4294968 << 4096;
    }
    void aReaderStillRunningWhenTheWaitEndsIsStoppedAndNotRead()
    {
        QFETCH(int, seconds);
        QFETCH(int, megabytes);
        // The looping file takes up less memory in the time the test waits than its limit.
        TestOldDatabase::shortenReaderLimits(seconds, megabytes);
        const QString file = m_dir.filePath("LOOPING.MDB");
        const QString copy = m_dir.filePath("copy.sqlite");
        QFile::remove(copy);
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage::LoopingLongValues, file));
        QTimer::singleShot(1500 * testSlowdown(), qApp, [] { QCoreApplication::exit(); });
        const SqlAccessReader::Result result = SqlAccessReader::copy(file, copy);
        // Later loops run again.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
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
        const QString file = m_dir.filePath("LOOPING.MDB");
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage::LoopingLongValues, file));
        QProcess host;
        host.start(testBinaryDir() + "/bin/host_import", { file });
        QVERIFY(host.waitForStarted());
        QList<pid_t> readers;
        QTRY_VERIFY_WITH_TIMEOUT(!(readers = testChildren(pid_t(host.processId()), "vornakel_accessreader")).isEmpty(),
            10000 * testSlowdown());
        const QStringList left = copyFolders();
        QCOMPARE(left.size(), 1);
        ::kill(pid_t(host.processId()), SIGKILL);
        QVERIFY(host.waitForFinished());
        QTRY_VERIFY(!testIsAlive(readers.first()));
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
