#!/usr/bin/env bash
# Configures and builds into build/ (or $VORNAKEL_BUILD_DIR): everything, or
# only the targets named as arguments (with what they need). A warning in the
# project's own code fails the build; VORNAKEL_WERROR=OFF builds anyway.
# VORNAKEL_JOBS sets how many compilers run at once (all cores by default).
# VORNAKEL_SANITIZE=ON builds with AddressSanitizer and UBSan into build-asan/
# instead, where `ctest -LE bench` runs the suite under them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sanitize="${VORNAKEL_SANITIZE:-OFF}"
if [ "$sanitize" = ON ]; then
    build="${VORNAKEL_BUILD_DIR:-$root/build-asan}"
else
    build="${VORNAKEL_BUILD_DIR:-$root/build}"
fi
jobs="${VORNAKEL_JOBS:-$(nproc)}"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# Quiet when it works; the whole configure output when it does not.
if ! cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORNAKEL_WERROR="${VORNAKEL_WERROR:-ON}" -DVORNAKEL_SANITIZE="$sanitize" >"$log" 2>&1; then
    cat "$log" >&2
    echo "build.sh: configuring failed (above)" >&2
    exit 1
fi
if [ "$#" -gt 0 ]; then
    cmake --build "$build" -j "$jobs" --target "$@"
else
    cmake --build "$build" -j "$jobs"
fi
