#!/usr/bin/env bash
# Builds everything and runs every test: natively with sanitizers, then the Windows build under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64

# A wineserver started by a test would inherit ctest's output pipe and make ctest wait for it
# after every test; one persistent server, warmed up off that pipe, avoids it.
export WINEPREFIX="$here/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --preset windows-x64
