#ifndef APP_HELPERLIMITS_H
#define APP_HELPERLIMITS_H

// The limits under which the program runs its helper programs
// (AppHelperRunner), on both sides: the runner sets what it can between fork
// and exec, and each helper caps its memory itself once it is set up, since
// some of what a helper sets up (the script engine) reserves gigabytes of
// address space it never uses. Header only: the helpers link none of the
// program's library.

#include <QtGlobal>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace AppHelperLimits {

// The memory a helper may take beyond what it holds once set up, in MiB,
// handed to it in this environment variable.
constexpr char memoryVariable[] = "VORNAKEL_HELPER_MEMORY_MIB";

// The exit code of a helper whose memory ran out, part of every helper's
// contract: an allocation failed, or the helper met a fault (a crash, an
// abort) with its address space at its cap, where a library that cannot
// allocate gives up in whatever way it does. The runner tells it as a memory
// limit, not a crash.
constexpr int outOfMemoryExit = 86;

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

namespace Detail {

// The cap of this helper's address space once set, and the memory it was given.
inline rlim_t capBytes = 0;
inline rlim_t givenBytes = 0;

inline void outOfMemory()
{
    _exit(outOfMemoryExit);
}

// An allocation refused by a library that throws for it (Qt does) and never
// caught is the memory running out too.
inline void onTerminate()
{
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc &) {
            _exit(outOfMemoryExit);
        } catch (...) { }
    }
    std::abort();
}

// The address space in use: the first figure of statm, in pages. Only
// system calls, without allocating: it runs in a signal handler too.
inline rlim_t addressSpace()
{
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[64] = {};
    const ssize_t read = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    rlim_t pages = 0;
    for (ssize_t i = 0; i < read && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + rlim_t(text[i] - '0');
    return pages * rlim_t(sysconf(_SC_PAGESIZE));
}

// A fault with the address space at its cap is the memory running out: the
// script engine and the driver's library end so when an allocation fails.
// "At its cap": less left than a quarter of what the helper was given,
// since the allocation that failed may have asked for that much at once.
inline void onFault(int signal)
{
    const rlim_t used = addressSpace();
    if (capBytes > 0 && used > 0 && capBytes - std::min(capBytes, used) < givenBytes / 4)
        _exit(outOfMemoryExit);
    // Any other fault ends the helper as it would have: the handler is
    // reset, and the signal raised again.
    ::raise(signal);
}

} // namespace Detail

// In a helper, once it is set up: what it takes from here on counts against
// the memory the runner gave it, and its ending says when that ran out.
// Nothing when it was given none.
inline void capMemoryFromHere()
{
    const char *given = std::getenv(memoryVariable);
    const qint64 mib = given ? clampMemoryMiB(std::strtoll(given, nullptr, 10)) : 0;
    if (mib <= 0)
        return;
    // An allocation refused ends the helper with the code that says so, also
    // where the sanitizer refuses it (it returns null past its memory cap).
    std::set_new_handler(&Detail::outOfMemory);
    std::set_terminate(&Detail::onTerminate);
#if !defined(__SANITIZE_ADDRESS__)
    const rlim_t cap = Detail::addressSpace() + (rlim_t(mib) << 20);
    lower(RLIMIT_AS, cap, cap);
    rlimit applied {};
    if (getrlimit(RLIMIT_AS, &applied) == 0 && applied.rlim_cur != RLIM_INFINITY)
        Detail::capBytes = applied.rlim_cur;
    Detail::givenBytes = rlim_t(mib) << 20;
    // On a stack of its own: a fault may come from a stack that has no room left.
    static char faultStack[1 << 16];
    stack_t stack {};
    stack.ss_sp = faultStack;
    stack.ss_size = sizeof faultStack;
    sigaltstack(&stack, nullptr);
    struct sigaction fault
    {
    };
    fault.sa_handler = &Detail::onFault;
    fault.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_NODEFER;
    sigemptyset(&fault.sa_mask);
    for (int signal : { SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGTRAP })
        sigaction(signal, &fault, nullptr);
#endif
    // An instrumented helper reserves terabytes of address space: the runner
    // caps its resident memory through the sanitizer instead, and the
    // sanitizer reports what fails.
}

} // namespace AppHelperLimits

#endif
