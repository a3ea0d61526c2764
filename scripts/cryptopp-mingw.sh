#!/usr/bin/env bash
# Builds Crypto++ as a static library for mingw-w64 (x86_64 and i686) from Debian's source
# package, into a cache folder outside the clone. Safe to run again: built arches are skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${WEBSETUP_CACHE:-${HOME:-/root}/.cache/websetup}
arches=(x86_64 i686)
mkdir -p "$cache"
# The build is named by this script and the dll.cpp it builds in (cmake/cryptopp.cmake names it
# the same way), so a change to either makes a new build instead of reusing a stale one.
flavour=$(cat "$here/cryptopp-mingw.sh" "$here/cryptopp/dll.cpp" | sha256sum | cut -c1-12)
prefix_of() { echo "$cache/cryptopp-$flavour-$1"; }

is_built() { [ -f "$(prefix_of "$1")/lib/libcryptopp.a" ] && [ -f "$(prefix_of "$1")/include/cryptopp/osrng.h" ]; }

todo=()
for arch in "${arches[@]}"; do is_built "$arch" || todo+=("$arch"); done
if [ ${#todo[@]} -eq 0 ]; then
  echo "Crypto++ for mingw-w64 is cached in $cache"
  exit 0
fi

# One build at a time per cache folder: two clones (or two engineers) may run this at once.
exec 9>"$cache/cryptopp.lock"
flock 9

# The machine's apt lists only binary packages. A deb-src twin of its own Debian source list
# (same URIs, suites and keyring) makes `apt-get source` work.
ensure_deb_src() {
  if apt-get source --print-uris libcrypto++ >/dev/null 2>&1; then return; fi
  local list=/etc/apt/sources.list.d/debian.sources
  local twin=/etc/apt/sources.list.d/websetup-deb-src.sources
  [ -f "$list" ] || { echo "no $list to derive a deb-src entry from" >&2; exit 1; }
  sed -e 's/^Types:.*/Types: deb-src/' "$list" >"$twin"
  apt-get update -qq
}

fetch_source() {
  local src=$cache/src
  if ! compgen -G "$src/libcrypto++-*/GNUmakefile-cross" >/dev/null; then
    ensure_deb_src
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -qq libcrypto++ >/dev/null)
  fi
  compgen -G "$src/libcrypto++-*/GNUmakefile-cross" | head -n1 | xargs dirname
}

# Windows 7 API level, as the program itself: Crypto++ then seeds its random pool through the
# classic CryptoAPI in advapi32 instead of bcrypt.dll, which is not a KnownDLL and could be
# planted beside Setup.exe. Optimised for size: Setup decrypts a few kilobytes and hashes at
# network speed, and every byte of the library is a byte of the download. Our dll.cpp replaces
# the library's own, which would instantiate every algorithm of its validated module.
build_arch() {
  local arch=$1 source=$2
  local work=$cache/build-cryptopp-$arch prefix
  prefix=$(prefix_of "$arch")
  rm -rf "$work" "$prefix"
  cp -a "$source" "$work"
  cp "$here/cryptopp/dll.cpp" "$work/dll.cpp"
  # These two include <iostream> for stream operators alone; its static initialiser would pull
  # the standard streams and every locale facet (about 80 KB) into Setup.exe.
  sed -i 's|#include <iostream>|#include <istream>\n#include <ostream>|' "$work/integer.cpp" "$work/asn.cpp"
  local flags="-DNDEBUG -Os -ffunction-sections -fdata-sections -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 -DUSE_MS_CRYPTOAPI"
  # The same library from any cache folder, at any time (Setup.exe is checked byte for byte
  # against a rebuild): the build folder never named in the objects (debug information, an
  # assertion's __FILE__), and archive members without dates, owners or modes, which the
  # makefile's default "ar cr" would record where binutils' ar does not default to D.
  flags+=" -ffile-prefix-map=$work=."
  (cd "$work" && make -f GNUmakefile-cross -j"${WEBSETUP_JOBS:-1}" static \
    CXX="$arch-w64-mingw32-g++-posix" AR="$arch-w64-mingw32-ar" ARFLAGS=crD \
    RANLIB="$arch-w64-mingw32-ranlib -D" CXXFLAGS="$flags" >"$work.log" 2>&1 &&
    make -f GNUmakefile-cross install-lib PREFIX="$prefix" \
      CXX="$arch-w64-mingw32-g++-posix" >>"$work.log" 2>&1) ||
    { echo "Crypto++ build for $arch failed; see $work.log" >&2; tail -n 20 "$work.log" >&2; return 1; }
  rm -rf "$work"
  echo "Crypto++ for $arch-w64-mingw32 built into $prefix"
}

source_dir=$(fetch_source)
pids=()
for arch in "${todo[@]}"; do
  is_built "$arch" && continue
  build_arch "$arch" "$source_dir" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
