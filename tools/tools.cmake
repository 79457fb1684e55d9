# The default database: a new file made by the program's own schema creation, then
# filled with the shipped reference data. The freshly made file is a build product,
# made again when the CSV files change or the tool (and with it the library's schema
# and loader) is rebuilt; Database/vornakel.db is copied from it only when it does not
# exist yet, since the program saves its records there.
if(TARGET tool_refdata)
    set(_refdata_dir ${CMAKE_SOURCE_DIR}/tools/refdata)
    file(GLOB _refdata_csv CONFIGURE_DEPENDS ${_refdata_dir}/*.csv)
    set(_fresh_db ${CMAKE_BINARY_DIR}/refdata/vornakel.db)
    set(_default_db ${CMAKE_BINARY_DIR}/Database/vornakel.db)
    add_custom_command(OUTPUT ${_fresh_db}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/refdata
        COMMAND ${CMAKE_COMMAND} -E env ${VORNAKEL_SANITIZER_ENVIRONMENT} $<TARGET_FILE:tool_refdata> ${_fresh_db}
                ${_refdata_dir}
        DEPENDS tool_refdata ${_refdata_csv}
        COMMENT "Making the reference database"
        VERBATIM)
    add_custom_target(vornakel_default_database ALL
        COMMAND ${CMAKE_COMMAND} -DFROM=${_fresh_db} -DTO=${_default_db} -P ${CMAKE_CURRENT_SOURCE_DIR}/copy_if_absent.cmake
        DEPENDS ${_fresh_db}
        VERBATIM)
    add_dependencies(Vornakel vornakel_default_database)
endif()
