#ifndef TEST_PROCESSES_H
#define TEST_PROCESSES_H

#include "app/app_helperrunner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// The processes a test starts, or that the program starts for it (the
// helpers it runs), as the system lists them.

// The living children of `parent` that run the program `name` (its file name).
QList<pid_t> testChildren(pid_t parent, const QString &name);
// Whether the process exists and has not ended (a zombie has).
bool testIsAlive(pid_t pid);

// A helper run through the program's runner, to its end.
AppHelperRunner::Result testRunHelper(const QString &program, const QStringList &arguments,
    const AppHelperRunner::Limits &limits, const QByteArray &input = QByteArray());

#endif
