#include "gui/gui_vornakelimporter.h"
#include "sql/sql_importbatch.h"
#include "sql/sql_importdb.h"
#include "sql/sql_transaction.h"
#include "test_database.h"
#include "test_importer.h"
#include "test_log.h"
#include "test_olddatabase.h"

#include <QFile>
#include <QMap>
#include <QProgressBar>
#include <QSettings>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <memory>

// The importer dialog's imports that meet another program's hold on the
// database file, or on a source file: each waits on purpose, as the window
// does, for the hold to end or for the wait to run out, and so runs as a
// program of its own beside the rest of the importer's tests.
class TstGuiVornakelImporterLocks : public QObject, TestImporterCase
{
    Q_OBJECT

    // The steps of an import of both files, each by the table it copies, in their order.
    static QStringList lockSteps()
    {
        return SqlImportDb::referenceTables()
            + QStringList { "BufferComponent", "buffer", "sample", "experiment", "AminoAcidCompositions" };
    }

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

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
};

TEST_MAIN(TstGuiVornakelImporterLocks)
#include "tst_gui_vornakelimporter_locks.moc"
