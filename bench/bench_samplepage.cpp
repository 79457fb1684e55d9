// Times the sample composition page: filling its lists from the shipped tables
// plus 1,000 extra conjugates, one lysozyme computation with the shipped module,
// and the save and reload of a sample of 1,000 composition rows. Prints the
// medians; a missed target fails the run.

#include "app/app_plugin.h"
#include "bench_support.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_vornakel.h"
#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QApplication>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>

#include <cstdio>

namespace {

const char *const lysozyme[][2] = { { "ALA", "12" }, { "ARG", "11" }, { "ASN", "14" }, { "ASP", "7" }, { "GLN", "3" },
    { "GLU", "2" }, { "GLY", "12" }, { "HIS", "1" }, { "ILE", "6" }, { "LEU", "8" }, { "LYS", "6" }, { "MET", "2" },
    { "PHE", "3" }, { "PRO", "2" }, { "SER", "10" }, { "THR", "7" }, { "TRP", "6" }, { "TYR", "3" }, { "VAL", "6" },
    { "CY2", "4" } };

void fillLysozyme(GuiSampleComposition &page)
{
    QTableWidget *table = page.qtAminoAcids;
    for (const auto &entry : lysozyme)
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == QLatin1String(entry[0]))
                table->item(row, 2)->setText(QLatin1String(entry[1]));
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    TestSettings settings;
    TestModalAnswerer answerer;
    TestReferenceDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "bench_samplepage: %s\n", qPrintable(db.error()));
        return 1;
    }
    {
        QSqlDatabase handle = QSqlDatabase::database(db.path());
        handle.transaction();
        QSqlQuery insert(handle);
        // Every figure a composition takes from a conjugate, so that the page
        // computes as for real data, not a warning of each missing one.
        insert.prepare(QStringLiteral("INSERT INTO conjugates (name, Mr, vbar, hiph7, hiph4, extinction, charge, pka) "
                                      "VALUES (:name, 500, 0.65, 1, 1, 0, 0, 0)"));
        for (int i = 0; i < 1000; ++i) {
            insert.bindValue(
                QStringLiteral(":name"), QStringLiteral("Bench conjugate %1").arg(i, 4, 10, QLatin1Char('0')));
            insert.exec();
        }
        handle.commit();
    }

    const double fill = Bench::medianMs(21, [&] {
        GuiSampleComposition page;
        page.setDatabasePath(db.path());
    });

    GuiVornakel window(db.path());
    if (!window.initVornakel()) {
        std::fprintf(stderr, "bench_samplepage: the window did not start\n");
        return 1;
    }
    GuiSampleComposition &page = *window.qtStackComposition;
    page.blockCalculations(true);
    fillLysozyme(page);
    page.blockCalculations(false);
    const double compute = Bench::medianMs(51, [&] { page.computeValues(); });

    // 21 residue counts and 979 conjugate amounts: 1,000 composition rows.
    page.blockCalculations(true);
    for (int row = 0; row < page.qtAminoAcids->rowCount(); ++row)
        page.qtAminoAcids->item(row, 2)->setText(QStringLiteral("3"));
    for (int row = 0; row < std::min(1000 - page.qtAminoAcids->rowCount(), page.qtConjugates->rowCount()); ++row)
        page.qtConjugates->item(row, 1)->setText(QStringLiteral("0.5"));
    page.blockCalculations(false);

    int saved = 0;
    GuiSaveToDatabase dialog(db.path(), &window);
    dialog.showPage(GuiSaveToDatabase::SampleRecordPage);
    const double save = Bench::medianMs(
        11, [&] { dialog.qtSampleButtonBox->button(QDialogButtonBox::Save)->click(); },
        [&] {
            dialog.qtSampleName->setCurrentIndex(0);
            dialog.qtSampleName->setEditText(QStringLiteral("Bench sample %1").arg(++saved));
        });
    QSqlQuery last(QSqlDatabase::database(db.path()));
    last.exec(QStringLiteral("SELECT max(id), (SELECT count(*) FROM aminoComposition) + (SELECT count(*) FROM "
                             "conjugateComposition) FROM sample"));
    last.next();
    const int sampleId = last.value(0).toInt();
    const int rows = last.value(1).toInt() / saved;
    for (const QString &text : answerer.texts())
        std::fprintf(stderr, "bench_samplepage: unexpected box: %s\n", qPrintable(text));

    const double reload = Bench::medianMs(11, [&] {
        page.blockCalculations(true);
        page.populateAminoTableFromSequence(sampleId);
        page.blockCalculations(false); // the loader's one recalculation
    });
    const double reloadOnly = Bench::medianMs(11, [&] {
        page.blockCalculations(true);
        page.populateAminoTableFromSequence(sampleId);
    });

    Bench::note(QStringLiteral("bench_samplepage: medians of 11 to 51 runs"));
    Bench::report(QStringLiteral("fill the page (%1 residues, %2 conjugates, %3 denaturants)")
                      .arg(page.qtAminoAcids->rowCount())
                      .arg(page.qtConjugates->rowCount())
                      .arg(page.qtDenaturants->count()),
        fill, "ms", Bench::atMost(100));
    Bench::report(QStringLiteral("one lysozyme computation"), compute, "ms", Bench::atMost(10));
    Bench::report(QStringLiteral("save a sample of %1 composition rows").arg(rows), save, "ms", Bench::atMost(100));
    Bench::report(QStringLiteral("reload it, with its one recalculation"), reload, "ms", Bench::atMost(100));
    Bench::report(QStringLiteral("reload it, rows only"), reloadOnly, "ms");
    return Bench::exitCode();
}
