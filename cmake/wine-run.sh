#!/usr/bin/env bash
# Runs one Windows program under wine64 with a private, quiet wine prefix. The prefix is made
# once (under a lock, since ctest may start several programs at a time).
set -euo pipefail
export WINEDEBUG=${WEBSETUP_WINEDEBUG:--all}  # the end-to-end tests read message texts from +win
export WINEPREFIX=${WEBSETUP_WINEPREFIX:-${HOME:-/root}/.cache/websetup/wineprefix}
# No .NET or HTML engine installers: they would ask for downloads on the first start.
export WINEDLLOVERRIDES="mscoree,mshtml="
# --prefix names the prefix, so that a test can map its drive letters without asking wine.
[ "${1:-}" = --prefix ] && { echo "$WINEPREFIX"; exit 0; }
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w 2>/dev/null || wineserver -w 2>/dev/null || true
  fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
