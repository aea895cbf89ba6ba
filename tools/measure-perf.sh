#!/usr/bin/env bash
# Measures the program from outside (it prints nothing itself), on a virtual
# display when there is none:
#  1. start-up: from launch to the main window being viewable (median of 5);
#  2. a batch of ten copies of the Plus / X example: the time beyond the
#     built-in pauses (1550 ms while reading and 500 ms after each save, so
#     2050 ms a file), from the times the converted documents were written;
#  3. processor use and wake-ups while idle, before and after a batch.
# It installs what is missing and builds first (into $BUILD_DIR, default
# build/), or measures the program that QMK_PROGRAM names; it prints its
# figures and leaves nothing behind.
# shellcheck source-path=SCRIPTDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/common.sh"
build=${BUILD_DIR:-$root/build}
exe=${QMK_PROGRAM:-$build/bin/quillmark-pro-converter}
title="Quillmark Pro Converter"
files=10
idle_seconds=${QMK_IDLE_SECONDS:-10}

if [ "${1:-}" != "--on-display" ]; then
  if [ -z "${QMK_PROGRAM:-}" ]; then
    "$root/tools/install-deps.sh"
    "$root/tools/build.sh" >/dev/null
  fi
  [ -x "$exe" ] || { echo "No program at $exe" >&2; exit 1; }
  qmk_exec_on_display --x11 "$root/tools/measure-perf.sh" --on-display
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-perf.XXXXXX")
qmk_private_runtime "$work"
pid=""
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
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
viewable() { xwininfo -name "$title" 2>/dev/null | grep -q 'Map State: IsViewable'; }
clk=$(getconf CLK_TCK)

start_program() {
  (cd "$work" && exec "$exe" "$@") &
  pid=$!
}
stop_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
}
# Waits for the main window; prints the milliseconds since $1.
wait_viewable() {
  local t0=$1 limit=$(($(now_ms) + 30000))
  until viewable; do
    (($(now_ms) < limit)) || { echo "timeout"; return; }
    sleep 0.005
  done
  echo $(($(now_ms) - t0))
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

# 1. Start-up.
startups=()
for _ in 1 2 3 4 5; do
  t0=$(now_ms)
  start_program
  startups+=("$(wait_viewable "$t0")")
  stop_program
done
sorted=$(printf '%s\n' "${startups[@]}" | sort -n | tr '\n' ' ')
median=$(printf '%s\n' "${startups[@]}" | sort -n | sed -n 3p)
echo "Start-up to the window shown: median $median ms (runs: $sorted)"

# 3a. Idle before any batch.
start_program
wait_viewable "$(now_ms)" >/dev/null
sleep 1
echo "Idle before a batch, over ${idle_seconds} s: $(idle_figures)"
stop_program

# 2. A batch of ten Plus / X documents, named on the command line.
docs=() outputs=()
for i in $(seq -w 1 $files); do
  cp "$root/examples/plus-x.qmkx" "$work/doc-$i.qmkx"
  docs+=("$work/doc-$i.qmkx")
  outputs+=("$work/doc-$i.qmkp")
done
t_launch=$(now_ms)
start_program "${docs[@]}"
status=0
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
times=()
for f in "${outputs[@]}"; do times+=("$(mtime_ms "$f")"); done
gaps=()
for ((i = 1; i < files; i++)); do gaps+=($((times[i] - times[i - 1] - 2050))); done
whole=$((times[files - 1] - t_launch))
# Built in up to the last document written: start-up, the 120 ms slide-out,
# ten readings' pauses and nine post-save pauses.
beyond=$((whole - median - 120 - files * 1550 - (files - 1) * 500))
printf '%s\n' "${gaps[@]}" | awk -v whole="$whole" -v beyond="$beyond" -v n="$files" '
  {s += $1; if (NR == 1 || $1 > max) max = $1; if (NR == 1 || $1 < min) min = $1}
  END {
    printf "Batch of %d Plus / X documents: last one written %d ms after launch\n", n, whole
    printf "Beyond the pauses, per file: %.0f ms on average over the whole batch\n", beyond / n
    printf "Beyond the pauses, between consecutive documents: mean %.0f ms, min %d, max %d (target under 150)\n", s / NR, min, max
  }'
sleep 1
echo "Idle after the batch, over ${idle_seconds} s: $(idle_figures)"
stop_program
