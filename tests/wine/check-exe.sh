#!/usr/bin/env bash
# Checks the built tarvik.exe: a 64-bit GUI-subsystem PE that needs no MinGW
# DLL, with the application icon, the version block 2.2.1.0 and a well-formed
# application manifest that declares what the program supports.
set -u
exe=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
windres=${3:-x86_64-w64-mingw32-windres}
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

headers=$("$objdump" -p "$exe")
check "64-bit PE" 'grep -q "Magic[[:space:]]*020b" <<<"$headers"'
check "GUI subsystem" 'grep -q "Subsystem[[:space:]]*00000002" <<<"$headers"'
dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print toupper($3)}' | sort | tr '\n' ' ')
check "only system DLLs ($dlls)" \
  '! grep -qvE "^(ADVAPI32|KERNEL32|MSVCRT|SHELL32|USER32|USERENV|WS2_32)\.DLL$" < <(tr " " "\n" <<<"$dlls" | sed "/^$/d")'

resources=$("$windres" -i "$exe" -O rc 2>/dev/null | grep -vE '^[[:space:]]+0x')
check "icon group" 'grep -q "RT_GROUP_ICON" <<<"$resources"'
check "file version 2.2.1.0" 'grep -q "FILEVERSION 2, 2, 1, 0" <<<"$resources"'
check "product version 2.2.1.0" 'grep -q "PRODUCTVERSION 2, 2, 1, 0" <<<"$resources"'
check "version strings" 'grep -q "\"ProductVersion\", \"2.2.1.0\"" <<<"$resources"'
# The manifest (type 24, id 1), read back from the file itself.
manifest=$(wrestool -x --raw --type=24 --name=1 "$exe" 2>/dev/null | tr -d '\r')
check "manifest present" '[ -n "$manifest" ]'
check "manifest well formed" 'xmllint --noout - <<<"$manifest" 2>/dev/null'
has() { grep -qF -- "$1" <<<"$manifest"; }
check "asInvoker" 'has "<requestedExecutionLevel level=\"asInvoker\""'
for os in "35138b9a-5d96-4fbd-8e2d-a2440225f93a 7" \
          "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 8" \
          "1f676c76-80e1-4239-95bb-83d0f6d0da78 8.1" \
          "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a 10/11"; do
  set -- $os
  check "supports Windows $2" "has '<supportedOS Id=\"{$1}\"/>'"
done
check "per-monitor v2 DPI awareness, else system" 'has ">PerMonitorV2, System</dpiAwareness>"'
check "system DPI awareness before Windows 10" 'has ">true</dpiAware>"'
check "long-path aware" 'has ">true</longPathAware>"'
check "Common Controls 6" 'has "name=\"Microsoft.Windows.Common-Controls\"" && has "version=\"6.0.0.0\""'
exit $fail
