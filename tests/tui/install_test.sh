#!/usr/bin/env bash
# tunyra installed as a user installs it: into a temporary prefix with its manual page
# (rendered without warnings, every key and option of its --help in it) and its bash
# completion (asked through bash's own machinery), and in the Debian package with
# ncurses among its dependencies. Prints "N passed, N failed".
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"

prefix=$work/prefix
check "cmake --install" cmake --install "$build" --prefix "$prefix"
for f in bin/tunyra share/man/man1/tunyra.1 share/bash-completion/completions/tunyra; do
  check "installed $f" test -s "$prefix/$f"
done
page=$prefix/share/man/man1/tunyra.1
check "man -l tunyra renders without warnings" bash -c \
  'out=$(MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null); [ -z "$out" ] || { echo "$out"; false; }' _ "$page"
check "man page tunyra has its sections" bash -c \
  'text=$(MANWIDTH=80 man -l "$1" 2>/dev/null); for s in SYNOPSIS DESCRIPTION EXAMPLES FILES ENVIRONMENT "   Keys in the dialog:" "   Keys in the playlist:"; do grep -q "^$s" <<<"$text" || { echo "no $s"; exit 1; }; done' _ "$page"
# Every line of --help's key lists is in the page (its words, whatever the wrapping).
check "man page tunyra holds every key and option of --help" bash -c '
  text=$(MANWIDTH=250 man -l "$1" 2>/dev/null | tr -s " \n" "  ")
  "$2" --help | sed -n "s/^  //p" | while IFS= read -r line; do
    line=$(tr -s " " " " <<<"$line")
    grep -qF -- "$line" <<<"$text" || { echo "missing: $line"; exit 1; }
  done' _ "$page" "$prefix/bin/tunyra"

complete_line() {
  PATH="$prefix/bin:$PATH" bash -c '
    source "$1/share/bash-completion/completions/tunyra"
    COMP_LINE=$2 COMP_POINT=${#2} COMP_WORDS=($2 "") COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    [ "${2: -1}" != " " ] && COMP_WORDS=($2) && COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    fn=$(complete -p tunyra | sed -E "s/.* -F ([^ ]+) .*/\1/")
    COMPREPLY=()
    "$fn" tunyra "" ""
    printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix" "$1"
}
check "completion: options" bash -c 'grep -qx -- "--minutes" <<<"$1"' _ "$(complete_line "tunyra --min")"
check "completion: the library mpd:" bash -c 'grep -qx -- "mpd:" <<<"$1"' _ "$(complete_line "tunyra mp")"

( cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" ) >"$work/cpack.log" 2>&1
deb=$(ls "$work"/deb/tunyra_*.deb 2>/dev/null | head -1)
check "cpack -G DEB makes the package" test -n "$deb"
if [ -n "$deb" ]; then
  dpkg-deb -c "$deb" >"$work/contents"
  for f in usr/bin/tunyra usr/share/man/man1/tunyra.1 usr/share/bash-completion/completions/tunyra; do
    check "package holds $f" grep -qF "./$f" "$work/contents"
  done
  check "package depends on ncurses" bash -c 'dpkg-deb -f "$1" Depends | grep -q libncursesw' _ "$deb"
else
  cat "$work/cpack.log"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
