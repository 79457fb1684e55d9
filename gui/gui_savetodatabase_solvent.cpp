// The solvent record: the density and viscosity sources chosen on the Solvent
// tab, the buffer composition page's figures, its water and its components.
#include "gui/gui_savetodatabase.h"

#include "gui/gui_buffercomponents.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"

#include <QComboBox>
#include <QVariant>

SqlSolventRecord GuiSaveToDatabase::solventRecord() const
{
    const GuiVornakel *w = m_mainWindow;
    const GuiBufferComponents *page = w->qtStackBufferComponents;

    SqlSolventRecord record;
    // A column whose source is not chosen is stored as NULL, also over an older value.
    const QVariant null(QVariant::Double);
    auto chosen = [&null](bool isChosen, const QVariant &value) { return isChosen ? value : null; };
    record.name = qtSolventName->currentText().trimmed();
    record.pH = w->qtBufferpH->text();
    // A figure counts as computed only while the Solvent tab takes it from the
    // page: a Cancel on the page can check a calculation again after the person
    // chose direct entry or a standard value, and the record must not then
    // reload the page's figure in place of the typed one. A save started from
    // the page takes its figures as its OK would.
    const bool densityComputed
        = page->qtCalculateDensity->isChecked() && (m_startedFromPage || w->qtDensityCompute->isChecked());
    const bool viscosityComputed
        = page->qtCalculateViscosity->isChecked() && (m_startedFromPage || w->qtViscosityCompute->isChecked());
    record.densityDirect = chosen(!densityComputed && w->qtDensityDirectEntry->isChecked(), w->qtBufferDensity->text());
    record.viscosityDirect
        = chosen(!viscosityComputed && w->qtViscosityDirectEntry->isChecked(), w->qtBufferViscosity->text());
    GuiStandardValue *density = w->densityStandardValue();
    GuiStandardValue *viscosity = w->viscosityStandardValue();
    const bool densityStandard = !densityComputed && w->qtDensityStandard->isChecked() && density;
    const bool viscosityStandard = !viscosityComputed && w->qtViscosityStandard->isChecked() && viscosity;
    record.densityStandard = chosen(densityStandard, densityStandard ? density->value() : 0.0);
    record.densityStandardT = chosen(densityStandard, densityStandard ? density->temperature() : 0.0);
    record.viscosityStandard = chosen(viscosityStandard, viscosityStandard ? viscosity->value() : 0.0);
    record.viscosityStandardT = chosen(viscosityStandard, viscosityStandard ? viscosity->temperature() : 0.0);
    // The water the page shows goes with its components, whichever source the
    // tab uses: reloaded, the page shows both as they were.
    record.heavyWater = page->qtHeavyWater->isChecked() ? 1 : 0;
    record.d2o = page->qtWaterComposition->D2O();
    record.d2o18 = page->qtWaterComposition->D2O18();
    record.h2o18 = page->qtWaterComposition->H2O18();
    record.h2o = page->qtWaterComposition->H2O();
    // The page's whole figures at 20 C, whatever the run temperature: a loaded
    // solvent is taken from them to the temperature of its run. NULL when a
    // field holds none.
    const QVariant densityAt20 = page->densityAt20();
    const QVariant viscosityAt20 = page->viscosityAt20();
    record.computedDensity = chosen(densityComputed && densityAt20.isValid(), densityAt20);
    record.computedViscosity = chosen(viscosityComputed && viscosityAt20.isValid(), viscosityAt20);

    // The buffer shown: its hidden rows are components not in it.
    const QTableWidget *table = page->qtAddedComponents;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->isRowHidden(row))
            continue;
        const auto *box = qobject_cast<const QComboBox *>(table->cellWidget(row, 2));
        record.components.append({ table->item(row, 0)->data(GuiBufferComponents::ComponentIdRole), QString(),
            table->item(row, 1)->text(), box ? box->currentText() : QString() });
    }
    return record;
}
