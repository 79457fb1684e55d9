#include "app/app_log.h"

#include "app/app_boundedlog.h"

Q_LOGGING_CATEGORY(lcApp, "vornakel.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSql, "vornakel.sql", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGui, "vornakel.gui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcXml, "vornakel.xml", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "vornakel.net", QtWarningMsg)

void AppLog::write(const QLoggingCategory &category, const QString &message, int level)
{
    // A warning may repeat what a request or a module sent: it is cut as a
    // line of sql.log is, so that no request writes megabytes into the log.
    if (level == Warning)
        qCWarning(category).noquote() << AppBoundedLog::cut(message);
    else
        qCDebug(category).noquote() << message;
}

namespace {

thread_local AppLog::OutputBudget *t_budget = nullptr;
QtMessageHandler s_next = nullptr;

// Whether a message goes on after `verdict`: as `text`, or as the note put in its place.
template<typename Note> bool admitted(AppLog::OutputBudget::Verdict verdict, QString &text, const Note &note)
{
    if (verdict == AppLog::OutputBudget::Verdict::Drop)
        return false;
    if (verdict == AppLog::OutputBudget::Verdict::Note)
        text = note();
    return true;
}

// Every message of the process passes here once a budget was first made
// current: outside a budget's scope, or on another thread, it passes as it is.
void boundedOutput(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    AppLog::OutputBudget *const budget = t_budget;
    const bool ownTrace = (type == QtDebugMsg || type == QtInfoMsg) && context.category
        && qstrncmp(context.category, "vornakel.", 9) == 0;
    if (!budget || type == QtFatalMsg || ownTrace) {
        s_next(type, context, message);
        return;
    }
    QString text = message;
    if (!admitted(budget->take(message.size() + 1), text, &AppLog::OutputBudget::note))
        return;
    // The request's note counts against the window too.
    AppLog::OutputWindow *window = budget->window();
    if (window && !admitted(window->take(text.size() + 1), text, [window]() { return window->note(); }))
        return;
    s_next(type, context, text);
}

} // namespace

AppLog::OutputBudget::Verdict AppLog::OutputBudget::take(qint64 characters)
{
    if (m_spent)
        return Verdict::Drop;
    if (characters <= m_left) {
        m_left -= characters;
        return Verdict::Write;
    }
    m_spent = true;
    return Verdict::Note;
}

QString AppLog::OutputBudget::note()
{
    return QStringLiteral("Further output of this request is left out: a request may write %1 characters to the "
                          "program's output")
        .arg(RequestCharacters);
}

AppLog::OutputBudget::Verdict AppLog::OutputWindow::take(qint64 characters)
{
    if (!m_since.isValid() || m_since.elapsed() >= WindowMs) {
        m_since.start();
        m_budget = OutputBudget(WindowCharacters);
    }
    return m_budget.take(characters);
}

QString AppLog::OutputWindow::note() const
{
    const qint64 left = m_since.isValid() ? qMax<qint64>(0, WindowMs - m_since.elapsed()) : WindowMs;
    return QStringLiteral("Further output of requests from other programs is left out for %1 s: together they may "
                          "write %2 characters a minute to the program's output")
        .arg((left + 999) / 1000)
        .arg(WindowCharacters);
}

AppLog::OutputScope::OutputScope(OutputBudget &budget) : m_previous(t_budget)
{
    // Put in front of whatever handles messages when the first budget is
    // used, so that nothing of the program's set-up depends on it.
    static const bool installed = [] {
        s_next = qInstallMessageHandler(boundedOutput);
        return true;
    }();
    Q_UNUSED(installed)
    t_budget = &budget;
}

AppLog::OutputScope::~OutputScope()
{
    t_budget = m_previous;
}
