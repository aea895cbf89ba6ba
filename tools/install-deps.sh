#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, as root, without prompts.
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth openbox dbus x11-utils xdg-utils imagemagick clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
