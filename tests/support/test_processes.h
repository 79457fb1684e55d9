#ifndef TEST_PROCESSES_H
#define TEST_PROCESSES_H

#include "app/app_helperrunner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>

// The processes a test starts, or that the program starts for it (the
// helpers it runs), as the system lists them.

// The living children of `parent` that run the program `name` (its file name).
QList<pid_t> testChildren(pid_t parent, const QString &name);
// Whether the process exists and has not ended (a zombie has).
bool testIsAlive(pid_t pid);

// A helper run through the program's runner, to its end.
AppHelperRunner::Result testRunHelper(const QString &program, const QStringList &arguments,
    const AppHelperRunner::Limits &limits, const QByteArray &input = QByteArray());

// Runs `work` in a child process, a copy of this one made for it, and
// returns the code it exits with, or the negated number of the signal that
// ended it (-SIGKILL). What the child does to files is seen here; nothing
// else of it is. Where `noFallocate` holds, the child's system cannot
// reserve room in a file (fallocate answers "Operation not supported"), as
// on a file system that does not offer it.
int testInChild(const std::function<int()> &work, bool noFallocate = false);

// A save of `bytes` into `file`, which has a second name, so that the save
// copies them into the file itself, cut off once the copy has written
// `cutAt` bytes: the system ends the child that saves there (by the signal
// of its file size limit), as kill -9 would. Returns what ended it (-SIGXFSZ).
int testCutSave(const QString &file, const QByteArray &bytes, qint64 cutAt);

// Another program that goes on beside the test: `work` runs in a child
// process, a copy of this one made for it, which then lives on, holding
// whatever it opened, until this ends; it is then ended as kill -9 would end
// it, with nothing closed. ready() is `work`'s code (126 where no child could
// be made, or it did not get ready within the test's patience).
class TestChildSession
{
public:
    explicit TestChildSession(const std::function<int()> &work);
    ~TestChildSession();
    TestChildSession(const TestChildSession &) = delete;
    TestChildSession &operator=(const TestChildSession &) = delete;
    int ready() const { return m_ready; }
    // Ends the child now.
    void end();

private:
    pid_t m_child = -1;
    int m_ready = 126;
};

#endif
