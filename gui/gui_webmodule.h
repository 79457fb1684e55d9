#ifndef GUI_WEBMODULE_H
#define GUI_WEBMODULE_H

#include <QObject>
#include <QPointer>
#include <QString>

class AppMasterGraphics;
class QWebFrame;
class QWebPage;
class QWebView;
class XmlMessageProcessor;
class XmlProcessorFacade;
class sqlQuery;

// The window of an HTML module: the module's page, completed with the script
// libraries and the module's own script, in a web view. The page reaches the
// window's database through "query1" and "query2", the module functions
// through "procs" and its own window through "graphics". The object lives as
// long as its window: closing the window releases both.
class GuiWebModule : public QObject
{
    Q_OBJECT

public:
    GuiWebModule(XmlMessageProcessor *processor, const QString &connectionName, QString htmlPath, QString scriptPath,
        QObject *parent = nullptr);
    ~GuiWebModule() override;

    QWebView *view() const;
    void addObject(QString name, QObject *object);

    // The file's text in a script or style element; empty elements for a file
    // that cannot be read.
    static QString tagJs(QString path);
    static QString tagCSS(QString path);
    // The library files, relative to the current folder, in reading order.
    static QStringList libraryPaths();

private:
    void initialize();
    void publishObjects();

    QWebFrame *m_frame = nullptr;
    QWebPage *m_page = nullptr;
    QPointer<XmlMessageProcessor> m_processor;
    QString m_htmlPath;
    QString m_connectionName;
    QString m_scriptPath;
    // Guarded: a page can call deleteLater on every object published to it.
    QPointer<AppMasterGraphics> m_graphics;
    QPointer<sqlQuery> m_query1;
    QPointer<sqlQuery> m_query2;
    QPointer<XmlProcessorFacade> m_procs;
};

#endif
