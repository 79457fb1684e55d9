#include "app/app_version.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::printf("%s\n", APPVERSION.toLocal8Bit().constData());
    return 0;
}
