#include "sql/sql_accessreader.h"

#include "app/app_accessreadercontract.h"
#include "app/app_helperlimits.h"
#include "app/app_helperrunner.h"
#include "app/app_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Exit = AppAccessReaderContract::Exit;

// The copy folders, and the lock file in each that its program holds while it lives.
const char *const copyFolderPattern = "vornakel-access-";
const char *const ownerFile = "owner.lock";

// The names the folder holds, read through its descriptor.
QList<QByteArray> entries(int folder)
{
    QList<QByteArray> names;
    const int listed = ::dup(folder);
    DIR *listing = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!listing) {
        if (listed >= 0)
            ::close(listed);
        return names;
    }
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(listing);
    return names;
}

// Removes what the folder holds, through its descriptor: a link is removed,
// never followed, and a folder is opened only when it is one (not a link
// put in its place since it was listed).
void removeContents(int folder, int depth)
{
    const QList<QByteArray> names = entries(folder);
    for (const QByteArray &name : names) {
        if (::unlinkat(folder, name.constData(), 0) == 0 || errno != EISDIR || depth > 16)
            continue;
        const int inner = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner < 0)
            continue;
        removeContents(inner, depth + 1);
        ::close(inner);
        ::unlinkat(folder, name.constData(), AT_REMOVEDIR);
    }
}

// Removes the copy folders of imports whose program is gone. Only a folder
// of this user's, never one reached through a link; only when its lock is a
// regular file of this user's (a named pipe there would keep an open waiting
// for ever) that nothing holds. The lock stays taken while the folder goes,
// so that no other import judges it meanwhile.
void removeStaleFolders(int base)
{
    const uid_t user = ::geteuid();
    const QList<QByteArray> names = entries(base);
    for (const QByteArray &name : names) {
        if (!name.startsWith(copyFolderPattern))
            continue;
        const int folder = ::openat(base, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0)
            continue;
        struct stat status = {};
        struct stat lockStatus = {};
        int owner = -1;
        // Without its lock it is being made right now, or is no folder of ours.
        if (::fstat(folder, &status) == 0 && status.st_uid == user
            && ::fstatat(folder, ownerFile, &lockStatus, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(lockStatus.st_mode)
            && lockStatus.st_uid == user)
            owner = ::openat(folder, ownerFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat opened = {};
        // The file opened is the one judged, and only its owner's death frees its lock.
        if (owner >= 0 && ::fstat(owner, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == lockStatus.st_ino
            && opened.st_dev == lockStatus.st_dev && ::flock(owner, LOCK_EX | LOCK_NB) == 0) {
            removeContents(folder, 0);
            // Refused if the name has meanwhile become something else.
            ::unlinkat(base, name.constData(), AT_REMOVEDIR);
        }
        if (owner >= 0)
            ::close(owner);
        ::close(folder);
    }
}

// How many warnings are quoted, and how much of each.
constexpr int quotedWarnings = 3;
constexpr int quotedWidth = 200;

qint64 setting(const char *key, qint64 fallback, qint64 least, qint64 most)
{
    bool ok = false;
    const qint64 value = QSettings().value(QLatin1String(key), fallback).toLongLong(&ok);
    return ok ? qBound(least, value, most) : fallback;
}

bool isOwnWarning(const QByteArray &line)
{
    return line.startsWith(AppAccessReaderContract::ownWarning);
}

// Whether a line of the library's starts a warning: it goes on with a dump
// of the bytes it speaks of ("0000x  4d 52 32 ..."), and with indented or
// empty lines.
bool startsWarning(const QByteArray &line)
{
    static const QRegularExpression dump(QStringLiteral("^[0-9a-fA-F]+x\\s"));
    return !line.isEmpty() && !std::isspace(static_cast<unsigned char>(line.at(0))) && !isOwnWarning(line)
        && !dump.match(QString::fromLatin1(line)).hasMatch();
}

// The driver's library (GLib) ends so when an allocation fails, for
// whatever size the file made it ask for: the file asked for more memory
// than the reader was given, however near its cap it was.
bool libraryOutOfMemory(const AppHelperRunner::Result &ran)
{
    return ran.ending == AppHelperRunner::Ending::Crashed && (ran.signal == SIGABRT || ran.signal == SIGTRAP)
        && ran.lastWarning.contains("GLib") && ran.lastWarning.contains("failed to allocate");
}

// The line as printable text in one line: what cannot be shown becomes a
// blank, and a long one is cut.
QString printable(const QByteArray &line)
{
    QString text = QString::fromUtf8(line);
    for (QChar &c : text)
        if (!c.isPrint() || c == QChar::ReplacementCharacter)
            c = QLatin1Char(' ');
    text = text.simplified();
    return text.size() > quotedWidth ? AppText::leftWhole(text, quotedWidth) + QStringLiteral("...") : text;
}

} // namespace

QString SqlAccessReader::driverName()
{
    return QSettings()
        .value(QLatin1String(driverKey), QLatin1String(AppAccessReaderContract::defaultDriver))
        .toString();
}

QString SqlAccessReader::driverPackage()
{
    return QStringLiteral("odbc-mdbtools");
}

SqlAccessReader::SqlAccessReader(QObject *parent) : QObject(parent)
{
    connect(&m_runner, &AppHelperRunner::ended, this, [this]() {
        m_result = interpret(m_runner.result(), m_tables);
        emit ended();
    });
}

SqlAccessReader::~SqlAccessReader() = default;

void SqlAccessReader::startCheck(const QString &file)
{
    start({ QLatin1String(AppAccessReaderContract::checkMode), file }, checkTimeLimitKey,
        AppAccessReaderContract::defaultCheckSeconds, QStringList());
}

void SqlAccessReader::startCopy(const QString &file, const QString &copy, const QStringList &tables)
{
    start(QStringList { QLatin1String(AppAccessReaderContract::copyMode), file, copy } + tables, timeLimitKey,
        AppAccessReaderContract::defaultSeconds, tables);
}

void SqlAccessReader::stop()
{
    m_runner.stop();
}

void SqlAccessReader::start(const QStringList &arguments, const char *timeKey, int seconds, const QStringList &tables)
{
    AppHelperRunner::Limits limits;
    limits.timeMs = 1000 * setting(timeKey, seconds, 1, AppHelperLimits::maxTimeMs / 1000);
    limits.memoryMiB
        = setting(memoryLimitKey, AppAccessReaderContract::defaultMemoryMiB, 64, AppHelperLimits::maxMemoryMiB);
    m_tables = tables;
    m_result = Result();
    m_runner.start(QLatin1String(AppAccessReaderContract::program),
        arguments + QStringList { QLatin1String(AppAccessReaderContract::driverOption), driverName() }, limits);
}

SqlAccessReader::Result SqlAccessReader::interpret(const AppHelperRunner::Result &ran, const QStringList &tables)
{
    Result result;
    // The reader's own lines come last, where the last lines kept hold them.
    int own = 0;
    for (const QByteArray &line : ran.warningsTail.split('\n')) {
        if (!isOwnWarning(line))
            continue;
        ++own;
        const QByteArray warning = line.mid(int(qstrlen(AppAccessReaderContract::ownWarning)));
        const QString text = QString::fromUtf8(warning);
        const auto asked = std::find_if(tables.cbegin(), tables.cend(), [&text](const QString &table) {
            return text.startsWith(AppAccessReaderContract::uncopiedTablePrefix(table), Qt::CaseInsensitive);
        });
        if (asked != tables.cend())
            result.uncopiedTables.insert(
                *asked, text.mid(AppAccessReaderContract::uncopiedTablePrefix(*asked).size()).trimmed());
        else
            result.readerWarnings << printable(warning);
    }
    // Of the library's lines, those that go on a warning are no warnings of
    // their own; beyond the first bytes kept, every line counts.
    int goingOn = 0;
    QList<QByteArray> head = ran.warnings.split('\n');
    if (ran.warnings.endsWith('\n'))
        head.removeLast();
    for (const QByteArray &line : qAsConst(head)) {
        if (isOwnWarning(line))
            continue;
        if (!startsWarning(line))
            ++goingOn;
        else if (result.firstWarnings.size() < quotedWarnings)
            result.firstWarnings << printable(line);
    }
    result.warnings = qMax<qint64>(0, ran.warningLines - own - goingOn);
    const QString said = QString::fromUtf8(ran.output).simplified();
    result.outcome = Outcome::Failed;
    if (ran.ending == AppHelperRunner::Ending::NotStarted) {
        result.outcome = Outcome::NotStarted;
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
    } else if (ran.ending == AppHelperRunner::Ending::Killed || ran.ending == AppHelperRunner::Ending::Stopped) {
        result.outcome = Outcome::Stopped;
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
    } else if (libraryOutOfMemory(ran)) {
        AppHelperRunner::Result memory = ran;
        memory.ending = AppHelperRunner::Ending::MemoryLimit;
        result.reason = QStringLiteral("the reader %1").arg(memory.how());
    } else if (ran.ending != AppHelperRunner::Ending::Finished) {
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
    } else if (ran.exitCode == int(Exit::Done)) {
        result.outcome = Outcome::Read;
    } else if (ran.exitCode == int(Exit::DriverMissing)) {
        result.outcome = Outcome::DriverMissing;
        result.reason = said;
    } else if (ran.exitCode == int(Exit::Failed) && !said.isEmpty()) {
        result.reason = said;
    } else if (ran.exitCode == int(Exit::Usage)) {
        result.reason = QStringLiteral("the reader did not take its arguments (%1)").arg(said);
    } else {
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
    }
    return result;
}

QString SqlAccessReader::unreadable(const QString &file, const Result &result)
{
    const QString name = QDir::toNativeSeparators(file);
    // A reason of the reader's may end a sentence of its own.
    QString reason = result.reason;
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    switch (result.outcome) {
    case Outcome::Read:
        return QString();
    case Outcome::DriverMissing:
        return QStringLiteral("%1 could not be read: %2; install the package %3.").arg(name, reason, driverPackage());
    case Outcome::NotStarted:
    case Outcome::Stopped:
        return QStringLiteral("%1 could not be read: %2.").arg(name, reason);
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("%1 could not be read: %2 (the file may be damaged).").arg(name, reason);
}

QString SqlAccessReader::warned(const QString &file, const Result &result)
{
    const QString name = QDir::toNativeSeparators(file);
    QStringList lines;
    if (result.warnings > 0) {
        QString text = QStringLiteral("%1: the file gave %2 %3 while it was read; it may be damaged")
                           .arg(name)
                           .arg(result.warnings)
                           .arg(QLatin1String(result.warnings == 1 ? "warning" : "warnings"));
        if (!result.firstWarnings.isEmpty())
            text += QStringLiteral(". %1:\n%2")
                        .arg(QLatin1String(result.firstWarnings.size() == 1 ? "It" : "The first"),
                            result.firstWarnings.join(QLatin1Char('\n')));
        lines << text;
    }
    for (const QString &warning : result.readerWarnings)
        lines << QStringLiteral("%1: %2; the file may be damaged").arg(name, warning);
    return lines.join(QLatin1Char('\n'));
}

QString SqlAccessReader::CopyFolder::baseFolder(QString *why)
{
    // A relative folder in these variables is no folder at all, as the XDG
    // rules have it: it would name a folder below wherever the program was started.
    QStringList candidates;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime))
        candidates << runtime;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) {
        const QString home = qEnvironmentVariable("HOME");
        cache = QDir::isAbsolutePath(home) ? home + QStringLiteral("/.cache") : QString();
    }
    if (!cache.isEmpty())
        candidates << cache;
    QStringList refused;
    for (const QString &candidate : qAsConst(candidates)) {
        const QByteArray encoded = QFile::encodeName(candidate);
        // The cache folder may not exist yet; made, it is the user's alone.
        if (candidate == cache && ::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
            refused
                << QStringLiteral("%1 cannot be made: %2").arg(candidate, QString::fromLocal8Bit(std::strerror(errno)));
            continue;
        }
        const int folder = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat status = {};
        const bool found = folder >= 0 && ::fstat(folder, &status) == 0;
        const int error = errno;
        if (folder >= 0)
            ::close(folder);
        if (!found)
            refused << QStringLiteral("%1 cannot be opened: %2")
                           .arg(candidate, QString::fromLocal8Bit(std::strerror(error)));
        else if (status.st_uid != ::geteuid())
            refused << QStringLiteral("%1 belongs to another user").arg(candidate);
        else if (status.st_mode & (S_IWGRP | S_IWOTH))
            refused << QStringLiteral("%1 may be written by other users").arg(candidate);
        else
            return candidate;
    }
    if (why)
        *why = refused.isEmpty() ? QStringLiteral("neither $XDG_RUNTIME_DIR nor a cache folder is known")
                                 : refused.join(QStringLiteral("; "));
    return QString();
}

SqlAccessReader::CopyFolder::CopyFolder()
{
    QString why;
    const QString base = baseFolder(&why);
    if (base.isEmpty()) {
        m_error = QStringLiteral("no folder of this user's own for the copies: %1").arg(why);
        return;
    }
    // Everything below goes through this descriptor, never through the
    // path again, whatever becomes of the path meanwhile.
    m_base = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_base < 0) {
        m_error = QStringLiteral("%1 cannot be opened: %2").arg(base, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    removeStaleFolders(m_base);
    for (int attempt = 0; attempt < 100 && m_folder < 0; ++attempt) {
        const QString name = QLatin1String(copyFolderPattern)
            + QString::number(QRandomGenerator::global()->generate() & 0xffffff, 36)
                  .rightJustified(5, QLatin1Char('0'));
        const QByteArray encoded = QFile::encodeName(name);
        if (::mkdirat(m_base, encoded.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        const int folder = ::openat(m_base, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int owner = folder < 0
            ? -1
            : ::openat(folder, ownerFile, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        struct stat status = {};
        // Another import may have found the lock before it was taken, and
        // removed the folder as stale: then a new one is made.
        if (owner >= 0 && ::flock(owner, LOCK_EX | LOCK_NB) == 0 && ::fstat(owner, &status) == 0
            && status.st_nlink > 0) {
            const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
            if (::write(owner, pid.constData(), size_t(pid.size())) < 0) {
                // Only for a person who looks: the lock is what counts.
            }
            m_folder = folder;
            m_owner = owner;
            m_name = name;
            m_path = QDir(base).filePath(name);
            break;
        }
        if (owner >= 0)
            ::close(owner);
        if (folder >= 0) {
            removeContents(folder, 0);
            ::close(folder);
            ::unlinkat(m_base, encoded.constData(), AT_REMOVEDIR);
        }
    }
    if (m_folder < 0 && m_error.isEmpty())
        m_error = QStringLiteral("no copy folder could be made in %1: %2")
                      .arg(base, QString::fromLocal8Bit(std::strerror(errno)));
}

SqlAccessReader::CopyFolder::~CopyFolder()
{
    if (m_folder >= 0) {
        removeContents(m_folder, 0);
        ::close(m_folder);
        ::unlinkat(m_base, QFile::encodeName(m_name).constData(), AT_REMOVEDIR);
    }
    // Unlocked last, once the folder is gone.
    if (m_owner >= 0)
        ::close(m_owner);
    if (m_base >= 0)
        ::close(m_base);
}

QString SqlAccessReader::CopyFolder::filePath(const QString &name) const
{
    return m_path + QLatin1Char('/') + name;
}
