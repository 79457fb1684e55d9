#include "gui/gui_aminoacidsequence.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>
#include <memory>

class TstGuiAminoAcidSequence : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TestReferenceDatabase> m_db;
    std::unique_ptr<GuiAminoAcidSequence> m_dialog;

private slots:
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_db = std::make_unique<TestReferenceDatabase>();
        m_dialog = std::make_unique<GuiAminoAcidSequence>();
        m_dialog->setDatabasePath(m_db->path());
    }
    void cleanup()
    {
        m_dialog.reset();
        m_db.reset();
        m_settings.reset();
    }

    // Printed to a PDF file, the file holds the whole print-out, pages
    // enough for every line of a long sequence.
    void printsTheSequenceToAPdfFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sequence.pdf");
        m_dialog->qtSequenceEdit->setPlainText(QString(6000, QLatin1Char('W')));
        TestModalAnswerer answerer;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        m_dialog->print(&printer);
        QCOMPARE(answerer.texts(), QStringList());
        const QByteArray printed = testReadFile(path);
        QVERIFY(printed.startsWith("%PDF") && printed.right(64).contains("%%EOF"));
        // 120 groups of three lines and a gap: more than one page.
        QVERIFY(printed.count("/Type /Page") - printed.count("/Type /Pages") > 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { "sequence.pdf" });
    }

    // 120 residues: two full groups of 50, then 20 residues numbered 110 over the tenth.
    void printOutHasFiftyResiduesPerLineInBlocksOfTen()
    {
        QString sequence;
        for (int i = 0; i < 120; ++i)
            sequence += QLatin1Char("ACDEFGHIKL"[i % 10]);
        const QList<GuiAminoAcidSequence::PrintGroup> groups = GuiAminoAcidSequence::printGroups(sequence);
        QCOMPARE(groups.size(), 3);
        QCOMPARE(groups[0].numbers, QString("        10         20         30         40         50 "));
        QCOMPARE(groups[0].ruler, QString("----|----| ----|----| ----|----| ----|----| ----|----|"));
        QCOMPARE(groups[0].residues, QString("ACDEFGHIKL ").repeated(5));
        QCOMPARE(groups[1].numbers, QString("        60         70         80         90        100 "));
        QCOMPARE(groups[2].numbers, QString("       110 "));
        QCOMPARE(groups[2].ruler, QString("----|----| ----|----|"));
        QCOMPARE(groups[2].residues, QString("ACDEFGHIKL ACDEFGHIKL"));
        QCOMPARE(GuiAminoAcidSequence::printGroups(QString()).size(), 1);
    }

    // Letters that are no amino acid code are named wherever a sequence enters: pasted (the Paste button, the
    // keys) or dropped, in one box with their counts; typed, beside the field, with no box to stop the typing;
    // read from a file, in the file's box. Digits, blanks and punctuation lay out a listing and are not named.
    void lettersThatAreNoCodeAreNamed_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "Paste button", "keys", "drop" })
            QTest::newRow(how) << how;
    }
    void lettersThatAreNoCodeAreNamed()
    {
        QFETCH(QString, how);
        TestModalAnswerer answerer;
        const QString pasted = "   1 acXdb x2-e\n";
        GuiAminoAcidSequenceEdit *field = m_dialog->qtSequenceEdit;
        if (how == "drop") {
            QMimeData dropped;
            dropped.setText(pasted);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field->viewport(), &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field->viewport(), &drop);
        } else {
            QApplication::clipboard()->setText(pasted);
            if (how == "keys")
                QTest::keySequence(field, QKeySequence::Paste);
            else
                m_dialog->qtPaste->click();
        }
        QCOMPARE(m_dialog->sequence(), QString("ACDE"));
        QCOMPARE(answerer.texts(),
            QStringList { "These codes match no amino acid and were left out of the sequence:\n'X' (2 times)\n"
                          "'B' (once)" });
        QVERIFY(m_dialog->qtLeftOutNote->isHidden());
    }
    void typedLettersThatAreNoCodeAreNamedBesideTheField()
    {
        TestModalAnswerer answerer;
        GuiAminoAcidSequenceEdit *field = m_dialog->qtSequenceEdit;
        QTest::keyClicks(field, "a1c"); // a digit is no residue anyone meant
        QVERIFY(m_dialog->qtLeftOutNote->isHidden());
        QTest::keyClicks(field, "xdbx k");
        QCOMPARE(m_dialog->sequence(), QString("ACD K"));
        QVERIFY(!m_dialog->qtLeftOutNote->isHidden());
        QCOMPARE(m_dialog->qtLeftOutNote->text(),
            QString("Typed, but no amino acid code, so left out: 'X' (2 times), 'B' (once)"));
        QVERIFY(answerer.seen().isEmpty());
        // The next opening, or a cleared field, starts without it.
        m_dialog->show();
        QVERIFY(m_dialog->qtLeftOutNote->isHidden());
        QTest::keyClicks(field, "j");
        m_dialog->clear();
        QVERIFY(m_dialog->qtLeftOutNote->isHidden());
    }

    void sequenceFileRoundTripInEitherForm()
    {
        TestModalAnswerer answerer;
        QTemporaryDir dir;
        const QString path = dir.filePath("acde.SEQ");
        m_dialog->qtSequenceEdit->setPlainText("ACDE");
        answerer.answerFileDialog(path);
        m_dialog->qtSaveToFile->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("ACDE"));
        m_dialog->qtSequenceEdit->setPlainText(QString());
        answerer.answerFileDialog(path, GuiAminoAcidSequence::oneLetterFilter);
        m_dialog->qtReadFromFile->click();
        QCOMPARE(m_dialog->sequence(), QString("ACDE"));
        answerer.answerFileDialog(path, GuiAminoAcidSequence::threeLetterFilter);
        m_dialog->qtReadFromFile->click();
        QCOMPARE(m_dialog->sequence(), QString());
        QVERIFY(answerer.texts().last().endsWith("\n'ACD' (once)\n'E' (once)"));
        QCOMPARE(QSettings().value("SampleComposition/AminoAcidSequence/lastOpenDirectory").toString(), dir.path());
    }

    // A save that fails (here a write past the size this process may write,
    // as on a full disk) keeps the file saved before and says why; a file
    // too large is not read.
    void aFileThatCannotBeWrittenOrIsTooLargeIsReported()
    {
        TestModalAnswerer answerer;
        QTemporaryDir dir;
        const QString old = dir.filePath("old.SEQ");
        QVERIFY(testWriteFile(old, QByteArray(20000, 'C')));
        m_dialog->qtSequenceEdit->setPlainText(QString(32768, 'A'));
        answerer.answerFileDialog(old);
        answerer.answerMessageBox(QMessageBox::Yes); // "replace?"
        {
            const TestFileSizeLimit full(20000);
            m_dialog->qtSaveToFile->click();
        }
        QFile file(old);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(20000, 'C'));
        QCOMPARE(answerer.texts().last(),
            old + " could not be written: " + TestFileSizeLimit::reason() + ". The file keeps what it held before.");
        answerer.clear();
        const QString big = dir.filePath("big.SEQ");
        QVERIFY(testWriteFile(big, QByteArray(GuiAminoAcidSequence::maxFileSize + 1, 'A')));
        QByteArray data;
        QVERIFY(!GuiAminoAcidSequence::readFile(nullptr, big, &data));
        QCOMPARE(answerer.titles(), QStringList({ "Vornakel" }));
        QVERIFY(answerer.texts().at(0).contains("was not read"));
    }

    void fontSizeWidensRulerAndFieldAndIsKept()
    {
        const int ruler = m_dialog->qtHCounter->width();
        m_dialog->qtFontSize->setValue(14);
        QVERIFY(m_dialog->qtHCounter->width() > ruler);
        QVERIFY(m_dialog->qtSequenceEdit->width() >= m_dialog->qtHCounter->width() + 4 + 15);
        GuiAminoAcidSequence next;
        next.setDatabasePath(m_db->path());
        QCOMPARE(next.qtFontSize->value(), 14);
    }

    // The counter labels one row of 100 per line: a row the field wraps would put them beside the wrong residues.
    void aFullRowOfResiduesFitsOnOneLine_data()
    {
        QTest::addColumn<int>("size");
        for (int size : { 8, 10, 14, 20 })
            QTest::addRow("%d pt", size) << size;
    }
    void aFullRowOfResiduesFitsOnOneLine()
    {
        QFETCH(int, size);
        m_dialog->qtFontSize->setValue(size);
        m_dialog->show();
        m_dialog->qtSequenceEdit->setPlainText(QString(100, QLatin1Char('W')));
        QTextBlock row = m_dialog->qtSequenceEdit->document()->firstBlock();
        QCOMPARE(row.length() - 1, 100);
        QCOMPARE(row.layout()->lineCount(), 1);
    }

    void aSmallerSizeShrinksTheDialogAgain()
    {
        m_dialog->show();
        QWidget *rows = m_dialog->qtSequenceAreaContents;
        const int width = rows->width();
        m_dialog->qtFontSize->setValue(20);
        QVERIFY(rows->width() > width);
        m_dialog->qtFontSize->setValue(10);
        QCOMPARE(rows->width(), width);
        QCOMPARE(m_dialog->qtSequenceEdit->x(), m_dialog->qtHCounter->x());
    }

    // Rows wider than the screen scroll sideways; OK and Cancel stay within reach.
    void theDialogStaysWithinTheScreenAtAnySize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : { 8, 20 })
            QTest::addRow("%d pt", size) << size;
    }
    void theDialogStaysWithinTheScreenAtAnySize()
    {
        QFETCH(int, size);
        m_dialog->show();
        m_dialog->qtFontSize->setValue(size);
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get(), testPatienceMs()));
        const QRect screen = m_dialog->screen()->availableGeometry();
        QVERIFY(m_dialog->width() <= screen.width());
        QScrollBar *across = m_dialog->qtSequenceArea->horizontalScrollBar();
        across->setValue(across->maximum());
        const QPoint end = m_dialog->qtSequenceEdit->mapTo(
            m_dialog->qtSequenceArea->viewport(), QPoint(m_dialog->qtSequenceEdit->width(), 0));
        QVERIFY(end.x() <= m_dialog->qtSequenceArea->viewport()->width());
        // Typing at the start of a row brings the row's start back into view.
        m_dialog->qtSequenceEdit->setFocus();
        QTest::keyClick(m_dialog->qtSequenceEdit, Qt::Key_Home);
        QTest::keyClick(m_dialog->qtSequenceEdit, Qt::Key_A);
        const QPoint typed = m_dialog->qtSequenceEdit->viewport()->mapTo(
            m_dialog->qtSequenceArea->viewport(), m_dialog->qtSequenceEdit->cursorRect().topLeft());
        QVERIFY2(typed.x() >= 0 && typed.x() < m_dialog->qtSequenceArea->viewport()->width(),
            qPrintable(QString::number(typed.x())));
    }

    void counterShowsResiduesBeforeEachRow()
    {
        m_dialog->qtSequenceEdit->setPlainText(QString(250, QLatin1Char('A')));
        QCOMPARE(m_dialog->qtVCounter->toPlainText(), QString("0\n100\n200"));
    }
};

TEST_MAIN(TstGuiAminoAcidSequence)
#include "tst_gui_aminoacidsequence.moc"
