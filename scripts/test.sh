#!/usr/bin/env bash
# Installs what is missing, configures and builds everything, runs every test.
#   scripts/test.sh            build in build/ (RelWithDebInfo) and run ctest
#   BUILD_DIR=... ASAN=ON scripts/test.sh   the same in another tree, sanitized
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

BUILD_DIR=${BUILD_DIR:-build}
ASAN=${ASAN:-OFF}
JOBS=${JOBS:-$(nproc)}
if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DASAN="$ASAN" ${CMAKE_ARGS:-}
fi
cmake --build "$BUILD_DIR" -j "$JOBS"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" ${CTEST_ARGS:-}
# The installed package, used the way an application uses it.
if [[ "$ASAN" != "ON" && "${ZARV_PACKAGE_TEST:-1}" == "1" ]]; then
  scripts/package-test.sh "$BUILD_DIR"
fi
