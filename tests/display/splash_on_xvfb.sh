#!/usr/bin/env bash
# The splash window on a real X server: Xvfb with a simulated 40-pixel taskbar, started here and
# stopped here. Another process finds the window by its class and checks its style, title and
# place; a screenshot shows the picture's pixels there, over the black root window. The
# screenshot stays in the build folder for a person to look at.
# Usage: splash_on_xvfb.sh BIN_FOLDER SPLASH_PNG ARTEFACT_FOLDER
set -uo pipefail
bin=$1 splash=$2 artefacts=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
convert=/usr/bin/convert  # ImageMagick's own, not a stand-in that may come first on PATH
mkdir -p "$artefacts"
rm -f "$artefacts"/go "$artefacts"/*.txt "$artefacts"/*.png

passed=0 failed=0
check() {  # description, actual, expected
  if [ "$2" == "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1: got '$2', expected '$3'"; fi
}
fact() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }

# A taskbar of 40 pixels at the bottom; Wine reads the work area when its server starts. The X
# server keeps the property only with -noreset: otherwise it resets when xprop disconnects.
before_wine() { xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0, 0, 1280, 984"; }
. "$here/tests/display/xvfb_session.sh"

wine_path() { echo "Z:$1" | tr / '\\'; }

# The server with its splash.
"$here/scripts/wine-run" "$bin/splash_probe.exe" "$(wine_path "$artefacts/go")" > "$artefacts/facts.txt" 2>/dev/null &
probe=$!
for _ in $(seq 300); do grep -q '^rect=\|^found=0' "$artefacts/facts.txt" 2>/dev/null && break; sleep 0.1; done
sleep 0.5  # let the layered window's content reach the screen
import -window root "$artefacts/splash-screen.png"
touch "$artefacts/go"
wait "$probe"
facts="$artefacts/facts.txt"
check "window found by class" "$(fact found "$facts")" 1
check "extended style" "$(fact exstyle "$facts")" 00080088
# A popup, visible, no caption or border; the system adds WS_CLIPSIBLINGS to every top-level window.
check "style" "$(fact style "$facts")" 94000000
check "title" "$(fact title "$facts")" "Tessarine Scan Server"
check "visible" "$(fact visible "$facts")" 1
check "work area" "$(fact workarea "$facts")" "0,0,1280,984"
check "bottom-right of the work area" "$(fact rect "$facts")" "1150,854,1270,974"
check "every point of the picture is its caption" "$(fact hittest "$facts")" 2
check "request served" "$(fact answered "$facts")" 1
check "exit code" "$(fact exit "$facts")" 0

# The screen shows the picture there: premultiplied colour over black is the blended colour.
"$convert" "$splash" -background black -flatten "$artefacts/expected.png"
"$convert" "$artefacts/splash-screen.png" -crop 120x120+1150+854 +repage "$artefacts/on-screen.png"
differing=$(compare -metric AE -fuzz 1.5% "$artefacts/expected.png" "$artefacts/on-screen.png" null: 2>&1)
check "pixels differing from the picture" "$differing" 0
lit=$("$convert" "$artefacts/on-screen.png" -format '%[fx:mean>0.05]' info:)
check "the picture is not blank" "$lit" 1

# A server whose picture is missing shows no window and serves all the same.
rm -f "$artefacts/go"
touch "$artefacts/go"
"$here/scripts/wine-run" "$bin/splash_probe.exe" "$(wine_path "$artefacts/go")" ScanServer-x64-without-splash.exe \
  > "$artefacts/facts-without-splash.txt" 2>/dev/null
facts="$artefacts/facts-without-splash.txt"
check "no window without a picture" "$(fact found "$facts")" 0
check "request served without a picture" "$(fact answered "$facts")" 1
check "exit code without a picture" "$(fact exit "$facts")" 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
