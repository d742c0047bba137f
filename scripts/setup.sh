#!/usr/bin/env bash
# Installs the Debian packages vantor needs to build, test, fuzz and benchmark,
# and to cross-build and test the Windows executables (MinGW-w64, Wine, and
# apt-get source for the dependencies' sources). A quick no-op when everything
# is already there; apt-get update runs only when something must be done.
set -euo pipefail

packages=(g++ cmake make libsqlite3-dev sqlite3 libfparser-dev libicu-dev
          googletest libgtest-dev libbenchmark-dev time clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev zip faketime ccache)

# One dpkg-query for all: a package it does not know is missing too.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
            awk '$NF == "installed" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done

# apt-get source needs a deb-src entry for the archive the binaries came from.
has_deb_src() {
  grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}

if [ ${#missing[@]} -eq 0 ] && has_deb_src; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if ! has_deb_src; then
  echo "setup: adding deb-src entries for the Debian archive"
  # The same archives, suites and components as the binary entries: the
  # one-line format of sources.list and the deb822 format of *.sources.
  src_list=$(mktemp)
  if [ -f /etc/apt/sources.list ]; then
    sed -nE 's/^[[:space:]]*deb[[:space:]]+(.*debian.*)$/deb-src \1/p' /etc/apt/sources.list >>"$src_list"
  fi
  if [ -s "$src_list" ]; then
    $SUDO cp "$src_list" /etc/apt/sources.list.d/vantor-deb-src.list
    $SUDO chmod 644 /etc/apt/sources.list.d/vantor-deb-src.list
  fi
  : >"$src_list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)URIs:[^\n]*debian/ && /(^|\n)Types:[^\n]*deb/ {
           sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$src_list"
  done
  if [ -s "$src_list" ]; then
    $SUDO cp "$src_list" /etc/apt/sources.list.d/vantor-deb-src.sources
    $SUDO chmod 644 /etc/apt/sources.list.d/vantor-deb-src.sources
  fi
  rm -f "$src_list"
  has_deb_src || { echo "setup: found no Debian archive entry to add deb-src for" >&2; exit 1; }
fi

$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
