#!/usr/bin/env bash
# A long fault-injection soak: complete flashing runs through the simulated
# modem with seeded faults; every reported success must have left exactly the
# image in the flash, every failure must give its reason.
#
#   scripts/soak.sh [RUNS] [FIRST_SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target flash-soak modemsim
exec build/bin/flash-soak --runs "${1:-500}" --seed "${2:-1}"
