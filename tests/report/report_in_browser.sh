#!/usr/bin/env bash
# The HTML report of a real scan, opened in a real browser (headless Chromium): the rendered
# rows, hostile plug-in texts kept as text, nothing loaded from outside, a screenshot that is
# not blank, and the same rows from the database alone. Runs on an X server of its own, so
# that the dialog plug-in shows its dialog.
# Usage: report_in_browser.sh BIN_FOLDER ARTEFACT_FOLDER
set -uo pipefail
bin=$1
artefacts=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
. "$here/tests/display/xvfb_session.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"; cleanup' EXIT
mkdir -p "$work/plugins" "$artefacts"
for name in ordinary_effect crash_in_entry hang_in_entry hostile_texts; do cp "$bin/plugins/$name.dll" "$work/plugins/" || exit 1; done
cp "$bin/plugins-dialogs/dialog_message_box.dll" "$work/plugins/" || exit 1
cp "$bin/plugins/clap_hostile.clap" "$work/plugins/" || exit 1  # a name with a right-to-left override
win() { winepath -w "$1"; }

# A scan with the page, then the page of the database alone.
wine "$bin/tessarine-scan.exe" --jobs 1 --timeout 4 --dump-dir "$(win "$work/dumps")" --db "$(win "$work/plugins.json")" \
  --report "$(win "$work/scan.html")" "$(win "$work/plugins")" >"$work/scan.out" 2>"$work/scan.err" || true
wine "$bin/tessarine-scan.exe" --db-only --db "$(win "$work/plugins.json")" --report "$(win "$work/database.html")" \
  >/dev/null 2>"$work/database.err" || { cat "$work/database.err"; exit 1; }

# Checks, with their stages as marks and their load.
mkdir -p "$work/checked"
for name in check_clean.dll check_writes_nan.dll check_crash_block_64.dll check_instrument.clap; do
  cp "$bin/plugins-check/$name" "$work/checked/" || exit 1
done
wine "$bin/tessarine-scan.exe" --check --jobs 1 --timeout 4 --dump-dir "$(win "$work/dumps")" \
  --report "$(win "$work/checks.html")" "$(win "$work/checked")" >/dev/null 2>"$work/checks.err" || true

browse() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" "$@" 2>/dev/null
}
browse --dump-dom "file://$work/scan.html" >"$work/scan.dom"
browse --dump-dom "file://$work/database.html" >"$work/database.dom"
browse --dump-dom "file://$work/checks.html" >"$work/checks.dom"
browse --screenshot="$artefacts/checks.png" --window-size=1280,900 "file://$work/checks.html" >/dev/null
browse --screenshot="$artefacts/report.png" --window-size=1280,1400 "file://$work/scan.html" >/dev/null
cp "$work/scan.html" "$artefacts/report.html"
[ -s "$artefacts/report.png" ] || { echo "no screenshot"; exit 1; }

python3 "$here/tests/report/check_report.py" "$work/scan.html" "$work/scan.dom" "$work/database.dom" "$artefacts/report.png" \
  "$work/checks.dom"
