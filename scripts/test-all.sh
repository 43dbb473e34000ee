#!/usr/bin/env bash
# Every test: the native core (plain and under ASan/UBSan), then the 32-bit Windows
# build (core again, plug-in, stand-in player, window tests) under Wine on a private
# virtual display. Installs what is missing first; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
TUNYRA_ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

# Each step's heading says how long the run has taken so far.
SECONDS=0
step() { echo "== $1 (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }

scripts/install-deps.sh

step "native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNYRA_WERROR=ON >/dev/null
cmake --build build/native -j"$JOBS"
ctest --test-dir build/native --output-on-failure -j"$JOBS"

step "native build under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTUNYRA_WERROR=ON -DTUNYRA_SANITIZE=ON \
  -DTUNYRA_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$JOBS"

step "32-bit Windows build"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTUNYRA_WERROR=ON >/dev/null
cmake --build build/win32 -j"$JOBS"

step "Windows tests under Wine"
source scripts/wine-env.sh
# A private display of its own, whatever the caller has.
unset DISPLAY
tunyra_wine_session
# Two at a time (TUNYRA_WINE_JOBS), each in a Wine slot of its own: its own prefix and
# display, so no two running tests share windows, global hotkeys or focus.
WINE_JOBS=${TUNYRA_WINE_JOBS:-2}
slots=$TUNYRA_ROOT/build/win32/wine-slots.json
tunyra_wine_slots "$WINE_JOBS" "$slots"
ctest --test-dir build/win32 --output-on-failure -j"$WINE_JOBS" --resource-spec-file "$slots"
step "every test passed"
