#include "gui/gui_lineedit.h"

#include "test_environment.h"

#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {
const QString RedMark = QStringLiteral("QLineEdit{background-color: rgba(170, 28, 29, 100);}");
}

// A window holding the field under test and a neighbour that takes the focus away.
class LineEditForm : public QWidget
{
public:
    LineEditForm()
    {
        auto *layout = new QVBoxLayout(this);
        field = new GuiLineEdit(this);
        field->setObjectName(QStringLiteral("qtField"));
        other = new QLineEdit(this);
        other->setObjectName(QStringLiteral("qtOther"));
        layout->addWidget(field);
        layout->addWidget(other);
    }
    GuiLineEdit *field;
    QLineEdit *other;
};

class TstGuiLineEdit : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    LineEditForm *m_form = nullptr;
    GuiLineEdit *field() { return m_form->findChild<GuiLineEdit *>(QStringLiteral("qtField")); }

    void typeInto(const QString &text)
    {
        field()->setFocus();
        field()->selectAll();
        QTest::keyClick(field(), Qt::Key_Backspace);
        if (!text.isEmpty())
            QTest::keyClicks(field(), text);
    }

private slots:
    void init()
    {
        m_form = new LineEditForm;
        m_form->show();
        QApplication::setActiveWindow(m_form);
        QVERIFY(QTest::qWaitForWindowActive(m_form));
    }
    void cleanup()
    {
        delete m_form;
        m_form = nullptr;
    }

    void reportsClassNameForTheFormWriter()
    {
        QCOMPARE(QString::fromLatin1(field()->metaObject()->className()), QStringLiteral("GuiLineEdit"));
    }

    void rejectedEntryStaysRedAndIsAnnouncedOnce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("withRange");
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("outside the range") << "50" << true;
        QTest::newRow("group separator") << "1,000" << false;
        QTest::newRow("decimal comma") << "1,5" << false;
        QTest::newRow("infinity") << "inf" << false;
    }
    void rejectedEntryStaysRedAndIsAnnouncedOnce()
    {
        QFETCH(QString, typed);
        QFETCH(bool, withRange);
        if (withRange)
            field()->setRange(0, 45, 1000.0);
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        typeInto(typed);
        QCOMPARE(edited.count(), 0); // no check while typing
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->text(), typed);
        QVERIFY(!field()->isValid());
        QCOMPARE(field()->styleSheet(), RedMark);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(changed.count(), 0);
    }

    void acceptedEntryIsRewrittenInTheFieldFormat_data()
    {
        QTest::addColumn<char>("format");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("f 2") << 'f' << 2 << "20"
                             << "20.00";
        QTest::newRow("e 4") << 'e' << 4 << "0.5"
                             << "5.0000e-01";
        QTest::newRow("E 4") << 'E' << 4 << "0.01"
                             << "1.0000E-02";
        QTest::newRow("g 6") << 'g' << 6 << "90000.0"
                             << "90000";
        QTest::newRow("exponent typed") << 'g' << 6 << "4.2e-13"
                                        << "4.2e-13";
    }
    void acceptedEntryIsRewrittenInTheFieldFormat()
    {
        QFETCH(char, format);
        QFETCH(int, precision);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        field()->setFormat(format, precision);
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        typeInto(typed);
        QTest::keyClick(field(), Qt::Key_Enter);
        QCOMPARE(field()->text(), shown);
        QVERIFY(field()->isValid());
        QVERIFY(field()->styleSheet().isEmpty());
        QCOMPARE(edited.count(), 1);
        QCOMPARE(changed.count(), 0); // the rewrite itself is silent
    }

    void losingTheFocusFinishesAnEdit()
    {
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        typeInto(QStringLiteral("7"));
        m_form->other->setFocus();
        QTRY_COMPARE(edited.count(), 1);
        QVERIFY(field()->isValid());
    }

    void leavingAnUnchangedFieldAnnouncesNoEdit()
    {
        field()->setText(QStringLiteral("abc"));
        field()->setFocus();
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        m_form->other->setFocus();
        QTest::keyClick(m_form->other, Qt::Key_Return);
        field()->setFocus();
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(edited.count(), 0);
        QCOMPARE(field()->styleSheet(), RedMark); // it still checked itself
    }

    void erasingRestoresTheDefaultText()
    {
        field()->setFormat('f', 2);
        field()->setDefaultText(QStringLiteral("20"));
        QCOMPARE(field()->text(), QStringLiteral("20.00"));
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        typeInto(QString());
        QCOMPARE(field()->text(), QString());
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->text(), QStringLiteral("20.00"));
        QVERIFY(field()->isValid());
        QVERIFY(changed.count() >= 1);
        QCOMPARE(edited.count(), 1);
    }

    void rejectedDefaultTextLeavesTheFieldInvalid()
    {
        field()->setDefaultText(QStringLiteral("abc"));
        QCOMPARE(field()->text(), QStringLiteral("abc"));
        QVERIFY(!field()->isValid());
        typeInto(QString());
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->text(), QStringLiteral("abc"));
        QVERIFY(!field()->isValid());
        QCOMPARE(field()->styleSheet(), RedMark);
    }

    void programChangesAreNeverUserEdits()
    {
        field()->setFormat('f', 3);
        QSignalSpy edited(field(), &GuiLineEdit::sigValueEdited);
        QSignalSpy changed(field(), &GuiLineEdit::sigValueChanged);
        field()->setText(QStringLiteral("1.5"));
        QCOMPARE(field()->text(), QStringLiteral("1.500"));
        QVERIFY(field()->isValid());
        QCOMPARE(changed.count(), 1);
        field()->setFocus();
        m_form->other->setFocus();
        QCOMPARE(edited.count(), 0);
    }

    void clearWithoutDefaultLeavesEmptyInvalidUnmarked()
    {
        field()->setText(QStringLiteral("abc"));
        QCOMPARE(field()->styleSheet(), RedMark);
        field()->clear();
        QCOMPARE(field()->text(), QString());
        QVERIFY(!field()->isValid());
        QVERIFY(field()->styleSheet().isEmpty());
    }

    void clearReturnsToTheDefaultText()
    {
        field()->setFormat('g', 6);
        field()->setDefaultText(QStringLiteral("0.998234"));
        field()->setText(QStringLiteral("1.2"));
        field()->clear();
        QCOMPARE(field()->text(), QStringLiteral("0.998234"));
        QVERIFY(field()->isValid());
    }

    void defaultTextDoesNotReplaceExistingText()
    {
        field()->setText(QStringLiteral("3"));
        field()->setDefaultText(QStringLiteral("20"));
        QCOMPARE(field()->text(), QStringLiteral("3"));
    }

    void laterValidEntryRemovesTheRedMark()
    {
        typeInto(QStringLiteral("x1"));
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(field()->styleSheet(), RedMark);
        typeInto(QStringLiteral("1"));
        QTest::keyClick(field(), Qt::Key_Return);
        QVERIFY(field()->styleSheet().isEmpty());
        QVERIFY(field()->isValid());
    }

    void boundsAndDecimalsLimitAcceptance_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("inside") << "0.5" << true;
        QTest::newRow("too many decimals") << "0.125" << false;
        QTest::newRow("below") << "-0.5" << false;
        QTest::newRow("above") << "1.5" << false;
    }
    void boundsAndDecimalsLimitAcceptance()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        field()->setRange(0, 1, 2.9); // decimals cut to 2
        field()->setText(text);
        QCOMPARE(field()->isValid(), valid);
    }

    void bottomAloneLeavesTheTopOpen()
    {
        field()->setBottom(0);
        field()->setText(QStringLiteral("1e9"));
        QVERIFY(field()->isValid());
        field()->setText(QStringLiteral("-1"));
        QVERIFY(!field()->isValid());
        field()->setTop(10);
        field()->setText(QStringLiteral("11"));
        QVERIFY(!field()->isValid());
        field()->setText(QStringLiteral("5"));
        QVERIFY(field()->isValid());
    }

    void revertValueChangesNothing()
    {
        field()->setText(QStringLiteral("4"));
        field()->revertValue();
        QCOMPARE(field()->text(), QStringLiteral("4"));
    }
};

QTEST_MAIN(TstGuiLineEdit)
#include "tst_gui_lineedit.moc"
