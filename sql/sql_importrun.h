#ifndef SQL_IMPORTRUN_H
#define SQL_IMPORTRUN_H

#include "sql/sql_importdb.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// One import of the older database files, as a task: its steps (reading an
// Access file, copying one table, adding the buffer components) run one at
// a time, each a slice per turn of the event loop, and sigFinished ends it.
// A slice takes at most a frame's time; between slices the windows and the
// message server go on, and every transaction of the import is begun and
// ended within one slice, so that nothing else ever runs inside one. A table
// is still stored whole or not at all (SqlImportBatch). Reading an Access
// file is the reader program's work: the step waits for it without holding
// anything. What an earlier import left unfinished is taken back first.
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
    // Ends the run: a reader at work is stopped (its file is not read), a
    // table under way is taken back (in slices, as it was stored), and no
    // further step begins.
    void stop();
    bool wasStopped() const { return m_stopped; }
    // The run did not start: another import into the file was under way, or
    // the file refused it (the engine's refusal() says which).
    bool wasRefused() const { return m_refused; }
    // When another program's hold on the database file ended the run: the
    // tables of the step that met it and of those it did not reach, in their
    // order (each of them absent, as a table is whole or absent).
    QStringList notImported() const;

signals:
    // `done` of `total` steps have ended.
    void sigProgress(int done, int total);
    void sigFinished();

private:
    struct Step
    {
        QString reading; // an Access file to read first, or empty
        QString table; // the table the step copies
        std::function<void()> work;
    };
    void next();
    // Notes the step in which the destination was first found held.
    void noteEnd();
    void finish();

    SqlImportDb m_engine;
    QList<Step> m_steps;
    QStringList m_defaultsFiles;
    int m_done = 0;
    int m_endedAt = -1; // the step the destination was found held in
    bool m_running = false;
    bool m_stopped = false;
    bool m_refused = false;
    bool m_waiting = false; // for the reader
    bool m_copying = false; // the engine has a copy under way, a slice a turn
    bool m_started = false; // that copy is a step's (not what an earlier import left)
};

#endif
