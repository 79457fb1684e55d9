// Times the record lists with 10,000 records in each of the sample, solvent,
// experiment and results tables: filling each of the main window's four lists,
// opening the save dialog (which fills its seven lists) and loading one
// experiment with its linked sample, solvent and results. Prints the medians
// of wall-clock and CPU time; a missed target fails the run.

#include "bench_support.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_vornakel.h"
#include "test_database.h"
#include "test_environment.h"

#include <QApplication>
#include <QSqlQuery>
#include <QVariant>

#include <cstdio>
#include <vector>

namespace {

// Both medians of a run, wall-clock and CPU, against the one target.
void print(const char *what, const Bench::Times &t, double target)
{
    Bench::report(QStringLiteral("%1 (wall)").arg(QLatin1String(what)), t.wall, "ms", Bench::atMost(target));
    Bench::report(QStringLiteral("%1 (cpu)").arg(QLatin1String(what)), t.cpu, "ms", Bench::atMost(target));
}

bool fill(const TestDatabase &db, int count)
{
    QSqlDatabase connection = db.database();
    if (!connection.transaction())
        return false;
    QSqlQuery query(connection);
    const struct
    {
        const char *sql;
    } tables[] = {
        { "INSERT INTO sample (name, VBarDirectEntry, calcMr, pkaamino, pkacarboxl, pH) VALUES (:name, 0.73, 14305, "
          "7.7, 3.3, 7)" },
        { "INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry, pH) VALUES (:name, 1.003, 0.01, 7)" },
        { "INSERT INTO results (name, R, Ro, Rp, av, at, bv, bt, method, options, options_value, shape) VALUES "
          "(:name, 2.1e-7, 2.0e-7, 1.9e-7, 1.5, 1.6, 0.5, 0.6, 'qtVbarMethod', 'qtHydrateProlate', 2, "
          "'qtShapeProlate')" },
        { "INSERT INTO experiment (name, Tc, RPM, sigma, sstart, mgml, sstar, vbar, rho, vis, Mp, Mb, calculatedBy, "
          "sample_id, buffer_id, results_id) VALUES (:name, 4, 20000, 1.2, 4, 1, 4.5e-13, 0.73, 1.003, 0.01, 14305, "
          "3800, 'qtExactMolecularWeight', :id, :id, :id)" },
    };
    for (const auto &t : tables) {
        query.prepare(QString::fromLatin1(t.sql));
        for (int i = 1; i <= count; ++i) {
            query.bindValue(
                QStringLiteral(":name"), QStringLiteral("Record %1").arg(count - i, 5, 10, QLatin1Char('0')));
            if (QString::fromLatin1(t.sql).contains(QLatin1String(":id")))
                query.bindValue(QStringLiteral(":id"), i);
            if (!query.exec())
                return false;
        }
    }
    query.finish();
    return connection.commit();
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int runs = Bench::countArgument(argc, argv, 11);
    const int records = 10000;

    TestSettings settings;
    TestDatabase db;
    if (!db.isValid() || !fill(db, records)) {
        std::fprintf(stderr, "bench_recordlists: the database could not be filled\n");
        return 1;
    }
    GuiVornakel window(db.path());
    if (!window.initVornakel()) {
        std::fprintf(stderr, "bench_recordlists: the main window did not start\n");
        return 1;
    }

    Bench::note(QStringLiteral("bench_recordlists: %1 records per table, medians of %2 runs").arg(records).arg(runs));
    const struct
    {
        const char *name;
        void (GuiVornakel::*fill)();
    } lists[] = {
        { "fill sample list", &GuiVornakel::populateSampleRecordList },
        { "fill solvent list", &GuiVornakel::populateSolventRecordList },
        { "fill experiment list", &GuiVornakel::populateExperimentRecordList },
        { "fill results list", &GuiVornakel::populateResultsRecordList },
    };
    for (const auto &list : lists)
        print(list.name, Bench::medianTimes(runs, [&] { (window.*list.fill)(); }), 50);
    // The experiment page needs the most: its own list and whether each link has a record.
    std::vector<GuiSaveToDatabase *> dialogs;
    print("open save dialog",
        Bench::medianTimes(runs,
            [&] {
                dialogs.push_back(new GuiSaveToDatabase(db.path(), &window));
                dialogs.back()->showPage(GuiSaveToDatabase::ExperimentRecordPage);
            }),
        20);
    qDeleteAll(dialogs);
    print("load linked experiment", Bench::medianTimes(runs, [&] { window.loadExperimentPage(records / 2); }), 20);
    return Bench::exitCode();
}
