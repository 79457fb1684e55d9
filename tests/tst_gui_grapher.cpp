#include "gui/gui_grapher.h"
#include "gui/gui_grapheroptions.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QClipboard>
#include <QMenuBar>
#include <QPrinter>
#include <QtTest>

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_item.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_symbol.h>

#include <cmath>
#include <functional>

// A plot item that does something once, when the plot is drawn (printed).
struct TestPlotStep : QwtPlotItem
{
    explicit TestPlotStep(std::function<void()> step) : step(std::move(step)) { }
    void draw(QPainter *, const QwtScaleMap &, const QwtScaleMap &, const QRectF &) const override
    {
        if (!done)
            step();
        done = true;
    }
    std::function<void()> step;
    mutable bool done = false;
};

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
    QwtInterval range(QwtPlot::Axis axis) const { return plot()->axisScaleDiv(axis).interval(); }
    void addCurves(const QList<QVector<QPointF>> &list)
    {
        for (const QVector<QPointF> &p : list) {
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
            if (auto *label = qobject_cast<QwtLegendLabel *>(legend->legendWidget(plot()->itemToInfo(c))))
                texts << label->text().text();
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
        m_grapher.reset(); // the last test's window writes its settings before they change
        m_settings.reset(new TestSettings);
        m_grapher.reset(newGrapher());
    }

    void buildsMenusAndFormatItemsOpenTheirTab()
    {
        QStringList menus, file;
        const QList<QAction *> bar = m_grapher->findChild<QMenuBar *>()->actions();
        for (QAction *a : bar)
            menus << a->text();
        QCOMPARE(menus, (QStringList { "File", "Edit", "View", "Format", "Tools", "Help" }));
        for (QAction *a : bar.at(0)->menu()->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file,
            (QStringList { "Open...", "-", "Save As", "-", "Print...", "-", "Change Defaults...", "-", "Close" }));
        QCOMPARE(action("Paste Data")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
        QCOMPARE(action("Last Zoom")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        action("Graph Legend...")->trigger();
        QVERIFY(options()->isVisible() && !options()->isModal());
        QCOMPARE(options()->qtTabWidget->currentWidget(), options()->qtLegendTab);
    }

    void remembersGeometryAndCloseOnlyHidesWhileDeleteTakesTheDialogAlong()
    {
        m_grapher->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grapher.data(), testPatienceMs()));
        m_grapher->move(40, 60); // room above for a title bar: a place that is restored
        m_grapher->resize(800, 500);
        TEST_TRY_COMPARE(QSettings().value("Grapher/geometry/height").toInt(), 500);
        const QRect geometry = m_grapher->geometry();
        action("Close")->trigger();
        QVERIFY(!m_grapher->isVisible());
        QPointer<GuiGrapherOptions> dialog = options();
        m_grapher.reset(newGrapher());
        QVERIFY(dialog.isNull());
        QCOMPARE(m_grapher->geometry(), geometry);
    }

    void curvesTakeTheirSeriesLookAndTheFifteenthIsRefused()
    {
        for (int n = 1; n <= 14; ++n)
            addCurves({ { { 1, double(n) }, { 2, double(n + 1) } } });
        QCOMPARE(legendTexts().size(), 14);
        QCOMPARE(legendTexts().at(13), QStringLiteral("Series 14"));
        QwtPlotCurve *last = curveAt(13);
        QCOMPARE(last->pen(), QPen(QColor("#FFFF00"), 0.0)); // the 0.01 default drawn as a hairline
        QCOMPARE(last->symbol()->style(), QwtSymbol::Star2);
        QCOMPARE(last->symbol()->size(), QSize(8, 8));
        QCOMPARE(last->symbol()->brush(), QBrush(QColor("#FFFF00")));
        QSignalSpy log(m_grapher.data(), &GuiGrapher::sigLog);
        QScopedPointer<QwtPlotCurve> extra(new QwtPlotCurve); // still the caller's
        m_grapher->addCurve(extra.data());
        QCOMPARE(logLines(log), QStringList { "Maximum number of curves exceeded; ignoring new curve" });
        QVERIFY(!extra->plot() && m_grapher->curves().size() == 14);
    }

    // A log axis is logged each time it is applied; Natural Log keeps the log engine.
    void callerTextsAndLogTypeTakeEffectWithTheFirstCurve()
    {
        m_grapher->setXAxisTitle("hydration (g/g)");
        m_grapher->setLegendText(1, "prolate");
        options()->qtVAxisScaleType->setCurrentIndex(1);
        QSignalSpy log(m_grapher.data(), &GuiGrapher::sigLog);
        m_grapher->setTitle("Prolate");
        addCurves({ { { 1, 1 }, { 2, 1000 } } });
        QCOMPARE(logLines(log), (QStringList { "setTitle(Prolate)", "Switching to Log Base 10 " }));
        QCOMPARE(plot()->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("hydration (g/g)"));
        QCOMPARE(legendTexts(), QStringList { "prolate" });
        QCOMPARE(plot()->title().text(), QString()); // the dialog's title replaces an early one
        m_grapher->setTitle("Oblate");
        QCOMPARE(plot()->title().text(), QStringLiteral("Oblate"));
        options()->qtVAxisScaleType->setCurrentIndex(2);
        apply();
        QCOMPARE(log.count(), 3);
        QVERIFY(dynamic_cast<QwtLogScaleEngine *>(plot()->axisScaleEngine(QwtPlot::yLeft)));
    }

    // The zoomer hands its limits to the dialog cut toward zero; Prescale keeps
    // the zoom, Auto Range and the auto-scale items drop it; Manual takes whole numbers.
    void zoomAndRangeChoicesReachTheDialogAndPlot()
    {
        addCurves({ { { 0, 0 }, { 100, 100 } } });
        m_grapher->zoomer()->zoom(QRectF(QPointF(0.5, -2.5), QPointF(13.7, 9.9)));
        QCOMPARE(options()->qtHAxisScaleMax->value(), 13.0);
        QCOMPARE(options()->qtVAxisScaleMin->value(), -2.0);
        QCOMPARE(options()->savedState().value("qtVAxisScaleMax").toInt(), 9);
        options()->qtHAxisScaleRange->setCurrentIndex(1);
        apply();
        QCOMPARE(range(QwtPlot::xBottom), QwtInterval(0.5, 13.7));
        options()->qtHAxisScaleRange->setCurrentIndex(2);
        options()->qtVAxisScaleRange->setCurrentIndex(2);
        action("Auto Scale X")->trigger();
        QCOMPARE(options()->savedState().value("qtHAxisScaleRange").toString(), QStringLiteral("Auto Range"));
        QVERIFY(range(QwtPlot::xBottom).maxValue() >= 100.0);
        QCOMPARE(options()->qtVAxisScaleRange->currentText(), QStringLiteral("Manual"));
        options()->qtHAxisScaleRange->setCurrentIndex(2);
        options()->qtHAxisScaleMin->setValue(0.9);
        options()->qtHAxisScaleMax->setValue(10.5);
        options()->qtHAxisTicInterval->setValue(2.5);
        apply();
        QCOMPARE(range(QwtPlot::xBottom), QwtInterval(0, 10));
        QCOMPARE(plot()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick),
            (QList<double> { 0, 2, 4, 6, 8, 10 }));
    }

    // A zero in the data must not stretch an auto-ranged log axis down to 1e-100.
    void autoRangedLogAxisStartsAtTheSmallestPositiveValue()
    {
        addCurves({ { { 0, -3 }, { 0.5, 2 }, { 14, 5 } } });
        options()->qtHAxisScaleRange->setCurrentIndex(0);
        options()->qtHAxisScaleType->setCurrentIndex(1);
        apply();
        QCOMPARE(range(QwtPlot::xBottom).minValue(), 0.5);
        QVERIFY(range(QwtPlot::xBottom).maxValue() >= 14);
    }

    // Cutting 0.2 and 0.8 to whole numbers would leave an axis of no width.
    void manualLimitsWithinOneWholeNumberAreTakenAsTyped()
    {
        addCurves({ { { 0.1, 0.1 }, { 0.9, 0.9 } } });
        options()->qtVAxisScaleRange->setCurrentIndex(2);
        options()->qtVAxisScaleMin->setValue(0.2);
        options()->qtVAxisScaleMax->setValue(0.8);
        options()->qtVAxisTicInterval->setValue(0);
        apply();
        QCOMPARE(range(QwtPlot::yLeft), QwtInterval(0.2, 0.8));
        QVERIFY(plot()->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick).size() > 1);
    }

    void optionsChangeWhatThePlotDraws()
    {
        addCurves({ { { 0, 1 } }, { { 0, 2 } } });
        QCOMPARE(curveAt(1)->title().color(), QColor("#000080")); // each label in its curve's colour
        GuiGrapherOptions *o = options();
        o->qtHAxisTicLabelBox->setChecked(false);
        o->qtVAxisTicGrid->setChecked(false);
        o->qtCurveLineWidth->setValue(2.5);
        o->qtLegendUseSingleColor->setChecked(true);
        o->qtLegendColor->setProperty("color", "#123456");
        o->qtLegendPosition->setCurrentIndex(2);
        apply();
        const QwtScaleDraw *x = plot()->axisScaleDraw(QwtPlot::xBottom);
        QVERIFY(x->hasComponent(QwtAbstractScaleDraw::Ticks) && !x->hasComponent(QwtAbstractScaleDraw::Labels));
        QVERIFY(!m_grapher->horizontalGrid()->yEnabled() && m_grapher->verticalGrid()->xEnabled());
        QCOMPARE(m_grapher->verticalGrid()->majorPen(), QPen(QColor("#FF0000"), 0.0, Qt::DashLine));
        QCOMPARE(curveAt(0)->pen().widthF(), 2.5);
        QCOMPARE(curveAt(1)->title().color(), QColor("#123456"));
        QCOMPARE(plot()->plotLayout()->legendPosition(), QwtPlot::BottomLegend);
        o->qtCurvePlotLine->setChecked(false);
        o->qtCurvePlotSymbols->setChecked(false);
        o->qtLegendBox->setChecked(false);
        apply();
        QCOMPARE(curveAt(0)->pen().style(), Qt::NoPen);
        QCOMPARE(curveAt(0)->symbol()->brush().style(), Qt::NoBrush);
        QVERIFY(legendTexts().isEmpty());
    }

    void gridAndReadoutSwitchesReachPlotDialogAndSettings()
    {
        action("Show Grids")->trigger();
        QVERIFY(!m_grapher->verticalGrid()->xEnabled() && !options()->qtVAxisTicGrid->isChecked());
        options()->show();
        options()->qtDialogButtons->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!options()->qtHAxisTicGrid->isChecked());
        action("Readout Cursor Position")->trigger();
        QCOMPARE(QSettings().value("Grapher/Actions/ReadoutCursorPosition"), QVariant(true));
        QCOMPARE(m_grapher->zoomer()->trackerMode(), QwtPicker::AlwaysOn);
    }

    // What the plot holds afterwards is read back as copied text.
    void pasteMakesOneCurvePerColumnPairOrLeavesThePlot_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plotted");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("refused");
        const QString odd = QStringLiteral("The number of data columns must be an even number\n"
                                           "(an X and Y column for each data series!)\nAborting...");
        const QString skip = QStringLiteral("Skipping invalid pair ");
        auto pairs = [](int count) {
            QStringList fields;
            for (int k = 0; k < count; ++k)
                fields << QString::number(k) << QString::number(k * 10);
            return fields;
        };
        QTest::newRow("header, short line, crlf")
            << "x\ty\t\t\r\n1\t2\t3\t4\r\n\r\n5\t6\r\n"
            << QString("1,2,3,4\n5,6,,\n") << QStringList { skip + "[x y]", skip + "[ ]" } << false;
        QTest::newRow("cr line ends") << "1\t2\r3\t4\r\r" << QString("1,2\n3,4\n") << QStringList() << false;
        for (int count : { 15, 20, 50 })
            QTest::addRow("%d pairs on one line", count) << pairs(count).join('\t') << pairs(count).join(',') + '\n'
                                                         << QStringList() << false;
        QTest::newRow("odd columns") << "1\t2\t3\n4\t5\t6" << QString("9,9\n") << QStringList { odd } << true;
        QTest::newRow("over a thousand pairs")
            << pairs(1001).join('\t') << QString("9,9\n")
            << QStringList { "The clipboard holds 1001 data series; at most 1000 can be plotted.\nAborting..." }
            << true;
        QTest::newRow("non-finite") << "inf\t1\nnan\t2" << QString("9,9\n")
                                    << QStringList { skip + "[inf 1]", skip + "[nan 2]",
                                           "No valid data pairs in the clipboard; the plot is unchanged" }
                                    << false;
    }
    void pasteMakesOneCurvePerColumnPairOrLeavesThePlot()
    {
        QFETCH(QString, text);
        QFETCH(QString, plotted);
        QFETCH(QStringList, log);
        QFETCH(bool, refused);
        addCurves({ { { 9, 9 } } });
        TestModalAnswerer answerer;
        QSignalSpy spy(m_grapher.data(), &GuiGrapher::sigLog);
        QApplication::clipboard()->setText(text);
        action("Paste Data")->trigger();
        QCOMPARE(logLines(spy), QStringList { "Plotting data from clipboard" } + log);
        QCOMPARE(answerer.texts(), refused ? log : QStringList());
        QCOMPARE(answerer.titles(), refused ? QStringList { "Vornakel Grapher" } : QStringList());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_grapher->copySeriesData(','), plotted);
        for (int i = 0; i < m_grapher->curves().size(); ++i) { // past the 14th: black, no symbol, no label
            QCOMPARE(curveAt(i)->pen().color(), options()->curveColor(i + 1));
            QCOMPARE(int(curveAt(i)->symbol()->style()), options()->curveSymbol(i + 1));
            QCOMPARE(curveAt(i)->title().text(), options()->legendLabel(i + 1));
        }
        // Every curve, and nothing else, has its entry in the legend.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(legendTexts().size(), m_grapher->curves().size());
        QCOMPARE(qobject_cast<QwtLegend *>(plot()->legend())->contentsWidget()->findChildren<QwtLegendLabel *>().size(),
            m_grapher->curves().size());
        QVERIFY(!plot()->legend()->isHidden());
    }

    // The legend lists the series in order, whether a paste brings more
    // series than the plot held or fewer, and wherever the legend stands.
    void pastesOfMoreOrFewerSeriesLeaveTheLegendInSeriesOrder()
    {
        options()->qtLegendPosition->setCurrentIndex(1); // left
        addCurves({ { { 9, 9 } } });
        for (int pairs : { 20, 3, 3, 5, 2 }) {
            QStringList fields;
            for (int k = 0; k < pairs; ++k)
                fields << QString::number(k) << QString::number(k * 10);
            QApplication::clipboard()->setText(fields.join('\t'));
            action("Paste Data")->trigger();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QStringList expected, shown;
            for (int n = 1; n <= pairs; ++n)
                expected << options()->legendLabel(n);
            QLayout *entries = qobject_cast<QwtLegend *>(plot()->legend())->contentsWidget()->layout();
            for (int i = 0; i < entries->count(); ++i)
                shown << qobject_cast<QwtLegendLabel *>(entries->itemAt(i)->widget())->text().text();
            QCOMPARE(shown, expected);
            QCOMPARE(legendTexts(), expected);
            QCOMPARE(plot()->plotLayout()->legendPosition(), QwtPlot::LeftLegend);
            QVERIFY(!plot()->legend()->isHidden());
        }
    }

    void copyGivesTabSeparatedRowsAndTheImage()
    {
        addCurves({ { { 1, 3 }, { 2, 4 } }, { { 1.0 / 3.0, -1234567.0 } } });
        action("Copy Data")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t3\t0.333333\t-1.23457e+06\n2\t4\t\t\n"));
        m_grapher->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grapher.data(), testPatienceMs()));
        action("Copy Image")->trigger();
        QCOMPARE(QApplication::clipboard()->pixmap().size(), plot()->size());
    }

    // File > Print... opens the print dialog; what it prints is the plot.
    void printOpensThePrintDialogAndPrintsThePlot()
    {
        addCurves({ { { 1, 3 }, { 2, 4 } } });
        TestModalAnswerer answerer;
        answerer.answerWith([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
        action("Print...")->trigger();
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().className, QStringLiteral("QPrintDialog"));
        QCOMPARE(answerer.seen().first().title, QStringLiteral("Print Graph"));
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("graph.pdf"));
        m_grapher->print(&printer);
        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray printed = pdf.readAll();
        QVERIFY(printed.startsWith("%PDF") && printed.size() > 1000);
        // Printed again over it where the write fails (past the size this
        // process may write, as on a full disk): the file printed first stays.
        answerer.clear();
        {
            const TestFileSizeLimit full(1000);
            m_grapher->print(&printer);
        }
        QCOMPARE(printer.outputFileName(), dir.filePath("graph.pdf"));
        pdf.close();
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.readAll(), printed);
        QCOMPARE(answerer.texts(),
            QStringList { dir.filePath("graph.pdf") + " could not be written: " + TestFileSizeLimit::reason()
                + ". The file keeps what it held before." });
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "graph.pdf" });
    }

    // The PDF goes into the file the printing began with, whatever is done
    // to its folder while the pages are drawn: renamed and made anew, or a
    // link to another folder put in its place. No byte goes elsewhere, and
    // the file printed over takes the whole PDF.
    void printingWritesTheFileItBeganWith_data()
    {
        QTest::addColumn<bool>("link");
        QTest::newRow("the folder renamed and made anew") << false;
        QTest::newRow("a link in place of the folder") << true;
    }
    void printingWritesTheFileItBeganWith()
    {
        QFETCH(bool, link);
        QTemporaryDir dir;
        const QString docs = dir.filePath("docs");
        const QString elsewhere = dir.filePath("elsewhere");
        QVERIFY(QDir(dir.path()).mkdir("docs") && QDir(dir.path()).mkdir("elsewhere"));
        QVERIFY(testWriteFile(docs + "/x.pdf", "old"));
        addCurves({ { { 1, 3 }, { 2, 4 } } });
        // Drawn with the page, once the printing has begun.
        auto *meanwhile = new TestPlotStep([&]() {
            QVERIFY(QDir(dir.path()).rename("docs", "docs.old"));
            QVERIFY(link ? QFile::link(elsewhere, docs) : QDir(dir.path()).mkdir("docs"));
        });
        meanwhile->attach(plot());
        TestModalAnswerer answerer;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(docs + "/x.pdf");
        m_grapher->print(&printer);
        QVERIFY(meanwhile->done);
        QCOMPARE(answerer.texts(), QStringList());
        const QByteArray printed = testReadFile(dir.filePath("docs.old/x.pdf"));
        QVERIFY(printed.startsWith("%PDF") && printed.right(64).contains("%%EOF"));
        QCOMPARE(QDir(docs).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(dir.filePath("docs.old")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { "x.pdf" });
    }

    // Printed to a file, the graph too is saved only over a file the person agrees to replace: the print dialog
    // asks about the file that is then written, and No keeps it.
    void printingToAFileAsksAboutTheFileItWrites()
    {
        addCurves({ { { 1, 3 }, { 2, 4 } } });
        QTemporaryDir dir;
        QVERIFY(testWriteFile(dir.filePath("graph.pdf"), "kept"));
        TestModalAnswerer answerer;
        answerer.answerPrintToFile(dir.filePath("graph.pdf"));
        answerer.answerMessageBox(QMessageBox::No);
        action("Print...")->trigger(); // back in the print dialog, which the answerer then cancels
        QCOMPARE(
            answerer.texts().value(1), dir.filePath("graph.pdf") + " already exists.\nDo you want to overwrite it?");
        QCOMPARE(testReadFile(dir.filePath("graph.pdf")), QByteArray("kept"));
        answerer.clear();
        answerer.answerPrintToFile(dir.filePath("graph.pdf"));
        answerer.answerMessageBox(QMessageBox::Yes);
        action("Print...")->trigger();
        QVERIFY(testReadFile(dir.filePath("graph.pdf")).startsWith("%PDF"));
    }

    // The file written is asked about, with the extension it is given: No keeps it, Yes replaces it whole;
    // formats that write nothing and failed writes say so.
    void saveAsWritesAsciiAndReportsWhatItCannotWrite()
    {
        QTemporaryDir dir;
        addCurves({ { { 1, 3 }, { 2, 4 } }, { { 5, 6 } } });
        QFile old(dir.filePath("result.dat"));
        QVERIFY(testWriteFile(old.fileName(), "a much longer old content\n"));
        TestModalAnswerer answerer;
        answerer.answerFileDialog(dir.filePath("result"));
        answerer.answerMessageBox(QMessageBox::No);
        action("ASCII...")->trigger();
        QCOMPARE(answerer.texts().value(1), QStringLiteral("result.dat already exists.\nDo you want to replace it?"));
        QCOMPARE(testReadFile(old.fileName()), QByteArray("a much longer old content\n"));
        answerer.answerFileDialog(dir.filePath("result"));
        answerer.answerMessageBox(QMessageBox::Yes);
        action("ASCII...")->trigger();
        QCOMPARE(answerer.pending(), 0);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("1,3,5,6\n2,4,,\n"));
        QCOMPARE(QSettings().value("Grapher/SaveAs/directory").toString(), QDir(dir.path()).absolutePath());
        const QRegularExpression unsupported("not supported.\n.*/plot.(grf|WMF) was not written");
        for (const char *item : { "Graph...", "Metafile..." }) {
            answerer.answerFileDialog(dir.filePath("plot"));
            action(item)->trigger();
            QVERIFY(answerer.seen().last().text.contains(unsupported));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "result.dat" });
        answerer.clear();
        QVERIFY(!m_grapher->saveAsASCII(dir.filePath("no-such-folder/x.dat")));
        QCOMPARE(answerer.titles(), QStringList { "Vornakel" });
        QCOMPARE(answerer.texts(),
            QStringList { "Error writing to ASCII file\nCannot open " + dir.filePath("no-such-folder/x.dat")
                + ": No such file or directory." });
        // A write that fails (past the size this process may write, as on a full disk) keeps the file saved before.
        answerer.clear();
        {
            const TestFileSizeLimit full(4);
            QVERIFY(!m_grapher->saveAsASCII(old.fileName()));
        }
        old.close();
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("1,3,5,6\n2,4,,\n"));
        QCOMPARE(answerer.texts(),
            QStringList { "Error writing to ASCII file\n" + old.fileName()
                + " could not be written: " + TestFileSizeLimit::reason() + ". The file keeps what it held before." });
    }
};

TEST_MAIN(TstGuiGrapher)
#include "tst_gui_grapher.moc"
