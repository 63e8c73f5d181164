#!/bin/sh
# Runs a Windows program under 64-bit Wine, headless and bounded in time:
#   run.sh PROGRAM.exe ARGS...
# Uses a private prefix (PLUGKIT_WINEPREFIX, default build/wineprefix), no
# Mono/Gecko prompts, no debug output. DISPLAY must name a running X server
# (the test script starts Xvfb) for anything that opens a window.
# PLUGKIT_WINE selects the loader: wine64 (default) or wine for the slow
# 32-bit mode.
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export WINEPREFIX="${PLUGKIT_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
loader="${PLUGKIT_WINE:-/usr/lib/wine/wine64}"
exec timeout --kill-after=10 "${PLUGKIT_WINE_TIMEOUT:-240}" "$loader" "$@"
