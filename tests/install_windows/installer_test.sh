#!/usr/bin/env bash
# The installer as a Windows user runs it, under Wine in a fresh prefix of its own: a
# silent install into a folder without the player (refused, nothing written) and into
# one that looks like the player's (winamp.exe, another plug-in in Plugins\); the
# player started from that folder loads the installed plug-in and its hotkey works;
# while it runs, the installer and the uninstaller refuse and leave everything as it
# was; then the silent uninstall. Also the zip's contents. Prints "N passed, N failed".
# Usage: installer_test.sh INSTALLER ZIP DLL STANDIN_EXE VERSION
set -uo pipefail
installer=$(realpath "$1") zip=$(realpath "$2") dll=$(realpath "$3") standin=$(realpath "$4") version=$5
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in xdotool unzip; do
  command -v $tool >/dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done

work=$(mktemp -d)
export TUNYRA_WINEPREFIX=$work/prefix
source "$root/scripts/wine-env.sh"
TUNYRA_XVFB_PID=""
player_pid=""
cleanup() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; fi
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$TUNYRA_XVFB_PID" ]; then kill "$TUNYRA_XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
tunyra_ensure_display || exit 1
timeout 300 bash -c 'source "$1"; tunyra_ensure_prefix' _ "$root/scripts/wine-env.sh" ||
  { echo "could not make a Wine prefix in $WINEPREFIX"; exit 1; }

passed=0 failed=0
check() {  # check NAME COMMAND...: passes when the command succeeds
  local name=$1; shift
  if "$@" >"$work/out" 2>&1; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAILED: $name"; sed 's/^/  /' "$work/out" | head -20; fi
}
# Polls `command...` every 0.1 s, for at most $1 seconds.
wait_until() {
  local tenths=$(($1 * 10)) i
  shift
  for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

drive=$WINEPREFIX/drive_c
cp "$installer" "$drive/setup.exe"
# NSIS takes /D= unquoted and last, so the command line goes through cmd as it is
# typed (wine would quote an argument with a space).
setup() { timeout 120 wine cmd /c "C:\\setup.exe /S /D=$1" >/dev/null 2>&1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunyra'
reg_value() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
no_entry() { ! wine reg query "$uninstall_key" >/dev/null 2>&1; }
tree() { (cd "$1" && find . -printf '%p %s\n' | sort && find . -type f -exec md5sum {} + | sort); }
expect_code() {  # expect_code CODE COMMAND...: the command ends with exit code CODE
  local want=$1 rc=0; shift
  "$@" || rc=$?
  [ "$rc" = "$want" ] || { echo "exit code $rc, not $want"; return 1; }
}

# A folder without the player: refused, nothing written anywhere.
mkdir -p "$drive/Other/Plugins"
echo "another program's file" >"$drive/Other/Plugins/readme.txt"
tree "$drive/Other" >"$work/other.before"
check "no winamp.exe: the install ends with a non-zero exit code" expect_code 2 setup 'C:\Other'
check "no winamp.exe: nothing written in the folder" bash -c 'diff "$1" <(cd "$2" && find . -printf "%p %s\n" | sort && find . -type f -exec md5sum {} + | sort)' _ \
  "$work/other.before" "$drive/Other"
check "no winamp.exe: no installed-programs entry" no_entry
check "a folder that does not exist: refused and not made" bash -c \
  'rc=0; timeout 120 wine cmd /c "C:\\setup.exe /S /D=C:\\Nowhere" >/dev/null 2>&1 || rc=$?; [ $rc -ne 0 ] && [ ! -e "$1/Nowhere" ]' _ "$drive"

# A folder that looks like the player's, with a space in its name.
player_dir="$drive/Program Files/Player Seven"
player_win='C:\Program Files\Player Seven'
mkdir -p "$player_dir/Plugins"
cp "$standin" "$player_dir/winamp.exe"
head -c 20000 /dev/urandom >"$player_dir/Plugins/in_other.dll"
cp "$player_dir/Plugins/in_other.dll" "$work/in_other.dll"

check "silent install into the player's folder" expect_code 0 setup "$player_win"
check "installed gen_tunyra.dll is the one built" cmp "$dll" "$player_dir/Plugins/gen_tunyra.dll"
check "the uninstaller is in Plugins" test -s "$player_dir/Plugins/tunyra-uninstall.exe"
check "no temporary file left" bash -c '! ls "$1" | grep -v -x -e gen_tunyra.dll -e tunyra-uninstall.exe -e in_other.dll' _ \
  "$player_dir/Plugins"
check "entry: name" test "$(reg_value DisplayName)" = "Tunyra"
check "entry: version" test "$(reg_value DisplayVersion)" = "$version"
check "entry: publisher" test -n "$(reg_value Publisher)"
check "entry: uninstaller" test "$(reg_value UninstallString)" = "\"$player_win\\Plugins\\tunyra-uninstall.exe\""
check "entry: size in KB" test "$(($(reg_value EstimatedSize)))" -eq $((($(stat -c %s "$dll") + 1023) / 1024))

# The player started from its folder, the installed plug-in loaded from Plugins\.
# The hotkey is bound once the plug-in's record has reached the player: press it until
# the Select Songs dialog opens (a key of its own, which nothing else on the display holds).
(cd "$player_dir" && exec wine winamp.exe --plugin 'Plugins\gen_tunyra.dll' --hotkey=ctrl+shift+f9 \
  --log-on-exit 'C:\player-log.txt' >"$work/player.out" 2>&1) &
player_pid=$!
dialog_title='Tunyra v1.00 beta :: Select Songs'
window_shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" ]; }
press_until_dialog() {
  wait_until 60 window_shown 'Tunyra Stand-in Player' || return 1
  local i
  for i in 1 2 3 4 5 6; do
    xdotool key ctrl+shift+F9
    wait_until 5 window_shown "$dialog_title" && return 0
  done
  return 1
}
check "the player loads the installed plug-in and its hotkey opens Select Songs" press_until_dialog

# With the plug-in loaded the DLL cannot be replaced: the silent install cancels the
# Retry/Cancel question and leaves the installation whole.
tree "$player_dir" >"$work/player.before"
check "player running: the install ends with a non-zero exit code" expect_code 2 setup "$player_win"
# _?= runs the uninstaller in place, so its exit code is its own (a batch file, as wine
# would quote the quotes a path with a space needs).
printf '"%s\\Plugins\\tunyra-uninstall.exe" /S _?=%s\\Plugins\r\nexit /b %%errorlevel%%\r\n' \
  "$player_win" "$player_win" >"$drive/uninstall-in-place.bat"
check "player running: the uninstaller ends with a non-zero exit code" expect_code 2 \
  timeout 120 wine cmd /c 'C:\uninstall-in-place.bat'
check "player running: the installation is as it was" bash -c 'diff "$1" <(cd "$2" && find . -printf "%p %s\n" | sort && find . -type f -exec md5sum {} + | sort)' _ \
  "$work/player.before" "$player_dir"
check "player running: the entry stays" test "$(reg_value DisplayName)" = "Tunyra"

wine taskkill /im winamp.exe >/dev/null 2>&1
wait_until 30 bash -c '! kill -0 "$1" 2>/dev/null' _ "$player_pid" || kill "$player_pid" 2>/dev/null
player_pid=""
tr -d '\r' <"$drive/player-log.txt" >"$work/player-log.txt" 2>/dev/null
check "the player's log: the plug-in from Plugins, its hotkey bound" bash -c \
  '{ grep -q "hotkeys-add \"General: Tunyra Select Songs\" .* bound to" "$1" &&
      grep -q "plug-in \"Plugins\\\\gen_tunyra.dll\" quit and unloaded" "$1"; } || { cat "$1"; false; }' _ \
  "$work/player-log.txt"

# The uninstaller copies itself away and returns at once: the prefix's server ends when
# the copy has.
check "silent uninstall" expect_code 0 timeout 120 wine "$player_win\\Plugins\\tunyra-uninstall.exe" /S
timeout 120 wineserver -w
check "uninstalled: gen_tunyra.dll gone" test ! -e "$player_dir/Plugins/gen_tunyra.dll"
check "uninstalled: the uninstaller gone" test ! -e "$player_dir/Plugins/tunyra-uninstall.exe"
check "uninstalled: the entry gone" no_entry
check "uninstalled: the other plug-in stays" cmp "$work/in_other.dll" "$player_dir/Plugins/in_other.dll"
check "uninstalled: the player stays" cmp "$standin" "$player_dir/winamp.exe"

# The zip: the same DLL, a read-me and the licence with Windows line ends.
mkdir "$work/zip"
check "zip unpacks" unzip -q "$zip" -d "$work/zip"
check "zip holds exactly gen_tunyra.dll, README.txt, LICENSE.txt" test \
  "$(cd "$work/zip" && ls | tr '\n' ' ')" = "LICENSE.txt README.txt gen_tunyra.dll "
check "zip: gen_tunyra.dll is the one built" cmp "$dll" "$work/zip/gen_tunyra.dll"
for text in README.txt LICENSE.txt; do
  check "zip: $text has Windows line ends only" bash -c '[ -s "$1" ] && ! grep -q -v $'"'"'\r$'"'"' "$1"' _ "$work/zip/$text"
done
check "zip: README.txt names the version and the hotkey" bash -c \
  'grep -q "Tunyra $2" "$1" && grep -q "General: Tunyra Select Songs" "$1"' _ "$work/zip/README.txt" "$version"
check "zip: LICENSE.txt holds the MIT licence and xxHash's" bash -c \
  'grep -q "^MIT License" "$1" && grep -q "Yann Collet" "$1"' _ "$work/zip/LICENSE.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
