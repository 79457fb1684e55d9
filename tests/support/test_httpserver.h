#ifndef TEST_HTTPSERVER_H
#define TEST_HTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback HTTP server for the update check: answers GET requests from a
// table of paths. A path can also drop the connection without an answer,
// hold it open without ever answering, or answer a byte now and then and
// never finish. Unknown paths get 404.
class TestHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    enum class Behaviour { Answer, Drop, Hold, Trickle };

    TestHttpServer();
    // "http://127.0.0.1:<port>", for the update server setting.
    QString baseUrl() const;

    void serve(
        const QString &path, const QByteArray &body, int status = 200, const QByteArray &contentType = "text/plain");
    void drop(const QString &path);
    void hold(const QString &path);
    // The head, then one byte of the body every `intervalMs`, for ever.
    void trickle(const QString &path, int intervalMs);
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
    };
    void answer(QTcpSocket *socket);

    QHash<QString, Entry> m_entries;
    QStringList m_requested;
    QList<QPointer<QTcpSocket>> m_held;
};

#endif
