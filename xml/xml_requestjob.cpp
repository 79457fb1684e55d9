#include "xml/xml_requestjob.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptobject.h"
#include "xml/xml_message.h"

#include <QSignalBlocker>
#include <QTextStream>

namespace {

const QString kTail = QStringLiteral("</VORNAKEL>\n");

// The bytes the text takes as UTF-8, without converting it.
qint64 utf8Length(const QString &text)
{
    qint64 bytes = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        // A surrogate pair makes four bytes, two per half.
        bytes += u < 0x80 ? 1 : (u < 0x800 || QChar::isSurrogate(u)) ? 2 : 3;
    }
    return bytes;
}

} // namespace

XmlRequestJob::XmlRequestJob(const QString &xml, AppPluginManager *manager, bool fromNetwork, const LogFunction &log)
    : m_log(log), m_fromNetwork(fromNetwork), m_trace(lcXml().isDebugEnabled())
{
    // The request traces cost more to build than the request itself; they are
    // built only when the category would write them.
    if (m_trace)
        m_log(QStringLiteral("XmlMessageProcessor: submit received():\n") + xml, AppLog::Notice);

    XmlMessage reader;
    if (m_trace)
        QObject::connect(&reader, &XmlMessage::sigLog, &reader,
            [this](const QString &message, int level) { m_log(message, level); });
    const bool parsed = reader.parse(xml);
    if (m_trace) {
        m_log(parsed ? QStringLiteral("XmlMessageProcessor: parse() was true")
                     : QStringLiteral("XmlMessageProcessor: parse() was false"),
            AppLog::Notice);
        m_log(QStringLiteral("Module type was %1, version was %2 .").arg(reader.vornakelType(), reader.moduleVersion()),
            AppLog::Notice);
    }

    // The answer's start: the root and a MODULE element that repeats the request's.
    QDomElement root = m_document.createElement(QStringLiteral("VORNAKEL"));
    root.setAttribute(QStringLiteral("TYPE"), QStringLiteral("Output"));
    m_document.appendChild(root);
    QDomElement module = m_document.createElement(QStringLiteral("MODULE"));
    module.setAttribute(QStringLiteral("NAME"), reader.moduleName());
    module.setAttribute(QStringLiteral("VERSION"), reader.moduleVersion());
    module.setAttribute(QStringLiteral("DATE"), reader.moduleDate());
    root.appendChild(module);
    m_head = m_document.toString(1);
    if (m_head.endsWith(kTail))
        m_head.chop(kTail.size());
    root.removeChild(module);
    m_bytes = utf8Length(m_head) + kTail.size();

    if (reader.tooDeep()) {
        m_log(QStringLiteral("XmlMessageProcessor: OBJECT/ARRAY nesting deeper than %1 levels; nothing is run")
                  .arg(XmlMessage::MaxDepth),
            AppLog::Warning);
    } else if (AppPlugin *plugin = manager->findPlugin(reader.moduleName(),
                   // An empty VERSION, as every answer writes one back, asks for no version.
                   reader.moduleVersion().isEmpty() ? QString() : reader.moduleVersion())) {
        m_calls = reader.takeValues();
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
    } else {
        m_log(QStringLiteral("Plugin not found!"), AppLog::Warning);
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
    if (m_next < m_calls.size() && m_plugin) {
        DataPluginExecInfo *call = m_calls.at(m_next++);
        AppScriptList result;
        if (call) {
            if (m_trace)
                m_log(QStringLiteral("Exec plugin:\n%1\n%2\n").arg(m_moduleName, call->functionName), AppLog::Trace);
            // The module's error signal opens a modal box in its main window; one per
            // request from outside would stack up, each running its own event loop.
            const QSignalBlocker quiet(m_fromNetwork ? m_plugin.data() : nullptr);
            result.add(m_plugin->execOne(call->functionName, call->inputs));
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
    QDomElement element = m_document.createElement(QStringLiteral("OUTPUT"));
    const QDomElement output = result->toXML(m_document, element);
    QString text;
    {
        QTextStream stream(&text);
        // As the whole document writes itself: UTF-8, so no character needs a reference.
        stream.setCodec("UTF-8");
        // Saved alone, an element takes the indent of a child of the root.
        output.save(stream, 1);
    }
    m_bytes += utf8Length(text);
    if (m_bytes > MaxAnswerBytes && !m_refused) {
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
    m_bytes = utf8Length(m_head) + kTail.size();
    AppScriptObject error(QStringLiteral("ScriptError"), text, AppScriptObject::Normal);
    appendOutput(&error);
}

void XmlRequestJob::finish()
{
    m_done = true;
    XmlMessage::release(m_calls);
    m_answer = m_head + m_outputs + kTail;
    m_outputs.clear();
    if (m_trace)
        m_log(m_answer, AppLog::Verbose);
}
