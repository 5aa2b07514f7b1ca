#!/bin/sh
# Installs what the benchmarks need, builds them into build-bench/ (an
# optimised build of its own) and runs the given one, or all of them.
#   scripts/bench.sh                  every benchmark
#   scripts/bench.sh bench_queries    one, with its own arguments after it
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh bench
export VELDRIN_BUILD_DIR=build-bench
export VELDRIN_CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Release -DVELDRIN_BUILD_BENCH=ON -DVELDRIN_BUILD_TESTS=OFF"
scripts/build.sh
if [ $# -gt 0 ]; then
    name=$1
    shift
    exec "build-bench/bench/$name" "$@"
fi
status=0
for b in bench_queries bench_logwindow bench_reopen bench_idle bench_startup bench_menu_flood bench_hung_controller; do
    echo "== $b"
    "build-bench/bench/$b" || status=1
done
exit $status
