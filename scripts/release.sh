#!/usr/bin/env bash
# Builds the release archives:
#   dist/tarvik-<version>-windows-x64.zip     tarvik.exe, tarvikc.exe, tarvikd.exe, tarvik-appid.dll, tarvik-brand.exe, tarvik-pack.exe, tarvik-instance.jar, README.md, docs/, sample.config
#   dist/tarvik-<version>-linux-x64.tar.gz    tarvik, tarvikc, tarvikd, tarvik-brand, tarvik-pack, tarvik-instance.jar, README.md, docs/, sample.config
# both with LICENSE and CHANGELOG.md, and dist/SHA256SUMS of the two, which
# `sha256sum -c SHA256SUMS` in dist checks.
# <version> is the project's (CMakeLists.txt); tarvik-instance.jar, the same
# in both, is the Linux build's (a JDK's javac must be found). Each sample.config is the one
# its own launcher writes with -sample (tarvik.exe under Wine).
#
#   scripts/release.sh                  Release builds in build-release and build-release-win
#   scripts/release.sh --builds LINUX WINDOWS --dist DIR
#                                       package launchers already built in those folders
# Wine runs in $WINEPREFIX when it is set, else in a prefix of its own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dist="$top/dist"
linux=""
windows=""
while [ $# -gt 0 ]; do
  case "$1" in
    --builds) linux=$(cd "$2" && pwd); windows=$(cd "$3" && pwd); shift 3 ;;
    --dist) mkdir -p "$2"; dist=$(cd "$2" && pwd); shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "release: unknown argument $1" >&2; exit 2 ;;
  esac
done
version=$(sed -n 's/^project(tarvik VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

if [ -z "$linux" ]; then
  windows="$top/build-release-win"
  linux="$top/build-release"
  cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF >/dev/null
  cmake --build "$windows" -j2 --target tarvik tarvikc tarvikd tarvik-appid tarvik-brand tarvik-pack >/dev/null
  cmake -S "$top" -B "$linux" -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF >/dev/null
  cmake --build "$linux" -j2 --target tarvik tarvikc tarvikd tarvik-brand tarvik-pack tarvik-instance >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-release.XXXXXX")
own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix="$work/wineprefix"
  export WINEPREFIX="$own_prefix"
fi
cleanup() {
  [ -z "$own_prefix" ] || wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all

win="tarvik-$version-windows-x64"
lin="tarvik-$version-linux-x64"
mkdir -p "$work/$win" "$work/$lin" "$dist"
[ -s "$linux/tarvik-instance.jar" ] || { echo "release: no tarvik-instance.jar in $linux (no javac found?)" >&2; exit 1; }
cp "$windows/tarvik.exe" "$windows/tarvikc.exe" "$windows/tarvikd.exe" "$windows/tarvik-appid.dll" "$windows/tarvik-brand.exe" "$windows/tarvik-pack.exe" "$top/README.md" "$work/$win/"
cp "$linux/tarvik" "$linux/tarvikc" "$linux/tarvikd" "$linux/tarvik-brand" "$linux/tarvik-pack" "$top/README.md" "$work/$lin/"
# The user's manual travels with the README that links it.
for dir in "$work/$win" "$work/$lin"; do
  cp "$top/LICENSE" "$top/CHANGELOG.md" "$linux/tarvik-instance.jar" "$dir/"
  mkdir -p "$dir/docs" && cp "$top"/docs/*.md "$dir/docs/"
done
strip "$work/$lin/tarvik" "$work/$lin/tarvikc" "$work/$lin/tarvikd" "$work/$lin/tarvik-brand" "$work/$lin/tarvik-pack"
(cd "$work/$lin" && ./tarvik -sample)
(cd "$work/$win" && wine ./tarvik.exe -sample >/dev/null 2>&1)
for dir in "$work/$win" "$work/$lin"; do
  [ -s "$dir/sample.config" ] || { echo "release: no sample.config in $dir" >&2; exit 1; }
done

rm -f "$dist/$win.zip" "$dist/$lin.tar.gz" "$dist/SHA256SUMS"
(cd "$work" && zip -qrX "$dist/$win.zip" "$win")
(cd "$work" && tar --owner=0 --group=0 --numeric-owner -czf "$dist/$lin.tar.gz" "$lin")
(cd "$dist" && sha256sum "$win.zip" "$lin.tar.gz" >SHA256SUMS)
echo "$dist/$win.zip"
echo "$dist/$lin.tar.gz"
