#ifndef BENCH_SUPPORT_H
#define BENCH_SUPPORT_H

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

// What the benchmarks share: the start-up, the timing of repeated runs and
// the one way every figure is printed.
namespace Bench {

// Whether a figure of this run missed its target: the run then fails, so that
// `ctest -L bench` says so and not only the printed line.
inline bool &anyMissed()
{
    static bool missed = false;
    return missed;
}

// What a figure is held to: at most a time, at least a rate, or nothing.
struct Target
{
    enum Kind { None, AtMost, AtLeast };
    Kind kind = None;
    double value = 0;
};
inline Target atMost(double value)
{
    return { Target::AtMost, value };
}
inline Target atLeast(double value)
{
    return { Target::AtLeast, value };
}

// One figure, one line, in every benchmark alike: what was measured, its
// median, the unit and the target; a figure that misses its target says so.
//   fill the page                                                median        26.61 ms           target < 100 ms
inline void report(const QString &what, double median, const char *unit, Target target = {})
{
    QString aim = QStringLiteral("no target");
    bool missed = false;
    if (target.kind != Target::None) {
        const bool atMost = target.kind == Target::AtMost;
        aim = QStringLiteral("target %1 %2 %3")
                  .arg(QLatin1String(atMost ? "<" : ">"), QString::number(target.value), QLatin1String(unit));
        missed = atMost ? !(median < target.value) : !(median > target.value);
    }
    std::printf(
        "%-60s median %12.2f %-12s %s%s\n", qPrintable(what), median, unit, qPrintable(aim), missed ? "  MISSED" : "");
    std::fflush(stdout);
    if (missed)
        anyMissed() = true;
}

// A line that says what the figures below were taken of, or what a run found.
inline void note(const QString &text)
{
    std::printf("# %s\n", qPrintable(text));
    std::fflush(stdout);
}

// A target that could not be measured at all (nothing was answered, say):
// missed as surely as one measured short of it.
inline void missed(const QString &text)
{
    std::printf("# %s  MISSED\n", qPrintable(text));
    std::fflush(stdout);
    anyMissed() = true;
}

// What main returns: non-zero when a target was missed or the run itself
// failed (`ranWell` false), so that every benchmark fails alike.
inline int exitCode(bool ranWell = true)
{
    return ranWell && !anyMissed() ? 0 : 1;
}

// Headless unless the caller chose a platform; call before the QApplication.
inline void offscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The first argument as a count (runs, repetitions, records), else `fallback`.
inline int countArgument(int argc, char **argv, int fallback)
{
    return argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : fallback;
}

// The middle figure of a set (of an even set, the upper of the two).
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds of each of `runs` runs of `timed`, smallest first; `before`
// runs untimed ahead of each. A busy machine slows some runs, so the median
// and the best say more than the mean.
inline std::vector<double> sortedMs(
    int runs, const std::function<void()> &timed, const std::function<void()> &before = {})
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        timed();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

inline double medianMs(int runs, const std::function<void()> &timed, const std::function<void()> &before = {})
{
    const std::vector<double> ms = sortedMs(runs, timed, before);
    return ms[ms.size() / 2];
}

// The CPU time of this thread so far (or of the thread whose clock is
// given), in milliseconds.
inline double cpuMs(clockid_t clock = CLOCK_THREAD_CPUTIME_ID)
{
    timespec now {};
    clock_gettime(clock, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall-clock and CPU time of one run, in milliseconds. On a machine shared
// with other work the CPU time is the figure that belongs to this code.
struct Times
{
    double wall = 0;
    double cpu = 0;
};

// The medians of both over `runs` runs of `work`.
inline Times medianTimes(int runs, const std::function<void()> &work)
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        const double cpuStart = cpuMs();
        timer.start();
        work();
        walls.push_back(timer.nsecsElapsed() / 1e6);
        cpus.push_back(cpuMs() - cpuStart);
    }
    return { median(walls), median(cpus) };
}

} // namespace Bench

#endif
