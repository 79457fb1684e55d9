#include "net/net_httpget.h"

#include "app/app_number.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace {

// Read from the connection at a time.
const qint64 kReadBytes = 64 * 1024;

// Gives the request up with the reason `why` gives, once `ms` have passed.
QTimer *giveUpAfter(int ms, NetHttpGet *request, const std::function<QString()> &why)
{
    auto *timer = new QTimer(request);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, request, [request, why]() { request->abort(why()); });
    timer->start(ms);
    return timer;
}

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

void NetHttpGet::setTimeLimits(int totalMs, int silenceMs)
{
    if (m_finished)
        return;
    if (totalMs > 0)
        giveUpAfter(totalMs, this, [this, totalMs]() { return tooSlow(totalMs); });
    if (silenceMs > 0)
        m_silence = giveUpAfter(silenceMs, this, [this, silenceMs]() { return silent(silenceMs); });
}

QString NetHttpGet::tooSlow(int ms) const
{
    const QString within = AppNumber::secondsText(ms);
    if (!m_sent)
        return QStringLiteral("No connection to the server was made within %1 s of the request.").arg(within);
    if (m_response.bytesTaken() == 0)
        return QStringLiteral("The server sent nothing within %1 s of the request.").arg(within);
    if (m_response.state() == NetHttpResponse::State::Head && m_response.interimAnswers() > 0)
        return QStringLiteral("The server sent %1 and no final answer within %2 s of the request.")
            .arg(m_response.interimsText(), within);
    if (m_response.state() == NetHttpResponse::State::Head)
        return QStringLiteral("The server sent too slowly: %1 bytes of the head of its answer had come %2 s after the "
                              "request, and not all of it.")
            .arg(m_response.headBytes())
            .arg(within);
    if (m_response.length() < 0)
        return QStringLiteral("The server sent too slowly: %1 bytes of its answer had come in chunks %2 s after the "
                              "request, and not the last chunk.")
            .arg(m_response.received())
            .arg(within);
    return QStringLiteral("The server sent too slowly: %1 of the %2 bytes of its answer had come %3 s after the "
                          "request.")
        .arg(m_response.received())
        .arg(m_response.length())
        .arg(within);
}

QString NetHttpGet::silent(int ms) const
{
    const QString during = AppNumber::secondsText(ms);
    if (!m_sent)
        return QStringLiteral("No connection to the server was made in %1 s.").arg(during);
    if (m_response.bytesTaken() == 0)
        return QStringLiteral("Nothing arrived for %1 s.").arg(during);
    return QStringLiteral("Nothing more arrived for %1 s, after %2 bytes of the answer.")
        .arg(during)
        .arg(m_response.bytesTaken());
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
    m_sent = true;
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
    const qint64 before = m_response.bytesTaken();
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
    }
    // Bytes of any kind, an interim answer's or the head's too, are no silence.
    if (m_silence && m_response.bytesTaken() > before)
        m_silence->start();
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
