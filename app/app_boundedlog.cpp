#include "app/app_boundedlog.h"

#include "app/app_fixedfile.h"
#include "app/app_text.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AppBoundedLog {

namespace {

// Writers that find the log's name holding a new file each time give up after so many tries.
const int kAttempts = 4;

// Set when the lock was not had in time: until it is had again, a writer
// tries once and does not wait, so that whatever holds it costs one wait.
std::atomic<bool> s_lockRefused { false };

bool refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool lock(int fd)
{
    QElapsedTimer waited;
    waited.start();
    const int waitMs = s_lockRefused ? 0 : LockWaitMs;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            s_lockRefused = false;
            return true;
        }
        if (errno == EINTR)
            continue;
        // A file system without locks: the entry is written all the same.
        if (errno != EWOULDBLOCK)
            return true;
        if (waited.elapsed() >= waitMs) {
            s_lockRefused = true;
            return false;
        }
        QThread::usleep(500);
    }
}

bool writeAll(int fd, const QByteArray &bytes, QString *why)
{
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return refuse(why, systemError());
        done += n;
    }
    return true;
}

} // namespace

QString olderPart(const QString &path)
{
    return path + QStringLiteral(".1");
}

QString cut(const QString &text)
{
    if (text.size() <= EntryCharacters)
        return text;
    const QString kept = AppText::leftWhole(text, EntryCharacters);
    return kept + QStringLiteral(" ... (%1 more characters not logged)").arg(text.size() - kept.size());
}

QByteArray entry(const QString &text)
{
    return cut(text).toLocal8Bit() + '\n';
}

bool append(const QString &path, const QString &text, QString *why)
{
    const QByteArray line = entry(text);
    const QByteArray name = QFile::encodeName(path);
    const QByteArray older = QFile::encodeName(olderPart(path));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Closing it (at the end of each try) gives the lock back.
        QFile log(path);
        if (!AppFixedFile::open(log, QIODevice::Append, why))
            return false;
        const int fd = log.handle();
        if (!lock(fd))
            return refuse(why, QStringLiteral("another program holds it locked"));
        struct stat held = {};
        struct stat named = {};
        if (::fstat(fd, &held) != 0)
            return refuse(why, systemError());
        // Another writer rolled the log while this one waited: the name holds a new file.
        if (::lstat(name.constData(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino)
            continue;
        if (held.st_size > 0 && held.st_size + line.size() > PartBytes) {
            // The full log becomes the older part, and the next try begins a new one.
            if (held.st_size <= PartBytes && ::rename(name.constData(), older.constData()) == 0)
                continue;
            // One over the bound (left by an earlier version), or one that
            // cannot be kept (the older part's name is taken by a folder, or
            // by another user's file): its lines are dropped.
            if (::ftruncate(fd, 0) != 0)
                return refuse(why, systemError());
        }
        return writeAll(fd, line, why);
    }
    return refuse(why, QStringLiteral("other writers rolled it over each time it was opened"));
}

} // namespace AppBoundedLog
