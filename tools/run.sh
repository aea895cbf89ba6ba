#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program on copies of the
# bundled examples (examples/) in a scratch folder, so the repository stays
# clean. The copies are named on the command line and arrive as documents to
# open, in order: a Plus / X document, a 3.2 document and a Pro document (which
# the program refuses).
#
# With a display, the program simply runs on them. Without one, it runs on a
# virtual display (xvfb-run): the script waits for the batch to end, saves a
# screenshot, stops the program and says where the converted documents and the
# screenshot are. Give it up to QMK_RUN_TIMEOUT seconds (default 180).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
examples=(plus-x.qmkx v32.qmk3 pro.qmkp)
converted=(plus-x.qmkp v32.qmkp)

# Processor time a process has used (clock ticks), and the sizes of files.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo gone; }
sizes() { local f; for f in "$@"; do stat -c %s "$f" 2>/dev/null || echo -; done | tr '\n' ' '; }

on_virtual_display() {
  local scratch=$1 exe=$2 timeout=${QMK_RUN_TIMEOUT:-180}
  local shot="$scratch/screenshot.png" files=() outputs=() f
  for f in "${examples[@]}"; do files+=("$scratch/$f"); done
  for f in "${converted[@]}"; do outputs+=("$scratch/$f"); done

  # A runtime folder of its own, so no program already running for this user
  # takes the documents instead.
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/quillmark-run-runtime.XXXXXX)
  export XDG_RUNTIME_DIR
  (cd "$scratch" && exec "$exe" "${files[@]}") &
  local pid=$! deadline=$((SECONDS + timeout)) done=0
  echo "Program started (pid $pid) on ${examples[*]}; waiting for the batch to end…"

  # The batch has ended once every converted document is there, no longer
  # grows, and the program has used no processor time for two seconds.
  local last_ticks="" last_sizes="" quiet=0
  while ((SECONDS < deadline)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "The program ended on its own before the batch was done." >&2
      break
    fi
    local all=1
    for f in "${outputs[@]}"; do [ -e "$f" ] || all=0; done
    local ticks now_sizes
    ticks=$(cpu_ticks "$pid")
    now_sizes=$(sizes "${outputs[@]}")
    if ((all)) && [ "$ticks" = "$last_ticks" ] && [ "$now_sizes" = "$last_sizes" ]; then
      quiet=$((quiet + 1))
    else
      quiet=0
    fi
    last_ticks=$ticks
    last_sizes=$now_sizes
    if ((quiet >= 4)); then done=1; break; fi
    sleep 0.5
  done

  import -window root "$shot" || echo "No screenshot could be taken." >&2
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$XDG_RUNTIME_DIR"

  echo
  echo "Scratch folder:  $scratch"
  for f in "${outputs[@]}"; do
    if [ -e "$f" ]; then echo "Converted:       $f ($(stat -c %s "$f") bytes)"; else echo "Not converted:   $f"; fi
  done
  [ -e "$shot" ] && echo "Screenshot:      $shot"
  if ((!done)); then
    echo "The batch did not end within ${timeout} s." >&2
    return 1
  fi
}

if [ "${1:-}" = "--on-virtual-display" ]; then
  # Second stage, run by xvfb-run below.
  on_virtual_display "$2" "$3"
  exit
fi

"$root/tools/install-deps.sh"
"$root/tools/build.sh"
exe="$build/bin/quillmark-pro-converter"
[ -x "$exe" ] || exe="$build/app/quillmark-pro-converter"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-examples.XXXXXX")
for f in "${examples[@]}"; do cp "$root/examples/$f" "$scratch/"; done
echo "Examples copied to $scratch"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$root/tools/run.sh" --on-virtual-display "$scratch" "$exe"
fi
cd "$scratch"
exec "$exe" "${examples[@]/#/$scratch/}"
