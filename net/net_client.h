#ifndef NET_CLIENT_H
#define NET_CLIENT_H

#include "net/net_framer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class NetClient;
class QSocketNotifier;
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
    // for the answers it has not taken, or give way when the server is full.
    int stalledMs = 1000;
    // The weight of the requests being answered at once (a request weighs its
    // bytes, or NetClient::CallWeight per call when that is more): a heavier
    // request waits its turn, unless none is being answered. Small requests
    // pass the queue, within the same amount again of their own.
    qint64 maxRunningRequestBytes = 512 * 1024;

    // The first bytes of every answer. Unless empty, a connection sends them
    // ahead the moment the server takes up its request or holds it back, and
    // a blank (which an answer may hold between its elements) every
    // probeIntervalMs while the answer is worked on or waits: a client that
    // has closed its connection answers such bytes with a reset, and its
    // place and the bytes it holds are given back at once, not when its turn
    // comes or its last call has run.
    QByteArray answerStart;
    int probeIntervalMs = 250;
    // Why a message whose answer has begun is never complete.
    enum class Unfinished {
        TimedOut, // not complete within idleTimeoutMs
        InputEnded, // cut off by the end of the client's input
        TooMuchHeld, // it would bring the bytes held for unfinished messages to maxHeldBytes
    };
    // The whole answer to such a message (answerStart first), which says why.
    std::function<QByteArray(const NetBudget &budget, Unfinished why)> unfinishedAnswer;

    qint64 heldBytes = 0;
    int connections = 0;
    qint64 owedBytes = 0;
    qint64 runningRequestBytes = 0;

private:
    friend class NetClient;
    QList<NetClient *> m_clients; // every live connection, oldest first
    QList<NetClient *> m_queue; // connections whose request waits its turn, in the order they came
    qint64 m_runningSmallBytes = 0; // of runningRequestBytes, what small requests weigh
    bool m_shedWarned = false; // one warning per run of closings
};

// One accepted connection of the message server. It cuts the byte stream into
// request messages at the closing root tag, hands them out one at a time, and
// sends answers back. It works on the descriptor itself: the end of the
// client's input ends what the client may send, not the answers it is owed.
//
// A connection is in one phase of its life at a time (Phase), and ends one
// way: its descriptor is closed, and then a connection the server has let go
// of (close()) releases itself, while one the server still holds asks to be
// let go (sigDisconnected).
class NetClient : public QObject
{
    Q_OBJECT

public:
    // The most bytes a request message may take, closing tag included.
    static const int MaxBuffered = NetFramer::MaxMessage;
    // A request of at most this many bytes and SmallCalls calls passes the
    // queue of heavier ones.
    static const int SmallRequest = 16 * 1024;
    static const int SmallCalls = 10;
    // What one call weighs in the budget of requests being answered: a call
    // may cost far more time and answer than its few bytes of request.
    static const int CallWeight = 16 * 1024;
    // The blanks one answer may carry, sent while it is worked on or waits
    // (some minutes of them); an answer keeps room for them within its limit.
    static const int MaxProbeBytes = 1024;

    enum class Phase {
        Reading, // reads requests and answers them
        InputEnded, // the client sends nothing more; what it is owed still goes out
        Refused, // it sent a request over the limit, which is answered before it is let go
        Closing, // let go: what was sent goes out, then the client is told the end
        Draining, // told the end: what the client still sends is read and dropped until it closes
        Closed, // the descriptor is closed
    };

    explicit NetClient(qintptr socketDescriptor, std::shared_ptr<NetBudget> budget = nullptr);
    ~NetClient() override;

    // Names the connection in every signal: unlike the descriptor, no later
    // connection of the process has it again.
    quint64 id() const { return m_id; }
    Phase phase() const { return m_phase; }
    // Sends the text as UTF-8; the bytes taken, or -1 without a connection.
    qint64 send(const QString &text);
    qint64 send(const QByteArray &bytes);
    // Sends the answer to the message handed out, or its next part: what of
    // it went out ahead (NetBudget::answerStart) is left out.
    qint64 sendAnswer(const QByteArray &bytes);
    // The server lets the connection go: it ends once what was sent has gone
    // out, then releases itself. The client is told the end after the last
    // answer, and what it still sends is read and dropped, so that the
    // answers are not lost to a reset. Nothing is signalled after this.
    void close();
    // Reads what the client has sent already, as when its socket tells that
    // it has: for a connection just taken up, whose request came with it.
    void readWaiting() { onReadable(); }
    // After each message handed out the client waits until it is told to go
    // on, so that the answers of one connection leave in request order and a
    // client cannot queue up work faster than it is answered.
    void next();
    // Whether the client has gone (its connection was reset or failed); a
    // client found gone is let go at once, with what it waited for.
    bool checkGone();

    // The time spent on this connection's calls lately, in nanoseconds; what
    // was spent a while ago counts less and less.
    double servedLately() const;
    void addServed(qint64 nanoseconds);
    // Whose turn it is among connections that wait: the one served least
    // lately, of equals the first in the list (which is in arrival order).
    // Null for an empty list.
    static NetClient *leastServed(const QList<NetClient *> &clients);

    // When the server is full: closes a connection that is kept open, owes
    // nothing and holds no unfinished message, or one whose client has taken
    // none of its answers for NetBudget::stalledMs, whichever has waited
    // longest; false when there is none.
    static bool makeRoom(NetBudget &budget);

signals:
    void sigLog(const QString &message, int logLevel);
    // A complete request message, as the bytes that came.
    void sigDataReady(const QByteArray &message, quint64 clientId);
    // A request over MaxBuffered bytes: it is to be answered with an error,
    // then the connection closed.
    void sigOversized(quint64 clientId);
    void sigDataSent();
    // The connection is lost, or the client ended its input and has nothing
    // more to be answered: the server is to let it go. Sent at most once, and
    // never after the server let it go.
    void sigDisconnected(quint64 clientId);

private:
    // What the connection does with its request.
    enum class Request {
        None, // nothing complete, or nothing at all
        Queued, // its complete request, or the rest of a large one, waits its turn
        Running, // its request was handed out and is not answered yet
    };

    void initialize();
    void createConnections();
    void onReadable();
    void onWritable();
    void onIdle();
    // The connection reports an error (a reset) whatever it waits for.
    void onFailed();
    // A blank of the answer under way, to see whether the client is still there.
    void onProbe();
    void endAnswer();
    // Sends the answer's first bytes ahead, once per message.
    void beginAnswer();
    // A message whose answer has begun is answered with why it is never
    // complete, and the connection asks to be let go once that is out;
    // false (and nothing done) when its answer has not begun.
    bool answerUnfinished(NetBudget::Unfinished why);
    // Cuts the next complete message out of the buffer and hands it out when
    // its turn has come; true when nothing more is to be read for now.
    bool frameMessage();
    bool reading() const { return m_phase == Phase::Reading || m_phase == Phase::InputEnded; }
    bool complete() const { return m_messageBytes > 0; }
    bool isSmall() const;
    // Whether the complete message in the buffer may be handed out now.
    bool admits() const;
    // Whether this connection may read a large request now.
    bool mayReadLarge() const;
    // How far the buffer may grow now.
    qint64 readLimit() const;
    bool owesTooMuch() const;
    // Whether the server waits for bytes of this client now.
    bool expecting() const;
    bool wantsInput() const;
    void enqueue();
    void leaveQueue();
    void releaseRequest();
    // It reads no more requests: what it holds of an unfinished message, its
    // place in the queue and the weight of its request being answered go.
    void forgetRequests();
    // Brings the budget's counts in line with the buffers, and the deadline
    // timer and the notifiers with what the connection is waiting for.
    void account();
    void updateOwed();
    void writeOut();
    void endOfInput();
    void drop(const QString &why);
    void lost(int error);
    // Every answer is out: the client is told the end.
    void shutDownOutput();
    void drain();
    // The one way a connection ends: what it held is dropped, its descriptor
    // closed and its place given back; then it releases itself when let go,
    // or asks to be let go.
    void end();
    void closeDescriptor();
    // Asks the server to let the connection go, unless it has.
    void askToBeLetGo();
    // Closes connections that took nothing for a while until the answers not
    // taken fit the budget again.
    static void shed(const std::shared_ptr<NetBudget> &budget);
    static void wakeQueue(NetBudget &budget);
    // The waiting connection whose turn it is.
    static NetClient *nextInTurn(const NetBudget &budget);
    static qint64 now();

    quint64 m_id;
    int m_fd; // -1 once closed
    Phase m_phase = Phase::Reading;
    Request m_request = Request::None;
    bool m_letGo = false; // the server let it go (close())
    bool m_asked = false; // it asked the server to let it go
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QSocketNotifier *m_failed = nullptr;
    QTimer *m_idle = nullptr;
    QTimer *m_probe = nullptr;
    std::shared_ptr<NetBudget> m_budget;
    NetFramer m_framer;
    QList<QByteArray> m_out; // answers not yet taken by the system
    int m_outOffset = 0; // of the first of them, already taken
    qint64 m_outBytes = 0;
    qint64 m_held = 0; // what this client counts in the budget
    qint64 m_owed = 0; // unsent answer bytes counted in the budget
    qint64 m_running = 0; // weight of the request handed out, counted in the budget
    bool m_runningSmall = false; // and it was a small one
    qint64 m_weight = 0; // of the complete message in the buffer
    int m_messageBytes = 0; // of the complete message in the buffer; 0 when there is none
    int m_calls = 0; // of the complete message in the buffer
    qint64 m_deadlineLeftMs = -1; // of the message being read, while paused; -1: a fresh one
    qint64 m_idleSince = 0; // when anything last happened on the connection
    qint64 m_progressAt = 0; // when the client last took answer bytes, or began to owe
    double m_served = 0; // nanoseconds, as of m_servedAt
    qint64 m_servedAt = 0;
    bool m_heldBack = false; // its next request waits for the client to take its answers (said once)
    bool m_answeredOne = false; // a message was handed out before
    bool m_answerBegun = false; // the answer's first bytes went out ahead of it, and no more of it yet
    bool m_answering = false; // an answer has begun and is not complete
    int m_probes = 0; // blanks sent in the answer under way
};

#endif
