// The sample save: one `sample` row with its residue and conjugate counts,
// written inside the save's transaction (see GuiSaveToDatabase::saveRecord).
#include "gui/gui_savetodatabase.h"

#include "gui/gui_vornakel.h"

#include <QSqlQuery>

// Not written yet: the save reports a failure and stores nothing.
bool GuiSaveToDatabase::writeSampleRecord(QSqlQuery &, int, int *)
{
    return false;
}
