// The update check against a loopback HTTP server: what the manifest offers,
// and which files the downloads write. Its requests given up for their time
// are in tst_gui_checkforupdates_limits.

#include "app/app_plugin.h"
#include "app/app_servers.h"
#include "gui/gui_checkforupdates.h"
#include "test_environment.h"
#include "test_httpserver.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_processes.h"
#include "test_updatecheck.h"

#include <QScopeGuard>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TestHttpServer::Framing)

class TstGuiCheckForUpdates : public QObject, TestUpdateCheckCase
{
    Q_OBJECT

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    void offersOnlyNewerInstalledItems_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QString>("modules");
        QTest::addColumn<QString>("binary");

        const QString none = "No update available";
        QTest::newRow("newer module, one day later")
            << QByteArray("Echo,20120102,/s/modules/echo_main.js\n") << "Update Echo to 20120102" << none;
        QTest::newRow("equal and older") << QByteArray("Echo,20120101,/s/modules/a.js\nOther,20111231,/s/modules/b.js")
                                         << none << none;
        QTest::newRow("not installed") << QByteArray("Ghost,20990101,/s/modules/ghost_main.js") << none << none;
        QTest::newRow("repeated line") << QByteArray("Echo,20120102,/s/modules/e.js\n\nEcho,20120102,/s/modules/e.js\n")
                                       << "Update Echo to 20120102" << none;
        QTest::newRow("one module file spelled three ways") << QByteArray(
            "Echo,20120102,/s/modules/e.js\nEcho,20120102,/s/modules/./e.js\nEcho,20120102,/s/modules/x/../e.js")
                                                            << "Update Echo to 20120102" << none;
        // Fetched in order, the last one would be installed: the newest is offered.
        QTest::newRow("one module file twice, two newer versions")
            << QByteArray("Echo,20120105,/s/modules/e.js\nEcho,20120102,/s/modules/./e.js") << "Update Echo to 20120105"
            << none;
        QTest::newRow("one module file twice, the newer second")
            << QByteArray(
                   "Echo,20120102,/s/modules/e.js\nOther,20120102,/s/modules/o.js\nEcho,20120105,/s/modules/e.js")
            << "Update Echo to 20120105\nUpdate Other to 20120102" << none;
        QTest::newRow("short lines") << QByteArray("Echo,20130101\nOther\n") << none << none;
        QTest::newRow("two modules") << QByteArray("Other,20120301,/s/modules/o.js\nEcho,20120201,/s/modules/e.js")
                                     << "Update Other to 20120301\nUpdate Echo to 20120201" << none;
        QTest::newRow("program, equal number") << QByteArray("Vornakel,20120828,/dist/") << none << none;
        QTest::newRow("program, newer") << QByteArray("Vornakel,20120901 BETA,/dist/") << none
                                        << "Download 20120901 BETA";
    }
    void offersOnlyNewerInstalledItems()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, modules);
        QFETCH(QString, binary);
        auto dialog = check(manifest);
        QCOMPARE(dialog->qtModuleVersion->text(), modules);
        QCOMPARE(dialog->qtBinaryVersion->text(), binary);
        QCOMPARE(dialog->qtModuleFrame->isEnabled(), modules.startsWith("Update"));
        QCOMPARE(dialog->qtBinaryFrame->isEnabled(), binary.startsWith("Download"));
        QCOMPARE(dialog->label->text(), QString("The Vornakel web site was checked for updated versions."));
    }

    // A manifest of a megabyte is compared a slice at a time, while the
    // window works on, and the dialog and its box list a few of its lines.
    void aLongManifestHoldsNeitherTheWindowNorTheScreen()
    {
        const int files = 3000;
        QByteArray manifest;
        for (int i = 0; i < files; ++i)
            manifest += "Echo,20120102,/s/modules/e" + QByteArray::number(i) + ".js\n";
        m->server.serve("/MANIFEST", manifest);
        GuiCheckForUpdates dialog({ installEcho() }, m->modules.path());
        // Every turn of the event loop, what the dialog shows.
        QStringList seen;
        QTimer turns;
        connect(&turns, &QTimer::timeout, this, [&]() {
            if (!seen.contains(dialog.qtModuleVersion->text()))
                seen << dialog.qtModuleVersion->text();
        });
        turns.start(0);
        TEST_TRY_VERIFY(compared(dialog));
        turns.stop();
        QVERIFY2(seen.contains(QString("Comparing the %1 lines of the manifest with what is installed...").arg(files)),
            qPrintable(seen.join(" | ")));
        QStringList offered;
        for (int i = 0; i < GuiCheckForUpdates::ListedLines; ++i)
            offered << "Update Echo to 20120102";
        QCOMPARE(dialog.qtModuleVersion->text(),
            offered.join("\n") + QString("\n... and %1 more").arg(files - GuiCheckForUpdates::ListedLines));

        // None of them is the installed module's file; the summary lists a few.
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog.qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        const QStringList lines = m->answerer.texts().first().split('\n');
        QCOMPARE(lines.first(),
            QString("%1 of %1 modules could not be updated; their installed files are unchanged.").arg(files));
        QCOMPARE(
            lines.filter(QRegularExpression("^Echo: .* is not a file of the installed module of that name\\.$")).size(),
            GuiCheckForUpdates::ListedLines);
        QCOMPARE(lines.last(), QString("... and %1 more").arg(files - GuiCheckForUpdates::ListedLines));
        QCOMPARE(m->server.requested(), QStringList { "/MANIFEST" });
        QVERIFY(!QApplication::overrideCursor());
    }

    // Lines of tens of thousands of commas are compared a few at a time too,
    // each without being cut into all its fields.
    void longLinesAreComparedInSlicesToo()
    {
        const int lines = 15;
        QByteArray manifest;
        for (int i = 1; i <= lines; ++i)
            manifest += "Echo,201201" + QByteArray::number(10 + i) + ",/s/modules/e" + QByteArray::number(i) + ".js"
                + QByteArray(65000, ',') + "\n";
        QVERIFY(manifest.size() <= GuiCheckForUpdates::MaxManifestBytes);
        m->server.serve("/MANIFEST", manifest);
        GuiCheckForUpdates dialog({ installEcho() }, m->modules.path());
        int turns = 0; // of the event loop while the lines are compared
        QTimer counting;
        connect(&counting, &QTimer::timeout, this, [&]() {
            if (dialog.qtModuleVersion->text().startsWith("Comparing the "))
                ++turns;
        });
        counting.start(0);
        TEST_TRY_VERIFY(compared(dialog));
        QVERIFY2(turns >= lines / 2, qPrintable(QString::number(turns)));
        QVERIFY(dialog.qtModuleVersion->text().startsWith("Update Echo to 20120111\nUpdate Echo to 20120112\n"));
        QVERIFY(dialog.qtModuleVersion->text().endsWith("\n... and 5 more"));
    }

    void aFailedManifestFetchIsReported_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("why");
        QTest::newRow("server error") << QByteArray("server broke") << 500 << "500";
        QTest::newRow("error page") << QByteArray("\n <html><body>Oops, try again, later</body></html>") << 200
                                    << "not an update manifest";
        QTest::newRow("oversized") << QByteArray(GuiCheckForUpdates::MaxManifestBytes + 1, 'x') << 200
                                   << "announced an answer of 1048577 bytes (Content-Length), more than the 1048576 "
                                      "bytes it may take";
        // Status -1: in chunks, which announce no length.
        QTest::newRow("oversized, in chunks") << QByteArray(GuiCheckForUpdates::MaxManifestBytes + 1, 'x') << -1
                                              << "sent more than the 1048576 bytes its answer may take";
        // Status 0: served without its length, ended by the end of the connection.
        QTest::newRow("no length") << QByteArray("Echo,20120102,/s/modules/echo_main.js\n") << 0
                                   << "could not be told from a whole one";
    }
    void aFailedManifestFetchIsReported()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, why);
        if (status <= 0)
            m->server.serve("/MANIFEST", body,
                status == 0 ? TestHttpServer::Framing::UntilClose : TestHttpServer::Framing::Chunked);
        auto dialog = check(body, status > 0 ? status : -1);
        QVERIFY2(dialog->qtModuleVersion->text().startsWith("The update check failed:"),
            qPrintable(dialog->qtModuleVersion->text()));
        // The headline no longer says that the check is under way.
        QCOMPARE(dialog->label->text(), QString("The check of the Vornakel web site for updated versions failed."));
        QVERIFY(dialog->qtBinaryVersion->text().contains(why));
        // The reason is legible (not greyed), and nothing can be fetched.
        QVERIFY(dialog->qtModuleVersion->isEnabled() && dialog->qtBinaryVersion->isEnabled());
        QVERIFY(!dialog->qtUpdateModules->isEnabled() && !dialog->qtDownloadBinary->isEnabled());
    }

    void updateWritesModulesInsideTheModulesFolderOnly()
    {
        const QString entry = installEcho("sub/echo_main.js");
        const QString installed = entry.section(',', 3);
        const QString outside = QFileInfo(m->modules.path()).absolutePath() + "/evil_main.js";
        QFile::remove(outside);
        const QString newEcho = TestModules::text("Echo", "20120102");
        m->server.serve("/s/modules/sub/echo_main.js", newEcho.toUtf8());
        m->server.serve("/s/modules/../evil_main.js", "evil");
        auto dialog = check("Evil,2,/s/modules/../evil_main.js\nAbs,2,/s/modules//tmp/abs_main.js\n"
                            "Echo,20120102,/s/modules/sub/echo_main.js\n",
            200, { "Evil,1", "Abs,1", entry });
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(read(installed), newEcho);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        QVERIFY(m->answerer.texts().at(0).contains("\nEvil: its path /s/modules/../evil_main.js does not stay"));
        QVERIFY(m->answerer.texts().at(0).contains("\nAbs: its path /s/modules//tmp/abs_main.js does not stay"));
        QVERIFY(!QFile::exists(outside) && !QFile::exists("/tmp/abs_main.js"));
        QCOMPARE(m->server.requested(), (QStringList { "/MANIFEST", "/s/modules/sub/echo_main.js" }));
        QVERIFY(!QApplication::overrideCursor());
    }

    void aManifestWithWindowsLineEndsFetchesItsFiles()
    {
        const QString entry = installEcho();
        const QString newEcho = TestModules::text("Echo", "20120102");
        m->server.serve("/s/modules/echo_main.js", newEcho.toUtf8());
        auto dialog = check("Echo,20120102,/s/modules/echo_main.js\r\n\r\n", 200, { entry });
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(read(entry.section(',', 3)), newEcho);
    }

    void aFailedModuleDownloadKeepsTheInstalledFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("404") << "404";
        QTest::newRow("dropped connection") << "dropped";
        QTest::newRow("oversized") << "oversized";
        // The first lines of a module, which evaluate to it, and then the connection ends.
        QTest::newRow("cut without a length") << "cut";
    }
    void aFailedModuleDownloadKeepsTheInstalledFile()
    {
        QFETCH(QString, kind);
        const QString entry = installEcho();
        const QString installed = entry.section(',', 3);
        const QString old = read(installed);
        if (kind == "dropped")
            m->server.drop("/s/modules/echo_main.js");
        if (kind == "oversized")
            m->server.serve("/s/modules/echo_main.js", QByteArray(GuiCheckForUpdates::MaxModuleBytes + 1, 'x'));
        if (kind == "cut") {
            const QByteArray script = TestModules::text("Echo", "20120102", "function later() {}\n").toUtf8();
            m->server.serve("/s/modules/echo_main.js", script, TestHttpServer::Framing::UntilClose,
                script.indexOf("function later"));
        }
        auto dialog = check("Echo,20120102,/s/modules/echo_main.js", 200, { entry });
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        QVERIFY(m->answerer.texts().first().contains("\nEcho: unable to download " + installed));
        QCOMPARE(read(installed), old);
        QVERIFY(!QApplication::overrideCursor());
    }

    void installsOnlyADownloadThatIsTheNamedModule_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("why");
        // Only the looping module meets the time limit: the others have one
        // no evaluation comes near, so that no row races the clock.
        QTest::addColumn<bool>("loops");

        const QByteArray echo = TestModules::text("Echo", "20120102").toUtf8();
        QTest::newRow("empty") << QByteArray() << QByteArray("text/plain") << "the server sent nothing" << false;
        QTest::newRow("error page") << QByteArray("<html><body><h1>502 Bad Gateway</h1></body></html>")
                                    << QByteArray("text/plain") << "an HTML page" << false;
        QTest::newRow("served as HTML") << echo << QByteArray("text/html; charset=utf-8") << "an HTML page" << false;
        QTest::newRow("no script") << QByteArray("502 Bad Gateway") << QByteArray("text/plain")
                                   << "not a module script: Error:" << false;
        QTest::newRow("throws") << echo + "throw new Error('half a file');" << QByteArray("text/plain")
                                << "not a module script: Line #" << false;
        QTest::newRow("never ends") << echo + "while (true) {}" << QByteArray("text/plain")
                                    << "not a module script: The module inspector took longer than" << true;
        // Native work, where an engine cannot stop a script: 128 MiB in one string.
        QTest::newRow("takes too much memory")
            << echo + "var s = '0123456789abcdef'; for (var i = 0; i < 22; ++i) { s = s + s; s.indexOf('#'); }"
            << QByteArray("text/plain") << "of memory" << false;
        QTest::newRow("another module") << TestModules::text("Other", "20120102").toUtf8() << QByteArray("text/plain")
                                        << "the module Other version 20120102, not Echo version 20120102" << false;
        QTest::newRow("another version") << TestModules::text("Echo", "20120103").toUtf8() << QByteArray("text/plain")
                                         << "the module Echo version 20120103, not Echo version 20120102" << false;
    }
    void installsOnlyADownloadThatIsTheNamedModule()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, why);
        QFETCH(bool, loops);
        const int limit = AppQtScriptPlugin::loadTimeLimitMs();
        const int memory = AppQtScriptPlugin::inspectionMemoryLimitMiB();
        AppQtScriptPlugin::setLoadTimeLimitMs((loops ? 200 : 60000) * testSlowdown());
        AppQtScriptPlugin::setInspectionMemoryLimitMiB(32);
        const QString entry = installEcho();
        const QString installed = entry.section(',', 3);
        const QString old = read(installed);
        m->server.serve("/s/modules/echo_main.js", body, 200, contentType);
        auto dialog = check("Echo,20120102,/s/modules/echo_main.js", 200, { entry });
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        AppQtScriptPlugin::setLoadTimeLimitMs(limit);
        AppQtScriptPlugin::setInspectionMemoryLimitMiB(memory);
        QCOMPARE(m->answerer.titles().first(), QString("Module Update"));
        const QString text = m->answerer.texts().first();
        QVERIFY2(
            text.startsWith("1 of 1 modules could not be updated") && text.contains("\nEcho: ") && text.contains(why),
            qPrintable(text));
        QCOMPARE(read(installed), old);
        QVERIFY(!QApplication::overrideCursor());
    }

    // While a module is inspected the dialog works on: it can be closed,
    // which ends the inspection, and an inspector killed from outside is
    // reported so.
    void anInspectionLeavesTheDialogWorking_data()
    {
        QTest::addColumn<bool>("closed"); // else the inspector is killed
        QTest::newRow("dialog closed") << true;
        QTest::newRow("inspector killed from outside") << false;
    }
    void anInspectionLeavesTheDialogWorking()
    {
        QFETCH(bool, closed);
        // A module that loops under a time limit that the test never waits for.
        const int limit = AppQtScriptPlugin::loadTimeLimitMs();
        const auto restore = qScopeGuard([limit] { AppQtScriptPlugin::setLoadTimeLimitMs(limit); });
        AppQtScriptPlugin::setLoadTimeLimitMs(600000);
        const QString entry = installEcho();
        const QString installed = entry.section(',', 3);
        const QString old = read(installed);
        m->server.serve(
            "/s/modules/echo_main.js", (TestModules::text("Echo", "20120102") + "while (true) {}").toUtf8());
        auto dialog = check("Echo,20120102,/s/modules/echo_main.js", 200, { entry });
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        QList<pid_t> inspectors;
        TEST_TRY_VERIFY((inspectors = testChildren(getpid(), "vornakel_inspect")).size() == 1);
        QVERIFY(QApplication::overrideCursor());
        if (closed) {
            dialog->reject();
            dialog.reset();
            QVERIFY(!testIsAlive(inspectors.first()));
            QVERIFY(m->answerer.seen().isEmpty());
        } else {
            ::kill(inspectors.first(), SIGKILL);
            TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
            QVERIFY2(m->answerer.texts().first().endsWith("\nEcho: the download for " + installed
                         + " was not installed: it is not a module script: The module inspector was ended from "
                           "outside (Killed)."),
                qPrintable(m->answerer.texts().first()));
        }
        QCOMPARE(read(installed), old);
        QVERIFY(!QApplication::overrideCursor());
    }

    void anEntryReplacesOnlyAFileOfTheModuleItNames_data()
    {
        QTest::addColumn<QString>("serverPath");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("another module's script") << "/s/modules/MainScreen_main.js" << false;
        QTest::newRow("its own page") << "/s/modules/echo.html" << true;
    }
    void anEntryReplacesOnlyAFileOfTheModuleItNames()
    {
        QFETCH(QString, serverPath);
        QFETCH(bool, replaced);
        const QString page = m->modules.writeRaw("echo.html", "<html><head></head><body>1</body></html>");
        const QString echo = m->modules.write("echo_main.js", "Echo", "20120101");
        const QString mainScreen = m->modules.write("MainScreen_main.js", "MainScreen", "20120412");
        const QString target = m->modules.path() + serverPath.mid(QString("/s/modules").size());
        const QString old = read(target);
        const QString newText = serverPath.endsWith(".html") ? "<html><head></head><body>2</body></html>"
                                                             : TestModules::text("Echo", "20120102");
        m->server.serve(serverPath, newText.toUtf8());
        auto dialog = check("Echo,20120102," + serverPath.toUtf8(), 200,
            { "Echo,20120101," + page + "," + echo, "MainScreen,20120412,," + mainScreen });
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        QCOMPARE(read(target), replaced ? newText : old);
        QCOMPARE(m->answerer.titles().first(), QString(replaced ? "Update Completed" : "Module Update"));
        if (!replaced)
            QVERIFY(
                m->answerer.texts().first().contains("\nEcho: " + target + " is not a file of the installed module"));
    }

    void theArchiveLandsInThePickedFolder_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("served") << 200;
        QTest::newRow("not found") << 404;
    }
    void theArchiveLandsInThePickedFolder()
    {
        QFETCH(int, status);
        QTemporaryDir folder;
        m->server.serve("/dist/vornakel-mac64.zip", "archive bytes", status);
        auto dialog = check("Vornakel,20120901,/dist/");
        m->answerer.answerFileDialog(folder.path());
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->qtDownloadBinary, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 2);
        const QString archive = folder.filePath("vornakel-mac64.zip");
        if (status == 200) {
            QCOMPARE(m->answerer.titles().last(), QString("Download Completed"));
            QCOMPARE(read(archive), QString("archive bytes"));
            QVERIFY(!dialog->qtBinaryFrame->isEnabled());
        } else {
            QCOMPARE(m->answerer.titles().last(), QString("Application Update"));
            QVERIFY(!QFile::exists(archive));
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
        }
        QVERIFY(!QApplication::overrideCursor());
    }

    // The archive is put in place only when it is known to have arrived
    // whole: by its length, or by its last chunk. Otherwise the file that
    // had its name keeps it.
    void anArchiveIsPutInPlaceOnlyWhenKnownWhole_data()
    {
        QTest::addColumn<TestHttpServer::Framing>("framing");
        QTest::addColumn<qint64>("cutAfter");
        QTest::addColumn<QString>("why"); // empty: "Download Completed"
        const QString unknown = "The server did not say how long its answer is (it gave no Content-Length and did not "
                                "send it in chunks), so an answer cut short could not be told from a whole one.";
        QTest::newRow("length, whole") << TestHttpServer::Framing::Length << qint64(-1) << QString();
        QTest::newRow("length, cut") << TestHttpServer::Framing::Length << qint64(40000) << "closed";
        QTest::newRow("chunks, whole") << TestHttpServer::Framing::Chunked << qint64(-1) << QString();
        QTest::newRow("chunks, cut mid-chunk") << TestHttpServer::Framing::Chunked << qint64(40000) << "closed";
        QTest::newRow("chunks, cut after a chunk") << TestHttpServer::Framing::Chunked << qint64(40960) << "closed";
        QTest::newRow("no length, cut") << TestHttpServer::Framing::UntilClose << qint64(40000) << unknown;
        QTest::newRow("no length, whole") << TestHttpServer::Framing::UntilClose << qint64(-1) << unknown;
        // The disk takes 100,000 bytes: the download ends there.
        QTest::newRow("the disk fills") << TestHttpServer::Framing::Length << qint64(-2) << TestFileSizeLimit::reason();
    }
    void anArchiveIsPutInPlaceOnlyWhenKnownWhole()
    {
        QFETCH(TestHttpServer::Framing, framing);
        QFETCH(qint64, cutAfter);
        QFETCH(QString, why);
        QTemporaryDir folder;
        const QString archive = folder.filePath("vornakel-mac64.zip");
        QVERIFY(testWriteFile(archive, "the archive downloaded before"));
        QByteArray body;
        for (int i = 0; body.size() < 300000; ++i)
            body += QByteArray::number(i) + '\n';
        m->server.serve("/dist/vornakel-mac64.zip", body, framing, qMax(qint64(-1), cutAfter));
        auto dialog = check("Vornakel,20120901,/dist/");
        std::unique_ptr<TestFileSizeLimit> disk(cutAfter == -2 ? new TestFileSizeLimit(100000) : nullptr);
        m->answerer.answerFileDialog(folder.path());
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->qtDownloadBinary, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.seen().size(), 2);
        if (why.isEmpty()) {
            QCOMPARE(m->answerer.titles().last(), QString("Download Completed"));
            QVERIFY(read(archive) == QString::fromLatin1(body));
        } else {
            QCOMPARE(m->answerer.titles().last(), QString("Application Update"));
            const QString text = m->answerer.texts().last();
            QVERIFY2(text.startsWith("The download of the latest Vornakel distribution failed; nothing was put in "
                                     "place of:\n"
                         + archive + "\n"),
                qPrintable(text));
            QVERIFY2(text.contains(why, Qt::CaseInsensitive), qPrintable(text));
            QCOMPARE(read(archive), QString("the archive downloaded before"));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "vornakel-mac64.zip" });
        QVERIFY(!QApplication::overrideCursor());
    }

    // One rule tells a whole body, as HTTP/1.1 defines a message's length:
    // one valid Content-Length met exactly, or chunks read to the last one.
    // Framing that is invalid or conflicts is an error, and the archive in
    // place stays as it was.
    void anArchiveFramedUnsoundlyIsNotPutInPlace_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("why"); // empty: "Download Completed" with the ten digits
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray more(1000, 'x');
        QTest::newRow("chunk size of 64 bits") << chunked + "ffffffffffffffff\r\n" + more << "chunk size too large";
        QTest::newRow("negative chunk size") << chunked + "-5\r\n" + more << "chunk size that is no hexadecimal";
        QTest::newRow("length -1") << ok + "Content-Length: -1\r\n\r\n" + more << "is not a number of bytes";
        // Refused at once, for what the server said it would send.
        QTest::newRow("a length over 1 GiB")
            << ok + "Content-Length: 2147483648\r\n\r\n" + more
            << "The server announced an answer of 2147483648 bytes (Content-Length), more than the 1073741824 bytes "
               "it may take.";
        QTest::newRow("lengths 5 and 20") << ok + "Content-Length: 5\r\nContent-Length: 20\r\n\r\n" + more
                                          << "lengths that disagree (Content-Length: 5, 20)";
        QTest::newRow("a length and chunks")
            << ok + "Content-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n"
            << "both a length";
        QTest::newRow("a coding before chunked")
            << ok + "Transfer-Encoding: gzip, chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n"
            << "only chunked";
        QTest::newRow("chunks in HTTP/1.0")
            << QByteArray("HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\n0123456789\r\n0\r\n\r\n")
            << "HTTP/1.0";
        QTest::newRow("a chunk longer than its size") << chunked + "5\r\n0123456789\r\n0\r\n\r\n"
                                                      << "did not end where its size said";
        QTest::newRow("no last chunk") << chunked + "a\r\n0123456789\r\n"
                                       << "closed before the last chunk";
        QTest::newRow("no empty line after the last chunk") << chunked + "a\r\n0123456789\r\n0\r\n"
                                                            << "closed before the last chunk";
        QTest::newRow("one length twice") << ok + "Content-Length: 10, 10\r\n\r\n0123456789" << QString();
        QTest::newRow("length met, then more") << ok + "Content-Length: 10\r\n\r\n0123456789" + more << QString();
        QTest::newRow("chunks with extensions and a trailer")
            << chunked + "4;x=y\r\n0123\r\n06 \r\n456789\r\n0\r\nDigest: z\r\n\r\n"
            << QString();
    }
    void anArchiveFramedUnsoundlyIsNotPutInPlace()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, why);
        QTemporaryDir folder;
        const QString archive = folder.filePath("vornakel-mac64.zip");
        QVERIFY(testWriteFile(archive, "the archive downloaded before"));
        m->server.serveRaw("/dist/vornakel-mac64.zip", response);
        const QStringList box = downloadArchive(folder.path());
        if (why.isEmpty()) {
            QCOMPARE(box.first(), QString("Download Completed"));
            QCOMPARE(read(archive), QString("0123456789"));
        } else {
            QCOMPARE(box.first(), QString("Application Update"));
            QVERIFY2(box.last().startsWith("The download of the latest Vornakel distribution failed; nothing was put "
                                           "in place of:\n"
                         + archive + "\n")
                    && box.last().contains(why),
                qPrintable(box.last()));
            QCOMPARE(read(archive), QString("the archive downloaded before"));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "vornakel-mac64.zip" });
        QVERIFY(!QApplication::overrideCursor());
    }

    // A file that cannot be written is refused with the reason the save
    // gave: here another user's link where others may write.
    void aFileThatCannotBeOpenedIsNamedWithTheReason_data()
    {
        QTest::addColumn<bool>("archive"); // else a module
        QTest::newRow("archive") << true;
        QTest::newRow("module") << false;
    }
    void aFileThatCannotBeOpenedIsNamedWithTheReason()
    {
        QFETCH(bool, archive);
        if (!testCanGiveAway())
            QSKIP("only the superuser can give a link to another user");
        QTemporaryDir shared;
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        const QString precious = m->modules.write("echo_main.js", "Echo", "20120101");
        const QString old = read(precious);
        const QString link = shared.filePath(archive ? "vornakel-mac64.zip" : "echo_main.js");
        QVERIFY(QFile::link(precious, link) && testGiveAway(link));
        QStringList box;
        if (archive) {
            m->server.serve("/dist/vornakel-mac64.zip", "archive bytes");
            box = downloadArchive(shared.path());
        } else {
            // The module as listed from a modules folder that others may write.
            m->server.serve("/s/modules/echo_main.js", TestModules::text("Echo", "20120102").toUtf8());
            auto dialog
                = check("Echo,20120102,/s/modules/echo_main.js", 200, { "Echo,20120101,," + link }, shared.path());
            m->answerer.answerMessageBox(QMessageBox::Ok);
            QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
            TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
            box = QStringList { m->answerer.titles().last(), m->answerer.texts().last() };
        }
        QCOMPARE(box.first(), QString(archive ? "Application Update" : "Module Update"));
        QCOMPARE(box.last(),
            QString(archive ? "Unable to open file for download:" : "Unable to open module for update:") + "\n" + link
                + "\n" + link
                + " is a link of another user's in a folder that others may write, and is not followed; nothing was "
                  "saved.");
        QCOMPARE(read(precious), old);
        QVERIFY(!QApplication::overrideCursor());
    }

    // However fast the server sends and however long the window is busy, the
    // program holds a buffer of the archive at a time: the rest waits in the
    // network until the disk has taken what came before.
    void theArchiveGoesToTheDiskAsItArrives()
    {
        const qint64 size = 160 * 1024 * 1024;
        TestHttpStreamer streamer("Vornakel,20120901,/dist/\n", size);
        QSettings().setValue(QLatin1String(AppServers::updateServerKey), streamer.baseUrl());
        QTemporaryDir folder;
        GuiCheckForUpdates dialog(kInstalled, m->modules.path());
        TEST_TRY_VERIFY(compared(dialog));
        QVERIFY(dialog.qtBinaryFrame->isEnabled());
        m->answerer.answerFileDialog(folder.path());
        m->answerer.answerMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog.qtDownloadBinary, Qt::LeftButton);
        TEST_TRY_VERIFY(streamer.sent() > 0);
        // The window busy: it takes nothing until the server can send no more.
        const qint64 before = testResidentBytes();
        for (qint64 last = -1; streamer.sent() != last && streamer.sent() < size;) {
            last = streamer.sent();
            QThread::msleep(200 * testSlowdown());
        }
        const qint64 held = testResidentBytes() - before;
        const qint64 sent = streamer.sent();
        QTRY_COMPARE_WITH_TIMEOUT(m->answerer.titles().size(), 2, 2 * testPatienceMs());
        QCOMPARE(m->answerer.titles().last(), QString("Download Completed"));
        QFile archive(folder.filePath("vornakel-mac64.zip"));
        QCOMPARE(archive.size(), size);
        QVERIFY(archive.open(QIODevice::ReadOnly));
        for (const qint64 at : { qint64(0), size / 3, size - 1 }) {
            archive.seek(at);
            QCOMPARE(archive.read(1).at(0), TestHttpStreamer::byteAt(at));
        }
        QVERIFY2(
            held < 32 * 1024 * 1024, qPrintable(QString("%1 MiB held of %2 MiB sent").arg(held >> 20).arg(sent >> 20)));
    }

    void closingMidRunRestoresTheCursor()
    {
        m->server.hold("/s/modules/echo_main.js");
        auto dialog = check("Echo,20120102,/s/modules/echo_main.js", 200, { installEcho() });
        QTest::mouseClick(dialog->qtUpdateModules, Qt::LeftButton);
        QVERIFY(QApplication::overrideCursor());
        TEST_TRY_VERIFY(m->server.requested().contains("/s/modules/echo_main.js"));
        dialog->reject();
        dialog.reset();
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(m->answerer.seen().isEmpty());
    }
};

TEST_MAIN(TstGuiCheckForUpdates)
#include "tst_gui_checkforupdates.moc"
