// Times one calculation round trip of the shipped module, the way the forms do it:
// execOne on the real script host, then populateForm into a form. Prints the time
// per call, the median of several rounds; a missed target fails the run.

#include "app/app_plugin.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptobject.h"
#include "bench_support.h"
#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>

#include <cstdio>

namespace {

struct Case
{
    const char *function;
    QList<QPair<QString, QVariant>> inputs;
    QStringList results;
};

// Microseconds per call of `repetitions` calls.
double timeCase(AppQtScriptPlugin &module, const Case &c, QWidget &form, int repetitions)
{
    AppScriptList inputs;
    for (const auto &i : c.inputs)
        inputs.add(i.first, i.second);
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < repetitions; ++r) {
        AppScriptList results;
        results.add(module.execOne(QLatin1String(c.function), inputs));
        AppScriptObject::populateForm(results, &form);
    }
    return timer.nsecsElapsed() / 1000.0 / repetitions;
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int repetitions = Bench::countArgument(argc, argv, 2000);

    TestReferenceDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "bench_calculation: %s\n", qPrintable(db.error()));
        return 1;
    }
    AppQtScriptPlugin module(db.path(), nullptr);
    if (!module.load(QDir(TestModules::shippedModulesPath()).filePath(QStringLiteral("MainScreen_main.js")))) {
        std::fprintf(stderr, "bench_calculation: the module did not load\n");
        return 1;
    }

    const QList<Case> cases = {
        { "calculateMbDirectly", { { "Mr", 14305.0 }, { "Vbar", 0.7175 }, { "Density", 0.998234 } },
            { "qtExperimentResultsMb" } },
        { "calculateS20W",
            { { "EquilibriumTemp", 20.0 }, { "VelocityTemp", 25.0 }, { "S", 4e-13 }, { "Vbar20", 0.73 },
                { "Viscosity", 0.01002 }, { "Vbar", 0.73 }, { "Density", 0.998234 }, { "aVbar", 0 },
                { "vbarwater", 0.0 } },
            { "qtExperimentResultsS" } },
        // An elongated 50 kDa particle, for which every shape method finds an axial ratio.
        { "calculateResults",
            { { "Mr", 50000.0 }, { "Vbar", 0.73 }, { "UnDenaturedVbar", 0.0 }, { "S20W", 3.0e-13 }, { "Mb", 0.0 },
                { "T", 20.0 }, { "Sigma", 0.0 }, { "RPM", 0.0 }, { "Ratio", 0.0 }, { "Hydration", "qtHydrateNothing" },
                { "HydrationValue", "NULL" }, { "Shape", "qtShapeProlate" }, { "BufferViscosity", 0.01002 } },
            { "qtVbarRo", "qtVbarFo", "qtVbarffo", "qtVbarSmax", "qtVbarDmax", "qtVbarDelta1max", "qtVbarmaxab",
                "qtVbar2amax", "qtVbar2bmin", "qtTellerRp", "qtTellerFp", "qtTellerffp", "qtTellerSmax", "qtTellerDmax",
                "qtTellerDelta1max", "qtTellermaxab", "qtTeller2amax", "qtTeller2bmin", "qtRStokes",
                "qtGraphShapeHydrationExpansion" } },
    };
    const int rounds = 5;
    Bench::note(QStringLiteral("bench_calculation: execOne + populateForm, median of %1 rounds of %2 calls")
                    .arg(rounds)
                    .arg(repetitions));
    for (const Case &c : cases) {
        QWidget form;
        for (const QString &name : c.results)
            (new QLineEdit(&form))->setObjectName(name);
        // A call that shows a box would time the box, and wait on it: its
        // inputs are no case of what the forms send many times a second.
        TestModalAnswerer answerer;
        timeCase(module, c, form, 1);
        if (!answerer.seen().isEmpty()) {
            Bench::missed(QStringLiteral("%1 showed a box, not timed: %2")
                              .arg(QLatin1String(c.function), answerer.texts().join(QStringLiteral(" | "))));
            continue;
        }
        timeCase(module, c, form, 10); // warm-up
        std::vector<double> perCall;
        for (int round = 0; round < rounds; ++round)
            perCall.push_back(timeCase(module, c, form, repetitions / rounds));
        Bench::report(QLatin1String(c.function), Bench::median(perCall), "us");
    }

    // A buffer of 10,000 rows of three components: each component's series is read once per call.
    const char *components[] = { "Sodium chloride", "Tris base", "Glycerol" };
    AppScriptObject buffer(AppScriptObject::Array);
    for (int i = 0; i < 10000; ++i) {
        auto *row
            = new AppScriptObject(QLatin1String(components[i % 3]), QStringLiteral("0.00001"), AppScriptObject::Normal);
        row->setProperty("ID", db.idOf(QStringLiteral("rhoseries"), QLatin1String(components[i % 3])));
        row->setProperty("UNITS", QStringLiteral("molar"));
        buffer.setProperty(QByteArray::number(i).constData(), row);
    }
    QWidget form;
    (new QLineEdit(&form))->setObjectName(QStringLiteral("qtDensity"));
    const double bufferMs = Bench::medianMs(5, [&module, &buffer, &form] {
        AppScriptList results;
        results.add(module.execOne(QStringLiteral("calculateBufferDensity"), { &buffer }));
        AppScriptObject::populateForm(results, &form);
    });
    Bench::report(QStringLiteral("calculateBufferDensity, 10,000 rows"), bufferMs, "ms", Bench::atMost(200));
    return Bench::exitCode();
}
