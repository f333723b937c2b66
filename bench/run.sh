#!/usr/bin/env bash
# The side-by-side performance run: builds a Release tree, makes the data files, runs each
# zorbinel test type next to what it is measured against (the bare system calls, its own other
# layers, LMDB, a smaller file), alternately over several rounds, and prints a table of the
# medians and of each ratio against its target. Only ratios taken in the same round count:
# absolute rates on a shared machine prove little alone.
#
#   bench/run.sh [--smoke] [--rounds N] [--seconds N] [--huge] [--hot-loop] [--build-dir DIR]
#
#   --smoke      one round of 1 s each on small files (1,000 and 10,000 records): a check that
#                the whole run works, not a measurement
#   --rounds N   rounds of every figure (default 15); ratios are the medians of the rounds
#   --seconds N  run time of each figure in each round (default 1: short runs keep the two
#                figures of a ratio close in time, which matters more here than their length)
#   --huge       also 10,000,000 records in the growth rows, when the disk has room
#   --hot-loop   also count the instructions of one iteration of types 6, 5, 2, 3, 4 and 1
#                under valgrind's callgrind, and where those of types 6, 2 and 1 go
#   --build-dir  the Release tree (default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=15
run_seconds=1
small_records=1000
large_records=1000000
huge_records=0
build_dir=""
smoke=0
hot_loop=0

usage() {
  sed -n '/^#   bench/,/^#   --build-dir  /p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=1; rounds=1; run_seconds=1; large_records=10000 ;;
    --rounds) rounds="${2:?}"; shift ;;
    --seconds) run_seconds="${2:?}"; shift ;;
    --huge) huge_records=10000000 ;;
    --hot-loop) hot_loop=1 ;;
    --build-dir) build_dir="${2:?}"; shift ;;
    -h|--help) usage ;;
    *) echo "bench/run.sh: unknown option $1" >&2; usage ;;
  esac
  shift
done
case "$rounds$run_seconds" in
  *[!0-9]*) echo "bench/run.sh: --rounds and --seconds take whole numbers" >&2; exit 2 ;;
esac
[ -z "$build_dir" ] && build_dir=build-bench
if [ "$rounds" -lt 1 ] || [ "$run_seconds" -lt 1 ]; then
  echo "bench/run.sh: --rounds and --seconds must be at least 1" >&2
  exit 2
fi

note() { echo "bench: $*" >&2; }

# --- Packages: LMDB for the peer, GNU time for the peak memory. Missing ones are installed
# when apt-get is at hand; without them their rows say n/a and the rest still runs.
missing=()
packages=(liblmdb-dev time)
[ "$hot_loop" = 1 ] && packages+=(valgrind)
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  note "installing ${missing[*]}"
  if ! { apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
         apt-get install -y -qq "${missing[@]}" >/dev/null; } 2>&1 | tail -3 >&2; then
    note "could not install ${missing[*]}; their rows will say n/a"
  fi
fi

# --- Release build of just the programs the run needs (with link-time optimisation where the
# toolchain has it, as every Release build).
note "building Release in $build_dir"
build_options=(-DCMAKE_BUILD_TYPE=Release -DZORBINEL_BUILD_TESTS=OFF)
cmake -S . -B "$build_dir" "${build_options[@]}" >/dev/null
targets=(zorbinel zorbinel-mkfile zorbinel-bare-os)
have_lmdb=0
if grep '^LMDB_LIBRARY:FILEPATH=' "$build_dir/CMakeCache.txt" | grep -qv NOTFOUND; then
  targets+=(zorbinel-lmdb-peer)
  have_lmdb=1
fi
cmake --build "$build_dir" -j2 --target "${targets[@]}" >/dev/null
zorbinel="$build_dir/zorbinel"
mkfile="$build_dir/zorbinel-mkfile"
bare="$build_dir/zorbinel-bare-os"
peer="$build_dir/zorbinel-lmdb-peer"

# --- Data files, remade only when the tool that makes them is newer.
data_dir="$build_dir/data"
mkdir -p "$data_dir"
data_file() { echo "$data_dir/records-$1.dat"; }
make_data_file() {
  local file
  file="$(data_file "$1")"
  if [ ! -s "$file" ] || [ "$mkfile" -nt "$file" ]; then
    note "making $file"
    "$mkfile" "$file" --records "$1" --force >/dev/null
  fi
}
make_data_file "$small_records"
make_data_file "$large_records"
if [ "$huge_records" -gt 0 ]; then
  # Room for the file (ten times the large one) and as much again to spare.
  need_kib=$(( $(stat -c %s "$(data_file "$large_records")") * 10 * 2 / 1024 ))
  free_kib=$(df -Pk "$data_dir" | awk 'NR == 2 { print $4 }')
  if [ "$free_kib" -gt "$need_kib" ]; then
    make_data_file "$huge_records"
  else
    note "not enough disk for $huge_records records (need $need_kib KiB, have $free_kib KiB)"
    huge_records=0
  fi
fi
small="$(data_file "$small_records")"
large="$(data_file "$large_records")"
huge=""
[ "$huge_records" -gt 0 ] && huge="$(data_file "$huge_records")"

lmdb_env="$data_dir/records-$large_records.lmdb"
if [ "$have_lmdb" = 1 ]; then
  if [ ! -s "$lmdb_env/data.mdb" ] || [ "$large" -nt "$lmdb_env/data.mdb" ] ||
     [ "$peer" -nt "$lmdb_env/data.mdb" ]; then
    note "loading $lmdb_env"
    rm -rf "$lmdb_env"
    mkdir -p "$lmdb_env"
    "$peer" load "$large" "$lmdb_env" >/dev/null
  fi
  # The peer has to hold the very records our engine reads, or the comparison means nothing.
  "$peer" check "$large" "$lmdb_env" >/dev/null
fi

# --- The figures. Each id names one command; a round runs them all once.
figure_command() {  # id -> the array `command`
  local s="$run_seconds"
  case "$1" in
    bare11) command=("$bare" "$large" 11 "$s") ;;
    bare12) command=("$bare" "$large" 12 "$s") ;;
    z11) command=("$zorbinel" "$large" "/R$s" /T11) ;;
    z12) command=("$zorbinel" "$large" "/R$s" /T12) ;;
    lmdbF) command=("$peer" first "$lmdb_env" "$s") ;;
    lmdbL) command=("$peer" last "$lmdb_env" "$s") ;;
    t?S) command=("$zorbinel" "$small" "/R$s" "/T${1:1:1}") ;;
    t?L) command=("$zorbinel" "$large" "/R$s" "/T${1:1:1}") ;;
    t?H) command=("$zorbinel" "$huge" "/R$s" "/T${1:1:1}") ;;
  esac
}
figure_name() {
  case "$1" in
    bare11) echo "bare open/close" ;;
    bare12) echo "bare open/read 512/read 16384/close" ;;
    z11) echo "zorbinel /T11 OS open/close" ;;
    z12) echo "zorbinel /T12 OS open/read/read/close" ;;
    lmdbF) echo "LMDB cursor MDB_FIRST + copy" ;;
    lmdbL) echo "LMDB cursor MDB_LAST + copy" ;;
    t?S) echo "zorbinel /T${1:1:1} on $small_records records" ;;
    t?L) echo "zorbinel /T${1:1:1} on $large_records records" ;;
    t?H) echo "zorbinel /T${1:1:1} on $huge_records records" ;;
  esac
}

# Pairs stand next to each other, so that each ratio's two figures are taken moments apart.
order=(bare11 z11 bare12 z12 t6L t5L t2L t2S)
[ -n "$huge" ] && order+=(t2H)
[ "$have_lmdb" = 1 ] && order+=(lmdbF)
order+=(t4L t4S)
[ -n "$huge" ] && order+=(t4H)
[ "$have_lmdb" = 1 ] && order+=(lmdbL)
order+=(t3L t3S)
[ -n "$huge" ] && order+=(t3H)
order+=(t1L t1S)
[ -n "$huge" ] && order+=(t1H)

results="$build_dir/bench-results.txt"
: >"$results"
failures="$build_dir/bench-failures.txt"
: >"$failures"

# Every figure runs at the highest priority on one and the same core when the system allows
# it, so that the builds of others on this machine steal as little of its time as they can.
runner=()
if [ "$(nice -n -20 nice 2>/dev/null)" = "-20" ]; then runner+=(nice -n -20); fi
if command -v taskset >/dev/null && taskset -c "$(($(nproc) - 1))" true 2>/dev/null; then
  runner+=(taskset -c "$(($(nproc) - 1))")
fi

run_figure() {  # round id
  local output rate
  figure_command "$2"
  if output="$("${runner[@]}" "${command[@]}" 2>&1)"; then :; fi
  rate="$(printf '%s\n' "$output" | sed -n 's/^Iterations\/s: *\([0-9.]*\).*/\1/p' | tail -1)"
  if [ -n "$rate" ]; then
    echo "$1 $2 $rate" >>"$results"
  else
    printf '%s (round %s): %s\n' "$2" "$1" "$(printf '%s' "$output" | head -3)" >>"$failures"
  fi
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq 1 "$rounds"); do
  note "round $round of $rounds (${#order[@]} figures of $run_seconds s)"
  if [ $((round % 2)) = 1 ]; then
    for id in "${order[@]}"; do run_figure "$round" "$id"; done
  else  # every other round the other way round, so that drift favours no side
    for ((i = ${#order[@]} - 1; i >= 0; i--)); do run_figure "$round" "${order[i]}"; done
  fi
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

# --- Peak memory of a type 2 run on the largest file, next to the bare loop's (same buffer,
# no engine) for scale.
largest="${huge:-$large}"
largest_records=$large_records
[ -n "$huge" ] && largest_records=$huge_records
peak_kib() {  # command...
  /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
peak_engine=""
peak_bare=""
if [ -x /usr/bin/time ]; then
  peak_engine="$(peak_kib "$zorbinel" "$largest" /R1 /T2 || true)"
  peak_bare="$(peak_kib "$bare" "$largest" 11 1 || true)"
fi

# --- The table.
stats() {  # values on stdin -> "median min max", or nothing
  sort -g | awk '{ v[NR] = $1 }
    END { if (NR == 0) exit
          m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          print m, v[1], v[NR] }'
}
rates() { awk -v id="$1" '$2 == id { print $3 }' "$results"; }
ratios() {  # numerator denominator: one ratio per round that has both
  awk -v n="$1" -v d="$2" '$2 == n { num[$1] = $3 } $2 == d { den[$1] = $3 }
    END { for (r in num) if ((r in den) && den[r] > 0) printf "%.6f\n", num[r] / den[r] }' \
    "$results"
}

echo
echo "Zorbinel side-by-side run: $rounds round(s) of $run_seconds s per figure" \
     "($(git rev-parse --short HEAD 2>/dev/null || echo unknown), $(nproc) cores," \
     "load $load_before before, $load_after after)"
[ ${#runner[@]} -gt 0 ] && echo "Each figure ran under: ${runner[*]}"
echo
printf '%-44s %14s %14s %14s\n' "figure (iterations/s)" median min max
for id in "${order[@]}"; do
  read -r median low high < <(rates "$id" | stats) || true
  if [ -n "${median:-}" ]; then
    printf '%-44s %14.1f %14.1f %14.1f\n' "$(figure_name "$id")" "$median" "$low" "$high"
  else
    printf '%-44s %14s\n' "$(figure_name "$id")" "failed"
  fi
  median=""
done

echo
printf '%-44s %8s %17s %8s  %s\n' "ratio (median of rounds)" median "min..max" target result
ratio_row() {  # label numerator denominator target
  local median low high verdict
  read -r median low high < <(ratios "$2" "$3" | stats) || true
  if [ -z "${median:-}" ]; then
    printf '%-44s %8s %17s %8s  %s\n' "$1" "n/a" "" ">= $4" "not measured"
    return
  fi
  verdict="$(awk -v m="$median" -v t="$4" 'BEGIN { print (m >= t) ? "met" : "NOT MET" }')"
  printf '%-44s %8.3f %17s %8s  %s\n' "$1" "$median" \
    "$(printf '%.3f..%.3f' "$low" "$high")" ">= $4" "$verdict"
}
ratio_row "/T11 vs bare open/close" z11 bare11 0.97
ratio_row "/T12 vs bare open/read/read/close" z12 bare12 0.97
ratio_row "/T5 vs /T6 (through BTRV)" t5L t6L 0.95
ratio_row "/T2 vs /T6 (through CallEngine)" t2L t6L 0.85
if [ "$have_lmdb" = 1 ]; then
  ratio_row "/T6 vs LMDB MDB_FIRST" t6L lmdbF 1.0
  ratio_row "/T4 vs LMDB MDB_FIRST" t4L lmdbF 1.0
  ratio_row "/T3 vs LMDB MDB_LAST" t3L lmdbL 1.0
else
  printf '%-44s %8s %17s %8s  %s\n' "stand-in vs LMDB" "n/a" "" ">= 1.0" "LMDB missing"
fi
for t in 1 2 3 4; do
  ratio_row "/T$t, $large_records vs $small_records records" "t${t}L" "t${t}S" 0.9
  [ -n "$huge" ] && ratio_row "/T$t, $huge_records vs $small_records records" \
    "t${t}H" "t${t}S" 0.9
done

echo
buffer_kib=254  # the 260,000-byte DataBuffer
if [ -n "$peak_engine" ]; then
  verdict="$( [ "$peak_engine" -le 8192 ] && echo met || echo "NOT MET")"
  printf 'Peak memory of zorbinel /T2 on %s records: %s KiB (%.1f MiB; DataBuffer %s KiB;' \
    "$largest_records" "$peak_engine" "$(awk -v k="$peak_engine" \
    'BEGIN { print k / 1024 }')" "$buffer_kib"
  printf ' bare loop %s KiB); target <= 8 MiB: %s\n' "${peak_bare:-n/a}" "$verdict"
else
  echo "Peak memory: n/a (/usr/bin/time missing)"
fi
# --- The hot loop: instructions of one iteration under callgrind. A run of /T0 (start-up,
# banner, time stamps and Reset, no iteration) is the baseline taken off every figure; the
# engine's share is what the calls into its entry point cost.
callgrind_run() {  # output-file zorbinel-arguments...
  local out="$1"
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out" "$prof_dir/zorbinel" "$@" \
    >/dev/null 2>&1 || true
}
# Calls into the entry point, their inclusive cost, and the program's total.
engine_calls() {
  awk '
    function resolve(text,   id, rest) {
      if (match(text, /^\([0-9]+\)/)) {
        id = substr(text, 1, RLENGTH); rest = substr(text, RLENGTH + 2)
        if (rest != "") names[id] = rest
        return names[id]
      }
      return text
    }
    /^fn=/ { resolve(substr($0, 4)); next }
    /^cfn=/ { callee = resolve(substr($0, 5)); next }
    /^calls=/ { split(substr($0, 7), c, " "); pending = c[1]; next }
    pending != "" { if (callee ~ /StandInEngineCall/) { calls += pending; cost += $2 }
                    pending = ""; next }
    /^(totals|summary):/ { total = $2 }
    END { printf "%d %d %d\n", calls, cost, total }' "$1"
}
# Self cost of each function, one "cost name" line each.
self_costs() {
  callgrind_annotate --show-percs=no --threshold=100 --auto=no "$1" 2>/dev/null |
    awk '/^-+$/ { rule++; next }
         rule >= 6 && $1 ~ /^[0-9,]+$/ {
           cost = $1; gsub(",", "", cost); $1 = ""
           name = $0; sub(/^ +/, "", name); sub(/ \[[^]]*\]$/, "", name)
           sub(/^.*\/(sysdeps|string)\/.*\//, "libc/", name)
           gsub(/\(anonymous namespace\)::/, "", name); sub(/\(.*/, "", name)
           sum[name] += cost }
         END { for (n in sum) print sum[n], n }'
}
# Types 2 to 6 call the entry point once per iteration, with the Open before the loop and the
# Reset after it; type 1 twice (Open, Close), with the Reset after.
calls_per_iteration() { if [ "$1" = 1 ]; then echo 2; else echo 1; fi; }
iterations_of() {  # type calls
  if [ "$1" = 1 ]; then echo $((($2 - 1) / 2)); else echo $(($2 - 2)); fi
}
print_hot_loop() {
  prof_dir="$build_dir/prof"
  cmake -S . -B "$prof_dir" "${build_options[@]}" -DCMAKE_CXX_FLAGS=-g >/dev/null
  cmake --build "$prof_dir" -j2 --target zorbinel >/dev/null
  local work="$prof_dir/callgrind"
  mkdir -p "$work"
  callgrind_run "$work/t0.out" "$large" /R1 /T0
  local base_total
  base_total="$(engine_calls "$work/t0.out" | cut -d' ' -f3)"
  self_costs "$work/t0.out" >"$work/t0.self"
  echo
  echo "Instructions per iteration under callgrind (/R1 on $large_records records; start-up" \
       "taken off by a /T0 run):"
  printf '%-34s %10s %10s %10s %14s\n' "test type" total engine "zorbinel's" "iterations"
  local t calls cost total iterations
  for t in 6 5 2 3 4 1; do
    callgrind_run "$work/t$t.out" "$large" /R1 "/T$t"
    read -r calls cost total < <(engine_calls "$work/t$t.out")
    iterations="$(iterations_of "$t" "$calls")"
    if [ "$iterations" -le 0 ]; then
      printf '%-34s %10s\n' "/T$t" "failed"
      continue
    fi
    awk -v t="$t" -v c="$cost" -v tot="$total" -v b="$base_total" -v n="$iterations" \
      -v calls="$calls" -v k="$(calls_per_iteration "$t")" \
      'BEGIN { e = c / calls * k; all = (tot - b) / n
               printf "%-34s %10.1f %10.1f %10.1f %14d\n", "/T" t, all, e, all - e, n }'
  done
  for t in 6 2 1; do
    read -r calls cost total < <(engine_calls "$work/t$t.out")
    echo
    echo "Where one /T$t iteration goes (instructions, functions of 1 or more):"
    self_costs "$work/t$t.out" | awk -v n="$(iterations_of "$t" "$calls")" '
      NR == FNR { base[substr($0, index($0, " ") + 1)] = $1; next }
      { name = substr($0, index($0, " ") + 1); per = ($1 - base[name]) / n
        if (per >= 1) printf "  %8.1f  %s\n", per, name }' "$work/t0.self" - | sort -rn
  done
}
if [ "$hot_loop" = 1 ]; then
  if command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null; then
    print_hot_loop
  else
    echo
    echo "Instructions per iteration: n/a (valgrind missing)"
  fi
fi

if [ -s "$failures" ]; then
  echo
  echo "Runs that printed no rate:"
  sed 's/^/  /' "$failures"
fi
[ "$smoke" = 1 ] && echo && echo "(smoke run: one short round on small files, not a measurement)"
# A figure that printed no rate is a fault of the programs, not noise.
[ ! -s "$failures" ]
