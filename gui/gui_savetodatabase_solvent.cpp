// The solvent save: one `buffer` row with its components, written inside the
// save's transaction (see GuiSaveToDatabase::saveRecord).
#include "gui/gui_savetodatabase.h"

#include "gui/gui_vornakel.h"

#include <QSqlQuery>

// Not written yet: the save reports a failure and stores nothing.
bool GuiSaveToDatabase::writeSolventRecord(QSqlQuery &, int, int *)
{
    return false;
}
