#include "test_messaging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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
                "    var root = 0;\n"
                "    for (var end = Date.now() + Number(ms.VALUE); Date.now() < end;) { root = Math.sqrt(root + 1); }\n"
                "    return {NAME: \"work\", VALUE: ++calls};\n"
                "}\n"
                "function rows(table) {\n"
                "    var values = [];\n"
                "    for (var i = 0; i < Math.min(table.length, 1000); ++i)\n"
                "        values.push(table[i] === undefined ? \"-\" : table[i].VALUE);\n"
                "    return {NAME: \"rows\", VALUE: table.length + \" \" + values.join()};\n"
                "}\n"
                "function spin() { for (;;) {} }\n"
                "function big(n) { return {NAME: \"big\", VALUE: new Array(Number(n.VALUE) + 1).join(\"x\")}; }\n"
                "function shared(n) {\n"
                "    var one = {};\n"
                "    for (var i = 0; i < 300; ++i) one[\"m\" + i] = i;\n"
                "    var all = [];\n"
                "    for (var j = 0; j < Number(n.VALUE); ++j) all.push(one);\n"
                "    return all;\n"
                "}\n"
                "function nested(n) {\n"
                "    var r = {NAME: \"nested\", VALUE: n.VALUE};\n"
                "    for (var i = 1; i < Number(n.VALUE); ++i) r = {level: r};\n"
                "    return r;\n"
                "}\n"
                "function itself() { var a = {NAME: \"itself\", VALUE: 1}; a.rows = [1, a]; return a; }\n"
                "function say(n) { print(new Array(Number(n.VALUE) + 1).join(\"x\")); return {NAME: \"say\"}; }\n"
                "function objects(n) {\n"
                "    var all = [];\n"
                "    for (var i = 0; i < Number(n.VALUE); ++i) all.push({NAME: \"o\"});\n"
                "    return all;\n"
                "}\n"));
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

QList<TestWorstRequest> testWorstRequests(int bytes)
{
    const QByteArray head = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>";
    const QByteArray tail = "</VORNAKEL>\n";
    const QByteArray call = "<EXECUTE FUNCTION=\"calculateRo\">";
    const QByteArray endCall = "</EXECUTE>";
    const QByteArray ro = "<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/>";
    // As many copies of `part` as fit between `before` and `after` in the
    // request, which `prolog` may precede.
    const auto filled = [&](const QByteArray &before, const QByteArray &part, const QByteArray &after,
                            const QByteArray &prolog = QByteArray()) {
        const int room = bytes - prolog.size() - head.size() - before.size() - after.size() - tail.size();
        return prolog + head + before + part.repeated(qMax(1, room / part.size())) + after + tail;
    };
    QList<TestWorstRequest> requests;

    // One element with as many attributes as the request holds: the XML
    // reader's check for repeated attributes grows with the square of their count.
    QByteArray attributes;
    for (int i = 0; attributes.size() < bytes - 200; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"\"";
    requests << TestWorstRequest { QStringLiteral("one element of 100,000 attributes"),
        head + call + "<INPUT" + attributes + "/>" + endCall + tail };

    // An entity of 4,096 characters referenced as often as the request holds.
    const QByteArray dtd = "<!DOCTYPE VORNAKEL [<!ENTITY e \"" + QByteArray(4096, 'x') + "\">]>";
    requests << TestWorstRequest { QStringLiteral("an entity of 4,096 characters, referenced 260,000 times"),
        filled(call + "<INPUT NAME=\"Mr\" VALUE=\"", "&e;", "\"/>" + endCall, dtd) };

    // As many inputs of the most attributes an element may have as the request holds, for one call.
    QByteArray wide = "<INPUT NAME=\"Mr\" VALUE=\"50000\"";
    for (int i = 0; i < 62; ++i)
        wide += " A" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"";
    wide += "/>";
    requests << TestWorstRequest { QStringLiteral("inputs of 64 attributes, in one call"),
        filled(call, wide, endCall) };

    // One value of character references, expanded by the reader.
    requests << TestWorstRequest { QStringLiteral("a value of 200,000 character references"),
        filled(call + "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/><INPUT NAME=\"Mr\" VALUE=\"", "&#x35;", "\"/>" + endCall) };

    // OBJECT trees as deep as a request may nest them, in one call.
    const QByteArray tree = QByteArray("<OBJECT>").repeated(64) + QByteArray("</OBJECT>").repeated(64);
    requests << TestWorstRequest { QStringLiteral("OBJECT trees 64 deep, in one call"),
        filled(call + ro, tree, endCall) };

    // Elements nested as deep as the request holds (the reader ignores them).
    const int depth = (bytes - head.size() - tail.size() - call.size() - endCall.size()) / 7;
    requests << TestWorstRequest { QStringLiteral("ignored elements nested 150,000 deep"),
        head + call + ro + QByteArray("<x>").repeated(depth) + QByteArray("</x>").repeated(depth) + endCall + tail };

    // One name as long as the request holds.
    requests << TestWorstRequest { QStringLiteral("an element name of a megabyte"),
        filled(call + ro + "<", "N", "/>" + endCall) };

    // EXECUTE elements, far more than a request may hold.
    requests << TestWorstRequest { QStringLiteral("100,000 EXECUTE elements"),
        filled(QByteArray(), "<EXECUTE/>", QByteArray()) };

    // As many calls as a request may hold, each with a long value.
    const QByteArray longCall = call + "<INPUT NAME=\"Mr\" VALUE=\"" + QByteArray(900, '5')
        + "\"/><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/>" + endCall;
    requests << TestWorstRequest { QStringLiteral("1,000 calls of 1 KB each"), head + longCall.repeated(1000) + tail };

    // A table row at the largest index, once in each of as many calls as a request may hold.
    const QByteArray farRow = "<EXECUTE FUNCTION=\"calculateBufferViscosity\"><ARRAY><INPUT INDEX=\"2147483647\" "
                              "NAME=\"Sodium chloride\" VALUE=\"0.1\" ID=\"1\" UNITS=\"molar\"/></ARRAY></EXECUTE>";
    requests << TestWorstRequest { QStringLiteral("1,000 tables of one row at INDEX 2147483647"),
        head + farRow.repeated(1000) + tail };

    // Text that an answer repeats, of the one character that takes six bytes there: a MODULE
    // VERSION, which every answer repeats, and a function name, which the answer of a call of
    // no such function names.
    const QByteArray quotedModule = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\" VERSION='";
    const QByteArray quotedRest = "'/>" + call + ro + endCall + tail;
    requests << TestWorstRequest { QStringLiteral("a MODULE VERSION of a million quotes"),
        quotedModule + QByteArray(bytes - quotedModule.size() - quotedRest.size(), '"') + quotedRest };
    requests << TestWorstRequest { QStringLiteral("a function name of a million quotes"),
        filled("<EXECUTE FUNCTION='", "\"", "'>" + ro + endCall) };

    // One buffer of as many components as the request holds, each of a
    // series of its own: a query of the database for each row.
    const QByteArray buffer = "<EXECUTE FUNCTION=\"calculateBufferDensity\"><ARRAY>";
    const QByteArray endBuffer = "</ARRAY>" + endCall;
    QByteArray components;
    for (int i = 0; head.size() + buffer.size() + components.size() + endBuffer.size() + tail.size() + 80 < bytes; ++i)
        components += "<INPUT INDEX=\"" + QByteArray::number(i) + "\" NAME=\"c\" VALUE=\"0.1\" ID=\""
            + QByteArray::number(i) + "\" UNITS=\"molar\"/>";
    requests << TestWorstRequest { QStringLiteral("a buffer of %1 components").arg(components.count("<INPUT")),
        head + buffer + components + endBuffer + tail };
    return requests;
}

QByteArray testExampleRequest()
{
    return "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/><EXECUTE FUNCTION=\"calculateRo\">"
           "<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE></VORNAKEL>";
}

void testForbiddenCharacterRows()
{
    QTest::addColumn<QChar>("character");
    for (const ushort c : { 0x0000, 0x0001, 0x000B, 0x001F, 0xFFFE, 0xFFFF })
        QTest::newRow(qPrintable(QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0')))) << QChar(c);
}

QMap<int, QByteArray> testRequestsWithCharacter(QChar c)
{
    const QByteArray example = testExampleRequest();
    const QByteArray character = QString(c).toUtf8();
    const int closingTag = example.lastIndexOf("</VORNAKEL>");
    QMap<int, QByteArray> requests;
    for (int at = 1; at <= closingTag; ++at)
        requests.insert(at + 1, example.left(at) + character + example.mid(at));
    return requests;
}

QString testCharacterFault(QChar c, int column)
{
    return QStringLiteral("Character U+%1 is not allowed in XML. (line 1, column %2)")
        .arg(QString::number(c.unicode(), 16).toUpper(), 4, QLatin1Char('0'))
        .arg(column);
}

int testListenBacklog(quint16 port)
{
    // The system's socket monitoring reports a listening socket's longest queue as its write queue.
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return -1;
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } ask {};
    ask.header.nlmsg_len = sizeof ask;
    ask.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    ask.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    ask.request.sdiag_family = AF_INET;
    ask.request.sdiag_protocol = IPPROTO_TCP;
    ask.request.idiag_states = 1u << TCP_LISTEN;
    int backlog = -1;
    if (::send(fd, &ask, sizeof ask, 0) == ssize_t(sizeof ask)) {
        std::vector<char> buffer(64 * 1024);
        for (bool done = false; !done;) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            int left = int(n);
            for (auto *h = reinterpret_cast<nlmsghdr *>(buffer.data()); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
                if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR) {
                    done = true;
                    break;
                }
                const auto *socket = static_cast<const inet_diag_msg *>(NLMSG_DATA(h));
                if (ntohs(socket->id.idiag_sport) == port && socket->id.idiag_src[0] == htonl(INADDR_LOOPBACK))
                    backlog = int(socket->idiag_wqueue);
            }
        }
    }
    ::close(fd);
    return backlog;
}

int testSystemMaxBacklog()
{
    QFile file(QStringLiteral("/proc/sys/net/core/somaxconn"));
    bool number = false;
    const int value = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt(&number) : 0;
    return number ? value : SOMAXCONN;
}

QString testAnswersNotRefusing(QChar c, const QList<int> &columns, const QStringList &answers)
{
    QStringList wrong;
    for (int i = 0; i < columns.size(); ++i) {
        const QString answer = answers.value(i);
        const QString refusal = QStringLiteral("The request is not well-formed XML: %1. Nothing was run.")
                                    .arg(testCharacterFault(c, columns.at(i)));
        if (testOutputValues(answer) != QMap<QString, QString> { { QStringLiteral("ScriptError"), refusal } })
            wrong << QStringLiteral("column %1: %2").arg(columns.at(i)).arg(answer);
    }
    if (wrong.isEmpty())
        return QString();
    return QStringLiteral("%1 of %2 not refused:\n").arg(wrong.size()).arg(columns.size()) + wrong.join('\n');
}

TestMessageClient::TestMessageClient(quint16 port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, [this]() {
        if (!m_holding)
            take(m_socket.readAll());
    });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this]() { m_disconnected = true; });
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    m_socket.waitForConnected(testPatienceMs());
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

void TestMessageClient::leave()
{
    // The socket lets go of its descriptor; closing a copy of it is the
    // system's close, which keeps what was handed to the system.
    const int copy = ::dup(int(m_socket.socketDescriptor()));
    m_socket.abort();
    ::close(copy);
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

bool TestMessageClient::waitForAnswers(int count, int times)
{
    // The server may run in this thread: the wait spins the event loop until bytes arrive.
    QSignalSpy arrived(&m_socket, &QIODevice::readyRead);
    const QDeadlineTimer deadline(qint64(times) * testPatienceMs());
    while (m_complete < count) {
        if (deadline.hasExpired() || !arrived.wait(int(deadline.remainingTime())))
            return m_complete >= count;
    }
    return true;
}

bool TestMessageClient::waitUntilDisconnected()
{
    QSignalSpy gone(&m_socket, &QAbstractSocket::disconnected);
    return m_disconnected || gone.wait(testPatienceMs());
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
