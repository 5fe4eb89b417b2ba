#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) and
# runs each one from its seed corpus in fuzz/corpus/<target>/, as many at
# once as there are cores. The corpus is copied to a temporary folder
# first, so a run never changes the repo.
#
#   fuzz/run.sh                     every target for 12 s
#   fuzz/run.sh --long 600          every target for 600 s
#   fuzz/run.sh --seconds 30 substitute command_line
#   fuzz/run.sh --long 600 --seed 0 every target, a new random seed each
#
# Options: --seconds N / --long N (time per target), --seed N (libFuzzer's
# seed, default 1, so that a run goes the same way each time; 0 draws one),
# --build DIR (build folder, default build-fuzz), --keep DIR (keep each grown
# corpus and any finding below DIR). Exits non-zero when a target finds a
# crash, a hang, a leak or a broken property; the input that did it is kept
# and named.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=12
seed=1
build="$top/build-fuzz"
keep=""
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds|--long) seconds="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
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

# Runs one target and writes what it found to $work/<target>.report; its
# exit status says whether it found anything.
fuzz_target() {
  local target=$1
  local exe="$build/fuzz_$target"
  local report="$work/$target.report"
  local corpus="$work/$target/corpus"
  local findings="${keep:-$work}/$target"
  mkdir -p "$corpus" "$findings"
  cp "$top/fuzz/corpus/$target/"* "$corpus/"
  local log="$work/$target.log"
  local start rc=0
  start=$(date +%s)
  "$exe" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$findings/" \
         "$corpus" >"$log" 2>&1 || rc=$?
  local elapsed=$(( $(date +%s) - start ))
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ -n "$keep" ]; then rm -rf "$keep/$target/corpus"; cp -r "$corpus" "$keep/$target/"; fi
  if [ "$rc" -eq 0 ]; then
    echo "fuzz $target: ${runs:-?} executions in ${elapsed} s, no finding" >"$report"
    return 0
  fi
  {
    echo "fuzz $target: FAILED after ${elapsed} s (exit $rc)"
    grep -aE "property failed|ERROR:|SUMMARY|Test unit written" "$log" | head -20
    for unit in "$findings"/crash-* "$findings"/timeout-* "$findings"/leak-* \
                "$findings"/oom-*; do
      [ -f "$unit" ] || continue
      echo "input $(basename "$unit") ($(wc -c <"$unit") bytes):"
      od -An -c "$unit" | head -20
    done
  } >"$report"
  return 1
}

# As many targets at once as there are cores; each is one process, and
# their reports are printed in the targets' order.
jobs=$(nproc 2>/dev/null || echo 2)
running=0
failed=0
for target in "${targets[@]}"; do
  if [ ! -x "$build/fuzz_$target" ]; then
    echo "fuzz: no target $target" >&2
    failed=1
    continue
  fi
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  { rc=0; fuzz_target "$target" || rc=$?; echo "$rc" >"$work/$target.status"; } &
  running=$((running + 1))
done
wait
for target in "${targets[@]}"; do
  [ -f "$work/$target.status" ] || continue
  cat "$work/$target.report"
  [ "$(cat "$work/$target.status")" -eq 0 ] || failed=1
done
exit $failed
