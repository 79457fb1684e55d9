#include "gui/gui_grapher.h"
#include "gui/gui_grapheroptions.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QClipboard>
#include <QMenuBar>
#include <QtTest>

#include <qwt_legend.h>
#include <qwt_legend_data.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_symbol.h>

using Points = QVector<QPointF>;

class TstGuiGrapher : public QObject
{
    Q_OBJECT

    QScopedPointer<TestSettings> m_settings;
    QScopedPointer<GuiGrapher> m_grapher;

    // A window as its callers build one.
    static GuiGrapher *newGrapher()
    {
        auto *grapher = new GuiGrapher(nullptr);
        grapher->reset();
        return grapher;
    }
    QwtPlot *plot() const { return m_grapher->plotOptions(); }
    GuiGrapherOptions *options() const { return m_grapher->optionsDialog(); }
    QwtPlotCurve *curveAt(int i) const { return m_grapher->curves().at(i); }
    void apply() { options()->qtDialogButtons->button(QDialogButtonBox::Apply)->click(); }
    QwtInterval xRange() const { return plot()->axisScaleDiv(QwtPlot::xBottom).interval(); }

    void addCurves(const QList<Points> &list)
    {
        for (const Points &p : list) {
            auto *c = new QwtPlotCurve;
            c->setSamples(p);
            m_grapher->addCurve(c);
        }
    }
    QAction *action(const QString &text) const
    {
        for (QAction *a : m_grapher->findChildren<QAction *>())
            if (a->text() == text)
                return a;
        qFatal("no action %s", qPrintable(text));
        return nullptr;
    }
    QStringList legendTexts() const
    {
        QStringList texts;
        auto *legend = qobject_cast<QwtLegend *>(plot()->legend());
        for (QwtPlotCurve *c : m_grapher->curves())
            for (QWidget *w : legend->legendWidgets(plot()->itemToInfo(c)))
                texts << qobject_cast<QwtLegendLabel *>(w)->data().title().text();
        return texts;
    }
    static QStringList logLines(const QSignalSpy &spy)
    {
        QStringList lines;
        for (const QList<QVariant> &args : spy)
            lines << (args.at(1).toInt() == -1 ? args.at(0).toString() : QStringLiteral("wrong level"));
        return lines;
    }

private slots:
    void init()
    {
        m_settings.reset(new TestSettings);
        m_grapher.reset(newGrapher());
    }
    void cleanup()
    {
        m_grapher.reset();
        m_settings.reset();
    }

    void buildsMenusAndActions()
    {
        QStringList menus, file;
        for (QAction *a : m_grapher->findChild<QMenuBar *>()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList { "File", "Edit", "View", "Format", "Tools", "Help" }));
        for (QAction *a : m_grapher->findChild<QMenuBar *>()->actions().at(0)->menu()->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file,
            (QStringList { "Open...", "-", "Save As", "-", "Print...", "-", "Change Defaults...", "-", "Close" }));
        QCOMPARE(action("Copy Data")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(action("Paste Data")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
        QCOMPARE(action("Last Zoom")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        QAction *round = action("Round Axis Scales on Zoom");
        QVERIFY(round->isCheckable() && !round->isChecked() && !round->isEnabled());
        QVERIFY(!action("Convert to Movie")->isEnabled() && !action("Revert to Overlaid Data Sets")->isEnabled());

        const QList<QPair<QString, QWidget *>> formats { { "Curve Appearance...", options()->qtCurveAppearanceTab },
            { "Graph Title...", options()->qtTitleTab }, { "Graph Legend...", options()->qtLegendTab },
            { "Graph Axes...", options()->qtAxesTab } };
        for (const auto &format : formats) {
            action(format.first)->trigger();
            QVERIFY(options()->isVisible() && !options()->isModal());
            QCOMPARE(options()->qtTabWidget->currentWidget(), format.second);
        }
    }

    void remembersSizeAndCloseHidesWhileDeleteTakesTheDialogAlong()
    {
        QCOMPARE(m_grapher->geometry().size(), QSize(600, 600));
        addCurves({ { { 1, 2 } } });
        m_grapher->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grapher.data()));
        m_grapher->resize(800, 500);
        QTRY_COMPARE(QSettings().value("Grapher/geometry/width").toInt(), 800);
        QCOMPARE(QSettings().value("Grapher/geometry/height").toInt(), 500);
        const QPoint position = m_grapher->geometry().topLeft();
        action("Graph Axes...")->trigger();
        action("Close")->trigger();
        QVERIFY(!m_grapher->isVisible());
        QCOMPARE(m_grapher->curves().size(), 1);
        QPointer<GuiGrapherOptions> dialog = options();
        m_grapher.reset();
        QVERIFY(dialog.isNull());
        m_grapher.reset(newGrapher());
        QCOMPARE(m_grapher->geometry(), QRect(position, QSize(800, 500)));
    }

    void curvesTakeTheirSeriesLookAndTheFifteenthIsRefused()
    {
        for (int n = 1; n <= 14; ++n) {
            addCurves({ { { 1, double(n) }, { 2, double(n + 1) } } });
            QCOMPARE(legendTexts().size(), n);
        }
        const QList<std::tuple<int, QString, QwtSymbol::Style>> looks { { 1, "#000000", QwtSymbol::Ellipse },
            { 2, "#000080", QwtSymbol::Hexagon }, { 14, "#FFFF00", QwtSymbol::Star2 } };
        for (const auto &look : looks) {
            QwtPlotCurve *c = curveAt(std::get<0>(look) - 1);
            const QColor color(std::get<1>(look));
            QCOMPARE(c->plot(), plot());
            QCOMPARE(c->style(), QwtPlotCurve::Lines);
            QCOMPARE(c->pen(), QPen(color, 0.0)); // the 0.01 default drawn as a hairline
            QCOMPARE(c->symbol()->style(), std::get<2>(look));
            QCOMPARE(c->symbol()->size(), QSize(8, 8));
            QCOMPARE(c->symbol()->brush(), QBrush(color));
            QCOMPARE(c->symbol()->pen().color(), color);
            QCOMPARE(legendTexts().at(std::get<0>(look) - 1), QStringLiteral("Series %1").arg(std::get<0>(look)));
        }
        QSignalSpy log(m_grapher.data(), &GuiGrapher::sigLog);
        QScopedPointer<QwtPlotCurve> extra(new QwtPlotCurve); // still the caller's
        m_grapher->addCurve(extra.data());
        QCOMPARE(logLines(log), QStringList { "Maximum number of curves exceeded; ignoring new curve" });
        QCOMPARE(m_grapher->curves().size(), 14);
        QVERIFY(!extra->plot());
    }

    void callerTextsReachThePlotWithTheFirstCurve()
    {
        m_grapher->setXAxisTitle("hydration (g/g)");
        m_grapher->setYAxisTitle("axial ratio");
        m_grapher->setLegendText(1, "prolate");
        QSignalSpy log(m_grapher.data(), &GuiGrapher::sigLog);
        m_grapher->setTitle("Prolate");
        QCOMPARE(logLines(log), QStringList { "setTitle(Prolate)" });
        QVERIFY(plot()->axisTitle(QwtPlot::xBottom).isEmpty());
        addCurves({ { { 0, 1 }, { 1, 2 } } });
        QCOMPARE(plot()->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("hydration (g/g)"));
        QCOMPARE(plot()->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("axial ratio"));
        QCOMPARE(legendTexts(), QStringList { "prolate" });
        QCOMPARE(plot()->title().text(), QString()); // the dialog's title replaces an early one
        m_grapher->setTitle("Oblate");
        QCOMPARE(plot()->title().text(), QStringLiteral("Oblate"));
        QCOMPARE(plot()->title().renderFlags(), int(Qt::AlignLeft));
    }

    // The zoomer hands its limits to the dialog cut toward zero; Prescale keeps
    // the zoom, Auto Range and the auto-scale items drop it.
    void zoomAndRangeChoicesReachTheDialogAndPlot()
    {
        addCurves({ { { 0, 0 }, { 100, 100 } } });
        m_grapher->zoomer()->zoom(QRectF(QPointF(0.5, -2.5), QPointF(13.7, 9.9)));
        QCOMPARE(options()->qtHAxisScaleMin->value(), 0.0);
        QCOMPARE(options()->qtHAxisScaleMax->value(), 13.0);
        QCOMPARE(options()->qtVAxisScaleMin->value(), -2.0);
        QCOMPARE(options()->savedState().value("qtVAxisScaleMax").toInt(), 9);
        options()->qtHAxisScaleRange->setCurrentIndex(1);
        apply();
        QCOMPARE(xRange(), QwtInterval(0.5, 13.7));
        options()->qtHAxisScaleRange->setCurrentIndex(0);
        apply();
        QVERIFY(xRange().maxValue() >= 100.0);
        action("Last Zoom")->trigger();
        action("Last Zoom")->trigger(); // at the base it stays there
        QCOMPARE(m_grapher->zoomer()->zoomRectIndex(), 0u);

        m_grapher->zoomer()->zoom(QRectF(QPointF(10, 10), QPointF(20, 20)));
        action("Auto Scale X and Y")->trigger();
        QCOMPARE(m_grapher->zoomer()->zoomRectIndex(), 0u);
        QVERIFY(plot()->axisScaleDiv(QwtPlot::yLeft).upperBound() >= 100.0);

        m_grapher->changeAxisData(0.2, 12.5);
        QCOMPARE(options()->qtVAxisScaleMin->value(), 1.0);
        QCOMPARE(options()->qtHAxisScaleMax->value(), 13.0);
        options()->qtHAxisScaleRange->setCurrentIndex(2);
        options()->qtVAxisScaleRange->setCurrentIndex(2);
        action("Auto Scale X")->trigger();
        QCOMPARE(options()->savedState().value("qtHAxisScaleRange").toString(), QStringLiteral("Auto Range"));
        QCOMPARE(options()->qtVAxisScaleRange->currentText(), QStringLiteral("Manual"));
    }

    void manualRangeFixesAxisFromWholeNumbers()
    {
        addCurves({ { { 0, 0 }, { 100, 100 } } });
        options()->qtHAxisScaleRange->setCurrentIndex(2);
        options()->qtHAxisScaleMin->setValue(0.9);
        options()->qtHAxisScaleMax->setValue(10.5);
        options()->qtHAxisTicInterval->setValue(2.5);
        apply();
        QCOMPARE(xRange(), QwtInterval(0, 10));
        QCOMPARE(plot()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick),
            (QList<double> { 0, 2, 4, 6, 8, 10 }));
        options()->qtHAxisTicInterval->setValue(0.5); // a step cut to 0 leaves the step to the plot
        apply();
        QVERIFY(plot()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick).size() > 1);
    }

    void logTypeLogsOnEveryApplicationAndNaturalLogKeepsIt()
    {
        options()->qtVAxisScaleType->setCurrentIndex(1);
        QSignalSpy log(m_grapher.data(), &GuiGrapher::sigLog);
        addCurves({ { { 1, 1 }, { 2, 1000 } } });
        QCOMPARE(logLines(log), QStringList { "Switching to Log Base 10 " });
        QVERIFY(dynamic_cast<QwtLogScaleEngine *>(plot()->axisScaleEngine(QwtPlot::yLeft)));
        QVERIFY(dynamic_cast<QwtLinearScaleEngine *>(plot()->axisScaleEngine(QwtPlot::xBottom)));
        options()->qtVAxisScaleType->setCurrentIndex(2);
        apply();
        QCOMPARE(log.count(), 1);
        QVERIFY(dynamic_cast<QwtLogScaleEngine *>(plot()->axisScaleEngine(QwtPlot::yLeft)));
    }

    // Below the plot the legend runs in a row rather than a column eating the plot's height.
    void optionsChangeWhatThePlotDraws()
    {
        addCurves({ { { 0, 1 } }, { { 0, 2 } } });
        auto *legend = qobject_cast<QwtLegend *>(plot()->legend());
        QCOMPARE(legend->maxColumns(), 1u);
        QCOMPARE(curveAt(1)->title().color(), QColor("#000080")); // each label in its curve's colour
        GuiGrapherOptions *o = options();
        o->qtTitleMainTitle->setText("Net Charge");
        o->qtTitleMainJustification->setCurrentIndex(1);
        o->qtHAxisTicLabelBox->setChecked(false);
        o->qtVAxisTicLabelSize->setValue(16);
        o->qtVAxisTicGrid->setChecked(false);
        o->qtCurveLineWidth->setValue(2.5);
        o->qtCurveSymbolSize->setValue(8.9);
        o->qtLegendUseSingleColor->setChecked(true);
        o->qtLegendColor->setProperty("color", "#123456");
        o->qtLegendPosition->setCurrentIndex(2);
        apply();
        QCOMPARE(plot()->title().text(), QStringLiteral("Net Charge"));
        QCOMPARE(plot()->title().renderFlags(), int(Qt::AlignRight));
        const QwtScaleDraw *x = plot()->axisScaleDraw(QwtPlot::xBottom);
        QVERIFY(x->hasComponent(QwtAbstractScaleDraw::Ticks) && !x->hasComponent(QwtAbstractScaleDraw::Labels));
        QVERIFY(plot()->axisScaleDraw(QwtPlot::yLeft)->hasComponent(QwtAbstractScaleDraw::Labels));
        QCOMPARE(plot()->axisFont(QwtPlot::yLeft).pointSize(), 16);
        QVERIFY(!m_grapher->horizontalGrid()->yEnabled() && m_grapher->verticalGrid()->xEnabled());
        QCOMPARE(m_grapher->verticalGrid()->majorPen(), QPen(QColor("#FF0000"), 0.0, Qt::DashLine));
        QCOMPARE(curveAt(0)->pen().widthF(), 2.5);
        QCOMPARE(curveAt(0)->symbol()->size(), QSize(8, 8));
        QCOMPARE(curveAt(1)->title().color(), QColor("#123456"));
        QCOMPARE(plot()->plotLayout()->legendPosition(), QwtPlot::BottomLegend);
        QCOMPARE(legend->maxColumns(), 0u);

        o->qtTitleMainJustification->setCurrentIndex(3);
        o->qtHAxisTicMark->setChecked(false);
        o->qtHAxisTicLabelBox->setChecked(true);
        o->qtCurvePlotLine->setChecked(false);
        o->qtCurvePlotSymbols->setChecked(false);
        o->qtLegendPosition->setCurrentIndex(1);
        apply();
        QCOMPARE(plot()->title().renderFlags(), int(Qt::AlignJustify));
        QVERIFY(!x->hasComponent(QwtAbstractScaleDraw::Ticks) && !x->hasComponent(QwtAbstractScaleDraw::Labels));
        QVERIFY(x->hasComponent(QwtAbstractScaleDraw::Backbone));
        QCOMPARE(curveAt(0)->pen().style(), Qt::NoPen);
        QCOMPARE(curveAt(0)->symbol()->brush().style(), Qt::NoBrush);
        QCOMPARE(plot()->plotLayout()->legendPosition(), QwtPlot::LeftLegend);
        QCOMPARE(legend->maxColumns(), 1u);
        QCOMPARE(legendTexts(), (QStringList { "Series 1", "Series 2" }));
        o->qtLegendBox->setChecked(false);
        apply();
        QVERIFY(legendTexts().isEmpty());
    }

    void gridAndReadoutSwitchesReachPlotDialogAndSettings()
    {
        action("Show Grids")->trigger();
        QVERIFY(!m_grapher->verticalGrid()->xEnabled() && !m_grapher->horizontalGrid()->yEnabled());
        QVERIFY(!options()->qtHAxisTicGrid->isChecked() && !options()->qtVAxisTicGrid->isChecked());
        options()->show();
        options()->qtDialogButtons->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!options()->qtHAxisTicGrid->isChecked());
        action("Show Grids")->trigger();
        QVERIFY(m_grapher->verticalGrid()->xEnabled() && options()->qtVAxisTicGrid->isChecked());

        QCOMPARE(m_grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOff);
        action("Readout Cursor Position")->trigger();
        QCOMPARE(QSettings().value("Grapher/Actions/ReadoutCursorPosition"), QVariant(true));
        QCOMPARE(m_grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOn);
        action("Readout Cursor Position")->trigger();
        QCOMPARE(QSettings().value("Grapher/Actions/ReadoutCursorPosition"), QVariant(false));
    }

    // What the plot holds afterwards is read back as copied text.
    void pasteMakesOneCurvePerColumnPairOrLeavesThePlot_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plotted");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("box");
        const QString odd = QStringLiteral("The number of data columns must be an even number\n"
                                           "(an X and Y column for each data series!)\nAborting...");
        const QString skip = QStringLiteral("Skipping invalid pair ");
        QStringList fields;
        for (int k = 0; k < 15; ++k)
            fields << QString::number(k) << QString::number(k * 10);
        QTest::newRow("two pairs") << "1\t2\t3\t4\n5\t6\t7\t8\n"
                                   << QString("1,2,3,4\n5,6,7,8\n") << QStringList() << "";
        QTest::newRow("header, short line")
            << "x\ty\t\t\n1\t2\t3\t4\n5\t6\n"
            << QString("1,2,3,4\n5,6,,\n") << QStringList { skip + "[x y]", skip + "[ ]" } << "";
        QTest::newRow("crlf") << "1\t2\r\n\r\n3\t4\r\n" << QString("1,2\n3,4\n") << QStringList() << "";
        QTest::newRow("empty pair moves later series up")
            << "a\tb\t1\t2\n\t\t3\t4\n"
            << QString("1,2\n3,4\n") << QStringList { skip + "[a b]", skip + "[ ]" } << "";
        QTest::newRow("beyond fourteen") << fields.join('\t') << fields.join(',') + '\n' << QStringList() << "";
        QTest::newRow("odd columns") << "1\t2\t3\n4\t5\t6" << QString("9,9\n") << QStringList { odd } << odd;
        QTest::newRow("odd columns crlf") << "1\t2\t3\r\n" << QString("9,9\n") << QStringList { odd } << odd;
        QTest::newRow("blank") << " \t \n  " << QString("9,9\n") << QStringList() << "";
        QTest::newRow("non-finite") << "inf\t1\nnan\t2" << QString("9,9\n")
                                    << QStringList { skip + "[inf 1]", skip + "[nan 2]",
                                           "No valid data pairs in the clipboard; the plot is unchanged" }
                                    << "";
    }
    void pasteMakesOneCurvePerColumnPairOrLeavesThePlot()
    {
        QFETCH(QString, text);
        QFETCH(QString, plotted);
        QFETCH(QStringList, log);
        QFETCH(QString, box);
        addCurves({ { { 9, 9 } } });
        TestModalAnswerer answerer;
        QSignalSpy spy(m_grapher.data(), &GuiGrapher::sigLog);
        QApplication::clipboard()->setText(text);
        action("Paste Data")->trigger();
        QCOMPARE(logLines(spy), QStringList { "Plotting data from clipboard" } + log);
        QCOMPARE(answerer.texts(), box.isEmpty() ? QStringList() : QStringList { box });
        if (!box.isEmpty()) {
            QCOMPARE(answerer.titles(), QStringList { "Vornakel Grapher" });
            QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
        }
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_grapher->copySeriesData(','), plotted);
        for (int i = 0; i < m_grapher->curves().size(); ++i) { // past the 14th: black, no symbol, no label
            QCOMPARE(curveAt(i)->plot(), plot());
            QCOMPARE(curveAt(i)->pen().color(), options()->curveColor(i + 1));
            QCOMPARE(int(curveAt(i)->symbol()->style()), options()->curveSymbol(i + 1));
            QCOMPARE(curveAt(i)->title().text(), options()->legendLabel(i + 1));
        }
    }

    void copyGivesTabSeparatedRowsAndTheImage()
    {
        QApplication::clipboard()->setText("old");
        action("Copy Data")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString());
        addCurves({ { { 1, 3 }, { 2, 4 } }, { { 1.0 / 3.0, -1234567.0 } } });
        action("Copy Data")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t3\t0.333333\t-1.23457e+06\n2\t4\t\t\n"));

        m_grapher->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grapher.data()));
        action("Copy Image")->trigger();
        QCOMPARE(QApplication::clipboard()->pixmap().size(), plot()->size());
        QVERIFY(!QApplication::overrideCursor());
    }

    void saveAsWritesAsciiAndSaysOtherFormatsAreUnsupported_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("typed"); // empty: the dialog is cancelled
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("refused"); // the file a warning names
        QTest::newRow("suffix added") << QString("ASCII...") << "result" << QString("result.dat") << QString();
        QTest::newRow("upper-case suffix kept")
            << QString("ASCII...") << "result.DAT" << QString("result.DAT") << QString();
        QTest::newRow("graph") << QString("Graph...") << "plot" << QString() << QString("plot.grf");
        QTest::newRow("metafile") << QString("Metafile...") << "plot" << QString() << QString("plot.WMF");
        QTest::newRow("cancelled") << QString("ASCII...") << "" << QString() << QString();
    }
    void saveAsWritesAsciiAndSaysOtherFormatsAreUnsupported()
    {
        QFETCH(QString, item);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(QString, refused);
        QTemporaryDir dir;
        addCurves({ { { 1, 3 }, { 2, 4 } }, { { 5, 6 } } });
        TestModalAnswerer answerer;
        answerer.answerFileDialog(typed.isEmpty() ? QString() : dir.filePath(typed));
        action(item)->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), written.isEmpty() ? QStringList() : QStringList { written });
        if (!written.isEmpty()) {
            QFile file(dir.filePath(written));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("1,3,5,6\n2,4,,\n"));
        }
        QCOMPARE(QSettings().value("Grapher/SaveAs/directory").toString(),
            typed.isEmpty() ? QString() : QDir(dir.path()).absolutePath());
        QCOMPARE(answerer.seen().size(), refused.isEmpty() ? 1 : 2);
        if (!refused.isEmpty()) {
            QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Vornakel"));
            QVERIFY(answerer.seen().at(1).text.contains("not supported"));
            QVERIFY(answerer.seen().at(1).text.contains(refused));
        }
    }

    void asciiWriteReplacesAnOldFileAndReportsFailure()
    {
        QTemporaryDir dir;
        addCurves({ { { 1, 2 } } });
        QFile old(dir.filePath("old.dat"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("a much longer old content\n") > 0);
        old.close();
        QVERIFY(m_grapher->saveAsASCII(old.fileName()));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("1,2\n"));

        TestModalAnswerer answerer;
        QVERIFY(!m_grapher->saveAsASCII(dir.filePath("no-such-folder/x.dat")));
        QCOMPARE(answerer.titles(), QStringList { "Vornakel" });
        QCOMPARE(answerer.texts(), QStringList { "Error writing to ASCII file" });
        QCOMPARE(answerer.seen().first().icon, QMessageBox::Critical);
    }
};

QTEST_MAIN(TstGuiGrapher)
#include "tst_gui_grapher.moc"
