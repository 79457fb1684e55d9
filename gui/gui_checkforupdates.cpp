#include "gui/gui_checkforupdates.h"

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "app/app_savefile.h"
#include "app/app_servers.h"
#include "net/net_httpget.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

const char *const GuiCheckForUpdates::ArchiveName = "vornakel-mac64.zip";

namespace {

const char *const moduleMarker = "modules/";

int s_requestTimeLimitMs = GuiCheckForUpdates::DefaultRequestTimeLimitMs;
int s_silenceLimitMs = GuiCheckForUpdates::DefaultSilenceLimitMs;
int s_archiveTimeLimitMs = GuiCheckForUpdates::DefaultArchiveTimeLimitMs;

// The number a version compares by: its first word as a decimal integer, 0
// when none. The word is looked for, not cut out of the whole: a version may
// hold any number of blanks.
qlonglong versionNumber(const QString &version)
{
    int from = 0;
    while (from < version.size() && version.at(from) == QLatin1Char(' '))
        ++from;
    const int to = version.indexOf(QLatin1Char(' '), from);
    return version.midRef(from, (to < 0 ? version.size() : to) - from).toLongLong(nullptr, 10);
}

// The fields of a manifest line that are compared and fetched: the name, the
// version and the rest, a module's server path; the program's server folder
// is the rest up to its next comma. They are looked for, not cut out of the
// whole line, which may hold any number of commas.
struct ManifestLine
{
    explicit ManifestLine(const QString &line)
    {
        const int first = line.indexOf(QLatin1Char(','));
        const int second = first < 0 ? -1 : line.indexOf(QLatin1Char(','), first + 1);
        name = first < 0 ? line : line.left(first);
        if (first >= 0)
            version = line.mid(first + 1, (second < 0 ? line.size() : second) - first - 1);
        if (second >= 0)
            rest = line.mid(second + 1);
        complete = second >= 0;
    }
    QString folder() const { return rest.left(rest.indexOf(QLatin1Char(','))); }

    QString name;
    QString version;
    QString rest;
    bool complete = false; // it has a server path
};

// The module's path below the modules folder, from its server path; empty
// when that would leave the folder.
QString localModulePath(const QString &serverPath)
{
    const int at = serverPath.indexOf(QLatin1String(moduleMarker));
    if (at < 0)
        return QString();
    const QString relative = serverPath.mid(at + int(qstrlen(moduleMarker)));
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.startsWith(QLatin1Char('\\')))
        return QString();
    const QString clean = QDir::cleanPath(relative);
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String("..")
        || clean.startsWith(QLatin1String("../")))
        return QString();
    return clean;
}

// The first lines, one under the other, and how many more there are.
QString listed(const QStringList &lines)
{
    QString text = QStringList(lines.mid(0, GuiCheckForUpdates::ListedLines)).join(QLatin1Char('\n'));
    if (lines.size() > GuiCheckForUpdates::ListedLines)
        text += QStringLiteral("\n... and %1 more").arg(lines.size() - GuiCheckForUpdates::ListedLines);
    return text;
}

// Whether the two paths name the same file; an empty path names none.
bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    const QString canonicalFirst = first.canonicalFilePath();
    if (!canonicalFirst.isEmpty() && canonicalFirst == second.canonicalFilePath())
        return true;
    return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
}

} // namespace

GuiCheckForUpdates::GuiCheckForUpdates(const QStringList &localVersions, const QString &modulesPath, QWidget *parent)
    : QDialog(parent), m_localVersions(localVersions), m_modulesPath(modulesPath)
{
    setupUi(this);
    initialize();
    createConnections();
    Check();
}

GuiCheckForUpdates::~GuiCheckForUpdates()
{
    // Closed while the archive is put in place: that ends first, whole or not at all.
    if (m_committing.joinable())
        m_committing.join();
    // Closed mid-run: the request ends here and reports to nobody.
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        delete m_reply;
    }
    if (m_downloadFile)
        m_downloadFile->cancelWriting();
    delete m_downloadFile;
    setBusy(false);
}

void GuiCheckForUpdates::initialize()
{
    qtBinaryVersion->clear();
    qtModuleVersion->clear();
    qtBinaryFrame->setEnabled(false);
    qtModuleFrame->setEnabled(false);
}

void GuiCheckForUpdates::createConnections()
{
    connect(qtDownloadBinary, &QPushButton::clicked, this, &GuiCheckForUpdates::DownloadBinary);
    connect(qtUpdateModules, &QPushButton::clicked, this, &GuiCheckForUpdates::UpdateModules);
}

void GuiCheckForUpdates::setBusy(bool busy)
{
    // One cursor for the whole run, however often it is asked for.
    if (busy && !m_busy)
        m_busy = std::make_unique<GuiWaitCursor>();
    else if (!busy)
        m_busy.reset();
}

NetHttpGet *GuiCheckForUpdates::get(const QString &serverPath, qint64 cap, Taken taken)
{
    // Always the configured server: a manifest names paths on it, never other hosts.
    const QString path = serverPath.startsWith(QLatin1Char('/')) ? serverPath : QLatin1Char('/') + serverPath;
    auto *reply = new NetHttpGet(QUrl(AppServers::updateServer() + path), this);
    m_reply = reply;
    reply->setMaxBodyBytes(cap);
    // Read no faster than it is taken: what the program holds of a large
    // body stays one buffer, however fast the server sends.
    if (taken == Taken::AsItArrives)
        reply->setReadBufferSize(ArchiveBufferBytes);
    // A server that never answers, or trickles, must not keep the check (and
    // the wait cursor) for ever.
    reply->setTimeLimits(taken == Taken::Whole ? s_requestTimeLimitMs : s_archiveTimeLimitMs, s_silenceLimitMs);
    return reply;
}

int GuiCheckForUpdates::requestTimeLimitMs()
{
    return s_requestTimeLimitMs;
}

int GuiCheckForUpdates::silenceLimitMs()
{
    return s_silenceLimitMs;
}

int GuiCheckForUpdates::archiveTimeLimitMs()
{
    return s_archiveTimeLimitMs;
}

void GuiCheckForUpdates::setTimeLimits(int requestMs, int silenceMs, int archiveMs)
{
    s_requestTimeLimitMs = requestMs;
    s_silenceLimitMs = silenceMs;
    s_archiveTimeLimitMs = archiveMs;
}

QString GuiCheckForUpdates::failure(NetHttpGet *reply)
{
    // Given up (its time, its size, a file that could not be written): why.
    if (reply->wasAborted())
        return reply->error();
    const int status = reply->status();
    if (status != 0 && status != 200)
        return QStringLiteral("The server answered with status %1.").arg(status);
    if (!reply->error().isEmpty())
        return reply->error();
    const QByteArray encoding = reply->header("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity")
        return QStringLiteral("The server sent its answer encoded (%1), though it was asked for it as it is.")
            .arg(QString::fromLatin1(encoding));
    return QString();
}

void GuiCheckForUpdates::cannotOpen(const QString &title, const QString &text, const AppSaveFile &file)
{
    QMessageBox::warning(
        this, title, QStringLiteral("%1\n%2\n%3").arg(text, file.fileName(), file.errorString()), QMessageBox::Ok);
}

void GuiCheckForUpdates::Check()
{
    // Until the manifest is in (or given up), the dialog says what it waits for.
    const QString checking = QStringLiteral("Checking %1 for updates...").arg(AppServers::updateServer());
    qtBinaryVersion->setText(checking);
    qtModuleVersion->setText(checking);
    NetHttpGet *reply = get(QStringLiteral("/MANIFEST"), MaxManifestBytes, Taken::Whole);
    connect(reply, &NetHttpGet::finished, this, [this, reply]() { onFinished(reply); });
}

void GuiCheckForUpdates::onFinished(NetHttpGet *reply)
{
    reply->deleteLater();
    QString why = failure(reply);
    QByteArray bytes;
    if (why.isEmpty()) {
        bytes = reply->readAll();
        const int nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        // A manifest never holds markup: this is an error page served in its place.
        if (bytes.trimmed().startsWith('<'))
            why = QStringLiteral("The server's answer is not an update manifest.");
    }
    if (!why.isEmpty()) {
        const QString text = QStringLiteral("The update check failed: %1").arg(why);
        label->setText(QStringLiteral("The check of the Vornakel web site for updated versions failed."));
        qtBinaryVersion->setText(text);
        qtModuleVersion->setText(text);
        // A disabled frame greys its text; here only the buttons have nothing to do.
        qtDownloadBinary->setEnabled(false);
        qtUpdateModules->setEnabled(false);
        qtBinaryFrame->setEnabled(true);
        qtModuleFrame->setEnabled(true);
        return;
    }
    m_manifest = QString::fromLatin1(bytes);
    ProcessManifest();
}

void GuiCheckForUpdates::ProcessManifest()
{
    m_manifestLines.clear();
    for (QString line : m_manifest.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // A manifest saved with Windows line ends: the carriage return is no part of a path.
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            m_manifestLines << line;
    }
    m_manifestLines.removeDuplicates();
    m_localVersions.removeDuplicates();
    // With several installed entries of one name, the first is compared.
    m_installedVersions.clear();
    for (const QString &entry : qAsConst(m_localVersions)) {
        const QString name = entry.section(QLatin1Char(','), 0, 0);
        if (!m_installedVersions.contains(name))
            m_installedVersions.insert(name, entry.section(QLatin1Char(','), 1, 1));
    }
    m_compared = 0;
    m_updates.clear();
    m_updateOfFile.clear();
    m_binary = QString();
    // What the dialog waits for meanwhile.
    const QString comparing = QStringLiteral("Comparing the %1 lines of the manifest with what is installed...")
                                  .arg(m_manifestLines.size());
    qtBinaryVersion->setText(comparing);
    qtModuleVersion->setText(comparing);
    compareSome();
}

void GuiCheckForUpdates::compareSome()
{
    // A slice ends after so many lines, or sooner after so many characters:
    // a line may be long.
    const int end = qMin(m_manifestLines.size(), m_compared + SliceLines);
    for (int characters = 0; m_compared < end && characters < SliceCharacters; ++m_compared) {
        const QString &line = m_manifestLines.at(m_compared);
        characters += line.size();
        const ManifestLine fields(line);
        // Without a server path there is nothing to fetch.
        if (!fields.complete)
            continue;
        const QString &name = fields.name;
        const QString &version = fields.version;
        const auto installed = m_installedVersions.constFind(name);
        if (installed == m_installedVersions.constEnd() || *installed == version
            || versionNumber(*installed) >= versionNumber(version))
            continue;
        if (name == QLatin1String("Vornakel")) {
            m_binary = line;
            continue;
        }
        // A module's file however the manifest spells its path ("./x", "a/../x")
        // is fetched and inspected once: of several newer versions, the newest.
        const QString local = localModulePath(fields.rest);
        const QString moduleFile = name + QLatin1Char('\n') + local;
        const auto offered = m_updateOfFile.constFind(moduleFile);
        if (!local.isEmpty() && offered != m_updateOfFile.constEnd()) {
            QString &earlier = m_updates[*offered];
            if (versionNumber(version) > versionNumber(ManifestLine(earlier).version))
                earlier = line;
            continue;
        }
        m_updateOfFile.insert(moduleFile, m_updates.size());
        m_updates << line;
    }
    if (m_compared < m_manifestLines.size()) {
        // The window and the message server have their turn before the next slice.
        QTimer::singleShot(0, this, &GuiCheckForUpdates::compareSome);
        return;
    }
    m_manifestLines.clear();
    m_updateOfFile.clear();
    showOffers();
}

void GuiCheckForUpdates::showOffers()
{
    if (m_binary.isNull()) {
        qtBinaryVersion->setText(QStringLiteral("No update available"));
    } else {
        qtBinaryVersion->setText(QStringLiteral("Download ") + ManifestLine(m_binary).version);
        qtBinaryFrame->setEnabled(true);
    }
    QStringList offers;
    for (const QString &line : qAsConst(m_updates)) {
        const ManifestLine fields(line);
        offers << QStringLiteral("Update %1 to %2").arg(fields.name, fields.version);
    }
    qtModuleVersion->setText(offers.isEmpty() ? QStringLiteral("No update available") : listed(offers));
    qtModuleFrame->setEnabled(!offers.isEmpty());
    label->setText(QStringLiteral("The Vornakel web site was checked for updated versions."));
}

void GuiCheckForUpdates::DownloadBinary()
{
    if (m_binary.isNull() || m_busy)
        return;
    const QString serverPath = ManifestLine(m_binary).folder() + QLatin1String(ArchiveName);
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Open Download Directory"), QString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    const QString target = folder + QLatin1Char('/') + QLatin1String(ArchiveName);
    // Written beside the target and put in its place only when complete.
    m_downloadFile = new AppSaveFile(target);
    if (!m_downloadFile->open()) {
        const std::unique_ptr<AppSaveFile> file(m_downloadFile);
        m_downloadFile = nullptr;
        cannotOpen(QStringLiteral("Application Update"), QStringLiteral("Unable to open file for download:"), *file);
        return;
    }
    setBusy(true);
    NetHttpGet *reply = get(serverPath, MaxArchiveBytes, Taken::AsItArrives);
    connect(reply, &NetHttpGet::readyRead, this, [this, reply]() {
        // A file that cannot be written (a full disk) ends the download: the rest would go nowhere.
        if (m_downloadFile && !m_downloadFile->write(reply->readAll()))
            reply->abort(m_downloadFile->errorString());
    });
    connect(reply, &NetHttpGet::finished, this, [this, reply]() { onDownloadFinished(reply); });
}

void GuiCheckForUpdates::onDownloadFinished(NetHttpGet *reply)
{
    reply->deleteLater();
    std::unique_ptr<AppSaveFile> file(m_downloadFile);
    m_downloadFile = nullptr;
    const QString target = file->fileName();
    QString why = failure(reply);
    if (why.isEmpty() && !file->write(reply->readAll()))
        why = file->errorString();
    if (!why.isEmpty()) {
        file->cancelWriting();
        downloadEnded(target, why);
        return;
    }
    // The file is used by this thread only, and the dialog waits for it before it goes.
    m_committing = std::thread([this, written = file.release()]() {
        const std::unique_ptr<AppSaveFile> saved(written);
        const QString why = saved->commit() ? QString() : saved->errorString();
        const QString target = saved->fileName();
        QMetaObject::invokeMethod(
            this, [this, target, why]() { downloadEnded(target, why); }, Qt::QueuedConnection);
    });
}

void GuiCheckForUpdates::downloadEnded(const QString &target, const QString &why)
{
    if (m_committing.joinable())
        m_committing.join();
    setBusy(false);
    if (!why.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Application Update"),
            QStringLiteral("The download of the latest Vornakel distribution failed; nothing was put in place of:\n"
                           "%1\n%2")
                .arg(target, why),
            QMessageBox::Ok);
        return;
    }
    QMessageBox::information(this, QStringLiteral("Download Completed"),
        QStringLiteral("The latest Vornakel distribution has been\ndownloaded to your computer."), QMessageBox::Ok);
    qtBinaryFrame->setEnabled(false);
}

void GuiCheckForUpdates::UpdateModules()
{
    if (m_busy)
        return;
    m_updateIndex = 0;
    m_failedModules.clear();
    if (m_updates.isEmpty())
        return;
    setBusy(true);
    fetchNextModule();
}

GuiCheckForUpdates::ModuleFile GuiCheckForUpdates::installedFile(const QString &name, const QString &target) const
{
    // Each entry: name, version, HTML page, script file (the rest of the line).
    for (const QString &entry : m_localVersions) {
        if (entry.section(QLatin1Char(','), 0, 0) != name)
            continue;
        if (sameFile(target, entry.section(QLatin1Char(','), 3)))
            return ModuleFile::Script;
        if (sameFile(target, entry.section(QLatin1Char(','), 2, 2)))
            return ModuleFile::Page;
    }
    return ModuleFile::None;
}

void GuiCheckForUpdates::moduleFailed(const QString &line, const QString &why)
{
    m_failedModules << QStringLiteral("%1: %2").arg(ManifestLine(line).name, why);
}

void GuiCheckForUpdates::fetchNextModule()
{
    for (int passed = 0; m_updateIndex < m_updates.size(); ++passed) {
        if (passed == SliceLines) {
            // Many entries passed over: the window has its turn before the next ones.
            QTimer::singleShot(0, this, &GuiCheckForUpdates::fetchNextModule);
            return;
        }
        const QString line = m_updates.at(m_updateIndex++);
        const ManifestLine fields(line);
        const QString &serverPath = fields.rest;
        const QString local = localModulePath(serverPath);
        if (local.isEmpty()) {
            moduleFailed(line, QStringLiteral("its path %1 does not stay inside the modules folder.").arg(serverPath));
            continue;
        }
        const QString target = m_modulesPath + QLatin1Char('/') + local;
        // An entry names a module; it may replace that module's files and no other.
        const ModuleFile kind = installedFile(fields.name, target);
        if (kind == ModuleFile::None) {
            moduleFailed(line,
                QStringLiteral("%1 is not a file of the installed module of that name.")
                    .arg(QDir::toNativeSeparators(target)));
            continue;
        }
        NetHttpGet *reply = get(serverPath, MaxModuleBytes, Taken::Whole);
        connect(reply, &NetHttpGet::finished, this,
            [this, reply, line, target, kind]() { onUpdateFinished(reply, line, target, kind); });
        return;
    }
    finishModules();
}

QString GuiCheckForUpdates::refusal(NetHttpGet *reply, const QByteArray &body, ModuleFile kind)
{
    if (body.isEmpty())
        return QStringLiteral("the server sent nothing.");
    if (kind != ModuleFile::Script)
        return QString();
    // An error page served with status 200 in place of the script.
    const QString type = QString::fromLatin1(reply->header("Content-Type"));
    if (type.startsWith(QLatin1String("text/html"), Qt::CaseInsensitive) || body.trimmed().startsWith('<'))
        return QStringLiteral("the server sent an HTML page, not a module.");
    return QString();
}

void GuiCheckForUpdates::onUpdateFinished(
    NetHttpGet *reply, const QString &line, const QString &target, ModuleFile kind)
{
    reply->deleteLater();
    QString why = failure(reply);
    if (!why.isEmpty()) {
        moduleFailed(line, QStringLiteral("unable to download %1: %2").arg(QDir::toNativeSeparators(target), why));
        fetchNextModule();
        return;
    }
    const QByteArray body = reply->readAll();
    why = refusal(reply, body, kind);
    if (!why.isEmpty() || kind != ModuleFile::Script) {
        install(line, target, body, why);
        return;
    }
    // Inspected while the dialog works on: it can be closed meanwhile, which ends the inspection.
    AppQtScriptPlugin::inspect(body, reply->url().path(), this,
        [this, line, target, body](const QString &name, const QString &version, const QString &problem) {
            const ManifestLine wanted(line);
            const QString &wantedName = wanted.name;
            const QString &wantedVersion = wanted.version;
            QString why;
            if (!problem.isEmpty())
                why = QStringLiteral("it is not a module script: %1").arg(problem);
            else if (name != wantedName || version != wantedVersion)
                why = QStringLiteral("it is the module %1 version %2, not %3 version %4.")
                          .arg(name, version, wantedName, wantedVersion);
            install(line, target, body, why);
        });
}

void GuiCheckForUpdates::install(const QString &line, const QString &target, const QByteArray &body, const QString &why)
{
    if (!why.isEmpty()) {
        moduleFailed(line,
            QStringLiteral("the download for %1 was not installed: %2").arg(QDir::toNativeSeparators(target), why));
        fetchNextModule();
        return;
    }
    AppSaveFile file(target);
    if (!file.open()) {
        setBusy(false);
        cannotOpen(QStringLiteral("Module Update"), QStringLiteral("Unable to open module for update:"), file);
        return;
    }
    if (!file.write(body) || !file.commit()) {
        moduleFailed(
            line, QStringLiteral("unable to write %1: %2.").arg(QDir::toNativeSeparators(target), file.errorString()));
        QMessageBox::critical(this, QStringLiteral("Module Update"),
            QStringLiteral("Unable to update module:\n%1\n%2").arg(target, file.failure()), QMessageBox::Ok);
    }
    fetchNextModule();
}

void GuiCheckForUpdates::finishModules()
{
    qtModuleFrame->setEnabled(false);
    setBusy(false);
    if (m_failedModules.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Update Completed"),
            QStringLiteral("Vornakel modules have been updated.\nPlease restart Vornakel to reload."), QMessageBox::Ok);
        return;
    }
    // One summary for the run: what was not updated and why; those files are as they were.
    QString text = QStringLiteral("%1 of %2 modules could not be updated; their installed files are unchanged.\n\n%3")
                       .arg(m_failedModules.size())
                       .arg(m_updates.size())
                       .arg(listed(m_failedModules));
    if (m_failedModules.size() < m_updates.size())
        text += QStringLiteral("\n\nThe other modules have been updated.\nPlease restart Vornakel to reload.");
    QMessageBox::warning(this, QStringLiteral("Module Update"), text, QMessageBox::Ok);
}
