#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# when everything is present it changes nothing and needs no network.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
  libudev-dev
  libcli11-dev nlohmann-json3-dev nettle-dev
  libgtest-dev
  libxcb1-dev
  xvfb xdotool openbox x11-utils x11-apps
  g++-mingw-w64-x86-64-posix wine64 wine
  librsvg2-bin netpbm icoutils zip nsis
)
# Callers may need more (the fuzzing script needs clang): named as arguments.
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
