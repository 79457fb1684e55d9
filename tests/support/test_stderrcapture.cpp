#include "test_stderrcapture.h"

#include <cstdio>
#include <unistd.h>

TestStderrCapture::TestStderrCapture()
{
    if (!m_file.open())
        return;
    std::fflush(stderr);
    m_savedFd = ::dup(STDERR_FILENO);
    ::dup2(m_file.handle(), STDERR_FILENO);
}

TestStderrCapture::~TestStderrCapture()
{
    stop();
}

void TestStderrCapture::stop()
{
    if (m_savedFd < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_savedFd, STDERR_FILENO);
    ::close(m_savedFd);
    m_savedFd = -1;
    m_file.seek(0);
    m_text = QString::fromLocal8Bit(m_file.readAll());
}

QString TestStderrCapture::text()
{
    stop();
    return m_text;
}
