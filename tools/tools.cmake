# The default database: a new file made by the program's own schema creation, then
# filled with the shipped reference data. Made again when the CSV files change or the
# tool (and with it the library's schema and loader) is rebuilt.
if(TARGET tool_refdata)
    set(_refdata_dir ${CMAKE_SOURCE_DIR}/tools/refdata)
    file(GLOB _refdata_csv CONFIGURE_DEPENDS ${_refdata_dir}/*.csv)
    set(_default_db ${CMAKE_BINARY_DIR}/Database/vornakel.db)
    add_custom_command(OUTPUT ${_default_db}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/Database
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:tool_refdata> ${_default_db} ${_refdata_dir}
        DEPENDS tool_refdata ${_refdata_csv}
        COMMENT "Making the default database with the reference data"
        VERBATIM)
    add_custom_target(vornakel_default_database ALL DEPENDS ${_default_db})
    add_dependencies(Vornakel vornakel_default_database)
endif()
