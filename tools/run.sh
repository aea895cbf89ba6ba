#!/usr/bin/env bash
# Installs what building and running the program need, builds the program
# alone, and opens it on copies of the bundled examples (examples/) in a scratch
# folder, so the repository stays clean. The copies are named on the command
# line and arrive as documents to open, in order: a Plus / X document, a 3.2
# document and a Pro document (which the program refuses).
#
# With a display, the program simply runs on them, and the end of the batch
# shows the folder in the file manager. Without one, it runs on a virtual
# display (xvfb-run), and the end of the batch asks a stand-in xdg-open that
# opens nothing, so that the screenshot shows the program: the script waits for
# the batch to end, saves a screenshot, stops the program and says where the
# converted documents and the screenshot are, and what the end of the batch
# asked to show. Give it up to QMK_RUN_TIMEOUT seconds (default 180).
# shellcheck source-path=SCRIPTDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
examples=(plus-x.qmkx v32.qmk3 pro.qmkp)
converted=(plus-x.qmkp v32.qmkp)
. "$root/tools/common.sh"

pid=""
runtime=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  if [ -n "$runtime" ]; then rm -rf "$runtime"; fi
}

on_virtual_display() {
  local scratch=$1 exe=$2 timeout=${QMK_RUN_TIMEOUT:-180}
  local shot="$scratch/screenshot.png" files=() outputs=() f status=0 revealed
  for f in "${examples[@]}"; do files+=("$scratch/$f"); done
  for f in "${converted[@]}"; do outputs+=("$scratch/$f"); done

  qmk_on_exit cleanup
  qmk_private_runtime "${TMPDIR:-/tmp}"
  runtime=$XDG_RUNTIME_DIR
  # No file manager's window over the program in the screenshot.
  qmk_recording_reveal "$runtime"
  (cd "$scratch" && exec "$exe" "${files[@]}") &
  pid=$!
  echo "Program started (pid $pid) on ${examples[*]}; waiting for the batch to end…"
  qmk_wait_until_quiet "$pid" "$timeout" "${outputs[@]}" || status=$?
  revealed=$(qmk_revealed "$runtime" $((status == 0 ? 10 : 0))) || revealed=""

  import -window root "$shot" || echo "No screenshot could be taken." >&2
  cleanup

  echo
  echo "Scratch folder:  $scratch"
  for f in "${outputs[@]}"; do
    if [ -e "$f" ]; then echo "Converted:       $f ($(stat -c %s "$f") bytes)"; else echo "Not converted:   $f"; fi
  done
  if [ -n "$revealed" ]; then
    echo "Reveal:          xdg-open was asked to show $revealed (a stand-in here: it opens nothing)"
  else
    echo "Reveal:          none asked for"
  fi
  if [ -e "$shot" ]; then echo "Screenshot:      $shot"; fi
  case $status in
    0) ;;
    2) echo "The program ended on its own before the batch was done." >&2 ;;
    *) echo "The batch did not end within ${timeout} s." >&2 ;;
  esac
  ((status == 0))
}

if [ "${1:-}" = "--on-virtual-display" ]; then
  # Second stage, run by xvfb-run below.
  on_virtual_display "$2" "$3"
  exit
fi

"$root/tools/install-deps.sh" --program
"$root/tools/build.sh" --program
exe="$build/bin/quillmark-pro-converter"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-examples.XXXXXX")
for f in "${examples[@]}"; do cp "$root/examples/$f" "$scratch/"; done
echo "Examples copied to $scratch"

if ! qmk_has_display; then
  qmk_exec_on_virtual_display "$root/tools/run.sh" --on-virtual-display "$scratch" "$exe"
fi
cd "$scratch"
exec "$exe" "${examples[@]/#/$scratch/}"
