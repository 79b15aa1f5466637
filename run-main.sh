#!/bin/bash
# The main job: sets up the machine, builds the setup program of Quorvane and
# starts it under Wine in a fresh scratch prefix with a virtual display,
# showing what it did (output in build/main-job/).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD=${WENDREL_BUILD:-$ROOT/build}
OUT=$BUILD/main-job
"$ROOT/scripts/setup.sh" "$BUILD"
source "$ROOT/scripts/wine-session.sh"
wendrel_session_start "$BUILD/main-session"
mkdir -p "$OUT"

SETUP=$BUILD/project/Teskor_Install.exe
echo "== starting $(basename "$SETUP") under Wine"
wine "$SETUP" >"$OUT/setup.out" 2>&1 &
pid=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --name "^Install Quorvane$" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  sleep 0.2
done
if [ -z "$win" ]; then
  echo "the setup program showed no window; its output:"; cat "$OUT/setup.out"; exit 1
fi
sleep 1
import -window root "$OUT/screen.png"
echo "== its window \"Install Quorvane\" is up; screenshot: $OUT/screen.png"
echo "   geometry: $(xdotool getwindowgeometry "$win" | tr '\n' ' ')"
wineserver -k
wait "$pid" 2>/dev/null || true
