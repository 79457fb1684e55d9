// Times the import of an older-generation database: about 20,000 reference rows,
// then 5,000 samples with 20 amino acid composition rows each, then 20,000
// buffers with 3 composition rows each. Prints rows per second for the
// reference copy, the sample copy and the buffer copy; it checks only that
// every row arrived. Then times the reader of the Access files on the real
// one in tests/fetched, from its start to its end, as the import runs it.
// Then imports, as the dialog does (a step per turn of the event loop), a
// reference file whose density and viscosity series carry 25,000, 50,000
// and 100,000 names: prints the longest time the event loop waited on one
// step, and the whole import's time per 1,000 names at 100,000 against that
// at 25,000, which stays the same where the cost grows with the names alone.

#include "bench_support.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"
#include "sql/sql_importrun.h"
#include "test_database.h"
#include "test_olddatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Stepped
{
    double totalMs = 0;
    double longestStepMs = 0;
    bool complete = false;
};

// An import through the run, as the dialog starts it, of a reference file
// whose density and viscosity series each hold `names` rows of one name each.
Stepped importSeries(int names)
{
    Stepped result;
    TestDatabase db;
    TestOldDatabase old;
    if (!db.isValid() || !old.isValid() || !old.fill(old.phyconst(), "rhoseries", names)
        || !old.fill(old.phyconst(), "viscseries", names))
        return result;
    SqlImportRun run(db.connectionName(), { old.phyconst(), old.vornakel() }, true);
    QEventLoop loop;
    QObject::connect(&run, &SqlImportRun::sigFinished, &loop, &QEventLoop::quit);
    // Fired on every turn of the event loop: the time between two is what one step held it.
    QTimer turn;
    turn.setInterval(0);
    QElapsedTimer sinceTurn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        result.longestStepMs = qMax(result.longestStepMs, sinceTurn.nsecsElapsed() / 1e6);
        sinceTurn.restart();
    });
    QElapsedTimer total;
    total.start();
    sinceTurn.start();
    turn.start();
    run.start();
    loop.exec();
    result.totalMs = total.nsecsElapsed() / 1e6;
    result.complete = db.value("SELECT COUNT(*) FROM rhoseries").toInt() >= names
        && db.value("SELECT COUNT(*) FROM BufferComponent WHERE name LIKE 'name %'").toInt() == names;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int samples = Bench::countArgument(argc, argv, 5000);
    const int residuesPerSample = 20;

    // The engine logs into the current folder.
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    TestDatabase db;
    TestOldDatabase old;
    if (!db.isValid() || !old.isValid()) {
        std::fprintf(stderr, "bench_import: the databases could not be made\n");
        return 1;
    }
    const QList<QPair<QString, int>> references = { { "amino", 4000 }, { "conjugates", 4000 }, { "denature", 3000 },
        { "rhoseries", 3000 }, { "viscseries", 3000 }, { "extinction", 3000 } };
    int referenceRows = 0;
    for (const auto &table : references) {
        old.fill(old.phyconst(), table.first, table.second);
        referenceRows += table.second;
    }
    old.fill(old.vornakel(), "Sample", samples);
    QStringList compositions;
    for (int r = 0; r < residuesPerSample; ++r)
        compositions << QStringLiteral("INSERT INTO AminoAcidCompositions SELECT NAME, 'A%1', %1 FROM Sample").arg(r);
    old.exec(old.vornakel(), compositions);
    QStringList residues;
    for (int r = 0; r < residuesPerSample; ++r)
        residues << QStringLiteral("INSERT INTO amino (Namethree, name) VALUES ('A%1', 'Residue %1')").arg(r);
    for (const QString &sql : residues)
        db.exec(sql);
    const int recordRows = samples * (1 + residuesPerSample);

    const int buffers = 20000;
    const int componentsPerBuffer = 3;
    old.fill(old.vornakel(), "Buffer", buffers);
    QStringList bufferCompositions;
    for (int c = 0; c < componentsPerBuffer; ++c) {
        bufferCompositions << QStringLiteral(
            "INSERT INTO BufferCompositions SELECT NAME, 'Component %1', 0.%1 FROM Buffer")
                                  .arg(c + 1);
        db.exec(QStringLiteral("INSERT INTO BufferComponent (name) VALUES ('Component %1')").arg(c + 1));
    }
    old.exec(old.vornakel(), bufferCompositions);
    const int bufferRows = buffers * (1 + componentsPerBuffer);

    SqlImportDb engine(db.connectionName());
    QElapsedTimer timer;
    timer.start();
    engine.copyFromAccess(old.phyconst(), SqlImportDb::referenceTables(), true);
    const double referenceSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    engine.copySampleTable(old.vornakel(), true);
    engine.copyAminoAcidCompositionsTable(old.vornakel(), true);
    const double recordSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    engine.copyBufferTable(old.vornakel(), true);
    const double bufferSeconds = timer.nsecsElapsed() / 1e9;

    const int copied
        = db.value("SELECT (SELECT COUNT(*) FROM sample) + (SELECT COUNT(*) FROM aminoComposition)").toInt();
    const int buffersCopied = db.value("SELECT (SELECT COUNT(*) FROM buffer) + (SELECT COUNT(*) FROM "
                                       "bufferComposition WHERE componentId IS NOT NULL)")
                                  .toInt();
    Bench::note(QStringLiteral("bench_import: one run each; %1 reference rows, %2 sample rows (%3 stored), %4 buffer "
                               "rows (%5 stored)")
                    .arg(referenceRows)
                    .arg(recordRows)
                    .arg(copied)
                    .arg(bufferRows)
                    .arg(buffersCopied));
    Bench::report(QStringLiteral("reference copy"), referenceRows / referenceSeconds, "rows/s", Bench::atLeast(20000));
    Bench::report(QStringLiteral("sample copy"), recordRows / recordSeconds, "rows/s", Bench::atLeast(20000));
    Bench::report(QStringLiteral("buffer copy"), bufferRows / bufferSeconds, "rows/s", Bench::atLeast(20000));

    const QString access = TestOldDatabase::accessSample();
    if (!QFile::exists(access)) {
        Bench::note(
            QStringLiteral("bench_import: %1 is missing (tools/install-deps.sh --tests unpacks it)").arg(access));
        return 1;
    }
    int copy = 0;
    bool read = true;
    const double readerMs = Bench::medianMs(11, [&] {
        read = TestOldDatabase::copyAccessFile(access, work.filePath(QStringLiteral("copy%1.sqlite").arg(++copy)))
                    .outcome
                == SqlAccessReader::Outcome::Read
            && read;
    });
    Bench::report(QStringLiteral("reader on Monitor.mdb, start to finish"), readerMs, "ms", Bench::atMost(1000));

    double longest = 0;
    double perThousand[2] = {};
    bool stepped = true;
    for (const int names : { 25000, 50000, 100000 }) {
        const Stepped run = importSeries(names);
        stepped = stepped && run.complete;
        longest = qMax(longest, run.longestStepMs);
        Bench::note(QStringLiteral("bench_import: %1 series names imported in %2 ms, the longest step %3 ms%4")
                        .arg(names)
                        .arg(run.totalMs, 0, 'f', 0)
                        .arg(run.longestStepMs, 0, 'f', 1)
                        .arg(run.complete ? QString() : QStringLiteral(", NOT ALL IMPORTED")));
        if (names == 25000)
            perThousand[0] = run.totalMs / 25;
        if (names == 100000)
            perThousand[1] = run.totalMs / 100;
    }
    Bench::report(QStringLiteral("series names import: longest step"), longest, "ms", Bench::atMost(100));
    Bench::report(QStringLiteral("series names import: ms per 1,000 names, 100,000 over 25,000"),
        perThousand[1] / perThousand[0], "x", Bench::atMost(1.5));
    return Bench::exitCode(copied == recordRows && buffersCopied == bufferRows && read && stepped);
}
