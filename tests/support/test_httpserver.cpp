#include "test_httpserver.h"

#include <QTimer>

#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TestHttpServer::TestHttpServer()
{
    listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

void TestHttpServer::serve(const QString &path, const QByteArray &body, int status, const QByteArray &contentType)
{
    Entry entry;
    entry.status = status;
    entry.body = body;
    entry.contentType = contentType;
    m_entries.insert(path, entry);
}

void TestHttpServer::serve(const QString &path, const QByteArray &body, Framing framing, qint64 cutAfter)
{
    Entry entry;
    entry.body = body;
    entry.framing = framing;
    entry.cutAfter = cutAfter;
    m_entries.insert(path, entry);
}

void TestHttpServer::serveRaw(const QString &path, const QByteArray &response)
{
    Entry entry;
    entry.behaviour = Behaviour::Raw;
    entry.body = response;
    m_entries.insert(path, entry);
}

void TestHttpServer::drop(const QString &path)
{
    Entry entry;
    entry.behaviour = Behaviour::Drop;
    m_entries.insert(path, entry);
}

void TestHttpServer::hold(const QString &path)
{
    Entry entry;
    entry.behaviour = Behaviour::Hold;
    m_entries.insert(path, entry);
}

void TestHttpServer::trickle(const QString &path, int intervalMs)
{
    Entry entry;
    entry.behaviour = Behaviour::Trickle;
    entry.intervalMs = intervalMs;
    m_entries.insert(path, entry);
}

void TestHttpServer::dribble(
    const QString &path, const QByteArray &once, const QByteArray &repeated, int perTick, int intervalMs)
{
    Entry entry;
    entry.behaviour = Behaviour::Dribble;
    entry.body = once;
    entry.repeated = repeated;
    entry.perTick = perTick;
    entry.intervalMs = intervalMs;
    m_entries.insert(path, entry);
}

void TestHttpServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QTcpSocket(this);
    socket->setSocketDescriptor(socketDescriptor);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { answer(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void TestHttpServer::answer(QTcpSocket *socket)
{
    // The whole head is needed; requests here carry no body.
    if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
        return;
    const QByteArray head = socket->readAll();
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = QString::fromLatin1(requestLine.value(1));
    m_requested << path;
    const Entry entry = m_entries.value(path, Entry { Behaviour::Answer, 404, "not found", "text/plain" });
    if (entry.behaviour == Behaviour::Drop) {
        socket->abort();
        return;
    }
    if (entry.behaviour == Behaviour::Raw) {
        socket->write(entry.body);
        socket->disconnectFromHost();
        return;
    }
    if (entry.behaviour == Behaviour::Hold) {
        m_held << socket;
        return;
    }
    if (entry.behaviour == Behaviour::Trickle) {
        socket->write("HTTP/1.1 200 X\r\nContent-Type: text/plain\r\nContent-Length: 1000000\r\n\r\n");
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket]() { socket->write("x"); });
        drip->start(entry.intervalMs);
        return;
    }
    if (entry.behaviour == Behaviour::Dribble) {
        auto *drip = new QTimer(socket);
        auto sent = std::make_shared<qint64>(0);
        connect(drip, &QTimer::timeout, socket, [socket, drip, entry, sent]() {
            const qint64 once = entry.body.size();
            if (*sent >= once && entry.repeated.isEmpty()) {
                drip->stop();
                socket->disconnectFromHost();
                return;
            }
            QByteArray bytes;
            for (; bytes.size() < entry.perTick && (*sent < once || !entry.repeated.isEmpty()); ++*sent)
                bytes += *sent < once ? entry.body.at(int(*sent))
                                      : entry.repeated.at(int((*sent - once) % entry.repeated.size()));
            socket->write(bytes);
        });
        drip->start(entry.intervalMs);
        return;
    }
    const QByteArray sent = entry.cutAfter >= 0 ? entry.body.left(int(entry.cutAfter)) : entry.body;
    QByteArray response = "HTTP/1.1 " + QByteArray::number(entry.status) + " X\r\nContent-Type: " + entry.contentType;
    QByteArray body = sent;
    switch (entry.framing) {
    case Framing::Length:
        response += "\r\nContent-Length: " + QByteArray::number(entry.body.size());
        break;
    case Framing::Chunked: {
        response += "\r\nTransfer-Encoding: chunked";
        // Chunks of 4 KiB; cut, the last one sent holds less than its size says.
        const int chunk = 4096;
        body.clear();
        for (int at = 0; at < entry.body.size(); at += chunk) {
            const QByteArray part = entry.body.mid(at, chunk);
            body += QByteArray::number(part.size(), 16) + "\r\n";
            if (at + part.size() > sent.size()) {
                body += sent.mid(at);
                break;
            }
            body += part + "\r\n";
        }
        if (entry.cutAfter < 0)
            body += "0\r\n\r\n";
        break;
    }
    case Framing::UntilClose:
        break;
    }
    socket->write(response + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

TestHttpStreamer::TestHttpStreamer(const QByteArray &manifest, qint64 bytes) : m_manifest(manifest), m_bytes(bytes)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && ::listen(m_listener, 8) == 0
        && ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
    m_thread = std::thread([this]() { run(); });
}

TestHttpStreamer::~TestHttpStreamer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

QString TestHttpStreamer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

bool TestHttpStreamer::sendAll(int fd, const char *data, qint64 size, bool counted)
{
    while (size > 0 && !m_stop) {
        pollfd writable { fd, POLLOUT, 0 };
        if (::poll(&writable, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        if (counted)
            m_sent += n;
    }
    return size == 0;
}

void TestHttpStreamer::run()
{
    while (!m_stop) {
        pollfd waiting { m_listener, POLLIN, 0 };
        if (::poll(&waiting, 1, 100) <= 0)
            continue;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        QByteArray request;
        while (!request.contains("\r\n\r\n") && !m_stop) {
            pollfd readable { fd, POLLIN, 0 };
            if (::poll(&readable, 1, 100) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            request.append(chunk, int(n));
        }
        const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
        const bool manifest = path == "/MANIFEST";
        const qint64 size = manifest ? m_manifest.size() : m_bytes;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
            + QByteArray::number(size) + "\r\nConnection: close\r\n\r\n";
        bool going = sendAll(fd, head.constData(), head.size(), false);
        if (manifest) {
            going = going && sendAll(fd, m_manifest.constData(), m_manifest.size(), false);
        } else {
            QByteArray block(256 * 1024, Qt::Uninitialized);
            for (qint64 at = 0; going && at < m_bytes; at += block.size()) {
                const qint64 part = qMin<qint64>(block.size(), m_bytes - at);
                for (qint64 i = 0; i < part; ++i)
                    block[int(i)] = byteAt(at + i);
                going = sendAll(fd, block.constData(), part, true);
            }
        }
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}
