#include "gui/gui_samplecomposition.h"

#include <QDialogButtonBox>

GuiSampleComposition::GuiSampleComposition(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
}

GuiSampleComposition::~GuiSampleComposition() = default;

void GuiSampleComposition::setDatabasePath(const QString &path)
{
    databasePath = path;
    connect(qtButtonBox, &QDialogButtonBox::accepted, this, &GuiSampleComposition::sigPageAccepted);
    connect(qtButtonBox, &QDialogButtonBox::rejected, this, &GuiSampleComposition::sigPageCanceled);
}

void GuiSampleComposition::setCalculationsPlugin(AppPlugin *module)
{
    calculations = module;
}

void GuiSampleComposition::clear() { }

void GuiSampleComposition::blockCalculations(bool block)
{
    calculationsBlocked = block;
}

void GuiSampleComposition::setSampleName(const QString &name)
{
    sampleName = name;
}

void GuiSampleComposition::setAminoValue(const double &) { }

void GuiSampleComposition::setCarboxylValue(const double &) { }

void GuiSampleComposition::setSequence(const QString &) { }

void GuiSampleComposition::populateAminoTableFromSequence(const int &) { }

void GuiSampleComposition::onDatabaseImporterRun() { }

void GuiSampleComposition::onNewAminoRecordAdded(int) { }

void GuiSampleComposition::onAminoRecordChanged(int) { }

void GuiSampleComposition::onNewDenaturantRecordAdded(int) { }

void GuiSampleComposition::onDenaturantRecordChanged(int) { }

void GuiSampleComposition::onNewConjugateRecordAdded(int) { }

void GuiSampleComposition::onConjugateRecordChanged(int) { }
