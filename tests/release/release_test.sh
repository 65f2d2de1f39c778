#!/usr/bin/env bash
# The release as a user takes it: the ZIP unpacked under a path with spaces, in a fresh Wine
# prefix whose standard plug-in folders, registry values and CLAP_PATH hold zoo plug-ins of both
# machines and all three formats. `tessarine-scan` with no argument must find exactly those, each
# on the server of its machine; the example host must build against the installed package and
# run; the programs must need no DLL beyond the system's.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
zoo="$here/build/windows-x64/bin/plugins" zoo86="$here/build/windows-x64/bin/plugins-x86"
zip=$(ls "$here"/build/release/tessarine-scan-*-windows.zip | head -n 1)
work="$here/build/release test"
rm -rf "$work"
mkdir -p "$work/unpacked here"
unzip -q "$zip" -d "$work/unpacked here"
root="$work/unpacked here/$(basename "$zip" .zip)"

# A prefix of its own, with a wineserver of its own off the caller's pipes.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# The first program made the prefix.
wine cmd /c exit >/dev/null 2>&1 || true
unix() { winepath -u "$1" 2>/dev/null; }
win() { winepath -w "$1" 2>/dev/null; }
c="$WINEPREFIX/drive_c"
local_app_data=$(unix "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")

plant() {  # plant FOLDER SOURCE [NAME]
  mkdir -p "$1"
  cp -r "$2" "$1/${3:-$(basename "$2")}"
}
plant "$c/Program Files/Common Files/VST3" "$zoo/vst3_single_file.vst3"
plant "$c/Program Files/Common Files/VST3" "$zoo/vst3_pair.vst3"
plant "$c/Program Files (x86)/Common Files/VST3" "$zoo86/vst3_single_file.vst3" single_x86.vst3
plant "$local_app_data/Programs/Common/VST3" "$zoo/vst3_factory_v1.vst3"
plant "$c/Program Files/Common Files/CLAP" "$zoo/clap_pair.clap"
plant "$local_app_data/Programs/Common/CLAP" "$zoo86/clap_pair.clap" pair_x86.clap
plant "$work/clap path" "$zoo/clap_hostile.clap"
plant "$c/Program Files/VSTPlugins" "$zoo/ordinary_effect.dll"
plant "$c/Program Files (x86)/Steinberg/VSTPlugins" "$zoo86/synth_flag.dll" synth_x86.dll
plant "$c/Registered 64" "$zoo/odd_names.dll"
plant "$c/Registered 32" "$zoo86/ordinary_effect.dll" ordinary_x86.dll
plant "$c/Program Files/Common Files/VST3" "$zoo/ordinary_effect.dll" helper_beside_vst3.dll  # not a VST 2 folder
wine reg add 'HKLM\SOFTWARE\VST' /v VSTPluginsPath /d 'C:\Registered 64' /f /reg:64 >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\VST' /v VSTPluginsPath /d 'C:\Registered 32' /f /reg:32 >/dev/null 2>&1
# Named twice: the user's value is one of the standard folders.
wine reg add 'HKCU\SOFTWARE\VST' /v VSTPluginsPath /d 'C:\Program Files\VSTPlugins' /f >/dev/null 2>&1
export CLAP_PATH="$(win "$work/clap path");C:\\nowhere"

bin="$root/bin"
wine "$bin/tessarine-scan.exe" --list-folders >"$work/folders.txt" 2>&1
wine "$bin/tessarine-scan.exe" --format json --dump-dir "$(win "$work/dumps")" >"$work/scan.json" 2>"$work/scan.err" || true
python3 - "$work/scan.json" "$work/folders.txt" <<'PY'
import json, sys
records = json.load(open(sys.argv[1]))["plugins"]
found = sorted((r["path"].replace("\\", "/").split("/Contents/")[0].rsplit("/", 1)[-1], r.get("arch", ""), r["status"]) for r in records)
expected = sorted([
    ("vst3_single_file.vst3", "x64", "ok"), ("vst3_pair.vst3", "x64", "ok"), ("vst3_pair.vst3", "x86", "ok"),
    ("single_x86.vst3", "x86", "ok"), ("vst3_factory_v1.vst3", "x64", "ok"), ("clap_pair.clap", "x64", "ok"),
    ("pair_x86.clap", "x86", "ok"), ("clap_hostile.clap", "x64", "ok"), ("ordinary_effect.dll", "x64", "ok"),
    ("synth_x86.dll", "x86", "ok"), ("odd_names.dll", "x64", "ok"), ("ordinary_x86.dll", "x86", "ok")])
if found != expected:
    sys.exit("release: found %r, expected %r" % (found, expected))
folders = open(sys.argv[2]).read()
for folder in ["Common Files\\VST3", "Common Files\\CLAP", "Registered 64", "Registered 32", "Program Files\\VSTPlugins",
               "clap path", "Steinberg\\VSTPlugins", "Programs\\Common\\VST3"]:
    if not any(line.startswith("exists") and folder in line for line in folders.splitlines()):
        sys.exit("release: --list-folders does not list %s as existing:\n%s" % (folder, folders))
if folders.count("C:\\Program Files\\VSTPlugins  ") != 1:
    sys.exit("release: a folder named twice is listed twice:\n" + folders)
print("release: %d plug-in files found where they were planted" % len(found))
PY

# The example host, for each machine, against the installed package only.
for machine in x86_64 i686; do
  cmake -S "$root/examples/minimal-host" -B "$work/example $machine" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$machine.cmake" -DCMAKE_PREFIX_PATH="$root" >"$work/example-$machine.log" 2>&1 ||
    { cat "$work/example-$machine.log"; exit 1; }
  cmake --build "$work/example $machine" >>"$work/example-$machine.log" 2>&1 || { cat "$work/example-$machine.log"; exit 1; }
  line=$(wine "$work/example $machine/minimal-host.exe" --servers "$(win "$bin")" "$(win "$c/Program Files/VSTPlugins/ordinary_effect.dll")" 2>&1)
  case "$line" in ok*"Ordinary Effect"*) echo "release: example host ($machine): $line" ;; *) echo "release: example host ($machine) said: $line"; exit 1 ;; esac
done

# Nothing beyond the system's DLLs.
for exe in "$bin"/*.exe; do
  objdump=x86_64-w64-mingw32-objdump
  imports=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for dll in $imports; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|gdiplus.dll|advapi32.dll|shell32.dll|ole32.dll|version.dll|dbghelp.dll|bcrypt.dll|msvcrt.dll|ntdll.dll|comctl32.dll|api-ms-win-*) ;;
      *) echo "release: $(basename "$exe") needs $dll"; exit 1 ;;
    esac
  done
done
echo "release: the programs need only system DLLs"
