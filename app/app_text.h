#ifndef APP_TEXT_H
#define APP_TEXT_H

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

} // namespace AppText

#endif
