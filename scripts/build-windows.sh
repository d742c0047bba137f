#!/usr/bin/env bash
# Cross-builds vantor.exe, vantor-demo.exe and vantor_tests.exe for 64-bit
# Windows with MinGW-w64, each linked statically, and checks that they import
# system DLLs only. Usage: build-windows.sh [BUILD_DIR [TARGET...]] (default
# build-win, those three; vantor_floor, the benchmark's floor that
# bench/run.sh --windows times beside vantor.exe, is built when named). The
# dependencies are built once from Debian's source packages and cached under
# BUILD_DIR/deps (scripts/windows-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
targets=("${@:2}")
[ ${#targets[@]} -gt 0 ] || targets=(vantor vantor-demo vantor_tests)
jobs=$(nproc 2>/dev/null || echo 2)
# Objects are cached under paths relative to the tree, so a second tree of the
# same sources (the package's check, another checkout) compiles from the cache.
export CCACHE_BASEDIR=$PWD

bash scripts/setup.sh
bash scripts/windows-deps.sh "$build"
prefix=$(cd "$build/deps/prefix" && pwd)

# The tests run under Wine when ctest runs them (scripts/test.sh): the list of
# tests is read then too, so building needs no Wine. Release at the Linux
# build's -O2 (GCC 12 at -O3 warns falsely about std::string with -Wrestrict).
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_FIND_ROOT_PATH="$prefix" -DVANTOR_BENCH=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v /usr/lib/wine/wine64 || echo wine64)" \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# The DLLs every Windows 10 has; anything else would have to ship beside the exe.
system_dlls='^(kernel32|user32|advapi32|shell32|ole32|oleaut32|ws2_32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+|bcrypt|ntdll|shlwapi|version)\.dll$'
status=0
for target in "${targets[@]}"; do
  exe=$target.exe
  [ -f "$build/$exe" ] || exe=bench/$exe
  imports=$(x86_64-w64-mingw32-objdump -p "$build/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  echo "$exe imports: $(echo "$imports" | tr '\n' ' ')"
  if echo "$imports" | grep -Evq "$system_dlls"; then
    echo "build-windows: $exe imports a DLL that is no system DLL: $(echo "$imports" | grep -Ev "$system_dlls" | tr '\n' ' ')" >&2
    status=1
  fi
done
exit $status
