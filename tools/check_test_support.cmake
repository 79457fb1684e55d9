# What the tests of the tools' CMake checks (*_test.cmake) share: a source
# check run on a tree of files written for the case, and the failures gathered
# to be told together at the end.

function(_check _dir _result _output)
    execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${_dir} -P "${CHECK}"
        RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
    set(${_result} ${_rc} PARENT_SCOPE)
    set(${_output} "${_out}${_err}" PARENT_SCOPE)
endfunction()

function(_fail _text)
    set_property(GLOBAL APPEND_STRING PROPERTY check_failures "${_text}\n")
endfunction()

# Ends the test, naming every failure, where there were any.
function(_report _name)
    get_property(_failures GLOBAL PROPERTY check_failures)
    if(_failures)
        message(FATAL_ERROR "${_name}:\n${_failures}")
    endif()
endfunction()
