# Feeds check_layers.cmake small trees: the clean tree must pass, and the same
# tree with any one offending file added must fail, naming that file.
#   cmake -DCHECK=<check_layers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_test.cmake
if(NOT CHECK OR NOT WORK_DIR)
    message(FATAL_ERROR "check_layers_test.cmake: CHECK and WORK_DIR must be set")
endif()

# What a layer may hold: SQL in sql/, the main window in app/main.cpp, and
# windows whose texts use the words of SQL in sentences and comments.
function(_write_tree _dir)
    file(REMOVE_RECURSE "${_dir}")
    file(WRITE "${_dir}/gui/gui_clean.cpp" [=[
#include "gui/gui_clean.h"
#include "sql/sql_records.h"
// The records come from sql/: "select id from sample" is not written here.
/* Nor "INSERT INTO sample", nor "delete from sample where id = 1". */
void GuiClean::texts()
{
    setText(QStringLiteral("Please select source folder."));
    box(QStringLiteral("Update Completed"), QStringLiteral("Are you sure you wish to create a new record?"));
    run(QStringLiteral("delete window.facade;"), "http://help.test/index.php", '"');
    ask(QStringLiteral("Select one from the list"), QStringLiteral("Delete from database?"));
    show("A \"quoted\" word, and a backslash \\");
}
]=])
    file(WRITE "${_dir}/sql/sql_clean.cpp" [=[
#include "sql/sql_clean.h"
#include "app/app_log.h"
static const char *const statement = "SELECT id FROM sample WHERE name = :name";
]=])
    file(WRITE "${_dir}/xml/xml_clean.cpp" [=[
#include "xml/xml_clean.h"
#include <QDebug>
// #include "gui/gui_vornakel.h" was here once.
]=])
    file(WRITE "${_dir}/app/main.cpp" [=[
#include "gui/gui_vornakel.h"
]=])
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/check_test_support.cmake")

# The clean tree with one offending file added: refused, with the file named.
function(_refused _case _file _text)
    set(_dir "${WORK_DIR}/offence")
    _write_tree("${_dir}")
    file(WRITE "${_dir}/${_file}" "${_text}")
    _check("${_dir}" _rc _out)
    if(_rc EQUAL 0)
        _fail("not caught: ${_case} (${_file})")
    elseif(NOT _out MATCHES "${_file}")
        _fail("caught, but without naming ${_file}: ${_case}\n${_out}")
    endif()
endfunction()

_write_tree("${WORK_DIR}/clean")
_check("${WORK_DIR}/clean" _rc _out)
if(NOT _rc EQUAL 0)
    _fail("the clean tree was refused:\n${_out}")
endif()

_refused("lower-case select" "gui/gui_bad.cpp" [=[
void f() { query.exec(QStringLiteral("select id from sample where id = :id")); }
]=])
_refused("insert or replace" "gui/gui_bad.cpp" [=[
const char *text = "INSERT OR REPLACE INTO sample (id) VALUES (:id)";
]=])
_refused("replace into" "gui/gui_bad.cpp" [=[
const char *text = "Replace Into sample (id) VALUES (:id)";
]=])
_refused("adjacent literals" "gui/gui_bad.cpp" [=[
const char *text = "Select id, name"
                   "  From sample Where id = :id";
]=])
_refused("literals joined by +" "gui/gui_bad.cpp" [=[
const QString text = QString("select id ") + QStringLiteral("from sample");
]=])
_refused("quoted names" "gui/gui_bad.h" [=[
inline const char *text() { return "select \"id\" from \"sample\""; }
]=])
_refused("update" "gui/sub/gui_bad.cpp" [=[
const char *text = "update sample set name = :name";
]=])
_refused("delete" "gui/gui_bad.cpp" [=[
const char *text = "delete from sample where id = 1";
]=])
_refused("create table" "gui/gui_bad.cpp" [=[
const char *text = "create table sample (id integer)";
]=])
_refused("include by a relative path" "xml/xml_bad.cpp" [=[
#include "../gui/gui_vornakel.h"
]=])
_refused("include in capitals in a subfolder" "net/sub/net_bad.h" [=[
#  include <GUI/Gui_Vornakel.h>
]=])
_refused("form header" "sql/sql_bad.cpp" [=[
#include "ui_gui_vornakel.h"
]=])
_refused("bare name" "app/app_bad.cpp" [=[
#include "gui_vornakel.h"
]=])

file(REMOVE_RECURSE "${WORK_DIR}")
_report("check_layers.cmake")
message(STATUS "check_layers.cmake passes the clean tree and refuses each offence")
