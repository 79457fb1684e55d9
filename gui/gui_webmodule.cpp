#include "gui/gui_webmodule.h"

#include "app/app_fixedfile.h"
#include "app/app_log.h"
#include "app/app_mastergraphics.h"
#include "sql/sql_query.h"
#include "xml/xml_messageprocessor.h"
#include "xml/xml_processorfacade.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>

namespace {

// The whole file, one character per byte up to the first zero byte; empty
// when unreadable, and when too large to be a page or a library (said).
QString readFile(const QString &path)
{
    QByteArray bytes;
    QString why;
    const AppFixedFile::Read read = AppFixedFile::read(path, &bytes, &why);
    if (read == AppFixedFile::Read::TooLarge)
        qCWarning(lcGui).noquote() << QStringLiteral("%1 is not read: %2").arg(path, why);
    if (read != AppFixedFile::Read::Done)
        return QString();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(bytes);
}

} // namespace

GuiWebModule::GuiWebModule(XmlMessageProcessor *processor, const QString &connectionName, QString htmlPath,
    QString scriptPath, QObject *parent)
    : QObject(parent), m_processor(processor), m_htmlPath(htmlPath), m_connectionName(connectionName),
      m_scriptPath(scriptPath)
{
    initialize();
}

GuiWebModule::~GuiWebModule()
{
    // The graphics object owns the view; the page objects are children of this one.
    if (QWebView *window = view())
        disconnect(window, nullptr, this, nullptr);
    delete m_graphics;
}

QWebView *GuiWebModule::view() const
{
    return m_graphics ? m_graphics->view() : nullptr;
}

QStringList GuiWebModule::libraryPaths()
{
    return { QStringLiteral("modules/QtScript/jquery/js/jquery-1.6.2.min.js"),
        QStringLiteral("modules/QtScript/jquery/js/jquery-ui-1.8.17.custom.min.js"),
        QStringLiteral("modules/QtScript/jquery/css/redmond/jquery-ui-1.8.2.custom.css"),
        QStringLiteral("modules/QtScript/jquery/dist/jquery.jqplot.min.js"),
        QStringLiteral("modules/QtScript/jquery/dist/plugins/jqplot.canvasTextRenderer.min.js"),
        QStringLiteral("modules/QtScript/jquery/dist/plugins/jqplot.canvasAxisLabelRenderer.min.js"),
        QStringLiteral("modules/QtScript/jquery/dist/plugins/jqplot.cursor.min.js"),
        QStringLiteral("modules/QtScript/jquery/dist/plugins/jqplot.dragable.min.js"),
        QStringLiteral("modules/QtScript/jquery/dist/plugins/jqplot.highlighter.min.js") };
}

QString GuiWebModule::tagJs(QString path)
{
    return QStringLiteral("<script type=text/javascript>") + readFile(path) + QStringLiteral("</script>");
}

QString GuiWebModule::tagCSS(QString path)
{
    return QStringLiteral("<style type=text/css>") + readFile(path) + QStringLiteral("</style>");
}

void GuiWebModule::addObject(QString name, QObject *object)
{
    if (m_frame && object)
        m_frame->addToJavaScriptWindowObject(name, object);
}

void GuiWebModule::publishObjects()
{
    addObject(QStringLiteral("query1"), m_query1);
    addObject(QStringLiteral("query2"), m_query2);
    addObject(QStringLiteral("graphics"), m_graphics);
    // "procs" is a plain object holding the facade's two functions only: a
    // published object would bring every QObject slot along.
    addObject(QStringLiteral("vornakelProcessorFacade"), m_procs);
    if (m_frame) {
        m_frame->evaluateJavaScript(
            QStringLiteral("(function (facade) {"
                           "  window.procs = { submitFromWeb: function (xml) { return facade.submitFromWeb(xml); },"
                           "                   log: function (message) { facade.log(message); } };"
                           "})(window.vornakelProcessorFacade);"
                           "delete window.vornakelProcessorFacade;"));
    }
}

void GuiWebModule::initialize()
{
    m_graphics = new AppMasterGraphics(nullptr);
    QWebView *view = m_graphics->view();
    m_page = view->page();
    m_frame = m_page->mainFrame();
    view->setAttribute(Qt::WA_DeleteOnClose);
    connect(view, &QObject::destroyed, this, [this]() {
        m_frame = nullptr;
        deleteLater();
    });

    m_query1 = new sqlQuery(this, m_connectionName, false);
    m_query2 = new sqlQuery(this, m_connectionName, false);
    m_procs = new XmlProcessorFacade(m_processor, this);
    publishObjects();
    // Loading new content empties the page's global object: the objects go in again.
    connect(m_frame, &QWebFrame::javaScriptWindowObjectCleared, this, &GuiWebModule::publishObjects);

    QWebSettings *settings = view->settings();
    settings->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebSettings::XSSAuditingEnabled, true);

    const QStringList libraries = libraryPaths();
    // The style sheet first, then each script after the ones it needs, the module's own last.
    QString pieces = tagCSS(libraries.at(2));
    for (int i : { 0, 1, 3, 4, 5, 6, 7, 8 })
        pieces += tagJs(libraries.at(i));
    pieces += tagJs(m_scriptPath);

    QString html = readFile(m_htmlPath);
    const int head = html.indexOf(QLatin1String("<head>"));
    if (head >= 0)
        html.insert(head, pieces);
    view->setHtml(html, QUrl(QFileInfo(m_htmlPath).absoluteFilePath()));
    view->show();
}
