#!/usr/bin/env bash
# Builds everything and makes the release: build/release/tessarine-scan-VERSION-windows.zip, with
# the scanner and both servers, the README, and the host development kit (headers, a static
# library for each machine, a CMake package config, an example host).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 -DTESSARINE_X86_TARGETS=all >/dev/null
cmake --build --preset windows-x64
rm -f build/release/tessarine-scan-*-windows.zip
(cd build/windows-x64 && cpack -G ZIP >/dev/null)
ls build/release/tessarine-scan-*-windows.zip
