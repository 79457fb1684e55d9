#include "test_httpserver.h"

#include <QTimer>

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
    socket->write("HTTP/1.1 " + QByteArray::number(entry.status) + " X\r\nContent-Type: " + entry.contentType
        + "\r\nContent-Length: " + QByteArray::number(entry.body.size()) + "\r\nConnection: close\r\n\r\n"
        + entry.body);
    socket->disconnectFromHost();
}
