// The solvent save: one `buffer` row with its components, written inside the
// save's transaction (see GuiSaveToDatabase::saveRecord).
#include "gui/gui_savetodatabase.h"

#include "gui/gui_buffercomponents.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"

#include <QComboBox>
#include <QSqlQuery>
#include <QVariant>

bool GuiSaveToDatabase::writeSolventRecord(QSqlQuery &query, int storedId, int *savedId)
{
    GuiVornakel *w = m_mainWindow;
    GuiBufferComponents *page = w->qtStackBufferComponents;

    if (storedId < 0) {
        query.prepare(QStringLiteral(
            "INSERT INTO buffer (name, densityDirectEntry, viscosityDirectEntry, densityStandard,    "
            "viscosityStandard, densityStandardT,   viscosityStandardT, computeDensity,     computeViscosity, pH,  "
            "               isHeavyWater,D2O, D2O18, H2O18, H2O, active ) VALUES (:name, :densityDirectEntry, "
            ":viscosityDirectEntry, :densityStandard,    :viscosityStandard, :densityStandardT,   "
            ":viscosityStandardT, :computeDensity,     :computeViscosity, :pH,                 :isHeavyWater,:d2o, "
            ":D2O18, :h2o18, :H2O, :active ) "));
    } else {
        query.prepare(QStringLiteral(
            "UPDATE buffer SET name = :name, densityDirectEntry = :densityDirectEntry, viscosityDirectEntry = "
            ":viscosityDirectEntry, densityStandard = :densityStandard, viscosityStandard = :viscosityStandard, "
            "densityStandardT = :densityStandardT, viscosityStandardT = :viscosityStandardT, computeDensity = "
            ":computeDensity, computeViscosity = :computeViscosity, pH = :pH, isHeavyWater = :isHeavyWater, D2O = "
            ":d2o, D2O18 = :D2O18, H2O18 = :h2o18, H2O = :H2O, active = :active WHERE id = :bufId "));
        query.bindValue(QStringLiteral(":bufId"), storedId);
    }
    // A column whose source is not chosen is stored as NULL, also over an older value.
    const QVariant null(QVariant::Double);
    auto bindIf = [&query, &null](const char *placeholder, bool chosen, const QVariant &value) {
        query.bindValue(QLatin1String(placeholder), chosen ? value : null);
    };
    query.bindValue(QStringLiteral(":name"), qtSolventName->currentText());
    query.bindValue(QStringLiteral(":pH"), w->qtBufferpH->text());
    query.bindValue(QStringLiteral(":active"), 1);
    bindIf(":densityDirectEntry", w->qtDensityDirectEntry->isChecked(), w->qtBufferDensity->text());
    bindIf(":viscosityDirectEntry", w->qtViscosityDirectEntry->isChecked(), w->qtBufferViscosity->text());
    GuiStandardValue *density = w->densityStandardValue();
    GuiStandardValue *viscosity = w->viscosityStandardValue();
    const bool densityStandard = w->qtDensityStandard->isChecked() && density;
    const bool viscosityStandard = w->qtViscosityStandard->isChecked() && viscosity;
    bindIf(":densityStandard", densityStandard, densityStandard ? density->value() : 0.0);
    bindIf(":densityStandardT", densityStandard, densityStandard ? density->temperature() : 0.0);
    bindIf(":viscosityStandard", viscosityStandard, viscosityStandard ? viscosity->value() : 0.0);
    bindIf(":viscosityStandardT", viscosityStandard, viscosityStandard ? viscosity->temperature() : 0.0);
    // A figure counts as computed only while the Solvent tab takes it from the
    // page: a Cancel on the page can check a calculation again after the person
    // chose direct entry or a standard value, and the record must not then
    // reload the page's figure in place of the typed one.
    const bool densityComputed = page->qtCalculateDensity->isChecked() && w->qtDensityCompute->isChecked();
    const bool viscosityComputed = page->qtCalculateViscosity->isChecked() && w->qtViscosityCompute->isChecked();
    const bool computed = densityComputed || viscosityComputed;
    bindIf(":isHeavyWater", computed, page->qtHeavyWater->isChecked() ? 1 : 0);
    bindIf(":d2o", computed, page->qtWaterComposition->D2O());
    bindIf(":D2O18", computed, page->qtWaterComposition->D2O18());
    bindIf(":h2o18", computed, page->qtWaterComposition->H2O18());
    bindIf(":H2O", computed, page->qtWaterComposition->H2O());
    // The page's whole figures, not their rounded display; NULL when a field holds none.
    bindIf(":computeDensity", densityComputed,
        numberOrNull(page->qtCorrectedDensity->text()).isNull() ? null : QVariant(page->calculatedDensity()));
    bindIf(":computeViscosity", viscosityComputed,
        numberOrNull(page->qtCorrectedViscosity->text()).isNull() ? null : QVariant(page->calculatedViscosity()));
    if (!query.exec())
        return false;
    const int bufferId = storedId >= 0 ? storedId : query.lastInsertId().toInt();

    // The earlier components stay as inactive rows; the buffer shown is written anew.
    query.prepare(QStringLiteral("UPDATE bufferComposition SET active = 0 WHERE bufferId = :bufferId "));
    query.bindValue(QStringLiteral(":bufferId"), bufferId);
    if (!query.exec())
        return false;
    QTableWidget *table = page->qtAddedComponents;
    query.prepare(QStringLiteral("INSERT INTO bufferComposition (bufferId, componentID, concentration, units, "
                                 "active)VALUES (:bufId, :compID, :conc, :units, :active )"));
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->isRowHidden(row))
            continue;
        const auto *box = qobject_cast<const QComboBox *>(table->cellWidget(row, 2));
        query.bindValue(QStringLiteral(":bufId"), bufferId);
        query.bindValue(QStringLiteral(":compID"), table->item(row, 0)->data(GuiBufferComponents::ComponentIdRole));
        query.bindValue(QStringLiteral(":conc"), table->item(row, 1)->text());
        query.bindValue(QStringLiteral(":units"), box ? box->currentText() : QString());
        query.bindValue(QStringLiteral(":active"), 1);
        if (!query.exec())
            return false;
    }
    *savedId = bufferId;
    return true;
}
