#ifndef NET_CLIENT_H
#define NET_CLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QTcpSocket;
class QTimer;

// What the connections of one server may hold between them, and what they
// hold now. The server and each of its connections share it, so a connection
// that outlives its server still has something to give its bytes back to.
struct NetBudget
{
    // An unfinished message is given up this long after its last byte (and a
    // new connection this long after it opened, when it has sent nothing whole).
    int idleTimeoutMs = 30000;
    // The bytes of unfinished messages of all connections together stay below this.
    qint64 maxHeldBytes = 32 * 1024 * 1024;
    // Connections open together, at most.
    int maxConnections = 1023;

    qint64 heldBytes = 0;
    int connections = 0;
};

// One accepted connection of the message server. It cuts the byte stream into
// request messages at the closing root tag, hands them out one at a time, and
// sends answers back.
class NetClient : public QObject
{
    Q_OBJECT

public:
    // Bytes that may wait for a closing tag before the connection is dropped.
    static const int MaxBuffered = 1024 * 1024;

    explicit NetClient(qintptr socketDescriptor, std::shared_ptr<NetBudget> budget = nullptr);
    // The first closing root tag in any letter case at or after `from`; -1 when none.
    static int findClosingTag(const QByteArray &bytes, int from = 0);
    static const int ClosingTagLength = 11;
    ~NetClient() override;

    qintptr socketDescriptor() const { return m_socketDescriptor; }
    // Sends the text as UTF-8; the bytes taken, or -1 without a connection.
    qint64 send(const QString &text);
    // Ends the connection once what was sent has gone out, then releases
    // itself; reports the disconnection.
    void close();
    // After each message handed out the client waits until it is told to go
    // on, so that the answers of one connection leave in request order and a
    // client cannot queue up work faster than it is answered.
    void next();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigDataReady(const QString &message, qintptr socketDescriptor);
    void sigDataSent();
    void sigDisconnected(qintptr socketDescriptor);

private:
    void initialize();
    void createConnections();
    void onReadyRead();
    void onDisconnected();
    void onIdle();
    // Cuts the next complete message out of the buffer, when there is one.
    void frameMessage();
    // Brings the budget's count in line with the buffer, and the idle timer
    // with what the connection is waiting for.
    void account();
    void drop(const QString &why);

    QByteArray m_buffer;
    int m_scanned = 0; // leading bytes of the buffer already searched for a closing tag
    qintptr m_socketDescriptor;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_idle = nullptr;
    std::shared_ptr<NetBudget> m_budget;
    qint64 m_held = 0; // what this client counts in the budget
    bool m_closing = false;
    bool m_waiting = false; // a message was handed out and is not answered yet
    bool m_completedOne = false;
};

#endif
