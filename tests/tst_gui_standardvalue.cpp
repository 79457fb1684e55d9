#include "app/app_plugin.h"
#include "gui/gui_standardvalue.h"

#include "test_environment.h"
#include "test_fakemodule.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QPushButton>
#include <QtTest>
#include <memory>

class TstGuiStandardValue : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    TestFakeModule m_module; // records the conversions; each answers into qtRecord
    // The main window as far as the dialogs see it: fields that receive results by object name.
    QWidget m_window;
    GuiLineEdit *m_record = new GuiLineEdit(&m_window);

    GuiStandardValue *make(const QString &kind)
    {
        GuiStandardValue *dialog = nullptr;
        if (kind == QLatin1String("vbar"))
            dialog = new GuiVbarStandardValue(&m_window);
        else if (kind == QLatin1String("density"))
            dialog = new GuiDensityStandardValue(&m_window);
        else
            dialog = new GuiViscosityStandardValue(&m_window);
        dialog->setCalculations(&m_module);
        return dialog;
    }
    // Fills the dialog and presses OK after the answerer's poll has returned, so that a box the press
    // opens is answered in turn. A dialog nobody answers is rejected by the answerer.
    static std::function<void(QWidget *)> ok(const QString &value, const QString &temperature)
    {
        return [=](QWidget *w) {
            auto *dialog = qobject_cast<GuiStandardValue *>(w);
            dialog->qtValue->setText(value);
            dialog->qtTemperature->setText(temperature);
            QTimer::singleShot(0, dialog->buttonBox->button(QDialogButtonBox::Ok), &QPushButton::click);
        };
    }

private slots:
    void initTestCase()
    {
        for (const char *function : { "calculateVBar20", "calculateDensityAt20", "calculateViscAtT" })
            m_module.answer(function, { TestFakeModule::value(QStringLiteral("qtRecord"), QStringLiteral("made")) });
        m_record->setObjectName(QStringLiteral("qtRecord"));
    }
    void init()
    {
        m_record->clear();
        m_module.clearCalls();
    }

    void showsItsKindAndConvertsInTheModulesOrder_data()
    {
        QTest::addColumn<QStringList>("row"); // header, 0.001 as shown, value typed, call made
        QTest::newRow("vbar") << QStringList { "Enter Partial Specific Volume", "0.0010", "0.73",
            "calculateVBar20(VBar=0.73,Temperature=4)" };
        QTest::newRow("density") << QStringList { "Enter Density", "0.00100", "1.0032",
            "calculateDensityAt20(Temperature=4,Density=1.0032,D2O=0,D2O18=0,H2O18=0)" };
        QTest::newRow("viscosity") << QStringList { "Enter Viscosity", "1.0000E-03", "0.01567",
            "calculateViscAtT(Temperature=4,Viscosity=0.01567,D2O=0,D2O18=0,H2O18=0)" };
    }
    void showsItsKindAndConvertsInTheModulesOrder()
    {
        QFETCH(QStringList, row);
        GuiStandardValue *dialog = make(QTest::currentDataTag());
        QCOMPARE(dialog->qtHeader->text(), row[0]);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Standard"));
        dialog->setTemperature(20.0);
        dialog->setValue(0.001);
        QCOMPARE(dialog->qtTemperature->text(), QStringLiteral("20.00"));
        QCOMPARE(dialog->qtValue->text(), row[1]);
        // The written result counts as computed, and the window hears of it.
        m_record->setProperty("USER_ENTRY", true);
        QSignalSpy changed(m_record, &GuiLineEdit::sigValueChanged);
        TestModalAnswerer answerer;
        answerer.answerWith(ok(row[2], QStringLiteral("4")));
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QCOMPARE(m_module.calls(), QStringList { row[3] });
        QCOMPARE(m_record->text(), QStringLiteral("made"));
        QVERIFY(!m_record->property("USER_ENTRY").toBool());
        QVERIFY(changed.count() >= 1);
        // The entries stay for the next use.
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QCOMPARE(dialog->value(), row[2].toDouble());
        QCOMPARE(dialog->temperature(), 4.0);
    }

    // The viscosity is in poise: 1.0177 is asked about before it is taken, and Yes takes it as centipoise.
    void viscosityOfHalfAPoiseOrMoreIsAskedAbout()
    {
        GuiStandardValue *dialog = make(QStringLiteral("viscosity"));
        QCOMPARE(dialog->qtValue->toolTip(), QStringLiteral("poise (water at 20 C: 0.01002 P = 1.002 cP)"));
        QCOMPARE(make(QStringLiteral("density"))->qtValue->toolTip(), QStringLiteral("g/ml"));
        TestModalAnswerer answerer;
        answerer.answerWith(ok(QStringLiteral("1.0177"), QStringLiteral("20")));
        answerer.answerMessageBox(QMessageBox::Yes);
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QCOMPARE(answerer.seen().value(1).icon, QMessageBox::Question);
        QCOMPARE(m_module.calls(),
            QStringList { "calculateViscAtT(Temperature=20,Viscosity=0.010177,D2O=0,D2O18=0,H2O18=0)" });
    }

    // OK needs a number in both fields: each refusal warns, and nothing is converted.
    void okWithoutNumbersIsRefused()
    {
        TestModalAnswerer answerer;
        answerer.answerWith(ok(QStringLiteral("abc"), QStringLiteral("20")));
        answerer.answerMessageBox(QMessageBox::Ok);
        answerer.answerWith(ok(QStringLiteral("0.73"), QString()));
        QCOMPARE(make(QStringLiteral("vbar"))->execute(), int(QDialog::Rejected));
        QCOMPARE(answerer.titles().count(QStringLiteral("Vornakel")), 2);
        QVERIFY(m_module.calls().isEmpty() && m_record->text().isEmpty());
    }

    void nothingIsCalculatedWithoutModuleNorByTheExplanation()
    {
        GuiStandardValue *explanation = new GuiS20W_KStandardValue(&m_window), *unloaded = make("viscosity");
        explanation->setCalculations(&m_module);
        unloaded->setCalculations(nullptr);
        QVERIFY(explanation->qtHeader->text().startsWith(QStringLiteral("S20w is the sedimentation coefficient")));
        for (GuiStandardValue *dialog : { unloaded, explanation }) {
            dialog->setValue(0.01);
            dialog->setTemperature(20);
            dialog->calculate();
        }
        QVERIFY(m_module.calls().isEmpty() && m_record->text().isEmpty());
    }
};

TEST_MAIN(TstGuiStandardValue)
#include "tst_gui_standardvalue.moc"
