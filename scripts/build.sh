#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR) with every core.
# Usage: scripts/build.sh [CMAKE-OPTIONS...]   (e.g. -DMOULDMON_BUILD_BENCH=OFF)
set -euo pipefail
source "$(dirname "$0")/usage.sh"
usage_help "$@"
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
