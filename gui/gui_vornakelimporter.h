#ifndef GUI_VORNAKELIMPORTER_H
#define GUI_VORNAKELIMPORTER_H

#include "ui_gui_vornakelimporter.h"

#include <QDialog>
#include <QString>
#include <QStringList>

// The modal dialog that imports the older database generation into the
// window's database file. The older files can be read on Microsoft Windows
// only, so here every source folder is refused and nothing is imported.
class GuiVornakelImporter : public QDialog, public Ui::QtVornakelImporter
{
    Q_OBJECT

public:
    GuiVornakelImporter(const QString &databasePath, QWidget *parent = nullptr);
    ~GuiVornakelImporter() override;

    // The engine's operations on a list of source files, in their fixed order:
    // the reference file, then the records file found anywhere in the list;
    // a defaults file is visited only before the reference file.
    void importFiles(const QStringList &sourceFiles);

signals:
    void sigDatabaseImportFinished();

public slots:
    void Import();
    void SetSourceFolder();
    void CheckFolder(const QString &folder);
    void SetDestFolder();
    void UpdateStatus(const QString &message);
    void UpdateResults(const QString &message);

private:
    void Initialize();
    void CreateConnections();

    bool m_sourceSet = false;
    bool m_destinationSet = false;
    QStringList m_sourceFiles;
    QStringList m_destinationFiles;
    QString m_databasePath;
};

#endif
