#include "gui/gui_vornakelimporter.h"

#include "app/app_accessreadercontract.h"
#include "app/app_regularfile.h"
#include "gui/gui_complaints.h"
#include "gui/gui_waitcursor.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>

namespace {

const char *const sourceKey = "import/source";
const char *const noFolder = "xxxxx";
const char *const unableToImport = "Unable to import until source and destination folders are set.";

const char *const chooseAgain = "Choose the folder of the older Vornakel that holds PHYCONST.MDB and VORNAKEL.MDB.";

// The entry of the folder with this name in any letter case (names here are
// case-sensitive; the older program's were not), a regular file before any
// other kind (which is refused with what it is), or an empty text.
QString findFile(const QDir &folder, const QString &name)
{
    const QStringList entries
        = folder.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QString found;
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString path = folder.absoluteFilePath(entry);
        if (AppRegularFile::isRegular(path))
            return path;
        if (found.isEmpty())
            found = path;
    }
    return found;
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
    // The older defaults are not imported: the box stays off, and says so.
    qtImportDefaults->setEnabled(false);
    qtImportDefaults->setToolTip(QStringLiteral("The default values of VORNAKEL.INI are not imported."));
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
    // Named so, but no file to read (a named pipe would wait for ever): said as what it is.
    QString notAFile;
    for (const QString &file : { references, records })
        if (!file.isEmpty() && notAFile.isEmpty())
            notAFile = AppRegularFile::readRefusal(file);

    // SQLite copies of the older tables need no reader.
    QStringList accessFiles;
    if (notAFile.isEmpty())
        for (const QString &file : { references, records })
            if (!file.isEmpty() && !SqlImportDb::isSqliteFile(file))
                accessFiles << file;
    const QString badPath
        = accessFiles.isEmpty() ? QString() : AppAccessReaderContract::pathRefusal(accessFiles.first());
    QString refusal;
    if (!notAFile.isEmpty()) {
        refusal = QStringLiteral("%1 %2").arg(notAFile, QLatin1String(chooseAgain));
    } else if (!missing.isEmpty()) {
        refusal = QStringLiteral("The folder %1 lacks %2. %3")
                      .arg(QDir::toNativeSeparators(dir.absolutePath()), missing.join(QStringLiteral(" and ")),
                          QLatin1String(chooseAgain));
    } else if (!badPath.isEmpty()) {
        // Not the reader's "may be damaged": the file is not to blame, its folder's name is.
        refusal = QStringLiteral("%1 could not be read: %2. Move PHYCONST.MDB and VORNAKEL.MDB to another folder.")
                      .arg(QDir::toNativeSeparators(accessFiles.first()), badPath);
    } else {
        refusal = checkAccessFiles(accessFiles);
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
    if (qtStatus->text() == QLatin1String(unableToImport))
        qtStatus->clear();
}

QString GuiVornakelImporter::checkAccessFiles(const QStringList &files)
{
    // The reader opens each file and reads its catalog, which refuses at once
    // what is no Access database or is damaged where every table starts.
    const GuiWaitCursor wait;
    for (const QString &file : files) {
        const SqlAccessReader::Result check = SqlAccessReader::check(file);
        switch (check.outcome) {
        case SqlAccessReader::Outcome::Read:
            continue;
        case SqlAccessReader::Outcome::DriverMissing:
            return QStringLiteral("The older database files are read through the ODBC driver \"%1\", which is not "
                                  "installed. Install the package %2 and choose the folder again.")
                .arg(SqlAccessReader::driverName(), SqlAccessReader::driverPackage());
        case SqlAccessReader::Outcome::NotStarted:
        case SqlAccessReader::Outcome::Failed:
        case SqlAccessReader::Outcome::Stopped:
            break;
        }
        return QStringLiteral("%1 Choose the folder of the older Vornakel that holds PHYCONST.MDB and VORNAKEL.MDB "
                              "as Access database files.")
            .arg(SqlAccessReader::unreadable(file, check));
    }
    return QString();
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
        qtStatus->setText(QLatin1String(unableToImport));
        return;
    }
    {
        const GuiWaitCursor wait;
        QPushButton *close = buttonBox->button(QDialogButtonBox::Close);
        close->setEnabled(false);
        qtStatus->setText(QStringLiteral("Importing..."));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        qtImport->setEnabled(false);

        importFiles(m_sourceFiles);

        qtPreventDuplicates->setChecked(true);
        emit sigDatabaseImportFinished();
        // One dialog runs one import: Import! stays off.
        close->setEnabled(true);
    }
}

QStringList GuiVornakelImporter::importFiles(const QStringList &sourceFiles)
{
    m_warnings.clear();
    m_importing = true;
    const auto ended = qScopeGuard([this] { m_importing = false; });
    SqlImportDb engine(m_databasePath, this);
    connect(&engine, &SqlImportDb::sigStatus, this, &GuiVornakelImporter::UpdateStatus, Qt::DirectConnection);
    connect(&engine, &SqlImportDb::sigResults, this, &GuiVornakelImporter::UpdateResults, Qt::DirectConnection);
    // Gathered, and shown in one box at the end.
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

    const QString log = QDir::toNativeSeparators(engine.logPath());
    UpdateResults(engine.logOpen() ? QStringLiteral("The log of this import is %1").arg(log)
                                   : QStringLiteral("No log of this import could be written to %1").arg(log));
    qtStatus->setText(summary(engine));
    if (!m_warnings.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Vornakel"), GuiComplaints::text(m_warnings), QMessageBox::Ok);
    return engine.unflaggedFiles();
}

QString GuiVornakelImporter::summary(const SqlImportDb &engine)
{
    QStringList sentences;
    QStringList tables;
    const auto imported = engine.importedRecords();
    for (const auto &table : imported)
        if (table.second > 0)
            tables << QStringLiteral("%1 %2").arg(table.first).arg(table.second);
    sentences << (tables.isEmpty() ? QStringLiteral("From these files nothing was imported.")
                                   : QStringLiteral("Records imported: %1.").arg(tables.join(QStringLiteral(", "))));
    auto counted = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QStringList unread;
    if (!engine.unreadableFiles().isEmpty())
        unread << counted(engine.unreadableFiles().size(), "file", "files");
    if (engine.unreadTables() > 0)
        unread << counted(engine.unreadTables(), "table", "tables");
    if (!unread.isEmpty())
        sentences << QStringLiteral("%1 could not be read.").arg(unread.join(QStringLiteral(" and ")));
    if (engine.unwrittenTables() > 0)
        sentences
            << QStringLiteral("%1 could not be written.").arg(counted(engine.unwrittenTables(), "table", "tables"));
    const QStringList unflagged = engine.unflaggedFiles();
    if (!unflagged.isEmpty())
        sentences << QStringLiteral("The copied rows of %1 could not be flagged as imported: a second import of the "
                                    "same files would copy them again.")
                         .arg(unflagged.join(QStringLiteral(", ")));
    // The form tells the person to wait for this word.
    sentences << QStringLiteral("Done.");
    return sentences.join(QLatin1Char(' '));
}

void GuiVornakelImporter::UpdateStatus(const QString &message)
{
    qtStatus->setText(message);
    // Repainted, but no key or click reaches the dialog mid-run.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void GuiVornakelImporter::UpdateResults(const QString &message)
{
    qtResults->append(message);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void GuiVornakelImporter::reject()
{
    // A close request of the window system is no input that waits: the
    // dialog stays until its run has ended.
    if (!m_importing)
        QDialog::reject();
}

void GuiVornakelImporter::showWarning(const QString &, const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    m_warnings << lines;
}
