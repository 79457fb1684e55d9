#include "xml/xml_message.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_scriptobject.h"

#include <QMetaMethod>
#include <QXmlStreamReader>

namespace {

bool named(const QString &name, const char *expected)
{
    return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

// An attribute that is present keeps an empty value as an empty, not a null,
// text: a null module version means "the greatest".
QString present(const QStringRef &value)
{
    QString text = value.toString();
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

// A character that XML does not allow in a document, a zero byte among them.
bool forbidden(QChar c)
{
    const ushort u = c.unicode();
    return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xfffe || u == 0xffff;
}

} // namespace

XmlMessage::XmlMessage(QObject *parent) : QObject(parent) { }

XmlMessage::~XmlMessage()
{
    clear();
}

QList<DataPluginExecInfo *> XmlMessage::takeValues()
{
    QList<DataPluginExecInfo *> taken;
    taken.swap(m_values);
    return taken;
}

void XmlMessage::release(QList<DataPluginExecInfo *> &calls)
{
    qDeleteAll(calls);
    calls.clear();
}

void XmlMessage::clear()
{
    // Only the outermost open node is nobody's child yet; the inner ones hang in it.
    m_openTree.clear();
    m_openNodes.clear();
    release(m_values);
    m_collectedText.clear();
    m_errorString.clear();
    m_errorLine = 0;
    m_errorColumn = 0;
    m_vornakelType = QString();
    m_moduleName = QString();
    m_moduleVersion = QString();
    m_moduleDate = QString();
    m_tooDeep = false;
}

bool XmlMessage::parse(const QString &text)
{
    // Trace lines cost more to build than the parse itself; build them only for a listener.
    m_logging = isSignalConnected(QMetaMethod::fromSignal(&XmlMessage::sigLog));
    QXmlStreamReader reader(text);
    // Entities the request declares in its own DTD are expanded, up to the
    // reader's limit on what one expansion may give (more is a parse error).
    // Nothing outside the text is ever read, so an entity that is not
    // declared in it is a fault of the request, as is a DTD outside it.
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            startDocument();
            break;
        case QXmlStreamReader::EndDocument:
            endDocument();
            break;
        case QXmlStreamReader::StartElement:
            startElement(reader.qualifiedName().toString(), reader.attributes());
            if (m_tooDeep) {
                reader.raiseError(QStringLiteral("OBJECT/ARRAY nesting deeper than %1 levels").arg(MaxDepth));
                m_errorString = reader.errorString();
            }
            break;
        case QXmlStreamReader::EndElement:
            endElement(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::Characters:
            characters(reader.text().toString());
            break;
        case QXmlStreamReader::DTD:
            if (!reader.dtdSystemId().isEmpty() || !reader.dtdPublicId().isEmpty())
                reader.raiseError(QStringLiteral("The request names a DTD outside it, which is not read."));
            break;
        case QXmlStreamReader::EntityReference:
            reader.raiseError(QStringLiteral("Entity '%1' not declared.").arg(reader.name()));
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        // The reader's message leaves out the character it stumbled on when
        // XML forbids it: the message names it instead.
        const qint64 at = reader.characterOffset() - 1;
        if (m_errorString.isEmpty() && at >= 0 && at < text.size() && forbidden(text.at(int(at))))
            m_errorString = QStringLiteral("Character U+%1 is not allowed in XML.")
                                .arg(QString::number(text.at(int(at)).unicode(), 16).toUpper(), 4, QLatin1Char('0'));
        if (m_errorString.isEmpty())
            m_errorString = reader.errorString();
        m_errorLine = reader.lineNumber();
        m_errorColumn = reader.columnNumber();
    }
    return !reader.hasError();
}

bool XmlMessage::startDocument()
{
    return true;
}

bool XmlMessage::endDocument()
{
    return true;
}

bool XmlMessage::characters(const QString &text)
{
    m_collectedText += text;
    return true;
}

void XmlMessage::echoAttributes(const QString &prefix, const QXmlStreamAttributes &attributes)
{
    if (!m_logging)
        return;
    for (const QXmlStreamAttribute &attribute : attributes) {
        emit sigLog(prefix + attribute.qualifiedName() + QStringLiteral("=\"") + attribute.value() + QLatin1Char('"'),
            AppLog::Notice);
    }
}

bool XmlMessage::startElement(const QString &name, const QXmlStreamAttributes &attributes)
{
    if (m_logging)
        emit sigLog(QStringLiteral("startElement::XML Parser: qName=") + name, AppLog::Trace);

    if (named(name, "VORNAKEL")) {
        echoAttributes(name + QStringLiteral(": "), attributes);
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (named(attribute.qualifiedName().toString(), "TYPE"))
                m_vornakelType = present(attribute.value());
        }
    } else if (named(name, "MODULE")) {
        echoAttributes(name + QStringLiteral(": "), attributes);
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QString key = attribute.qualifiedName().toString();
            if (named(key, "NAME"))
                m_moduleName = present(attribute.value());
            else if (named(key, "VERSION"))
                m_moduleVersion = present(attribute.value());
            else if (named(key, "DATE"))
                m_moduleDate = present(attribute.value());
        }
    } else if (named(name, "EXECUTE")) {
        // Without attributes the call has an empty function name, which the module reports as unknown.
        auto *call = new DataPluginExecInfo;
        call->functionName = attributes.isEmpty() ? QLatin1String("") : present(attributes.first().value());
        m_values.append(call);
    } else if (named(name, "OBJECT") || named(name, "ARRAY")) {
        if (m_openNodes.size() >= MaxDepth) {
            m_tooDeep = true;
            return false;
        }
        auto *node = new AppScriptObject(named(name, "ARRAY") ? AppScriptObject::Array : AppScriptObject::Object);
        parseAttributes(node, attributes);
        if (m_openNodes.isEmpty())
            m_openTree.add(node);
        m_openNodes.push(node);
    } else if (named(name, "INPUT")) {
        auto *node = new AppScriptObject(AppScriptObject::Normal);
        parseAttributes(node, attributes);
        if (m_openNodes.isEmpty()) {
            AppScriptList input;
            input.add(node);
            appendInput(std::move(input));
        }
    } else {
        return true;
    }
    m_collectedText.clear();
    echoAttributes(QString(), attributes);
    return true;
}

bool XmlMessage::endElement(const QString &name)
{
    if ((named(name, "OBJECT") || named(name, "ARRAY")) && !m_openNodes.isEmpty()) {
        m_openNodes.pop();
        if (m_openNodes.isEmpty())
            appendInput(std::move(m_openTree));
    }
    m_collectedText.clear();
    return true;
}

void XmlMessage::appendInput(AppScriptList &&nodes)
{
    // An input before any EXECUTE belongs to no call.
    if (m_values.isEmpty()) {
        nodes.clear();
        return;
    }
    m_values.last()->inputs.append(std::move(nodes));
}

void XmlMessage::parseAttributes(AppScriptObject *node, const QXmlStreamAttributes &attributes)
{
    if (!m_openNodes.isEmpty()) {
        AppScriptObject *parent = m_openNodes.top();
        QString key;
        if (parent->type() == AppScriptObject::Array)
            key = attributes.value(QLatin1String("INDEX")).toString();
        if (key.isEmpty())
            key = attributes.value(QLatin1String("PARENT_ATTRIBUTE")).toString();
        if (key.isEmpty())
            key = parent->nextUnknownChildTag();
        parent->setProperty(key.toUtf8().constData(), node);
    }
    for (const QXmlStreamAttribute &attribute : attributes) {
        const QString attributeName = attribute.qualifiedName().toString();
        if (named(attributeName, "INDEX") || named(attributeName, "PARENT_ATTRIBUTE"))
            continue;
        node->setProperty(attributeName.toUtf8().constData(), QVariant(attribute.value().toString()));
    }
}
