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
echo "== running $(basename "$SETUP") under Wine (no arguments: a normal installation)"
wine "$SETUP" >"$OUT/setup.out" 2>&1 &
pid=$!
# Catch its window while it is up.
for _ in $(seq 50); do
  win=$(xdotool search --name '^Install Quorvane$' 2>/dev/null | head -n 1) || true
  if [ -n "${win:-}" ]; then
    import -window root "$OUT/screen.png" 2>/dev/null &&
      echo "   its window \"Install Quorvane\" came up; screenshot: $OUT/screen.png"
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
code=0
wait "$pid" || code=$?
echo "   it ended with exit code $code"
[ -s "$OUT/setup.out" ] && { echo "   its messages:"; sed 's/^/     /' "$OUT/setup.out"; }

echo "== the install tree of the Quorvane project as the engine resolves it in this prefix"
wine "$BUILD/project/Teskor_Tree.exe" 2>&1 | tr -d '\r' | sed 's/^/   /'
exit "$code"
