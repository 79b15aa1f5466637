#!/bin/bash
# Sets up the machine, builds, and runs every test under Wine in a scratch
# prefix with its own virtual display. Extra arguments go to ctest
# (e.g. ./run-tests.sh -R Registry).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD=${WENDREL_BUILD:-$ROOT/build}
"$ROOT/scripts/setup.sh" "$BUILD"
source "$ROOT/scripts/wine-session.sh"
wendrel_session_start "$BUILD/test-session"
cd "$BUILD"
ctest --output-on-failure -j2 --timeout 600 "$@"
