#!/usr/bin/env bash
# Configures (the "default" preset) and builds into build/ (or $BUILD_DIR).
# Extra arguments go to the configure step. Jobs: $CMAKE_BUILD_PARALLEL_LEVEL,
# else one per core.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cd "$root"
cmake --preset default -B "$build" "$@" >/dev/null
cmake --build "$build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
