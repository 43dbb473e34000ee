#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CTest's emulator for the
# Windows build). Needs a display: the test scripts start one; failing that, a private
# Xvfb is started here for this one program and stopped again when it has ended.
#
# A GoogleTest program (one given a --gtest_ option) must also end with GoogleTest's
# summary: one that ends before reporting all its tests has failed, whatever its exit
# code says.
#
# A program still running after TUNYRA_RUN_SECONDS (default 500) times the time factor
# (TUNYRA_TEST_TIME_FACTOR, as the tests' own waits) is stopped and fails, so that no
# Wine process outlives its test.
set -eu
source "$(dirname "$0")/wine-env.sh"
TUNYRA_XVFB_PID=""
tunyra_ensure_display
tunyra_ensure_prefix

limit=$(tunyra_scaled_seconds "${TUNYRA_RUN_SECONDS:-500}")
run() { timeout --kill-after=10 "$limit" wine "$@"; }
said_stopped() {
  if [ "$1" -eq 124 ] || [ "$1" -eq 137 ]; then echo "*** $2 still running after $limit s: stopped" >&2; fi
}

gtest=0
for arg in "$@"; do
  case "$arg" in --gtest_list_tests*) gtest=0; break ;; --gtest_*) gtest=1 ;; esac
done

rc=0
if [ $gtest -eq 1 ]; then
  log=$(mktemp)
  set +e
  run "$@" | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  said_stopped "$rc" "$1"
  if [ "$rc" -eq 0 ] && ! grep -Eq '^\[==========\] [0-9]+ tests? from [0-9]+ test (suites?|cases?) ran\.' "$log"; then
    echo "*** $1 ended with code 0 before GoogleTest reported all its tests" >&2
    rc=1
  fi
  rm -f "$log"
else
  run "$@" || rc=$?
  said_stopped "$rc" "$1"
fi
if [ -n "$TUNYRA_XVFB_PID" ]; then
  # The prefix's own processes (the desktop, services) hold the display until the
  # server has gone; the server ends by itself shortly after the last program.
  wineserver -w >/dev/null 2>&1 || true
  kill "$TUNYRA_XVFB_PID" 2>/dev/null || true
fi
exit $rc
