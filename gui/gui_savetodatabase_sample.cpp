// The sample save: one `sample` row with its residue and conjugate counts,
// written inside the save's transaction (see GuiSaveToDatabase::saveRecord).
#include "gui/gui_savetodatabase.h"

#include "gui/gui_samplecomposition.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"

#include <QSqlQuery>
#include <QTableWidget>
#include <QVariant>

namespace {

// One composition row per count the page would send to the calculation; an
// empty or invalid (red) cell stores nothing.
bool writeComposition(QSqlQuery &query, const QString &sql, const QTableWidget *table, int amountColumn, int sampleId)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *cell = table->item(row, amountColumn);
        const QTableWidgetItem *name = table->item(row, 0);
        double count = 0;
        if (!cell || !name || !GuiSampleComposition::isValidAmount(cell->text(), &count))
            continue;
        query.prepare(sql);
        query.bindValue(QStringLiteral(":sampleid"), sampleId);
        query.bindValue(QStringLiteral(":id"), name->data(GuiSampleComposition::RecordIdRole).toInt());
        query.bindValue(QStringLiteral(":count"), count);
        query.bindValue(QStringLiteral(":active"), 1);
        if (!query.exec())
            return false;
    }
    return true;
}

} // namespace

bool GuiSaveToDatabase::writeSampleRecord(QSqlQuery &query, int storedId, int *savedId)
{
    GuiVornakel *w = m_mainWindow;
    GuiSampleComposition *page = w->qtStackComposition;

    if (storedId < 0) {
        query.prepare(QStringLiteral(
            "INSERT INTO sample (name, VBarDirectentry, VBarStandard, VBarStandardT, calcVBar, calcMr, calcHydration, "
            "useDenaturant, sk, pkaamino, pkacarboxl, pH, nMer, aminoSequence,aminoSequenceCodeSize) VALUES (:name, "
            ":vbarDirect, :vbarStandard, :vbarStandardT, :vbarCalc, :mr, :hydration, :denaturant, :sk, :pkaamino, "
            ":pkacarboxl, :pH, :nMer, :sequence,:sequenceCodeSize)"));
    } else {
        query.prepare(QStringLiteral(
            "UPDATE sample SET name = :name, VBarDirectentry = :vbarDirect, VBarStandard = :vbarStandard, "
            "VBarStandardT = :vbarStandardT, calcVBar = :vbarCalc, calcMr = :mr, calcHydration = :hydration, "
            "useDenaturant = :denaturant, sk = :sk, pkaamino = :pkaamino, pkacarboxl = :pkacarboxl, pH = :pH, "
            "nMer = :nMer, aminoSequence = :sequence, aminoSequenceCodeSize = :sequenceCodeSize WHERE id = :id"));
        query.bindValue(QStringLiteral(":id"), storedId);
    }
    const QVariant null(QVariant::Double);
    const bool standard = w->qtVbarStandard->isChecked();
    query.bindValue(QStringLiteral(":name"), qtSampleName->currentText());
    query.bindValue(QStringLiteral(":vbarDirect"),
        w->qtVbarDirectEntry->isChecked() ? numberOrNull(w->qtSampleVbar->text()) : null);
    query.bindValue(QStringLiteral(":vbarStandard"), standard ? QVariant(w->vbarStandardValue()->value()) : null);
    query.bindValue(
        QStringLiteral(":vbarStandardT"), standard ? QVariant(w->vbarStandardValue()->temperature()) : null);
    query.bindValue(QStringLiteral(":vbarCalc"),
        page->qtCalculateVbar->isChecked() ? numberOrNull(page->qtCalculatedVBar->text()) : null);
    query.bindValue(
        QStringLiteral(":mr"), page->qtCalculateMr->isChecked() ? numberOrNull(page->qtCalculatedMR->text()) : null);
    query.bindValue(QStringLiteral(":hydration"),
        page->qtCalculateHydration->isChecked() ? numberOrNull(page->qtCalculatedHydration->text()) : null);
    // The denaturant goes with the sample: without it a reloaded sample would lose its vbar.
    query.bindValue(QStringLiteral(":denaturant"),
        page->denaturant().isEmpty() ? QVariant(QVariant::Int) : QVariant(page->denaturant().toInt()));
    query.bindValue(QStringLiteral(":sk"), w->So20W_K());
    query.bindValue(QStringLiteral(":pkaamino"), page->aminoValue());
    query.bindValue(QStringLiteral(":pkacarboxl"), page->carboxylValue());
    query.bindValue(QStringLiteral(":pH"), numberOrNull(page->qtpH->text()));
    query.bindValue(QStringLiteral(":nMer"),
        page->qtMakeOligomer->isChecked() ? numberOrNull(page->qtOligomerN->text()) : QVariant(QVariant::Int));
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
    query.bindValue(QStringLiteral(":sequence"),
        composition ? QVariant(codes.isNull() ? QStringLiteral("") : codes) : QVariant(QVariant::String));
    query.bindValue(QStringLiteral(":sequenceCodeSize"), 1);
    if (!query.exec())
        return false;
    const int sampleId = storedId >= 0 ? storedId : query.lastInsertId().toInt();

    if (storedId >= 0) {
        // The earlier composition stays in the file, inactive, as deleted records do.
        for (const char *sql : { "UPDATE aminoComposition SET active = 0 WHERE sampleId = :sampleid",
                 "UPDATE conjugateComposition SET active = 0 WHERE sampleId = :sampleid" }) {
            query.prepare(QString::fromLatin1(sql));
            query.bindValue(QStringLiteral(":sampleid"), sampleId);
            if (!query.exec())
                return false;
        }
    }
    if (!writeComposition(query,
            QStringLiteral("INSERT INTO aminoComposition (sampleid, aminoid, count, active) VALUES (:sampleid, :id, "
                           ":count, :active) "),
            page->qtAminoAcids, GuiSampleComposition::AminoCountColumn, sampleId))
        return false;
    if (!writeComposition(query,
            QStringLiteral("INSERT INTO conjugateComposition (sampleid, conjugateid, count, active) VALUES "
                           "(:sampleid, :id, :count, :active) "),
            page->qtConjugates, GuiSampleComposition::ConjugateAmountColumn, sampleId))
        return false;
    *savedId = sampleId;
    return true;
}
