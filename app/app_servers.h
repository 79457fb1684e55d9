#ifndef APP_SERVERS_H
#define APP_SERVERS_H

#include <QString>

// The two web hosts the program talks to: the update server (manifest and
// downloads) and the help wiki. Each is a setting with a built-in default, so
// a site can point the program at its own copy.
namespace AppServers {

constexpr const char *updateServerKey = "CheckForUpdates/server";
constexpr const char *helpServerKey = "Help/server";

// Base URLs without a trailing slash.
QString updateServer();
QString helpServer();

} // namespace AppServers

#endif
