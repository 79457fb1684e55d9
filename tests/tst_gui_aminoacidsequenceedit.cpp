#include "gui/gui_aminoacidsequenceedit.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>
#include <memory>

class TstGuiAminoAcidSequenceEdit : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestReferenceDatabase> m_db;
    std::unique_ptr<GuiAminoAcidSequenceEdit> m_edit;
    std::unique_ptr<TestModalAnswerer> m_answerer;

    void paste(const QString &text)
    {
        QApplication::clipboard()->setText(text);
        m_edit->paste();
    }

private slots:
    void init()
    {
        m_answerer = std::make_unique<TestModalAnswerer>();
        m_db = std::make_unique<TestReferenceDatabase>();
        QVERIFY(m_db->isValid());
        m_edit = std::make_unique<GuiAminoAcidSequenceEdit>();
        m_edit->setDatabasePath(m_db->path());
        m_edit->clear();
        m_edit->show();
        m_edit->setFocus();
    }
    void cleanup()
    {
        m_edit.reset();
        m_db.reset();
        m_answerer.reset();
    }

    void typingKeepsCodesInUpperCaseOnly()
    {
        QTest::keyClicks(m_edit.get(), "ak");
        QCOMPARE(m_edit->toPlainText(), QString("AK"));
        QTest::keyClicks(m_edit.get(), "1j");
        QTest::keyClick(m_edit.get(), Qt::Key_Return);
        QCOMPARE(m_edit->toPlainText(), QString("AK"));
        QCOMPARE(m_edit->textCursor().position(), 2);
        m_edit->moveCursor(QTextCursor::Start);
        QTest::keyClicks(m_edit.get(), "g ");
        QCOMPARE(m_edit->toPlainText(), QString("G AK")); // a blank is one CY2
        QCOMPARE(m_edit->textCursor().position(), 2);
    }

    void pasteKeepsOnlyCodeCharacters()
    {
        paste("a,c,d,-,1\ne,f");
        QCOMPARE(m_edit->toPlainText(), QString("ACDEF"));
    }

    // A sequence copied from a database listing: numbers, blocks of ten, lower case.
    void pasteDropsTheBlanksBetweenBlocks()
    {
        paste("        1 kvfgrcelaa amkrhgldny\n       21 rgy");
        QCOMPARE(m_edit->toPlainText(), QString("KVFGRCELAAAMKRHGLDNYRGY"));
    }

    // A FASTA text's title lines name the protein, pasted or dropped as read from a file: no residues.
    void pastedFastaTitlesAreNoResidues()
    {
        paste(">sp|P00698|LYSC_CHICK Lysozyme C\nKVFGR\r\nCELAA\n>Second\nMK");
        QCOMPARE(m_edit->toPlainText(), QString("KVFGRCELAAMK"));
        m_edit->clear();
        QMimeData dropped;
        dropped.setText(">LYSC_CHICK\nKVFGR");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_edit->viewport(), &enter);
        QDragMoveEvent move(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_edit->viewport(), &move);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_edit->viewport(), &drop);
        QCOMPARE(m_edit->toPlainText(), QString("KVFGR"));
    }

    // Codes that mean something in a pattern are ordinary characters.
    void pasteTreatsEveryCodeAsACharacter()
    {
        QSqlQuery insert(QSqlDatabase::database(m_db->path()));
        QVERIFY(insert.exec("INSERT INTO amino (Namethree, nameone) VALUES ('BRA', ']'), ('DSH', '-')"));
        m_edit->clear();
        paste("a]-^1\nxz\\");
        QCOMPARE(m_edit->toPlainText(), QString("A]-"));
    }

    // A long sequence enters the field row by row: the layout of one line of it
    // all would grow with the square of its length and hold the program still.
    void aLongSequenceNeverStandsAsOneLine_data()
    {
        QTest::addColumn<int>("how"); // 0 pasted, 1 pasted inside a row, 2 read from a file
        QTest::newRow("pasted") << 0;
        QTest::newRow("pasted inside a row") << 1;
        QTest::newRow("read from a file") << 2;
    }
    void aLongSequenceNeverStandsAsOneLine()
    {
        QFETCH(int, how);
        QString residues;
        for (int i = 0; i < 5000; ++i)
            residues += QStringLiteral("acdefghik").at(i % 9);
        if (how == 1) {
            m_edit->setPlainText(QString(150, QLatin1Char('W')));
            QTextCursor cursor = m_edit->textCursor();
            cursor.setPosition(50);
            m_edit->setTextCursor(cursor);
        }
        int longest = 0;
        QTextDocument *doc = m_edit->document();
        const QMetaObject::Connection watch = connect(doc, &QTextDocument::contentsChange, this,
            [doc, &longest](int position) { longest = std::max(longest, doc->findBlock(position).length() - 1); });
        if (how == 2)
            m_edit->setSequenceFromFile(residues.toLatin1(), false);
        else
            paste(residues);
        disconnect(watch);
        QCOMPARE(m_edit->sequence().size(), residues.size() + (how == 1 ? 150 : 0));
        QVERIFY2(longest < 2 * GuiAminoAcidSequenceEdit::residuesPerRow, qPrintable(QString::number(longest)));
    }

    void rowsOfAHundredAreCounted()
    {
        QSignalSpy rows(m_edit.get(), &GuiAminoAcidSequenceEdit::sigRowCountChanged);
        m_edit->setPlainText(QString(250, QLatin1Char('A')));
        QCOMPARE(m_edit->rowCount(), 2);
        const QString rowsOf250 = m_edit->toPlainText();
        for (const int at : { 101, 150, 252 }) { // a row's end, its middle, the end
            QTextCursor cursor = m_edit->textCursor();
            cursor.setPosition(at);
            m_edit->setTextCursor(cursor);
            QTest::keyClick(m_edit.get(), Qt::Key_Return); // a line break is no residue
            QCOMPARE(m_edit->toPlainText(), rowsOf250);
        }
        m_edit->moveCursor(QTextCursor::End);
        for (int i = 0; i < 51; ++i)
            QTest::keyClick(m_edit.get(), Qt::Key_Backspace);
        QCOMPARE(m_edit->sequence(), QString(199, QLatin1Char('A')));
        QCOMPARE(m_edit->rowCount(), 1);
        m_edit->moveCursor(QTextCursor::Start);
        QTest::keyClicks(m_edit.get(), "c"); // in the first row: the later rows move up
        QCOMPARE(m_edit->sequence(), 'C' + QString(199, QLatin1Char('A')));
        QCOMPARE(m_edit->toPlainText().section('\n', 0, 0), 'C' + QString(99, QLatin1Char('A')));
        QCOMPARE(m_edit->textCursor().position(), 1);
        m_edit->setPlainText(QString());
        QCOMPARE(m_edit->rowCount(), 0);
        QCOMPARE(rows.size(), 4); // 2, 1, 2 again, then 0
    }

    // Codes are matched as typed (as they stand, else in upper case); what
    // matches nothing is named, with its count, in one box.
    void sequenceFilesAreDecodedInTheirForm_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("threeLetter");
        QTest::addColumn<QString>("sequence");
        QTest::addColumn<QString>("leftOut");
        QTest::newRow("one letter, line feed") << QByteArray("ACDE\n") << false << "ACDE"
                                               << "";
        QTest::newRow("one letter") << QByteArray("ACDE") << false << "ACDE"
                                    << "";
        QTest::newRow("one letter, lower case") << QByteArray("AcD\nef") << false << "ACDEF"
                                                << "";
        QTest::newRow("one letter, a blank is a cystine") << QByteArray("A C") << false << "A C"
                                                          << "";
        QTest::newRow("FASTA titles are no residues")
            << QByteArray(">sp|P00698|LYSC_CHICK Lysozyme C\r\nKVFGR\nCELAA\n>Second\nMK") << false << "KVFGRCELAAMK"
            << "";
        QTest::newRow("three letter") << QByteArray("ALACYSGLY") << true << "ACG"
                                      << "";
        QTest::newRow("three letter, blanks and line ends")
            << QByteArray("ALA CYS GLY\r\nALA\nCY2\n") << true << "ACGA "
            << "";
        QTest::newRow("three letter, lower case") << QByteArray("ala Cys gly") << true << "ACG"
                                                  << "";
        QTest::newRow("codes that match nothing") << QByteArray("ALA XAA CYS XAA GL") << true << "AC"
                                                  << "'XAA' (2 times)\n'GL' (once)";
        QTest::newRow("one letter, no codes") << QByteArray("AB1*B") << false << "A"
                                              << "'B' (2 times)\n'1' (once)\n'*' (once)";
    }
    void sequenceFilesAreDecodedInTheirForm()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, threeLetter);
        QFETCH(QString, sequence);
        QFETCH(QString, leftOut);
        m_edit->setSequenceFromFile(data, threeLetter);
        QCOMPARE(m_edit->toPlainText(), sequence);
        QCOMPARE(m_answerer->texts().join('|').section('\n', 1), leftOut);
    }

    void nothingIsTakenWithoutCodes()
    {
        GuiAminoAcidSequenceEdit empty; // no code tables read yet
        empty.setSequenceFromFile("ACDE", false);
        QCOMPARE(empty.toPlainText(), QString());
    }
};

TEST_MAIN(TstGuiAminoAcidSequenceEdit)
#include "tst_gui_aminoacidsequenceedit.moc"
