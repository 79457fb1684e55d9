# Fails when a test waits for something with a time that does not grow with
# the machine's slowness: a QTRY_ wait without a timeout (QtTest's fixed 5 s),
# or a timeout of a QTRY_ wait, of QtTest's qWaitFor*, of a process's, a
# socket's or a signal spy's waitFor*/wait, of a QDeadlineTimer, or of a
# timer's single shot (QTimer::singleShot, as an event loop's end), that names
# neither testPatienceMs() nor testSlowdown() (tests/support/test_environment.h).
# Such a wait gives up on a busy machine, or under the sanitizers, which run
# ten times slower, though nothing is wrong. The time is written at the wait
# itself: a number or a name from elsewhere counts as unscaled. Two forms need
# no time there: the test support's TestMessageClient::waitForAnswers, which
# waits in whole patiences, and a wait for what remains of a deadline
# (remainingTime()), which is checked where it is made. A pause (QTest::qWait,
# a sleep) waits for nothing, and is not looked at.
#   cmake -DSOURCE_DIR=<repository root> -P check_waits.cmake
#
# Comments are left out and string literals emptied, so that neither a note
# about a wait nor a script's text is taken for one.
cmake_minimum_required(VERSION 3.16)
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "check_waits.cmake: SOURCE_DIR is not set")
endif()

file(GLOB_RECURSE _files "${SOURCE_DIR}/tests/*.cpp" "${SOURCE_DIR}/tests/*.h")
list(SORT _files)

# Characters that would take a CMake list apart stand in for themselves as
# control characters while the text is cut into tokens.
string(ASCII 31 _semicolon)
string(ASCII 28 _open)
string(ASCII 29 _close)

# The file's code with its comments left out (their line breaks kept) and its
# string and character literals emptied.
function(_code _file _out)
    file(READ "${_file}" _text)
    string(REPLACE ";" "${_semicolon}" _text "${_text}")
    string(REPLACE "[" "${_open}" _text "${_text}")
    string(REPLACE "]" "${_close}" _text "${_text}")
    # Raw string literals, R"delimiter( ... )delimiter", may hold anything.
    set(_kept "")
    while(TRUE)
        string(REGEX MATCH "(^|[^A-Za-z0-9_])R\"([A-Za-z0-9_]*)\\(" _raw "${_text}")
        if(NOT _raw)
            break()
        endif()
        set(_delimiter "${CMAKE_MATCH_2}")
        string(FIND "${_text}" "${_raw}" _at)
        string(LENGTH "${_raw}" _length)
        math(EXPR _body "${_at} + ${_length}")
        string(SUBSTRING "${_text}" 0 ${_at} _before)
        string(SUBSTRING "${_text}" ${_body} -1 _rest)
        string(FIND "${_rest}" ")${_delimiter}\"" _end)
        if(_end EQUAL -1)
            set(_rest "")
            set(_inside "")
        else()
            string(SUBSTRING "${_rest}" 0 ${_end} _inside)
            string(LENGTH ")${_delimiter}\"" _length)
            math(EXPR _end "${_end} + ${_length}")
            string(SUBSTRING "${_rest}" ${_end} -1 _rest)
        endif()
        string(REGEX REPLACE "[^\n]" "" _breaks "${_inside}")
        string(APPEND _kept "${_before} \"\"${_breaks}")
        set(_text "${_rest}")
    endwhile()
    string(APPEND _kept "${_text}")
    # An escaped backslash or quote ends no literal.
    string(REPLACE "\\\\" "  " _text "${_kept}")
    string(REPLACE "\\\"" "  " _text "${_text}")
    string(REPLACE "\\'" "  " _text "${_text}")
    # Whatever starts first wins: a literal keeps a "//" inside it, a comment
    # swallows the quotes inside it.
    string(REGEX MATCHALL "\"[^\"\n]*\"|'[^'\n]*'|//[^\n]*|/\\*([^*]|\\*+[^*/])*\\*+/|[^\"'/]+|[\"'/]"
        _tokens "${_text}")
    set(_code "")
    foreach(_token IN LISTS _tokens)
        if(_token MATCHES "^[\"']..*[\"']$")
            string(APPEND _code "\"\"")
        elseif(_token MATCHES "^/[/*]")
            string(REGEX REPLACE "[^\n]" "" _breaks "${_token}")
            string(APPEND _code " ${_breaks}")
        else()
            string(APPEND _code "${_token}")
        endif()
    endforeach()
    set(${_out} "${_code}" PARENT_SCOPE)
endfunction()

# A call's parentheses, nested up to five deep.
set(_args "[^()]*")
foreach(_depth RANGE 1 4)
    set(_args "([^()]|\\(${_args}\\))*")
endforeach()
set(_s "[ \t\r\n]")
set(_name "QTRY_[A-Z0-9_]+|waitFor[A-Za-z0-9_]*|qWaitFor[A-Za-z0-9_]*|wait|singleShot|QDeadlineTimer${_s}*[A-Za-z_][A-Za-z0-9_]*|QDeadlineTimer")
set(_wait "[^A-Za-z0-9_](${_name})${_s}*\\(${_args}\\)")
# What the names reach too deep a nesting: read as a wait whose time cannot be found.
set(_bare "[^A-Za-z0-9_](${_name})${_s}*\\(")
set(_scaled "testPatienceMs${_s}*\\(${_s}*\\)|testSlowdown${_s}*\\(${_s}*\\)|\\.remainingTime${_s}*\\(${_s}*\\)")

set(_offences "")
foreach(_file ${_files})
    _code("${_file}" _text)
    file(RELATIVE_PATH _path "${SOURCE_DIR}" "${_file}")
    set(_rest " ${_text}")
    set(_line 1)
    while(TRUE)
        string(REGEX MATCH "${_bare}" _start "${_rest}")
        if(NOT _start)
            break()
        endif()
        string(FIND "${_rest}" "${_start}" _at)
        string(SUBSTRING "${_rest}" 0 ${_at} _before)
        string(REGEX REPLACE "[^\n]" "" _breaks "${_before}")
        string(LENGTH "${_breaks}" _count)
        math(EXPR _line "${_line} + ${_count}")
        string(SUBSTRING "${_rest}" ${_at} -1 _rest)
        string(REGEX MATCH "^${_wait}" _call "${_rest}")
        string(REGEX MATCH "^${_bare}" _start "${_rest}")
        string(REGEX MATCH "[A-Za-z_][A-Za-z0-9_]*" _callee "${CMAKE_MATCH_1}")
        set(_why "")
        if(_call)
            string(SUBSTRING "${_call}" 1 -1 _shown)
            string(REGEX REPLACE "${_s}+" " " _shown "${_shown}")
            string(STRIP "${_shown}" _shown)
            string(REPLACE "${_semicolon}" ";" _shown "${_shown}")
            string(REPLACE "${_open}" "[" _shown "${_shown}")
            string(REPLACE "${_close}" "]" _shown "${_shown}")
        endif()
        if(NOT _call)
            set(_why "a wait whose time could not be read")
            set(_shown "${_callee}(...")
        elseif(_callee MATCHES "^QTRY_" AND NOT _callee MATCHES "_WITH_TIMEOUT$")
            set(_why "QtTest's own 5 s; TEST_TRY_VERIFY or TEST_TRY_COMPARE wait with the patience")
        elseif(_callee STREQUAL "waitForAnswers")
            # The test support's client waits in whole patiences.
        elseif(_callee STREQUAL "singleShot" AND _call MATCHES "^.singleShot${_s}*\\(${_s}*0${_s}*,")
            # At the next turn of the event loop: no time.
        elseif(_call MATCHES "^.${_s}*(QDeadlineTimer${_s}*)?${_callee}${_s}*\\(${_s}*(const${_s}+)?[A-Za-z_][A-Za-z0-9_:<>]*([ \t\r\n&*]+)[A-Za-z_][A-Za-z0-9_]*${_s}*[,)=]")
            # A declaration: its parameters are no time.
        elseif(NOT _call MATCHES "${_scaled}")
            set(_why "a time that is not scaled: testPatienceMs() or a time times testSlowdown()")
        endif()
        if(_why)
            string(APPEND _offences "  ${_path}:${_line}: ${_shown}: ${_why}\n")
        endif()
        # On past the name, so that a wait inside another's parentheses is read too.
        string(LENGTH "${_start}" _length)
        string(SUBSTRING "${_rest}" ${_length} -1 _rest)
        string(REGEX REPLACE "[^\n]" "" _breaks "${_start}")
        string(LENGTH "${_breaks}" _count)
        math(EXPR _line "${_line} + ${_count}")
    endwhile()
endforeach()
if(_offences)
    message(FATAL_ERROR "Waits in tests/ that do not scale with the machine "
        "(tests/support/test_environment.h):\n${_offences}")
endif()
message(STATUS "every wait in tests/ takes the patience or a time scaled by the slowdown")
