#!/usr/bin/env bash
# Builds the library and runs the meshing example on its built-in surfaces.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
cmake --build build --target mesh_example
build/examples/mesh_example "$@"
