#include "sql/sql_journalguard.h"

#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const suffixes[] = { "-journal", "-wal", "-shm" };

thread_local QString lastRefusal;

// Why the file beside the database at `database` named `beside` is not
// used, as a person reads it; empty when there is none or it may be used.
QString judged(const QByteArray &database, const QByteArray &beside)
{
    struct stat found = {};
    if (::lstat(beside.constData(), &found) != 0)
        return QString();
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
    if (flags & SQLITE_OPEN_MAIN_DB) {
        for (const char *suffix : suffixes) {
            const QString refused = judged(opened, opened + suffix);
            if (!refused.isEmpty())
                return refused;
        }
    } else if (flags & SQLITE_OPEN_MAIN_JOURNAL) {
        return judged(databaseOf(opened), opened);
    } else if (flags & SQLITE_OPEN_WAL) {
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
    QString refused = refusalOnOpen(name, flags);
    if (refused.isEmpty()) {
        const int result = base->xOpen(base, name, file, flags, outFlags);
        if (result != SQLITE_OK)
            return result;
        // Looked at again once open: what was put there in between is not used either.
        refused = refusalOnOpen(name, flags);
        if (refused.isEmpty())
            return SQLITE_OK;
        if (file->pMethods)
            file->pMethods->xClose(file);
        file->pMethods = nullptr;
    }
    lastRefusal = refused;
    return SQLITE_CANTOPEN;
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
    return sqlite3_vfs_register(&guard, 1) == SQLITE_OK;
}

const bool installed = install();

} // namespace

namespace SqlJournalGuard {

QString refusal(const QString &path)
{
    const QByteArray database = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    for (const char *suffix : suffixes) {
        const QString refused = judged(database, database + suffix);
        if (!refused.isEmpty())
            return refused;
    }
    return QString();
}

QString takeRefusal()
{
    Q_UNUSED(installed);
    QString refused;
    refused.swap(lastRefusal);
    return refused;
}

} // namespace SqlJournalGuard
