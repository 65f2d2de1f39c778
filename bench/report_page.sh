#!/usr/bin/env bash
# The report page at 10,000 plug-ins: its size, and the time headless Chromium takes to load it
# and run its script, against an empty page in the same browser, side by side in rounds.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$here/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
python3 - "$work/plugins.json" <<'PY'
import copy, json, sys
record = {"path": "", "size": 12822, "modified": "2026-12-07T16:41:47.3029227Z", "scannedAt": "2026-12-07T17:00:00.0000000Z",
          "arch": "x64", "format": "vst2", "status": "ok", "error": "", "scanSeconds": 0.0061, "dialogs": [], "console": "",
          "consoleDropped": 0, "report": {"id": "5A456666", "name": "", "vendor": "Tessarine Test Zoo", "product": "Zoo",
          "version": "1.2.0.0", "numInputs": 2, "numOutputs": 2, "wantsMidi": True, "sendsMidi": True, "platform": "x64",
          "audio64": False, "category": 1, "synthEdit": False}}
plugins = []
for i in range(10000):
    r = copy.deepcopy(record)
    r["path"] = "C:\\Program Files\\VSTPlugins\\effect-%05d.dll" % i
    r["report"]["name"] = "Effect %05d" % i
    if i % 100 == 0:
        r["status"], r["error"] = "crashed", "crashed; dump written: exception C0000005 (access violation) in effect.dll"
    plugins.append(r)
json.dump({"format": 1, "plugins": plugins}, open(sys.argv[1], "w"), indent=2)
PY
wine "$here/build/windows-x64/bin/tessarine-scan.exe" --db-only --db "$(winepath -w "$work/plugins.json")" \
  --report "$(winepath -w "$work/page.html")" >/dev/null 2>&1
echo '<!DOCTYPE html><html><body>empty</body></html>' >"$work/empty.html"
load() {
  local started=$(date +%s%N)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" --dump-dom "file://$1" 2>/dev/null >"$work/dom"
  awk -v ns=$(( $(date +%s%N) - started )) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}
page=() empty=()
for round in 1 2 3; do page+=("$(load "$work/page.html")"); empty+=("$(load "$work/empty.html")"); done
load "$work/page.html" >/dev/null
rows=$(grep -o '<tr class="file"' "$work/dom" | wc -l)
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
printf 'report page, 10,000 plug-ins: %.1f MB (target under 10); loaded and rendered in %.2f s (empty page %.2f s, %s rows)\n' \
  "$(awk -v bytes="$(stat -c %s "$work/page.html")" 'BEGIN { print bytes / 1048576 }')" "$(median "${page[@]}")" "$(median "${empty[@]}")" \
  "$rows"
