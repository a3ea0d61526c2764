#!/usr/bin/env bash
# The committed splash.bmp and setup.ico are exactly what res/make_artwork.py draws, so the
# script stays the one source of the artwork and a change to either shows up here.
set -euo pipefail
python=$1
res=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" "$res/make_artwork.py" --out "$work"
status=0
for file in splash.bmp setup.ico; do
  cmp "$res/$file" "$work/$file" || { echo "FAIL: $file differs from what make_artwork.py draws" >&2; status=1; }
done
exit $status
