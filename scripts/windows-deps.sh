#!/usr/bin/env bash
# Builds the Windows executables' dependencies from Debian's own source
# packages, at the versions the Linux build is linked against:
#   SQLite   the amalgamation, with the compile options of Debian's libsqlite3
#   fparser  fparser.cc alone (vantor never calls Optimize)
#   gtest    GoogleTest and its main
# Usage: windows-deps.sh BUILD_DIR. Installs static libraries and headers into
# BUILD_DIR/deps/prefix; does nothing when the prefix was built from the same
# versions by the same recipe.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
deps=$build/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
triplet=x86_64-w64-mingw32
jobs=$(nproc 2>/dev/null || echo 2)

# The source package and version behind a binary package the Linux build uses.
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }
sqlite_src=$(source_of libsqlite3-dev)
fparser_src=$(source_of libfparser-dev)
gtest_src=$(source_of googletest)

key="$sqlite_src $fparser_src $gtest_src $(cat "$0" "$toolchain" | sha256sum | cut -c1-16)"
if [ -f "$prefix/.built" ] && [ "$(cat "$prefix/.built")" = "$key" ]; then
  exit 0
fi

echo "windows-deps: building $sqlite_src, $fparser_src, $gtest_src for $triplet"
rm -rf "$deps"
mkdir -p "$deps/src" "$prefix/include" "$prefix/lib"
# -qq keeps the download quiet; a root download warns that _apt cannot read the folder.
(cd "$deps/src" && apt-get source -qq --only-source "$sqlite_src" "$fparser_src" "$gtest_src" 2>&1 |
   grep -v 'unsandboxed as root' || true)
srcdir() { find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

# --- SQLite -------------------------------------------------------------------
# Debian's CFLAGS, read from its debian/rules by make itself; only the SQLite
# options and the optimisation level are kept: the rest are Linux toolchain
# hardening flags. The configure switches come from the same file.
sqlite=$(srcdir sqlite3)
printf 'include debian/rules\nvantor-print-cflags:\n\t@echo $(CFLAGS)\n' >"$deps/print-cflags.mk"
debian_cflags=$(cd "$sqlite" && make -s -f "$deps/print-cflags.mk" vantor-print-cflags)
sqlite_cflags=""
for word in $debian_cflags; do
  case "$word" in -DSQLITE_*|-O2|-fno-strict-aliasing) sqlite_cflags+=" $word" ;; esac
done
sqlite_switches=$(grep -o -- '--enable-[a-z0-9-]*' "$sqlite/debian/rules" | grep -v -- '--enable-debug' | sort -u)
# One option of our own, for Windows alone: a read seeks, then reads, instead
# of naming its offset in an OVERLAPPED structure. Under Wine every read so
# named costs a round trip to the wineserver (to post a completion no one
# waits for), which serialises the parts of a split scan and made runs under
# Wine several times slower; on Windows it costs one seek per read. It is no
# compile option SQLite reports.
sqlite_cflags+=" -DSQLITE_WIN32_NO_OVERLAPPED"
mkdir -p "$deps/sqlite-build"
(
  cd "$deps/sqlite-build"
  # shellcheck disable=SC2086
  config_TARGET_EXEEXT=.exe "$sqlite/configure" --build=x86_64-linux-gnu --host=$triplet CC=$triplet-gcc-posix \
    CFLAGS="$sqlite_cflags" --disable-shared --disable-tcl --disable-readline --disable-amalgamation \
    $sqlite_switches >configure.log 2>&1 || { tail -30 configure.log; exit 1; }
  # The amalgamation is generated on the build machine (lemon, mksourceid,
  # tclsh), then compiled as the Makefile compiles the library's own sources.
  # Debian's cross rule builds a lemon for the build machine when told; the
  # build machine's tools carry no .exe suffix.
  make -j "$jobs" CROSS_BUILDING=yes BEXE= sqlite3.c sqlite3.h >make.log 2>&1 || { tail -30 make.log; exit 1; }
  make CROSS_BUILDING=yes BEXE= sqlite3.lo >>make.log 2>&1 || { tail -30 make.log; exit 1; }
  object=$(find . -maxdepth 2 -name sqlite3.o | head -n 1)
  $triplet-ar rcs "$prefix/lib/libsqlite3.a" "$object"
  cp sqlite3.h "$prefix/include/"
  cp "$sqlite/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null || true
  # What the test of the compile options compares against.
  echo "$sqlite_cflags $sqlite_switches" >"$prefix/sqlite-options.txt"
)

# --- fparser ------------------------------------------------------------------
# Debian builds the library with CMake's Release flags; without the optimizer,
# Optimize() is the library's own empty stand-in and fpoptimizer.cc (generated
# by tools built from the same package) is not needed.
fparser=$(srcdir fparserc++)
$triplet-g++-posix -std=c++17 -O3 -DNDEBUG -DFP_NO_SUPPORT_OPTIMIZER -I"$fparser" \
  -c "$fparser/fparser.cc" -o "$deps/fparser.o"
$triplet-ar rcs "$prefix/lib/libfparser.a" "$deps/fparser.o"
cp "$fparser/fparser.hh" "$prefix/include/"

# --- GoogleTest ---------------------------------------------------------------
gtest=$(srcdir googletest)
cmake -S "$gtest" -B "$deps/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=ON >"$deps/gtest-configure.log"
cmake --build "$deps/gtest-build" -j "$jobs" >"$deps/gtest-build.log"
cmake --install "$deps/gtest-build" >/dev/null

# Licence texts travel with the package, and so does fparser's source
# package: the LGPL asks for the library's source beside a static build.
mkdir -p "$prefix/licenses" "$prefix/sources"
cp "$sqlite/LICENSE.md" "$prefix/licenses/sqlite-LICENSE.md"
cp "$fparser/debian/copyright" "$prefix/licenses/fparser-copyright"
cp "$gtest/LICENSE" "$prefix/licenses/googletest-LICENSE"
cp "$deps/src/"fparserc++_*.dsc "$deps/src/"fparserc++_*.orig.tar.* "$deps/src/"fparserc++_*.debian.tar.* "$prefix/sources/"

echo "$key" >"$prefix/.built"
