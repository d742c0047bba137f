#!/usr/bin/env bash
# Builds vantor and runs every test: once as a normal build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer; then a minute of fuzzing
# the filter pipeline (clang, libFuzzer); then the Windows stage: the
# cross-build (scripts/build-windows.sh) and the whole suite under Wine.
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

# A private Wine prefix under the build folder, made (or brought up to date)
# once per run. One wineserver, started first so that everything after it
# uses it, stays up for the whole stage, which keeps each test's Wine start
# quick; it is stopped when the stage ends either way.
# Debian installs wine64 outside PATH; its file list says where.
wine64_files=$(dpkg -L wine64)
wine64=$(grep -m 1 '/wine64$' <<<"$wine64_files")
wineserver=$(grep -m 1 '/wineserver64$' <<<"$wine64_files")
export WINEPREFIX="$PWD/build-win/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
stop_wineserver() { "$wineserver" -k 2>/dev/null || true; }
trap stop_wineserver EXIT
mkdir -p "$WINEPREFIX"
stop_wineserver  # one left behind by an interrupted run would refuse a second
"$wineserver" -p
"$wine64" wineboot --init >build-win/wineboot.log 2>&1
ctest --test-dir build-win --output-on-failure -j "$jobs"
stop_wineserver
trap - EXIT
echo "windows stage: $((SECONDS - windows_start)) s"
