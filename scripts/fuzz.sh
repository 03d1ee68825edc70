#!/usr/bin/env bash
# Runs every libFuzzer target (or the ones named) for N seconds each.
#   bash scripts/fuzz.sh 60                 every target, 60 s each
#   bash scripts/fuzz.sh 300 fuzz_a fuzz_b  the named targets
# Stops with a non-zero exit at the first finding; the input is kept under
# fuzz-corpus/<target>/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}; shift || true
jobs=$(nproc 2>/dev/null || echo 8)

bash scripts/deps.sh >/dev/null
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_TESTS=OFF -DORVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_all

if [ "$#" -gt 0 ]; then targets=("$@"); else mapfile -t targets < build-fuzz/fuzz-targets.txt; fi

for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  corpus=fuzz-corpus/$t
  mkdir -p "$corpus/crashes"
  seeds=()
  [ -d "fuzz/seeds/$t" ] && seeds+=("fuzz/seeds/$t")
  echo "== $t for ${secs}s"
  if ! ./build-fuzz/bin/"$t" -max_total_time="$secs" -print_final_stats=1 \
        -artifact_prefix="$corpus/crashes/" "$corpus" "${seeds[@]}" 2>"$corpus/last.log"; then
    tail -n 40 "$corpus/last.log"
    echo "== $t: FINDING (see $corpus/crashes/)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$corpus/last.log" | tail -n 2
  echo "== $t: clean"
done
