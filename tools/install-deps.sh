#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, as root,
# without prompts; with --program, only what building and running the program
# need (tools/run.sh). Installs only what is missing; once it has run in full,
# scripts started from the same shell (QMK_DEPS_READY=1) skip it.
set -euo pipefail
if [ "${QMK_DEPS_READY:-}" = 1 ]; then
  exit 0
fi
# The build, the program's Qt, the virtual display with its screenshot, and the
# reveal's xdg-open.
packages=(cmake make g++ pkg-config qt6-base-dev xvfb xauth imagemagick xdg-utils)
if [ "${1:-}" != --program ]; then
  # The tests, the benchmarks, the desktops they run under, and CI's fuzzing
  # and script checks.
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev dbus x11-utils clang libclang-rt-14-dev
             openbox desktop-file-utils shellcheck mutter xwayland qt6-wayland)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: not run as root, so these packages cannot be installed: ${missing[*]}" >&2
  echo "install-deps: run it as root (sudo $0), or install them with apt-get." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Waits for another apt or dpkg run to finish rather than failing at once.
apt=(apt-get -q -o DPkg::Lock::Timeout=600)
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
