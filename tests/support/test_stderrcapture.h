#ifndef TEST_STDERRCAPTURE_H
#define TEST_STDERRCAPTURE_H

#include <QString>
#include <QTemporaryFile>

// Captures what the code under test writes to standard error (the module
// host's diagnostic traces) for the life of the object, or until text() is
// called. Not nestable.
class TestStderrCapture
{
public:
    TestStderrCapture();
    ~TestStderrCapture();

    // Stops capturing (once) and returns everything written meanwhile.
    QString text();

private:
    void stop();

    QTemporaryFile m_file;
    int m_savedFd = -1;
    QString m_text;
};

#endif
