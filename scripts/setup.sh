#!/bin/bash
# Brings a Debian 12 machine to build and run the project: installs what is
# missing, configures the cross build and builds everything.
# Usage: scripts/setup.sh [build-dir]   (default: build/ in the repository)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build}

PACKAGES=(
  cmake make python3 clang-format
  mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
  wine wine64 xvfb xdotool imagemagick liblnk-utils python3-pyftpdlib
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

echo "== building in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
