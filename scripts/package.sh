#!/bin/sh
# Builds the Debian package from a fresh optimised build in build-package/:
#   scripts/package.sh        ->  build-package/veldrin_<version>_<arch>.deb
# Install it with `sudo apt install ./build-package/veldrin_*.deb`, remove it
# with `sudo apt remove veldrin`.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
BUILD_DIR=build-package
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRIN_BUILD_TESTS=OFF
cmake --build "$BUILD_DIR"
cd "$BUILD_DIR"
cpack
ls -1 "$(pwd)"/veldrin_*.deb
