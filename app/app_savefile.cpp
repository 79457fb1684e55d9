#include "app/app_savefile.h"

#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QSettings>
#include <QStringList>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the system itself follows in one path.
constexpr int maxLinks = 40;
// The new file's name: "." NAME "." 8 hex digits ".part".
constexpr int temporaryExtra = 15;
const char temporarySuffix[] = ".part";

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A folder where someone else may have put a link: sticky (as /tmp), or one
// that its group or everyone may write.
bool othersMayWrite(const struct stat &folder)
{
    return (folder.st_mode & (S_ISVTX | S_IWGRP | S_IWOTH)) != 0;
}

// The parts of a path that name something, "." and empty ones left out.
QList<QByteArray> partsOf(const QByteArray &path)
{
    QList<QByteArray> parts;
    for (const QByteArray &part : path.split('/'))
        if (!part.isEmpty() && part != ".")
            parts << part;
    return parts;
}

QByteArray linkTarget(int folder, const QByteArray &name)
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t size = ::readlinkat(folder, name.constData(), target.data(), size_t(target.size()));
    if (size <= 0 || size >= target.size())
        return QByteArray();
    target.truncate(int(size));
    return target;
}

// `name` in at most `room` bytes: as it is when it fits; else its start, cut
// where a character begins, then "~" and a hash of the whole of it, so that
// long names that start alike stay apart, and the same name always gives
// the same result.
QByteArray fitted(const QByteArray &name, int room)
{
    if (name.size() <= room)
        return name;
    int keep = qMax(0, room - 9);
    while (keep > 0 && (uchar(name.at(keep)) & 0xC0) == 0x80)
        --keep;
    quint32 hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ uchar(c)) * 16777619u;
    return name.left(keep) + '~' + QByteArray::number(hash, 16).rightJustified(8, '0');
}

int nameMax(int folder)
{
    const long most = ::fpathconf(folder, _PC_NAME_MAX);
    return most > temporaryExtra + 9 ? int(qMin<long>(most, NAME_MAX)) : NAME_MAX;
}

QByteArray temporaryName(int folder, const QByteArray &name, const QByteArray &tag)
{
    return '.' + fitted(name, nameMax(folder) - temporaryExtra) + '.' + tag + temporarySuffix;
}

// "NAME.TAG.EXT" for "NAME.EXT": a name no save uses, which keeps the
// extension that the open dialogs list files by.
QByteArray keptName(int folder, const QByteArray &name, const QByteArray &tag)
{
    const int most = nameMax(folder);
    const int dot = name.lastIndexOf('.');
    QByteArray extension = dot > 0 ? name.mid(dot) : QByteArray();
    if (extension.size() > most / 4)
        extension.clear();
    const QByteArray base = name.left(name.size() - extension.size());
    return fitted(base, most - int(tag.size()) - 1 - extension.size()) + '.' + tag + extension;
}

// Whether `entry` is a new file that a save of the target with this
// temporary-name prefix makes.
bool isTemporaryOf(const QByteArray &entry, const QByteArray &prefix)
{
    const int suffix = int(sizeof temporarySuffix) - 1;
    if (entry.size() != prefix.size() + 8 + suffix || !entry.startsWith(prefix) || !entry.endsWith(temporarySuffix))
        return false;
    for (int i = prefix.size(); i < prefix.size() + 8; ++i)
        if (!std::isxdigit(uchar(entry.at(i))))
            return false;
    return true;
}

// The copies into files in place that are under way or were cut off, in
// the settings: pairs of the file written into and the whole copy beside it.
const char cutCopiesKey[] = "SaveFile/copiesIntoFiles";

AppSaveFile::Teller &teller()
{
    static AppSaveFile::Teller told;
    return told;
}

QStringList cutCopies()
{
    return QSettings().value(QLatin1String(cutCopiesKey)).toStringList();
}

// False when the settings could not be written.
bool setCutCopies(const QStringList &pairs)
{
    QSettings settings;
    if (pairs.isEmpty())
        settings.remove(QLatin1String(cutCopiesKey));
    else
        settings.setValue(QLatin1String(cutCopiesKey), pairs);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// Notes the copy beside the target (`underWay`), or forgets it; false when
// the settings could not keep that.
bool noteCopy(const QString &target, const QString &copy, bool underWay)
{
    QStringList pairs = cutCopies();
    for (int i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs.at(i + 1) == copy) {
            pairs.erase(pairs.begin() + i, pairs.begin() + i + 2);
            break;
        }
    }
    if (underWay)
        pairs << target << copy;
    return setCutCopies(pairs);
}

// Whether a save still runs that holds this copy (its lock).
bool copyInUse(const QString &copy)
{
    const int fd
        = ::open(QFile::encodeName(copy).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// The copies whose note is being told now: a box shows it, and runs the
// event loop meanwhile, in which it must not be told again.
QStringList &beingTold()
{
    static QStringList copies;
    return copies;
}

// Tells of the cut copies into `target` (every one, for an empty text) and
// forgets each once told, which may be later, when its box has been seen: a
// program ended while its box waits or shows tells it again at its next
// start. A copy that is gone is forgotten untold.
void tellCutCopiesInto(const QString &target)
{
    const QStringList pairs = cutCopies();
    for (int i = 0; i + 1 < pairs.size(); i += 2) {
        const QString &into = pairs.at(i);
        const QString &copy = pairs.at(i + 1);
        if (beingTold().contains(copy))
            continue;
        struct stat found = {};
        if (::lstat(QFile::encodeName(copy).constData(), &found) != 0) {
            noteCopy(into, copy, false);
            continue;
        }
        if (copyInUse(copy) || !teller() || (!target.isEmpty() && into != target))
            continue;
        // The copy the save made is a file of the user's own with no other
        // name; in a folder that others may write, someone may have put
        // something else there.
        const QString other = AppRegularFile::notOwnFile(found, ::geteuid());
        const QString where = other.isEmpty()
            ? QStringLiteral("The whole of what was saved then is in %1.").arg(QDir::toNativeSeparators(copy))
            : QStringLiteral("The whole of what was saved then was kept as %1, but that name now holds %2, which "
                             "may not be what was saved.")
                  .arg(QDir::toNativeSeparators(copy), other);
        beingTold() << copy;
        teller()(QStringLiteral("An earlier save of %1 was cut off while it wrote into the file itself, which may "
                                "now hold part of what was saved and part of what it held before. %2")
                     .arg(QDir::toNativeSeparators(into), where),
            [into, copy] {
                beingTold().removeOne(copy);
                noteCopy(into, copy, false);
            });
    }
}

// Where a save writes: the folder (held open) and the name in it, links
// followed once, here.
struct Resolved
{
    int folder = -1;
    QByteArray name;
    struct stat status = {};
    bool exists = false;
    int error = 0; // the system's, when it could not be settled
    QString refusal; // a link that is not followed
};

Resolved resolve(const QString &path)
{
    Resolved found;
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.endsWith('/')) {
        found.error = EISDIR;
        return found;
    }
    QList<QByteArray> parts = partsOf(encoded);
    // Folders on the way are held without reading them: passing through
    // one takes no more than the system asks.
    int folder = ::open(encoded.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    int links = 0;
    while (folder >= 0 && found.error == 0 && found.refusal.isEmpty()) {
        if (parts.isEmpty()) {
            found.error = EISDIR;
            break;
        }
        const QByteArray part = parts.takeFirst();
        const bool last = parts.isEmpty();
        struct stat status = {};
        if (::fstatat(folder, part.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            found.error = errno;
            if (found.error == ENOENT && last) {
                found.error = 0;
                found.name = part;
                break;
            }
            break;
        }
        if (S_ISLNK(status.st_mode)) {
            struct stat holder = {};
            if (::fstat(folder, &holder) != 0) {
                found.error = errno;
                break;
            }
            // Someone else's link where others may write may have been put
            // there to lead the save to a file of the user's.
            if (othersMayWrite(holder) && status.st_uid != ::geteuid()) {
                const QString name = QDir::toNativeSeparators(path);
                found.refusal = links == 0 && last
                    ? QStringLiteral("%1 is a link of another user's in a folder that others may write, and is not "
                                     "followed; nothing was saved.")
                          .arg(name)
                    : QStringLiteral("%1 leads through \"%2\", a link of another user's in a folder that others may "
                                     "write, which is not followed; nothing was saved.")
                          .arg(name, QFile::decodeName(part));
                break;
            }
            const QByteArray target = linkTarget(folder, part);
            if (++links > maxLinks || target.isEmpty()) {
                found.error = target.isEmpty() ? ENOENT : ELOOP;
                break;
            }
            if (target.startsWith('/')) {
                ::close(folder);
                folder = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
            }
            const QList<QByteArray> more = partsOf(target);
            if (more.isEmpty() || target.endsWith('/')) {
                // A link to a folder names a folder.
                found.error = EISDIR;
                break;
            }
            parts = more + parts;
            continue;
        }
        if (last && part != "..") {
            found.name = part;
            found.status = status;
            found.exists = true;
            break;
        }
        if (!S_ISDIR(status.st_mode)) {
            found.error = ENOTDIR;
            break;
        }
        if (last) {
            found.error = EISDIR;
            break;
        }
        // Not through a link that took the folder's place meanwhile.
        const int next = ::openat(folder, part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            found.error = errno;
        ::close(folder);
        folder = next;
    }
    if (folder < 0 && found.error == 0)
        found.error = errno;
    if (found.error != 0 || !found.refusal.isEmpty()) {
        if (folder >= 0)
            ::close(folder);
        return found;
    }
    // The folder of the target is read (its leftovers) and synced: opened
    // for reading where it may be; a folder one may only pass keeps its handle.
    const int readable = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0) {
        ::close(folder);
        folder = readable;
    }
    found.folder = folder;
    return found;
}

} // namespace

AppSaveFile::AppSaveFile(const QString &path) : m_path(path) { }

void AppSaveFile::setTeller(const Teller &told)
{
    teller() = told;
}

void AppSaveFile::tellCutCopies()
{
    tellCutCopiesInto(QString());
}

AppSaveFile::~AppSaveFile()
{
    drop();
    closeHandles();
}

bool AppSaveFile::fail(int error)
{
    return fail(systemText(error));
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
    if (!m_temporary.isEmpty() && m_folder >= 0)
        ::unlinkat(m_folder, m_temporary.constData(), 0);
    m_temporary.clear();
    // Closed last: the lock on it tells other saves it is not left over.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void AppSaveFile::closeHandles()
{
    if (m_held >= 0)
        ::close(m_held);
    m_held = -1;
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
}

QString AppSaveFile::temporaryFileName() const
{
    if (m_temporary.isEmpty())
        return QString();
    return heldPath(m_temporary);
}

QString AppSaveFile::keptFileName() const
{
    if (m_kept.isEmpty())
        return QString();
    return heldPath(m_kept);
}

QString AppSaveFile::heldPath(const QByteArray &name) const
{
    return m_folderPath + QLatin1Char('/') + QFile::decodeName(name);
}

QString AppSaveFile::inPlaceRefusal(const struct stat &target) const
{
    struct stat folder = {};
    if (target.st_uid == ::geteuid() || ::fstat(m_folder, &folder) != 0 || !(folder.st_mode & S_ISVTX)
        || !(folder.st_mode & (S_IWGRP | S_IWOTH)))
        return QString();
    // As the system refuses to open such a file for a program that would
    // make it: one planted there would take what the user saves and show it
    // to the one who planted it. The folder's owner may write anything in it
    // anyway, but a second name of that owner's file may have been made by
    // anyone who may read it.
    if (target.st_uid == folder.st_uid && target.st_nlink == 1)
        return QString();
    return QStringLiteral("%1 is a file of another user's in a sticky folder that others may write, and is not "
                          "written into; nothing was saved.")
        .arg(QDir::toNativeSeparators(m_path));
}

bool AppSaveFile::open()
{
    drop();
    closeHandles();
    m_failed = false;
    m_opened = false;
    m_refused = false;
    m_inPlace = false;
    m_damaged = false;
    m_kept.clear();
    m_error.clear();
    m_found = Found();
    if (m_path.isEmpty())
        return fail(ENOENT);
    Resolved target = resolve(m_path);
    if (!target.refusal.isEmpty()) {
        m_refused = true;
        return fail(target.refusal);
    }
    if (target.error != 0)
        return fail(target.error);
    m_folder = target.folder;
    m_name = target.name;
    // The folder as the system names it now, for messages and for a writer
    // that opens the new file by its name.
    const QString held = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(m_folder));
    m_folderPath = held.isEmpty() ? QFileInfo(m_path).absolutePath() : held;
    struct stat existing = target.status;
    m_found.exists = target.exists;
    if (m_found.exists) {
        m_held = ::openat(m_folder, m_name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (m_held < 0 || ::fstat(m_held, &existing) != 0)
            return fail(errno);
        m_found.device = quint64(existing.st_dev);
        m_found.inode = quint64(existing.st_ino);
        m_found.mode = existing.st_mode;
        m_found.owner = existing.st_uid;
        m_found.group = existing.st_gid;
        m_found.links = quint64(existing.st_nlink);
        // Renamed over, a folder or a device would be replaced by a file.
        if (!S_ISREG(existing.st_mode)) {
            m_refused = true;
            return fail(AppRegularFile::refusal(m_path));
        }
        if (::faccessat(m_folder, m_name.constData(), W_OK, AT_EACCESS) != 0)
            return fail(errno);
        // Replaced by a new file, it would become the user's, and its other
        // names would keep the old bytes.
        m_inPlace = existing.st_uid != ::geteuid() || existing.st_nlink > 1;
        const QString refused = inPlaceRefusal(existing);
        if (!refused.isEmpty()) {
            m_refused = true;
            return fail(refused);
        }
    }
    tellCutCopiesInto(heldPath(m_name));
    removeLeftovers();

    // Beside the target, so that the rename that puts it in place stays on
    // one file system; hidden, so that no folder listing offers it meanwhile.
    const mode_t mode = m_found.exists ? (m_found.mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_tag = QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
        const QByteArray name = temporaryName(m_folder, m_name, m_tag);
        // Of a file that exists, the user's alone until it has the file's group: made in a folder that passes
        // its own group on (a group's shared one), it would show that group what is saved meanwhile, and what is
        // kept of a copy cut off.
        m_fd = ::openat(m_folder, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
            m_found.exists ? 0600 : mode);
        if (m_fd >= 0) {
            m_temporary = name;
            break;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    if (m_fd < 0)
        return fail(EEXIST);
    // Held while the save lives: another save of the target tells by it
    // that this file is no leftover.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (m_found.exists && !m_inPlace) {
        // The new file takes the place of the old one with its group and
        // permissions, whatever the process's mask; where the group cannot
        // be given, the old file is written into instead, and keeps it.
        struct stat made = {};
        if (::fstat(m_fd, &made) == 0 && made.st_gid != existing.st_gid
            && ::fchown(m_fd, uid_t(-1), existing.st_gid) != 0)
            m_inPlace = true;
        else
            ::fchmod(m_fd, mode);
    }
    m_opened = true;
    return true;
}

void AppSaveFile::removeLeftovers()
{
    const int copy = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *entries = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!entries) {
        if (copy >= 0)
            ::close(copy);
        return;
    }
    const QByteArray prefix = temporaryName(m_folder, m_name, QByteArray());
    const QByteArray start = prefix.left(prefix.size() - int(sizeof temporarySuffix) + 1);
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryOf(name, start))
            continue;
        // Only a regular file of the user's with no other name is looked
        // into; opening anything else might wait or act.
        struct stat status = {};
        if (::fstatat(m_folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid() || status.st_nlink != 1)
            continue;
        const int fd = ::openat(m_folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat opened = {};
        // Unlocked: the save that made it has ended.
        if (::fstat(fd, &opened) == 0 && opened.st_dev == status.st_dev && opened.st_ino == status.st_ino
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(m_folder, name.constData(), 0);
        ::close(fd);
    }
    ::closedir(entries);
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

bool AppSaveFile::unchanged() const
{
    struct stat now = {};
    if (::fstatat(m_folder, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT && !m_found.exists;
    return m_found.exists && quint64(now.st_dev) == m_found.device && quint64(now.st_ino) == m_found.inode;
}

bool AppSaveFile::renameToKept()
{
    const QByteArray kept = keptName(m_folder, m_name, m_tag);
    if (::renameat2(m_folder, m_temporary.constData(), m_folder, kept.constData(), RENAME_NOREPLACE) != 0
        && (::linkat(m_folder, m_temporary.constData(), m_folder, kept.constData(), 0) != 0
            || ::unlinkat(m_folder, m_temporary.constData(), 0) != 0))
        return false;
    m_temporary = kept;
    return true;
}

bool AppSaveFile::keepBoth()
{
    if (renameToKept()) {
        m_kept = m_temporary;
        m_temporary.clear();
    }
    return fail(QStringLiteral("something else was put under its name while it was being saved"));
}

int AppSaveFile::copyRange(int target, qint64 from, qint64 to)
{
    QByteArray buffer(1 << 16, '\0');
    for (qint64 done = from; done < to;) {
        const ssize_t got = ::pread(m_fd, buffer.data(), size_t(qMin<qint64>(buffer.size(), to - done)), done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : EIO;
        for (ssize_t at = 0; at < got;) {
            const ssize_t put = ::pwrite(target, buffer.constData() + at, size_t(got - at), done + at);
            if (put < 0 && errno != EINTR)
                return errno;
            if (put > 0)
                at += put;
        }
        done += got;
    }
    return 0;
}

bool AppSaveFile::copyInto()
{
    const int target
        = ::openat(m_folder, m_name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (target < 0)
        return errno == ELOOP || errno == ENOENT || errno == ENXIO ? keepBoth() : fail(errno);
    struct stat status = {};
    const off_t size = ::lseek(m_fd, 0, SEEK_END);
    if (::fstat(target, &status) != 0 || quint64(status.st_dev) != m_found.device
        || quint64(status.st_ino) != m_found.inode) {
        ::close(target);
        return keepBoth();
    }
    const off_t before = status.st_size;
    // The whole of the new bytes under a name no save removes, before a
    // byte of the file changes, and on the disk with that name: a copy cut
    // off leaves it, and the settings say where, for the next save or start.
    if (!renameToKept()) {
        const int error = errno;
        ::close(target);
        return fail(error);
    }
    ::fsync(m_folder);
    const QString into = heldPath(m_name);
    const QString copy = heldPath(m_temporary);
    if (!noteCopy(into, copy, true)) {
        // Unnoted, a copy cut off would never be told of: the file is not
        // written into, and keeps its bytes; the copy goes with the save.
        ::close(target);
        return fail(QStringLiteral("it is written into the file itself, and the settings file %1, where the save "
                                   "notes where the whole of it is kept until it is done, cannot be written")
                        .arg(QDir::toNativeSeparators(QSettings().fileName())));
    }

    // Room first, reserved by the system: a full disk or a size limit then
    // stops the save before a byte of the file is changed. A file system
    // that cannot reserve says so, and the part past the file's end is
    // written first instead: what stops it is taken back by cutting the
    // file to its old length.
    int error = 0;
    off_t head = size;
    if (size > 0 && ::fallocate(target, 0, 0, size) != 0) {
        error = errno;
        if (error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) {
            head = qMin(before, size);
            error = copyRange(target, head, size);
        }
    }
    bool touched = false;
    if (error == 0) {
        // From here on, the file's own bytes change.
        touched = true;
        error = copyRange(target, 0, head);
    }
    if (error == 0 && ::ftruncate(target, size) != 0)
        error = errno;
    if (error == 0 && ::fsync(target) != 0)
        error = errno;
    if (!touched) {
        // A partial reservation, or the part written past the end, goes.
        struct stat now = {};
        if ((::fstat(target, &now) != 0 || now.st_size != before) && ::ftruncate(target, before) != 0)
            touched = true;
    }
    if (::close(target) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        // Cut or mixed, the file says so, and the new bytes stay whole beside it.
        m_damaged = touched;
        if (touched) {
            m_kept = m_temporary;
            m_temporary.clear();
        }
        noteCopy(into, copy, false);
        return fail(error);
    }
    // Whole in the file now: the copy beside it goes, then the note of it.
    ::unlinkat(m_folder, m_temporary.constData(), 0);
    m_temporary.clear();
    noteCopy(into, copy, false);
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
    if (!unchanged())
        return keepBoth();
    if (m_inPlace) {
        if (!copyInto())
            return false;
        drop();
        closeHandles();
        return true;
    }
    // A name still free is taken only while it is: whatever appears there
    // meanwhile is not replaced.
    int renamed = m_found.exists
        ? ::renameat(m_folder, m_temporary.constData(), m_folder, m_name.constData())
        : ::renameat2(m_folder, m_temporary.constData(), m_folder, m_name.constData(), RENAME_NOREPLACE);
    if (renamed != 0 && !m_found.exists && errno == EINVAL) {
        // A file system that cannot rename so: a second name fails the same way.
        renamed = ::linkat(m_folder, m_temporary.constData(), m_folder, m_name.constData(), 0);
        if (renamed == 0)
            ::unlinkat(m_folder, m_temporary.constData(), 0);
    }
    if (renamed != 0)
        return errno == EEXIST ? keepBoth() : fail(errno);
    m_temporary.clear();
    // A file system that writes late says so here at the latest.
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(errno);
    // The new name on the disk too.
    ::fsync(m_folder);
    closeHandles();
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
    const QString kept = QDir::toNativeSeparators(keptFileName());
    QString became;
    if (m_damaged)
        became = kept.isEmpty() ? QStringLiteral("The file may be damaged.")
                                : QStringLiteral("The file may be damaged; what was saved is in %1.").arg(kept);
    else if (!kept.isEmpty())
        became = QStringLiteral("What is under its name now was left as it is; what was saved is in %1.").arg(kept);
    else
        became = m_found.exists ? QStringLiteral("The file keeps what it held before.")
                                : QStringLiteral("No file was left under its name.");
    return QStringLiteral("%1 could not be written: %2. %3").arg(name, m_error, became);
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
