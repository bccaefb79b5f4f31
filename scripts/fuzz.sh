#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each of them for a while.
#   scripts/fuzz.sh [SECONDS] [NAME_FILTER]
#     SECONDS      run time per target (default 60)
#     NAME_FILTER  only targets whose name contains it
#   BUILD_DIR=...  build tree (default build-fuzz)
# The seed corpus in fuzz/corpus/<folder> is only read; what the fuzzer finds
# goes to $BUILD_DIR/corpus/<target>, and crashes to $BUILD_DIR/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh --fuzz

SECONDS_PER_TARGET=${1:-60}
FILTER=${2:-}
BUILD_DIR=${BUILD_DIR:-build-fuzz}

if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZARV_BUILD_FUZZ=ON -DZARV_BUILD_TESTS=OFF -DZARV_BUILD_BENCH=OFF -DZARV_BUILD_DEMO=OFF
fi
LIST="$BUILD_DIR/fuzz/fuzz_targets.txt"
TARGETS=()
while read -r exe _; do TARGETS+=("$(basename "$exe")"); done < "$LIST"
cmake --build "$BUILD_DIR" --target "${TARGETS[@]}"

mkdir -p "$BUILD_DIR/artifacts"
status=0
while read -r exe seeds; do
  name=$(basename "$exe")
  [[ -n "$FILTER" && "$name" != *"$FILTER"* ]] && continue
  corpus="$BUILD_DIR/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name: ${SECONDS_PER_TARGET}s"
  # Inputs up to 8 KB; the loader target shrinks its buffers to a few characters,
  # so small inputs reach every buffer edge.
  if ! "$exe" -max_total_time="$SECONDS_PER_TARGET" -max_len=8192 -timeout=30 -rss_limit_mb=4096 \
      -print_final_stats=1 \
      -artifact_prefix="$BUILD_DIR/artifacts/$name-" "$corpus" "$seeds"; then
    echo "== $name: FAILED (see $BUILD_DIR/artifacts/)"
    status=1
  fi
done < "$LIST"
exit $status
