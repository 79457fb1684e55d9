// The files the program opens by a fixed name in the folder it was started
// in, which others may write: the import's log, the script queries' log, the
// message server's settings and the add-on pages' script libraries. What
// another user may have put under such a name (a named pipe, a link to a file
// of the user's, a file of that user's own) neither freezes the program, nor
// takes its lines, nor gives it settings: a log stays off and the import says
// so, settings stay unread and the log says so.

#include "app/app_fixedfile.h"
#include "gui/gui_webmodule.h"
#include "sql/sql_database.h"
#include "sql/sql_importdb.h"
#include "sql/sql_query.h"
#include "xml/xml_messageprocessor.h"

#include "test_database.h"
#include "test_environment.h"
#include "test_fifo.h"
#include "test_log.h"

#include <QtTest>

#include <cstring>
#include <memory>
#include <sys/stat.h>

class TstAppFixedFile : public QObject
{
    Q_OBJECT

private slots:
    // Under each fixed name: what a second user of the start folder could
    // put there, and how each file's reader fares. A file of the user's own
    // is used as ever.
    void whatAnotherUserPutsUnderAFixedNameIsNotUsed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind"); // own, pipe, link, link to nothing, other user's
        QTest::addColumn<QString>("why"); // why it is not used; empty when it is
        const QStringList names { "ImportLog.txt", "sql.log", "vornakel.ini", GuiWebModule::libraryPaths().first() };
        for (const QString &name : names) {
            const QByteArray tag = QFileInfo(name).fileName().toUtf8();
            QTest::newRow(tag + ", the user's own") << name << "own"
                                                    << "";
            QTest::newRow(tag + ", a named pipe") << name << "pipe"
                                                  << "it is a named pipe (FIFO), not a regular file";
            QTest::newRow(tag + ", a link to a file of the user's") << name << "link"
                                                                    << "it is a link, which is not followed";
            QTest::newRow(tag + ", a link to nothing") << name << "link to nothing"
                                                       << "it is a link, which is not followed";
            QTest::newRow(tag + ", another user's") << name << "other user's"
                                                    << "it belongs to another user";
            QTest::newRow(tag + ", the user's own with a second name") << name << "second name"
                                                                       << "it has a second name (a hard link), "
                                                                          "which may be another user's";
            QTest::newRow(tag + ", the user's own that its group may write")
                << name << "group may write"
                << "others than its owner may write it (permissions 0664); take their write permission away "
                   "(chmod go-w) to have it used";
            QTest::newRow(tag + ", the user's own that anyone may write")
                << name << "anyone may write"
                << "others than its owner may write it (permissions 0602); take their write permission away "
                   "(chmod go-w) to have it used";
        }
    }
    void whatAnotherUserPutsUnderAFixedNameIsNotUsed()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, why);
        if (kind == "other user's" && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        TestDatabase db;
        const TestStartFolder start;
        const QString path = start.filePath(name);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const QString precious = start.filePath("precious.txt");
        QVERIFY(testWriteFile(precious, "PORT:0\n") && ::chmod(QFile::encodeName(precious).constData(), 0600) == 0);
        const bool isLog = name.endsWith(".txt") || name.endsWith(".log");
        std::unique_ptr<TestFifo> pipe;
        if (kind == "pipe") {
            pipe
                = std::make_unique<TestFifo>(path, 5000, isLog ? TestFifo::Waiting::Writer : TestFifo::Waiting::Reader);
            QVERIFY(pipe->isValid());
        } else if (kind == "link") {
            QVERIFY(QFile::link(precious, path));
        } else if (kind == "link to nothing") {
            QVERIFY(QFile::link(start.filePath("nothing"), path));
        } else if (kind == "second name") {
            QVERIFY(testSecondName(precious, path));
        } else {
            QVERIFY(testWriteFile(path, "PORT:0\n"));
            if (kind == "other user's")
                QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0 && testGiveAway(path));
            const mode_t mode = kind == "group may write" ? 0664 : kind == "anyone may write" ? 0602 : 0;
            if (mode)
                QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
        }

        if (name == "ImportLog.txt") {
            SqlImportDb engine(db.connectionName());
            engine.logMesg("a line of the import");
            QCOMPARE(engine.logFailure(), why);
        } else if (name == "sql.log") {
            sqlQuery query(nullptr, db.connectionName(), false);
            QVERIFY(query.exec("SELECT 1"));
        } else if (name == "vornakel.ini") {
            if (!why.isEmpty())
                TestLog::ignore(QtWarningMsg, qPrintable("vornakel.ini is not read: " + why + "; no message server"));
            else
                TestLog::ignore(QtWarningMsg, QRegularExpression("^Message server listening on "));
            XmlMessageProcessor processor(db.path(), false);
            QCOMPARE(processor.isListening(), why.isEmpty());
        } else {
            QCOMPARE(GuiWebModule::tagJs(name),
                QString("<script type=text/javascript>%1</script>").arg(why.isEmpty() ? "PORT:0\n" : ""));
        }
        // Nothing waited on the pipe, nothing went into the file a link points to, nothing was made at its end.
        if (pipe)
            QVERIFY(!pipe->released());
        QCOMPARE(testReadFile(precious), QByteArray("PORT:0\n"));
        QVERIFY(!QFileInfo::exists(start.filePath("nothing")));
        if (kind == "other user's" || kind.endsWith("may write"))
            QCOMPARE(testReadFile(path), QByteArray("PORT:0\n"));
        if (isLog && kind == "own")
            QVERIFY(testReadFile(path).endsWith(name == "sql.log" ? "SELECT 1\n" : "a line of the import\n"));
    }

    // A file under a fixed name beyond what is read there (a sparse file of
    // 10 GiB, more lines than such a file holds) is left unread whole, and a
    // warning says why; the program goes on without it.
    void aFixedNameFileBeyondTheLimitsIsLeftUnread_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size"); // a sparse file of this size; 0 for lines
        QTest::addColumn<QString>("why");
        const QStringList names { "vornakel.ini", "vornakelconnection.ini", GuiWebModule::libraryPaths().first() };
        for (const QString &name : names) {
            const QByteArray tag = QFileInfo(name).fileName().toUtf8();
            QTest::newRow(tag + ", a sparse file of 10 GiB")
                << name << (qint64(10) << 30) << QString("it is larger than %1 bytes").arg(AppFixedFile::maxBytes);
            QTest::newRow(tag + ", one line too many")
                << name << qint64(0) << QString("it has more than %1 lines").arg(AppFixedFile::maxLines);
        }
    }
    void aFixedNameFileBeyondTheLimitsIsLeftUnread()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, why);
        TestDatabase db;
        const TestStartFolder start;
        const QString path = start.filePath(name);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (size > 0)
            QVERIFY(file.resize(size));
        else
            QVERIFY(file.write(QByteArray("PORT:0\n").repeated(AppFixedFile::maxLines) + "PORT:0") > 0);
        file.close();
        if (name == "vornakel.ini") {
            TestLog::ignore(QtWarningMsg, qPrintable("vornakel.ini is not read: " + why + "; no message server"));
            XmlMessageProcessor processor(db.path(), false);
            QVERIFY(!processor.isListening());
        } else if (name.endsWith("connection.ini")) {
            sqlDatabase registry;
            QSignalSpy log(&registry, qOverload<QString, int>(&sqlDatabase::sigLog));
            QVERIFY(!registry.loadConfigFile("vornakelconnection", QString()));
            QCOMPARE(log.size(), 1);
            QCOMPARE(
                log.first().first().toString(), "Found config file " + name + " but could not open it: " + why + ".");
            QVERIFY(registry.connectionStrings().isEmpty());
        } else {
            TestLog::ignore(QtWarningMsg, qPrintable(name + " is not read: " + why));
            QCOMPARE(GuiWebModule::tagJs(name), QString("<script type=text/javascript></script>"));
        }
    }

    // What the name holds is looked at before it is opened, and what was
    // opened is looked at again: a named pipe put under the name in between
    // is refused at once, never waited on.
    void aPipePutUnderTheNameAfterTheLookIsNotWaitedOn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("read: vornakel.ini") << "vornakel.ini";
        QTest::newRow("added to: ImportLog.txt") << "ImportLog.txt";
    }
    void aPipePutUnderTheNameAfterTheLookIsNotWaitedOn()
    {
        QFETCH(QString, name);
        const TestStartFolder start;
        const QString path = start.filePath(name);
        const bool isLog = name.endsWith(".txt");
        QVERIFY(testWriteFile(path, "PORT:0\n"));
        std::unique_ptr<TestFifo> pipe;
        AppFixedFile::setBetweenCheckAndOpen([&](const QString &opened) {
            QCOMPARE(opened, path);
            QVERIFY(QFile::remove(path));
            pipe
                = std::make_unique<TestFifo>(path, 5000, isLog ? TestFifo::Waiting::Writer : TestFifo::Waiting::Reader);
        });
        QFile file(path);
        QString why;
        const bool opened = AppFixedFile::open(file, isLog ? QIODevice::Append : QIODevice::ReadOnly, &why);
        AppFixedFile::setBetweenCheckAndOpen(nullptr);
        QVERIFY(pipe && pipe->isValid());
        QVERIFY(!opened);
        QCOMPARE(why, QString("it is a named pipe (FIFO), not a regular file"));
        QVERIFY(!pipe->released());
    }

    // Where nothing has the name yet, a log is made there, the user's alone
    // to read and to change, whatever the process's mask lets others do (its
    // lines hold the values of what is saved, which the database file may let
    // no one else read), and only ever added to.
    void aLogIsMadeWhereNothingHasItsNameAndAddedTo()
    {
        // Also where the process's mask lets its group write what it makes (a lab's shared folders).
        const mode_t mask = ::umask(0002);
        auto restoreMask = qScopeGuard([mask] { ::umask(mask); });
        QTemporaryDir start;
        QFile log(start.filePath("ImportLog.txt"));
        QString why;
        QVERIFY2(AppFixedFile::open(log, QIODevice::Append | QIODevice::Text, &why), qPrintable(why));
        QVERIFY(log.write("first\n") == 6);
        log.close();
        log.setFileName(start.filePath("ImportLog.txt"));
        QVERIFY(AppFixedFile::open(log, QIODevice::Append, &why));
        QVERIFY(log.write("second\n") == 7);
        log.close();
        QCOMPARE(testReadFile(start.filePath("ImportLog.txt")), QByteArray("first\nsecond\n"));
        QCOMPARE(QFileInfo(start.filePath("ImportLog.txt")).permissions() & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
        QFile missing(start.filePath("vornakel.ini"));
        QVERIFY(!AppFixedFile::open(missing, QIODevice::ReadOnly, &why));
        QCOMPARE(why, QString::fromLocal8Bit(std::strerror(ENOENT)));
    }
};

TEST_GUILESS_MAIN(TstAppFixedFile)
#include "tst_app_fixedfile.moc"
