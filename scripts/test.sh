#!/usr/bin/env bash
# Installs what the tests need, builds Tarvik for Linux and for Windows, and
# runs every test: the unit tests natively and under Wine, and the
# end-to-end tests of both launchers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# The time of each part, printed at the end: where the minutes go.
timings=""
part_start=$SECONDS
part() {
  timings+=$(printf '%5d s  %s' $((SECONDS - part_start)) "$1")$'\n'
  part_start=$SECONDS
}

scripts/install-test-deps.sh
part "test dependencies"

jobs=2
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake -S . -B build -DTARVIK_WINDOWS_BUILD_DIR="$top/build-win" >/dev/null
# The unit tests once more with AddressSanitizer and UBSan; only the unit
# targets, and no Windows build given, so no end-to-end suite in this tree.
# Line tables are all the sanitizers' reports read of the debug information.
cmake -S . -B build-asan -DTARVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG=-g1 >/dev/null
# The three builds at once, sharing $jobs jobs through make's job server,
# which each build's make joins: while one build links or waits for its
# last file, the others' files keep the cores busy.
make -j"$jobs" --no-print-directory -f - <<'BUILDS'
.PHONY: builds windows linux sanitizer
builds: windows linux sanitizer
windows: ; +cmake --build build-win
linux: ; +cmake --build build
sanitizer: ; +cmake --build build-asan --target tarvik_unit_tests tarvik_posix_tests
BUILDS
part "Windows, Linux and sanitizer builds"

status=0
if [ -z "$(scripts/find-java25.sh)" ]; then
  echo "No Java 25 below /usr/lib/jvm and no TARVIK_TEST_JAVA25_HOME: the real-JVM suites run on Java 17 alone."
fi
ctest --test-dir build -j"$jobs" --output-on-failure || status=1
part "Linux tests and Wine end-to-end suites"
ctest --test-dir build-asan -j"$jobs" -R '^(unit_tests|posix_tests)$' --output-on-failure || status=1
part "sanitizer tests"
# The README's first command, from another folder and a clean build folder.
tests/docs/check-example-run.sh || status=1
part "example run"
# A short run of every fuzz target from its seed corpus (about a minute).
fuzz/run.sh --seconds 10 || status=1
part "fuzz targets"
# The Wine prefix that the Wine suites made is copied for the Windows unit
# tests and the release check, where each would make one anew.
export TARVIK_WINE_PREFIX_TEMPLATE="$top/build/tests/e2e/wineprefix"
ctest --test-dir build-win -j"$jobs" --output-on-failure || status=1
part "Windows unit tests under Wine"
# The release archives of the launchers just built, and what they hold.
release=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-release-test.XXXXXX")
export WINEPREFIX="$release/wineprefix"
if [ -f "$TARVIK_WINE_PREFIX_TEMPLATE/.tarvik-made" ]; then
  cp -a "$TARVIK_WINE_PREFIX_TEMPLATE" "$WINEPREFIX"
fi
{ scripts/release.sh --builds build build-win --dist "$release/dist" >/dev/null &&
  scripts/check-release.sh "$release/dist"; } || status=1
wineserver -k >/dev/null 2>&1 || true
unset WINEPREFIX
rm -rf "$release"
part "release archives"
printf 'Time of each part:\n%s' "$timings"
exit $status
