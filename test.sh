#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through ctest.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
