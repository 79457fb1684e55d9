#include "xml/xml_requestjob.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptobject.h"
#include "net/net_client.h"
#include "xml/xml_message.h"

#include <QSet>
#include <QSignalBlocker>

namespace {

const QByteArray kRoot = QByteArrayLiteral("<VORNAKEL TYPE=\"Output\">\n");
const QByteArray kTail = QByteArrayLiteral("</VORNAKEL>\n");
// What an answer keeps free beside what it repeats of the request, for the
// ScriptError that says it would pass its limit.
const int kRefusalRoom = 1024;

QString answerTooLarge()
{
    return QStringLiteral("The answer to this request would pass %1 bytes (%2 MiB), the most an answer may take, "
                          "with what it repeats of the request; nothing was run.")
        .arg(XmlRequestJob::MaxAnswerBytes)
        .arg(XmlRequestJob::MaxAnswerBytes / (1024 * 1024));
}

// The first NAME that two inputs of a call share, or a null text. A module
// that reads its inputs by NAME (tables by position) would take one of two
// inputs of one name without a word, and the figure might come from the other.
QString repeatedName(const AppScriptList &inputs)
{
    QSet<QString> names;
    for (const AppScriptObject *input : inputs) {
        if (!input || input->type() == AppScriptObject::Array || !input->hasProperty(QStringLiteral("NAME")))
            continue;
        const QString name = AppScriptObject::textOf(input->property(QStringLiteral("NAME")));
        if (names.contains(name))
            return name;
        names.insert(name);
    }
    return QString();
}

} // namespace

QByteArray XmlRequestJob::head(const QString &name, const QString &version, const QString &date)
{
    QByteArray text = kRoot;
    text += " <MODULE NAME=\"";
    AppScriptObject::appendAttributeText(text, name);
    text += "\" VERSION=\"";
    AppScriptObject::appendAttributeText(text, version);
    text += "\" DATE=\"";
    AppScriptObject::appendAttributeText(text, date);
    text += "\"/>\n";
    return text;
}

QByteArray XmlRequestJob::answerRoot()
{
    return kRoot;
}

qint64 XmlRequestJob::room() const
{
    // The line feed after it, and the blanks a connection may send in it while it waits.
    return qint64(MaxAnswerBytes) - m_head.size() - m_outputs.size() - kTail.size() - 1 - NetClient::MaxProbeBytes;
}

QByteArray XmlRequestJob::refusal(const QString &text, const QByteArray &start)
{
    XmlRequestJob job;
    job.m_head = start.isEmpty() ? head(QString(), QString(), QString()) : start;
    job.refuse(text);
    job.finish();
    return job.m_answer;
}

QString XmlRequestJob::tooLarge(int limit, bool closing)
{
    return QStringLiteral("The request is over %1 bytes (%2 MiB), the most a request may take; nothing was run%3")
        .arg(limit)
        .arg(limit / (1024 * 1024))
        .arg(closing ? QStringLiteral(", and the connection is closed.") : QStringLiteral("."));
}

QString XmlRequestJob::noClosingTag()
{
    return QStringLiteral("The input ended before the closing tag </VORNAKEL> of the request; nothing was run.");
}

XmlRequestJob::XmlRequestJob() : m_log([](const QString &, int) {}), m_fromNetwork(true), m_trace(false) { }

XmlRequestJob::XmlRequestJob(AppPluginManager *manager, bool fromNetwork, const LogFunction &log)
    : m_log(log), m_manager(manager), m_fromNetwork(fromNetwork), m_trace(lcXml().isDebugEnabled()),
      m_reader(std::make_unique<XmlMessage>())
{
    if (m_trace)
        QObject::connect(m_reader.get(), &XmlMessage::sigLog, m_reader.get(),
            [this](const QString &message, int level) { m_log(message, level); });
}

XmlRequestJob::XmlRequestJob(const QString &xml, AppPluginManager *manager, bool fromNetwork, const LogFunction &log)
    : XmlRequestJob(manager, fromNetwork, log)
{
    // The request traces cost more to build than the request itself; they are
    // built only when the category would write them.
    if (m_trace)
        m_log(QStringLiteral("XmlMessageProcessor: submit received():\n") + xml, AppLog::Notice);
    m_reader->begin(xml);
}

XmlRequestJob::XmlRequestJob(
    const QByteArray &utf8, AppPluginManager *manager, bool fromNetwork, const LogFunction &log)
    : XmlRequestJob(manager, fromNetwork, log)
{
    if (m_trace)
        m_log(QStringLiteral("XmlMessageProcessor: submit received():\n")
                + QString::fromUtf8(utf8.constData(), utf8.size()),
            AppLog::Notice);
    m_reader->begin(utf8);
}

void XmlRequestJob::decide()
{
    m_read = true;
    const std::unique_ptr<XmlMessage> reader = std::move(m_reader);
    const XmlMessage::Fault fault = reader->fault();
    if (m_trace) {
        m_log(fault == XmlMessage::Fault::None ? QStringLiteral("XmlMessageProcessor: parse() was true")
                                               : QStringLiteral("XmlMessageProcessor: parse() was false"),
            AppLog::Notice);
        m_log(
            QStringLiteral("Module type was %1, version was %2 .").arg(reader->vornakelType(), reader->moduleVersion()),
            AppLog::Notice);
    }

    // The answer's start: the root and a MODULE element that repeats the request's.
    m_head = head(reader->moduleName(), reader->moduleVersion(), reader->moduleDate());
    if (room() < kRefusalRoom) {
        m_log(QStringLiteral("XmlMessageProcessor: the MODULE element of a request would make its answer pass %1 "
                             "bytes; nothing is run")
                  .arg(MaxAnswerBytes),
            AppLog::Warning);
        m_head = head(QString(), QString(), QString());
        refuse(answerTooLarge());
        return;
    }

    // What was read before a fault may be any part of what was meant: none of it runs.
    const QString where = QStringLiteral("(line %1, column %2)").arg(reader->errorLine()).arg(reader->errorColumn());
    switch (fault) {
    case XmlMessage::Fault::TooDeep:
        m_log(QStringLiteral("XmlMessageProcessor: OBJECT/ARRAY nesting deeper than %1 levels; nothing is run")
                  .arg(XmlMessage::MaxDepth),
            AppLog::Warning);
        refuse(QStringLiteral("The request nests OBJECT and ARRAY elements deeper than %1 levels, the most a request "
                              "may. Nothing was run.")
                   .arg(XmlMessage::MaxDepth));
        return;
    case XmlMessage::Fault::Dtd:
        m_log(QStringLiteral("XmlMessageProcessor: a request with a DTD %1; nothing is read or run").arg(where),
            AppLog::Warning);
        refuse(QStringLiteral("The request holds a DTD %1; a request may hold none, and nothing of it was read. "
                              "Nothing was run.")
                   .arg(where));
        return;
    case XmlMessage::Fault::TooManyAttributes:
        m_log(QStringLiteral("XmlMessageProcessor: a request with an element of more than %1 attributes %2; nothing "
                             "is read or run")
                  .arg(XmlMessage::MaxAttributes)
                  .arg(where),
            AppLog::Warning);
        refuse(QStringLiteral("The request has an element with more than %1 attributes %2, the most an element may "
                              "have. Nothing was run.")
                   .arg(XmlMessage::MaxAttributes)
                   .arg(where));
        return;
    case XmlMessage::Fault::Encoding:
        m_log(QStringLiteral("XmlMessageProcessor: a request in the encoding \"%1\" %2, which cannot be read; nothing "
                             "is run")
                  .arg(reader->errorString(), where),
            AppLog::Warning);
        refuse(QStringLiteral("The request declares the encoding \"%1\" %2, which cannot be read: a request is UTF-8 "
                              "text, or text in an encoding that its XML declaration names and that reads the "
                              "declaration as written, such as ISO-8859-1. Nothing was run.")
                   .arg(reader->errorString(), where));
        return;
    case XmlMessage::Fault::NotWellFormed: {
        const QString fault = reader->errorString() + QLatin1Char(' ') + where;
        m_log(
            QStringLiteral("XmlMessageProcessor: a request that is not well-formed XML, %1; nothing is run").arg(fault),
            AppLog::Warning);
        refuse(QStringLiteral("The request is not well-formed XML: %1. Nothing was run.").arg(fault));
        return;
    }
    case XmlMessage::Fault::None:
        break;
    }

    if (AppPlugin *plugin = m_manager->findPlugin(reader->moduleName(),
            // An empty VERSION, as every answer writes one back, asks for no version.
            reader->moduleVersion().isEmpty() ? QString() : reader->moduleVersion())) {
        m_calls = reader->takeValues();
        m_plugin = plugin;
        m_moduleName = plugin->moduleName();
        if (m_calls.size() > MaxCalls) {
            m_log(QStringLiteral("XmlMessageProcessor: a request with %1 EXECUTE elements; nothing is run")
                      .arg(m_calls.size()),
                AppLog::Warning);
            refuse(QStringLiteral("The request holds %1 EXECUTE elements; a request may hold at most %2. Nothing "
                                  "was run.")
                       .arg(m_calls.size())
                       .arg(MaxCalls));
        }
        return;
    }
    m_log(QStringLiteral("Plugin not found!"), AppLog::Warning);
    if (reader->moduleName().isEmpty()) {
        refuse(QStringLiteral("The request names no module. Nothing was run."));
    } else {
        const QString version = reader->moduleVersion().isEmpty()
            ? QString()
            : QStringLiteral(" in version \"%1\"").arg(reader->moduleVersion());
        refuse(QStringLiteral("No module \"%1\"%2 is loaded. Nothing was run.").arg(reader->moduleName(), version));
    }
}

XmlRequestJob::~XmlRequestJob()
{
    XmlMessage::release(m_calls);
}

bool XmlRequestJob::step()
{
    if (m_done)
        return false;
    // Each call of a request of 1,000 may report an error; the log takes a bounded share of them.
    const AppLog::OutputScope output(m_output);
    if (!m_read) {
        if (!m_reader->readSome(ReadSlice))
            return true;
        decide();
        // The first call runs at the next step, once the answer's start is out.
        if (m_next < m_calls.size() && m_plugin)
            return true;
    } else if (m_next < m_calls.size() && m_plugin) {
        DataPluginExecInfo *call = m_calls.at(m_next++);
        AppScriptList result;
        // What the module does not offer is never run: an engine global, or a helper of its own.
        const bool withheld = call && m_plugin->withholds(call->functionName);
        const QString repeated
            = call && !withheld && m_plugin->readsInputsByName() ? repeatedName(call->inputs) : QString();
        if (withheld) {
            result.add(new AppScriptObject(QStringLiteral("ScriptError"),
                QStringLiteral("The module %1 does not offer the function \"%2\" to be called; the call was not run.")
                    .arg(m_moduleName, call->functionName),
                AppScriptObject::Normal));
        } else if (!repeated.isNull()) {
            result.add(new AppScriptObject(QStringLiteral("ScriptError"),
                QStringLiteral("The call %1 has more than one input named \"%2\"; which of them is meant is not known, "
                               "so the call was not run.")
                    .arg(call->functionName, repeated),
                AppScriptObject::Normal));
        } else if (call) {
            if (m_trace)
                m_log(QStringLiteral("Exec plugin:\n%1\n%2\n").arg(m_moduleName, call->functionName), AppLog::Trace);
            // The module's error signal opens a modal box in its main window; one per
            // request from outside would stack up, each running its own event loop.
            const QSignalBlocker quiet(m_fromNetwork ? m_plugin.data() : nullptr);
            result.add(m_fromNetwork ? m_plugin->execWithin(call->functionName, call->inputs, CallTimeLimitMs)
                                     : m_plugin->execOne(call->functionName, call->inputs));
        }
        if (AppScriptObject *output = result.first()) {
            if (m_fromNetwork && output->property(QStringLiteral("NAME")).toString() == QLatin1String("ScriptError"))
                m_log(QStringLiteral("Script error of a network request: %1")
                          .arg(output->property(QStringLiteral("VALUE")).toString()),
                    AppLog::Warning);
            appendOutput(output);
        }
    }
    if (m_next < m_calls.size() && m_plugin)
        return true;
    finish();
    return false;
}

void XmlRequestJob::appendOutput(AppScriptObject *result)
{
    // Written only as far as the limit: a result of a hundred megabytes is
    // never written whole to be weighed.
    QByteArray text;
    if (!result->appendXml(text, 1, room())) {
        m_log(QStringLiteral("XmlMessageProcessor: the answer would pass %1 bytes; its results are dropped")
                  .arg(MaxAnswerBytes),
            AppLog::Warning);
        refuse(QStringLiteral("The answer would pass %1 bytes (%2 MiB), the most an answer may take; its results "
                              "were dropped after %3 of %4 calls.")
                   .arg(MaxAnswerBytes)
                   .arg(MaxAnswerBytes / (1024 * 1024))
                   .arg(m_next)
                   .arg(m_calls.size()));
        return;
    }
    m_outputs += text;
}

void XmlRequestJob::refuse(const QString &text)
{
    // Nothing more is run.
    m_refused = true;
    m_next = m_calls.size();
    m_outputs.clear();
    QByteArray output;
    if (!AppScriptObject(QStringLiteral("ScriptError"), text, AppScriptObject::Normal).appendXml(output, 1, room())) {
        // What the refusal repeats of the request (a module name, a function's) is too long to be repeated.
        AppScriptObject(QStringLiteral("ScriptError"), answerTooLarge(), AppScriptObject::Normal)
            .appendXml(output, 1, MaxAnswerBytes);
    }
    m_outputs = output;
}

QByteArray XmlRequestJob::takeAnswerStart()
{
    m_startTaken = true;
    return m_head;
}

void XmlRequestJob::finish()
{
    m_done = true;
    XmlMessage::release(m_calls);
    m_answer = (m_startTaken ? QByteArray() : m_head) + m_outputs + kTail;
    m_outputs.clear();
    if (m_trace)
        m_log(QString::fromUtf8(m_answer), AppLog::Verbose);
}
