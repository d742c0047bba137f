#!/usr/bin/env bash
# Makes dist/vantor-VERSION-windows-x64.zip for users of the Windows front
# end: vantor.exe and vantor-demo.exe (built by scripts/build-windows.sh,
# stripped), the README, the licence texts, the project's own source archive
# and fparser's source package. The two sources are what the LGPL asks for
# beside a statically linked fparser: all it takes to rebuild vantor.exe
# against a changed fparser.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win

bash scripts/build-windows.sh "$build" >/dev/null
prefix=$build/deps/prefix
version=$(sed -nE 's/^project\(vantor VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
name=vantor-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/licenses" "$stage/source" dist

for exe in vantor.exe vantor-demo.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$exe" "$build/$exe"
done
cp README.md LICENSE THIRD-PARTY.md "$stage/"

cp "$prefix/licenses/sqlite-LICENSE.md" "$prefix/licenses/fparser-copyright" "$stage/licenses/"
cp /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3 "$stage/licenses/"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-copyright"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime-copyright"

# The source as built: tracked files with any changes not yet committed.
tree=$(git stash create 2>/dev/null || true)
git archive --format=tar.gz --prefix="vantor-$version/" -o "$stage/source/vantor-$version-source.tar.gz" "${tree:-HEAD}"
cp "$prefix/sources/"* "$stage/source/"

rm -f "dist/$name.zip"
(cd "$build/package" && zip -qr -X "../../dist/$name.zip" "$name")
echo "dist/$name.zip: $(du -k "dist/$name.zip" | cut -f1) KiB"
unzip -Z1 "dist/$name.zip" | sed "s/^/  /"
