#ifndef TEST_MESSAGING_H
#define TEST_MESSAGING_H

#include "test_environment.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpSocket>

// A modules folder for the message tests: a copy of the shipped calculation
// module and a small module "Echo" in the versions 1 and 2, whose functions
// echo(x) answer {NAME: "echo", VALUE: x's value, VERSION: the module's},
// letters() answers the plain array ["a", "b"], count() answers
// {NAME: "count", VALUE: how many calls of count() and work() this copy has
// run}, work(ms) keeps the processor busy for ms's value milliseconds, a
// statement at a time, then answers as count() does, with the NAME "work",
// spin() loops for ever in a loop with nothing in it,
// big(n) answers {NAME: "big", VALUE: n's value many "x"}, rows(table)
// answers {NAME: "rows", VALUE: the table's length, a blank, and the VALUEs
// of its first 1,000 elements joined by commas, "-" for a hole}, shared(n)
// answers an array of n's value many references to one object of 300
// members (made at once, and slow to convert), nested(n) answers n's value
// many objects each in the one before, the innermost {NAME: "nested", VALUE:
// n's value}, itself() answers {NAME: "itself", VALUE: 1, rows: [1, the
// object itself]}, objects(n) answers an array of n's value many {NAME: "o"},
// say(n) prints n's value many "x" to the program's output (a debug message
// of its own) and answers {NAME: "say"}.
class TestMessageModules : public TestModules
{
public:
    TestMessageModules();
};

// Every OUTPUT element of an answer text, as its NAME attribute -> its VALUE attribute.
QMap<QString, QString> testOutputValues(const QString &answer);

// Requests for MainScreen that cost a server the most it lets one request
// cost, each about `bytes` long (a request may take 1 MiB): what an outside
// tester sends to freeze the window. Each has a name for the figures.
struct TestWorstRequest
{
    QString name;
    QByteArray bytes;
};
QList<TestWorstRequest> testWorstRequests(int bytes = 1024 * 1024 - 64);

// The request of the README's example: calculateRo of a protein of
// 50,000 g/mol and vbar 0.73 ml/g on MainScreen.
QByteArray testExampleRequest();
// A test data table of the characters that XML allows nowhere in a
// document, each as a request may carry it in UTF-8: the column "character".
void testForbiddenCharacterRows();
// The example request with the character put in at each place of the message,
// from just after its first "<" to just before its closing root tag (which
// frames it); the column it stands at -> the request.
QMap<int, QByteArray> testRequestsWithCharacter(QChar c);
// The fault a request is refused for with that character at that column of
// line 1, as the warning names it.
QString testCharacterFault(QChar c, int column);
// Of the answers to testRequestsWithCharacter(c), in its order, how many do
// not refuse their request for the character where it stands, then each of
// them with its column; empty when every one refuses.
QString testAnswersNotRefusing(QChar c, const QList<int> &columns, const QStringList &answers);

// The longest queue of connections not yet accepted of the socket listening
// on that TCP port of 127.0.0.1, as the system reports it; -1 when there is none.
int testListenBacklog(quint16 port);
// The longest such queue the system allows.
int testSystemMaxBacklog();

// A loopback client of the message server that collects what it receives
// while the test runs the event loop.
class TestMessageClient : public QObject
{
    Q_OBJECT

public:
    explicit TestMessageClient(quint16 port);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray &bytes);
    // Ends what the client sends (a half-close); it still reads.
    void endInput();
    // Leaves with a reset, as a client does that closes with answers unread.
    void reset();
    // Closes its connection as a program does that exits: what the system
    // holds of its request still goes out, then the end (a reset instead
    // when answer bytes have arrived unread).
    void leave();
    // Waits until `count` answers have arrived; false when they have not
    // within `times` times the patience.
    bool waitForAnswers(int count, int times = 1);
    // Waits with the patience until the server has closed the connection.
    bool waitUntilDisconnected();
    // While held, the client takes nothing from the connection, as a client
    // that never reads; released, it takes everything that waited.
    void holdReading(bool hold);
    // The answers received so far, as UTF-8 text each.
    QStringList answers() const;
    // Every byte received so far.
    QByteArray received() const { return m_received; }
    bool disconnected() const { return m_disconnected; }
    QTcpSocket &socket() { return m_socket; }

private:
    void take(const QByteArray &bytes);

    QTcpSocket m_socket;
    QByteArray m_received;
    int m_complete = 0; // answers whose end tag has arrived
    bool m_disconnected = false;
    bool m_holding = false;
};

#endif
