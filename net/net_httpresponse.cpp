#include "net/net_httpresponse.h"

#include <cctype>
#include <cstring>

namespace {

// A body length of at most 18 decimal or 15 hexadecimal digits fits a qint64 with room to add.
const int kMaxLengthDigits = 18;
const int kMaxChunkSizeDigits = 15;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Optional white space around a field value or a list element.
QByteArray trimmedBlanks(const QByteArray &text)
{
    int from = 0;
    int to = text.size();
    while (from < to && isBlank(text.at(from)))
        ++from;
    while (to > from && isBlank(text.at(to - 1)))
        --to;
    return text.mid(from, to - from);
}

// A character of a field name.
bool isTokenCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || std::strchr("!#$%&'*+-.^_`|~", c);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// What the server sent, fit to be quoted in a message: printable, and short.
QString quoted(const QByteArray &bytes)
{
    const int shown = 80;
    QString text;
    for (const char c : bytes.left(shown))
        text += c >= ' ' && c < 127 ? QChar::fromLatin1(c) : QChar(QChar::ReplacementCharacter);
    if (bytes.size() > shown)
        text += QStringLiteral("...");
    return text;
}

} // namespace

QByteArray NetHttpResponse::header(const QByteArray &name) const
{
    const QByteArray wanted = name.toLower();
    QByteArray value;
    bool found = false;
    for (const auto &field : m_fields) {
        if (field.first != wanted)
            continue;
        if (found)
            value += ", ";
        value += field.second;
        found = true;
    }
    return found ? value : QByteArray();
}

QByteArray NetHttpResponse::takeBody()
{
    QByteArray taken;
    taken.swap(m_body);
    return taken;
}

void NetHttpResponse::fail(const QString &why)
{
    if (isFinished())
        return;
    m_state = State::Failed;
    m_error = why;
    m_partial.clear();
    m_body.clear();
}

void NetHttpResponse::finish()
{
    m_state = State::Complete;
    m_partial.clear();
}

bool NetHttpResponse::takeLine(const char *&data, qint64 &size, int cap, const QString &tooLong, QByteArray *line)
{
    const char *end = static_cast<const char *>(std::memchr(data, '\n', size_t(size)));
    const qint64 taken = end ? end - data + 1 : size;
    if (m_partial.size() + taken > cap) {
        fail(tooLong);
        return false;
    }
    m_partial.append(data, int(taken));
    data += taken;
    size -= taken;
    if (!end)
        return false;
    line->swap(m_partial);
    m_partial.clear();
    // A line ends with CRLF; a bare LF is taken as well.
    line->chop(line->endsWith("\r\n") ? 2 : 1);
    if (line->contains('\r')) {
        fail(QStringLiteral("The server's answer holds a carriage return inside a line (\"%1\").").arg(quoted(*line)));
        return false;
    }
    return true;
}

bool NetHttpResponse::takeHeadLine(const char *&data, qint64 &size, const QString &part, QByteArray *line)
{
    // The bytes of a line begun in an earlier piece are counted already, and are held in the line again.
    const qint64 before = size;
    const bool whole = takeLine(data, size, MaxHeadBytes - m_headBytes + m_partial.size(),
        QStringLiteral("The %1 of the server's answer is over %2 bytes.").arg(part).arg(MaxHeadBytes), line);
    m_headBytes += int(before - size);
    return whole;
}

qint64 NetHttpResponse::takeBodyBytes(const char *&data, qint64 &size, qint64 most)
{
    const qint64 taken = qMin(size, most);
    if (m_maxBody >= 0 && m_received + taken > m_maxBody) {
        fail(QStringLiteral("The server sent more than the %1 bytes its answer may take.").arg(m_maxBody));
        size = 0;
        return 0;
    }
    m_body.append(data, int(taken));
    m_received += taken;
    data += taken;
    size -= taken;
    return taken;
}

QString NetHttpResponse::interimsText() const
{
    return QStringLiteral("%1 interim answer%2 (status %3)")
        .arg(m_interims)
        .arg(m_interims == 1 ? QString() : QStringLiteral("s"))
        .arg(m_interimStatus);
}

void NetHttpResponse::append(const char *data, qint64 size)
{
    if (!isFinished())
        m_taken += size;
    while (size > 0 && !isFinished()) {
        if (m_state == State::Head) {
            QByteArray line;
            if (takeHeadLine(data, size, QStringLiteral("head"), &line))
                readHead(line);
            continue;
        }
        if (!m_chunked) {
            takeBodyBytes(data, size, m_length - m_received);
            if (m_received == m_length)
                finish();
            continue;
        }
        switch (m_chunk) {
        case Chunk::Size: {
            QByteArray line;
            if (takeLine(data, size, MaxChunkLineBytes,
                    QStringLiteral("A chunk size line of the server's answer is over %1 bytes.").arg(MaxChunkLineBytes),
                    &line))
                readChunkSize(line);
            break;
        }
        case Chunk::Data: {
            m_chunkLeft -= takeBodyBytes(data, size, m_chunkLeft);
            if (m_chunkLeft == 0)
                m_chunk = Chunk::DataEnd;
            break;
        }
        case Chunk::DataEnd: {
            const char c = *data++;
            --size;
            if (c == '\r' && !m_sawCr) {
                m_sawCr = true;
            } else if (c == '\n') {
                m_sawCr = false;
                m_chunk = Chunk::Size;
            } else {
                fail(QStringLiteral("A chunk of the server's answer did not end where its size said."));
            }
            break;
        }
        case Chunk::Trailer: {
            QByteArray line;
            // Its fields are not used; the empty line ends the body.
            if (takeHeadLine(data, size, QStringLiteral("trailer"), &line) && line.isEmpty())
                finish();
            break;
        }
        }
    }
}

void NetHttpResponse::readHead(const QByteArray &line)
{
    if (!m_statusRead) {
        // HTTP/1.x, a blank, three digits, then a blank and the reason, or nothing.
        const bool valid = line.size() >= 12 && line.startsWith("HTTP/1.") && line.at(7) >= '0' && line.at(7) <= '9'
            && line.at(8) == ' ' && std::isdigit(static_cast<unsigned char>(line.at(9)))
            && std::isdigit(static_cast<unsigned char>(line.at(10)))
            && std::isdigit(static_cast<unsigned char>(line.at(11))) && (line.size() == 12 || line.at(12) == ' ');
        if (!valid) {
            fail(QStringLiteral("The server's answer is not HTTP/1.1: it begins \"%1\".").arg(quoted(line)));
            return;
        }
        m_statusRead = true;
        m_minorVersion = line.at(7) - '0';
        m_status = line.mid(9, 3).toInt();
        return;
    }
    if (line.isEmpty()) {
        headEnded();
        return;
    }
    if (isBlank(line.at(0))) {
        // A field folded onto a further line: its parts joined by a blank.
        if (m_fields.isEmpty()) {
            fail(QStringLiteral("The head of the server's answer begins with a folded line."));
            return;
        }
        m_fields.last().second = trimmedBlanks(m_fields.last().second + ' ' + trimmedBlanks(line));
        return;
    }
    const int colon = line.indexOf(':');
    bool valid = colon > 0;
    for (int i = 0; valid && i < colon; ++i)
        valid = isTokenCharacter(line.at(i));
    if (!valid) {
        fail(QStringLiteral("The head of the server's answer holds a line that is no header field (\"%1\").")
                 .arg(quoted(line)));
        return;
    }
    m_fields.append({ line.left(colon).toLower(), trimmedBlanks(line.mid(colon + 1)) });
}

void NetHttpResponse::headEnded()
{
    if (m_status >= 100 && m_status < 200) {
        if (m_status == 101) {
            fail(QStringLiteral("The server switched to another protocol (status 101)."));
            return;
        }
        // An interim answer: the real one follows.
        ++m_interims;
        m_interimStatus = m_status;
        m_statusRead = false;
        m_status = 0;
        m_fields.clear();
        m_headBytes = 0;
        return;
    }
    m_state = State::Body;
    m_headRead = true;
    // These answers have no body, whatever their fields say.
    if (m_status == 204 || m_status == 304) {
        m_length = 0;
        finish();
        return;
    }
    const QByteArray codings = header("transfer-encoding");
    const QByteArray lengths = header("content-length");
    if (!codings.isNull()) {
        if (m_minorVersion == 0) {
            fail(QStringLiteral("The server answered as HTTP/1.0 and named a transfer coding (Transfer-Encoding: "
                                "%1), which HTTP/1.0 does not have: where its answer ends is not sure.")
                     .arg(quoted(codings)));
            return;
        }
        if (!lengths.isNull()) {
            fail(QStringLiteral("The server gave both a length (Content-Length: %1) and a transfer coding "
                                "(Transfer-Encoding: %2): where its answer ends is not sure.")
                     .arg(quoted(lengths), quoted(codings)));
            return;
        }
        QList<QByteArray> named;
        for (const QByteArray &coding : codings.split(',')) {
            const QByteArray name = trimmedBlanks(coding).toLower();
            if (!name.isEmpty())
                named << name;
        }
        if (named != QList<QByteArray> { "chunked" }) {
            fail(QStringLiteral("The server sent its answer in a transfer coding the program does not read "
                                "(Transfer-Encoding: %1); only chunked is read.")
                     .arg(quoted(codings)));
            return;
        }
        m_chunked = true;
        return;
    }
    if (lengths.isNull()) {
        fail(QStringLiteral("The server did not say how long its answer is (it gave no Content-Length and did not "
                            "send it in chunks), so an answer cut short could not be told from a whole one."));
        return;
    }
    // One length, or the same one repeated; anything else leaves the end of the body unsure.
    qint64 length = -1;
    for (const QByteArray &element : lengths.split(',')) {
        const QByteArray digits = trimmedBlanks(element);
        int significant = digits.size();
        bool number = !digits.isEmpty();
        for (int i = 0; number && i < digits.size(); ++i) {
            number = std::isdigit(static_cast<unsigned char>(digits.at(i)));
            if (significant == digits.size() - i && digits.at(i) == '0')
                --significant;
        }
        if (!number || significant > kMaxLengthDigits) {
            fail(QStringLiteral("The server's length (Content-Length: %1) is not a number of bytes.")
                     .arg(quoted(lengths)));
            return;
        }
        const qint64 value = digits.toLongLong();
        if (length >= 0 && value != length) {
            fail(QStringLiteral("The server gave lengths that disagree (Content-Length: %1).").arg(quoted(lengths)));
            return;
        }
        length = value;
    }
    // Refused before any of it comes.
    if (m_maxBody >= 0 && length > m_maxBody) {
        fail(QStringLiteral("The server announced an answer of %1 bytes (Content-Length), more than the %2 bytes it "
                            "may take.")
                 .arg(length)
                 .arg(m_maxBody));
        return;
    }
    m_length = length;
    if (m_length == 0)
        finish();
}

void NetHttpResponse::readChunkSize(const QByteArray &line)
{
    int digits = 0;
    int significant = 0;
    qint64 size = 0;
    for (; digits < line.size() && hexValue(line.at(digits)) >= 0; ++digits) {
        if (significant > 0 || line.at(digits) != '0')
            ++significant;
        if (significant <= kMaxChunkSizeDigits)
            size = size * 16 + hexValue(line.at(digits));
    }
    // The size may be followed by extensions, after a ";" (blanks before it allowed).
    const QByteArray rest = trimmedBlanks(line.mid(digits));
    if (digits == 0 || !(rest.isEmpty() || rest.startsWith(';'))) {
        fail(QStringLiteral("The server sent a chunk size that is no hexadecimal number of bytes (\"%1\").")
                 .arg(quoted(line)));
        return;
    }
    if (significant > kMaxChunkSizeDigits) {
        fail(QStringLiteral("The server sent a chunk size too large to be read (\"%1\").").arg(quoted(line)));
        return;
    }
    if (size == 0) {
        m_chunk = Chunk::Trailer;
        m_headBytes = 0;
        return;
    }
    m_chunkLeft = size;
    m_chunk = Chunk::Data;
}

void NetHttpResponse::end()
{
    if (isFinished())
        return;
    if (m_state == State::Head) {
        if (!m_statusRead && m_headBytes == 0 && m_interims > 0)
            fail(QStringLiteral("The connection was closed after %1, before the server's final answer.")
                     .arg(interimsText()));
        else if (!m_statusRead && m_headBytes == 0)
            fail(QStringLiteral("The connection was closed before the server answered."));
        else
            fail(QStringLiteral("The connection was closed before the head of the server's answer was complete."));
    } else if (m_chunked) {
        fail(QStringLiteral("The connection was closed before the last chunk of the answer came (after %1 bytes).")
                 .arg(m_received));
    } else {
        fail(QStringLiteral("The connection was closed after %1 of the %2 bytes of the answer.")
                 .arg(m_received)
                 .arg(m_length));
    }
}
