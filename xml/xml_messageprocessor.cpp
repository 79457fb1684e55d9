#include "xml/xml_messageprocessor.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "net/net_client.h"
#include "xml/xml_requestjob.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const char kSettingsFile[] = "vornakel.ini";

// The answer to a CGI request that could not be read.
const char kCgiErrorDocument[] = "<VORNAKEL TYPE=\"Error\">\n"
                                 "<MODULE VERSION=\"\" NAME=\"MainScreen\" DATE=\"\"/>\n"
                                 "</VORNAKEL>\n";

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
// decides before the server's own cap does: the process's limit is raised as
// far as the system allows, and the cap lowered below what it then permits.
int connectionsThatFit(int wanted)
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    const qint64 inUse
        = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    const qint64 needed = inUse + wanted + kDescriptorReserve;
    if (limit.rlim_cur != RLIM_INFINITY && qint64(limit.rlim_cur) < needed) {
        rlimit raised = limit;
        raised.rlim_cur
            = limit.rlim_max == RLIM_INFINITY || qint64(limit.rlim_max) >= needed ? rlim_t(needed) : limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    return int(qBound<qint64>(0, qint64(limit.rlim_cur) - inUse - kDescriptorReserve, wanted));
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
    : QTcpServer(parent), m_network(false), m_cgi(true), m_databasePath(dbPath), m_budget(std::make_shared<NetBudget>())
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
        const int cap = connectionsThatFit(m_budget->maxConnections);
        if (cap < m_budget->maxConnections) {
            emit sigLog(QStringLiteral("The process may open too few files for %1 connections; the message server "
                                       "takes at most %2")
                            .arg(m_budget->maxConnections)
                            .arg(cap),
                AppLog::Notice);
            m_budget->maxConnections = cap;
        }
        if (listen(m_address, m_port)) {
            // Whoever runs the program learns from this line where another program
            // reaches it (a port the system chose is known only from here).
            emit sigLog(
                QStringLiteral("Message server listening on %1:%2").arg(serverAddress().toString()).arg(serverPort()),
                AppLog::Warning);
        } else {
            // Another window's processor has the port: that one serves.
            emit sigLog(QStringLiteral("No message server on %1:%2: %3")
                            .arg(m_address.toString())
                            .arg(m_port)
                            .arg(errorString()),
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
    QFile file(QString::fromLatin1(kSettingsFile));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
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
    // Answered on a later turn of the event loop, never inside the socket's read handler.
    connect(client, &NetClient::sigDataReady, this, &XmlMessageProcessor::readClientData, Qt::QueuedConnection);
    connect(client, &NetClient::sigOversized, this, &XmlMessageProcessor::refuseOversized, Qt::QueuedConnection);
    connect(client, &NetClient::sigDisconnected, this, &XmlMessageProcessor::clientDisconnected);
    m_clients.append(client);
}

bool XmlMessageProcessor::refuseConnection(qintptr socketDescriptor)
{
    // A connection kept open that is doing nothing gives way to the new one.
    const bool tooMany = m_budget->connections >= m_budget->maxConnections && !NetClient::evictIdle(*m_budget);
    // Room is kept for one more message of the largest size.
    const bool full = tooMany || m_budget->heldBytes > m_budget->maxHeldBytes - NetClient::MaxBuffered;
    if (!full) {
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
    QTcpSocket refused;
    if (refused.setSocketDescriptor(socketDescriptor))
        refused.abort();
    else
        ::close(int(socketDescriptor));
    return true;
}

NetClient *XmlMessageProcessor::clientConnection(qintptr socketDescriptor) const
{
    for (NetClient *client : m_clients) {
        if (client->socketDescriptor() == socketDescriptor)
            return client;
    }
    return nullptr;
}

void XmlMessageProcessor::readClientData(const QString &xml, qintptr socketDescriptor)
{
    if (tracing())
        emit sigLog(QStringLiteral("Received from client[%1]:\n%2").arg(socketDescriptor).arg(xml), AppLog::Trace);
    NetClient *client = clientConnection(socketDescriptor);
    if (!client)
        return;
    // A client hands out its next message only once this one is answered.
    delete m_jobs.take(client);
    m_jobs.insert(client, new XmlRequestJob(xml, m_manager, true, [this](const QString &message, int level) {
        emit sigLog(message, level);
    }));
    continueRequest(client);
}

void XmlMessageProcessor::continueRequest(NetClient *client)
{
    // Out of the table while it runs: should the client go meanwhile, its
    // removal finds nothing to delete under the running call.
    std::unique_ptr<XmlRequestJob> job(m_jobs.take(client));
    if (!job)
        return;
    const qintptr socketDescriptor = client->socketDescriptor();
    const QPointer<NetClient> guard(client);
    const bool more = job->step();
    if (!guard || !m_clients.contains(client))
        return;
    if (more) {
        m_jobs.insert(client, job.release());
        // Queued: other connections, and the window, have their turn first.
        QMetaObject::invokeMethod(
            this,
            [this, guard]() {
                if (guard)
                    continueRequest(guard);
            },
            Qt::QueuedConnection);
        return;
    }
    const qint64 sent = client->send(job->answerBytes() + '\n');
    job.reset();
    emit sigLog(QStringLiteral("Sent %1 bytes to client [%2]").arg(sent).arg(socketDescriptor), AppLog::Trace);
    if (m_reset) {
        emit sigLog(QStringLiteral("Terminating client connection for [%1]").arg(socketDescriptor), AppLog::Trace);
        removeClientConnection(client);
    } else {
        client->next();
    }
}

void XmlMessageProcessor::refuseOversized(qintptr socketDescriptor)
{
    NetClient *client = clientConnection(socketDescriptor);
    if (!client)
        return;
    const QString text = QStringLiteral("The request is over %1 bytes (%2 MiB), the most a request may take; nothing "
                                        "was run, and the connection is closed.")
                             .arg(NetClient::MaxBuffered)
                             .arg(NetClient::MaxBuffered / (1024 * 1024));
    const qint64 sent = client->send(XmlRequestJob::refusal(text) + '\n');
    emit sigLog(QStringLiteral("Sent %1 bytes to client [%2]").arg(sent).arg(socketDescriptor), AppLog::Trace);
    removeClientConnection(client);
}

void XmlMessageProcessor::removeClientConnection(NetClient *client)
{
    const int index = client ? m_clients.indexOf(client) : -1;
    if (index < 0)
        return;
    disconnect(client, nullptr, this, nullptr);
    m_clients.removeAt(index);
    delete m_jobs.take(client);
    // The client releases itself once its last bytes are out.
    client->close();
    emit sigLog(QStringLiteral("Client successfully removed from list"), AppLog::Trace);
}

void XmlMessageProcessor::clientDisconnected(qintptr socketDescriptor)
{
    NetClient *client = clientConnection(socketDescriptor);
    emit sigLog(QStringLiteral("Client with id [%1] disconnected prematurely").arg(socketDescriptor), AppLog::Trace);
    if (!client) {
        emit sigLog(QStringLiteral("Client could not be located for disconnection with id [%1]").arg(socketDescriptor),
            AppLog::Trace);
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
    QFile in;
    bool error = false;
    if (qEnvironmentVariableIsSet("CONTENT_LENGTH")) {
        // The web server may keep standard input open after the body, so the
        // body is exactly as long as it says, and nothing past it is read.
        const QByteArray text = qgetenv("CONTENT_LENGTH").trimmed();
        bool number = text.isEmpty();
        const qlonglong length = text.isEmpty() ? 0 : text.toLongLong(&number);
        if (!number || length < 0 || length > MaxCgiInput) {
            emit sigLog(QStringLiteral("CGI input of CONTENT_LENGTH \"%1\" refused: at most %2 bytes are read")
                            .arg(QString::fromLatin1(text))
                            .arg(MaxCgiInput),
                AppLog::Warning);
            error = true;
        } else if (length > 0) {
            // Unbuffered, so that no read asks for more than the body holds.
            error = !in.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
            while (!error && m_cgiInput.size() < length) {
                const QByteArray part = in.read(length - m_cgiInput.size());
                if (part.isEmpty())
                    error = true; // the input ended before the body did
                m_cgiInput.append(part);
            }
        }
        cgiWriteData(error || NetClient::findClosingTag(m_cgiInput) < 0);
    }

    error = !in.open(stdin, QIODevice::ReadOnly);
    while (!error) {
        const int searchFrom = qMax(0, m_cgiInput.size() - NetClient::ClosingTagLength);
        const QByteArray line = in.readLine(1023);
        if (line.isEmpty()) {
            error = true; // the input ended without the closing tag
            break;
        }
        m_cgiInput.append(line);
        if (m_cgiInput.size() > MaxCgiInput) {
            emit sigLog(QStringLiteral("CGI input over %1 bytes; refused").arg(MaxCgiInput), AppLog::Warning);
            error = true;
            break;
        }
        if (NetClient::findClosingTag(m_cgiInput, searchFrom) >= 0)
            break;
    }
    cgiWriteData(error);
}

void XmlMessageProcessor::cgiWriteData(bool error)
{
    const QByteArray body
        = error ? QByteArray(kCgiErrorDocument) : submitFromWeb(QString::fromUtf8(m_cgiInput)).toUtf8();
    // Content-Length counts the bytes of the body, not its characters.
    const QByteArray output = QByteArrayLiteral("Content-Length: ") + QByteArray::number(body.size())
        + QByteArrayLiteral("\nContent-Type: text/xml; charset=UTF-8\n\n") + body + '\n';
    if (m_stdout) {
        m_stdout->write(output);
        m_stdout->close();
    }
    std::exit(0);
}
