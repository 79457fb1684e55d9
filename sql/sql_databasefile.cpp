#include "sql/sql_databasefile.h"

#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDriver>
#include <QStringList>
#include <QUrl>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using AppRegularFile::folderOf;
using AppRegularFile::groupName;
using AppRegularFile::userName;

// Settings group of the files remembered, each under its path.
const char *const filesGroup = "DatabaseFiles";
// SQLite's word for a write it refused to a file it takes for read only;
// its longest full file name in bytes, which its journal's name, the
// file's with "-journal" added, must not pass either.
const char *const readOnlyText = "attempt to write a readonly database";
constexpr int longestName = 512;
constexpr int journalEnding = 8;

// What is remembered of a file: whose it was, and who besides its owner could write it.
struct Known
{
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
};

QString key(const QString &path)
{
    // A key of its own, whatever the path holds ('/' would make groups of it).
    return QString::fromLatin1(QUrl::toPercentEncoding(QDir::cleanPath(QFileInfo(path).absoluteFilePath())));
}

bool remembered(const QString &path, Known *known)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(filesGroup));
    const QStringList parts = settings.value(key(path)).toString().split(QLatin1Char(' '));
    bool owner = false, group = false, mode = false;
    if (parts.size() == 3) {
        known->owner = uid_t(parts.at(0).toUInt(&owner));
        known->group = gid_t(parts.at(1).toUInt(&group));
        known->mode = mode_t(parts.at(2).toUInt(&mode, 8));
    }
    return owner && group && mode;
}

// Whether SQLite finds that the file the connection has open no longer has its name.
bool hasMoved(const QSqlDatabase &db)
{
    sqlite3 *connection = SqlDatabaseFile::connectionOf(db);
    int moved = 0;
    return connection && sqlite3_file_control(connection, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK
        && moved != 0;
}

// Whether the header of the database file says that it keeps its changes in a log (the "wal" mode): bytes 18
// and 19, the versions it is written and read with, are then 2.
bool keepsALog(const QByteArray &name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat file = {};
    unsigned char versions[2] = {};
    const bool read = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && ::pread(fd, versions, 2, 18) == 2;
    ::close(fd);
    return read && (versions[0] == 2 || versions[1] == 2);
}

} // namespace

namespace SqlDatabaseFile {

sqlite3 *connectionOf(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QString change(const QString &path)
{
    struct stat now = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &now) != 0 || !S_ISREG(now.st_mode))
        return QString();
    Known before;
    const bool known = remembered(path, &before);
    QStringList changes;
    // The superuser may read and change any file anyway: an installed file of theirs is no one else's.
    if (now.st_uid != ::geteuid() && now.st_uid != 0 && (!known || before.owner != now.st_uid)) {
        changes << (known && before.owner == ::geteuid()
                ? QStringLiteral("it now belongs to another user (%1), where it was yours when Vornakel last "
                                 "opened it: it may have been moved aside and another file put under its name")
                      .arg(userName(now.st_uid))
                : QStringLiteral("it belongs to another user (%1)").arg(userName(now.st_uid)));
    }
    // A file others could always write is the setup the user chose (a group's shared database).
    if (known && (now.st_mode & S_IWOTH) && !(before.mode & S_IWOTH))
        changes << QStringLiteral("anyone may now write it, where before not everyone could");
    if (known && (now.st_mode & S_IWGRP) && (!(before.mode & S_IWGRP) || before.group != now.st_gid))
        changes << QStringLiteral("the members of the group %1 may now write it, where they could not before")
                       .arg(groupName(now.st_gid));
    if (changes.isEmpty())
        return QString();
    return QStringLiteral("The database file\n%1\nis not as it was: %2. Others may read or change the records you "
                          "save into it.")
        .arg(QDir::toNativeSeparators(path), changes.join(QStringLiteral("; ")));
}

void remember(const QString &path)
{
    struct stat now = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &now) != 0 || !S_ISREG(now.st_mode))
        return;
    QSettings settings;
    settings.beginGroup(QLatin1String(filesGroup));
    settings.setValue(
        key(path), QStringLiteral("%1 %2 %3").arg(now.st_uid).arg(now.st_gid).arg(now.st_mode & 07777, 0, 8));
}

QString readOnlyReason(const QSqlDatabase &db, const QString &driverText)
{
    if (!driverText.contains(QLatin1String(readOnlyText)))
        return QString();
    const QString path = db.databaseName();
    if (hasMoved(db)) {
        const bool named = QFileInfo::exists(path);
        return named ? QStringLiteral("The database file was replaced by another file since it was opened: what "
                                      "is now under its name is not the file this window has open. Nothing can be "
                                      "saved to it any more; open the file again to save into what its name holds "
                                      "now, once you know what that is.")
                     : QStringLiteral("The database file was moved away or removed since it was opened. Nothing "
                                      "can be saved to it any more; put it back under its name, or open it where "
                                      "it is now.");
    }
    return readOnlyReason(path, driverText);
}

QString readOnlyReason(const QString &fileName, const QString &driverText)
{
    if (!driverText.contains(QLatin1String(readOnlyText)))
        return QString();
    const QByteArray name = QFile::encodeName(fileName);
    const QByteArray folder = folderOf(name);
    // A file that keeps its changes in a log writes each save into the log, through its index: SQLite opens
    // either read-only where the user may not write it (another writer's program made it so), and then says
    // only that the database is read only.
    if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) == 0 && keepsALog(name)) {
        for (const char *suffix : { "-wal", "-shm" }) {
            const QByteArray beside = name + suffix;
            struct stat file = {};
            if (::lstat(beside.constData(), &file) != 0
                || ::faccessat(AT_FDCWD, beside.constData(), W_OK, AT_EACCESS) == 0)
                continue;
            const QString what
                = QStringLiteral("You may write the database file, but not %1 beside it, %2 of the "
                                 "log of changes that every save goes through.")
                      .arg(QDir::toNativeSeparators(QFile::decodeName(beside)),
                          qstrcmp(suffix, "-wal") == 0 ? QStringLiteral("the file") : QStringLiteral("the index"));
            if (file.st_uid == ::geteuid())
                return what
                    + QStringLiteral(" It is yours: give yourself the permission to write it (chmod u+w), and try "
                                     "again.");
            // Removed while that program has it open, the log would be lost, or damage the file.
            return what
                + QStringLiteral(" It is %1's, whose program may have the database file open: do not remove it or "
                                 "move it aside. "
                                 "Nothing can be saved until %1's program closes the database file or, where that "
                                 "program was cut off, until the database file is opened as %1 and closed again.")
                      .arg(userName(file.st_uid));
        }
    }
    // A save makes its journal beside the file, so the folder must be writable too.
    if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) == 0
        && ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return QStringLiteral("You may write the database file, but not its folder\n%1\nwhere a save keeps the "
                              "journal that lets it be taken back. Nothing can be saved until you may write that "
                              "folder again, or the file is moved to a folder you may write.")
            .arg(QDir::toNativeSeparators(QFile::decodeName(folder)));
    return QString();
}

QString nameTooLong(const QString &path)
{
    // SQLite takes the full name with links resolved; a file not there yet has its folder's.
    const QFileInfo file(path);
    const QString folder = file.absoluteDir().canonicalPath();
    const QString full = file.exists() ? file.canonicalFilePath()
        : folder.isEmpty()             ? QDir::cleanPath(file.absoluteFilePath())
                                       : QDir(folder).filePath(file.fileName());
    const int size = QFile::encodeName(full).size();
    if (size <= longestName - journalEnding)
        return QString();
    return QStringLiteral("its full name is %1 bytes long, and the database library takes names of at most %2 "
                          "bytes, the ending \"-journal\" of its journal included, so at most %3 for the file. Move "
                          "it to a folder of a shorter path, or give it a shorter name.")
        .arg(size)
        .arg(longestName)
        .arg(longestName - journalEnding);
}

} // namespace SqlDatabaseFile
