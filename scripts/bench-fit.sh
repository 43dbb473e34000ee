#!/usr/bin/env bash
# Builds the exact-fit benchmark in Release and prints how close the usual fill and the
# exact fit come to the time asked for (1,000 seeds on the sample library and on 10k and
# 100k generated items, at 30, 60 and 90 minutes) and the time per playlist at 1M items.
# Every playlist's error goes to out/fit-errors.tsv, which scripts/plot-fit-errors.py
# draws. The exact fit under limits of 2, 100 and 1,000 songs per artist is timed against
# the same fit without a limit at 1M items, also with the songs under 1,000 larger artists
# (even and skewed) and so few artists that the limit holds the picks back. Extra
# arguments go to the benchmark (--quick; --limits: only those rows). Takes a minute or two.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

scripts/install-deps.sh

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra-fit-bench -j"$JOBS"
mkdir -p out
build/bench/bench/tunyra-fit-bench --errors out/fit-errors.tsv "$@"
