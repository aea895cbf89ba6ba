#!/usr/bin/env bash
# Fuzzes two targets for a bounded time in all (FUZZ_SECONDS, default 60): the
# conversion of one file, and the reader and encoder of the hand-over request,
# three quarters and one quarter of each pass, each target over its own corpus.
# Two passes:
#   1. two thirds of the time with the targets built for coverage only (the
#      "fuzz-fast" preset), which runs thousands of inputs a second and stops on
#      a crash or on any of a target's own checks (of what a conversion leaves,
#      of what the reader takes and the encoder gives back);
#   2. the rest with the targets under AddressSanitizer and UndefinedBehaviorSanitizer
#      (the "fuzz" preset), which first runs every input the first pass kept, then
#      goes on fuzzing from them. For pace, that build traces no comparisons (the
#      first pass does), and the run records no allocation stacks and keeps no
#      quarantine of freed memory; a fault it finds is run again with both, so
#      that its report says where the memory came from.
# Builds into build-fuzz-fast/ and build-fuzz/ (or $FUZZ_BUILD_DIR-fast and
# $FUZZ_BUILD_DIR). Fails on a crash, a failed check, a sanitizer report or a leak.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
fast_build=$build-fast
seconds=${FUZZ_SECONDS:-60}
# libFuzzer takes a time of 0 as no bound: each of the four runs needs a second.
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 4 ]; then
  echo "fuzz: FUZZ_SECONDS is a whole number of seconds, 4 at least (not \"$seconds\")" >&2
  exit 2
fi
fast_seconds=$((seconds * 2 / 3))
checked_seconds=$((seconds - fast_seconds))

cd "$root"
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset fuzz-fast -B "$fast_build" >/dev/null
cmake --build "$fast_build" --parallel "$jobs" --target convert_fuzzer request_fuzzer
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --parallel "$jobs" --target convert_fuzzer request_fuzzer

# Seeds, the rest is for the fuzzer to find. The bytes are given as printf
# escapes (\xHH); %b expands them.
seed() { mkdir -p "$build/corpus/$1" && printf '%b' "$3" >"$build/corpus/$1/$2"; }
# One document head of each road.
seed convert plusx '\x0f\xa0\x00\x00\x2e\xe0\x00\x01\x00\x03'
seed convert v32 '\x0c\x80\x00\x00\x00\x01\x01\x01\x00\x02'
seed convert v32neg '\x0c\x80\x00\x00\x00\x01\x01\x01\xff\xff'
seed convert old1900 '\x07\x6c'
seed convert pro '\x18\x38'
seed convert unknown '\xff\xfe'
seed convert empty ''
# Requests, after the byte that says how they are cut (none: in one piece).
seed request short '\x00QMK2\x00\x00\x00\x01\x00\x00\x00\x0b/srv/a.qmkx'
seed request empty '\x00QMK2\x00\x00\x00\x00'
seed request badmark '\x00QMK1\x00\x00\x00\x00'
# Two parts, in pieces of 1, 5 and 2 bytes.
seed request pieces '\x03\x01\x05\x02QMK+\x00\x00\x00\x01\x00\x00\x00\x02/aQMK2\x00\x00\x00\x01\x00\x00\x00\x02/b'

artifacts="$build/artifacts"
mkdir -p "$artifacts"

asan_options=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run PASS TARGET SECONDS [ASAN_OPTIONS]: one pass of the target (build/fuzz/NAME_fuzzer)
# over build/corpus/NAME; prints libFuzzer's figures, fails the script on a fault.
run() {
  local pass=$1 target=$2 time=$3 options=${4:-$asan_options} status=0 log started name
  name=$(basename "$target" _fuzzer)
  log=$(mktemp)
  started=$(mktemp) # what the pass writes into $artifacts is newer
  ASAN_OPTIONS=$options \
    "$target" -max_total_time="$time" -timeout=30 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$build/corpus/$name" >"$log" 2>&1 ||
    status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    rm -f "$log"
    local input
    input=$(find "$artifacts" -maxdepth 1 -type f -newer "$started" -printf '%T@ %p\n' |
      sort -n | tail -n 1 | cut -d' ' -f2-)
    rm -f "$started"
    if [ -n "$input" ] && [ "$options" != "$asan_options" ]; then
      echo "fuzz: $input again, with allocation stacks and a quarantine:" >&2
      ASAN_OPTIONS=$asan_options "$target" "$input" 2>&1 | tail -n 60 >&2 || true
    fi
    echo "fuzz: the $pass pass of $name failed (exit $status); see $artifacts" >&2
    exit 1
  fi
  rm -f "$started"
  local runs rate
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  rm -f "$log"
  echo "fuzz: $pass pass of $name: $runs inputs in $time s ($rate a second)"
}

# The request's reader is small and soon covered: a quarter of each pass.
request_share() { echo $(($1 / 4 > 0 ? $1 / 4 : 1)); }
fast_request=$(request_share "$fast_seconds")
checked_request=$(request_share "$checked_seconds")
checked_options="$asan_options:malloc_context_size=0:quarantine_size_mb=0"

run "coverage" "$fast_build/fuzz/convert_fuzzer" "$((fast_seconds - fast_request))"
run "coverage" "$fast_build/fuzz/request_fuzzer" "$fast_request"
run "sanitizer" "$build/fuzz/convert_fuzzer" "$((checked_seconds - checked_request))" \
  "$checked_options"
run "sanitizer" "$build/fuzz/request_fuzzer" "$checked_request" "$checked_options"
echo "fuzz: $seconds s without a crash, a failed check, a sanitizer report or a leak"
