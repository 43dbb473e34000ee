#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CTest's emulator for the
# Windows build). Needs a display: the test scripts start one; failing that, a private
# Xvfb is started here for this one program and stopped again when it has ended.
#
# A GoogleTest program (one given a --gtest_ option) must also end with GoogleTest's
# summary: one that ends before reporting all its tests has failed, whatever its exit
# code says.
#
# A program still running after TUNYRA_RUN_SECONDS (default 500; CTest sets it a little
# under each test's time limit) times the time factor (TUNYRA_TEST_TIME_FACTOR, as the
# tests' own waits) has its threads' backtraces printed, is stopped and fails, so that no
# Wine process outlives its test and a hang shows where it hung.
set -eu
source "$(dirname "$0")/wine-env.sh"
TUNYRA_XVFB_PID=""
tunyra_ensure_display
tunyra_ensure_prefix

limit=$(tunyra_scaled_seconds "${TUNYRA_RUN_SECONDS:-500}")
# Runs the program; one still running at the limit has the backtraces of its threads
# printed (so a hang says where it is) and is stopped, with code 124.
run() {
  wine "$@" &
  local program=$! ended rc=0
  sleep "$limit" &
  local alarm=$!
  # Whichever ends first: the program, or the time it was given.
  wait -n -p ended "$program" "$alarm" || rc=$?
  if [ "$ended" = "$program" ]; then
    kill "$alarm" 2>/dev/null || true
    wait "$alarm" 2>/dev/null || true
    return "$rc"
  fi
  echo "*** $1 still running after $limit s: the backtraces of its threads, then stopped" >&2
  print_backtraces "$(basename "$1")" >&2
  kill "$program" 2>/dev/null || true
  sleep 5
  kill -9 "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  return 124
}
print_backtraces() {
  local id
  id=$(timeout 30 winedbg --command "info process" 2>/dev/null | tr -d "'" |
       awk -v name="$1" 'tolower($NF) == tolower(name) { print $1; exit }')
  [ -n "$id" ] || { echo "(no Windows process named $1 found)"; return; }
  # "bt all" goes through every process of the prefix: keep this one's threads.
  printf 'attach 0x%s\nbt all\ndetach\nquit\n' "$id" | timeout 60 winedbg 2>&1 |
    awk -v me="in process $(printf '%04x' $((16#$id))) " '/^Backtracing for thread/ { keep = index($0, me) > 0 } keep' || true
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
  if [ "$rc" -eq 0 ] && ! grep -Eq '^\[==========\] [0-9]+ tests? from [0-9]+ test (suites?|cases?) ran\.' "$log"; then
    echo "*** $1 ended with code 0 before GoogleTest reported all its tests" >&2
    rc=1
  fi
  rm -f "$log"
else
  run "$@" || rc=$?
fi
if [ -n "$TUNYRA_XVFB_PID" ]; then
  # The prefix's own processes (the desktop, services) hold the display until the
  # server has gone; the server ends by itself shortly after the last program.
  wineserver -w >/dev/null 2>&1 || true
  kill "$TUNYRA_XVFB_PID" 2>/dev/null || true
fi
exit $rc
