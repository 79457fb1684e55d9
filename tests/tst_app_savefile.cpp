// The one writer of the program's files: a save is whole or not at all, the
// file saved over keeps what it held when the save fails, and the failure is
// said in the system's words. Where it writes is settled when it begins: no
// link put in its way later, nor another user's link where others may write,
// leads it to another file. It keeps a file's owner, group and names, leaves
// nothing behind, and removes what earlier saves that died left.

#include "app/app_savefile.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_processes.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TstAppSaveFile : public QObject
{
    Q_OBJECT

    static struct stat status(const QString &path)
    {
        struct stat found = {};
        ::lstat(QFile::encodeName(path).constData(), &found);
        return found;
    }
    // The names in a folder, in the order of their characters.
    static QStringList entries(const QString &folder)
    {
        QStringList names = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        names.sort();
        return names;
    }
    static bool setMode(const QString &path, int mode)
    {
        return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
    }
    // The cut copies into files are noted in the settings.
    std::unique_ptr<TestSettings> m_settings;

private slots:
    void init() { m_settings = std::make_unique<TestSettings>(); }
    void cleanup()
    {
        AppSaveFile::setTeller(nullptr);
        m_settings.reset();
    }

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
        QTest::newRow("another user's file, when a write fails")
            << "other's file" << qint64(20000) << ": " + TestFileSizeLimit::reason() + ". " + kept;
    }
    void aFailedSaveKeepsWhatTheNameHeld()
    {
        QFETCH(QString, target);
        QFETCH(qint64, limit);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath("sequence.SEQ");
        const QByteArray old(20000, 'B');
        if (target == "other's file" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        if (target.endsWith("file"))
            QVERIFY(testWriteFile(path, old));
        else if (target == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else
            QVERIFY(QDir(dir.path()).mkdir("sequence.SEQ"));
        if (target == "other's file")
            QVERIFY(setMode(path, 0666) && testGiveAway(path));
        QString failure;
        {
            std::unique_ptr<TestFileSizeLimit> full(limit > 0 ? new TestFileSizeLimit(limit) : nullptr);
            QVERIFY(!AppSaveFile::write(path, QByteArray(32768, 'A'), &failure));
        }
        QVERIFY2(failure.contains(says), qPrintable(failure));
        if (target.endsWith("file"))
            QCOMPARE(testReadFile(path), old);
        else
            QCOMPARE(QFileInfo(path).isDir(), target == "folder");
        if (target == "other's file")
            QCOMPARE(status(path).st_uid, uid_t(testOtherUser));
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
        QCOMPARE(testReadFile(file), QByteArray("ALA\t1\n\n"));
        struct stat status = {};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &status) == 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({ "composition.SMP", "link.SMP" }));
    }

    // Something put under the name while the save runs (another user who
    // watches a shared folder for the new file, say): a link to a file of
    // the user's, or another file. It is left as it is, the file it points
    // to is not touched, and what was saved is kept beside it.
    void whatIsPutUnderTheNameMeanwhileIsLeftAlone_data()
    {
        QTest::addColumn<bool>("existed"); // the name held a file when the save began
        QTest::addColumn<QString>("planted"); // "link" or "file"
        QTest::addColumn<int>("folderMode");
        QTest::newRow("a link at a new name") << false << "link" << 0755;
        QTest::newRow("a link in place of the file") << true << "link" << 0755;
        QTest::newRow("a link at a new name, in a folder all may write") << false << "link" << 01777;
        QTest::newRow("a link in place of the file, in a folder all may write") << true << "link" << 01777;
        QTest::newRow("another file in place of the file") << true << "file" << 0755;
        QTest::newRow("a file at a new name") << false << "file" << 0755;
    }
    void whatIsPutUnderTheNameMeanwhileIsLeftAlone()
    {
        QFETCH(bool, existed);
        QFETCH(QString, planted);
        QFETCH(int, folderMode);
        QTemporaryDir dir;
        const QString precious = dir.filePath("precious.txt");
        QVERIFY(testWriteFile(precious, "precious") && setMode(precious, 0600));
        const QString shared = dir.filePath("shared");
        QVERIFY(QDir(dir.path()).mkdir("shared") && setMode(shared, folderMode));
        const QString target = shared + "/composition.SMP";
        if (existed)
            QVERIFY(testWriteFile(target, "old"));
        AppSaveFile file(target);
        QVERIFY2(file.open(), qPrintable(file.failure()));
        QVERIFY(file.write("ALA\t1\n\n"));
        // Between the open and the commit, where printing or a download waits.
        QFile::remove(target);
        if (planted == "link")
            QVERIFY(QFile::link(precious, target));
        else
            QVERIFY(testWriteFile(target, "planted"));
        QVERIFY(!file.commit());
        QCOMPARE(testReadFile(precious), QByteArray("precious"));
        QCOMPARE(status(precious).st_mode & 07777, mode_t(0600));
        if (planted == "link")
            QCOMPARE(QFileInfo(target).symLinkTarget(), precious);
        else
            QCOMPARE(testReadFile(target), QByteArray("planted"));
        const QString kept = file.keptFileName();
        QVERIFY2(kept.startsWith(shared + "/composition.") && kept.endsWith(".SMP"), qPrintable(kept));
        QCOMPARE(testReadFile(kept), QByteArray("ALA\t1\n\n"));
        QCOMPARE(file.failure(),
            target
                + " could not be written: something else was put under its name while it was being saved. What is "
                  "under its name now was left as it is; what was saved is in "
                + kept + ".");
        QStringList both { "composition.SMP", QFileInfo(kept).fileName() };
        both.sort();
        QCOMPARE(entries(shared), both);
    }

    // In a folder others may write (sticky, or writable by its group or by
    // all), a link of another user's is not followed: it may have been put
    // there to lead the save to a file of the user's. The user's own link
    // there, and another user's link in the user's own folder, are.
    void aLinkOfAnotherUserWhereOthersMayWriteIsNotFollowed_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("othersLink");
        QTest::addColumn<bool>("followed");
        QTest::newRow("another user's link in a sticky folder all may write") << 01777 << true << false;
        QTest::newRow("another user's link in a folder all may write") << 0777 << true << false;
        QTest::newRow("another user's link in a folder its group may write") << 0775 << true << false;
        QTest::newRow("another user's link in a folder others may only read") << 0755 << true << true;
        QTest::newRow("the user's own link in a sticky folder all may write") << 01777 << false << true;
    }
    void aLinkOfAnotherUserWhereOthersMayWriteIsNotFollowed()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, othersLink);
        QFETCH(bool, followed);
        if (othersLink && !testCanGiveAway())
            QSKIP("only the superuser can give a link to another user");
        QTemporaryDir dir;
        const QString precious = dir.filePath("precious.txt");
        QVERIFY(testWriteFile(precious, "precious"));
        const QString shared = dir.filePath("shared");
        QVERIFY(QDir(dir.path()).mkdir("shared") && setMode(shared, folderMode));
        // A link, a chain of links, and a link to the folder the file is in.
        const QString link = shared + "/sequence.SEQ";
        const QString chain = shared + "/chain.SEQ";
        const QString folder = shared + "/folder";
        QVERIFY(QFile::link(precious, link) && QFile::link(link, chain) && QFile::link(dir.path(), folder));
        if (othersLink)
            QVERIFY(testGiveAway(link) && testGiveAway(chain) && testGiveAway(folder));
        for (const QString &name : { link, chain, folder + "/precious.txt" }) {
            QString failure;
            QCOMPARE(AppSaveFile::write(name, "MKV", &failure), followed);
            QCOMPARE(testReadFile(precious), QByteArray(followed ? "MKV" : "precious"));
            const QString refused = name.endsWith("precious.txt") ? name
                    + " leads through \"folder\", a link of another user's in a folder that others may write, "
                      "which is not followed; nothing was saved."
                                                                  : name
                    + " is a link of another user's in a folder that others may write, and is not followed; "
                      "nothing was saved.";
            QCOMPARE(failure, followed ? QString() : refused);
            QVERIFY(QFileInfo(name).isSymLink() || name.endsWith("precious.txt"));
            QVERIFY(testWriteFile(precious, "precious"));
        }
        QCOMPARE(entries(shared), QStringList({ "chain.SEQ", "folder", "sequence.SEQ" }));
    }

    // What the file was stays: another user's file stays that user's, a file
    // with a second name keeps it (both names show what was saved), the
    // group stays, and a chain of links to nothing makes the file at its
    // end, every link kept.
    void aSaveKeepsTheFileWhatItWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("another user's file that all may write") << "other user";
        QTest::newRow("a file of another group") << "other group";
        QTest::newRow("a file with a second name") << "hard link";
        QTest::newRow("a chain of links to nothing") << "chain";
    }
    void aSaveKeepsTheFileWhatItWas()
    {
        QFETCH(QString, kind);
        if (kind.startsWith("other") && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        QTemporaryDir dir;
        const QString file = dir.filePath("buffer.buf");
        const QString second = dir.filePath("second.buf");
        const QString missing = dir.filePath("missing.buf");
        QString saved = file;
        if (kind == "chain") {
            QVERIFY(QFile::link("second.buf", file) && QFile::link("missing.buf", second));
        } else {
            QVERIFY(testWriteFile(file, "old") && setMode(file, 0664));
            if (kind == "other user")
                QVERIFY(setMode(file, 0666) && testGiveAway(file));
            if (kind == "other group")
                QVERIFY(testGiveAway(file, true));
            if (kind == "hard link")
                QVERIFY(testSecondName(file, second));
        }
        const struct stat before = status(file);
        QString failure;
        QVERIFY2(AppSaveFile::write(file, "NaCl\t0.15\tmolar\n", &failure), qPrintable(failure));
        const QByteArray now("NaCl\t0.15\tmolar\n");
        if (kind == "chain") {
            QCOMPARE(QFileInfo(file).symLinkTarget(), second);
            QCOMPARE(QFileInfo(second).symLinkTarget(), missing);
            QCOMPARE(testReadFile(missing), now);
            QCOMPARE(entries(dir.path()), QStringList({ "buffer.buf", "missing.buf", "second.buf" }));
            return;
        }
        const struct stat after = status(file);
        QCOMPARE(testReadFile(file), now);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        if (kind == "hard link") {
            QCOMPARE(testReadFile(second), now);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_nlink, nlink_t(2));
        }
        QCOMPARE(entries(dir.path()),
            kind == "hard link" ? QStringList({ "buffer.buf", "second.buf" }) : QStringList({ "buffer.buf" }));
    }

    // A copy into the file itself that is cut off (the save killed midway)
    // leaves the file part new, part old. The whole of what was saved stays
    // beside it under a name no save removes, and the next save of that
    // file, or the next start, tells where it is, once. The note of it goes
    // only once it was told: a program ended while its box shows (SIGTERM)
    // tells it again at its next start.
    void aCutCopyIntoTheFileIsToldOfAndKept_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("told by the next save") << "save";
        QTest::newRow("told at the next start") << "start";
        QTest::newRow("told again after a start ended while its box showed") << "ended while shown";
        // In a folder others may write, another user may put a file of theirs under the copy's name.
        QTest::newRow("told at the next start, the copy replaced by another user's file") << "replaced";
    }
    void aCutCopyIntoTheFileIsToldOfAndKept()
    {
        QFETCH(QString, when);
        if (when == "replaced" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        QTemporaryDir dir;
        const QString file = dir.filePath("buffer.buf");
        QVERIFY(testWriteFile(file, QByteArray(200000, 'O')));
        // A second name: the bytes are copied into the file itself.
        QVERIFY(testSecondName(file, dir.filePath("second.buf")));
        const QByteArray saved(100000, 'N');
        const int ended = testCutSave(file, saved, 50000);
        QCOMPARE(ended, -SIGXFSZ);
        const QByteArray mixed = testReadFile(file);
        QVERIFY(mixed.startsWith(saved.left(50000)) && mixed.endsWith(QByteArray(150000, 'O')));
        QStringList left = entries(dir.path());
        left.removeOne("buffer.buf");
        left.removeOne("second.buf");
        QCOMPARE(left.size(), 1);
        const QString copy = dir.filePath(left.first());
        QCOMPARE(testReadFile(copy), saved);

        if (when == "ended while shown") {
            const int shown = testInChild([]() {
                AppSaveFile::setTeller([](const QString &, const std::function<void()> &) {
                    std::signal(SIGTERM, SIG_DFL);
                    ::raise(SIGTERM);
                });
                AppSaveFile::tellCutCopies();
                return 0;
            });
            QCOMPARE(shown, -SIGTERM);
        }
        QString where = "The whole of what was saved then is in " + copy + ".";
        if (when == "replaced") {
            QVERIFY(QFile::remove(copy) && testWriteFile(copy, "planted") && testGiveAway(copy));
            where = "The whole of what was saved then was kept as " + copy
                + ", but that name now holds a file of another user's, which may not be what was saved.";
        }
        QStringList told;
        AppSaveFile::setTeller([&told](const QString &message, const std::function<void()> &seen) {
            told << message;
            seen();
        });
        QString failure;
        if (when == "save")
            QVERIFY2(AppSaveFile::write(file, "NaCl\t0.15\tmolar\n", &failure), qPrintable(failure));
        else
            AppSaveFile::tellCutCopies();
        QCOMPARE(told,
            QStringList { "An earlier save of " + file
                + " was cut off while it wrote into the file itself, which may now hold part of what was saved and "
                  "part of what it held before. "
                + where });
        if (when == "replaced")
            return;
        QCOMPARE(testReadFile(copy), saved);
        AppSaveFile::tellCutCopies();
        QVERIFY2(AppSaveFile::write(file, "NaCl\t0.15\tmolar\n", &failure), qPrintable(failure));
        QCOMPARE(told.size(), 1);
        QCOMPARE(testReadFile(copy), saved);
        QStringList all { "buffer.buf", QFileInfo(copy).fileName(), "second.buf" };
        all.sort();
        QCOMPARE(entries(dir.path()), all);
    }

    // Where no note of the whole copy can be kept (the settings may not be
    // written), a copy cut off would never be told: the file is not written
    // into, keeps what it held, and the box says why; nothing is left beside it.
    void aFileIsNotWrittenIntoWhereNoNoteOfItsCopyCanBeKept()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("buffer.buf");
        const QByteArray old(20000, 'O');
        QVERIFY(testWriteFile(file, old));
        QVERIFY(testSecondName(file, dir.filePath("second.buf")));
        const QString settings = QSettings().fileName();
        QVERIFY(m_settings->makeUnwritable());
        QString failure;
        QVERIFY(!AppSaveFile::write(file, QByteArray(30000, 'N'), &failure));
        QCOMPARE(failure,
            file + " could not be written: it is written into the file itself, and the settings file " + settings
                + ", where the save notes where the whole of it is kept until it is done, cannot be written. The "
                  "file keeps what it held before.");
        QCOMPARE(testReadFile(file), old);
        QCOMPARE(entries(dir.path()), QStringList({ "buffer.buf", "second.buf" }));
    }

    // Where the file system cannot reserve room in a file (it does not offer
    // fallocate), a copy into the file itself goes on without: the part
    // past the file's end first, so that where the room runs out the file is
    // cut back to what it held, and only then does the box say it keeps it.
    void aCopyIntoTheFileGoesOnWhereRoomCannotBeReserved_data()
    {
        QTest::addColumn<int>("oldSize");
        QTest::addColumn<int>("newSize");
        QTest::addColumn<qint64>("limit"); // the largest file the save may write; 0 for none
        QTest::newRow("more than a block over more than a block") << 20000 << 30000 << qint64(0);
        QTest::newRow("a shorter file over a longer one") << 30000 << 20000 << qint64(0);
        QTest::newRow("the room runs out past the file's end") << 10 << 217088 << qint64(100000);
    }
    void aCopyIntoTheFileGoesOnWhereRoomCannotBeReserved()
    {
        QFETCH(int, oldSize);
        QFETCH(int, newSize);
        QFETCH(qint64, limit);
        QTemporaryDir dir;
        QTemporaryDir reports;
        const QString file = dir.filePath("composition.SMP");
        const QByteArray old(oldSize, 'O');
        const QByteArray saved(newSize, 'N');
        QVERIFY(testWriteFile(file, old) && testSecondName(file, dir.filePath("second.SMP")));
        const int ended = testInChild(
            [&]() {
                AppSaveFile save(file);
                bool written = save.open() && save.write(saved);
                {
                    // The new file is whole; the file system fills while it is copied into the file.
                    std::unique_ptr<TestFileSizeLimit> full(limit > 0 ? new TestFileSizeLimit(limit) : nullptr);
                    written = written && save.commit();
                }
                testWriteFile(reports.filePath("failure"), written ? QByteArray() : save.failure().toUtf8());
                return written ? 0 : 1;
            },
            true);
        const QString failure = QString::fromUtf8(testReadFile(reports.filePath("failure")));
        QCOMPARE(ended, limit > 0 ? 1 : 0);
        QCOMPARE(failure,
            limit > 0 ? file + " could not be written: " + TestFileSizeLimit::reason()
                    + ". The file keeps what it held before."
                      : QString());
        QCOMPARE(testReadFile(file), limit > 0 ? old : saved);
        QCOMPARE(entries(dir.path()), QStringList({ "composition.SMP", "second.SMP" }));
    }

    // In a sticky folder that others may write (as /tmp), a file of another
    // user's is not written into, as the system itself refuses to open one
    // there for a program that would make it: it may have been put there
    // (or a second name of it) to take what the user saves. The file of the
    // folder's owner is written, unless it has a second name; elsewhere
    // another user's file that the user may write is written as before.
    void anotherUsersFileInAStickyFolderIsNotWrittenInto_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("ownersFolder"); // the folder is the file owner's
        QTest::addColumn<bool>("secondName"); // made outside the folder, the file put there as a second name
        QTest::addColumn<bool>("written");
        QTest::newRow("another user's file, sticky folder all may write") << 01777 << false << false << false;
        QTest::newRow("another user's file, sticky folder its group may write") << 01775 << false << false << false;
        QTest::newRow("another user's file as a second name, sticky folder") << 01777 << false << true << false;
        QTest::newRow("the folder owner's file, sticky folder") << 01777 << true << false << true;
        QTest::newRow("the folder owner's file as a second name, sticky folder") << 01777 << true << true << false;
        QTest::newRow("another user's file, sticky folder only its owner writes") << 01755 << false << false << true;
        QTest::newRow("another user's file, folder all may write, not sticky") << 0777 << false << false << true;
    }
    void anotherUsersFileInAStickyFolderIsNotWrittenInto()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, ownersFolder);
        QFETCH(bool, secondName);
        QFETCH(bool, written);
        if (!testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        QTemporaryDir dir;
        const QString shared = dir.filePath("shared");
        QVERIFY(QDir(dir.path()).mkdir("shared") && setMode(shared, folderMode));
        if (ownersFolder)
            QVERIFY(testGiveAway(shared));
        const QString target = shared + "/report.SEQ";
        const QString planted = secondName ? dir.filePath("planted") : target;
        QVERIFY(testWriteFile(planted, "planted") && setMode(planted, 0666) && testGiveAway(planted));
        if (secondName)
            QVERIFY(testSecondName(planted, target));
        QString failure;
        QVERIFY2(AppSaveFile::write(target, "MKVLAAGIT", &failure) == written, qPrintable(failure));
        QCOMPARE(failure,
            written ? QString()
                    : target
                    + " is a file of another user's in a sticky folder that others may write, and is not written "
                      "into; nothing was saved.");
        QCOMPARE(testReadFile(target), QByteArray(written ? "MKVLAAGIT" : "planted"));
        QCOMPARE(status(target).st_uid, uid_t(testOtherUser));
        QCOMPARE(entries(shared), QStringList { "report.SEQ" });
    }

    // The new file of a save of a file that exists shows no one what the file does not: in a folder that passes
    // its group on (a group's shared one, 2775), it is the user's alone until it has the file's group, and stays
    // so where the user cannot give it that group (here one the user is not in), when it is copied into the
    // file and what it holds is kept beside it should the copy be cut off.
    void theNewFileOfASaveShowsNoOneWhatTheFileDoesNot()
    {
        if (!testCanGiveAway())
            QSKIP("only the superuser can act as the members of a group");
        QTemporaryDir dir;
        const QString lab = dir.filePath("lab");
        const QByteArray labName = QFile::encodeName(lab);
        QVERIFY(QDir(dir.path()).mkdir("lab") && setMode(dir.path(), 0755));
        QVERIFY(::chown(labName.constData(), 0, gid_t(testLabGroup)) == 0 && setMode(lab, 02775));
        const QString target = lab + "/buffer.buf";
        {
            TestAsLabUser user;
            QVERIFY(user.isActing());
            QVERIFY(testWriteFile(target, "old"));
        }
        // A group the user is not in ("games"), given by the superuser.
        QVERIFY(::chown(QFile::encodeName(target).constData(), uid_t(-1), 60) == 0 && setMode(target, 0640));
        TestAsLabUser user;
        QVERIFY(user.isActing());
        AppSaveFile save(target);
        QVERIFY2(save.open(), qPrintable(save.failure()));
        const struct stat made = status(save.temporaryFileName());
        QCOMPARE(made.st_gid, gid_t(testLabGroup));
        QCOMPARE(QString::number(made.st_mode & 0777, 8), QString("600"));
        save.cancelWriting();
        QCOMPARE(testReadFile(target), QByteArray("old"));
    }

    // A save that died (kill -9, a power cut) leaves its new file; the next
    // save of the same target removes it. Only that: not the new file of a
    // save that still runs, not another target's, not another user's, and
    // nothing that is no plain file of the user's (a link, a named pipe, a
    // file with a second name) whatever its name.
    void theNextSaveRemovesTheLeftoversOfDeadSaves()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("buffer.buf");
        QVERIFY(testWriteFile(target, "old"));
        const QString precious = dir.filePath("precious.txt");
        QVERIFY(testWriteFile(precious, "precious"));
        auto left = [&](const char *tag) { return dir.filePath(QStringLiteral(".buffer.buf.%1.part").arg(tag)); };
        QVERIFY(testWriteFile(left("0badcafe"), "dead"));
        QVERIFY(testWriteFile(left("1badcafe"), "held"));
        const int held = ::open(QFile::encodeName(left("1badcafe")).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
        QVERIFY(testWriteFile(dir.filePath(".other.buf.2badcafe.part"), "another target's"));
        QVERIFY(QFile::link(precious, left("4badcafe")));
        QVERIFY(::mkfifo(QFile::encodeName(left("5badcafe")).constData(), 0600) == 0);
        QVERIFY(testWriteFile(dir.filePath("kept"), "second name"));
        QVERIFY(testSecondName(dir.filePath("kept"), left("6badcafe")));
        QVERIFY(testWriteFile(left("notahexx"), "not of a save"));
        QStringList stay = entries(dir.path());
        stay.removeOne(".buffer.buf.0badcafe.part");
        if (testCanGiveAway()) {
            QVERIFY(testWriteFile(left("3badcafe"), "another user's") && testGiveAway(left("3badcafe")));
            stay << ".buffer.buf.3badcafe.part";
            stay.sort();
        }
        // A save of the same target under way in this program.
        AppSaveFile running(target);
        QVERIFY(running.open());
        stay << QFileInfo(running.temporaryFileName()).fileName();
        stay.sort();

        QString failure;
        QVERIFY2(AppSaveFile::write(target, "new", &failure), qPrintable(failure));
        QCOMPARE(entries(dir.path()), stay);
        QCOMPARE(testReadFile(precious), QByteArray("precious"));
        // The file it began on was replaced meanwhile: it keeps its own beside.
        QVERIFY(running.write("newer") && !running.commit());
        QCOMPARE(testReadFile(running.keptFileName()), QByteArray("newer"));
        QCOMPARE(testReadFile(target), QByteArray("new"));
        ::close(held);
    }

    // A name as long as the file system takes (255 bytes here), in any
    // script, is saved: the new file's name beside it is shortened to fit,
    // and two such names that start alike stay apart.
    void aNameAsLongAsTheFileSystemTakesIsSaved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("241 bytes") << QString(237, 'a') + ".SMP";
        QTest::newRow("255 bytes") << QString(251, 'b') + ".SMP";
        QTest::newRow("254 bytes of two-byte letters") << QString(125, QChar(0xe9)) + ".SMP";
    }
    void aNameAsLongAsTheFileSystemTakesIsSaved()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QString twin = dir.filePath(name.left(name.size() - 5) + "x.SMP");
        QVERIFY(testWriteFile(path, "old"));
        AppSaveFile first(path);
        AppSaveFile second(twin);
        QVERIFY2(first.open(), qPrintable(first.failure()));
        QVERIFY2(second.open(), qPrintable(second.failure()));
        QVERIFY(first.write("GLY\t2\n\n") && second.write("ALA\t1\n\n"));
        QVERIFY2(first.commit(), qPrintable(first.failure()));
        QVERIFY2(second.commit(), qPrintable(second.failure()));
        QCOMPARE(testReadFile(path), QByteArray("GLY\t2\n\n"));
        QCOMPARE(testReadFile(twin), QByteArray("ALA\t1\n\n"));
        QStringList both { name, QFileInfo(twin).fileName() };
        both.sort();
        QCOMPARE(entries(dir.path()), both);
    }
};

TEST_GUILESS_MAIN(TstAppSaveFile)
#include "tst_app_savefile.moc"
