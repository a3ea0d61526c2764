#!/bin/sh
# The demo product's final setup. Setup starts it inside the setup temp folder, beside the
# downloaded files and the User Info File, and waits for it. A real one would install; this
# one prints what it received and what it would do, and leaves the folder as it found it.
set -eu
info=UserInfo.txt

# The value of a section of the User Info File: the line after its "[Header]".
value() { awk -v header="[$1]" 'found { print; exit } $0 == header { found = 1 }' "$info"; }

app=$(value 'Application Name')
echo
echo "== Final setup of $app, started in $(pwd)"
echo "-- The User Info File it received ($info):"
sed 's/^/   | /' "$info"
echo "-- What it would install into /opt/WebSetup $app:"
for file in *; do
  case $file in "$info" | SetupInitial.eif | final-setup.sh) continue ;; esac
  echo "   $file ($(wc -c <"$file") bytes)"
done
echo "-- and a Start-menu entry in $(value 'Start Menu Folder')"
echo "-- Downloaded from $(value 'Download Site') on $(value 'Installed on GM Time') UTC."
echo "== Nothing was installed: this is the demo."
