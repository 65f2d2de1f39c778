# Sourced by the display tests: starts an X server of its own (Xvfb) and a wineserver on it,
# both stopped when the script exits. A function `before_wine`, when defined, runs once the X
# server answers and before the wineserver starts (Wine reads some root properties then).
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -br -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if declare -F before_wine >/dev/null; then before_wine; fi
wineserver -k >/dev/null 2>&1
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
