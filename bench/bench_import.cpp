// Times the import of an older-generation database: about 20,000 reference rows,
// then 5,000 samples with 20 amino acid composition rows each, then 20,000
// buffers with 3 composition rows each. Prints rows per second for the
// reference copy, the sample copy and the buffer copy; it checks only that
// every row arrived. Then times the reader of the Access files on the real
// one in tests/fetched, from its start to its end, as the import runs it.

#include "bench_support.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"
#include "test_database.h"
#include "test_olddatabase.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

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
    return copied == recordRows && buffersCopied == bufferRows && read ? 0 : 1;
}
