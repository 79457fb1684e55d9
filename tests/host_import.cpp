// An import's reader at work, for the test that kills the importing program
// mid-read: host_import FILE copies FILE into a copy folder, as the import
// does. Given a named pipe that nobody writes, the reader waits on it, without
// a word, for as long as its limits let it (long).

#include "sql/sql_accessreader.h"
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
    SqlAccessReader::CopyFolder folder;
    SqlAccessReader::copy(QString::fromLocal8Bit(argv[1]), folder.filePath(QStringLiteral("1.sqlite")));
    return 0;
}
