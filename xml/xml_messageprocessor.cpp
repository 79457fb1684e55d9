#include "xml/xml_messageprocessor.h"

#include "app/app_fixedfile.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_text.h"
#include "net/net_client.h"
#include "net/net_framer.h"
#include "net/net_listener.h"
#include "xml/xml_requestjob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kSettingsFile[] = "vornakel.ini";

// The answer to a CGI request that could not be read starts so; a
// ScriptError output that says why follows.
const char kCgiErrorDocument[] = "<VORNAKEL TYPE=\"Error\">\n"
                                 "<MODULE VERSION=\"\" NAME=\"MainScreen\" DATE=\"\"/>\n";

// The text after the first `key` of an upper-cased line, up to the next `key`.
QString valueAfter(const QString &upperLine, const QString &line, const QString &key)
{
    const int at = upperLine.indexOf(key);
    if (at < 0)
        return QString();
    QString value = line.mid(at + key.size());
    const int next = value.indexOf(key, 0, Qt::CaseInsensitive);
    if (next >= 0)
        value.truncate(next);
    return value;
}

// Descriptors kept free beside the connections, for the database, module and
// settings files the program opens while it serves.
const qint64 kDescriptorReserve = 64;

// The connections the server may hold, so that the limit on open files never
// decides before the server's own cap does. The limit itself is the process's
// business, raised at program start; here it is only read.
int connectionsThatFit(int wanted)
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    const qint64 inUse
        = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    return int(qBound<qint64>(0, qint64(limit.rlim_cur) - inUse - kDescriptorReserve, wanted));
}

// How long connections are taken up from the listening socket's queue in one
// turn of the event loop, and how long the queue is left when none can be.
const qint64 kAcceptSliceNs = 2 * 1000 * 1000;
const int kAcceptRetryMs = 100;

// How long the calls of requests run before the sockets and the window have a turn.
const qint64 kCallSliceNs = 2 * 1000 * 1000;

// Why the CGI mode serves no request on this database; empty when it may.
// Opening a path that names nothing would make an empty database there, on
// which every call fails or answers from nothing.
QString databaseRefusal(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty())
        return QStringLiteral("No database file was named; nothing was run.");
    if (!file.exists())
        return QStringLiteral("The database file %1 does not exist; nothing was run.").arg(path);
    if (!file.isFile())
        return QStringLiteral("The database %1 is not a file; nothing was run.").arg(path);
    return QString();
}

// The answer to a message whose answer had begun before it was complete.
QByteArray unfinishedAnswer(const NetBudget &budget, NetBudget::Unfinished why)
{
    QString text = XmlRequestJob::noClosingTag();
    if (why == NetBudget::Unfinished::TimedOut)
        text = QStringLiteral("The request was not complete %1 s after the server began to read it; nothing was run, "
                              "and the connection is closed.")
                   .arg(AppNumber::secondsText(budget.idleTimeoutMs));
    else if (why == NetBudget::Unfinished::TooMuchHeld)
        text = QStringLiteral("The unfinished requests the server holds would pass %1 bytes with this one; nothing "
                              "was run, and the connection is closed.")
                   .arg(budget.maxHeldBytes);
    return XmlRequestJob::refusal(text) + '\n';
}

} // namespace

XmlMessageProcessor::XmlMessageProcessor(const QString &dbPath, bool network, QObject *parent)
    : QTcpServer(parent), m_network(network), m_databasePath(dbPath), m_budget(std::make_shared<NetBudget>())
{
    // Connected first: reading "vornakel.ini" may already have something to say.
    createConnections();
    initialize();
}

XmlMessageProcessor::XmlMessageProcessor(const QString &dbPath, QObject *parent)
    : QTcpServer(parent), m_network(false), m_cgi(true), m_cgiRefusal(databaseRefusal(dbPath)), m_databasePath(dbPath),
      m_budget(std::make_shared<NetBudget>())
{
    // Connected first: reading "vornakel.ini" may already have something to say.
    createConnections();
    initialize();
}

XmlMessageProcessor::~XmlMessageProcessor()
{
    qDeleteAll(m_jobs);
    m_jobs.clear();
    // Open connections end with the processor; nothing of theirs may call back.
    for (NetClient *client : qAsConst(m_clients)) {
        disconnect(client, nullptr, this, nullptr);
        delete client;
    }
    m_clients.clear();
    // The notifier goes before the socket it watches is closed.
    delete m_acceptor;
    m_acceptor = nullptr;
    close();
    // The manager, a child, goes with the processor, and its modules with it.
}

void XmlMessageProcessor::initialize()
{
    m_reset = true;
    m_port = DefaultPort;
    m_manager = new AppPluginManager(m_databasePath, this);
    m_stdout = nullptr;
    setObjectName(QStringLiteral("MessageProcessor"));
    if (!m_cgi)
        networkSetup();
    if (m_network) {
        m_budget->answerStart = XmlRequestJob::answerRoot();
        m_budget->unfinishedAnswer = unfinishedAnswer;
        const int cap = connectionsThatFit(m_budget->maxConnections);
        if (cap < m_budget->maxConnections) {
            emit sigLog(QStringLiteral("The process may open too few files for %1 connections; the message server "
                                       "takes at most %2")
                            .arg(m_budget->maxConnections)
                            .arg(cap),
                AppLog::Notice);
            m_budget->maxConnections = cap;
        }
        // Listening with the longest queue the system allows, not Qt's 50: a
        // flood of connections that open and close must not crowd out others.
        QString why;
        const int listener = NetListener::open(m_address, m_port, &why);
        if (listener >= 0 && !setSocketDescriptor(listener)) {
            why = errorString();
            ::close(listener);
        }
        if (isListening()) {
            // QTcpServer takes up every connection waiting before it returns to
            // the event loop: with a long queue under a flood, that would hold
            // the loop, and the connections taken would wait there for their
            // first read. They are taken up about 2 ms at a time instead.
            pauseAccepting();
            m_acceptor = new QSocketNotifier(listener, QSocketNotifier::Read, this);
            connect(m_acceptor, &QSocketNotifier::activated, this, &XmlMessageProcessor::acceptSome);
            // Whoever runs the program learns from this line where another program
            // reaches it (a port the system chose is known only from here).
            emit sigLog(
                QStringLiteral("Message server listening on %1:%2").arg(serverAddress().toString()).arg(serverPort()),
                AppLog::Warning);
            emit sigLog(QStringLiteral("The message server queues up to %1 connections not yet taken up")
                            .arg(NetListener::maxBacklog()),
                AppLog::Notice);
        } else {
            // Another window's processor has the port: that one serves.
            emit sigLog(QStringLiteral("No message server on %1:%2: %3").arg(m_address.toString()).arg(m_port).arg(why),
                AppLog::Trace);
        }
    }
    if (m_cgi)
        cgiSetup();
}

void XmlMessageProcessor::createConnections()
{
    // The module manager logs its own messages and those of its modules.
    AppLog::connect(this, &XmlMessageProcessor::sigLog, lcXml);
}

bool XmlMessageProcessor::tracing() const
{
    return lcXml().isDebugEnabled();
}

void XmlMessageProcessor::networkSetup()
{
    const QString name = QString::fromLatin1(kSettingsFile);
    QByteArray text;
    QString why;
    if (AppFixedFile::read(name, &text, &why) != AppFixedFile::Read::Done) {
        // No file is no server; a file that is not the user's own, or one
        // too large to be settings, is said.
        if (QFileInfo(name).exists() || QFileInfo(name).isSymLink())
            emit sigLog(QStringLiteral("vornakel.ini is not read: %1; no message server").arg(why), AppLog::Warning);
        return;
    }
    QTextStream in(&text, QIODevice::ReadOnly);
    in.setCodec("UTF-8");
    static const QRegularExpression wholeNumber(QStringLiteral("^[0-9]{1,5}$"));
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const QString upper = line.toUpper();
        if (upper.contains(QLatin1String("PORT:"))) {
            const QString value = valueAfter(upper, line, QStringLiteral("PORT:")).trimmed();
            const uint port = value.toUInt();
            if (wholeNumber.match(value).hasMatch() && port <= 65535) {
                m_port = quint16(port);
                m_network = true;
            } else {
                m_network = false;
                emit sigLog(QStringLiteral("vornakel.ini: the port \"%1\" is not a number from 0 to 65535; no message "
                                           "server")
                                .arg(value),
                    AppLog::Warning);
            }
        } else if (upper.contains(QLatin1String("RESET"))) {
            m_reset = valueAfter(upper, upper, QStringLiteral("RESET:")) == QLatin1String("TRUE");
        } else if (upper.contains(QLatin1String("ADDRESS:"))) {
            const QString value = valueAfter(upper, line, QStringLiteral("ADDRESS:")).trimmed();
            QHostAddress address;
            if (address.setAddress(value))
                m_address = address;
            else
                emit sigLog(QStringLiteral("vornakel.ini: \"%1\" is no address; the server stays on %2")
                                .arg(value, m_address.toString()),
                    AppLog::Warning);
        }
    }
}

void XmlMessageProcessor::loadPlugins(const QString &folder)
{
    // A module opens the database as it loads: not one that is refused.
    if (!m_cgiRefusal.isEmpty())
        return;
    m_manager->loadPlugins(folder);
}

AppPlugin *XmlMessageProcessor::findPlugin(const QString &name, const QString &version)
{
    return m_manager->findPlugin(name, version);
}

AppPlugin *XmlMessageProcessor::findPlugin(QString nameAndVersion)
{
    return m_manager->findPlugin(nameAndVersion);
}

QStringList XmlMessageProcessor::availableModules() const
{
    return m_manager->availableModules();
}

QString XmlMessageProcessor::modulesSearchPath() const
{
    return m_manager->modulesSearchPath();
}

void XmlMessageProcessor::log(const QString &message)
{
    if (!message.simplified().isEmpty())
        emit sigLog(message, AppLog::Trace);
}

QString XmlMessageProcessor::submitFromWeb(const QString &xml)
{
    // A page waits for its answer: every call runs now.
    XmlRequestJob job(
        xml, m_manager, false, [this](const QString &message, int level) { emit sigLog(message, level); });
    while (job.step()) { }
    return job.answer();
}

// ------------------------------------------------------------------ TCP server

void XmlMessageProcessor::incomingConnection(qintptr socketDescriptor)
{
    if (refuseConnection(socketDescriptor))
        return;
    emit sigLog(QStringLiteral("New network connection"), AppLog::Trace);
    auto *client = new NetClient(socketDescriptor, m_budget);
    connect(client, &NetClient::sigLog, this, &XmlMessageProcessor::sigLog);
    // Answered on a later turn of the event loop, never inside the socket's
    // read handler. The connection is named by its id: by then its descriptor
    // may belong to another one.
    connect(client, &NetClient::sigDataReady, this, &XmlMessageProcessor::readClientData, Qt::QueuedConnection);
    connect(client, &NetClient::sigOversized, this, &XmlMessageProcessor::refuseOversized, Qt::QueuedConnection);
    connect(client, &NetClient::sigDisconnected, this, &XmlMessageProcessor::clientDisconnected);
    m_clients.insert(client->id(), client);
    // A client sends its request as it connects: read now, it is taken up
    // before the next call of another connection runs.
    client->readWaiting();
}

void XmlMessageProcessor::acceptSome()
{
    QElapsedTimer slice;
    slice.start();
    while (slice.nsecsElapsed() < kAcceptSliceNs) {
        if (m_budget->connections >= m_budget->maxConnections && !m_waitedWhenFull) {
            // Full: the connections have a turn first, in which those whose
            // clients have gone end and give their places back; a new one is
            // refused only if the server is full still.
            m_waitedWhenFull = true;
            m_acceptor->setEnabled(false);
            QTimer::singleShot(0, m_acceptor, [this]() { m_acceptor->setEnabled(true); });
            return;
        }
        const int descriptor = ::accept4(int(socketDescriptor()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0) {
            m_waitedWhenFull = false;
            incomingConnection(descriptor);
            continue;
        }
        // A connection reset while it waited is simply gone.
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            // Out of descriptors, say: the queue is looked at again a little later.
            emit sigLog(
                QStringLiteral("Connections cannot be taken up: %1").arg(QString::fromLocal8Bit(std::strerror(errno))),
                AppLog::Notice);
            m_acceptor->setEnabled(false);
            QTimer::singleShot(kAcceptRetryMs, m_acceptor, [this]() { m_acceptor->setEnabled(true); });
        }
        return;
    }
}

bool XmlMessageProcessor::refuseConnection(qintptr socketDescriptor)
{
    // A client that connected and closed, sending nothing, has gone before its
    // connection is taken up: it takes no place, so that a flood of such
    // connections, which the long queue lets in, does not fill the server.
    char first = 0;
    const ssize_t peeked = ::recv(int(socketDescriptor), &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        ::close(int(socketDescriptor));
        return true;
    }
    // A connection kept open that is doing nothing, or whose client takes
    // none of its answers, gives way to the new one.
    const bool tooMany = m_budget->connections >= m_budget->maxConnections && !NetClient::makeRoom(*m_budget);
    // Room is kept for one more message of the largest size.
    const bool full = tooMany || m_budget->heldBytes > m_budget->maxHeldBytes - NetClient::MaxBuffered;
    if (!full) {
        // A run of refusals ends once the server is far from full again, not
        // at the first connection it takes between two refusals.
        if (m_budget->connections <= m_budget->maxConnections / 2 && m_budget->heldBytes <= m_budget->maxHeldBytes / 2)
            m_refusing = false;
        return false;
    }
    // Once per run of refusals: a flood of them must not flood the log too.
    if (!m_refusing) {
        m_refusing = true;
        emit sigLog(QStringLiteral("Message server full (%1 connections open, %2 bytes held for unfinished "
                                   "messages); new connections are refused")
                        .arg(m_budget->connections)
                        .arg(m_budget->heldBytes),
            AppLog::Warning);
    }
    ::close(int(socketDescriptor));
    return true;
}

NetClient *XmlMessageProcessor::clientConnection(quint64 clientId) const
{
    return m_clients.value(clientId);
}

void XmlMessageProcessor::readClientData(const QByteArray &xml, quint64 clientId)
{
    if (tracing())
        emit sigLog(QStringLiteral("Received from client[%1]:\n%2")
                        .arg(clientId)
                        .arg(QString::fromUtf8(xml.constData(), xml.size())),
            AppLog::Trace);
    // A connection that has gone since is not worked for.
    if (!clientConnection(clientId))
        return;
    // A client hands out its next message only once this one is answered.
    // The request is read a slice at a time, beside the others.
    auto *job = new XmlRequestJob(
        xml, m_manager, true, [this](const QString &message, int level) { emit sigLog(message, level); });
    job->shareOutput(&m_output);
    delete m_jobs.take(clientId);
    m_jobs.insert(clientId, job);
    scheduleCalls();
}

void XmlMessageProcessor::scheduleCalls()
{
    if (!m_callTimer) {
        // A timer, not a posted call: the event loop serves the timers after
        // the sockets, so that what came while a call ran is read before the
        // next call.
        m_callTimer = new QTimer(this);
        m_callTimer->setSingleShot(true);
        m_callTimer->setInterval(0);
        connect(m_callTimer, &QTimer::timeout, this, &XmlMessageProcessor::runCalls);
    }
    if (!m_callTimer->isActive())
        m_callTimer->start();
}

void XmlMessageProcessor::runCalls()
{
    // The requests the sockets have just handed out (queued, so as not to be
    // worked on inside a socket's handler) are taken up before any call runs.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    QElapsedTimer slice;
    slice.start();
    // Connections whose answer began in this slice: a client that closed its
    // connection answers those bytes with a reset, which is to be seen
    // before its first call runs.
    QList<quint64> begun;
    while (!m_jobs.isEmpty() && slice.nsecsElapsed() < kCallSliceNs) {
        // The time is shared by what each connection had lately: one that has
        // had nothing is served next, whatever the others have queued.
        QList<NetClient *> waiting;
        for (auto it = m_jobs.begin(); it != m_jobs.end();) {
            NetClient *candidate = clientConnection(it.key());
            if (!candidate) {
                delete it.value();
                it = m_jobs.erase(it);
                continue;
            }
            // Once an answer has begun in this slice, only requests not read
            // yet have a step: its call runs first in the next slice, after
            // the sockets have had their turn, not after another's call.
            if (!begun.contains(it.key()) && (begun.isEmpty() || !it.value()->isRead()))
                waiting << candidate;
            ++it;
        }
        NetClient *client = NetClient::leastServed(waiting);
        if (!client)
            break;
        const quint64 id = client->id();
        // A client that has gone is noticed before its next step runs; its
        // request goes with it.
        if (client->checkGone()) {
            delete m_jobs.take(id);
            continue;
        }
        // Out of the table while it runs: should the client go meanwhile, its
        // removal finds nothing to delete under the running call.
        std::unique_ptr<XmlRequestJob> job(m_jobs.take(id));
        QElapsedTimer call;
        call.start();
        const bool more = job->step();
        client = clientConnection(id);
        if (!client)
            continue;
        client->addServed(call.nsecsElapsed());
        if (!more) {
            answer(client, *job);
            continue;
        }
        if (job->hasAnswerStart()) {
            // The answer's first bytes go out before any call runs; a client
            // that only ended its input reads them as the start of its answer.
            client->sendAnswer(job->takeAnswerStart());
            begun << id;
        }
        m_jobs.insert(id, job.release());
    }
    if (!m_jobs.isEmpty())
        scheduleCalls();
}

void XmlMessageProcessor::answer(NetClient *client, const XmlRequestJob &job)
{
    const quint64 id = client->id();
    const qint64 sent = client->sendAnswer(job.answerBytes() + '\n');
    emit sigLog(QStringLiteral("Sent %1 bytes to client [%2]").arg(sent).arg(id), AppLog::Trace);
    // Lost while the answer went out.
    if (!clientConnection(id))
        return;
    if (m_reset) {
        emit sigLog(QStringLiteral("Terminating client connection for [%1]").arg(id), AppLog::Trace);
        removeClientConnection(client);
    } else {
        client->next();
    }
}

void XmlMessageProcessor::refuseOversized(quint64 clientId)
{
    NetClient *client = clientConnection(clientId);
    if (!client)
        return;
    const qint64 sent
        = client->sendAnswer(XmlRequestJob::refusal(XmlRequestJob::tooLarge(NetClient::MaxBuffered, true)) + '\n');
    emit sigLog(QStringLiteral("Sent %1 bytes to client [%2]").arg(sent).arg(clientId), AppLog::Trace);
    removeClientConnection(clientConnection(clientId));
}

void XmlMessageProcessor::removeClientConnection(NetClient *client)
{
    if (!client || m_clients.value(client->id()) != client)
        return;
    disconnect(client, nullptr, this, nullptr);
    m_clients.remove(client->id());
    delete m_jobs.take(client->id());
    // The client releases itself once its last bytes are out.
    client->close();
    emit sigLog(QStringLiteral("Client successfully removed from list"), AppLog::Trace);
}

void XmlMessageProcessor::clientDisconnected(quint64 clientId)
{
    NetClient *client = clientConnection(clientId);
    emit sigLog(QStringLiteral("Client with id [%1] disconnected prematurely").arg(clientId), AppLog::Trace);
    if (!client) {
        emit sigLog(
            QStringLiteral("Client could not be located for disconnection with id [%1]").arg(clientId), AppLog::Trace);
        return;
    }
    removeClientConnection(client);
}

// -------------------------------------------------------------------- CGI mode

void XmlMessageProcessor::cgiSetup()
{
    m_stdout = new QFile(this);
    if (!m_stdout->open(stdout, QIODevice::WriteOnly)) {
        emit sigLog(QStringLiteral("Unable to open STDOUT. Shutting down."), AppLog::Warning);
        std::exit(-1);
    }
}

void XmlMessageProcessor::cgiExec()
{
    // Framed as the server frames a connection's bytes: what comes before the
    // first "<" is dropped as it arrives, and the message ends at its closing tag.
    NetFramer framer;
    QString refusal = m_cgiRefusal;
    if (!refusal.isEmpty()) {
        // Nothing is read for a request that cannot be served.
    } else if (qEnvironmentVariableIsSet("CONTENT_LENGTH")) {
        // The web server may keep standard input open after the body, so the
        // body is exactly as long as it says, and nothing past it is read.
        const QByteArray text = qgetenv("CONTENT_LENGTH");
        // A length is ASCII digits alone, as a web server writes it (none: no
        // body): a sign, a blank or a digit of another script is some other
        // program's doing, and what it meant is not known.
        const bool digits = std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; });
        bool fits = text.isEmpty();
        const qlonglong read = text.isEmpty() ? 0 : text.toLongLong(&fits);
        // More digits than a qint64 holds are over the limit all the same.
        const qint64 length = !digits ? -1 : !fits ? qint64(MaxCgiInput) + 1 : read;
        QFile in;
        if (!digits) {
            refusal = QStringLiteral("CONTENT_LENGTH \"%1\" is not a number of bytes in ASCII digits; nothing was run.")
                          .arg(AppText::quoted(text));
        } else if (length > MaxCgiInput) {
            refusal = XmlRequestJob::tooLarge(MaxCgiInput, false);
        } else if (length > 0) {
            // Unbuffered, so that no read asks for more than the body holds.
            if (!in.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered))
                refusal = QStringLiteral("Standard input cannot be read; nothing was run.");
            for (qint64 taken = 0; refusal.isEmpty() && taken < length;) {
                const QByteArray part = in.read(length - taken);
                if (part.isEmpty())
                    refusal = QStringLiteral("The input ended after %1 of the %2 bytes CONTENT_LENGTH gives; nothing "
                                             "was run.")
                                  .arg(taken)
                                  .arg(length);
                taken += part.size();
                framer.append(part);
            }
        }
    } else {
        // Read as it comes, never waiting for more than the writer has given:
        // the writer may wait for the answer before it closes its end.
        char chunk[16384];
        while (framer.state() == NetFramer::State::Partial) {
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            framer.append(chunk, int(n));
        }
    }
    if (refusal.isEmpty()) {
        switch (framer.state()) {
        case NetFramer::State::Complete:
            m_cgiInput = framer.takeMessage();
            break;
        case NetFramer::State::TooLarge:
            refusal = XmlRequestJob::tooLarge(MaxCgiInput, false);
            break;
        case NetFramer::State::Partial:
            refusal = XmlRequestJob::noClosingTag();
            break;
        }
    }
    if (!refusal.isEmpty())
        emit sigLog(QStringLiteral("CGI input refused: ") + refusal, AppLog::Warning);
    cgiWriteData(refusal);
}

void XmlMessageProcessor::cgiWriteData(const QString &refusal)
{
    QByteArray body;
    if (refusal.isEmpty()) {
        // Every byte of the message counts, a zero byte too: cut at it, a
        // request would run what came before as if it were whole.
        XmlRequestJob job(
            m_cgiInput, m_manager, false, [this](const QString &message, int level) { emit sigLog(message, level); });
        while (job.step()) { }
        body = job.answerBytes();
    } else {
        body = XmlRequestJob::refusal(refusal, kCgiErrorDocument);
    }
    // Content-Length counts the bytes that follow the header, the last line feed too.
    const QByteArray output = QByteArrayLiteral("Content-Length: ") + QByteArray::number(body.size() + 1)
        + QByteArrayLiteral("\nContent-Type: text/xml; charset=UTF-8\n\n") + body + '\n';
    if (m_stdout) {
        m_stdout->write(output);
        m_stdout->close();
    }
    std::exit(0);
}
