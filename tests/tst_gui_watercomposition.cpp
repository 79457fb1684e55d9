#include "gui/gui_watercomposition.h"

#include "test_log.h"

#include <QSignalSpy>
#include <QtTest>

class TstGuiWaterComposition : public QObject
{
    Q_OBJECT

    // "H2O max(D2O) max(D2O18) max(H2O18)" as the widget shows them.
    static QString state(const GuiWaterComposition &w)
    {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(w.qtH2OBox->value())
            .arg(w.qtD2OBox->maximum())
            .arg(w.qtD2O18Box->maximum())
            .arg(w.qtH2O18Box->maximum());
    }

private slots:
    void newWidgetIsPureWater()
    {
        GuiWaterComposition w(nullptr);
        QCOMPARE(w.H2O(), 1.0);
        QCOMPARE(w.D2O() + w.D2O18() + w.H2O18(), 0.0);
        QVERIFY(w.isPure());
        QVERIFY(w.qtH2OBox->isReadOnly());
    }

    // Each editable share grows only by what H2O still holds.
    void sharesAddUpToOneHundred_data()
    {
        QTest::addColumn<QStringList>("edits"); // box=value, in order
        QTest::addColumn<QString>("expected");
        QTest::newRow("D2O 60") << QStringList { "qtD2OBox=60" } << "40 100 40 40";
        QTest::newRow("then D2O18 30") << QStringList { "qtD2OBox=60", "qtD2O18Box=30" } << "10 70 40 10";
        QTest::newRow("H2O18 back to 0") << QStringList { "qtH2O18Box=5", "qtH2O18Box=0" } << "100 100 100 100";
    }
    void sharesAddUpToOneHundred()
    {
        QFETCH(QStringList, edits);
        GuiWaterComposition w(nullptr);
        QSignalSpy changed(&w, &GuiWaterComposition::sigValueChanged);
        for (const QString &edit : edits)
            w.findChild<QDoubleSpinBox *>(edit.section('=', 0, 0))->setValue(edit.section('=', 1).toDouble());
        QTEST(state(w), "expected");
        QCOMPARE(changed.count(), edits.size());
    }

    // A composition is loaded whole: the maxima of the one shown before do not clip it.
    void loadedCompositionIsNotClipped()
    {
        GuiWaterComposition w(nullptr);
        w.setValues(0, 95, 0, 5);
        QCOMPARE(state(w), QStringLiteral("5 5 100 5"));
        w.saveCurrentState();
        w.setValues(50, 0, 0, 50);
        QCOMPARE(w.D2O(), 0.5);
        QCOMPARE(w.H2O(), 0.5);
        QCOMPARE(state(w), QStringLiteral("50 100 50 50"));
        w.restoreLastSavedState();
        QCOMPARE(w.D2O18(), 0.95);
        QCOMPARE(w.D2O(), 0.0);
        w.setValues(10, 5, 2, 83);
        QCOMPARE(QString("%1 %2 %3 %4").arg(w.D2O()).arg(w.D2O18()).arg(w.H2O18()).arg(w.H2O()),
            QStringLiteral("0.1 0.05 0.02 0.83"));
        w.clear();
        QVERIFY(w.isPure());
        QCOMPARE(state(w), QStringLiteral("100 100 100 100"));
        w.restoreLastSavedState(); // clear() forgot the saved composition too
        QVERIFY(w.isPure());
    }
};

TEST_MAIN(TstGuiWaterComposition)
#include "tst_gui_watercomposition.moc"
