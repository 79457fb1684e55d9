// The sample record: the vbar source chosen on the Sample tab, the values of
// the sample composition page and its residue and conjugate counts.
#include "gui/gui_savetodatabase.h"

#include "app/app_number.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"

#include <QTableWidget>
#include <QVariant>

namespace {

// One composition row per count the page would send to the calculation; an
// empty or invalid (red) cell stores nothing.
QVector<SqlSampleRecord::Count> counts(const QTableWidget *table, int amountColumn)
{
    QVector<SqlSampleRecord::Count> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *cell = table->item(row, amountColumn);
        const QTableWidgetItem *name = table->item(row, 0);
        double count = 0;
        if (!cell || !name || !GuiSampleComposition::isValidAmount(cell->text(), &count))
            continue;
        rows.append({ name->data(GuiSampleComposition::RecordIdRole).toInt(), count });
    }
    return rows;
}

} // namespace

SqlSampleRecord GuiSaveToDatabase::sampleRecord() const
{
    const GuiVornakel *w = m_mainWindow;
    const GuiSampleComposition *page = w->qtStackComposition;

    SqlSampleRecord record;
    const QVariant null(QVariant::Double);
    // A save started from the page takes its computed vbar as the sample's, as
    // its OK would: a typed or standard vbar stored beside it would be the one
    // a reload shows.
    double computedVbar = 0.0;
    const bool vbarFromPage = m_startedFromPage && page->qtCalculateVbar->isChecked()
        && AppNumber::fromText(page->qtCalculatedVBar->text(), &computedVbar) && computedVbar > 0;
    const bool standard = !vbarFromPage && w->qtVbarStandard->isChecked();
    record.name = qtSampleName->currentText().trimmed();
    record.vbarDirect
        = !vbarFromPage && w->qtVbarDirectEntry->isChecked() ? numberOrNull(w->qtSampleVbar->text()) : null;
    record.vbarStandard = standard ? QVariant(w->vbarStandardValue()->value()) : null;
    record.vbarStandardT = standard ? QVariant(w->vbarStandardValue()->temperature()) : null;
    record.calculatedVbar = page->qtCalculateVbar->isChecked() ? numberOrNull(page->qtCalculatedVBar->text()) : null;
    record.calculatedMr = page->qtCalculateMr->isChecked() ? numberOrNull(page->qtCalculatedMR->text()) : null;
    record.calculatedHydration
        = page->qtCalculateHydration->isChecked() ? numberOrNull(page->qtCalculatedHydration->text()) : null;
    // The denaturant goes with the sample: without it a reloaded sample would lose its vbar.
    record.denaturant = page->denaturant().isEmpty() ? QVariant(QVariant::Int) : QVariant(page->denaturant().toInt());
    record.sk = w->So20W_K();
    record.pkaAmino = page->aminoValue();
    record.pkaCarboxyl = page->carboxylValue();
    record.pH = numberOrNull(page->qtpH->text());
    record.nMer = page->qtMakeOligomer->isChecked() ? numberOrNull(page->qtOligomerN->text()) : QVariant(QVariant::Int);
    record.aminoAcids = counts(page->qtAminoAcids, GuiSampleComposition::AminoCountColumn);
    record.conjugates = counts(page->qtConjugates, GuiSampleComposition::ConjugateAmountColumn);
    // NULL when the page holds no composition: a stored sequence, even an
    // empty one, makes the loader take the sample for a computed one and so
    // override a typed or standard vbar. Any composition stores a text, also
    // one of conjugates only, so that the loader reads its rows back.
    const auto holdsComposition = [](const QTableWidget *table, int amountColumn) {
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem *cell = table->item(row, amountColumn);
            if (cell && GuiSampleComposition::isValidAmount(cell->text()))
                return true;
        }
        return false;
    };
    const bool composition = holdsComposition(page->qtAminoAcids, GuiSampleComposition::AminoCountColumn)
        || holdsComposition(page->qtConjugates, GuiSampleComposition::ConjugateAmountColumn);
    const QString codes = page->sequenceToStore();
    record.sequence = composition ? QVariant(codes.isNull() ? QStringLiteral("") : codes) : QVariant(QVariant::String);
    return record;
}
