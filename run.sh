#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the main job against a simulated
# modem: with a display the wizard opens on it; without one the command-line
# front end finds the modem, checks the image and flashes it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run
# No tests here (test.sh builds them in the same build directory, with its
# own options): neither GoogleTest nor the test programs are needed to run.
cmake -S . -B build -G Ninja -DBUILD_TESTING=OFF -DFL_WIZARD=ON >/dev/null
cmake --build build

bin=$(pwd)/build/bin
demo=$(pwd)/build/demo
mkdir -p "$demo/ports"
[ -f "$demo/tarnix.ini" ] || cp resources/tarnix.ini "$demo/"
cp resources/demo/MODEM.HEX resources/demo/FLASHLDR.HEX "$demo/"
export FLASHLOADER_PORTS="$demo/ports"

# The simulated modem, registered as COM1 in the demonstration's own port
# directory; it writes what it was flashed with to flashed.hex.
rm -f "$demo/flashed.hex"
"$bin/modemsim" --port COM1 --replace --pace 115200 --flash-out "$demo/flashed.hex" >"$demo/modemsim.out" 2>"$demo/modemsim.log" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$demo/modemsim.out" ] && break; sleep 0.1; done
echo "Simulated modem on $(head -n1 "$demo/modemsim.out"), registered as COM1"

cd "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the wizard in $demo"
  "$bin/flashloader" "$@"
  exit 0
fi

echo
echo "--- flashloader-cli probe --port COM1"
"$bin/flashloader-cli" probe --port COM1
echo
echo "--- flashloader-cli info --port COM1 --baud 115200 --file MODEM.HEX"
"$bin/flashloader-cli" info --port COM1 --baud 115200 --file MODEM.HEX
echo
echo "--- flashloader-cli flash --port COM1 --baud 115200 --file MODEM.HEX"
"$bin/flashloader-cli" flash --port COM1 --baud 115200 --file MODEM.HEX
kill $sim 2>/dev/null; wait $sim 2>/dev/null || true
trap - EXIT
echo
echo "What the simulated modem was flashed with: $demo/flashed.hex"
