#!/usr/bin/env bash
# Configures and builds into build/ (or $VORNAKEL_BUILD_DIR): everything, or
# only the targets named as arguments (with what they need). A warning in the
# project's own code fails the build; VORNAKEL_WERROR=OFF builds anyway.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VORNAKEL_BUILD_DIR:-$root/build}"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# Quiet when it works; the whole configure output when it does not.
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORNAKEL_WERROR="${VORNAKEL_WERROR:-ON}" >"$log" 2>&1; then
    cat "$log" >&2
    echo "build.sh: configuring failed (above)" >&2
    exit 1
fi
if [ "$#" -gt 0 ]; then
    cmake --build "$build" -j "$(nproc)" --target "$@"
else
    cmake --build "$build" -j "$(nproc)"
fi
