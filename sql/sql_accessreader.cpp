#include "sql/sql_accessreader.h"

#include "app/app_accessreadercontract.h"
#include "app/app_helperlimits.h"
#include "app/app_helperrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cctype>

namespace {

using Exit = AppAccessReaderContract::Exit;

// The copy folders in the temporary folder, and the lock file in each that
// its program holds while it lives.
const char *const copyFolderPattern = "vornakel-access-";
const char *const ownerFile = "owner.lock";

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

// The line as printable text in one line: what cannot be shown becomes a
// blank, and a long one is cut.
QString printable(const QByteArray &line)
{
    QString text = QString::fromUtf8(line);
    for (QChar &c : text)
        if (!c.isPrint() || c == QChar::ReplacementCharacter)
            c = QLatin1Char(' ');
    text = text.simplified();
    return text.size() > quotedWidth ? text.left(quotedWidth) + QStringLiteral("...") : text;
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

SqlAccessReader::Result SqlAccessReader::check(const QString &file)
{
    return run({ QLatin1String(AppAccessReaderContract::checkMode), file }, checkTimeLimitKey,
        AppAccessReaderContract::defaultCheckSeconds);
}

SqlAccessReader::Result SqlAccessReader::copy(const QString &file, const QString &copy, const QStringList &tables)
{
    return run(QStringList { QLatin1String(AppAccessReaderContract::copyMode), file, copy } + tables, timeLimitKey,
        AppAccessReaderContract::defaultSeconds, tables);
}

SqlAccessReader::Result SqlAccessReader::run(
    const QStringList &arguments, const char *timeKey, int seconds, const QStringList &tables)
{
    AppHelperRunner::Limits limits;
    limits.timeMs = 1000 * setting(timeKey, seconds, 1, AppHelperLimits::maxTimeMs / 1000);
    limits.memoryMiB
        = setting(memoryLimitKey, AppAccessReaderContract::defaultMemoryMiB, 64, AppHelperLimits::maxMemoryMiB);
    const AppHelperRunner::Result ran = AppHelperRunner::run(QLatin1String(AppAccessReaderContract::program),
        arguments + QStringList { QLatin1String(AppAccessReaderContract::driverOption), driverName() }, limits);

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
    result.warnings = qMax(0, ran.warningLines - own - goingOn);
    const QString said = QString::fromUtf8(ran.output).simplified();
    result.outcome = Outcome::Failed;
    if (ran.ending == AppHelperRunner::Ending::NotStarted) {
        result.outcome = Outcome::NotStarted;
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
    } else if (ran.ending == AppHelperRunner::Ending::Killed || ran.ending == AppHelperRunner::Ending::Stopped) {
        result.outcome = Outcome::Stopped;
        result.reason = QStringLiteral("the reader %1").arg(ran.how());
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

SqlAccessReader::CopyFolder::CopyFolder()
{
    const QDir temp(QDir::tempPath());
    const QStringList folders = temp.entryList(
        { QLatin1String(copyFolderPattern) + QLatin1Char('*') }, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString &folder : folders) {
        const QString lock = temp.filePath(folder) + QLatin1Char('/') + QLatin1String(ownerFile);
        // Without its lock it is being made right now.
        if (!QFileInfo::exists(lock))
            continue;
        // Only the owner's death makes its lock stale, however old it is; a
        // lock another user's program holds cannot be taken either.
        QLockFile owner(lock);
        owner.setStaleLockTime(0);
        if (!owner.tryLock(0))
            continue;
        owner.unlock();
        QDir(temp.filePath(folder)).removeRecursively();
    }
    m_dir = std::make_unique<QTemporaryDir>(temp.filePath(QLatin1String(copyFolderPattern) + QStringLiteral("XXXXXX")));
    if (m_dir->isValid()) {
        m_owner = std::make_unique<QLockFile>(m_dir->filePath(QLatin1String(ownerFile)));
        m_owner->setStaleLockTime(0);
        m_owner->tryLock(0);
    }
}

SqlAccessReader::CopyFolder::~CopyFolder() = default;

bool SqlAccessReader::CopyFolder::isValid() const
{
    return m_dir->isValid();
}

QString SqlAccessReader::CopyFolder::errorString() const
{
    return m_dir->errorString();
}

QString SqlAccessReader::CopyFolder::filePath(const QString &name) const
{
    return m_dir->filePath(name);
}
