# cmake -DFROM=<file> -DTO=<file> -P copy_if_absent.cmake
# Copies FROM to TO only when TO does not exist yet: the program saves its
# records into the default database, so a rebuild must never replace it.
if(NOT EXISTS "${TO}")
    get_filename_component(_dir "${TO}" DIRECTORY)
    get_filename_component(_name "${TO}" NAME)
    get_filename_component(_fromName "${FROM}" NAME)
    if(NOT _name STREQUAL _fromName)
        message(FATAL_ERROR "copy_if_absent: ${FROM} and ${TO} must share their file name")
    endif()
    file(MAKE_DIRECTORY "${_dir}")
    file(COPY "${FROM}" DESTINATION "${_dir}")
    message(STATUS "Default database: ${TO}")
endif()
