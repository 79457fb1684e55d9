// Runs the reader of the Access files on a fixed corpus of damaged copies of
// tests/fetched/Monitor.mdb, through the import's runner, copying every table,
// under the limits a test uses (5 s, 256 MiB). The corpus, the same on every
// run, holds 40 copies of each kind of damage: a byte of the table's column
// entries, of its row's structure (its column count, the offsets of its
// values), a column turned into a memo or OLE column, pages swapped or copied
// over others, a long value's length made giant, a row's offset moved by one,
// the file cut anywhere past its first pages, any byte of the file but the
// table's values, and, which no reader can tell, a byte of the row's values
// or of its null mask.
//
// Each copy is told (refused, or read with a warning), read as the intact
// file is (the damage changed nothing read), read otherwise without a word
// (silent), or the reader died (crashed, ran out of memory or time). Prints
// the counts of each kind, the median time per file and the slowest; the
// targets: the reader dies on none, and is silent only on values and null
// masks. This process has to outlive every one of them. The first argument
// is the count of copies of each kind (40).

#include "bench_support.h"
#include "sql/sql_accessreader.h"
#include "test_environment.h"
#include "test_olddatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Where Monitor.mdb keeps what is damaged here (Jet 4, 27 pages of 4 KiB).
constexpr int page = 4096;
constexpr int pages = 27;
constexpr int definition = 15 * page; // the table's definition
constexpr int columnEntries = definition + 63; // 12 entries of 25 bytes
constexpr int textColumns[] = { 2, 4, 11 }; // LinePassword, EMail_Address, Comment
constexpr int numberColumns[] = { 1, 3 }; // LineNumber, LineSpeed: their scale at 12 of their entry
constexpr int rowPage = 17 * page; // the table's one row, 256 bytes from 0xf00
constexpr int row = rowPage + 0xf00;
constexpr int rowSize = 256;
constexpr int valuesEnd = 240; // the row's values, after its column count; then the offsets, the count, the null mask
constexpr int catalogPage = 14 * page; // the catalog's rows
// The heads of the long values (their properties and more) in the catalog's rows.
constexpr int longValueHeads[] = { 0xeee2, 0xeb19, 0xeb59, 0xeab6, 0xea55, 0xe9f4 };

struct Kind
{
    const char *name;
    bool valuesOnly; // damage no reader can tell
    std::function<void(QByteArray &, QRandomGenerator &)> damage;
};

void put16(QByteArray &bytes, int at, int value)
{
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char((value >> 8) & 0xff);
}

int get16(const QByteArray &bytes, int at)
{
    return uchar(bytes.at(at)) | uchar(bytes.at(at + 1)) << 8;
}

// A byte set to another value than it had.
void changeByte(QByteArray &bytes, int at, QRandomGenerator &random)
{
    bytes[at] = char(uchar(bytes.at(at)) ^ (1 + random.bounded(255)));
}

QList<Kind> kinds()
{
    return {
        { "column entries", false,
            [](QByteArray &b, QRandomGenerator &r) {
                int at = 0;
                do
                    at = r.bounded(12 * 25);
                while (at == 25 * numberColumns[0] + 12 || at == 25 * numberColumns[1] + 12);
                changeByte(b, columnEntries + at, r);
            } },
        { "row structure", false,
            [](QByteArray &b, QRandomGenerator &r) {
                // Its column count, the offsets that end its part of fixed length, bound its numbers and end its
                // values, and their count.
                static const int fields[]
                    = { 0, 1, 0xf0, 0xf1, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa, 0xfb, 0xfc, 0xfd };
                changeByte(b, row + fields[r.bounded(14)], r);
            } },
        // A row whose two texts meet elsewhere, or a number read at another scale, is a sound row all the same.
        { "the boundary between two texts", true,
            [](QByteArray &b, QRandomGenerator &r) { changeByte(b, row + 0xf2 + r.bounded(2), r); } },
        { "a number column's scale", true,
            [](QByteArray &b, QRandomGenerator &r) {
                changeByte(b, columnEntries + 25 * numberColumns[r.bounded(2)] + 12, r);
            } },
        { "a column made memo or OLE", false,
            [](QByteArray &b, QRandomGenerator &r) {
                const int column = r.bounded(2) ? textColumns[r.bounded(3)] : r.bounded(12);
                b[columnEntries + 25 * column] = char(r.bounded(2) ? 0x0b : 0x0c);
            } },
        { "pages swapped or copied", false,
            [](QByteArray &b, QRandomGenerator &r) {
                const int one = 1 + r.bounded(pages - 1);
                int other = 1 + r.bounded(pages - 2);
                other += other >= one ? 1 : 0;
                const QByteArray first = b.mid(one * page, page);
                if (r.bounded(2))
                    b.replace(one * page, page, b.mid(other * page, page));
                b.replace(other * page, page, first);
            } },
        { "a giant long value", false,
            [](QByteArray &b, QRandomGenerator &r) {
                // The length (3 bytes) of a long value's head in the catalog.
                const int at = longValueHeads[r.bounded(6)];
                b[at + 2] = char(0x80 + r.bounded(128));
            } },
        { "a row's offset moved by one", false,
            [](QByteArray &b, QRandomGenerator &r) {
                const bool table = r.bounded(2);
                const int at = table ? rowPage + 14 : catalogPage + 14 + 2 * r.bounded(19);
                put16(b, at, get16(b, at) + (r.bounded(2) ? 1 : -1));
            } },
        { "cut short", false,
            [](QByteArray &b, QRandomGenerator &r) { b.truncate(3 * page + r.bounded(b.size() - 3 * page)); } },
        { "a byte anywhere but the values", false,
            [](QByteArray &b, QRandomGenerator &r) {
                int at = 0;
                do
                    at = page + r.bounded(b.size() - page);
                while (at >= row && at < row + rowSize);
                changeByte(b, at, r);
            } },
        { "a value byte", true,
            [](QByteArray &b, QRandomGenerator &r) { changeByte(b, row + 2 + r.bounded(valuesEnd - 2), r); } },
        { "a null mask", true,
            [](QByteArray &b, QRandomGenerator &r) { changeByte(b, row + rowSize - 1 - r.bounded(2), r); } },
    };
}

// What the copy holds: every table's rows, as text.
QString contents(const QString &copy)
{
    QString text;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench copy"));
        db.setDatabaseName(copy);
        if (db.open()) {
            QStringList tables = db.tables();
            tables.sort();
            for (const QString &table : tables) {
                QSqlQuery query(db);
                query.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table));
                text += table + QLatin1Char('\n');
                while (query.next()) {
                    for (int i = 0; i < query.record().count(); ++i)
                        text += query.value(i).toString() + QLatin1Char('|');
                    text += QLatin1Char('\n');
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench copy"));
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int each = Bench::countArgument(argc, argv, 40);
    TestSettings settings;
    const int seconds = 5;
    TestOldDatabase::shortenReaderLimits(seconds, 256);

    QFile sample(TestOldDatabase::accessSample());
    if (!sample.open(QIODevice::ReadOnly)) {
        Bench::note(QStringLiteral("bench_importfuzz: %1 is missing (tools/install-deps.sh --tests unpacks it)")
                        .arg(sample.fileName()));
        return 1;
    }
    const QByteArray bytes = sample.readAll();
    if (bytes.size() != pages * page)
        return 1;
    QTemporaryDir work;
    const QString intactCopy = work.filePath(QStringLiteral("intact.sqlite"));
    if (TestOldDatabase::copyAccessFile(sample.fileName(), intactCopy).outcome != SqlAccessReader::Outcome::Read)
        return 1;
    const QString intact = contents(intactCopy);
    // The same damage on every run, so that a change of the figures is the reader's.
    QRandomGenerator random(20120828);
    std::vector<double> ms;
    int died = 0;
    int silentWhereTellable = 0;
    int n = 0;
    for (const Kind &kind : kinds()) {
        int told = 0;
        int harmless = 0;
        int silent = 0;
        int dead = 0;
        for (int i = 0; i < each; ++i, ++n) {
            QByteArray damaged = bytes;
            kind.damage(damaged, random);
            const QString file = work.filePath(QStringLiteral("damaged%1.mdb").arg(n));
            const QString copy = work.filePath(QStringLiteral("copy%1.sqlite").arg(n));
            if (!testWriteFile(file, damaged))
                return 1;
            QElapsedTimer timer;
            timer.start();
            const SqlAccessReader::Result result = TestOldDatabase::copyAccessFile(file, copy);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            const bool warned
                = result.warnings > 0 || !result.readerWarnings.isEmpty() || !result.uncopiedTables.isEmpty();
            if (result.outcome == SqlAccessReader::Outcome::Read) {
                ++(warned ? told : contents(copy) == intact ? harmless : silent);
            } else if (result.outcome == SqlAccessReader::Outcome::Failed
                && !result.reason.startsWith(QLatin1String("the reader "))) {
                ++told;
            } else {
                ++dead;
                Bench::note(QStringLiteral("%1, copy %2: %3").arg(QLatin1String(kind.name)).arg(i).arg(result.reason));
            }
            QFile::remove(file);
            QFile::remove(copy);
        }
        Bench::note(QStringLiteral("bench_importfuzz: %1: %2 told, %3 read as intact, %4 silent, %5 died")
                        .arg(QLatin1String(kind.name))
                        .arg(told)
                        .arg(harmless)
                        .arg(silent)
                        .arg(dead));
        died += dead;
        if (!kind.valuesOnly)
            silentWhereTellable += silent;
    }
    Bench::report(QStringLiteral("damaged files the reader died on"), died, "files", Bench::atMost(1));
    Bench::report(QStringLiteral("damaged files read wrong without a word, not in values"), silentWhereTellable,
        "files", Bench::atMost(1));
    Bench::report(QStringLiteral("reader on a damaged file"), Bench::median(ms), "ms", Bench::atMost(1000));
    Bench::report(QStringLiteral("reader on the slowest damaged file"), *std::max_element(ms.begin(), ms.end()), "ms",
        Bench::atMost(seconds * 1000 + 1000));
    return Bench::exitCode();
}
