#!/usr/bin/env bash
# tunyra's timing goals against their peers in the same run (bench/tui_bench.py):
# ready on a private MPD of 100k songs against `mpc listall` with tags, and a key press
# with a million values in a column against one with a thousand. Builds build/bench.
# RUNS=N for the best of N; an argument sets the number of MPD songs.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra -j"${JOBS:-2}" >/dev/null
exec python3 bench/tui_bench.py build/bench/tui/tunyra "${1:-100000}"
