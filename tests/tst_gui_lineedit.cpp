#include "gui/gui_lineedit.h"

#include "test_environment.h"
#include "test_log.h"

#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {
const QString RedMark = QStringLiteral("QLineEdit{background-color: rgba(170, 28, 29, 100);}");
}

class TstGuiLineEdit : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    QWidget *m_form = nullptr; // the field under test and a neighbour that takes the focus away
    GuiLineEdit *field() { return m_form->findChild<GuiLineEdit *>("qtField"); }
    QLineEdit *other() { return m_form->findChild<QLineEdit *>("qtOther"); }

    void typeInto(const QString &text)
    {
        field()->setFocus();
        field()->selectAll();
        QTest::keyClick(field(), Qt::Key_Backspace);
        QTest::keyClicks(field(), text);
    }

private slots:
    void init()
    {
        m_form = new QWidget;
        auto *layout = new QVBoxLayout(m_form);
        layout->addWidget(new GuiLineEdit(m_form));
        layout->addWidget(new QLineEdit(m_form));
        layout->itemAt(0)->widget()->setObjectName("qtField");
        layout->itemAt(1)->widget()->setObjectName("qtOther");
        m_form->show();
        QApplication::setActiveWindow(m_form);
        QVERIFY(QTest::qWaitForWindowActive(m_form, testPatienceMs()));
    }
    void cleanup()
    {
        delete m_form;
        m_form = nullptr;
    }

    void typedEntryIsCheckedWhenFinished_data()
    {
        // The field's format (letter and precision), then "range bottom,top[,decimals]", "default text" or
        // "max length".
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("valid");
        QTest::newRow("letters") << "g6" << QString("abc") << "abc" << false;
        QTest::newRow("group separator") << "g6" << QString("1,000") << "1,000" << false;
        QTest::newRow("decimal comma") << "g6" << QString("1,5") << "1,5" << false;
        QTest::newRow("infinity") << "g6" << QString("inf") << "inf" << false;
        QTest::newRow("f 2") << "f2" << QString("20") << "20.00" << true;
        QTest::newRow("e 4") << "e4" << QString("0.5") << "5.0000e-01" << true;
        QTest::newRow("E 4") << "E4" << QString("0.01") << "1.0000E-02" << true;
        QTest::newRow("exponent typed") << "g6" << QString("4.2e-13") << "4.2e-13" << true;
        QTest::newRow("outside the range") << "g6 range 0,45,1000" << QString("50") << "50" << false;
        QTest::newRow("decimals cut to 2, inside") << "g6 range 0,1,2.9" << QString("0.5") << "0.5" << true;
        QTest::newRow("decimals cut to 2, too many") << "g6 range 0,1,2.9" << QString("0.125") << "0.125" << false;
        QTest::newRow("bottom alone leaves the top open") << "g6 range 0" << QString("1e9") << "1e+09" << true;
        QTest::newRow("below the bottom") << "g6 range 0,10" << QString("-1") << "-1" << false;
        QTest::newRow("above the top") << "g6 range 0,10" << QString("11") << "11" << false;
        QTest::newRow("erased: default text") << "f2 default 20" << QString() << "20.00" << true;
        QTest::newRow("erased: rejected default") << "g6 default abc" << QString() << "abc" << false;
        // A rewrite longer than the field would be cut into another number: the typed text stays.
        QTest::newRow("rewrite fits the length") << "f5 max 12" << QString("0.73") << "0.73000" << true;
        QTest::newRow("rewrite too long") << "f5 max 12" << QString("123456789") << "123456789" << true;
        // Fixed point from 1e15 on would write digits no double holds, 309 of them for 1e308.
        QTest::newRow("a huge figure in fixed point") << "f2" << QString("1e308") << "1e+308" << true;
        QTest::newRow("just under 1e15 in fixed point")
            << "f2" << QString("999999999999999") << "999999999999999.00" << true;
    }
    void typedEntryIsCheckedWhenFinished()
    {
        QFETCH(QString, setup);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        const QStringList words = setup.split(' ');
        field()->setFormat(words[0].at(0).toLatin1(), words[0].mid(1).toInt());
        const QStringList bounds = words.size() > 2 && words[1] == "range" ? words[2].split(',') : QStringList();
        if (bounds.size() == 3)
            field()->setRange(bounds[0].toDouble(), bounds[1].toDouble(), bounds[2].toDouble());
        else if (!bounds.isEmpty())
            field()->setBottom(bounds[0].toDouble());
        if (bounds.size() == 2)
            field()->setTop(bounds[1].toDouble());
        const QString defaultText = words.size() > 2 && words[1] == "default" ? words[2] : QString();
        field()->setDefaultText(defaultText);
        if (words.size() > 2 && words[1] == "max")
            field()->setMaxLength(words[2].toInt());
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        typeInto(typed);
        QCOMPARE(field()->text(), typed);
        QCOMPARE(edited.count(), 0); // no check while typing
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->text(), shown);
        QCOMPARE(field()->isValid(), valid);
        QCOMPARE(field()->styleSheet(), valid ? QString() : RedMark);
        QCOMPARE(edited.count(), 1);
        // Only writing the default text back is a change; the rewrite of a typed number is silent.
        QCOMPARE(changed.count(), defaultText.isEmpty() ? 0 : 1);
    }

    void losingTheFocusFinishesAnEditAndClearsTheRedMark()
    {
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        typeInto("x1");
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->styleSheet(), RedMark);
        typeInto("7");
        other()->setFocus();
        TEST_TRY_COMPARE(edited.count(), 2);
        QVERIFY(field()->isValid());
        QVERIFY(field()->styleSheet().isEmpty());
    }

    void leavingAnUnchangedFieldAnnouncesNoEdit()
    {
        field()->setText("abc");
        field()->setFocus();
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        other()->setFocus();
        QTest::keyClick(other(), Qt::Key_Return);
        field()->setFocus();
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(edited.count(), 0);
        QCOMPARE(field()->styleSheet(), RedMark); // it still checked itself
    }

    void programChangesAreNeverUserEdits()
    {
        field()->setFormat('f', 3);
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        field()->setText("1.5");
        QCOMPARE(field()->text(), "1.500");
        QVERIFY(field()->isValid());
        QCOMPARE(changed.count(), 1);
        field()->setFocus();
        other()->setFocus();
        QCOMPARE(edited.count(), 0);
    }

    void clearReturnsToTheDefaultTextOrLeavesEmptyInvalidUnmarked()
    {
        field()->setText("abc");
        QCOMPARE(field()->styleSheet(), RedMark);
        field()->clear();
        QCOMPARE(field()->text(), QString());
        QVERIFY(!field()->isValid());
        QVERIFY(field()->styleSheet().isEmpty());

        field()->setText("3");
        field()->setDefaultText("0.998234"); // existing text stays
        QCOMPARE(field()->text(), "3");
        field()->clear();
        QCOMPARE(field()->text(), "0.998234");
        QVERIFY(field()->isValid());
    }
};

TEST_MAIN(TstGuiLineEdit)
#include "tst_gui_lineedit.moc"
