#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test headless;
# the benchmarks (label "bench") are left out: `ctest -L bench -V` runs them.
# VORNAKEL_JOBS sets how many compilers, and then how many tests, run at once
# (all cores by default).
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/install-deps.sh" --tests
"$root/tools/build.sh"
build="${VORNAKEL_BUILD_DIR:-$root/build}"
jobs="${VORNAKEL_JOBS:-$(nproc)}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" -LE bench
