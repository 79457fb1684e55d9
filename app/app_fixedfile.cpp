#include "app/app_fixedfile.h"

#include "app/app_regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AppFixedFile {

namespace {

enum class Use { Append, Read };

std::function<void(const QString &)> &betweenCheckAndOpen()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

bool refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// Why a file of this status is not used, or an empty text.
QString judged(const struct stat &status, Use use)
{
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("it is a link, which is not followed");
    if (!S_ISREG(status.st_mode)) {
        const QString what = AppRegularFile::kind(status.st_mode);
        return what.isEmpty() ? QStringLiteral("it is not a regular file")
                              : QStringLiteral("it is %1, not a regular file").arg(what);
    }
    if (status.st_uid != ::geteuid() && !(use == Use::Read && status.st_uid == 0))
        return QStringLiteral("it belongs to another user");
    // A second name may be another user's, who then writes what the
    // program reads, or reads what it writes, through it.
    if (status.st_nlink > 1)
        return QStringLiteral("it has a second name (a hard link), which may be another user's");
    // Whoever may write it may have put their own settings or lines in it.
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("others than its owner may write it (permissions %1); take their write permission "
                              "away (chmod go-w) to have it used")
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return QString();
}

} // namespace

bool open(QFile &file, QIODevice::OpenMode mode, QString *why)
{
    const Use use = mode & (QIODevice::WriteOnly | QIODevice::Append) ? Use::Append : Use::Read;
    if (use == Use::Append)
        mode |= QIODevice::WriteOnly | QIODevice::Append;
    const QByteArray name = QFile::encodeName(file.fileName());
    // What the name holds is told before anything is opened; what is
    // opened is judged again, since the name may change meanwhile.
    struct stat status = {};
    if (::lstat(name.constData(), &status) == 0) {
        const QString refused = judged(status, use);
        if (!refused.isEmpty())
            return refuse(why, refused);
    }
    if (betweenCheckAndOpen())
        betweenCheckAndOpen()(file.fileName());
    const int flags = (use == Use::Append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK
        | O_CLOEXEC | O_NOCTTY;
    // A log it makes is never one it would refuse next time, and is the user's alone: its lines hold what the
    // user saved or imported (a statement's values), which the database file may let no one else read.
    const int fd = ::open(name.constData(), flags, 0600);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return refuse(why, QStringLiteral("it is a link, which is not followed"));
        if (error == ENXIO)
            return refuse(why, QStringLiteral("it is a named pipe (FIFO), not a regular file"));
        return refuse(why, QString::fromLocal8Bit(std::strerror(error)));
    }
    QString refused = ::fstat(fd, &status) == 0 ? judged(status, use) : QString::fromLocal8Bit(std::strerror(errno));
    // A regular file: reading and writing it waits for the disk, never for another program.
    if (refused.isEmpty() && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        refused = QString::fromLocal8Bit(std::strerror(errno));
    if (refused.isEmpty() && !file.open(fd, mode, QFileDevice::AutoCloseHandle))
        refused = file.errorString();
    if (refused.isEmpty())
        return true;
    ::close(fd);
    return refuse(why, refused);
}

Read read(const QString &path, QByteArray *bytes, QString *why)
{
    bytes->clear();
    QFile file(path);
    if (!open(file, QIODevice::ReadOnly, why))
        return Read::NotOpened;
    // The size the system gives is looked at first, so that a sparse file
    // of any size is refused unread; the reading stops past the limit all the
    // same, since a file may grow meanwhile.
    QString beyond;
    if (file.size() <= maxBytes)
        *bytes = file.read(maxBytes + 1);
    if (file.size() > maxBytes || bytes->size() > maxBytes)
        beyond = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
    else if (bytes->count('\n') + (bytes->endsWith('\n') || bytes->isEmpty() ? 0 : 1) > maxLines)
        beyond = QStringLiteral("it has more than %1 lines").arg(maxLines);
    if (beyond.isEmpty())
        return Read::Done;
    bytes->clear();
    refuse(why, beyond);
    return Read::TooLarge;
}

void setBetweenCheckAndOpen(const std::function<void(const QString &)> &hook)
{
    betweenCheckAndOpen() = hook;
}

} // namespace AppFixedFile
