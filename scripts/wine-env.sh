# Sourced: a private 32-bit Wine prefix for this checkout, and a display.
# TUNYRA_ROOT defaults to the checkout holding this script.
TUNYRA_ROOT=${TUNYRA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# Windows tests may run side by side (scripts/test-all.sh), each in a Wine slot of its
# own: a prefix and a display, so that two tests share no windows, hotkeys, focus or
# prefix settings. CTest hands a test its slot as CTEST_RESOURCE_GROUP_0_WINE
# ("id:N,slots:1"); anything else runs in slot 0, the usual prefix.
if [[ ${CTEST_RESOURCE_GROUP_0_WINE:-} =~ ^id:([0-9]+), ]]; then
  TUNYRA_WINE_SLOT=${BASH_REMATCH[1]}
elif [ -n "${TUNYRA_WINE_SLOTS:-}" ] && [ -z "${TUNYRA_WINE_SLOT:-}" ]; then
  # It would share slot 0 with whichever test holds it.
  echo "wine-env.sh: Windows tests run side by side here and this one holds no Wine slot" \
    "(tunyra_wine_test in its CMakeLists.txt)" >&2
  return 1 2>/dev/null || exit 1
fi
TUNYRA_WINE_SLOT=${TUNYRA_WINE_SLOT:-0}
# The prefix of slot N (TUNYRA_WINEPREFIX, when set, names the prefix instead).
tunyra_slot_prefix() {
  if [ "$1" = 0 ]; then echo "$TUNYRA_ROOT/build/wineprefix"; else echo "$TUNYRA_ROOT/build/wineprefix-$1"; fi
}
export WINEPREFIX=${TUNYRA_WINEPREFIX:-$(tunyra_slot_prefix "$TUNYRA_WINE_SLOT")}
# The slot's display, when the runner started one for it (tunyra_wine_slots).
_slot_display=TUNYRA_DISPLAY_$TUNYRA_WINE_SLOT
if [ -n "${!_slot_display:-}" ]; then export DISPLAY=${!_slot_display}; fi
unset _slot_display
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
# TUNYRA_CODEPAGE runs the Windows programs in that ANSI code page, which Wine takes from
# the locale (scripts/install-deps.sh makes these).
case "${TUNYRA_CODEPAGE:-}" in
  932) export LANG=ja_JP.UTF-8 LC_ALL= ;;
  936) export LANG=zh_CN.UTF-8 LC_ALL= ;;
  949) export LANG=ko_KR.UTF-8 LC_ALL= ;;
  950) export LANG=zh_TW.UTF-8 LC_ALL= ;;
  1252) export LANG=C.UTF-8 LC_ALL= ;;
esac

# `seconds` times the tests' time factor (TUNYRA_TEST_TIME_FACTOR, default 1), whole.
tunyra_scaled_seconds() {
  awk -v s="$1" -v f="${TUNYRA_TEST_TIME_FACTOR:-1}" 'BEGIN { if (f + 0 <= 0) f = 1; t = int(s * f + 0.999); print (t < 1 ? 1 : t) }'
}

tunyra_display_ok() { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }

# Starts a private Xvfb when there is no usable display; its pid goes to
# $TUNYRA_XVFB_PID so the starter can stop it.
tunyra_ensure_display() {
  tunyra_display_ok && return 0
  local n
  for n in 91 92 93 94 95 96 97 98; do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TUNYRA_XVFB_PID=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  done
  echo "could not start Xvfb" >&2
  return 1
}

tunyra_ensure_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # A crashing test program must fail at once with a backtrace, not wait for someone to
  # close the crash dialog until CTest's timeout.
  if ! grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  tunyra_set_dpi "${TUNYRA_DPI:-96}"
}

# The screen's dots per inch that Wine's programs see (96, 120, 144, 192...): Wine's
# LogPixels, read by each program as it starts.
tunyra_set_dpi() {
  local hex
  hex=$(printf '%08x' "$1")
  awk -v want="\"LogPixels\"=dword:$hex" '/^\[/ { desktop = index($0, "[Control Panel\\\\Desktop]") == 1 }
    desktop && $0 == want { found = 1 } END { exit !found }' "$WINEPREFIX/user.reg" 2>/dev/null && return 0
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 || true
  wineserver -w || true
}

# For scripts that run Wine programs: a display (a private Xvfb unless $DISPLAY works),
# the prefix, and, at the script's exit, the prefix's server and that Xvfb stopped.
tunyra_wine_session() {
  TUNYRA_XVFB_PID=""
  trap tunyra_end_wine_session EXIT
  tunyra_ensure_display
  tunyra_ensure_prefix
}
tunyra_end_wine_session() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${TUNYRA_XVFB_PID:-}" ]; then kill "$TUNYRA_XVFB_PID" 2>/dev/null || true; fi
  local slot
  for slot in ${TUNYRA_SLOT_PREFIXES:-}; do WINEPREFIX=$slot wineserver -k >/dev/null 2>&1 || true; done
  for slot in ${TUNYRA_SLOT_XVFB_PIDS:-}; do kill "$slot" 2>/dev/null || true; done
}

# After tunyra_wine_session, for a runner of Windows tests side by side: slots 1 to
# `count`-1 get a display each (a private Xvfb) and a prefix made ready (slot 0 is the
# session's own), and the list of slots CTest hands out (its resource file, JSON) is
# written to `file`. The session's end stops them all.
tunyra_wine_slots() {
  local count=$1 file=$2 slot session_display=$DISPLAY session_xvfb=$TUNYRA_XVFB_PID pids=""
  local slots=""
  export TUNYRA_WINE_SLOTS=$count TUNYRA_DISPLAY_0=$DISPLAY
  TUNYRA_SLOT_XVFB_PIDS="" TUNYRA_SLOT_PREFIXES=""
  for ((slot = 1; slot < count; slot++)); do
    unset DISPLAY
    tunyra_ensure_display || return 1
    export "TUNYRA_DISPLAY_$slot=$DISPLAY"
    TUNYRA_SLOT_XVFB_PIDS+=" $TUNYRA_XVFB_PID"
    TUNYRA_SLOT_PREFIXES+=" $(tunyra_slot_prefix "$slot")"
    (TUNYRA_WINE_SLOT=$slot; source "$TUNYRA_ROOT/scripts/wine-env.sh"; tunyra_ensure_prefix) &
    pids+=" $!"
  done
  export DISPLAY=$session_display
  TUNYRA_XVFB_PID=$session_xvfb
  for slot in $pids; do wait "$slot" || return 1; done
  for ((slot = 0; slot < count; slot++)); do slots+="${slots:+,}{\"id\":\"$slot\",\"slots\":1}"; done
  printf '{"version":{"major":1,"minor":0},"local":[{"wine":[%s]}]}\n' "$slots" >"$file"
}
