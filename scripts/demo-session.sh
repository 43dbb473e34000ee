#!/usr/bin/env bash
# The scripted part of the main job: drives the stand-in player and Tunyra with real
# keyboard input on the current (virtual) display, like a user would, then prints the
# playlist and keeps screenshots. Called by scripts/demo.sh.
#   demo-session.sh BIN_DIR OUT_DIR MINUTES [LIBRARY]
set -euo pipefail
BIN=$1
OUT=$2
MINUTES=$3
ROOT=$(cd "$(dirname "$0")/.." && pwd)
LIBRARY=${4:-$ROOT/samples/library.tsv}
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT/playlist.m3u" "$OUT/messages.log"

PLAYER_TITLE="Tunyra Stand-in Player"
DIALOG_TITLE="Tunyra v1.00 beta :: Select Songs"

# Prints the X window id of the first window whose name is exactly $1, waiting up to $2 s.
wait_window() {
  local name=$1 limit=$2 i id
  for i in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "^${name//./\\.}\$" 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "timed out waiting for the window \"$name\"" >&2
  return 1
}
wait_gone() {
  local name=$1 limit=$2 i
  for i in $(seq 1 $((limit * 10))); do
    xdotool search --onlyvisible --name "^${name//./\\.}\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "timed out waiting for \"$name\" to close" >&2
  return 1
}
# The virtual display has no window manager: shoot the whole screen and trim the
# empty background around the windows.
shot() {
  import -window root "$OUT/$1.png"
  convert "$OUT/$1.png" -trim +repage "$OUT/$1.png"
  echo "   screenshot: $OUT/$1.png"
}
keys() { xdotool key --delay 60 "$@"; }

echo "== starting the stand-in player with gen_tunyra.dll and the library $LIBRARY"
wine "$BIN/standin.exe" --library "Z:$LIBRARY" --plugin "Z:$BIN/gen_tunyra.dll" \
  --m3u-on-exit "Z:$OUT/playlist.m3u" --log-on-exit "Z:$OUT/messages.log" >/dev/null 2>&1 &
PLAYER_PID=$!
player=$(wait_window "$PLAYER_TITLE" 60)
xdotool windowactivate --sync "$player" 2>/dev/null || xdotool windowfocus --sync "$player" || true

echo "== pressing the hotkey (Ctrl+Alt+T)"
keys ctrl+alt+t
if ! dialog=$(wait_window "$DIALOG_TITLE" 15); then
  echo "   (no hotkey delivered; using the Plug-ins menu instead)"
  keys alt+p Return
  dialog=$(wait_window "$DIALOG_TITLE" 30)
fi
sleep 0.5  # let the first paint finish before the screenshot

echo "== setting $MINUTES minutes and ticking three artists"
keys End BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 60 "$MINUTES"
# Tab order: minutes, Start Playing?, Allow Duplicates?, kind of column 1, its list.
keys Tab Tab Tab Tab
keys Down Down space Down Down space Down space
shot select-songs
echo "== pressing Find Songs (Enter)"
keys Return
wait_gone "$DIALOG_TITLE" 30
sleep 0.5
shot player-with-playlist

echo "== showing the About picture (Plug-ins > Configure Tunyra)"
xdotool windowactivate --sync "$player" 2>/dev/null || true
keys alt+p Down Return
sleep 1.2
shot splash

echo "== closing the player"
sleep 3
xdotool windowactivate --sync "$player" 2>/dev/null || true
keys alt+f x
for i in $(seq 1 100); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done

if [ ! -s "$OUT/playlist.m3u" ]; then
  echo "the player wrote no playlist ($OUT/playlist.m3u)" >&2
  exit 1
fi
echo
echo "== the playlist Tunyra made ($MINUTES minutes requested)"
awk -v want=$((MINUTES * 60)) '
  /^#EXTINF:/ { split(substr($0, 9), a, ","); len = a[1]; title = substr($0, index($0, ",") + 1); next }
  /^#/ { next }
  NF { n++; total += len; printf "%3d. %-44s %2d:%02d\n", n, substr(title, 1, 44), len / 60, len % 60 }
  END {
    printf "\n%d songs, total %d:%02d:%02d for %d:%02d:00 requested\n", n, total / 3600, (total % 3600) / 60, total % 60, want / 3600, (want % 3600) / 60
    if (n == 0) exit 1
  }' "$OUT/playlist.m3u" | iconv -f latin1 -t utf-8
echo
echo "Screenshots are in $OUT:"
ls -1 "$OUT"/*.png
