#!/usr/bin/env bash
# Builds what the benchmarks need (Release, in build-bench/ and, with the
# MinGW toolchain, build-win-bench/) and prints the table. Not a test: it
# fails only when something cannot be built or run.
#   bench/run.sh [--pairs N] [--warmup N] [--only startup|cache|memory|config|sizes]...
# BENCH_JAVA_HOME selects the JDK (default: the machine's OpenJDK 17); the
# startup cache's applications also run on a Java 25 where one is found.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
java_home=${BENCH_JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}
build=$top/build-bench
winbuild=$top/build-win-bench

cmake -S bench -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
if command -v x86_64-w64-mingw32-g++ >/dev/null; then
  cmake -S . -B "$winbuild" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DTARVIK_TESTS=OFF --no-warn-unused-cli >/dev/null
  cmake --build "$winbuild" -j2 --target tarvik >/dev/null
fi
mkdir -p "$build/classes"
"$java_home/bin/javac" -d "$build/classes" bench/java/Hello.java
strip -o "$build/tarvik.stripped" "$build/tarvik/tarvik"

# Instruction counts (repeatable, unlike times on a busy machine) need valgrind.
count=()
if command -v valgrind >/dev/null; then count=(--valgrind "$(command -v valgrind)"); fi
java25=()
java25_home=$("$top/scripts/find-java25.sh")
if [ -n "$java25_home" ]; then java25=(--java25-home "$java25_home"); fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tarvik_bench" --launcher "$build/tarvik/tarvik" --java-home "$java_home" \
  --classes "$build/classes" --work "$work" "${count[@]}" "${java25[@]}" \
  --console-launcher "$build/tarvik/tarvikc" \
  --size "tarvik.exe (Windows, Release)=$winbuild/tarvik.exe" \
  --size "tarvik (Linux, Release)=$build/tarvik/tarvik" \
  --size "tarvik (Linux, Release, stripped)=$build/tarvik.stripped" \
  "$@"
