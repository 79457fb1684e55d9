#include "gui/gui_vornakelimporter.h"

#include "gui/gui_waitcursor.h"
#include "sql/sql_importdb.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace {

const char *const sourceKey = "import/source";
const char *const noFolder = "xxxxx";

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

void GuiVornakelImporter::CheckFolder(const QString &)
{
    // The older files are Microsoft Access files, which only Microsoft Windows reads.
    m_sourceFiles.clear();
    QMessageBox::critical(this, QStringLiteral("Vornakel"),
        QStringLiteral("Database Importing is currently supported only for Microsoft Windows platforms!"),
        QMessageBox::Ok);
    m_sourceSet = false;
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

        importFiles(m_sourceFiles);

        qtStatus->setText(QStringLiteral("Done."));
        qtPreventDuplicates->setChecked(true);
        emit sigDatabaseImportFinished();
        // One dialog runs one import: Import! stays off.
        close->setEnabled(true);
    }
}

void GuiVornakelImporter::importFiles(const QStringList &sourceFiles)
{
    SqlImportDb engine(m_databasePath, this);
    connect(&engine, &SqlImportDb::sigStatus, this, &GuiVornakelImporter::UpdateStatus, Qt::DirectConnection);
    connect(&engine, &SqlImportDb::sigResults, this, &GuiVornakelImporter::UpdateResults, Qt::DirectConnection);
    for (const QString &file : sourceFiles) {
        if (file.endsWith(QLatin1String("VORNAKEL.INI"), Qt::CaseInsensitive)) {
            engine.importDefaults(file);
            continue;
        }
        if (!file.endsWith(QLatin1String("PHYCONST.MDB"), Qt::CaseInsensitive))
            continue;
        engine.copyFromAccess(file, SqlImportDb::referenceTables(), qtPreventDuplicates->isChecked());
        engine.populateBufferComponents(file, qtPreventDuplicates->isChecked());
        for (const QString &records : sourceFiles) {
            if (!records.endsWith(QLatin1String("VORNAKEL.MDB")))
                continue;
            engine.copyBufferTable(records, qtPreventDuplicates->isChecked());
            engine.copySampleTable(records, qtPreventDuplicates->isChecked());
            engine.copyExperimentTable(records, qtPreventDuplicates->isChecked());
            engine.copyAminoAcidCompositionsTable(records, qtPreventDuplicates->isChecked());
            break;
        }
        break;
    }
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
