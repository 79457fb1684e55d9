// Main window commands: further database windows, the defaults, the import of
// older database files, the about box, the help pages, add-on modules and
// their windows, and the update check.
#include "gui/gui_vornakel.h"

#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_regularfile.h"
#include "app/app_servers.h"
#include "app/app_version.h"
#include "gui/gui_about.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_changedefaults.h"
#include "gui/gui_checkforupdates.h"
#include "gui/gui_module.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakelimporter.h"
#include "gui/gui_vornakelmodules.h"
#include "gui/gui_webmodule.h"
#include "xml/xml_messageprocessor.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSqlDatabase>
#include <QUrl>
#include <QWebView>

#include <sys/stat.h>

namespace {

// How far a window opened from the menu is set off from the one that opened it.
constexpr int newWindowOffset = 30;

// The same file however its path is written (".." steps, links).
QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : resolved;
}

// One file, however its path is written: also under two names (a hard link),
// which no path comparison tells. A file open in two windows would have one of
// them show records and reference data the other changed behind it.
bool sameFile(const QString &a, const QString &b)
{
    if (canonical(a) == canonical(b))
        return true;
    struct stat first, second;
    return ::stat(QFile::encodeName(a).constData(), &first) == 0
        && ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

// Whether a connection of this process is open on the file: each window's
// connection is named by its database path.
bool isOpenDatabase(const QString &path)
{
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        if (sameFile(name, path) && QSqlDatabase::database(name, false).isOpen())
            return true;
    }
    return false;
}

} // namespace

void GuiVornakel::onShowExperimentalDatabases()
{
    const QString startFolder
        = QSettings().value(QLatin1String(AppKeys::lastDatabaseFolder), QDir::currentPath()).toString();
    const QString fileName = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Database"), startFolder, QStringLiteral("Sqlite Database (*.db)"));
    if (fileName.isEmpty())
        return;
    // Chosen, but not there under the name as read (one not in the system's
    // encoding, or removed meanwhile): said, and nothing else is opened or made.
    const QString refused = AppRegularFile::refusal(fileName);
    if (!refused.isEmpty() || !QFileInfo::exists(fileName)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            refused.isEmpty() ? QStringLiteral("%1 does not exist (any more); nothing was opened.").arg(fileName)
                              : refused,
            QMessageBox::Ok);
        return;
    }

    if (isOpenDatabase(fileName)) {
        QMessageBox box;
        box.setText(QStringLiteral("Database '%1' is already open").arg(fileName));
        box.exec();
        for (GuiVornakel *window : qAsConst(m_vornakelList)) {
            if (window && sameFile(window->activeDbLocation(), fileName) && window != QApplication::activeWindow()) {
                window->setVisible(true);
                window->alignLabels();
                window->raise();
            }
        }
        return;
    }

    auto *window = new GuiVornakel(fileName, nullptr);
    if (!window->initVornakel()) {
        // The person has been told why. Only this window goes: the program runs
        // on, and without its connection a second try starts afresh.
        delete window;
        {
            QSqlDatabase db = QSqlDatabase::database(fileName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(fileName);
        return;
    }
    m_vornakelList.append(window);
    // Every window restores the one stored place; set off from its opener, the
    // new window does not hide the one it came from. Back to the corner when
    // its title bar would leave the screen.
    QPoint at = pos() + QPoint(newWindowOffset, newWindowOffset);
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (!area.adjusted(0, 0, -4 * newWindowOffset, -4 * newWindowOffset).contains(at))
            at = area.topLeft();
    }
    window->move(at);
    window->setVisible(true);
    // Unit labels and pressed method buttons are placed for a window that is
    // laid out and visible; the first window does this when its splash ends.
    window->alignLabels();
    const QList<GuiVornakel *> list = m_vornakelList;
    for (GuiVornakel *each : list)
        each->syncVornakelList(list);
    window->raise();
}

void GuiVornakel::onChangeDefaults()
{
    m_changeDefaults->exec();
}

void GuiVornakel::onImport()
{
    GuiVornakelImporter importer(m_databasePath, this);
    // The window's record lists and both pages' reference lists follow an import.
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, this, &GuiVornakel::onDatabaseImporterRun);
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, qtStackBufferComponents,
        &GuiBufferComponents::onDatabaseImporterRun);
    connect(&importer, &GuiVornakelImporter::sigDatabaseImportFinished, qtStackComposition,
        &GuiSampleComposition::onDatabaseImporterRun);
    importer.exec();
}

void GuiVornakel::onShowAboutVornakel()
{
    GuiAbout about(this);
    about.exec();
}

// Without a browser (or with none the desktop knows of) nothing would happen
// at all; the person is told, with the address to open elsewhere.
static void openHelpPage(QWidget *parent, const QString &path)
{
    const QUrl page(AppServers::helpServer() + path);
    if (QDesktopServices::openUrl(page))
        return;
    QMessageBox::warning(parent, QStringLiteral("Vornakel"),
        QStringLiteral("The help page could not be opened in a web browser.\n\nIts address is:\n%1")
            .arg(page.toString()),
        QMessageBox::Ok);
}

void GuiVornakel::onHelpContentClicked()
{
    openHelpPage(this, QStringLiteral("/index.php/Main_Page"));
}

void GuiVornakel::onHelpContentSearchClicked()
{
    openHelpPage(this, QStringLiteral("/index.php/Special:Search?search=&fulltext=Search"));
}

void GuiVornakel::onShowAdditionalModules()
{
    GuiVornakelModules dialog(m_moduleManager->availableModules(), m_moduleManager->modulesSearchPath(), this);
    connect(dialog.qtModules, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList selected = dialog.selectedModules();
    if (selected.isEmpty())
        return;
    const QStringList fields = selected.first().split(QLatin1Char(','));
    const QString nameAndVersion = fields.value(0) + QLatin1Char(',') + fields.value(1);
    if (!loadAdditionalModule(nameAndVersion)) {
        emit sigLog(QStringLiteral("Failed to load module: ") + nameAndVersion, AppLog::Warning);
        return;
    }
    emit sigLog(QStringLiteral("Loaded Module: ") + nameAndVersion, AppLog::Trace);
    const QString page = fields.value(2);
    const QString script = fields.value(3);
    if (page.endsWith(QLatin1String(".html")) && QFileInfo(page).isFile() && script.endsWith(QLatin1String(".js"))
        && QFileInfo(script).isFile())
        emit sigModulePath(page, script);
}

bool GuiVornakel::loadAdditionalModule(QString nameAndVersion)
{
    AppPlugin *module = m_moduleManager->findPlugin(nameAndVersion);
    if (!module)
        return false;
    // The module object goes with its window; a form that builds no window leaves nothing behind.
    auto *window = new GuiModule(module, nullptr);
    if (!window->window())
        delete window;
    else
        keepWithWindow(window->window());
    return true;
}

void GuiVornakel::onShowModuleWindow(QString moduleUIPath, QString moduleScriptPath)
{
    // Released with its window.
    auto *module = new GuiWebModule(m_moduleManager, m_databasePath, moduleUIPath, moduleScriptPath, nullptr);
    keepWithWindow(module->view());
}

void GuiVornakel::onCheckForUpdates()
{
    const QStringList modules = m_moduleManager->availableModules();
    QStringList installed = modules;
    installed << QStringLiteral("Vornakel,") + APPVERSION;
    qCDebug(lcGui) << "AvailableModules" << modules;
    qCDebug(lcGui) << "StringList" << installed;
    qCDebug(lcGui) << "APPVERSION" << APPVERSION;
    qCDebug(lcGui).noquote() << "modulesPath()   : " + modulesPath();
    GuiCheckForUpdates dialog(installed, modulesPath(), this);
    dialog.exec();
}
