#include "test_messaging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>

TestMessageModules::TestMessageModules()
{
    QFile::copy(QDir(shippedModulesPath()).filePath(QStringLiteral("MainScreen_main.js")),
        QDir(path()).filePath(QStringLiteral("MainScreen_main.js")));
    for (const QString &version : { QStringLiteral("1"), QStringLiteral("2") }) {
        write(QStringLiteral("echo%1_main.js").arg(version), QStringLiteral("Echo"), version,
            QStringLiteral(
                "function echo(x) { return {NAME: \"echo\", VALUE: x.VALUE, VERSION: getModuleVersion()}; }\n"
                "function letters() { return [\"a\", \"b\"]; }\n"
                "var calls = 0;\n"
                "function count() { return {NAME: \"count\", VALUE: ++calls}; }\n"
                "function work(ms) {\n"
                "    for (var end = Date.now() + Number(ms.VALUE); Date.now() < end;) { }\n"
                "    return {NAME: \"work\", VALUE: ++calls};\n"
                "}\n"
                "function big(n) { return {NAME: \"big\", VALUE: new Array(Number(n.VALUE) + 1).join(\"x\")}; }\n"));
    }
}

QMap<QString, QString> testOutputValues(const QString &answer)
{
    QMap<QString, QString> values;
    QDomDocument document;
    if (!document.setContent(answer))
        return values;
    const QDomNodeList outputs = document.elementsByTagName(QStringLiteral("OUTPUT"));
    for (int i = 0; i < outputs.size(); ++i) {
        const QDomElement element = outputs.at(i).toElement();
        values.insert(element.attribute(QStringLiteral("NAME")), element.attribute(QStringLiteral("VALUE")));
    }
    return values;
}

TestMessageClient::TestMessageClient(quint16 port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this]() {
        if (!m_holding)
            take(m_socket.readAll());
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this]() { m_disconnected = true; });
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    m_socket.waitForConnected(5000);
}

void TestMessageClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void TestMessageClient::endInput()
{
    m_socket.flush();
    ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR);
}

void TestMessageClient::reset()
{
    // Without lingering, closing sends a reset whatever is unread.
    const linger now { 1, 0 };
    ::setsockopt(int(m_socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    m_socket.abort();
}

void TestMessageClient::holdReading(bool hold)
{
    m_holding = hold;
    // A full read buffer makes the socket stop taking bytes from the system,
    // which then stops taking them from the server.
    m_socket.setReadBufferSize(hold ? 1 : 0);
    if (!hold)
        take(m_socket.readAll());
}

void TestMessageClient::take(const QByteArray &bytes)
{
    // Only the new bytes, with room for an end tag they complete, are
    // searched: answers of megabytes arrive in many small reads.
    static const QByteArray endTag("</VORNAKEL>");
    int from = qMax(0, m_received.size() - endTag.size() + 1);
    m_received += bytes;
    for (int end = m_received.indexOf(endTag, from); end >= 0; end = m_received.indexOf(endTag, from)) {
        ++m_complete;
        from = end + endTag.size();
    }
}

bool TestMessageClient::waitForAnswers(int count, int timeoutMs)
{
    // The server may run in this thread: the wait spins the event loop until bytes arrive.
    QSignalSpy arrived(&m_socket, &QIODevice::readyRead);
    const QDeadlineTimer deadline(qint64(timeoutMs) * testSlowdown());
    while (m_complete < count) {
        if (deadline.hasExpired() || !arrived.wait(int(deadline.remainingTime())))
            return m_complete >= count;
    }
    return true;
}

bool TestMessageClient::waitForDisconnected(int timeoutMs)
{
    QSignalSpy gone(&m_socket, &QAbstractSocket::disconnected);
    return m_disconnected || gone.wait(timeoutMs * testSlowdown());
}

QStringList TestMessageClient::answers() const
{
    // Each answer is one document followed by a line feed.
    QStringList out;
    const QString text = QString::fromUtf8(m_received);
    int from = 0;
    for (int end = text.indexOf(QLatin1String("</VORNAKEL>"), from); end >= 0;
         end = text.indexOf(QLatin1String("</VORNAKEL>"), from)) {
        out << text.mid(from, end + 11 - from).trimmed();
        from = end + 11;
    }
    return out;
}
