#!/usr/bin/env bash
# Builds the server and shows a host's view of it: each path given (default: a few of the test
# plug-ins, the last of which crashes) is sent as a request over real pipes, and every line the
# server answers is printed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
zoo='Z:'$(echo "$here/build/windows-x64/bin/plugins" | tr / '\\')
[ $# -gt 0 ] || set -- "$zoo\\ordinary_effect.dll" "$zoo\\shell_with_duplicates.dll" \
  "$zoo\\shell_with_duplicates.dll>7" "$zoo\\crash_in_close.dll" "$zoo\\crash_in_entry.dll"
exec scripts/wine-run build/windows-x64/bin/ask-server.exe "$@"
