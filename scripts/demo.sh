#!/usr/bin/env bash
# Installs what is missing, builds vantor, makes the demo library (the
# current MediaMonkey layout and shape, 2,000 songs) and runs one selection on it:
# 25 songs drawn with weights from the math filter, without repeats.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target vantor vantor-demo

mkdir -p demo
# Made anew every time (a fraction of a second), so a library an older
# generator left here never stands in for the README's examples.
./build/vantor-demo --songs 2000 demo/library.db
./build/vantor demo/library.db "genre=rock or genre=pop" "ORDER BY Artist" \
  "if(playcounter>3,1,0.5)" 1 25 1 demo/result.txt 5 >demo/vantor.log
echo "result file demo/result.txt:"
cat demo/result.txt
echo
echo
echo "the chosen songs:"
./build/vantor-demo --show demo/library.db demo/result.txt
