#!/usr/bin/env bash
# What Windows users download, from a clean build of the checked-out commit: the
# installer and the zip in dist/, with their SHA-256 sums in dist/SHA256SUMS. Builds in
# build/release (made afresh); installs what is missing first.
#
# The same commit gives the same gen_tunyra.dll, installer and zip on any machine and in
# any checkout: the zip's times are the commit's (SOURCE_DATE_EPOCH), and neither the
# DLL nor the installer holds a time or a folder name.
#
# Usage: scripts/release.sh [--allow-dirty]   (--allow-dirty: build uncommitted changes too)
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

allow_dirty=0
case "${1:-}" in
  "") ;;
  --allow-dirty) allow_dirty=1 ;;
  *) echo "usage: scripts/release.sh [--allow-dirty]" >&2; exit 2 ;;
esac
if [ $allow_dirty -eq 0 ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: the checkout has uncommitted changes; a release is made of a commit" >&2
  echo "(commit them, or pass --allow-dirty to build them anyway)" >&2
  exit 1
fi

scripts/install-deps.sh

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
version=$(sed -n 's/^project(Tunyra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build/release
rm -rf "$build"
echo "== building $(git describe --always --dirty) (version $version) in $build"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DTUNYRA_WERROR=ON >/dev/null
cmake --build "$build" -j"$JOBS" --target gen_tunyra windows_installer windows_zip

installer=tunyra-setup-$version.exe
zip=tunyra-$version-win32.zip
rm -rf dist
mkdir dist
cp "$build/packages/$installer" "$build/packages/$zip" dist/
(cd dist && sha256sum "$installer" "$zip" >SHA256SUMS)

echo
echo "== dist/"
ls -l dist
echo
cat dist/SHA256SUMS
echo "gen_tunyra.dll inside both: $(sha256sum "$build/bin/gen_tunyra.dll" | cut -d' ' -f1)"
