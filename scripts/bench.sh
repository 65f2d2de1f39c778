#!/usr/bin/env bash
# Builds and runs the benchmarks, under Wine and natively for Linux; they print their figures.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 -DTESSARINE_X86_TARGETS=all >/dev/null
cmake --build --preset windows-x64 --target scan_benchmark >/dev/null
cmake --build --preset windows-x64 --target tessarine-scan >/dev/null
unset DISPLAY
scripts/wine-run build/windows-x64/bin/scan_benchmark.exe "$@"
# The Linux figures, natively.
cmake --preset linux >/dev/null
cmake --build --preset linux --target linux_benchmark >/dev/null
build/linux/bin/linux_benchmark "$@"
# The report page in a real browser.
bash bench/report_page.sh
