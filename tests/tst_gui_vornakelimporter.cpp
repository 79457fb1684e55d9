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
// source list it makes, on SQLite copies of the older files.
class TstGuiVornakelImporter : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    TestRuntimeFolder m_runtime;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    const QString lacksBoth = "lacks PHYCONST.MDB and VORNAKEL.MDB.";

    // A folder "old" holding copies of the files, with their permissions, under these names.
    QString oldFolder(const QStringList &names, const QStringList &copiesOf)
    {
        const QString folder = m_db->dir() + "/old";
        if (!QDir(folder).exists() && !QDir(m_db->dir()).mkdir("old"))
            return QString();
        for (int i = 0; i < names.size(); ++i) {
            const QString source = copiesOf.value(i, copiesOf.last());
            const QString copy = folder + '/' + names.at(i);
            // WriteUser says what this user may do, which for root is anything; the owner's bit is the file's.
            if (!QFile::copy(source, copy)
                || !QFile::setPermissions(copy, QFile::permissions(source) & ~QFileDevice::WriteUser))
                return QString();
        }
        return folder;
    }

    // The folder chosen through the dialog's button, and its check to its end.
    void chooseFolder(GuiVornakelImporter &dialog, const QString &folder)
    {
        m_answerer->answerFileDialog(folder);
        QVERIFY(testRunUntil(&dialog, &GuiVornakelImporter::sigFolderChecked,
            [&] { QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton); }));
    }
    // An import of the files, to its end.
    static void import(GuiVornakelImporter &dialog, const QStringList &files)
    {
        QVERIFY(
            testRunUntil(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished, [&] { dialog.startImport(files); }));
    }
    // Import! pressed, and the import to its end.
    static void pressImport(GuiVornakelImporter &dialog)
    {
        QVERIFY(testRunUntil(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished,
            [&] { QTest::mouseClick(dialog.qtImport, Qt::LeftButton); }));
    }

    // Every table of the destination with its row count.
    QStringList destinationContents()
    {
        QStringList contents;
        const QStringList tables = TestSqlConnections::column(
            m_db->connectionName(), "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        for (const QString &table : tables)
            contents << table + ' ' + m_db->value(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toString();
        return contents;
    }

    int count(const QString &table) { return m_db->value("SELECT COUNT(*) FROM " + table).toInt(); }
    // The steps of an import of both files, each by the table it copies, in their order.
    static QStringList lockSteps()
    {
        return SqlImportDb::referenceTables()
            + QStringList { "BufferComponent", "buffer", "sample", "experiment", "AminoAcidCompositions" };
    }

private slots:
    void init()
    {
        m_settings.clear();
        m_db.reset(new TestDatabase);
        m_answerer.reset(new TestModalAnswerer);
    }
    void cleanup()
    {
        m_answerer.reset();
        m_db.reset();
    }

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
    // An import while another program holds the database file waits for it with the event loop running: the
    // hold ends only on a tick of a timer of that loop. Held beyond the wait, the import says the file is in use
    // and what to do, and imports nothing.
    // The same for a source file that another program holds: it is not taken for a file that is no database.
    void anImportWaitsForADatabaseAnotherProgramHolds_data()
    {
        QTest::addColumn<bool>("released");
        QTest::addColumn<bool>("source");
        QTest::newRow("let go while the import waits") << true << false;
        QTest::newRow("held beyond the wait") << false << false;
        QTest::newRow("the source let go while the import waits") << true << true;
        QTest::newRow("the source held beyond the wait") << false << true;
    }
    void anImportWaitsForADatabaseAnotherProgramHolds()
    {
        QFETCH(bool, released);
        QFETCH(bool, source);
        TestOldDatabase old;
        QVERIFY(old.isValid() && old.fill(old.phyconst(), "amino", 3));
        const QStringList before = destinationContents();
        GuiVornakelImporter dialog(m_db->path());
        TestLockHolder holder(source ? old.phyconst() : m_db->path());
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        import(dialog, { old.phyconst(), old.vornakel() });
        holder.release();
        const QString status = dialog.qtStatus->text();
        if (released) {
            QVERIFY(holder.wasLetGoOnATick() && m_answerer->seen().isEmpty());
            QVERIFY2(status.startsWith("Records imported: amino 3.") && status.endsWith("Done."), qPrintable(status));
            return;
        }
        if (source) {
            QCOMPARE(m_answerer->texts().size(), 1);
            const QString text = m_answerer->texts().first();
            QVERIFY2(text.startsWith(old.phyconst()
                         + ":\nThe database file is in use by another program, which holds it locked (database is "
                           "locked")
                    && text.endsWith("Wait until that program is done with it, or close it, then try again."),
                qPrintable(text));
            QCOMPARE(status, QStringLiteral("From these files nothing was imported. 1 file could not be read. Done."));
            QCOMPARE(destinationContents(), before);
            return;
        }
        QVERIFY2(status.startsWith("The database file is in use by another program, which holds it locked")
                && status.endsWith("close it, then try again. Nothing was imported."),
            qPrintable(status));
        QCOMPARE(m_answerer->texts().filter("is in use by another program").size(), 1);
        QVERIFY(dialog.qtImport->isEnabled());
        QCOMPARE(destinationContents(), before);
    }

    // Another program takes the database file at a step of the import: as the step begins, midway through
    // its table, or while what an earlier import left is taken back. Every step waits for it as the window
    // does (the hold ends only on a tick of a timer of its event loop). Held beyond the wait, the import ends
    // at that step and says that the file is in use, what was imported and what was not, each table whole
    // or absent; never a column list or an answer read under the hold as if the file were empty. Let go
    // within the wait, the import goes on to its end.
    // A read under way in the other program lets each step read and begin its writes, but keeps them from
    // being stored: it is met the same way.
    void aLockMetAtAnyStepIsWaitedForThenEndsTheImportThere_data()
    {
        QTest::addColumn<int>("step"); // the steps that have ended when the other program takes the file
        QTest::addColumn<int>("storedRows"); // or the rows of the step's table stored by then
        QTest::addColumn<bool>("leftover"); // an earlier import left rows of amino to take back first
        QTest::addColumn<bool>("released");
        QTest::addColumn<TestLockHolder::Hold>("hold");
        const TestLockHolder::Hold whole = TestLockHolder::Hold::Everything;
        const TestLockHolder::Hold read = TestLockHolder::Hold::Reads;
        for (const bool released : { false, true }) {
            const char *how = released ? "let go within the wait" : "held beyond the wait";
            for (int step = 0; step < lockSteps().size(); ++step)
                QTest::addRow("%s, %s", qPrintable(lockSteps().at(step)), how)
                    << step << 0 << false << released << whole;
            QTest::addRow("amino midway, %s", how) << 0 << 2 << false << released << whole;
            QTest::addRow("sample midway, %s", how) << 8 << 2 << false << released << whole;
            QTest::addRow("an earlier import's rows taken back, %s", how) << 0 << 0 << true << released << whole;
            QTest::addRow("a read under way at amino, %s", how) << 0 << 0 << false << released << read;
            QTest::addRow("a read under way at sample, %s", how) << 8 << 0 << false << released << read;
            QTest::addRow("a read under way, amino midway, %s", how) << 0 << 2 << false << released << read;
            QTest::addRow("a read under way, an earlier import's rows taken back, %s", how)
                << 0 << 0 << true << released << read;
        }
    }
    void aLockMetAtAnyStepIsWaitedForThenEndsTheImportThere()
    {
        QFETCH(int, step);
        QFETCH(int, storedRows);
        QFETCH(bool, leftover);
        QFETCH(bool, released);
        QFETCH(TestLockHolder::Hold, hold);
        const QStringList steps = lockSteps();
        const QStringList destination = { "amino", "conjugates", "denature", "rhoseries", "viscseries", "extinction",
            "BufferComponent", "buffer", "sample", "experiment", "aminoComposition" };
        const int rows = 6;
        // A row a slice, where the other program comes midway.
        if (storedRows > 0)
            QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        QFile::remove("ImportLog.txt");
        TestOldDatabase old;
        for (const QString &table : SqlImportDb::referenceTables())
            QVERIFY(old.fill(old.phyconst(), table, rows));
        for (const QString &table : QStringList { "Buffer", "Sample", "Experiment", "AminoAcidCompositions" })
            QVERIFY(old.fill(old.vornakel(), table, rows));
        QMap<QString, int> before;
        for (const QString &table : destination)
            before[table] = count(table);
        if (leftover)
            QVERIFY(old.leaveUnfinishedImport(m_db->connectionName(), "amino", 2));

        GuiVornakelImporter dialog(m_db->path());
        std::unique_ptr<TestLockHolder> holder;
        auto takeTheFile = [&] {
            if (holder)
                return;
            holder = std::make_unique<TestLockHolder>(m_db->path(), hold);
            holder->meetTheWait(released);
        };
        // From no value, so that the first step's 0 is a change too.
        dialog.qtProgress->reset();
        connect(dialog.qtProgress, &QProgressBar::valueChanged, this, [&](int done) {
            if (done == step && storedRows == 0)
                takeTheFile();
        });
        QTimer turns;
        turns.setInterval(0);
        connect(&turns, &QTimer::timeout, this, [&] {
            if (!holder && storedRows > 0
                && count(destination.at(step)) - before.value(destination.at(step)) >= storedRows)
                takeTheFile();
        });
        turns.start();
        import(dialog, { old.phyconst(), old.vornakel() });
        turns.stop();
        QVERIFY(holder && holder->isHolding() != released);
        if (holder)
            holder->release();
        const QString status = dialog.qtStatus->text();
        const QString results = dialog.qtResults->toPlainText();
        QFile log("ImportLog.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logged = QString::fromLocal8Bit(log.readAll());
        QVERIFY2(!logged.contains("has no destination column") && !logged.contains("syntax error"), qPrintable(logged));
        QStringList imported;
        for (int i = 0; i < destination.size(); ++i) {
            const int added = count(destination.at(i)) - before.value(destination.at(i));
            const bool whole = released || i < step;
            // A table met midway keeps what it stored while the file is held: said, and taken back next time.
            QCOMPARE(added, whole ? rows : i == step ? storedRows + (leftover ? 2 : 0) : 0);
            if (whole)
                imported << QStringLiteral("%1 %2").arg(steps.at(i)).arg(rows);
        }
        const QString recordsImported = imported.isEmpty()
            ? QStringLiteral("From these files nothing was imported.")
            : QStringLiteral("Records imported: %1.").arg(imported.join(", "));
        QVERIFY2(status.startsWith(recordsImported), qPrintable(status));
        if (released) {
            QVERIFY(holder->wasLetGoOnATick());
            QVERIFY2(status.endsWith(". Done.") && m_answerer->seen().isEmpty(), qPrintable(status));
            QCOMPARE(results.contains("taken back (2 rows of amino)"), leftover);
            return;
        }
        const QString inUse = "The database file is in use by another program, which holds it locked";
        QVERIFY2(status.endsWith(QStringLiteral("%1: the import ended at %2. Not imported: %3. Import again once that "
                                                "program is done with the file, or closed.")
                                     .arg(inUse, steps.at(step), steps.mid(step).join(", "))),
            qPrintable(status));
        QVERIFY2(results.contains(m_db->path() + ": " + inUse), qPrintable(results));
        QVERIFY2(m_answerer->texts().size() == 1 && m_answerer->texts().first().contains(inUse),
            qPrintable(m_answerer->texts().join('\n')));
        if (storedRows > 0 || leftover) {
            // Not taken for rows that were never stored: said, and noted for the next import.
            QVERIFY2(status.contains(QStringLiteral("What was stored of %1 before it failed could not be taken back")
                                         .arg(steps.at(step)))
                    || leftover,
                qPrintable(status));
            QCOMPARE(m_db->value("SELECT COUNT(*) FROM importUnfinished").toInt() > 0, true);
        }
    }

    // Once the other program's hold has outlasted the wait and ended the import, what is left (taking back the
    // table met midway, the import's note of itself in the file) tries the file once each, and is not waited
    // for again. Each try holds the window for one of SQLite's brief waits at most: never two of them without
    // a turn of the event loop between (the waits are counted, each ending at once, on the window's connection).
    void aLockThatEndsTheImportIsNotWaitedForAgainNorTwiceInOneTurn_data()
    {
        QTest::addColumn<int>("storedRows"); // of amino when the other program takes the file
        QTest::addColumn<bool>("leftover"); // an earlier import left rows of amino to take back first
        QTest::addColumn<int>("triesAfter"); // the tries of the file after the import says it is in use
        QTest::newRow("as amino begins") << 0 << false << 1;
        QTest::newRow("amino midway") << 2 << false << 2;
        QTest::newRow("an earlier import's rows taken back") << 0 << true << 1;
    }
    void aLockThatEndsTheImportIsNotWaitedForAgainNorTwiceInOneTurn()
    {
        QFETCH(int, storedRows);
        QFETCH(bool, leftover);
        QFETCH(int, triesAfter);
        if (storedRows > 0)
            QSettings().setValue(SqlImportBatch::sliceTimeKey, 0);
        TestOldDatabase old;
        QVERIFY(old.fill(old.phyconst(), "amino", 6));
        if (leftover)
            QVERIFY(old.leaveUnfinishedImport(m_db->connectionName(), "amino", 2));
        GuiVornakelImporter dialog(m_db->path());
        TestLockWaits waits(m_db->database());
        QVERIFY(waits.isWatching());
        std::unique_ptr<TestLockHolder> holder;
        QTimer turns;
        turns.setInterval(0);
        connect(&turns, &QTimer::timeout, this, [&] {
            if (holder || count("amino") < storedRows)
                return;
            holder = std::make_unique<TestLockHolder>(m_db->path());
            // A wait of some tries, which the hold outlasts.
            QSettings().setValue(QLatin1String(SqlTransaction::lockWaitKey), 0.3);
        });
        turns.start();
        int triesBefore = -1;
        connect(dialog.qtResults, &QTextEdit::textChanged, this, [&] {
            if (triesBefore < 0 && dialog.qtResults->toPlainText().contains("is in use by another program"))
                triesBefore = waits.count();
        });
        import(dialog, { old.phyconst(), old.vornakel() });
        turns.stop();
        QVERIFY(holder && holder->isHolding());
        QVERIFY2(triesBefore > 1, qPrintable(dialog.qtResults->toPlainText()));
        QCOMPARE(waits.count() - triesBefore, triesAfter);
        QCOMPARE(waits.inOneTurn(), 0);
        QVERIFY2(dialog.qtStatus->text().contains("is in use by another program"), qPrintable(dialog.qtStatus->text()));
    }

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
