#include "app/app_constants.h"
#include "app/app_openfiles.h"
#include "app/app_version.h"
#include "gui/gui_splashscreen.h"
#include "gui/gui_vornakel.h"
#include "net/net_client.h"

#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before anything is built; only an exact first argument counts.
    if (argc > 1) {
        if (std::strcmp(argv[1], "-v") == 0) {
            std::printf("%s\n", APPVERSION.toLocal8Bit().constData());
            return 0;
        }
        if (std::strcmp(argv[1], "-vv") == 0) {
            std::printf("%s", APPVERSION.section(QLatin1Char(' '), 0, 0).toLocal8Bit().constData());
            return 0;
        }
    }

    QApplication app(argc, argv);
    QPixmap pixmap(QStringLiteral(":files/images/ravo.jpg"));
    GuiSplashScreen splash(pixmap);
    splash.show();

    // Process-wide settings, made here once before anything is built.
    QCoreApplication::setOrganizationName(QLatin1String(AppKeys::organisation));
    QCoreApplication::setApplicationName(QLatin1String(AppKeys::application));
    // The message server may hold its whole cap of connections beside the
    // program's own files, more than the usual soft limit of 1,024 open files
    // allows. The limit belongs to the process (the helper programs it starts
    // inherit it), so it is raised here; the server only fits its cap to it.
    AppOpenFiles::raiseLimit(NetBudget().maxConnections + 1024);

    // Destroyed in reverse order: the window (which stores its geometry)
    // first, then the splash, the pixmap and the application.
    GuiVornakel window(QString(), nullptr);
    QObject::connect(&window, &GuiVornakel::sigShowSplashMessage, &splash, &GuiSplashScreen::showSplashMessage);
    QObject::connect(&splash, &GuiSplashScreen::sigTimeOut, &window, &GuiVornakel::firstShow);
    QObject::connect(&window, &GuiVornakel::sigShown, &splash, &QWidget::close);

    // No database or no calculation module: the user has been told; end here.
    if (!window.initVornakel())
        return 1;
    window.mainVornakelWindow();

    return app.exec();
}
