#!/usr/bin/env bash
# Installs every system package that building and testing websetup needs (Debian 12, as root).
# Safe to run again: apt skips what is installed, and the Windows Crypto++ build is cached.
#   --native   only what the Linux build and its tests need (no Windows toolchain or wine)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
native=0
[ "${1:-}" = --native ] && native=1

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  googletest libgtest-dev libgmock-dev
  libcrypto++-dev openssl curl libcurl4-openssl-dev
  python3 nginx squid
  libgtk-3-dev fonts-dejavu-core
)
if [ $native = 0 ]; then
  # Xvfb, xdotool, xwd (x11-apps) and xprop (x11-utils) for the window and screenshot tests;
  # osslsigncode for scripts/sign-setup.sh (Authenticode) and its test; locales for the runs
  # under wine in German and Japanese (wine takes the user's language from the system's locale).
  packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb xdotool x11-apps x11-utils dpkg-dev clang
             libclang-rt-14-dev osslsigncode locales)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ $native = 0 ]; then
  for locale in de_DE ja_JP; do
    locale -a | grep -qx "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
  done
fi

if [ $native = 0 ] && [ -x "$here/cryptopp-mingw.sh" ]; then
  "$here/cryptopp-mingw.sh"
fi
