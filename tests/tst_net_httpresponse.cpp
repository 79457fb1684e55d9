// When an HTTP answer's body is whole: the one rule, fed the answer at once
// and a byte at a time, so that no boundary between reads changes it.

#include "net/net_httpresponse.h"

#include "test_log.h"

#include <QtTest>

namespace {

const QByteArray kOk = "HTTP/1.1 200 OK\r\n";
const QByteArray kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

} // namespace

class TstNetHttpResponse : public QObject
{
    Q_OBJECT

private slots:
    void takesABodyAsWholeByOneRule_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<int>("status");
        // The body when whole; else a part of the reason it is not.
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("why");

        QTest::newRow("a length met") << kOk + "Content-Length: 3\r\n\r\nabc" << 200 << QByteArray("abc") << QString();
        QTest::newRow("a length met, then more")
            << kOk + "content-length:3\r\n\r\nabcdef" << 200 << QByteArray("abc") << QString();
        QTest::newRow("a length of 0") << kOk + "Content-Length: 0\r\n\r\n" << 200 << QByteArray() << QString();
        QTest::newRow("one length in two fields")
            << kOk + "Content-Length: 3\r\nContent-Length: 003\r\n\r\nabc" << 200 << QByteArray("abc") << QString();
        QTest::newRow("chunks") << kChunked + "3\r\nabc\r\n0\r\n\r\n" << 200 << QByteArray("abc") << QString();
        QTest::newRow("chunks with bare line feeds, extensions, a trailer")
            << kOk + "Transfer-Encoding: Chunked\n\n2 ; a=b\nab\n1\r\nc\r\n0\nX-Sum: 1\n\n"
            << 200 << QByteArray("abc") << QString();
        QTest::newRow("an interim answer first") << "HTTP/1.1 100 Continue\r\n\r\n" + kOk + "Content-Length: 1\r\n\r\na"
                                                 << 200 << QByteArray("a") << QString();
        QTest::newRow("a folded field") << kOk + "Content-Length:\r\n 2\r\n\r\nab" << 200 << QByteArray("ab")
                                        << QString();
        // Fed a byte at a time too: a long line is counted once against the head's limit, not once per piece.
        QTest::newRow("a field line of 40,000 bytes")
            << kOk + "X: " + QByteArray(40000, 'x') + "\r\nContent-Length: 1\r\n\r\na" << 200 << QByteArray("a")
            << QString();
        QTest::newRow("no body: 304") << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 9\r\n\r\n") << 304
                                      << QByteArray() << QString();

        QTest::newRow("no length") << kOk + "\r\nabc" << 200 << QByteArray() << "did not say how long";
        QTest::newRow("a length cut short")
            << kOk + "Content-Length: 5\r\n\r\nabc" << 200 << QByteArray() << "closed after 3 of the 5 bytes";
        QTest::newRow("a negative length")
            << kOk + "Content-Length: -1\r\n\r\nabc" << 200 << QByteArray() << "is not a number of bytes";
        QTest::newRow("a signed length") << kOk + "Content-Length: +3\r\n\r\nabc" << 200 << QByteArray()
                                         << "is not a number of bytes";
        QTest::newRow("an empty length") << kOk + "Content-Length: \r\n\r\nabc" << 200 << QByteArray()
                                         << "is not a number of bytes";
        QTest::newRow("a length of 19 digits") << kOk + "Content-Length: 1000000000000000000\r\n\r\nabc" << 200
                                               << QByteArray() << "is not a number of bytes";
        QTest::newRow("two lengths") << kOk + "Content-Length: 5\r\nContent-Length: 20\r\n\r\nabc" << 200
                                     << QByteArray() << "lengths that disagree (Content-Length: 5, 20)";
        QTest::newRow("a length and chunks") << kOk + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\nabc"
                                             << 200 << QByteArray() << "both a length";
        QTest::newRow("chunked twice") << kOk + "Transfer-Encoding: chunked, chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"
                                       << 200 << QByteArray() << "only chunked is read";
        QTest::newRow("chunks in HTTP/1.0")
            << QByteArray("HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n") << 200
            << QByteArray() << "HTTP/1.0";
        QTest::newRow("a chunk size of 64 bits")
            << kChunked + "ffffffffffffffff\r\nabc" << 200 << QByteArray() << "chunk size too large";
        QTest::newRow("a chunk size of 16 digits, leading zeros aside")
            << kChunked + "0000000000000000003\r\nabc\r\n0\r\n\r\n"
            << 200 << QByteArray("abc") << QString();
        QTest::newRow("a negative chunk size")
            << kChunked + "-5\r\nabc" << 200 << QByteArray() << "no hexadecimal number";
        QTest::newRow("a chunk size and junk") << kChunked + "3x\r\nabc\r\n0\r\n\r\n"
                                               << 200 << QByteArray() << "no hexadecimal number";
        QTest::newRow("no chunk size") << kChunked + "\r\nabc" << 200 << QByteArray() << "no hexadecimal number";
        QTest::newRow("a chunk longer than its size") << kChunked + "2\r\nabc\r\n0\r\n\r\n"
                                                      << 200 << QByteArray() << "did not end where its size said";
        QTest::newRow("no last chunk") << kChunked + "3\r\nabc\r\n" << 200 << QByteArray() << "before the last chunk";
        QTest::newRow("no end of the trailer") << kChunked + "3\r\nabc\r\n0\r\nX: 1\r\n"
                                               << 200 << QByteArray() << "before the last chunk";
        QTest::newRow("a chunk size line over its limit")
            << kChunked + "3;" + QByteArray(NetHttpResponse::MaxChunkLineBytes, 'x') + "\r\nabc" << 200 << QByteArray()
            << "chunk size line of the server's answer is over 4096 bytes";
        QTest::newRow("a head over its limit")
            << kOk + "X: " + QByteArray(NetHttpResponse::MaxHeadBytes, 'x') + "\r\nContent-Length: 0\r\n\r\n"
            << 0 << QByteArray() << "head of the server's answer is over 65536 bytes";
        QTest::newRow("a carriage return inside a field")
            << kOk + "Content-Length: 3\rX: 1\r\n\r\nabc" << 0 << QByteArray() << "carriage return inside a line";
        QTest::newRow("a blank before the colon")
            << kOk + "Content-Length : 3\r\n\r\nabc" << 0 << QByteArray() << "no header field";
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-x\r\n\r\n") << 0 << QByteArray() << "not HTTP/1.1";
        QTest::newRow("nothing") << QByteArray() << 0 << QByteArray() << "closed before the server answered";
        QTest::newRow("interim answers, then nothing")
            << QByteArray("HTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n") << 0 << QByteArray()
            << "The connection was closed after 2 interim answers (status 102), before the server's final answer.";
        QTest::newRow("half a head") << QByteArray(kOk + "Content-Length: 3\r\n") << 0 << QByteArray()
                                     << "before the head of the server's answer was complete";
    }
    void takesABodyAsWholeByOneRule()
    {
        QFETCH(QByteArray, response);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, why);
        for (const bool byteByByte : { false, true }) {
            NetHttpResponse reader;
            QByteArray taken;
            if (byteByByte) {
                for (const char c : response) {
                    reader.append(&c, 1);
                    taken += reader.takeBody();
                }
            } else {
                reader.append(response);
            }
            reader.end();
            taken += reader.takeBody();
            QVERIFY2(reader.error().contains(why), qPrintable(reader.error()));
            QCOMPARE(reader.state(), why.isEmpty() ? NetHttpResponse::State::Complete : NetHttpResponse::State::Failed);
            QCOMPARE(reader.status(), status);
            if (why.isEmpty())
                QCOMPARE(taken, body);
        }
    }

    // A body over the bytes it may take is refused, for what the server
    // announced before any of it comes, for what came as soon as it passes
    // them, even in the piece that would have completed it.
    void refusesABodyOverItsCap_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("why"); // empty: whole

        QTest::newRow("a length at the cap") << kOk + "Content-Length: 4\r\n\r\nabcd" << QString();
        QTest::newRow("a length over the cap")
            << kOk + "Content-Length: 5\r\n\r\nabcde"
            << "The server announced an answer of 5 bytes (Content-Length), more than the 4 bytes it may take.";
        QTest::newRow("chunks at the cap") << kChunked + "2\r\nab\r\n2\r\ncd\r\n0\r\n\r\n" << QString();
        QTest::newRow("chunks over the cap, with their last one")
            << kChunked + "2\r\nab\r\n3\r\ncde\r\n0\r\n\r\n"
            << "The server sent more than the 4 bytes its answer may take.";
    }
    void refusesABodyOverItsCap()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, why);
        for (const bool byteByByte : { false, true }) {
            NetHttpResponse reader;
            reader.setMaxBodyBytes(4);
            if (byteByByte) {
                for (const char c : response)
                    reader.append(&c, 1);
            } else {
                reader.append(response);
            }
            QCOMPARE(reader.error(), why);
            QCOMPARE(reader.state(), why.isEmpty() ? NetHttpResponse::State::Complete : NetHttpResponse::State::Failed);
            QCOMPARE(reader.takeBody().size(), why.isEmpty() ? 4 : 0);
        }
    }
};

TEST_GUILESS_MAIN(TstNetHttpResponse)
#include "tst_net_httpresponse.moc"
