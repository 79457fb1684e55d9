// Module windows built from a module's Designer form: which of the form's
// connections end in sendMessage(), and the window's lifetime.

#include "app/app_plugin.h"
#include "gui/gui_module.h"
#include "test_environment.h"
#include "test_log.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

// A form of class Form with a button and a line edit; `connections` and
// `customSlots` go into the form's connection and custom-slot lists.
QString form(const QString &connections, const QString &customSlots)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ui version=\"4.0\"><class>Form</class>"
                          "<widget class=\"QWidget\" name=\"Form\"><layout class=\"QVBoxLayout\" name=\"layout\">"
                          "<item><widget class=\"QPushButton\" name=\"pushButton\"/></item>"
                          "<item><widget class=\"QLineEdit\" name=\"edit\"/></item></layout></widget>"
                          "<resources/><connections>%1</connections><slots>%2</slots></ui>")
        .arg(connections, customSlots);
}

QString connection(const QString &sender, const QString &signal, const QString &receiver)
{
    return QStringLiteral("<connection><sender>%1</sender><signal>%2</signal><receiver>%3</receiver>"
                          "<slot>doIt()</slot></connection>")
        .arg(sender, signal, receiver);
}

const QString kDoIt = QStringLiteral("<slot>doIt()</slot>");

} // namespace

class TstGuiModule : public QObject
{
    Q_OBJECT

    TestModules m_modules;
    std::unique_ptr<AppQtScriptPlugin> load(const QString &formText)
    {
        const QString file = m_modules.writeAddOn(QStringLiteral("addon_main.js"), "AddOn", "1", formText);
        auto module = std::make_unique<AppQtScriptPlugin>(QStringLiteral("unused.db"));
        return module->load(file) ? std::move(module) : nullptr;
    }

private slots:
    void rewiresOnlyDeclaredSlotsOfTheFormClass_data()
    {
        QTest::addColumn<QString>("formText");
        QTest::addColumn<int>("clickMessages");
        QTest::addColumn<int>("editMessages");

        QTest::newRow("declared slot of the form")
            << form(connection("pushButton", "clicked()", "Form"), kDoIt) << 1 << 0;
        QTest::newRow("slot not declared") << form(connection("pushButton", "clicked()", "Form"), QString()) << 0 << 0;
        QTest::newRow("child widget as receiver")
            << form(connection("edit", "returnPressed()", "pushButton"), kDoIt) << 0 << 0;
    }
    void rewiresOnlyDeclaredSlotsOfTheFormClass()
    {
        QFETCH(QString, formText);
        QFETCH(int, clickMessages);
        QFETCH(int, editMessages);

        auto module = load(formText);
        QVERIFY(module);
        auto *window = new GuiModule(module.get());
        QPointer<GuiModule> guard(window);
        QVERIFY(window->window() && window->window()->isVisible());
        QSignalSpy spy(window, &GuiModule::sigSendMessage);
        QTest::mouseClick(window->window()->findChild<QPushButton *>("pushButton"), Qt::LeftButton);
        QCOMPARE(spy.count(), clickMessages);
        emit window->window()->findChild<QLineEdit *>("edit")->returnPressed();
        QCOMPARE(spy.count(), clickMessages + editMessages);

        // Closing the window releases the module object with it.
        window->window()->close();
        TEST_TRY_VERIFY(guard.isNull());
    }

    void textThatIsNoFormOpensNoWindow()
    {
        auto module = load(QStringLiteral("no form at all"));
        QVERIFY(module);
        const int before = QApplication::topLevelWidgets().size();
        GuiModule window(module.get());
        QVERIFY(!window.window());
        QCOMPARE(QApplication::topLevelWidgets().size(), before);
    }

    void eachOpeningHasItsOwnWindow()
    {
        auto module = load(form(connection("pushButton", "clicked()", "Form"), kDoIt));
        GuiModule one(module.get()), two(module.get());
        QVERIFY(one.window() && two.window() && one.window() != two.window());
        QSignalSpy spyOne(&one, &GuiModule::sigSendMessage), spyTwo(&two, &GuiModule::sigSendMessage);
        QTest::mouseClick(two.window()->findChild<QPushButton *>("pushButton"), Qt::LeftButton);
        QCOMPARE(spyOne.count(), 0);
        QCOMPARE(spyTwo.count(), 1);
    }
};

TEST_MAIN(TstGuiModule)
#include "tst_gui_module.moc"
