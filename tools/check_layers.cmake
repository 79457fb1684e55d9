# Fails when a file of sql/, xml/, net/ or app/ includes anything of gui/: the
# windows build on those layers, never the other way round. app/main.cpp is
# where the program is put together and may include the main window. Fails too
# when a window holds SQL text: records and reference data are read and written
# by sql/, where each statement sits beside the one function that runs it.
#   cmake -DSOURCE_DIR=<repository root> -P check_layers.cmake
#
# Letter case does not matter to SQL, so neither does it here. Comments are
# left out, a statement split over adjacent string literals is read joined, and
# so is each literal with the next one ("select id " + QString("from sample")).
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "check_layers.cmake: SOURCE_DIR is not set")
endif()

set(_suffixes cpp h hpp hxx cc cxx c inl ipp)

# Every source file below a layer's folder, subfolders included.
function(_sources _layer _out)
    set(_globs "")
    foreach(_suffix ${_suffixes})
        list(APPEND _globs "${SOURCE_DIR}/${_layer}/*.${_suffix}")
    endforeach()
    file(GLOB_RECURSE _files ${_globs})
    list(SORT _files)
    set(${_out} ${_files} PARENT_SCOPE)
endfunction()

# The file's include lines and string literals, in order, comments left out;
# adjacent literals come as one. Characters that CMake lists would take apart
# (";", "[", "]") are replaced; escaped quotes and backslashes no longer end a
# literal.
function(_tokens _file _out)
    file(READ "${_file}" _text)
    string(REPLACE ";" "," _text "${_text}")
    string(REPLACE "[" "(" _text "${_text}")
    string(REPLACE "]" ")" _text "${_text}")
    string(REPLACE "\\\\" "  " _text "${_text}")
    string(REPLACE "\\\"" "'" _text "${_text}")
    string(REPLACE "'\"'" "'q'" _text "${_text}")
    # A line continuation inside a literal joins its lines.
    string(REPLACE "\\\n" "" _text "${_text}")
    # Whatever starts first wins: a literal keeps a "//" inside it, a comment
    # swallows the quotes and includes inside it.
    string(REGEX MATCHALL
        "#[ \t]*include[ \t]*[<\"][^\">\n]*[\">]|\"[^\"\n]*\"([ \t\r\n]*\"[^\"\n]*\")*|//[^\n]*|/\\*([^*]|\\*+[^*/])*\\*+/"
        _all "${_text}")
    set(_kept "")
    foreach(_token ${_all})
        if(_token MATCHES "^[#\"]")
            list(APPEND _kept "${_token}")
        endif()
    endforeach()
    set(${_out} ${_kept} PARENT_SCOPE)
endfunction()

set(_offences "")
foreach(_layer sql xml net app)
    _sources(${_layer} _files)
    foreach(_file ${_files})
        if(_file STREQUAL "${SOURCE_DIR}/app/main.cpp")
            continue()
        endif()
        _tokens("${_file}" _includes)
        # A window's header by any path (gui/x.h, ../gui/x.h), by bare name, or its form's generated header.
        foreach(_line ${_includes})
            string(TOLOWER "${_line}" _line)
            if(_line MATCHES "^#[ \t]*include[ \t]*[<\"]([^\">]*/)?(gui/|gui_|ui_gui_)")
                file(RELATIVE_PATH _name "${SOURCE_DIR}" "${_file}")
                string(APPEND _offences "  ${_name}: ${_line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(_offences)
    message(FATAL_ERROR "sql/, xml/, net/ or app/ include gui/:\n${_offences}")
endif()

# The keywords of a statement, matched against the text in lower case.
set(_s "[ \t\r\n]")
set(_name "[a-z_'`(][a-z0-9_.'`()*]*")
# What follows "from": a table, an alias after "as" or before a clause, and
# then the end of the text or a clause; "from the list" in a sentence is none.
set(_clause "(where|order|group|join|inner|left|cross|natural|on|limit|union|having)([^a-z0-9_]|$)")
set(_table "${_name}(${_s}+as${_s}+[a-z0-9_]+)?(${_s}*$|${_s}*[,)]|${_s}+[a-z0-9_]+${_s}+${_clause}|${_s}+${_clause})")
set(_statements
    "select${_s}+(.*${_s})?from${_s}+${_table}"
    "insert${_s}+(or${_s}+[a-z]+${_s}+)?into${_s}"
    "replace${_s}+into${_s}"
    "update${_s}+(or${_s}+[a-z]+${_s}+)?${_name}${_s}+set${_s}"
    "delete${_s}+from${_s}+${_table}"
    "(create|drop)${_s}+(temp${_s}+|temporary${_s}+|unique${_s}+|virtual${_s}+)?(table|index|view|trigger)${_s}"
    "alter${_s}+table${_s}"
    "pragma${_s}+[a-z_.]+${_s}*(=|\\(|$)")
# As written: a literal that holds a statement's opening in capitals, such as
# "SELECT " ahead of columns that are added to it.
set(_capitals "(SELECT |INSERT |REPLACE |UPDATE [A-Za-z_]+ SET|DELETE FROM|CREATE |ALTER TABLE|DROP |PRAGMA )")

_sources(gui _windows)
foreach(_file ${_windows})
    _tokens("${_file}" _literals)
    list(FILTER _literals INCLUDE REGEX "^\"")
    set(_previous "")
    foreach(_literal ${_literals})
        # Adjacent literals read as one, as the compiler joins them.
        string(REGEX REPLACE "\"[ \t\r\n]*\"" "" _literal "${_literal}")
        string(REGEX REPLACE "^\"(.*)\"$" "\\1" _literal "${_literal}")
        # The literal alone, else joined to the one before it.
        set(_found "")
        foreach(_candidate "${_literal}" "${_previous} ${_literal}")
            string(TOLOWER "${_candidate}" _lower)
            set(_hit FALSE)
            if(_candidate MATCHES "${_capitals}")
                set(_hit TRUE)
            endif()
            foreach(_statement ${_statements})
                if(_lower MATCHES "${_statement}")
                    set(_hit TRUE)
                endif()
            endforeach()
            if(_hit)
                string(STRIP "${_candidate}" _found)
                break()
            endif()
        endforeach()
        if(_found)
            file(RELATIVE_PATH _name "${SOURCE_DIR}" "${_file}")
            string(APPEND _offences "  ${_name}: \"${_found}\"\n")
        endif()
        set(_previous "${_literal}")
    endforeach()
endforeach()
if(_offences)
    message(FATAL_ERROR "SQL text in gui/ (it belongs in sql/):\n${_offences}")
endif()
message(STATUS "sql/, xml/, net/ and app/ include nothing of gui/, and gui/ holds no SQL text")
