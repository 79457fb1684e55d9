#include "sql/sql_jetcheck.h"

#include <QFile>
#include <QSet>
#include <QVector>

#include <functional>

namespace {

// Jet 4 (and later): pages of 4 KiB, and where their fields lie.
constexpr int jet4PageSize = 4096;
constexpr int jet3PageSize = 2048;
constexpr int versionAt = 0x14;
// A data page: its kind (1), free space, the definition it belongs to, its rows.
constexpr int dataPage = 0x01;
constexpr int definitionPage = 0x02;
constexpr int bitmapPage = 0x05;
constexpr int freeSpaceAt = 2;
constexpr int ownerAt = 4;
constexpr int rowCountAt = 12;
constexpr int rowOffsetsAt = 14;
// A row's offset: its low bits; the high ones flag a deleted row and one
// that only points to its data on another page.
constexpr int offsetMask = 0x1fff;
constexpr int deletedRow = 0x8000;
constexpr int movedRow = 0x4000;
// The pages of long values carry this where a data page names its table.
constexpr quint32 longValueOwner = 0x4c41564c; // "LVAL"
// A table's definition.
constexpr int nextDefinitionAt = 4;
constexpr int definitionLengthAt = 8;
constexpr int rowsAt = 16;
constexpr int maxColumnsAt = 41;
constexpr int variableColumnsAt = 43;
constexpr int columnsAt = 45;
constexpr int indexesAt = 47;
constexpr int realIndexesAt = 51;
constexpr int usageMapAt = 55;
constexpr int realIndexEntriesAt = 63;
constexpr int realIndexEntrySize = 12;
constexpr int columnEntrySize = 25;
constexpr int realIndexSize = 52;
constexpr int indexSize = 28;
constexpr int definitionContinuationHeader = 8;
// A column's flags: of fixed length, and one that numbers its rows itself.
constexpr int autoNumbered = 0x04;
// Column types.
enum Type {
    Bool = 0x01,
    Byte = 0x02,
    Int = 0x03,
    Long = 0x04,
    Money = 0x05,
    Float = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    ReplicationId = 0x0f,
    Numeric = 0x10,
};
// The head of a long value: its length (3 bytes) and kind, then where it lies.
constexpr int longValueHead = 12;
constexpr int inlineValue = 0x80;
constexpr int singleRowValue = 0x40;
// A table's own name is no longer than 64 characters.
constexpr int longestName = 128;
// What is told of one table: the first few.
constexpr int toldAtMost = 5;

// Bytes that are read only where they are: every read is checked first.
struct Bytes
{
    const uchar *data = nullptr;
    qint64 size = 0;

    bool has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at <= size - count; }
    int u8(qint64 at) const { return has(at, 1) ? data[at] : -1; }
    int u16(qint64 at) const { return has(at, 2) ? data[at] | data[at + 1] << 8 : -1; }
    qint64 u24(qint64 at) const
    {
        return has(at, 3) ? qint64(data[at]) | qint64(data[at + 1]) << 8 | qint64(data[at + 2]) << 16 : -1;
    }
    qint64 u32(qint64 at) const { return has(at, 4) ? u24(at) | qint64(data[at + 3]) << 24 : -1; }
    Bytes mid(qint64 at, qint64 count) const { return has(at, count) ? Bytes { data + at, count } : Bytes {}; }
};

struct Column
{
    int type = 0;
    int number = 0;
    int variableIndex = 0;
    int flags = 0;
    int fixedOffset = 0;
    int length = 0;
    int precision = 0; // of a number of its own precision and scale
    int scale = 0;
    QString name;
    bool isFixed() const { return flags & 0x01; }
    bool isLong() const { return type == Memo || type == Ole; }
};

struct Table
{
    qint64 page = 0;
    int maxColumns = 0;
    int variableColumns = 0;
    QVector<Column> columns;
    int usageRow = 0;
    qint64 usagePage = 0;
    qint64 rows = 0; // as its definition counts them
};

// Where a row lies on its page.
struct RowPlace
{
    int start = 0;
    int end = 0;
    bool deleted = false;
    bool moved = false;
};

// The size a column of a fixed-size type takes, or 0 for the others.
int typeSize(int type)
{
    switch (type) {
    case Byte:
        return 1;
    case Int:
        return 2;
    case Long:
    case Float:
        return 4;
    case Money:
    case Double:
    case DateTime:
        return 8;
    case ReplicationId:
        return 16;
    default:
        return 0;
    }
}

// The types of Jet 4; the later format (version 2 on) adds 0x12.
bool knownType(int type, int version)
{
    return (type >= Bool && type <= Memo) || (type >= ReplicationId && type <= (version >= 2 ? 0x12 : 0x11));
}

// What a value of variable length cannot be in a sound row: a number of
// the wrong size, a text of half a character or longer than its column
// takes. Empty when it can be.
QString valueDamage(const Column &column, const Bytes &value)
{
    if (value.size == 0)
        return QString();
    if (column.type == Numeric && value.size != 17)
        return QStringLiteral("holds a number of %1 bytes, where a number takes 17").arg(value.size);
    const int size = typeSize(column.type);
    if (size > 0 && value.size != size)
        return QStringLiteral("holds %1 bytes, where its type takes %2").arg(value.size).arg(size);
    const bool compressed = value.size >= 2 && value.u8(0) == 0xff && value.u8(1) == 0xfe;
    if (column.type == Text && !compressed && (value.size % 2 != 0 || value.size > column.length))
        return QStringLiteral("holds a text of %1 bytes, where it takes whole characters, at most %2 bytes")
            .arg(value.size)
            .arg(column.length);
    if ((column.type == Binary || (column.type == Text && compressed)) && value.size > column.length + 2)
        return QStringLiteral("holds %1 bytes, more than its %2").arg(value.size).arg(column.length);
    return QString();
}

QString utf16(const Bytes &bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data), int(bytes.size / 2));
}

// A text value: UTF-16, or in the compressed form (0xff 0xfe first), in
// which each byte is a character until a 0 byte switches to UTF-16 and back.
QString textValue(const Bytes &bytes)
{
    if (bytes.size < 2 || bytes.u8(0) != 0xff || bytes.u8(1) != 0xfe)
        return utf16(bytes);
    QString text;
    bool compressed = true;
    for (qint64 at = 2; at < bytes.size;) {
        if (bytes.u8(at) == 0) {
            compressed = !compressed;
            ++at;
        } else if (compressed) {
            text += QChar(bytes.u8(at++));
        } else if (bytes.has(at, 2)) {
            text += QChar(ushort(bytes.u16(at)));
            at += 2;
        } else {
            break;
        }
    }
    return text;
}

} // namespace

struct SqlJetCheck::Layout
{
    Bytes file;
    int version = 1;
    int pageSize = jet4PageSize;
    qint64 pages = 0;

    Bytes page(qint64 number) const
    {
        return number >= 0 && number < pages ? file.mid(number * pageSize, pageSize) : Bytes {};
    }

    // The definition of the table on `first` and the pages it continues on.
    bool readDefinition(qint64 first, Table *table, QByteArray *storage, QStringList *damage) const;
    // The row's place on a data page, or why it lies outside it.
    bool rowPlace(const Bytes &data, qint64 pageNumber, int row, RowPlace *place, QString *why) const;
    // The data pages the table's map lists; false, with why, when the map cannot be read.
    bool mappedPages(const Table &table, QVector<qint64> *listed, QStringList *damage) const;
    // Every row of the table on its pages: its bytes given to `visit`, or
    // what is wrong with it told.
    void readRows(const Table &table, const QVector<qint64> &listed, QStringList *damage,
        const std::function<void(
            const Bytes &row, const QVector<Bytes> &values, QStringList *damage, const QString &where)> &visit) const;
    // The bytes of a long value, or why its head points elsewhere.
    bool longValue(const Bytes &value, QByteArray *bytes, QString *why) const;
    // What is wrong with a block of properties, or an empty text.
    QString propertiesDamage(const QByteArray &properties) const;
    // Everything of the table, one line each.
    QStringList tableDamage(qint64 definition) const;
};

bool SqlJetCheck::Layout::readDefinition(qint64 first, Table *table, QByteArray *storage, QStringList *damage) const
{
    const Bytes head = page(first);
    if (!head.data) {
        *damage << QStringLiteral("its definition lies on page %1, beyond the file's %2 pages").arg(first).arg(pages);
        return false;
    }
    if (head.u8(0) != definitionPage) {
        *damage << QStringLiteral("its definition's page %1 holds no table definition").arg(first);
        return false;
    }
    storage->append(reinterpret_cast<const char *>(head.data), int(head.size));
    QSet<qint64> seen { first };
    for (qint64 next = Bytes { head }.u32(nextDefinitionAt); next != 0;) {
        const Bytes more = page(next);
        if (!more.data || more.u8(0) != definitionPage || seen.contains(next)) {
            *damage << QStringLiteral("its definition goes on to page %1, which holds no part of it").arg(next);
            return false;
        }
        seen << next;
        storage->append(reinterpret_cast<const char *>(more.data) + definitionContinuationHeader,
            int(more.size) - definitionContinuationHeader);
        next = more.u32(nextDefinitionAt);
    }
    const Bytes whole { reinterpret_cast<const uchar *>(storage->constData()), storage->size() };
    const qint64 length = whole.u32(definitionLengthAt);
    if (length < realIndexEntriesAt || length > whole.size) {
        *damage << QStringLiteral("its definition claims %1 bytes, but its pages hold %2").arg(length).arg(whole.size);
        return false;
    }
    // From here on nothing is read beyond the definition's own length.
    const Bytes d = whole.mid(0, length);
    table->page = first;
    table->rows = d.u32(rowsAt);
    table->maxColumns = d.u16(maxColumnsAt);
    table->variableColumns = d.u16(variableColumnsAt);
    const int columns = d.u16(columnsAt);
    const qint64 indexes = d.u32(indexesAt);
    const qint64 realIndexes = d.u32(realIndexesAt);
    table->usageRow = d.u8(usageMapAt);
    table->usagePage = d.u24(usageMapAt + 1);
    const int before = damage->size();
    if (columns <= 0 || columns > 255 || table->maxColumns < columns)
        *damage << QStringLiteral("its definition counts %1 columns and numbers them below %2")
                       .arg(columns)
                       .arg(table->maxColumns);
    if (indexes < 0 || indexes > 255 || realIndexes < 0 || realIndexes > indexes)
        *damage << QStringLiteral("its definition counts %1 indexes, %2 of them real").arg(indexes).arg(realIndexes);
    if (damage->size() > before)
        return false;
    qint64 at = realIndexEntriesAt + realIndexEntrySize * realIndexes;
    if (!d.has(at, qint64(columnEntrySize) * columns)) {
        *damage << QStringLiteral("its definition's %1 columns run past its end").arg(columns);
        return false;
    }
    for (int c = 0; c < columns; ++c, at += columnEntrySize) {
        Column column;
        column.type = d.u8(at);
        column.number = d.u16(at + 5);
        column.variableIndex = d.u16(at + 7);
        column.precision = d.u8(at + 11);
        column.scale = d.u8(at + 12);
        column.flags = d.u8(at + 15);
        column.fixedOffset = d.u16(at + 21);
        column.length = d.u16(at + 23);
        table->columns << column;
    }
    for (Column &column : table->columns) {
        const int size = d.u16(at);
        if (size <= 0 || size > longestName || size % 2 != 0 || !d.has(at + 2, size)) {
            *damage << QStringLiteral("its definition's column names run past its end");
            return false;
        }
        column.name = utf16(d.mid(at + 2, size));
        at += 2 + size;
    }
    QSet<int> numbers;
    QSet<int> variableIndexes;
    QVector<QPair<int, int>> fixedParts;
    QStringList variableNames;
    int listedVariable = 0;
    for (const Column &column : qAsConst(table->columns))
        listedVariable += knownType(column.type, version) && !column.isFixed() ? 1 : 0;
    for (const Column &column : qAsConst(table->columns)) {
        const QString name = column.name;
        if (column.number >= table->maxColumns)
            *damage << QStringLiteral("its definition gives column %1 the number %2, not below its %3")
                           .arg(name)
                           .arg(column.number)
                           .arg(table->maxColumns);
        else if (numbers.contains(column.number))
            *damage << QStringLiteral("its definition gives the number %1 to two columns, %2 among them")
                           .arg(column.number)
                           .arg(name);
        numbers << column.number;
        if (!knownType(column.type, version)) {
            *damage << QStringLiteral("its column %1 is of no known type (%2)").arg(name).arg(column.type);
            continue;
        }
        const int size = typeSize(column.type);
        if (size > 0 && column.length != size)
            *damage << QStringLiteral("its column %1 takes %2 bytes, but its type takes %3")
                           .arg(name)
                           .arg(column.length)
                           .arg(size);
        if ((column.type == Bool && !column.isFixed())
            || ((column.type == Text || column.type == Binary || column.isLong()) && column.isFixed()))
            *damage << QStringLiteral("its column %1 is marked of %2 length, which its type cannot be")
                           .arg(name, QLatin1String(column.isFixed() ? "fixed" : "variable"));
        // Numbers count themselves only as whole numbers and replication ids.
        if ((column.flags & autoNumbered) && column.type != Long && column.type != ReplicationId)
            *damage << QStringLiteral("its column %1 is marked as counting itself, which its type cannot").arg(name);
        if (column.type == Numeric
            && (column.precision < 1 || column.precision > 28 || column.scale > column.precision))
            *damage << QStringLiteral("its number column %1 has %2 digits, %3 of them decimals")
                           .arg(name)
                           .arg(column.precision)
                           .arg(column.scale);
        if (column.type == Text && (column.length <= 0 || column.length > 510))
            *damage << QStringLiteral("its text column %1 takes %2 bytes").arg(name).arg(column.length);
        if (!column.isFixed()) {
            variableNames << name;
            if (listedVariable == table->variableColumns
                && (column.variableIndex >= table->variableColumns || variableIndexes.contains(column.variableIndex)))
                *damage << QStringLiteral("its column %1 is number %2 of its columns of variable length, of which "
                                          "its definition counts %3")
                               .arg(name)
                               .arg(column.variableIndex + 1)
                               .arg(table->variableColumns);
            variableIndexes << column.variableIndex;
        } else if (column.type != Bool) {
            if (column.length <= 0 || column.fixedOffset + column.length > pageSize)
                *damage << QStringLiteral("its column %1 of fixed length lies outside a row").arg(name);
            for (const auto &part : qAsConst(fixedParts))
                if (column.fixedOffset < part.first + part.second && part.first < column.fixedOffset + column.length)
                    *damage << QStringLiteral("its column %1 shares its place in the row with another").arg(name);
            fixedParts.append({ column.fixedOffset, column.length });
        }
    }
    if (listedVariable != table->variableColumns)
        *damage << QStringLiteral("its definition counts %1 columns of variable length, but lists %2 (%3)")
                       .arg(table->variableColumns)
                       .arg(listedVariable)
                       .arg(variableNames.join(QStringLiteral(", ")));
    // The real indexes: their columns, and the pages they begin on.
    for (qint64 i = 0; i < realIndexes; ++i, at += realIndexSize) {
        if (!d.has(at, realIndexSize)) {
            *damage << QStringLiteral("its definition's indexes run past its end");
            return false;
        }
        for (int k = 0; k < 10; ++k) {
            const int number = d.u16(at + 4 + 3 * k);
            if (number != 0xffff && !numbers.contains(number))
                *damage << QStringLiteral("an index of its definition names the column number %1, which it lacks")
                               .arg(number);
        }
        if (d.u24(at + 35) >= pages || d.u32(at + 38) >= pages)
            *damage << QStringLiteral("an index of its definition lies beyond the file's %1 pages").arg(pages);
    }
    for (qint64 i = 0; i < indexes; ++i, at += indexSize) {
        if (!d.has(at, indexSize)) {
            *damage << QStringLiteral("its definition's indexes run past its end");
            return false;
        }
        if (d.u32(at + 8) >= realIndexes)
            *damage << QStringLiteral("an index of its definition names its real index %1, of which it counts %2")
                           .arg(d.u32(at + 8) + 1)
                           .arg(realIndexes);
    }
    for (qint64 i = 0; i < indexes; ++i) {
        const int size = d.u16(at);
        if (size < 0 || !d.has(at + 2, size)) {
            *damage << QStringLiteral("its definition's index names run past its end");
            return false;
        }
        at += 2 + size;
    }
    // The pages of columns of long values, to a mark of 0xffff.
    for (int entries = 0;; ++entries) {
        const int number = d.u16(at);
        if (number == 0xffff)
            break;
        if (number < 0 || !d.has(at + 2, 8) || entries > columns) {
            *damage << QStringLiteral("its definition runs past its end");
            return false;
        }
        if (!numbers.contains(number))
            *damage
                << QStringLiteral("its definition keeps pages for the column number %1, which it lacks").arg(number);
        at += 10;
    }
    return damage->size() == before;
}

bool SqlJetCheck::Layout::rowPlace(const Bytes &data, qint64 pageNumber, int row, RowPlace *place, QString *why) const
{
    const int rows = data.u16(rowCountAt);
    const int headerEnd = rowOffsetsAt + 2 * rows;
    if (rows < 0 || headerEnd > pageSize) {
        *why = QStringLiteral("page %1 counts %2 rows, more than it can hold").arg(pageNumber).arg(rows);
        return false;
    }
    if (row < 0 || row >= rows) {
        *why = QStringLiteral("page %1 has no row %2").arg(pageNumber).arg(row + 1);
        return false;
    }
    const int offset = data.u16(rowOffsetsAt + 2 * row);
    place->start = offset & offsetMask;
    place->end = row == 0 ? pageSize : data.u16(rowOffsetsAt + 2 * row - 2) & offsetMask;
    place->deleted = offset & deletedRow;
    place->moved = offset & movedRow;
    if (place->deleted)
        return true;
    bool deletedOnPage = false;
    for (int r = 0; r < rows; ++r)
        deletedOnPage = deletedOnPage || (data.u16(rowOffsetsAt + 2 * r) & deletedRow);
    const int freeSpace = data.u16(freeSpaceAt);
    const QString at = QStringLiteral("row %1 of page %2").arg(row + 1).arg(pageNumber);
    if (place->start < headerEnd)
        *why = QStringLiteral("%1 starts inside the page's header").arg(at);
    else if (!deletedOnPage && place->start < headerEnd + freeSpace)
        *why = QStringLiteral("%1 starts inside the page's free space").arg(at);
    else if (place->end > pageSize || place->start >= place->end)
        *why = QStringLiteral("%1 does not lie between its neighbours").arg(at);
    return why->isEmpty();
}

bool SqlJetCheck::Layout::mappedPages(const Table &table, QVector<qint64> *listed, QStringList *damage) const
{
    const Bytes holder = page(table.usagePage);
    RowPlace place;
    QString why;
    if (!holder.data || holder.u8(0) != dataPage || !rowPlace(holder, table.usagePage, table.usageRow, &place, &why)
        || place.deleted || place.moved) {
        *damage << QStringLiteral("the map of its pages (row %1 of page %2) cannot be read%3")
                       .arg(table.usageRow + 1)
                       .arg(table.usagePage)
                       .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        return false;
    }
    const Bytes map = holder.mid(place.start, place.end - place.start);
    QSet<qint64> pagesSeen;
    auto bits = [&](const Bytes &bitmap, qint64 firstPage) {
        for (qint64 i = 0; i < bitmap.size; ++i)
            for (int bit = 0; bit < 8; ++bit)
                if (bitmap.u8(i) & (1 << bit)) {
                    const qint64 number = firstPage + i * 8 + bit;
                    if (!pagesSeen.contains(number)) {
                        pagesSeen << number;
                        *listed << number;
                    }
                }
    };
    switch (map.u8(0)) {
    case 0:
        if (map.size < 5) {
            *damage << QStringLiteral("the map of its pages is cut short");
            return false;
        }
        bits(map.mid(5, map.size - 5), map.u32(1));
        break;
    case 1:
        // Pages of bitmaps, each for the pages that follow the last one's.
        for (qint64 at = 1, n = 0; map.has(at, 4); at += 4, ++n) {
            const qint64 bitmap = map.u32(at);
            if (bitmap == 0)
                continue;
            const Bytes bitmapBytes = page(bitmap);
            if (!bitmapBytes.data || bitmapBytes.u8(0) != bitmapPage) {
                *damage << QStringLiteral("the map of its pages goes on to page %1, which holds no map").arg(bitmap);
                return false;
            }
            bits(bitmapBytes.mid(4, pageSize - 4), n * (pageSize - 4) * 8);
        }
        break;
    default:
        *damage << QStringLiteral("the map of its pages is of no known kind (%1)").arg(map.u8(0));
        return false;
    }
    const int before = damage->size();
    for (const qint64 number : qAsConst(*listed)) {
        const Bytes data = page(number);
        if (!data.data)
            *damage << QStringLiteral("page %1 of its data lies beyond the file's %2 pages; the file is cut short")
                           .arg(number)
                           .arg(pages);
        else if (data.u8(0) != dataPage || data.u32(ownerAt) != table.page)
            *damage << QStringLiteral("page %1, which its map lists, holds no data of it").arg(number);
    }
    // Rows of its own that its map leaves out would go missing without a word.
    for (qint64 number = 0; number < pages; ++number) {
        const Bytes data = page(number);
        if (data.u8(0) == dataPage && data.u32(ownerAt) == table.page && !pagesSeen.contains(number))
            *damage << QStringLiteral("page %1 holds rows of it, but its map leaves the page out").arg(number);
    }
    return damage->size() == before;
}

void SqlJetCheck::Layout::readRows(const Table &table, const QVector<qint64> &listed, QStringList *damage,
    const std::function<void(const Bytes &, const QVector<Bytes> &, QStringList *, const QString &)> &visit) const
{
    QHash<int, const Column *> byNumber;
    for (const Column &column : table.columns)
        byNumber.insert(column.number, &column);
    auto checkRow = [&](const Bytes &row, const QString &where) {
        const int columns = row.u16(0);
        if (columns <= 0 || columns > table.maxColumns) {
            *damage << QStringLiteral("%1 counts %2 columns, where the table numbers them below %3")
                           .arg(where)
                           .arg(columns)
                           .arg(table.maxColumns);
            return;
        }
        const int nullMask = (columns + 7) / 8;
        const qint64 countAt = row.size - nullMask - 2;
        const int variable = row.u16(countAt);
        const qint64 tableStart = countAt - 2 * (qint64(variable) + 1);
        if (countAt < 2 || variable < 0 || variable > columns || tableStart < 2) {
            *damage << QStringLiteral("%1 does not hold its %2 columns").arg(where).arg(columns);
            return;
        }
        QVector<int> offsets;
        for (int j = 0; j <= variable; ++j)
            offsets << row.u16(countAt - 2 - 2 * j);
        for (int j = 0; j <= variable; ++j)
            if (offsets.at(j) < 2 || offsets.at(j) > tableStart || (j > 0 && offsets.at(j) < offsets.at(j - 1))) {
                *damage << QStringLiteral("%1: the offsets of its values of variable length lie outside it").arg(where);
                return;
            }
        // The values of fixed length come first, then those of variable
        // length, then their offsets: each part ends where the next begins.
        int fixedEnd = 2;
        for (const Column &column : table.columns)
            if (column.isFixed() && column.type != Bool && column.number < columns)
                fixedEnd = qMax(fixedEnd, 2 + column.fixedOffset + column.length);
        if (offsets.first() != fixedEnd || offsets.last() != tableStart) {
            *damage << QStringLiteral("%1: its values of variable length lie between %2 and %3, where its parts of "
                                      "fixed length and its offsets leave %4 to %5")
                           .arg(where)
                           .arg(offsets.first())
                           .arg(offsets.last())
                           .arg(fixedEnd)
                           .arg(tableStart);
            return;
        }
        QVector<Bytes> values(table.columns.size());
        for (int c = 0; c < table.columns.size(); ++c) {
            const Column &column = table.columns.at(c);
            if (column.number >= columns || column.type == Bool)
                continue;
            if (column.isFixed()) {
                if (2 + column.fixedOffset + column.length > offsets.first()) {
                    *damage << QStringLiteral("%1: its column %2 lies beyond the row's part of fixed length")
                                   .arg(where, column.name);
                    return;
                }
                values[c] = row.mid(2 + column.fixedOffset, column.length);
            } else if (column.variableIndex < variable) {
                const int from = offsets.at(column.variableIndex);
                values[c] = row.mid(from, offsets.at(column.variableIndex + 1) - from);
                const QString wrong = valueDamage(column, values.at(c));
                if (!wrong.isEmpty()) {
                    *damage << QStringLiteral("%1: its column %2 %3").arg(where, column.name, wrong);
                    return;
                }
                if (column.isLong() && values[c].size > 0) {
                    QByteArray ignored;
                    QString why;
                    if (!longValue(values[c], &ignored, &why)) {
                        *damage
                            << QStringLiteral("%1: the long value of its column %2 %3").arg(where, column.name, why);
                        return;
                    }
                }
            }
        }
        if (visit)
            visit(row, values, damage, where);
    };
    qint64 found = 0;
    for (const qint64 number : listed) {
        const Bytes data = page(number);
        const int rows = data.u16(rowCountAt);
        for (int r = 0; r < rows && damage->size() < toldAtMost; ++r) {
            RowPlace place;
            QString why;
            if (!rowPlace(data, number, r, &place, &why)) {
                *damage << why;
                continue;
            }
            if (place.deleted)
                continue;
            ++found;
            const QString where = QStringLiteral("row %1 of page %2").arg(r + 1).arg(number);
            Bytes row = data.mid(place.start, place.end - place.start);
            if (place.moved) {
                // The row lies elsewhere: a pointer to a page of the same table.
                const qint64 target = row.u24(1);
                const Bytes moved = page(target);
                RowPlace movedPlace;
                if (row.size < 4 || !listed.contains(target) || !rowPlace(moved, target, row.u8(0), &movedPlace, &why)
                    || movedPlace.deleted) {
                    *damage << QStringLiteral("%1 points to row %2 of page %3, which holds none of the table's")
                                   .arg(where)
                                   .arg(row.u8(0) + 1)
                                   .arg(target);
                    continue;
                }
                row = moved.mid(movedPlace.start, movedPlace.end - movedPlace.start);
            }
            checkRow(row, where);
        }
        if (damage->size() >= toldAtMost)
            return;
    }
    // Rows lost from a page (its count of rows lowered) go missing without a word.
    if (found != table.rows)
        *damage << QStringLiteral("its definition counts %1 %2, but its pages hold %3")
                       .arg(table.rows)
                       .arg(QLatin1String(table.rows == 1 ? "row" : "rows"))
                       .arg(found);
}

bool SqlJetCheck::Layout::longValue(const Bytes &value, QByteArray *bytes, QString *why) const
{
    if (value.size < longValueHead) {
        *why = QStringLiteral("holds %1 bytes, fewer than its head").arg(value.size);
        return false;
    }
    const qint64 length = value.u24(0);
    const int kind = value.u8(3);
    if (kind & inlineValue) {
        if (length != value.size - longValueHead) {
            *why = QStringLiteral("gives a length of %1 bytes, but holds %2")
                       .arg(length)
                       .arg(value.size - longValueHead);
            return false;
        }
        bytes->append(reinterpret_cast<const char *>(value.data) + longValueHead, int(length));
        return true;
    }
    if (kind != 0 && kind != singleRowValue) {
        *why = QStringLiteral("is of no known kind (%1)").arg(kind);
        return false;
    }
    // On pages of long values: one row, or a chain of rows, each pointing to the next.
    QSet<qint64> seen;
    int row = value.u8(4);
    qint64 number = value.u24(5);
    while (true) {
        const Bytes data = page(number);
        RowPlace place;
        QString where;
        if (!data.data) {
            *why = QStringLiteral("lies on page %1, beyond the file's %2 pages").arg(number).arg(pages);
            return false;
        }
        if (data.u8(0) != dataPage || quint32(data.u32(ownerAt)) != longValueOwner) {
            *why = QStringLiteral("lies on page %1, which holds no long values").arg(number);
            return false;
        }
        if (seen.contains(number << 8 | row) || !rowPlace(data, number, row, &place, &where) || place.deleted) {
            *why = QStringLiteral("lies in row %1 of page %2, which holds none").arg(row + 1).arg(number);
            return false;
        }
        seen << (number << 8 | row);
        const Bytes part = data.mid(place.start, place.end - place.start);
        if (kind == singleRowValue) {
            if (part.size != length) {
                *why = QStringLiteral("gives a length of %1 bytes, but its row holds %2").arg(length).arg(part.size);
                return false;
            }
            bytes->append(reinterpret_cast<const char *>(part.data), int(part.size));
            return true;
        }
        if (part.size < 4 || bytes->size() + part.size - 4 > length) {
            *why = QStringLiteral("gives a length of %1 bytes, but its rows hold more").arg(length);
            return false;
        }
        bytes->append(reinterpret_cast<const char *>(part.data) + 4, int(part.size - 4));
        row = part.u8(0);
        number = part.u24(1);
        if (number == 0) {
            if (bytes->size() != length) {
                *why
                    = QStringLiteral("gives a length of %1 bytes, but its rows hold %2").arg(length).arg(bytes->size());
                return false;
            }
            return true;
        }
    }
}

QString SqlJetCheck::Layout::propertiesDamage(const QByteArray &properties) const
{
    const Bytes p { reinterpret_cast<const uchar *>(properties.constData()), properties.size() };
    if (!properties.startsWith(QByteArray("MR2\0", 4)))
        return QStringLiteral("its properties do not begin as properties do");
    int names = 0;
    for (qint64 at = 4; at < p.size;) {
        const qint64 size = p.u32(at);
        const int kind = p.u16(at + 4);
        if (size < 6 || !p.has(at, size) || kind < 0)
            return QStringLiteral("a block of its properties runs past their end");
        const Bytes block = p.mid(at, size);
        if (kind == 0x80) {
            for (qint64 n = 6; n < block.size; ++names) {
                const int length = block.u16(n);
                if (length < 0 || !block.has(n + 2, length))
                    return QStringLiteral("a name of its properties runs past their end");
                n += 2 + length;
            }
        } else {
            const qint64 nameLength = block.u32(6);
            if (nameLength < 4 || !block.has(6, nameLength))
                return QStringLiteral("a block of its properties runs past their end");
            for (qint64 n = 6 + nameLength; n < block.size;) {
                const int entry = block.u16(n);
                if (entry < 8 || !block.has(n, entry) || block.u16(n + 6) > entry - 8 || block.u16(n + 4) >= names)
                    return QStringLiteral("a property runs past their end");
                n += entry;
            }
        }
        at += size;
    }
    return QString();
}

QStringList SqlJetCheck::Layout::tableDamage(qint64 definition) const
{
    QStringList damage;
    Table table;
    QByteArray storage;
    if (!readDefinition(definition, &table, &storage, &damage))
        return damage.mid(0, toldAtMost);
    QVector<qint64> listed;
    if (!mappedPages(table, &listed, &damage))
        return damage.mid(0, toldAtMost);
    readRows(table, listed, &damage, nullptr);
    return damage.mid(0, toldAtMost);
}

SqlJetCheck::SqlJetCheck(const QString &file) : m_file(std::make_unique<QFile>(file))
{
    if (!m_file->open(QIODevice::ReadOnly)) {
        m_fileDamage = QStringLiteral("it cannot be opened (%1)").arg(m_file->errorString());
        return;
    }
    const qint64 size = m_file->size();
    const uchar *mapped = size > 0 ? m_file->map(0, size) : nullptr;
    if (!mapped) {
        m_fileDamage = QStringLiteral("it cannot be read (%1)").arg(m_file->errorString());
        return;
    }
    m_layout = std::make_unique<Layout>();
    Layout &layout = *m_layout;
    layout.file = Bytes { mapped, size };
    layout.version = layout.file.u8(versionAt);
    layout.pageSize = layout.version == 0 ? jet3PageSize : jet4PageSize;
    // A file cut short inside a page: the driver loops on such a last page.
    if (size % layout.pageSize != 0) {
        m_fileDamage = QStringLiteral("it ends %1 bytes into its page %2: it was cut short")
                           .arg(size % layout.pageSize)
                           .arg(size / layout.pageSize);
        return;
    }
    layout.pages = size / layout.pageSize;
    if (layout.pageSize != jet4PageSize)
        return;

    // The catalog, whose rows list every table: what the driver reads first.
    Table catalog;
    QByteArray storage;
    QStringList damage;
    QVector<qint64> listed;
    if (layout.readDefinition(2, &catalog, &storage, &damage) && layout.mappedPages(catalog, &listed, &damage)) {
        int id = -1, type = -1, name = -1, properties = -1;
        for (int c = 0; c < catalog.columns.size(); ++c) {
            const QString column = catalog.columns.at(c).name;
            if (column == QLatin1String("Id"))
                id = c;
            else if (column == QLatin1String("Type"))
                type = c;
            else if (column == QLatin1String("Name"))
                name = c;
            else if (column == QLatin1String("LvProp"))
                properties = c;
        }
        if (id < 0 || type < 0 || name < 0)
            damage << QStringLiteral("it lacks the columns that name the tables");
        else
            layout.readRows(catalog, listed, &damage,
                [&](const Bytes &, const QVector<Bytes> &values, QStringList *told, const QString &where) {
                    if (properties >= 0 && values.at(properties).size > 0) {
                        QByteArray bytes;
                        QString why;
                        layout.longValue(values.at(properties), &bytes, &why);
                        why = layout.propertiesDamage(bytes);
                        if (!why.isEmpty())
                            *told << QStringLiteral("%1: %2").arg(where, why);
                    }
                    // Tables (1) are found by their names; the low bytes of the id are the definition's page.
                    if (values.at(type).u16(0) == 1 && values.at(id).size == 4 && values.at(name).size > 0)
                        m_tables.insert(textValue(values.at(name)).toLower(), values.at(id).u24(0));
                });
    }
    if (!damage.isEmpty())
        m_fileDamage = QStringLiteral("its catalog of tables is damaged: %1").arg(damage.first());
}

SqlJetCheck::~SqlJetCheck() = default;

QStringList SqlJetCheck::tableDamage(const QString &table) const
{
    if (!m_layout || !m_fileDamage.isEmpty() || m_layout->pageSize != jet4PageSize)
        return QStringList();
    const auto found = m_tables.constFind(table.toLower());
    if (found == m_tables.constEnd())
        return QStringList();
    return m_layout->tableDamage(found.value());
}
