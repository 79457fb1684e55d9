#include "app/app_plugin.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_standardvalue.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>
#include <memory>

// Every conversion of the fake module writes what it received into the host
// window's field qtRecord, so a test reads the call, its inputs and their order.
static const char *fakeConversions = R"JS(
function record(f, a, b) {
    return { NAME: "qtRecord", VALUE: f + "(" + a.NAME + "=" + a.VALUE + "," + b.NAME + "=" + b.VALUE + ")" };
}
function calculateVBar20(a, b) { return record("calculateVBar20", a, b); }
function calculateDensityAt20(a, b) { return record("calculateDensityAt20", a, b); }
function calculateViscAtT(a, b) { return record("calculateViscAtT", a, b); }
)JS";

class TstGuiStandardValue : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    TestDatabaseFiles m_files;
    TestModules m_modules;
    std::unique_ptr<AppPlugin> m_module;
    // The main window as far as the dialogs see it: fields that receive results by object name.
    std::unique_ptr<QWidget> m_window;
    GuiLineEdit *m_record = nullptr;

    GuiStandardValue *make(const QString &kind)
    {
        if (kind == QLatin1String("vbar"))
            return new GuiVbarStandardValue(m_window.get());
        if (kind == QLatin1String("density"))
            return new GuiDensityStandardValue(m_window.get());
        if (kind == QLatin1String("viscosity"))
            return new GuiViscosityStandardValue(m_window.get());
        return new GuiS20W_KStandardValue(m_window.get());
    }
    // Presses a button of the dialog after the answerer's poll has returned,
    // so that a box the press opens is answered in turn.
    static std::function<void(QWidget *)> press(QDialogButtonBox::StandardButton button,
        const QString &value = QString(), const QString &temperature = QString())
    {
        return [=](QWidget *w) {
            auto *dialog = qobject_cast<GuiStandardValue *>(w);
            QVERIFY(dialog);
            if (button == QDialogButtonBox::Ok) {
                dialog->qtValue->clear();
                dialog->qtTemperature->clear();
                QTest::keyClicks(dialog->qtValue, value);
                QTest::keyClicks(dialog->qtTemperature, temperature);
            }
            QTimer::singleShot(0, dialog->buttonBox->button(button), &QPushButton::click);
        };
    }

private slots:
    void initTestCase()
    {
        const QString path = m_modules.write(QStringLiteral("MainScreen_main.js"), QStringLiteral("MainScreen"),
            QStringLiteral("20120412"), QString::fromLatin1(fakeConversions));
        m_module.reset(AppPlugin::generate(path, m_files.path()));
        QVERIFY(m_module && m_module->load(path));
    }
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_record = new GuiLineEdit(m_window.get());
        m_record->setObjectName(QStringLiteral("qtRecord"));
    }
    void cleanup() { m_window.reset(); }
    void cleanupTestCase() { m_module.reset(); }

    void showsItsKindAndConvertsInTheModulesOrder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("shown"); // 0.001 in the value field's format
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("call");
        auto row = [](const char *kind, const char *header, const char *shown, const char *value, const char *call) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << QString::fromLatin1(header)
                                << QString::fromLatin1(shown) << QString::fromLatin1(value)
                                << QString::fromLatin1(call);
        };
        row("vbar", "Enter Partial Specific Volume", "0.0010", "0.73", "calculateVBar20(VBar=0.73,Temperature=4)");
        row("density", "Enter Density", "0.00100", "1.0032", "calculateDensityAt20(Temperature=4,Density=1.0032)");
        row("viscosity", "Enter Viscosity", "1.0000E-03", "0.01567",
            "calculateViscAtT(Temperature=4,Viscosity=0.01567)");
    }
    void showsItsKindAndConvertsInTheModulesOrder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, header);
        QFETCH(QString, shown);
        QFETCH(QString, value);
        QFETCH(QString, call);
        GuiStandardValue *dialog = make(kind);
        QCOMPARE(dialog->qtHeader->text(), header);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Standard"));
        QCOMPARE(dialog->parent(), m_window.get());
        dialog->setTemperature(20.0);
        dialog->setValue(0.001);
        QCOMPARE(dialog->qtTemperature->text(), QStringLiteral("20.00"));
        QCOMPARE(dialog->qtValue->text(), shown);

        dialog->setCalculations(m_module.get());
        m_record->setProperty("USER_ENTRY", true);
        QSignalSpy logs(dialog, &GuiStandardValue::sigLog);
        QSignalSpy changed(m_record, &GuiLineEdit::sigValueChanged);
        TestModalAnswerer answerer;
        answerer.answerWith(press(QDialogButtonBox::Ok, value, QStringLiteral("4")));
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QCOMPARE(m_record->text(), call);
        // The written result counts as computed, and the window hears of it.
        QVERIFY(!m_record->property("USER_ENTRY").toBool());
        QCOMPARE(m_record->property("LAST_VALUE").toString(), call);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(logs.count(), 0);
        QVERIFY(!dialog->signalsBlocked());
    }

    void okWithoutNumbersIsRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("temperature");
        QTest::newRow("empty value") << QString() << QStringLiteral("20");
        QTest::newRow("empty temperature") << QStringLiteral("0.73") << QString();
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("20");
    }
    void okWithoutNumbersIsRefused()
    {
        QFETCH(QString, value);
        QFETCH(QString, temperature);
        GuiStandardValue *dialog = make(QStringLiteral("vbar"));
        dialog->setCalculations(m_module.get());
        TestModalAnswerer answerer;
        answerer.answerWith(press(QDialogButtonBox::Ok, value, temperature));
        answerer.answerMessageBox(QMessageBox::Ok);
        answerer.answerWith(press(QDialogButtonBox::Cancel));
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Vornakel"));
        QCOMPARE(answerer.seen().at(1).icon, QMessageBox::Warning);
        QVERIFY(m_record->text().isEmpty()); // neither OK nor Cancel converted anything
        QCOMPARE(dialog->value(), value.toDouble()); // text that is no number reads as 0
    }

    void keepsTheLastEntriesBetweenUses()
    {
        GuiStandardValue *dialog = make(QStringLiteral("density"));
        dialog->setCalculations(m_module.get());
        TestModalAnswerer answerer;
        answerer.answerWith(press(QDialogButtonBox::Ok, QStringLiteral("1.01"), QStringLiteral("25")));
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QTest::qWait(50); // lets the answerer see the dialog closed, so its reopening is a new question
        answerer.answerWith(press(QDialogButtonBox::Cancel));
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QCOMPARE(dialog->value(), 1.01);
        QCOMPARE(dialog->temperature(), 25.0);
    }

    void nothingIsCalculatedWithoutModuleNorByTheExplanation()
    {
        GuiStandardValue *unloaded = make(QStringLiteral("viscosity"));
        GuiStandardValue *explanation = make(QStringLiteral("k"));
        explanation->setCalculations(m_module.get());
        QVERIFY(explanation->qtHeader->text().startsWith(QStringLiteral("S20w is the sedimentation coefficient")));
        for (GuiStandardValue *dialog : { unloaded, explanation }) {
            dialog->setValue(0.01);
            dialog->setTemperature(20);
            dialog->calculate();
        }
        QVERIFY(m_record->text().isEmpty());
    }
};

QTEST_MAIN(TstGuiStandardValue)
#include "tst_gui_standardvalue.moc"
