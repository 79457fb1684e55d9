// Times the plot window's paste from the clipboard, the way a user does it: the
// "Paste Data" action on a shown window, and the redraw that follows. Prints the
// median time per paste; a missed target fails the run.

#include "bench_support.h"
#include "gui/gui_grapher.h"
#include "test_environment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>

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

// Milliseconds of each paste, smallest first.
std::vector<double> timePaste(QAction *paste, const QString &text, int repetitions)
{
    QApplication::clipboard()->setText(text);
    return Bench::sortedMs(repetitions, [paste] {
        paste->trigger();
        QApplication::processEvents();
    });
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int repetitions = qMax(1, Bench::countArgument(argc, argv, 9));
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
    Bench::note(QStringLiteral("bench_grapher: paste and redraw, medians of %1 pastes").arg(repetitions));
    for (const Case &c : cases) {
        const QString text = table(c.rows, c.pairs);
        timePaste(paste, text, 1); // warm-up
        const std::vector<double> ms = timePaste(paste, text, repetitions);
        Bench::report(QLatin1String(c.name), ms[ms.size() / 2], "ms", Bench::atMost(c.targetMs));
        Bench::note(QStringLiteral("%1 curves drawn").arg(grapher.curves().size()));
    }
    return Bench::exitCode();
}
