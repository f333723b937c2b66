#!/usr/bin/env bash
# The whole suite on a build with AddressSanitizer and UndefinedBehaviorSanitizer. Every
# report aborts the process that makes it, so no report can pass for an ordinary exit status
# and any report fails its test.
set -euo pipefail
cd "$(dirname "$0")/../.."

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

cmake -S . -B build-asan -DZORBINEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2 --timeout 600
