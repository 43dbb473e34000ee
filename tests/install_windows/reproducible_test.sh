#!/usr/bin/env bash
# The same sources give the same bytes: gen_tunyra.dll, the installer and the zip are
# built again in another folder (a longer path, a later time) and compared with this
# build's. Usage: reproducible_test.sh SOURCE BUILD_TYPE DLL INSTALLER ZIP
set -uo pipefail
source=$(cd "$1" && pwd) type=$2
first=("$(realpath "$3")" "$(realpath "$4")" "$(realpath "$5")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
second=$work/another/build/folder
cmake -S "$source" -B "$second" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE="$type" -DTUNYRA_WERROR=ON >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$second" -j"$(nproc)" --target gen_tunyra windows_installer windows_zip >"$work/build.log" 2>&1 ||
  { tail -30 "$work/build.log"; exit 1; }
failed=0
for f in "${first[@]}"; do
  name=$(basename "$f")
  again=$(find "$second" -name "$name" -newer "$work/configure.log" | head -1)
  if [ -z "$again" ]; then
    echo "FAILED: the second build made no $name"; failed=1
  elif ! cmp "$f" "$again"; then
    echo "FAILED: $name differs between $(dirname "$f") and $(dirname "$again")"; failed=1
  else
    echo "same: $name ($(sha256sum <"$f" | cut -c1-16))"
  fi
done
exit $failed
