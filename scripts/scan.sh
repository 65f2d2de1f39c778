#!/usr/bin/env bash
# Builds the server and shows a host's view of it: each path given (default: a missing one)
# is sent as a request over real pipes, and every line the server answers is printed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 >/dev/null
[ $# -gt 0 ] || set -- 'C:\no\such\plugin.dll'
exec scripts/wine-run build/windows-x64/bin/ask-server.exe "$@"
