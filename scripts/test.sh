#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh
BUILD_DIR="${VELDRIN_BUILD_DIR:-build}"
cd "$BUILD_DIR"
ctest --output-on-failure --parallel 2 --timeout 300 "$@"
