#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 300), starting from its seed corpus and
# keeping what it finds new in build/fuzz/corpus; a crash or a broken property stops with the
# input that did it, in build/fuzz/findings. `bash scripts/test.sh` runs it for 10 s.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-300}
bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
mkdir -p build/fuzz/findings
for target in server_output report_round_trip minidump pe_image safe_text; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$target"- -rss_limit_mb=2048)
  [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="tests/fuzz/$target.dict")
  echo "fuzz: $target for $seconds s" >&2
  # New inputs go to the build's corpus; the seeds in the repository are only read.
  if ! build/fuzz/bin/"$target"_fuzzer "${options[@]}" "$corpus" "tests/fuzz/corpus/$target" \
       >"build/fuzz/$target.log" 2>&1; then
    tail -40 "build/fuzz/$target.log" >&2
    echo "fuzz: $target found a fault; the input is in build/fuzz/findings" >&2
    exit 1
  fi
  grep -E "stat::number_of_executed_units|cov:" "build/fuzz/$target.log" | tail -2 >&2
done
