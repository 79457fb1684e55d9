#include "app/app_scriptplot.h"

AppScriptPlot::AppScriptPlot(QObject *parent) : QObject(parent) { }
