# Fails when a file of sql/, xml/, net/ or app/ includes anything of gui/: the
# windows build on those layers, never the other way round. app/main.cpp is
# where the program is put together and may include the main window.
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
message(STATUS "sql/, xml/, net/ and app/ include nothing of gui/")
