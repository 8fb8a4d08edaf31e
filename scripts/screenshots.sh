#!/usr/bin/env bash
# Renders every window of the program headless against a simulated modem
# into docs/screenshots/, for the README; then the Windows windows under Wine
# (FL_SKIP_WINDOWS=1 leaves them out).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
# The renderer is one of the tests' programs.
cmake -S . -B build -G Ninja -DBUILD_TESTING=ON -DFL_WIZARD=ON >/dev/null
cmake --build build --target flashloader-screenshots modemsim
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen build/bin/flashloader-screenshots docs/screenshots

# The Windows windows: flashloader.exe under Wine on an X desktop of its own.
if [ "${FL_SKIP_WINDOWS:-0}" != 1 ]; then
  scripts/build-windows.sh
  export WINEPREFIX="$PWD/build-windows/wine" WINEDEBUG=-all
  scripts/wine-up.sh build-windows/wineserver.log
  status=0
  build/bin/wine-screenshots "$PWD/build-windows/bin" docs/screenshots || status=$?
  wineserver -k || true
  exit $status
fi
