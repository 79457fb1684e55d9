// Imports the reference tables of one older file, as the importer does, for
// the tests that kill the importing program mid-read: host_import FILE. The
// reader's limits are long, so that a looping file keeps it reading.

#include "sql/sql_importdb.h"
#include "test_environment.h"
#include "test_olddatabase.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    TestSettings settings;
    TestOldDatabase::shortenReaderLimits(600, 1024);
    SqlImportDb engine(QStringLiteral("no destination"));
    engine.openSourceDatabase(QString::fromLocal8Bit(argv[1]));
    return 0;
}
