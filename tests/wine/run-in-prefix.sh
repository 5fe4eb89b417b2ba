#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its own, then stops that
# prefix's wineserver and removes the prefix. Exits with the program's code.
set -u
prefix=$(mktemp -d /tmp/tarvik-wine.XXXXXX)
export WINEPREFIX="$prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
# A whole prefix that TARVIK_WINE_PREFIX_TEMPLATE names (the Wine suites'
# one) is copied, in a fraction of the seconds a new one takes. Else the
# prefix is created completely first: a program started while Wine is still
# setting up a new prefix may fail to start children of its own.
template=${TARVIK_WINE_PREFIX_TEMPLATE:-}
if [ -n "$template" ] && [ -f "$template/.tarvik-made" ]; then
  cp -a "$template/." "$prefix/"
else
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wine "$@"
code=$?
wineserver -k >/dev/null 2>&1
rm -rf "$prefix"
exit $code
