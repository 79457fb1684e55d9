#ifndef NET_CLIENT_H
#define NET_CLIENT_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

// One accepted connection of the message server. It cuts the byte stream into
// request messages at the closing root tag and sends answers back.
class NetClient : public QObject
{
    Q_OBJECT

public:
    // Bytes that may wait for a closing tag before the connection is dropped.
    static const int MaxBuffered = 1024 * 1024;

    explicit NetClient(qintptr socketDescriptor);
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
    // Cuts every complete message out of the buffer, in order.
    void frameMessages();

    QByteArray m_buffer;
    int m_scanned = 0; // leading bytes of the buffer already searched for a closing tag
    qintptr m_socketDescriptor;
    QTcpSocket *m_socket = nullptr;
    bool m_closing = false;
};

#endif
