// The update check's requests to a server that stops answering or sends
// slowly: each waits on purpose for a time limit of the request to run out,
// or to be kept, and so runs as a program of its own beside the rest of the
// update check's tests.

#include "gui/gui_checkforupdates.h"
#include "test_httpserver.h"
#include "test_log.h"
#include "test_updatecheck.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TstGuiCheckForUpdatesLimits : public QObject, TestUpdateCheckCase
{
    Q_OBJECT

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // A request given up for its time says what had come by then: nothing,
    // a body too slow, a head too slow, or interim answers and no final one.
    void givesUpOnAServerThatStopsAnswering_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("sends"); // "nothing", "body" a byte at a time, "head" a byte at a time, "interim"
        QTest::addColumn<QString>("why"); // a pattern for the reason, which ends the message

        const QString after = QString::number(givingUpMs() / 1000);
        const QString silent = QRegularExpression::escape("Nothing arrived for " + after + " s.");
        const QString slowBody = "The server sent too slowly: \\d+ of the 1000000 bytes of its answer had come " + after
            + " s after the request\\.";
        const QString slowHead = "The server sent too slowly: \\d+ bytes of the head of its answer had come " + after
            + " s after the request, and not all of it\\.";
        const QString interims = "The server sent \\d+ interim answers? \\(status 102\\) and no final answer within "
            + after + " s of the request\\.";
        QTest::newRow("manifest, nothing sent") << "/MANIFEST"
                                                << "nothing" << silent;
        QTest::newRow("manifest, its body trickled") << "/MANIFEST"
                                                     << "body" << slowBody;
        QTest::newRow("manifest, its head trickled") << "/MANIFEST"
                                                     << "head" << slowHead;
        QTest::newRow("manifest, interim answers without end") << "/MANIFEST"
                                                               << "interim" << interims;
        QTest::newRow("module, nothing sent") << "/s/modules/echo_main.js"
                                              << "nothing" << silent;
        QTest::newRow("module, its body trickled") << "/s/modules/echo_main.js"
                                                   << "body" << slowBody;
        QTest::newRow("module, interim answers without end") << "/s/modules/echo_main.js"
                                                             << "interim" << interims;
        QTest::newRow("archive, nothing sent") << "/dist/vornakel-mac64.zip"
                                               << "nothing" << silent;
        // A byte every 100 ms is never silence: the archive's own deadline ends it.
        QTest::newRow("archive, its body trickled") << "/dist/vornakel-mac64.zip"
                                                    << "body" << slowBody;
        QTest::newRow("archive, its head trickled") << "/dist/vornakel-mac64.zip"
                                                    << "head" << slowHead;
    }
    void givesUpOnAServerThatStopsAnswering()
    {
        QFETCH(QString, path);
        QFETCH(QString, sends);
        QFETCH(QString, why);
        // The limit a row expects is short, the other far longer, so that they never cross.
        if (sends != "nothing")
            GuiCheckForUpdates::setTimeLimits(givingUpMs(), 60 * givingUpMs(), givingUpMs());
        else
            GuiCheckForUpdates::setTimeLimits(60 * givingUpMs(), givingUpMs(), 60 * givingUpMs());
        const QString entry = installEcho();
        m->server.serve("/MANIFEST", "Echo,20120102,/s/modules/echo_main.js\nVornakel,20120901,/dist/");
        if (sends == "nothing")
            m->server.hold(path);
        else if (sends == "body")
            m->server.trickle(path, 100);
        else if (sends == "head")
            m->server.dribble(path, "HTTP/1.1 200 OK\r\nX-Slow: ", "x", 1, 100);
        else
            m->server.dribble(path, QByteArray(), kProcessing, kProcessing.size(), 100);
        QTemporaryDir folder;
        m->answerer.answerFileDialog(folder.path());
        m->answerer.answerMessageBox(QMessageBox::Ok);
        GuiCheckForUpdates dialog({ entry, "Vornakel,20120828 BETA" }, m->modules.path());
        QVERIFY(checking(dialog));
        const QRegularExpression reason(why + "$");
        if (path == "/MANIFEST") {
            TEST_TRY_VERIFY(!checking(dialog));
            const QString text = dialog.qtModuleVersion->text();
            QVERIFY2(text.startsWith("The update check failed: ") && reason.match(text).hasMatch(), qPrintable(text));
            return;
        }
        TEST_TRY_VERIFY(!checking(dialog));
        const bool archive = path.endsWith(".zip");
        QTest::mouseClick(archive ? dialog.qtDownloadBinary : dialog.qtUpdateModules, Qt::LeftButton);
        TEST_TRY_COMPARE(m->answerer.titles().size(), archive ? 2 : 1);
        const QString text = m->answerer.texts().last();
        QVERIFY2(reason.match(text).hasMatch(), qPrintable(text));
        QVERIFY2(archive || text.startsWith("1 of 1 modules could not be updated"), qPrintable(text));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Whatever arrives is no silence: a head that comes a byte at a time more
    // slowly than the silence limit, or interim answers before the final one,
    // is taken once it is whole within the request's own limit.
    void bytesOfAnyKindAreNoSilence_data()
    {
        QTest::addColumn<bool>("interim"); // interim answers first; else the whole answer a byte at a time
        QTest::newRow("a head a byte at a time") << false;
        QTest::newRow("interim answers first") << true;
    }
    void bytesOfAnyKindAreNoSilence()
    {
        QFETCH(bool, interim);
        GuiCheckForUpdates::setTimeLimits(60 * givingUpMs(), givingUpMs(), 60 * givingUpMs());
        const QByteArray manifest = "Echo,20120102,/s/modules/echo_main.js\n";
        const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(manifest.size())
            + "\r\nX-Pad: " + QByteArray(20, 'p') + "\r\n\r\n" + manifest;
        // Three times the silence limit in all, a piece every twenty-fifth of it.
        const int tickMs = givingUpMs() / 25;
        if (interim)
            m->server.dribble("/MANIFEST", kProcessing.repeated(75) + answer, QByteArray(), kProcessing.size(), tickMs);
        else
            m->server.dribble("/MANIFEST", answer, QByteArray(), 1, 3 * givingUpMs() / answer.size());
        GuiCheckForUpdates dialog({ installEcho() }, m->modules.path());
        TEST_TRY_VERIFY(compared(dialog));
        QCOMPARE(dialog.qtModuleVersion->text(), QString("Update Echo to 20120102"));
    }
};

TEST_MAIN(TstGuiCheckForUpdatesLimits)
#include "tst_gui_checkforupdates_limits.moc"
