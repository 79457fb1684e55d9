#ifndef GUI_GRAPHER_H
#define GUI_GRAPHER_H

#include <QColor>
#include <QList>
#include <QString>
#include <QVector>
#include <QWidget>

class QAction;
class QMenuBar;
class QCloseEvent;
class QMoveEvent;
class QPrinter;
class QResizeEvent;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotZoomer;
class GuiGrapherOptions;

// The plot window: a menu bar above one plot with legend, two grids, a
// rubber-band zoomer and an optional cursor readout. Every visual property
// lives in the window's options dialog and is read from its widgets each time
// the options are applied, so the window keeps no plot options of its own.
class GuiGrapher : public QWidget
{
    Q_OBJECT

public:
    // Callers hand over at most this many curves; a paste may bring more.
    static const int MaxCurves = 14;
    // A paste of more column pairs than this is refused.
    static const int MaxPastedSeries = 1000;

    explicit GuiGrapher(QWidget *parent = nullptr);
    ~GuiGrapher() override;

    void reset();
    void setTitle(const QString &title);
    void setXAxisTitle(QString title);
    void setYAxisTitle(QString title);
    void addCurve(QwtPlotCurve *curve);
    void setLegendText(int series, QString text);
    void changeAxisData(double low, double high);
    void update();
    QwtPlot *plotOptions() const { return m_plot; }

    // The window's parts, for whoever needs to look at what is drawn.
    GuiGrapherOptions *optionsDialog() const { return m_options; }
    QList<QwtPlotCurve *> curves() const { return m_curves; }
    QwtPlotGrid *verticalGrid() const { return m_verticalGrid; }
    QwtPlotGrid *horizontalGrid() const { return m_horizontalGrid; }
    QwtPlotZoomer *zoomer() const { return m_zoomer; }

    // The curves as text: per row the X and Y of each curve's point, joined by
    // the separator; rows end with a line feed.
    QString copySeriesData(char separator) const;
    // False when the file cannot be written; the user has been told.
    bool saveAsASCII(const QString &fileName);
    void saveAsGraph(const QString &fileName);
    // The plot as the window shows it, on the printer's page.
    void print(QPrinter *printer);
    void saveAsMetafile(const QString &fileName);

signals:
    void sigLog(const QString &message, int logLevel);

public slots:
    void onViewShowGridTriggered();
    void onEditCopyDataTriggered();
    void onEditPasteDataTriggered();
    void onViewLastZoomTriggered();
    void onViewRedoutCursorPositionTriggered();
    void onViewAutoScaleXAndYTriggered();
    void onViewAutoScaleXTriggered();
    void onViewAutoScaleYTriggered();
    void onFormatAppearanceTriggered();
    void onFormatLegendTriggered();
    void onFormatAxesTriggered();
    void onFormatTitleTriggered();
    void onSettingsChanged();
    void resizeEvent(QResizeEvent *event) override;
    void onPlotZoomed();
    void onFileSaveTriggered();
    void onEditCopyAsBitmapTriggered();
    void onFileOpenTriggered();
    void onFilePrintTriggered();

protected:
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void initialize();
    void createConnections();
    void buildMenus(QMenuBar *menuBar);
    QVector<QColor> seriesColors() const;
    // These two return whether a curve's legend entry may have changed.
    bool updateCurveSettings();
    void updateTitleSettings();
    void updateHAxisSettings();
    void updateVAxisSettings();
    void updateAxisSettings(bool horizontal);
    bool updateLegendSettings();
    void replaceCurves(const QList<QwtPlotCurve *> &curves);
    void renewLegend();

    QwtPlot *m_plot = nullptr;
    QwtPlotGrid *m_verticalGrid = nullptr;
    QwtPlotGrid *m_horizontalGrid = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    GuiGrapherOptions *m_options = nullptr;
    QList<QwtPlotCurve *> m_curves;
    QMenuBar *m_menuBar = nullptr;

    QAction *m_actionOpen = nullptr;
    QAction *m_actionPrint = nullptr;
    QAction *m_actionChangeDefaults = nullptr;
    QAction *m_actionClose = nullptr;
    QAction *m_actionSaveAsGraph = nullptr;
    QAction *m_actionSaveAsASCII = nullptr;
    QAction *m_actionSaveAsMetafile = nullptr;
    QAction *m_actionCopyData = nullptr;
    QAction *m_actionPasteData = nullptr;
    QAction *m_actionCopyImage = nullptr;
    QAction *m_actionCopyMetafile = nullptr;
    QAction *m_actionLastZoom = nullptr;
    QAction *m_actionAutoScaleXAndY = nullptr;
    QAction *m_actionAutoScaleX = nullptr;
    QAction *m_actionAutoScaleY = nullptr;
    QAction *m_actionRoundAxisScales = nullptr;
    QAction *m_actionShowGrids = nullptr;
    QAction *m_actionReadoutCursor = nullptr;
    QAction *m_actionCurveAppearance = nullptr;
    QAction *m_actionGraphTitle = nullptr;
    QAction *m_actionGraphLegend = nullptr;
    QAction *m_actionGraphAxes = nullptr;
    QAction *m_actionConvertToMovie = nullptr;
    QAction *m_actionRevertToOverlaid = nullptr;
    QAction *m_actionContents = nullptr;
    QAction *m_actionSearchHelp = nullptr;
};

#endif
