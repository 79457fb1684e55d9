#include "gui/gui_about.h"

#include "app/app_version.h"

GuiAbout::GuiAbout(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    initialize();
}

void GuiAbout::initialize()
{
    qtVersion->setText(APPVERSION);
    qtDBVersion->setText(DBVERSION);
}
