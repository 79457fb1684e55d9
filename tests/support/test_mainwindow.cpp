#include "test_mainwindow.h"

#include <QtTest>

GuiVornakel *TestMainWindow::start(Show show, const QString &fileName)
{
    window.reset();
    window = std::make_unique<GuiVornakel>(fileName.isEmpty() ? db.path() : db.path(fileName));
    GuiVornakel *w = window.get();
    if (!w->initVornakel())
        return nullptr;
    if (show == Show::No)
        return w;
    w->show();
    return QTest::qWaitForWindowExposed(w, testPatienceMs()) ? w : nullptr;
}

QString TestMainWindow::text(const QString &name) const
{
    const int page = name.indexOf(QLatin1Char('/'));
    const QObject *parent = page < 0 ? window.get() : widget(name.left(page));
    if (auto *label = parent->findChild<QLabel *>(name.mid(page + 1)))
        return label->text();
    return widget<QLineEdit>(name)->text();
}

void TestMainWindow::type(const QString &name, const QString &text)
{
    auto *field = widget<QLineEdit>(name);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "\b" + text + "\r");
}

void TestMainWindow::fill(const QString &entries)
{
    for (const QString &entry : entries.split(' ', Qt::SkipEmptyParts))
        widget<QLineEdit>(entry.section('=', 0, 0))->setText(entry.section('=', 1));
}

bool TestMainWindow::picture(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("VORNAKEL_SCREENSHOTS");
    return folder.isEmpty() || widget->grab().save(folder + '/' + name + ".png");
}

TestFakeModule *TestMainWindow::record()
{
    // A child of the window, so that it outlives every use the window makes of it.
    window->setCalculationsPlugin(new TestFakeModule(window.get()));
    return fake();
}
