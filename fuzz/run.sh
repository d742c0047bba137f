#!/usr/bin/env bash
# Builds the pipeline fuzzer with clang (ASan + UBSan, in build-fuzz/) and
# runs it for SECONDS (default 60). New inputs go to build-fuzz/corpus, so
# later runs on the same machine start from what earlier ones found; the
# seeds in fuzz/seeds stay as they are. A finding is written to
# build-fuzz/crash-* (or leak-*, timeout-*) and the script fails.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$jobs" --target pipeline_fuzzer
mkdir -p build-fuzz/corpus

# A filter of 8 KiB is far beyond what people type; the 1 MiB filters are
# end-to-end tests. -timeout catches inputs that make a stage hang. The
# fuzzer's chatter goes to a log; its closing statistics are shown.
log=build-fuzz/last-run.log
status=0
./build-fuzz/pipeline_fuzzer -max_total_time="$seconds" -max_len=8192 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -dict=fuzz/filters.dict \
  -artifact_prefix=build-fuzz/ build-fuzz/corpus fuzz/seeds >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz: FINDING after fuzzing; see $log and build-fuzz/crash-* (or leak-*, timeout-*)"
  exit "$status"
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
echo "fuzz: ${runs:-?} inputs in ${seconds} s, no finding"
