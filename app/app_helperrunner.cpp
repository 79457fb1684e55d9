#include "app/app_helperrunner.h"

#include "app/app_helperlimits.h"
#include "app/app_log.h"
#include "app/app_number.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <csignal>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A process whose child sets its own limits between fork and exec, before
// any code of the helper runs.
class LimitedProcess : public QProcess
{
public:
    explicit LimitedProcess(qint64 cpuSeconds) : m_parent(getpid()), m_cpuSeconds(cpuSeconds) { }

protected:
    // In the child: system calls only.
    void setupChildProcess() override
    {
        // Killed with the thread that started it, which is the program's
        // window thread; a program already gone by now never set the signal.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != m_parent)
            _exit(127);
        AppHelperLimits::lower(RLIMIT_CORE, 0, 0);
        // The CPU limit a second after the clock's, so that the clock's
        // clearer word comes first; it still stops a helper whose program is
        // held (stopped in a debugger, say).
        if (m_cpuSeconds > 0)
            AppHelperLimits::lower(RLIMIT_CPU, rlim_t(m_cpuSeconds + 1), rlim_t(m_cpuSeconds + 2));
    }

private:
    const pid_t m_parent;
    const qint64 m_cpuSeconds;
};

QString signalName(int signal)
{
    const char *name = strsignal(signal);
    return name ? QString::fromLocal8Bit(name) : QString::number(signal);
}

// Signals that something outside sends to end a process, where a crash
// raises its own.
bool fromOutside(int signal)
{
    return signal == SIGKILL || signal == SIGTERM || signal == SIGINT || signal == SIGHUP;
}

} // namespace

void AppHelperRunner::Channel::add(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    lines += bytes.count('\n');
    if (head.size() < cap)
        head.append(bytes.left(cap - head.size()));
    open = !bytes.endsWith('\n');
    // The last whole lines that fit; of a last line longer than that, its end.
    tail.append(bytes);
    if (tail.size() > cap) {
        const int from = tail.size() - cap;
        const int start = from > 0 && tail.at(from - 1) == '\n' ? from : tail.indexOf('\n', from) + 1;
        tail = start > 0 && start < tail.size() ? tail.mid(start) : tail.right(cap);
    }
}

QByteArray AppHelperRunner::Channel::lastLine() const
{
    int end = tail.size();
    while (end > 0 && tail.at(end - 1) == '\n')
        --end;
    if (end == 0)
        return QByteArray();
    const int start = tail.lastIndexOf('\n', end - 1) + 1;
    return tail.mid(start, end - start).trimmed();
}

QString AppHelperRunner::Result::how() const
{
    switch (ending) {
    case Ending::NotStarted:
        return QStringLiteral("could not be started from %1 (%2)").arg(QDir::toNativeSeparators(program), error);
    case Ending::Finished:
        return QStringLiteral("ended with the code %1").arg(exitCode);
    case Ending::TimeLimit:
        return QStringLiteral("took longer than %1 s and was stopped").arg(AppNumber::secondsText(limits.timeMs));
    case Ending::MemoryLimit:
        return QStringLiteral("needed more than %1 MiB of memory").arg(limits.memoryMiB);
    case Ending::Killed:
        return QStringLiteral("was ended from outside (%1)").arg(signalName(signal));
    case Ending::Crashed:
        return QStringLiteral("crashed (%1)").arg(signalName(signal));
    case Ending::Stopped:
        break;
    }
    return QStringLiteral("was stopped before it ended");
}

AppHelperRunner::AppHelperRunner(QObject *parent) : QObject(parent)
{
    m_clock.setSingleShot(true);
    connect(&m_clock, &QTimer::timeout, this, [this]() {
        m_timedOut = true;
        m_process->kill();
    });
}

AppHelperRunner::~AppHelperRunner()
{
    if (m_running) {
        // Nobody is told: what asked for the run is going away.
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished();
    }
}

QString AppHelperRunner::programPath(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

void AppHelperRunner::start(
    const QString &program, const QStringList &arguments, const Limits &limits, const QByteArray &input)
{
    if (m_running)
        return;
    m_result = Result();
    m_result.program = programPath(program);
    m_result.limits = limits;
    m_result.limits.timeMs = AppHelperLimits::clampTimeMs(limits.timeMs);
    m_result.limits.memoryMiB = AppHelperLimits::clampMemoryMiB(limits.memoryMiB);
    m_output = Channel();
    m_output.cap = qMax(0, limits.outputBytes);
    m_warnings = Channel();
    m_warnings.cap = qMax(0, limits.warningBytes);
    m_timedOut = false;
    m_stopping = false;
    m_running = true;

    const qint64 timeMs = m_result.limits.timeMs;
    const qint64 memoryMiB = m_result.limits.memoryMiB;
    // A process object of an earlier run may be the one whose signal is being delivered.
    if (m_process)
        m_process.release()->deleteLater();
    m_process = std::make_unique<LimitedProcess>(timeMs > 0 ? (timeMs + 999) / 1000 : 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QLatin1String(AppHelperLimits::memoryVariable));
    if (memoryMiB > 0)
        environment.insert(QLatin1String(AppHelperLimits::memoryVariable), QString::number(memoryMiB));
#if defined(__SANITIZE_ADDRESS__)
    // An instrumented helper cannot cap its address space, which the
    // sanitizer reserves by terabytes: its resident memory is capped instead
    // (with room for what it holds once set up), and a finding ends it by a
    // signal, as a crash would.
    if (memoryMiB > 0)
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS"))
                + QStringLiteral(":abort_on_error=1:allocator_may_return_null=1:soft_rss_limit_mb=%1")
                      .arg(memoryMiB + 64));
#endif
    m_process->setProcessEnvironment(environment);
    if (input.isEmpty())
        m_process->setStandardInputFile(QProcess::nullDevice());
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &AppHelperRunner::collect);
    connect(m_process.get(), &QProcess::readyReadStandardError, this, &AppHelperRunner::collect);
    connect(m_process.get(), qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        [this](int code, QProcess::ExitStatus status) { onFinished(code, status == QProcess::CrashExit); });
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && m_running) {
            m_result.error = m_process->errorString();
            finish(Ending::NotStarted, 0);
        }
    });
    if (!input.isEmpty()) {
        connect(m_process.get(), &QProcess::started, this, [this, input]() {
            m_process->write(input);
            m_process->closeWriteChannel();
        });
    }
    qCDebug(lcApp) << "AppHelperRunner::start" << m_result.program << arguments << timeMs << "ms" << memoryMiB << "MiB";
    if (timeMs > 0)
        m_clock.start(int(timeMs));
    m_process->start(m_result.program, arguments);
}

void AppHelperRunner::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    m_process->kill();
}

void AppHelperRunner::collect()
{
    m_output.add(m_process->readAllStandardOutput());
    m_warnings.add(m_process->readAllStandardError());
}

void AppHelperRunner::onFinished(int code, bool crashed)
{
    if (!m_running)
        return;
    collect();
    if (m_stopping) {
        finish(Ending::Stopped, 0);
    } else if (m_timedOut) {
        finish(Ending::TimeLimit, crashed ? code : 0);
    } else if (!crashed && code == AppHelperLimits::outOfMemoryExit && m_result.limits.memoryMiB > 0) {
        // Told by the helper itself, which knows its cap and where it stood.
        finish(Ending::MemoryLimit, 0);
    } else if (!crashed) {
        finish(Ending::Finished, code);
    } else if (code == SIGXCPU) {
        finish(Ending::TimeLimit, code);
    } else if (fromOutside(code)) {
        finish(Ending::Killed, code);
    } else {
        finish(Ending::Crashed, code);
    }
}

void AppHelperRunner::finish(Ending ending, int code)
{
    m_clock.stop();
    m_running = false;
    m_result.ending = ending;
    if (ending == Ending::Finished)
        m_result.exitCode = code;
    else
        m_result.signal = code;
    m_result.output = m_output.head;
    m_result.warnings = m_warnings.head;
    m_result.warningsTail = m_warnings.tail;
    m_result.warningLines = m_warnings.lines + (m_warnings.open ? 1 : 0);
    m_result.lastWarning = m_warnings.lastLine();
    qCDebug(lcApp) << "AppHelperRunner: ended" << m_result.program << int(ending) << code;
    emit ended();
}
