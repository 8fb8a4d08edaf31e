#!/usr/bin/env bash
# Runs a command with simulated modems on Wine COM ports, then stops them.
#   with-modems.sh MODEMSIM 'COM5' 'COM6 --silent' ... -- COMMAND [ARGS...]
# Each port argument is a COM name and the simulator's options for it. The
# simulator links $WINEPREFIX/dosdevices/comN to its pseudo-terminal and
# removes the link when it ends.
set -euo pipefail
modemsim=$1
shift
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
  read -r -a spec <<<"$1"
  shift
  port=${spec[0]}
  link="${WINEPREFIX:-$HOME/.wine}/dosdevices/${port,,}"
  rm -f "$link"
  "$modemsim" --wine-port "$port" "${spec[@]:1}" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
  [ -L "$link" ] || { echo "with-modems: no simulated modem on $port" >&2; exit 1; }
done
shift
"$@"
