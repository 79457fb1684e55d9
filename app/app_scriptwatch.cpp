#include "app/app_scriptwatch.h"

#include <QAbstractEventDispatcher>
#include <QAtomicPointer>
#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptEngineAgent>
#include <QScriptValue>
#include <QtCore/private/qobject_p.h>
#include <QtCore/private/qthread_p.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

// A clock that is not over its time yet is looked at again no sooner than this.
const qint64 kLookIntervalNs = 100 * 1000;

qint64 reading(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The time that has passed on this thread less the time it stood ready to
// run while the processor ran other threads (the kernel's count of its wait
// in the run queue): what the thread did and every wait of its own (a sleep,
// a lock, a file, a connection) count, a busy machine does not. Its
// processor time alone leaves out the waits, and a loop of calls that each
// sleep in a native operation would run on for minutes. Null where the
// kernel keeps no such count.
class OwnTime
{
public:
    static std::optional<qint64> now()
    {
        static thread_local OwnTime own;
        return own.read();
    }
    ~OwnTime()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    OwnTime() : m_fd(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) { }

    std::optional<qint64> read()
    {
        if (m_fd < 0)
            return std::nullopt;
        // "processor time, time waiting to run" in nanoseconds, "time slices".
        char text[128];
        const ssize_t n = ::pread(m_fd, text, sizeof text - 1, 0);
        const qint64 passed = reading(CLOCK_MONOTONIC);
        if (n > 0) {
            text[n] = '\0';
            char *end = nullptr;
            std::strtoll(text, &end, 10);
            char *after = nullptr;
            const long long delay = std::strtoll(end, &after, 10);
            // A kernel that does not count writes no time slices either.
            if (after != end && std::strtoll(after, nullptr, 10) > 0)
                m_delayNs = delay;
        }
        // Once the count was read, a read that fails counts the time as the thread's own.
        if (m_delayNs < 0) {
            ::close(m_fd);
            m_fd = -1;
            return std::nullopt;
        }
        return passed - m_delayNs;
    }

    int m_fd;
    qint64 m_delayNs = -1;
};

// Raises the flags of the watches of every thread at their time: a thread of
// its own that sleeps until the earliest of them is due. A watch then looks
// at its clock when the time may be up, not every so many statements, which
// a loop of costly statements (each a large array joined, say) would take
// far past its time.
class WatchTicker
{
public:
    static WatchTicker &instance()
    {
        static WatchTicker ticker;
        return ticker;
    }
    ~WatchTicker()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    // Raises `flag` once the monotonic clock reads `dueNs`, unless disarmed first.
    void arm(std::atomic<bool> *flag, qint64 dueNs)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_thread.joinable())
                m_thread = std::thread([this]() { run(); });
            m_due[flag] = dueNs;
        }
        m_wake.notify_one();
    }
    // The flag is not touched after this.
    void disarm(std::atomic<bool> *flag)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_due.erase(flag);
    }

private:
    WatchTicker() = default;

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            const qint64 now = reading(CLOCK_MONOTONIC);
            qint64 earliest = std::numeric_limits<qint64>::max();
            for (auto it = m_due.begin(); it != m_due.end();) {
                if (it->second <= now) {
                    it->first->store(true, std::memory_order_relaxed);
                    it = m_due.erase(it);
                } else {
                    earliest = std::min(earliest, it->second);
                    ++it;
                }
            }
            if (m_due.empty())
                m_wake.wait(lock);
            else // the steady clock is the monotonic one
                m_wake.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(earliest)));
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::atomic<bool> *, qint64> m_due;
    bool m_quit = false;
    std::thread m_thread;
};

// Sees every statement and function entry of its engine: a recursion without
// a loop never reaches the engine's periodic check. Owned by the engine.
class WatchAgent final : public QScriptEngineAgent
{
public:
    explicit WatchAgent(QScriptEngine *engine) : QScriptEngineAgent(engine) { }

    void positionChange(qint64, int, int) override
    {
        if (watch)
            watch->onStep(true);
    }
    void functionEntry(qint64) override
    {
        if (watch)
            watch->onStep(false);
    }

    AppScriptWatch *watch = nullptr;
};

// The thread's event dispatcher while a watch is on. The engine's periodic
// check calls QCoreApplication::processEvents(), which comes here and only
// looks at the watch's clock: nothing is dispatched. Timers and sockets made
// meanwhile are registered with the thread's own dispatcher, which serves
// them, and everything that waited, once the evaluation is over.
class WatchDispatcher final : public QAbstractEventDispatcher
{
public:
    using QAbstractEventDispatcher::registerTimer;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override
    {
        // An event loop run inside an evaluation (nothing of the program's
        // runs one) waits for its events as it did before.
        if (flags & QEventLoop::WaitForMoreEvents)
            return own()->processEvents(flags);
        if (watch)
            watch->onCheck();
        return false;
    }
    bool hasPendingEvents() override { return own()->hasPendingEvents(); }
    void registerSocketNotifier(QSocketNotifier *notifier) override { own()->registerSocketNotifier(notifier); }
    void unregisterSocketNotifier(QSocketNotifier *notifier) override { own()->unregisterSocketNotifier(notifier); }
    void registerTimer(int timerId, int interval, Qt::TimerType timerType, QObject *object) override
    {
        own()->registerTimer(timerId, interval, timerType, object);
    }
    bool unregisterTimer(int timerId) override { return own()->unregisterTimer(timerId); }
    bool unregisterTimers(QObject *object) override { return own()->unregisterTimers(object); }
    QList<TimerInfo> registeredTimers(QObject *object) const override { return own()->registeredTimers(object); }
    int remainingTime(int timerId) override { return own()->remainingTime(timerId); }
    // Any thread that posts an event to this one wakes it through here.
    void wakeUp() override { own()->wakeUp(); }
    void interrupt() override { own()->interrupt(); }
    void flush() override { own()->flush(); }

    QAtomicPointer<QAbstractEventDispatcher> thread; // the thread's own
    AppScriptWatch *watch = nullptr;

private:
    QAbstractEventDispatcher *own() const { return thread.loadAcquire(); }
};

// One per thread, for the thread's life: another thread that read it as the
// thread's dispatcher may still wake it after the watch has gone.
WatchDispatcher *threadsWatchDispatcher()
{
    static thread_local std::unique_ptr<WatchDispatcher> dispatcher;
    if (!dispatcher)
        dispatcher = std::make_unique<WatchDispatcher>();
    return dispatcher.get();
}

// Adds a property to a script object of the module's own and takes it away:
// the object's shape changes for good, so that the engine looks up its
// members anew each time, where it sees an abort. Nothing else of the object
// changes; objects of the program are left alone.
void changeShape(QScriptValue object)
{
    if (!object.isObject() || object.isQObject() || object.isQMetaObject() || object.isVariant())
        return;
    QString name = QStringLiteral("\x01stop");
    while (object.property(name, QScriptValue::ResolveLocal).isValid())
        name += QLatin1Char('\x01');
    object.setProperty(name, true);
    object.setProperty(name, QScriptValue());
}

// The data of the thread the watch dispatcher lives in, this one.
QThreadData *currentThreadData()
{
    return QObjectPrivate::get(threadsWatchDispatcher())->threadData.loadRelaxed();
}

} // namespace

void AppScriptWatch::prepare(QScriptEngine *engine)
{
    // The interval set also paces the check, which aims at one check per
    // interval from then on; no interval (-1) keeps that pace and turns the
    // event processing off again, which only a watch turns on.
    engine->setProcessEventsInterval(1);
    engine->setProcessEventsInterval(-1);
}

void AppScriptWatch::unwatch(QScriptEngine *engine)
{
    auto *agent = dynamic_cast<WatchAgent *>(engine->agent());
    if (!agent || agent->watch || engine->isEvaluating())
        return;
    // Made anew, an agent throws the engine's compiled functions away; gone,
    // it leaves them to be compiled without its hooks at their next call.
    engine->setAgent(agent);
    engine->setAgent(nullptr);
    delete agent;
}

qint64 AppScriptWatch::now(Clock clock)
{
    if (clock == Clock::Wall)
        return reading(CLOCK_MONOTONIC);
    if (const std::optional<qint64> own = OwnTime::now())
        return *own;
    return reading(CLOCK_THREAD_CPUTIME_ID);
}

AppScriptWatch::AppScriptWatch(QScriptEngine *engine, Clock clock, qint64 startNs, int limitMs)
    : m_engine(engine), m_clock(clock), m_startNs(startNs), m_limitNs(qint64(limitMs) * 1000000),
      m_interval(engine->processEventsInterval())
{
    auto *agent = dynamic_cast<WatchAgent *>(engine->agent());
    if (!agent) {
        agent = new WatchAgent(engine);
        engine->setAgent(agent);
    }
    m_outerOfEngine = agent->watch;
    agent->watch = this;
    QThreadData *data = currentThreadData();
    WatchDispatcher *dispatcher = threadsWatchDispatcher();
    QAbstractEventDispatcher *current = data->eventDispatcher.loadRelaxed();
    // A thread without a dispatcher runs no event loop: the periodic check has nothing to reach.
    if (current) {
        if (current != dispatcher) {
            dispatcher->thread.storeRelease(current);
            data->eventDispatcher.storeRelease(dispatcher);
            m_replaced = current;
        }
        m_outerOfThread = dispatcher->watch;
        dispatcher->watch = this;
    }
    // The periodic check now comes to the watch, every millisecond or so.
    m_engine->setProcessEventsInterval(1);
    lookAgainIn(leftNs());
}

AppScriptWatch::~AppScriptWatch()
{
    WatchTicker::instance().disarm(&m_look);
    m_engine->setProcessEventsInterval(m_interval);
    WatchDispatcher *dispatcher = threadsWatchDispatcher();
    if (dispatcher->watch == this) {
        dispatcher->watch = m_outerOfThread;
        if (m_replaced)
            currentThreadData()->eventDispatcher.storeRelease(m_replaced);
    }
    if (auto *agent = dynamic_cast<WatchAgent *>(m_engine->agent()); agent && agent->watch == this)
        agent->watch = m_outerOfEngine;
}

qint64 AppScriptWatch::leftNs() const
{
    return m_limitNs - (now(m_clock) - m_startNs) - m_waitedNs;
}

void AppScriptWatch::charge(qint64 waitedNs)
{
    // Only the processor's time alone leaves it out.
    if (m_clock == Clock::Processor && !OwnTime::now())
        m_waitedNs += qMax<qint64>(0, waitedNs);
    // The time may be up earlier now than the look that is due.
    lookAgainIn(leftNs());
}

void AppScriptWatch::stop()
{
    m_stopAsked = true;
    m_look.store(true, std::memory_order_relaxed);
}

void AppScriptWatch::lookAgainIn(qint64 leftNs)
{
    if (leftNs <= 0) {
        m_look.store(true, std::memory_order_relaxed);
        return;
    }
    // The thread's processor time passes no faster than the time that
    // passes: the time is not up before then, and may be later.
    WatchTicker::instance().arm(&m_look, now(Clock::Wall) + qMax(leftNs, kLookIntervalNs));
}

void AppScriptWatch::onStep(bool statement)
{
    // Only at a statement does the engine tell which object the running
    // function was called on.
    if (m_stopped && statement) {
        if (QScriptContext *context = m_engine->currentContext()) {
            const QScriptValue self = context->thisObject();
            if (self.objectId() != m_reshapedId) {
                m_reshapedId = self.objectId();
                changeShape(self);
            }
        }
    }
    if (m_stopped || m_look.load(std::memory_order_relaxed))
        onCheck();
}

void AppScriptWatch::onCheck()
{
    // Once it is over its time, every chance stops it again until it ends:
    // the abort is noticed at the engine's next check or native step.
    if (m_stopped) {
        m_engine->abortEvaluation();
        return;
    }
    if (!m_look.load(std::memory_order_relaxed))
        return;
    m_look.store(false, std::memory_order_relaxed);
    const qint64 left = m_stopAsked ? 0 : leftNs();
    if (left > 0) {
        lookAgainIn(left);
        return;
    }
    m_stopped = true;
    m_engine->abortEvaluation();
    // A recursion that runs no loop, only arithmetic and calls of functions
    // by their global names or as methods, passes nothing that looks for the
    // abort: the engine takes names from caches while the objects that hold
    // them keep their shape. The global object, and at the next statements
    // the objects the running functions were called on, change shape.
    changeShape(m_engine->globalObject());
}
