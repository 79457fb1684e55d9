#ifndef APP_SCRIPTPLOT_H
#define APP_SCRIPTPLOT_H

#include <QObject>

// The plot object every module engine publishes as m_plot. Scripts get no
// drawing operation from it yet, only what every object offers and its log signal.
class AppScriptPlot : public QObject
{
    Q_OBJECT

public:
    explicit AppScriptPlot(QObject *parent);

signals:
    void sigLog(QString message, int logLevel);
};

#endif
