#include "gui/gui_changepkas.h"

#include "test_log.h"
#include "test_modalanswerer.h"

#include <QPushButton>
#include <QtTest>

class TstGuiChangePkas : public QObject
{
    Q_OBJECT

private slots:
    void showsSixSignificantDigits()
    {
        GuiChangePkas dialog(nullptr);
        dialog.setAmino(4.1234567);
        dialog.setCarboxyl(3.9);
        QCOMPARE(dialog.qtAmino->text(), QString("4.12346"));
        QCOMPARE(dialog.qtCarboxyl->text(), QString("3.9"));
        QCOMPARE(dialog.windowTitle(), QString("Change pKa"));
    }

    void onlyANumberFromZeroToFourteenIsAPka_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        for (const char *ok : { "0", "14", "7.35", " 3.9 " })
            QTest::newRow(ok) << ok << true;
        for (const char *bad : { "", "abc", "15", "-0.5", "nan", "inf", "1,5" })
            QTest::newRow(bad) << bad << false;
    }
    void onlyANumberFromZeroToFourteenIsAPka()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(GuiChangePkas::isValidPka(text), valid);
    }

    void okWithAnEmptyFieldStaysOpen()
    {
        TestModalAnswerer answerer;
        GuiChangePkas dialog(nullptr);
        dialog.setAmino(7.35);
        answerer.answerWith([&dialog](QWidget *) {
            dialog.qtCarboxyl->clear();
            QTimer::singleShot(0, dialog.buttonBox->button(QDialogButtonBox::Ok), &QAbstractButton::click);
        });
        answerer.answerMessageBox(QMessageBox::Ok);
        answerer.answerWith([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
        QCOMPARE(dialog.execute(), int(QDialog::Rejected));
        QCOMPARE(answerer.titles(), QStringList({ "Change pKa", "Vornakel", "Change pKa" }));
    }
};

TEST_MAIN(TstGuiChangePkas)
#include "tst_gui_changepkas.moc"
