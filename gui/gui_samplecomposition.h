#ifndef GUI_SAMPLECOMPOSITION_H
#define GUI_SAMPLECOMPOSITION_H

#include "ui_gui_samplecomposition.h"

#include <QString>
#include <QWidget>

class AppPlugin;

// The sample composition page of the main window's stack. Only what the main
// window wires to is here so far: the composition calculations are still to come.
class GuiSampleComposition : public QWidget, public Ui::QtSampleComposition
{
    Q_OBJECT

public:
    explicit GuiSampleComposition(QWidget *parent = nullptr);
    ~GuiSampleComposition() override;

    void setDatabasePath(const QString &path);
    void setCalculationsPlugin(AppPlugin *module);
    void clear();
    void blockCalculations(bool block);
    void setSampleName(const QString &name);
    void setAminoValue(const double &value);
    void setCarboxylValue(const double &value);
    void setSequence(const QString &sequence);
    void populateAminoTableFromSequence(const int &sampleId);

public slots:
    void onDatabaseImporterRun();
    void onNewAminoRecordAdded(int id);
    void onAminoRecordChanged(int id);
    void onNewDenaturantRecordAdded(int id);
    void onDenaturantRecordChanged(int id);
    void onNewConjugateRecordAdded(int id);
    void onConjugateRecordChanged(int id);

signals:
    void sigLog(const QString &message, int logLevel);
    void sigCalculatedVBarAccepted(qreal vbar);
    void sigCalculatedMrAccepted(qreal mr);
    void sigCalculatedHydrationAccepted(qreal hydration);
    void sigPageAccepted();
    void sigPageCanceled();
    void sigSaveToDatabase();

private:
    bool calculationsBlocked = false;
    AppPlugin *calculations = nullptr; // not owned
    QString sampleName;
    QString databasePath;
};

#endif
