#include "app/app_servers.h"

#include <QSettings>

namespace {

const char *const defaultUpdateServer = "http://updates.vornakel.example.org";
const char *const defaultHelpServer = "http://wiki.vornakel.example.org";

QString base(const char *key, const char *fallback)
{
    QString url = QSettings().value(QLatin1String(key), QString::fromLatin1(fallback)).toString().trimmed();
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

} // namespace

QString AppServers::updateServer()
{
    return base(AppKeys::updateServer, defaultUpdateServer);
}

QString AppServers::helpServer()
{
    return base(AppKeys::helpServer, defaultHelpServer);
}
