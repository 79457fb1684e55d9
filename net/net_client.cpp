#include "net/net_client.h"

#include "app/app_log.h"

#include <QByteArrayData>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

const char kClosingTag[] = "</vornakel>";
const int kClosingTagLength = NetClient::ClosingTagLength;
// A peer that stops reading must not hold a closed connection open for ever.
const int kClosingGraceMs = 30000;
// After a refused request, how long what the client still sends is read and dropped.
const int kDrainGraceMs = 5000;
// What the socket itself may buffer while the client waits for its answer;
// the rest waits with the sender.
const qint64 kSocketBuffer = 64 * 1024;
// What the system may hold of a connection's answers. Left to itself it grows
// to megabytes per connection, out of sight of the bounds on what a client
// has not taken.
const int kSystemSendBuffer = 256 * 1024;

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

qint64 NetClient::now()
{
    static const QElapsedTimer clock = []() {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

NetClient::NetClient(qintptr socketDescriptor, std::shared_ptr<NetBudget> budget)
    : QObject(nullptr), m_socketDescriptor(socketDescriptor),
      m_budget(budget ? std::move(budget) : std::make_shared<NetBudget>())
{
    ++m_budget->connections;
    m_budget->m_clients.append(this);
    m_idleSince = m_progressAt = now();
    initialize();
    createConnections();
    account();
}

NetClient::~NetClient()
{
    m_buffer.clear();
    leaveQueue();
    releaseRequest();
    m_budget->m_clients.removeOne(this);
    m_budget->heldBytes -= m_held;
    m_budget->owedBytes -= m_owed;
    if (m_counted)
        --m_budget->connections;
}

void NetClient::initialize()
{
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kSocketBuffer);
    if (!m_socket->setSocketDescriptor(m_socketDescriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite))
        qCWarning(lcNet) << "Cannot take over connection" << m_socketDescriptor << m_socket->errorString();
    m_socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSystemSendBuffer);
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
}

void NetClient::createConnections()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &NetClient::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &NetClient::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetClient::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetClient::onDisconnected);
    connect(m_idle, &QTimer::timeout, this, &NetClient::onIdle);
}

qint64 NetClient::send(const QString &text)
{
    return send(text.toUtf8());
}

qint64 NetClient::send(const QByteArray &bytes)
{
    if (!m_socket || m_closing)
        return -1;
    if (m_socket->bytesToWrite() == 0)
        m_progressAt = now(); // it begins to owe now
    const qint64 taken = m_socket->write(bytes);
    // What the system takes at once is not owed; the rest is.
    m_socket->flush();
    updateOwed();
    m_idleSince = now();
    if (m_budget->owedBytes > m_budget->maxTotalOwedBytes) {
        // After the caller is done with this connection, which may be the one to go.
        QMetaObject::invokeMethod(
            this, [budget = m_budget]() { shed(budget); }, Qt::QueuedConnection);
    }
    return taken;
}

void NetClient::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_buffer.clear();
    m_complete = false;
    leaveQueue();
    releaseRequest();
    account();
    disconnect(m_socket, nullptr, this, nullptr);
    // What the client takes is counted until the last byte is out.
    connect(m_socket, &QTcpSocket::bytesWritten, this, &NetClient::onBytesWritten);
    if (m_refused) {
        // Closing with unread input would reset the connection, and the reset
        // can destroy the answer before the client has read it: the client is
        // told the end after the answer, and what it still sends is dropped.
        connect(m_socket, &QTcpSocket::readyRead, this, &NetClient::drain);
        drain();
    } else {
        // Destroying a socket drops what it has not sent yet, so the client
        // lives on until the answer is out.
        m_socket->flush();
        m_socket->disconnectFromHost();
    }
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        deleteLater();
    } else {
        connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        QTimer::singleShot(m_refused ? kDrainGraceMs : kClosingGraceMs, this, [this]() {
            abortConnection();
            deleteLater();
        });
    }
    emit sigDisconnected(m_socketDescriptor);
}

void NetClient::drain()
{
    m_socket->skip(m_socket->bytesAvailable());
    if (!m_shutDown && m_socket->bytesToWrite() == 0 && m_socket->state() == QAbstractSocket::ConnectedState) {
        m_shutDown = true;
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    }
}

void NetClient::next()
{
    if (m_closing || !m_waiting)
        return;
    m_waiting = false;
    m_idleSince = now();
    releaseRequest();
    account();
    // The socket announced what arrived meanwhile while the client was waiting;
    // it will not announce it again.
    QMetaObject::invokeMethod(this, &NetClient::onReadyRead, Qt::QueuedConnection);
}

void NetClient::onDisconnected()
{
    updateOwed();
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
    abortConnection();
}

void NetClient::drop(const QString &why)
{
    qCWarning(lcNet).noquote() << "Connection" << m_socketDescriptor << why;
    abortConnection();
}

void NetClient::abortConnection()
{
    m_buffer.clear();
    m_complete = false;
    leaveQueue();
    // Reports the disconnection, upon which the server lets the client go.
    m_socket->abort();
    updateOwed();
    account();
    if (m_counted) {
        m_counted = false;
        --m_budget->connections;
    }
}

void NetClient::onBytesWritten()
{
    const bool wasOver = m_owed > m_budget->maxOwedBytes;
    updateOwed();
    m_progressAt = m_idleSince = now();
    if (m_closing) {
        if (m_refused)
            drain();
        return;
    }
    if (wasOver && !owesTooMuch())
        QMetaObject::invokeMethod(this, &NetClient::onReadyRead, Qt::QueuedConnection);
    account();
}

void NetClient::updateOwed()
{
    const qint64 owed = m_socket ? m_socket->bytesToWrite() : 0;
    m_budget->owedBytes += owed - m_owed;
    m_owed = owed;
    if (m_budget->owedBytes <= m_budget->maxTotalOwedBytes / 2)
        m_budget->m_shedWarned = false;
}

bool NetClient::owesTooMuch() const
{
    return m_socket->bytesToWrite() > m_budget->maxOwedBytes;
}

bool NetClient::mayReadLarge() const
{
    const NetBudget &budget = *m_budget;
    return (budget.m_queue.isEmpty() || budget.m_queue.first() == this)
        && (budget.runningRequestBytes == 0 || budget.runningRequestBytes < budget.maxRunningRequestBytes);
}

bool NetClient::admits(qint64 bytes) const
{
    const NetBudget &budget = *m_budget;
    // A small request is answered at once, past any larger ones waiting.
    if (bytes <= SmallRequest && budget.runningRequestBytes + bytes <= 2 * budget.maxRunningRequestBytes)
        return true;
    if (!budget.m_queue.isEmpty() && budget.m_queue.first() != this)
        return false;
    return budget.runningRequestBytes == 0 || budget.runningRequestBytes + bytes <= budget.maxRunningRequestBytes;
}

qint64 NetClient::readLimit() const
{
    // One byte past the limit tells a request over it from one of exactly that size.
    return mayReadLarge() ? MaxBuffered + 1 : SmallRequest;
}

void NetClient::enqueue()
{
    if (!m_queued) {
        m_budget->m_queue.append(this);
        m_queued = true;
    }
}

void NetClient::leaveQueue()
{
    if (!m_queued)
        return;
    const bool first = m_budget->m_queue.first() == this;
    m_budget->m_queue.removeOne(this);
    m_queued = false;
    if (first)
        wakeQueue(*m_budget);
}

void NetClient::wakeQueue(NetBudget &budget)
{
    if (!budget.m_queue.isEmpty())
        QMetaObject::invokeMethod(budget.m_queue.first(), &NetClient::onReadyRead, Qt::QueuedConnection);
}

void NetClient::releaseRequest()
{
    if (m_running == 0)
        return;
    m_budget->runningRequestBytes -= m_running;
    m_running = 0;
    wakeQueue(*m_budget);
}

void NetClient::onReadyRead()
{
    if (!m_closing && !m_waiting && owesTooMuch()) {
        // Taken up again once the client has taken its answers (onBytesWritten).
        if (!m_heldBack)
            emit sigLog(QStringLiteral("Connection %1 has not taken %2 bytes of its answers; its next request waits")
                            .arg(m_socketDescriptor)
                            .arg(m_socket->bytesToWrite()),
                AppLog::Trace);
        m_heldBack = true;
        account();
        return;
    }
    m_heldBack = false;
    char chunk[16384];
    while (!m_closing && !m_waiting && !m_refused) {
        if (frameMessage())
            break;
        const qint64 room = readLimit() - m_buffer.size();
        if (room <= 0) {
            // A large request while others are worked on: it waits its turn, unread.
            enqueue();
            break;
        }
        if (m_socket->bytesAvailable() <= 0)
            break;
        // Never more than the limit allows, so that no request over it is ever cut out whole.
        const qint64 n = m_socket->read(chunk, qMin<qint64>(qint64(sizeof chunk), room));
        if (n <= 0)
            break;
        m_buffer.append(chunk, int(n));
        m_idleSince = now();
        if (m_budget->heldBytes - m_held + m_buffer.size() >= m_budget->maxHeldBytes) {
            drop(QStringLiteral("would bring the bytes held for unfinished messages to %1 or more; dropped")
                     .arg(m_budget->maxHeldBytes));
            return;
        }
        account();
    }
    account();
}

bool NetClient::frameMessage()
{
    const int open = m_buffer.indexOf('<');
    if (open < 0) {
        m_buffer.clear();
        m_scanned = 0;
        // Between messages of a kept connection nothing is awaited; the next one gets its full time.
        if (m_completedOne) {
            m_idle->stop();
            m_deadlineLeftMs = -1;
        }
        return false;
    }
    if (open > 0) {
        m_buffer.remove(0, open);
        m_scanned = qMax(0, m_scanned - open);
    }
    // Bytes searched before cannot start a tag unless it ran into the new ones,
    // so a message that arrives in small pieces is not searched again and again.
    const int tag = findClosingTag(m_buffer, qMax(0, m_scanned - kClosingTagLength));
    if (tag < 0)
        m_scanned = m_buffer.size();
    if ((tag < 0 && m_buffer.size() > MaxBuffered) || tag + kClosingTagLength > MaxBuffered) {
        m_refused = true;
        m_buffer.clear();
        m_scanned = 0;
        leaveQueue();
        account();
        qCWarning(lcNet).noquote() << "Connection" << m_socketDescriptor
                                   << QStringLiteral("sent a request over %1 bytes; it is answered with an error "
                                                     "and closed")
                                          .arg(MaxBuffered);
        emit sigOversized(m_socketDescriptor);
        return true;
    }
    if (tag < 0)
        return false;
    int end = tag + kClosingTagLength;
    // The one character after the tag belongs to the message only when
    // blank; anything else may be the next message's first "<".
    if (end < m_buffer.size() && isBlank(m_buffer.at(end)))
        ++end;
    // The message is complete: what remains is the server's wait, not the client's.
    m_idle->stop();
    m_deadlineLeftMs = -1;
    if (!admits(end)) {
        m_complete = true;
        enqueue();
        return true;
    }
    m_complete = false;
    const QString message = QString::fromUtf8(m_buffer.constData(), end);
    m_buffer.remove(0, end);
    m_scanned = 0;
    m_waiting = true;
    m_completedOne = true;
    m_idleSince = now();
    m_running = end;
    m_budget->runningRequestBytes += end;
    leaveQueue();
    account();
    emit sigDataReady(message, m_socketDescriptor);
    return true;
}

bool NetClient::expecting() const
{
    if (m_closing || m_waiting || m_refused || owesTooMuch())
        return false;
    // Waiting for its turn (a complete message, or the part of a large one
    // read so far) is the server's wait, not the client's.
    if (m_queued && (m_complete || !mayReadLarge()))
        return false;
    return !m_completedOne || !m_buffer.isEmpty();
}

void NetClient::account()
{
    m_budget->heldBytes += m_buffer.size() - m_held;
    m_held = m_buffer.size();
    if (!m_idle)
        return;
    // The deadline of a message runs only while the server waits for its bytes.
    if (expecting()) {
        if (!m_idle->isActive())
            m_idle->start(int(m_deadlineLeftMs >= 0 ? m_deadlineLeftMs : m_budget->idleTimeoutMs));
    } else if (m_idle->isActive()) {
        m_deadlineLeftMs = qMax(0, m_idle->remainingTime());
        m_idle->stop();
    }
}

bool NetClient::evictIdle(NetBudget &budget)
{
    NetClient *victim = nullptr;
    for (NetClient *client : qAsConst(budget.m_clients)) {
        const bool idle = client->m_completedOne && !client->m_closing && !client->m_refused && !client->m_waiting
            && !client->m_queued && client->m_buffer.isEmpty() && client->m_socket->bytesToWrite() == 0
            && client->m_socket->bytesAvailable() == 0;
        if (idle && (!victim || client->m_idleSince < victim->m_idleSince))
            victim = client;
    }
    if (!victim)
        return false;
    emit victim->sigLog(QStringLiteral("Connection %1, kept open and idle for %2 ms, gives way to a new one")
                            .arg(victim->m_socketDescriptor)
                            .arg(now() - victim->m_idleSince),
        AppLog::Trace);
    // It owes nothing, so it closes at once; its place is free for the new one.
    victim->m_socket->disconnectFromHost();
    if (victim->m_socket->state() != QAbstractSocket::UnconnectedState)
        victim->m_socket->abort();
    if (victim->m_counted) {
        victim->m_counted = false;
        --budget.connections;
    }
    return true;
}

void NetClient::shed(const std::shared_ptr<NetBudget> &budget)
{
    NetBudget &b = *budget;
    while (b.owedBytes > b.maxTotalOwedBytes) {
        const qint64 t = now();
        NetClient *victim = nullptr;
        double worst = 0;
        // A client that reads takes its answer within moments; one that has
        // taken nothing for longest and owes most holds the memory.
        for (NetClient *client : qAsConst(b.m_clients)) {
            client->updateOwed();
            const qint64 stalled = t - client->m_progressAt;
            if (client->m_owed <= 0 || stalled < b.stalledMs)
                continue;
            const double weight = double(client->m_owed) * double(stalled);
            if (!victim || weight > worst) {
                victim = client;
                worst = weight;
            }
        }
        if (!victim)
            return;
        const QString text = QStringLiteral("Answers not taken by their clients passed %1 bytes; connection %2, which "
                                            "owed %3 bytes and took none for %4 ms, is closed")
                                 .arg(b.maxTotalOwedBytes)
                                 .arg(victim->m_socketDescriptor)
                                 .arg(victim->m_owed)
                                 .arg(t - victim->m_progressAt);
        // Once per run of closings: a flood of them must not flood the log too.
        if (!b.m_shedWarned)
            qCWarning(lcNet).noquote() << text;
        else
            qCDebug(lcNet).noquote() << text;
        b.m_shedWarned = true;
        victim->abortConnection();
        if (victim->m_closing)
            victim->deleteLater();
    }
}
