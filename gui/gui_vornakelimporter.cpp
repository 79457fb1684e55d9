#include "gui/gui_vornakelimporter.h"

#include "gui/gui_waitcursor.h"
#include "sql/sql_importdb.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace {

const char *const sourceKey = "import/source";
const char *const noFolder = "xxxxx";

// The file of the folder with this name in any letter case (names here are
// case-sensitive; the older program's were not), or an empty text.
QString findFile(const QDir &folder, const QString &name)
{
    const QStringList entries = folder.entryList(QDir::Files, QDir::Name);
    for (const QString &entry : entries)
        // A link to a named pipe is listed too, and opening it would wait for ever.
        if (entry.compare(name, Qt::CaseInsensitive) == 0 && QFileInfo(folder.absoluteFilePath(entry)).isFile())
            return folder.absoluteFilePath(entry);
    return QString();
}

} // namespace

GuiVornakelImporter::GuiVornakelImporter(const QString &databasePath, QWidget *parent)
    : QDialog(parent), m_databasePath(databasePath)
{
    setupUi(this);
    Initialize();
    CreateConnections();
}

GuiVornakelImporter::~GuiVornakelImporter() = default;

void GuiVornakelImporter::Initialize()
{
    const QString source = QSettings().value(QLatin1String(sourceKey), QLatin1String(noFolder)).toString();
    m_sourceSet = false;
    m_destinationSet = false;
    m_sourceFiles.clear();
    m_destinationFiles.clear();
    if (source == QLatin1String(noFolder))
        qtSourceFolder->setText(QStringLiteral("Please select source folder."));
    else
        CheckFolder(source);
    qtDestinationFolder->setText(QFileInfo(m_databasePath).absoluteFilePath());
    qtStatus->clear();
    qtImport->setEnabled(true);
}

void GuiVornakelImporter::CreateConnections()
{
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(qtSourceButton, &QPushButton::clicked, this, &GuiVornakelImporter::SetSourceFolder);
    connect(qtImport, &QPushButton::clicked, this, &GuiVornakelImporter::Import);
    // "Import Default Values" is read nowhere, so its box is wired to nothing.
}

void GuiVornakelImporter::SetSourceFolder()
{
    const QString start = QSettings().value(QLatin1String(sourceKey), QLatin1String(noFolder)).toString();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Locate source Vornakel folder"),
        start == QLatin1String(noFolder) ? QString() : start, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        qtSourceFolder->setText(QStringLiteral("Please select source folder."));
        m_sourceSet = false;
        return;
    }
    CheckFolder(folder);
}

void GuiVornakelImporter::CheckFolder(const QString &folder)
{
    m_sourceFiles.clear();
    m_sourceSet = false;
    const QDir dir(folder);
    const QString ini = findFile(dir, QStringLiteral("VORNAKEL.INI"));
    const QString references = findFile(dir, QStringLiteral("PHYCONST.MDB"));
    const QString records = findFile(dir, QStringLiteral("VORNAKEL.MDB"));
    QStringList missing;
    if (references.isEmpty())
        missing << QStringLiteral("PHYCONST.MDB");
    if (records.isEmpty())
        missing << QStringLiteral("VORNAKEL.MDB");

    // SQLite copies of the older tables need no ODBC driver.
    const bool needsDriver = !SqlImportDb::isSqliteFile(references) || !SqlImportDb::isSqliteFile(records);
    QString refusal;
    if (!missing.isEmpty()) {
        refusal = QStringLiteral("The folder %1 lacks %2. Choose the folder of the older Vornakel that holds "
                                 "PHYCONST.MDB and VORNAKEL.MDB.")
                      .arg(QDir::toNativeSeparators(dir.absolutePath()), missing.join(QStringLiteral(" and ")));
    } else if (needsDriver && !SqlImportDb::odbcDriverInstalled()) {
        refusal = QStringLiteral("The older database files are read through the ODBC driver \"%1\", which is not "
                                 "installed. Install the package %2 and choose the folder again.")
                      .arg(SqlImportDb::odbcDriverName(), SqlImportDb::odbcDriverPackage());
    } else if (needsDriver && dir.absolutePath().contains(QLatin1Char(';'))) {
        refusal = QStringLiteral("The ODBC driver cannot open files in a folder whose path holds a ';' (%1). Move "
                                 "PHYCONST.MDB and VORNAKEL.MDB to another folder.")
                      .arg(QDir::toNativeSeparators(dir.absolutePath()));
    }
    if (!refusal.isEmpty()) {
        qtSourceFolder->setText(refusal);
        QMessageBox::critical(this, QStringLiteral("Vornakel"), refusal, QMessageBox::Ok);
        return;
    }
    // In the order the import walks them: the defaults before the reference
    // file, after which the walk ends.
    if (!ini.isEmpty())
        m_sourceFiles << ini;
    m_sourceFiles << references << records;
    m_sourceSet = true;
    QStringList shown;
    for (const QString &file : qAsConst(m_sourceFiles))
        shown << QDir::toNativeSeparators(file);
    qtSourceFolder->setText(shown.join(QLatin1Char('\n')));
}

void GuiVornakelImporter::SetDestFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Locate source Vornakel folder"), QString(), QFileDialog::ShowDirsOnly);
    m_destinationFiles.clear();
    if (folder.isEmpty()) {
        qtDestinationFolder->setText(QStringLiteral("Please select destination folder."));
        m_destinationSet = false;
        return;
    }
    const QString database = QStringLiteral("%1/vornakel.db").arg(folder);
    if (QFileInfo::exists(database))
        m_destinationFiles << database;
    m_destinationSet = !m_destinationFiles.isEmpty();
    qtDestinationFolder->setText(
        m_destinationSet ? m_destinationFiles.join(QLatin1Char(',')) : QStringLiteral("No databases found."));
}

void GuiVornakelImporter::Import()
{
    qtResults->clear();
    qtStatus->clear();
    if (!m_sourceSet && !m_destinationSet) {
        qtStatus->setText(QStringLiteral("Unable to import until source and destination folders are set."));
        return;
    }
    {
        const GuiWaitCursor wait;
        QPushButton *close = buttonBox->button(QDialogButtonBox::Close);
        close->setEnabled(false);
        qtStatus->setText(QStringLiteral("Importing..."));
        QCoreApplication::processEvents();
        qtImport->setEnabled(false);

        const QStringList unflagged = importFiles(m_sourceFiles);

        if (unflagged.isEmpty())
            qtStatus->setText(QStringLiteral("Done."));
        else
            qtStatus->setText(QStringLiteral("Done. The copied rows of %1 could not be flagged as imported: a "
                                             "second import of the same files would copy them again.")
                                  .arg(unflagged.join(QStringLiteral(", "))));
        qtPreventDuplicates->setChecked(true);
        emit sigDatabaseImportFinished();
        // One dialog runs one import: Import! stays off.
        close->setEnabled(true);
    }
}

QStringList GuiVornakelImporter::importFiles(const QStringList &sourceFiles)
{
    SqlImportDb engine(m_databasePath, this);
    connect(&engine, &SqlImportDb::sigStatus, this, &GuiVornakelImporter::UpdateStatus, Qt::DirectConnection);
    connect(&engine, &SqlImportDb::sigResults, this, &GuiVornakelImporter::UpdateResults, Qt::DirectConnection);
    // Shown at once: the engine goes on with the next table after the box.
    connect(&engine, &SqlImportDb::sigWarning, this, &GuiVornakelImporter::showWarning, Qt::DirectConnection);
    for (const QString &file : sourceFiles) {
        if (file.endsWith(QLatin1String("VORNAKEL.INI"), Qt::CaseInsensitive)) {
            // The older defaults are not read.
            QMessageBox::critical(nullptr, QStringLiteral("Debug-Vornakel"),
                QStringLiteral("Note: Importing default values not yet implemented"), QMessageBox::Ok);
            continue;
        }
        if (!file.endsWith(QLatin1String("PHYCONST.MDB"), Qt::CaseInsensitive))
            continue;
        engine.copyFromAccess(file, SqlImportDb::referenceTables(), qtPreventDuplicates->isChecked());
        engine.populateBufferComponents(file, qtPreventDuplicates->isChecked());
        for (const QString &records : sourceFiles) {
            if (!records.endsWith(QLatin1String("VORNAKEL.MDB"), Qt::CaseInsensitive))
                continue;
            engine.copyBufferTable(records, qtPreventDuplicates->isChecked());
            engine.copySampleTable(records, qtPreventDuplicates->isChecked());
            engine.copyExperimentTable(records, qtPreventDuplicates->isChecked());
            engine.copyAminoAcidCompositionsTable(records, qtPreventDuplicates->isChecked());
            break;
        }
        break;
    }
    return engine.unflaggedFiles();
}

void GuiVornakelImporter::UpdateStatus(const QString &message)
{
    qtStatus->setText(message);
    QCoreApplication::processEvents();
}

void GuiVornakelImporter::UpdateResults(const QString &message)
{
    qtResults->append(message);
    QCoreApplication::processEvents();
}

void GuiVornakelImporter::showWarning(const QString &title, const QString &text)
{
    QMessageBox::warning(nullptr, title, text, QMessageBox::Ok);
}
