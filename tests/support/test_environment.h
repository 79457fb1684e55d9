#ifndef TEST_ENVIRONMENT_H
#define TEST_ENVIRONMENT_H

#include <QByteArray>
#include <QList>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <sys/types.h>
#include <vector>

// Settings of the program's organisation and application names, redirected
// into a temporary folder for the life of the object, so tests never read or
// write a person's real settings nor each other's.
class TestSettings
{
public:
    TestSettings();
    ~TestSettings();
    QString path() const { return m_dir.path(); }
    void clear(); // forget every key written so far
    // From now on nothing can be written to the settings (their folder
    // cannot be made), as when the settings file may not be written; also
    // for the superuser.
    bool makeUnwritable();

private:
    QTemporaryDir m_dir;
};

// A temporary folder for database files; removed with the object.
class TestDatabaseFiles
{
public:
    TestDatabaseFiles();
    QString path(const QString &fileName = QStringLiteral("test.db")) const;
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Writes script modules into a temporary modules folder.
class TestModules
{
public:
    TestModules();
    QString path() const { return m_dir.path(); }

    // A module file at relPath (e.g. "calc/MainScreen_main.js") defining the six
    // entry points, followed by body (further functions).
    QString write(const QString &relPath, const QString &name, const QString &version, const QString &body = QString(),
        const QString &date = QStringLiteral("20120412"));
    // The text write() puts in the file.
    static QString text(const QString &name, const QString &version, const QString &body = QString(),
        const QString &date = QStringLiteral("20120412"));
    // An add-on module whose getModuleUI() returns formText (a Designer form)
    // and getModuleHTMLUI() returns htmlPage, followed by body.
    QString writeAddOn(const QString &relPath, const QString &name, const QString &version, const QString &formText,
        const QString &htmlPage = QString(), const QString &body = QString());
    // A file with exactly the given text.
    QString writeRaw(const QString &relPath, const QString &text);

    // The modules the program ships (the source tree's modules/ folder).
    static QString shippedModulesPath();

private:
    QTemporaryDir m_dir;
};

// A new temporary folder as the current folder (the one the program was
// started in, where it reads and writes files of fixed names) for the life
// of the object; the folder before is current again afterwards.
class TestStartFolder
{
public:
    TestStartFolder();
    ~TestStartFolder();
    TestStartFolder(const TestStartFolder &) = delete;
    TestStartFolder &operator=(const TestStartFolder &) = delete;
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_before;
};

// An environment variable set to a value (or unset, for a null text) for
// the life of the object, and as it was afterwards.
class TestVariable
{
public:
    TestVariable(const char *name, const QString &value);
    // The bytes as they are, whatever their encoding (a null array: unset).
    TestVariable(const char *name, const QByteArray &bytes);
    ~TestVariable();
    TestVariable(const TestVariable &) = delete;
    TestVariable &operator=(const TestVariable &) = delete;

private:
    const char *m_name;
    QByteArray m_before;
    bool m_wasSet;
};

// Writes the bytes as the whole of the file, created or emptied first; true
// when every byte was written.
bool testWriteFile(const QString &path, const QByteArray &bytes);
// The whole of a file, or "(unreadable)".
QByteArray testReadFile(const QString &path);
// The names in the folder as the bytes on disk, sorted: also those Qt reads
// with a stand-in character, which it cannot list.
QList<QByteArray> testNamesIn(const QString &folder);
// Gives the file at `path` a second name (a hard link); true when it did.
bool testSecondName(const QString &path, const QString &second);

// While it lives, a write of this process that would take a file past
// `bytes` fails with "File too large", as a write to a full disk fails with
// "No space left on device": the soft limit of the file size is lowered (and
// its signal ignored), then restored. No mount, no privilege.
class TestFileSizeLimit
{
public:
    explicit TestFileSizeLimit(qint64 bytes);
    ~TestFileSizeLimit();
    TestFileSizeLimit(const TestFileSizeLimit &) = delete;
    TestFileSizeLimit &operator=(const TestFileSizeLimit &) = delete;
    // What the system says of such a write.
    static QString reason();

private:
    qint64 m_before[2] = {};
    void (*m_signal)(int) = nullptr;
};

// Another local user ("nobody", 65534), whom a test gives a file, a link
// or a folder to, as if that user had made it; only the superuser can
// (testCanGiveAway()), so a test of it is skipped otherwise. testGiveAway()
// changes the owner of the path itself, a link too, and says whether it did.
constexpr unsigned testOtherUser = 65534;
bool testCanGiveAway();
bool testGiveAway(const QString &path, bool group = false);

// While it lives, this process acts as that other user (its user, its group
// and no other group): what it makes is that user's, and it may do only what
// that user may. Only the superuser can (testCanGiveAway()).
class TestAsOtherUser
{
public:
    TestAsOtherUser();
    // As the user `user`, with the first of `groups` as the group of what it
    // makes, and all of them as its groups.
    TestAsOtherUser(unsigned user, const std::vector<unsigned> &groups);
    ~TestAsOtherUser();
    TestAsOtherUser(const TestAsOtherUser &) = delete;
    TestAsOtherUser &operator=(const TestAsOtherUser &) = delete;
    bool isActing() const { return m_acting; }

private:
    std::vector<gid_t> m_groups;
    bool m_acting = false;
};

// The people of a folder that a group shares, as a lab's (mode 2775: what
// is made in it takes the folder's group): that group (the system's
// "nogroup"), the user ("sync"), who has a group of their own beside it, and
// another member of it ("nobody"). The system knows both users, and that the
// group is theirs, as it must to tell who may write a file. Only the
// superuser can act as them (testCanGiveAway()).
constexpr unsigned testLabGroup = 65534;
constexpr unsigned testLabUser = 4;
constexpr unsigned testLabUserGroup = 4;
constexpr unsigned testLabMember = 65534;
// While it lives, this process acts as the lab's user (with their own group
// and the lab's) or as its other member.
class TestAsLabUser : public TestAsOtherUser
{
public:
    TestAsLabUser() : TestAsOtherUser(testLabUser, { testLabUserGroup, testLabGroup }) { }
};
class TestAsLabMember : public TestAsOtherUser
{
public:
    TestAsLabMember() : TestAsOtherUser(testLabMember, { testLabGroup }) { }
};

// Renames the file at `path` away and back, as another program that may
// rename files in its folder can, once the system's clock of files has
// passed the file's last write: its change time is then later than its
// modification time, as such a rename leaves it. True when it did.
bool testMoveAwayAndBack(const QString &path);

// The source and build trees, for tests that read shipped files.
QString testSourceDir();
QString testBinaryDir();

// How many times slower than a plain build this run goes (VORNAKEL_TEST_SLOWDOWN,
// 1 when unset): the sanitizer build sets it, and tests that wait for the
// program or give it a time limit scale the wait or the limit by it.
int testSlowdown();

// How long a test waits for what it expects before it gives up (scaled as
// above): long, since a wait ends as soon as its condition holds, and only a
// fault lets it run out, on the busiest machine too. Every wait of a test
// takes it, or a multiple of it, or a time scaled by testSlowdown(), written
// at the wait itself (tools/check_waits.cmake holds the tests to that).
int testPatienceMs();

// QTRY_VERIFY and QTRY_COMPARE with the patience, the event loop running
// meanwhile. QtTest's own give up after a fixed 5 s, and its forms with a
// timeout go on for twice as long again before they fail.
#define TEST_TRY_VERIFY(expr)                                                                                          \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&]() { return bool(expr); }, testPatienceMs());                                         \
        QVERIFY(expr);                                                                                                 \
    } while (false)
#define TEST_TRY_VERIFY2(expr, message)                                                                                \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&]() { return bool(expr); }, testPatienceMs());                                         \
        QVERIFY2(expr, message);                                                                                       \
    } while (false)
#define TEST_TRY_COMPARE(actual, expected)                                                                             \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&]() { return bool((actual) == (expected)); }, testPatienceMs());                       \
        QCOMPARE(actual, expected);                                                                                    \
    } while (false)

// The memory the process holds now (its resident set), in bytes.
qint64 testResidentBytes();

// Runs `start`, then the event loop until `sender` sends `signal`, as the
// program goes on until work it started ends; false when it never comes.
// The work has limits of its own that end it long before this wait would
// give up, so that the two never race.
template<typename Sender, typename Signal, typename Start>
bool testRunUntil(const Sender *sender, Signal signal, Start start)
{
    QSignalSpy spy(sender, signal);
    start();
    return !spy.isEmpty() || spy.wait(10 * testPatienceMs());
}

#endif
