#!/usr/bin/env bash
# Installs what is missing, builds the program with its modules and default
# database (not the tests and benchmarks), and starts Vornakel on them
# (build/Database/vornakel.db, build/Modules).
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/build.sh" Vornakel
build="$(cd "${VORNAKEL_BUILD_DIR:-$root/build}" && pwd)"
# HTML add-on module windows read their page libraries from "modules/QtScript/"
# below the current folder: start from the repository root wherever run.sh is called.
cd "$root"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under xvfb-run." >&2
    exec xvfb-run -a "$build/bin/Vornakel" "$@"
fi
exec "$build/bin/Vornakel" "$@"
