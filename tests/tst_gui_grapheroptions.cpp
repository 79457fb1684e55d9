#include "gui/gui_grapheroptions.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QColorDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TstGuiGrapherOptions : public QObject
{
    Q_OBJECT

    TestSettings *m_settings = nullptr;

    template<typename T> static T *child(QWidget *dialog, const QString &name)
    {
        T *w = dialog->findChild<T *>(name);
        if (!w)
            qFatal("missing widget %s", qPrintable(name));
        return w;
    }

    static void press(GuiGrapherOptions &dialog, QDialogButtonBox::StandardButton which)
    {
        QTest::mouseClick(dialog.qtDialogButtons->button(which), Qt::LeftButton);
    }

private slots:
    void init() { m_settings = new TestSettings; }
    void cleanup()
    {
        delete m_settings;
        m_settings = nullptr;
    }

    void formIsBuiltWithTabsAndEmptyState()
    {
        GuiGrapherOptions dialog(nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Vornakel Graph Options"));
        QVERIFY(!dialog.isModal());
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.savedState().isEmpty());
        const QStringList tabs { "Curve Appearance", "Title", "Legend", "Axes", "Defaults" };
        QCOMPARE(dialog.qtTabWidget->count(), tabs.size());
        for (int i = 0; i < tabs.size(); ++i)
            QCOMPARE(dialog.qtTabWidget->tabText(i), tabs.at(i));
        QCOMPARE(dialog.qtTabWidget->currentIndex(), 2);
        QCOMPARE(dialog.tabWidget_2->currentIndex(), 0);
        QCOMPARE(dialog.tabWidget_2->tabText(0), QStringLiteral("Horizontal"));
        QCOMPARE(dialog.tabWidget_2->tabText(1), QStringLiteral("Vertical"));
        QCOMPARE(dialog.qtCurveSymbol1->count(), 13);
        QCOMPARE(dialog.qtCurveSymbolColor7->styleSheet(), QStringLiteral("background-color:black"));
        QVERIFY(!dialog.qtCurveSymbolColor7->property("color").isValid());
        QCOMPARE(dialog.qtTitleMainJustification->currentText(), QStringLiteral("Center"));
        QVERIFY(!dialog.groupBox_14->isEnabled());
        QVERIFY(!dialog.qtSaveAsDefaults->isEnabled());
        QVERIFY(!dialog.qtHAxisTicStart->isEnabled());
        QVERIFY(dialog.qtHAxisTicMark->font().bold());
        QCOMPARE(dialog.qtHAxisScaleMax->value(), 14.0);
        QCOMPARE(dialog.qtLegendPosition->count(), 2);
    }

    void opensWithDefaultSizeAndRemembersResize()
    {
        QPoint position;
        {
            GuiGrapherOptions dialog(nullptr);
            QCOMPARE(dialog.geometry().size(), QSize(525, 600));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.resize(700, 500);
            QTRY_COMPARE(QSettings().value("GrapherOptions/geometry/width").toInt(), 700);
            QCOMPARE(QSettings().value("GrapherOptions/geometry/height").toInt(), 500);
            position = dialog.geometry().topLeft();
            QCOMPARE(QSettings().value("GrapherOptions/geometry/x").toInt(), position.x());
            QCOMPARE(QSettings().value("GrapherOptions/geometry/y").toInt(), position.y());
        }
        GuiGrapherOptions again(nullptr);
        QCOMPARE(again.geometry(), QRect(position, QSize(700, 500)));
    }

    // At the default size every column of an axis page is in view: no field
    // is cut off behind a sideways scroll.
    void axisPagesFitTheDefaultWidth()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.showAxesTab();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int page = 0; page < 2; ++page) {
            dialog.tabWidget_2->setCurrentIndex(page);
            const QString name = page == 0 ? "qtHAxisPageScrollArea" : "qtVAxisPageScrollArea";
            auto *area = child<QScrollArea>(&dialog, name);
            QTRY_VERIFY(area->viewport()->width() > 0);
            QVERIFY2(area->widget()->minimumSizeHint().width() <= area->viewport()->width(), qPrintable(name));
            QTRY_VERIFY(!area->horizontalScrollBar()->isVisible());
        }
    }

    void resetRecordsAllNinetyEightOptions()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        const QHash<QString, QVariant> &state = dialog.savedState();
        QCOMPARE(state.size(), 98);
        QCOMPARE(state.value("qtCurveSymbolSize"), QVariant(8.0));
        QCOMPARE(state.value("qtHAxisScaleMax"), QVariant(13.0));
        QCOMPARE(state.value("qtCurveSymbol2"), QVariant(QStringLiteral("Hexagon")));
        QCOMPARE(state.value("qtCurveSymbolColor3"), QVariant(QStringLiteral("#008000")));
        QCOMPARE(state.value("qtLegendPosition"), QVariant(QStringLiteral("Right")));
        QCOMPARE(state.value("qtLegendSeries14"), QVariant(QStringLiteral("Series 14")));
        QCOMPARE(state.value("qtTitleMainSize"), QVariant(10));
        QCOMPARE(state.value("qtTitleMainJustification"), QVariant(QStringLiteral("Left")));
        QCOMPARE(state.value("qtHAxisTicGrid"), QVariant(true));
        QCOMPARE(state.value("qtVAxisTicColor"), QVariant(QStringLiteral("#FF0000")));
        QCOMPARE(state.value("qtVAxisScaleRange"), QVariant(QStringLiteral("Auto Range")));
        QVERIFY(!state.contains("qtSaveAsDefaults"));
        QVERIFY(!state.contains("groupBox_15"));

        // Applying twice never grows the state.
        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(dialog.savedState().size(), 98);
    }

    // Before any recording there is nothing to go back to: Cancel empties the
    // options and records each of them as empty, never other keys.
    void cancelBeforeResetEmptiesOptionsAndRecordsThem()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.onCancelTriggered();
        const QHash<QString, QVariant> &state = dialog.savedState();
        QCOMPARE(state.size(), 98);
        for (auto it = state.cbegin(); it != state.cend(); ++it)
            QVERIFY2(!it.value().isValid(), qPrintable(it.key()));
        QVERIFY(!dialog.qtCurvePlotLine->isChecked());
        QCOMPARE(dialog.qtCurveSymbolSize->value(), 5.0);
        QCOMPARE(dialog.qtHAxisScaleRange->currentIndex(), -1);
        QCOMPARE(dialog.qtLegendSeries1->text(), QString());
        QVERIFY(!dialog.qtCurveSymbolColor4->property("color").isValid());
        QCOMPARE(dialog.qtCurveSymbolColor4->styleSheet(), QStringLiteral("background-color:"));
    }

    void resetGivesEachSeriesItsColourAndSymbol_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("style");
        const char *colors[] = { "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808080", "#0000FF",
            "#00FF00", "#00FFFF", "#FF0000", "#FF00FF", "#808000", "#FFFF00" };
        const char *symbols[]
            = { "Ellipse", "Hexagon", "Rectangle", "Diamond", "Down Triangle", "Up Triangle", "Left Triangle",
                  "Right Triangle", "Cross", "XCross", "Horizontal Line", "Vertical Line", "Star 1", "Star 2" };
        const int styles[] = { 0, 14, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13 };
        for (int n = 1; n <= 14; ++n)
            QTest::addRow("series %d", n) << n << colors[n - 1] << symbols[n - 1] << styles[n - 1];
    }
    void resetGivesEachSeriesItsColourAndSymbol()
    {
        QFETCH(int, series);
        QFETCH(QString, color);
        QFETCH(QString, symbol);
        QFETCH(int, style);
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        auto *button = child<QPushButton>(&dialog, QStringLiteral("qtCurveSymbolColor%1").arg(series));
        QCOMPARE(button->property("color").toString(), color);
        QCOMPARE(button->styleSheet(), QStringLiteral("background-color:") + color);
        auto *box = child<QComboBox>(&dialog, QStringLiteral("qtCurveSymbol%1").arg(series));
        QCOMPARE(box->count(), 14);
        QCOMPARE(box->currentText(), symbol);
        QCOMPARE(dialog.curveSymbol(series), style);
        QCOMPARE(dialog.curveColor(series), QColor(color));
        QCOMPARE(dialog.legendLabel(series), QStringLiteral("Series %1").arg(series));
    }

    void resetLoadsDefaultsAndDisablesManualFields()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        QCOMPARE(dialog.qtCurveSymbolSize->value(), 8.0);
        QCOMPARE(dialog.qtCurveLineWidth->value(), 0.01);
        QCOMPARE(dialog.qtTitleMainJustification->currentText(), QStringLiteral("Left"));
        QCOMPARE(dialog.qtHAxisScaleMax->value(), 13.0);
        QCOMPARE(dialog.qtVAxisTicLabelSize->value(), 10);
        for (QWidget *w : std::initializer_list<QWidget *> { dialog.qtHAxisScaleMin, dialog.qtHAxisScaleMax,
                 dialog.qtHAxisTicInterval, dialog.qtVAxisScaleMin, dialog.qtVAxisScaleMax, dialog.qtVAxisTicInterval })
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(dialog.qtHAxisTicLabelBox->isEnabled());
        QCOMPARE(dialog.qtHAxisScaleRange->itemData(2).toInt(), 2);
        QCOMPARE(dialog.qtVAxisScaleType->itemData(1).toInt(), 1);
        QCOMPARE(dialog.qtLegendPosition->count(), 3);
        QCOMPARE(dialog.qtLegendPosition->itemText(1), QStringLiteral("Left"));
        QCOMPARE(dialog.qtLegendPosition->itemData(0).toInt(), 1);
        QCOMPARE(dialog.qtLegendPosition->itemData(2).toInt(), 2);
        QCOMPARE(dialog.qtLegendColor->property("color").toString(), QStringLiteral("#000000"));
    }

    void resetKeepsFontsAndAxisTitlesAndRecordsThem()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.qtLegendFont->setCurrentIndex(dialog.qtLegendFont->count() - 1);
        const QString family = dialog.qtLegendFont->currentText();
        dialog.setXAxisTitle("hydration (g/g)");
        dialog.reset();
        QCOMPARE(dialog.qtLegendFont->currentText(), family);
        QCOMPARE(dialog.qtHAxisTitle->text(), QStringLiteral("hydration (g/g)"));
        QCOMPARE(dialog.savedState().value("qtLegendFont").toString(), family);
        QCOMPARE(dialog.savedState().value("qtHAxisTitle").toString(), QStringLiteral("hydration (g/g)"));
    }

    void cancelRestoresLastRecordedState()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.show();
        dialog.qtCurveLineWidth->setValue(2.5);
        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.qtCurveLineWidth->value(), 0.01);
        QVERIFY(!dialog.isVisible());

        dialog.show();
        dialog.qtCurveLineWidth->setValue(2.5);
        press(dialog, QDialogButtonBox::Apply);
        dialog.qtCurveLineWidth->setValue(7);
        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.qtCurveLineWidth->value(), 2.5);
    }

    void cancelReturnsManualRangeToAutoAndDisablesFields()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.show();
        dialog.qtHAxisScaleRange->setCurrentIndex(2);
        QVERIFY(dialog.qtHAxisScaleMin->isEnabled());
        QVERIFY(dialog.qtHAxisScaleMax->isEnabled());
        QVERIFY(dialog.qtHAxisTicInterval->isEnabled());
        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.qtHAxisScaleRange->currentText(), QStringLiteral("Auto Range"));
        QVERIFY(!dialog.qtHAxisScaleMin->isEnabled());
        QVERIFY(!dialog.qtHAxisScaleMax->isEnabled());
        QVERIFY(!dialog.qtHAxisTicInterval->isEnabled());
    }

    void rangeChoiceEnablesManualFields_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("auto") << 0 << false;
        QTest::newRow("prescale") << 1 << false;
        QTest::newRow("manual") << 2 << true;
    }
    void rangeChoiceEnablesManualFields()
    {
        QFETCH(int, index);
        QFETCH(bool, enabled);
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.qtVAxisScaleRange->setCurrentIndex(2);
        dialog.qtVAxisScaleRange->setCurrentIndex(index);
        QCOMPARE(dialog.qtVAxisScaleMin->isEnabled(), enabled);
        QCOMPARE(dialog.qtVAxisScaleMax->isEnabled(), enabled);
        QCOMPARE(dialog.qtVAxisTicInterval->isEnabled(), enabled);
        QVERIFY(!dialog.qtHAxisScaleMin->isEnabled());
    }

    void markSwitchesLabelBoxOfItsAxis()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        QTest::mouseClick(dialog.qtHAxisTicMark, Qt::LeftButton);
        QVERIFY(!dialog.qtHAxisTicMark->isChecked());
        QVERIFY(!dialog.qtHAxisTicLabelBox->isEnabled());
        QVERIFY(dialog.qtVAxisTicLabelBox->isEnabled());
        dialog.qtHAxisTicMark->setChecked(true);
        QVERIFY(dialog.qtHAxisTicLabelBox->isEnabled());
        dialog.qtVAxisTicMark->setChecked(false);
        QVERIFY(!dialog.qtVAxisTicLabelBox->isEnabled());
    }

    void applyKeepsDialogOpenAndOkHidesIt()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        QSignalSpy changed(&dialog, &GuiGrapherOptions::sigSettingsChanged);
        dialog.show();
        press(dialog, QDialogButtonBox::Apply);
        press(dialog, QDialogButtonBox::Apply);
        QCOMPARE(changed.count(), 2);
        QVERIFY(dialog.isVisible());
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(changed.count(), 3);
        QVERIFY(!dialog.isVisible());
        dialog.show();
        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(changed.count(), 3);
    }

    void colourPickerChangesOnlyWhenAColourIsChosen()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.show();
        TestModalAnswerer answerer;
        answerer.answerWith([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
        QTest::mouseClick(dialog.qtCurveSymbolColor4, Qt::LeftButton);
        QCOMPARE(answerer.titles(), QStringList { "Vornakel Color Picker" });
        QCOMPARE(dialog.qtCurveSymbolColor4->property("color").toString(), QStringLiteral("#008080"));

        answerer.answerWith([](QWidget *w) {
            auto *picker = qobject_cast<QColorDialog *>(w);
            QVERIFY(picker);
            QCOMPARE(picker->currentColor(), QColor("#008080"));
            picker->setCurrentColor(Qt::red);
            picker->accept();
        });
        QTest::mouseClick(dialog.qtCurveSymbolColor4, Qt::LeftButton);
        QCOMPARE(dialog.qtCurveSymbolColor4->styleSheet(), QStringLiteral("background-color: #ff0000"));
        QCOMPARE(dialog.qtCurveSymbolColor4->property("color").toString(), QStringLiteral("#ff0000"));
        QCOMPARE(dialog.curveColor(4), QColor(Qt::red));
        QCOMPARE(dialog.savedState().value("qtCurveSymbolColor4").toString(), QStringLiteral("#008080"));

        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.qtCurveSymbolColor4->property("color").toString(), QStringLiteral("#008080"));
        QCOMPARE(dialog.qtCurveSymbolColor4->styleSheet(), QStringLiteral("background-color:#008080"));
    }

    void textSettersAreUndoneByCancelAndValueSettersAreNot()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.setXAxisTitle("pH");
        dialog.setYAxisTitle("Net Charge");
        dialog.setLegendText(1, "charge");
        dialog.setHAxisScaleMax(27);
        dialog.setVAxisScaleMin(-3);
        dialog.setHAxisTicGrid(false);
        QCOMPARE(dialog.savedState().value("qtHAxisScaleMax"), QVariant(27));
        dialog.show();
        press(dialog, QDialogButtonBox::Cancel);
        QCOMPARE(dialog.qtHAxisTitle->text(), QString());
        QCOMPARE(dialog.qtVAxisTitle->text(), QString());
        QCOMPARE(dialog.legendLabel(1), QStringLiteral("Series 1"));
        QCOMPARE(dialog.qtHAxisScaleMax->value(), 27.0);
        QCOMPARE(dialog.qtVAxisScaleMin->value(), -3.0);
        QVERIFY(!dialog.qtHAxisTicGrid->isChecked());

        dialog.setLegendText(1, "charge");
        dialog.show();
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.savedState().value("qtLegendSeries1").toString(), QStringLiteral("charge"));
    }

    void legendTextIgnoresSeriesOutsideOneToFourteen()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.setLegendText(0, "none");
        dialog.setLegendText(15, "none");
        for (int n = 1; n <= 14; ++n)
            QCOMPARE(dialog.legendLabel(n), QStringLiteral("Series %1").arg(n));
    }

    void accessorsFallBackForMissingSeries()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        QCOMPARE(dialog.curveSymbol(15), -1);
        QCOMPARE(dialog.curveSymbol(0), -1);
        QCOMPARE(dialog.curveColor(0), QColor("black"));
        QCOMPARE(dialog.curveColor(15), QColor("black"));
        QVERIFY(dialog.legendLabel(15).isNull());
    }

    void rangeSetterSelectsByCodeAndRecordsText()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.setHAxisScaleRange(2);
        QCOMPARE(dialog.qtHAxisScaleRange->currentText(), QStringLiteral("Manual"));
        QCOMPARE(dialog.savedState().value("qtHAxisScaleRange").toString(), QStringLiteral("Manual"));
        dialog.setVAxisScaleRange(7);
        QCOMPARE(dialog.qtVAxisScaleRange->currentIndex(), -1);
        QCOMPARE(dialog.savedState().value("qtVAxisScaleRange").toString(), QString());
    }

    void tabSelectorsPickTheirPage()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.tabWidget_2->setCurrentIndex(1);
        dialog.showCurveAppearanceTab();
        QCOMPARE(dialog.qtTabWidget->currentWidget(), dialog.qtCurveAppearanceTab);
        dialog.showTitleTab();
        QCOMPARE(dialog.qtTabWidget->currentWidget(), dialog.qtTitleTab);
        dialog.showAxesTab();
        QCOMPARE(dialog.qtTabWidget->currentWidget(), dialog.qtAxesTab);
        QCOMPARE(dialog.tabWidget_2->currentIndex(), 1);
        dialog.showLegendTab();
        QCOMPARE(dialog.qtTabWidget->currentWidget(), dialog.qtLegendTab);
    }

    void escapeHidesWithoutRestoring()
    {
        GuiGrapherOptions dialog(nullptr);
        dialog.reset();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.qtTitleMainTitle->setText("edited");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.qtTitleMainTitle->text(), QStringLiteral("edited"));
        QCOMPARE(dialog.savedState().value("qtTitleMainTitle").toString(), QString());
    }
};

QTEST_MAIN(TstGuiGrapherOptions)
#include "tst_gui_grapheroptions.moc"
