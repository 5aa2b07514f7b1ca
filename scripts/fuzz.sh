#!/bin/sh
# Builds the libFuzzer targets with clang (ASan and UBSan) in build-fuzz/ and
# runs each for the given number of seconds, starting from fuzz/corpus/:
#   scripts/fuzz.sh SECONDS [TARGET...]        default: every target
# A crash, a broken promise or a time-out fails the run; libFuzzer leaves the
# input in build-fuzz/artifacts/. What each run found goes to build-fuzz/corpus/.
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
scripts/bootstrap.sh fuzz
BUILD_DIR=build-fuzz
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELDRIN_BUILD_FUZZ=ON -DVELDRIN_BUILD_TESTS=OFF
fi
cmake --build "$BUILD_DIR" --target fuzz_all
[ $# -gt 0 ] || set -- $(ls fuzz/corpus)
mkdir -p "$BUILD_DIR/artifacts"
for target in "$@"; do
    corpus="$BUILD_DIR/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target, $SECONDS_EACH s"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$BUILD_DIR/fuzz/$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$BUILD_DIR/artifacts/$target-" "$corpus" "fuzz/corpus/$target" \
        2>"$BUILD_DIR/$target.log" || { tail -40 "$BUILD_DIR/$target.log"; exit 1; }
    grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "$BUILD_DIR/$target.log" |
        tr -s ' \n' ' '
    echo
done
