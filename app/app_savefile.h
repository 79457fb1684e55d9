#ifndef APP_SAVEFILE_H
#define APP_SAVEFILE_H

#include <QByteArray>
#include <QString>

#include <functional>

struct stat;

// The one way the program writes a file: whole or not at all. The bytes go
// into a new file beside the target, which takes the target's place only once
// every byte of it is on the disk; until then, and after any failure, the
// file that had the name keeps it, as it was. A failure is said in the
// system's words ("No space left on device").
//
// Where the file is written is settled once, when the save begins: links are
// followed then (a chain of them too, to its end, which a new file is made
// at), and the folder found is held open, so that what happens to the path
// later cannot move the save elsewhere. In a folder that others may write
// (sticky, or writable by the group or by all), a link is followed only when
// it is the user's own. When something else has been put under the name by
// the time the save ends (a link, another file), it is left alone, and the
// new file is kept beside it under a name of its own; failure() names it.
//
// A file of another user's, and one with further names (hard links), keeps
// its owner and every name: the new bytes are copied into it once they are
// all on the disk and room for them is reserved (where the file system
// cannot reserve, the part past the file's end is written first, and taken
// back when it fails). The new file of a file that exists is the user's
// alone until it has that file's group and permissions, and stays so where
// it cannot have the group. While they are copied, the whole of them stays beside
// the file under a name of its own ("NAME.TAG.EXT"), and the settings note
// it: a copy cut off (kill -9, a power cut) leaves the file part new, part
// old, and the next save of that file, or the next start, tells the person
// where the whole copy is (through the teller the windows install), which is
// kept; the note goes only once told. Where the settings cannot keep the
// note, the file is not written into at all. In a sticky folder that others may write, another user's file (but
// the folder owner's with one name) is not written into, as the system
// itself refuses to open it so; the twin of the link that is not followed.
// Before each save, the new files that earlier saves of the same target left
// behind (a crash, kill -9) are removed: those of the user's whose save no
// longer runs.
//
// A target that is no regular file (a folder, a named pipe, a device) is
// refused, and so is one that may not be written.
class AppSaveFile
{
public:
    // Shows the person a message about an earlier save (a copy into a file
    // that was cut off); without one, such messages wait for the next start.
    // It calls `told` once the person has seen it (its box closed), at once
    // or later: only then is the note of that copy forgotten, so that a
    // program ended before tells it again at its next start.
    using Teller = std::function<void(const QString &message, const std::function<void()> &told)>;
    static void setTeller(const Teller &teller);
    // Tells of every copy into a file that was cut off and has not been told
    // of yet (at the program's start).
    static void tellCutCopies();

    explicit AppSaveFile(const QString &path);
    // Not committed: the new file is dropped, and the target keeps what it had.
    ~AppSaveFile();
    AppSaveFile(const AppSaveFile &) = delete;
    AppSaveFile &operator=(const AppSaveFile &) = delete;

    // Settles where the file goes and makes the new file beside it.
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
    // The new file's name while it is being written, for messages; empty
    // before open() and after commit(). Nothing is written by it: every byte
    // goes through write(), into the file the save holds.
    QString temporaryFileName() const;
    // Where the new bytes were kept when the target could not take them
    // (something else was put under its name); empty otherwise.
    QString keptFileName() const;
    // Why the last step failed, in the system's words.
    QString errorString() const { return m_error; }
    // What the person reads: "Cannot open FILE: WHY." when the new file
    // could not be made, else "FILE could not be written: WHY." followed by
    // what became of the file that had the name (and of the new bytes).
    QString failure() const;

    // The whole of a file at once: open(), write(), commit(); `failure`
    // receives failure() when it fails.
    static bool write(const QString &path, const QByteArray &bytes, QString *failure);

private:
    // What the name held when the save began.
    struct Found
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        quint32 mode = 0;
        quint32 owner = 0;
        quint32 group = 0;
        quint64 links = 0;
    };

    bool fail(int error);
    bool fail(const QString &why);
    void drop();
    void closeHandles();
    // Whether the name still holds what it held when the save began.
    bool unchanged() const;
    // Gives the new file a name of its own beside the target and fails, saying so.
    bool keepBoth();
    // Gives the new file its name for keeping ("NAME.TAG.EXT"), never over
    // another; false with the system's error in errno when it cannot.
    bool renameToKept();
    // Copies the new bytes into the target itself, which keeps its identity.
    bool copyInto();
    // Writes bytes [from, to) of the new file into `target` at the same
    // place; 0 or the system's error.
    int copyRange(int target, qint64 from, qint64 to);
    // Why this target is not written into in place, or an empty text.
    QString inPlaceRefusal(const struct stat &target) const;
    // The target as the system names it now (the held folder's path).
    QString heldPath(const QByteArray &name) const;
    // Removes the new files of earlier saves of this target that no save holds.
    void removeLeftovers();

    QString m_path;
    QString m_folderPath; // the folder written into, as a path, for messages
    QByteArray m_name; // the target's name in that folder
    QByteArray m_temporary; // the new file's name there, while it exists
    QByteArray m_tag; // the random part of that name
    QByteArray m_kept; // the name the new file was kept under
    QString m_error;
    Found m_found;
    int m_folder = -1;
    // The file the name held, held open so that its number cannot pass to
    // another file while the save runs.
    int m_held = -1;
    int m_fd = -1;
    bool m_failed = false;
    bool m_opened = false; // the new file was made
    bool m_refused = false; // the target is no regular file, or a link not followed
    bool m_inPlace = false; // the target keeps its identity: the new bytes go into it
    bool m_damaged = false; // a copy into the target broke off
};

#endif
