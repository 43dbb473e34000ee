#!/usr/bin/env bash
# make-zip.sh ZIP FILE...: a zip of the files, in the order given, that depends on
# their contents only: every entry has the same time (SOURCE_DATE_EPOCH, else the time
# of the source's last commit, else zip's first day, 1980-01-01), mode 644 and no extra
# fields (owners, Unix times).
set -euo pipefail
zip=$1
shift
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || true)}
epoch=${epoch:-315532800}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
names=()
for f in "$@"; do
  name=$(basename "$f")
  cp "$f" "$stage/$name"
  chmod 644 "$stage/$name"
  # zip stores local time: UTC makes it the same on every machine.
  TZ=UTC touch -d "@$epoch" "$stage/$name"
  names+=("$name")
done
(cd "$stage" && TZ=UTC zip -q -X -D -9 "$stage/out.zip" "${names[@]}")
mv "$stage/out.zip" "$zip"
