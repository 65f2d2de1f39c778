#!/usr/bin/env bash
# Builds the scanner and runs it as a user would: over the given plug-in files or folders
# (Windows paths, or Linux paths of this machine), by default over the bundled test plug-ins,
# 64-bit and 32-bit, crashes, a hang and a shell included. Options go to tessarine-scan; see --help.
# With --linux first, the native Linux scanner runs instead, over Linux plug-ins: by default the
# bundled Linux ones; `--linux --db FILE` with no path scans the standard Linux folders.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
if [ "${1:-}" = "--linux" ]; then
  shift
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target tessarine-scan test_plugins >/dev/null
  if [ $# -eq 0 ]; then
    set -- --timeout 6 --db "$here/build/linux-zoo-database.json" --rescan "$here/build/linux/bin/plugins"
  fi
  exec build/linux/bin/tessarine-scan "$@"
fi
# Only what a scan needs: the scanner, both servers and the bundled plug-ins, no tests.
cmake --preset windows-x64 -DTESSARINE_X86_TARGETS="ScanServer-x86;test_plugins" >/dev/null
cmake --build --preset windows-x64 --target tessarine-scan test_plugins >/dev/null
export WINEPREFIX="$here/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Paths of this machine, whole arguments or the values of --db=, --dump-dir= and --server=,
# become the drive paths Wine gives them (the scanner takes Linux paths too; this keeps the
# Windows form in its output).
windows_path() { winepath -w "$(realpath -m "$1")" 2>/dev/null || echo "$1"; }
arguments=()
for argument in "$@"; do
  case "$argument" in
    --db=*|--dump-dir=*|--server=*)
      value=${argument#*=}
      if [[ "$value" == /* || -e "$value" ]]; then argument="${argument%%=*}=$(windows_path "$value")"; fi ;;
    -*) ;;
    *) if [[ "$argument" == /* || -e "$argument" ]]; then argument=$(windows_path "$argument"); fi ;;
  esac
  arguments+=("$argument")
done
if [ ${#arguments[@]} -eq 0 ]; then
  arguments=(--timeout 6 --db "$(windows_path "$here/build/zoo-database.json")" --rescan
             "$(windows_path "$here/build/windows-x64/bin/plugins")"
             "$(windows_path "$here/build/windows-x64/bin/plugins-x86")")
fi
# Without a display the servers run without their splash window.
exec wine build/windows-x64/bin/tessarine-scan.exe "${arguments[@]}"
