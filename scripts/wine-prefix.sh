#!/usr/bin/env bash
# Makes the wine prefix the Windows tests run in (once; about 20 seconds), without a display or
# questions: no Mono or Gecko installers, no debug output, and a time limit.
#   wine-prefix.sh PREFIX
set -euo pipefail
prefix=$1
[ -f "$prefix/system.reg" ] && exit 0
WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= \
    timeout 300 /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
# wineboot returns before the wine server has written the prefix out; wait for it.
WINEPREFIX="$prefix" timeout 60 /usr/lib/wine/wineserver -w || true
[ -f "$prefix/system.reg" ] || { echo "wine-prefix.sh: wine made no prefix in $prefix" >&2; exit 1; }
