#!/usr/bin/env bash
# Configures (the "default" preset) and builds into build/ (or $BUILD_DIR).
# Extra arguments go to the configure step. Jobs: $CMAKE_BUILD_PARALLEL_LEVEL,
# else one per core.
#
# With --program first, builds the program alone. A build folder that does not
# exist yet is configured without the tests and the benchmarks, so that their
# packages need not be there; one configured before keeps what it has, so that
# the tests built there stay. The default preset turns them on again, as the
# plain build.sh does.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cd "$root"
if [ "${1:-}" != --program ]; then
  cmake --preset default -B "$build" "$@" >/dev/null
  cmake --build "$build" --parallel "$jobs"
  exit
fi
shift
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "$@" >/dev/null
else
  cmake --preset default -B "$build" -DQMK_BUILD_TESTS=OFF -DQMK_BUILD_BENCHMARKS=OFF "$@" >/dev/null
fi
cmake --build "$build" --parallel "$jobs" --target quillmark-pro-converter
