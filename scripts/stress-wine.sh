#!/usr/bin/env bash
# The million-item run (TUNYRA_STRESS_ITEMS to change it): the stand-in player serves
# the library to the real gen_tunyra.dll in the 32-bit process, the dialog opens,
# "Find Songs" with every artist checked fills the playlist, and the peak of committed
# memory is printed against the 2 GB address space (failing above three quarters of
# it). A few minutes under Wine.
set -euo pipefail
exec "$(dirname "$0")/wine-large-run.sh" 'LargeLibraryRun.MillionItemsStayInsideTheAddressSpace'
