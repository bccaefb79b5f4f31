#!/usr/bin/env bash
# Installs the library from a build tree into a temporary prefix, builds the
# example application in docs/example against it with find_package, and runs
# it: proves that the installed package and its <ZarvMemo/...> headers work
# on their own.
#   scripts/package-test.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$BUILD_DIR" --prefix "$work/prefix" > "$work/install.log"
cmake -S docs/example -B "$work/example" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" > "$work/configure.log"
cmake --build "$work/example" > "$work/build.log" || { cat "$work/build.log"; exit 1; }
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$work/example/zarv_example"
echo "package test: the installed package builds and runs an application"
