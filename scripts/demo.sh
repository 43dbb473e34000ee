#!/usr/bin/env bash
# The main job: builds the plug-in and the stand-in player, then runs Tunyra inside
# the stand-in player under Wine.
#   With a display (DISPLAY set and working): the player stays open for you.
#   Without one, or with --headless: a short scripted session runs on a private
#   virtual display, prints the playlist and saves screenshots.
#   --update-docs also copies the screenshots into docs/images for the user guide.
#   --music FOLDER uses your own music instead of the sample library: the folder is
#   scanned natively (tunyra-scan) and its file names given as Wine sees them (Z:\...).
# Installs whatever is missing first; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
TUNYRA_ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}
HEADLESS=0
UPDATE_DOCS=0
MINUTES=30
OUT=${TUNYRA_DEMO_OUT:-$TUNYRA_ROOT/out/demo}
MUSIC=""
while [ $# -gt 0 ]; do
  arg=$1
  shift
  case "$arg" in
    --headless) HEADLESS=1 ;;
    --minutes=*) MINUTES=${arg#--minutes=} ;;
    --out=*) OUT=${arg#--out=} ;;
    --update-docs) UPDATE_DOCS=1; HEADLESS=1 ;;
    --music=*) MUSIC=${arg#--music=} ;;
    --music)
      [ $# -gt 0 ] || { echo "--music needs a folder" >&2; exit 2; }
      MUSIC=$1
      shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "unknown argument: $arg (try --help)" >&2; exit 2 ;;
  esac
done
if [ -n "$MUSIC" ] && [ ! -d "$MUSIC" ]; then echo "--music: $MUSIC is not a folder" >&2; exit 2; fi

scripts/install-deps.sh

echo "== building the native tools"
mkdir -p build
LOG=build/demo-build.log
: > "$LOG"
quietly() { "$@" >>"$LOG" 2>&1 || { tail -n 40 "$LOG"; echo "build failed; the whole log is $LOG" >&2; exit 1; }; }
quietly cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
quietly cmake --build build/native -j"$JOBS" --target tunyra-pick
LIBRARY=$TUNYRA_ROOT/samples/library.tsv
if [ -n "$MUSIC" ]; then
  quietly cmake --build build/native -j"$JOBS" --target tunyra-scan
  echo "== scanning $MUSIC"
  mkdir -p "$OUT"
  build/native/tools/tunyra_scan/tunyra-scan "$MUSIC" -o "$OUT/music-native.tsv"
  # Wine shows the Unix root as drive Z: with backslashes (escaped in the library
  # file), and the plug-in reads text in the Windows code page.
  awk -F'\t' 'BEGIN { OFS = "\t" } NR > 1 { gsub("/", "\\\\\\\\", $1); $1 = "Z:" $1 } { print }' \
    "$OUT/music-native.tsv" | iconv -c -f UTF-8 -t CP1252//TRANSLIT > "$OUT/music-library.tsv"
  LIBRARY=$OUT/music-library.tsv
fi
echo "== building gen_tunyra.dll, its installer and zip, and the stand-in player (32-bit Windows)"
quietly cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
quietly cmake --build build/win32 -j"$JOBS" --target gen_tunyra windows_installer windows_zip standin
BIN=$TUNYRA_ROOT/build/win32/bin
DLL=$BIN/gen_tunyra.dll

source scripts/wine-env.sh
if [ $HEADLESS -eq 0 ] && ! tunyra_display_ok; then HEADLESS=1; fi
if [ $HEADLESS -eq 1 ]; then unset DISPLAY; fi
tunyra_wine_session

install_note() {
  cat <<TXT

The plug-in: $DLL
To install it into a real player on Windows, run the installer, or copy gen_tunyra.dll
from the zip into the player's Plugins folder and restart the player:
$(ls "$TUNYRA_ROOT"/build/win32/packages/tunyra-setup-*.exe "$TUNYRA_ROOT"/build/win32/packages/tunyra-*-win32.zip)
Set the hotkey in the player's hotkey preferences under "General: Tunyra Select Songs".
TXT
}

if [ $HEADLESS -eq 0 ]; then
  echo "== starting the stand-in player on $DISPLAY (Ctrl+Alt+T or Plug-ins > Tunyra Select Songs)"
  install_note
  wine "$BIN/standin.exe" --library "Z:$LIBRARY" --plugin "Z:$DLL"
  exit 0
fi

scripts/demo-session.sh "$BIN" "$OUT" "$MINUTES" "$LIBRARY"
install_note
if [ $UPDATE_DOCS -eq 1 ]; then
  cp "$OUT"/select-songs.png "$OUT"/player-with-playlist.png "$OUT"/splash.png docs/images/
  echo "Copied the screenshots into docs/images."
fi
