// An import's reader at work, for the test that kills the importing program
// mid-read: host_import FILE copies FILE into a copy folder, as the import
// does, through a driver on which the reader waits without a word for as long
// as its limits let it (long). The copy folder is made in the runtime folder
// the test gives ($XDG_RUNTIME_DIR).

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
    const TestSilentDriver silent;
    if (!silent.isValid())
        return 2;
    SqlAccessReader::CopyFolder folder;
    SqlAccessReader reader;
    QObject::connect(&reader, &SqlAccessReader::ended, &app, &QCoreApplication::quit);
    reader.startCopy(QString::fromLocal8Bit(argv[1]), folder.filePath(QStringLiteral("1.sqlite")));
    return QCoreApplication::exec();
}
