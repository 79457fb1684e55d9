# Feeds check_waits.cmake small trees: the clean tree must pass, and the same
# tree with any one offending file added must fail, naming that file and line.
#   cmake -DCHECK=<check_waits.cmake> -DWORK_DIR=<scratch folder> -P check_waits_test.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT CHECK OR NOT WORK_DIR)
    message(FATAL_ERROR "check_waits_test.cmake: CHECK and WORK_DIR must be set")
endif()

# Waits that take the patience or a scaled time, and what only looks like a
# wait: comments, literals, declarations and pauses.
function(_write_tree _dir)
    file(REMOVE_RECURSE "${_dir}")
    file(WRITE "${_dir}/tests/tst_clean.cpp" [=[
#include "test_environment.h"
// QTRY_VERIFY(x) would give up after 5 s; so would process.waitForFinished().
/* socket.waitForConnected(5000); spy.wait(); */
void TstClean::waits()
{
    TEST_TRY_VERIFY(window.isNull());
    TEST_TRY_COMPARE(spy.count(), 1);
    TEST_TRY_VERIFY2(done, "not done; (still)");
    QTRY_VERIFY_WITH_TIMEOUT(text.endsWith(')'), testPatienceMs());
    QTRY_COMPARE_WITH_TIMEOUT(answerer.titles().size(),
        2, 2 * testPatienceMs());
    QVERIFY(process.waitForFinished(testPatienceMs()));
    QVERIFY(socket->waitForConnected(10000 * testSlowdown()));
    QVERIFY(QTest::qWaitFor([&]() { return log.filter("Sent; ").size() == (sent + 1); }, testPatienceMs()));
    QVERIFY(QTest::qWaitForWindowExposed(window, testPatienceMs()));
    QVERIFY(client.waitForAnswers(1) && client.waitForAnswers(2, 10));
    const QDeadlineTimer deadline(2 * testPatienceMs());
    while (!arrived.wait(int(deadline.remainingTime()))) {
    }
    run("function wait(ms) { QTRY_VERIFY(ms); } waitForFinished(5)");
    run(R"js(
        wait(10); "quoted" waitForStarted(1) )
    )js");
    QTimer::singleShot(0, dialog, &QDialog::accept);
    QTimer::singleShot(testPatienceMs(), &loop, &QEventLoop::quit);
    QTest::qWait(50);
    QThread::msleep(200);
    awaited(5);
    waitUntilDisconnected();
}
]=])
    file(WRITE "${_dir}/tests/support/test_clean.h" [=[
#define TEST_TRY_VERIFY(expr) (void)QTest::qWaitFor([&]() { return bool(expr); }, testPatienceMs())
class TestClient
{
    bool waitForAnswers(int count, int times = 1);
    bool waitForEnd(int timeoutMs);
    bool wait(const QString &name, qint64 *ms);
};
]=])
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/check_test_support.cmake")

# The clean tree with one offending file added: refused, with the file and
# the line of the wait named.
function(_refused _case _file _line _text)
    set(_dir "${WORK_DIR}/offence")
    _write_tree("${_dir}")
    file(WRITE "${_dir}/${_file}" "${_text}")
    _check("${_dir}" _rc _out)
    if(_rc EQUAL 0)
        _fail("not caught: ${_case} (${_file})")
    elseif(NOT _out MATCHES "${_file}:${_line}:")
        _fail("caught, but without naming ${_file}:${_line}: ${_case}\n${_out}")
    endif()
endfunction()

_write_tree("${WORK_DIR}/clean")
_check("${WORK_DIR}/clean" _rc _out)
if(NOT _rc EQUAL 0)
    _fail("the clean tree was refused:\n${_out}")
endif()

_refused("QTRY_VERIFY without a timeout" "tests/tst_bad.cpp" 2 [=[
void f() {
    QTRY_VERIFY(window.isNull());
}
]=])
_refused("QTRY_COMPARE without a timeout, after a comment" "tests/tst_bad.cpp" 3 [=[
/* A comment
   of two lines. */ void f() {
    [&]() { QTRY_COMPARE(spy.count(), 1); }();
}
]=])
_refused("a fixed timeout" "tests/tst_bad.cpp" 1 [=[
QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000);
]=])
_refused("a fixed timeout on the next line" "tests/tst_bad.cpp" 2 [=[
void f() {
    QTRY_VERIFY_WITH_TIMEOUT(
        !(readers = testChildren(pid_t(host.processId()), "reader")).isEmpty(), 10000);
}
]=])
_refused("the patience in a comment only" "tests/tst_bad.cpp" 1 [=[
QVERIFY(process.waitForFinished(30000)); // testPatienceMs()
]=])
_refused("the patience in a literal only" "tests/tst_bad.cpp" 1 [=[
QTRY_VERIFY_WITH_TIMEOUT(text == "testPatienceMs()", 5000);
]=])
_refused("a process's default" "tests/tst_bad.cpp" 1 [=[
QVERIFY(host.waitForStarted());
]=])
_refused("no time at all" "tests/tst_bad.cpp" 1 [=[
QVERIFY(host->waitForReadyRead(-1));
]=])
_refused("a time from elsewhere" "tests/tst_bad.cpp" 1 [=[
CgiRun finish(QProcess &host, int timeoutMs) { host.waitForFinished(timeoutMs); }
]=])
_refused("a socket in the support" "tests/support/test_bad.cpp" 1 [=[
TestClient::TestClient() { m_socket.waitForConnected(5000); }
]=])
_refused("a signal spy's default" "tests/support/sub/test_bad.h" 1 [=[
inline bool arrived(QSignalSpy &spy) { return spy.wait(); }
]=])
_refused("a spy after a raw literal" "tests/tst_bad.cpp" 4 [=[
const char *script = R"js(
    wait(testPatienceMs());
)js";
bool ok = spy.wait(1000);
]=])
_refused("qWaitFor with its default" "tests/tst_bad.cpp" 1 [=[
if (!QTest::qWaitFor([&]() { return a; })) return;
]=])
_refused("qWaitFor with a fixed time" "tests/tst_bad.cpp" 1 [=[
if (!QTest::qWaitFor(compared, 10000)) shown << "none; (at all)";
]=])
_refused("a window's exposure" "tests/tst_bad.cpp" 1 [=[
QVERIFY(QTest::qWaitForWindowActive(m_f->window.get()));
]=])
_refused("a deadline" "tests/tst_bad.cpp" 1 [=[
const QDeadlineTimer deadline(120000);
]=])
_refused("an event loop ended by a timer" "tests/tst_bad.cpp" 2 [=[
QEventLoop loop;
QTimer::singleShot(5000, &loop, &QEventLoop::quit);
loop.exec();
]=])
_refused("a wait inside a scaled one" "tests/tst_bad.cpp" 1 [=[
QTRY_VERIFY_WITH_TIMEOUT(p.waitForFinished(100), testPatienceMs());
]=])
_refused("a wait too deep to read" "tests/tst_bad.cpp" 1 [=[
QTRY_VERIFY_WITH_TIMEOUT(a(b(c(d(e(f(g())))))), testPatienceMs());
]=])

file(REMOVE_RECURSE "${WORK_DIR}")
_report("check_waits.cmake")
message(STATUS "check_waits.cmake passes the clean tree and refuses each offence")
