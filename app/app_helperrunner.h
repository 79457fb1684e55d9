#ifndef APP_HELPERRUNNER_H
#define APP_HELPERRUNNER_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QProcess;

// Runs one of the program's helper programs (the Access reader, the module
// inspector): code that may crash, loop or eat memory on what it is given
// runs there, under a time and a memory limit, and can take only that
// process with it. Collects what the helper says, capped however much it
// writes, and tells how it ended. The helper never outlives the program: it
// is killed when the program dies, however that happens.
//
// The program never waits for it: it goes on with its windows and its
// other work, and takes ended() when it comes.
class AppHelperRunner : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 timeMs = 0; // the wall-clock time from the start; 0 for none
        qint64 memoryMiB = 0; // beyond what the helper holds once set up; 0 for none
        int outputBytes = 4096; // what is kept of its standard output
        int warningBytes = 16384; // what is kept of its standard error (its lines are all counted)
    };

    enum class Ending {
        NotStarted, // the program could not be run
        Finished, // it ended by itself, with an exit code
        TimeLimit, // it was stopped at the time limit (or hit its CPU limit)
        MemoryLimit, // its memory ran out: it ended with the code of its contract that says so
        Killed, // a signal from outside ended it (a person, the system)
        Crashed, // it ended by another signal
        Stopped, // the program stopped it before it ended
    };

    struct Result
    {
        Ending ending = Ending::NotStarted;
        int exitCode = 0; // Finished
        int signal = 0; // TimeLimit, MemoryLimit, Killed, Crashed: the signal that ended it, if one did
        QString program; // the path run
        QString error; // NotStarted: why
        Limits limits; // as applied
        QByteArray output; // the first bytes of standard output
        qint64 warningLines = 0; // lines written to standard error, a last one without line feed included
        QByteArray warnings; // the first bytes of standard error
        QByteArray warningsTail; // its last whole lines, as many as fit in warningBytes
        QByteArray lastWarning; // its last line that holds anything, trimmed

        // How it ended, to follow the helper's name: "took longer than 3 s
        // and was stopped", "crashed (Segmentation fault)"...; for Finished,
        // "ended with the code N".
        QString how() const;
    };

    explicit AppHelperRunner(QObject *parent = nullptr);
    // A helper still running is stopped, and ended() is not sent.
    ~AppHelperRunner() override;

    // A helper program of ours: beside the running program. A path is kept as it is.
    static QString programPath(const QString &name);

    // Starts the helper with the arguments under the limits; `input` is its
    // whole standard input. ended() follows once, also when it cannot be run.
    // Must be called on the thread that lives longest (the window thread):
    // the helper is killed when the thread that started it ends.
    void start(const QString &program, const QStringList &arguments, const Limits &limits,
        const QByteArray &input = QByteArray());
    // Stops the helper: ended() follows, with Stopped.
    void stop();
    // How the last run ended, once ended() has come.
    Result result() const { return m_result; }

signals:
    void ended();

private:
    // What is kept of one output channel: its lines are counted, but only its
    // first bytes and its last lines are kept, however much it writes.
    struct Channel
    {
        int cap = 0;
        qint64 lines = 0;
        bool open = false;
        QByteArray head;
        QByteArray tail;
        void add(const QByteArray &bytes);
        QByteArray lastLine() const;
    };

    void collect();
    void onFinished(int code, bool crashed);
    void finish(Ending ending, int code);

    // Declared before the process: what its last output reaches outlives it.
    Channel m_output;
    Channel m_warnings;
    Result m_result;
    QTimer m_clock;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_stopping = false;
    std::unique_ptr<QProcess> m_process;
};

#endif
