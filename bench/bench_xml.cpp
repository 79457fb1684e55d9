// Requests per second for calculateRo as XML messages: in-process through
// submitFromWeb, over one kept loopback connection, and with a new loopback
// connection per request; then the resident memory over many requests; then
// how long a small request on another connection waits while a request of
// 1,000 calls runs, and how much memory that request takes; then the same two
// while clients send requests of 300 calls and never read their answers: one
// kept connection that pipelines them, and 300 connections with one each;
// then 300 connections that pipeline requests of 45 shape graphs and never
// read, beside a light client, and a small request once they have gone; then
// calls of loops that never end, stopped at their time (a loop of nothing, of
// statements, of steps that cost milliseconds each); then a request of 5
// calls that meet another program's hold on the database, beside a light
// client; then a light client beside 1, 3 and 10 clients of 1,000 calls
// stopped at their time each; then the worst 1 MiB requests an outside tester would send, first alone (the
// longest the window is held in one piece by each), then from four clients at
// once beside a light client, then one of them (a MODULE VERSION of a million
// quotes, which the answer repeats) again and again beside a light client;
// then 16 clients that send a request of 240 KB and close 20 ms after they
// connected, again and again, beside a light client; last, a flood of
// connections that open and close at once beside a light client.
// Prints figures; a missed target fails the run. Usage: bench_xml [requests per run]

#include "app/app_pluginmanager.h"
#include "bench_support.h"
#include "net/net_client.h"
#include "test_database.h"
#include "test_messaging.h"
#include "xml/xml_messageprocessor.h"
#include "xml/xml_requestjob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <numeric>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray kRequest = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/><EXECUTE FUNCTION=\"calculateRo\">"
                            "<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>"
                            "</VORNAKEL>\n";

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The peak of the resident memory over its life, sampled by the event loop.
class PeakMemory
{
public:
    PeakMemory() : m_before(residentMiB()), m_peak(m_before)
    {
        QObject::connect(&m_sampler, &QTimer::timeout, [this]() { m_peak = std::max(m_peak, residentMiB()); });
        m_sampler.start(5);
    }
    double growth()
    {
        m_peak = std::max(m_peak, residentMiB());
        return m_peak - m_before;
    }

private:
    double m_before;
    double m_peak;
    QTimer m_sampler;
};

// The settings file the next message processor reads.
void writeSettings(const QByteArray &ini)
{
    QFile file(QStringLiteral("vornakel.ini"));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(ini);
}

// The median and the slowest of the small requests answered beside something else.
void reportSmallRequests(const QString &beside, const QList<double> &latenciesMs)
{
    if (latenciesMs.isEmpty())
        return;
    const std::vector<double> latencies(latenciesMs.cbegin(), latenciesMs.cend());
    Bench::report(QStringLiteral("small request beside ") + beside, Bench::median(latencies), "ms");
    // Every one of them is to be answered within a second, the slowest too.
    Bench::report(QStringLiteral("slowest small request beside ") + beside,
        *std::max_element(latencies.cbegin(), latencies.cend()), "ms", Bench::atMost(1000));
}

// The server's address, for the plain sockets of the clients below.
sockaddr_in loopback(quint16 port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A loopback connection to the server, or null when none could be made.
QTcpSocket *connectedSocket(quint16 port)
{
    auto *socket = new QTcpSocket;
    socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    if (socket->waitForConnected(5000))
        return socket;
    delete socket;
    return nullptr;
}

// Ends the event loop once every one of `threads` has finished.
void quitOnceFinished(const std::vector<QThread *> &threads)
{
    auto running = std::make_shared<int>(int(threads.size()));
    for (QThread *thread : threads) {
        QObject::connect(thread, &QThread::finished, QCoreApplication::instance(), [running]() {
            if (--*running == 0)
                QCoreApplication::quit();
        });
    }
}

// Blocking loopback client in a thread of its own, so that the processor's
// event loop on the main thread serves it as it would serve another program.
class ClientThread : public QThread
{
public:
    ClientThread(quint16 port, int requests, bool newConnectionEach)
        : m_port(port), m_requests(requests), m_newConnectionEach(newConnectionEach)
    { }
    double perSecond = 0;
    int failures = 0;

protected:
    void run() override
    {
        QTcpSocket *socket = nullptr;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < m_requests; ++i) {
            if (!socket && !(socket = connectedSocket(m_port))) {
                ++failures;
                continue;
            }
            socket->write(kRequest);
            QByteArray answer;
            while (!answer.contains("</VORNAKEL>") && socket->waitForReadyRead(5000))
                answer += socket->readAll();
            if (!answer.contains("qtExperimentResultsRp"))
                ++failures;
            if (m_newConnectionEach) {
                if (socket->state() != QAbstractSocket::UnconnectedState)
                    socket->waitForDisconnected(5000);
                delete socket;
                socket = nullptr;
            }
        }
        perSecond = m_requests / (timer.nsecsElapsed() / 1e9);
        delete socket;
    }

private:
    quint16 m_port;
    int m_requests;
    bool m_newConnectionEach;
};

double overLoopback(const QString &database, const QString &modules, const QByteArray &ini, int requests,
    bool newConnectionEach, int *failures)
{
    writeSettings(ini);
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        ClientThread client(processor.serverPort(), requests, newConnectionEach);
        QObject::connect(&client, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
        client.start();
        QCoreApplication::exec();
        client.wait();
        runs.push_back(client.perSecond);
        *failures += client.failures;
    }
    return Bench::median(runs);
}

// One call of the Results page's A over B graph: 41 graph points, 4 to 7 ms.
const QByteArray kAvsBCall = "<EXECUTE FUNCTION=\"calculationsAvsBHydration\">"
                             "<INPUT NAME=\"Shape\" VALUE=\"qtShapeProlate\"/>"
                             "<INPUT NAME=\"Hydration\" VALUE=\"qtHydrateComputed\"/>"
                             "<INPUT NAME=\"model\" VALUE=\"0\"/><INPUT NAME=\"Mr\" VALUE=\"50000\"/>"
                             "<INPUT NAME=\"HydrationValue\" VALUE=\"0.3\"/><INPUT NAME=\"S20W\" VALUE=\"3e-13\"/>"
                             "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/><INPUT NAME=\"BufferViscosity\" VALUE=\"0.01002\"/>"
                             "<INPUT NAME=\"Sigma\" VALUE=\"1.5\"/><INPUT NAME=\"Mb\" VALUE=\"13500\"/>"
                             "<INPUT NAME=\"T\" VALUE=\"20\"/><INPUT NAME=\"RPM\" VALUE=\"20000\"/>"
                             "<INPUT NAME=\"EquilibriumTemp\" VALUE=\"20\"/></EXECUTE>";
const QByteArray kRoCall = "<EXECUTE FUNCTION=\"calculateRo\"><INPUT NAME=\"Mr\" VALUE=\"50000\"/>"
                           "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>";

QByteArray thousandCalls(const QByteArray &call)
{
    return "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>" + call.repeated(1000) + "</VORNAKEL>\n";
}

// Sends one long request on a connection of its own and waits for its answer.
class LongRequestThread : public QThread
{
public:
    LongRequestThread(quint16 port, const QByteArray &request) : m_port(port), m_request(request) { }
    std::atomic<bool> sent { false };
    std::atomic<bool> answered { false };
    double seconds = 0;
    int outputs = 0;
    bool refused = false; // answered with the error in place of the results
    int runBeforeRefusal = 0; // calls run until the answer passed its limit
    int answerBytes = 0;
    QByteArray answer;

protected:
    void run() override
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        if (!socket.waitForConnected(5000)) {
            answered = true;
            return;
        }
        QElapsedTimer timer;
        timer.start();
        socket.write(m_request);
        socket.waitForBytesWritten(5000);
        sent = true;
        while (!answer.contains("</VORNAKEL>") && socket.waitForReadyRead(60000))
            answer += socket.readAll();
        seconds = timer.nsecsElapsed() / 1e9;
        answerBytes = answer.size();
        outputs = answer.count("<OUTPUT") + answer.count("<OBJECT") + answer.count("<ARRAY");
        refused = answer.contains("ScriptError");
        const int after = answer.indexOf("dropped after ");
        if (after >= 0)
            runBeforeRefusal = answer.mid(after + 14).split(' ').value(0).toInt();
        answered = true;
    }

private:
    quint16 m_port;
    QByteArray m_request;
};

// Clients that load the server from when they have started until told to
// stop, beside a light client.
class LoadThread : public QThread
{
public:
    explicit LoadThread(quint16 port) : m_port(port) { }
    std::atomic<bool> started { false };
    std::atomic<bool> stop { false };

protected:
    quint16 m_port;
};

// Small requests, each on a new connection, from when `begun` says so until
// `ended` does, `pauseMs` apart.
class ShortRequestThread : public QThread
{
public:
    ShortRequestThread(quint16 port, std::function<bool()> begun, std::function<bool()> ended, int pauseMs = 20)
        : m_port(port), m_begun(std::move(begun)), m_ended(std::move(ended)), m_pauseMs(pauseMs)
    { }
    ShortRequestThread(quint16 port, const LongRequestThread &longer)
        : ShortRequestThread(
            port, [&longer]() { return bool(longer.sent); }, [&longer]() { return bool(longer.answered); })
    { }
    // Beside `load`, from when it has started until `over`.
    ShortRequestThread(quint16 port, const LoadThread &load, const std::atomic<bool> &over, int pauseMs = 20)
        : ShortRequestThread(
            port, [&load]() { return bool(load.started); }, [&over]() { return bool(over); }, pauseMs)
    { }
    QList<double> latenciesMs;
    int failures = 0;

protected:
    void run() override
    {
        while (!m_begun())
            QThread::msleep(1);
        while (!m_ended()) {
            QElapsedTimer timer;
            timer.start();
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            QByteArray answer;
            if (socket.waitForConnected(5000)) {
                socket.write(kRequest);
                while (!answer.contains("</VORNAKEL>") && socket.waitForReadyRead(60000))
                    answer += socket.readAll();
            }
            if (!answer.contains("qtExperimentResultsRp"))
                ++failures;
            else if (!m_ended())
                latenciesMs << timer.nsecsElapsed() / 1e6;
            QThread::msleep(m_pauseMs);
        }
    }

private:
    quint16 m_port;
    std::function<bool()> m_begun;
    std::function<bool()> m_ended;
    int m_pauseMs;
};

// Five small requests one after the other on new connections, on a server
// left to itself; the slowest of them against `target` ms, or a miss when
// none was answered.
void reportFiveSmallRequests(quint16 port, const QString &what, double target)
{
    ShortRequestThread probe(
        port, []() { return true; }, [&probe]() { return probe.latenciesMs.size() + probe.failures >= 5; }, 0);
    QObject::connect(&probe, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
    probe.start();
    QCoreApplication::exec();
    probe.wait();
    if (!probe.latenciesMs.isEmpty())
        Bench::report(
            what, *std::max_element(probe.latenciesMs.cbegin(), probe.latenciesMs.cend()), "ms", Bench::atMost(target));
    else
        Bench::missed(what + QStringLiteral(": none answered"));
}

// The share of a light client's requests answered within a second, failures counted as not.
double percentWithinASecond(const ShortRequestThread &light)
{
    const int inTime = int(
        std::count_if(light.latenciesMs.cbegin(), light.latenciesMs.cend(), [](double ms) { return ms <= 1000; }));
    return 100.0 * inTime / qMax(1, light.latenciesMs.size() + light.failures);
}

// The median of a light client's requests beside something else, and the
// share of them answered within a second (at least 95 %).
void reportLightClient(const QString &beside, const ShortRequestThread &light)
{
    if (!light.latenciesMs.isEmpty()) {
        const std::vector<double> latencies(light.latenciesMs.cbegin(), light.latenciesMs.cend());
        Bench::report(QStringLiteral("small request beside ") + beside, Bench::median(latencies), "ms");
    }
    Bench::report(QStringLiteral("light requests within 1 s beside ") + beside, percentWithinASecond(light), "%",
        Bench::atLeast(95));
}

// Clients that send and never read: `connections` loopback connections, each
// sending `request` once or, pipelined, again and again, until told to stop.
// Plain sockets that never block, so that nothing of theirs waits in this
// process: what grows is the server's.
class SilentClientsThread : public LoadThread
{
public:
    SilentClientsThread(quint16 port, int connections, const QByteArray &request, bool pipelined)
        : LoadThread(port), m_connections(connections), m_request(request), m_pipelined(pipelined)
    { }
    std::atomic<int> requestsSent { 0 };
    std::atomic<int> connected { 0 };

protected:
    void run() override
    {
        struct Client
        {
            int fd = -1;
            qint64 offset = 0; // of the request being sent
            bool done = false;
        };
        std::vector<Client> clients;
        const sockaddr_in address = loopback(m_port);
        for (int i = 0; i < m_connections && !stop; ++i) {
            Client client;
            client.fd = ::socket(AF_INET, SOCK_STREAM, 0);
            if (client.fd < 0
                || ::connect(client.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
                if (client.fd >= 0)
                    ::close(client.fd);
                continue;
            }
            ::fcntl(client.fd, F_SETFL, ::fcntl(client.fd, F_GETFL) | O_NONBLOCK);
            clients.push_back(client);
            ++connected;
        }
        started = true;
        while (!stop) {
            std::vector<pollfd> wanted;
            for (const Client &client : clients) {
                if (!client.done)
                    wanted.push_back(pollfd { client.fd, POLLOUT, 0 });
            }
            if (wanted.empty()) {
                QThread::msleep(20);
                continue;
            }
            ::poll(wanted.data(), nfds_t(wanted.size()), 50);
            for (Client &client : clients) {
                if (client.done)
                    continue;
                const ssize_t n = ::send(client.fd, m_request.constData() + client.offset,
                    size_t(m_request.size() - client.offset), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                    client.done = true; // closed by the server
                    continue;
                }
                if (n <= 0)
                    continue;
                client.offset += n;
                if (client.offset == m_request.size()) {
                    ++requestsSent;
                    client.offset = 0;
                    client.done = !m_pipelined;
                }
            }
        }
        for (const Client &client : clients)
            ::close(client.fd);
    }

private:
    int m_connections;
    QByteArray m_request;
    bool m_pipelined;
};

void whileALongRequestRuns(const QString &database, const QString &modules, const char *label, const QByteArray &call)
{
    writeSettings("PORT:0\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    // The window's event loop: it also samples the memory between the calls.
    PeakMemory memory;
    LongRequestThread longer(processor.serverPort(), thousandCalls(call));
    ShortRequestThread shorter(processor.serverPort(), longer);
    // Both have to finish: a small request still under way needs the event loop.
    quitOnceFinished({ &longer, &shorter });
    shorter.start();
    longer.start();
    QCoreApplication::exec();
    longer.wait();
    shorter.wait();
    const QString request = QStringLiteral("1,000 x %1").arg(QLatin1String(label));
    Bench::note(QStringLiteral("%1 in one request: answered in %2 s, %3 bytes, %4; %5 small requests meanwhile on new "
                               "connections, %6 failed")
                    .arg(request)
                    .arg(longer.seconds, 0, 'f', 2)
                    .arg(longer.answerBytes)
                    .arg(longer.refused ? QStringLiteral("over 4 MiB after %1 calls: the error answer in place of "
                                                         "the results")
                                              .arg(longer.runBeforeRefusal)
                                        : QStringLiteral("%1 results").arg(longer.outputs))
                    .arg(shorter.latenciesMs.size())
                    .arg(shorter.failures));
    reportSmallRequests(request, shorter.latenciesMs);
    Bench::report(QStringLiteral("memory growth over ") + request, memory.growth(), "MiB", Bench::atMost(300));
}

QByteArray threeHundredCalls(const QByteArray &call)
{
    return "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>" + call.repeated(300) + "</VORNAKEL>\n";
}

// Clients that never read their answers, for `seconds`, while small requests
// on new connections are timed; the resident memory sampled meanwhile.
void whileClientsDoNotRead(const QString &database, const QString &modules, const QString &label, const QByteArray &ini,
    int connections, bool pipelined, int seconds, double memoryTarget)
{
    writeSettings(ini);
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    PeakMemory memory;
    SilentClientsThread silent(processor.serverPort(), connections, threeHundredCalls(kAvsBCall), pipelined);
    std::atomic<bool> over { false };
    ShortRequestThread shorter(processor.serverPort(), silent, over);
    QElapsedTimer clock;
    // The server runs in this thread: the clients are stopped without blocking it.
    // What the server holds when the time is up, while the clients are still there.
    NetBudget held;
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over, &held, &processor]() {
        held = processor.connectionBudget();
        over = true;
    });
    QObject::connect(&shorter, &QThread::finished, QCoreApplication::instance(), [&silent]() { silent.stop = true; });
    QObject::connect(&silent, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
    int sentAnswers = 0;
    QObject::connect(&processor, &XmlMessageProcessor::sigLog, [&sentAnswers](const QString &message) {
        // The small requests' answers are a few hundred bytes.
        if (message.startsWith(QLatin1String("Sent ")) && message.section(QLatin1Char(' '), 1, 1).toLongLong() > 100000)
            ++sentAnswers;
    });
    clock.start();
    silent.start();
    shorter.start();
    QCoreApplication::exec();
    shorter.wait();
    silent.wait();
    Bench::note(
        QStringLiteral("%1: %2 s, %3 connections made, %4 requests of 300 x calculationsAvsBHydration sent, "
                       "%5 of their answers sent; at the end the server held %6 connections, %7 bytes of answers not "
                       "taken, %8 bytes of requests being answered; %9 small requests meanwhile on new "
                       "connections, %10 failed")
            .arg(label)
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
            .arg(int(silent.connected))
            .arg(int(silent.requestsSent))
            .arg(sentAnswers)
            .arg(held.connections)
            .arg(held.owedBytes)
            .arg(held.runningRequestBytes)
            .arg(shorter.latenciesMs.size())
            .arg(shorter.failures));
    reportSmallRequests(label, shorter.latenciesMs);
    Bench::report(QStringLiteral("memory growth, ") + label, memory.growth(), "MiB", Bench::atMost(memoryTarget));
}

// One call of the Results page's shape graph: 488 graph points, about 55 KB
// of answer from 358 bytes of request.
const QByteArray kShapeCall = "<EXECUTE FUNCTION=\"graphShape\"><INPUT NAME=\"Shape\" VALUE=\"qtShapeProlate\"/>"
                              "<INPUT NAME=\"model\" VALUE=\"0\"/><INPUT NAME=\"tamax\" VALUE=\"25\"/>"
                              "<INPUT NAME=\"tbmin\" VALUE=\"3.2\"/><INPUT NAME=\"vamax\" VALUE=\"24.5\"/>"
                              "<INPUT NAME=\"vbmin\" VALUE=\"3.2\"/><INPUT NAME=\"hDelta\" VALUE=\"0.35\"/>"
                              "<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"EquilibriumTemp\" VALUE=\"20\"/>"
                              "</EXECUTE>";

// 300 connections pipelining requests of 45 shape graphs (under 16 KiB each,
// a quarter of a second of work and 2.5 MB of answer) for a minute, never
// reading, while a light client sends one small request a second on a new
// connection; then, 10 s after the 300 have gone, a few small requests.
void whileHeavyClientsPipeline(const QString &database, const QString &modules)
{
    const int connections = 300;
    const int seconds = 60;
    const QByteArray request
        = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>\n" + kShapeCall.repeated(45) + "</VORNAKEL>\n";
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    const qint64 answerBytes = processor.submitFromWeb(QString::fromUtf8(request)).toUtf8().size();
    PeakMemory memory;
    SilentClientsThread heavy(processor.serverPort(), connections, request, true);
    std::atomic<bool> over { false };
    ShortRequestThread light(processor.serverPort(), heavy, over, 1000);
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over]() { over = true; });
    QObject::connect(&light, &QThread::finished, QCoreApplication::instance(), [&heavy]() { heavy.stop = true; });
    QObject::connect(&heavy, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
    int sentAnswers = 0;
    QObject::connect(&processor, &XmlMessageProcessor::sigLog, [&sentAnswers](const QString &message) {
        if (message.startsWith(QLatin1String("Sent ")) && message.section(QLatin1Char(' '), 1, 1).toLongLong() > 100000)
            ++sentAnswers;
    });
    heavy.start();
    light.start();
    QCoreApplication::exec();
    light.wait();
    heavy.wait();
    const double growth = memory.growth();

    // The server goes on with the event loop while the 300 are gone.
    QTimer::singleShot(10000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    const NetBudget after = processor.connectionBudget();

    const int answered = light.latenciesMs.size();
    const QString label = QStringLiteral("300 connections pipelining 45 x graphShape, unread");
    Bench::note(QStringLiteral("%1: %2 requests of %3 bytes sent (answers of %4 bytes), %5 of their answers sent; "
                               "%6 light requests, %7 failed; 10 s after the 300 had gone the server held %8 "
                               "connections, %9 bytes of answers not taken, %10 bytes of requests being answered")
                    .arg(label)
                    .arg(int(heavy.requestsSent))
                    .arg(request.size())
                    .arg(answerBytes)
                    .arg(sentAnswers)
                    .arg(answered + light.failures)
                    .arg(light.failures)
                    .arg(after.connections)
                    .arg(after.owedBytes)
                    .arg(after.runningRequestBytes));
    reportSmallRequests(label, light.latenciesMs);
    Bench::report(QStringLiteral("light requests within 1 s beside ") + label, percentWithinASecond(light), "%",
        Bench::atLeast(95));
    Bench::report(QStringLiteral("memory growth, ") + label, growth, "MiB", Bench::atMost(150));
    reportFiveSmallRequests(processor.serverPort(), QStringLiteral("small request 10 s after the 300 have gone"), 100);
}

// Each worst request answered alone, as the server works through it: the
// longest step it holds the window in one piece, and the time of all its steps.
void worstRequestsAlone(const QString &database, const QString &modules)
{
    AppPluginManager manager(database);
    manager.loadPlugins(modules);
    for (const TestWorstRequest &request : testWorstRequests()) {
        std::vector<double> longest;
        std::vector<double> total;
        QByteArray answer;
        int steps = 0;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer whole;
            whole.start();
            XmlRequestJob job(request.bytes, &manager, true, [](const QString &, int) {});
            double most = whole.nsecsElapsed() / 1e6;
            steps = 0;
            for (bool more = true; more; ++steps) {
                QElapsedTimer step;
                step.start();
                more = job.step();
                most = std::max(most, step.nsecsElapsed() / 1e6);
            }
            longest.push_back(most);
            total.push_back(whole.nsecsElapsed() / 1e6);
            answer = job.answerBytes();
        }
        const QString outcome = answer.contains("ScriptError")
            ? QStringLiteral("refused: ")
                + testOutputValues(QString::fromUtf8(answer)).value(QStringLiteral("ScriptError")).left(90)
            : QStringLiteral("%1 outputs").arg(answer.count("<OUTPUT"));
        Bench::note(QStringLiteral("%1 (%2 bytes): %3 steps, %4 ms in all; %5")
                        .arg(request.name)
                        .arg(request.bytes.size())
                        .arg(steps)
                        .arg(Bench::median(total), 0, 'f', 1)
                        .arg(outcome));
        // No step may hold the window longer than a light client is to wait, at the median.
        Bench::report(
            QStringLiteral("longest step of ") + request.name, Bench::median(longest), "ms", Bench::atMost(100));
    }
}

// Sends worst requests on a kept connection of its own, one after the other
// as each is answered, cycling through them from `first` on, until told to stop.
class WorstClientThread : public LoadThread
{
public:
    WorstClientThread(quint16 port, const QList<TestWorstRequest> &requests, int first)
        : LoadThread(port), m_requests(requests), m_next(first)
    { }
    int answered = 0;
    int failures = 0;

protected:
    void run() override
    {
        QTcpSocket *socket = nullptr;
        started = true;
        while (!stop) {
            if (!socket && !(socket = connectedSocket(m_port))) {
                ++failures;
                QThread::msleep(10);
                continue;
            }
            socket->write(m_requests.at(m_next++ % m_requests.size()).bytes);
            QByteArray answer;
            while (!stop && !answer.contains("</VORNAKEL>") && socket->state() == QAbstractSocket::ConnectedState) {
                socket->waitForReadyRead(100);
                answer += socket->readAll();
            }
            if (answer.contains("</VORNAKEL>"))
                ++answered;
            else if (!stop)
                ++failures;
            if (socket->state() != QAbstractSocket::ConnectedState) {
                delete socket;
                socket = nullptr;
            }
        }
        delete socket;
    }

private:
    QList<TestWorstRequest> m_requests;
    int m_next;
};

// Clients sending `requests` on kept connections, one after the other, each
// cycling through them, beside a light client that sends a small request
// every 20 ms on a new connection.
void whileRequestsArrive(const QString &database, const QString &modules, const QString &label,
    const QList<TestWorstRequest> &requests, int clients, int seconds)
{
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    PeakMemory memory;
    std::vector<std::unique_ptr<WorstClientThread>> heavy;
    for (int i = 0; i < clients; ++i)
        heavy.push_back(std::make_unique<WorstClientThread>(processor.serverPort(), requests, i * 2));
    std::atomic<bool> over { false };
    ShortRequestThread light(processor.serverPort(), *heavy.back(), over);
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over]() { over = true; });
    QObject::connect(&light, &QThread::finished, QCoreApplication::instance(), [&heavy]() {
        for (auto &client : heavy)
            client->stop = true;
    });
    std::vector<QThread *> threads;
    for (auto &client : heavy)
        threads.push_back(client.get());
    quitOnceFinished(threads);
    for (auto &client : heavy)
        client->start();
    light.start();
    QCoreApplication::exec();
    light.wait();
    int answered = 0;
    int failures = 0;
    for (auto &client : heavy) {
        client->wait();
        answered += client->answered;
        failures += client->failures;
    }
    Bench::note(QStringLiteral("%1: %2 s, %3 of them answered, %4 failed; %5 small requests meanwhile on new "
                               "connections, %6 failed")
                    .arg(label)
                    .arg(seconds)
                    .arg(answered)
                    .arg(failures)
                    .arg(light.latenciesMs.size())
                    .arg(light.failures));
    if (!light.latenciesMs.isEmpty()) {
        const std::vector<double> latencies(light.latenciesMs.cbegin(), light.latenciesMs.cend());
        Bench::report(
            QStringLiteral("small request beside ") + label, Bench::median(latencies), "ms", Bench::atMost(100));
        Bench::report(QStringLiteral("slowest small request beside ") + label,
            *std::max_element(latencies.cbegin(), latencies.cend()), "ms", Bench::atMost(1000));
    } else {
        Bench::missed(QStringLiteral("small requests beside %1: none answered").arg(label));
    }
    if (answered == 0)
        Bench::missed(QStringLiteral("%1: none of them answered").arg(label));
    Bench::report(QStringLiteral("memory growth, ") + label, memory.growth(), "MiB", Bench::atMost(300));
}

// Clients that each connect, send `request` as fast as the server takes it,
// and close 20 ms after they connected, `clients` at a time, again and again
// until told to stop. Plain sockets that never block.
class ClosingClientsThread : public LoadThread
{
public:
    ClosingClientsThread(quint16 port, int clients, const QByteArray &request)
        : LoadThread(port), m_clients(clients), m_request(request)
    { }
    std::atomic<int> connections { 0 };

protected:
    void run() override
    {
        struct Client
        {
            int fd = -1;
            qint64 offset = 0;
            QElapsedTimer opened;
        };
        std::vector<Client> clients(static_cast<size_t>(m_clients));
        const sockaddr_in address = loopback(m_port);
        started = true;
        while (!stop) {
            for (Client &client : clients) {
                if (client.fd >= 0 && client.opened.elapsed() >= 20) {
                    ::close(client.fd);
                    client.fd = -1;
                }
                if (client.fd < 0) {
                    client.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
                    ::connect(client.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
                    client.offset = 0;
                    client.opened.start();
                    ++connections;
                }
                if (client.offset < m_request.size()) {
                    const ssize_t n = ::send(client.fd, m_request.constData() + client.offset,
                        size_t(m_request.size() - client.offset), MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (n > 0)
                        client.offset += n;
                }
            }
            QThread::msleep(1);
        }
        for (const Client &client : clients)
            ::close(client.fd);
    }

private:
    int m_clients;
    QByteArray m_request;
};

// 16 clients that send a request of 240 KB and close 20 ms after they
// connected, again and again for `seconds`, beside a light client that sends
// a small request every 20 ms on a new connection; then, once they have gone,
// a few small requests.
void whileClientsCloseAtOnce(const QString &database, const QString &modules, int seconds)
{
    const QByteArray request = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>\n"
        + kAvsBCall.repeated(240 * 1024 / kAvsBCall.size()) + "</VORNAKEL>\n";
    writeSettings("PORT:0\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    int full = 0;
    QObject::connect(&processor, &XmlMessageProcessor::sigLog, [&full](const QString &message) {
        if (message.startsWith(QLatin1String("Message server full")))
            ++full;
    });
    PeakMemory memory;
    ClosingClientsThread closing(processor.serverPort(), 16, request);
    std::atomic<bool> over { false };
    ShortRequestThread light(processor.serverPort(), closing, over);
    NetBudget held;
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over, &held, &processor]() {
        held = processor.connectionBudget();
        over = true;
    });
    QObject::connect(&light, &QThread::finished, QCoreApplication::instance(), [&closing]() { closing.stop = true; });
    QObject::connect(&closing, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
    closing.start();
    light.start();
    QCoreApplication::exec();
    light.wait();
    closing.wait();
    const double growth = memory.growth();

    const int answered = light.latenciesMs.size();
    const QString label = QStringLiteral("16 clients sending 240 KB and closing after 20 ms");
    Bench::note(QStringLiteral("%1: %2 s, %3 connections made; %4 light requests, %5 failed; \"Message server full\" "
                               "logged %6 times; at the end the server held %7 connections and %8 bytes of "
                               "unfinished messages")
                    .arg(label)
                    .arg(seconds)
                    .arg(int(closing.connections))
                    .arg(answered + light.failures)
                    .arg(light.failures)
                    .arg(full)
                    .arg(held.connections)
                    .arg(held.heldBytes));
    reportLightClient(label, light);
    Bench::report(QStringLiteral("memory growth, ") + label, growth, "MiB", Bench::atMost(150));
    // Right after they have gone, the server answers at once.
    reportFiveSmallRequests(processor.serverPort(), QStringLiteral("small request once the 16 have gone"), 100);
}

// Connections that open and close at once without sending anything, as fast
// as the system completes them, up to `inFlight` at a time, again and again
// until told to stop. Plain sockets that never block; one whose connection
// is not complete within 200 ms is given up and another made.
class ConnectFloodThread : public LoadThread
{
public:
    ConnectFloodThread(quint16 port, int inFlight) : LoadThread(port), m_inFlight(inFlight) { }
    std::atomic<int> connections { 0 };
    std::atomic<int> givenUp { 0 };

protected:
    void run() override
    {
        struct Attempt
        {
            int fd;
            QElapsedTimer since;
        };
        std::vector<Attempt> attempts;
        const sockaddr_in address = loopback(m_port);
        started = true;
        while (!stop) {
            while (int(attempts.size()) < m_inFlight) {
                Attempt attempt { ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), QElapsedTimer() };
                if (attempt.fd < 0)
                    break;
                attempt.since.start();
                ::connect(attempt.fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
                attempts.push_back(attempt);
            }
            std::vector<pollfd> waiting;
            for (const Attempt &attempt : attempts)
                waiting.push_back(pollfd { attempt.fd, POLLOUT, 0 });
            ::poll(waiting.data(), nfds_t(waiting.size()), 5);
            std::vector<Attempt> still;
            for (size_t i = 0; i < attempts.size(); ++i) {
                const bool done = waiting[i].revents != 0;
                if (done || attempts[i].since.elapsed() >= 200) {
                    ::close(attempts[i].fd);
                    if (done)
                        ++connections;
                    else
                        ++givenUp;
                } else {
                    still.push_back(attempts[i]);
                }
            }
            attempts.swap(still);
        }
        for (const Attempt &attempt : attempts)
            ::close(attempt.fd);
    }

private:
    int m_inFlight;
};

// A flood of connections that open and close at once, for `seconds`, while
// a client keeps the server busy with requests of 1,000 A over B graphs, one
// after the other, beside a light client that sends a small request every
// 20 ms on a new connection: while a call runs, the connections the light
// client opens must find room in the queue of those not yet taken up, or the
// system drops them and tries again a second later.
void whileConnectionsFlood(const QString &database, const QString &modules, int seconds, int inFlight = 512)
{
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    int full = 0;
    QObject::connect(&processor, &XmlMessageProcessor::sigLog, [&full](const QString &message) {
        if (message.startsWith(QLatin1String("Message server full")))
            ++full;
    });
    WorstClientThread busy(processor.serverPort(),
        { TestWorstRequest { QStringLiteral("1,000 x calculationsAvsBHydration"), thousandCalls(kAvsBCall) } }, 0);
    ConnectFloodThread flood(processor.serverPort(), inFlight);
    std::atomic<bool> over { false };
    ShortRequestThread light(processor.serverPort(), flood, over);
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over]() { over = true; });
    QObject::connect(&light, &QThread::finished, QCoreApplication::instance(), [&flood, &busy]() {
        flood.stop = true;
        busy.stop = true;
    });
    quitOnceFinished({ &flood, &busy });
    busy.start();
    flood.start();
    light.start();
    QCoreApplication::exec();
    light.wait();
    flood.wait();
    busy.wait();

    const QString label = QStringLiteral("a flood of connections that open and close at once");
    Bench::note(QStringLiteral("%1: %2 s, %3 connections made and closed, %4 given up unconnected after 200 ms; %5 "
                               "requests of 1,000 graphs answered meanwhile; %6 light requests, %7 failed; \"Message "
                               "server full\" logged %8 times")
                    .arg(label)
                    .arg(seconds)
                    .arg(int(flood.connections))
                    .arg(int(flood.givenUp))
                    .arg(busy.answered)
                    .arg(light.latenciesMs.size() + light.failures)
                    .arg(light.failures)
                    .arg(full));
    reportLightClient(label, light);
}

// Ten requests in a row on one kept connection, each one call of a loop that
// never ends: the time of each, from its request to its answer, on the
// server's processor and on the clock.
class StoppedLoopsThread : public QThread
{
public:
    StoppedLoopsThread(quint16 port, pthread_t server, const QByteArray &request)
        : m_port(port), m_server(server), m_request(request)
    { }
    std::vector<double> processorMs;
    std::vector<double> answeredMs;
    int failures = 0;

protected:
    void run() override
    {
        clockid_t serverClock {};
        pthread_getcpuclockid(m_server, &serverClock);
        std::unique_ptr<QTcpSocket> socket(connectedSocket(m_port));
        for (int i = 0; socket && i < 10; ++i) {
            QElapsedTimer timer;
            timer.start();
            const double before = Bench::cpuMs(serverClock);
            socket->write(m_request);
            QByteArray answer;
            while (!answer.contains("</VORNAKEL>") && socket->waitForReadyRead(60000))
                answer += socket->readAll();
            if (!answer.contains("and was stopped.")) {
                ++failures;
                continue;
            }
            processorMs.push_back(Bench::cpuMs(serverClock) - before);
            answeredMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        if (!socket)
            ++failures;
    }

private:
    quint16 m_port;
    pthread_t m_server;
    QByteArray m_request;
};

// A step of the loop of costly steps below: one native operation of a few
// milliseconds, a string of 20,000 letters joined.
const char *const kCostlyStep = "new Array(20000).join('x');";

// The module "Loops" of functions that loop for ever, beside the others, and
// one that takes one step of the loop of costly steps; false when it could
// not be written.
bool writeLoopsModule(const QString &modules)
{
    QFile file(QDir(modules).filePath(QStringLiteral("loops_main.js")));
    const QString body = QStringLiteral("function empty() { for (;;) {} }\n"
                                        "function statements() { var x = 0; while (true) { x++; } }\n"
                                        "function costly() { for (;;) { %1 } }\n"
                                        "function costlyStep() { %1 return {NAME: 'step'}; }\n")
                             .arg(QLatin1String(kCostlyStep));
    return file.open(QIODevice::WriteOnly) && file.write(TestModules::text("Loops", "1", body).toUtf8()) >= 0;
}

void removeLoopsModule(const QString &modules)
{
    QFile::remove(QDir(modules).filePath(QStringLiteral("loops_main.js")));
}

QByteArray loopsRequest(const QByteArray &function, int calls = 1)
{
    return "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"Loops\"/>"
        + QByteArray("<EXECUTE FUNCTION=\"" + function + "\"/>").repeated(calls) + "</VORNAKEL>\n";
}

// A module's function that loops for ever, called ten times in a row from
// another program: each call is stopped at its time (50 ms of the
// processor's), the tenth as the first, whatever its loop holds: nothing,
// statements, or steps that each cost milliseconds.
void stoppedLoops(const QString &database, const QString &modules)
{
    if (!writeLoopsModule(modules)) {
        Bench::missed(QStringLiteral("stopped loops: the module could not be written"));
        return;
    }
    const QList<QPair<QString, QString>> loops { { QStringLiteral("empty"), QStringLiteral("for (;;) {}") },
        { QStringLiteral("statements"), QStringLiteral("while (true) { x++; }") },
        { QStringLiteral("costly"), QStringLiteral("for (;;) { %1 }").arg(QLatin1String(kCostlyStep)) } };
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    // What one costly step takes of the processor, as a window's call takes it.
    std::vector<double> stepMs;
    for (int i = 0; i < 20; ++i) {
        const double before = Bench::cpuMs();
        processor.submitFromWeb(QString::fromLatin1(loopsRequest("costlyStep")));
        stepMs.push_back(Bench::cpuMs() - before);
    }
    const double step = Bench::median(stepMs);
    Bench::note(QStringLiteral("one step of the costly loop: %1 ms of the processor").arg(step, 0, 'f', 2));
    for (const auto &loop : loops) {
        StoppedLoopsThread client(processor.serverPort(), pthread_self(), loopsRequest(loop.first.toLatin1()));
        QObject::connect(&client, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
        client.start();
        QCoreApplication::exec();
        client.wait();
        const QString what = QStringLiteral("stopped %1, slowest of 10 in a row").arg(loop.second);
        if (client.failures > 0 || client.processorMs.empty()) {
            Bench::missed(QStringLiteral("%1: %2 of 10 not answered as stopped").arg(what).arg(client.failures));
            continue;
        }
        Bench::note(QStringLiteral("%1: the server's processor time per call, ms: %2")
                        .arg(loop.second,
                            std::accumulate(client.processorMs.cbegin(), client.processorMs.cend(), QString(),
                                [](const QString &text, double ms) {
                                    return text + (text.isEmpty() ? QString() : QStringLiteral(" "))
                                        + QString::number(ms, 'f', 1);
                                })));
        // The limit is 50 ms of the processor's time; reading the request and
        // writing the answer take well under a millisecond more, and the step
        // under way when the time is up ends before the call can stop (with
        // the collection of the garbage its steps left, another native step).
        const double slack = loop.first == QLatin1String("costly") ? step + 5 : 0;
        Bench::report(what + QStringLiteral(": processor"),
            *std::max_element(client.processorMs.cbegin(), client.processorMs.cend()), "ms", Bench::atMost(55 + slack));
        Bench::report(what + QStringLiteral(": answered"),
            *std::max_element(client.answeredMs.cbegin(), client.answeredMs.cend()), "ms", Bench::atMost(100 + slack));
    }
    removeLoopsModule(modules);
}

// Clients on kept connections, each sending a request of 1,000 calls of a
// loop stopped at its time (50 s of calls) and taking what comes back, until
// told to stop.
class HeavyCallsThread : public LoadThread
{
public:
    explicit HeavyCallsThread(quint16 port) : LoadThread(port) { }

protected:
    void run() override
    {
        std::unique_ptr<QTcpSocket> socket(connectedSocket(m_port));
        if (socket) {
            socket->write(loopsRequest("empty", 1000));
            socket->waitForBytesWritten(5000);
        }
        started = true;
        while (socket && !stop && socket->state() == QAbstractSocket::ConnectedState) {
            socket->waitForReadyRead(50);
            socket->readAll();
        }
    }
};

// A light client that sends a small request every 100 ms on a new connection
// for `seconds`, beside `heavy` clients of 1,000 calls of a loop stopped at
// 50 ms each: it waits for at most the one call under way as it comes.
void beside1000StoppedCalls(const QString &database, const QString &modules, int heavy, int seconds)
{
    if (!writeLoopsModule(modules)) {
        Bench::missed(QStringLiteral("heavy calls: the module could not be written"));
        return;
    }
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    int stopped = 0;
    QObject::connect(&processor, &XmlMessageProcessor::sigLog, [&stopped](const QString &message) {
        if (message.startsWith(QLatin1String("Script error of a network request")))
            ++stopped;
    });
    std::vector<std::unique_ptr<HeavyCallsThread>> clients;
    for (int i = 0; i < heavy; ++i)
        clients.push_back(std::make_unique<HeavyCallsThread>(processor.serverPort()));
    std::atomic<bool> over { false };
    ShortRequestThread light(processor.serverPort(), *clients.front(), over, 100);
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [&over]() { over = true; });
    QObject::connect(&light, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
    for (auto &client : clients)
        client->start();
    light.start();
    QCoreApplication::exec();
    light.wait();
    for (auto &client : clients)
        client->stop = true;
    for (auto &client : clients)
        client->wait();
    const QString label = QStringLiteral("%1 heavy client%2 of 1,000 calls stopped at 50 ms")
                              .arg(heavy)
                              .arg(heavy == 1 ? QString() : QStringLiteral("s"));
    Bench::note(QStringLiteral("%1: %2 s, %3 heavy calls stopped; %4 light requests, %5 failed")
                    .arg(label)
                    .arg(seconds)
                    .arg(stopped)
                    .arg(light.latenciesMs.size() + light.failures)
                    .arg(light.failures));
    reportSmallRequests(label, light.latenciesMs);
    Bench::report(QStringLiteral("light requests within 1 s beside ") + label, percentWithinASecond(light), "%",
        Bench::atLeast(95));
    removeLoopsModule(modules);
}

// Another program holds the whole database file (BEGIN EXCLUSIVE) while a
// client sends a request of 5 calls of calculateBufferDensity of 40
// components each, each component a query of the database, and a light
// client sends small requests beside it: each call waits for the hold within
// its time, once, and ends saying that the file is in use.
void whileAnotherProgramHoldsTheDatabase(const QString &database, const QString &modules)
{
    QByteArray components;
    for (int i = 0; i < 40; ++i)
        components += "<INPUT INDEX=\"" + QByteArray::number(i) + "\" NAME=\"c\" VALUE=\"0.1\" ID=\""
            + QByteArray::number(i + 1) + "\" UNITS=\"molar\"/>";
    const QByteArray request = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/>"
        + ("<EXECUTE FUNCTION=\"calculateBufferDensity\"><ARRAY>" + components + "</ARRAY></EXECUTE>").repeated(5)
        + "</VORNAKEL>\n";
    writeSettings("PORT:0\nRESET:false\n");
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    TestLockHolder holder(database);
    if (!holder.isHolding()) {
        Bench::missed(QStringLiteral("held database: the hold could not be taken"));
        return;
    }
    std::vector<double> answeredMs;
    int inUse = 0;
    QList<double> lightMs;
    int lightFailures = 0;
    for (int run = 0; run < 5; ++run) {
        LongRequestThread client(processor.serverPort(), request);
        ShortRequestThread light(processor.serverPort(), client);
        // Both have to finish: a small request still under way needs the event loop.
        quitOnceFinished({ &client, &light });
        client.start();
        light.start();
        QCoreApplication::exec();
        client.wait();
        light.wait();
        answeredMs.push_back(client.seconds * 1000);
        inUse += client.answer.count("in use by another program");
        lightMs += light.latenciesMs;
        lightFailures += light.failures;
    }
    const QString label = QStringLiteral("5 x calculateBufferDensity of 40 components, the database held");
    Bench::note(QStringLiteral("%1: %2 of 25 calls answered that the file is in use; %3 light requests, %4 failed")
                    .arg(label)
                    .arg(inUse)
                    .arg(lightMs.size() + lightFailures)
                    .arg(lightFailures));
    if (inUse != 25)
        Bench::missed(QStringLiteral("%1: not every call answered that the file is in use").arg(label));
    // Each call waits its 50 ms, once; before, each statement waited 250 ms, 54 s in all.
    Bench::report(label + QStringLiteral(": answered"), *std::max_element(answeredMs.cbegin(), answeredMs.cend()), "ms",
        Bench::atMost(1000));
    reportSmallRequests(label, lightMs);
}

// The worst requests whose names begin so.
QList<TestWorstRequest> worstRequestsNamed(const QString &start)
{
    QList<TestWorstRequest> named;
    for (const TestWorstRequest &request : testWorstRequests()) {
        if (request.name.startsWith(start))
            named << request;
    }
    return named;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    // Only the scenarios of the worst requests: bench_xml worst [seconds]; only
    // the clients that close at once: bench_xml closing [seconds]; only the flood
    // of connections: bench_xml flood [seconds]; only the loops stopped at
    // their time: bench_xml stopped; only those, a held database and a light
    // client beside heavy calls: bench_xml waits [seconds]
    const bool worstOnly = argc > 1 && qstrcmp(argv[1], "worst") == 0;
    const int memoryRequests = 100000;

    QTemporaryDir folder; // for "vornakel.ini"
    QDir::setCurrent(folder.path());
    TestMessageModules modules;
    TestDatabase database;
    if (!database.isValid()) {
        std::fprintf(stderr, "bench_xml: no database\n");
        return 1;
    }

    const auto worst = [&](int seconds) {
        worstRequestsAlone(database.path(), modules.path());
        whileRequestsArrive(database.path(), modules.path(),
            QStringLiteral("4 clients sending the worst 1 MiB requests"), testWorstRequests(), 4, seconds);
        whileRequestsArrive(database.path(), modules.path(),
            QStringLiteral("a client sending a MODULE VERSION of a million quotes"),
            worstRequestsNamed(QStringLiteral("a MODULE VERSION of a million quotes")), 1, seconds / 2);
        whileClientsCloseAtOnce(database.path(), modules.path(), seconds);
    };
    const auto waits = [&](int seconds) {
        stoppedLoops(database.path(), modules.path());
        whileAnotherProgramHoldsTheDatabase(database.path(), modules.path());
        for (const int heavy : { 1, 3, 10 })
            beside1000StoppedCalls(database.path(), modules.path(), heavy, seconds);
    };
    if (argc > 1 && qstrcmp(argv[1], "stopped") == 0) {
        stoppedLoops(database.path(), modules.path());
        return Bench::exitCode();
    }
    if (argc > 1 && qstrcmp(argv[1], "waits") == 0) {
        waits(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10);
        return Bench::exitCode();
    }
    if (argc > 1 && qstrcmp(argv[1], "flood") == 0) {
        whileConnectionsFlood(database.path(), modules.path(), argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 20,
            argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 512);
        return Bench::exitCode();
    }
    if (argc > 1 && qstrcmp(argv[1], "closing") == 0) {
        whileClientsCloseAtOnce(
            database.path(), modules.path(), argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30);
        return Bench::exitCode();
    }
    if (worstOnly) {
        worst(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30);
        return Bench::exitCode();
    }

    XmlMessageProcessor processor(database.path(), false);
    processor.loadPlugins(modules.path());
    const QString request = QString::fromUtf8(kRequest);
    if (!processor.submitFromWeb(request).contains(QLatin1String("qtExperimentResultsRp"))) {
        std::fprintf(stderr, "bench_xml: calculateRo gives no answer\n");
        return 1;
    }
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < requests; ++i)
            processor.submitFromWeb(request);
        runs.push_back(requests / (timer.nsecsElapsed() / 1e9));
    }
    Bench::note(QStringLiteral("bench_xml: calculateRo, medians of 5 runs of %1 requests").arg(requests));
    Bench::report(QStringLiteral("in-process submitFromWeb"), Bench::median(runs), "requests/s", Bench::atLeast(5000));

    int failures = 0;
    const double kept
        = overLoopback(database.path(), modules.path(), "PORT:0\nRESET:false\n", requests, false, &failures);
    Bench::report(QStringLiteral("loopback, one kept connection"), kept, "requests/s", Bench::atLeast(2000));
    const double fresh = overLoopback(database.path(), modules.path(), "PORT:0\n", requests, true, &failures);
    Bench::report(QStringLiteral("loopback, new connection per request"), fresh, "requests/s", Bench::atLeast(500));
    Bench::note(QStringLiteral("failed requests: %1").arg(failures));

    for (int i = 0; i < 2000; ++i)
        processor.submitFromWeb(request);
    const double before = residentMiB();
    for (int i = 0; i < memoryRequests; ++i)
        processor.submitFromWeb(request);
    const double after = residentMiB();
    Bench::note(QStringLiteral("resident memory over %1 requests: %2 MiB before, %3 MiB after")
                    .arg(memoryRequests)
                    .arg(before, 0, 'f', 1)
                    .arg(after, 0, 'f', 1));
    Bench::report(
        QStringLiteral("memory growth over %1 requests").arg(memoryRequests), after - before, "MiB", Bench::atMost(5));

    whileALongRequestRuns(database.path(), modules.path(), "calculationsAvsBHydration", kAvsBCall);
    whileALongRequestRuns(database.path(), modules.path(), "calculateRo", kRoCall);
    whileClientsDoNotRead(database.path(), modules.path(), QStringLiteral("one kept connection pipelining, unread"),
        "PORT:0\nRESET:false\n", 1, true, 60, 50);
    whileClientsDoNotRead(database.path(), modules.path(), QStringLiteral("300 connections, one request each, unread"),
        "PORT:0\n", 300, false, 60, 150);
    whileHeavyClientsPipeline(database.path(), modules.path());
    waits(10);
    worst(30);
    whileConnectionsFlood(database.path(), modules.path(), 20);
    return Bench::exitCode();
}
