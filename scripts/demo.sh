#!/usr/bin/env bash
# Builds ZarvPad, the demo editor, and opens it on FILE, or on a generated
# 2 MB C++-like sample when FILE is omitted. Other arguments go to zarvpad
# (--goto LINE, --report). Without a display (no DISPLAY or WAYLAND_DISPLAY)
# it runs under xvfb-run, saves a screenshot of the window and prints where.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DZARV_BUILD_BENCH=ON -DZARV_BUILD_DEMO=ON
else
  cmake -S . -B build -DZARV_BUILD_BENCH=ON -DZARV_BUILD_DEMO=ON >/dev/null
fi
cmake --build build --target zarvpad zarv_corpus
file=""
args=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --goto) args+=("$1" "$2"); shift 2 ;;
    -*) args+=("$1"); shift ;;
    *) [[ -z "$file" ]] && file=$1 || args+=("$1"); shift ;;
  esac
done
if [[ -z "$file" ]]; then
  file=$(mktemp --suffix=.cpp)
  trap 'rm -f "$file"' EXIT
  build/bench/zarv_corpus --kind cpp --size 2MB -o "$file" >/dev/null
  echo "(generated a 2 MB C++-like sample: $file)"
fi
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && ! " ${args[*]:-} " =~ " --report " ]]; then
  shot=$(mktemp /tmp/zarvpad-XXXX.png)
  echo "(no display: running under xvfb-run and saving a screenshot)"
  xvfb-run -a -s "-screen 0 1280x1024x24" build/demo/zarvpad "$file" "${args[@]}" --screenshot "$shot"
  echo "screenshot of the ZarvPad window: $shot"
else
  build/demo/zarvpad "$file" "${args[@]}"
fi
