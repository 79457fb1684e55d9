#include "app/app_regularfile.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakelimporter.h"

#include "test_fifo.h"
#include "test_log.h"
#include "test_mainwindow.h"

#include <QFile>
#include <QLocalServer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// Every file a person picks to read is looked at first: a named pipe, a folder,
// a device or a socket is refused with a message naming it, and nothing waits.
class TstAppRegularFile : public QObject
{
    Q_OBJECT

private slots:
    void tellsWhatIsNotARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal"); // with %1 for the path; empty when it is read
        QTest::newRow("regular file") << "file"
                                      << "";
        QTest::newRow("link to a regular file") << "link to file"
                                                << "";
        QTest::newRow("nothing there yet") << "missing"
                                           << "";
        QTest::newRow("folder") << "folder"
                                << "%1 is a folder, not a regular file, and is not opened.";
        QTest::newRow("named pipe") << "fifo"
                                    << "%1 is a named pipe (FIFO), not a regular file, and is not opened.";
        QTest::newRow("link to a named pipe") << "link to fifo"
                                              << "%1 is a named pipe (FIFO), not a regular file, and is not opened.";
        QTest::newRow("socket") << "socket"
                                << "%1 is a socket, not a regular file, and is not opened.";
        QTest::newRow("device") << "device"
                                << "%1 is a device, not a regular file, and is not opened.";
    }
    void tellsWhatIsNotARegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        QString path = dir.filePath("x.buf"); // what the reader is given
        const QString target = kind.startsWith("link to ") ? dir.filePath("target.buf") : path;
        std::unique_ptr<TestFifo> fifo;
        QLocalServer server;
        if (kind.endsWith("file")) {
            QVERIFY(testWriteFile(target, "Urea\t1\n"));
        } else if (kind.endsWith("fifo")) {
            fifo = std::make_unique<TestFifo>(target);
            QVERIFY(fifo->isValid());
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("x.buf"));
        } else if (kind == "socket") {
            QVERIFY(server.listen(path));
        } else if (kind == "device") {
            path = "/dev/null";
        }
        if (kind.startsWith("link to "))
            QVERIFY(QFile::link(target, path));
        QCOMPARE(AppRegularFile::refusal(path), refusal.isEmpty() ? QString() : refusal.arg(path));
    }

    // A named pipe chosen in each reader's file dialog: refused in a box that names it, the page left as it
    // was; the reader never opens it, so it never waits for a writer (the pipe's watchdog would let it go).
    // The import takes a folder, and finds a link to a pipe in it no file of the older program.
    void everyReaderRefusesANamedPipe_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("filter"); // the file dialog's, when it offers several
        QTest::addColumn<QString>("refusal"); // %1 is the path chosen: the pipe's, or the import's folder
        const QString pipe = "%1 is a named pipe (FIFO), not a regular file, and is not opened.";
        const auto row = [](const char *tag, const QString &reader, const QString &fileName, const QString &filter,
                             const QString &refusal) { QTest::newRow(tag) << reader << fileName << filter << refusal; };
        row("buffer composition", "buffer", "x.buf", QString(), pipe);
        row("sample composition", "composition", "x.SMP", GuiSampleComposition::compositionFilter, pipe);
        row("sequence into the composition", "composition", "x.SEQ", GuiSampleComposition::oneLetterSequenceFilter,
            pipe);
        row("sequence dialog", "sequence", "x.SEQ", GuiAminoAcidSequence::threeLetterFilter, pipe);
        row("database", "database", "x.db", QString(), pipe);
        row("import folder", "import", "VORNAKEL.MDB", QString(),
            pipe.arg("%1/VORNAKEL.MDB")
                + " Choose the folder of the older Vornakel that holds PHYCONST.MDB and VORNAKEL.MDB.");
    }
    void everyReaderRefusesANamedPipe()
    {
        QFETCH(QString, reader);
        QFETCH(QString, fileName);
        QFETCH(QString, filter);
        QFETCH(QString, refusal);
        TestMainWindow m(TestDatabase::Contents::ReferenceData);
        GuiVornakel *window = m.start(TestMainWindow::Show::No);
        QVERIFY(window);
        window->mainVornakelWindow();
        GuiBufferComponents *buffer = window->qtStackBufferComponents;
        buffer->readCompositionFile(writeFile(m, "Urea\t1\n"));
        GuiSampleComposition *composition = window->qtStackComposition;
        composition->aminoAcidSequenceDialog()->qtSequenceEdit->setPlainText("ACD");
        m.answerer.clear();
        const auto shown = [&] {
            QStringList rows;
            for (int row = 0; row < buffer->qtAddedComponents->rowCount(); ++row) {
                if (!buffer->qtAddedComponents->isRowHidden(row))
                    rows << buffer->qtAddedComponents->item(row, 0)->text();
            }
            return rows.join(',') + '|' + composition->aminoAcidSequenceDialog()->sequence();
        };
        const QString before = shown();

        TestFifo fifo(m.settings.path() + '/' + fileName);
        QVERIFY(fifo.isValid());
        const QString folder = m.settings.path() + "/old";
        std::unique_ptr<GuiVornakelImporter> importer;
        if (reader == "import") {
            QVERIFY(QDir(m.settings.path()).mkdir("old"));
            // A SQLite copy, so that the folder's check goes on to look into the other file.
            QVERIFY(testWriteFile(folder + "/PHYCONST.MDB", QByteArray("SQLite format 3", 16)));
            QVERIFY(QFile::link(fifo.path(), folder + "/VORNAKEL.MDB"));
            importer = std::make_unique<GuiVornakelImporter>(m.db.path());
            m.answerer.answerFileDialog(folder);
        } else {
            m.answerer.answerFileDialog(fifo.path(), filter);
        }
        if (reader == "import")
            importer->qtSourceButton->click();
        else if (reader == "buffer")
            buffer->qtReadFromFile->click();
        else if (reader == "composition")
            composition->qtReadCompositionFile->click();
        else if (reader == "sequence")
            composition->aminoAcidSequenceDialog()->qtReadFromFile->click();
        else
            window->actionOpen_Different_Experimental_Database->trigger();

        QVERIFY2(!fifo.released(), "the reader opened the named pipe and waited for a writer");
        QCOMPARE(m.answerer.pending(), 0);
        QCOMPARE(m.answerer.seen().size(), 2); // the file dialog, then the box
        QCOMPARE(m.answerer.seen().last().icon, QMessageBox::Critical);
        QCOMPARE(m.answerer.seen().last().text, refusal.arg(reader == "import" ? folder : fifo.path()));
        QCOMPARE(shown(), before);
        QCOMPARE(window->vornakelList().size(), 1);
        QVERIFY(!QSqlDatabase::contains(fifo.path()));
    }

private:
    static QString writeFile(const TestMainWindow &m, const QByteArray &bytes)
    {
        const QString path = m.settings.path() + "/before.buf";
        if (!testWriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
};

TEST_MAIN(TstAppRegularFile)
#include "tst_app_regularfile.moc"
