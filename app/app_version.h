#ifndef APP_VERSION_H
#define APP_VERSION_H

#include <QString>

// Initialised statically, so both exist before main runs.
extern const QString APPVERSION; // "20120828 BETA": the release, stamped into every file it opens
extern const QString DBVERSION; // "20120320": the schema revision this release writes

#endif
