#!/usr/bin/env bash
# The road check's table: each row a file and one line it holds, and whether
# the check must refuse it as a second road.
set -euo pipefail
check=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-roads.XXXXXX")
trap 'rm -rf "$work"' EXIT

rows=(
  # file | line | refused
  "launch/ArgumentFile.cpp | std::string t = quoteArgument(word); | yes"
  "launch/EmbeddedVmLauncher.cpp | auto w = splitWindowsArguments(text); | yes"
  "launch/ChildLauncher.cpp | auto l = commandLineText(words); | yes"
  "launch/EmbeddedVmLauncher.cpp | auto t = vmOptionText(s, name); | yes"
  "launch/CommandLineBuilder.cpp | command.addWord(word, true); line += quoteArgument(word); | no"
  "config/ConfigReader.cpp | storeVmParam(textOfWords(param, splitWindowsArguments(param, marks))); | no"
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
