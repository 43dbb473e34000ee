#!/bin/sh
# crlf.sh OUT IN...: the texts IN, a blank line between each two, with Windows line
# ends, as OUT (Notepad before Windows 10 shows a text with bare line feeds as one line).
set -eu
out=$1
shift
first=1
for f in "$@"; do
  [ $first -eq 1 ] || printf '\n'
  first=0
  cat "$f"
done | sed 's/\r*$/\r/' >"$out.tmp"
mv "$out.tmp" "$out"
