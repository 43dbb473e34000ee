#!/usr/bin/env bash
# Installs the command-line tools into a temporary prefix and runs them from there,
# builds the Debian package and reads its control data and contents, renders both
# manual pages, and asks the bash completion for a column's values through bash's own
# completion machinery. Prints "N passed, N failed".
set -uo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
has() { grep -qF -- "$2" "$1"; }

prefix=$work/prefix
check "cmake --install" cmake --install "$build" --prefix "$prefix"
for f in bin/tunyra-pick bin/tunyra-scan share/man/man1/tunyra-pick.1 share/man/man1/tunyra-scan.1 \
         share/bash-completion/completions/tunyra-pick share/bash-completion/completions/tunyra-scan; do
  check "installed $f" test -s "$prefix/$f"
done
check "installed tunyra-pick --help" bash -c '"$1" --help | grep -q "Exit codes"' _ "$prefix/bin/tunyra-pick"
for tool in tunyra-pick tunyra-scan; do
  check "installed $tool --version" bash -c '[ "$("$1" --version)" = "$2 $3" ]' _ "$prefix/bin/$tool" "$tool" \
    "$(sed -n 's/^project(Tunyra VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"
done
check "installed tunyra-pick picks" bash -c \
  '"$1" "$2" --check 4=Jazz --minutes 30 --seed 3 | grep -q "^#EXTINF:"' _ "$prefix/bin/tunyra-pick" "$source/samples/library.tsv"

for page in tunyra-pick tunyra-scan; do
  # man's own warnings (groff's), which a page written by hand often has.
  check "man -l $page renders without warnings" bash -c \
    'out=$(MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null); [ -z "$out" ] || { echo "$out"; false; }' _ \
    "$prefix/share/man/man1/$page.1"
  check "man page $page has its sections" bash -c \
    'text=$(MANWIDTH=80 man -l "$1" 2>/dev/null); for s in SYNOPSIS DESCRIPTION EXAMPLES FILES ENVIRONMENT; do grep -q "^$s" <<<"$text" || { echo "no $s"; exit 1; }; done' _ \
    "$prefix/share/man/man1/$page.1"
done
check "man page tunyra-pick lists every option of --help" bash -c \
  'text=$(MANWIDTH=200 man -l "$1" 2>/dev/null); for o in $("$2" --help | grep -oE -- "--[a-z][a-z-]*" | sort -u); do grep -qF -- "$o" <<<"$text" || { echo "missing $o"; exit 1; }; done' _ \
  "$prefix/share/man/man1/tunyra-pick.1" "$prefix/bin/tunyra-pick"

# The completion, as bash runs it: the function `complete` registered, called with the
# line typed so far. The column's values come from the library on the line.
complete_line() {
  PATH="$prefix/bin:$PATH" bash -c '
    source "$1/share/bash-completion/completions/tunyra-pick"
    COMP_LINE=$2 COMP_POINT=${#2} COMP_WORDS=($2) COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    fn=$(complete -p tunyra-pick | sed -E "s/.* -F ([^ ]+) .*/\1/")
    COMPREPLY=()
    "$fn" tunyra-pick "" ""
    printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix" "$1"
}
lib=$source/samples/library.tsv
check "completion: --check 4= offers the genres" bash -c '[ "$(echo "$1" | grep -cx "Jazz")" = 1 ]' _ \
  "$(complete_line "tunyra-pick $lib --check 4=Ja")"
check "completion: values quoted for the shell" bash -c 'grep -qx "Thelvin\\\\ Marsh" <<<"$1"' _ \
  "$(complete_line "tunyra-pick $lib --check 1=Thel")"
check "completion: --column 2=genre makes column 2 offer genres" bash -c 'grep -qx "Rock" <<<"$1"' _ \
  "$(complete_line "tunyra-pick $lib --column 2=genre --check 2=Ro")"
check "completion: --exclude 4= offers the genres" bash -c '[ "$(echo "$1" | grep -cx "Jazz")" = 1 ]' _ \
  "$(complete_line "tunyra-pick $lib --min-length 2:00 --exclude 4=Ja")"
check "completion: options" bash -c 'grep -qx -- "--duplicates" <<<"$1"' _ "$(complete_line "tunyra-pick $lib --dup")"
check "completion: the constraints among the options" bash -c 'grep -qx -- "--max-per-artist" <<<"$1"' _ \
  "$(complete_line "tunyra-pick $lib --max-p")"
check "completion: --fit values" bash -c '[ "$(echo $1)" = "usual exact" ]' _ "$(complete_line "tunyra-pick $lib --fit ")"
check "completion: --to-mpd values" bash -c '[ "$(echo $1)" = "replace append" ]' _ "$(complete_line "tunyra-pick $lib --to-mpd ")"

# The Debian package.
( cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" ) >"$work/cpack.log" 2>&1
deb=$(ls "$work"/deb/tunyra_*.deb 2>/dev/null | head -1)
check "cpack -G DEB makes tunyra_VERSION_ARCH.deb" test -n "$deb"
if [ -n "$deb" ]; then
  dpkg-deb -I "$deb" >"$work/info"
  dpkg-deb -c "$deb" >"$work/contents"
  check "package depends on TagLib's runtime" bash -c 'grep "^ Depends:" "$1" | grep -q libtag' _ "$work/info"
  check "package depends on the C++ runtime" bash -c 'grep "^ Depends:" "$1" | grep -q libstdc++' _ "$work/info"
  for f in usr/bin/tunyra-pick usr/bin/tunyra-scan usr/share/man/man1/tunyra-pick.1 \
           usr/share/man/man1/tunyra-scan.1 usr/share/bash-completion/completions/tunyra-pick \
           usr/share/doc/tunyra/copyright; do
    check "package holds $f" has "$work/contents" "./$f"
  done
  # The package's copyright file grants what LICENSE grants, word for word.
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tunyra/copyright >"$work/copyright" 2>/dev/null
  check "package copyright holds LICENSE's terms" bash -c \
    'diff <(sed -n "/^Permission/,\$p" "$1" | tr -s " \n" "  ") \
          <(sed -n "/^ Permission/,/^\$/p" "$2" | sed "s/^ \.\$//; s/^ //" | tr -s " \n" "  ")' _ \
    "$source/LICENSE" "$work/copyright"
else
  cat "$work/cpack.log"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
