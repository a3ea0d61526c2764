#!/usr/bin/env bash
# Installs what is needed, builds every preset and runs every test: Linux, Linux with
# sanitizers, Windows x86_64 under wine64; Windows i686 is built only (it cannot run here).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

for preset in linux linux-asan win64 win32; do
  echo "== $preset"
  cmake --preset "$preset" -DWEBSETUP_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# Every Windows program, so that the libraries Setup.exe links keep to the System32 rule too.
scripts/check-windows-imports.sh build/win64/bin/*.exe build/win32/bin/*.exe
ls -l build/win64/bin/Setup.exe build/win32/bin/Setup.exe
