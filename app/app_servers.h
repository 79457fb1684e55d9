#ifndef APP_SERVERS_H
#define APP_SERVERS_H

#include "app/app_constants.h"

#include <QString>

// The two web hosts the program talks to: the update server (manifest and
// downloads) and the help wiki. Each is a setting with a built-in default, so
// a site can point the program at its own copy.
namespace AppServers {

// The settings that name them, under the names their callers know.
constexpr const char *updateServerKey = AppKeys::updateServer;
constexpr const char *helpServerKey = AppKeys::helpServer;

// Base URLs without a trailing slash.
QString updateServer();
QString helpServer();

} // namespace AppServers

#endif
