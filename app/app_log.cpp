#include "app/app_log.h"

Q_LOGGING_CATEGORY(lcApp, "vornakel.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSql, "vornakel.sql", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGui, "vornakel.gui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcXml, "vornakel.xml", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "vornakel.net", QtWarningMsg)

void AppLog::write(const QLoggingCategory &category, const QString &message, int level)
{
    if (level == Warning)
        qCWarning(category).noquote() << message;
    else
        qCDebug(category).noquote() << message;
}
