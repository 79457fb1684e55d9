#ifndef APP_SCRIPTWATCH_H
#define APP_SCRIPTWATCH_H

#include <QtGlobal>

#include <atomic>

class QAbstractEventDispatcher;
class QScriptEngine;

// Stops what a script engine evaluates once it has had its time, whatever it
// is doing: a loop with nothing in it, a loop of statements, functions that
// recurse without a loop. Meanwhile nothing else runs on the thread: no
// timer, socket, posted call or click is served until the evaluation is over
// (they wait, as they wait for any statement), so nothing can start a second
// call on the engine, write to the database or delete what the evaluation
// uses halfway through it.
class AppScriptWatch
{
public:
    enum class Clock {
        // The thread's own time: its processor time and every wait of its own
        // (a sleep, a lock, a file), not the time other threads have the
        // processor. What a call costs, however busy the machine.
        Processor,
        Wall, // the time that passes
    };

    // Readies an engine once, when it is made: its own periodic check, which
    // it runs at the back edges of loops, comes about every millisecond.
    // Left to itself the engine spaces that check out to about a second
    // apart, and keeps the spacing from one evaluation to the next: a stop
    // asked for is then noticed seconds late.
    static void prepare(QScriptEngine *engine);

    // Watches what `engine` evaluates until the watch goes: past `limitMs` of
    // `clock`, counted from the reading `startNs` (and of the processor's
    // clock, with the time charged as waited), the evaluation is stopped
    // through the engine's own abort, within about a millisecond, one native
    // operation aside: the clock is looked at when the time may be up,
    // whatever each statement costs. The engine's agent looks at every
    // statement and function entry too, which a recursion without a loop
    // needs; installing it recompiles the engine's functions, so it stays for
    // the watches that follow, until a call without one (unwatch()). The
    // engine notices the abort only while it evaluates a program, or inside a
    // pushed context (QScriptEngine::pushContext()).
    AppScriptWatch(QScriptEngine *engine, Clock clock, qint64 startNs, int limitMs);
    ~AppScriptWatch();
    AppScriptWatch(const AppScriptWatch &) = delete;
    AppScriptWatch &operator=(const AppScriptWatch &) = delete;

    // Whether the evaluation was stopped.
    bool stopped() const { return m_stopped; }
    // What the evaluation may still take of its clock, in nanoseconds (below
    // 0 once it is over its time).
    qint64 leftNs() const;
    // Time the evaluation spent waiting (for a lock, say): counted into its
    // time where the clock does not count it already (the processor's time
    // alone, where the kernel keeps no count of a thread's waits).
    void charge(qint64 waitedNs);
    // Stops the evaluation at the next chance, whatever time it has left.
    void stop();

    // Takes the agent out of the engine again when no watch is on: what it
    // compiled in costs every statement of every later call, two to three
    // times the time of a large calculation of a window.
    static void unwatch(QScriptEngine *engine);

    // The clock's reading now, in nanoseconds.
    static qint64 now(Clock clock);

    // The agent's way in, at every statement (`statement`) and function entry.
    void onStep(bool statement);
    // The periodic check's way in.
    void onCheck();

private:
    // The flag is raised once `leftNs` has passed, or now when it has.
    void lookAgainIn(qint64 leftNs);

    QScriptEngine *m_engine;
    Clock m_clock;
    qint64 m_startNs;
    qint64 m_limitNs;
    int m_interval; // the engine's event processing interval before
    bool m_stopped = false;
    bool m_stopAsked = false;
    qint64 m_waitedNs = 0; // charged to the evaluation besides its clock
    // Raised when the clock is to be looked at: by the watches' own thread at
    // the earliest moment the evaluation may pass its time, so that a
    // statement costs one load however long each statement takes.
    std::atomic<bool> m_look { false };
    qint64 m_reshapedId = -1; // the object last changed in shape once stopped
    // What the watch stands in for while it is on: the thread's own event
    // dispatcher (null when it was not replaced) and watches already on.
    QAbstractEventDispatcher *m_replaced = nullptr;
    AppScriptWatch *m_outerOfThread = nullptr;
    AppScriptWatch *m_outerOfEngine = nullptr;
};

#endif
