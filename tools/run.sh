#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
exe="$build/bin/quillmark-pro-converter"
[ -x "$exe" ] || exe="$build/app/quillmark-pro-converter"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$exe" "$@"
fi
exec "$exe" "$@"
