#include "gui/gui_grapher.h"

#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_savefile.h"
#include "app/app_windowgeometry.h"
#include "gui/gui_grapheroptions.h"
#include "gui/gui_printtofile.h"
#include "gui/gui_savefilename.h"
#include "gui/gui_waitcursor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QSettings>
#include <QSignalBlocker>

#include <qwt_legend.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const int LogLevel = AppLog::Verbose;

const char *const GraphFilter = "Graph (*.GRF)";
const char *const AsciiFilter = "ASCII(*.DAT)";
const char *const MetafileFilter = "Metafile (*.WMF)";
// The folder graphs and data files are saved to, and opened from.
const char *const saveFolderKey = "Grapher/SaveAs/directory";

// The options dialog takes whole numbers for its range fields; limits beyond
// the int range are clamped rather than overflowing the conversion.
int wholeNumber(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(INT_MAX))
        return INT_MAX;
    if (value <= double(INT_MIN))
        return INT_MIN;
    return int(value);
}

QColor buttonColor(const QWidget *button)
{
    QColor color;
    color.setNamedColor(button->property("color").toString());
    return color;
}

// Cosmetic pens are the ones of width 0 on Qt 5.
QPen gridPen(const QColor &color)
{
    QPen pen(color, 0);
    pen.setStyle(Qt::DashLine);
    return pen;
}

// Calls `take` with each line of the text in turn, while it returns true.
// Lines end with LF, CR LF or a lone CR (spreadsheets on other platforms);
// empty lines are dropped.
template<typename Take> void forEachPastedLine(QStringView text, Take take)
{
    const int n = int(text.size());
    int start = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && text[i] != QLatin1Char('\n') && text[i] != QLatin1Char('\r'))
            continue;
        if (i > start && !take(text.mid(start, i - start)))
            return;
        start = i + 1;
    }
}

// Calls `take` with the X/Y field pairs of every line, in order: among the
// first `columns` tab-separated fields of a line, fields 2k and 2k + 1 for
// series k. A line that ends within a pair gives nothing for it.
template<typename Take> void forEachPastedPair(QStringView text, int columns, Take take)
{
    const int n = int(text.size());
    int start = 0;
    int field = 0;
    QStringView x;
    for (int i = 0; i <= n; ++i) {
        const QChar c = i < n ? text[i] : QLatin1Char('\n');
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (!lineEnd && c != QLatin1Char('\t'))
            continue;
        // An empty line has no field at all.
        if (field < columns && !(lineEnd && field == 0 && i == start)) {
            const QStringView fieldText = text.mid(start, i - start);
            if (field % 2 == 0)
                x = fieldText;
            else
                take(field / 2, x, fieldText);
        }
        field = lineEnd ? 0 : field + 1;
        start = i + 1;
    }
}

// Every curve change tells the legend, which looks its entry up by a linear
// search: changing many curves one by one takes quadratic time. The plot's
// signals are held while the curves change and the legend is told once, if
// a curve changed at all.
class LegendBatch
{
public:
    explicit LegendBatch(QwtPlot *plot) : m_plot(plot), m_wasBlocked(plot->blockSignals(true)) { }
    // `adding` when the legend may gain entries: a shown legend would show
    // and lay out each new one at once.
    void curvesChanged(bool adding = true)
    {
        m_changed = true;
        m_adding = m_adding || adding;
    }
    ~LegendBatch()
    {
        m_plot->blockSignals(m_wasBlocked);
        if (m_wasBlocked || !m_changed)
            return;
        QwtAbstractLegend *legend = m_plot->legend();
        if (!legend)
            return;
        const bool hide = m_adding && !legend->isHidden();
        if (hide)
            legend->hide();
        // Told straight rather than through the plot, which would also offer
        // every entry to every item: no item of this plot takes legend data.
        for (QwtPlotItem *item : m_plot->itemList()) {
            QList<QwtLegendData> data;
            if (item->testItemAttribute(QwtPlotItem::Legend))
                data = item->legendData();
            legend->updateLegend(m_plot->itemToInfo(item), data);
        }
        if (hide)
            legend->show();
    }
    LegendBatch(const LegendBatch &) = delete;
    LegendBatch &operator=(const LegendBatch &) = delete;

private:
    QwtPlot *m_plot;
    bool m_wasBlocked;
    bool m_changed = false;
    bool m_adding = false;
};

// How the legend knows the plot's items. The legend searches its entries one
// by one for an item's info; Qwt's own info, the item's pointer as a variant
// of a registered type, compares through the meta-type registry, an untyped
// pointer at once. A curve is known by its series, so that when a paste
// replaces the curves each series keeps its entry, updated rather than
// dropped and made anew: series n by the address of the plot's slot n, any
// other item by its own address.
class GrapherPlot : public QwtPlot
{
public:
    using QwtPlot::QwtPlot;
    // Qwt's destructor would take the items off one by one, each off the
    // legend by an info that this class no longer makes by then, and each
    // offered to every other item. The legend goes first, then the items unseen.
    ~GrapherPlot() override
    {
        insertLegend(nullptr);
        const QSignalBlocker quiet(this);
        detachItems(QwtPlotItem::Rtti_PlotItem, autoDelete());
    }

    // The window's curves in series order.
    void setSeries(const QList<QwtPlotCurve *> &curves)
    {
        m_series = curves;
        m_seriesIndex.clear();
        m_seriesIndex.reserve(curves.size());
        for (int i = 0; i < curves.size(); ++i)
            m_seriesIndex.insert(curves.at(i), i);
    }

    QVariant itemToInfo(QwtPlotItem *item) const override
    {
        const int index = m_seriesIndex.value(item, -1);
        const bool slotted = index >= 0 && index < SlotCount;
        void *key = slotted ? static_cast<void *>(const_cast<char *>(m_slots + index)) : static_cast<void *>(item);
        return QVariant::fromValue(key);
    }

    QwtPlotItem *infoToItem(const QVariant &info) const override
    {
        if (info.userType() != QMetaType::VoidStar)
            return nullptr;
        void *key = info.value<void *>();
        const quintptr slot = quintptr(key) - quintptr(m_slots);
        if (slot < quintptr(SlotCount))
            return m_series.value(int(slot), nullptr);
        return static_cast<QwtPlotItem *>(key);
    }

private:
    static const int SlotCount
        = GuiGrapher::MaxPastedSeries > GuiGrapher::MaxCurves ? GuiGrapher::MaxPastedSeries : GuiGrapher::MaxCurves;
    const char m_slots[SlotCount] = {};
    QList<QwtPlotCurve *> m_series;
    QHash<const QwtPlotItem *, int> m_seriesIndex;
};

GrapherPlot *grapherPlot(QwtPlot *plot)
{
    return static_cast<GrapherPlot *>(plot);
}

// A symbol alike in all that the window sets: replacing it with its like
// would only make the curve redraw its legend icon.
bool sameSymbol(const QwtSymbol *symbol, QwtSymbol::Style style, const QBrush &brush, const QPen &pen, int size)
{
    return symbol && symbol->style() == style && symbol->brush() == brush && symbol->pen() == pen
        && symbol->size() == QSize(size, size) && !symbol->isPinPointEnabled();
}

} // namespace

GuiGrapher::GuiGrapher(QWidget *parent) : QWidget(parent)
{
    initialize();
    createConnections();
}

GuiGrapher::~GuiGrapher()
{
    // The plot takes its curves, grids, legend and zoomer with it. The options
    // dialog has no parent; it goes too, so that no orphaned dialog stays on
    // screen with nothing left to apply its options to.
    delete m_plot;
    delete m_options;
}

void GuiGrapher::initialize()
{
    m_menuBar = new QMenuBar;
    buildMenus(m_menuBar);

    m_options = new GuiGrapherOptions(nullptr);

    AppWindowGeometry::restore(this, QStringLiteral("Grapher"), QSize(600, 600));

    m_plot = new GrapherPlot;
    m_plot->setCanvasBackground(QColor(QStringLiteral("#ffffff")));
    m_plot->insertLegend(new QwtLegend, QwtPlot::RightLegend, -1);

    m_verticalGrid = new QwtPlotGrid;
    m_verticalGrid->setPen(gridPen(Qt::black));
    m_verticalGrid->setXDiv(m_plot->axisScaleDiv(QwtPlot::xBottom));
    m_verticalGrid->enableY(false);
    m_verticalGrid->attach(m_plot);
    m_horizontalGrid = new QwtPlotGrid;
    m_horizontalGrid->setPen(gridPen(Qt::black));
    m_horizontalGrid->setYDiv(m_plot->axisScaleDiv(QwtPlot::yLeft));
    m_horizontalGrid->enableX(false);
    m_horizontalGrid->attach(m_plot);

    // The zoomer's default state machine selects a rectangle by dragging.
    m_zoomer = new QwtPlotZoomer(QwtPlot::xBottom, QwtPlot::yLeft, m_plot->canvas(), true);
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);

    auto *layout = new QGridLayout(this);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_plot);
    m_plot->replot();
}

void GuiGrapher::buildMenus(QMenuBar *menuBar)
{
    auto action = [this](QMenu *menu, const QString &text) {
        auto *a = new QAction(text, this);
        menu->addAction(a);
        return a;
    };

    QMenu *file = menuBar->addMenu(QStringLiteral("File"));
    m_actionOpen = action(file, QStringLiteral("Open..."));
    file->addSeparator();
    QMenu *saveAs = file->addMenu(QStringLiteral("Save As"));
    m_actionSaveAsGraph = action(saveAs, QStringLiteral("Graph..."));
    m_actionSaveAsASCII = action(saveAs, QStringLiteral("ASCII..."));
    m_actionSaveAsMetafile = action(saveAs, QStringLiteral("Metafile..."));
    file->addSeparator();
    m_actionPrint = action(file, QStringLiteral("Print..."));
    file->addSeparator();
    m_actionChangeDefaults = action(file, QStringLiteral("Change Defaults..."));
    file->addSeparator();
    m_actionClose = action(file, QStringLiteral("Close"));

    QMenu *edit = menuBar->addMenu(QStringLiteral("Edit"));
    m_actionCopyData = action(edit, QStringLiteral("Copy Data"));
    m_actionCopyData->setShortcut(QKeySequence(QStringLiteral("ctrl+c")));
    m_actionCopyImage = action(edit, QStringLiteral("Copy Image"));
    m_actionCopyMetafile = action(edit, QStringLiteral("Copy Metafile"));
    edit->addSeparator();
    m_actionPasteData = action(edit, QStringLiteral("Paste Data"));
    m_actionPasteData->setShortcut(QKeySequence(QStringLiteral("ctrl+v")));

    QMenu *view = menuBar->addMenu(QStringLiteral("View"));
    m_actionLastZoom = action(view, QStringLiteral("Last Zoom"));
    m_actionLastZoom->setShortcut(QKeySequence(QStringLiteral("ctrl+z")));
    view->addSeparator();
    m_actionAutoScaleXAndY = action(view, QStringLiteral("Auto Scale X and Y"));
    m_actionAutoScaleX = action(view, QStringLiteral("Auto Scale X"));
    m_actionAutoScaleY = action(view, QStringLiteral("Auto Scale Y"));
    view->addSeparator();
    m_actionRoundAxisScales = action(view, QStringLiteral("Round Axis Scales on Zoom"));
    m_actionRoundAxisScales->setCheckable(true);
    m_actionRoundAxisScales->setChecked(false);
    m_actionRoundAxisScales->setEnabled(false);
    m_actionShowGrids = action(view, QStringLiteral("Show Grids"));
    m_actionShowGrids->setCheckable(true);
    m_actionShowGrids->setChecked(true);
    m_actionReadoutCursor = action(view, QStringLiteral("Readout Cursor Position"));
    m_actionReadoutCursor->setCheckable(true);
    m_actionReadoutCursor->setChecked(false);

    QMenu *format = menuBar->addMenu(QStringLiteral("Format"));
    m_actionCurveAppearance = action(format, QStringLiteral("Curve Appearance..."));
    format->addSeparator();
    m_actionGraphTitle = action(format, QStringLiteral("Graph Title..."));
    format->addSeparator();
    m_actionGraphLegend = action(format, QStringLiteral("Graph Legend..."));
    format->addSeparator();
    m_actionGraphAxes = action(format, QStringLiteral("Graph Axes..."));
    format->addSeparator();

    QMenu *tools = menuBar->addMenu(QStringLiteral("Tools"));
    m_actionConvertToMovie = action(tools, QStringLiteral("Convert to Movie"));
    m_actionConvertToMovie->setEnabled(false);
    m_actionRevertToOverlaid = action(tools, QStringLiteral("Revert to Overlaid Data Sets"));
    m_actionRevertToOverlaid->setEnabled(false);

    QMenu *help = menuBar->addMenu(QStringLiteral("Help"));
    m_actionContents = action(help, QStringLiteral("Contents"));
    m_actionSearchHelp = action(help, QStringLiteral("Search for Help on..."));
}

// Copy Metafile, Round Axis Scales on Zoom, Convert to Movie, Revert to
// Overlaid Data Sets, Change Defaults and the help items have no handler.
void GuiGrapher::createConnections()
{
    connect(m_options, &GuiGrapherOptions::sigSettingsChanged, this, &GuiGrapher::onSettingsChanged);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, &GuiGrapher::onPlotZoomed);
    connect(m_actionOpen, &QAction::triggered, this, &GuiGrapher::onFileOpenTriggered);
    connect(m_actionSaveAsGraph, &QAction::triggered, this, &GuiGrapher::onFileSaveTriggered);
    connect(m_actionSaveAsMetafile, &QAction::triggered, this, &GuiGrapher::onFileSaveTriggered);
    connect(m_actionSaveAsASCII, &QAction::triggered, this, &GuiGrapher::onFileSaveTriggered);
    connect(m_actionPrint, &QAction::triggered, this, &GuiGrapher::onFilePrintTriggered);
    connect(m_actionClose, &QAction::triggered, this, &QWidget::close);
    connect(m_actionCopyData, &QAction::triggered, this, &GuiGrapher::onEditCopyDataTriggered);
    connect(m_actionPasteData, &QAction::triggered, this, &GuiGrapher::onEditPasteDataTriggered);
    connect(m_actionCopyImage, &QAction::triggered, this, &GuiGrapher::onEditCopyAsBitmapTriggered);
    connect(m_actionLastZoom, &QAction::triggered, this, &GuiGrapher::onViewLastZoomTriggered);
    connect(m_actionAutoScaleXAndY, &QAction::triggered, this, &GuiGrapher::onViewAutoScaleXAndYTriggered);
    connect(m_actionAutoScaleX, &QAction::triggered, this, &GuiGrapher::onViewAutoScaleXTriggered);
    connect(m_actionAutoScaleY, &QAction::triggered, this, &GuiGrapher::onViewAutoScaleYTriggered);
    connect(m_actionShowGrids, &QAction::triggered, this, &GuiGrapher::onViewShowGridTriggered);
    connect(m_actionReadoutCursor, &QAction::triggered, this, &GuiGrapher::onViewRedoutCursorPositionTriggered);
    connect(m_actionCurveAppearance, &QAction::triggered, this, &GuiGrapher::onFormatAppearanceTriggered);
    connect(m_actionGraphTitle, &QAction::triggered, this, &GuiGrapher::onFormatTitleTriggered);
    connect(m_actionGraphLegend, &QAction::triggered, this, &GuiGrapher::onFormatLegendTriggered);
    connect(m_actionGraphAxes, &QAction::triggered, this, &GuiGrapher::onFormatAxesTriggered);
}

void GuiGrapher::reset()
{
    m_options->reset();
}

void GuiGrapher::setTitle(const QString &title)
{
    QwtText text(title, QwtText::AutoText);
    text.setRenderFlags(Qt::AlignLeft);
    m_plot->setTitle(text);
    emit sigLog(QStringLiteral("setTitle(%1)").arg(title), LogLevel);
}

void GuiGrapher::setXAxisTitle(QString title)
{
    m_options->setXAxisTitle(title);
}

void GuiGrapher::setYAxisTitle(QString title)
{
    m_options->setYAxisTitle(title);
}

void GuiGrapher::addCurve(QwtPlotCurve *curve)
{
    if (!curve)
        return;
    if (m_curves.size() >= MaxCurves) {
        emit sigLog(QStringLiteral("Maximum number of curves exceeded; ignoring new curve"), LogLevel);
        return;
    }
    m_curves << curve;
    grapherPlot(m_plot)->setSeries(m_curves);
    curve->setStyle(QwtPlotCurve::Lines);
    curve->attach(m_plot);
    onSettingsChanged();
    m_zoomer->setZoomBase(true);
    onPlotZoomed();
}

void GuiGrapher::setLegendText(int series, QString text)
{
    m_options->setLegendText(series, text);
}

void GuiGrapher::changeAxisData(double low, double high)
{
    const int min = wholeNumber(std::ceil(low));
    const int max = wholeNumber(std::ceil(high));
    m_options->setHAxisScaleMin(min);
    m_options->setHAxisScaleMax(max);
    m_options->setVAxisScaleMin(min);
    m_options->setVAxisScaleMax(max);
}

void GuiGrapher::update()
{
    m_plot->replot();
}

void GuiGrapher::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    AppWindowGeometry::store(this, QStringLiteral("Grapher"));
}

void GuiGrapher::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    AppWindowGeometry::store(this, QStringLiteral("Grapher"));
}

void GuiGrapher::closeEvent(QCloseEvent *event)
{
    // The options dialog is a window of its own: left open, it would keep the
    // program running after every other window has gone.
    m_options->close();
    QWidget::closeEvent(event);
}

void GuiGrapher::onViewLastZoomTriggered()
{
    m_zoomer->zoom(-1);
}

void GuiGrapher::onViewAutoScaleXTriggered()
{
    m_plot->setAxisAutoScale(QwtPlot::xBottom);
    m_options->setHAxisScaleRange(GuiGrapherOptions::ScaleRange::Auto);
    m_plot->replot();
}

void GuiGrapher::onViewAutoScaleYTriggered()
{
    m_plot->setAxisAutoScale(QwtPlot::yLeft);
    m_options->setVAxisScaleRange(GuiGrapherOptions::ScaleRange::Auto);
    m_plot->replot();
}

void GuiGrapher::onViewAutoScaleXAndYTriggered()
{
    onViewAutoScaleXTriggered();
    onViewAutoScaleYTriggered();
    m_zoomer->zoom(0);
}

void GuiGrapher::onViewShowGridTriggered()
{
    const bool on = m_actionShowGrids->isChecked();
    m_verticalGrid->enableX(on);
    m_horizontalGrid->enableY(on);
    m_options->setHAxisTicGrid(on);
    m_options->setVAxisTicGrid(on);
    m_plot->replot();
}

void GuiGrapher::onViewRedoutCursorPositionTriggered()
{
    const bool on = m_actionReadoutCursor->isChecked();
    m_zoomer->setTrackerMode(on ? QwtPicker::AlwaysOn : QwtPicker::AlwaysOff);
    QSettings().setValue(QStringLiteral("Grapher/Actions/ReadoutCursorPosition"), on);
}

// The visible limits go into the dialog's manual range fields, so that a
// later "Manual" range starts from what the user is looking at.
void GuiGrapher::onPlotZoomed()
{
    const QwtScaleDiv &x = m_plot->axisScaleDiv(QwtPlot::xBottom);
    m_options->setHAxisScaleMin(wholeNumber(x.lowerBound()));
    m_options->setHAxisScaleMax(wholeNumber(x.upperBound()));
    const QwtScaleDiv &y = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_options->setVAxisScaleMin(wholeNumber(y.lowerBound()));
    m_options->setVAxisScaleMax(wholeNumber(y.upperBound()));
}

void GuiGrapher::onFormatAppearanceTriggered()
{
    m_options->showCurveAppearanceTab();
    m_options->setVisible(true);
}

void GuiGrapher::onFormatTitleTriggered()
{
    m_options->showTitleTab();
    m_options->setVisible(true);
}

void GuiGrapher::onFormatLegendTriggered()
{
    m_options->showLegendTab();
    m_options->setVisible(true);
}

void GuiGrapher::onFormatAxesTriggered()
{
    m_options->showAxesTab();
    m_options->setVisible(true);
}

void GuiGrapher::onSettingsChanged()
{
    {
        LegendBatch batch(m_plot);
        const bool curvesChanged = updateCurveSettings();
        updateTitleSettings();
        updateHAxisSettings();
        updateVAxisSettings();
        if (updateLegendSettings() || curvesChanged)
            batch.curvesChanged();
    }
    m_plot->replot();
}

// The colour of each series up to the first one past the dialog's rows: all
// later series share that one's fall-backs, so the dialog, which looks a
// series up by name among all its widgets, is asked once per row, not per curve.
QVector<QColor> GuiGrapher::seriesColors() const
{
    QVector<QColor> colors;
    const int rows = qMin(m_curves.size(), GuiGrapherOptions::SeriesCount + 1);
    for (int series = 1; series <= rows; ++series)
        colors << m_options->curveColor(series);
    return colors;
}

bool GuiGrapher::updateCurveSettings()
{
    QPen linePen;
    linePen.setStyle(Qt::NoPen);
    if (m_options->qtCurvePlotLine->isChecked()) {
        linePen.setStyle(Qt::SolidLine);
        // A pen narrower than one pixel draws nothing on Qt 5; draw a hairline.
        const double width = m_options->qtCurveLineWidth->value();
        linePen.setWidthF(width < 1.0 ? 0.0 : width);
    }

    const bool symbols = m_options->qtCurvePlotSymbols->isChecked();
    // Without "Plot Symbols" the symbol keeps a zero size and no fill.
    const int size = symbols ? int(m_options->qtCurveSymbolSize->value()) : 0;

    const QVector<QColor> colors = seriesColors();
    QVector<QwtSymbol::Style> styles;
    for (int series = 1; series <= colors.size(); ++series)
        styles << QwtSymbol::Style(m_options->curveSymbol(series));

    bool changed = false;
    for (int i = 0; i < m_curves.size(); ++i) {
        QwtPlotCurve *curve = m_curves.at(i);
        const int row = qMin(i, colors.size() - 1);
        const QColor color = colors.at(row);
        QPen pen = linePen;
        pen.setColor(color);
        const QPen symbolPen(color, 0);
        QBrush brush(color, symbols ? Qt::SolidPattern : Qt::NoBrush);
        if (curve->pen() != pen) {
            curve->setPen(pen);
            changed = true;
        }
        if (!sameSymbol(curve->symbol(), styles.at(row), brush, symbolPen, size)) {
            // A curve owns its symbol and deletes the one it replaces.
            curve->setSymbol(new QwtSymbol(styles.at(row), brush, symbolPen, QSize(size, size)));
            changed = true;
        }
    }
    return changed;
}

void GuiGrapher::updateTitleSettings()
{
    QwtText title(m_options->qtTitleMainTitle->text(), QwtText::AutoText);
    QFont font = m_options->qtTitleMainFont->currentFont();
    if (m_options->qtTitleMainSize->value() > 0)
        font.setPointSize(m_options->qtTitleMainSize->value());
    title.setFont(font);
    title.setColor(buttonColor(m_options->qtTitleMainColor));
    const QString justification = m_options->qtTitleMainJustification->currentText();
    if (justification.compare(QLatin1String("Left"), Qt::CaseInsensitive) == 0)
        title.setRenderFlags(Qt::AlignLeft);
    else if (justification.compare(QLatin1String("Right"), Qt::CaseInsensitive) == 0)
        title.setRenderFlags(Qt::AlignRight);
    else if (justification.compare(QLatin1String("Center"), Qt::CaseInsensitive) == 0)
        title.setRenderFlags(Qt::AlignHCenter);
    else if (justification.compare(QLatin1String("Justify"), Qt::CaseInsensitive) == 0)
        title.setRenderFlags(Qt::AlignJustify);
    m_plot->setTitle(title);
}

void GuiGrapher::updateHAxisSettings()
{
    updateAxisSettings(true);
}

void GuiGrapher::updateVAxisSettings()
{
    updateAxisSettings(false);
}

// The range and type boxes are told apart by the codes their items carry.
template<typename Code> static bool currentItemIs(const QComboBox *box, Code code)
{
    return box->currentIndex() >= 0 && box->currentIndex() == box->findData(int(code));
}

void GuiGrapher::updateAxisSettings(bool horizontal)
{
    GuiGrapherOptions *o = m_options;
    const int axis = horizontal ? QwtPlot::xBottom : QwtPlot::yLeft;
    QComboBox *range = horizontal ? o->qtHAxisScaleRange : o->qtVAxisScaleRange;
    QDoubleSpinBox *min = horizontal ? o->qtHAxisScaleMin : o->qtVAxisScaleMin;
    QDoubleSpinBox *max = horizontal ? o->qtHAxisScaleMax : o->qtVAxisScaleMax;
    QDoubleSpinBox *step = horizontal ? o->qtHAxisTicInterval : o->qtVAxisTicInterval;
    QComboBox *type = horizontal ? o->qtHAxisScaleType : o->qtVAxisScaleType;
    QCheckBox *gridSwitch = horizontal ? o->qtHAxisTicGrid : o->qtVAxisTicGrid;
    QPushButton *gridColor = horizontal ? o->qtHAxisTicColor : o->qtVAxisTicColor;
    QCheckBox *mark = horizontal ? o->qtHAxisTicMark : o->qtVAxisTicMark;
    QGroupBox *labelBox = horizontal ? o->qtHAxisTicLabelBox : o->qtVAxisTicLabelBox;
    QFontComboBox *labelFont = horizontal ? o->qtHAxisTicLabelFont : o->qtVAxisTicLabelFont;
    QSpinBox *labelSize = horizontal ? o->qtHAxisTicLabelSize : o->qtVAxisTicLabelSize;
    QLineEdit *titleText = horizontal ? o->qtHAxisTitle : o->qtVAxisTitle;
    QFontComboBox *titleFont = horizontal ? o->qtHAxisTitleFont : o->qtVAxisTitleFont;
    QSpinBox *titleSize = horizontal ? o->qtHAxisTitleSize : o->qtVAxisTitleSize;
    QPushButton *titleColor = horizontal ? o->qtHAxisTitleColor : o->qtVAxisTitleColor;

    using Range = GuiGrapherOptions::ScaleRange;
    using Type = GuiGrapherOptions::ScaleType;
    // "Prescale" keeps whatever scale the axis has.
    if (currentItemIs(range, Range::Auto))
        m_plot->setAxisAutoScale(axis);
    else if (currentItemIs(range, Range::Manual)) {
        double low = std::trunc(min->value());
        double high = std::trunc(max->value());
        // Limits within one whole number (0.2 to 0.8) would cut to one value
        // and leave an axis of no width; such limits are taken as typed.
        if (low == high && min->value() != max->value()) {
            low = min->value();
            high = max->value();
        }
        m_plot->setAxisScale(axis, low, high, std::trunc(step->value()));
    }

    // "Natural Log" keeps the engine the axis has.
    if (currentItemIs(type, Type::Linear)) {
        m_plot->setAxisScaleEngine(axis, new QwtLinearScaleEngine);
    } else if (currentItemIs(type, Type::Log10)) {
        emit sigLog(QStringLiteral("Switching to Log Base 10 "), LogLevel);
        m_plot->setAxisScaleEngine(axis, new QwtLogScaleEngine);
    }
    // Auto range on a log axis: Qwt would take the data's whole extent, and a
    // zero in it (pH 0 of a charge curve) stretches the axis down to 1e-100.
    if (currentItemIs(range, Range::Auto) && currentItemIs(type, Type::Log10)) {
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const QwtPlotCurve *curve : qAsConst(m_curves)) {
            for (size_t i = 0; i < curve->dataSize(); ++i) {
                const QPointF point = curve->sample(i);
                const double value = horizontal ? point.x() : point.y();
                if (value > 0 && std::isfinite(value)) {
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
            }
        }
        if (low <= high)
            m_plot->setAxisScale(axis, low, high);
    }

    QwtPlotGrid *grid = horizontal ? m_verticalGrid : m_horizontalGrid;
    if (horizontal)
        grid->enableX(gridSwitch->isChecked());
    else
        grid->enableY(gridSwitch->isChecked());
    grid->setPen(gridPen(buttonColor(gridColor)));

    QwtScaleDraw *scaleDraw = m_plot->axisScaleDraw(axis);
    scaleDraw->enableComponent(QwtAbstractScaleDraw::Ticks, mark->isChecked());
    scaleDraw->enableComponent(QwtAbstractScaleDraw::Labels, mark->isChecked() && labelBox->isChecked());
    // The scale widget measures its extent only when told; re-setting the
    // alignment makes it measure the changed components.
    m_plot->axisWidget(axis)->setLabelAlignment(scaleDraw->labelAlignment());

    QFont font = labelFont->currentFont();
    if (labelSize->value() > 0)
        font.setPointSize(labelSize->value());
    m_plot->setAxisFont(axis, font);
    m_plot->updateLayout();

    QwtText title(titleText->text(), QwtText::AutoText);
    QFont tfont = titleFont->currentFont();
    if (titleSize->value() > 0)
        tfont.setPointSize(titleSize->value());
    title.setFont(tfont);
    title.setColor(buttonColor(titleColor));
    m_plot->setAxisTitle(axis, title);
}

// Qwt builds the legend from the curves' titles and icons; a curve leaves the
// legend when its legend attribute is off.
bool GuiGrapher::updateLegendSettings()
{
    const bool shown = m_options->qtLegendBox->isChecked();
    const bool singleColor = m_options->qtLegendUseSingleColor->isChecked();
    QFont font = m_options->qtLegendFont->currentFont();
    if (m_options->qtLegendSize->value() > 0)
        font.setPointSize(m_options->qtLegendSize->value());

    const QVector<QColor> colors = seriesColors();
    QStringList labels;
    for (int series = 1; series <= colors.size(); ++series)
        labels << m_options->legendLabel(series);

    // Switching the legend attribute off does not tell the legend by itself;
    // the caller's legend update does.
    bool changed = false;
    for (int i = 0; i < m_curves.size(); ++i) {
        QwtPlotCurve *curve = m_curves.at(i);
        if (!shown) {
            changed = changed || curve->testItemAttribute(QwtPlotItem::Legend);
            curve->setItemAttribute(QwtPlotItem::Legend, false);
            continue;
        }
        const int row = qMin(i, colors.size() - 1);
        QwtText text(labels.at(row), QwtText::AutoText);
        text.setFont(font);
        text.setColor(singleColor ? buttonColor(m_options->qtLegendColor) : colors.at(row));
        changed = changed || curve->title() != text || !curve->testLegendAttribute(QwtPlotCurve::LegendShowLine)
            || !curve->testLegendAttribute(QwtPlotCurve::LegendShowSymbol)
            || !curve->testItemAttribute(QwtPlotItem::Legend);
        curve->setTitle(text);
        curve->setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
        curve->setLegendAttribute(QwtPlotCurve::LegendShowSymbol, true);
        curve->setItemAttribute(QwtPlotItem::Legend, true);
    }

    if (shown && !m_curves.isEmpty()) {
        const QVariant position = m_options->qtLegendPosition->currentData(Qt::UserRole);
        if (position.isValid()) {
            const auto where = QwtPlot::LegendPosition(position.toInt());
            m_plot->insertLegend(m_plot->legend(), where, -1);
            // Re-inserting the same legend keeps its column count: beside the
            // plot one column, above or below it as many as fit in a row.
            if (auto *legend = qobject_cast<QwtLegend *>(m_plot->legend()))
                legend->setMaxColumns(where == QwtPlot::LeftLegend || where == QwtPlot::RightLegend ? 1 : 0);
        }
    }
    m_plot->updateLayout();
    return changed;
}

// Curve by curve, the legend would drop each entry, make it anew and re-chain
// all its entries for the focus each time: quadratic in the number of curves.
// Instead the old curves go unseen by the legend, the new ones take their look
// before they come, and the legend is told once, series that were there before
// keeping their entries. Fewer series than before would leave entries to drop
// one by one; a new legend is quicker.
void GuiGrapher::replaceCurves(const QList<QwtPlotCurve *> &curves)
{
    const int before = m_curves.size();
    {
        const QSignalBlocker quiet(m_plot);
        for (QwtPlotCurve *curve : qAsConst(m_curves)) {
            curve->detach();
            delete curve;
        }
    }
    m_curves = curves;
    grapherPlot(m_plot)->setSeries(curves);
    // Not yet attached, a curve tells no legend of each change of its look.
    updateCurveSettings();
    updateLegendSettings();
    {
        LegendBatch batch(m_plot);
        for (QwtPlotCurve *curve : curves)
            curve->attach(m_plot);
        if (curves.size() >= before)
            batch.curvesChanged(curves.size() > before);
    }
    if (curves.size() < before)
        renewLegend();
}

// A new legend in the place, proportion and columns of the old one, which it
// replaces. It takes an entry for every item before it is shown.
void GuiGrapher::renewLegend()
{
    const QwtPlotLayout *layout = m_plot->plotLayout();
    const QwtPlot::LegendPosition where = layout->legendPosition();
    const double ratio = layout->legendRatio();
    const auto *old = qobject_cast<const QwtLegend *>(m_plot->legend());
    const int columns = old ? old->maxColumns() : 1;
    auto *legend = new QwtLegend;
    legend->setMaxColumns(columns);
    // The plot puts a new legend into the focus chain by its position: at the
    // right, where the window's first legend went.
    if (where != QwtPlot::RightLegend)
        m_plot->insertLegend(legend, QwtPlot::RightLegend, -1);
    m_plot->insertLegend(legend, where, ratio);
    legend->setMaxColumns(columns);
}

void GuiGrapher::onEditPasteDataTriggered()
{
    emit sigLog(QStringLiteral("Plotting data from clipboard"), LogLevel);
    const QString text = QApplication::clipboard()->text();
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); }))
        return;

    int columns = 0;
    forEachPastedLine(text, [&columns](QStringView first) {
        columns = int(std::count(first.begin(), first.end(), QLatin1Char('\t'))) + 1;
        return false;
    });
    QString refusal;
    if (columns % 2 != 0) {
        refusal = QStringLiteral("The number of data columns must be an even number\n"
                                 "(an X and Y column for each data series!)\nAborting...");
    } else if (columns / 2 > MaxPastedSeries) {
        // Each series is a curve with its own legend entry; thousands of them
        // would keep the window busy for minutes and show nothing readable.
        refusal = QStringLiteral("The clipboard holds %1 data series; at most %2 can be plotted.\nAborting...")
                      .arg(columns / 2)
                      .arg(MaxPastedSeries);
    }
    if (!refusal.isEmpty()) {
        emit sigLog(refusal, LogLevel);
        // Checked before anything is removed: the plot stays as it was.
        QMessageBox::critical(this, QStringLiteral("Vornakel Grapher"), refusal, QMessageBox::Ok);
        return;
    }

    struct Series
    {
        QVector<double> x, y;
    };
    QVector<Series> pasted(columns / 2);
    {
        GuiWaitCursor wait;
        // Read line by line; the invalid pairs are told series by series.
        struct Skipped
        {
            int series;
            QStringView x, y;
        };
        QVector<Skipped> skipped;
        forEachPastedPair(text, columns, [&](int series, QStringView xText, QStringView yText) {
            double x = 0;
            double y = 0;
            if (!AppNumber::fromText(xText, &x) || !AppNumber::fromText(yText, &y)) {
                skipped << Skipped { series, xText, yText };
                return;
            }
            pasted[series].x << x;
            pasted[series].y << y;
        });
        std::stable_sort(
            skipped.begin(), skipped.end(), [](const Skipped &a, const Skipped &b) { return a.series < b.series; });
        for (const Skipped &pair : qAsConst(skipped))
            emit sigLog(QStringLiteral("Skipping invalid pair [%1 %2]").arg(pair.x, pair.y), LogLevel);
        // A pair without a single valid point makes no curve.
        pasted.erase(
            std::remove_if(pasted.begin(), pasted.end(), [](const Series &series) { return series.x.isEmpty(); }),
            pasted.end());
    }
    if (pasted.isEmpty()) {
        // Nothing plottable: keep the curves the user had.
        emit sigLog(QStringLiteral("No valid data pairs in the clipboard; the plot is unchanged"), LogLevel);
        return;
    }

    GuiWaitCursor wait;
    QList<QwtPlotCurve *> curves;
    for (const Series &series : qAsConst(pasted)) {
        auto *curve = new QwtPlotCurve;
        curve->setSamples(series.x, series.y);
        curves << curve;
    }
    replaceCurves(curves);
    onSettingsChanged();
    m_zoomer->setZoomBase(true);
}

void GuiGrapher::onEditCopyDataTriggered()
{
    QApplication::clipboard()->setText(copySeriesData('\t'), QClipboard::Clipboard);
}

QString GuiGrapher::copySeriesData(char separator) const
{
    GuiWaitCursor wait;
    const QChar sep = QLatin1Char(separator);
    size_t rows = 0;
    for (const QwtPlotCurve *curve : m_curves)
        rows = qMax(rows, curve->dataSize());

    // Six significant digits: the exchange format of the clipboard and the
    // ".dat" file, read back by spreadsheets and by the paste.
    QString text;
    for (size_t r = 0; r < rows; ++r) {
        QString row;
        for (const QwtPlotCurve *curve : m_curves) {
            if (r < curve->dataSize()) {
                const QPointF point = curve->sample(int(r));
                row += QString::number(point.x(), 'g', 6) + sep + QString::number(point.y(), 'g', 6) + sep;
            } else {
                row += sep;
                row += sep;
            }
        }
        row.chop(1);
        text += row + QLatin1Char('\n');
    }
    return text;
}

// The plot with its title, legend, grids and background, framed with its scales.
static void renderPlot(QwtPlot *plot, QPaintDevice &device)
{
    QwtPlotRenderer renderer;
    renderer.setDiscardFlags(QwtPlotRenderer::DiscardNone);
    renderer.setLayoutFlag(QwtPlotRenderer::FrameWithScales, true);
    renderer.renderTo(plot, device);
}

void GuiGrapher::onEditCopyAsBitmapTriggered()
{
    GuiWaitCursor wait;
    QPixmap pixmap(m_plot->width(), m_plot->height());
    pixmap.fill(Qt::white);
    renderPlot(m_plot, pixmap);
    QApplication::clipboard()->setPixmap(pixmap, QClipboard::Clipboard);
}

void GuiGrapher::onFilePrintTriggered()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Graph"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    print(&printer);
}

void GuiGrapher::print(QPrinter *printer)
{
    GuiPrintToFile file(printer);
    if (!file.begin(this))
        return;
    {
        GuiWaitCursor wait;
        renderPlot(m_plot, *file.device());
    }
    file.finish(this);
}

void GuiGrapher::onFileSaveTriggered()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;

    // The formats in the dialog's order, each with the extension its file is given.
    enum { Graph, Ascii, Metafile };
    const QVector<GuiSaveFileName::Format> formats = { { QLatin1String(GraphFilter), QStringLiteral("grf") },
        { QLatin1String(AsciiFilter), QStringLiteral("dat") },
        { QLatin1String(MetafileFilter), QStringLiteral("WMF") } };
    int format = action == m_actionSaveAsASCII ? Ascii : action == m_actionSaveAsMetafile ? Metafile : Graph;
    const QString caption = QStringLiteral("Save As");
    const QString name = GuiSaveFileName::choose(this, caption,
        QSettings().value(QLatin1String(saveFolderKey), QStringLiteral("./")).toString(), formats, &format);
    if (name.isEmpty())
        return;
    QSettings().setValue(QLatin1String(saveFolderKey), QFileInfo(name).absolutePath());
    // Only ASCII writes a file, and is asked about the one it writes.
    if (format == Ascii) {
        if (GuiSaveFileName::mayReplace(this, caption, name))
            saveAsASCII(name);
    } else if (format == Graph) {
        saveAsGraph(name);
    } else {
        saveAsMetafile(name);
    }
}

bool GuiGrapher::saveAsASCII(const QString &fileName)
{
    QString failure;
    if (AppSaveFile::write(fileName, copySeriesData(',').toLocal8Bit(), &failure))
        return true;
    QMessageBox::critical(this, QStringLiteral("Vornakel"),
        QStringLiteral("Error writing to ASCII file\n%1").arg(failure), QMessageBox::Ok);
    return false;
}

// Plot files and metafiles have no writer; say so rather than pretend to save.
void GuiGrapher::saveAsGraph(const QString &fileName)
{
    QMessageBox::warning(this, QStringLiteral("Vornakel"),
        QStringLiteral("Saving as a graph file is not supported.\n%1 was not written.").arg(fileName), QMessageBox::Ok);
}

void GuiGrapher::saveAsMetafile(const QString &fileName)
{
    QMessageBox::warning(this, QStringLiteral("Vornakel"),
        QStringLiteral("Saving as a metafile is not supported.\n%1 was not written.").arg(fileName), QMessageBox::Ok);
}

// No graph file format is read; the dialog is all there is.
void GuiGrapher::onFileOpenTriggered()
{
    QFileDialog::getOpenFileName(this, QStringLiteral("Graph Files (*.DAT, *.GRF, *.WMF)"),
        QSettings().value(QLatin1String(saveFolderKey), QStringLiteral("./")).toString(), QString());
}
