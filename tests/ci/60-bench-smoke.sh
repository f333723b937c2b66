#!/usr/bin/env bash
# The side-by-side performance run as a smoke run: it has to build, make its data files, run
# every figure and print the whole table. Nothing here judges a rate or a ratio.
set -euo pipefail
cd "$(dirname "$0")/../.."
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
bash bench/run.sh --smoke --build-dir build-bench-smoke | tee "$out"
for heading in '^figure (iterations/s)' '^ratio (median of rounds)' '^Peak memory'; do
  grep -q "$heading" "$out" || { echo "bench smoke: no '$heading' in the table" >&2; exit 1; }
done
