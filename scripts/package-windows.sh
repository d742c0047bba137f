#!/usr/bin/env bash
# Makes dist/vantor-VERSION-windows-x64.zip for users of the Windows front
# end: vantor.exe and vantor-demo.exe (built by scripts/build-windows.sh,
# stripped), README-Windows.txt for them, the full README, the licence texts,
# the project's own source archive and fparser's source package. The two
# sources are what the LGPL asks for beside a statically linked fparser: all
# it takes to rebuild vantor.exe against a changed fparser.
#
# Usage: package-windows.sh [--check]. Works from a git checkout and from the
# shipped source archive unpacked. --check then unpacks the source archive it
# has just shipped into a temporary folder and makes the package again from
# there (reusing the built dependencies), which must ship the same sources.
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
case "${1:-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
build=build-win

bash scripts/build-windows.sh "$build" vantor vantor-demo >/dev/null
prefix=$build/deps/prefix
version=$(sed -nE 's/^project\(vantor VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
name=vantor-$version-windows-x64
stage=$build/package/$name
archive=$stage/source/vantor-$version-source.tar.gz
rm -rf "$build/package"
mkdir -p "$stage/licenses" "$stage/source" dist

fail() { echo "package-windows: $*" >&2; exit 1; }

for exe in vantor.exe vantor-demo.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$exe" "$build/$exe"
done

# The guide for Windows users, in Windows' line ends, short enough to read
# through. Its source is kept with plain line ends.
sed 's/$/\r/' docs/README-Windows.txt >"$stage/README-Windows.txt"
lines=$(wc -l <"$stage/README-Windows.txt")
[ "$lines" -lt 150 ] || fail "README-Windows.txt has $lines lines; keep it under 150"
[ "$(grep -c $'\r$' "$stage/README-Windows.txt")" -eq "$lines" ] || fail "README-Windows.txt: a line does not end in CR LF"
[ "$(tr -cd '\r' <"$stage/README-Windows.txt" | wc -c)" -eq "$lines" ] || fail "README-Windows.txt: a CR that ends no line"
cp README.md "$stage/README-full.md"
cp LICENSE "$stage/LICENSE.txt"
cp THIRD-PARTY.md "$stage/THIRD-PARTY.txt"

# Licence texts, each a .txt that Windows opens without asking.
cp "$prefix/licenses/sqlite-LICENSE.md" "$stage/licenses/sqlite-LICENSE.txt"
cp "$prefix/licenses/fparser-copyright" "$stage/licenses/fparser-copyright.txt"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime-copyright.txt"
# The case-folding table was made from this ICU's data (its first line says which).
icu=$(sed -nE '1s/.*from ICU ([0-9.]+).*/\1/p' src/text/case_fold_table.inc)
[ -f "/usr/share/icu/$icu/LICENSE" ] || fail "no licence of ICU $icu (libicu-dev) for the case-folding table"
cp "/usr/share/icu/$icu/LICENSE" "$stage/licenses/icu-LICENSE.txt"

# THIRD-PARTY.txt names every licence file the package has, by the names it has.
named=$(grep -oE 'licenses/[A-Za-z0-9._-]+' THIRD-PARTY.md | sort -u)
shipped=$(cd "$stage" && find licenses -type f | sort)
[ "$named" = "$shipped" ] || fail "THIRD-PARTY.md names $(echo $named), the package holds $(echo $shipped)"

# The source as built: from a git checkout its tracked files with any changes
# not yet committed; from an unpacked source archive its files, less what a
# build or a run left there (what .gitignore keeps out of a checkout).
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$PWD" ]; then
  tree=$(git stash create 2>/dev/null || true)
  git archive --format=tar.gz --prefix="vantor-$version/" -o "$archive" "${tree:-HEAD}"
else
  tar -czf "$archive" --sort=name --owner=0 --group=0 --numeric-owner \
    --exclude='./build*' --exclude=./dist --exclude=./demo --exclude=./bench/cache --exclude='*.db' \
    --transform="s,^\.,vantor-$version," .
fi
cp "$prefix/sources/"* "$stage/source/"

rm -f "dist/$name.zip"
# README-Windows.txt first, so it heads the zip's listing.
(cd "$build/package" && zip -qX "../../dist/$name.zip" "$name/README-Windows.txt" && zip -qrX "../../dist/$name.zip" "$name")
echo "dist/$name.zip: $(du -k "dist/$name.zip" | cut -f1) KiB"
unzip -Z1 "dist/$name.zip" | sed "s/^/  /"

if $check; then
  # The shipped source archive, unpacked where no git checkout surrounds it,
  # must make the package again and ship the very same sources.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  tar -xzf "$archive" -C "$scratch"
  mkdir -p "$scratch/vantor-$version/$build"
  cp -a "$build/deps" "$scratch/vantor-$version/$build/"
  (cd "$scratch/vantor-$version" && bash scripts/package-windows.sh) >"$scratch/log" 2>&1 ||
    { tail -20 "$scratch/log"; fail "the shipped source archive does not make the package"; }
  again=$scratch/vantor-$version/$build/package/$name
  [ "$(unzip -Z1 "dist/$name.zip" | sort)" = "$(unzip -Z1 "$scratch/vantor-$version/dist/$name.zip" | sort)" ] ||
    fail "the package made from the source archive holds other files"
  mkdir -p "$scratch/first" "$scratch/second"
  tar -xzf "$archive" -C "$scratch/first"
  tar -xzf "$again/source/vantor-$version-source.tar.gz" -C "$scratch/second"
  diff -r "$scratch/first" "$scratch/second" >/dev/null ||
    fail "the source archive made from the source archive differs: $(diff -rq "$scratch/first" "$scratch/second" | head -5)"
  echo "package-windows: the shipped source archive makes the package again"
fi
