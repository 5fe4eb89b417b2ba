#!/usr/bin/env bash
# Checks the built tarvik.exe: a 64-bit GUI-subsystem PE that needs no MinGW
# DLL, with the application icon and the version block 2.2.1.0.
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
  '! grep -qvE "^(ADVAPI32|KERNEL32|MSVCRT|SHELL32|USER32)\.DLL$" < <(tr " " "\n" <<<"$dlls" | sed "/^$/d")'

resources=$("$windres" -i "$exe" -O rc 2>/dev/null | grep -vE '^[[:space:]]+0x')
check "icon group" 'grep -q "RT_GROUP_ICON" <<<"$resources"'
check "file version 2.2.1.0" 'grep -q "FILEVERSION 2, 2, 1, 0" <<<"$resources"'
check "product version 2.2.1.0" 'grep -q "PRODUCTVERSION 2, 2, 1, 0" <<<"$resources"'
check "version strings" 'grep -q "\"ProductVersion\", \"2.2.1.0\"" <<<"$resources"'
exit $fail
