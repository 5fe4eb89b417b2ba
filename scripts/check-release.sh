#!/usr/bin/env bash
# Checks the release archives scripts/release.sh wrote into DIR: each holds
# its launcher (Windows': with the taskbar identity's agent), tarvik-brand, tarvik-pack, tarvik-instance.jar, the README and the manual, the license, the changelog and the
# sample configuration its launcher writes, and the programs in it run
# (tarvik.exe under Wine); DIR/SHA256SUMS holds the archives' sums.
#
#   scripts/check-release.sh DIR
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
dist=$1
version=$(sed -n 's/^project(tarvik VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
win="tarvik-$version-windows-x64"
lin="tarvik-$version-linux-x64"
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-release-check.XXXXXX")
# Wine runs in $WINEPREFIX when it is set, else in a prefix of its own.
own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix="$work/wineprefix"
  export WINEPREFIX="$own_prefix"
fi
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
trap '[ -z "$own_prefix" ] || wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }
listing() {
  local folder=$1
  shift
  { printf '%s\n' "$folder/" "$folder/README.md" "$folder/LICENSE" "$folder/CHANGELOG.md" "$folder/sample.config" "$folder/docs/"
    for file in "$@"; do echo "$folder/$file"; done
    for page in "$top"/docs/*.md; do echo "$folder/docs/${page##*/}"; done; } | sort
}

check "$win.zip holds the Windows programs, README, license, changelog and sample" \
  '[ "$(unzip -Z1 "$dist/$win.zip" | sort)" = "$(listing "$win" tarvik.exe tarvikc.exe tarvikd.exe tarvik-appid.dll tarvik-brand.exe tarvik-pack.exe tarvik-instance.jar)" ]'
check "$lin.tar.gz holds the Linux programs, README, license, changelog and sample" \
  '[ "$(tar -tzf "$dist/$lin.tar.gz" | sort)" = "$(listing "$lin" tarvik tarvikc tarvikd tarvik-brand tarvik-pack tarvik-instance.jar)" ]'
unzip -q "$dist/$win.zip" -d "$work" && tar -xzf "$dist/$lin.tar.gz" -C "$work"
for file in README.md LICENSE CHANGELOG.md; do
  check "the $file is the project's" \
    'cmp -s "$top/$file" "$work/$win/$file" && cmp -s "$top/$file" "$work/$lin/$file"'
done
check "tarvik-instance.jar is one jar in both, of the class TarvikInstance for Java 8" \
  'cmp -s "$work/$win/tarvik-instance.jar" "$work/$lin/tarvik-instance.jar" && unzip -p "$work/$lin/tarvik-instance.jar" org/tarvik/instance/TarvikInstance.class | od -An -tu1 -j6 -N2 | tr -s " " | grep -qx " 0 52"'
check "the manual's pages are the project's" \
  '(for page in "$top"/docs/*.md; do cmp -s "$page" "$work/$win/docs/${page##*/}" && cmp -s "$page" "$work/$lin/docs/${page##*/}" || exit 1; done)'
check "the license is MIT, in the name of The Tarvik authors" \
  'head -1 "$top/LICENSE" | grep -qx "MIT License" && grep -q "^Copyright (c) [0-9]* The Tarvik authors$" "$top/LICENSE"'
check "the changelog names version $version" 'grep -q "^## $version\b" "$top/CHANGELOG.md"'
check "SHA256SUMS lists the two archives" \
  '[ "$(awk "{print \$2}" "$dist/SHA256SUMS" | sed "s/^\*//" | sort)" = "$(printf "%s\n" "$lin.tar.gz" "$win.zip" | sort)" ]'
check "sha256sum -c accepts SHA256SUMS" '(cd "$dist" && sha256sum -c --strict --quiet SHA256SUMS)'

mkdir -p "$work/run-linux" "$work/run-windows"
cp "$work/$lin/tarvik" "$work/run-linux/" && cp "$work/$win/tarvik.exe" "$work/run-windows/"
check "the Linux launcher runs and writes the sample it ships" \
  '(cd "$work/run-linux" && ./tarvik -sample) && cmp -s "$work/run-linux/sample.config" "$work/$lin/sample.config"'
check "tarvik.exe runs under Wine and writes the sample it ships" \
  '(cd "$work/run-windows" && wine ./tarvik.exe -sample >/dev/null 2>&1) && cmp -s "$work/run-windows/sample.config" "$work/$win/sample.config"'
check "tarvikc runs and says where its configuration is missing" \
  'said=$("$work/$lin/tarvikc" 2>&1 >/dev/null); [ $? -eq 2 ] && grep -q "^Configuration File Not Found: .*/tarvikc.config" <<<"$said"'
check "tarvikd runs and gives its usage for no word" \
  'said=$("$work/$lin/tarvikd" 2>&1 >/dev/null); [ $? -eq 20 ] && grep -q "^Not A Service Command: Usage: " <<<"$said"'
check "tarvikc.exe runs under Wine and says where its configuration is missing" \
  'said=$(wine "$work/$win/tarvikc.exe" 2>&1 >/dev/null); [ $? -eq 2 ] && grep -q "^Configuration File Not Found: .*tarvikc.config" <<<"$said"'
check "tarvik-brand.exe runs under Wine" \
  'wine "$work/$win/tarvik-brand.exe" --help 2>/dev/null | grep -q "^Usage: tarvik-brand"'
check "tarvik-pack.exe runs under Wine" \
  'wine "$work/$win/tarvik-pack.exe" --help 2>/dev/null | grep -q "^Usage: tarvik-pack"'
check "the Linux tarvik-pack packs the shipped tarvik.exe and its agent into a zip" \
  '(cd "$work" && python3 "$top/resources/make_icon.py" && mkdir -p pack && printf "mainclass Check\n" >pack/check.config &&
    printf "name Check\nversion 1.0\nicon ../tarvik.ico\nconfig check.config\nappUserModelId Check.Tool\noutput zip\n" >pack/check.pack &&
    "$work/$lin/tarvik-pack" --windows-launchers "$work/$win" --output pack/dist pack/check.pack >/dev/null &&
    unzip -Z1 pack/dist/check-1.0-windows-x64.zip | grep -qx "check-1.0-windows-x64/check.exe" &&
    unzip -Z1 pack/dist/check-1.0-windows-x64.zip | grep -qx "check-1.0-windows-x64/tarvik-appid.dll")'
check "the Linux tarvik-brand brands the shipped tarvik.exe" \
  '(cd "$work" && python3 "$top/resources/make_icon.py" && "$work/$lin/tarvik-brand" --icon tarvik.ico --name Check --version 1.0.0.0 "$work/$win/tarvik.exe" "$work/check.exe")'
exit $fail
