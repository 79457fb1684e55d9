#include "gui/gui_grapheroptions.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QColorDialog>
#include <QtTest>

class TstGuiGrapherOptions : public QObject
{
    Q_OBJECT

    QScopedPointer<TestSettings> m_settings;
    QScopedPointer<GuiGrapherOptions> m_dialog;

    void press(QDialogButtonBox::StandardButton b) { m_dialog->qtDialogButtons->button(b)->click(); }
    QVector<bool> manualFieldsEnabled() const
    {
        GuiGrapherOptions *d = m_dialog.data();
        return { d->qtHAxisScaleMin->isEnabled(), d->qtHAxisScaleMax->isEnabled(), d->qtHAxisTicInterval->isEnabled(),
            d->qtVAxisScaleMin->isEnabled(), d->qtVAxisScaleMax->isEnabled(), d->qtVAxisTicInterval->isEnabled() };
    }

private slots:
    void init()
    {
        m_dialog.reset(); // the last test's dialog writes its settings before they change
        m_settings.reset(new TestSettings);
        m_dialog.reset(new GuiGrapherOptions(nullptr));
    }

    void formIsBuiltWithTabsAndRemembersItsGeometry()
    {
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Vornakel Graph Options"));
        QStringList tabs;
        for (int i = 0; i < m_dialog->qtTabWidget->count(); ++i)
            tabs << m_dialog->qtTabWidget->tabText(i);
        QCOMPARE(tabs, (QStringList { "Curve Appearance", "Title", "Legend", "Axes", "Defaults" }));
        QCOMPARE(m_dialog->qtTabWidget->currentIndex(), 2);
        QVERIFY(!m_dialog->groupBox_14->isEnabled() && !m_dialog->qtSaveAsDefaults->isEnabled());
        QCOMPARE(m_dialog->geometry().size(), QSize(525, 600));
        m_dialog->show();
        QVERIFY(!m_dialog->isModal() && QTest::qWaitForWindowExposed(m_dialog.data(), testPatienceMs()));
        m_dialog->move(40, 60); // room above for a title bar: a place that is restored
        m_dialog->resize(700, 500);
        TEST_TRY_COMPARE(QSettings().value("GrapherOptions/geometry/width").toInt(), 700);
        const QRect geometry = m_dialog->geometry();
        m_dialog.reset(new GuiGrapherOptions(nullptr));
        QCOMPARE(m_dialog->geometry(), geometry);
    }

    // Fonts and axis titles are not defaults: reset keeps and records them.
    // Series outside 1..14 have no colour, symbol or label.
    void resetRecordsNinetyEightOptionsAndTheSeriesAccessorsReadThem()
    {
        m_dialog->qtLegendFont->setCurrentIndex(m_dialog->qtLegendFont->count() - 1);
        m_dialog->setXAxisTitle("hydration (g/g)");
        m_dialog->reset();
        QCOMPARE(m_dialog->savedState().value("qtLegendFont"),
            QVariant(m_dialog->qtLegendFont->itemText(m_dialog->qtLegendFont->count() - 1)));
        const QVariantHash samples { { "qtCurveSymbolSize", 8.0 }, { "qtCurveLineWidth", 0.01 },
            { "qtCurveSymbol2", "Hexagon" }, { "qtCurveSymbolColor3", "#008000" }, { "qtLegendPosition", "Right" },
            { "qtLegendSeries14", "Series 14" }, { "qtTitleMainSize", 10 }, { "qtTitleMainJustification", "Left" },
            { "qtHAxisScaleMax", 13.0 }, { "qtHAxisTicGrid", true }, { "qtVAxisTicColor", "#FF0000" },
            { "qtVAxisScaleRange", "Auto Range" }, { "qtHAxisTitle", "hydration (g/g)" } };
        for (auto it = samples.cbegin(); it != samples.cend(); ++it)
            QCOMPARE(m_dialog->savedState().value(it.key()), it.value());
        press(QDialogButtonBox::Apply);
        QCOMPARE(m_dialog->savedState().size(), 98);
        QVERIFY(!m_dialog->savedState().contains("qtSaveAsDefaults"));
        QCOMPARE(manualFieldsEnabled(), QVector<bool>(6, false));
        m_dialog->setLegendText(15, "none");
        QCOMPARE(m_dialog->qtCurveSymbol5->currentText(), QStringLiteral("Down Triangle"));
        QCOMPARE(m_dialog->curveSymbol(5), 4);
        QCOMPARE(m_dialog->qtCurveSymbolColor5->styleSheet(), QStringLiteral("background-color:#800000"));
        QCOMPARE(m_dialog->curveColor(5), QColor("#800000"));
        QCOMPARE(m_dialog->legendLabel(14), QStringLiteral("Series 14"));
        for (int n : { 0, 15 }) {
            QCOMPARE(m_dialog->curveSymbol(n), -1);
            QCOMPARE(m_dialog->curveColor(n), QColor("black"));
            QVERIFY(m_dialog->legendLabel(n).isNull());
        }
    }

    // Before any recording Cancel empties the options and records each of them as empty.
    // Afterwards text setters wait for Apply while value setters record at once.
    void cancelRestoresTheLastRecordedState()
    {
        m_dialog->onCancelTriggered();
        QCOMPARE(m_dialog->savedState().size(), 98);
        QVERIFY(!m_dialog->savedState().value("qtCurvePlotLine").isValid());
        m_dialog->reset();
        m_dialog->show();
        m_dialog->qtCurveLineWidth->setValue(2.5);
        m_dialog->qtHAxisScaleRange->setCurrentIndex(2);
        m_dialog->setXAxisTitle("pH");
        m_dialog->setYAxisTitle("Net charge");
        m_dialog->setLegendText(1, "charge");
        m_dialog->setHAxisScaleMax(27);
        m_dialog->setHAxisTicGrid(false);
        m_dialog->qtHAxisTitle->setText("typed");
        m_dialog->qtLegendSeries1->setText("typed");
        press(QDialogButtonBox::Cancel);
        QCOMPARE(m_dialog->qtCurveLineWidth->value(), 0.01);
        QCOMPARE(manualFieldsEnabled(), QVector<bool>(6, false));
        // The caller's titles and labels come back, not the blanks of the reset.
        QCOMPARE(
            m_dialog->qtHAxisTitle->text() + '|' + m_dialog->qtVAxisTitle->text(), QStringLiteral("pH|Net charge"));
        QCOMPARE(m_dialog->legendLabel(1), QStringLiteral("charge"));
        QCOMPARE(m_dialog->qtHAxisScaleMax->value(), 27.0);
        QVERIFY(!m_dialog->qtHAxisTicGrid->isChecked());
    }

    void rangeChoiceAndMarkBoxEnableTheirFields()
    {
        m_dialog->reset();
        for (int index : { 2, 0, 2, 1 }) {
            m_dialog->qtVAxisScaleRange->setCurrentIndex(index);
            const bool manual = index == 2;
            QCOMPARE(manualFieldsEnabled(), (QVector<bool> { false, false, false, manual, manual, manual }));
        }
        QTest::mouseClick(m_dialog->qtHAxisTicMark, Qt::LeftButton);
        QVERIFY(!m_dialog->qtHAxisTicLabelBox->isEnabled() && m_dialog->qtVAxisTicLabelBox->isEnabled());
        m_dialog->qtHAxisTicMark->setChecked(true);
        QVERIFY(m_dialog->qtHAxisTicLabelBox->isEnabled());
    }

    void applyKeepsDialogOpenOkHidesItAndEscapeRestoresNothing()
    {
        QSignalSpy changed(m_dialog.data(), &GuiGrapherOptions::sigSettingsChanged);
        m_dialog->show();
        press(QDialogButtonBox::Apply);
        QVERIFY(m_dialog->isVisible());
        m_dialog->setLegendText(1, "charge");
        press(QDialogButtonBox::Ok);
        QVERIFY(!m_dialog->isVisible() && changed.count() == 2);
        QCOMPARE(m_dialog->savedState().value("qtLegendSeries1").toString(), QStringLiteral("charge"));
        m_dialog->show();
        m_dialog->qtTitleMainTitle->setText("edited");
        QTest::keyClick(m_dialog.data(), Qt::Key_Escape);
        QVERIFY(!m_dialog->isVisible() && changed.count() == 2);
        QCOMPARE(m_dialog->qtTitleMainTitle->text(), QStringLiteral("edited"));
        QCOMPARE(m_dialog->savedState().value("qtTitleMainTitle").toString(), QString());
    }

    void colourPickerChangesOnlyWhenAColourIsChosen()
    {
        m_dialog->reset();
        m_dialog->show();
        TestModalAnswerer answerer;
        answerer.answerWith([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
        answerer.answerWith([](QWidget *w) {
            qobject_cast<QColorDialog *>(w)->setCurrentColor(Qt::red);
            qobject_cast<QColorDialog *>(w)->accept();
        });
        QTest::mouseClick(m_dialog->qtCurveSymbolColor4, Qt::LeftButton);
        QCOMPARE(answerer.titles(), QStringList { "Vornakel Color Picker" });
        QCOMPARE(m_dialog->curveColor(4), QColor("#008080"));
        QTest::mouseClick(m_dialog->qtCurveSymbolColor4, Qt::LeftButton);
        QCOMPARE(m_dialog->curveColor(4), QColor(Qt::red));
        press(QDialogButtonBox::Cancel);
        QCOMPARE(m_dialog->qtCurveSymbolColor4->styleSheet(), QStringLiteral("background-color:#008080"));
    }
};

TEST_MAIN(TstGuiGrapherOptions)
#include "tst_gui_grapheroptions.moc"
