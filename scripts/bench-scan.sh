#!/usr/bin/env bash
# The folder scan's benchmark: generated folders of 10k and 100k tagged audio files
# (kept in build/bench-scan/ for the next run), tunyra-scan's first scan, its rescan
# and its peak memory, and beets importing the 10k folder without its tagger.
#   --quick: the 10k folder only; --no-beets: without the beets comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

scripts/install-deps.sh
if [[ " $* " != *" --no-beets "* ]] && ! command -v beet >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends beets >/dev/null
fi

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTUNYRA_BUILD_BENCH=ON >/dev/null
cmake --build build/bench --target tunyra-scan-bench tunyra-scan -j"$JOBS"
mkdir -p build/bench-scan
build/bench/bench/tunyra-scan-bench build/bench-scan "$@"
