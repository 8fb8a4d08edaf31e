#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through ctest: once in
# the normal build and once in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan). Exits non-zero when anything fails.
#   FL_SKIP_SANITIZERS=1 ./test.sh   runs the normal build only.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja >/dev/null
cmake --build build
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

if [ "${FL_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-asan -G Ninja -DFL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build-asan
  (cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
fi
