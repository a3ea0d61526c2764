#!/usr/bin/env bash
# The demo: a whole setup of the small product in demo/ against a local server.
# Installs what the Linux build needs, builds Setup and eiftool (linux preset), packs the
# product's description with the development key, serves it and the product's files from a
# private nginx on loopback, and runs Setup as Setup_Demo_. The demo's final setup prints the
# User Info File it received and what it would install. Afterwards nothing is left but the
# build: the server is stopped and its scratch folder removed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh --native
cmake --preset linux -DWEBSETUP_LANGUAGES=all >/dev/null
cmake --build --preset linux --target Setup eiftool

cache=build/linux/CMakeCache.txt
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
primary=$(setting WEBSETUP_PRIMARY_HOST)
signature=$(setting WEBSETUP_EIF_SIGNATURE)
key=$(setting WEBSETUP_DESCRIPTION_KEY_FILE)
if [ -z "$primary" ] || [ "$key" != "$root/keys/development-only.private.hex" ]; then
  echo "demo: needs build/linux configured with the development key and a primary host" >&2
  exit 1
fi
site=files.demo.websetup.test # the one "Download Sites" entry of demo/SetupInitial.txt

scratch=$(mktemp -d /tmp/websetup-demo.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/primary/downloads/Setups/Demo" "$scratch/files/demo" "$scratch/program" "$scratch/tmp"
build/linux/bin/eiftool pack --public-key keys/development-only.public.pem --signature "$signature" \
  demo/SetupInitial.txt "$scratch/primary/downloads/Setups/Demo/SetupInitial.eif" >/dev/null
cp demo/product/ReadMe.txt demo/product/demo-app.sh demo/final-setup.sh "$scratch/files/demo/"
cp build/linux/bin/Setup "$scratch/program/Setup_Demo_"

echo "== Serving $primary and $site from a private nginx; running Setup_Demo_"
# Setup's hosts are reached through the proxy only, so nothing leaves the machine; its
# temporary folder and the Start-menu folder it may create lie in the scratch folder.
python3 tests/support/webhost.py --scratch "$scratch/nginx" \
  --site "$primary=$scratch/primary" --site "$site=$scratch/files" -- \
  env TMPDIR="$scratch/tmp" XDG_DATA_HOME="$scratch/data" "$scratch/program/Setup_Demo_"
left=$(find "$scratch/tmp" -mindepth 2 | wc -l)
echo "== Setup has ended; it left $left file(s) in its temporary folder. Server stopped."
