#!/usr/bin/env bash
# The layering check's table: each row a file and one include it holds, and
# whether the check must refuse it.
set -euo pipefail
check=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-layers.XXXXXX")
trap 'rm -rf "$work"' EXIT

rows=(
  # file                     include                        refused
  "os/PosixChildProcess.cpp  launch/WindowsCommandLine.h    yes"
  "os/Win32Text.cpp          os/Win32Text.h                 no"
  "support/LogRedirector.cpp config/ConfigLocation.h        yes"
  "support/LogRedirector.cpp LaunchSettings.h               no"
  "support/LogRedirector.cpp os/Platform.h                  no"
  "support/Message.cpp       Version.h                      yes"
  "LaunchSettings.cpp        config/VariableTable.h         yes"
  "LaunchSettings.cpp        support/TextUtil.h             yes"
  "Version.cpp               runtime/JreLocator.h           yes"
  "Version.cpp               Version.h                      no"
  "brand/Utf16.cpp           support/Utf8.h                 no"
  "brand/Utf16.cpp           support/TextUtil.h             yes"
  "brand/BrandTool.cpp       LaunchSettings.h               yes"
  "launch/ChildLauncher.cpp  config/ConfigLocation.h        no"
  "pack/AppImage.cpp         brand/Branding.h               no"
  "pack/PackTool.cpp         config/ConfigReader.h          yes"
)
# The page names the folder of each row's file.
named() {
  local folder
  folder=$(dirname "$1")
  [ "$folder" = . ] && folder=none
  printf 'Rooms: `src/%s/`.\n' "$folder" >"$work/ARCHITECTURE.md"
}

failed=0
for row in "${rows[@]}"; do
  read -r file include refused <<<"$row"
  rm -rf "$work/src" && mkdir -p "$work/src/$(dirname "$file")"
  printf '#include <string>\n  #  include "%s"\n' "$include" >"$work/src/$file"
  named "$file"
  status=0
  output=$("$check" "$work/src" 2>&1) || status=$?
  if [ "$refused" = yes ]; then
    if [ $status -eq 0 ] || ! grep -qF "src/$file:2:" <<<"$output"; then
      echo "FAIL: $file including $include was not refused: $output"
      failed=1
    fi
  elif [ $status -ne 0 ]; then
    echo "FAIL: $file including $include was refused: $output"
    failed=1
  fi
done
# A folder of src/ the page does not name is refused; once named, it passes.
rm -rf "$work/src" && mkdir -p "$work/src/service" "$work/src/os"
printf '#include "os/Platform.h"\n' >"$work/src/service/Service.cpp"
printf 'Rooms: `src/os/`.\n' >"$work/ARCHITECTURE.md"
if "$check" "$work/src" >/dev/null 2>&1; then
  echo "FAIL: src/service/, not named in ARCHITECTURE.md, was not refused"
  failed=1
fi
printf 'Rooms: `src/os/`, `src/service/`.\n' >"$work/ARCHITECTURE.md"
if ! "$check" "$work/src" >/dev/null 2>&1; then
  echo "FAIL: src/service/, named in ARCHITECTURE.md, was refused"
  failed=1
fi
rm -f "$work/ARCHITECTURE.md"
if "$check" "$work/src" >/dev/null 2>&1; then
  echo "FAIL: a tree without ARCHITECTURE.md was not refused"
  failed=1
fi

[ $failed -eq 0 ] && echo "$((${#rows[@]} + 3)) passed, 0 failed"
exit $failed
