#!/usr/bin/env bash
# Runs the README's first command as a newcomer would, from another folder
# and a clean build folder: the example prints its greeting and ends with
# 0, and a failing application's exit code comes back as the script's.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$top/build-example"
elsewhere=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-example.XXXXXX")
trap 'rm -rf "$elsewhere"' EXIT
failed=0
out=$(cd "$elsewhere" && "$top/scripts/run-example.sh" 2>&1); status=$?
if [ $status -ne 0 ] || ! grep -q "^Hello from " <<<"$out" ||
   ! grep -q "^greeting property: Hi-from-the-config$" <<<"$out" ||
   ! grep -qF "[0] an argument from the command line" <<<"$out"; then
  echo "FAIL: the example did not greet (exit code $status):"
  echo "$out"
  failed=$((failed + 1))
fi
(cd "$elsewhere" && "$top/scripts/run-example.sh" --exit 3 >/dev/null 2>&1); status=$?
if [ $status -ne 3 ]; then
  echo "FAIL: a failing example ended with $status, not its own 3"
  failed=$((failed + 1))
fi
echo "example run: $((2 - failed)) passed, $failed failed"
exit $failed
