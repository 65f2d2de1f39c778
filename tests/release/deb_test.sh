#!/usr/bin/env bash
# The Linux release as a user takes it: the .deb installed on this machine with dpkg, then
# tessarine-scan from /usr/bin, with no argument, finds Debian's plug-ins in the standard folders
# and scans every one ok (LSP's shared core, which holds no plug-in, apart); a second run loads
# nothing; the example host builds against the installed package with find_package(Tessarine
# CONFIG) and scans with the installed server. The package is removed again at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
deb=$(ls "$here"/build/release/tessarine-scan_*_amd64.deb | head -n 1)
tgz=$(ls "$here"/build/release/tessarine-scan-*-linux-x86_64.tar.gz | head -n 1)
work=$(mktemp -d /tmp/tessarine-deb-test-XXXXXX)
trap 'dpkg -r tessarine-scan >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
fail() { echo "deb test: $*" >&2; exit 1; }

# The archive holds the same files as the package, under one folder of its name.
listing=$(tar -tzf "$tgz")
grep -qx "$(basename "$tgz" .tar.gz)/bin/ScanServer-linux-x86_64" <<<"$listing" || fail "the archive has no server"

dpkg -i "$deb" >/dev/null
export HOME="$work/home"
mkdir -p "$HOME"
status=0
/usr/bin/tessarine-scan --db "$work/plugins.json" --format json >"$work/first.json" 2>"$work/first.err" || status=$?
[ "$status" -eq 1 ] || fail "the first run ended with $status: $(tail -n 3 "$work/first.err")"
python3 - "$work/first.json" <<'PY' || fail "the first run's records"
import json, sys
records = json.load(open(sys.argv[1]))["plugins"]
formats = {}
for record in records:
    formats[record["format"]] = formats.get(record["format"], 0) + 1
    name = record["path"].rsplit("/", 1)[-1]
    if name.startswith("lsp-plugins-vst2-"):
        assert record["error"] == "Entry point not found, not a VST plugin", record
    else:
        assert record["status"] == "ok", (name, record.get("error"))
assert formats.get("vst2", 0) > 150 and formats.get("vst3", 0) > 10 and formats.get("clap", 0) > 10, formats
print("deb test:", len(records), "files from the standard folders,", formats)
PY
/usr/bin/tessarine-scan --db "$work/plugins.json" >/dev/null 2>"$work/second.err" || true
grep -q "(0 scanned, " "$work/second.err" || fail "the second run scanned again: $(tail -n 1 "$work/second.err")"

cmake -S /usr/share/doc/tessarine-scan/examples/minimal-host -B "$work/example" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/example" >/dev/null
line=$("$work/example/minimal-host" --servers /usr/bin /usr/lib/vst/ZamComp-vst.so)
case "$line" in
  "ok "*"ZamComp"*) echo "deb test: the example host: $line" ;;
  *) fail "the example host said: $line" ;;
esac
echo "deb test: passed"
