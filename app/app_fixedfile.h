#ifndef APP_FIXEDFILE_H
#define APP_FIXEDFILE_H

#include <QIODevice>
#include <QString>

class QFile;

// A file the program opens by a fixed name in a folder it did not make, the
// one it was started in above all: the logs "ImportLog.txt" and "sql.log",
// the server's "vornakel.ini", a database's connection file. Whoever may
// write that folder may have put something under the name: a named pipe,
// whose opening waits for ever; a link, which would lead a log into a file
// of the user's; another user's file, whose settings the program would take
// for the user's own. So the name is not followed as a link, nothing is
// waited on, and only a regular file of the user's own is used (a file to
// read may also be the superuser's, who could change anything anyway).
namespace AppFixedFile {

// Opens the file named by `file` as QFile::open would (opened, the QFile
// works on the descriptor and no longer names the file), for reading (ReadOnly) or as a log (Append: made when missing,
// and only ever added to), each maybe with Text; false, with why in the system's words or as what the name holds ("it
// is a link, which is not followed"), when it is not opened.
bool open(QFile &file, QIODevice::OpenMode mode, QString *why = nullptr);

} // namespace AppFixedFile

#endif
