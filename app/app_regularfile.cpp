#include "app/app_regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace AppRegularFile {

namespace {

// stat follows links, so a link to a regular file passes; no open, which is
// what would wait. False when the path names nothing.
bool lookUp(const QString &path, struct stat *result)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), result) == 0;
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

QString refusal(const QString &path)
{
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

} // namespace AppRegularFile
