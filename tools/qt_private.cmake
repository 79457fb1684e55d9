# The watch on a script call (app/app_scriptwatch.cpp) stands in for the
# thread's event dispatcher while the call runs, which it can only do through
# Qt's private thread data (QThreadData, reached through QObjectPrivate). That
# data is no interface: its layout and meaning may change from one Qt release
# to the next, and a program built against another layout misbehaves at run
# time without a word at build time. So the configure step takes only the Qt
# series the watch was written and tested against, and says so otherwise.
set(VORNAKEL_QT_PRIVATE_VERIFIED 5.15)

# Fails the configure step unless `version` (Qt5Core_VERSION) belongs to a
# verified series and Qt's private headers of QtCore are installed
# (`have_private` true when the target Qt5::CorePrivate exists).
function(vornakel_require_qt_private version have_private)
    set(_verified FALSE)
    foreach(_series ${VORNAKEL_QT_PRIVATE_VERIFIED})
        string(REPLACE "." "\\." _pattern "${_series}")
        if(version MATCHES "^${_pattern}(\\.|$)")
            set(_verified TRUE)
        endif()
    endforeach()
    string(REPLACE ";" ".x, " _series "${VORNAKEL_QT_PRIVATE_VERIFIED}")
    if(NOT _verified)
        message(FATAL_ERROR
            "Qt ${version} was found, but Vornakel builds only with Qt ${_series}.x: the watch on script calls "
            "(app/app_scriptwatch.cpp) uses Qt's private thread data, which may differ in another Qt release. "
            "Build against Qt ${_series}.x (Debian bookworm: qtbase5-dev and qtbase5-private-dev), or check that "
            "file against this Qt's private headers and add its series to VORNAKEL_QT_PRIVATE_VERIFIED in "
            "tools/qt_private.cmake.")
    endif()
    if(NOT have_private)
        message(FATAL_ERROR
            "Qt's private headers of QtCore ${version} are missing: the watch on script calls "
            "(app/app_scriptwatch.cpp) needs them (Debian: qtbase5-private-dev, of the same version as "
            "qtbase5-dev; tools/install-deps.sh installs it).")
    endif()
endfunction()
