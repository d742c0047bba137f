#!/usr/bin/env bash
# Regenerates src/text/case_fold_table.inc from the system's ICU (Linux). The
# table is committed, so the Windows build, which has no ICU, folds alike.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -o "$tmp/gen" tools/casefold/generate_icu.cpp $(pkg-config --cflags --libs icu-uc)
"$tmp/gen" >src/text/case_fold_table.inc
echo "src/text/case_fold_table.inc: $(grep -c '^{' src/text/case_fold_table.inc) runs"
