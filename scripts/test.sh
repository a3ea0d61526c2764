#!/usr/bin/env bash
# Installs what is needed, builds every preset and runs every test: Linux, Linux with
# sanitizers, Windows x86_64 under wine64; Windows i686 is built only (it cannot run here).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

for preset in linux linux-asan win64 win32; do
  echo "== $preset"
  # Every language compiled in: the catalogues are checked and the language runs tested.
  cmake --preset "$preset" -DWEBSETUP_WERROR=ON -DWEBSETUP_LANGUAGES=all >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# Each fuzz target for a short run from its seed corpus (copied, so the tree stays as it is).
echo "== fuzz"
cmake --preset fuzz -DWEBSETUP_WERROR=ON >/dev/null
cmake --build --preset fuzz
for target in build/fuzz/bin/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  cp fuzz/corpus/"$name"/* "$work"/
  "$target" -max_total_time=30 -print_final_stats=1 "$work"
  rm -rf "$work"
done

# Every Windows program, so that the libraries Setup.exe links keep to the System32 rule too.
scripts/check-windows-imports.sh build/win64/bin/*.exe build/win32/bin/*.exe
# Where Setup.exe's bytes go, per library; the 32-bit one, which most users get, within 800 KB.
bench/size_report --totals build/win64 build/win32
setup_bytes=$(stat -c %s build/win32/bin/Setup.exe)
if [ "$setup_bytes" -gt 819200 ]; then
  echo "build/win32/bin/Setup.exe is $setup_bytes bytes, more than 800 KB (819,200)" >&2
  exit 1
fi
# The Windows programs built twice from fresh clones of HEAD, in other folders and minutes apart,
# with Crypto++ from source each time: they must be identical byte for byte.
scripts/check-reproducible.sh
