#ifndef APP_SAVEFILE_H
#define APP_SAVEFILE_H

#include <QByteArray>
#include <QString>

// The one way the program writes a file: whole or not at all. The bytes go
// into a new file beside the target, which takes the target's name only once
// every byte of it is on the disk; until then, and after any failure, the
// file that had the name keeps it, as it was. A failure is said in the
// system's words ("No space left on device").
//
// Saving over a link writes the file it points to. A target that is no
// regular file (a folder, a named pipe, a device) is refused, and so is one
// that may not be written.
class AppSaveFile
{
public:
    explicit AppSaveFile(const QString &path);
    // Not committed: the new file is dropped, and the target keeps what it had.
    ~AppSaveFile();
    AppSaveFile(const AppSaveFile &) = delete;
    AppSaveFile &operator=(const AppSaveFile &) = delete;

    // Makes the new file beside the target.
    bool open();
    // Appends to the new file; after a failure every later write fails too.
    bool write(const QByteArray &bytes);
    // Puts the new file in the target's place, once it is on the disk.
    bool commit();
    // Drops the new file.
    void cancelWriting();
    // Drops the new file, which another writer filled and which is not whole
    // for the reason given (that writer's failure, found out by its caller).
    void abandon(const QString &why);

    // The target as given.
    QString fileName() const { return m_path; }
    // The new file while it is being written; empty before open() and after
    // commit(). For a writer that insists on opening a file by its name.
    QString temporaryFileName() const { return m_temporary; }
    // Why the last step failed, in the system's words.
    QString errorString() const { return m_error; }
    // What the person reads: "Cannot open FILE: WHY." when the new file
    // could not be made, else "FILE could not be written: WHY." followed by
    // what became of the file that had the name.
    QString failure() const;

    // The whole of a file at once: open(), write(), commit(); `failure`
    // receives failure() when it fails.
    static bool write(const QString &path, const QByteArray &bytes, QString *failure);

private:
    bool fail(int error);
    bool fail(const QString &why);
    void drop();

    QString m_path;
    QString m_temporary;
    QString m_error;
    int m_fd = -1;
    bool m_failed = false;
    bool m_opened = false; // the new file was made
    bool m_existed = false; // the target held a file
    bool m_refused = false; // the target is no regular file
};

#endif
