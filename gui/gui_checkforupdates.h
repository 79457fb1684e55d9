#ifndef GUI_CHECKFORUPDATES_H
#define GUI_CHECKFORUPDATES_H

#include "gui_waitcursor.h"
#include "ui_gui_checkforupdates.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <thread>

class AppSaveFile;
class NetHttpGet;

// Compares the installed program and modules with the update server's
// manifest and fetches what is newer: the program archive into a folder the
// user picks, modules into the modules folder. A file is replaced only by a
// complete download, and a module's file only by that module. However long
// the manifest, it is worked through a slice at a time between the window's
// other work, and what the dialog and its boxes list is a few lines and how
// many more.
class GuiCheckForUpdates : public QDialog, public Ui::QtCheckForUpdates
{
    Q_OBJECT

public:
    // localVersions: "name,version,..." per installed item.
    GuiCheckForUpdates(const QStringList &localVersions, const QString &modulesPath, QWidget *parent = nullptr);
    ~GuiCheckForUpdates() override;

    // The archive's file name, appended to the program line's server folder.
    static const char *const ArchiveName;
    // What a manifest or a module may weigh; both are held in memory whole.
    static const qint64 MaxManifestBytes = 1024 * 1024;
    static const qint64 MaxModuleBytes = 16 * 1024 * 1024;
    // What the program archive may weigh. It goes to the disk as it arrives:
    // the program holds at most ArchiveBufferBytes of it at a time.
    static const qint64 MaxArchiveBytes = 1024LL * 1024 * 1024;
    static const qint64 ArchiveBufferBytes = 1024 * 1024;
    // The lines a label or a message box lists, at most; then how many more.
    static const int ListedLines = 10;
    // The manifest lines compared, or the modules passed over, in one turn of
    // the event loop; manifest lines fewer when they hold SliceCharacters.
    static const int SliceLines = 500;
    static const int SliceCharacters = 64 * 1024;

    // A manifest or module request that has not finished this long after it
    // left is given up, and so is the program archive after the third time,
    // however it trickles; so is any request from which nothing has arrived
    // for the second time. 30 s, 15 s and one hour unless changed.
    static const int DefaultRequestTimeLimitMs = 30000;
    static const int DefaultSilenceLimitMs = 15000;
    static const int DefaultArchiveTimeLimitMs = 60 * 60 * 1000;
    static int requestTimeLimitMs();
    static int silenceLimitMs();
    static int archiveTimeLimitMs();
    static void setTimeLimits(int requestMs, int silenceMs, int archiveMs = DefaultArchiveTimeLimitMs);

public slots:
    void ProcessManifest();
    void DownloadBinary();
    void UpdateModules();

private:
    void initialize();
    void createConnections();
    void Check();
    // How a body is taken: whole, within the time limit of a request, or as
    // it arrives, a buffer at a time, however long it takes.
    enum class Taken { Whole, AsItArrives };
    // `cap`: the body is refused past that many bytes.
    NetHttpGet *get(const QString &serverPath, qint64 cap, Taken taken);
    void onFinished(NetHttpGet *reply);
    // Compares the next slice of manifest lines; once all are, shows what is offered.
    void compareSome();
    void showOffers();
    void onDownloadFinished(NetHttpGet *reply);
    // Says how the archive's download ended; `why` is empty when it is in place.
    void downloadEnded(const QString &target, const QString &why);
    // The file of an installed module that a download may replace.
    enum class ModuleFile { None, Script, Page };
    ModuleFile installedFile(const QString &name, const QString &target) const;
    void onUpdateFinished(NetHttpGet *reply, const QString &line, const QString &target, ModuleFile kind);
    // Why a module download may not replace its file, as far as its reply
    // shows; empty when it may (a script is inspected next).
    static QString refusal(NetHttpGet *reply, const QByteArray &body, ModuleFile kind);
    // Writes a module download to its file, or records `why` not; then the next module.
    void install(const QString &line, const QString &target, const QByteArray &body, const QString &why);
    void moduleFailed(const QString &line, const QString &why);
    void fetchNextModule();
    void finishModules();
    void setBusy(bool busy);
    // Why a reply brought no usable body; empty when it did. A body is usable
    // only when it came with status 200, known to be whole (NetHttpGet), and
    // as it is.
    static QString failure(NetHttpGet *reply);
    // What the person reads when a file cannot be opened for writing: the
    // text, the file, and the reason the save gave.
    void cannotOpen(const QString &title, const QString &text, const AppSaveFile &file);

    QString m_manifest;
    QStringList m_localVersions;
    QStringList m_manifestLines; // while they are compared
    int m_compared = 0; // of them
    QHash<QString, QString> m_installedVersions; // by name, of the first installed entry of each
    QHash<QString, int> m_updateOfFile; // "name\nfile" -> its entry in m_updates
    QStringList m_updates;
    QString m_binary;
    int m_updateIndex = 0;
    QStringList m_failedModules; // "name: why" of each module of the run not updated
    QPointer<NetHttpGet> m_reply; // the request in progress, if any
    AppSaveFile *m_downloadFile = nullptr;
    // Puts the archive in place once all of it is written: on the disk, a
    // gigabyte may take seconds, which the window does not wait for.
    std::thread m_committing;
    QString m_modulesPath;
    std::unique_ptr<GuiWaitCursor> m_busy; // the wait cursor while a request runs
};

#endif
