#include "sql/sql_journalguard.h"

#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const suffixes[] = { "-journal", "-wal", "-shm" };

thread_local QString lastRefusal;

std::function<void(const QString &, bool)> &aroundOpen()
{
    static std::function<void(const QString &, bool)> hook;
    return hook;
}

// Why the file `found` beside the database at `database`, named `beside`,
// is not used, as a person reads it; empty when it may be used.
QString judgedFile(const QByteArray &database, const QByteArray &beside, const struct stat &found)
{
    // SQLite makes these files with the database file's permissions; one
    // that someone may write who may not write the database itself, or one
    // with a second name elsewhere, may hold what that someone put in it,
    // even as a file of the user's own (renamed or linked there).
    struct stat file = {};
    const bool known = ::stat(database.constData(), &file) == 0;
    const mode_t othersWrite = S_IWGRP | S_IWOTH;
    QString what;
    if (S_ISLNK(found.st_mode)) {
        what = QStringLiteral("a link");
    } else if (!S_ISREG(found.st_mode)) {
        what = AppRegularFile::kind(found.st_mode);
        if (what.isEmpty())
            what = QStringLiteral("no regular file");
    } else if (found.st_uid != ::geteuid() && !(known && file.st_uid == found.st_uid)) {
        what = QStringLiteral("a file of another user's");
    } else if (found.st_nlink > 1) {
        what = QStringLiteral("a file with a second name (a hard link)");
    } else if (found.st_mode & othersWrite & ~(known ? file.st_mode : 0)) {
        what = QStringLiteral("a file that others may write");
    } else {
        return QString();
    }
    const QString name = QDir::toNativeSeparators(QFile::decodeName(beside));
    return QStringLiteral("The database file\n%1\nis not opened: beside it lies %2, %3, which would be taken for "
                          "changes of the database's own and written into it. Nothing was read from the database "
                          "or written to it. Remove %2, or move it aside, and open the file again.")
        .arg(QDir::toNativeSeparators(QFile::decodeName(database)), name, what);
}

// As judgedFile(), for what the name holds now; empty when it holds nothing.
QString judged(const QByteArray &database, const QByteArray &beside)
{
    struct stat found = {};
    if (::lstat(beside.constData(), &found) != 0)
        return QString();
    return judgedFile(database, beside, found);
}

// As judged(), for each of the files that may lie beside the database at
// `database`: the first refusal, or empty.
QString judgedBeside(const QByteArray &database)
{
    for (const char *suffix : suffixes) {
        const QString refused = judged(database, database + suffix);
        if (!refused.isEmpty())
            return refused;
    }
    return QString();
}

// The database file a journal, log or index named `name` belongs to.
QByteArray databaseOf(const QByteArray &name)
{
    for (const char *suffix : suffixes)
        if (name.endsWith(suffix))
            return name.left(name.size() - int(std::strlen(suffix)));
    return name;
}

// Of the files SQLite opens as `flags` says: the database file (each file
// beside it), a journal, or a log (which brings its index).
QString refusalOnOpen(const char *name, int flags)
{
    if (!name)
        return QString();
    const QByteArray opened(name);
    if (flags & SQLITE_OPEN_MAIN_DB)
        return judgedBeside(opened);
    if (flags & SQLITE_OPEN_MAIN_JOURNAL)
        return judged(databaseOf(opened), opened);
    if (flags & SQLITE_OPEN_WAL) {
        const QByteArray database = databaseOf(opened);
        const QString refused = judged(database, opened);
        return refused.isEmpty() ? judged(database, database + "-shm") : refused;
    }
    return QString();
}

sqlite3_vfs guard;

int guardedOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *base = static_cast<sqlite3_vfs *>(vfs->pAppData);
    const QString refused = refusalOnOpen(name, flags);
    if (!refused.isEmpty()) {
        lastRefusal = refused;
        return SQLITE_CANTOPEN;
    }
    if (aroundOpen() && name && (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)))
        aroundOpen()(QFile::decodeName(name), false);
    // What is put there from now on is judged as it is opened (guardedSystemOpen).
    return base->xOpen(base, name, file, flags, outFlags);
}

using SystemOpen = int (*)(const char *, int, int);
SystemOpen systemOpen = nullptr;

// The system's open, as SQLite's file layer calls it for every file. A
// journal, log or index is judged as what was opened, not by its name,
// which another program may point elsewhere for just the moment of the
// open; it is neither followed as a link nor waited on as a named pipe.
int guardedSystemOpen(const char *name, int flags, int mode)
{
    const QByteArray opened(name ? name : "");
    const QByteArray database = databaseOf(opened);
    // Without its database file (one named so itself, say) it is nobody's journal.
    struct stat file = {};
    if (database.size() == opened.size() || ::stat(database.constData(), &file) != 0)
        return systemOpen(name, flags, mode);
    const int fd = systemOpen(name, flags | O_NOFOLLOW | O_NONBLOCK, mode);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENXIO)
            lastRefusal = judged(database, opened);
        errno = error;
        return fd;
    }
    if (aroundOpen())
        aroundOpen()(QFile::decodeName(opened), true);
    struct stat found = {};
    const QString refused
        = ::fstat(fd, &found) == 0 ? judgedFile(database, opened, found) : QString::fromLocal8Bit(std::strerror(errno));
    if (refused.isEmpty()) {
        if (!(flags & O_NONBLOCK))
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    ::close(fd);
    lastRefusal = refused;
    errno = EACCES;
    return -1;
}

// In place of the default file layer, before any database is opened: the
// guard is the default, and passes everything but the opening of files on.
bool install()
{
    sqlite3_vfs *base = sqlite3_vfs_find(nullptr);
    if (!base)
        return false;
    guard = *base;
    guard.zName = "vornakel-guard";
    guard.pAppData = base;
    guard.pNext = nullptr;
    guard.xOpen = guardedOpen;
    if (base->iVersion >= 3 && base->xGetSystemCall && base->xSetSystemCall) {
        systemOpen = reinterpret_cast<SystemOpen>(base->xGetSystemCall(base, "open"));
        if (!systemOpen
            || base->xSetSystemCall(base, "open", reinterpret_cast<sqlite3_syscall_ptr>(guardedSystemOpen))
                != SQLITE_OK)
            return false;
    }
    return sqlite3_vfs_register(&guard, 1) == SQLITE_OK;
}

const bool installed = install();

} // namespace

namespace SqlJournalGuard {

QString refusal(const QString &path)
{
    return judgedBeside(QFile::encodeName(QFileInfo(path).absoluteFilePath()));
}

void setAroundOpen(const std::function<void(const QString &, bool)> &hook)
{
    aroundOpen() = hook;
}

QString takeRefusal()
{
    Q_UNUSED(installed);
    QString refused;
    refused.swap(lastRefusal);
    return refused;
}

} // namespace SqlJournalGuard
