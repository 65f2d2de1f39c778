#!/usr/bin/env bash
# Builds everything and runs every test: natively with sanitizers, the Linux product natively,
# then the Windows build under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

# The Linux server, its zoo and Debian's plug-ins, natively.
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux

# Every fuzz target, briefly, on its seeds: the faults fuzzing once found stay fixed.
bash scripts/fuzz.sh 10

cmake --preset windows-x64 -DTESSARINE_X86_TARGETS=all >/dev/null
cmake --build --preset windows-x64

# The splash window on a real X server, with an X server and a wineserver of its own.
ctest --preset windows-x64 --label-regex display

# A wineserver, or Wine's desktop and service processes, started by a test would inherit
# ctest's output pipe and make ctest wait for them after every test. One persistent
# wineserver, and a server in its window-only mode that keeps those processes alive, both
# started off that pipe, avoid it. Without a display the server runs without its window.
unset DISPLAY
export WINEPREFIX="$here/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine cmd /c exit >/dev/null 2>&1 || true
wine build/windows-x64/bin/ScanServer-x64.exe >/dev/null 2>&1 &
# Wine itself now and then fails to start a test program ("ShellExecuteEx failed: Internal
# error", seen for one of 195 tests in a clean clone's run): a test that fails is run once
# more, so that only what fails twice fails the run.
ctest --preset windows-x64 --label-exclude display --repeat until-pass:2

# The releases as a user takes them: the Windows one in a Wine prefix of its own, the Linux
# package installed on this machine.
bash scripts/package.sh
bash tests/release/release_test.sh
bash tests/release/deb_test.sh
