#!/usr/bin/env bash
# Shared by bench-wine.sh and stress-wine.sh: builds the 32-bit Windows programs
# (build/win32, or WIN32_BUILD_DIR) and runs one test of large_library_tests.exe under
# Wine on a private virtual display. $1 is the gtest filter.
set -euo pipefail
cd "$(dirname "$0")/.."
TUNYRA_ROOT=$(pwd)
BUILD=${WIN32_BUILD_DIR:-$TUNYRA_ROOT/build/win32}

scripts/install-deps.sh >/dev/null
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"${JOBS:-2}" --target large_library_tests gen_tunyra >/dev/null

source scripts/wine-env.sh
tunyra_wine_session
cd "$BUILD/bin"
wine large_library_tests.exe --gtest_filter="$1" --gtest_brief=1
