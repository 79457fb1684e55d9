#include "gui/gui_dataupdate.h"

GuiDataUpdate::GuiDataUpdate(const QString &databasePath, QWidget *parent)
    : QWidget(parent), m_connectionName(databasePath)
{ }

GuiDataUpdate::~GuiDataUpdate() = default;

void GuiDataUpdate::showAminoAcidPage() { }

void GuiDataUpdate::showConjugatePage() { }

void GuiDataUpdate::showDenaturantPage() { }

void GuiDataUpdate::showBufferComponentsPage() { }

void GuiDataUpdate::showExtinctionPage() { }
