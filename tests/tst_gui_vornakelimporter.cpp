#include "gui/gui_buffercomponents.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakel.h"
#include "gui/gui_vornakelimporter.h"
#include "sql/sql_accessreader.h"
#include "sql/sql_database.h"
#include "sql/sql_importbatch.h"
#include "sql/sql_importdb.h"
#include "sql/sql_transaction.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_fifo.h"
#include "test_importer.h"
#include "test_log.h"
#include "test_messaging.h"
#include "test_modalanswerer.h"
#include "test_olddatabase.h"
#include "test_processes.h"
#include "test_sqlconnections.h"
#include "xml/xml_messageprocessor.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// The importer dialog: the check of a source folder and the walk of the
// source list it makes, on SQLite copies of the older files. Its imports that
// meet another program's hold on a file are in tst_gui_vornakelimporter_locks.
class TstGuiVornakelImporter : public QObject, TestImporterCase
{
    Q_OBJECT

    const QString lacksBoth = "lacks PHYCONST.MDB and VORNAKEL.MDB.";

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    void opensWithThePromptAndTheDestination()
    {
        GuiVornakelImporter dialog(m_db->path());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Import Data "));
        QCOMPARE(dialog.qtSourceFolder->text(), QStringLiteral("Please select source folder."));
        QCOMPARE(dialog.qtDestinationFolder->text(), m_db->path());
        QVERIFY(dialog.qtPreventDuplicates->isChecked() && !dialog.qtImportDefaults->isChecked());
        // The older defaults are not imported, and the box says so; the Access files are only read.
        QVERIFY(!dialog.qtImportDefaults->isEnabled());
        QCOMPARE(
            dialog.qtImportDefaults->toolTip(), QStringLiteral("The default values of VORNAKEL.INI are not imported."));
        QVERIFY2(dialog.label_4->text().contains("reads your original Access database files but never changes them"),
            qPrintable(dialog.label_4->text()));
        const QString flagging = dialog.qtPreventDuplicates->toolTip();
        QVERIFY2(flagging.contains("Access files are only read") && !flagging.contains("flags each imported record"),
            qPrintable(flagging));
        dialog.qtImportDefaults->click();
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(dialog.qtSourceFolder->text(), QStringLiteral("Please select source folder."));
    }

    // The stored folder is checked, and refused, before the dialog shows.
    void aStoredSourceFolderIsRefusedWhileBuilding()
    {
        QSettings().setValue("import/source", m_db->dir());
        GuiVornakelImporter dialog(m_db->path());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
        QVERIFY(m_answerer->texts().first().endsWith(lacksBoth
            + QString(" Choose the folder of the older Vornakel "
                      "that holds PHYCONST.MDB and VORNAKEL.MDB.")));
    }

    void aChosenSourceFolderIsRefused()
    {
        GuiVornakelImporter dialog(m_db->path());
        dialog.show();
        QVERIFY(QDir(m_db->dir()).mkdir("old"));
        chooseFolder(dialog, m_db->dir() + "/old");
        QCOMPARE(m_answerer->seen().size(), 2);
        QCOMPARE(m_answerer->seen().at(0).className, QStringLiteral("QFileDialog"));
        QVERIFY(m_answerer->texts().at(1).contains(lacksBoth));
        m_answerer->answerFileDialog(QString());
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
        QCOMPARE(dialog.qtSourceFolder->text(), QStringLiteral("Please select source folder."));
    }

    // Without an accepted source: the status line, nothing else, until a folder is taken.
    void importWithoutASourceOnlySaysSo()
    {
        GuiVornakelImporter dialog(m_db->path());
        QSignalSpy finished(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished);
        QTest::mouseClick(dialog.qtImport, Qt::LeftButton);
        QCOMPARE(
            dialog.qtStatus->text(), QStringLiteral("Unable to import until source and destination folders are set."));
        QVERIFY(finished.isEmpty() && !QApplication::overrideCursor() && dialog.qtImport->isEnabled());
        TestOldDatabase old;
        chooseFolder(dialog, old.folder());
        QCOMPARE(dialog.qtSourceFolder->text(), old.phyconst() + '\n' + old.vornakel());
        QCOMPARE(dialog.qtStatus->text(), QString());
    }

    // The reference file starts the walk; the records file is found anywhere in
    // the list; a defaults file is visited only before the reference file.
    void theWalkFollowsTheReferenceFile_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("amino");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("defaultBoxes");
        QTest::newRow("records first") << QStringList({ "VORNAKEL.MDB", "VORNAKEL.INI", "PHYCONST.MDB",
            "vornakel.ini" }) << 2 << 3 << 1;
        QTest::newRow("no reference file") << QStringList({ "VORNAKEL.MDB" }) << 0 << 0 << 0;
        QTest::newRow("records name in other case") << QStringList({ "PHYCONST.MDB", "vornakel.mdb" }) << 2 << 3 << 0;
    }
    void theWalkFollowsTheReferenceFile()
    {
        QFETCH(QStringList, files);
        QFETCH(int, amino);
        QFETCH(int, samples);
        QFETCH(int, defaultBoxes);
        TestOldDatabase old;
        QVERIFY(old.fill(old.phyconst(), "amino", 2) && old.fill(old.vornakel(), "Sample", 3));
        QVERIFY(QFile::copy(old.vornakel(), old.folder() + "/vornakel.mdb"));
        for (QString &file : files)
            file = old.folder() + '/' + file;
        GuiVornakelImporter dialog(m_db->path());
        import(dialog, files);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM amino").toInt(), amino);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM sample").toInt(), samples);
        QCOMPARE(m_answerer->titles().count("Debug-Vornakel"), defaultBoxes);
        QCOMPARE(dialog.qtResults->toPlainText().contains("[amino]: 2 records imported"), amino > 0);
    }

    // Taken in any letter case, listed under "Source(s)" in the walk's order;
    // files that cannot be flagged are imported whole, and the status says a
    // second import would copy them again.
    void aFolderWithTheOlderFilesIsTaken_data()
    {
        QTest::addColumn<QStringList>("names"); // the reference file, the records file, the defaults
        QTest::newRow("upper case") << QStringList({ "PHYCONST.MDB", "VORNAKEL.MDB" });
        QTest::newRow("any case, with defaults") << QStringList({ "phyconst.mdb", "Vornakel.Mdb", "vornakel.ini" });
    }
    void aFolderWithTheOlderFilesIsTaken()
    {
        QFETCH(QStringList, names);
        TestOldDatabase old;
        QVERIFY(old.fill(old.phyconst(), "amino", 2) && old.fill(old.vornakel(), "Sample", 3) && old.makeReadOnly());
        const QString folder = oldFolder(names, { old.phyconst(), old.vornakel(), old.vornakel() });
        QVERIFY(!folder.isEmpty());
        QStringList walk = { folder + '/' + names.at(0), folder + '/' + names.at(1) };
        if (names.size() > 2)
            walk.prepend(folder + '/' + names.at(2));
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QCOMPARE(dialog.qtSourceFolder->text(), walk.join('\n'));
        QVERIFY(!m_answerer->titles().contains("Vornakel"));
        pressImport(dialog);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM amino").toInt(), 2);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM sample").toInt(), 3);
        QVERIFY2(dialog.qtStatus->text().startsWith("Records imported: amino 2, sample 3. ")
                && dialog.qtStatus->text().endsWith(" a second import of the same files would copy them again. Done."),
            qPrintable(dialog.qtStatus->text()));
        const QString results = dialog.qtResults->toPlainText();
        QCOMPARE(results.count("could not be flagged"), 2);
        QCOMPARE(results.count(walk.at(walk.size() - 1) + ": the rows copied from this file could not be flagged"), 1);
    }

    // Refused when chosen, saying what is missing: a file, or the driver that
    // reads the real files (asked of the driver manager under a name it lacks).
    void aFolderWithoutWhatImportNeedsIsRefused_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("says");
        QTest::newRow("empty folder") << QStringList() << QString() << lacksBoth;
        QTest::newRow("no records file") << QStringList({ "phyconst.mdb", "VORNAKEL.INI" }) << QString()
                                         << "lacks VORNAKEL.MDB.";
        QTest::newRow("no driver") << QStringList({ "PHYCONST.MDB", "VORNAKEL.MDB" }) << "No such ODBC driver"
                                   << "\"No such ODBC driver\", which is not installed. Install the package "
                                      "odbc-mdbtools and choose the folder again.";
    }
    void aFolderWithoutWhatImportNeedsIsRefused()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, driver);
        QFETCH(QString, says);
        const QString folder = oldFolder(names, { TestOldDatabase::accessSample() });
        QVERIFY2(!folder.isEmpty(), "tools/install-deps.sh --tests unpacks the Access file");
        if (!driver.isEmpty())
            QSettings().setValue("import/odbcDriver", driver);
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QCOMPARE(m_answerer->titles().last(), QStringLiteral("Vornakel"));
        QVERIFY2(m_answerer->texts().last().contains(says), qPrintable(m_answerer->texts().last()));
        QCOMPARE(dialog.qtSourceFolder->text(), m_answerer->texts().last());
        QTest::mouseClick(dialog.qtImport, Qt::LeftButton);
        QCOMPARE(
            dialog.qtStatus->text(), QStringLiteral("Unable to import until source and destination folders are set."));
        if (driver.isEmpty())
            return;
        // The driver the package installs reads them.
        QSettings().remove("import/odbcDriver");
        chooseFolder(dialog, folder);
        QCOMPARE(dialog.qtSourceFolder->text(), folder + "/PHYCONST.MDB\n" + folder + "/VORNAKEL.MDB");
    }

    // A file of the right name that is no regular file is refused as what it
    // is, not as missing, and never opened (a named pipe would wait for ever).
    void aFileOfTheRightNameThatIsNoFileIsRefusedAsWhatItIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("named pipe") << "pipe"
                                    << "is a named pipe (FIFO), not a regular file, and is not opened.";
        QTest::newRow("folder") << "folder"
                                << "is a folder, not a regular file, and is not opened.";
        QTest::newRow("link to a device") << "device"
                                          << "is a device, not a regular file, and is not opened.";
        QTest::newRow("link to nothing") << "dangling"
                                         << "is a link to nothing, not a regular file, and is not opened.";
    }
    void aFileOfTheRightNameThatIsNoFileIsRefusedAsWhatItIs()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        const QString folder = oldFolder({ "VORNAKEL.MDB" }, { TestOldDatabase::accessSample() });
        QVERIFY(!folder.isEmpty());
        const QString reference = folder + "/PHYCONST.MDB";
        if (kind == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(reference).constData(), 0600) == 0);
        else if (kind == "folder")
            QVERIFY(QDir(folder).mkdir("PHYCONST.MDB"));
        else
            QVERIFY(QFile::link(kind == "device" ? "/dev/null" : folder + "/gone.mdb", reference));
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QCOMPARE(m_answerer->titles().last(), QStringLiteral("Vornakel"));
        QCOMPARE(m_answerer->texts().last(),
            reference + ' ' + says
                + " Choose the folder of the older Vornakel that holds PHYCONST.MDB and VORNAKEL.MDB.");
        QCOMPARE(dialog.qtSourceFolder->text(), m_answerer->texts().last());
    }

    // The check of a chosen folder only reads the files' catalogs: a file
    // that keeps the reader longer (here: it waits on its driver) is refused
    // at a limit of its own, far below the copy's.
    void theFolderCheckHasATimeLimitOfItsOwn()
    {
        TestOldDatabase::shortenReaderLimits(30 * testSlowdown(), 1024);
        QSettings().setValue(SqlAccessReader::checkTimeLimitKey, testSlowdown());
        const TestSilentDriver silent;
        QVERIFY(silent.isValid());
        const QString folder = oldFolder(
            { "PHYCONST.MDB", "VORNAKEL.MDB" }, { TestOldDatabase::accessSample(), TestOldDatabase::accessSample() });
        QVERIFY(!folder.isEmpty());
        const QString reference = folder + "/PHYCONST.MDB";
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QCOMPARE(m_answerer->titles().last(), QStringLiteral("Vornakel"));
        QVERIFY2(m_answerer->texts().last().startsWith(reference
                     + QString(" could not be read: the reader took longer than %1 s and was stopped (the file may be "
                               "damaged). Choose the folder")
                           .arg(testSlowdown())),
            qPrintable(m_answerer->texts().last()));
    }

    // What the reader cannot open as an Access database is refused when the
    // folder is chosen, naming the file; the import never starts on it.
    void anAccessFileTheReaderCannotOpenIsRefused_data()
    {
        QTest::addColumn<QByteArray>("reference");
        QTest::addColumn<QString>("says");
        QFile sample(TestOldDatabase::accessSample());
        QVERIFY2(sample.open(QIODevice::ReadOnly), "tools/install-deps.sh --tests unpacks the Access file");
        QTest::newRow("empty") << QByteArray() << "could not be read: the file is empty";
        QTest::newRow("not an Access file")
            << QByteArray(8192, 'x') << "could not be read: it is not an Access database file";
        QTest::newRow("header only") << sample.read(4096)
                                     << "could not be read: it holds only 4096 bytes, fewer than the first pages of an "
                                        "Access database";
    }
    void anAccessFileTheReaderCannotOpenIsRefused()
    {
        QFETCH(QByteArray, reference);
        QFETCH(QString, says);
        const QString folder = oldFolder({ "VORNAKEL.MDB" }, { TestOldDatabase::accessSample() });
        QVERIFY(!folder.isEmpty() && testWriteFile(folder + "/PHYCONST.MDB", reference));
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QCOMPARE(m_answerer->titles().last(), QStringLiteral("Vornakel"));
        const QString text = m_answerer->texts().last();
        QVERIFY2(text.startsWith(folder + "/PHYCONST.MDB " + says + " (the file may be damaged). Choose the folder"),
            qPrintable(text));
        QCOMPARE(dialog.qtSourceFolder->text(), text);
        QTest::mouseClick(dialog.qtImport, Qt::LeftButton);
        QCOMPARE(
            dialog.qtStatus->text(), QStringLiteral("Unable to import until source and destination folders are set."));
    }

    // Files without the expected tables: one box for the run's warnings, not
    // one per table; the status says that nothing was imported and what could
    // not be read, the results where the log is.
    void anImportWithoutTheTablesSaysSoOnce()
    {
        const QString folder = oldFolder(
            { "PHYCONST.MDB", "VORNAKEL.MDB" }, { TestOldDatabase::accessSample(), TestOldDatabase::accessSample() });
        QVERIFY(!folder.isEmpty());
        GuiVornakelImporter dialog(m_db->path());
        chooseFolder(dialog, folder);
        QSignalSpy finished(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished);
        pressImport(dialog);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m_answerer->seen().size(), 2);
        QCOMPARE(m_answerer->seen().last().className + ' ' + m_answerer->seen().last().title,
            QStringLiteral("QMessageBox Vornakel"));
        const QString box = m_answerer->texts().last();
        QVERIFY2(box.split('\n').size() <= 21 && box.contains("no such table: amino")
                && box.contains("no such table: Sample"),
            qPrintable(box));
        QCOMPARE(dialog.qtStatus->text(),
            QStringLiteral("From these files nothing was imported. 10 tables could not be read. Done."));
        const QString results = dialog.qtResults->toPlainText();
        QVERIFY2(results.contains("BufferComponent table: no component was added") && !results.contains("populated"),
            qPrintable(results));
        // Each table not read, where the tables read are counted.
        QVERIFY2(results.count(QRegularExpression("\\.\\[\\w+\\]: no such table: \\w+\n")) == 10
                && results.contains(folder + "/PHYCONST.MDB.[amino]: no such table: amino\n")
                && results.contains(folder + "/VORNAKEL.MDB.[sample]: no such table: Sample\n"),
            qPrintable(results));
        QVERIFY2(results.endsWith("The log of this import is " + QDir::current().absoluteFilePath("ImportLog.txt")),
            qPrintable(results));
    }

    // An "ImportLog.txt" in the start folder that is no file of the user's
    // own (a named pipe, which would freeze the window in its opening; a link
    // to a file of the user's, which would take the lines) is left alone: the
    // import runs without a log, and its results say why.
    void anImportLogThatIsNoFileOfTheUsersStaysOff_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<QString>("why");
        QTest::newRow("a named pipe") << true << "it is a named pipe (FIFO), not a regular file";
        QTest::newRow("a link to a file of the user's") << false << "it is a link, which is not followed";
    }
    void anImportLogThatIsNoFileOfTheUsersStaysOff()
    {
        QFETCH(bool, pipe);
        QFETCH(QString, why);
        const TestStartFolder start;
        TestOldDatabase old;
        QVERIFY(old.fill(old.phyconst(), "amino", 3));
        std::unique_ptr<TestFifo> fifo;
        if (pipe)
            fifo = std::make_unique<TestFifo>(start.filePath("ImportLog.txt"), 5000, TestFifo::Waiting::Writer);
        else
            QVERIFY(testWriteFile(start.filePath("private.txt"), "private\n")
                && QFile::link(start.filePath("private.txt"), start.filePath("ImportLog.txt")));
        GuiVornakelImporter dialog(m_db->path());
        import(dialog, { old.phyconst(), old.vornakel() });
        const QString results = dialog.qtResults->toPlainText();
        QVERIFY2(results.contains(old.phyconst() + ".[amino]: 3 records imported")
                && results.endsWith(
                    "The log of this import could not be written to " + start.filePath("ImportLog.txt") + ": " + why),
            qPrintable(results));
        if (fifo)
            QVERIFY(!fifo->released());
        else
            QCOMPARE(testReadFile(start.filePath("private.txt")), QByteArray("private\n"));
    }

    // A damaged Access file of each kind the reader's driver crashes, aborts,
    // loops, warns or goes astray on, imported through the dialog: the reader
    // finds the damage in the file's own bytes before its driver reads any,
    // and says what it is; each file is reported once (in the box, the
    // results and the log), and the destination is left as it was.
    void aDamagedAccessFileIsReportedAndImportsNothing_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QString>("table"); // the name the file's one table is given
        QTest::addColumn<QString>("says");
        using Damage = TestOldDatabase::Damage;
        const QString unread = " could not be read: %1 \\(the file may be damaged\\)";
        const QString catalog = unread.arg("its catalog of tables is damaged: %1");
        QTest::newRow("flipped catalog page")
            << int(Damage::FlippedCatalogPage) << ""
            << catalog.arg("the map of its pages \\(row 65 of page 6\\) cannot be read: page 6 has no row 65");
        QTest::newRow("truncated tail") << int(Damage::TruncatedTail) << ""
                                        << unread.arg("it ends 2096 bytes into its page 26: it was cut short");
        QTest::newRow("corrupted length field")
            << int(Damage::CorruptedLengthField) << ""
            << catalog.arg("row 15 of page 14: a block of its properties runs past their end");
        QTest::newRow("looping long values")
            << int(Damage::LoopingLongValues) << ""
            << catalog.arg(
                   "row 4 of page 14: the long value of its column LvProp lies in row 1 of page 26, which holds none");
        QTest::newRow("missing last pages")
            << int(Damage::MissingLastPages) << ""
            << catalog.arg(
                   "row 4 of page 14: the long value of its column LvProp lies on page 26, beyond the file's 25 pages");
        QTest::newRow("dumped properties") << int(Damage::DumpedProperties) << ""
                                           << catalog.arg("row 17 of page 14: its properties do not begin as "
                                                          "properties do");
        QTest::newRow("a row its definition counts but cannot give")
            << int(Damage::LostRow) << "extinction"
            << ".\\[extinction\\]: the table could not be read from the file: the file is damaged: row 1 of page 17 "
               "does not lie between its neighbours; its definition counts 1 row, but its pages hold 0";
    }
    void aDamagedAccessFileIsReportedAndImportsNothing()
    {
        QFETCH(int, damage);
        QFETCH(QString, table);
        QFETCH(QString, says);
        QVERIFY(QDir(m_db->dir()).mkdir("old"));
        const QString reference = m_db->dir() + "/old/PHYCONST.MDB";
        const QString records = m_db->dir() + "/old/VORNAKEL.MDB";
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage(damage), reference, table)
            && QFile::copy(reference, records));
        const QStringList before = destinationContents();
        QFile log("ImportLog.txt");
        const qint64 logged = log.size();
        GuiVornakelImporter dialog(m_db->path());
        import(dialog, { reference, records });
        QCOMPARE(destinationContents(), before);
        const QString results = dialog.qtResults->toPlainText();
        QVERIFY(log.open(QIODevice::ReadOnly) && log.seek(logged));
        const QString thisRun = QString::fromLocal8Bit(log.readAll());
        // A table's damage is told where the table is read (the reference
        // file), in the log with the table's name alone; a file's, for both.
        const bool ofATable = says.startsWith(".");
        const QRegularExpression told(ofATable ? says.section("\\]: ", 1) : says);
        for (const QString &file : ofATable ? QStringList { reference } : QStringList { reference, records }) {
            const QRegularExpression fileTold(QRegularExpression::escape(file) + says);
            QVERIFY2(results.count(fileTold) == 1, qPrintable(results));
            if (!ofATable)
                QVERIFY2(thisRun.count(fileTold) == 1, qPrintable(thisRun));
        }
        if (ofATable)
            QVERIFY2(thisRun.count(QRegularExpression("Updating " + table + ": " + told.pattern())) == 1,
                qPrintable(thisRun));
        QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
        QVERIFY2(m_answerer->texts().first().contains(told), qPrintable(m_answerer->texts().first()));
        QVERIFY2(dialog.qtStatus->text().startsWith("From these files nothing was imported. ")
                && dialog.qtStatus->text().endsWith(" could not be read. Done."),
            qPrintable(dialog.qtStatus->text()));
        // No reader crashed nor was stopped: it ended by its own code.
        QVERIFY2(!results.contains("the reader "), qPrintable(results));
    }

    // A table that cannot be copied out of an Access file refuses no more
    // than itself: a table the import does not read goes unnoticed, one it
    // reads is named with the reason, and the rest of the file is read.
    void aFileIsRefusedOnlyForWhatTheImportReads_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("says");
        QTest::newRow("a table the import does not read") << ""
                                                          << "PHYCONST.MDB.[extinction]: no such table: extinction";
        QTest::newRow("a table the import reads")
            << "extinction"
            << "PHYCONST.MDB.[extinction]: the table could not be read from the file: the file is damaged: its "
               "definition's page 15 holds no table definition";
    }
    void aFileIsRefusedOnlyForWhatTheImportReads()
    {
        QFETCH(QString, table);
        QFETCH(QString, says);
        QVERIFY(QDir(m_db->dir()).mkdir("old"));
        const QString reference = m_db->dir() + "/old/PHYCONST.MDB";
        const QString records = m_db->dir() + "/old/VORNAKEL.MDB";
        QVERIFY(TestOldDatabase::writeDamagedAccessSample(TestOldDatabase::Damage::UnreadableTable, reference, table)
            && QFile::copy(reference, records));
        GuiVornakelImporter dialog(m_db->path());
        import(dialog, { reference, records });
        const QString results = dialog.qtResults->toPlainText();
        QVERIFY2(results.contains(m_db->dir() + "/old/" + says + '\n') && !results.contains("could not be read:"),
            qPrintable(results));
        QCOMPARE(dialog.qtStatus->text(),
            QStringLiteral("From these files nothing was imported. 10 tables could not be read. Done."));
        QVERIFY2(m_answerer->texts().last().contains(says.section(": ", 1)), qPrintable(m_answerer->texts().last()));
    }

    // Mid-run, a close request of the window system leaves the dialog open
    // (its Close button is off); once the run has ended it closes it.
    void theDialogStaysOpenUntilItsRunHasEnded()
    {
        TestOldDatabase old;
        QVERIFY(old.fill(old.phyconst(), "amino", 2) && old.fill(old.vornakel(), "Sample", 3));
        GuiVornakelImporter dialog(m_db->path());
        dialog.show();
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        int asked = 0;
        connect(dialog.qtResults, &QTextEdit::textChanged, &dialog, [&] {
            if (asked++ == 0)
                dialog.close();
        });
        import(dialog, { old.phyconst(), old.vornakel() });
        QVERIFY(asked > 0);
        QVERIFY(rejected.isEmpty() && dialog.isVisible());
        QVERIFY2(dialog.qtStatus->text().endsWith("Done."), qPrintable(dialog.qtStatus->text()));
        QVERIFY(dialog.close());
        QCOMPARE(rejected.size(), 1);
    }

    // The check of a folder and the import run as tasks: the dialog shows
    // that they work and offers Stop, which ends a reader that would keep
    // them (here one that waits on its driver without a word) at once. What
    // the import had not reached is not imported, and the status says so.
    void aCheckOrAnImportUnderWayCanBeStopped_data()
    {
        QTest::addColumn<bool>("importing");
        QTest::newRow("the folder check") << false;
        QTest::newRow("the import") << true;
    }
    void aCheckOrAnImportUnderWayCanBeStopped()
    {
        QFETCH(bool, importing);
        // Only Stop ends the reader within what the test waits for.
        TestOldDatabase::shortenReaderLimits(600, 1024);
        QSettings().setValue(SqlAccessReader::checkTimeLimitKey, 600);
        const TestSilentDriver silent;
        QVERIFY(silent.isValid());
        const QString folder = oldFolder(
            { "PHYCONST.MDB", "VORNAKEL.MDB" }, { TestOldDatabase::accessSample(), TestOldDatabase::accessSample() });
        QVERIFY(!folder.isEmpty());
        const QStringList before = destinationContents();
        GuiVornakelImporter dialog(m_db->path());
        dialog.show();
        bool working = false;
        QTimer stop;
        connect(&stop, &QTimer::timeout, this, [&] {
            if (testChildren(getpid(), "vornakel_accessreader").isEmpty())
                return;
            stop.stop();
            working = dialog.qtStop->isEnabled() && !dialog.qtImport->isEnabled() && !dialog.qtSourceButton->isEnabled()
                && !dialog.buttonBox->button(QDialogButtonBox::Close)->isEnabled() && dialog.qtProgress->isVisible();
            QTest::mouseClick(dialog.qtStop, Qt::LeftButton);
        });
        stop.start(20);
        if (importing) {
            import(dialog, { folder + "/PHYCONST.MDB", folder + "/VORNAKEL.MDB" });
            QCOMPARE(dialog.qtStatus->text(),
                QStringLiteral(
                    "From these files nothing was imported. 1 file could not be read. Stopped before its end: "
                    "what was not reached was not imported."));
            QVERIFY2(dialog.qtResults->toPlainText().startsWith(
                         folder + "/PHYCONST.MDB could not be read: the reader was stopped before it ended."),
                qPrintable(dialog.qtResults->toPlainText()));
        } else {
            chooseFolder(dialog, folder);
            QCOMPARE(dialog.qtSourceFolder->text(),
                QStringLiteral("The check of the folder was stopped. Please select source folder."));
            QVERIFY(!m_answerer->titles().contains("Vornakel"));
        }
        QVERIFY(working);
        QVERIFY(testChildren(getpid(), "vornakel_accessreader").isEmpty());
        QVERIFY(!dialog.qtStop->isEnabled() && dialog.buttonBox->button(QDialogButtonBox::Close)->isEnabled());
        QCOMPARE(destinationContents(), before);
    }

    // A request of the message server that comes while an import runs is
    // answered between the import's steps, never inside the transaction of
    // one: whenever one of its module calls runs a statement, no transaction
    // is open on the window's connection (which is so when a BEGIN of its
    // own is taken).
    void noServerRequestRunsInsideAnImportsTransaction()
    {
        TestOldDatabase old;
        for (const QString &table : SqlImportDb::referenceTables())
            QVERIFY(old.fill(old.phyconst(), table, 500));
        QVERIFY(old.fill(old.vornakel(), "Sample", 500) && old.fill(old.vornakel(), "Buffer", 500));
        TestModules modules;
        modules.write("probe/probe_main.js", "Probe", "1",
            "function probe() {\n"
            "    m_query.exec(\"SELECT 1\");\n"
            "    var end = Date.now() + 2; while (Date.now() < end) {}\n"
            "    return {NAME: \"probe\", VALUE: 1};\n"
            "}\n");
        QVERIFY(testWriteFile("vornakel.ini", "PORT:0\n"));
        TestLog::ignore(QtWarningMsg, QRegularExpression("^Message server listening on "));
        XmlMessageProcessor processor(m_db->path(), false);
        QFile::remove("vornakel.ini");
        processor.loadPlugins(modules.path());
        QVERIFY(processor.isListening());
        GuiVornakelImporter dialog(m_db->path());
        int statements = 0;
        int duringImport = 0;
        QStringList inside;
        // Told of every statement a script runs, while it runs.
        connect(&dbEngine, qOverload<QString, int>(&sqlDatabase::sigLog), this, [&](const QString &statement, int) {
            if (statement != "SELECT 1")
                return;
            ++statements;
            if (dialog.isWorking())
                ++duringImport;
            QSqlQuery begin(m_db->database());
            if (begin.exec("BEGIN"))
                begin.exec("COMMIT");
            else
                inside << dialog.qtStatus->text();
        });
        TestMessageClient client(processor.serverPort());
        QString calling;
        for (int i = 0; i < 1000; ++i)
            calling += "<EXECUTE FUNCTION=\"probe\"/>";
        client.send(
            ("<VORNAKEL TYPE=\"Input\"><MODULE NAME=\"Probe\" VERSION=\"1\"/>" + calling + "</VORNAKEL>").toUtf8());
        // The request is under way when the import starts, and lasts longer
        // (its calls take 2 ms each; the import's steps take far fewer turns).
        while (statements == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        import(dialog, { old.phyconst(), old.vornakel() });
        QVERIFY(client.waitForAnswers(1, 10));
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM sample").toInt(), 500);
        QCOMPARE(statements, 1000);
        QVERIFY2(duringImport > 0, "no call of the request ran while the import worked");
        QVERIFY2(inside.isEmpty(), qPrintable("calls inside the import's transaction: " + inside.join(", ")));
    }

    void theImportActionOpensTheDialogWiredToTheLists()
    {
        auto window = std::make_unique<GuiVornakel>(m_db->path());
        QVERIFY(window->initVornakel());
        bool wired = false;
        m_answerer->answerWith([&](QWidget *w) {
            auto *dialog = qobject_cast<GuiVornakelImporter *>(w);
            const auto signal = &GuiVornakelImporter::sigDatabaseImportFinished;
            wired = dialog && disconnect(dialog, signal, window.get(), &GuiVornakel::onDatabaseImporterRun)
                && disconnect(
                    dialog, signal, window->qtStackBufferComponents, &GuiBufferComponents::onDatabaseImporterRun)
                && disconnect(dialog, signal, window->qtStackComposition, &GuiSampleComposition::onDatabaseImporterRun);
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
        });
        window->actionImport->trigger();
        QVERIFY(wired);
        QVERIFY(!window->findChild<GuiVornakelImporter *>());
    }
};

TEST_MAIN(TstGuiVornakelImporter)
#include "tst_gui_vornakelimporter.moc"
