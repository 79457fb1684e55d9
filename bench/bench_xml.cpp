// Requests per second for calculateRo as XML messages: in-process through
// submitFromWeb, over one kept loopback connection, and with a new loopback
// connection per request; then the resident memory over many requests.
// Prints figures; it checks nothing. Usage: bench_xml [requests per run]

#include "test_database.h"
#include "test_messaging.h"
#include "xml/xml_messageprocessor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

const QByteArray kRequest = "<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"MainScreen\"/><EXECUTE FUNCTION=\"calculateRo\">"
                            "<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>"
                            "</VORNAKEL>\n";

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
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
            if (!socket) {
                socket = new QTcpSocket;
                socket->connectToHost(QStringLiteral("127.0.0.1"), m_port);
                if (!socket->waitForConnected(5000)) {
                    ++failures;
                    delete socket;
                    socket = nullptr;
                    continue;
                }
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
    QFile file(QStringLiteral("vornakel.ini"));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(ini);
    file.close();
    XmlMessageProcessor processor(database, false);
    processor.loadPlugins(modules);
    QList<double> runs;
    for (int run = 0; run < 5; ++run) {
        ClientThread client(processor.serverPort(), requests, newConnectionEach);
        QObject::connect(&client, &QThread::finished, QCoreApplication::instance(), &QCoreApplication::quit);
        client.start();
        QCoreApplication::exec();
        client.wait();
        runs << client.perSecond;
        *failures += client.failures;
    }
    return median(runs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int memoryRequests = 100000;

    QTemporaryDir folder; // for "vornakel.ini"
    QDir::setCurrent(folder.path());
    TestMessageModules modules;
    TestDatabase database;
    if (!database.isValid()) {
        std::fprintf(stderr, "bench_xml: no database\n");
        return 1;
    }

    XmlMessageProcessor processor(database.path(), false);
    processor.loadPlugins(modules.path());
    const QString request = QString::fromUtf8(kRequest);
    if (!processor.submitFromWeb(request).contains(QLatin1String("qtExperimentResultsRp"))) {
        std::fprintf(stderr, "bench_xml: calculateRo gives no answer\n");
        return 1;
    }
    QList<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < requests; ++i)
            processor.submitFromWeb(request);
        runs << requests / (timer.nsecsElapsed() / 1e9);
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("in-process submitFromWeb:            %9.0f requests/s (median of 5 x %d)\n", median(runs), requests);

    int failures = 0;
    const double kept
        = overLoopback(database.path(), modules.path(), "PORT:0\nRESET:false\n", requests, false, &failures);
    std::printf("loopback, one kept connection:        %9.0f requests/s\n", kept);
    const double fresh = overLoopback(database.path(), modules.path(), "PORT:0\n", requests, true, &failures);
    std::printf("loopback, new connection per request: %9.0f requests/s\n", fresh);
    std::printf("failed requests:                      %9d\n", failures);

    for (int i = 0; i < 2000; ++i)
        processor.submitFromWeb(request);
    const double before = residentMiB();
    for (int i = 0; i < memoryRequests; ++i)
        processor.submitFromWeb(request);
    const double after = residentMiB();
    std::printf("resident memory over %d requests: %.1f MiB -> %.1f MiB (growth %.1f MiB)\n", memoryRequests, before,
        after, after - before);
    return 0;
}
