#include "gui/gui_grapher.h"
#include "gui/gui_grapheroptions.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <qwt_legend.h>
#include <qwt_legend_data.h>
#include <qwt_legend_label.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_symbol.h>

using Points = QVector<QPointF>;
Q_DECLARE_METATYPE(Points)

class TstGuiGrapher : public QObject
{
    Q_OBJECT

    TestSettings *m_settings = nullptr;

    // A window as its callers build one.
    static GuiGrapher *newGrapher()
    {
        auto *grapher = new GuiGrapher(nullptr);
        grapher->reset();
        return grapher;
    }

    static QwtPlotCurve *curve(const Points &points)
    {
        auto *c = new QwtPlotCurve;
        c->setSamples(points);
        return c;
    }

    static QAction *action(GuiGrapher *grapher, const QString &text)
    {
        for (QAction *a : grapher->findChildren<QAction *>())
            if (a->text() == text)
                return a;
        qFatal("no action %s", qPrintable(text));
        return nullptr;
    }

    static Points points(const QwtPlotCurve *c)
    {
        Points out;
        for (size_t i = 0; i < c->dataSize(); ++i)
            out << c->sample(int(i));
        return out;
    }

    static QStringList legendTexts(GuiGrapher *grapher)
    {
        QStringList texts;
        auto *legend = qobject_cast<QwtLegend *>(grapher->plotOptions()->legend());
        for (QwtPlotCurve *c : grapher->curves())
            for (QWidget *w : legend->legendWidgets(grapher->plotOptions()->itemToInfo(c)))
                texts << qobject_cast<QwtLegendLabel *>(w)->data().title().text();
        return texts;
    }

    static QStringList logLines(const QSignalSpy &spy)
    {
        QStringList lines;
        for (const QList<QVariant> &args : spy) {
            if (args.at(1).toInt() != -1)
                lines << QStringLiteral("wrong level");
            lines << args.at(0).toString();
        }
        return lines;
    }

    static void apply(GuiGrapher *grapher)
    {
        grapher->optionsDialog()->qtDialogButtons->button(QDialogButtonBox::Apply)->click();
    }

    static void paste(GuiGrapher *grapher, const QString &text)
    {
        QApplication::clipboard()->setText(text);
        action(grapher, "Paste Data")->trigger();
    }

private slots:
    void init() { m_settings = new TestSettings; }
    void cleanup()
    {
        delete m_settings;
        m_settings = nullptr;
    }

    void buildsMenusInOrder()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        auto *bar = grapher->findChild<QMenuBar *>();
        QVERIFY(bar);
        QStringList menus;
        for (QAction *a : bar->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList { "File", "Edit", "View", "Format", "Tools", "Help" }));
        QStringList file;
        for (QAction *a : bar->actions().at(0)->menu()->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file,
            (QStringList { "Open...", "-", "Save As", "-", "Print...", "-", "Change Defaults...", "-", "Close" }));
        QCOMPARE(action(grapher.data(), "Copy Data")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(action(grapher.data(), "Paste Data")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
        QCOMPARE(action(grapher.data(), "Last Zoom")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QAction *round = action(grapher.data(), "Round Axis Scales on Zoom");
        QVERIFY(round->isCheckable() && !round->isChecked() && !round->isEnabled());
        QAction *grids = action(grapher.data(), "Show Grids");
        QVERIFY(grids->isCheckable() && grids->isChecked());
        QAction *readout = action(grapher.data(), "Readout Cursor Position");
        QVERIFY(readout->isCheckable() && !readout->isChecked());
        QVERIFY(!action(grapher.data(), "Convert to Movie")->isEnabled());
        QVERIFY(!action(grapher.data(), "Revert to Overlaid Data Sets")->isEnabled());
        QVERIFY(!grapher->isVisible());
        QVERIFY(grapher->windowTitle().isEmpty() || grapher->windowTitle() == QApplication::applicationName());
        QCOMPARE(grapher->plotOptions()->canvasBackground().color(), QColor("#ffffff"));
        QCOMPARE(grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOff);
    }

    void opensWithDefaultSizeAndRemembersResize()
    {
        QPoint position;
        {
            QScopedPointer<GuiGrapher> grapher(newGrapher());
            QCOMPARE(grapher->geometry().size(), QSize(600, 600));
            grapher->show();
            QVERIFY(QTest::qWaitForWindowExposed(grapher.data()));
            grapher->resize(800, 500);
            QTRY_COMPARE(QSettings().value("Grapher/geometry/width").toInt(), 800);
            QCOMPARE(QSettings().value("Grapher/geometry/height").toInt(), 500);
            position = grapher->geometry().topLeft();
        }
        QScopedPointer<GuiGrapher> again(newGrapher());
        QCOMPARE(again->geometry(), QRect(position, QSize(800, 500)));
    }

    void curveTakesColourLineSymbolAndLabelOfItsSeries_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("color");
        QTest::addColumn<int>("style");
        QTest::newRow("1") << 1 << "#000000" << int(QwtSymbol::Ellipse);
        QTest::newRow("2") << 2 << "#000080" << int(QwtSymbol::Hexagon);
        QTest::newRow("5") << 5 << "#800000" << int(QwtSymbol::DTriangle);
        QTest::newRow("11") << 11 << "#FF0000" << int(QwtSymbol::HLine);
        QTest::newRow("14") << 14 << "#FFFF00" << int(QwtSymbol::Star2);
    }
    void curveTakesColourLineSymbolAndLabelOfItsSeries()
    {
        QFETCH(int, series);
        QFETCH(QString, color);
        QFETCH(int, style);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        for (int n = 1; n <= series; ++n)
            grapher->addCurve(curve({ { 1, double(n) }, { 2, double(n + 1) } }));
        QwtPlotCurve *c = grapher->curves().at(series - 1);
        QCOMPARE(c->plot(), grapher->plotOptions());
        QCOMPARE(c->style(), QwtPlotCurve::Lines);
        QCOMPARE(c->pen().color(), QColor(color));
        QCOMPARE(c->pen().style(), Qt::SolidLine);
        QCOMPARE(c->pen().widthF(), 0.0); // the 0.01 default drawn as a hairline
        QVERIFY(c->symbol());
        QCOMPARE(int(c->symbol()->style()), style);
        QCOMPARE(c->symbol()->size(), QSize(8, 8));
        QCOMPARE(c->symbol()->brush().color(), QColor(color));
        QCOMPARE(c->symbol()->brush().style(), Qt::SolidPattern);
        QCOMPARE(c->symbol()->pen().color(), QColor(color));
        QCOMPARE(c->title().text(), QStringLiteral("Series %1").arg(series));
        QCOMPARE(legendTexts(grapher.data()).size(), series);
        QCOMPARE(legendTexts(grapher.data()).last(), QStringLiteral("Series %1").arg(series));
    }

    void fifteenthCurveIsRefusedWithLogLine()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        for (int n = 0; n < 14; ++n)
            grapher->addCurve(curve({ { 0, double(n) } }));
        QSignalSpy log(grapher.data(), &GuiGrapher::sigLog);
        QwtPlotCurve *extra = curve({ { 1, 1 } });
        grapher->addCurve(extra);
        QCOMPARE(logLines(log), QStringList { "Maximum number of curves exceeded; ignoring new curve" });
        QCOMPARE(grapher->curves().size(), 14);
        QVERIFY(!extra->plot());
        delete extra; // still the caller's
    }

    void axisTitlesAndLegendTextReachThePlotOnAddCurve()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->setXAxisTitle("hydration (g/g)");
        grapher->setYAxisTitle("prolate axial ratio (a/b), vbar method");
        grapher->setLegendText(1, "prolate");
        QVERIFY(grapher->plotOptions()->axisTitle(QwtPlot::xBottom).isEmpty());
        grapher->addCurve(curve({ { 0, 1 }, { 1, 2 } }));
        QCOMPARE(grapher->plotOptions()->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("hydration (g/g)"));
        QCOMPARE(grapher->plotOptions()->axisTitle(QwtPlot::yLeft).text(),
            QStringLiteral("prolate axial ratio (a/b), vbar method"));
        QCOMPARE(legendTexts(grapher.data()), QStringList { "prolate" });
    }

    void titleSetBeforeAddCurveGivesWayToDialogTitle()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        QSignalSpy log(grapher.data(), &GuiGrapher::sigLog);
        grapher->setTitle("Prolate");
        QCOMPARE(logLines(log), QStringList { "setTitle(Prolate)" });
        grapher->addCurve(curve({ { 0, 1 } }));
        QCOMPARE(grapher->plotOptions()->title().text(), QString());

        grapher->setTitle("Oblate");
        QCOMPARE(grapher->plotOptions()->title().text(), QStringLiteral("Oblate"));
        QCOMPARE(grapher->plotOptions()->title().renderFlags(), int(Qt::AlignLeft));
        apply(grapher.data());
        QCOMPARE(grapher->plotOptions()->title().text(), QString());
    }

    void titleJustificationSetsAlignment_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("flags");
        QTest::newRow("Left") << 0 << int(Qt::AlignLeft);
        QTest::newRow("Right") << 1 << int(Qt::AlignRight);
        QTest::newRow("Center") << 2 << int(Qt::AlignHCenter);
        QTest::newRow("Justify") << 3 << int(Qt::AlignJustify);
    }
    void titleJustificationSetsAlignment()
    {
        QFETCH(int, index);
        QFETCH(int, flags);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtTitleMainTitle->setText("Net Charge");
        o->qtTitleMainSize->setValue(14);
        o->qtTitleMainJustification->setCurrentIndex(index);
        apply(grapher.data());
        const QwtText title = grapher->plotOptions()->title();
        QCOMPARE(title.text(), QStringLiteral("Net Charge"));
        QCOMPARE(title.renderFlags(), flags);
        QCOMPARE(title.font().pointSize(), 14);
        QCOMPARE(title.color(), QColor("#000000"));
    }

    void zoomLimitsGoIntoDialogCutTowardZero()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0.5, 0.5 }, { 13.7, 13.7 } }));
        const QwtScaleDiv &x = grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom);
        GuiGrapherOptions *o = grapher->optionsDialog();
        QCOMPARE(o->qtHAxisScaleMin->value(), double(int(x.lowerBound())));
        QCOMPARE(o->qtHAxisScaleMax->value(), double(int(x.upperBound())));

        grapher->zoomer()->zoom(QRectF(QPointF(0.5, -2.5), QPointF(13.7, 9.9)));
        QCOMPARE(o->qtHAxisScaleMin->value(), 0.0);
        QCOMPARE(o->qtHAxisScaleMax->value(), 13.0);
        QCOMPARE(o->qtVAxisScaleMin->value(), -2.0);
        QCOMPARE(o->qtVAxisScaleMax->value(), 9.0);
        QCOMPARE(o->savedState().value("qtVAxisScaleMax").toInt(), 9);
        // The range choice stays as it was.
        QCOMPARE(o->qtHAxisScaleRange->currentText(), QStringLiteral("Auto Range"));

        action(grapher.data(), "Last Zoom")->trigger();
        QCOMPARE(grapher->zoomer()->zoomRectIndex(), 0u);
        action(grapher.data(), "Last Zoom")->trigger(); // at the base it stays there
        QCOMPARE(grapher->zoomer()->zoomRectIndex(), 0u);
    }

    void manualRangeFixesAxisFromWholeNumbers()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 0 }, { 100, 100 } }));
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtHAxisScaleRange->setCurrentIndex(2);
        o->qtHAxisScaleMin->setValue(0.9);
        o->qtHAxisScaleMax->setValue(10.5);
        o->qtHAxisTicInterval->setValue(2.5);
        apply(grapher.data());
        const QwtScaleDiv &div = grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(div.lowerBound(), 0.0);
        QCOMPARE(div.upperBound(), 10.0);
        QCOMPARE(div.ticks(QwtScaleDiv::MajorTick), (QList<double> { 0, 2, 4, 6, 8, 10 }));

        o->qtHAxisTicInterval->setValue(0.5); // a step cut to 0 leaves the step to the plot
        apply(grapher.data());
        QVERIFY(grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick).size() > 1);
    }

    void prescaleKeepsZoomAndAutoRangeDropsIt()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 0 }, { 100, 100 } }));
        grapher->zoomer()->zoom(QRectF(QPointF(10, 10), QPointF(20, 20)));
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtHAxisScaleRange->setCurrentIndex(1);
        apply(grapher.data());
        QCOMPARE(grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom).lowerBound(), 10.0);
        QCOMPARE(grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom).upperBound(), 20.0);
        o->qtHAxisScaleRange->setCurrentIndex(0);
        apply(grapher.data());
        QVERIFY(grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom).upperBound() >= 100.0);
    }

    void logTypeLogsOnEveryApplicationAndNaturalLogKeepsIt()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtVAxisScaleType->setCurrentIndex(1);
        QSignalSpy log(grapher.data(), &GuiGrapher::sigLog);
        grapher->addCurve(curve({ { 1, 1 }, { 2, 1000 } }));
        QCOMPARE(logLines(log), QStringList { "Switching to Log Base 10 " });
        QVERIFY(dynamic_cast<QwtLogScaleEngine *>(grapher->plotOptions()->axisScaleEngine(QwtPlot::yLeft)));
        QVERIFY(dynamic_cast<QwtLinearScaleEngine *>(grapher->plotOptions()->axisScaleEngine(QwtPlot::xBottom)));
        o->qtVAxisScaleType->setCurrentIndex(2);
        apply(grapher.data());
        QCOMPARE(log.count(), 1);
        QVERIFY(dynamic_cast<QwtLogScaleEngine *>(grapher->plotOptions()->axisScaleEngine(QwtPlot::yLeft)));
        o->qtVAxisScaleType->setCurrentIndex(0);
        apply(grapher.data());
        QVERIFY(dynamic_cast<QwtLinearScaleEngine *>(grapher->plotOptions()->axisScaleEngine(QwtPlot::yLeft)));
    }

    void markAndLabelBoxesSwitchTicksAndLabels_data()
    {
        QTest::addColumn<bool>("mark");
        QTest::addColumn<bool>("label");
        QTest::newRow("both") << true << true;
        QTest::newRow("mark only") << true << false;
        QTest::newRow("label only") << false << true;
        QTest::newRow("neither") << false << false;
    }
    void markAndLabelBoxesSwitchTicksAndLabels()
    {
        QFETCH(bool, mark);
        QFETCH(bool, label);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtHAxisTicMark->setChecked(mark);
        o->qtHAxisTicLabelBox->setChecked(label);
        apply(grapher.data());
        const QwtScaleDraw *draw = grapher->plotOptions()->axisScaleDraw(QwtPlot::xBottom);
        QCOMPARE(draw->hasComponent(QwtAbstractScaleDraw::Ticks), mark);
        QCOMPARE(draw->hasComponent(QwtAbstractScaleDraw::Labels), mark && label);
        QVERIFY(draw->hasComponent(QwtAbstractScaleDraw::Backbone));
        const QwtScaleDraw *left = grapher->plotOptions()->axisScaleDraw(QwtPlot::yLeft);
        QVERIFY(left->hasComponent(QwtAbstractScaleDraw::Ticks));
        QVERIFY(left->hasComponent(QwtAbstractScaleDraw::Labels));
    }

    void axisFontsAndGridFollowTheDialog()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtVAxisTicLabelSize->setValue(16);
        o->qtVAxisTitleSize->setValue(20);
        o->qtVAxisTicGrid->setChecked(false);
        apply(grapher.data());
        QCOMPARE(grapher->plotOptions()->axisFont(QwtPlot::yLeft).pointSize(), 16);
        QCOMPARE(grapher->plotOptions()->axisTitle(QwtPlot::yLeft).font().pointSize(), 20);
        QVERIFY(!grapher->horizontalGrid()->yEnabled());
        QVERIFY(grapher->verticalGrid()->xEnabled());
        QCOMPARE(grapher->verticalGrid()->majorPen().color(), QColor("#FF0000"));
        QCOMPARE(grapher->verticalGrid()->majorPen().style(), Qt::DashLine);
        QCOMPARE(grapher->verticalGrid()->majorPen().widthF(), 0.0);
    }

    void legendFollowsItsSwitchColoursAndPosition()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 1 } }));
        grapher->addCurve(curve({ { 0, 2 } }));
        GuiGrapherOptions *o = grapher->optionsDialog();
        QCOMPARE(grapher->curves().at(1)->title().color(), QColor("#000080"));

        o->qtLegendBox->setChecked(false);
        apply(grapher.data());
        QVERIFY(legendTexts(grapher.data()).isEmpty());
        o->qtLegendBox->setChecked(true);
        apply(grapher.data());
        QCOMPARE(legendTexts(grapher.data()), (QStringList { "Series 1", "Series 2" }));

        o->qtLegendUseSingleColor->setChecked(true);
        o->qtLegendColor->setProperty("color", "#123456");
        apply(grapher.data());
        QCOMPARE(grapher->curves().at(0)->title().color(), QColor("#123456"));
        QCOMPARE(grapher->curves().at(1)->title().color(), QColor("#123456"));

        o->qtLegendPosition->setCurrentIndex(2);
        apply(grapher.data());
        QCOMPARE(grapher->plotOptions()->plotLayout()->legendPosition(), QwtPlot::BottomLegend);
        o->qtLegendPosition->setCurrentIndex(1);
        apply(grapher.data());
        QCOMPARE(grapher->plotOptions()->plotLayout()->legendPosition(), QwtPlot::LeftLegend);
    }

    // A legend moved below the plot lays its labels out side by side, not in
    // a column that eats the plot's height; at either side it is one column.
    void legendBelowThePlotRunsInARow()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 1 } }));
        grapher->addCurve(curve({ { 0, 2 } }));
        auto *legend = qobject_cast<QwtLegend *>(grapher->plotOptions()->legend());
        QCOMPARE(legend->maxColumns(), 1u);
        grapher->optionsDialog()->qtLegendPosition->setCurrentIndex(2);
        apply(grapher.data());
        QCOMPARE(legend->maxColumns(), 0u);
        grapher->optionsDialog()->qtLegendPosition->setCurrentIndex(1);
        apply(grapher.data());
        QCOMPARE(legend->maxColumns(), 1u);
    }

    void linesAndSymbolsFollowTheirBoxes()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 1 }, { 1, 2 } }));
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtCurvePlotLine->setChecked(false);
        o->qtCurveSymbolSize->setValue(8.9);
        apply(grapher.data());
        QwtPlotCurve *c = grapher->curves().first();
        QCOMPARE(c->pen().style(), Qt::NoPen);
        QCOMPARE(c->symbol()->size(), QSize(8, 8));

        o->qtCurvePlotLine->setChecked(true);
        o->qtCurveLineWidth->setValue(2.5);
        o->qtCurvePlotSymbols->setChecked(false);
        apply(grapher.data());
        c = grapher->curves().first();
        QCOMPARE(c->pen().widthF(), 2.5);
        QCOMPARE(int(c->symbol()->style()), int(QwtSymbol::Ellipse));
        QCOMPARE(c->symbol()->brush().style(), Qt::NoBrush);
    }

    void showGridsSwitchesBothGridsAndTheDialog()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        QVERIFY(!grapher->verticalGrid()->yEnabled());
        QVERIFY(!grapher->horizontalGrid()->xEnabled());
        action(grapher.data(), "Show Grids")->trigger();
        QVERIFY(!grapher->verticalGrid()->xEnabled());
        QVERIFY(!grapher->horizontalGrid()->yEnabled());
        QVERIFY(!o->qtHAxisTicGrid->isChecked());
        QVERIFY(!o->qtVAxisTicGrid->isChecked());
        o->show();
        o->qtDialogButtons->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!o->qtHAxisTicGrid->isChecked());
        action(grapher.data(), "Show Grids")->trigger();
        QVERIFY(grapher->verticalGrid()->xEnabled());
        QVERIFY(o->qtVAxisTicGrid->isChecked());
    }

    void autoScaleXResetsOnlyTheHorizontalRange()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        GuiGrapherOptions *o = grapher->optionsDialog();
        o->qtHAxisScaleRange->setCurrentIndex(2);
        o->qtVAxisScaleRange->setCurrentIndex(2);
        action(grapher.data(), "Auto Scale X")->trigger();
        QCOMPARE(o->qtHAxisScaleRange->currentText(), QStringLiteral("Auto Range"));
        QCOMPARE(o->savedState().value("qtHAxisScaleRange").toString(), QStringLiteral("Auto Range"));
        QCOMPARE(o->qtVAxisScaleRange->currentText(), QStringLiteral("Manual"));
        QVERIFY(grapher->plotOptions()->axisAutoScale(QwtPlot::xBottom));
    }

    void autoScaleXAndYReturnsToZoomBase()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 0, 0 }, { 100, 100 } }));
        grapher->zoomer()->zoom(QRectF(QPointF(10, 10), QPointF(20, 20)));
        QCOMPARE(grapher->zoomer()->zoomRectIndex(), 1u);
        action(grapher.data(), "Auto Scale X and Y")->trigger();
        QCOMPARE(grapher->zoomer()->zoomRectIndex(), 0u);
        QVERIFY(grapher->plotOptions()->axisScaleDiv(QwtPlot::xBottom).upperBound() >= 100.0);
    }

    void readoutSwitchIsStoredAndDrivesTracker()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        QAction *readout = action(grapher.data(), "Readout Cursor Position");
        readout->trigger();
        QCOMPARE(QSettings().value("Grapher/Actions/ReadoutCursorPosition"), QVariant(true));
        QCOMPARE(grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOn);
        readout->trigger();
        QCOMPARE(QSettings().value("Grapher/Actions/ReadoutCursorPosition"), QVariant(false));
        QCOMPARE(grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOff);
    }

    void formatItemsOpenTheirTab_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("page");
        QTest::newRow("appearance") << "Curve Appearance..."
                                    << "qtCurveAppearanceTab";
        QTest::newRow("title") << "Graph Title..."
                               << "qtTitleTab";
        QTest::newRow("legend") << "Graph Legend..."
                                << "qtLegendTab";
        QTest::newRow("axes") << "Graph Axes..."
                              << "qtAxesTab";
    }
    void formatItemsOpenTheirTab()
    {
        QFETCH(QString, item);
        QFETCH(QString, page);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        action(grapher.data(), item)->trigger();
        QVERIFY(grapher->optionsDialog()->isVisible());
        QVERIFY(!grapher->optionsDialog()->isModal());
        QCOMPARE(grapher->optionsDialog()->qtTabWidget->currentWidget()->objectName(), page);
    }

    void pasteMakesOneCurvePerColumnPair_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<Points>>("curves");
        QTest::addColumn<QStringList>("log");
        const QString start = QStringLiteral("Plotting data from clipboard");
        QTest::newRow("two pairs") << "1\t2\t3\t4\n5\t6\t7\t8\n"
                                   << QList<Points> { { { 1, 2 }, { 5, 6 } }, { { 3, 4 }, { 7, 8 } } }
                                   << QStringList { start };
        QTest::newRow("header skipped") << "x\ty\n1\t2" << QList<Points> { { { 1, 2 } } }
                                        << QStringList { start, "Skipping invalid pair [x y]" };
        QTest::newRow("short line") << "1\t2\t3\t4\n5\t6\n"
                                    << QList<Points> { { { 1, 2 }, { 5, 6 } }, { { 3, 4 } } } << QStringList { start };
        QTest::newRow("crlf") << "1\t2\r\n3\t4\r\n\r\n"
                              << QList<Points> { { { 1, 2 }, { 3, 4 } } } << QStringList { start };
        QTest::newRow("empty pair moves later series up")
            << "a\tb\t1\t2\n\t\t3\t4\n"
            << QList<Points> { { { 1, 2 }, { 3, 4 } } }
            << QStringList { start, "Skipping invalid pair [a b]", "Skipping invalid pair [ ]" };
        QTest::newRow("empty lines dropped")
            << "\n1\t2\n\n3\t4" << QList<Points> { { { 1, 2 }, { 3, 4 } } } << QStringList { start };
    }
    void pasteMakesOneCurvePerColumnPair()
    {
        QFETCH(QString, text);
        QFETCH(QList<Points>, curves);
        QFETCH(QStringList, log);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 9, 9 } }));
        QSignalSpy spy(grapher.data(), &GuiGrapher::sigLog);
        paste(grapher.data(), text);
        QCOMPARE(logLines(spy), log);
        QCOMPARE(grapher->curves().size(), curves.size());
        for (int i = 0; i < curves.size(); ++i) {
            QCOMPARE(points(grapher->curves().at(i)), curves.at(i));
            QCOMPARE(grapher->curves().at(i)->plot(), grapher->plotOptions());
            QCOMPARE(grapher->curves().at(i)->pen().color(), grapher->optionsDialog()->curveColor(i + 1));
        }
        QCOMPARE(grapher->zoomer()->zoomRectIndex(), 0u);
    }

    void pasteBeyondFourteenSeriesUsesFallbacks()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        QStringList fields;
        for (int k = 0; k < 16; ++k)
            fields << QString::number(k) << QString::number(k * 10);
        paste(grapher.data(), fields.join('\t'));
        QCOMPARE(grapher->curves().size(), 16);
        for (int i : { 14, 15 }) {
            QwtPlotCurve *c = grapher->curves().at(i);
            QCOMPARE(c->pen().color(), QColor(Qt::black));
            QCOMPARE(int(c->symbol()->style()), int(QwtSymbol::NoSymbol));
            QCOMPARE(c->title().text(), QString());
        }
        QCOMPARE(points(grapher->curves().at(15)), (Points { { 15, 150 } }));
    }

    void badPasteLeavesThePlotAsItWas_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("box");
        QTest::newRow("odd columns") << "1\t2\t3\n4\t5\t6" << true;
        QTest::newRow("odd columns crlf") << "1\t2\t3\r\n" << true;
        QTest::newRow("blank") << " \t \n  " << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no valid pair") << "a\tb\nc\td" << false;
        QTest::newRow("non-finite") << "inf\t1\nnan\t2" << false;
    }
    void badPasteLeavesThePlotAsItWas()
    {
        QFETCH(QString, text);
        QFETCH(bool, box);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 1 }, { 2, 4 } }));
        QwtPlotCurve *before = grapher->curves().first();
        TestModalAnswerer answerer;
        QSignalSpy log(grapher.data(), &GuiGrapher::sigLog);
        paste(grapher.data(), text);
        QCOMPARE(grapher->curves(), QList<QwtPlotCurve *> { before });
        QCOMPARE(before->plot(), grapher->plotOptions());
        QCOMPARE(points(before), (Points { { 1, 1 }, { 2, 4 } }));
        QVERIFY(!QApplication::overrideCursor());
        const QString message = QStringLiteral("The number of data columns must be an even number\n"
                                               "(an X and Y column for each data series!)\nAborting...");
        if (box) {
            QCOMPARE(answerer.titles(), QStringList { "Vornakel Grapher" });
            QCOMPARE(answerer.texts(), QStringList { message });
            QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
            QVERIFY(logLines(log).contains(message));
        } else {
            QVERIFY(answerer.seen().isEmpty());
        }
    }

    void copyDataGivesTabSeparatedRows_data()
    {
        QTest::addColumn<QList<Points>>("curves");
        QTest::addColumn<QString>("text");
        QTest::newRow("two curves") << QList<Points> { { { 1, 3 }, { 2, 4 } }, { { 5, 6 } } }
                                    << "1\t3\t5\t6\n2\t4\t\t\n";
        QTest::newRow("exponent") << QList<Points> { { { 2.5e7, 0.125 } } } << "2.5e+07\t0.125\n";
        QTest::newRow("six digits") << QList<Points> { { { 1.0 / 3.0, -1234567.0 } } } << "0.333333\t-1.23457e+06\n";
        QTest::newRow("no curves") << QList<Points> {} << "";
    }
    void copyDataGivesTabSeparatedRows()
    {
        QFETCH(QList<Points>, curves);
        QFETCH(QString, text);
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        for (const Points &p : curves)
            grapher->addCurve(curve(p));
        QApplication::clipboard()->setText("old");
        action(grapher.data(), "Copy Data")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), text);
        QCOMPARE(grapher->copySeriesData(','), QString(text).replace('\t', ','));
    }

    void copiedDataPastesBackUnchanged()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 3 }, { 2, 4 } }));
        grapher->addCurve(curve({ { 5, 6 }, { 7, 8 } }));
        action(grapher.data(), "Copy Data")->trigger();
        paste(grapher.data(), QApplication::clipboard()->text());
        QCOMPARE(grapher->curves().size(), 2);
        QCOMPARE(points(grapher->curves().at(1)), (Points { { 5, 6 }, { 7, 8 } }));
    }

    void copyImagePutsThePlotOnTheClipboard()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 3 }, { 2, 4 } }));
        grapher->show();
        QVERIFY(QTest::qWaitForWindowExposed(grapher.data()));
        action(grapher.data(), "Copy Image")->trigger();
        const QPixmap pixmap = QApplication::clipboard()->pixmap();
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), grapher->plotOptions()->size());
        QVERIFY(!QApplication::overrideCursor());
    }

    void saveAsAsciiWritesCommaSeparatedFile_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("suffix added") << "result"
                                      << "result.dat";
        QTest::newRow("upper-case suffix kept") << "result.DAT"
                                                << "result.DAT";
    }
    void saveAsAsciiWritesCommaSeparatedFile()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir dir;
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 3 }, { 2, 4 } }));
        grapher->addCurve(curve({ { 5, 6 } }));
        TestModalAnswerer answerer;
        answerer.answerFileDialog(dir.filePath(typed));
        action(grapher.data(), "ASCII...")->trigger();
        QFile file(dir.filePath(written));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("1,3,5,6\n2,4,,\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { written });
        QCOMPARE(QSettings().value("Grapher/SaveAs/directory").toString(), QDir(dir.path()).absolutePath());
        QCOMPARE(answerer.seen().size(), 1);
    }

    void saveAsAsciiReplacesAnExistingFile()
    {
        QTemporaryDir dir;
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 2 } }));
        QFile old(dir.filePath("old.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("a much longer old content\nwith two lines\n");
        old.close();
        QVERIFY(grapher->saveAsASCII(dir.filePath("old.dat")));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("1,2\n"));
    }

    void unsupportedSaveFormatsSaySoAndWriteNothing_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("written");
        QTest::newRow("graph") << "Graph..."
                               << "plot.grf";
        QTest::newRow("metafile") << "Metafile..."
                                  << "plot.WMF";
    }
    void unsupportedSaveFormatsSaySoAndWriteNothing()
    {
        QFETCH(QString, item);
        QFETCH(QString, written);
        QTemporaryDir dir;
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 2 } }));
        TestModalAnswerer answerer;
        answerer.answerFileDialog(dir.filePath("plot"));
        action(grapher.data(), item)->trigger();
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        QCOMPARE(QSettings().value("Grapher/SaveAs/directory").toString(), QDir(dir.path()).absolutePath());
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Vornakel"));
        QVERIFY(answerer.seen().at(1).text.contains("not supported"));
        QVERIFY(answerer.seen().at(1).text.contains(written));
    }

    void cancelledSaveChangesNothing()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        TestModalAnswerer answerer;
        answerer.answerFileDialog(QString());
        action(grapher.data(), "ASCII...")->trigger();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(!QSettings().contains("Grapher/SaveAs/directory"));
    }

    void unwritableAsciiFileIsReported()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 2 } }));
        TestModalAnswerer answerer;
        QVERIFY(!grapher->saveAsASCII(QDir::temp().filePath("no-such-folder-vornakel/x.dat")));
        QCOMPARE(answerer.titles(), QStringList { "Vornakel" });
        QCOMPARE(answerer.texts(), QStringList { "Error writing to ASCII file" });
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
    }

    void openShowsDialogAndReadsNothing()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("data.dat"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1,2\n");
        file.close();
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 7, 8 } }));
        TestModalAnswerer answerer;
        answerer.answerFileDialog(file.fileName());
        action(grapher.data(), "Open...")->trigger();
        QCOMPARE(answerer.titles(), QStringList { "Graph Files (*.DAT, *.GRF, *.WMF)" });
        QCOMPARE(points(grapher->curves().first()), (Points { { 7, 8 } }));
        QVERIFY(!QSettings().contains("Grapher/SaveAs/directory"));
    }

    void changeAxisDataWritesCeilingsToBothAxes()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->changeAxisData(0.2, 12.5);
        GuiGrapherOptions *o = grapher->optionsDialog();
        QCOMPARE(o->qtHAxisScaleMin->value(), 1.0);
        QCOMPARE(o->qtHAxisScaleMax->value(), 13.0);
        QCOMPARE(o->qtVAxisScaleMin->value(), 1.0);
        QCOMPARE(o->qtVAxisScaleMax->value(), 13.0);
    }

    void deletingTheWindowTakesItsDialogAlong()
    {
        auto *grapher = newGrapher();
        QPointer<GuiGrapherOptions> dialog = grapher->optionsDialog();
        grapher->addCurve(curve({ { 1, 2 } }));
        action(grapher, "Graph Axes...")->trigger();
        delete grapher;
        QVERIFY(dialog.isNull());
    }

    void closeHidesAndKeepsCurves()
    {
        QScopedPointer<GuiGrapher> grapher(newGrapher());
        grapher->addCurve(curve({ { 1, 2 } }));
        grapher->show();
        action(grapher.data(), "Close")->trigger();
        QVERIFY(!grapher->isVisible());
        QCOMPARE(grapher->curves().size(), 1);
    }
};

QTEST_MAIN(TstGuiGrapher)
#include "tst_gui_grapher.moc"
