#ifndef TEST_OLDDATABASE_H
#define TEST_OLDDATABASE_H

#include "sql/sql_accessreader.h"
#include "test_environment.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// The two files of the older database generation, "PHYCONST.MDB" (reference
// tables) and "VORNAKEL.MDB" (records), made as SQLite files in a temporary
// folder, which is what the importer's source connection can read. The
// reference tables carry the destination's columns after `id` up to, not
// including, `active`, followed by the older generation's flag `imported`.
// No connection is left registered under the files' paths.
class SqlImportDb;

class TestOldDatabase
{
public:
    // Both files with all their tables, empty.
    TestOldDatabase();

    bool isValid() const { return m_ok; }
    QString folder() const { return m_files.dir(); }
    QString phyconst() const;
    QString vornakel() const;

    // Runs the statements on a file in one transaction; false (and a warning) on failure.
    bool exec(const QString &file, const QStringList &statements) const;
    // The first column of the first row of sql on the file, or an invalid variant.
    QVariant value(const QString &file, const QString &sql) const;
    // Adds `rows` rows to a table, numbered from `first`: text columns get
    // "<column> <n>", numeric ones n + 0.25, `imported` 0.
    bool fill(const QString &file, const QString &table, int rows, int first = 1) const;
    // Takes the write permission off both files, which the importer then
    // opens read-only, as the ODBC driver reads the real files.
    bool makeReadOnly() const;

    // A real Access file (Jet 4) with the one table Monitor_Authenticate,
    // unpacked from Debian's mrtg-contrib by tools/install-deps.sh --tests.
    static QString accessSample();

    // Damaged copies of that file, each of a kind the reader's driver
    // crashes, aborts, loops, warns or goes astray on; its one table,
    // Monitor_Authenticate (one row), renamed to `table` (at most 20
    // letters) when one is given, so that the import reads it.
    enum class Damage {
        None,
        FlippedCatalogPage, // a bit of the catalog table's definition page
        TruncatedTail, // the last 2,000 bytes, amid the catalog's long values, cut off
        CorruptedLengthField, // the length of a property block in the catalog
        LoopingLongValues, // row offsets of the catalog's long-value page
        MissingLastPages, // the last two pages cut off: read, with warnings
        DumpedProperties, // a property block of the catalog's: read, with a warning and a dump of its bytes
        LostRow, // the row pointer of the table's one row: its definition counts a row none can read
        UnreadableTable, // the table's definition page marked as another kind: its SELECT fails
        // Read without a word by the driver, and impossible in a sound file:
        RowInPageHeader, // the row's offset points into its page's header: a row of empty values
        RowInFreeSpace, // the row's offset points into its page's free space: a row of empty values
        SharedColumnNumber, // two columns of the definition under one number: values in other columns
        NoVariableLengthColumns, // the definition counts no text columns while it lists five: empty texts
        // Read wrong without a word by the driver, or crashed or looped on:
        ValueOffsetOutsideRow, // an offset of the row's texts points past the row: a text runs into the next
        ColumnNumberBeyondCount, // column 0's number beyond the count: every value one column off
        ColumnMadeMemo, // a text column's type made memo: its text taken for the head of a long value
        MapRowBeyondPage, // the table's map named as a row its page lacks: the driver crashes
        RowOffsetMovedByOne, // the row's offset one byte on: its fields read one byte off
        PagesSwapped, // the table's data page and another table's swapped
        GiantLongValue, // the length of one of the catalog's long values made 8 MiB more
        CutInCatalog, // the file cut in the catalog's pages: its tables go missing
        CutInLastPage, // the file cut inside its last page: the driver loops or aborts its allocation
    };
    static bool writeDamagedAccessSample(Damage damage, const QString &path, const QString &table = QString());

    // Limits of the reader short enough for a test to wait for (in the
    // settings, which a test keeps apart with TestSettings).
    static void shortenReaderLimits(int seconds = 3, int megabytes = 256);

    // The reader run on a file to its end, as the import runs it: a copy of
    // the tables named (every table when none is) into `copy`.
    static SqlAccessReader::Result copyAccessFile(
        const QString &file, const QString &copy, const QStringList &tables = QStringList());
    // An engine's reader run on a file to its end, as an import's step runs
    // it before the file's tables are asked for.
    static void readAccessFile(SqlImportDb &engine, const QString &file);

    // The records file's samples and their amino acid compositions copied
    // into the database of `connection` as an import copies them; false when
    // the copy warned of anything.
    bool importSamples(const QString &connection) const;

    // What an import whose program died leaves in the database of
    // `connection`: the first `rows` rows of `table` of the reference file,
    // stored a row a slice, and noted for the next import to take back.
    bool leaveUnfinishedImport(const QString &connection, const QString &table, int rows) const;

private:
    TestDatabaseFiles m_files;
    bool m_ok = false;
};

// The user's runtime folder ($XDG_RUNTIME_DIR), where the import keeps the
// copies of the Access files it reads, made anew (only the user may write
// it) for the life of the object; the programs this process starts find it.
class TestRuntimeFolder
{
public:
    TestRuntimeFolder();
    TestRuntimeFolder(const TestRuntimeFolder &) = delete;
    TestRuntimeFolder &operator=(const TestRuntimeFolder &) = delete;
    QString path() const { return m_dir.path(); }
    // The copy folders of imports in it.
    QStringList copyFolders() const;

private:
    QTemporaryDir m_dir;
    TestVariable m_variable;
};

// An ODBC driver on which the reader of the Access files waits for ever
// without a word, whatever the file and the build: its library is a named
// pipe, which the driver manager opens and waits on for a writer. While the
// object lives, the import (in the settings, which a test keeps apart with
// TestSettings) reads through it, and the programs this process starts find
// it; the reader still refuses a file it finds wrong before it asks for the
// driver.
class TestSilentDriver
{
public:
    TestSilentDriver();
    ~TestSilentDriver();
    TestSilentDriver(const TestSilentDriver &) = delete;
    TestSilentDriver &operator=(const TestSilentDriver &) = delete;

    bool isValid() const { return m_ok; }

private:
    QTemporaryDir m_dir;
    QByteArray m_before; // the driver manager's folder of settings, as it was
    bool m_ok = false;
};

#endif
