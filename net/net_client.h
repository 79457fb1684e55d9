#ifndef NET_CLIENT_H
#define NET_CLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class NetClient;
class QTcpSocket;
class QTimer;

// What the connections of one server may hold between them, and what they
// hold now. The server and each of its connections share it, so a connection
// that outlives its server still has something to give its bytes back to.
// The limits may be changed at any time; they apply from the next event on.
struct NetBudget
{
    // A message must be complete this long after the server began to read it
    // (a new connection: after it opened), however it trickles. Time in which
    // the server itself holds back (an answer is being worked out, or its turn
    // has not come) does not count.
    int idleTimeoutMs = 30000;
    // The bytes of unfinished messages of all connections together stay below this.
    qint64 maxHeldBytes = 32 * 1024 * 1024;
    // Connections open together, at most.
    int maxConnections = 1023;
    // Answer bytes a connection has not taken yet above which its next
    // request waits and nothing more is read from it.
    qint64 maxOwedBytes = 4 * 1024 * 1024;
    // Answer bytes that all connections together have not taken yet; above
    // this, a connection that has taken nothing for a while is closed.
    qint64 maxTotalOwedBytes = 32 * 1024 * 1024;
    // How long a connection must have taken nothing before it may be closed
    // for the answers it has not taken.
    int stalledMs = 1000;
    // Request bytes being answered at once (a parsed request weighs about ten
    // times its text): a larger request waits its turn. Small requests pass
    // the queue, within the same amount again of their own.
    qint64 maxRunningRequestBytes = 512 * 1024;

    qint64 heldBytes = 0;
    int connections = 0;
    qint64 owedBytes = 0;
    qint64 runningRequestBytes = 0;

private:
    friend class NetClient;
    QList<NetClient *> m_clients; // every live connection, oldest first
    QList<NetClient *> m_queue; // connections whose large request waits its turn, first come first
    bool m_shedWarned = false; // one warning per run of closings
};

// One accepted connection of the message server. It cuts the byte stream into
// request messages at the closing root tag, hands them out one at a time, and
// sends answers back.
class NetClient : public QObject
{
    Q_OBJECT

public:
    // The most bytes a request message may take, closing tag included.
    static const int MaxBuffered = 1024 * 1024;
    // A request up to this size passes the queue of larger ones.
    static const int SmallRequest = 16 * 1024;

    explicit NetClient(qintptr socketDescriptor, std::shared_ptr<NetBudget> budget = nullptr);
    // The first closing root tag in any letter case at or after `from`; -1 when none.
    static int findClosingTag(const QByteArray &bytes, int from = 0);
    static const int ClosingTagLength = 11;
    ~NetClient() override;

    qintptr socketDescriptor() const { return m_socketDescriptor; }
    // Sends the text as UTF-8; the bytes taken, or -1 without a connection.
    qint64 send(const QString &text);
    qint64 send(const QByteArray &bytes);
    // Ends the connection once what was sent has gone out, then releases
    // itself; reports the disconnection. After a refused request the client
    // is told the end right after the answer and what it still sends is read
    // and dropped, so that the answer is not lost to a reset.
    void close();
    // After each message handed out the client waits until it is told to go
    // on, so that the answers of one connection leave in request order and a
    // client cannot queue up work faster than it is answered.
    void next();

    // When the server is full: closes the connection that is kept open, owes
    // nothing and holds no unfinished message, the one idle longest; false
    // when there is none.
    static bool evictIdle(NetBudget &budget);

signals:
    void sigLog(const QString &message, int logLevel);
    void sigDataReady(const QString &message, qintptr socketDescriptor);
    // A request over MaxBuffered bytes: it is to be answered with an error,
    // then the connection closed.
    void sigOversized(qintptr socketDescriptor);
    void sigDataSent();
    void sigDisconnected(qintptr socketDescriptor);

private:
    void initialize();
    void createConnections();
    void onReadyRead();
    void onBytesWritten();
    void onDisconnected();
    void onIdle();
    // Cuts the next complete message out of the buffer and hands it out when
    // its turn has come; true when nothing more is to be read for now.
    bool frameMessage();
    // Whether a complete message of that many bytes may be handed out now.
    bool admits(qint64 bytes) const;
    // Whether this connection may read a large request now.
    bool mayReadLarge() const;
    // How far the buffer may grow now.
    qint64 readLimit() const;
    bool owesTooMuch() const;
    // Whether the server waits for bytes of this client now.
    bool expecting() const;
    void enqueue();
    void leaveQueue();
    void releaseRequest();
    // Brings the budget's counts in line with the buffer and the socket, and
    // the deadline timer with what the connection is waiting for.
    void account();
    void updateOwed();
    void drop(const QString &why);
    // Ends the connection at once and gives its place back.
    void abortConnection();
    void drain();
    // Closes connections that took nothing for a while until the answers not
    // taken fit the budget again.
    static void shed(const std::shared_ptr<NetBudget> &budget);
    static void wakeQueue(NetBudget &budget);
    static qint64 now();

    QByteArray m_buffer;
    int m_scanned = 0; // leading bytes of the buffer already searched for a closing tag
    qintptr m_socketDescriptor;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_idle = nullptr;
    std::shared_ptr<NetBudget> m_budget;
    qint64 m_held = 0; // what this client counts in the budget
    qint64 m_owed = 0; // unsent answer bytes counted in the budget
    qint64 m_running = 0; // bytes of the request handed out, counted in the budget
    qint64 m_deadlineLeftMs = -1; // of the message being read, while paused; -1: a fresh one
    qint64 m_idleSince = 0; // when anything last happened on the connection
    qint64 m_progressAt = 0; // when the client last took answer bytes, or began to owe
    bool m_counted = true; // holds a place in the budget's connections
    bool m_closing = false;
    bool m_refused = false; // sent a request over the limit
    bool m_waiting = false; // a message was handed out and is not answered yet
    bool m_queued = false;
    bool m_heldBack = false; // its next request waits for the client to take its answers
    bool m_complete = false; // the buffer holds a complete message that waits its turn
    bool m_shutDown = false; // the client has been told the end
    bool m_completedOne = false;
};

#endif
