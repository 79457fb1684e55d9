#include "sql/sql_jetdefinitions.h"

#include <QFile>

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

qint64 SqlJetDefinitions::rowCount(const QString &table) const
{
    MdbHandle *mdb = m_handle->mdb;
    if (!mdb)
        return -1;
    // Read once: the catalog lists every object of the file.
    if (!m_handle->catalogRead) {
        m_handle->catalogRead = true;
        if (!mdb_read_catalog(mdb, MDB_TABLE))
            return -1;
    }
    if (!mdb->catalog)
        return -1;
    for (guint i = 0; i < mdb->catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE
            || QString::fromUtf8(entry->object_name).compare(table, Qt::CaseInsensitive) != 0)
            continue;
        MdbTableDef *definition = mdb_read_table(entry);
        if (!definition)
            return -1;
        const qint64 rows = definition->num_rows;
        mdb_free_tabledef(definition);
        return rows;
    }
    return -1;
}
