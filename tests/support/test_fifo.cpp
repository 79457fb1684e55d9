#include "test_fifo.h"

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

TestFifo::TestFifo(const QString &path, int patienceMs, Waiting waiting) : m_path(path)
{
    m_valid = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (m_valid)
        m_watchdog = std::thread([this, patienceMs, waiting] { watch(patienceMs, waiting); });
}

TestFifo::~TestFifo()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    if (m_notify >= 0)
        ::close(m_notify);
    if (m_valid)
        ::unlink(QFile::encodeName(m_path).constData());
}

void TestFifo::watch(int patienceMs, Waiting waiting)
{
    const QByteArray path = QFile::encodeName(m_path);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_wake.wait_for(lock, std::chrono::milliseconds(patienceMs), [this] { return m_stop; }))
        return;
    if (waiting == Waiting::Writer) {
        // A writer that waits in its open gets through once the pipe has a
        // reader; the system tells when it closes the pipe again (a writer
        // that does not wait never has it open).
        m_notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_notify >= 0)
            ::inotify_add_watch(m_notify, path.constData(), IN_CLOSE_WRITE);
        // Held open to the end, so that the writer let go never writes into a pipe without a reader.
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
        char taken[4096];
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; })) {
            while (fd >= 0 && ::read(fd, taken, sizeof taken) > 0)
                m_released = true;
            noteWriters();
        }
        if (fd >= 0)
            ::close(fd);
        return;
    }
    // From now on every reader that opens the pipe is let go. A non-blocking
    // open for writing succeeds exactly while a reader has the pipe open.
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_stop; })) {
        const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            m_released = true;
            ::close(fd);
        }
    }
}

void TestFifo::noteWriters() const
{
    char events[4096];
    if (m_notify >= 0 && ::read(m_notify, events, sizeof events) > 0)
        m_released = true;
}

bool TestFifo::released() const
{
    // A writer let go and refused has closed the pipe by now.
    const std::lock_guard<std::mutex> lock(m_mutex);
    noteWriters();
    return m_released;
}
