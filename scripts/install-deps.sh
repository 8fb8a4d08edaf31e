#!/usr/bin/env bash
# Installs the Debian packages that a group of uses needs. Safe to run again:
# when everything is present it changes nothing and needs no network.
#   scripts/install-deps.sh cli    building and running the command line and
#                                  the simulated modem (a bench PC: no Qt)
#   scripts/install-deps.sh run    that and the Qt wizard (run.sh)
#   scripts/install-deps.sh test   everything the tests need (test.sh): the
#                                  above, GoogleTest, an X server, the Windows
#                                  cross-build and Wine, the packaging tools
# Without a group: test. Callers may need more (the fuzzing script needs
# clang): named as further arguments.
set -euo pipefail

CLI=(
  build-essential cmake ninja-build pkg-config
  libudev-dev
  libcli11-dev nlohmann-json3-dev nettle-dev
)
RUN=(
  "${CLI[@]}"
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
  libxcb1-dev
)
TEST=(
  "${RUN[@]}"
  libgtest-dev
  xvfb xdotool openbox x11-utils x11-apps
  g++-mingw-w64-x86-64-posix wine64 wine
  librsvg2-bin netpbm icoutils zip nsis
  dpkg-dev fakeroot file lintian help2man desktop-file-utils appstream
)

group="test"
case "${1:-}" in
  cli | run | test)
    group=$1
    shift
    ;;
esac
case $group in
  cli) PACKAGES=("${CLI[@]}") ;;
  run) PACKAGES=("${RUN[@]}") ;;
  test) PACKAGES=("${TEST[@]}") ;;
esac
PACKAGES+=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "install-deps: missing packages (${missing[*]}) and no sudo; run as root" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
