#ifndef XML_REQUESTJOB_H
#define XML_REQUESTJOB_H

#include <QDomDocument>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class AppPlugin;
class AppPluginManager;
class AppScriptObject;
class DataPluginExecInfo;

// One request message answered call by call, so that a long request can give
// way to the event loop between its calls. The answer text grows as the calls
// run. A request that cannot be run (text that is not well-formed XML, more
// calls than a request may hold, a module that is not loaded, inputs nested
// too deep) runs none, and one whose answer would grow too large stops; each
// is answered with one ScriptError output that says why, as a failed call is
// answered.
class XmlRequestJob
{
public:
    static const int MaxCalls = 1000;
    static const int MaxAnswerBytes = 4 * 1024 * 1024;

    using LogFunction = std::function<void(const QString &message, int logLevel)>;

    // Reads the request and finds its module. `fromNetwork`: script errors go
    // into the answer only, never into a box on this desktop that would wait
    // for someone to close it.
    XmlRequestJob(const QString &xml, AppPluginManager *manager, bool fromNetwork, const LogFunction &log);
    ~XmlRequestJob();

    // Runs the next call; false once the answer is complete.
    bool step();
    // The whole answer text once step() has returned false.
    QString answer() const { return QString::fromUtf8(m_answer); }
    // The same as UTF-8, as it goes out: what takeAnswerStart() did not take.
    QByteArray answerBytes() const { return m_answer; }
    // The first bytes of the answer (its root's start tag and the MODULE
    // element), known before any call runs; answerBytes() then leaves them out.
    QByteArray takeAnswerStart();

    // The answer to a request that was not read at all: one ScriptError
    // output with the text, under a MODULE element with empty attributes, or
    // after `start` (the root's start tag and a MODULE element) when given.
    static QByteArray refusal(const QString &text, const QByteArray &start = QByteArray());
    // Why a request over `limit` bytes is refused; `closing`: and that its
    // connection is closed.
    static QString tooLarge(int limit, bool closing);
    // Why a request whose input ended before its closing tag is refused.
    static QString noClosingTag();

private:
    Q_DISABLE_COPY(XmlRequestJob)
    XmlRequestJob(); // for a refusal
    // The answer's start: the root and the MODULE element with these attributes.
    static QByteArray head(QDomDocument &document, const QString &name, const QString &version, const QString &date);
    void appendOutput(AppScriptObject *result);
    // Puts one ScriptError output with the text in place of every result.
    void refuse(const QString &text);
    void finish();

    LogFunction m_log;
    bool m_fromNetwork;
    bool m_trace;
    QPointer<AppPlugin> m_plugin;
    QString m_moduleName;
    QList<DataPluginExecInfo *> m_calls;
    int m_next = 0;
    QDomDocument m_document; // makes the output elements
    QByteArray m_head; // the root's start tag and the MODULE element
    QByteArray m_outputs; // UTF-8, half the memory of the text
    bool m_refused = false;
    bool m_done = false;
    bool m_startTaken = false;
    QByteArray m_answer;
};

#endif
