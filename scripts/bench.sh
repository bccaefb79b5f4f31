#!/usr/bin/env bash
# Builds the benchmarks in an optimised tree and runs every one of them.
#
#   scripts/bench.sh [ARGS...]     e.g. scripts/bench.sh --quick
#   scripts/bench.sh --peers       the side-by-side run against QScintilla
#                                  and QPlainTextEdit (bench/peers/)
#
# ARGS go to each benchmark program. The tree is build-bench/ (Release,
# Ninja, without tests and demo); it is configured once and rebuilt
# incrementally afterwards. Each program prints `name: value unit` lines.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"

if [[ "${1:-}" == "--peers" ]]; then
  # Same files, same scenarios, one run: the corpus is made from this
  # machine's headers once; results go to build-bench/peers-results.jsonl.
  "$root/scripts/setup-deps.sh" --peers
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZARV_BUILD_BENCH=ON -DZARV_BUILD_PEERS=ON -DZARV_BUILD_TESTS=OFF -DZARV_BUILD_DEMO=OFF >/dev/null
  cmake --build "$build" --target zarv_peers
  corpus="$build/peers-corpus"
  [[ -f "$corpus/longlines.cpp" ]] || "$root/bench/peers/make-corpus.sh" "$corpus"
  results="$build/peers-results.jsonl"
  cat "$corpus"/* >/dev/null # every peer reads its files from the page cache
  rm -f "$results" "$results.stderr"
  BIN="$build/bench/peers" "$root/bench/peers/run-all.sh" "$corpus" "$results"
  "$root/bench/peers/table.sh" "$results"
  echo
  "$root/bench/peers/ratios.sh" "$results"
  exit 0
fi

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
