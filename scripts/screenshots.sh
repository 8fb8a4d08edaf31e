#!/usr/bin/env bash
# Renders every window of the program headless against a simulated modem
# into docs/screenshots/, for the README.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target flashloader-screenshots modemsim
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen build/bin/flashloader-screenshots docs/screenshots
