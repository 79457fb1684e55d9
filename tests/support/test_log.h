#ifndef TEST_LOG_H
#define TEST_LOG_H

#include <QApplication>
#include <QRegularExpression>
#include <QtTest>

// The program's warnings (the "vornakel.*" logging categories) fail the test
// that causes them, unless the test expects them: Qt 5.15's QtTest only prints
// them. TEST_MAIN and TEST_GUILESS_MAIN replace QTEST_MAIN and
// QTEST_GUILESS_MAIN, and watch from the first test function on.
namespace TestLog {

// QTest::ignoreMessage, and the message is an expected one: an expected
// message that never comes fails the test, as QtTest does.
void ignore(QtMsgType type, const char *message);
void ignore(QtMsgType type, const QRegularExpression &pattern);

// While it lives, every message that reaches the program's output is
// collected, and none of them fails the test.
class Capture
{
public:
    Capture();
    ~Capture();
    QStringList messages() const;

private:
    Q_DISABLE_COPY(Capture)
};

// QTest::qExec with the watch in place.
int exec(QObject *testObject, int argc, char **argv);

} // namespace TestLog

#define TEST_MAIN(TestObject)                                                                                          \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return TestLog::exec(&tc, argc, argv);                                                                         \
    }

#define TEST_GUILESS_MAIN(TestObject)                                                                                  \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return TestLog::exec(&tc, argc, argv);                                                                         \
    }

#endif
