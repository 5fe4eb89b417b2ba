#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) and
# runs each one from its seed corpus in fuzz/corpus/<target>/. The corpus
# is copied to a temporary folder first, so a run never changes the repo.
#
#   fuzz/run.sh                     every target for 12 s
#   fuzz/run.sh --long 600          every target for 600 s
#   fuzz/run.sh --seconds 30 substitute command_line
#
# Options: --seconds N / --long N (time per target), --build DIR (build
# folder, default build-fuzz), --keep DIR (keep each grown corpus and any
# finding below DIR). Exits non-zero when a target finds a crash, a hang, a
# leak or a broken property; the input that did it is kept and named.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=12
build="$top/build-fuzz"
keep=""
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds|--long) seconds="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$top"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

cxx=${CXX_FUZZ:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$cxx" ]; then
  echo "fuzz: clang++ is needed (Debian: clang libclang-rt-14-dev)" >&2
  exit 1
fi
cmake -S "$top/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j2 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  exe="$build/fuzz_$target"
  [ -x "$exe" ] || { echo "fuzz: no target $target" >&2; failed=1; continue; }
  corpus="$work/$target/corpus"
  findings="${keep:-$work}/$target"
  mkdir -p "$corpus" "$findings"
  cp "$top/fuzz/corpus/$target/"* "$corpus/"
  log="$work/$target.log"
  start=$(date +%s)
  rc=0
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$findings/" \
         "$corpus" >"$log" 2>&1 || rc=$?
  elapsed=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ -n "$keep" ]; then rm -rf "$keep/$target/corpus"; cp -r "$corpus" "$keep/$target/"; fi
  if [ "$rc" -ne 0 ]; then
    failed=1
    echo "fuzz $target: FAILED after ${elapsed} s (exit $rc)"
    grep -aE "property failed|ERROR:|SUMMARY|Test unit written" "$log" | head -20
    for unit in "$findings"/crash-* "$findings"/timeout-* "$findings"/leak-* \
                "$findings"/oom-*; do
      [ -f "$unit" ] || continue
      echo "input $(basename "$unit") ($(wc -c <"$unit") bytes):"
      od -An -c "$unit" | head -20
    done
  else
    echo "fuzz $target: ${runs:-?} executions in ${elapsed} s, no finding"
  fi
done
exit $failed
