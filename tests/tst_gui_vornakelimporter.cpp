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

// The importer dialog on this platform, where every source folder is refused,
// and the walk of a source list that an accepting check would hand it.
class TstGuiVornakelImporter : public QObject
{
    Q_OBJECT

    TestSettings m_settings;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    const QString refusal = "Database Importing is currently supported only for Microsoft Windows platforms!";

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
        QCOMPARE(m_answerer->texts(), QStringList(refusal));
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
        QCOMPARE(m_answerer->texts().at(1), refusal);
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
        QTest::newRow("records name in other case") << QStringList({ "PHYCONST.MDB", "vornakel.mdb" }) << 2 << 0 << 0;
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
