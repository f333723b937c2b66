#!/usr/bin/env bash
# A bounded fuzzing run of the engine's file reader (about a minute; ZORBINEL_FUZZ_SECONDS
# changes it). Any crash, leak, hang or sanitizer report fails the run and leaves the input
# in build-fuzz/artifacts/: add it to tests/reliability/regressions/ once it is mended.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${ZORBINEL_FUZZ_SECONDS:-60}"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZORBINEL_FUZZ=ON -DZORBINEL_SANITIZE=ON -DZORBINEL_BUILD_TESTS=OFF \
  -DZORBINEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target zorbinel-fuzz-engine

# The corpus grows across runs in this build directory; the seeds are the committed files.
mkdir -p build-fuzz/corpus build-fuzz/artifacts build-fuzz/scratch
rm -f build-fuzz/artifacts/*
log=build-fuzz/fuzz.log
status=0
TMPDIR="$PWD/build-fuzz/scratch" ./build-fuzz/zorbinel-fuzz-engine \
  -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
  build-fuzz/corpus fuzz/corpus >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
echo "fuzzing: ${executions:-no} executions in ${seconds} s, exit status ${status}"
if [ "$status" -ne 0 ] || [ -n "$(ls -A build-fuzz/artifacts)" ]; then
  tail -n 60 "$log"
  echo "failing inputs:" build-fuzz/artifacts/*
  exit 1
fi
