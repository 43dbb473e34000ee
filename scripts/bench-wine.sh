#!/usr/bin/env bash
# Times the real gen_tunyra.dll in the stand-in player under Wine with a library of
# 100 000 items (TUNYRA_ITEMS to change it): from the hotkey to the dialog ready with
# its four lists filled, "All" on the longest list, and "Find Songs" with every artist
# checked, each against its target. Prints figures; a missed target is not a failure.
set -euo pipefail
exec "$(dirname "$0")/wine-large-run.sh" 'LargeLibraryRun.TimingRun'
