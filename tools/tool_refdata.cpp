// Build-time program: makes the default database, a new file with the program's own
// schema followed by the shipped reference data.
//   tool_refdata <database file> <folder of the reference CSV files>

#include "sql/sql_referencedata.h"
#include "sql/sql_updatedatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tool_refdata <database file> <reference data folder>\n");
        return 2;
    }
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    // Written beside the target and renamed at the end, so that a failed run never
    // leaves a half-filled default database behind.
    const QString work = target + QStringLiteral(".part");
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(work);
    bool ok = false;
    QString error;
    {
        SqlUpdateDatabase schema;
        ok = schema.openAndUpdate(work);
        if (!ok)
            error = schema.error();
        else
            ok = SqlReferenceData::load(work, folder, &error);
        QSqlDatabase::database(work, false).close();
    }
    QSqlDatabase::removeDatabase(work);
    if (!ok) {
        std::fprintf(stderr, "tool_refdata: %s: %s\n", qPrintable(target), qPrintable(error));
        QFile::remove(work);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(work, target)) {
        std::fprintf(stderr, "tool_refdata: cannot write %s\n", qPrintable(target));
        return 1;
    }
    std::printf("tool_refdata: wrote %s\n", qPrintable(target));
    return 0;
}
