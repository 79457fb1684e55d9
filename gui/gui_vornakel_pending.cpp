// Main window slots whose bodies are still to come. Each section moves out of
// this file when its part of the window is written.
#include "gui/gui_vornakel.h"

// Experiment calculations

void GuiVornakel::calculate() { }
void GuiVornakel::equilibriumTempCalculations() { }
int GuiVornakel::mrCalculationMethod() const
{
    return m_mrMethod;
}
double GuiVornakel::So20W_K() const
{
    return qtSedVelocityK->text().toDouble();
}
void GuiVornakel::blockCalculations(const bool &block)
{
    m_calculationsBlocked = block;
}
void GuiVornakel::stopSignals(const bool &) { }
void GuiVornakel::setBusyCursor(const bool &) { }
void GuiVornakel::onValueEdited() { }
void GuiVornakel::onValueChanged() { }
void GuiVornakel::onSampleVbarDirectEntry(bool) { }
void GuiVornakel::onBufferDensityDirectEntry(bool) { }
void GuiVornakel::onBufferViscosityDirectEntry(bool) { }
void GuiVornakel::onClickedVbarStandard() { }
void GuiVornakel::onClickedDensityStandard() { }
void GuiVornakel::onClickedViscosityStandard() { }
void GuiVornakel::onClickedFromComposition() { }
void GuiVornakel::onClickedVbarCompute() { }
void GuiVornakel::onClickedDensityCompute() { }
void GuiVornakel::onClickedViscosityCompute() { }
void GuiVornakel::onExactMolecularWeightDirectEntry() { }
void GuiVornakel::onSetFromSigma() { }
void GuiVornakel::onskButtonClicked() { }
void GuiVornakel::onCurrentTabChanged(int) { }
void GuiVornakel::slotExchange() { }
void GuiVornakel::onSedEqTempChanged() { }
void GuiVornakel::onCalculatedVBarAccepted(qreal) { }
void GuiVornakel::onCalculatedMrAccepted(qreal) { }
void GuiVornakel::onCalculatedHydrationAccepted(qreal) { }
void GuiVornakel::onBufferDensityCalculated(qreal) { }
void GuiVornakel::onBufferViscosityCalculated(qreal) { }

// Not yet built

void GuiVornakel::clear() { }
void GuiVornakel::clearSamplePage() { }
void GuiVornakel::clearSolventPage() { }
void GuiVornakel::clearExperimentPage() { }
void GuiVornakel::clearResultsPage() { }
void GuiVornakel::onPageAccepted() { }
void GuiVornakel::onPageCanceled() { }
void GuiVornakel::loadSamplePage(const int &) { }
void GuiVornakel::loadSolventPage(const int &) { }
void GuiVornakel::loadExperimentPage(const int &) { }
void GuiVornakel::loadResultsPage(const int &) { }
void GuiVornakel::populateSampleRecordList() { }
void GuiVornakel::populateSolventRecordList() { }
void GuiVornakel::populateExperimentRecordList() { }
void GuiVornakel::populateResultsRecordList() { }
void GuiVornakel::onRecordComboBoxChanged() { }
void GuiVornakel::onDatabaseImporterRun() { }
void GuiVornakel::onShowExperimentalDatabases() { }
void GuiVornakel::onChangeDefaults() { }
void GuiVornakel::onImport() { }
void GuiVornakel::onShowAboutVornakel() { }
void GuiVornakel::onSaveToDBClicked() { }
void GuiVornakel::onShowAdditionalModules() { }
bool GuiVornakel::loadAdditionalModule(QString)
{
    return false;
}
void GuiVornakel::onShowModuleWindow(QString, QString) { }
void GuiVornakel::onCheckForUpdates() { }
void GuiVornakel::onHelpContentClicked() { }
void GuiVornakel::onHelpContentSearchClicked() { }
void GuiVornakel::onPluginError(const QString &) { }
