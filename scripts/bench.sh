#!/usr/bin/env bash
# Builds the benchmarks in Release and prints their table: the catalogue and the song
# picking on generated libraries of 10k, 100k and 1M items against straightforward
# versions of the same operations, and tunyra-pick end to end. Extra arguments go to
# the benchmark (--quick, --sizes N,N,...). Takes a few minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

scripts/install-deps.sh

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra-bench tunyra-pick -j"$JOBS"
build/bench/bench/tunyra-bench "$@"
