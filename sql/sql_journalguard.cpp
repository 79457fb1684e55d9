#include "sql/sql_journalguard.h"

#include "app/app_log.h"
#include "app/app_regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using AppRegularFile::folderOf;
using AppRegularFile::groupName;
using AppRegularFile::userName;

const char *const suffixes[] = { "-journal", "-wal", "-shm" };
// Those that hold changes to be played into the database: its index is
// rebuilt by SQLite from the log whenever no one has it open.
const char *const changeSuffixes[] = { "-journal", "-wal" };

// The last refusal on this thread, and the database file it concerns.
struct Refusal
{
    QByteArray database;
    QString text;
};
thread_local Refusal lastRefusal;

// The first since the database's files were last opened as they should be:
// what SQLite tries next (a journal it then takes for hot, say) follows from it.
void refuse(const QByteArray &database, const QString &text)
{
    if (lastRefusal.database != database || lastRefusal.text.isEmpty())
        lastRefusal = { database, text };
}

// A file of the database opened as it should be: what was refused before is past.
void accepted(const QByteArray &database)
{
    if (lastRefusal.database == database)
        lastRefusal = Refusal();
}

std::function<void(const QString &, bool)> &aroundOpen()
{
    static std::function<void(const QString &, bool)> hook;
    return hook;
}

bool holdsChanges(const QByteArray &name)
{
    for (const char *suffix : changeSuffixes)
        if (name.endsWith(suffix))
            return true;
    return false;
}

// Whether someone else may rename the user's files in the folder: its owner,
// when another user (the superuser may do anything anyway), and its group
// or everyone where they may write it and no sticky bit keeps each file for
// its owner.
bool othersMayMove(const struct stat &folder)
{
    if (folder.st_uid != ::geteuid() && folder.st_uid != 0)
        return true;
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) && !(folder.st_mode & S_ISVTX);
}

// A write stamps a file's modification and change times alike; a rename, a
// name made or removed, a new owner or new permissions stamp the change
// time alone.
bool changedSinceWritten(const struct stat &file)
{
    return file.st_ctim.tv_sec > file.st_mtim.tv_sec
        || (file.st_ctim.tv_sec == file.st_mtim.tv_sec && file.st_ctim.tv_nsec > file.st_mtim.tv_nsec);
}

// Permissions as a listing of files shows them ("rw-rw-r--").
QString permissionsText(mode_t mode)
{
    const char letters[] = "rwxrwxrwx";
    QString text;
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text;
}

// Whether `user` belongs to `group`: this process by the groups it acts
// with, another user by the system's lists (one it does not know is in none).
bool isMember(uid_t user, gid_t group)
{
    std::vector<gid_t> groups;
    if (user == ::geteuid()) {
        if (::getegid() == group)
            return true;
        const int count = ::getgroups(0, nullptr);
        groups.resize(size_t(qMax(count, 0)));
        if (count <= 0 || ::getgroups(count, groups.data()) != count)
            return false;
    } else {
        struct passwd entry = {};
        struct passwd *found = nullptr;
        QByteArray buffer(16384, '\0');
        if (::getpwuid_r(user, &entry, buffer.data(), size_t(buffer.size()), &found) != 0 || !found)
            return false;
        if (found->pw_gid == group)
            return true;
        int count = 64;
        for (int tries = 0; tries < 4; ++tries) {
            groups.resize(size_t(count));
            const int asked = count;
            if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) >= 0) {
                groups.resize(size_t(count));
                break;
            }
            if (count <= asked)
                count = asked * 16;
            groups.clear();
        }
    }
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// Whether `user` may write the file of status `file`: as its owner (who may
// give themself any permission), as a member of its group, or as anyone.
bool mayWrite(uid_t user, const struct stat &file)
{
    return user == file.st_uid || (file.st_mode & S_IWOTH) || ((file.st_mode & S_IWGRP) && isMember(user, file.st_gid));
}

// Whether the file `found` lets someone do what `bit` of "others" says (to
// write: S_IWOTH, to read: S_IROTH) who may not do so to the database file
// `database`. Its owner is judged apart. A group other than the database
// file's is taken as one whose members may not.
bool grantsMore(const struct stat &found, const struct stat &database, mode_t bit)
{
    const mode_t groupBit = bit << 3;
    const bool everyone = database.st_mode & bit;
    if ((found.st_mode & groupBit) && !everyone && !(found.st_gid == database.st_gid && (database.st_mode & groupBit)))
        return true;
    return (found.st_mode & bit) && !everyone;
}

// What the person can do about the file `found`, named `name`, in the
// folder `folder` (at `folderPath`), which holds no change the database
// file may need: remove it where the user may, or else ask who may, or do
// without the folder.
QString whatToDo(const QString &name, const QByteArray &folderPath, const struct stat &folder, const struct stat &found,
    bool opening)
{
    const uid_t me = ::geteuid();
    const QString doWithout = QStringLiteral("or move the database file to a folder that only you may write, and "
                                             "open it there.");
    if (::faccessat(AT_FDCWD, folderPath.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return QStringLiteral("You may not remove %1 or move it aside, since you may not write its folder. Ask its "
                              "owner (%2) or an administrator to remove it, %3")
            .arg(name, userName(found.st_uid), doWithout);
    if ((folder.st_mode & S_ISVTX) && me != 0 && found.st_uid != me && folder.st_uid != me)
        return QStringLiteral("You may not remove %1 or move it aside: in this sticky folder only its owner (%2), "
                              "the folder's owner or an administrator may. Ask one of them to remove it, %3")
            .arg(name, userName(found.st_uid), doWithout);
    const QString again = opening ? QStringLiteral("open the file again") : QStringLiteral("try again");
    return QStringLiteral("Remove %1, or move it aside, and %2.").arg(name, again);
}

// Why a journal or log of someone who may write the database, which may
// hold a change the file needs to be whole, is not used: never by removing it.
enum class Held {
    OthersWrite, // others who may not write the database may have changed it
    OthersRead, // others who may not read the database may read it
    SecondName, // whoever holds its other name may have changed it
    Moved, // it may have been taken away and put back, to undo later saves
};

// `change`: it may hold a change; else it is a log, or a log's index, that a
// program with the database file open may be using.
QString keepIt(Held why, const QByteArray &beside, const struct stat &found, const struct stat &database, bool opening,
    bool change)
{
    const QString again = opening ? QStringLiteral("open the file again") : QStringLiteral("try again");
    const QString give = found.st_uid == ::geteuid()
        ? QStringLiteral("give it")
        : QStringLiteral("ask its owner (%1) to give it").arg(userName(found.st_uid));
    const QString fit = QStringLiteral("%1 the group (%2) and the permissions (%3) of the database file, and %4.")
                            .arg(give, groupName(database.st_gid), permissionsText(database.st_mode), again);
    const QString keep = change ? QStringLiteral("Do not remove it or move it aside: it may hold a change that was "
                                                 "cut off, which the database file needs to be whole.")
                                : QStringLiteral("Do not remove it or move it aside: a program that has the database "
                                                 "file open may keep its log of changes through it, and those "
                                                 "changes would be lost.");
    switch (why) {
    case Held::OthersWrite:
        return keep
            + QStringLiteral(" Others who may not write the database file may have changed it, though. If "
                             "you trust everyone who may write it, ")
            + fit;
    case Held::OthersRead:
        return keep + QLatin1Char(' ') + fit.left(1).toUpper() + fit.mid(1);
    case Held::SecondName:
        break;
    case Held::Moved:
        // Where no one else may rename it, the database file is opened with it and the change played in.
        if (found.st_uid == ::geteuid())
            return keep
                + QStringLiteral(" It is yours, but it may also have been taken away and put back, and played in "
                                 "it would undo what was saved since. If you know it is a change of yours that was "
                                 "cut off, move the database file together with it to a folder that only you may "
                                 "write, and open the file there: that finishes the change.");
        return keep
            + QStringLiteral(" It is %1's, but it may also have been taken away and put back, and played in it "
                             "would undo what was saved since. If %1 knows it is a change of theirs that was cut "
                             "off, %1 can finish it: with the database file moved together with it to a folder "
                             "that only %1 may write, opening the file there as %1 does.")
                  .arg(userName(found.st_uid));
    }
    // A log put in its own place under a program that writes it would lose what that program writes next.
    const bool log = beside.endsWith("-wal") || beside.endsWith("-shm");
    return keep
        + QStringLiteral(" Whoever holds its other name may have changed it, though. If you trust them, %1"
                         "give it a name of its own (copy it, and put the copy in its place), and %2.")
              .arg(log ? QStringLiteral("once no program has the database file open, ") : QString(), again);
}

// Why the file `found` beside the database at `database`, named `beside`,
// is not used, as a person reads it; empty when it may be used. `opening`:
// the database is being opened, not in use already.
QString judgedFile(const QByteArray &database, const QByteArray &beside, const struct stat &found, bool opening)
{
    // Nothing beside the database may let anyone write or read what they may
    // not write or read in the database file itself: a journal someone else
    // may write may hold what that someone put in it, and one someone else
    // may read shows them the pages saved. Its owner, too, must be one who
    // may write the database (the user, the file's owner, a member of its
    // group where the group may write it): such a journal is the database's
    // own, cut off or still in use, and is played in as SQLite does for the
    // file's owner. A second name elsewhere may be held by anyone.
    const uid_t me = ::geteuid();
    struct stat file = {};
    if (::stat(database.constData(), &file) != 0) {
        file.st_uid = me;
        file.st_gid = gid_t(-1);
        file.st_mode = S_IFREG | S_IRUSR | S_IWUSR;
    }
    const QByteArray folderPath = folderOf(beside);
    struct stat folder = {};
    const bool folderKnown = ::stat(folderPath.constData(), &folder) == 0;
    const bool regular = S_ISREG(found.st_mode);
    const bool writersOwn = found.st_uid == me || found.st_uid == file.st_uid || mayWrite(found.st_uid, file);
    const bool mayHoldChange = regular && writersOwn && holdsChanges(beside) && found.st_size > 0;
    // A log of changes, empty as it may be, and its index, of someone who may write the database: a program of
    // theirs may have them open, and goes on writing its changes into what was removed.
    const bool ofALog = regular && writersOwn && (beside.endsWith("-wal") || beside.endsWith("-shm"));
    const QString name = QDir::toNativeSeparators(QFile::decodeName(beside));
    const QString databaseName = QDir::toNativeSeparators(QFile::decodeName(database));
    const QString state = opening ? QStringLiteral("is not opened") : QStringLiteral("is not read or written now");
    QString what;
    Held held = Held::OthersWrite;
    if (!regular) {
        what = AppRegularFile::kind(found.st_mode);
        if (what.isEmpty())
            what = QStringLiteral("no regular file");
    } else if (!writersOwn) {
        what = QStringLiteral("a file of another user's");
    } else if (found.st_nlink > 1) {
        what = QStringLiteral("a file with a second name (a hard link)");
        held = Held::SecondName;
    } else if (grantsMore(found, file, S_IWOTH)) {
        what = QStringLiteral("a file that others may write");
        held = Held::OthersWrite;
    } else if (grantsMore(found, file, S_IROTH)) {
        what = QStringLiteral("a file that others may read who may not read the database file");
        held = Held::OthersRead;
    } else if (holdsChanges(beside) && found.st_size > 0 && changedSinceWritten(found) && folderKnown
        && othersMayMove(folder)) {
        // Taken away while a save ended (so that it could not be removed) and
        // put back after later saves, it would take the file back to before them.
        held = Held::Moved;
        what = QStringLiteral("a file of changes that was moved or renamed after it was last written, in a folder "
                              "where others may do so");
    } else if (mayHoldChange && found.st_uid != me
        && ::faccessat(AT_FDCWD, beside.constData(), R_OK | W_OK, AT_EACCESS) != 0) {
        // Another writer's change, which SQLite finishes only where it may write it.
        const QString owner = userName(found.st_uid);
        return QStringLiteral("The database file\n%1\n%2: beside it lies %3, a change of %4's to it that is not "
                              "finished, which you may not write. Nothing was read from the database or written to "
                              "it. Do not remove it or move it aside: the database file needs it to be whole. The "
                              "change is finished when %4's program closes the database file or, where that program "
                              "was cut off, when the database file is opened as %4.")
            .arg(databaseName, state, name, owner);
    }
    if (what.isEmpty())
        return QString();
    // Removed, a file that may hold a change would lose it, or leave the database file damaged.
    const QString advice = mayHoldChange || ofALog ? keepIt(held, beside, found, file, opening, mayHoldChange)
                                                   : whatToDo(name, folderPath, folder, found, opening);
    return QStringLiteral("The database file\n%1\n%2: beside it lies %3, %4, which would be taken for changes of the "
                          "database's own and written into it. Nothing was read from the database or written to "
                          "it. %5")
        .arg(databaseName, state, name, what, advice);
}

// As judgedFile(), for what the name holds now; empty when it holds nothing.
QString judged(const QByteArray &database, const QByteArray &beside, bool opening)
{
    struct stat found = {};
    if (::lstat(beside.constData(), &found) != 0)
        return QString();
    return judgedFile(database, beside, found, opening);
}

// As judged(), for each of the files that may lie beside the database at
// `database` as it is opened: the first refusal, or empty.
QString judgedBeside(const QByteArray &database)
{
    for (const char *suffix : suffixes) {
        const QString refused = judged(database, database + suffix, true);
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
QString refusalOnOpen(const QByteArray &opened, int flags)
{
    if (flags & SQLITE_OPEN_MAIN_DB)
        return judgedBeside(opened);
    if (flags & SQLITE_OPEN_MAIN_JOURNAL)
        return judged(databaseOf(opened), opened, false);
    if (flags & SQLITE_OPEN_WAL) {
        const QByteArray database = databaseOf(opened);
        const QString refused = judged(database, opened, false);
        return refused.isEmpty() ? judged(database, database + "-shm", false) : refused;
    }
    return QString();
}

// Files the guard notes, as every connection's thread sees them. Never
// destroyed: a connection closed as the program ends still uses them.
template<typename Entry> struct NotedFiles
{
    std::mutex lock;
    std::vector<Entry> files;
};
template<typename Entry> NotedFiles<Entry> &noted()
{
    static auto *all = new NotedFiles<Entry>;
    return *all;
}

// The journals and logs SQLite writes, each also by a handle of the guard's
// own (the same open file), until SQLite removes it by its name.
struct Kept
{
    QByteArray name;
    int handle;
};

void keep(const QByteArray &name, int fd)
{
    const int handle = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (handle < 0)
        return;
    std::lock_guard<std::mutex> hold(noted<Kept>().lock);
    for (Kept &one : noted<Kept>().files) {
        if (one.name == name) {
            ::close(one.handle);
            one.handle = handle;
            return;
        }
    }
    noted<Kept>().files.push_back({ name, handle });
}

int takeKept(const QByteArray &name)
{
    std::lock_guard<std::mutex> hold(noted<Kept>().lock);
    std::vector<Kept> &files = noted<Kept>().files;
    for (auto one = files.begin(); one != files.end(); ++one) {
        if (one->name == name) {
            const int handle = one->handle;
            files.erase(one);
            return handle;
        }
    }
    return -1;
}

sqlite3_vfs guard;

int guardedOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *base = static_cast<sqlite3_vfs *>(vfs->pAppData);
    const QByteArray opened(name ? name : "");
    const QString refused = name ? refusalOnOpen(opened, flags) : QString();
    if (!refused.isEmpty()) {
        refuse(flags & SQLITE_OPEN_MAIN_DB ? opened : databaseOf(opened), refused);
        return SQLITE_CANTOPEN;
    }
    if (aroundOpen() && name && (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)))
        aroundOpen()(QFile::decodeName(name), false);
    // What is put there from now on is judged as it is opened (guardedSystemOpen).
    const int result = base->xOpen(base, name, file, flags, outFlags);
    if (result == SQLITE_OK && name && (flags & SQLITE_OPEN_MAIN_DB))
        accepted(opened);
    return result;
}

using SystemOpen = int (*)(const char *, int, int);
SystemOpen systemOpen = nullptr;
using SystemFchmod = int (*)(int, mode_t);
SystemFchmod systemFchmod = nullptr;

// The files beside a database that the guard made with less than the
// database file's permissions, since the user could not give them its
// group: what they may have, whatever SQLite asks for afterwards.
struct Narrowed
{
    dev_t device;
    ino_t inode;
    mode_t allowed;
};

// A journal, log or index just made beside the database file of status
// `database`, given that file's group and permissions: SQLite gives it the
// permissions alone, and a folder that passes its group on to what is made
// in it (set-group-ID, as a group's shared folder is) would let that
// group's members write or read it, though they may not write or read the
// database. Where the user may not give it that group, its group may do no
// more than everyone may do to the database file.
void fitToDatabase(int fd, const struct stat &database)
{
    struct stat made = {};
    if (::fstat(fd, &made) != 0)
        return;
    mode_t allowed = database.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    if (made.st_gid != database.st_gid && ::fchown(fd, uid_t(-1), database.st_gid) != 0) {
        allowed &= ~S_IRWXG | mode_t((database.st_mode & S_IRWXO) << 3);
        // SQLite sets the permissions right after the open: only the latest are needed.
        std::lock_guard<std::mutex> hold(noted<Narrowed>().lock);
        std::vector<Narrowed> &files = noted<Narrowed>().files;
        if (files.size() >= 64)
            files.erase(files.begin());
        files.push_back({ made.st_dev, made.st_ino, allowed });
    }
    ::fchmod(fd, allowed | S_IRUSR | S_IWUSR);
}

// SQLite gives an empty journal, log or index it opens the database file's
// permissions; one the guard made narrower keeps no more than it has.
int guardedFchmod(int fd, mode_t mode)
{
    struct stat file = {};
    if (::fstat(fd, &file) == 0) {
        std::lock_guard<std::mutex> hold(noted<Narrowed>().lock);
        for (const Narrowed &one : noted<Narrowed>().files)
            if (one.device == file.st_dev && one.inode == file.st_ino)
                mode &= one.allowed | S_IRUSR | S_IWUSR;
    }
    return systemFchmod(fd, mode);
}

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
    const int guarded = flags | O_NOFOLLOW | O_NONBLOCK;
    int fd = -1;
    bool made = false;
    if (flags & O_CREAT) {
        // One that is not there yet is made for the user alone, and no one
        // else can open it before it has what the database file has.
        for (int tries = 0; tries < 8; ++tries) {
            fd = systemOpen(name, guarded | O_EXCL, mode & S_IRWXU);
            made = fd >= 0;
            if (fd >= 0 || errno != EEXIST)
                break;
            fd = systemOpen(name, guarded & ~O_CREAT, mode);
            if (fd >= 0 || errno != ENOENT)
                break;
        }
    } else {
        fd = systemOpen(name, guarded, mode);
    }
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENXIO)
            refuse(database, judged(database, opened, false));
        errno = error;
        return fd;
    }
    if (made)
        fitToDatabase(fd, file);
    if (aroundOpen())
        aroundOpen()(QFile::decodeName(opened), true);
    struct stat found = {};
    const QString refused = ::fstat(fd, &found) == 0 ? judgedFile(database, opened, found, false)
                                                     : QString::fromLocal8Bit(std::strerror(errno));
    if (refused.isEmpty()) {
        if (!(flags & O_NONBLOCK))
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (holdsChanges(opened) && (flags & O_ACCMODE) != O_RDONLY)
            keep(opened, fd);
        accepted(database);
        return fd;
    }
    ::close(fd);
    refuse(database, refused);
    errno = EACCES;
    return -1;
}

using SystemUnlink = int (*)(const char *);
SystemUnlink systemUnlink = nullptr;

// SQLite ends a change by removing its journal by name (and a log, once all
// of it is in the database). Whoever may rename files in the folder may
// have taken it away meanwhile under another name, to put it back after
// later saves, when played in it would undo them; the removal would then
// fail, and the save that is stored be told as failed. So it is emptied
// first, through the file SQLite wrote, wherever it is now: nothing is left
// of it to play in, under any name, and the change is stored. Only what the
// name still holds of it is removed: anything put there since is not SQLite's.
int guardedUnlink(const char *name)
{
    const QByteArray removed(name ? name : "");
    const int handle = takeKept(removed);
    if (handle < 0)
        return systemUnlink(name);
    struct stat written = {};
    struct stat now = {};
    const bool emptied = ::ftruncate(handle, 0) == 0 && ::fstat(handle, &written) == 0;
    ::close(handle);
    if (!emptied)
        return systemUnlink(name);
    if (::lstat(name, &now) == 0 && now.st_dev == written.st_dev && now.st_ino == written.st_ino) {
        // Empty, it holds nothing to play in, removed or not.
        systemUnlink(name);
        return 0;
    }
    qCWarning(lcSql).noquote() << QStringLiteral("%1 was taken away from its name before the change it held was "
                                                 "done; it was emptied where it is now")
                                      .arg(QDir::toNativeSeparators(QFile::decodeName(removed)));
    return 0;
}

using SystemFchown = int (*)(int, uid_t, gid_t);
SystemFchown systemFchown = nullptr;

// Run by the superuser, SQLite gives each journal and log it opens the
// database file's owner, also when it has that owner already: a change of
// nothing, which would stamp it as changed since it was last written.
int guardedFchown(int fd, uid_t owner, gid_t group)
{
    struct stat now = {};
    if (::fstat(fd, &now) == 0 && (owner == uid_t(-1) || now.st_uid == owner)
        && (group == gid_t(-1) || now.st_gid == group))
        return 0;
    return systemFchown(fd, owner, group);
}

// One of the system's calls of SQLite's default file layer in place of the
// system's own: the system's is kept in `system`.
template<typename Call> bool replaceCall(sqlite3_vfs *base, const char *name, Call *system, Call guarded)
{
    *system = reinterpret_cast<Call>(base->xGetSystemCall(base, name));
    return *system && base->xSetSystemCall(base, name, reinterpret_cast<sqlite3_syscall_ptr>(guarded)) == SQLITE_OK;
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
        if (!replaceCall(base, "open", &systemOpen, guardedSystemOpen)
            || !replaceCall(base, "unlink", &systemUnlink, guardedUnlink)
            || !replaceCall(base, "fchown", &systemFchown, guardedFchown)
            || !replaceCall(base, "fchmod", &systemFchmod, guardedFchmod))
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
    Refusal refused;
    std::swap(refused, lastRefusal);
    return refused.text;
}

QString takeRefusal(const QString &path)
{
    const QString database = QFileInfo(path).canonicalFilePath();
    if (lastRefusal.text.isEmpty() || database.isEmpty()
        || QFileInfo(QFile::decodeName(lastRefusal.database)).canonicalFilePath() != database)
        return QString();
    return takeRefusal();
}

} // namespace SqlJournalGuard
