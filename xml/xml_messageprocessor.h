#ifndef XML_MESSAGEPROCESSOR_H
#define XML_MESSAGEPROCESSOR_H

#include "app/app_log.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <memory>

class AppPlugin;
class AppPluginManager;
class NetClient;
class QFile;
class QSocketNotifier;
class QTimer;
class XmlRequestJob;
struct NetBudget;

// The module manager of one main window: it fronts its own plug-in manager,
// answers XML request messages, and, when "vornakel.ini" in the current
// folder asks for it, serves them over TCP. Modules are handed out without
// ownership and never deleted here.
class XmlMessageProcessor : public QTcpServer
{
    Q_OBJECT

public:
    // Request bytes taken from standard input in CGI mode.
    static const int MaxCgiInput = 1024 * 1024;
    static const quint16 DefaultPort = 5201;

    XmlMessageProcessor(const QString &dbPath, bool network, QObject *parent = nullptr);
    // CGI mode: one request from standard input, answered on standard output,
    // on the database file at dbPath. A path that names no file is refused:
    // no module is loaded, nothing is made there, and the answer says why.
    XmlMessageProcessor(const QString &dbPath, QObject *parent = nullptr);
    ~XmlMessageProcessor() override;

    void loadPlugins(const QString &folder);
    // Exactly that version; a null version picks the greatest.
    AppPlugin *findPlugin(const QString &name, const QString &version);
    // "name,version", or a bare name for the greatest version.
    AppPlugin *findPlugin(QString nameAndVersion);
    QStringList availableModules() const;
    QString modulesSearchPath() const;

    // Reads one request from standard input (exactly CONTENT_LENGTH bytes
    // when the environment gives it, else up to the closing root tag), writes
    // the answer with a CGI header to standard output and ends the process
    // with code 0. The entry a CGI host calls; the program never does.
    [[noreturn]] void cgiExec();

    // What "vornakel.ini" asked for (read when the processor was made).
    quint16 configuredPort() const { return m_port; }
    QHostAddress configuredAddress() const { return m_address; }
    bool resetAfterAnswer() const { return m_reset; }

    // What the server's connections may hold between them: the deadline of
    // an unfinished message, the bytes held, the connections open, the
    // answers not taken yet and the requests being answered.
    NetBudget &connectionBudget() { return *m_budget; }

public slots:
    // The answer text for one request text; never fails. Runs every call of
    // the request before it returns.
    QString submitFromWeb(const QString &xml);
    void log(const QString &message);

signals:
    void sigLog(const QString &message, int logLevel);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void initialize();
    void createConnections();
    void networkSetup();
    void cgiSetup();
    // Writes the answer, or with a refusal text the error document that gives it.
    [[noreturn]] void cgiWriteData(const QString &refusal);

    void readClientData(const QByteArray &xml, quint64 clientId);
    // Reads and runs the requests under way for a short while, a slice of a
    // request or one call at a time, each time of the connection served least
    // lately, then lets the event loop serve the sockets and the window
    // before it goes on. A request that came meanwhile is taken up first, so
    // that a light request waits for at most the one call that was running
    // as it came.
    void runCalls();
    void scheduleCalls();
    // Sends the answer of a request whose last call has run.
    void answer(NetClient *client, const XmlRequestJob &job);
    // Answers a request over the size limit with the error, then closes its connection.
    void refuseOversized(quint64 clientId);
    // Takes up the connections waiting in the listening socket's queue, a
    // few at a time, so that a flood of them does not hold the event loop.
    void acceptSome();
    bool refuseConnection(qintptr socketDescriptor);
    void clientDisconnected(quint64 clientId);
    NetClient *clientConnection(quint64 clientId) const;
    void removeClientConnection(NetClient *client);

    bool tracing() const;

    bool m_network;
    QMap<quint64, NetClient *> m_clients; // by connection id, so in the order they were accepted
    AppPluginManager *m_manager = nullptr;
    bool m_cgi = false;
    QFile *m_stdout = nullptr;
    QByteArray m_cgiInput; // the request read, from its first "<" to its closing tag
    QString m_cgiRefusal; // why the CGI mode serves nothing on its database; empty when it may
    QString m_databasePath;
    quint16 m_port = DefaultPort;
    bool m_reset = true;
    QHostAddress m_address = QHostAddress(QHostAddress::LocalHost);
    std::shared_ptr<NetBudget> m_budget;
    // The request each connection waits for, owned; by connection id, so in
    // the order the connections came.
    QMap<quint64, XmlRequestJob *> m_jobs;
    // What the requests of all connections together may write to the program's output.
    AppLog::OutputWindow m_output;
    // Runs the calls on the turns of the event loop, each time after the
    // sockets have had theirs (a timer comes after them).
    QTimer *m_callTimer = nullptr;
    bool m_refusing = false; // said once per run of refused connections
    QSocketNotifier *m_acceptor = nullptr; // on the listening socket, while the server listens
    bool m_waitedWhenFull = false; // the connections had their turn since the server was found full
};

#endif
