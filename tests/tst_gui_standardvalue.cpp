#include "app/app_plugin.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_standardvalue.h"

#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedPointer>
#include <QtTest>

// Every conversion of the fake module writes what it received into the host
// window's field qtRecord, so a test reads the call, its inputs and their order.
static const char *fakeConversions = R"JS(
function record(f, a, b) {
    return { NAME: "qtRecord", VALUE: f + "(" + a.NAME + "=" + a.VALUE + "," + b.NAME + "=" + b.VALUE + ")" };
}
function calculateVBar20(a, b) { return record("calculateVBar20", a, b); }
function calculateDensityAt20(a, b) { return record("calculateDensityAt20", a, b); }
function calculateViscAtT(a, b) { return record("calculateViscAtT", a, b); }
function calculateComputed(a, b) { return { NAME: "qtComputed", VALUE: "1.5" }; }
)JS";

class TstGuiStandardValue : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    TestDatabaseFiles m_files;
    TestModules m_modules;
    AppPlugin *m_module = nullptr;

    static GuiStandardValue *make(const QString &kind, QWidget *window)
    {
        if (kind == QLatin1String("vbar"))
            return new GuiVbarStandardValue(window);
        if (kind == QLatin1String("density"))
            return new GuiDensityStandardValue(window);
        if (kind == QLatin1String("viscosity"))
            return new GuiViscosityStandardValue(window);
        return new GuiS20W_KStandardValue(window);
    }

    // The main window as far as the dialogs see it: a widget whose fields
    // receive results by object name.
    static QWidget *makeWindow()
    {
        auto *window = new QWidget;
        auto *record = new QLineEdit(window);
        record->setObjectName(QStringLiteral("qtRecord"));
        auto *computed = new GuiLineEdit(window);
        computed->setObjectName(QStringLiteral("qtComputed"));
        return window;
    }

    // Types into the dialog's fields and presses OK, after the answerer's poll
    // has returned, so that a box the press opens is answered in turn.
    static std::function<void(QWidget *)> fillAndPressOk(const QString &value, const QString &temperature)
    {
        return [value, temperature](QWidget *w) {
            auto *dialog = qobject_cast<GuiStandardValue *>(w);
            QVERIFY(dialog);
            dialog->qtValue->clear();
            dialog->qtTemperature->clear();
            QTest::keyClicks(dialog->qtValue, value);
            QTest::keyClicks(dialog->qtTemperature, temperature);
            QPushButton *ok = dialog->buttonBox->button(QDialogButtonBox::Ok);
            QTimer::singleShot(0, ok, &QPushButton::click);
        };
    }

    static std::function<void(QWidget *)> pressCancel()
    {
        return [](QWidget *w) {
            auto *dialog = qobject_cast<GuiStandardValue *>(w);
            QVERIFY(dialog);
            QPushButton *cancel = dialog->buttonBox->button(QDialogButtonBox::Cancel);
            QTimer::singleShot(0, cancel, &QPushButton::click);
        };
    }

private slots:
    void initTestCase()
    {
        const QString path = m_modules.write(QStringLiteral("MainScreen_main.js"), QStringLiteral("MainScreen"),
            QStringLiteral("20120412"), QString::fromLatin1(fakeConversions));
        m_module = AppPlugin::generate(path, m_files.path());
        QVERIFY(m_module);
        QVERIFY(m_module->load(path));
    }

    void cleanupTestCase() { delete m_module; }

    void sendsValueAndTemperatureInTheModulesOrder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("call");
        QTest::newRow("vbar first") << "vbar"
                                    << "0.73"
                                    << "calculateVBar20(VBar=0.73,Temperature=4)";
        QTest::newRow("density after temperature") << "density"
                                                   << "1.0032"
                                                   << "calculateDensityAt20(Temperature=4,Density=1.0032)";
        QTest::newRow("viscosity after temperature") << "viscosity"
                                                     << "0.01567"
                                                     << "calculateViscAtT(Temperature=4,Viscosity=0.01567)";
    }
    void sendsValueAndTemperatureInTheModulesOrder()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(QString, call);
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(kind, window.data());
        dialog->setCalculations(m_module);

        TestModalAnswerer answerer;
        answerer.answerWith(fillAndPressOk(value, QStringLiteral("4")));
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("qtRecord"))->text(), call);
    }

    void cancelWritesNothing()
    {
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("density"), window.data());
        dialog->setCalculations(m_module);

        TestModalAnswerer answerer;
        answerer.answerWith(pressCancel());
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("qtRecord"))->text().isEmpty());
    }

    void okWithoutNumbersIsRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("temperature");
        QTest::newRow("empty value") << ""
                                     << "20";
        QTest::newRow("empty temperature") << "0.73"
                                           << "";
        QTest::newRow("letters") << "abc"
                                 << "20";
    }
    void okWithoutNumbersIsRefused()
    {
        QFETCH(QString, value);
        QFETCH(QString, temperature);
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("vbar"), window.data());
        dialog->setCalculations(m_module);

        TestModalAnswerer answerer;
        answerer.answerWith(fillAndPressOk(value, temperature));
        answerer.answerMessageBox(QMessageBox::Ok);
        answerer.answerWith(pressCancel());
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.seen().size(), 3);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Vornakel"));
        QCOMPARE(answerer.seen().at(1).icon, QMessageBox::Warning);
        QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("qtRecord"))->text().isEmpty());
    }

    void showsSetNumbersInTheFieldsFormats_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("valueText");
        QTest::newRow("vbar") << "vbar"
                              << "Enter Partial Specific Volume"
                              << "0.0010";
        QTest::newRow("density") << "density"
                                 << "Enter Density"
                                 << "0.00100";
        QTest::newRow("viscosity") << "viscosity"
                                   << "Enter Viscosity"
                                   << "1.0000E-03";
    }
    void showsSetNumbersInTheFieldsFormats()
    {
        QFETCH(QString, kind);
        QFETCH(QString, header);
        QFETCH(QString, valueText);
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(kind, window.data());
        QCOMPARE(dialog->qtHeader->text(), header);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Standard"));
        QCOMPARE(dialog->parent(), window.data());

        dialog->setTemperature(20.0);
        dialog->setValue(0.001);
        QCOMPARE(dialog->qtTemperature->text(), QStringLiteral("20.00"));
        QCOMPARE(dialog->qtValue->text(), valueText);
        QCOMPARE(dialog->temperature(), 20.0);
        QCOMPARE(dialog->value(), 0.001);
    }

    void readsTextThatIsNoNumberAsZero()
    {
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("vbar"), window.data());
        dialog->qtValue->setText(QStringLiteral("abc"));
        dialog->qtTemperature->setText(QString());
        QCOMPARE(dialog->value(), 0.0);
        QCOMPARE(dialog->temperature(), 0.0);
    }

    void keepsTheLastEntriesBetweenUses()
    {
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("density"), window.data());
        dialog->setCalculations(m_module);
        TestModalAnswerer answerer;
        answerer.answerWith(fillAndPressOk(QStringLiteral("1.01"), QStringLiteral("25")));
        QCOMPARE(dialog->execute(), int(QDialog::Accepted));
        QTest::qWait(50); // lets the answerer see the dialog closed, so its reopening is a new question
        answerer.answerWith(pressCancel());
        QCOMPARE(dialog->execute(), int(QDialog::Rejected));
        QCOMPARE(dialog->value(), 1.01);
        QCOMPARE(dialog->temperature(), 25.0);
    }

    void writtenResultCountsAsComputed()
    {
        QScopedPointer<QWidget> window(makeWindow());
        auto *computed = window->findChild<GuiLineEdit *>(QStringLiteral("qtComputed"));
        computed->setProperty("USER_ENTRY", true);

        // A subclass that converts through a function of the test's choosing.
        class Probe : public GuiStandardValue
        {
        public:
            using GuiStandardValue::GuiStandardValue;
            void calculate() override
            {
                runConversion(QStringLiteral("calculateComputed"), QStringLiteral("A"), 1.0, QStringLiteral("B"), 2.0);
            }
        };
        auto *dialog = new Probe(window.data());
        dialog->setCalculations(m_module);
        QSignalSpy logs(dialog, &GuiStandardValue::sigLog);
        QSignalSpy changed(computed, &GuiLineEdit::sigValueChanged);
        dialog->calculate();
        QCOMPARE(computed->text(), QStringLiteral("1.5"));
        QCOMPARE(computed->property("USER_ENTRY").toBool(), false);
        QCOMPARE(computed->property("LAST_VALUE").toString(), QStringLiteral("1.5"));
        QVERIFY(changed.count() >= 1);
        QCOMPARE(logs.count(), 0);
        QVERIFY(!dialog->signalsBlocked());
    }

    void withoutModuleNothingIsCalculated()
    {
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("viscosity"), window.data());
        dialog->setValue(0.01);
        dialog->setTemperature(20);
        dialog->calculate();
        QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("qtRecord"))->text().isEmpty());
    }

    void explanatoryDialogCalculatesNothing()
    {
        QScopedPointer<QWidget> window(makeWindow());
        GuiStandardValue *dialog = make(QStringLiteral("k"), window.data());
        dialog->setCalculations(m_module);
        QVERIFY(dialog->qtHeader->text().startsWith(QStringLiteral("S20w is the sedimentation coefficient")));
        dialog->setValue(0.009);
        dialog->setTemperature(20);
        dialog->calculate();
        QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("qtRecord"))->text().isEmpty());
    }
};

QTEST_MAIN(TstGuiStandardValue)
#include "tst_gui_standardvalue.moc"
