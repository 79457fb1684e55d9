#ifndef APP_BOUNDEDLOG_H
#define APP_BOUNDEDLOG_H

#include <QString>

// A log of a fixed name (opened as AppFixedFile opens a log) that stays
// bounded however long it is written to, by any number of processes at once
// (the window and the CGI mode, say): each entry is one line of at most
// EntryCharacters (a longer one is cut and says how much was left out), and
// when the log would pass PartBytes it becomes the older part, NAME.1 (the
// older part before it and its lines are dropped), and a new log begins. So
// the two together hold at most 2 * PartBytes, the newest entries.
//
// Each entry goes out in one write under a lock on the log, which only the
// writers of these entries take, for a moment; whoever takes it checks that
// the name still holds the file it locked, so that two writers never roll
// the log twice over.
namespace AppBoundedLog {

const qint64 PartBytes = 8 * 1024 * 1024;
const int EntryCharacters = 4096;
// How long a writer waits for the lock before the entry is dropped.
const int LockWaitMs = 200;

// The name of the older part.
QString olderPart(const QString &path);
// The text cut to EntryCharacters, saying how many more it had; as it was when not longer.
QString cut(const QString &text);
// The entry as it is written, line end included: cut to EntryCharacters.
QByteArray entry(const QString &text);
// Appends the entry; false with why when it is not written.
bool append(const QString &path, const QString &text, QString *why = nullptr);

} // namespace AppBoundedLog

#endif
