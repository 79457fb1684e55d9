#ifndef GUI_VORNAKELIMPORTER_H
#define GUI_VORNAKELIMPORTER_H

#include "ui_gui_vornakelimporter.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class SqlImportDb;

// The modal dialog that imports the older database generation into the
// window's database file. A source folder is taken when it holds the two
// older files and the reader opens them as Access databases (or they are
// SQLite copies of the older tables).
class GuiVornakelImporter : public QDialog, public Ui::QtVornakelImporter
{
    Q_OBJECT

public:
    GuiVornakelImporter(const QString &databasePath, QWidget *parent = nullptr);
    ~GuiVornakelImporter() override;

    // The engine's operations on a list of source files, in their fixed order:
    // the reference file, then the records file found anywhere in the list;
    // a defaults file is visited only before the reference file. The status
    // line then says what was imported and what could not be, ending with
    // "Done.", and the engine's warnings come in one box. Returns the files
    // whose copied rows could not be flagged as imported.
    QStringList importFiles(const QStringList &sourceFiles);

signals:
    void sigDatabaseImportFinished();

public slots:
    void Import();
    void SetSourceFolder();
    void CheckFolder(const QString &folder);
    void SetDestFolder();
    void UpdateStatus(const QString &message);
    void UpdateResults(const QString &message);
    // A table or file the engine could not copy, kept for the box at the end of the run.
    void showWarning(const QString &title, const QString &text);
    // Closes the dialog, unless a run is under way.
    void reject() override;

private:
    void Initialize();
    void CreateConnections();
    // The refusal of the first Access file the reader cannot open, or an empty text.
    QString checkAccessFiles(const QStringList &files);
    // The status line at the end of a run.
    static QString summary(const SqlImportDb &engine);

    bool m_sourceSet = false;
    bool m_destinationSet = false;
    QStringList m_sourceFiles;
    QStringList m_destinationFiles;
    QString m_databasePath;
    // The lines of the engine's warnings of the current run.
    QStringList m_warnings;
    bool m_importing = false; // a run is under way
};

#endif
