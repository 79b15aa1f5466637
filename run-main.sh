#!/bin/bash
# The main job: sets up the machine, builds the setup program of Quorvane and
# runs it under Wine in a fresh scratch prefix with a virtual display, showing
# what it did (output kept in build/main-job/).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD=${WENDREL_BUILD:-$ROOT/build}
OUT=$BUILD/main-job
"$ROOT/scripts/setup.sh" "$BUILD"
source "$ROOT/scripts/wine-session.sh"
wendrel_session_start "$BUILD/main-session"
rm -rf "$OUT" && mkdir -p "$OUT"

SETUP=$BUILD/project/Teskor_Install.exe
DIST='Z:'$(echo "$BUILD/distribution" | tr / '\\')

# Runs the setup program with the given arguments, keeps a screenshot of
# the screen when its first message box is up, answers its message boxes
# with Return as a user would, and prints its exit code and messages.
run_setup() { # tag description args...
  local tag=$1 what=$2
  shift 2
  echo "== $(basename "$SETUP") ${*:-(no arguments)}: $what"
  wine "$SETUP" "$@" >"$OUT/$tag.out" 2>&1 &
  local pid=$!
  local shot=""
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$shot" ] && [ -n "$(xdotool search --name '^(Install Quorvane|Teskor_Install)$' 2>/dev/null)" ]; then
      sleep 0.3 # let the window draw itself
      import -window root "$OUT/$tag.png" 2>/dev/null && shot=$OUT/$tag.png
    fi
    wendrel_answer_boxes_once Teskor_Install
    sleep 0.2
  done
  local code=0
  wait "$pid" || code=$?
  echo "   it ended with exit code $code${shot:+; screenshot: $shot}"
  if [ -s "$OUT/$tag.out" ]; then
    echo "   its messages:"
    tr -d '\r' <"$OUT/$tag.out" | grep -v '^$' | sed 's/^/     /'
  fi
  return "$code"
}

code=0
run_setup normal "a normal installation, started by hand instead of by the loading program" || code=$?
run_setup run "the installation run from the distribution folder" -d "-s$DIST" || true
run_setup build "build mode" -b || true

echo "== the install tree of the Quorvane project as the engine resolves it in this prefix"
wine "$BUILD/project/Teskor_Tree.exe" 2>&1 | tr -d '\r' | sed 's/^/   /'
exit "$code"
