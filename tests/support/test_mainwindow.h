#ifndef TEST_MAINWINDOW_H
#define TEST_MAINWINDOW_H

#include "gui/gui_vornakel.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_fakemodule.h"
#include "test_modalanswerer.h"
#include "test_widgets.h"

#include <memory>

// The main window as a test drives it: settings of its own, a database file in
// a temporary folder, the modal answerer, and the window, reached by object
// name. One per test function; the window goes first, the settings last.
class TestMainWindow
{
public:
    // Whether start() puts the window on screen.
    enum class Show { No, Exposed };

    explicit TestMainWindow(TestDatabase::Contents contents = TestDatabase::Contents::None) : db(contents) { }

    // A new window on the database file, or on the named file beside it; null
    // unless it started and came as far as asked. A window before it goes first.
    GuiVornakel *start(Show show = Show::Exposed, const QString &fileName = QString());

    // The window's child of this type and name; a missing one stops the run.
    // A name may say the page it is on: "qtStackComposition/qtpH".
    template<typename T = QWidget> T *widget(const QString &name) const
    {
        const int page = name.indexOf(QLatin1Char('/'));
        if (page < 0)
            return testChild<T>(window.get(), name);
        return testChild<T>(testChild<QWidget>(window.get(), name.left(page)), name.mid(page + 1));
    }
    QString text(const QString &name) const; // a label's or a line edit's
    double number(const QString &name) const { return text(name).toDouble(); }
    bool checked(const QString &name) const { return widget<QAbstractButton>(name)->isChecked(); }
    void click(const QString &name) { widget<QAbstractButton>(name)->click(); }
    // A finished edit: the field's text replaced by typing, then Return.
    void type(const QString &name, const QString &text);
    // Texts written as a calculation or a load writes them: "name=text" entries apart by spaces.
    void fill(const QString &entries);
    void showTab(const QString &name) { window->qtTabWidget->setCurrentWidget(widget(name)); }
    // The recording module in place of the shipped one (a child of the window), and that module.
    TestFakeModule *record();
    TestFakeModule *fake() const { return qobject_cast<TestFakeModule *>(window->calculationsPlugin()); }
    bool sql(const QString &statement, const QVariantMap &values = {}) const { return db.exec(statement, values); }

    // The widget as it looks now, written to VORNAKEL_SCREENSHOTS/NAME.png when that folder is set (the
    // pictures of the manual are made so); false only when it was asked for and could not be written.
    static bool picture(QWidget *widget, const QString &name);

    TestSettings settings;
    TestDatabase db;
    TestModalAnswerer answerer;
    std::unique_ptr<GuiVornakel> window;
};

#endif
