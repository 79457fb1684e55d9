#ifndef NET_HTTPRESPONSE_H
#define NET_HTTPRESPONSE_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Reads one HTTP/1.1 response to a GET as its bytes arrive, and decides by
// one rule when its body is whole, as HTTP/1.1 defines a message's length: a
// body is whole when the one valid Content-Length it gave has been met
// exactly, or when, sent in chunks, its last chunk and the empty line after
// its trailer have come. Anything else is an error that says why: no length
// at all (a body that ends where the connection ends could be cut short
// unseen), a Content-Length that is no number of bytes or that disagrees
// with another, both a length and chunks, a transfer coding other than
// chunked, a chunk size that is no hexadecimal number or does not fit,
// a chunk that does not end where its size says, a head over MaxHeadBytes,
// a body over the bytes it may take (announced or come), and a connection
// that ends before the body is whole. Bytes after a whole
// body are no part of it.
class NetHttpResponse
{
public:
    enum class State {
        Head, // the status line and the header fields are awaited
        Body, // the head is read; the body is awaited
        Complete, // the body is whole
        Failed, // error() says why
    };
    // The most a head (status line and fields) or a trailer may take.
    static const int MaxHeadBytes = 64 * 1024;
    // The most a chunk's size line may take, its extensions included.
    static const int MaxChunkLineBytes = 4096;

    // Past this many body bytes, announced or come, the answer is refused
    // (-1: no bound); no byte past them is kept.
    void setMaxBodyBytes(qint64 bytes) { m_maxBody = bytes; }
    // Takes the next bytes of the connection; those of the body are added to
    // what takeBody() gives.
    void append(const char *data, qint64 size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // The connection ended: a body that is not whole by now never will be.
    void end();
    // Gives up with the reason, unless the response is whole or failed already.
    void fail(const QString &why);

    State state() const { return m_state; }
    bool isFinished() const { return m_state == State::Complete || m_state == State::Failed; }
    // Empty unless failed.
    QString error() const { return m_error; }
    // 0 until the head has been read.
    int status() const { return m_headRead ? m_status : 0; }
    // The value of the field of that name (any letter case); several fields
    // of one name joined by ", ". Null when there is none.
    QByteArray header(const QByteArray &name) const;
    // The body's length as the head gave it; -1 when it comes in chunks, or before the head.
    qint64 length() const { return m_length; }
    // The body bytes that have come so far.
    qint64 received() const { return m_received; }
    // Every byte that has come so far: interim answers, the head, the body and its framing.
    qint64 bytesTaken() const { return m_taken; }
    // The interim answers (status 1xx) that came before the final one.
    int interimAnswers() const { return m_interims; }
    // The bytes of the head awaited that have come so far.
    int headBytes() const { return m_state == State::Head ? m_headBytes : 0; }
    // What the interim answers were, for a reason: "2 interim answers (status 102)".
    QString interimsText() const;
    // The body bytes not taken yet.
    qint64 bodyAvailable() const { return m_body.size(); }
    QByteArray takeBody();

private:
    // Where the reading of a chunked body stands.
    enum class Chunk { Size, Data, DataEnd, Trailer };

    // Takes a line of the head or the chunk framing; false when the line is
    // not complete yet (it is kept for the next bytes).
    bool takeLine(const char *&data, qint64 &size, int cap, const QString &tooLong, QByteArray *line);
    // A line of the head or the trailer (`part`), which together with the
    // lines before it may take MaxHeadBytes.
    bool takeHeadLine(const char *&data, qint64 &size, const QString &part, QByteArray *line);
    // Adds up to `most` bytes to the body; how many it took.
    qint64 takeBodyBytes(const char *&data, qint64 &size, qint64 most);
    void readHead(const QByteArray &line);
    void headEnded();
    void readChunkSize(const QByteArray &line);
    void finish();

    State m_state = State::Head;
    QString m_error;
    QByteArray m_partial; // of a line not complete yet
    int m_headBytes = 0; // of the head or the trailer read so far
    bool m_statusRead = false;
    bool m_headRead = false; // the head of the final answer, not an interim one
    int m_minorVersion = 1;
    int m_status = 0;
    QList<QPair<QByteArray, QByteArray>> m_fields; // lower-case name, value
    bool m_chunked = false;
    Chunk m_chunk = Chunk::Size;
    qint64 m_chunkLeft = 0;
    bool m_sawCr = false; // after a chunk's data
    qint64 m_maxBody = -1;
    qint64 m_length = -1;
    qint64 m_received = 0;
    qint64 m_taken = 0;
    int m_interims = 0;
    int m_interimStatus = 0;
    QByteArray m_body;
};

#endif
