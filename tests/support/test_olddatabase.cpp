#include "test_olddatabase.h"

#include "sql/sql_accessreader.h"
#include "sql/sql_importbatch.h"
#include "sql/sql_importdb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>
#include <sys/stat.h>

namespace {

const QStringList referenceTables = {
    QStringLiteral("CREATE TABLE amino (Namethree TEXT, name TEXT, nameone TEXT, Mr REAL, covalent INTEGER, vbar REAL, "
                   "HipH7 REAL, HipH4 REAL, extinction REAL, charge REAL, pka REAL, imported BIT)"),
    QStringLiteral("CREATE TABLE conjugates (name TEXT, Mr REAL, covalent INTEGER, vbar REAL, hiph7 REAL, hiph4 REAL, "
                   "extinction REAL, charge REAL, pka REAL, Mcutoff REAL, carbo INTEGER, imported BIT)"),
    QStringLiteral("CREATE TABLE denature (Name TEXT, rhomin REAL, v3 REAL, g3 REAL, Md REAL, carbo INTEGER, "
                   "imported BIT)"),
    QStringLiteral("CREATE TABLE rhoseries (name TEXT, a REAL, b REAL, c REAL, d REAL, e REAL, f REAL, Cmax REAL, "
                   "ErrorMax REAL, Source TEXT, imported BIT)"),
    QStringLiteral("CREATE TABLE viscseries (name TEXT, a REAL, b REAL, c REAL, d REAL, e REAL, Cmax REAL, "
                   "ErrorMax REAL, Source TEXT, imported BIT)"),
    QStringLiteral("CREATE TABLE extinction (name TEXT, nm REAL, ext REAL, imported BIT)"),
};

const QStringList recordTables = {
    QStringLiteral("CREATE TABLE Buffer (NAME TEXT, arhoin INTEGER, avisin INTEGER, rhoin REAL, rhoint REAL, "
                   "visin REAL, visint REAL, pH REAL, aHeavy INTEGER, percent0 REAL, percent1 REAL, percent2 REAL)"),
    QStringLiteral("CREATE TABLE BufferCompositions (BufferName TEXT, ComponentName TEXT, Molarity REAL)"),
    QStringLiteral("CREATE TABLE Sample (NAME TEXT, vbarin REAL, vbarwater REAL, Texact REAL, sk REAL, pkaamino REAL, "
                   "pkacarboxyl REAL, NMer INTEGER, AASequence TEXT, delta1c REAL)"),
    QStringLiteral("CREATE TABLE Experiment (NAME TEXT, Tc REAL, RPM REAL, sigma REAL, sstar REAL, mgml REAL, "
                   "sstart REAL, vbar REAL, rho REAL, vis REAL, Mp REAL, Mb REAL, choicem INTEGER, SampleName TEXT, "
                   "BufferName TEXT, Date TEXT)"),
    QStringLiteral("CREATE TABLE AminoAcidCompositions (SampleName TEXT, Name3 TEXT, Moles REAL)"),
};

// Runs `work` on a private connection to the file, removed again afterwards.
bool onFile(const QString &file, const std::function<bool(QSqlDatabase &)> &work)
{
    const QString name = QStringLiteral("TestOldDatabase:") + file;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ok = db.open() && work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

TestOldDatabase::TestOldDatabase()
{
    m_ok = exec(phyconst(), referenceTables) && exec(vornakel(), recordTables);
}

QString TestOldDatabase::phyconst() const
{
    return m_files.path(QStringLiteral("PHYCONST.MDB"));
}

QString TestOldDatabase::vornakel() const
{
    return m_files.path(QStringLiteral("VORNAKEL.MDB"));
}

bool TestOldDatabase::exec(const QString &file, const QStringList &statements) const
{
    return onFile(file, [&](QSqlDatabase &db) {
        db.transaction();
        QSqlQuery query(db);
        for (const QString &sql : statements) {
            if (!query.exec(sql)) {
                qWarning() << "TestOldDatabase:" << sql << query.lastError().text();
                db.rollback();
                return false;
            }
        }
        query.finish();
        return db.commit();
    });
}

QVariant TestOldDatabase::value(const QString &file, const QString &sql) const
{
    QVariant result;
    onFile(file, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        if (query.exec(sql) && query.next())
            result = query.value(0);
        return true;
    });
    return result;
}

bool TestOldDatabase::fill(const QString &file, const QString &table, int rows, int first) const
{
    return onFile(file, [&](QSqlDatabase &db) {
        const QSqlRecord columns = db.record(table);
        QStringList marks;
        for (int i = 0; i < columns.count(); ++i)
            marks << QStringLiteral("?");
        db.transaction();
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(QLatin1Char(','))));
        for (int n = first; n < first + rows; ++n) {
            for (int i = 0; i < columns.count(); ++i) {
                const QString column = columns.fieldName(i);
                if (column == QLatin1String("imported"))
                    query.bindValue(i, 0);
                else if (columns.field(i).type() == QVariant::String)
                    query.bindValue(i, QStringLiteral("%1 %2").arg(column).arg(n));
                else
                    query.bindValue(i, n + 0.25);
            }
            if (!query.exec()) {
                qWarning() << "TestOldDatabase:" << table << query.lastError().text();
                db.rollback();
                return false;
            }
        }
        query.finish();
        return db.commit();
    });
}

bool TestOldDatabase::makeReadOnly() const
{
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    return QFile::setPermissions(phyconst(), readOnly) && QFile::setPermissions(vornakel(), readOnly);
}

QString TestOldDatabase::accessSample()
{
    return QStringLiteral(VORNAKEL_SOURCE_DIR "/tests/fetched/Monitor.mdb");
}

namespace {

// Renames the sample's one table in its catalog row (page 14), where the name
// is the first variable-length field: the second (Owner, bytes the import
// never reads) begins where the new name ends and takes the room it frees,
// so that the row stays whole, as a sound row is.
bool renameAccessTable(QByteArray &bytes, int page, const QString &table)
{
    const int row = 14 * page + 0x9aa;
    const int end = 14 * page + 0xa1d;
    const QString old = QStringLiteral("Monitor_Authenticate");
    const QByteArray name(reinterpret_cast<const char *>(table.utf16()), 2 * table.size());
    if (table.isEmpty() || table.size() > old.size()
        || bytes.mid(row + 0x20, 2 * old.size())
            != QByteArray(reinterpret_cast<const char *>(old.utf16()), 2 * old.size()))
        return false;
    bytes.replace(row + 0x20, name.size(), name);
    // Before the 3-byte null mask and the count of variable fields, their
    // offsets, last first: the second's after the name's.
    const int second = end - 3 - 2 - 2 * 2;
    const int offset = 0x20 + name.size();
    bytes[second] = char(offset & 0xff);
    bytes[second + 1] = char(offset >> 8);
    return true;
}

} // namespace

bool TestOldDatabase::writeDamagedAccessSample(Damage damage, const QString &path, const QString &table)
{
    QFile sample(accessSample());
    if (!sample.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = sample.readAll();
    // Jet 4 pages of 4 KiB; the offsets were read from the file's pages.
    constexpr int page = 4096;
    if (bytes.size() != 27 * page)
        return false;
    if (!table.isEmpty() && !renameAccessTable(bytes, page, table))
        return false;
    switch (damage) {
    case Damage::None:
        break;
    case Damage::FlippedCatalogPage:
        // Page 2 defines the catalog table; at 0x37 the row of its usage map.
        bytes[2 * page + 0x37] = char(bytes.at(2 * page + 0x37) ^ 0x40);
        break;
    case Damage::TruncatedTail:
        bytes.chop(2000);
        break;
    case Damage::CorruptedLengthField:
        // Page 14 holds the catalog's rows; at 0xb29 the 32-bit length (26) of
        // the first block of a table's properties, here 0x7fff001a.
        bytes[14 * page + 0xb2b] = char(0xff);
        bytes[14 * page + 0xb2c] = char(0x7f);
        break;
    case Damage::LoopingLongValues:
        // Page 26 holds the catalog's long values; from 14 on its row offsets.
        bytes[26 * page + 15] = char(0xff);
        bytes[26 * page + 16] = char(0xff);
        break;
    case Damage::MissingLastPages:
        bytes.chop(2 * page);
        break;
    case Damage::DumpedProperties:
        // Page 26 holds the catalog's long values; at 0xbbb the start of a property block.
        bytes[26 * page + 0xbbb] = 0;
        break;
    case Damage::LostRow:
        // Page 17 holds the table's row; at 14 its pointer, 0x0f00, made to point nowhere.
        bytes[17 * page + 14] = char(0xff);
        bytes[17 * page + 15] = char(0x7f);
        break;
    case Damage::UnreadableTable:
        // Page 15 defines the table; its first byte says what kind of page it is.
        bytes[15 * page] = 0;
        break;
    case Damage::RowInPageHeader:
        // The row's offset (at 14 of page 17, 0x0f00) made to point at the page's own fields.
        bytes[17 * page + 14] = 0x02;
        bytes[17 * page + 15] = 0;
        break;
    case Damage::RowInFreeSpace:
        // The row's offset made to point into the empty room before the row.
        bytes[17 * page + 14] = 0;
        bytes[17 * page + 15] = 0x02;
        break;
    case Damage::SharedColumnNumber:
        // Page 15 lists the table's 12 columns from 63 on, 25 bytes each, a
        // column's number at 5 of its entry: the fourth takes the second's.
        bytes[15 * page + 63 + 3 * 25 + 5] = 1;
        break;
    case Damage::NoVariableLengthColumns:
        // At 43 of page 15 the count of the columns of variable length (5).
        bytes[15 * page + 43] = 0;
        bytes[15 * page + 44] = 0;
        break;
    case Damage::ValueOffsetOutsideRow:
        // The row (at 0xf00 of page 17, 256 bytes) ends with the offsets of its
        // values; at 0xff2 the high byte of its last text's.
        bytes[17 * page + 0xff2] = char(0xff);
        break;
    case Damage::ColumnNumberBeyondCount:
        bytes[15 * page + 63 + 5] = char(0xff);
        break;
    case Damage::ColumnMadeMemo:
        // The fifth column, EMail_Address, a text.
        bytes[15 * page + 63 + 4 * 25] = 0x0c;
        break;
    case Damage::MapRowBeyondPage:
        // At 55 of page 15 the row on page 16 that holds the table's map.
        bytes[15 * page + 55] = char(0xff);
        break;
    case Damage::RowOffsetMovedByOne:
        bytes[17 * page + 14] = char(bytes.at(17 * page + 14) + 1);
        break;
    case Damage::PagesSwapped: {
        // The table's rows (page 17) and those of MSysAccessObjects (page 20).
        const QByteArray rows = bytes.mid(17 * page, page);
        bytes.replace(17 * page, page, bytes.mid(20 * page, page));
        bytes.replace(20 * page, page, rows);
        break;
    }
    case Damage::GiantLongValue:
        // At 0xeab6 the head of a long value of the catalog's (256 bytes); its length's high byte.
        bytes[0xeab6 + 2] = char(0x80);
        break;
    case Damage::CutInCatalog:
        bytes.truncate(26 * 1024);
        break;
    case Damage::CutInLastPage:
        bytes.truncate(110080);
        break;
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

SqlAccessReader::Result TestOldDatabase::copyAccessFile(
    const QString &file, const QString &copy, const QStringList &tables)
{
    SqlAccessReader reader;
    if (!testRunUntil(&reader, &SqlAccessReader::ended, [&] { reader.startCopy(file, copy, tables); }))
        qWarning() << "TestOldDatabase: the reader did not end on" << file;
    return reader.result();
}

void TestOldDatabase::readAccessFile(SqlImportDb &engine, const QString &file)
{
    if (!testRunUntil(&engine, &SqlImportDb::sigReadEnded, [&] { engine.startReading(file); }))
        qWarning() << "TestOldDatabase: the reader did not end on" << file;
}

bool TestOldDatabase::importSamples(const QString &connection) const
{
    SqlImportDb engine(connection);
    bool warned = false;
    QObject::connect(&engine, &SqlImportDb::sigWarning, [&warned](const QString &title, const QString &text) {
        qWarning().noquote() << title << text;
        warned = true;
    });
    engine.copySampleTable(vornakel(), false);
    engine.copyAminoAcidCompositionsTable(vornakel(), false);
    return !warned;
}

bool TestOldDatabase::leaveUnfinishedImport(const QString &connection, const QString &table, int rows) const
{
    QSettings settings;
    const QVariant sliceTime = settings.value(QLatin1String(SqlImportBatch::sliceTimeKey));
    settings.setValue(QLatin1String(SqlImportBatch::sliceTimeKey), 0);
    bool ok = true;
    {
        SqlImportDb dying(connection);
        dying.beginReferenceTable(phyconst(), table, true);
        for (int slice = 0; slice < rows && ok; ++slice)
            ok = dying.proceed();
        // Its program ends here, without a word: as killed, a program that no longer runs.
        QSqlQuery owner(QSqlDatabase::database(connection));
        ok = ok && owner.exec(QStringLiteral("UPDATE importUnfinished SET owner = '2147483646:1'"));
    }
    if (sliceTime.isValid())
        settings.setValue(QLatin1String(SqlImportBatch::sliceTimeKey), sliceTime);
    else
        settings.remove(QLatin1String(SqlImportBatch::sliceTimeKey));
    if (!ok)
        qWarning() << "TestOldDatabase: no unfinished import of" << table << "was left";
    return ok;
}

TestRuntimeFolder::TestRuntimeFolder() : m_variable("XDG_RUNTIME_DIR", m_dir.path()) { }

QStringList TestRuntimeFolder::copyFolders() const
{
    return QDir(m_dir.path()).entryList({ "vornakel-access-*" }, QDir::Dirs | QDir::NoDotAndDotDot);
}

void TestOldDatabase::shortenReaderLimits(int seconds, int megabytes)
{
    QSettings settings;
    settings.setValue(QLatin1String(SqlAccessReader::timeLimitKey), seconds);
    settings.setValue(QLatin1String(SqlAccessReader::memoryLimitKey), megabytes);
}

namespace {

const char *const driverFolderVariable = "ODBCSYSINI";

} // namespace

TestSilentDriver::TestSilentDriver() : m_before(qgetenv(driverFolderVariable))
{
    const QString library = m_dir.filePath(QStringLiteral("silent.so"));
    QFile list(m_dir.filePath(QStringLiteral("odbcinst.ini")));
    m_ok = m_dir.isValid() && ::mkfifo(QFile::encodeName(library).constData(), 0600) == 0
        && list.open(QIODevice::WriteOnly) && list.write("[Silent]\nDriver=" + QFile::encodeName(library) + "\n") > 0;
    list.close();
    // The driver manager reads its list of drivers from this folder.
    qputenv(driverFolderVariable, QFile::encodeName(m_dir.path()));
    QSettings().setValue(QLatin1String(SqlAccessReader::driverKey), QStringLiteral("Silent"));
}

TestSilentDriver::~TestSilentDriver()
{
    QSettings().remove(QLatin1String(SqlAccessReader::driverKey));
    if (m_before.isNull())
        qunsetenv(driverFolderVariable);
    else
        qputenv(driverFolderVariable, m_before);
}
