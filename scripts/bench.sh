#!/usr/bin/env bash
# Builds the benchmarks in an optimised tree and runs every one of them.
#
#   scripts/bench.sh [ARGS...]     e.g. scripts/bench.sh --quick
#
# ARGS go to each benchmark program. The tree is build-bench/ (Release,
# Ninja, without tests and demo); it is configured once and rebuilt
# incrementally afterwards. Each program prints `name: value unit` lines.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"

"$root/scripts/setup-deps.sh"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZARV_BUILD_BENCH=ON -DZARV_BUILD_TESTS=OFF -DZARV_BUILD_DEMO=OFF >/dev/null
fi
cmake --build "$build" --target zarv_benchmarks

status=0
shopt -s nullglob
for program in "$build"/bench/zarv_bench_*; do
  [[ -x "$program" && -f "$program" ]] || continue
  echo "== $(basename "$program")"
  "$program" "$@" || status=$?
done
exit "$status"
