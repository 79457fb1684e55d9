#!/usr/bin/env bash
# Installs the Debian packages the build and the program need (with Qt's
# private headers, for the thread's event dispatcher, which the watch on a
# script call stands in for while the call runs; with the Qt
# SQL drivers the program loads for MySQL and ODBC, the headers of the SQLite
# library under the Qt driver, the ODBC driver that
# reads the older generation's database files, and the headers of the
# MDBTools library under it, through which the reader of those files reads
# their table definitions), and with --tests also what
# only the tests use: the MariaDB server binaries (mariadb-install-db needs
# my_print_defaults from the client package), an ODBC driver manager with an
# SQLite driver, and a small Access file taken from a Debian package
# (tests/fetched/Monitor.mdb). No database service is set up or started.
# Touches apt only when something is missing.
set -euo pipefail
packages=(qtbase5-dev qtbase5-private-dev qtscript5-dev libqt5webkit5-dev qttools5-dev qttools5-dev-tools libqwt-qt5-dev
          libqt5sql5-sqlite libsqlite3-dev libqt5sql5-mysql libqt5sql5-odbc libqt5svg5-dev xvfb xauth fonts-dejavu-core
          unixodbc-dev odbc-mdbtools mdbtools-dev pkg-config cmake g++ make)
if [ "${1:-}" = "--tests" ]; then
    packages+=(mariadb-server-core mariadb-client-core unixodbc libsqliteodbc)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    # env, not a plain assignment: sudo drops the caller's environment.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The tests read a real Access file through the ODBC driver: the one example
# database that mrtg-contrib ships, unpacked from the package without installing it.
if [ "${1:-}" = "--tests" ]; then
    root="$(cd "$(dirname "$0")/.." && pwd)"
    fixture="$root/tests/fetched/Monitor.mdb"
    if [ ! -s "$fixture" ]; then
        work="$(mktemp -d)"
        trap 'rm -rf "$work"' EXIT
        # apt-get download reads the package lists; a new machine may have none yet.
        if ! (cd "$work" && apt-get download mrtg-contrib); then
            sudo=""
            [ "$(id -u)" -ne 0 ] && sudo="sudo"
            $sudo apt-get update
            (cd "$work" && apt-get download mrtg-contrib)
        fi
        member=./usr/share/doc/mrtg-contrib/examples/contrib/monitor/Monitor.mdb
        dpkg-deb --fsys-tarfile "$work"/mrtg-contrib_*.deb | tar -x -C "$work" "$member"
        mkdir -p "$(dirname "$fixture")"
        cp "$work/$member" "$fixture"
        echo "Unpacked $fixture"
    fi
fi
