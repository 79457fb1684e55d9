#ifndef APP_LOG_H
#define APP_LOG_H

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

// One logging category per folder. Each is on for warnings only, so normal use
// stays quiet; QT_LOGGING_RULES="vornakel.*.debug=true" opens the rest.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSql)
Q_DECLARE_LOGGING_CATEGORY(lcGui)
Q_DECLARE_LOGGING_CATEGORY(lcXml)
Q_DECLARE_LOGGING_CATEGORY(lcNet)

namespace AppLog {

// The levels the sigLog signals carry. Only Warning reaches the log as a
// warning; the others are debug detail of decreasing weight.
enum Level : int {
    Warning = 1,
    Notice = 4, // a step the person may want to know of
    Statement = 10, // database statements and configuration
    Trace = 100, // call traces
    Verbose = -1, // plot window notes and whole message texts
};

// One sigLog message into the category, as a warning (cut as a line of a
// bounded log is, AppBoundedLog::cut) or as debug (whole).
void write(const QLoggingCategory &category, const QString &message, int level);

// The object's sigLog into the category, for the object's lifetime. Made once
// per object at the end of a relay chain, so that no message is logged twice.
template<typename Sender, typename Signal>
QMetaObject::Connection connect(Sender *sender, Signal signal, const QLoggingCategory &(*category)())
{
    return QObject::connect(
        sender, signal, sender, [category](const QString &message, int level) { write(category(), message, level); });
}

class OutputWindow;

// What one request from another program may make the program write to its
// output (standard error), however many calls it runs: the warnings of every
// category, Qt's own messages and those of the modules it calls. While a
// budget is current on its thread (OutputScope), each such message counts its
// characters, line end included; past RequestCharacters the messages are left
// out, and the first one left out is replaced by a line that says so. What a
// budget lets through counts against its window too, when it has one. The
// program's own debug traces, which only a person switches on, do not count.
class OutputBudget
{
public:
    static const int RequestCharacters = 16 * 1024;

    explicit OutputBudget(qint64 characters = RequestCharacters) : m_left(characters) { }
    // What a message of that many characters may do: be written, be replaced
    // by the line that says the rest is left out, or be left out.
    enum class Verdict { Write, Note, Drop };
    Verdict take(qint64 characters);
    // The line written in place of the first message left out.
    static QString note();
    // The window what the budget lets through counts against as well (none: null).
    void setWindow(OutputWindow *window) { m_window = window; }
    OutputWindow *window() const { return m_window; }

private:
    qint64 m_left;
    bool m_spent = false;
    OutputWindow *m_window = nullptr;
};

// What all the requests of a server together may write to the program's
// output in a minute: many small requests, each within its own budget, must
// not fill a person's terminal or a log either. Past WindowCharacters the rest
// of the minute's output is left out, and the first message left out is
// replaced by a line that says so; the next minute begins afresh.
class OutputWindow
{
public:
    static const int WindowCharacters = 64 * 1024;
    static const int WindowMs = 60 * 1000;

    OutputBudget::Verdict take(qint64 characters);
    // The line written in place of the first message left out in a minute.
    QString note() const;

private:
    QElapsedTimer m_since; // the minute's start
    OutputBudget m_budget { WindowCharacters };
};

// Makes the budget the current one of this thread while the scope lives.
class OutputScope
{
public:
    explicit OutputScope(OutputBudget &budget);
    ~OutputScope();

private:
    Q_DISABLE_COPY(OutputScope)
    OutputBudget *m_previous;
};

} // namespace AppLog

#endif
