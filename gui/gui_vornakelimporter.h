#ifndef GUI_VORNAKELIMPORTER_H
#define GUI_VORNAKELIMPORTER_H

#include "ui_gui_vornakelimporter.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

class SqlAccessReader;
class SqlImportDb;
class SqlImportRun;

// The modal dialog that imports the older database generation into the
// window's database file. A source folder is taken when it holds the two
// older files and the reader opens them as Access databases (or they are
// SQLite copies of the older tables).
//
// The check of a folder and the import run as tasks (the reader is a
// program of its own, the import a run of steps): the dialog shows their
// progress and offers Stop meanwhile, and never waits in a loop of its own.
class GuiVornakelImporter : public QDialog, public Ui::QtVornakelImporter
{
    Q_OBJECT

public:
    GuiVornakelImporter(const QString &databasePath, QWidget *parent = nullptr);
    ~GuiVornakelImporter() override;

    // Starts the import of a list of source files (SqlImportRun's walk);
    // sigDatabaseImportFinished ends it. The status line then says what was
    // imported and what could not be, ending with "Done." (or that it was
    // stopped), and the engine's warnings come in one box.
    void startImport(const QStringList &sourceFiles);
    // A folder check or an import is under way.
    bool isWorking() const;

signals:
    void sigDatabaseImportFinished();
    // A folder's check has ended, the folder taken or refused.
    void sigFolderChecked();

public slots:
    void Import();
    void SetSourceFolder();
    void CheckFolder(const QString &folder);
    void SetDestFolder();
    void UpdateStatus(const QString &message);
    void UpdateResults(const QString &message);
    // A table or file the engine could not copy, kept for the box at the end of the run.
    void showWarning(const QString &title, const QString &text);
    // Closes the dialog, unless a check or a run is under way.
    void reject() override;
    // Stops the check or the import under way.
    void stop();

private:
    void Initialize();
    void CreateConnections();
    // Checks the next Access file of the folder, or takes the folder when none is left.
    void checkNext();
    void checkEnded();
    // Refuses the folder being checked, saying why.
    void refuseFolder(const QString &refusal);
    void takeFolder();
    void importEnded();
    // The controls while a check or an import works, and after.
    void setWorking(bool working);
    // The status line at the end of a run.
    static QString summary(SqlImportRun &run);

    bool m_sourceSet = false;
    bool m_destinationSet = false;
    QStringList m_sourceFiles;
    QStringList m_destinationFiles;
    QString m_databasePath;
    // The lines of the engine's warnings of the current run.
    QStringList m_warnings;
    std::unique_ptr<SqlImportRun> m_run; // while an import runs
    bool m_imported = false; // one dialog runs one import
    // The folder check: its reader, the Access files left to check, and the
    // source files the folder gives when they pass.
    SqlAccessReader *m_checker = nullptr;
    QStringList m_checking;
    QStringList m_found;
    bool m_checkStopped = false;
};

#endif
