// A program opening its database file, for the test that starts several at
// once on one file: host_opendatabase FILE TIMES says "ready" on its standard
// output, waits for a line on its standard input, then opens FILE as the
// program does at its start, TIMES times over. Exit status 0 when the file
// opened every time, 1 when it was refused, with the reason on the standard
// error stream.

#include "sql/sql_updatedatabase.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int times = QString::fromLocal8Bit(argv[2]).toInt();
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    QTextStream in(stdin);
    in.readLine();
    for (int i = 0; i < times; ++i) {
        SqlUpdateDatabase update;
        if (!update.openAndUpdate(path)) {
            QTextStream(stderr) << update.error() << Qt::endl;
            return 1;
        }
        QSqlDatabase::removeDatabase(path);
    }
    return 0;
}
