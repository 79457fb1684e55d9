#ifndef XML_MESSAGEPROCESSOR_H
#define XML_MESSAGEPROCESSOR_H

#include "app/app_log.h"
#include <QByteArray>

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class AppPlugin;
class AppPluginManager;
class NetClient;
class QFile;

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

    XmlMessageProcessor(const QString &dbPath, const bool &network, QObject *parent = nullptr);
    // CGI mode: one request from standard input, answered on standard output.
    XmlMessageProcessor(const QString &dbPath, QObject *parent = nullptr);
    ~XmlMessageProcessor() override;

    void loadPlugins(const QString &folder);
    // Exactly that version; a null version picks the greatest.
    AppPlugin *findPlugin(const QString &name, const QString &version);
    // "name,version", or a bare name for the greatest version.
    AppPlugin *findPlugin(QString nameAndVersion);
    QStringList availableModules() const;
    QString modulesSearchPath() const;

    // Reads one request from standard input, writes the answer with a CGI
    // header to standard output and ends the process with code 0.
    [[noreturn]] void cgiExec();

    // What "vornakel.ini" asked for (read when the processor was made).
    quint16 configuredPort() const { return m_port; }
    QHostAddress configuredAddress() const { return m_address; }
    bool resetAfterAnswer() const { return m_reset; }

public slots:
    // The answer text for one request text; never fails.
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
    [[noreturn]] void cgiWriteData(const bool &error);

    // `fromNetwork`: script errors go into the answer only, never into a box
    // on this desktop that would wait for someone to close it.
    QString answer(const QString &xml, bool fromNetwork);
    void readClientData(const QString &xml, qintptr socketDescriptor);
    void clientDisconnected(qintptr socketDescriptor);
    NetClient *clientConnection(qintptr socketDescriptor) const;
    void removeClientConnection(NetClient *client);

    // The request traces cost more to build than the request itself; they are
    // built only when the category would write them.
    bool tracing() const;

    bool m_network;
    QList<NetClient *> m_clients;
    AppPluginManager *m_manager = nullptr;
    bool m_cgi = false;
    QFile *m_stdout = nullptr;
    QByteArray m_cgiInput;
    QString m_databasePath;
    quint16 m_port = DefaultPort;
    bool m_reset = true;
    QHostAddress m_address = QHostAddress(QHostAddress::LocalHost);
};

#endif
