#include "test_processes.h"

#include "app/app_savefile.h"
#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The fields of /proc/PID/stat after the name, which may hold blanks and parentheses.
QList<QByteArray> statFields(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

} // namespace

QList<pid_t> testChildren(pid_t parent, const QString &name)
{
    QList<pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number)
            continue;
        // State, then the parent's id.
        const QList<QByteArray> fields = statFields(pid);
        if (fields.size() < 2 || fields.at(0) == "Z" || fields.at(1).toInt() != parent)
            continue;
        if (QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid))).fileName() == name)
            children << pid;
    }
    return children;
}

bool testIsAlive(pid_t pid)
{
    const QList<QByteArray> fields = statFields(pid);
    return !fields.isEmpty() && fields.at(0) != "Z" && fields.at(0) != "X";
}

AppHelperRunner::Result testRunHelper(const QString &program, const QStringList &arguments,
    const AppHelperRunner::Limits &limits, const QByteArray &input)
{
    AppHelperRunner runner;
    if (!testRunUntil(&runner, &AppHelperRunner::ended, [&] { runner.start(program, arguments, limits, input); }))
        runner.stop();
    return runner.result();
}

namespace {

// A filter of the system calls this thread may make: fallocate fails with
// EOPNOTSUPP, every other call goes through.
bool refuseFallocate()
{
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fallocate, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    struct sock_fprog program = { sizeof filter / sizeof filter[0], filter };
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

int testInChild(const std::function<int()> &work, bool noFallocate)
{
    const pid_t child = ::fork();
    if (child == 0) {
        // Only the work runs here: no handler of the parent's, no atexit.
        if (noFallocate && !refuseFallocate())
            ::_exit(125);
        ::_exit(work());
    }
    if (child < 0)
        return 126;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

int testCutSave(const QString &file, const QByteArray &bytes, qint64 cutAt)
{
    return testInChild([&]() {
        AppSaveFile save(file);
        if (!save.open() || !save.write(bytes))
            return 1;
        // Nothing of the save runs after the signal: no handler, no cleanup.
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit { rlim_t(cutAt), RLIM_INFINITY };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        save.commit();
        return 0;
    });
}

TestChildSession::TestChildSession(const std::function<int()> &work)
{
    int told[2] = { -1, -1 };
    if (::pipe2(told, O_CLOEXEC) != 0)
        return;
    m_child = ::fork();
    if (m_child == 0) {
        ::close(told[0]);
        const unsigned char code = static_cast<unsigned char>(work());
        // The parent learns the code, and the child waits for its end, which comes as a signal.
        while (::write(told[1], &code, 1) < 0 && errno == EINTR) { }
        for (;;)
            ::pause();
    }
    ::close(told[1]);
    unsigned char code = 126;
    ssize_t got = -1;
    // Waited for with the test's patience: a child that never gets ready is ended.
    struct pollfd ready = { told[0], POLLIN, 0 };
    int polled = -1;
    while (m_child > 0 && (polled = ::poll(&ready, 1, testPatienceMs())) < 0 && errno == EINTR) { }
    while (polled > 0 && (got = ::read(told[0], &code, 1)) < 0 && errno == EINTR) { }
    ::close(told[0]);
    m_ready = got == 1 ? int(code) : 126;
    if (m_ready == 126)
        end();
}

TestChildSession::~TestChildSession()
{
    end();
}

void TestChildSession::end()
{
    if (m_child <= 0)
        return;
    ::kill(m_child, SIGKILL);
    int status = 0;
    while (::waitpid(m_child, &status, 0) < 0 && errno == EINTR) { }
    m_child = -1;
}
