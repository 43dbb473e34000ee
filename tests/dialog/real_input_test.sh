#!/usr/bin/env bash
# The Select Songs dialog driven with real input through the X server: the stand-in
# player with the real plug-in, the hotkey pressed, an artist's check box and "Find
# Songs" clicked with the mouse; the playlist the player writes on exit is checked.
# Usage: real_input_test.sh <folder with standin.exe and gen_tunyra.dll> [dots per inch]
# (the screen's dots per inch, 96 unless given; the clicks follow the dialog's size).
set -euo pipefail
BIN=$(cd "$1" && pwd)
export TUNYRA_DPI=${2:-96}
TUNYRA_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
if ! command -v xdotool >/dev/null; then
  echo "xdotool is not installed: skipped"
  exit 77
fi
source "$TUNYRA_ROOT/scripts/wine-env.sh"
TUNYRA_XVFB_PID=""
tunyra_ensure_display
tunyra_ensure_prefix

WORK=$(mktemp -d)
STANDIN_PID=""
cleanup() {
  if [ -n "$STANDIN_PID" ] && kill -0 "$STANDIN_PID" 2>/dev/null; then
    wine taskkill /im standin.exe >/dev/null 2>&1 || true
    for _ in $(seq 1 100); do kill -0 "$STANDIN_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$STANDIN_PID" 2>/dev/null || true
  fi
  if [ -n "$TUNYRA_XVFB_PID" ]; then kill "$TUNYRA_XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Polls `command...` every 0.1 s, for at most $1 seconds times the time factor.
wait_until() {
  local seconds
  seconds=$(tunyra_scaled_seconds "$1")
  shift
  local i
  for i in $(seq 1 $((seconds * 10))); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Fifteen five-minute songs by Aardvark (listed first in the artist column) and six by
# The Zebras: an hour of Aardvark is twelve distinct songs.
{
  printf 'filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended\n'
  for i in $(seq -w 0 14); do
    printf 'C:\\\\music\\\\aardvark%s.mp3\tBurrow %s\tDigging\tAardvark\t\tRock\t2001\t1\t300\t\n' "$i" "$i"
  done
  for i in $(seq 0 5); do
    printf 'C:\\\\music\\\\zebra%s.mp3\tStripe %s\tSavanna\tThe Zebras\t\tPop\t2002\t1\t250\t\n' "$i" "$i"
  done
} >"$WORK/library.tsv"

(cd "$BIN" && exec wine standin.exe --library "$(winepath -w "$WORK/library.tsv")" --plugin gen_tunyra.dll \
  --hotkey=ctrl+shift+f11 --m3u-on-exit "$(winepath -w "$WORK/playlist.m3u")" >"$WORK/standin.log" 2>&1) &
STANDIN_PID=$!

find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
window_shown() { [ -n "$(find_window "$1")" ]; }
window_gone() { [ -z "$(find_window "$1")" ]; }
wait_until 120 window_shown 'Tunyra Stand-in Player' || fail "the stand-in player did not open"

# A key of its own, so a player left over by another test cannot hold it. The key is
# bound once the plug-in's record has reached the player: press until the dialog opens.
DIALOG=""
for _ in 1 2 3 4 5 6; do
  xdotool key ctrl+shift+F11
  if wait_until 5 window_shown 'Tunyra v1.00 beta :: Select Songs'; then
    DIALOG=$(find_window 'Tunyra v1.00 beta :: Select Songs')
    break
  fi
done
[ -n "$DIALOG" ] || fail "the hotkey did not open the Select Songs dialog"

# Dialog units to pixels: the X window is the dialog's client area, 510 x 249 units.
eval "$(xdotool getwindowgeometry --shell "$DIALOG")"
echo "the dialog at $TUNYRA_DPI dpi: $WIDTH x $HEIGHT pixels"
px() { awk -v u="$1" -v w="$WIDTH" 'BEGIN { printf "%d", u * w / 510 + 0.5 }'; }
py() { awk -v u="$1" -v h="$HEIGHT" 'BEGIN { printf "%d", u * h / 249 + 0.5 }'; }
# The first item of the artist list (list at 13, 104): its check box sits at the left,
# as wide as the row is high less two pixels (13 pixels at 96 dpi, with a margin of two
# on either side). The click goes near the box's right edge (14 pixels in at 96 dpi,
# scaled), where a box that kept its 96-dpi size on a larger screen is missed.
BOX_X=$(($(px 13) + 14 * TUNYRA_DPI / 96))
BOX_Y=$(($(py 104) + 9 * TUNYRA_DPI / 96))
FIND_X=$(px 174)
FIND_Y=$(py 234)

xdotool mousemove --window "$DIALOG" "$BOX_X" "$BOX_Y" click 1
xdotool mousemove --window "$DIALOG" "$FIND_X" "$FIND_Y" click 1
wait_until 20 window_gone 'Tunyra v1.00 beta :: Select Songs' ||
  fail "the dialog did not close after Find Songs (no check box hit, or a message box came up)"

wine taskkill /im standin.exe >/dev/null 2>&1 || true
wait_until 30 test -s "$WORK/playlist.m3u" || fail "the stand-in wrote no playlist"
wait "$STANDIN_PID" || true
STANDIN_PID=""

tr -d '\r' <"$WORK/playlist.m3u" >"$WORK/playlist.txt"
files=$(grep -v '^#' "$WORK/playlist.txt" || true)
count=$(printf '%s\n' "$files" | grep -c . || true)
distinct=$(printf '%s\n' "$files" | sort -u | grep -c . || true)
[ "$count" -eq 12 ] || fail "expected 12 songs, got $count: $files"
[ "$distinct" -eq 12 ] || fail "a song was picked twice with duplicates off: $files"
if printf '%s\n' "$files" | grep -v -q 'aardvark'; then fail "a song not by Aardvark: $files"; fi
echo "real input at $TUNYRA_DPI dpi: 12 distinct Aardvark songs in the playlist"
