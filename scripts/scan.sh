#!/usr/bin/env bash
# Builds the scanner and runs it as a user would: over the given plug-in files or folders
# (Windows paths, or Linux paths of this machine), by default over the bundled test plug-ins,
# crashes, a hang and a shell included. Options go to tessarine-scan; see --help.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
export WINEPREFIX="$here/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

arguments=()
for argument in "$@"; do
  # A path of this machine (existing, or a new file in an existing folder, like a database)
  # becomes the drive Z: path Wine gives it.
  if [[ "$argument" == /* && -e "$(dirname "$argument")" ]]; then
    argument="Z:$(realpath -m "$argument" | tr / '\\')"
  fi
  arguments+=("$argument")
done
if [ ${#arguments[@]} -eq 0 ]; then
  arguments=(--timeout 10 --db "Z:$(echo "$here/build/zoo-database.json" | tr / '\\')" --rescan
             "Z:$(echo "$here/build/windows-x64/bin/plugins" | tr / '\\')")
fi
# Without a display the servers run without their splash window.
exec wine build/windows-x64/bin/tessarine-scan.exe "${arguments[@]}"
