#include "sql/sql_transaction.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

// A write is stored whole or not at all, and a failure names the file.
class TstSqlTransaction : public QObject
{
    Q_OBJECT

private slots:
    void storesWholeOrNothing_data()
    {
        QTest::addColumn<int>("ending"); // 0 commit, 1 failed statement, 2 left unfinished
        QTest::addColumn<int>("rows");
        QTest::newRow("committed") << 0 << 2;
        QTest::newRow("a statement fails") << 1 << 0;
        QTest::newRow("left unfinished") << 2 << 0;
    }
    void storesWholeOrNothing()
    {
        QFETCH(int, ending);
        QFETCH(int, rows);
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("CREATE TABLE t (v INTEGER NOT NULL)"));
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QSqlQuery query(db.database());
            QVERIFY(query.exec("INSERT INTO t VALUES (1)"));
            QVERIFY(query.exec("INSERT INTO t VALUES (2)"));
            if (ending == 0) {
                QVERIFY(transaction.commit());
                QVERIFY(transaction.error().isEmpty());
            } else if (ending == 1) {
                QVERIFY(!query.exec("INSERT INTO t VALUES (NULL)"));
                QVERIFY(!transaction.fail(query));
                QVERIFY(!transaction.isOpen());
                QVERIFY(transaction.error().startsWith(QDir::toNativeSeparators(db.path()) + ":\n"));
                QVERIFY(transaction.error().contains("NOT NULL"));
                QVERIFY(!transaction.commit()); // nothing left to store
            }
        }
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), rows);
    }

    // A commit that fails for another reason than another program's lock (here the disk fills as the change is
    // written into the file) says what the file holds now: the change may have failed before it was stored, or
    // after. Here nothing of it was, and the file holds what it held before.
    void aFailedCommitSaysWhatTheFileHolds()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.exec("CREATE TABLE t (v TEXT)"));
        const qint64 size = QFileInfo(db.path()).size();
        bool committed = true;
        QString error;
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QSqlQuery query(db.database());
            for (int row = 0; row < 64; ++row)
                QVERIFY(query.exec(
                    QStringLiteral("INSERT INTO t VALUES ('%1')").arg(QString(4096, QChar('a' + row % 26)))));
            query.finish();
            TestFileSizeLimit full(size);
            committed = transaction.commit();
            error = transaction.error();
        }
        QVERIFY(!committed);
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(db.path()) + ":\n")
                && error.endsWith("\n\nNothing of the change was stored: the database file holds what it held before."),
            qPrintable(error));
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), 0);
        QCOMPARE(db.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }

    // A save that fails at one of its statements (the first one here) is taken back whole, and its error says
    // so: a full disk (the file and its journal may grow no further) or a value the table refuses.
    void aFailedStatementSaysNothingWasStored_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QString>("driverText");
        // The limit on a file's size fails a write as a full disk does; SQLite calls it an I/O error.
        QTest::newRow("the disk fills") << true << "disk I/O error";
        QTest::newRow("a refused value") << false << "NOT NULL";
    }
    void aFailedStatementSaysNothingWasStored()
    {
        QFETCH(bool, diskFull);
        QFETCH(QString, driverText);
        TestDatabase db;
        QVERIFY(db.isValid() && db.exec("CREATE TABLE t (v TEXT NOT NULL)") && db.exec("INSERT INTO t VALUES ('a')"));
        const QByteArray before = testReadFile(db.path());
        QString error;
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QSqlQuery query(db.database());
            std::unique_ptr<TestFileSizeLimit> full;
            if (diskFull)
                full = std::make_unique<TestFileSizeLimit>(QFileInfo(db.path()).size());
            // More than SQLite keeps in memory: its pages go to the files as the statement runs.
            QVERIFY(
                !query.exec(diskFull ? "INSERT INTO t VALUES (randomblob(16000000))" : "INSERT INTO t VALUES (NULL)"));
            QVERIFY2(query.lastError().text().contains(driverText), qPrintable(query.lastError().text()));
            full.reset();
            transaction.fail(query);
            error = transaction.error();
        }
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(db.path()) + ":\n") && error.contains(driverText)
                && error.endsWith("\n\nNothing of the change was stored: the database file holds what it held before."),
            qPrintable(error));
        QCOMPARE(db.value("SELECT group_concat(v) FROM t").toString(), QString("a"));
        QCOMPARE(testReadFile(db.path()), before);
    }

    // A statement refused because a journal was put beside the open file (a second name of a file, which others
    // may fill) says what was put there and that nothing was written, once: the refusal says it already.
    void aStatementRefusedForWhatLiesBesideTheFileSaysNothingWasWrittenOnce()
    {
        TestDatabase db;
        QVERIFY(db.isValid() && db.exec("CREATE TABLE t (v TEXT NOT NULL)") && db.exec("INSERT INTO t VALUES ('a')"));
        const QString planted = db.path() + ".j";
        const QString journal = db.path() + "-journal";
        QVERIFY(
            TestDatabase::writeHotJournal(db.path(), { "DELETE FROM t" }, { "INSERT INTO t VALUES ('b')" }, planted));
        const QByteArray before = testReadFile(db.path());
        QString error;
        {
            SqlTransaction transaction(db.database());
            QVERIFY(transaction.isOpen());
            QVERIFY(testSecondName(planted, journal));
            QSqlQuery query(db.database());
            QVERIFY(!query.exec("INSERT INTO t VALUES ('c')"));
            transaction.fail(query);
            error = transaction.error();
        }
        QVERIFY2(error.startsWith("The database file\n" + QDir::toNativeSeparators(db.path())
                     + "\nis not read or written now: beside it lies " + QDir::toNativeSeparators(journal)
                     + ", a file with a second name (a hard link)"),
            qPrintable(error));
        QCOMPARE(error.count("Nothing"), 1);
        QVERIFY(QFile::remove(journal));
        QCOMPARE(testReadFile(db.path()), before);
        QCOMPARE(db.value("SELECT group_concat(v) FROM t").toString(), QString("a"));
    }

    // A save into a file that was moved away, or replaced by another under its name, since it was opened says
    // so (SQLite says only "attempt to write a readonly database"); so does one whose folder may not be written
    // where the file itself may, which a save needs for its journal. Nothing is written to any file.
    void aSaveSaysWhyTheFileIsReadOnly_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reason");
        QTest::newRow("moved away") << "moved away"
                                    << "The database file was moved away or removed since it was opened. Nothing can "
                                       "be saved to it any more; put it back under its name, or open it where it is "
                                       "now.";
        QTest::newRow("replaced") << "replaced"
                                  << "The database file was replaced by another file since it was opened: what is now "
                                     "under its name is not the file this window has open. Nothing can be saved to it "
                                     "any more; open the file again to save into what its name holds now, once you "
                                     "know what that is.";
        QTest::newRow("folder made unwritable")
            << "folder"
            << "You may write the database file, but not its folder\n%1\nwhere a save keeps the journal that "
               "lets it be taken back. Nothing can be saved until you may write that folder again, or the "
               "file is moved to a folder you may write.";
    }
    void aSaveSaysWhyTheFileIsReadOnly()
    {
        QFETCH(QString, what);
        QFETCH(QString, reason);
        if (what == "folder" && !testCanGiveAway())
            QSKIP("only the superuser can act as another user, for whom a folder may be unwritable");
        QTemporaryDir top;
        // The other user's folder, which they may make unwritable to themselves.
        const QString folder = top.filePath("lab");
        QVERIFY(QDir().mkdir(folder));
        const QString path = folder + "/vornakel.db";
        QVERIFY(!TestDatabase::createCurrent(path).isEmpty());
        TestDatabase::removeConnection(path);
        std::unique_ptr<TestAsOtherUser> other;
        if (what == "folder") {
            QVERIFY(::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
            QVERIFY(testGiveAway(folder) && testGiveAway(path));
            other = std::make_unique<TestAsOtherUser>();
            QVERIFY(other->isActing());
        }
        QVERIFY(!TestDatabase::createCurrent(path).isEmpty());
        const QByteArray before = testReadFile(path);
        if (what == "moved away")
            QVERIFY(QFile::rename(path, path + ".aside"));
        else if (what == "replaced")
            QVERIFY(QFile::rename(path, path + ".aside") && QFile::copy(path + ".aside", path));
        else
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::database(path, false);
            SqlTransaction transaction(db);
            QSqlQuery query(db);
            if (transaction.isOpen() && query.exec("INSERT INTO defaults (temperature) VALUES (4)"))
                QVERIFY(!transaction.commit());
            else if (transaction.isOpen())
                transaction.fail(query);
            error = transaction.error();
        }
        TestDatabase::removeConnection(path);
        if (what == "folder")
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        other.reset();
        if (what == "folder")
            reason = reason.arg(QDir::toNativeSeparators(folder));
        QVERIFY2(error.startsWith(QDir::toNativeSeparators(path) + ":\n" + reason), qPrintable(error));
        QCOMPARE(testReadFile(what == "folder" ? path : path + ".aside"), before);
        if (what == "replaced")
            QCOMPARE(testReadFile(path), before);
    }

    // A wait set beyond all measure is a long wait, not none: the write waits for the other program to let go.
    void aWaitBeyondMeasureStillWaits_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("1e30 seconds") << "1e30";
        QTest::newRow("infinite") << "inf";
    }
    void aWaitBeyondMeasureStillWaits()
    {
        QFETCH(QString, setting);
        TestSettings settings;
        TestDatabase db;
        QVERIFY(db.isValid());
        TestLockHolder holder(db.path(), TestLockHolder::Hold::Everything);
        QVERIFY(holder.isHolding());
        QSettings().setValue(QLatin1String(SqlTransaction::lockWaitKey), setting);
        holder.releaseAfterTicks(5);
        SqlTransaction transaction(db.database());
        QVERIFY2(transaction.isOpen(), qPrintable(transaction.error()));
        QVERIFY(holder.wasLetGoOnATick());
    }

    // Another program's hold on the file is met as the write begins, whichever it is: the whole file, its
    // writes, or a read under way, which lets a write begin and run but keeps it from being stored. It is
    // waited for with the event loop running (the hold ends only on a tick of a timer of that loop); held
    // beyond the wait, the write is told the file is in use, and nothing is stored.
    void anyHoldIsMetAsTheWriteBegins_data()
    {
        QTest::addColumn<TestLockHolder::Hold>("hold");
        QTest::addColumn<bool>("released");
        const QPair<const char *, TestLockHolder::Hold> holds[]
            = { { "the whole file", TestLockHolder::Hold::Everything }, { "its writes", TestLockHolder::Hold::Writes },
                  { "a read under way", TestLockHolder::Hold::Reads } };
        for (const auto &hold : holds) {
            QTest::addRow("%s, let go while waited for", hold.first) << hold.second << true;
            QTest::addRow("%s, held beyond the wait", hold.first) << hold.second << false;
        }
    }
    void anyHoldIsMetAsTheWriteBegins()
    {
        QFETCH(TestLockHolder::Hold, hold);
        QFETCH(bool, released);
        TestSettings settings;
        TestDatabase db;
        QVERIFY(db.isValid() && db.exec("CREATE TABLE t (v INTEGER NOT NULL)"));
        TestLockHolder holder(db.path(), hold);
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        bool stored = false;
        QString error;
        {
            SqlTransaction transaction(db.database());
            QSqlQuery query(db.database());
            stored = transaction.isOpen() && query.exec("INSERT INTO t VALUES (1)") && transaction.commit();
            error = transaction.error();
        }
        holder.release();
        QCOMPARE(db.value("SELECT count(*) FROM t").toInt(), released ? 1 : 0);
        if (released) {
            QVERIFY2(stored, qPrintable(error));
            QVERIFY(holder.wasLetGoOnATick());
            return;
        }
        QVERIFY(!stored);
        QVERIFY2(error.contains("is in use by another program, which holds it locked"), qPrintable(error));
    }

    // A write holds the file's write lock from its start, so that another program's write waits for it (here: is
    // told at once that the file is busy) instead of both reading first and then refusing each other.
    void holdsTheWriteLockFromItsStart()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        {
            TestOtherProgram other(db.path(), QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(other.isOpen());
            QSqlQuery query(other.database());
            {
                SqlTransaction transaction(db.database());
                QVERIFY(transaction.isOpen());
                QVERIFY(!query.exec("BEGIN IMMEDIATE"));
                QVERIFY2(query.lastError().text().contains("locked"), qPrintable(query.lastError().text()));
                QVERIFY(transaction.commit());
            }
            QVERIFY(query.exec("BEGIN IMMEDIATE") && query.exec("ROLLBACK"));
        }
    }
};

TEST_MAIN(TstSqlTransaction)
#include "tst_sql_transaction.moc"
