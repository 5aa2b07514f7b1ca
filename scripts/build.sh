#!/bin/sh
# Configures and builds into build/ (or $VELDRIN_BUILD_DIR).
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${VELDRIN_BUILD_DIR:-build}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" "$@"
