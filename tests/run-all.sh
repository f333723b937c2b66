#!/usr/bin/env bash
# Runs every test suite in turn: each script under tests/ci/ builds what it tests in its own
# build directory and exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=0
for suite in tests/ci/*.sh; do
  echo "=== ${suite}"
  if ! bash "$suite"; then
    echo "=== FAILED: ${suite}"
    failed=1
  fi
done
exit "$failed"
