#include "net/net_framer.h"

#include <cstring>

namespace {

const char kClosingTag[] = "</vornakel>";
const char kExecuteTag[] = "<execute";
const int kExecuteTagLength = 8;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The first closing root tag in any letter case at or after `from`; -1 when none.
int findClosingTag(const QByteArray &bytes, int from)
{
    for (int at = bytes.indexOf("</", from); at >= 0; at = bytes.indexOf("</", at + 2)) {
        if (bytes.size() - at >= NetFramer::ClosingTagLength
            && qstrnicmp(bytes.constData() + at, kClosingTag, NetFramer::ClosingTagLength) == 0)
            return at;
    }
    return -1;
}

} // namespace

void NetFramer::append(const char *data, int size)
{
    if (!m_buffer.isEmpty()) {
        m_buffer.append(data, size);
        return;
    }
    // Nothing of a message yet: only what begins at its first "<" is kept.
    const void *open = std::memchr(data, '<', size_t(size));
    if (!open)
        return;
    const int at = int(static_cast<const char *>(open) - data);
    m_buffer.append(data + at, size - at);
}

void NetFramer::dropJunk()
{
    const int open = m_buffer.indexOf('<');
    if (open < 0)
        m_buffer.clear();
    else if (open > 0)
        m_buffer.remove(0, open);
}

NetFramer::State NetFramer::state()
{
    if (m_end >= 0)
        return State::Complete;
    // Bytes searched before cannot start a tag unless it ran into the new ones,
    // so a message that arrives in small pieces is not searched again and again.
    const int tag = findClosingTag(m_buffer, qMax(0, m_scanned - ClosingTagLength));
    if (tag < 0) {
        m_scanned = m_buffer.size();
        // One byte past the limit tells a message over it from one of exactly that size.
        return m_buffer.size() > MaxMessage ? State::TooLarge : State::Partial;
    }
    if (tag + ClosingTagLength > MaxMessage)
        return State::TooLarge;
    m_end = tag + ClosingTagLength;
    // The one character after the tag belongs to the message only when
    // blank; anything else may be the next message's first "<".
    if (m_end < m_buffer.size() && isBlank(m_buffer.at(m_end)))
        ++m_end;
    return State::Complete;
}

int NetFramer::countCalls() const
{
    int calls = 0;
    const char *data = m_buffer.constData();
    for (int at = m_buffer.indexOf('<'); at >= 0 && at + kExecuteTagLength < m_end;
         at = m_buffer.indexOf('<', at + 1)) {
        const char after = data[at + kExecuteTagLength];
        if (qstrnicmp(data + at, kExecuteTag, kExecuteTagLength) == 0
            && (isBlank(after) || after == '>' || after == '/'))
            ++calls;
    }
    return calls;
}

QByteArray NetFramer::takeMessage()
{
    if (m_end < 0)
        return QByteArray();
    const QByteArray message = m_buffer.left(m_end);
    m_buffer.remove(0, m_end);
    m_end = -1;
    m_scanned = 0;
    dropJunk();
    return message;
}

void NetFramer::clear()
{
    m_buffer.clear();
    m_scanned = 0;
    m_end = -1;
}
