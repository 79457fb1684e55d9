#ifndef TEST_FIFO_H
#define TEST_FIFO_H

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// A named pipe (FIFO) at a path, for readers (or writers) that must refuse
// it. Opening one for reading waits for a writer for ever, and for writing,
// for a reader; so a watchdog stands by while the object lives: a reader
// still waiting on the pipe after `patience` is let go (a writer opens the
// pipe and closes it again, so the reader sees an empty file) and
// released() turns true. Made for writers, the watchdog opens the pipe for
// reading after `patience` instead, and keeps it open, taking whatever is
// written; a writer that waited in its open until then, or anything
// written, turns released() true. A test of such a reader or writer
// thus fails instead of hanging. The pipe is removed with the object.
class TestFifo
{
public:
    enum class Waiting { Reader, Writer };
    explicit TestFifo(const QString &path, int patienceMs = 20000, Waiting waiting = Waiting::Reader);
    ~TestFifo();
    TestFifo(const TestFifo &) = delete;
    TestFifo &operator=(const TestFifo &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    // Whether a reader or a writer waited on the pipe and had to be let go
    // (or a writer wrote into it).
    bool released() const;

private:
    void watch(int patienceMs, Waiting waiting);
    // Notes a writer the system has told of (one that opened the pipe for
    // writing and closed it again) since the watchdog opened it for a
    // writer; the lock is held.
    void noteWriters() const;

    QString m_path;
    bool m_valid = false;
    mutable std::atomic<bool> m_released { false };
    int m_notify = -1;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_watchdog;
};

#endif
