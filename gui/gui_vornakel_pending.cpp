// Main window slots whose bodies are still to come. Each section moves out of
// this file when its part of the window is written.
#include "gui/gui_vornakel.h"

// Not yet built

void GuiVornakel::onShowExperimentalDatabases() { }
void GuiVornakel::onShowAboutVornakel() { }
void GuiVornakel::onShowAdditionalModules() { }
bool GuiVornakel::loadAdditionalModule(QString)
{
    return false;
}
void GuiVornakel::onShowModuleWindow(QString, QString) { }
void GuiVornakel::onCheckForUpdates() { }
void GuiVornakel::onHelpContentClicked() { }
void GuiVornakel::onHelpContentSearchClicked() { }
