#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test headless;
# the benchmarks (label "bench") are left out: `ctest -L bench -V` runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/tools/install-deps.sh" --tests
"$root/tools/build.sh"
build="${VORNAKEL_BUILD_DIR:-$root/build}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" -LE bench
