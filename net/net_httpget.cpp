#include "net/net_httpget.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace {

// Read from the connection at a time.
const qint64 kReadBytes = 64 * 1024;

} // namespace

NetHttpGet::NetHttpGet(const QUrl &url, QObject *parent) : QObject(parent), m_url(url)
{
    const QString scheme = m_url.scheme().toLower();
    const bool secure = scheme == QLatin1String("https");
    m_socket = secure ? new QSslSocket(this) : new QTcpSocket(this);
    QString refused;
    if ((!secure && scheme != QLatin1String("http")) || m_url.host().isEmpty())
        refused = QStringLiteral("%1 is not an http:// or https:// address.").arg(m_url.toDisplayString());
    else if (secure && !QSslSocket::supportsSsl())
        refused
            = QStringLiteral("%1 cannot be reached: this system offers no TLS for https.").arg(m_url.toDisplayString());
    if (!refused.isEmpty()) {
        m_response.fail(refused);
        finish();
        return;
    }
    // Over TLS, the request leaves once the connection is encrypted (and its certificate accepted).
    if (secure)
        connect(static_cast<QSslSocket *>(m_socket), &QSslSocket::encrypted, this, &NetHttpGet::sendRequest);
    else
        connect(m_socket, &QTcpSocket::connected, this, &NetHttpGet::sendRequest);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetHttpGet::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, [this]() {
        m_ended = true;
        pump();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetHttpGet::onError);
    if (secure)
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(m_url.host(), quint16(m_url.port(443)));
    else
        m_socket->connectToHost(m_url.host(), quint16(m_url.port(80)));
}

NetHttpGet::~NetHttpGet()
{
    // Whatever is still coming goes nowhere.
    m_socket->disconnect(this);
    m_socket->abort();
}

void NetHttpGet::setReadBufferSize(qint64 bytes)
{
    m_readBuffer = bytes;
    m_socket->setReadBufferSize(bytes);
}

void NetHttpGet::sendRequest()
{
    QByteArray target = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (m_url.hasQuery())
        target += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = m_url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (m_url.port() >= 0)
        host += ':' + QByteArray::number(m_url.port());
    // The body as it is: a body unpacked on the way has no length to be held to.
    m_socket->write(
        "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
}

QByteArray NetHttpGet::readAll()
{
    const QByteArray body = m_response.takeBody();
    // What waited for room in the buffer may come now.
    if (!m_finished && m_readBuffer > 0 && !m_pumpQueued) {
        m_pumpQueued = true;
        QMetaObject::invokeMethod(this, &NetHttpGet::pump, Qt::QueuedConnection);
    }
    return body;
}

void NetHttpGet::pump()
{
    m_pumpQueued = false;
    if (m_finished)
        return;
    const qint64 before = m_response.received();
    const bool headBefore = m_response.state() != NetHttpResponse::State::Head;
    while (!m_response.isFinished()) {
        qint64 room = kReadBytes;
        if (m_readBuffer > 0 && m_response.state() == NetHttpResponse::State::Body)
            room = qMin(room, m_readBuffer - m_response.bodyAvailable());
        if (room <= 0)
            break;
        const QByteArray bytes = m_socket->read(room);
        if (bytes.isEmpty())
            break;
        m_response.append(bytes);
        const qint64 announced = m_response.length();
        if (m_maxBody >= 0 && (m_response.received() > m_maxBody || announced > m_maxBody))
            m_response.fail(QStringLiteral("The server sent more than %1 bytes.").arg(m_maxBody));
    }
    if (!headBefore && m_response.status() != 0)
        emit headReceived();
    if (m_response.received() > before)
        emit progress(m_response.received(), m_response.length());
    if (m_response.bodyAvailable() > 0 && m_response.state() != NetHttpResponse::State::Failed)
        emit readyRead();
    if (m_finished)
        return; // a receiver aborted it
    if (m_ended && m_socket->bytesAvailable() == 0)
        m_response.end();
    if (m_response.isFinished())
        finish();
}

void NetHttpGet::onError()
{
    if (m_finished)
        return;
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        m_ended = true;
        pump();
        return;
    }
    m_response.fail(m_socket->errorString());
    finish();
}

void NetHttpGet::abort(const QString &why)
{
    if (m_finished)
        return;
    m_aborted = !m_response.isFinished();
    m_response.fail(why);
    finish();
}

void NetHttpGet::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_socket->disconnect(this);
    m_socket->abort();
    QMetaObject::invokeMethod(
        this, [this]() { emit finished(); }, Qt::QueuedConnection);
}
