#include "gui/gui_grapher.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QResizeEvent>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>

GuiGrapher::GuiGrapher(QWidget *parent) : QWidget(parent)
{
    initialize();
    createConnections();
}

GuiGrapher::~GuiGrapher()
{
    delete m_plot;
}

void GuiGrapher::initialize()
{
    m_menuBar = new QMenuBar;
    m_plot = new QwtPlot;
    auto *layout = new QGridLayout(this);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_plot);
}

void GuiGrapher::createConnections() { }
void GuiGrapher::buildMenus(QMenuBar *) { }
void GuiGrapher::reset() { }

void GuiGrapher::setTitle(const QString &title)
{
    QwtText text(title, QwtText::AutoText);
    text.setRenderFlags(Qt::AlignLeft);
    m_plot->setTitle(text);
    emit sigLog(QStringLiteral("setTitle(%1)").arg(title), -1);
}

void GuiGrapher::setXAxisTitle(QString) { }
void GuiGrapher::setYAxisTitle(QString) { }

void GuiGrapher::addCurve(QwtPlotCurve *curve)
{
    if (m_curves.size() >= MaxCurves) {
        emit sigLog(QStringLiteral("Maximum number of curves exceeded; ignoring new curve"), -1);
        return;
    }
    m_curves << curve;
    curve->setStyle(QwtPlotCurve::Lines);
    curve->attach(m_plot);
    m_plot->replot();
}

void GuiGrapher::setLegendText(int, QString) { }
void GuiGrapher::changeAxisData(double, double) { }
void GuiGrapher::update()
{
    m_plot->replot();
}
QString GuiGrapher::copySeriesData(char) const
{
    return QString();
}
bool GuiGrapher::saveAsASCII(const QString &)
{
    return false;
}
void GuiGrapher::saveAsGraph(const QString &) { }
void GuiGrapher::saveAsMetafile(const QString &) { }
void GuiGrapher::onViewShowGridTriggered() { }
void GuiGrapher::onEditCopyDataTriggered() { }
void GuiGrapher::onEditPasteDataTriggered() { }
void GuiGrapher::onViewLastZoomTriggered() { }
void GuiGrapher::onViewRedoutCursorPositionTriggered() { }
void GuiGrapher::onViewAutoScaleXAndYTriggered() { }
void GuiGrapher::onViewAutoScaleXTriggered() { }
void GuiGrapher::onViewAutoScaleYTriggered() { }
void GuiGrapher::onFormatAppearanceTriggered() { }
void GuiGrapher::onFormatLegendTriggered() { }
void GuiGrapher::onFormatAxesTriggered() { }
void GuiGrapher::onFormatTitleTriggered() { }
void GuiGrapher::onSettingsChanged() { }
void GuiGrapher::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
}
void GuiGrapher::onPlotZoomed() { }
void GuiGrapher::onFileSaveTriggered() { }
void GuiGrapher::onEditCopyAsBitmapTriggered() { }
void GuiGrapher::onFileOpenTriggered() { }
void GuiGrapher::updateCurveSettings() { }
void GuiGrapher::updateTitleSettings() { }
void GuiGrapher::updateHAxisSettings() { }
void GuiGrapher::updateVAxisSettings() { }
void GuiGrapher::updateAxisSettings(bool) { }
void GuiGrapher::updateLegendSettings() { }
void GuiGrapher::removeAllCurves() { }
