#include "test_processes.h"

#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
