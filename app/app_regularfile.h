#ifndef APP_REGULARFILE_H
#define APP_REGULARFILE_H

#include <QByteArray>
#include <QString>

#include <sys/types.h>

struct stat;

// A file that a person chooses is opened only when it is a regular file (or a
// link to one): opening a named pipe waits for a writer for ever, and a
// folder, a device or a socket holds nothing the program could read.
namespace AppRegularFile {

// What a file of this mode (st_mode) is, as a person reads it ("a named
// pipe (FIFO)"); empty for a regular file and for what has no name here.
QString kind(unsigned mode);

// What a file of this status (lstat) is, as a person reads it, where only a
// regular file of the user's own, or of `owner`, with no second name is
// taken ("a link", "a file of another user's", ...); empty for such a file.
QString notOwnFile(const struct stat &found, uid_t owner);

// The name of a user or a group, or its number where the system knows none.
QString userName(uid_t user);
QString groupName(gid_t group);

// The folder of the file named `path` (as the system encodes names): "."
// for a bare name, "/" for a name in the root.
QByteArray folderOf(const QByteArray &path);

// Whether the path names a regular file, or a link to one.
bool isRegular(const QString &path);

// Empty for a regular file, and for a path that names nothing yet (saving
// creates it; a reader says itself that it cannot open it). Otherwise the
// message that refuses the path, naming it and what it is; also where a
// name on the path is not text in the system's encoding, so that the path
// would name another file than the one chosen.
QString refusal(const QString &path);
// As refusal(), for a file that is to be read: a link to nothing is refused too.
QString readRefusal(const QString &path);

} // namespace AppRegularFile

#endif
