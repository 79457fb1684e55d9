#include "sql/sql_accessreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QTimer>

#include <cstring>

namespace {

// The reader's exit codes (app/main_accessreader.cpp).
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;
constexpr int exitDriverMissing = 3;

// How many warnings are quoted, and how much of each.
constexpr int quotedWarnings = 3;
constexpr int quotedWidth = 200;

// What is kept of one output channel of the reader: its lines are counted,
// but only its first bytes and its last line are kept, however much it writes.
class Channel
{
public:
    explicit Channel(int cap) : m_cap(cap) { }

    void add(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return;
        m_lines += bytes.count('\n');
        if (m_head.size() < m_cap)
            m_head.append(bytes.left(m_cap - m_head.size()));
        m_open = !bytes.endsWith('\n');
        // From the start of the last line that holds anything.
        m_last.append(bytes);
        int end = m_last.size();
        while (end > 0 && m_last.at(end - 1) == '\n')
            --end;
        if (end == 0) {
            m_last.clear();
            return;
        }
        m_last = m_last.mid(m_last.lastIndexOf('\n', end - 1) + 1).right(m_cap);
    }

    // Lines written, a last one without its line feed included.
    int lines() const { return m_lines + (m_open ? 1 : 0); }
    QByteArray head() const { return m_head; }
    QByteArray last() const { return m_last.trimmed(); }

private:
    int m_cap;
    int m_lines = 0;
    bool m_open = false;
    QByteArray m_head;
    QByteArray m_last;
};

int setting(const char *key, int fallback, int least)
{
    bool ok = false;
    const int value = QSettings().value(QLatin1String(key), fallback).toInt(&ok);
    return ok ? qMax(value, least) : fallback;
}

QString signalName(int signal)
{
    const char *name = strsignal(signal);
    return name ? QString::fromLocal8Bit(name) : QString::number(signal);
}

} // namespace

QString SqlAccessReader::driverName()
{
    return QSettings().value(QStringLiteral("import/odbcDriver"), QStringLiteral("MDBTools")).toString();
}

QString SqlAccessReader::driverPackage()
{
    return QStringLiteral("odbc-mdbtools");
}

QString SqlAccessReader::program()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vornakel_accessreader"));
}

SqlAccessReader::Result SqlAccessReader::check(const QString &file)
{
    return run({ QStringLiteral("check"), file });
}

SqlAccessReader::Result SqlAccessReader::copy(const QString &file, const QString &copy)
{
    return run({ QStringLiteral("copy"), file, copy });
}

SqlAccessReader::Result SqlAccessReader::run(const QStringList &arguments)
{
    const int seconds = setting(timeLimitKey, 60, 1);
    const int megabytes = setting(memoryLimitKey, 1024, 64);
    Result result;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
#if defined(__SANITIZE_ADDRESS__)
    // An instrumented reader cannot cap its address space, which the sanitizer
    // reserves by terabytes: its resident memory is capped instead, and a
    // finding in the driver's library ends it by a signal, as a crash would.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
        environment.value(QStringLiteral("ASAN_OPTIONS"))
            + QStringLiteral(":abort_on_error=1:allocator_may_return_null=1:soft_rss_limit_mb=%1").arg(megabytes));
    process.setProcessEnvironment(environment);
#endif
    Channel out(4096);
    Channel err(16384);
    QObject::connect(
        &process, &QProcess::readyReadStandardOutput, [&process, &out] { out.add(process.readAllStandardOutput()); });
    QObject::connect(
        &process, &QProcess::readyReadStandardError, [&process, &err] { err.add(process.readAllStandardError()); });
    process.start(program(),
        arguments
            + QStringList { QStringLiteral("--driver"), driverName(), QStringLiteral("--seconds"),
                QString::number(seconds), QStringLiteral("--memory"), QString::number(megabytes) },
        QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        result.reason = QStringLiteral("the reader %1 could not be started (%2)")
                            .arg(QDir::toNativeSeparators(program()), process.errorString());
        return result;
    }

    // Waited for in a loop of its own, so that the windows are repainted
    // while a file takes long; input waits, so that nothing starts anew.
    bool stopped = false;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&process, &stopped] {
        stopped = true;
        process.kill();
    });
    QObject::connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop, &QEventLoop::quit);
    limit.start(seconds * 1000);
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    out.add(process.readAllStandardOutput());
    err.add(process.readAllStandardError());

    result.warnings = err.lines();
    for (const QByteArray &line : err.head().split('\n')) {
        const QString text = QString::fromLocal8Bit(line).simplified();
        if (result.firstWarnings.size() < quotedWarnings && !text.isEmpty())
            result.firstWarnings << (text.size() > quotedWidth ? text.left(quotedWidth) + QStringLiteral("...") : text);
    }
    const QString said = QString::fromUtf8(out.head()).simplified();
    result.outcome = Outcome::Failed;
    if (stopped) {
        result.reason = QStringLiteral("the reader took longer than %1 s and was stopped").arg(seconds);
    } else if (process.exitStatus() == QProcess::CrashExit) {
        // Out of address space, the driver's library aborts and says so last.
        const QByteArray last = err.last();
        if (last.contains("allocate") || last.contains("out of memory"))
            result.reason = QStringLiteral("the reader needed more than %1 MiB of memory").arg(megabytes);
        else
            result.reason = QStringLiteral("the reader crashed (%1)").arg(signalName(process.exitCode()));
    } else if (process.exitCode() == 0) {
        result.outcome = Outcome::Read;
    } else if (process.exitCode() == exitDriverMissing) {
        result.outcome = Outcome::DriverMissing;
        result.reason = said;
    } else if (process.exitCode() == exitFailed && !said.isEmpty()) {
        result.reason = said;
    } else if (process.exitCode() == exitUsage) {
        result.reason = QStringLiteral("the reader did not take its arguments (%1)").arg(said);
    } else {
        result.reason = QStringLiteral("the reader ended with the code %1").arg(process.exitCode());
    }
    return result;
}

QString SqlAccessReader::unreadable(const QString &file, const Result &result)
{
    const QString name = QDir::toNativeSeparators(file);
    switch (result.outcome) {
    case Outcome::Read:
        return QString();
    case Outcome::DriverMissing:
        return QStringLiteral("%1 could not be read: %2; install the package %3")
            .arg(name, result.reason, driverPackage());
    case Outcome::NotStarted:
        return QStringLiteral("%1 could not be read: %2").arg(name, result.reason);
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("%1 could not be read: %2 (the file may be damaged)").arg(name, result.reason);
}

QString SqlAccessReader::warned(const QString &file, const Result &result)
{
    if (result.warnings == 0)
        return QString();
    QString text = QStringLiteral("%1: the file gave %2 %3 while it was read; it may be damaged")
                       .arg(QDir::toNativeSeparators(file))
                       .arg(result.warnings)
                       .arg(QLatin1String(result.warnings == 1 ? "warning" : "warnings"));
    if (!result.firstWarnings.isEmpty())
        text += QStringLiteral(". %1:\n%2")
                    .arg(QLatin1String(result.firstWarnings.size() == 1 ? "It" : "The first"),
                        result.firstWarnings.join(QLatin1Char('\n')));
    return text;
}
