#include "app/app_scriptplot.h"

#include "app/app_log.h"

AppScriptPlot::AppScriptPlot(QObject *parent) : QObject(parent)
{
    AppLog::connect(this, &AppScriptPlot::sigLog, lcApp);
}
