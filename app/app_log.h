#ifndef APP_LOG_H
#define APP_LOG_H

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

} // namespace AppLog

#endif
