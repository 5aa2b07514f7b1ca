#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite.
#   scripts/test.sh             into build/
#   scripts/test.sh --sanitize  into build-asan/, with AddressSanitizer and
#                               UndefinedBehaviorSanitizer, built by clang so
#                               that the code is checked by a second compiler
#                               (the one macOS builds with)
# Further arguments go to ctest.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
if [ "${1:-}" = --sanitize ]; then
    shift
    scripts/bootstrap.sh clang
    export CC="${CC:-clang}" CXX="${CXX:-clang++}"
    export VELDRIN_BUILD_DIR="${VELDRIN_BUILD_DIR:-build-asan}"
    export VELDRIN_CMAKE_ARGS="-DVELDRIN_SANITIZE=ON"
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
    export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(pwd)/scripts/lsan.supp}"
fi
scripts/build.sh
cd "${VELDRIN_BUILD_DIR:-build}"
ctest --output-on-failure --parallel 2 --timeout 300 "$@"
