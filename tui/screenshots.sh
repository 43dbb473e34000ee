#!/usr/bin/env bash
# The user guide's pictures of tunyra: the sample library in tmux at 80x24 and 200x50,
# a genre ticked and the playlist found, against a private MPD (an empty one, in a
# temporary folder); each screen kept as text and drawn as a PNG with ImageMagick.
# Usage: tui/screenshots.sh BUILD_FOLDER OUT_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd) out=$2 source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
work=$(mktemp -d)
tmux_() { tmux -S "$work/tmux.sock" "$@"; }
cleanup() { tmux_ kill-server 2>/dev/null || true; [ -f "$work/mpd.pid" ] && kill "$(cat "$work/mpd.pid")" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/music" "$work/playlists"
cat >"$work/mpd.conf" <<CONF
music_directory "$work/music"
playlist_directory "$work/playlists"
db_file "$work/database"
pid_file "$work/mpd.pid"
log_file "$work/log"
bind_to_address "$work/socket"
audio_output {
  type "null"
  name "null"
}
CONF
mpd "$work/mpd.conf" 2>/dev/null
for _ in $(seq 100); do [ -S "$work/socket" ] && break; sleep 0.05; done

wait_for() {  # wait_for TEXT: up to 10 s
  for _ in $(seq 200); do tmux_ capture-pane -p -t t | grep -qF -- "$1" && return 0; sleep 0.05; done
  echo "screenshots: '$1' never showed" >&2; tmux_ capture-pane -p -t t >&2; return 1
}
shot() {  # shot NAME: the screen as text and as a picture, a label per line
  tmux_ capture-pane -p -t t >"$out/$1.txt"
  local lines=()
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line//%/%%}
    # ImageMagick's label drops leading blanks: no-break spaces keep the columns.
    line=${line// /$'\u00a0'}
    # An empty label is an error: a dot in the background's colour holds the line.
    if [ -n "${line//$'\u00a0'/}" ]; then lines+=("label:$line"); else lines+=(-fill '#1e1e1e' label:. -fill '#d8d8d8'); fi
  done <"$out/$1.txt"
  convert -background '#1e1e1e' -fill '#d8d8d8' -font /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf \
    -pointsize 14 "${lines[@]}" -gravity west -append -bordercolor '#1e1e1e' -border 8 "$out/$1.png"
}
for size in 80x24 200x50; do
  tmux_ new-session -d -s t -x "${size%x*}" -y "${size#*x}" \
    "MPD_HOST='$work/socket' LANG=C.UTF-8 TUNYRA_SEED=42 '$build/tui/tunyra' '$source/samples/library.tsv' --minutes 45"
  wait_for "Genre"
  tmux_ send-keys -t t Tab Tab Tab /
  tmux_ send-keys -t t -l Jazz
  tmux_ send-keys -t t Enter Space
  wait_for "Genre 1/"
  shot "tunyra-dialog-$size"
  tmux_ send-keys -t t f
  wait_for "Playlist:"
  shot "tunyra-playlist-$size"
  tmux_ kill-session -t t || true
done
echo "screenshots in $out"
