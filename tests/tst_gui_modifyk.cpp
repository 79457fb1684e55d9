#include "gui/gui_modifyk.h"

#include "test_log.h"
#include "test_modalanswerer.h"

#include <QPushButton>
#include <QtTest>

class TstGuiModifyK : public QObject
{
    Q_OBJECT

private slots:
    void explainsAndEndsRejectedWhicheverWayItIsClosed_data()
    {
        QTest::addColumn<bool>("viaOk");
        QTest::newRow("OK button") << true;
        QTest::newRow("close button") << false;
    }
    void explainsAndEndsRejectedWhicheverWayItIsClosed()
    {
        QFETCH(bool, viaOk);
        QWidget window;
        GuiModifyK dialog(&window);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("S20w"));
        QCOMPARE(dialog.objectName(), QStringLiteral("QtModifyK"));
        QVERIFY(dialog.label->text().contains(QStringLiteral("ought to be .009")));
        QVERIFY(dialog.label->wordWrap());
        QCOMPARE(dialog.qtOkButton->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.parent(), &window);

        TestModalAnswerer answerer;
        answerer.answerWith([viaOk](QWidget *w) {
            auto *d = qobject_cast<GuiModifyK *>(w);
            QVERIFY(d);
            if (viaOk)
                QTimer::singleShot(0, d->qtOkButton, &QPushButton::click);
            else
                QTimer::singleShot(0, d, &QWidget::close);
        });
        QCOMPARE(dialog.execute(), int(QDialog::Rejected));
        QCOMPARE(answerer.seen().size(), 1);
    }
};

TEST_MAIN(TstGuiModifyK)
#include "tst_gui_modifyk.moc"
