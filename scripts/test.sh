#!/usr/bin/env bash
# Builds the library and its tests, then runs every test.
# Usage: scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@"
cmake --build "$build_dir"
jobs=$(nproc)
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 900
