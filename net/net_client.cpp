#include "net/net_client.h"

#include "app/app_log.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A peer that stops reading must not hold a closed connection open for ever.
const int kClosingGraceMs = 30000;
// After the client was told the end, how long what it still sends is read and dropped.
const int kDrainGraceMs = 5000;
// What the system may hold of a connection's answers. Left to itself it grows
// to megabytes per connection, out of sight of the bounds on what a client
// has not taken.
const int kSystemSendBuffer = 256 * 1024;
// What a connection was served counts half after this long.
const double kServedHalfLifeMs = 5000;

quint64 newConnectionId()
{
    static quint64 last = 0;
    return ++last;
}

} // namespace

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
    : QObject(nullptr), m_id(newConnectionId()), m_fd(int(socketDescriptor)),
      m_budget(budget ? std::move(budget) : std::make_shared<NetBudget>())
{
    ++m_budget->connections;
    m_budget->m_clients.append(this);
    m_idleSince = m_progressAt = m_servedAt = now();
    initialize();
    createConnections();
    account();
}

NetClient::~NetClient()
{
    forgetRequests();
    m_out.clear();
    m_outBytes = 0;
    closeDescriptor();
    m_budget->m_clients.removeOne(this);
    m_budget->heldBytes -= m_held;
    m_budget->owedBytes -= m_owed;
}

void NetClient::initialize()
{
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) < 0)
        qCWarning(lcNet) << "Cannot take over connection" << m_fd << std::strerror(errno);
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &kSystemSendBuffer, sizeof kSystemSendBuffer);
    // An answer leaves in two writes (its start before the calls run, the
    // rest after): the second must not wait for the client to acknowledge
    // the first, which a client may put off for tens of milliseconds.
    const int noDelay = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    // An error shows here while nothing is read: a reset of a client whose
    // request waits unread behind others.
    m_failed = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    m_probe = new QTimer(this);
}

void NetClient::createConnections()
{
    connect(m_readable, &QSocketNotifier::activated, this, &NetClient::onReadable);
    connect(m_writable, &QSocketNotifier::activated, this, &NetClient::onWritable);
    connect(m_failed, &QSocketNotifier::activated, this, &NetClient::onFailed);
    connect(m_idle, &QTimer::timeout, this, &NetClient::onIdle);
    connect(m_probe, &QTimer::timeout, this, &NetClient::onProbe);
}

double NetClient::servedLately() const
{
    return m_served * std::exp2(-double(now() - m_servedAt) / kServedHalfLifeMs);
}

void NetClient::addServed(qint64 nanoseconds)
{
    m_served = servedLately() + double(nanoseconds);
    m_servedAt = now();
}

NetClient *NetClient::leastServed(const QList<NetClient *> &clients)
{
    NetClient *turn = nullptr;
    double least = 0;
    for (NetClient *client : clients) {
        const double served = client->servedLately();
        if (!turn || served < least) {
            turn = client;
            least = served;
        }
    }
    return turn;
}

qint64 NetClient::send(const QString &text)
{
    return send(text.toUtf8());
}

qint64 NetClient::send(const QByteArray &bytes)
{
    if (m_letGo || m_phase == Phase::Closed)
        return -1;
    if (m_outBytes == 0)
        m_progressAt = now(); // it begins to owe now
    m_out.append(bytes);
    m_outBytes += bytes.size();
    // What the system takes at once is not owed; the rest is.
    writeOut();
    m_idleSince = now();
    if (m_budget->owedBytes > m_budget->maxTotalOwedBytes) {
        // After the caller is done with this connection, which may be the one to go.
        QMetaObject::invokeMethod(
            this, [budget = m_budget]() { shed(budget); }, Qt::QueuedConnection);
    }
    return bytes.size();
}

qint64 NetClient::sendAnswer(const QByteArray &bytes)
{
    const QByteArray &ahead = m_budget->answerStart;
    const bool begun = m_answerBegun && !ahead.isEmpty() && bytes.startsWith(ahead);
    m_answerBegun = false;
    return begun ? send(bytes.mid(ahead.size())) : send(bytes);
}

void NetClient::beginAnswer()
{
    if (m_answering || m_budget->answerStart.isEmpty() || m_letGo || !reading())
        return;
    send(m_budget->answerStart);
    m_answerBegun = true;
    m_answering = true;
    m_probes = 0;
    m_probe->start(m_budget->probeIntervalMs);
}

void NetClient::endAnswer()
{
    m_answerBegun = false;
    m_answering = false;
    m_probe->stop();
}

void NetClient::onProbe()
{
    if (!m_answering || m_letGo || !reading() || m_probes >= MaxProbeBytes) {
        m_probe->stop();
        return;
    }
    // Bytes still on their way to the client tell the same once they arrive.
    if (m_out.isEmpty()) {
        send(QByteArrayLiteral(" "));
        ++m_probes;
    }
}

bool NetClient::answerUnfinished(NetBudget::Unfinished why)
{
    if (!m_answering || !m_budget->unfinishedAnswer || m_letGo || m_phase == Phase::Closed)
        return false;
    forgetRequests();
    // Nothing more is read; the answer goes out, then the server lets it go.
    m_phase = Phase::Refused;
    sendAnswer(m_budget->unfinishedAnswer(*m_budget, why));
    endAnswer();
    account();
    askToBeLetGo();
    return true;
}

void NetClient::onFailed()
{
    if (m_phase == Phase::Closed || checkGone())
        return;
    // Urgent data, which the protocol has no use for: taken away, so that it
    // is not reported again and again. Should that fail, errors are left to
    // the reads and writes to find.
    char urgent = 0;
    if (::recv(m_fd, &urgent, 1, MSG_OOB | MSG_DONTWAIT) < 0 && errno != EINTR)
        m_failed->setEnabled(false);
}

void NetClient::writeOut()
{
    while (m_phase != Phase::Closed && !m_out.isEmpty()) {
        const QByteArray &first = m_out.first();
        const ssize_t n = ::send(
            m_fd, first.constData() + m_outOffset, size_t(first.size() - m_outOffset), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                lost(errno);
            break;
        }
        m_outOffset += int(n);
        m_outBytes -= n;
        m_progressAt = m_idleSince = now();
        if (m_outOffset == first.size()) {
            m_out.removeFirst();
            m_outOffset = 0;
        }
    }
    if (m_phase != Phase::Closed)
        m_writable->setEnabled(!m_out.isEmpty());
    updateOwed();
}

void NetClient::close()
{
    if (m_letGo)
        return;
    m_letGo = true;
    m_probe->stop();
    forgetRequests();
    if (m_phase == Phase::Closed) {
        end();
        return;
    }
    m_phase = Phase::Closing;
    account();
    QTimer::singleShot(kClosingGraceMs, this, &NetClient::end);
    // Closing now would drop what the system has not sent yet.
    if (m_out.isEmpty())
        shutDownOutput();
}

void NetClient::shutDownOutput()
{
    m_phase = Phase::Draining;
    ::shutdown(m_fd, SHUT_WR);
    // Closing with unread input would reset the connection, and the reset can
    // destroy the last answer before the client has read it: what the client
    // still sends is read and dropped until it closes its side (at once when
    // it has ended its input already).
    QTimer::singleShot(kDrainGraceMs, this, &NetClient::end);
    account();
    drain();
}

void NetClient::drain()
{
    char scratch[16384];
    while (m_phase == Phase::Draining) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        end();
    }
}

void NetClient::end()
{
    if (m_phase != Phase::Closed) {
        forgetRequests();
        m_out.clear();
        m_outOffset = 0;
        m_outBytes = 0;
        closeDescriptor();
        updateOwed();
        account();
    } else if (!m_letGo) {
        return; // closed before, and it has asked to be let go
    }
    if (m_letGo)
        deleteLater();
    else
        askToBeLetGo();
}

void NetClient::closeDescriptor()
{
    if (m_phase == Phase::Closed)
        return;
    // The notifiers go quiet before the number may serve another connection.
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    m_failed->setEnabled(false);
    m_idle->stop();
    m_probe->stop();
    ::close(m_fd);
    m_fd = -1;
    m_phase = Phase::Closed;
    --m_budget->connections;
}

void NetClient::askToBeLetGo()
{
    if (m_letGo || m_asked)
        return;
    m_asked = true;
    emit sigDisconnected(m_id);
}

void NetClient::next()
{
    if (!reading() || m_request != Request::Running)
        return;
    endAnswer();
    m_request = Request::None;
    m_idleSince = now();
    releaseRequest();
    account();
    // What is already in the buffer raises no notification of its own.
    QMetaObject::invokeMethod(this, &NetClient::onReadable, Qt::QueuedConnection);
}

bool NetClient::checkGone()
{
    if (m_phase == Phase::Closed)
        return true;
    pollfd state { m_fd, POLLIN, 0 };
    // Hang-up or error: the connection was reset, or failed. A client that
    // only ended its input is still there to read its answers.
    if (::poll(&state, 1, 0) <= 0 || !(state.revents & (POLLERR | POLLHUP | POLLNVAL)))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
    lost(error ? error : ECONNRESET);
    return true;
}

void NetClient::lost(int error)
{
    emit sigLog(QStringLiteral("Connection %1 is lost (%2); what it waited for is dropped")
                    .arg(m_id)
                    .arg(QString::fromLocal8Bit(std::strerror(error))),
        AppLog::Trace);
    end();
}

void NetClient::onIdle()
{
    if (m_letGo || m_phase == Phase::Closed)
        return;
    emit sigLog(QStringLiteral("Connection %1 sent no complete message within %2 ms; closed")
                    .arg(m_id)
                    .arg(m_budget->idleTimeoutMs),
        AppLog::Trace);
    if (!answerUnfinished(NetBudget::Unfinished::TimedOut))
        end();
}

void NetClient::drop(const QString &why)
{
    qCWarning(lcNet).noquote() << "Connection" << m_id << why;
    if (!answerUnfinished(NetBudget::Unfinished::TooMuchHeld))
        end();
}

void NetClient::onWritable()
{
    const bool wasOver = owesTooMuch();
    writeOut();
    if (m_phase == Phase::Closed)
        return;
    if (m_letGo) {
        if (m_phase == Phase::Closing && m_out.isEmpty())
            shutDownOutput();
        return;
    }
    if (wasOver && !owesTooMuch())
        QMetaObject::invokeMethod(this, &NetClient::onReadable, Qt::QueuedConnection);
    account();
}

void NetClient::updateOwed()
{
    m_budget->owedBytes += m_outBytes - m_owed;
    m_owed = m_outBytes;
    if (m_budget->owedBytes <= m_budget->maxTotalOwedBytes / 2)
        m_budget->m_shedWarned = false;
}

bool NetClient::owesTooMuch() const
{
    return m_outBytes > m_budget->maxOwedBytes;
}

bool NetClient::isSmall() const
{
    return m_messageBytes <= SmallRequest && m_calls <= SmallCalls;
}

NetClient *NetClient::nextInTurn(const NetBudget &budget)
{
    return leastServed(budget.m_queue);
}

bool NetClient::mayReadLarge() const
{
    const NetBudget &budget = *m_budget;
    const qint64 running = budget.runningRequestBytes - budget.m_runningSmallBytes;
    return (budget.m_queue.isEmpty() || nextInTurn(budget) == this)
        && (running == 0 || running < budget.maxRunningRequestBytes);
}

bool NetClient::admits() const
{
    const NetBudget &budget = *m_budget;
    // A small request is answered at once, past any heavier ones, beside them.
    if (isSmall() && budget.m_runningSmallBytes + m_weight <= budget.maxRunningRequestBytes)
        return true;
    if (!budget.m_queue.isEmpty() && nextInTurn(budget) != this)
        return false;
    const qint64 running = budget.runningRequestBytes - budget.m_runningSmallBytes;
    return running == 0 || running + m_weight <= budget.maxRunningRequestBytes;
}

qint64 NetClient::readLimit() const
{
    // One byte past the limit tells a request over it from one of exactly that size.
    return mayReadLarge() ? MaxBuffered + 1 : SmallRequest;
}

void NetClient::enqueue()
{
    if (m_request == Request::None) {
        m_budget->m_queue.append(this);
        m_request = Request::Queued;
    }
    // Held back, it may wait long: should its client have gone, the reset
    // to these bytes says so now.
    beginAnswer();
}

void NetClient::leaveQueue()
{
    if (m_request != Request::Queued)
        return;
    m_budget->m_queue.removeOne(this);
    m_request = Request::None;
    wakeQueue(*m_budget);
}

void NetClient::wakeQueue(NetBudget &budget)
{
    // The one whose turn it is, and every small one, which may pass it.
    NetClient *turn = nextInTurn(budget);
    for (NetClient *client : qAsConst(budget.m_queue)) {
        if (client == turn || (client->complete() && client->isSmall()))
            QMetaObject::invokeMethod(client, &NetClient::onReadable, Qt::QueuedConnection);
    }
}

void NetClient::forgetRequests()
{
    m_framer.clear();
    m_messageBytes = 0;
    leaveQueue();
    releaseRequest();
}

void NetClient::releaseRequest()
{
    if (m_running == 0)
        return;
    m_budget->runningRequestBytes -= m_running;
    if (m_runningSmall)
        m_budget->m_runningSmallBytes -= m_running;
    m_running = 0;
    wakeQueue(*m_budget);
}

void NetClient::onReadable()
{
    if (m_phase == Phase::Draining)
        drain();
    if (!reading())
        return;
    if (m_request != Request::Running && owesTooMuch()) {
        // Taken up again once the client has taken its answers (onWritable).
        if (!m_heldBack)
            emit sigLog(QStringLiteral("Connection %1 has not taken %2 bytes of its answers; its next request waits")
                            .arg(m_id)
                            .arg(m_outBytes),
                AppLog::Trace);
        m_heldBack = true;
        account();
        return;
    }
    m_heldBack = false;
    char chunk[16384];
    while (reading() && m_request != Request::Running) {
        if (frameMessage())
            break;
        if (m_phase == Phase::InputEnded) {
            endOfInput();
            return;
        }
        const qint64 room = readLimit() - m_framer.size();
        if (room <= 0) {
            // A large request while others are worked on: it waits its turn, unread.
            enqueue();
            break;
        }
        // Never more than the limit allows, so that no request over it is ever cut out whole.
        const ssize_t n = ::recv(m_fd, chunk, size_t(qMin<qint64>(qint64(sizeof chunk), room)), MSG_DONTWAIT);
        if (n == 0) {
            m_phase = Phase::InputEnded;
            continue;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                lost(errno);
                return;
            }
            break;
        }
        m_framer.append(chunk, int(n));
        m_idleSince = now();
        if (m_budget->heldBytes - m_held + m_framer.size() >= m_budget->maxHeldBytes) {
            drop(QStringLiteral("would bring the bytes held for unfinished messages to %1 or more; dropped")
                     .arg(m_budget->maxHeldBytes));
            return;
        }
        account();
    }
    account();
}

void NetClient::endOfInput()
{
    // A message cut off by the end of the input can never be run; one whose
    // answer has begun is answered with that.
    if (answerUnfinished(NetBudget::Unfinished::InputEnded))
        return;
    m_framer.clear();
    account();
    emit sigLog(
        QStringLiteral("Connection %1 ended its input; closed once its answers are out").arg(m_id), AppLog::Trace);
    askToBeLetGo();
}

bool NetClient::frameMessage()
{
    if (m_framer.isEmpty()) {
        // Between messages of a kept connection nothing is awaited; the next one gets its full time.
        if (m_answeredOne) {
            m_idle->stop();
            m_deadlineLeftMs = -1;
        }
        return false;
    }
    const NetFramer::State state = m_framer.state();
    if (state == NetFramer::State::TooLarge) {
        m_phase = Phase::Refused;
        m_framer.clear();
        m_messageBytes = 0;
        leaveQueue();
        account();
        qCWarning(lcNet).noquote() << "Connection" << m_id
                                   << QStringLiteral("sent a request over %1 bytes; it is answered with an error "
                                                     "and closed")
                                          .arg(MaxBuffered);
        emit sigOversized(m_id);
        return true;
    }
    if (state == NetFramer::State::Partial)
        return false;
    // The message is complete: what remains is the server's wait, not the client's.
    m_idle->stop();
    m_deadlineLeftMs = -1;
    if (!complete()) {
        m_messageBytes = m_framer.messageSize();
        m_calls = m_framer.countCalls();
        m_weight = qMax<qint64>(m_messageBytes, qint64(m_calls) * CallWeight);
    }
    if (!admits()) {
        enqueue();
        account();
        return true;
    }
    // A client that has gone is not worked for.
    if (checkGone())
        return true;
    const QByteArray message = m_framer.takeMessage();
    m_running = m_weight;
    m_runningSmall = isSmall();
    m_messageBytes = 0;
    leaveQueue();
    m_request = Request::Running;
    m_answeredOne = true;
    m_idleSince = now();
    m_budget->runningRequestBytes += m_running;
    if (m_runningSmall)
        m_budget->m_runningSmallBytes += m_running;
    account();
    // Before any of it is read: a client that has gone answers with a reset,
    // which the server sees before the request's first step.
    beginAnswer();
    emit sigDataReady(message, m_id);
    return true;
}

bool NetClient::expecting() const
{
    if (m_phase != Phase::Reading || m_request == Request::Running || owesTooMuch())
        return false;
    // Waiting for its turn (a complete message, or the part of a large one
    // read so far) is the server's wait, not the client's.
    if (m_request == Request::Queued && (complete() || !mayReadLarge()))
        return false;
    return !m_answeredOne || !m_framer.isEmpty();
}

bool NetClient::wantsInput() const
{
    return m_phase == Phase::Reading && m_request != Request::Running && !complete() && !owesTooMuch()
        && m_framer.size() < readLimit();
}

void NetClient::account()
{
    m_budget->heldBytes += m_framer.size() - m_held;
    m_held = m_framer.size();
    if (m_phase == Phase::Closed)
        return;
    // Read only what can be taken now; the rest waits with the sender.
    m_readable->setEnabled(m_letGo ? m_phase == Phase::Draining : wantsInput());
    // The deadline of a message runs only while the server waits for its bytes.
    if (expecting()) {
        if (!m_idle->isActive())
            m_idle->start(int(m_deadlineLeftMs >= 0 ? m_deadlineLeftMs : m_budget->idleTimeoutMs));
    } else if (m_idle->isActive()) {
        m_deadlineLeftMs = qMax(0, m_idle->remainingTime());
        m_idle->stop();
    }
}

bool NetClient::makeRoom(NetBudget &budget)
{
    const qint64 t = now();
    NetClient *victim = nullptr;
    qint64 victimSince = 0;
    for (NetClient *client : qAsConst(budget.m_clients)) {
        if (client->m_phase == Phase::Closed)
            continue;
        int unread = 0;
        const bool idle = client->m_phase == Phase::Reading && !client->m_letGo && client->m_answeredOne
            && client->m_request == Request::None && client->m_framer.isEmpty() && client->m_outBytes == 0
            && ::ioctl(client->m_fd, FIONREAD, &unread) == 0 && unread == 0;
        // A client that takes none of its answers would hold its place, and
        // what the system keeps of them, for as long as it stays connected:
        // it may never read.
        const bool stalled = client->m_outBytes > 0 && t - client->m_progressAt >= budget.stalledMs;
        if (!idle && !stalled)
            continue;
        const qint64 since = idle ? client->m_idleSince : client->m_progressAt;
        if (!victim || since < victimSince) {
            victim = client;
            victimSince = since;
        }
    }
    if (!victim)
        return false;
    const QString why = victim->m_outBytes > 0 ? QStringLiteral("which has taken none of its answers for %1 ms")
                                               : QStringLiteral("kept open and idle for %1 ms");
    emit victim->sigLog(
        QStringLiteral("Connection %1, %2, gives way to a new one").arg(victim->m_id).arg(why.arg(t - victimSince)),
        AppLog::Trace);
    // What it owed is dropped with it; its place is free for the new one.
    victim->end();
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
                                 .arg(victim->m_id)
                                 .arg(victim->m_owed)
                                 .arg(t - victim->m_progressAt);
        // Once per run of closings: a flood of them must not flood the log too.
        if (!b.m_shedWarned)
            qCWarning(lcNet).noquote() << text;
        else
            qCDebug(lcNet).noquote() << text;
        b.m_shedWarned = true;
        victim->end();
    }
}
