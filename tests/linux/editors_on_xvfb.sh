#!/usr/bin/env bash
# Editors on a real X server (Xvfb), natively: tessarine-scan --check-editor opens each one in an
# X11 window of the server's, as a Linux host embeds it (VST 2 effEditOpen with the window's id,
# VST 3 "X11EmbedWindowID" with the host's run loop, CLAP "x11" with fd and timer support).
# Debian's plug-ins of each format and framework open, run and close (zam's CLAP plug-in without
# parameters: those with parameters fail in state before their editor, a real fault); the zoo's editor that
# faults crashes its check in the editor stage, and the one that faults when audio runs while
# it is open crashes on the audio thread; the zoo's CLAP editor that needs the host's timers passes.
set -euo pipefail
bin=$1
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d /tmp/tessarine-editors-XXXXXX)
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=":$display" HOME="$work"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

zoo="$bin/plugins-check"
status=0
"$bin/tessarine-scan" --check-editor --jobs 2 --timeout 20 --format json --dump-dir "$work/dumps" \
  /usr/lib/vst/ZamComp-vst.so /usr/lib/vst3/ZamComp.vst3 /usr/lib/clap/ZamAutoSat.clap \
  /usr/lib/vst/lsp-plugins/compressor-stereo.so /usr/lib/vst/iem.at/libStereoEncoder.so /usr/lib/lxvst/DragonflyRoomReverb-vst.so \
  "$zoo/check_clean.so" "$zoo/check_clean.vst3" "$zoo/check_clean.clap" "$zoo/check_gui_needs_host.clap" \
  "$zoo/check_editor_crashes.so" "$zoo/check_editor_crashes.vst3" "$zoo/check_editor_crashes.clap" \
  "$zoo/check_editor_crashes_with_audio.so" "$zoo/check_editor_crashes_with_audio.vst3" "$zoo/check_editor_crashes_with_audio.clap" \
  >"$work/out.json" 2>"$work/err.txt" || status=$?
[ "$status" -eq 1 ] || { echo "tessarine-scan ended with $status"; tail -n 5 "$work/err.txt"; exit 1; }
python3 - "$work/out.json" <<'PY'
import json, sys
records = json.load(open(sys.argv[1]))["plugins"]
checks = {}
for record in records:
    name = (record.get("bundle") or record["path"]).rsplit("/", 1)[-1]
    for plugin in record.get("subPlugins", [record]):
        if "check" in plugin:
            checks[name] = plugin["check"]
assert len(checks) == 16, sorted(checks)
for name, check in sorted(checks.items()):
    editor = [stage for stage in check.get("stages", []) if stage["stage"] == "editor"]
    if name.startswith("check_editor_crashes_with_audio"):
        assert check["status"] == "crashed" and check["stage"] == "editor while processing, on the audio thread", (name, check.get("verdict"))
    elif name.startswith("check_editor_crashes"):
        assert check["status"] == "crashed" and check["stage"] == "editor", (name, check.get("verdict"))
    else:
        assert check["status"] == "passed", (name, check.get("verdict"))
        assert editor and editor[0]["result"] == "passed", (name, editor)
    print("editors:", name, check["status"], editor[0]["details"] if editor else check.get("verdict"))
PY
