#include "app/app_version.h"

const QString APPVERSION = QStringLiteral("20120828 BETA");
const QString DBVERSION = QStringLiteral("20120320");
