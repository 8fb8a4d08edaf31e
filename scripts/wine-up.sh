#!/usr/bin/env bash
# Makes the Wine prefix $WINEPREFIX if needed and starts its server, kept up
# (-p) until `wineserver -k`, with its output in the log given (default
# build-windows/wineserver.log). A server started by a program under a
# test would inherit the test's output and keep ctest waiting: so it comes
# first, from here. wineboot then fills the prefix; its status is not looked
# at: without the 32-bit Wine, which these 64-bit programs do not need, it
# fails on a 32-bit helper after the prefix is made. Whether the prefix is
# there is what counts.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
log=${1:-build-windows/wineserver.log}
mkdir -p "$WINEPREFIX" "$(dirname "$log")"
wineserver -p </dev/null >"$log" 2>&1
wineboot -i </dev/null >>"$log" 2>&1 || true
if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
  echo "Wine could not make its prefix $WINEPREFIX; see $log" >&2
  exit 1
fi
