// Times one calculation round trip of the shipped module, the way the forms do it:
// execOne on the real script host, then populateForm into a form. Prints the time
// per call; it checks nothing.

#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "bench_support.h"
#include "test_environment.h"
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

double timeCase(AppQtScriptPlugin &module, const Case &c, QWidget &form, int repetitions)
{
    QList<AppScriptObject *> inputs;
    for (const auto &i : c.inputs)
        inputs << new AppScriptObject(i.first, i.second, AppScriptObject::Normal);
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < repetitions; ++r) {
        AppScriptObject *result = module.execOne(QLatin1String(c.function), inputs);
        AppScriptObject::populateForm(QList<AppScriptObject *> { result }, &form);
        delete result;
    }
    const double perCall = timer.nsecsElapsed() / 1000.0 / repetitions;
    qDeleteAll(inputs);
    return perCall;
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
        { "calculateResults",
            { { "Mr", 50000.0 }, { "Vbar", 0.73 }, { "UnDenaturedVbar", 0.0 }, { "S20W", 3.5e-13 }, { "Mb", 0.0 },
                { "T", 20.0 }, { "Sigma", 0.0 }, { "RPM", 0.0 }, { "Ratio", 0.0 }, { "Hydration", "qtHydrateNothing" },
                { "HydrationValue", "NULL" }, { "Shape", "qtShapeProlate" }, { "BufferViscosity", 0.01002 } },
            { "qtVbarRo", "qtVbarFo", "qtVbarffo", "qtVbarSmax", "qtVbarDmax", "qtVbarDelta1max", "qtVbarmaxab",
                "qtVbar2amax", "qtVbar2bmin", "qtTellerRp", "qtTellerFp", "qtTellerffp", "qtTellerSmax", "qtTellerDmax",
                "qtTellerDelta1max", "qtTellermaxab", "qtTeller2amax", "qtTeller2bmin", "qtRStokes",
                "qtGraphShapeHydrationExpansion" } },
    };
    std::printf("bench_calculation: %d repetitions each, execOne + populateForm\n", repetitions);
    for (const Case &c : cases) {
        QWidget form;
        for (const QString &name : c.results)
            (new QLineEdit(&form))->setObjectName(name);
        timeCase(module, c, form, 10); // warm-up
        std::printf("%-22s %10.1f us per call\n", c.function, timeCase(module, c, form, repetitions));
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
    const int bufferRuns = 5;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < bufferRuns; ++r) {
        AppScriptObject *result = module.execOne(QStringLiteral("calculateBufferDensity"), { &buffer });
        AppScriptObject::populateForm(QList<AppScriptObject *> { result }, &form);
        delete result;
    }
    std::printf("%-22s %10.1f ms per call of 10,000 rows (target under 200 ms)\n", "calculateBufferDensity",
        timer.nsecsElapsed() / 1e6 / bufferRuns);
    return 0;
}
