#include "gui/gui_buffercomponents.h"

#include <QDialogButtonBox>

GuiBufferComponents::GuiBufferComponents(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
}

GuiBufferComponents::~GuiBufferComponents() = default;

void GuiBufferComponents::setDatabasePath(const QString &path)
{
    m_databasePath = path;
    // The page's own set-up forgets any module; the window hands it over afterwards.
    m_calculations = nullptr;
    connect(qtButtonBox, &QDialogButtonBox::accepted, this, &GuiBufferComponents::sigPageAccepted);
    connect(qtButtonBox, &QDialogButtonBox::rejected, this, &GuiBufferComponents::sigPageCanceled);
}

void GuiBufferComponents::setCalculationsPlugin(AppPlugin *module)
{
    m_calculations = module;
}

void GuiBufferComponents::setTemperature(double temperature)
{
    m_temperature = temperature;
}

void GuiBufferComponents::compute() { }

void GuiBufferComponents::loadBufferRecord(int) { }

void GuiBufferComponents::clear() { }

void GuiBufferComponents::onDatabaseImporterRun() { }

void GuiBufferComponents::onNewComponentRecordAdded(int) { }

void GuiBufferComponents::onComponentRecordChanged(int) { }
