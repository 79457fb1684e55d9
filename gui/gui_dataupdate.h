#ifndef GUI_DATAUPDATE_H
#define GUI_DATAUPDATE_H

#include <QString>
#include <QWidget>

// The reference data editor: a top-level window per main window. Only its
// announcements and the pages the menus open are here so far.
class GuiDataUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit GuiDataUpdate(const QString &databasePath, QWidget *parent = nullptr);
    ~GuiDataUpdate() override;

public slots:
    void showAminoAcidPage();
    void showConjugatePage();
    void showDenaturantPage();
    void showBufferComponentsPage();
    void showExtinctionPage();

signals:
    void sigLog(const QString &message, int logLevel);
    void sigNewBufferComponentAdded(int id);
    void sigComponentRecordChanged(int id);
    void sigNewAminoRecordAdded(int id);
    void sigAminoRecordChanged(int id);
    void sigNewDenaturantRecordAdded(int id);
    void sigDenaturantRecordChanged(int id);
    void sigNewConjugateRecordAdded(int id);
    void sigConjugateRecordChanged(int id);

private:
    QString m_connectionName;
};

#endif
