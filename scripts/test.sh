#!/usr/bin/env bash
# Builds vantor and runs every test: once as a normal build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer; then a minute of fuzzing
# the filter pipeline (clang, libFuzzer).
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
