#!/usr/bin/env bash
# Builds everything and makes the releases:
#   build/release/tessarine-scan-VERSION-windows.zip, with the scanner and both servers, the
#     README, and the host development kit (headers, a static library for each machine, a CMake
#     package config, an example host);
#   build/release/tessarine-scan-VERSION-linux-x86_64.tar.gz and tessarine-scan_VERSION_amd64.deb,
#     the same for Linux.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 -DTESSARINE_X86_TARGETS=all >/dev/null
cmake --build --preset windows-x64
rm -f build/release/tessarine-scan-*-windows.zip
(cd build/windows-x64 && cpack -G ZIP >/dev/null)
cmake --preset linux >/dev/null
cmake --build --preset linux
rm -f build/release/tessarine-scan-*-linux-x86_64.tar.gz build/release/tessarine-scan_*_amd64.deb
(cd build/linux && cpack >/dev/null)
ls build/release/tessarine-scan-*-windows.zip build/release/tessarine-scan-*-linux-x86_64.tar.gz build/release/tessarine-scan_*_amd64.deb
