// Times the buffer composition page with 1,000 reference components: filling
// its tables, computing a buffer of 100 components with the shipped module,
// saving and loading a solvent of 1,000 components, writing and reading a .buf
// file of 1,000 lines, and reading a 1 MiB .buf file of bad lines. Prints
// medians; a missed target fails the run.

#include "bench_support.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_savetodatabase.h"
#include "gui/gui_vornakel.h"
#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>

namespace {

const int components = 1000;

void report(const char *what, double ms, double target)
{
    Bench::report(QLatin1String(what), ms, "ms", Bench::atMost(target));
}

// The first `count` rows of the page shown with a concentration each.
void showRows(GuiBufferComponents *page, int count, const QString &concentration)
{
    QTableWidget *table = page->qtAddedComponents;
    const QSignalBlocker block(table);
    for (int row = 0; row < table->rowCount(); ++row) {
        table->setRowHidden(row, row >= count);
        table->item(row, 1)->setText(row < count ? concentration : QString());
    }
}

} // namespace

int main(int argc, char **argv)
{
    Bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const int runs = Bench::countArgument(argc, argv, 11);

    TestSettings settings;
    TestReferenceDatabase db;
    if (!db.isValid()) {
        std::fprintf(stderr, "bench_bufferpage: %s\n", qPrintable(db.error()));
        return 1;
    }
    // 1,000 components on the series of sodium chloride, each with the data for every unit.
    QSqlDatabase connection = QSqlDatabase::database(db.path());
    connection.transaction();
    QSqlQuery insert(connection);
    insert.prepare(QStringLiteral(
        "INSERT INTO BufferComponent (name, componentRhoId, componentViscId, componentDensity, componentMr) SELECT "
        ":name, componentRhoId, componentViscId, componentDensity, componentMr FROM BufferComponent WHERE name = "
        "'Sodium chloride'"));
    for (int i = 0; i < components; ++i) {
        insert.bindValue(QStringLiteral(":name"), QStringLiteral("Bench salt %1").arg(i, 4, 10, QLatin1Char('0')));
        if (!insert.exec()) {
            std::fprintf(stderr, "bench_bufferpage: %s\n", qPrintable(insert.lastError().text()));
            return 1;
        }
    }
    connection.commit();

    TestModalAnswerer answerer; // any box a run provokes is answered, and counted below
    GuiVornakel window(db.path());
    if (!window.initVornakel()) {
        std::fprintf(stderr, "bench_bufferpage: the main window did not start\n");
        return 1;
    }
    GuiBufferComponents *page = window.qtStackBufferComponents;
    Bench::note(QStringLiteral("bench_bufferpage: %1 reference components in all, medians of %2 runs")
                    .arg(page->qtComponents->rowCount())
                    .arg(runs));

    report("fill the page", Bench::medianMs(runs, [page] { page->populateComponents(); }), 100);

    page->qtCalculateDensity->setChecked(true);
    page->qtCalculateViscosity->setChecked(true);
    report("compute a buffer of 100 components",
        Bench::medianMs(
            runs, [page] { page->compute(); }, [page] { showRows(page, 100, QStringLiteral("0.001")); }),
        20);

    // The solvent saved and loaded without its calculations, so that only the
    // record and its 1,000 rows are timed.
    {
        const QSignalBlocker density(page->qtCalculateDensity), viscosity(page->qtCalculateViscosity);
        page->qtCalculateDensity->setChecked(false);
        page->qtCalculateViscosity->setChecked(false);
    }
    showRows(page, components, QStringLiteral("0.001"));
    GuiSaveToDatabase dialog(db.path(), &window);
    dialog.qtTabWidget->setCurrentWidget(dialog.qtSolventTab); // the tab reads its records when first shown
    int run = 0;
    report("save a solvent of 1,000 components",
        Bench::medianMs(
            runs, [&dialog] { dialog.onSaveSolventClicked(); },
            [&dialog, &run] {
                dialog.qtSolventName->setCurrentIndex(0);
                dialog.qtSolventName->setEditText(QStringLiteral("bench %1").arg(run++));
            }),
        100);
    QSqlQuery last(connection);
    last.exec(QStringLiteral("SELECT max(id) FROM buffer"));
    last.next();
    const int bufferId = last.value(0).toInt();
    last.finish();
    report("load a solvent of 1,000 components",
        Bench::medianMs(
            runs, [page, bufferId] { page->loadBufferRecord(bufferId); }, [page] { showRows(page, 0, QString()); }),
        100);

    auto shownRows = [page] {
        int shown = 0;
        for (int row = 0; row < page->qtAddedComponents->rowCount(); ++row)
            shown += page->qtAddedComponents->isRowHidden(row) ? 0 : 1;
        return shown;
    };
    Bench::note(QStringLiteral("components loaded: %1").arg(shownRows()));

    const QString file = settings.path() + QStringLiteral("/bench.buf");
    report("write and read a .buf file of 1,000 lines",
        Bench::medianMs(
            runs,
            [page, &file] {
                page->writeCompositionFile(file);
                page->readCompositionFile(file);
            },
            [page] { showRows(page, components, QStringLiteral("1e-3")); }),
        50);

    Bench::note(
        QStringLiteral("components read back: %1; message boxes: %2").arg(shownRows()).arg(answerer.seen().size()));
    for (const TestModalAnswerer::Seen &seen : answerer.seen())
        Bench::note(QStringLiteral("unexpected box: ") + seen.text);

    // Every line is left out and named, in one box of 20 lines and a count.
    const QString bad = settings.path() + QStringLiteral("/bad.buf");
    {
        QFile file(bad);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < 1024 * 1024 / 7; ++i)
            file.write("no tab\n");
    }
    answerer.clear();
    report("read a 1 MiB .buf file of bad lines", Bench::medianMs(3, [page, &bad] { page->readCompositionFile(bad); }),
        1000);
    Bench::note(QStringLiteral("boxes: %1, the last of %2 lines")
                    .arg(answerer.seen().size())
                    .arg(answerer.seen().isEmpty() ? 0 : answerer.seen().last().text.count(QLatin1Char('\n')) + 1));
    return Bench::exitCode();
}
