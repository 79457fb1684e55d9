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
// What the socket itself may buffer while the client waits for its answer;
// the rest waits with the sender.
const qint64 kSocketBuffer = 64 * 1024;

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

NetClient::NetClient(qintptr socketDescriptor, std::shared_ptr<NetBudget> budget)
    : QObject(nullptr), m_socketDescriptor(socketDescriptor),
      m_budget(budget ? std::move(budget) : std::make_shared<NetBudget>())
{
    ++m_budget->connections;
    initialize();
    createConnections();
    account();
}

NetClient::~NetClient()
{
    m_buffer.clear();
    account();
    --m_budget->connections;
}

void NetClient::initialize()
{
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kSocketBuffer);
    if (!m_socket->setSocketDescriptor(m_socketDescriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite))
        qCWarning(lcNet) << "Cannot take over connection" << m_socketDescriptor << m_socket->errorString();
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    m_idle->setInterval(m_budget->idleTimeoutMs);
}

void NetClient::createConnections()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &NetClient::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetClient::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetClient::onDisconnected);
    connect(m_idle, &QTimer::timeout, this, &NetClient::onIdle);
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
    m_buffer.clear();
    account();
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

void NetClient::next()
{
    if (m_closing || !m_waiting)
        return;
    m_waiting = false;
    account();
    // The socket announced what arrived meanwhile while the client was waiting;
    // it will not announce it again.
    QMetaObject::invokeMethod(this, &NetClient::onReadyRead, Qt::QueuedConnection);
}

void NetClient::onDisconnected()
{
    emit sigDisconnected(m_socketDescriptor);
}

void NetClient::onIdle()
{
    if (m_closing)
        return;
    emit sigLog(QStringLiteral("Connection %1 sent no complete message within %2 ms; closed")
                    .arg(m_socketDescriptor)
                    .arg(m_budget->idleTimeoutMs),
        AppLog::Trace);
    m_buffer.clear();
    account();
    m_socket->abort();
}

void NetClient::drop(const QString &why)
{
    qCWarning(lcNet).noquote() << "Connection" << m_socketDescriptor << why;
    m_buffer.clear();
    account();
    m_socket->abort();
}

void NetClient::onReadyRead()
{
    char chunk[16384];
    while (!m_closing && !m_waiting) {
        frameMessage();
        if (m_waiting || m_socket->bytesAvailable() <= 0)
            break;
        const qint64 n = m_socket->read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        m_buffer.append(chunk, int(n));
        m_idle->start(); // a byte arrived: the wait starts afresh
        frameMessage();
        if (m_buffer.size() > MaxBuffered) {
            drop(QStringLiteral("sent more than %1 bytes without a closing tag; dropped").arg(MaxBuffered));
            return;
        }
        if (m_budget->heldBytes - m_held + m_buffer.size() >= m_budget->maxHeldBytes) {
            drop(QStringLiteral("would bring the bytes held for unfinished messages to %1 or more; dropped")
                     .arg(m_budget->maxHeldBytes));
            return;
        }
        account();
    }
    account();
}

void NetClient::frameMessage()
{
    if (m_waiting)
        return;
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
    m_waiting = true;
    m_completedOne = true;
    account();
    emit sigDataReady(message, m_socketDescriptor);
}

void NetClient::account()
{
    m_budget->heldBytes += m_buffer.size() - m_held;
    m_held = m_buffer.size();
    if (!m_idle)
        return;
    // Waiting for a message to complete: the first one, or one begun.
    const bool expecting = !m_closing && !m_waiting && (!m_completedOne || !m_buffer.isEmpty());
    if (!expecting)
        m_idle->stop();
    else if (!m_idle->isActive())
        m_idle->start();
}
