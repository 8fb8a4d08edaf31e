#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the program in a demonstration
# directory (build/demo) that holds the settings file it needs.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

demo=build/demo
mkdir -p "$demo"
[ -f "$demo/tarnix.ini" ] || cp resources/tarnix.ini "$demo/"
bin=$(pwd)/build/bin

cd "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the wizard in $(pwd)"
  exec "$bin/flashloader" "$@"
fi

echo "No display: showing what the command-line front end reads in $(pwd)"
echo "--- flashloader-cli about"
"$bin/flashloader-cli" about
echo "--- flashloader-cli selection"
"$bin/flashloader-cli" selection
