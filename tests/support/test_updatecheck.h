#ifndef TEST_UPDATECHECK_H
#define TEST_UPDATECHECK_H

#include "test_environment.h"
#include "test_httpserver.h"
#include "test_modalanswerer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class GuiCheckForUpdates;

// What the tests of the update check share, in the programs they are spread
// over: a test class derives from it beside QObject, and calls begin() from
// its init() and end() from its cleanup(), so that each test function has
// settings, a modules folder, a loopback HTTP server (the update server) and
// a modal answerer of its own, and the dialog's time limits are the
// program's again after it.
class TestUpdateCheckCase
{
protected:
    struct Fixture
    {
        TestSettings settings;
        TestModules modules;
        TestHttpServer server;
        TestModalAnswerer answerer;
    };

    void begin();
    void end();

    // The modules as the module manager lists them, and the program's version.
    static const QStringList kInstalled;
    // An interim answer, which a server may send any number of times before its final one.
    static const QByteArray kProcessing;
    // The file's text, or "<missing>".
    static QString read(const QString &path);

    // The module Echo, version 20120101, written at relPath; its line as the module manager lists it.
    QString installEcho(const QString &relPath = "echo_main.js");
    // The dialog once the manifest has been compared.
    std::unique_ptr<GuiCheckForUpdates> check(const QByteArray &manifest, int status = 200,
        const QStringList &installed = kInstalled, const QString &modulesPath = QString());
    // Downloads the archive into the folder; the title and text of the box that ends it.
    QStringList downloadArchive(const QString &folder);
    // The manifest has been compared, or could not be.
    static bool compared(const GuiCheckForUpdates &dialog);
    // The time after which a request that stopped answering is given up in the tests.
    static int givingUpMs() { return 1000 * testSlowdown(); }
    // While the manifest is awaited, the dialog says so in both boxes.
    static bool checking(const GuiCheckForUpdates &dialog);

    std::unique_ptr<Fixture> m;
};

#endif
