// Main window slots whose bodies are still to come. Each section moves out of
// this file when its part of the window is written.
#include "gui/gui_vornakel.h"

// Not yet built

void GuiVornakel::clear() { }
void GuiVornakel::clearSamplePage() { }
void GuiVornakel::clearSolventPage() { }
void GuiVornakel::clearExperimentPage() { }
void GuiVornakel::clearResultsPage() { }
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
