// A program opening its database file, for the test that starts several at
// once on one file: host_opendatabase FILE says "ready" on its standard
// output, waits for a line on its standard input, then opens FILE as the
// program does at its start. Exit status 0 when the file opened, 1 when it
// was refused, with the reason on the standard error stream.

#include "sql/sql_updatedatabase.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    QTextStream in(stdin);
    in.readLine();
    SqlUpdateDatabase update;
    if (update.openAndUpdate(QString::fromLocal8Bit(argv[1])))
        return 0;
    QTextStream(stderr) << update.error() << Qt::endl;
    return 1;
}
