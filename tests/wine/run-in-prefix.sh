#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its own, then stops that
# prefix's wineserver and removes the prefix. Exits with the program's code.
set -u
prefix=$(mktemp -d /tmp/tarvik-wine.XXXXXX)
export WINEPREFIX="$prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
# Create the prefix completely first: a program started while Wine is still
# setting up a new prefix may fail to start children of its own.
wineboot -i >/dev/null 2>&1
wineserver -w
wine "$@"
code=$?
wineserver -k >/dev/null 2>&1
rm -rf "$prefix"
exit $code
