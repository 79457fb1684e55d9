#include "sql/sql_jetdefinitions.h"

#include <QFile>
#include <QHash>

#include <mdbtools.h>

struct SqlJetDefinitions::Handle
{
    MdbHandle *mdb = nullptr;
    bool catalogRead = false;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }
};

SqlJetDefinitions::SqlJetDefinitions(const QString &file) : m_handle(std::make_unique<Handle>())
{
    m_handle->mdb = mdb_open(QFile::encodeName(file).constData(), MDB_NOFLAGS);
}

SqlJetDefinitions::~SqlJetDefinitions() = default;

namespace {

// The table's catalog entry, its name in any letter case, or null.
MdbCatalogEntry *catalogEntry(MdbHandle *mdb, bool *catalogRead, const QString &table)
{
    if (!mdb)
        return nullptr;
    // Read once: the catalog lists every object of the file.
    if (!*catalogRead) {
        *catalogRead = true;
        if (!mdb_read_catalog(mdb, MDB_TABLE))
            return nullptr;
    }
    if (!mdb->catalog)
        return nullptr;
    for (guint i = 0; i < mdb->catalog->len; ++i) {
        auto *found = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (found->object_type == MDB_TABLE
            && QString::fromUtf8(found->object_name).compare(table, Qt::CaseInsensitive) == 0)
            return found;
    }
    return nullptr;
}

} // namespace

qint64 SqlJetDefinitions::rowCount(const QString &table) const
{
    MdbCatalogEntry *found = catalogEntry(m_handle->mdb, &m_handle->catalogRead, table);
    MdbTableDef *definition = found ? mdb_read_table(found) : nullptr;
    if (!definition)
        return -1;
    const qint64 rows = definition->num_rows;
    mdb_free_tabledef(definition);
    return rows;
}

namespace {

// The low bits of a row's offset on its page; the high ones flag a deleted
// row (0x8000) and one that only points to its data elsewhere (0x4000).
constexpr int offsetMask = 0x1fff;
constexpr int deletedRow = 0x8000;

QString names(const QStringList &columns)
{
    return columns.join(QStringLiteral(", "));
}

// Rows of the table's data pages whose offset points into the page's header
// (the page's own fields and the offsets of its rows) or into the free
// space between them and the rows, where a sound page has none: the driver
// takes what it finds there for a row of empty values.
QString strayRows(MdbTableDef *definition)
{
    MdbHandle *mdb = definition->entry->mdb;
    const int pageSize = int(mdb->fmt->pg_size);
    const int countAt = mdb->fmt->row_count_offset;
    int stray = 0;
    QString first;
    mdb_rewind_table(definition);
    // However the usage map is damaged, no more pages than the file has.
    for (int pages = 0; pages < 1 << 20; ++pages) {
        const int page = mdb_read_next_dpg(definition);
        if (page <= 0)
            break;
        const int rows = mdb_get_int16(mdb->pg_buf, countAt);
        const int headerEnd = countAt + 2 + 2 * rows;
        if (rows <= 0 || headerEnd > pageSize)
            continue;
        const int freeSpace = mdb_get_int16(mdb->pg_buf, 2);
        bool deleted = false;
        for (int row = 0; row < rows; ++row)
            deleted = deleted || (mdb_get_int16(mdb->pg_buf, countAt + 2 + 2 * row) & deletedRow);
        for (int row = 0; row < rows; ++row) {
            const int offset = mdb_get_int16(mdb->pg_buf, countAt + 2 + 2 * row);
            if (offset & deletedRow)
                continue;
            const int start = offset & offsetMask;
            // The free space is known exactly only on a page without deleted
            // rows, whose room a later row may take.
            const bool inHeader = start < headerEnd;
            if (!inHeader && (deleted || start >= headerEnd + freeSpace))
                continue;
            if (stray++ == 0)
                first = QStringLiteral("row %1 of page %2 starts inside the page's %3")
                            .arg(row + 1)
                            .arg(page)
                            .arg(QLatin1String(inHeader ? "header" : "free space"));
        }
    }
    if (stray == 0)
        return QString();
    return QStringLiteral("%1 %2 of its data pages %3 outside the rows of %4 page (%5); the driver reads %6 as %7 of "
                          "empty values")
        .arg(stray)
        .arg(QLatin1String(stray == 1 ? "row" : "rows"))
        .arg(QLatin1String(stray == 1 ? "starts" : "start"))
        .arg(QLatin1String(stray == 1 ? "its" : "their"))
        .arg(first)
        .arg(QLatin1String(stray == 1 ? "it" : "them"))
        .arg(QLatin1String(stray == 1 ? "a row" : "rows"));
}

} // namespace

QStringList SqlJetDefinitions::damage(const QString &table) const
{
    MdbCatalogEntry *found = catalogEntry(m_handle->mdb, &m_handle->catalogRead, table);
    MdbTableDef *definition = found ? mdb_read_table(found) : nullptr;
    if (!definition)
        return QStringList();
    QStringList told;
    GPtrArray *columns = mdb_read_columns(definition);
    if (columns) {
        QHash<int, QStringList> byNumber;
        QList<int> numbers;
        QStringList variable;
        for (guint i = 0; i < columns->len; ++i) {
            const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(columns, i));
            const QString name = QString::fromUtf8(column->name);
            if (!byNumber.contains(column->col_num))
                numbers << column->col_num;
            byNumber[column->col_num] << name;
            if (!column->is_fixed)
                variable << name;
        }
        for (int number : qAsConst(numbers))
            if (byNumber.value(number).size() > 1)
                told << QStringLiteral("its definition gives the number %1 to %2 columns (%3); their values may "
                                       "arrive in other columns")
                            .arg(number)
                            .arg(byNumber.value(number).size())
                            .arg(names(byNumber.value(number)));
        if (definition->num_var_cols == 0 && !variable.isEmpty())
            told << QStringLiteral("its definition counts no columns of variable length, but lists %1 (%2); their "
                                   "values arrive empty")
                        .arg(variable.size())
                        .arg(names(variable));
    }
    const QString stray = strayRows(definition);
    if (!stray.isEmpty())
        told << stray;
    mdb_free_tabledef(definition);
    return told;
}
