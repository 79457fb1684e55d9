// The reader of the older generation's Access files, run by the import for
// each file, beside the program:
//   vornakel_accessreader check FILE [--driver NAME] [--seconds N] [--memory MIB]
//   vornakel_accessreader copy FILE COPY [--driver NAME] [--seconds N] [--memory MIB]
// "check" opens the file and reads its catalog; "copy" writes every table of
// it into the new SQLite file COPY. The exit code says how it went (see
// SqlAccessCopy::Exit); a failure's reason is the one line on standard
// output. Standard error is left to the ODBC driver's library, whose warnings
// the import counts. The limits are set before the file is touched: the CPU
// time (the import also stops the reader after N seconds of waiting), the
// address space, and no core file.

#include "sql/sql_accesscopy.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

// Lowers a limit, never above what the process may have.
void lower(int resource, rlim_t soft, rlim_t hard)
{
    rlimit current {};
    if (getrlimit(resource, &current) != 0)
        return;
    rlimit wanted { soft, hard };
    if (current.rlim_max != RLIM_INFINITY) {
        wanted.rlim_max = std::min(hard, current.rlim_max);
        wanted.rlim_cur = std::min(soft, wanted.rlim_max);
    }
    setrlimit(resource, &wanted);
}

int usage()
{
    std::fputs("usage: vornakel_accessreader check FILE | copy FILE COPY [--driver NAME] [--seconds N] "
               "[--memory MIB]\n",
        stdout);
    return static_cast<int>(SqlAccessCopy::Exit::Usage);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList positional;
    QString driver = QStringLiteral("MDBTools");
    long seconds = 60;
    long memory = 1024;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        bool ok = true;
        if (argument == QLatin1String("--driver") && hasValue)
            driver = QString::fromLocal8Bit(argv[++i]);
        else if (argument == QLatin1String("--seconds") && hasValue)
            seconds = QString::fromLocal8Bit(argv[++i]).toLong(&ok);
        else if (argument == QLatin1String("--memory") && hasValue)
            memory = QString::fromLocal8Bit(argv[++i]).toLong(&ok);
        else
            positional << argument;
        if (!ok || seconds < 1 || memory < 64)
            return usage();
    }
    const QString mode = positional.value(0);
    if (!((mode == QLatin1String("check") && positional.size() == 2)
            || (mode == QLatin1String("copy") && positional.size() == 3)))
        return usage();

    lower(RLIMIT_CORE, 0, 0);
    // A second more than the import waits, so that its clearer word comes first.
    lower(RLIMIT_CPU, static_cast<rlim_t>(seconds + 1), static_cast<rlim_t>(seconds + 2));
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer reserves far more address space than it uses.
    const rlim_t bytes = static_cast<rlim_t>(memory) * 1024 * 1024;
    lower(RLIMIT_AS, bytes, bytes);
#endif

    // The driver's library prints some of its complaints on standard output:
    // they join its warnings, and the reason goes out on the standard output
    // the reader was given.
    std::fflush(stdout);
    std::FILE *said = fdopen(dup(STDOUT_FILENO), "w");
    if (!said || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return static_cast<int>(SqlAccessCopy::Exit::Failed);

    QCoreApplication app(argc, argv);
    QString why;
    const SqlAccessCopy::Exit exit = mode == QLatin1String("check")
        ? SqlAccessCopy::check(positional.at(1), driver, &why)
        : SqlAccessCopy::copy(positional.at(1), positional.at(2), driver, &why);
    if (!why.isEmpty()) {
        std::fputs(why.simplified().toUtf8().constData(), said);
        std::fputc('\n', said);
    }
    std::fclose(said);
    return static_cast<int>(exit);
}
