// The main window's import command.
#include "gui/gui_vornakel.h"
#include "gui/gui_vornakelimporter.h"

void GuiVornakel::onImport()
{
    GuiVornakelImporter importer(m_databasePath, this);
    // The window's record lists and both pages' reference lists follow an import.
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, this, &GuiVornakel::onDatabaseImporterRun);
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, qtStackBufferComponents,
        &GuiBufferComponents::onDatabaseImporterRun);
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, qtStackComposition,
        &GuiSampleComposition::onDatabaseImporterRun);
    importer.exec();
}
