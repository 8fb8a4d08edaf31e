#!/usr/bin/env bash
# Builds GoogleTest for mingw-w64 from the sources Debian's googletest
# package ships (/usr/src/googletest) and installs it under PREFIX, so the
# Windows build finds it with -DGTest_DIR=PREFIX/lib/cmake/GTest. Does
# nothing when PREFIX already has it.
#   scripts/build-gtest-mingw.sh PREFIX
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$(realpath -m "${1:?usage: build-gtest-mingw.sh PREFIX}")
if [ -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S /usr/src/googletest -B "$work" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build "$work"
cmake --install "$work" >/dev/null
