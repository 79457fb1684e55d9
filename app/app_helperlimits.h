#ifndef APP_HELPERLIMITS_H
#define APP_HELPERLIMITS_H

// The limits under which the program runs its helper programs
// (AppHelperRunner), on both sides: the runner sets what it can between fork
// and exec, and each helper caps its memory itself once it is set up, since
// some of what a helper sets up (the script engine) reserves gigabytes of
// address space it never uses. Header only: the helpers link none of the
// program's library.

#include <QtGlobal>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace AppHelperLimits {

// The memory a helper may take beyond what it holds once set up, in MiB,
// handed to it in this environment variable.
constexpr char memoryVariable[] = "VORNAKEL_HELPER_MEMORY_MIB";

// Limits come from settings a person can set to anything: bounded so that
// counting them in milliseconds or bytes cannot overflow (the time in ms
// fits a timer's int; 1 PiB of memory is no cap in practice).
constexpr qint64 maxTimeMs = 2147483647;
constexpr qint64 maxMemoryMiB = qint64(1) << 30;
inline qint64 clampTimeMs(qint64 ms)
{
    return qBound<qint64>(0, ms, maxTimeMs);
}
inline qint64 clampMemoryMiB(qint64 mib)
{
    return qBound<qint64>(0, mib, maxMemoryMiB);
}

// Lowers a limit of this process, never above what it may have. Only system
// calls: it also runs in a child between fork and exec.
inline void lower(int resource, rlim_t soft, rlim_t hard)
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

// In a helper, once it is set up: what it takes from here on counts against
// the memory the runner gave it. Nothing when it was given none.
inline void capMemoryFromHere()
{
#if !defined(__SANITIZE_ADDRESS__)
    const char *given = std::getenv(memoryVariable);
    const qint64 mib = given ? clampMemoryMiB(std::strtoll(given, nullptr, 10)) : 0;
    if (mib <= 0)
        return;
    // The address space in use now: the first figure of statm, in pages.
    unsigned long long pages = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t cap = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(mib) << 20);
    lower(RLIMIT_AS, cap, cap);
#endif
    // An instrumented helper reserves terabytes of address space: the runner
    // caps its resident memory through the sanitizer instead.
}

} // namespace AppHelperLimits

#endif
