# Runs vornakel_require_qt_private (qt_private.cmake) on versions of Qt and
# the presence of its private headers: a verified series passes, any other
# release or missing headers fail with a message that says why.
#   cmake -DCHECK=<qt_private.cmake> -DWORK_DIR=<scratch folder> -P qt_private_test.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT CHECK OR NOT WORK_DIR)
    message(FATAL_ERROR "qt_private_test.cmake: CHECK and WORK_DIR must be set")
endif()
file(MAKE_DIRECTORY "${WORK_DIR}")
include("${CMAKE_CURRENT_LIST_DIR}/check_test_support.cmake")

# `expected`: the text the failure must hold, or empty when it must pass.
function(_case version have_private expected)
    set(_probe "${WORK_DIR}/probe.cmake")
    file(WRITE "${_probe}" "include(\"${CHECK}\")\nvornakel_require_qt_private(\"${version}\" ${have_private})\n")
    execute_process(COMMAND "${CMAKE_COMMAND}" -P "${_probe}"
        RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
    string(REGEX REPLACE "[ \t\r\n]+" " " _said "${_out}${_err}")
    if(expected STREQUAL "")
        if(NOT _rc EQUAL 0)
            _fail("refused ${version}: ${_said}")
        endif()
    elseif(_rc EQUAL 0)
        _fail("taken: ${version} ${have_private}")
    elseif(NOT _said MATCHES "${expected}")
        _fail("refused ${version} ${have_private}, but without \"${expected}\": ${_said}")
    endif()
endfunction()

_case(5.15.8 TRUE "")
_case(5.15.2 TRUE "")
_case(5.15 TRUE "")
_case(5.14.2 TRUE "Qt 5.14.2 was found, but Vornakel builds only with Qt 5.15.x")
_case(5.12.8 TRUE "private thread data")
_case(5.16.0 TRUE "Qt 5.16.0 was found")
_case(5.150.1 TRUE "Qt 5.150.1 was found")
_case(6.5.0 TRUE "Qt 6.5.0 was found")
_case(5.15.8 FALSE "private headers of QtCore 5.15.8 are missing.*qtbase5-private-dev")

file(REMOVE_RECURSE "${WORK_DIR}")
_report("qt_private.cmake")
message(STATUS "qt_private.cmake takes Qt 5.15.x with its private headers, and refuses the rest")
