#ifndef NET_HTTPGET_H
#define NET_HTTPGET_H

#include "net/net_httpresponse.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QTcpSocket;
class QTimer;

// One HTTP GET of an http:// (or https://) URL, over a connection of its
// own that it closes when done. Its body is whole only when NetHttpResponse says so;
// error() says why it is not. It asks for the body as it is (no content
// coding) and follows no redirect.
//
// It sends finished() once, on a later turn of the event loop than whatever
// ended it, whole or not.
class NetHttpGet : public QObject
{
    Q_OBJECT

public:
    // The request leaves at once.
    explicit NetHttpGet(const QUrl &url, QObject *parent = nullptr);
    ~NetHttpGet() override;

    QUrl url() const { return m_url; }
    // Past this many body bytes (announced or come) the request is given up.
    void setMaxBodyBytes(qint64 bytes) { m_response.setMaxBodyBytes(bytes); }
    // The request is given up once `totalMs` have passed since now and it
    // has not finished, however its bytes trickle, and once nothing at all
    // has arrived for `silenceMs`; why says what had come by then. 0: no limit.
    void setTimeLimits(int totalMs, int silenceMs);
    // The body bytes held and not read yet stay under about this many: the
    // rest waits in the network until they are read. 0: no bound.
    void setReadBufferSize(qint64 bytes);

    // 0 until the head has come.
    int status() const { return m_response.status(); }
    QByteArray header(const QByteArray &name) const { return m_response.header(name); }
    qint64 bytesAvailable() const { return m_response.bodyAvailable(); }
    QByteArray readAll();
    bool isRunning() const { return !m_finished; }
    // Whether abort() ended it.
    bool wasAborted() const { return m_aborted; }
    // Why the body is not whole; empty when it is (or it is still coming).
    QString error() const { return m_response.error(); }

    // Ends the request, which fails with `why`.
    void abort(const QString &why);

signals:
    void readyRead();
    void finished();

private:
    void sendRequest();
    // Reads what the connection holds, as far as the read buffer allows.
    void pump();
    void onError();
    void finish();
    // Why a request that has not finished within `ms` of being sent is given up.
    QString tooSlow(int ms) const;
    // Why one from which nothing has arrived for `ms` is.
    QString silent(int ms) const;

    QUrl m_url;
    QTcpSocket *m_socket = nullptr;
    NetHttpResponse m_response;
    qint64 m_readBuffer = 0;
    bool m_ended = false; // the server closed the connection
    bool m_finished = false;
    bool m_aborted = false;
    bool m_pumpQueued = false;
    bool m_sent = false; // the request has left
    QTimer *m_silence = nullptr; // restarted whenever bytes arrive
};

#endif
