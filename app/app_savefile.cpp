#include "app/app_savefile.h"

#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The file a save writes: the path, or the file its link points to, so
// that the link stays a link.
QString resolved(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isSymLink())
        return file.absoluteFilePath();
    const QString canonical = file.canonicalFilePath();
    return canonical.isEmpty() ? file.symLinkTarget() : canonical;
}

} // namespace

AppSaveFile::AppSaveFile(const QString &path) : m_path(path) { }

AppSaveFile::~AppSaveFile()
{
    drop();
}

bool AppSaveFile::fail(int error)
{
    return fail(QString::fromLocal8Bit(std::strerror(error)));
}

bool AppSaveFile::fail(const QString &why)
{
    m_error = why;
    m_failed = true;
    drop();
    return false;
}

void AppSaveFile::drop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        ::unlink(encoded(m_temporary).constData());
    m_temporary.clear();
}

bool AppSaveFile::open()
{
    drop();
    m_failed = false;
    m_opened = false;
    m_refused = false;
    m_error.clear();
    if (m_path.isEmpty())
        return fail(ENOENT);
    const QString target = resolved(m_path);
    struct stat existing = {};
    m_existed = ::stat(encoded(target).constData(), &existing) == 0;
    if (m_existed) {
        // Renamed over, a folder or a device would be replaced by a file.
        if (!S_ISREG(existing.st_mode)) {
            m_refused = true;
            return fail(AppRegularFile::refusal(target));
        }
        if (::access(encoded(target).constData(), W_OK) != 0)
            return fail(errno);
    }
    // Beside the target, so that the rename that puts it in place stays on
    // one file system; hidden, so that no folder listing offers it meanwhile.
    const QFileInfo info(target);
    const mode_t mode = m_existed ? (existing.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral("%1/.%2.%3.part")
                                 .arg(info.absolutePath(), info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_fd = ::open(encoded(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (m_fd >= 0) {
            m_temporary = name;
            break;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    if (m_fd < 0)
        return fail(EEXIST);
    // The file made here keeps the permissions of the one it replaces,
    // whatever the process's mask.
    if (m_existed)
        ::fchmod(m_fd, mode);
    m_opened = true;
    return true;
}

bool AppSaveFile::write(const QByteArray &bytes)
{
    if (m_failed || m_fd < 0)
        return false;
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        data += written;
        left -= written;
    }
    return true;
}

bool AppSaveFile::commit()
{
    if (m_failed || m_fd < 0) {
        drop();
        return false;
    }
    // On the disk before it takes the name: a crash then leaves the old file or the new one, whole.
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    // A file system that writes late says so here at the latest.
    if (::close(fd) != 0)
        return fail(errno);
    const QString target = resolved(m_path);
    if (::rename(encoded(m_temporary).constData(), encoded(target).constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    // The new name on the disk too.
    const int folder
        = ::open(encoded(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void AppSaveFile::cancelWriting()
{
    drop();
}

void AppSaveFile::abandon(const QString &why)
{
    fail(why);
}

QString AppSaveFile::failure() const
{
    const QString name = QDir::toNativeSeparators(m_path);
    if (m_refused)
        return m_error;
    if (!m_opened)
        return QStringLiteral("Cannot open %1: %2.").arg(name, m_error);
    return QStringLiteral("%1 could not be written: %2. %3")
        .arg(name, m_error,
            m_existed ? QStringLiteral("The file keeps what it held before.")
                      : QStringLiteral("No file was left under its name."));
}

bool AppSaveFile::write(const QString &path, const QByteArray &bytes, QString *failure)
{
    AppSaveFile file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    if (failure)
        *failure = file.failure();
    return false;
}
