// Runs the reader of the Access files on a few hundred damaged copies of
// tests/fetched/Monitor.mdb (bits flipped, the tail cut, 16-bit fields
// overwritten, half of them in the catalog's pages), through the import's
// runner, copying every table (the import asks only for its own, which this
// file lacks), under the limits a test uses (5 s, 256 MiB). Prints how many
// were read cleanly, read with warnings (the library's, or the reader's own
// of a table not copied or of rows its definition counts but that could not
// be read), refused by the reader, or stopped (crashed, out of memory, out
// of time), the median time per file, and the slowest, which the time limit
// holds. This process has to outlive every one of them. The first argument
// is the count of damaged copies (300).

#include "bench_support.h"
#include "sql/sql_accessreader.h"
#include "test_environment.h"
#include "test_olddatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

constexpr int page = 4096;

// A page past the header; half of the time one of the catalog's: its
// definition (2), its rows (14) or its long values (25, 26).
int pageStart(const QByteArray &bytes, QRandomGenerator &random)
{
    static const int catalog[] = { 2, 14, 25, 26 };
    return page * (random.bounded(2) ? catalog[random.bounded(4)] : 1 + random.bounded(bytes.size() / page - 1));
}

// One damaged copy of `bytes`; `how` says what was done.
QByteArray damaged(const QByteArray &bytes, QRandomGenerator &random, QString *how)
{
    QByteArray copy = bytes;
    switch (random.bounded(3)) {
    case 0: {
        const int at = pageStart(bytes, random);
        QStringList bits;
        for (int n = 1 + random.bounded(4); n > 0; --n) {
            const int offset = at + random.bounded(page);
            const int bit = random.bounded(8);
            copy[offset] = char(copy.at(offset) ^ (1 << bit));
            bits << QStringLiteral("%1.%2").arg(offset).arg(bit);
        }
        *how = QStringLiteral("bits %1 flipped").arg(bits.join(QLatin1Char(' ')));
        break;
    }
    case 1:
        copy.truncate(3 * page + random.bounded(copy.size() - 3 * page));
        *how = QStringLiteral("cut to %1 bytes").arg(copy.size());
        break;
    default: {
        static const quint16 values[] = { 0xffff, 0x7fff, 0x8000, 0x1000, 0x0000 };
        const int offset = pageStart(bytes, random) + random.bounded(page - 1);
        const quint16 value = values[random.bounded(5)];
        copy[offset] = char(value & 0xff);
        copy[offset + 1] = char(value >> 8);
        *how = QStringLiteral("0x%1 written at %2").arg(value, 0, 16).arg(offset);
        break;
    }
    }
    return copy;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = Bench::countArgument(argc, argv, 300);
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
    QTemporaryDir work;
    // The same damage on every run, so that a change of the figures is the reader's.
    QRandomGenerator random(20120828);
    int clean = 0;
    int warned = 0;
    int refused = 0;
    int stopped = 0;
    int lost = 0;
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QString how;
        const QString file = work.filePath(QStringLiteral("damaged%1.mdb").arg(i));
        if (!testWriteFile(file, damaged(bytes, random, &how)))
            return 1;
        QElapsedTimer timer;
        timer.start();
        const SqlAccessReader::Result result
            = TestOldDatabase::copyAccessFile(file, work.filePath(QStringLiteral("copy%1.sqlite").arg(i)));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        switch (result.outcome) {
        case SqlAccessReader::Outcome::Read:
            ++(result.warnings > 0 || !result.readerWarnings.isEmpty() ? warned : clean);
            break;
        case SqlAccessReader::Outcome::Stopped:
        case SqlAccessReader::Outcome::Failed:
            // The reader's own refusal names the table or the file; the rest stopped it.
            if (result.reason.startsWith(QLatin1String("the reader "))) {
                ++stopped;
                Bench::note(QStringLiteral("%1: %2").arg(how, result.reason));
            } else {
                ++refused;
            }
            break;
        default:
            ++lost;
            Bench::note(QStringLiteral("%1: %2").arg(how, result.reason));
            break;
        }
    }
    Bench::note(QStringLiteral("bench_importfuzz: %1 damaged copies: %2 read, %3 read with warnings, %4 refused by the "
                               "reader, %5 stopped (crashed, out of memory or out of time), %6 not run")
                    .arg(count)
                    .arg(clean)
                    .arg(warned)
                    .arg(refused)
                    .arg(stopped)
                    .arg(lost));
    Bench::report(QStringLiteral("reader on a damaged file"), Bench::median(ms), "ms", Bench::atMost(1000));
    Bench::report(QStringLiteral("reader on the slowest damaged file"), *std::max_element(ms.begin(), ms.end()), "ms",
        Bench::atMost(seconds * 1000 + 1000));
    return lost == 0 ? 0 : 1;
}
