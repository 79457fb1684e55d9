// The one writer of the program's files: a save is whole or not at all, the
// file saved over keeps what it held when the save fails, and the failure is
// said in the system's words.

#include "app/app_savefile.h"
#include "test_environment.h"
#include "test_log.h"

#include <QtTest>

#include <sys/stat.h>

class TstAppSaveFile : public QObject
{
    Q_OBJECT

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

private slots:
    // The old file is kept whole whatever stops the save, and nothing the
    // save made is left beside it.
    void aFailedSaveKeepsWhatTheNameHeld_data()
    {
        QTest::addColumn<QString>("target"); // "file", "pipe" or "folder"
        QTest::addColumn<qint64>("limit"); // the largest file this process may write; 0 for none
        QTest::addColumn<QString>("says");
        const QString kept = "The file keeps what it held before.";
        QTest::newRow("a write that fails")
            << "file" << qint64(20000) << ": " + TestFileSizeLimit::reason() + ". " + kept;
        QTest::newRow("a named pipe") << "pipe" << qint64(0) << " is a named pipe (FIFO), not a regular file";
        QTest::newRow("a folder") << "folder" << qint64(0) << " is a folder, not a regular file";
    }
    void aFailedSaveKeepsWhatTheNameHeld()
    {
        QFETCH(QString, target);
        QFETCH(qint64, limit);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath("sequence.SEQ");
        const QByteArray old(20000, 'B');
        if (target == "file")
            QVERIFY(testWriteFile(path, old));
        else if (target == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else
            QVERIFY(QDir(dir.path()).mkdir("sequence.SEQ"));
        QString failure;
        {
            std::unique_ptr<TestFileSizeLimit> full(limit > 0 ? new TestFileSizeLimit(limit) : nullptr);
            QVERIFY(!AppSaveFile::write(path, QByteArray(32768, 'A'), &failure));
        }
        QVERIFY2(failure.contains(says), qPrintable(failure));
        if (target == "file")
            QCOMPARE(contents(path), old);
        else
            QCOMPARE(QFileInfo(path).isDir(), target == "folder");
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList { "sequence.SEQ" });
    }

    // A save writes the file a link points to, keeps the permissions of the
    // file it replaces, and leaves no other file behind.
    void aSaveReplacesTheFileItselfWhole()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("composition.SMP");
        const QString link = dir.filePath("link.SMP");
        QVERIFY(testWriteFile(file, "old"));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
        QVERIFY(QFile::link(file, link));
        QString failure;
        QVERIFY2(AppSaveFile::write(link, "ALA\t1\n\n", &failure), qPrintable(failure));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(contents(file), QByteArray("ALA\t1\n\n"));
        struct stat status = {};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &status) == 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({ "composition.SMP", "link.SMP" }));
    }
};

TEST_GUILESS_MAIN(TstAppSaveFile)
#include "tst_app_savefile.moc"
