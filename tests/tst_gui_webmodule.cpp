// HTML module windows, headless: the page text the libraries are inlined
// into, and the four page objects called from the page's JavaScript.

#include "app/app_mastergraphics.h"
#include "gui/gui_webmodule.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_messaging.h"
#include "xml/xml_messageprocessor.h"

#include <QDomDocument>
#include <QScreen>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {

const char kPush[] = "this.order = this.order || []; this.order.push('%1');"; // a page and a script engine alike

void write(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toLatin1());
}

QVariant js(GuiWebModule *window, const QString &script)
{
    return window->view()->page()->mainFrame()->evaluateJavaScript(script);
}

bool loaded(GuiWebModule *window)
{
    return js(window, "document.readyState").toString() == "complete";
}

// The radius of a sphere of the molar mass and partial specific volume asked for below:
// Ro = (3 M vbar / 4 pi N)^(1/3)
const char kRoRequest[] = "procs.submitFromWeb('<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>"
                          "<EXECUTE FUNCTION=\"calculateRo\"><INPUT NAME=\"Mr\" VALUE=\"50000\"/>"
                          "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE></VORNAKEL>')";
const double kRo = std::cbrt(3 * 50000 * 0.73 / (4 * M_PI * 6.02214076e23));

double answeredRo(GuiWebModule *window)
{
    return testOutputValues(js(window, kRoRequest).toString()).value("qtExperimentResultsRp").toDouble();
}

} // namespace

class TstGuiWebModule : public QObject
{
    Q_OBJECT

    TestMessageModules m_modules;
    TestDatabase m_database;
    std::unique_ptr<XmlMessageProcessor> m_processor;
    QString m_page;
    QString m_script;

    GuiWebModule *open(const QString &page)
    {
        auto *window = new GuiWebModule(m_processor.get(), m_database.path(), page, m_script);
        [&]() { TEST_TRY_VERIFY(loaded(window)); }();
        return window;
    }

private slots:
    void initTestCase()
    {
        // Stand-in libraries where the page's host reads them: below the current folder.
        const QStringList libraries = GuiWebModule::libraryPaths();
        for (int i = 0; i < libraries.size(); ++i)
            write(libraries.at(i), i == 2 ? QString("/* style %1 */").arg(i + 1) : QString(kPush).arg(i + 1));
        m_page = QDir::current().filePath("page.html");
        write(m_page, "<html><head><title>t</title></head><body>page</body></html>");
        m_script = m_modules.writeAddOn("page_main.js", "Page", "1", QString(), m_page, QString(kPush).arg("m"));
        m_processor = std::make_unique<XmlMessageProcessor>(m_database.path(), false);
        m_processor->loadPlugins(m_modules.path());
    }

    void inlinesTheLibrariesInOrderBeforeTheHead()
    {
        QPointer<GuiWebModule> window = open(m_page);
        QCOMPARE(js(window, "window.order.join(',')").toString(), QString("1,2,4,5,6,7,8,9,m"));
        const QString html = js(window, "document.documentElement.outerHTML").toString();
        QVERIFY(html.indexOf("/* style 3 */") < html.indexOf("push('1')"));
        QCOMPARE(js(window, "document.title").toString(), QString("t"));
        window->view()->close();
        TEST_TRY_VERIFY(window.isNull());
    }

    void pageObjectsReachTheModulesTheDatabaseAndTheWindow()
    {
        std::unique_ptr<GuiWebModule> window(open(m_page));
        QVERIFY(std::fabs(answeredRo(window.get()) - kRo) < 1e-9 * kRo);
        QCOMPARE(js(window.get(), "typeof procs.deleteLater").toString(), QString("undefined"));
        QCOMPARE(js(window.get(), "typeof procs.submitFromWeb").toString(), QString("function"));
        QCOMPARE(js(window.get(), "typeof vornakelProcessorFacade").toString(), QString("undefined"));

        QCOMPARE(js(window.get(),
                     "query1.exec('SELECT databaseVersion FROM version') && query1.next() ? query1.value(0) : 'none'")
                     .toString(),
            QString("20120320"));

        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        js(window.get(), "graphics.changeWindowSize(5000, 5000)");
        QCOMPARE(window->view()->size(), screen);
        js(window.get(), "graphics.changeWindowSize(300, 500)");
        QCOMPARE(window->view()->size(), QSize(500, 300));
        QCOMPARE(js(window.get(), "graphics.maximumWidth()").toInt(), screen.width());
    }

    // Every published QObject brings deleteLater along; the window copes with a page that calls it.
    void aPageThatDeletesItsObjectsClosesItsWindowCleanly()
    {
        QPointer<GuiWebModule> window = open(m_page);
        js(window, "query1.deleteLater(); graphics.deleteLater();");
        TEST_TRY_VERIFY(window.isNull());
    }

    void anUpperCaseHeadGetsNoPieces()
    {
        const QString page = QDir::current().filePath("upper.html");
        write(page, "<HTML><HEAD><TITLE>u</TITLE></HEAD><BODY>page</BODY></HTML>");
        std::unique_ptr<GuiWebModule> window(open(page));
        QCOMPARE(js(window.get(), "typeof window.order").toString(), QString("undefined"));
    }

    void anotherWorkingFolderGivesEmptyLibraries()
    {
        const QString home = QDir::currentPath();
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        std::unique_ptr<GuiWebModule> window(open(m_page));
        QDir::setCurrent(home);
        QCOMPARE(js(window.get(), "window.order.join(',')").toString(), QString("m"));
    }

    // The library files the repository ships, read from its root as the program is started there.
    void theShippedLibrariesServeAPage()
    {
        const QString page = QDir::current().filePath("shipped.html");
        write(page,
            "<html><head><title>s</title></head><body><input id='x'/>"
            "<div id='plot' style='width: 300px; height: 200px'></div>"
            "<script>$(function () { $('#x').addClass('ready'); });</script></body></html>");
        const QString home = QDir::currentPath();
        QDir::setCurrent(VORNAKEL_SOURCE_DIR);
        std::unique_ptr<GuiWebModule> window(new GuiWebModule(m_processor.get(), m_database.path(), page, m_script));
        QDir::setCurrent(home);
        TEST_TRY_VERIFY(loaded(window.get()));

        QCOMPARE(js(window.get(), "$('#x').hasClass('ready')").toBool(), true);
        QCOMPARE(js(window.get(), "$('#x').val('1.5').val()").toString(), QString("1.5"));
        // A red diagonal across the plot: a few hundred red pixels on a canvas as wide as its target.
        const QVariantList drawn = js(window.get(),
            "$.jqplot('plot', [[[0, 0], [10, 10]]], { title: 't', series: [{ color: '#ff0000' }] });"
            "(function (canvas) {"
            "  var d = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data, red = 0;"
            "  for (var i = 0; i < d.length; i += 4) red += d[i] > 200 && d[i + 1] < 60 && d[i + 2] < 60 ? 1 : 0;"
            "  return [canvas.width, red];"
            "})($('#plot canvas')[0])")
                                       .toList();
        QCOMPARE(drawn.value(0).toInt(), 300);
        QVERIFY2(drawn.value(1).toInt() > 200, qPrintable(drawn.value(1).toString()));
        QVERIFY(std::fabs(answeredRo(window.get()) - kRo) < 1e-9 * kRo);
    }
};

TEST_MAIN(TstGuiWebModule)
#include "tst_gui_webmodule.moc"
