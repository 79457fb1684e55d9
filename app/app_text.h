#ifndef APP_TEXT_H
#define APP_TEXT_H

#include <QByteArray>
#include <QString>

// Where the program cuts a text at a length (a line of a log, a warning, a
// quoted message, a name fitted to its column), it cuts between whole
// characters. A character beyond the first 65,536 (an emoji, say) takes two
// UTF-16 units, a surrogate pair; half of one is no character, and UTF-8
// cannot carry it. Inline, so that the reader of the Access files, which
// links none of the program's library, cuts the same way.
namespace AppText {

// The text's first `size` UTF-16 units, or one fewer where the cut would
// leave the first half of a pair at the end; the text itself when it is no longer.
inline QString leftWhole(const QString &text, int size)
{
    if (size < 0 || text.size() <= size)
        return text;
    if (size > 0 && text.at(size - 1).isHighSurrogate())
        --size;
    return text.left(size);
}

// Bytes from outside (a variable of the environment, say) fit to be quoted in
// a message: UTF-8 text as it reads, and each byte that is no part of UTF-8
// text or of a printable character as \xNN, so that a message shows a
// refused value as it was sent, never as what its bytes read as in Latin-1;
// at most `shown` characters, "..." after them when there were more.
inline QString quoted(const QByteArray &bytes, int shown = 80)
{
    const auto escaped = [](uint byte) {
        return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    };
    // The least code point that each length of a sequence may carry: a longer
    // form than needed, a surrogate or what lies past U+10FFFF is no UTF-8.
    static const uint least[] = { 0, 0, 0x80, 0x800, 0x10000 };
    QString out;
    const int n = bytes.size();
    for (int i = 0, characters = 0; i < n; ++characters) {
        if (characters == shown) {
            out += QStringLiteral("...");
            break;
        }
        const uint lead = uchar(bytes.at(i));
        int length = lead < 0x80           ? 1
            : lead >= 0xc2 && lead <= 0xdf ? 2
            : lead >= 0xe0 && lead <= 0xef ? 3
            : lead >= 0xf0 && lead <= 0xf4 ? 4
                                           : 0;
        uint code = length == 1 ? lead : lead & (0xffu >> (length + 1));
        for (int k = 1; k < length; ++k) {
            const uint next = i + k < n ? uchar(bytes.at(i + k)) : 0;
            if ((next & 0xc0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (next & 0x3f);
        }
        if (length == 0 || code < least[length] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
            out += escaped(lead);
            ++i;
            continue;
        }
        if (QChar::isPrint(code)) {
            out += QString::fromUcs4(&code, 1);
        } else {
            for (int k = 0; k < length; ++k)
                out += escaped(uchar(bytes.at(i + k)));
        }
        i += length;
    }
    return out;
}

} // namespace AppText

#endif
