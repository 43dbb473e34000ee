#!/usr/bin/env bash
# Installs what building and testing Tunyra needs on Debian; does nothing when it is
# all there already. Run as root, or with sudo available.
set -euo pipefail

need_pkgs=()
have() { command -v "$1" >/dev/null 2>&1; }
want() { have "$1" || need_pkgs+=("$2"); }

want cmake cmake
want g++ g++
want clang clang
# The plug-in is built with the win32 thread model; the posix one's shared runtime
# (libgcc_s_dw2-1.dll) stands for another plug-in's in the Windows tests.
want i686-w64-mingw32-g++-win32 g++-mingw-w64-i686-win32
compgen -G "/usr/lib/gcc/i686-w64-mingw32/*-posix/libgcc_s_dw2-1.dll" >/dev/null || need_pkgs+=(gcc-mingw-w64-i686-posix-runtime)
[ -f /usr/i686-w64-mingw32/lib/libwinpthread-1.dll ] || need_pkgs+=(mingw-w64-i686-dev)
want i686-w64-mingw32-windres binutils-mingw-w64-i686
want Xvfb xvfb
want xdpyinfo x11-utils
want xdotool xdotool
want import imagemagick
want python3 python3
# The Windows packages: the installer (NSIS) and the zip, and unzip for their test.
want makensis nsis
want zip zip
want unzip unzip
want pkg-config pkg-config
# Installing and packaging the command-line tools: manual pages from their --help,
# the Debian package's dependencies, and man to render the pages in the tests.
want help2man help2man
want dpkg-shlibdeps dpkg-dev
want man man-db
# Folders of audio files: TagLib, and the encoders the scan's tests make files with.
want sox sox
want lame lame
want flac flac
want oggenc vorbis-tools
want opusenc opus-tools
[ -f /usr/include/taglib/fileref.h ] || need_pkgs+=(libtag1-dev)
# MPD: libmpdclient for tunyra-pick, and a real MPD and mpc for its tests.
[ -f /usr/include/mpd/client.h ] || need_pkgs+=(libmpdclient-dev)
want mpd mpd
want mpc mpc
# tunyra: the wide-character ncurses, and tmux that its tests run it in.
[ -f /usr/include/ncursesw/curses.h ] || need_pkgs+=(libncurses-dev)
want tmux tmux
[ -f /usr/src/googletest/CMakeLists.txt ] || need_pkgs+=(googletest)
[ -f /usr/include/benchmark/benchmark.h ] || need_pkgs+=(libbenchmark-dev)
# XXH3, the core's one hash: header-only, so the DLL builds it in too.
[ -f /usr/include/xxhash.h ] || need_pkgs+=(libxxhash-dev)
# Unicode case folding and normalisation for the command-line tools' near misses.
[ -f /usr/include/utf8proc.h ] || need_pkgs+=(libutf8proc-dev)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need_pkgs+=(libclang-rt-14-dev)
# The Windows tests run the plug-in in double-byte ANSI code pages, which Wine takes
# from these locales.
cjk_locales=()
for l in ja_JP zh_CN ko_KR zh_TW; do locale -a 2>/dev/null | grep -qx "$l.utf8" || cjk_locales+=("$l"); done
[ ${#cjk_locales[@]} -eq 0 ] || [ -d /usr/share/i18n/locales ] || need_pkgs+=(locales)
make_locales() {
  local l
  for l in "${cjk_locales[@]}"; do $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"; done
}
need_wine=0
if ! have wine || ! dpkg -s wine32:i386 >/dev/null 2>&1; then need_wine=1; fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
if [ ${#need_pkgs[@]} -eq 0 ] && [ $need_wine -eq 0 ]; then
  make_locales
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if [ $need_wine -eq 1 ]; then
  $SUDO dpkg --add-architecture i386
  need_pkgs+=(wine wine32:i386)
fi
echo "Installing: ${need_pkgs[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" >/dev/null
make_locales
