#include "xml/xml_uiparser.h"

#include "app/app_log.h"

#include <QMetaMethod>
#include <QWidget>
#include <QXmlStreamReader>

namespace {
bool named(const QString &name, const char *expected)
{
    return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}
} // namespace

XmlUiParser::XmlUiParser(QObject *parent) : QObject(parent) { }

XmlUiParser::~XmlUiParser()
{
    qDeleteAll(m_connections);
}

void XmlUiParser::setModule(QObject *receiver, const char *slot, QWidget *formRoot)
{
    m_target = receiver;
    m_targetSlot = slot ? QMetaObject::normalizedSignature(slot) : QByteArray();
    m_formRoot = formRoot;
}

bool XmlUiParser::parse(const QByteArray &form)
{
    QXmlStreamReader reader(form);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            startElement(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::EndElement:
            endElement(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::Characters:
            m_text += reader.text();
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

void XmlUiParser::startElement(const QString &name)
{
    if (named(name, "ui"))
        return;
    m_text.clear();
    if (named(name, "connection")) {
        m_sender.clear();
        m_signal.clear();
        m_receiver.clear();
    }
}

void XmlUiParser::endElement(const QString &name)
{
    if (named(name, "ui"))
        return;
    if (named(name, "class")) {
        m_className = m_text;
    } else if (named(name, "sender")) {
        m_sender = m_text;
    } else if (named(name, "signal")) {
        m_signal = m_text;
    } else if (named(name, "receiver")) {
        m_receiver = m_text;
    } else if (named(name, "slot")) {
        if (m_receiver == m_className) {
            m_connections << new Connection { m_sender, m_signal, m_receiver, m_text };
        } else if (m_receiver.isEmpty()) {
            // A slot declared by the form class itself: the list follows the connections.
            rewire(m_text);
        }
    } else if (named(name, "connections")) {
        m_sender.clear();
        m_signal.clear();
        m_receiver.clear();
    }
    m_text.clear();
}

void XmlUiParser::rewire(const QString &slot)
{
    if (!m_target || !m_formRoot)
        return;
    const QMetaMethod target = m_target->metaObject()->method(m_target->metaObject()->indexOfSlot(m_targetSlot));
    if (!target.isValid()) {
        emit sigLog(
            QStringLiteral("XmlUiParser: %1 has no slot %2")
                .arg(QString::fromLatin1(m_target->metaObject()->className()), QString::fromLatin1(m_targetSlot)),
            AppLog::Warning);
        return;
    }
    for (const Connection *connection : qAsConst(m_connections)) {
        if (connection->slot != slot)
            continue;
        QObject *sender = m_formRoot->findChild<QObject *>(connection->sender);
        if (!sender)
            continue;
        // The signal is known only from the form text, so it is looked up by signature.
        const int index
            = sender->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(qPrintable(connection->signal)));
        if (index < 0) {
            emit sigLog(QStringLiteral("XmlUiParser: %1 has no signal %2").arg(connection->sender, connection->signal),
                AppLog::Warning);
            continue;
        }
        QObject::connect(sender, sender->metaObject()->method(index), m_target, target);
    }
}
