#!/usr/bin/env bash
# Builds vantor and runs every test: once as a normal build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer; then a minute of fuzzing
# the filter pipeline (clang, libFuzzer); then the Windows stage: the
# cross-build (scripts/build-windows.sh), the whole suite under Wine, and the
# package rebuilt from its own source archive (scripts/package-windows.sh --check).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON >/dev/null
cmake --build build-san -j "$jobs"
ctest --test-dir build-san --output-on-failure -j "$jobs"

bash fuzz/run.sh 60

# --- Windows ------------------------------------------------------------------
windows_start=$SECONDS
bash scripts/build-windows.sh build-win

# The whole suite under Wine, in a private prefix with one wineserver for
# the stage (scripts/wine-env.sh), stopped when the stage ends either way;
# then the same runs by vantor and vantor.exe, compared byte for byte.
. scripts/wine-env.sh build-win
trap stop_wineserver EXIT
start_wineserver
ctest --test-dir build-win --output-on-failure -j "$jobs"
bash scripts/compare-windows.sh build build-win
stop_wineserver
trap - EXIT
bash scripts/package-windows.sh --check
echo "windows stage: $((SECONDS - windows_start)) s"
