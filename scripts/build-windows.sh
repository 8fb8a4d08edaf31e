#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests into build-windows with
# mingw-w64 (GoogleTest for mingw into build-windows-gtest first), and the
# Linux programs that drive them under Wine into build. Run from anywhere;
# expects scripts/install-deps.sh to have run. Arguments go to the Windows
# build's configuration (test.sh gives -DFL_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build-gtest-mingw.sh build-windows-gtest
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DGTest_DIR="$PWD/build-windows-gtest/lib/cmake/GTest" -DFL_LINUX_BUILD="$PWD/build" "$@" >/dev/null
cmake --build build-windows
# The Linux side of the Windows tests: the simulated modem and the drivers
# that run flashloader-cli.exe and flashloader.exe.
# The drivers are tests: a build that run.sh configured without them gets
# them back.
if [ ! -f build/build.ninja ] || ! grep -qx 'BUILD_TESTING:BOOL=ON' build/CMakeCache.txt; then
  cmake -S . -B build -G Ninja -DBUILD_TESTING=ON >/dev/null
fi
cmake --build build --target modemsim test_wine_cli test_wine_wizard test_wine_installer wine-screenshots
