#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; they print their figures.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake --preset windows-x64 -DTESSARINE_X86_TARGETS=all >/dev/null
cmake --build --preset windows-x64 --target scan_benchmark >/dev/null
cmake --build --preset windows-x64 --target tessarine-scan >/dev/null
unset DISPLAY
scripts/wine-run build/windows-x64/bin/scan_benchmark.exe "$@"
# The report page in a real browser.
bash bench/report_page.sh
