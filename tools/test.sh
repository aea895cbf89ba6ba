#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Jobs:
# $CTEST_PARALLEL_LEVEL, else one per core.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
ctest --test-dir "$build" --output-on-failure --parallel "${CTEST_PARALLEL_LEVEL:-$(nproc)}"
