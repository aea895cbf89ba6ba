#!/usr/bin/env bash
# Measures the program from outside (it prints nothing itself), on a virtual
# display when there is none; each figure beside its floor from the same run:
#  1. start-up: from launch to the X server's map event of the main window
#     (median of 5), beside the start-up of a bare Qt window timed the same way;
#  2. a batch of ten copies of the Plus / X example, then one of ten copies of
#     the largest document (32,767 journal entries): the time a file takes,
#     beside the built-in pauses (1550 ms while reading and 500 ms after each
#     save, so 2050 ms a file), from the times the converted documents were
#     written;
#  3. processor use and wake-ups while idle, before and after a batch.
# It installs what is missing and builds first (into $BUILD_DIR, default
# build/), or measures the program that QMK_PROGRAM names (the helpers still
# come from $BUILD_DIR); it prints its figures and leaves nothing behind.
# shellcheck source-path=SCRIPTDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/common.sh"
build=${BUILD_DIR:-$root/build}
exe=${QMK_PROGRAM:-$build/bin/quillmark-pro-converter}
tools_dir=$build/tools
title="Quillmark Pro Converter"
files=10
pauses=2050 # a file's built-in pauses
idle_seconds=${QMK_IDLE_SECONDS:-10}

if [ "${1:-}" != "--on-display" ]; then
  if [ -z "${QMK_PROGRAM:-}" ]; then
    "$root/tools/install-deps.sh"
    "$root/tools/build.sh" >/dev/null
  fi
  [ -x "$exe" ] || { echo "No program at $exe" >&2; exit 1; }
  for helper in wait-for-window bare-window make-examples; do
    [ -x "$tools_dir/$helper" ] || { echo "No $helper in $tools_dir (build $build first)" >&2; exit 1; }
  done
  qmk_exec_on_display --x11 "$root/tools/measure-perf.sh" --on-display
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-perf.XXXXXX")
qmk_private_runtime "$work"
# The end of each batch opens no file manager, also on the user's own display.
qmk_recording_reveal "$work"
pid="" watcher=""
cleanup() {
  local p
  for p in "$pid" "$watcher"; do
    if [ -n "$p" ]; then
      kill "$p" 2>/dev/null || true
      wait "$p" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
qmk_on_exit cleanup

now_ms() { echo $(($(date +%s%N) / 1000000)); }
mtime_ms() { stat -c %.3Y "$1" | tr -d .; }
# Voluntary context switches of each of the program's threads ("tid count"
# lines): its wake-ups. A thread that ends between two readings takes its count
# with it, so only threads seen in the later reading are compared.
wakeups() {
  local t
  for t in /proc/"$1"/task/*; do
    awk -v tid="${t##*/}" '/^voluntary_ctxt_switches/ {print tid, $2}' "$t/status" 2>/dev/null
  done
}
wakeups_between() { # earlier and later readings
  awk 'NR == FNR {before[$1] = $2; next} {s += $2 - ($1 in before ? before[$1] : 0)} END {print s + 0}' \
    <(echo "$1") <(echo "$2")
}
clk=$(getconf CLK_TCK)

# Launches the command (the program, or the bare window) with a window of the
# title, and sets pid, and mapped_ms to the milliseconds from the launch to its
# window's map event ("timeout" after 30 s). The watcher is started first and
# reports the moment the X server sent the event, so nothing polls.
launch_timed() {
  local fifo="$work/mapped" line t0 at
  mkfifo "$fifo"
  "$tools_dir/wait-for-window" "$title" >"$fifo" &
  watcher=$!
  exec 3<"$fifo"
  read -r line <&3 || line=""
  [ "$line" = ready ] || { echo "The window watcher did not start." >&2; exit 1; }
  t0=$(now_ms)
  launched_at=$t0
  (cd "$work" && exec "$@") &
  pid=$!
  read -r at <&3 || at=timeout
  exec 3<&-
  wait "$watcher" 2>/dev/null || true
  watcher=""
  rm -f "$fifo"
  if [ "$at" = timeout ]; then mapped_ms=timeout; else mapped_ms=$((at - t0)); fi
}
start_program() { launch_timed "$exe" "$@"; }
stop_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
}
# Five start-ups of the command: sets median_ms and runs_ms (sorted).
startups() {
  local all=() sorted
  for _ in 1 2 3 4 5; do
    launch_timed "$@"
    all+=("$mapped_ms")
    stop_program
  done
  sorted=$(printf '%s\n' "${all[@]}" | sort -n)
  median_ms=$(sed -n 3p <<<"$sorted")
  runs_ms=$(tr '\n' ' ' <<<"$sorted")
  runs_ms=${runs_ms% }
}
idle_figures() {
  local t0 w0 t1 w1
  t0=$(qmk_cpu_ticks "$pid") w0=$(wakeups "$pid")
  sleep "$idle_seconds"
  t1=$(qmk_cpu_ticks "$pid") w1=$(wakeups "$pid")
  awk -v t=$((t1 - t0)) -v w="$(wakeups_between "$w0" "$w1")" -v s="$idle_seconds" -v c="$clk" \
    'BEGIN {printf "%.2f %% of one core, %.1f wake-ups a second", 100 * t / (s * c), w / s}'
}

echo "Program: $exe"

# 1. Start-up, beside a bare Qt window's.
startups "$tools_dir/bare-window" "$title"
floor=$median_ms floor_runs=$runs_ms
startups "$exe"
median=$median_ms
echo "Start-up to the window mapped: median $median ms (runs: $runs_ms)"
echo "  floor, a bare Qt window: median $floor ms (runs: $floor_runs)"
[ "$median" != timeout ] || { echo "The main window did not appear." >&2; exit 1; }

# 3a. Idle before any batch.
start_program
sleep 1
echo "Idle before a batch, over ${idle_seconds} s: $(idle_figures)"
stop_program

# 2. A batch of ten copies of a document, named on the command line: $1 the
# document, $2 what it is. The program is left running.
batch() {
  local doc=$1 what=$2 i f status=0 docs=() outputs=() times=() gaps=() whole beyond
  rm -f "$work"/doc-*
  for i in $(seq -w 1 $files); do
    cp "$doc" "$work/doc-$i.qmkx"
    docs+=("$work/doc-$i.qmkx")
    outputs+=("$work/doc-$i.qmkp")
  done
  start_program "${docs[@]}"
  qmk_wait_until_quiet "$pid" 180 "${outputs[@]}" || status=$?
  case $status in
    0) ;;
    2) echo "The program ended during the batch." >&2; exit 1 ;;
    *)
      written=$(find "$work" -maxdepth 1 -name '*.qmkp' | wc -l)
      echo "The batch did not end within 180 s; documents written: $written" >&2
      exit 1
      ;;
  esac
  for f in "${outputs[@]}"; do times+=("$(mtime_ms "$f")"); done
  for ((i = 1; i < files; i++)); do gaps+=($((times[i] - times[i - 1] - pauses))); done
  whole=$((times[files - 1] - launched_at))
  # Built in up to the last document written: start-up, the 120 ms slide-out,
  # ten readings' pauses and nine post-save pauses.
  beyond=$((whole - median - 120 - files * 1550 - (files - 1) * 500))
  printf '%s\n' "${gaps[@]}" | awk -v whole="$whole" -v beyond="$beyond" -v n="$files" \
    -v what="$what" -v floor="$pauses" '
    {s += $1; if (NR == 1 || $1 > max) max = $1; if (NR == 1 || $1 < min) min = $1}
    END {
      printf "Batch of %d %s: last one written %d ms after launch\n", n, what, whole
      printf "  per file: %.0f ms on average over the whole batch; floor, the built-in pauses: %d ms (%.0f ms beyond)\n", floor + beyond / n, floor, beyond / n
      printf "  between consecutive documents: mean %.0f ms, min %d, max %d beyond the %d ms of pauses (target under 150)\n", s / NR, min, max, floor
    }'
}

largest="$work/largest.qmkx"
"$tools_dir/make-examples" --largest "$largest" >/dev/null
batch "$root/examples/plus-x.qmkx" "Plus / X examples (8 journal entries)"
stop_program
batch "$largest" "largest Plus / X documents (32,767 journal entries)"
sleep 1
echo "Idle after the batch, over ${idle_seconds} s: $(idle_figures)"
stop_program
