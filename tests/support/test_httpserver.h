#ifndef TEST_HTTPSERVER_H
#define TEST_HTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <thread>

// A loopback HTTP server for the update check: answers GET requests from a
// table of paths. A path can also drop the connection without an answer,
// hold it open without ever answering, answer a byte now and then and never
// finish, or send any bytes at any pace. Unknown paths get 404.
class TestHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    enum class Behaviour { Answer, Drop, Hold, Trickle, Raw, Dribble };
    // How the end of a body is told: by its length, by its last chunk, or
    // by the end of the connection.
    enum class Framing { Length, Chunked, UntilClose };

    TestHttpServer();
    // "http://127.0.0.1:<port>", for the update server setting.
    QString baseUrl() const;

    void serve(
        const QString &path, const QByteArray &body, int status = 200, const QByteArray &contentType = "text/plain");
    // The body in that framing, with status 200; with `cutAfter` at 0 or
    // more, the server ends the connection after that many bytes of the
    // body, as a server ends it that fails midway.
    void serve(const QString &path, const QByteArray &body, Framing framing, qint64 cutAfter = -1);
    // The response exactly as given, head and all, then the end of the
    // connection: for answers framed in every way a server may frame them.
    void serveRaw(const QString &path, const QByteArray &response);
    void drop(const QString &path);
    void hold(const QString &path);
    // The head, then one byte of the body every `intervalMs`, for ever.
    void trickle(const QString &path, int intervalMs);
    // `once`, then `repeated` over and over, `perTick` bytes every
    // `intervalMs`; with nothing repeated, the end of the connection after
    // `once`. A head that never ends, interim answers without end, a whole
    // answer slower than any limit.
    void dribble(const QString &path, const QByteArray &once, const QByteArray &repeated, int perTick, int intervalMs);
    // The paths requested so far, in order.
    QStringList requested() const { return m_requested; }

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    struct Entry
    {
        Behaviour behaviour = Behaviour::Answer;
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain";
        int intervalMs = 0;
        Framing framing = Framing::Length;
        qint64 cutAfter = -1;
        QByteArray repeated {}; // Dribble: after `body`
        int perTick = 1;
    };
    void answer(QTcpSocket *socket);

    QHash<QString, Entry> m_entries;
    QStringList m_requested;
    QList<QPointer<QTcpSocket>> m_held;
};

// A loopback HTTP server in a thread of its own, for a body too large to
// hold: GET /MANIFEST answers the manifest given, any other path `bytes`
// bytes made as they go (byteAt()) with their length. It sends as fast as
// the client takes them, whatever the test's own thread is doing, and counts
// what it sent.
class TestHttpStreamer
{
public:
    TestHttpStreamer(const QByteArray &manifest, qint64 bytes);
    ~TestHttpStreamer();
    TestHttpStreamer(const TestHttpStreamer &) = delete;
    TestHttpStreamer &operator=(const TestHttpStreamer &) = delete;

    QString baseUrl() const;
    // The bytes of the large body sent so far.
    qint64 sent() const { return m_sent; }
    static char byteAt(qint64 offset) { return char(offset % 251); }

private:
    void run();
    // Sends everything, unless told to stop; false when the client went.
    bool sendAll(int fd, const char *data, qint64 size, bool counted);

    QByteArray m_manifest;
    qint64 m_bytes;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_sent { 0 };
    std::thread m_thread;
};

#endif
