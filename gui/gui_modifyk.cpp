#include "gui/gui_modifyk.h"

#include <QPushButton>

GuiModifyK::GuiModifyK(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    createConnections();
}

void GuiModifyK::initialize() { }

void GuiModifyK::createConnections()
{
    connect(qtOkButton, &QPushButton::clicked, this, &GuiModifyK::onOkClicked);
}

// Closing a modal dialog rejects it: OK and the window's close button end it alike.
void GuiModifyK::onOkClicked()
{
    close();
}

int GuiModifyK::execute()
{
    return exec();
}
