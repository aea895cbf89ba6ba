#!/usr/bin/env bash
# Fuzzes the conversion of one file for a bounded time (FUZZ_SECONDS, default 60),
# in two passes over one corpus:
#   1. two thirds of the time with the target built for coverage only (the
#      "fuzz-fast" preset), which runs thousands of inputs a second and stops on
#      a crash or on any of the target's own checks of what a conversion leaves;
#   2. the rest with the target under AddressSanitizer and UndefinedBehaviorSanitizer
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
fast_seconds=$((seconds * 2 / 3))
checked_seconds=$((seconds - fast_seconds))

cd "$root"
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset fuzz-fast -B "$fast_build" >/dev/null
cmake --build "$fast_build" --parallel "$jobs" --target convert_fuzzer
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --parallel "$jobs" --target convert_fuzzer

# Seeds: one document head of each road, the rest is for the fuzzer to find.
corpus="$build/corpus"
mkdir -p "$corpus"
# The bytes are given as printf escapes (\xHH); %b expands them.
seed() { printf '%b' "$2" >"$corpus/$1"; }
seed plusx '\x0f\xa0\x00\x00\x2e\xe0\x00\x01\x00\x03'
seed v32 '\x0c\x80\x00\x00\x00\x01\x01\x01\x00\x02'
seed v32neg '\x0c\x80\x00\x00\x00\x01\x01\x01\xff\xff'
seed old1900 '\x07\x6c'
seed pro '\x18\x38'
seed unknown '\xff\xfe'
seed empty ''

artifacts="$build/artifacts"
mkdir -p "$artifacts"

asan_options=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run PASS TARGET SECONDS [ASAN_OPTIONS]: one pass; prints libFuzzer's figures,
# fails the script on a fault.
run() {
  local pass=$1 target=$2 time=$3 options=${4:-$asan_options} status=0 log started
  log=$(mktemp)
  started=$(mktemp) # what the pass writes into $artifacts is newer
  ASAN_OPTIONS=$options \
    "$target" -max_total_time="$time" -timeout=30 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
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
    echo "fuzz: the $pass pass failed (exit $status); see $artifacts" >&2
    exit 1
  fi
  rm -f "$started"
  local runs rate
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  rm -f "$log"
  echo "fuzz: $pass pass: $runs inputs in $time s ($rate a second)"
}

run "coverage" "$fast_build/fuzz/convert_fuzzer" "$fast_seconds"
run "sanitizer" "$build/fuzz/convert_fuzzer" "$checked_seconds" \
  "$asan_options:malloc_context_size=0:quarantine_size_mb=0"
echo "fuzz: $seconds s without a crash, a failed check, a sanitizer report or a leak"
