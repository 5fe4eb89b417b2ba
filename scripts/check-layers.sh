#!/usr/bin/env bash
# Checks that the sources keep to their layers, by their #include lines:
#   src/os                  includes nothing but src/os;
#   src/support             includes nothing but src/support, src/os and the
#                           settings record;
#   LaunchSettings, Version include nothing of src/ but themselves;
#   src/brand               includes nothing of the launcher but support/Utf8.h;
#   src/pack                includes src/pack, src/brand, src/os, the pure
#                           helpers of src/support (the taskbar ID's rule
#                           too), the `%name%` table and the
#                           writers it shares with the launcher (the systemd
#                           unit, the Windows command line); not the settings'
#                           readers, the launch or the runtime discovery.
# Prints each include that climbs, and fails when there is one. Every folder
# of src/ must be named (as `src/<folder>/`) in ARCHITECTURE.md beside src/,
# so the page stays true to the tree.
set -euo pipefail
src=${1:-"$(cd "$(dirname "$0")/.." && pwd)/src"}
cd "$src"

# allowed <file> <include>: whether the file may include the quoted path.
allowed() {
  local file=$1 path=$2
  case $file in
    os/*) [[ $path == os/* ]] ;;
    support/*) [[ $path == support/* || $path == os/* || $path == LaunchSettings.h ]] ;;
    LaunchSettings.* | Version.*) [[ $path == LaunchSettings.h || $path == Version.h ]] ;;
    brand/*) [[ $path == brand/* || $path == support/Utf8.h ]] ;;
    pack/*) [[ $path == pack/* || $path == brand/* || $path == os/* ||
               $path == support/Utf8.h || $path == support/TextUtil.h ||
               $path == support/AppUserModelId.h ||
               $path == support/LauncherFolder.h || $path == config/VariableTable.h ||
               $path == service/SystemdUnit.h || $path == launch/WindowsCommandLine.h ||
               $path == LaunchSettings.h ]] ;;
    *) true ;;
  esac
}

found=0
while IFS= read -r file; do
  lineno=0
  while IFS= read -r line; do
    lineno=$((lineno + 1))
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
    if ! allowed "$file" "${BASH_REMATCH[1]}"; then
      echo "src/$file:$lineno: $line"
      found=1
    fi
  done < "$file"
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | LC_ALL=C sort)

if [ $found -ne 0 ]; then
  echo "check-layers: the includes above climb out of their layer" >&2
  exit 1
fi

page=../ARCHITECTURE.md
if [ ! -f "$page" ]; then
  echo "check-layers: no ARCHITECTURE.md beside src/" >&2
  exit 1
fi
while IFS= read -r folder; do
  if ! grep -qF "\`src/$folder/\`" "$page"; then
    echo "src/$folder/: a folder ARCHITECTURE.md does not name"
    found=1
  fi
done < <(find . -mindepth 1 -maxdepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ $found -ne 0 ]; then
  echo "check-layers: ARCHITECTURE.md must name every folder of src/" >&2
  exit 1
fi
echo "check-layers: every include keeps to its layer"
