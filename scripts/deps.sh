#!/usr/bin/env bash
# Installs every system package that building and testing websetup needs (Debian 12, as root).
# Safe to run again: apt skips what is installed, and the Windows Crypto++ build is cached.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  googletest libgtest-dev libgmock-dev
  libcrypto++-dev openssl curl libcurl4-openssl-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64
  dpkg-dev
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ -x "$here/cryptopp-mingw.sh" ]; then
  "$here/cryptopp-mingw.sh"
fi
