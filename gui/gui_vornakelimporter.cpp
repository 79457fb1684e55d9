#include "gui/gui_vornakelimporter.h"

#include "app/app_accessreadercontract.h"
#include "app/app_regularfile.h"
#include "gui/gui_complaints.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_importdb.h"
#include "sql/sql_importrun.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
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
    : QDialog(parent), m_databasePath(databasePath), m_checker(new SqlAccessReader(this))
{
    setupUi(this);
    connect(m_checker, &SqlAccessReader::ended, this, &GuiVornakelImporter::checkEnded);
    qtProgress->setVisible(false);
    Initialize();
    CreateConnections();
}

// A run still under way goes with the dialog; its reader is stopped.
GuiVornakelImporter::~GuiVornakelImporter() = default;

bool GuiVornakelImporter::isWorking() const
{
    return m_run || !m_checking.isEmpty();
}

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
    connect(qtStop, &QPushButton::clicked, this, &GuiVornakelImporter::stop);
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
    }
    if (!refusal.isEmpty()) {
        refuseFolder(refusal);
        return;
    }
    // In the order the import walks them: the defaults before the reference
    // file, after which the walk ends.
    m_found.clear();
    if (!ini.isEmpty())
        m_found << ini;
    m_found << references << records;
    // The reader opens each Access file and reads its catalog, which refuses
    // at once what is no Access database or is damaged where every table
    // starts; the dialog goes on meanwhile.
    m_checking = accessFiles;
    m_checkStopped = false;
    if (!m_checking.isEmpty())
        setWorking(true);
    checkNext();
}

void GuiVornakelImporter::checkNext()
{
    if (m_checking.isEmpty()) {
        takeFolder();
        return;
    }
    qtStatus->setText(QStringLiteral("Checking %1...").arg(QDir::toNativeSeparators(m_checking.first())));
    m_checker->startCheck(m_checking.first());
}

void GuiVornakelImporter::checkEnded()
{
    if (m_checking.isEmpty())
        return;
    const QString file = m_checking.takeFirst();
    const SqlAccessReader::Result check = m_checker->result();
    QString refusal;
    switch (check.outcome) {
    case SqlAccessReader::Outcome::Read:
        checkNext();
        return;
    case SqlAccessReader::Outcome::DriverMissing:
        refusal = QStringLiteral("The older database files are read through the ODBC driver \"%1\", which is not "
                                 "installed. Install the package %2 and choose the folder again.")
                      .arg(SqlAccessReader::driverName(), SqlAccessReader::driverPackage());
        break;
    case SqlAccessReader::Outcome::NotStarted:
    case SqlAccessReader::Outcome::Failed:
    case SqlAccessReader::Outcome::Stopped:
        refusal = QStringLiteral("%1 Choose the folder of the older Vornakel that holds PHYCONST.MDB and VORNAKEL.MDB "
                                 "as Access database files.")
                      .arg(SqlAccessReader::unreadable(file, check));
        break;
    }
    m_checking.clear();
    if (m_checkStopped) {
        // Stopped by the person, who needs no box to learn it.
        setWorking(false);
        qtStatus->clear();
        qtSourceFolder->setText(QStringLiteral("The check of the folder was stopped. Please select source folder."));
        emit sigFolderChecked();
        return;
    }
    refuseFolder(refusal);
}

void GuiVornakelImporter::refuseFolder(const QString &refusal)
{
    setWorking(false);
    if (qtStatus->text().startsWith(QLatin1String("Checking ")))
        qtStatus->clear();
    qtSourceFolder->setText(refusal);
    QMessageBox::critical(this, QStringLiteral("Vornakel"), refusal, QMessageBox::Ok);
    emit sigFolderChecked();
}

void GuiVornakelImporter::takeFolder()
{
    setWorking(false);
    m_sourceFiles = m_found;
    m_sourceSet = true;
    QStringList shown;
    for (const QString &file : qAsConst(m_sourceFiles))
        shown << QDir::toNativeSeparators(file);
    qtSourceFolder->setText(shown.join(QLatin1Char('\n')));
    if (qtStatus->text() == QLatin1String(unableToImport) || qtStatus->text().startsWith(QLatin1String("Checking ")))
        qtStatus->clear();
    emit sigFolderChecked();
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
    startImport(m_sourceFiles);
}

void GuiVornakelImporter::startImport(const QStringList &sourceFiles)
{
    if (isWorking())
        return;
    m_warnings.clear();
    m_imported = true;
    m_run = std::make_unique<SqlImportRun>(m_databasePath, sourceFiles, qtPreventDuplicates->isChecked());
    SqlImportDb *engine = &m_run->engine();
    connect(engine, &SqlImportDb::sigStatus, this, &GuiVornakelImporter::UpdateStatus);
    connect(engine, &SqlImportDb::sigResults, this, &GuiVornakelImporter::UpdateResults);
    // Gathered, and shown in one box at the end.
    connect(engine, &SqlImportDb::sigWarning, this, &GuiVornakelImporter::showWarning);
    connect(m_run.get(), &SqlImportRun::sigProgress, this, [this](int done, int total) {
        qtProgress->setRange(0, qMax(1, total));
        qtProgress->setValue(done);
    });
    connect(m_run.get(), &SqlImportRun::sigFinished, this, &GuiVornakelImporter::importEnded);
    setWorking(true);
    qtStatus->setText(QStringLiteral("Importing..."));
    // The older defaults are not read.
    for (int i = 0; i < m_run->defaultsFiles().size(); ++i)
        QMessageBox::critical(nullptr, QStringLiteral("Debug-Vornakel"),
            QStringLiteral("Note: Importing default values not yet implemented"), QMessageBox::Ok);
    m_run->start();
}

void GuiVornakelImporter::importEnded()
{
    // Sent by the run, which goes once its signal has returned.
    std::unique_ptr<SqlImportRun> run = std::move(m_run);
    run->disconnect(this);
    SqlImportDb &engine = run->engine();
    const QString log = QDir::toNativeSeparators(engine.logPath());
    const QString logFailure = engine.logFailure();
    UpdateResults(logFailure.isEmpty()
            ? QStringLiteral("The log of this import is %1").arg(log)
            : QStringLiteral("The log of this import could not be written to %1: %2").arg(log, logFailure));
    qtStatus->setText(summary(*run));
    // A run that did not start may be started again, once the other has ended.
    m_imported = !run->wasRefused();
    run.release()->deleteLater();
    setWorking(false);
    qtPreventDuplicates->setChecked(true);
    if (!m_warnings.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Vornakel"), GuiComplaints::text(m_warnings), QMessageBox::Ok);
    emit sigDatabaseImportFinished();
}

void GuiVornakelImporter::stop()
{
    if (m_run) {
        m_run->stop();
    } else if (!m_checking.isEmpty()) {
        m_checkStopped = true;
        m_checker->stop();
    }
}

void GuiVornakelImporter::setWorking(bool working)
{
    qtSourceButton->setEnabled(!working);
    qtPreventDuplicates->setEnabled(!working);
    // One dialog runs one import: Import! stays off after it.
    qtImport->setEnabled(!working && !m_imported);
    buttonBox->button(QDialogButtonBox::Close)->setEnabled(!working);
    qtStop->setEnabled(working);
    if (working) {
        qtProgress->setVisible(true);
        // A check has no steps to count: the bar says that work goes on.
        if (!m_run)
            qtProgress->setRange(0, 0);
    } else if (!m_imported) {
        qtProgress->setVisible(false);
    }
}

QString GuiVornakelImporter::summary(SqlImportRun &run)
{
    SqlImportDb &engine = run.engine();
    QStringList sentences;
    if (!engine.refusal().isEmpty()) {
        // The refusal names the file on its first line; the dialog shows the file already.
        sentences << engine.refusal().section(QLatin1Char('\n'), 1).simplified()
                  << QStringLiteral("Nothing was imported.");
        return sentences.join(QLatin1Char(' '));
    }
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
    if (!engine.leftBehind().isEmpty())
        sentences << QStringLiteral("What was stored of %1 before it failed could not be taken back: it stays in the "
                                    "database file until the next import into it takes it back.")
                         .arg(engine.leftBehind().join(QStringLiteral(", ")));
    const QStringList unflagged = engine.unflaggedFiles();
    if (!unflagged.isEmpty())
        sentences << QStringLiteral("The copied rows of %1 could not be flagged as imported: a second import of the "
                                    "same files would copy them again.")
                         .arg(unflagged.join(QStringLiteral(", ")));
    // The form tells the person to wait for this word; a run stopped is not done.
    if (engine.destinationLocked()) {
        const QStringList absent = run.notImported();
        sentences << (absent.isEmpty()
                ? QStringLiteral("The database file is in use by another program, which holds it locked: the import "
                                 "ended there, and what it had not reached was not imported.")
                : QStringLiteral("The database file is in use by another program, which holds it locked: the import "
                                 "ended at %1. Not imported: %2.")
                      .arg(absent.first(), absent.join(QStringLiteral(", "))))
                  << QStringLiteral("Import again once that program is done with the file, or closed.");
    } else {
        sentences << (run.wasStopped()
                ? QStringLiteral("Stopped before its end: what was not reached was not imported.")
                : QStringLiteral("Done."));
    }
    return sentences.join(QLatin1Char(' '));
}

// Shown when the step that says it is over: a step runs whole, with no
// events between its statements, so that nothing else runs inside its
// transaction. The window is painted between steps.
void GuiVornakelImporter::UpdateStatus(const QString &message)
{
    qtStatus->setText(message);
}

void GuiVornakelImporter::UpdateResults(const QString &message)
{
    qtResults->append(message);
}

void GuiVornakelImporter::reject()
{
    // A close request of the window system leaves the dialog until its check
    // or run has ended (Stop ends it sooner).
    if (!isWorking())
        QDialog::reject();
}

void GuiVornakelImporter::showWarning(const QString &, const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    m_warnings << lines;
}
