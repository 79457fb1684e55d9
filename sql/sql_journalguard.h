#ifndef SQL_JOURNALGUARD_H
#define SQL_JOURNALGUARD_H

#include <QString>

#include <functional>

// What SQLite takes for a database file's own lies beside it: its rollback
// journal ("NAME-journal"), its write-ahead log ("NAME-wal") and the index
// of that log ("NAME-shm"). A journal found there when the file is opened is
// played into the file, a log read as part of it; so whoever may write the
// folder (a group's shared folder, a sticky one) could change the records by
// putting one there. No such file may let anyone write or read it who may
// not write or read the database file itself: those SQLite makes get the
// database file's group and permissions as they are made (a set-group-ID
// folder would give them its own group), and one found there is used only
// when it is a regular file with no second name, whose owner may write the
// database (the user, the file's owner, a member of its group where that
// group may write it), and whose group and permissions let no one else do
// more than the database file does. Such a file, another writer's too, is
// the database's own and is played in, as SQLite does for the file's owner;
// anything else stops the open before a byte is read or rolled back,
// whichever way the file is opened (the windows, the message server, the
// import, a module's script).
//
// Where others may rename the user's files (a folder its group may write,
// or another user's), even the user's own journal or log may have been
// taken away while a save ended and put back after later saves, when played
// in it would undo them: one renamed or moved since it was last written is
// not used either. And a journal or log that SQLite is done with is emptied
// through the file SQLite wrote before its name is removed, so that nothing
// taken away from the name keeps a change to play in.
//
// The guard sits under the SQLite library itself, in place of its default
// file layer, from the moment the program is loaded: it looks at these
// files whenever SQLite opens one, also when one is put there later, while
// the database is open, and judges the file that was opened, whatever the
// name held a moment before or after. Its message names the file and what
// the person can do. A journal or log that may hold a change the database
// file needs to be whole is never to be removed, nor a log or its index
// that a program with the database open may be using: the message says what
// makes it usable, or whose change it is and that opening the file as them
// finishes it. Of another file it says to remove it, or where the folder
// does not let the user (another user's file in a sticky folder), to ask
// who may, or to move the database to a folder of their own.
namespace SqlJournalGuard {

// Empty, or the message that refuses the database file at `path` for what
// lies beside it, naming that file and what it is.
QString refusal(const QString &path);

// The message of the last open the guard stopped on this thread (empty
// when none); taken, so that it is said once.
QString takeRefusal();
// The same, only when it concerns the database file at `path`.
QString takeRefusal(const QString &path);

// For tests: called with the name of a journal or log once it was looked at
// and before it is opened (false), and with the name of each such file
// SQLite opened, before what was opened is judged (true): where another
// program may put something else under the name and put back what was there.
void setAroundOpen(const std::function<void(const QString &name, bool opened)> &hook);

} // namespace SqlJournalGuard

#endif
