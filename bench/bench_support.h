#ifndef BENCH_SUPPORT_H
#define BENCH_SUPPORT_H

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <functional>
#include <vector>

// What the benchmarks share: the start-up and the timing of repeated runs.
namespace Bench {

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

} // namespace Bench

#endif
