// Main window commands: further database windows, the about box and the help
// pages, through the real windows on temporary databases and the shipped modules.

#include "app/app_servers.h"
#include "app/app_version.h"
#include "gui/gui_about.h"
#include "gui/gui_checkforupdates.h"
#include "test_environment.h"
#include "test_fakemodule.h"
#include "test_httpserver.h"
#include "test_log.h"
#include "test_mainwindow.h"
#include "xml/xml_messageprocessor.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QSqlDatabase>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

QList<GuiVornakel *> windows()
{
    return testTopLevels<GuiVornakel>();
}

GuiVornakel *windowOf(const QString &path)
{
    for (GuiVornakel *window : windows())
        if (window->activeDbLocation() == path)
            return window;
    return nullptr;
}

// The windows on screen, by object name or else class, sorted.
QStringList visibleWindows()
{
    QStringList shown;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            shown << (w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName());
    shown.sort();
    return shown;
}

void touch(const QString &path, const QByteArray &bytes = QByteArray())
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

class TstGuiVornakelCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m;
    GuiVornakel *first = nullptr;

    // Opens a file from the window's menu command, answering the file dialog.
    void openFrom(GuiVornakel *window, const QString &path)
    {
        m->answerer.answerFileDialog(path);
        window->actionOpen_Different_Experimental_Database->trigger();
    }

private slots:
    void init()
    {
        m = std::make_unique<TestMainWindow>();
        first = m->start(TestMainWindow::Show::No);
        QVERIFY(first);
        first->mainVornakelWindow();
    }
    void cleanup()
    {
        for (GuiVornakel *window : windows())
            if (window != first)
                delete window;
        m.reset();
    }

    void everyWindowListsEveryWindowInOpeningOrder()
    {
        const QString b = m->db.path("b.db"), c = m->db.path("c.db");
        touch(b);
        touch(c);
        openFrom(first, b);
        QVERIFY(windowOf(b));
        QVERIFY(windowOf(b)->isVisible());
        openFrom(windowOf(b), c);
        QVERIFY(windowOf(c));
        const QList<GuiVornakel *> expected { first, windowOf(b), windowOf(c) };
        for (GuiVornakel *window : expected)
            QCOMPARE(window->vornakelList(), expected);
        QVERIFY(m->answerer.texts().filter("already open").isEmpty());
        // Each new window is set off from its opener instead of landing on it.
        QVERIFY(windowOf(b)->pos() != first->pos() && windowOf(c)->pos() != windowOf(b)->pos());
    }

    void aWindowOpenedFromTheMenuIsLaidOutLikeTheFirst()
    {
        const QString b = m->db.path("b.db");
        touch(b);
        openFrom(first, b);
        GuiVornakel *second = windowOf(b);
        QVERIFY(second);
        for (int shown = 0; shown < 2; ++shown) {
            QVERIFY(second->qtVbarStandard->isChecked());
            // The unit label sits at the right end of its field.
            QVERIFY(second->qtSampleVbarUnitLabel->x() > second->qtSampleVbar->width() / 2);
            second->close();
            openFrom(first, b); // shows the closed window again
        }
    }

    // One window per file, so that its reference data editor announces its changes to the one window that shows
    // the file's records: a file under another name (a hard link) is the same file.
    void anOpenFileRaisesItsWindowInsteadOfAnotherOne_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("same path") << "";
        QTest::newRow("differently written path") << "symbolic";
        QTest::newRow("the same file under another name") << "hard";
    }
    void anOpenFileRaisesItsWindowInsteadOfAnotherOne()
    {
        QFETCH(QString, link);
        const QString b = m->db.path("b.db");
        touch(b);
        openFrom(first, b);
        GuiVornakel *second = windowOf(b);
        QVERIFY(second);
        second->close();
        QVERIFY(!second->isVisible());

        QString again = b;
        if (link == "symbolic") {
            again = m->db.path("link.db");
            QVERIFY(QFile::link(b, again));
        } else if (link == "hard") {
            again = m->db.path("hardlink.db");
            QVERIFY(testSecondName(b, again));
        }
        m->answerer.clear();
        openFrom(first, again);
        QCOMPARE(m->answerer.texts().last(), QStringLiteral("Database '%1' is already open").arg(again));
        QCOMPARE(windows().size(), 2);
        QVERIFY(second->isVisible());
    }

    void aFileThatIsNoDatabaseDropsOnlyTheNewWindow()
    {
        const QString junk = m->db.path("junk.db");
        touch(junk, QByteArray(4096, 'x'));
        for (int attempt = 0; attempt < 2; ++attempt) {
            m->answerer.clear();
            openFrom(first, junk);
            QCOMPARE(m->answerer.seen().size(), 2); // the file dialog, then the database layer's box
            QCOMPARE(m->answerer.seen().last().icon, QMessageBox::Critical);
            QCOMPARE(windows().size(), 1);
            QVERIFY(!QSqlDatabase::contains(junk));
        }
        QCOMPARE(first->vornakelList(), QList<GuiVornakel *> { first });
    }

    // A file the dialog gives back by a name it could not read (bytes that are
    // no text in the system's encoding, read with a stand-in character), or
    // one gone since it was chosen, is told; no other file is opened or made.
    void aChosenFileThatIsNotThereUnderItsNameIsTold_data()
    {
        QTest::addColumn<QByteArray>("onDisk"); // the name in the folder; empty: none
        QTest::addColumn<QString>("told");
        QTest::newRow("a name not in the system's encoding")
            << QByteArray("lab\xE9.db")
            << "%1 is not opened: its name on disk is not text in the system's encoding (UTF-8), and under the "
               "name as Vornakel reads it, it would be another file. Rename it with valid characters (letters, "
               "digits, '-', '_' and '.' are always so) and open it again.";
        QTest::newRow("gone since it was chosen")
            << QByteArray() << "%1 does not exist (any more); nothing was opened.";
    }
    void aChosenFileThatIsNotThereUnderItsNameIsTold()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, told);
        const QTextCodec *locale = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        auto restore = qScopeGuard([locale] { QTextCodec::setCodecForLocale(const_cast<QTextCodec *>(locale)); });
        const QByteArray folder = QFile::encodeName(m->db.dir());
        const QString chosen = onDisk.isEmpty() ? m->db.path("gone.db") : QFile::decodeName(folder + '/' + onDisk);
        if (!onDisk.isEmpty())
            QVERIFY(::close(::open((folder + '/' + onDisk).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600)) == 0);
        const QList<QByteArray> before = testNamesIn(m->db.dir());
        m->answerer.clear();
        // Handed back as a dialog of the system's hands it back, without a look of its own.
        m->answerer.answerWith([chosen](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            dialog->selectFile(chosen);
            // Done, not accepted: the dialog takes no look of its own at the name.
            static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
        });
        first->actionOpen_Different_Experimental_Database->trigger();
        QCOMPARE(m->answerer.seen().size(), 2);
        QCOMPARE(m->answerer.seen().last().icon, QMessageBox::Critical);
        QCOMPARE(m->answerer.seen().last().text, told.arg(chosen));
        QCOMPARE(windows().size(), 1);
        QVERIFY(!QSqlDatabase::contains(chosen));
        QCOMPARE(testNamesIn(m->db.dir()), before);
        if (!onDisk.isEmpty())
            QCOMPARE(::unlink((folder + '/' + onDisk).constData()), 0);
    }

    void aboutShowsTheVersions()
    {
        QStringList shown;
        m->answerer.answerWith([&shown](QWidget *w) {
            auto *about = qobject_cast<GuiAbout *>(w);
            if (!about)
                return;
            shown << about->qtVersion->text() << about->qtDBVersion->text();
            QTest::mouseClick(about->pushButton, Qt::LeftButton);
        });
        first->actionAbout_Vornakel->trigger();
        QCOMPARE(shown, (QStringList { APPVERSION, DBVERSION }));
        QCOMPARE(shown, (QStringList { "20120828 BETA", "20120320" }));
    }

    // The installed list holds every loaded module, then the program itself.
    void updateCheckComparesModulesAndTheProgram()
    {
        TestHttpServer server;
        server.serve("/MANIFEST", "MainScreen,20990101,/s/modules/MainScreen_main.js\nVornakel,20990101,/dist/\n");
        QSettings().setValue(QLatin1String(AppServers::updateServerKey), server.baseUrl());
        QStringList shown;
        m->answerer.answerWith([&shown](QWidget *w) {
            auto *dialog = qobject_cast<GuiCheckForUpdates *>(w);
            if (!dialog)
                return;
            // The dialog says "Checking ..." until the manifest is in.
            const auto compared = [dialog]() {
                const QString text = dialog->qtModuleVersion->text();
                return !text.isEmpty() && !text.startsWith("Checking ");
            };
            if (!QTest::qWaitFor(compared, testPatienceMs()))
                shown << "no answer from the server";
            shown << dialog->qtModuleVersion->text() << dialog->qtBinaryVersion->text();
            dialog->reject();
        });
        first->actionCheck_for_updates->trigger();
        QCOMPARE(shown, (QStringList { "Update MainScreen to 20990101", "Download 20990101" }));
    }

    void helpOpensTheWikiPages()
    {
        QSettings().setValue(QLatin1String(AppServers::helpServerKey), "http://help.test/");
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        first->actionContents->trigger();
        first->actionSearch_for_Help_On->trigger();
        QDesktopServices::unsetUrlHandler("http");
        QCOMPARE(catcher.urls,
            (QList<QUrl> { QUrl("http://help.test/index.php/Main_Page"),
                QUrl("http://help.test/index.php/Special:Search?search=&fulltext=Search") }));
    }

    // Without a browser (the headless platform opens no address) each page is named in a box instead.
    void helpThatCannotBeOpenedGivesItsAddress()
    {
        QSettings().setValue(QLatin1String(AppServers::helpServerKey), "http://help.test/");
        first->actionContents->trigger();
        first->actionSearch_for_Help_On->trigger();
        QCOMPARE(m->answerer.titles(), (QStringList { "Vornakel", "Vornakel" }));
        QVERIFY(m->answerer.texts().value(0).contains("http://help.test/index.php/Main_Page"));
        QVERIFY(
            m->answerer.texts().value(1).contains("http://help.test/index.php/Special:Search?search=&fulltext=Search"));
    }

    // The module manager owns the modules it loaded: one replaced as the window's calculation module stays
    // listed and alive, and the manager still finds it.
    void replacingTheCalculationModuleLeavesTheManagersModule()
    {
        auto *manager = first->findChild<XmlMessageProcessor *>("MessageProcessor");
        const QPointer<AppPlugin> shipped = first->calculationsPlugin();
        QVERIFY(shipped && shipped == manager->findPlugin("MainScreen"));
        first->setCalculationsPlugin(new TestFakeModule(first));
        first->setCalculationsPlugin(shipped);
        QVERIFY(shipped);
        QCOMPARE(manager->findPlugin("MainScreen"), shipped.data());
    }

    // File > Exit closes the window and what it opened: its graphs, the reference editor, a module's window. No
    // window is left to keep the program running.
    void exitClosesTheWindowAndWhatItOpened()
    {
        auto *fake = new TestFakeModule(first);
        QList<QVariantMap> shape, ratio;
        for (int i = 0; i < 2; ++i) {
            shape << TestFakeModule::point("GraphShape", "x", i, i) << TestFakeModule::point("GraphShape", "y", i, i);
            ratio << TestFakeModule::point("A over B Graph", "x", i, i)
                  << TestFakeModule::point("A over B Graph", "y", i, i);
        }
        fake->answer("graphShape", shape);
        fake->answer("calculationsAvsBHydration", ratio);
        first->setCalculationsPlugin(fake);
        TestModules modules;
        modules.writeAddOn("addon_main.js", "AddOn", "3",
            "<ui version=\"4.0\"><class>AddOnForm</class><widget class=\"QWidget\" name=\"AddOnForm\"/></ui>");
        first->findChild<XmlMessageProcessor *>("MessageProcessor")->loadPlugins(modules.path());

        first->show();
        {
            const QSignalBlocker quiet(first->qtHydrateComputed);
            first->qtHydrateComputed->setChecked(true); // the shape graph is drawn for a computed hydration
        }
        first->onGraphShapeClicked();
        first->onGraphAoverBClicked();
        first->actionUpdate_Amino_Acid_Data->trigger();
        QVERIFY(first->loadAdditionalModule("AddOn,3"));
        QCOMPARE(
            visibleWindows(), (QStringList { "AddOnForm", "GuiGrapher", "QtDataUpdate", "QtVornakel", "QwtPlot" }));
        first->actionExit->trigger();
        QCOMPARE(visibleWindows(), QStringList());
    }
};

TEST_MAIN(TstGuiVornakelCommands)
#include "tst_gui_vornakel_commands.moc"
