#!/usr/bin/env bash
# Runs a test program in a Wayland session of its own: mutter as a headless
# compositor on a 1280 x 800 virtual monitor, with its XWayland, on a private
# D-Bus session and in a private runtime folder (so it also runs as root). The
# program gets XDG_SESSION_TYPE=wayland, and from mutter WAYLAND_DISPLAY, DISPLAY
# and the XAUTHORITY file of its X display. Exits 77 (skipped) only when mutter
# cannot start here at all; otherwise with the program's exit code. A program
# that the test starts reveals the end of its batch on that private bus or, when
# no file manager answers there, through a stand-in xdg-open that opens nothing.
# shellcheck source-path=SCRIPTDIR
set -euo pipefail
. "$(dirname "$0")/../../tools/common.sh"
if (($# < 1)); then
  echo "usage: $0 test-program [arguments…]" >&2
  exit 2
fi
for tool in mutter Xwayland dbus-run-session; do
  if ! command -v "$tool" >/dev/null; then
    echo "with-mutter: $tool is not installed (tools/install-deps.sh installs it)" >&2
    exit 77
  fi
done

session=$(mktemp -d) # 0700, as a runtime folder must be
trap 'rm -rf "$session"' EXIT
mkdir "$session/runtime" "$session/home"
chmod 700 "$session/runtime"
qmk_recording_reveal "$session"

# X servers put their sockets here. Where it does not exist yet, mutter makes it
# itself under the umask and then refuses it as not writable by all; make it as
# the system would (world-writable and sticky).
x11=/tmp/.X11-unix
if [ ! -d "$x11" ]; then
  mkdir -m 1777 "$x11" 2>/dev/null || true
elif [ -O "$x11" ] && [ "$(stat -c %a "$x11")" != 1777 ]; then
  chmod 1777 "$x11" || true
fi

# mutter runs the command once the session is up, with the session's display
# variables, and ends when the command ends; it does not pass its exit code on,
# so the command writes it down, and its output, shown once mutter has ended.
# A session that hangs is ended after 200 s.
# The inner script's variables are the inner shell's, so they stay in single quotes.
# shellcheck disable=SC2016
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY -u XAUTHORITY -u DBUS_SESSION_BUS_ADDRESS \
  XDG_RUNTIME_DIR="$session/runtime" HOME="$session/home" XDG_SESSION_TYPE=wayland \
  dbus-run-session -- \
  timeout -k 10 200 mutter --wayland --headless --virtual-monitor 1280x800 -- \
  bash -c '
    out=$1
    shift
    rc=0
    "$@" >"$out.log" 2>&1 || rc=$?
    echo "$rc" >"$out.rc"
  ' with-mutter "$session/test" "$@" >"$session/mutter.log" 2>&1 || true

if [ ! -s "$session/test.rc" ]; then
  echo "with-mutter: mutter did not start a session here; its last words:" >&2
  tail -n 20 "$session/mutter.log" >&2
  exit 77
fi
cat "$session/test.log"
rc=$(cat "$session/test.rc")
if [ "$rc" != 0 ]; then
  echo "with-mutter: the session's last words:" >&2
  tail -n 20 "$session/mutter.log" >&2
fi
exit "$rc"
