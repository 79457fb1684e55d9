#ifndef SQL_IMPORTRUN_H
#define SQL_IMPORTRUN_H

#include "sql/sql_importdb.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// One import of the older database files, as a task: its steps (reading an
// Access file, copying one table, adding the buffer components) run one at
// a time, each from the event loop, and sigFinished ends it. Between steps
// the windows and the message server go on; within a step nothing else
// runs, and every transaction of the import is begun and ended within one
// step, so that nothing else ever runs inside one. Reading an Access file
// is the reader program's work: the step waits for it without holding
// anything.
//
// The walk of the source files: the reference file ("PHYCONST.MDB" in any
// letter case) with its six tables, the buffer components, then the records
// file ("VORNAKEL.MDB" in any letter case) found anywhere in the list with
// its four tables. A defaults file ("VORNAKEL.INI") is visited only before
// the reference file; its values are not imported.
class SqlImportRun : public QObject
{
    Q_OBJECT

public:
    SqlImportRun(const QString &destinationConnection, const QStringList &sourceFiles, bool preventDuplicates,
        QObject *parent = nullptr);
    ~SqlImportRun() override;

    // The engine, for its signals and, once the run has ended, its counts.
    SqlImportDb &engine() { return m_engine; }
    // The defaults files the walk visits, which it does not read.
    QStringList defaultsFiles() const { return m_defaultsFiles; }

    void start();
    // Ends the run: a reader at work is stopped (its file is not read), and
    // no further step begins. A step under way ends first, whole.
    void stop();
    bool wasStopped() const { return m_stopped; }

signals:
    // `done` of `total` steps have ended.
    void sigProgress(int done, int total);
    void sigFinished();

private:
    struct Step
    {
        QString reading; // an Access file to read first, or empty
        std::function<void()> work;
    };
    void next();
    void finish();

    SqlImportDb m_engine;
    QList<Step> m_steps;
    QStringList m_defaultsFiles;
    int m_done = 0;
    bool m_running = false;
    bool m_stopped = false;
    bool m_waiting = false; // for the reader
};

#endif
