# Fails when a file of sql/, xml/, net/ or app/ includes anything of gui/: the
# windows build on those layers, never the other way round. app/main.cpp is
# where the program is put together and may include the main window. Fails too
# when a window holds SQL text: records and reference data are read and written
# by sql/, where each statement sits beside the one function that runs it.
#   cmake -DSOURCE_DIR=<repository root> -P check_layers.cmake
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "check_layers.cmake: SOURCE_DIR is not set")
endif()

set(_offences "")
foreach(_layer sql xml net app)
    file(GLOB _files "${SOURCE_DIR}/${_layer}/*.cpp" "${SOURCE_DIR}/${_layer}/*.h")
    foreach(_file ${_files})
        if(_file STREQUAL "${SOURCE_DIR}/app/main.cpp")
            continue()
        endif()
        # A window's header by path, by bare name, or its form's generated header.
        file(STRINGS "${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](gui/|gui_|ui_gui_)")
        foreach(_line ${_includes})
            file(RELATIVE_PATH _name "${SOURCE_DIR}" "${_file}")
            string(STRIP "${_line}" _line)
            string(APPEND _offences "  ${_name}: ${_line}\n")
        endforeach()
    endforeach()
endforeach()

if(_offences)
    message(FATAL_ERROR "sql/, xml/, net/ or app/ include gui/:\n${_offences}")
endif()

# A string literal that opens with or holds a statement's keywords.
set(_statement "\"[^\"]*(SELECT |INSERT INTO|UPDATE [A-Za-z_]+ SET|DELETE FROM|CREATE TABLE|ALTER TABLE|DROP TABLE)")
file(GLOB _windows "${SOURCE_DIR}/gui/*.cpp" "${SOURCE_DIR}/gui/*.h")
foreach(_file ${_windows})
    file(STRINGS "${_file}" _lines REGEX "${_statement}")
    foreach(_line ${_lines})
        file(RELATIVE_PATH _name "${SOURCE_DIR}" "${_file}")
        string(STRIP "${_line}" _line)
        string(APPEND _offences "  ${_name}: ${_line}\n")
    endforeach()
endforeach()
if(_offences)
    message(FATAL_ERROR "SQL text in gui/ (it belongs in sql/):\n${_offences}")
endif()
message(STATUS "sql/, xml/, net/ and app/ include nothing of gui/, and gui/ holds no SQL text")
