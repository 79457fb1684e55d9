#include "net/net_client.h"

#include "app/app_log.h"

#include <QByteArrayData>
#include <QTcpSocket>
#include <QTimer>

namespace {

const char kClosingTag[] = "</vornakel>";
const int kClosingTagLength = NetClient::ClosingTagLength;
// A peer that stops reading must not hold a closed connection open for ever.
const int kClosingGraceMs = 30000;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

int NetClient::findClosingTag(const QByteArray &bytes, int from)
{
    for (int at = bytes.indexOf("</", from); at >= 0; at = bytes.indexOf("</", at + 2)) {
        if (bytes.size() - at >= kClosingTagLength
            && qstrnicmp(bytes.constData() + at, kClosingTag, kClosingTagLength) == 0)
            return at;
    }
    return -1;
}

NetClient::NetClient(qintptr socketDescriptor) : QObject(nullptr), m_socketDescriptor(socketDescriptor)
{
    initialize();
    createConnections();
}

NetClient::~NetClient() = default;

void NetClient::initialize()
{
    m_socket = new QTcpSocket(this);
    if (!m_socket->setSocketDescriptor(m_socketDescriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite))
        qCWarning(lcNet) << "Cannot take over connection" << m_socketDescriptor << m_socket->errorString();
}

void NetClient::createConnections()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &NetClient::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetClient::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetClient::onDisconnected);
}

qint64 NetClient::send(const QString &text)
{
    if (!m_socket || m_closing)
        return -1;
    return m_socket->write(text.toUtf8());
}

void NetClient::close()
{
    if (m_closing)
        return;
    m_closing = true;
    disconnect(m_socket, nullptr, this, nullptr);
    // Destroying a socket drops what it has not sent yet, so the client
    // lives on until the answer is out.
    m_socket->flush();
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        deleteLater();
    } else {
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        QTimer::singleShot(kClosingGraceMs, this, [this]() {
            m_socket->abort();
            deleteLater();
        });
    }
    emit sigDisconnected(m_socketDescriptor);
}

void NetClient::onDisconnected()
{
    emit sigDisconnected(m_socketDescriptor);
}

void NetClient::onReadyRead()
{
    char chunk[16384];
    while (!m_closing && m_socket->bytesAvailable() > 0) {
        const qint64 n = m_socket->read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        m_buffer.append(chunk, int(n));
        frameMessages();
        if (m_buffer.size() > MaxBuffered) {
            qCWarning(lcNet) << "Connection" << m_socketDescriptor << "sent more than" << MaxBuffered
                             << "bytes without a closing tag; dropped";
            m_buffer.clear();
            m_socket->abort();
            return;
        }
    }
}

void NetClient::frameMessages()
{
    for (;;) {
        const int open = m_buffer.indexOf('<');
        if (open < 0) {
            m_buffer.clear();
            m_scanned = 0;
            return;
        }
        if (open > 0) {
            m_buffer.remove(0, open);
            m_scanned = qMax(0, m_scanned - open);
        }
        // Bytes searched before cannot start a tag unless it ran into the new ones,
        // so a message that arrives in small pieces is not searched again and again.
        const int tag = findClosingTag(m_buffer, qMax(0, m_scanned - kClosingTagLength));
        if (tag < 0) {
            m_scanned = m_buffer.size();
            return;
        }
        int end = tag + kClosingTagLength;
        // The one character after the tag belongs to the message only when
        // blank; anything else may be the next message's first "<".
        if (end < m_buffer.size() && isBlank(m_buffer.at(end)))
            ++end;
        const QString message = QString::fromUtf8(m_buffer.constData(), end);
        m_buffer.remove(0, end);
        m_scanned = 0;
        emit sigDataReady(message, m_socketDescriptor);
    }
}
