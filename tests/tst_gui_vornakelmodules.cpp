// The modules dialog, on its own and through the main window's Additional
// Modules command, which opens the picked module's windows.

#include "gui/gui_module.h"
#include "gui/gui_vornakelmodules.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_mainwindow.h"
#include "xml/xml_messageprocessor.h"

#include <QHeaderView>
#include <QWebView>
#include <QtTest>
#include <memory>

namespace {

const QString kForm = QStringLiteral("<ui version=\"4.0\"><class>AddOnForm</class>"
                                     "<widget class=\"QWidget\" name=\"AddOnForm\"/></ui>");

QStringList rows(const QTreeWidget *tree)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QStringList columns;
        for (int c = 0; c < tree->columnCount(); ++c)
            columns << tree->topLevelItem(i)->text(c);
        out << columns.join('|');
    }
    return out;
}

QWidget *topLevel(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == objectName && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class TstGuiVornakelModules : public QObject
{
    Q_OBJECT

private slots:
    void showsAndReturnsModuleLines()
    {
        GuiVornakelModules dialog({ "A,1,page.html,/m/a_main.js", "B,2,,/m/x,y_main.js" }, "/m");
        QCOMPARE(dialog.qtModules->headerItem()->text(3), QString("Module Script Path"));
        QCOMPARE(rows(dialog.qtModules), (QStringList { "A|1|page.html|/m/a_main.js", "B|2||/m/x" }));
        QCOMPARE(dialog.qtModulePath->text(), QString("/m"));
        QCOMPARE(dialog.qtModules->topLevelItem(0)->toolTip(3), QString("/m/a_main.js")); // paths may be elided
        QVERIFY(dialog.selectedModules().isEmpty());
        dialog.qtModules->topLevelItem(1)->setSelected(true);
        QCOMPARE(dialog.selectedModules(), QStringList { "B,2,,/m/x" });
    }

    void emptyListStillShowsTheFolder()
    {
        GuiVornakelModules dialog({}, "/nowhere");
        QCOMPARE(dialog.qtModules->topLevelItemCount(), 0);
        QCOMPARE(dialog.qtModulePath->text(), QString("/nowhere"));
        QTest::mouseClick(dialog.buttonBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.selectedModules().isEmpty());
    }

    void doubleClickOpensThePickedModulesWindows_data()
    {
        QTest::addColumn<bool>("html");
        QTest::newRow("form module") << false;
        QTest::newRow("HTML module") << true;
    }
    void doubleClickOpensThePickedModulesWindows()
    {
        QFETCH(bool, html);
        TestMainWindow m;
        TestModules modules;
        const QString page = modules.writeRaw("page.html", "<html><head></head><body>add-on</body></html>");
        modules.writeAddOn("addon_main.js", "AddOn", "3", kForm, html ? page : QString());

        GuiVornakel *window = m.start(TestMainWindow::Show::No);
        QVERIFY(window);
        window->findChild<XmlMessageProcessor *>("MessageProcessor")->loadPlugins(modules.path());

        QStringList listed;
        m.answerer.answerWith([&listed](QWidget *w) {
            auto *dialog = qobject_cast<GuiVornakelModules *>(w);
            if (!dialog)
                return;
            listed = rows(dialog->qtModules);
            const QList<QTreeWidgetItem *> found = dialog->qtModules->findItems("AddOn", Qt::MatchExactly);
            const QRect rect = dialog->qtModules->visualItemRect(found.value(0));
            QTest::mouseClick(dialog->qtModules->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(dialog->qtModules->viewport(), Qt::LeftButton, {}, rect.center());
        });
        window->actionAdditional_Modules->trigger();
        QVERIFY(listed.size() >= 2);
        QVERIFY(listed.first().startsWith("MainScreen|"));
        QWidget *form = topLevel("AddOnForm");
        QVERIFY(form);
        int pages = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            pages += qobject_cast<QWebView *>(w) && w->isVisible();
        QCOMPARE(pages, html ? 1 : 0);
        form->close();
        TEST_TRY_VERIFY(!topLevel("AddOnForm"));
        QVERIFY(window->findChildren<GuiVornakelModules *>().isEmpty());
    }
};

TEST_MAIN(TstGuiVornakelModules)
#include "tst_gui_vornakelmodules.moc"
