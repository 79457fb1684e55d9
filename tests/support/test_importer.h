#ifndef TEST_IMPORTER_H
#define TEST_IMPORTER_H

#include "test_database.h"
#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_olddatabase.h"

#include <QString>
#include <QStringList>
#include <memory>

class GuiVornakelImporter;

// What the tests of the importer dialog share, in the programs they are
// spread over: a test class derives from it beside QObject, and calls
// begin() from its init() and end() from its cleanup(), so that each test
// function has settings of its own, a new destination database and a new
// modal answerer.
class TestImporterCase
{
protected:
    void begin();
    void end();

    // A folder "old" holding copies of the files, with their permissions, under these names.
    QString oldFolder(const QStringList &names, const QStringList &copiesOf);
    // The folder chosen through the dialog's button, and its check to its end.
    void chooseFolder(GuiVornakelImporter &dialog, const QString &folder);
    // An import of the files, to its end.
    static void import(GuiVornakelImporter &dialog, const QStringList &files);
    // Import! pressed, and the import to its end.
    static void pressImport(GuiVornakelImporter &dialog);
    // Every table of the destination with its row count.
    QStringList destinationContents();
    int count(const QString &table);

    TestSettings m_settings;
    TestRuntimeFolder m_runtime;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TestModalAnswerer> m_answerer;
};

#endif
