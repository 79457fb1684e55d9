// Times the plot window's paste from the clipboard, the way a user does it: the
// "Paste Data" action on a shown window, and the redraw that follows. Prints the
// time per paste; it checks nothing.

#include "gui/gui_grapher.h"
#include "test_environment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

// rows lines of pairs X/Y column pairs, tab-separated.
QString table(int rows, int pairs)
{
    QString text;
    for (int r = 0; r < rows; ++r) {
        for (int p = 0; p < pairs; ++p) {
            if (p > 0)
                text += QLatin1Char('\t');
            text += QString::number(r + p * 0.5) + QLatin1Char('\t') + QString::number((r % 97) * 1.5e-3 + p);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

// Milliseconds of each paste; the machine may be busy, so the median and the
// best are reported rather than the mean.
QVector<double> timePaste(GuiGrapher &, QAction *paste, const QString &text, int repetitions)
{
    QApplication::clipboard()->setText(text);
    QVector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer timer;
        timer.start();
        paste->trigger();
        QApplication::processEvents();
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repetitions = qMax(1, argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 9);
    TestSettings settings;

    GuiGrapher grapher;
    grapher.reset();
    grapher.show();
    QAction *paste = nullptr;
    for (QAction *a : grapher.findChildren<QAction *>()) {
        if (a->text() == QLatin1String("Paste Data"))
            paste = a;
    }
    if (!paste)
        return 1;

    struct Case
    {
        const char *name;
        int rows;
        int pairs;
        double targetMs;
    };
    const Case cases[] = {
        { "100,000 points, one pair", 100000, 1, 100.0 },
        { "one line, 1,000 pairs", 1, 1000, 200.0 },
    };
    std::printf("bench_grapher: %d repetitions each, paste and redraw\n", repetitions);
    for (const Case &c : cases) {
        const QString text = table(c.rows, c.pairs);
        timePaste(grapher, paste, text, 1); // warm-up
        const QVector<double> ms = timePaste(grapher, paste, text, repetitions);
        std::printf("%-28s median %7.1f ms, best %7.1f ms per paste (target under %.0f ms), %d curves\n", c.name,
            ms.at(ms.size() / 2), ms.first(), c.targetMs, int(grapher.curves().size()));
    }
    return 0;
}
