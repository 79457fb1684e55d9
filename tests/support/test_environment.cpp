#include "test_environment.h"

#include "app/app_constants.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

TestSettings::TestSettings()
{
    QCoreApplication::setOrganizationName(QLatin1String(AppKeys::organisation));
    QCoreApplication::setApplicationName(QLatin1String(AppKeys::application));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_dir.path() + QStringLiteral("/system"));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_dir.path() + QStringLiteral("/system"));
}

TestSettings::~TestSettings()
{
    clear();
}

void TestSettings::clear()
{
    QSettings().clear();
    QSettings().sync();
}

bool TestSettings::makeUnwritable()
{
    // A file where the organisation's folder would be: no settings file can be made below it.
    const QString organisation
        = m_dir.filePath(QString::fromLatin1(AppKeys::organisation).section(QLatin1Char('/'), 0, 0));
    QDir(organisation).removeRecursively();
    return testWriteFile(organisation, "no folder");
}

TestDatabaseFiles::TestDatabaseFiles() = default;

QString TestDatabaseFiles::path(const QString &fileName) const
{
    return m_dir.filePath(fileName);
}

TestModules::TestModules() = default;

QString TestModules::write(
    const QString &relPath, const QString &name, const QString &version, const QString &body, const QString &date)
{
    return writeRaw(relPath, text(name, version, body, date));
}

QString TestModules::text(const QString &name, const QString &version, const QString &body, const QString &date)
{
    return QStringLiteral("function getModuleName() { return \"%1\"; }\n"
                          "function getModuleVersion() { return \"%2\"; }\n"
                          "function getModuleDate() { return \"%3\"; }\n"
                          "function getModuleInteractionXml() { return \"\"; }\n"
                          "function getModuleUI() { return \"\"; }\n"
                          "function getModuleHTMLUI() { return \"\"; }\n")
               .arg(name, version, date)
        + body + QLatin1Char('\n');
}

QString TestModules::writeAddOn(const QString &relPath, const QString &name, const QString &version,
    const QString &formText, const QString &htmlPage, const QString &body)
{
    // Script string literals: backslashes, quotes and line ends escaped.
    auto literal = [](QString text) {
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        text.replace(QLatin1Char('"'), QLatin1String("\\\""));
        text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        return QLatin1Char('"') + text + QLatin1Char('"');
    };
    const QString text = QStringLiteral("function getModuleName() { return %1; }\n"
                                        "function getModuleVersion() { return %2; }\n"
                                        "function getModuleDate() { return \"20120412\"; }\n"
                                        "function getModuleInteractionXml() { return \"\"; }\n"
                                        "function getModuleUI() { return %3; }\n"
                                        "function getModuleHTMLUI() { return %4; }\n")
                             .arg(literal(name), literal(version), literal(formText), literal(htmlPage))
        + body + QLatin1Char('\n');
    return writeRaw(relPath, text);
}

QString TestModules::writeRaw(const QString &relPath, const QString &text)
{
    const QString file = m_dir.filePath(relPath);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QTextStream out(&f);
        out.setCodec("UTF-8");
        out << text;
    }
    return file;
}

QString TestModules::shippedModulesPath()
{
    return testSourceDir() + QStringLiteral("/modules");
}

TestStartFolder::TestStartFolder() : m_before(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TestStartFolder::~TestStartFolder()
{
    QDir::setCurrent(m_before);
}

TestVariable::TestVariable(const char *name, const QString &value)
    : m_name(name), m_before(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, QFile::encodeName(value));
}

TestVariable::TestVariable(const char *name, const QByteArray &bytes)
    : m_name(name), m_before(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
{
    if (bytes.isNull())
        qunsetenv(name);
    else
        qputenv(name, bytes);
}

TestVariable::~TestVariable()
{
    if (m_wasSet)
        qputenv(m_name, m_before);
    else
        qunsetenv(m_name);
}

bool testWriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray testReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QList<QByteArray> testNamesIn(const QString &folder)
{
    QList<QByteArray> names;
    DIR *entries = ::opendir(QFile::encodeName(folder).constData());
    if (!entries)
        return names;
    while (const struct dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(entries);
    std::sort(names.begin(), names.end());
    return names;
}

bool testSecondName(const QString &path, const QString &second)
{
    return ::link(QFile::encodeName(path).constData(), QFile::encodeName(second).constData()) == 0;
}

TestFileSizeLimit::TestFileSizeLimit(qint64 bytes)
{
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_before[0] = qint64(limit.rlim_cur);
    m_before[1] = qint64(limit.rlim_max);
    m_signal = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

TestFileSizeLimit::~TestFileSizeLimit()
{
    rlimit limit { rlim_t(m_before[0]), rlim_t(m_before[1]) };
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_signal);
}

QString TestFileSizeLimit::reason()
{
    return QString::fromLocal8Bit(std::strerror(EFBIG));
}

bool testCanGiveAway()
{
    return ::geteuid() == 0;
}

bool testGiveAway(const QString &path, bool group)
{
    return ::lchown(QFile::encodeName(path).constData(), group ? uid_t(-1) : uid_t(testOtherUser),
               group ? gid_t(testOtherUser) : gid_t(-1))
        == 0;
}

TestAsOtherUser::TestAsOtherUser() : TestAsOtherUser(testOtherUser, { testOtherUser }) { }

TestAsOtherUser::TestAsOtherUser(unsigned user, const std::vector<unsigned> &groups)
{
    const int count = ::getgroups(0, nullptr);
    m_groups.resize(size_t(qMax(count, 0)));
    if (groups.empty() || count < 0 || ::getgroups(count, m_groups.data()) != count)
        return;
    const std::vector<gid_t> acting(groups.begin(), groups.end());
    m_acting = ::setgroups(acting.size(), acting.data()) == 0 && ::setegid(acting.front()) == 0
        && ::seteuid(uid_t(user)) == 0;
}

TestAsOtherUser::~TestAsOtherUser()
{
    ::seteuid(::getuid());
    ::setegid(::getgid());
    ::setgroups(m_groups.size(), m_groups.data());
}

bool testMoveAwayAndBack(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat written = {};
    if (::stat(name.constData(), &written) != 0)
        return false;
    // The clock of files moves on in ticks: a write beside it that is stamped later shows it has passed.
    const QString probe = path + QStringLiteral(".clock");
    const auto later = [](const timespec &a, const timespec &b) {
        return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
    };
    bool passed = false;
    for (int attempt = 0; attempt < 1000000 && !passed; ++attempt) {
        struct stat now = {};
        passed = testWriteFile(probe, "tick") && ::stat(QFile::encodeName(probe).constData(), &now) == 0
            && later(now.st_mtim, written.st_mtim);
    }
    QFile::remove(probe);
    const QByteArray away = name + ".away";
    return passed && ::rename(name.constData(), away.constData()) == 0
        && ::rename(away.constData(), name.constData()) == 0;
}

QString testSourceDir()
{
    return QStringLiteral(VORNAKEL_SOURCE_DIR);
}

QString testBinaryDir()
{
    return QStringLiteral(VORNAKEL_BINARY_DIR);
}

int testSlowdown()
{
    return qMax(1, qEnvironmentVariableIntValue("VORNAKEL_TEST_SLOWDOWN"));
}

int testPatienceMs()
{
    return 60000 * testSlowdown();
}

qint64 testResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}
