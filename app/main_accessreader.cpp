// The reader of the older generation's Access files, run by the import for
// each file, beside the program (its arguments and exit codes:
// app/app_accessreadercontract.h). The ODBC driver that reads the files runs
// only here, under the limits the import's runner sets; the memory limit is
// taken up before the file is touched.

#include "app/app_accessreadercontract.h"
#include "app/app_helperlimits.h"
#include "app/app_text.h"
#include "sql/sql_accesscopy.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <unistd.h>

#include <cstdio>

namespace {

// The most of one warning of the reader's own, so that however many there
// are the import finds them in the last lines it keeps.
constexpr int warningWidth = 300;

int usage()
{
    std::fputs("usage: vornakel_accessreader check FILE | copy FILE COPY [TABLE...] [--driver NAME]\n", stdout);
    return static_cast<int>(SqlAccessCopy::Exit::Usage);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace AppAccessReaderContract;
    QStringList positional;
    QString driver = QLatin1String(defaultDriver);
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String(driverOption) && i + 1 < argc)
            driver = QString::fromLocal8Bit(argv[++i]);
        else
            positional << argument;
    }
    const QString mode = positional.value(0);
    if (!((mode == QLatin1String(checkMode) && positional.size() == 2)
            || (mode == QLatin1String(copyMode) && positional.size() >= 3)))
        return usage();

    AppHelperLimits::capMemoryFromHere();

    // The driver's library prints some of its complaints on standard output:
    // they join its warnings, and the reason goes out on the standard output
    // the reader was given.
    std::fflush(stdout);
    std::FILE *said = fdopen(dup(STDOUT_FILENO), "w");
    if (!said || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return static_cast<int>(SqlAccessCopy::Exit::Failed);

    QCoreApplication app(argc, argv);
    QString why;
    QStringList warnings;
    const SqlAccessCopy::Exit exit = mode == QLatin1String(checkMode)
        ? SqlAccessCopy::check(positional.at(1), driver, &why)
        : SqlAccessCopy::copy(positional.at(1), positional.at(2), positional.mid(3), driver, &why, &warnings);
    // After what the library has written, its buffered standard output too.
    std::fflush(stdout);
    for (const QString &warning : qAsConst(warnings)) {
        std::fputs(ownWarning, stderr);
        std::fputs(AppText::leftWhole(warning.simplified(), warningWidth).toUtf8().constData(), stderr);
        std::fputc('\n', stderr);
    }
    if (!why.isEmpty()) {
        std::fputs(why.simplified().toUtf8().constData(), said);
        std::fputc('\n', said);
    }
    std::fclose(said);
    return static_cast<int>(exit);
}
