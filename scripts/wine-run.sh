#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CTest's emulator for the
# Windows build). Needs a display: the test scripts start one; failing that, a private
# Xvfb is started here for this one program and stopped again when it has ended.
set -eu
source "$(dirname "$0")/wine-env.sh"
TUNYRA_XVFB_PID=""
tunyra_ensure_display
tunyra_ensure_prefix
if [ -z "$TUNYRA_XVFB_PID" ]; then
  exec wine "$@"
fi
rc=0
wine "$@" || rc=$?
# The prefix's own processes (the desktop, services) hold the display until the
# server has gone; the server ends by itself shortly after the last program.
wineserver -w >/dev/null 2>&1 || true
kill "$TUNYRA_XVFB_PID" 2>/dev/null || true
exit $rc
