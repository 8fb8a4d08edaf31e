#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through ctest: in the
# normal build, in a build with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan), and in the Windows build (build-windows, cross-built with
# mingw-w64, its tests run under Wine); after the Linux tests it checks the
# Debian packages (scripts/check-packages.sh) and that the command line builds
# without Qt and GoogleTest (build-cli). Exits non-zero when anything fails.
#   FL_SKIP_SANITIZERS=1 ./test.sh   leaves out the sanitizer build.
#   FL_SKIP_WINDOWS=1 ./test.sh      leaves out the Windows build.
# Every build treats a warning in the project's own code as an error.
set -euo pipefail
cd "$(dirname "$0")"

timings=()
note() { # note NAME SECONDS
  timings+=("$(printf '%-44s %4d s' "$1" "$2")")
}
part() { # part NAME COMMAND...: runs a part and notes how long it took
  local name=$1 start=$SECONDS
  shift
  "$@"
  note "$name" $((SECONDS - start))
}

# The tests spend most of their time waiting for lines, timers and other
# programs, not computing: the next build runs beside them, at the lowest
# priority so that the tests get the processor the moment they want it. Two
# builds never run at once, and a build never runs in a build tree whose
# tests are running (some tests build targets of their own tree).
bg_pid="" bg_name="" bg_log="" bg_start=0
beside() { # beside NAME LOG COMMAND...: starts a build in the background
  bg_name=$1 bg_log=$2 bg_start=$SECONDS
  shift 2
  mkdir -p "$(dirname "$bg_log")"
  # A session of its own, so that stopping it stops its compilers too.
  setsid nice -n 19 bash -c '"$@"' beside "$@" >"$bg_log" 2>&1 &
  bg_pid=$!
}
await() { # await: waits for the background build; its output when it failed
  local status=0
  wait "$bg_pid" || status=$?
  bg_pid=""
  if [ $status -ne 0 ]; then
    cat "$bg_log"
    echo "test.sh: $bg_name failed (its output: $bg_log)" >&2
    exit $status
  fi
  note "$bg_name (beside the tests)" $((SECONDS - bg_start))
}

report() {
  if [ -n "$bg_pid" ]; then
    kill -- "-$bg_pid" 2>/dev/null || true
    wait "$bg_pid" 2>/dev/null || true
  fi
  [ ${#timings[@]} -eq 0 ] && return
  echo "test.sh: time taken"
  printf '  %s\n' "${timings[@]}"
  printf '  %-44s %4d s\n' "all" "$SECONDS"
}
trap report EXIT

jobs=$(nproc)
linux_configure_build() { # linux_configure_build DIR CMAKE-OPTIONS...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}
linux_tests() { # linux_tests DIR
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
}
export -f linux_configure_build
sanitizers=1 windows=1
[ "${FL_SKIP_SANITIZERS:-0}" = 1 ] && sanitizers=0
[ "${FL_SKIP_WINDOWS:-0}" = 1 ] && windows=0
windows_build() {
  scripts/build-windows.sh -DFL_WERROR=ON
}
export -f windows_build
windows_tests() {
  # A prefix of the build's own, its server started before any test.
  export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
  scripts/wine-up.sh build-windows/wineserver.log
  local status=0
  (cd build-windows && ctest --output-on-failure -j "$jobs") || status=$?
  wineserver -k || true
  return $status
}

part "set-up" scripts/install-deps.sh test
# The options are given, not left to the cache: run.sh builds in the same
# directory without the tests.
part "Linux build" linux_configure_build build -DFL_WERROR=ON -DBUILD_TESTING=ON -DFL_WIZARD=ON

# The Windows build also builds the Linux programs that drive it in build,
# so it waits until the Linux tests are over.
if [ $sanitizers = 1 ]; then
  beside "sanitizer build" build-asan/test.sh.log \
    linux_configure_build build-asan -DFL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DFL_WERROR=ON
fi
part "Linux tests" linux_tests build
# The Debian packages made from that build, unpacked and checked, and the
# wizard started from their menu entry on a fresh account.
part "package checks" scripts/check-packages.sh build
# A bench PC's build: the command line, the simulated modem and the
# benchmarks, with neither Qt nor GoogleTest (not even looked for). Debug
# compiles quickest; what is checked is what gets built and linked.
part "command-line-only build" linux_configure_build build-cli --no-warn-unused-cli -DFL_WERROR=ON \
  -DCMAKE_BUILD_TYPE=Debug -DFL_WIZARD=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
if [ $sanitizers = 1 ]; then
  await
  [ $windows = 1 ] && beside "Windows build" build-windows/test.sh.log windows_build
  part "sanitizer tests" linux_tests build-asan
  [ $windows = 1 ] && await
elif [ $windows = 1 ]; then
  part "Windows build" windows_build
fi

if [ $windows = 1 ]; then
  part "Windows tests under Wine" windows_tests
fi
