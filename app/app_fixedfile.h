#ifndef APP_FIXEDFILE_H
#define APP_FIXEDFILE_H

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

class QFile;

// A file the program opens by a fixed name in a folder it did not make, the
// one it was started in above all: the logs "ImportLog.txt" and "sql.log",
// the server's "vornakel.ini", a database's connection file, the page
// libraries, page and script of a module window. Whoever may write that
// folder may have put something under the name: a named pipe, whose opening
// waits for ever; a link, which would lead a log into a file of the user's;
// another user's file, whose settings the program would take for the user's
// own; a second name (a hard link) of a file, or a file others may write,
// through which another user changes what the program reads or reads what it
// writes. So the name is not followed as a link, nothing is waited on, and
// only a regular file of the user's own with one name, which no one else may
// write, is used (a file to read may also be the superuser's, who could
// change anything anyway). A log the program makes is the user's alone, to
// read and to write: it holds what the user saves into the database.
namespace AppFixedFile {

// Opens the file named by `file` as QFile::open would (opened, the QFile
// works on the descriptor and no longer names the file), for reading (ReadOnly) or as a log (Append: made when missing,
// and only ever added to), each maybe with Text; false, with why in the system's words or as what the name holds ("it
// is a link, which is not followed"), when it is not opened.
bool open(QFile &file, QIODevice::OpenMode mode, QString *why = nullptr);

// The most of a file read by a fixed name that is read: a file beyond
// either limit (a sparse file of gigabytes, say) is left unread whole.
constexpr qint64 maxBytes = 4 * 1024 * 1024;
constexpr int maxLines = 100000;

enum class Read {
    Done, // the whole file is in `bytes`
    NotOpened, // as open() refuses it, or it does not exist
    TooLarge, // beyond the limits; the caller warns
};

// The whole of the file, opened for reading as open() opens it and read
// within the limits; `why` says why not, as open() does or as "it is larger
// than 4194304 bytes" or "it has more than 100000 lines".
Read read(const QString &path, QByteArray *bytes, QString *why = nullptr);

// For tests: called with the name between the look at what it holds and
// the open, where another program may change what it holds.
void setBetweenCheckAndOpen(const std::function<void(const QString &)> &hook);

} // namespace AppFixedFile

#endif
