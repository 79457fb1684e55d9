#ifndef GUI_BUFFERCOMPONENTS_H
#define GUI_BUFFERCOMPONENTS_H

#include "ui_gui_buffercomponents.h"

#include <QString>
#include <QWidget>

class AppPlugin;

// The buffer composition page of the main window's stack. Only what the main
// window wires to is here so far: the page's computations are still to come.
class GuiBufferComponents : public QWidget, public Ui::QtBufferComponents
{
    Q_OBJECT

public:
    explicit GuiBufferComponents(QWidget *parent = nullptr);
    ~GuiBufferComponents() override;

    void setDatabasePath(const QString &path);
    void setCalculationsPlugin(AppPlugin *module);
    void setTemperature(double temperature);
    void compute();
    void loadBufferRecord(int bufferId);
    void clear();

public slots:
    void onDatabaseImporterRun();
    void onNewComponentRecordAdded(int id);
    void onComponentRecordChanged(int id);

signals:
    void sigLog(const QString &message, int logLevel);
    void sigCalculatedDensityAccepted(qreal density);
    void sigCalculatedViscosityAccepted(qreal viscosity);
    void sigPageAccepted();
    void sigPageCanceled();
    void sigSaveToDatabase();

private:
    QString m_databasePath;
    AppPlugin *m_calculations = nullptr; // not owned
    double m_temperature = 20.0;
};

#endif
