#include "test_updatecheck.h"
#include "app/app_servers.h"
#include "gui/gui_checkforupdates.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

const QStringList TestUpdateCheckCase::kInstalled { "Echo,20120101,,/m/echo_main.js",
    "Other,20120101,,/m/other_main.js", "Echo,20110101,,/m/old/echo_main.js", "Vornakel,20120828 BETA" };

const QByteArray TestUpdateCheckCase::kProcessing = "HTTP/1.1 102 Processing\r\n\r\n";

void TestUpdateCheckCase::begin()
{
    m = std::make_unique<Fixture>();
    QSettings().setValue(QLatin1String(AppServers::updateServerKey), m->server.baseUrl());
}

void TestUpdateCheckCase::end()
{
    m.reset();
    GuiCheckForUpdates::setTimeLimits(GuiCheckForUpdates::DefaultRequestTimeLimitMs,
        GuiCheckForUpdates::DefaultSilenceLimitMs, GuiCheckForUpdates::DefaultArchiveTimeLimitMs);
}

QString TestUpdateCheckCase::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("<missing>");
}

QString TestUpdateCheckCase::installEcho(const QString &relPath)
{
    return "Echo,20120101,," + m->modules.write(relPath, "Echo", "20120101");
}

std::unique_ptr<GuiCheckForUpdates> TestUpdateCheckCase::check(
    const QByteArray &manifest, int status, const QStringList &installed, const QString &modulesPath)
{
    // A status below 0: the manifest is served already.
    if (status >= 0)
        m->server.serve("/MANIFEST", manifest, status);
    auto dialog
        = std::make_unique<GuiCheckForUpdates>(installed, modulesPath.isNull() ? m->modules.path() : modulesPath);
    [&]() { TEST_TRY_VERIFY(compared(*dialog)); }();
    return dialog;
}

QStringList TestUpdateCheckCase::downloadArchive(const QString &folder)
{
    auto dialog = check("Vornakel,20120901,/dist/");
    m->answerer.answerFileDialog(folder);
    m->answerer.answerMessageBox(QMessageBox::Ok);
    QTest::mouseClick(dialog->qtDownloadBinary, Qt::LeftButton);
    // The folder dialog counts among what was answered; the box is the last.
    [&]() { TEST_TRY_VERIFY(m->answerer.seen().size() == 2); }();
    return { m->answerer.titles().last(), m->answerer.texts().last() };
}

bool TestUpdateCheckCase::compared(const GuiCheckForUpdates &dialog)
{
    return dialog.label->text() != "Checking the Vornakel web site for updated versions.";
}

bool TestUpdateCheckCase::checking(const GuiCheckForUpdates &dialog)
{
    const QString text = "Checking " + AppServers::updateServer() + " for updates...";
    return dialog.qtModuleVersion->text() == text && dialog.qtBinaryVersion->text() == text;
}
