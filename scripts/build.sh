#!/bin/sh
# Configures and builds into build/ (or $VELDRIN_BUILD_DIR). Extra CMake
# settings for a fresh configuration go in $VELDRIN_CMAKE_ARGS.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${VELDRIN_BUILD_DIR:-build}"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    # shellcheck disable=SC2086
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELDRIN_CMAKE_ARGS:-}
fi
cmake --build "$BUILD_DIR" "$@"
