#ifndef NET_FRAMER_H
#define NET_FRAMER_H

#include <QByteArray>

// Cuts request messages out of a byte stream, as the message server's
// connections and the CGI entry both read them: what comes before a
// message's first "<" is dropped as it arrives (so it counts against no
// limit), and a message ends after its first closing root tag </VORNAKEL>, in
// any letter case, and the one blank that may follow it. A message whose
// closing tag does not end within MaxMessage bytes is too large.
class NetFramer
{
public:
    // The most bytes a request message may take, closing tag included.
    static const int MaxMessage = 1024 * 1024;
    static const int ClosingTagLength = 11;

    enum class State {
        Partial, // no message is complete yet
        Complete, // messageSize() bytes at the front are a message
        TooLarge, // the message at the front passes MaxMessage
    };

    // Appends bytes that arrived.
    void append(const char *data, int size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }
    // Where the message at the front stands.
    State state();
    // Of the complete message at the front.
    int messageSize() const { return m_end; }
    // The EXECUTE start tags of the complete message at the front.
    int countCalls() const;
    // Takes the complete message out of the buffer.
    QByteArray takeMessage();
    // The bytes held: those of the message begun, and what follows it.
    int size() const { return m_buffer.size(); }
    bool isEmpty() const { return m_buffer.isEmpty(); }
    void clear();

private:
    // Drops what comes before the first "<" of the buffer.
    void dropJunk();

    QByteArray m_buffer; // begins with a message's "<", or is empty
    int m_scanned = 0; // leading bytes already searched for a closing tag
    int m_end = -1; // of the complete message at the front, once found
};

#endif
