#include "test_log.h"

#include "test_environment.h"

#include <QList>
#include <QMutex>

namespace {

struct Expected
{
    QtMsgType type;
    QRegularExpression pattern;
};

QtMessageHandler s_testlibHandler = nullptr;
QList<Expected> s_expected;
QMutex s_mutex;
bool s_capturing = false;
QStringList s_captured;

bool consumeExpected(QtMsgType type, const QString &message)
{
    QMutexLocker lock(&s_mutex);
    for (int i = 0; i < s_expected.size(); ++i) {
        if (s_expected.at(i).type == type && s_expected.at(i).pattern.match(message).hasMatch()) {
            s_expected.removeAt(i);
            return true;
        }
    }
    return false;
}

void watch(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool ours = context.category && qstrncmp(context.category, "vornakel.", 9) == 0;
    {
        // Collected, and neither printed nor judged.
        QMutexLocker lock(&s_mutex);
        if (s_capturing) {
            s_captured << message;
            return;
        }
    }
    const bool expected = consumeExpected(type, message);
    // QtTest swallows the messages it was told to ignore and prints the others.
    if (s_testlibHandler)
        s_testlibHandler(type, context, message);
    if (ours && !expected && (type == QtWarningMsg || type == QtCriticalMsg) && QTest::currentTestFunction()) {
        const QByteArray text = "Unexpected warning: " + message.toLocal8Bit();
        QTest::qFail(text.constData(), context.file ? context.file : __FILE__, context.line);
    }
}

} // namespace

void TestLog::ignore(QtMsgType type, const char *message)
{
    QTest::ignoreMessage(type, message);
    QMutexLocker lock(&s_mutex);
    s_expected << Expected { type,
        QRegularExpression(
            QRegularExpression::anchoredPattern(QRegularExpression::escape(QString::fromUtf8(message)))) };
}

void TestLog::ignore(QtMsgType type, const QRegularExpression &pattern)
{
    QTest::ignoreMessage(type, pattern);
    QMutexLocker lock(&s_mutex);
    s_expected << Expected { type, pattern };
}

TestLog::Capture::Capture()
{
    QMutexLocker lock(&s_mutex);
    s_capturing = true;
    s_captured.clear();
}

TestLog::Capture::~Capture()
{
    QMutexLocker lock(&s_mutex);
    s_capturing = false;
    s_captured.clear();
}

QStringList TestLog::Capture::messages() const
{
    QMutexLocker lock(&s_mutex);
    return s_captured;
}

int TestLog::exec(QObject *testObject, int argc, char **argv)
{
    // QtTest installs its own handler when it starts; this one goes in front of it.
    QTest::qInit(testObject, argc, argv);
    s_testlibHandler = qInstallMessageHandler(watch);
    // Each test program runs in a folder of its own: the files the program
    // writes where it was started (sql.log, ImportLog.txt, vornakel.ini) are
    // never another run's, so the suite can run twice at once in one build.
    int result = 0;
    {
        const TestStartFolder start;
        result = QTest::qRun();
    }
    qInstallMessageHandler(s_testlibHandler);
    s_testlibHandler = nullptr;
    QTest::qCleanup();
    return result;
}
