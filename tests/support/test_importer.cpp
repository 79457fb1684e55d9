#include "test_importer.h"
#include "gui/gui_vornakelimporter.h"
#include "test_sqlconnections.h"

#include <QDir>
#include <QFile>
#include <QtTest>

void TestImporterCase::begin()
{
    m_settings.clear();
    m_db.reset(new TestDatabase);
    m_answerer.reset(new TestModalAnswerer);
}

void TestImporterCase::end()
{
    m_answerer.reset();
    m_db.reset();
}

QString TestImporterCase::oldFolder(const QStringList &names, const QStringList &copiesOf)
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

void TestImporterCase::chooseFolder(GuiVornakelImporter &dialog, const QString &folder)
{
    m_answerer->answerFileDialog(folder);
    QVERIFY(testRunUntil(&dialog, &GuiVornakelImporter::sigFolderChecked,
        [&] { QTest::mouseClick(dialog.qtSourceButton, Qt::LeftButton); }));
}

void TestImporterCase::import(GuiVornakelImporter &dialog, const QStringList &files)
{
    QVERIFY(testRunUntil(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished, [&] { dialog.startImport(files); }));
}

void TestImporterCase::pressImport(GuiVornakelImporter &dialog)
{
    QVERIFY(testRunUntil(&dialog, &GuiVornakelImporter::sigDatabaseImportFinished,
        [&] { QTest::mouseClick(dialog.qtImport, Qt::LeftButton); }));
}

QStringList TestImporterCase::destinationContents()
{
    QStringList contents;
    const QStringList tables = TestSqlConnections::column(
        m_db->connectionName(), "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    for (const QString &table : tables)
        contents << table + ' ' + m_db->value(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toString();
    return contents;
}

int TestImporterCase::count(const QString &table)
{
    return m_db->value("SELECT COUNT(*) FROM " + table).toInt();
}
