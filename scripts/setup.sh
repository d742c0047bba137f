#!/usr/bin/env bash
# Installs the Debian packages vantor needs to build, test, fuzz and benchmark.
# A quick no-op when everything is already there; apt-get update runs only
# when something must actually be installed.
set -euo pipefail

packages=(g++ cmake make libsqlite3-dev sqlite3 libfparser-dev libicu-dev
          googletest libgtest-dev libbenchmark-dev time clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
