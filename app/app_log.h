#ifndef APP_LOG_H
#define APP_LOG_H

#include <QLoggingCategory>

// One logging category per folder. Each is on for warnings only, so normal use
// stays quiet; QT_LOGGING_RULES="vornakel.*.debug=true" opens the rest.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSql)
Q_DECLARE_LOGGING_CATEGORY(lcGui)
Q_DECLARE_LOGGING_CATEGORY(lcXml)
Q_DECLARE_LOGGING_CATEGORY(lcNet)

#endif
