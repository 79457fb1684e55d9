#include "xml/xml_message.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_scriptobject.h"

#include <QMetaMethod>
#include <QRegularExpression>
#include <QTextCodec>
#include <QVector>
#include <QXmlStreamReader>
#include <QtCore/private/qxmlutils_p.h>

#include <algorithm>
#include <limits>

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

// Where the first character stands that XML allows nowhere in a document (a
// control character other than the tab and the line ends, U+FFFE, U+FFFF, half
// a surrogate pair); -1 when there is none. Looked for before anything is
// read: the XML reader lets some of them pass inside names, where they would
// make another name than the request shows (V\0ALUE a V, N\1AME a name no
// other input has).
int firstForbidden(const QString &text)
{
    const QChar *c = text.constData();
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const ushort u = c[i].unicode();
        if (u >= 0x20 && u < 0xd800)
            continue;
        if (u < 0x20) {
            if (u != '\t' && u != '\n' && u != '\r')
                return i;
        } else if (QChar::isHighSurrogate(u)) {
            if (i + 1 == n || !c[i + 1].isLowSurrogate())
                return i;
            ++i;
        } else if (QChar::isLowSurrogate(u) || u == 0xfffe || u == 0xffff) {
            return i;
        }
    }
    return -1;
}

// How a message names a character: "U+00A0".
QString codePoint(QChar c)
{
    return QStringLiteral("U+%1").arg(QString::number(c.unicode(), 16).toUpper(), 4, QLatin1Char('0'));
}

// Where the first character of a name stands that XML does not allow there,
// by the rule the XML reader holds element names to: the part before a colon
// and the part after it each a name without a colon. -1 when there is none.
int firstNotInName(const QStringRef &name)
{
    const int colon = name.indexOf(QLatin1Char(':'));
    const int local = colon + 1;
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (i == colon && colon > 0)
            continue;
        const bool first = i == 0 || i == local;
        if (c == QLatin1Char(':')
            || !(first ? QXmlUtils::isLetter(c) || c == QLatin1Char('_') : QXmlUtils::isNameChar(c)))
            return i;
    }
    return -1;
}

// Why the attributes of a start tag make the request no well-formed XML, or
// a null text. The XML reader looks at the names of elements but lets any
// character pass in an attribute's name (NAME\u00A0 is no NAME); and since
// names are read in any letter case, VALUE and value are one attribute given
// twice, of which one would be taken without a word.
QString attributesFault(const QXmlStreamAttributes &attributes)
{
    for (int i = 0; i < attributes.size(); ++i) {
        const QStringRef name = attributes.at(i).qualifiedName();
        const int bad = firstNotInName(name);
        if (bad >= 0)
            return QStringLiteral("Character %1 is not allowed in an XML name: attribute \"%2\".")
                .arg(codePoint(name.at(bad)), name);
        for (int k = 0; k < i; ++k) {
            if (attributes.at(k).qualifiedName().compare(name, Qt::CaseInsensitive) == 0)
                return QStringLiteral("Attribute '%1' redefined: '%2' came before it, and names are read in any "
                                      "letter case.")
                    .arg(name, attributes.at(k).qualifiedName());
        }
    }
    return QString();
}

bool blank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r';
}

bool startsAt(const QString &text, int at, const char *what, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    const int size = int(qstrlen(what));
    return text.midRef(at, size).compare(QLatin1String(what, size), cs) == 0;
}

// Where the first sequence of bytes begins that is not UTF-8 (RFC 3629: no
// overlong forms, no surrogates, nothing past U+10FFFF); -1 when all are.
int firstNonUtf8(const QByteArray &bytes)
{
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData());
    const int n = bytes.size();
    for (int i = 0; i < n;) {
        const uchar c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        uchar low = 0x80;
        uchar high = 0xbf;
        if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            if (c == 0xe0)
                low = 0xa0;
            else if (c == 0xed)
                high = 0x9f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            if (c == 0xf0)
                low = 0x90;
            else if (c == 0xf4)
                high = 0x8f;
        } else {
            return i;
        }
        if (i + length > n || b[i + 1] < low || b[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k) {
            if (b[i + k] < 0x80 || b[i + k] > 0xbf)
                return i;
        }
        i += length;
    }
    return -1;
}

// The encoding the XML declaration at the start of a request names, and the
// byte its name begins at; an empty name when none is named.
QByteArray declaredEncoding(const QByteArray &bytes, int *at)
{
    // A declaration is short: only the start of a request is looked at.
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml\\s[^>]*?\\bencoding\\s*=\\s*(['\"])([^'\"<>]*)\\1"));
    const QRegularExpressionMatch found = declaration.match(QString::fromLatin1(bytes.left(1024)));
    if (!found.hasMatch())
        return QByteArray();
    *at = found.capturedStart(2);
    return found.captured(2).toLatin1();
}

// What a look over a request's text finds before it is read.
struct Survey
{
    XmlMessage::Fault fault = XmlMessage::Fault::None;
    int at = -1; // where the fault begins
};

// Looks over the text as the XML reader will read it, in one pass that costs
// no more than a search: a DTD and an element with too many attributes are
// faults before anything is read; an end tag whose name differs from its
// start tag's only in letter case is written as its start tag, since names
// are read in any case. Where the text is not XML, the look goes on without
// following the elements; the reader then names the fault.
Survey survey(QString &text)
{
    Survey found;
    QVector<QPair<int, int>> open; // the names of the open elements: where and how long
    bool following = true;
    const int n = text.size();
    for (int from = 0;;) {
        const int lt = text.indexOf(QLatin1Char('<'), from);
        if (lt < 0 || lt + 1 >= n)
            break;
        const int at = lt + 1;
        const QChar c = text.at(at);
        if (c == QLatin1Char('!')) {
            if (startsAt(text, at, "!--") || startsAt(text, at, "![CDATA[")) {
                const bool comment = text.at(at + 1) == QLatin1Char('-');
                const int end = text.indexOf(QLatin1String(comment ? "-->" : "]]>"), at + (comment ? 3 : 8));
                if (end < 0)
                    break;
                from = end + 3;
                continue;
            }
            if (startsAt(text, at, "!DOCTYPE", Qt::CaseInsensitive)) {
                found.fault = XmlMessage::Fault::Dtd;
                found.at = lt;
                return found;
            }
            following = false;
            from = at;
            continue;
        }
        if (c == QLatin1Char('?')) {
            const int end = text.indexOf(QLatin1String("?>"), at + 1);
            if (end < 0)
                break;
            from = end + 2;
            continue;
        }
        if (c == QLatin1Char('/')) {
            const int name = at + 1;
            int end = name;
            while (
                end < n && !blank(text.at(end)) && text.at(end) != QLatin1Char('>') && text.at(end) != QLatin1Char('<'))
                ++end;
            if (following && !open.isEmpty()) {
                const QPair<int, int> start = open.takeLast();
                const QStringRef startName = text.midRef(start.first, start.second);
                const QStringRef endName = text.midRef(name, end - name);
                if (start.second != end - name || endName.compare(startName, Qt::CaseInsensitive) != 0)
                    following = false;
                else if (endName != startName)
                    std::copy(text.constData() + start.first, text.constData() + start.first + start.second,
                        text.data() + name);
            } else {
                following = false;
            }
            from = end;
            continue;
        }
        const int name = at;
        int end = name;
        while (end < n && !blank(text.at(end)) && text.at(end) != QLatin1Char('/') && text.at(end) != QLatin1Char('>')
            && text.at(end) != QLatin1Char('<'))
            ++end;
        // To the end of the start tag, past quoted values, counting the attributes.
        int attributes = 0;
        int k = end;
        for (; k < n; ++k) {
            const QChar ch = text.at(k);
            if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
                k = text.indexOf(ch, k + 1);
                if (k < 0)
                    break;
            } else if (ch == QLatin1Char('=')) {
                if (++attributes > XmlMessage::MaxAttributes) {
                    found.fault = XmlMessage::Fault::TooManyAttributes;
                    found.at = lt;
                    return found;
                }
            } else if (ch == QLatin1Char('>') || ch == QLatin1Char('<')) {
                break;
            }
        }
        if (k < 0 || k >= n)
            break;
        if (text.at(k) == QLatin1Char('<')) {
            following = false;
            from = k;
            continue;
        }
        if (text.at(k - 1) != QLatin1Char('/') && following)
            open.append(qMakePair(name, end - name));
        from = k + 1;
    }
    return found;
}

// A slice that reads the whole text.
const qint64 kReadAll = std::numeric_limits<qint64>::max();

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
    m_fault = Fault::None;
    m_reader.reset();
    m_text.clear();
}

bool XmlMessage::parse(const QString &text)
{
    begin(text);
    readSome(kReadAll);
    return m_fault == Fault::None;
}

void XmlMessage::begin(const QByteArray &bytes)
{
    int at = 0;
    const QByteArray encoding = declaredEncoding(bytes, &at);
    if (!encoding.isEmpty()) {
        // The declaration is read before the encoding it names, as ASCII:
        // the rule on characters holds there first, so no name of an
        // encoding with a control character in it is repeated anywhere.
        if (failAtForbidden(QString::fromLatin1(bytes.left(at + encoding.size()))))
            return;
    }
    QTextCodec *const codec = encoding.isEmpty() ? nullptr : QTextCodec::codecForName(encoding);
    const int utf8Mib = 106;
    if (!encoding.isEmpty() && (!codec || codec->mibEnum() != utf8Mib)) {
        // The declaration is ASCII: read otherwise, its bytes are in another encoding than it names.
        const QByteArray declaration = bytes.left(at + encoding.size());
        if (!codec || codec->toUnicode(declaration) != QString::fromLatin1(declaration)) {
            clear();
            m_fault = Fault::Encoding;
            m_errorString = QString::fromLatin1(encoding);
            m_errorLine = 1;
            m_errorColumn = at + 1;
            return;
        }
        const QString name = QString::fromLatin1(codec->name());
        const QString text = codec->toUnicode(bytes);
        // No character of an encoding other than Unicode is read as U+FFFD:
        // it stands for bytes that are no character of the encoding.
        const int bad = text.indexOf(QChar(QChar::ReplacementCharacter));
        if (bad >= 0) {
            failAtCharacter(QStringLiteral("Bytes that are not %1 text.").arg(name), text, bad);
            return;
        }
        begin(text);
        return;
    }
    const QByteArray &utf8 = bytes;
    const int bad = firstNonUtf8(utf8);
    if (bad < 0) {
        // Every character counts, a zero too (which the text of a byte array would end at).
        begin(QString::fromUtf8(utf8.constData(), utf8.size()));
        return;
    }
    clear();
    // Read as U+FFFD, the byte would reach a call as a wrong figure.
    m_fault = Fault::NotWellFormed;
    m_errorString = QStringLiteral("Byte 0x%1 is not UTF-8 text.")
                        .arg(QString::number(uchar(utf8.at(bad)), 16).toUpper(), 2, QLatin1Char('0'));
    const int lineStart = utf8.lastIndexOf('\n', bad - 1) + 1;
    m_errorLine = utf8.left(bad).count('\n') + 1;
    m_errorColumn = QString::fromUtf8(utf8.constData() + lineStart, bad - lineStart).size() + 1;
}

void XmlMessage::begin(const QString &text)
{
    clear();
    // Every request reaches the reader here, whichever way it came: a
    // character that XML does not allow refuses it wherever it stands, and
    // nothing of it is read.
    if (failAtForbidden(text))
        return;
    // Trace lines cost more to build than the reading itself; build them only for a listener.
    m_logging = isSignalConnected(QMetaMethod::fromSignal(&XmlMessage::sigLog));
    m_text = text;
    const Survey found = survey(m_text);
    if (found.fault != Fault::None) {
        failAt(found.fault, m_text, found.at);
        m_text.clear();
        return;
    }
    m_reader = std::make_unique<QXmlStreamReader>(m_text);
    // Nothing outside the text is ever read, and the text declares no entity
    // of its own: an entity other than the five of XML is a fault of the request.
    m_reader->setNamespaceProcessing(false);
}

void XmlMessage::failAtCharacter(const QString &why, const QString &text, int offset)
{
    clear();
    failAt(Fault::NotWellFormed, text, offset);
    m_errorString = why;
}

bool XmlMessage::failAtForbidden(const QString &text)
{
    const int at = firstForbidden(text);
    if (at >= 0)
        failAtCharacter(QStringLiteral("Character %1 is not allowed in XML.").arg(codePoint(text.at(at))), text, at);
    return at >= 0;
}

void XmlMessage::failAt(Fault fault, const QString &text, int offset)
{
    m_fault = fault;
    m_errorLine = (offset > 0 ? text.leftRef(offset).count(QLatin1Char('\n')) : 0) + 1;
    m_errorColumn = offset - (offset > 0 ? text.lastIndexOf(QLatin1Char('\n'), offset - 1) + 1 : 0) + 1;
    if (fault == Fault::Dtd)
        m_errorString = QStringLiteral("The request holds a DTD.");
    else if (fault == Fault::TooManyAttributes)
        m_errorString = QStringLiteral("An element has more than %1 attributes.").arg(MaxAttributes);
}

bool XmlMessage::readSome(qint64 slice)
{
    if (!m_reader)
        return true;
    QXmlStreamReader &reader = *m_reader;
    const qint64 until = slice == kReadAll ? kReadAll : reader.characterOffset() + slice;
    while (!reader.atEnd() && reader.characterOffset() < until) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            startDocument();
            break;
        case QXmlStreamReader::EndDocument:
            endDocument();
            break;
        case QXmlStreamReader::StartElement:
            if (const QString fault = attributesFault(reader.attributes()); !fault.isNull()) {
                reader.raiseError(fault);
                break;
            }
            startElement(reader.qualifiedName().toString(), reader.attributes());
            if (m_fault == Fault::TooDeep) {
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
            // Refused before reading began; should one slip past, nothing of it is used.
            m_fault = Fault::Dtd;
            m_errorString = QStringLiteral("The request holds a DTD.");
            reader.raiseError(m_errorString);
            break;
        case QXmlStreamReader::EntityReference:
            reader.raiseError(QStringLiteral("Entity '%1' not declared.").arg(reader.name()));
            break;
        default:
            break;
        }
    }
    if (!reader.atEnd())
        return false;
    finishReading();
    return true;
}

void XmlMessage::finishReading()
{
    QXmlStreamReader &reader = *m_reader;
    if (reader.hasError()) {
        if (m_fault == Fault::None)
            m_fault = Fault::NotWellFormed;
        if (m_errorString.isEmpty())
            m_errorString = reader.errorString();
        m_errorLine = reader.lineNumber();
        m_errorColumn = reader.columnNumber();
    }
    m_reader.reset();
    m_text.clear();
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
            m_fault = Fault::TooDeep;
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
