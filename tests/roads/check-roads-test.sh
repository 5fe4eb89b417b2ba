#!/usr/bin/env bash
# The road check's table: each row a file and one line it holds, and whether
# the check must refuse it as a second road.
set -euo pipefail
check=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-roads.XXXXXX")
trap 'rm -rf "$work"' EXIT

rows=(
  # file | line | refused
  "launch/ChildLauncher.cpp | if (platform().fileOwnership(path)) return; | yes"
  "cache/CacheTrust.cpp | if (platform().fileOwnership(path)) return; | no"
  "support/FileSystem.cpp | platform().makePrivateDirectory(folder); | yes"
  "config/ConfigReader.cpp | for (auto& place : conv.cacheFolders) {} | yes"
  "os/Platform.cpp | conv.cacheFolders = {}; | no"
  "launch/ChildLauncher.cpp | args.push_back(\"-XX:SharedArchiveFile=\" + a); | yes"
  "cache/CacheTrust.cpp | args.push_back(\"-XX:ArchiveClassesAtExit=\" + a); | yes"
  "cache/StartupCache.cpp | args.push_back(\"-XX:SharedArchiveFile=\" + a); | no"
  "cache/CacheKey.cpp | const char* away = \"-XX:SharedArchiveFile\"; | no"
)
failed=0
passed=0
for row in "${rows[@]}"; do
  IFS='|' read -r file line refused <<<"$row"
  file=$(echo "$file" | xargs)
  refused=$(echo "$refused" | xargs)
  line=$(echo "$line" | sed 's/^ *//; s/ *$//')
  rm -rf "$work/src" && mkdir -p "$work/src/$(dirname "$file")"
  printf '#include <string>\n%s\n' "$line" >"$work/src/$file"
  status=0
  output=$("$check" "$work/src" 2>&1) || status=$?
  if [ "$refused" = yes ]; then
    if [ $status -eq 0 ] || ! grep -qF "src/$file:2:" <<<"$output"; then
      echo "FAIL: $file holding '$line' was not refused: $output"
      failed=$((failed + 1))
    else
      passed=$((passed + 1))
    fi
  elif [ $status -ne 0 ]; then
    echo "FAIL: $file holding '$line' was refused: $output"
    failed=$((failed + 1))
    continue
  else
    passed=$((passed + 1))
    continue
  fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
