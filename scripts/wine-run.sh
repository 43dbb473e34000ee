#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CTest's emulator for the
# Windows build). Needs a display: the test scripts start one; failing that, a private
# Xvfb is started here and left for the caller's script to stop.
set -eu
source "$(dirname "$0")/wine-env.sh"
tunyra_ensure_display
tunyra_ensure_prefix
exec wine "$@"
