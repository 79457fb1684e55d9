#ifndef XML_REQUESTJOB_H
#define XML_REQUESTJOB_H

#include "app/app_log.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class AppPlugin;
class AppPluginManager;
class AppScriptObject;
class DataPluginExecInfo;
class XmlMessage;

// One request message read a slice at a time and answered call by call, so
// that a large or long request gives way to the event loop between its steps.
// The answer text grows as the calls run. A request that cannot be run (text
// that is not well-formed XML, bytes that are not text in the encoding the
// request is in (UTF-8 unless its XML declaration names another), an encoding
// that cannot be read, a DTD, an element with too many
// attributes, more calls than a request may hold, a module that is not
// loaded, inputs nested too deep) runs none, and one whose answer would grow
// too large stops; each is answered with one ScriptError output that says
// why, as a failed call is answered.
class XmlRequestJob
{
public:
    static const int MaxCalls = 1000;
    // Every answer, refusals and what it repeats of the request included,
    // with the line feed that follows it on a connection.
    static const int MaxAnswerBytes = 4 * 1024 * 1024;
    // The characters of the request read in one step, about.
    static const int ReadSlice = 16 * 1024;
    // The processor time one call from another program may take, inputs and
    // all, and what it waits for the database; past it the call is stopped
    // and answered with a ScriptError. Each call is one step, so this is also
    // the longest a call holds the window.
    static const int CallTimeLimitMs = 50;

    using LogFunction = std::function<void(const QString &message, int logLevel)>;

    // A request to be read and run by step(). `fromNetwork`: script errors go
    // into the answer only, never into a box on this desktop that would wait
    // for someone to close it, and each call may take CallTimeLimitMs. From
    // bytes, which are read as XmlMessage::begin() reads them.
    XmlRequestJob(const QString &xml, AppPluginManager *manager, bool fromNetwork, const LogFunction &log);
    XmlRequestJob(const QByteArray &utf8, AppPluginManager *manager, bool fromNetwork, const LogFunction &log);
    ~XmlRequestJob();

    // Reads the next slice of the request, or once it is read (and its module
    // found) runs the next call; false once the answer is complete. What the
    // step writes to the program's output counts against the request's
    // AppLog::OutputBudget.
    bool step();
    // What the request writes to the program's output counts against the
    // window of all requests of its server too.
    void shareOutput(AppLog::OutputWindow *window) { m_output.setWindow(window); }
    // Whether the request is read (and its calls, if any, to run).
    bool isRead() const { return m_read; }
    // The whole answer text once step() has returned false.
    QString answer() const { return QString::fromUtf8(m_answer); }
    // The same as UTF-8, as it goes out: what takeAnswerStart() did not take.
    QByteArray answerBytes() const { return m_answer; }
    // Whether the first bytes of the answer (its root's start tag and the
    // MODULE element) are known and not taken: once the request is read,
    // before any call runs.
    bool hasAnswerStart() const { return m_read && !m_startTaken && !m_done; }
    // Those bytes; answerBytes() then leaves them out.
    QByteArray takeAnswerStart();

    // The first bytes of every answer: the root's start tag and its line end.
    static QByteArray answerRoot();
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
    XmlRequestJob(AppPluginManager *manager, bool fromNetwork, const LogFunction &log);
    // The request is read: finds its module, or refuses it.
    void decide();
    // The answer's start: the root and the MODULE element with these attributes.
    static QByteArray head(const QString &name, const QString &version, const QString &date);
    // The bytes an output may still take, the answer's end and its line feed kept.
    qint64 room() const;
    void appendOutput(AppScriptObject *result);
    // Puts one ScriptError output with the text in place of every result; a
    // text that would pass the answer's limit gives way to one that says so.
    void refuse(const QString &text);
    void finish();

    LogFunction m_log;
    // What the request may write to the program's output, over all its steps.
    AppLog::OutputBudget m_output;
    AppPluginManager *m_manager = nullptr;
    bool m_fromNetwork;
    bool m_trace;
    std::unique_ptr<XmlMessage> m_reader; // while the request is read
    bool m_read = false;
    QPointer<AppPlugin> m_plugin;
    QString m_moduleName;
    QList<DataPluginExecInfo *> m_calls;
    int m_next = 0;
    QByteArray m_head; // the root's start tag and the MODULE element
    QByteArray m_outputs; // UTF-8, half the memory of the text
    bool m_refused = false;
    bool m_done = false;
    bool m_startTaken = false;
    QByteArray m_answer;
};

#endif
