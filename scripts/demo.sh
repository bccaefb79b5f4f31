#!/usr/bin/env bash
# Builds the demo and runs it on FILE, or on a generated sample when FILE is
# omitted. For now the demo loads the text into an editor control (finding
# its encoding), reports what it found and checks that saving gives the
# same bytes back.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DZARV_BUILD_BENCH=ON -DZARV_BUILD_DEMO=ON
else
  cmake -S . -B build -DZARV_BUILD_BENCH=ON -DZARV_BUILD_DEMO=ON >/dev/null
fi
cmake --build build --target zarvpad zarv_corpus
file=${1:-}
if [[ -z "$file" ]]; then
  file=$(mktemp --suffix=.cpp)
  trap 'rm -f "$file"' EXIT
  build/bench/zarv_corpus --kind cpp --size 2MB -o "$file" >/dev/null
  echo "(generated a 2 MB C++-like sample: $file)"
fi
build/demo/zarvpad "$file"
