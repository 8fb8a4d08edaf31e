#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through ctest: in the
# normal build, in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan), and in the Windows build (build-windows, cross-built with
# mingw-w64, its tests run under Wine). Exits non-zero when anything fails.
#   FL_SKIP_SANITIZERS=1 ./test.sh   leaves out the sanitizer build.
#   FL_SKIP_WINDOWS=1 ./test.sh      leaves out the Windows build.
# Every build treats a warning in the project's own code as an error.
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
part "Linux build and tests" linux_build build -DFL_WERROR=ON

if [ "${FL_SKIP_SANITIZERS:-0}" != 1 ]; then
  part "sanitizer build and tests" linux_build build-asan -DFL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DFL_WERROR=ON
fi

if [ "${FL_SKIP_WINDOWS:-0}" != 1 ]; then
  windows_build() {
    scripts/build-windows.sh -DFL_WERROR=ON
  }
  windows_tests() {
    # A prefix of the build's own, its server started before any test.
    export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
    scripts/wine-up.sh build-windows/wineserver.log
    local status=0
    (cd build-windows && ctest --output-on-failure -j "$jobs") || status=$?
    wineserver -k || true
    return $status
  }
  part "Windows build" windows_build
  part "Windows tests under Wine" windows_tests
fi
