#!/usr/bin/env bash
# Runs a test program on a virtual display of its own, with openbox managing the
# windows: frames, focus, Alt+F4 and close requests are the desktop's, not Qt's.
# The screen is 1440 x 877, so window placement can be checked against fixed numbers;
# QMK_SCREEN_SIZE (such as 1024x768) gives another. A program that the test starts
# reveals the end of its batch through a stand-in that opens no file manager.
# shellcheck source-path=SCRIPTDIR
set -euo pipefail
. "$(dirname "$0")/../../tools/common.sh"
size=${QMK_SCREEN_SIZE:-1440x877}
if [[ ! $size =~ ^[0-9]+x[0-9]+$ ]]; then
  echo "$0: QMK_SCREEN_SIZE must be WIDTHxHEIGHT, not '$size'" >&2
  exit 2
fi
if (($# < 1)); then
  echo "usage: $0 test-program [arguments…]" >&2
  exit 2
fi
reveal=$(mktemp -d)
remove_reveal() { rm -rf "$reveal"; }
qmk_on_exit remove_reveal
qmk_recording_reveal "$reveal"
# The inner script's variables are the inner shell's, so they stay in single quotes.
# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" bash -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  # Ready once it has claimed the screen (at most 20 s).
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
    echo "openbox did not start" >&2
    kill "$wm" 2>/dev/null || true
    exit 1
  fi
  rc=0
  QT_QPA_PLATFORM=xcb "$@" || rc=$?
  kill "$wm" 2>/dev/null || true
  wait "$wm" 2>/dev/null || true
  exit "$rc"
' with-openbox "$@"
