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
