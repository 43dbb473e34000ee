#!/usr/bin/env bash
# The installer's pages as a user sees them, run under Wine on a private virtual display
# in a fresh prefix: the licence, the player's folder, the refusal of a folder without
# the player, the question while the player has the plug-in loaded, the last page.
# Usage: packaging/windows/screenshots.sh INSTALLER STANDIN_EXE OUT_FOLDER
set -euo pipefail
installer=$(realpath "$1") standin=$(realpath "$2")
mkdir -p "$3"
out=$(realpath "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
export TUNYRA_WINEPREFIX=$work/prefix
source "$root/scripts/wine-env.sh"
unset DISPLAY
player_pid=""
finish() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; fi
  tunyra_end_wine_session
  rm -rf "$work"
}
tunyra_wine_session
trap finish EXIT

wait_window() {  # wait_window TITLE SECONDS: prints the window's id
  local i id
  for ((i = 0; i < $2 * 10; i++)); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window '$1' within $2 s" >&2
  return 1
}
shot() {  # shot NAME WINDOW: the screen where the window is (its message boxes lie inside it)
  sleep 1
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1.png"
  echo "screenshot: $out/$1.png"
}
press() {  # press WINDOW KEY...
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key --delay 100 "${@:2}"
}

drive=$WINEPREFIX/drive_c
player_dir="$drive/Program Files/Winamp"
cp "$installer" "$drive/setup.exe"

wine 'C:\setup.exe' >/dev/null 2>&1 &
setup=$(wait_window 'Tunyra .* Setup' 60)
shot installer-licence "$setup"
press "$setup" Return

# The default folder does not exist yet: the installer refuses it.
sleep 1
shot installer-folder "$setup"
press "$setup" Return
box=$(wait_window '^Tunyra .* Setup$' 10)
shot installer-no-player "$setup"
press "$box" Return

# The player is there now, running with the plug-in loaded from an earlier install.
mkdir -p "$player_dir/Plugins"
cp "$standin" "$player_dir/winamp.exe"
cp "$root/samples/library.tsv" "$player_dir/library.tsv" 2>/dev/null || true
wine cmd /c 'C:\setup.exe /S /D=C:\Program Files\Winamp' >/dev/null 2>&1
(cd "$player_dir" && exec wine winamp.exe --plugin 'Plugins\gen_tunyra.dll' >/dev/null 2>&1) &
player_pid=$!
wait_window 'Tunyra Stand-in Player' 60 >/dev/null
sleep 2
xdotool windowraise "$setup"
press "$setup" Return
wait_window 'Tunyra .* Setup' 10 >/dev/null
shot installer-in-use "$setup"
# Retry once the player is closed.
wine taskkill /im winamp.exe >/dev/null 2>&1 || true
for _ in $(seq 1 100); do kill -0 "$player_pid" 2>/dev/null || break; sleep 0.1; done
player_pid=""
press "$(wait_window 'Tunyra .* Setup' 10)" Return
sleep 3
shot installer-finish "$setup"
press "$setup" Return
