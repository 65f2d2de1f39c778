#!/usr/bin/env bash
# The dialog tests on a real X server, started and stopped here with a wineserver of its own.
# Usage: dialogs_on_xvfb.sh BIN_FOLDER
set -uo pipefail
bin=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -br -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
wineserver -k >/dev/null 2>&1
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
"$here/scripts/wine-run" "$bin/dialog_tests.exe"
