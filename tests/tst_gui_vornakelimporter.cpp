#include "gui/gui_buffercomponents.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakel.h"
#include "gui/gui_vornakelimporter.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_olddatabase.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

// The importer dialog: the check of a source folder and the walk of the
// source list it makes, on SQLite copies of the older files.
class TstGuiVornakelImporter : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
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
        // The defaults box is read nowhere: toggling it checks no folder.
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
        m_answerer->answerFileDialog(m_db->dir() + "/old");
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
        QCOMPARE(m_answerer->seen().size(), 2);
        QCOMPARE(m_answerer->seen().at(0).className, QStringLiteral("QFileDialog"));
        QVERIFY(m_answerer->texts().at(1).contains(lacksBoth));
        m_answerer->answerFileDialog(QString());
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
        QCOMPARE(dialog.qtSourceFolder->text(), QStringLiteral("Please select source folder."));
    }

    // Without an accepted source: the status line, nothing else.
    void importWithoutASourceOnlySaysSo()
    {
        GuiVornakelImporter dialog(m_db->path());
        QSignalSpy finished(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished);
        QTest::mouseClick(dialog.qtImport, Qt::LeftButton);
        QCOMPARE(
            dialog.qtStatus->text(), QStringLiteral("Unable to import until source and destination folders are set."));
        QVERIFY(finished.isEmpty() && !QApplication::overrideCursor() && dialog.qtImport->isEnabled());
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
        dialog.importFiles(files);
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
        m_answerer->answerFileDialog(folder);
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
        QCOMPARE(dialog.qtSourceFolder->text(), walk.join('\n'));
        QVERIFY(!m_answerer->titles().contains("Vornakel"));
        QTest::mouseClick(dialog.qtImport, Qt::LeftButton);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM amino").toInt(), 2);
        QCOMPARE(m_db->value("SELECT COUNT(*) FROM sample").toInt(), 3);
        QVERIFY2(dialog.qtStatus->text().startsWith("Done.")
                && dialog.qtStatus->text().contains("a second import of the same files would copy them again"),
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
        m_answerer->answerFileDialog(folder);
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
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
        m_answerer->answerFileDialog(folder);
        QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton);
        QCOMPARE(dialog.qtSourceFolder->text(), folder + "/PHYCONST.MDB\n" + folder + "/VORNAKEL.MDB");
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
