#!/usr/bin/env bash
# Installs the build into a scratch folder (DESTDIR), as a packager would, and
# checks what a user gets: the program on the PATH, a desktop entry that
# validates, with its icon where the desktop looks, and a program that starts
# on a virtual display, finds its animation, converts a bundled example and
# asks xdg-open (a stand-in that opens nothing) to show the example's folder.
#   check-install.sh BUILD_DIR CONFIG PREFIX BINDIR DATADIR APPDIR
# With QMK_INSTALL_SCREENSHOT set, a screenshot of the installed program while
# it converts is saved there. $CMAKE names the cmake to install with.
# shellcheck source-path=SCRIPTDIR/../../tools
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/common.sh"
name=quillmark-pro-converter

fail() {
  echo "install: $*" >&2
  exit 1
}

pid=""
work=""
runtime=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  if [ -n "$runtime" ]; then rm -rf "$runtime"; fi
  if [ -n "$work" ]; then rm -rf "$work"; fi
}
qmk_on_exit cleanup

# Second stage, on the virtual display: the installed program, started by its
# name on the PATH, on a copy of the Plus / X example.
if [ "${1:-}" = --on-display ]; then
  folder=$2 resources=$3
  gif=$(readlink -f "$resources/convert-animation.gif")
  qmk_private_runtime "${TMPDIR:-/tmp}"
  runtime=$XDG_RUNTIME_DIR
  qmk_recording_reveal "$runtime"
  (cd "$folder" && exec "$name" "$folder/plus-x.qmkx") &
  pid=$!
  # The program keeps its animation open while it plays it.
  deadline=$((SECONDS + 60)) found=0
  while ((SECONDS < deadline && !found)) && kill -0 "$pid" 2>/dev/null; do
    for fd in /proc/"$pid"/fd/*; do
      if [ "$(readlink -f "$fd" 2>/dev/null)" = "$gif" ]; then found=1; fi
    done
    ((found)) || sleep 0.1
  done
  if ((found)) && [ -n "${QMK_INSTALL_SCREENSHOT:-}" ]; then
    sleep 1 # a few frames into the conversion view
    import -window root "$QMK_INSTALL_SCREENSHOT" || echo "install: no screenshot taken" >&2
  fi
  status=0
  qmk_wait_until_quiet "$pid" 120 "$folder/plus-x.qmkp" || status=$?
  ((found)) || fail "the installed program did not open its animation $gif"
  case $status in
    0) ;;
    2) fail "the installed program ended before its batch was done" ;;
    *) fail "the installed program's batch did not end within 120 s" ;;
  esac
  # The end of the batch shows the converted document's folder, once.
  revealed=$(qmk_revealed "$runtime" 30) || fail "the installed program revealed nothing"
  [ "$revealed" = "$(printf '%q' "$folder")" ] ||
    fail "the installed program asked xdg-open to show '$revealed', not $folder"
  exit 0
fi

build=$1 config=$2 prefix=$3 bindir=$4 datadir=$5 appdir=$6
work=$(mktemp -d "$build/install-check.XXXXXX")
dest="$work/dest"
# A folder of the installed layout, where this install put it.
full() {
  case $1 in
    /*) echo "$dest$1" ;;
    *) echo "$dest$prefix/$1" ;;
  esac
}

DESTDIR="$dest" "${CMAKE:-cmake}" --install "$build" --config "$config" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# The layout: the program with Resources/ beside its folder, and a link to it
# on the PATH.
program="$(full "$appdir")/bin/$name"
resources="$(full "$appdir")/Resources"
link="$(full "$bindir")/$name"
[ -x "$program" ] || fail "no program at $program"
[ -L "$link" ] || fail "no link on the PATH at $link"
[ "$(readlink -f "$link")" = "$(readlink -f "$program")" ] || fail "$link does not lead to $program"
for f in convert-animation.gif icon-drop-box.png icon-drop-box-hover.png; do
  [ -f "$resources/$f" ] || fail "missing $resources/$f"
done

# The desktop's menu: a valid entry that starts the program by its name, and
# its icon in the icon theme.
entry="$(full "$datadir")/applications/$name.desktop"
[ -f "$entry" ] || fail "no desktop entry at $entry"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "${exec_line%% *}" = "$name" ] || fail "the desktop entry runs '$exec_line', not $name"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$(full "$datadir")/icons/hicolor/256x256/apps/$icon.png" ] ||
  fail "no icon $icon in the hicolor theme"

cp "$root/examples/plus-x.qmkx" "$work/"
PATH="$(full "$bindir"):$PATH" qmk_on_virtual_display "$0" --on-display "$work" "$resources"
[ -s "$work/plus-x.qmkp" ] || fail "the installed program wrote no plus-x.qmkp"
echo "install: the installed program found its animation, converted plus-x.qmkx and revealed its folder"
