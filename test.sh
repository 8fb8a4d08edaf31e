#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through ctest: in the
# normal build, in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan), and in the Windows build (build-windows, cross-built with
# mingw-w64, its tests run under Wine). Exits non-zero when anything fails.
#   FL_SKIP_SANITIZERS=1 ./test.sh   leaves out the sanitizer build.
#   FL_SKIP_WINDOWS=1 ./test.sh      leaves out the Windows build.
set -euo pipefail
cd "$(dirname "$0")"

timings=()
part() { # part NAME COMMAND...: runs a part and notes how long it took
  local name=$1 start=$SECONDS
  shift
  "$@"
  timings+=("$(printf '%-32s %4d s' "$name" $((SECONDS - start)))")
}
report() {
  [ ${#timings[@]} -eq 0 ] && return
  echo "test.sh: time taken"
  printf '  %s\n' "${timings[@]}"
}
trap report EXIT

jobs=$(nproc)
linux_build() { # linux_build DIR CMAKE-OPTIONS...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
}

part "set-up" scripts/install-deps.sh
part "Linux build and tests" linux_build build

if [ "${FL_SKIP_SANITIZERS:-0}" != 1 ]; then
  part "sanitizer build and tests" linux_build build-asan -DFL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
fi

if [ "${FL_SKIP_WINDOWS:-0}" != 1 ]; then
  windows_build() {
    scripts/build-gtest-mingw.sh build-windows-gtest
    cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
      -DGTest_DIR="$PWD/build-windows-gtest/lib/cmake/GTest" -DFL_LINUX_BUILD="$PWD/build" >/dev/null
    cmake --build build-windows
    # The Linux side of the Windows tests: the simulated modem and the
    # drivers that run flashloader-cli.exe and flashloader.exe.
    cmake --build build --target modemsim test_wine_cli test_wine_wizard
  }
  windows_tests() {
    # A prefix of the build's own, and its server started here with its
    # output elsewhere: a server started by a test would keep ctest waiting.
    export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
    # The server comes first, kept up (-p) for the whole run, so that no
    # test starts one of its own. wineboot then fills the prefix; its status
    # is not looked at: without the 32-bit Wine, which these 64-bit programs
    # do not need, it fails on a 32-bit helper after the prefix is made.
    # Whether the prefix is there is what counts.
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >build-windows/wineserver.log 2>&1
    wineboot -i </dev/null >>build-windows/wineserver.log 2>&1 || true
    if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
      echo "test.sh: Wine could not make its prefix; see build-windows/wineserver.log" >&2
      return 1
    fi
    local status=0
    (cd build-windows && ctest --output-on-failure -j "$jobs") || status=$?
    wineserver -k || true
    return $status
  }
  part "Windows build" windows_build
  part "Windows tests under Wine" windows_tests
fi
