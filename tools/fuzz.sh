#!/usr/bin/env bash
# Builds the fuzz target (the "fuzz" preset: clang, libFuzzer, ASan and UBSan)
# into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs it for a bounded time
# (FUZZ_SECONDS, default 60) in a scratch folder. Fails on a crash, a
# sanitizer report, a leak, or any file left in the scratch folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" --target convert_fuzzer

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

scratch=$(mktemp -d "$build/scratch-XXXXXX")
artifacts="$build/artifacts"
mkdir -p "$artifacts"
trap 'rm -rf "$scratch"' EXIT

status=0
QMK_FUZZ_DIR="$scratch" \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/convert_fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
  -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" || status=$?

if [ "$status" -ne 0 ]; then
  echo "fuzz: the target failed (exit $status); see $artifacts" >&2
  exit 1
fi
if [ -n "$(ls -A "$scratch")" ]; then
  echo "fuzz: files left in the scratch folder:" >&2
  ls -la "$scratch" >&2
  exit 1
fi
echo "fuzz: $seconds s without a crash, a sanitizer report, a leak or a leftover file"
