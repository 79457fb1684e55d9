#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextCodec>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>

#include <sys/stat.h>
#include <unistd.h>

namespace AppRegularFile {

namespace {

// stat follows links, so a link to a regular file passes; no open, which is
// what would wait. False when the path names nothing.
bool lookUp(const QString &path, struct stat *result)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), result) == 0;
}

// The part of `path` whose name on disk is not text in the system's
// encoding, so that the path names another file (or none) than the one a
// person chose, or an empty text. Qt gives each byte it cannot read as the
// one character U+FFFD, which becomes other bytes on the way back; such a
// name is found by its folder holding an entry that reads as the same text
// but is other bytes.
QString undecodable(const QString &path)
{
    const QChar lost(0xFFFD);
    if (!path.contains(lost))
        return QString();
    const QStringList parts = QDir::cleanPath(QFileInfo(path).absoluteFilePath()).split(QLatin1Char('/'));
    QString folder = QStringLiteral("/");
    for (const QString &part : parts) {
        if (part.isEmpty())
            continue;
        const QString named = QDir(folder).filePath(part);
        struct stat found = {};
        if (!part.contains(lost) || ::lstat(QFile::encodeName(named).constData(), &found) == 0) {
            folder = named;
            continue;
        }
        DIR *entries = ::opendir(QFile::encodeName(folder).constData());
        if (!entries)
            return QString();
        bool other = false;
        while (const struct dirent *entry = ::readdir(entries)) {
            if (QFile::decodeName(entry->d_name) == part) {
                other = true;
                break;
            }
        }
        ::closedir(entries);
        return other ? named : QString();
    }
    return QString();
}

} // namespace

bool isRegular(const QString &path)
{
    struct stat found = {};
    return lookUp(path, &found) && S_ISREG(found.st_mode);
}

QString kind(unsigned mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISLNK(mode))
        return QStringLiteral("a link");
    return QString();
}

QString notOwnFile(const struct stat &found, uid_t owner)
{
    if (!S_ISREG(found.st_mode)) {
        const QString what = kind(found.st_mode);
        return what.isEmpty() ? QStringLiteral("no regular file") : what;
    }
    if (found.st_uid != ::geteuid() && found.st_uid != owner)
        return QStringLiteral("a file of another user's");
    if (found.st_nlink > 1)
        return QStringLiteral("a file with a second name (a hard link)");
    return QString();
}

QString refusal(const QString &path)
{
    // Qt reads such bytes with one stand-in character, so that no name it
    // hands on leads back to them: the file is named to the person instead.
    const QString lost = undecodable(path);
    if (!lost.isEmpty()) {
        const bool itself = lost == QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        return QStringLiteral("%1 is not opened: %2 on disk is not text in the system's encoding (%3), and under "
                              "the name as Vornakel reads it, it would be another file. Rename it with valid "
                              "characters (letters, digits, '-', '_' and '.' are always so) and open it again.")
            .arg(path, itself ? QStringLiteral("its name") : QStringLiteral("the name of its folder %1").arg(lost),
                QString::fromLatin1(QTextCodec::codecForLocale()->name()));
    }
    struct stat status = {};
    if (!lookUp(path, &status))
        return QString();
    if (S_ISREG(status.st_mode))
        return QString();
    const QString what = kind(status.st_mode);
    if (what.isEmpty())
        return QStringLiteral("%1 is not a regular file and is not opened.").arg(path);
    return QStringLiteral("%1 is %2, not a regular file, and is not opened.").arg(path, what);
}

QString readRefusal(const QString &path)
{
    const QString refused = refusal(path);
    const QFileInfo file(path);
    if (refused.isEmpty() && file.isSymLink() && !file.exists())
        return QStringLiteral("%1 is a link to nothing, not a regular file, and is not opened.").arg(path);
    return refused;
}

QByteArray folderOf(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QString userName(uid_t user)
{
    struct passwd entry = {};
    struct passwd *found = nullptr;
    QByteArray buffer(16384, '\0');
    if (::getpwuid_r(user, &entry, buffer.data(), size_t(buffer.size()), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(user);
}

QString groupName(gid_t group)
{
    struct group entry = {};
    struct group *found = nullptr;
    QByteArray buffer(16384, '\0');
    if (::getgrgid_r(group, &entry, buffer.data(), size_t(buffer.size()), &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(group);
}

} // namespace AppRegularFile
