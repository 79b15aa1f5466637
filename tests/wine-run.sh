#!/bin/bash
# Runs a Windows program under Wine in the scratch prefix of the test run
# (never the developer's own ~/.wine), with Wine's debug noise off.
#
# Under load, Wine rarely fails to start a program at all: it ends at once
# with a failure code and without a line of output. Every program run
# through here writes something first (a test program names its filter), so
# such an end is reported and the program started once more.
: "${WENDREL_WINEPREFIX:?set by run-tests.sh, or source scripts/wine-session.sh and call wendrel_session_start}"
export WINEPREFIX="$WENDREL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
code=0
for attempt in 1 2; do
  wine "$@" >"$out"
  code=$?
  cat "$out"
  if [ "$code" = 0 ] || [ -s "$out" ]; then
    exit "$code"
  fi
  echo "wine-run.sh: $1 ended with exit code $code before writing anything (start $attempt)" >&2
done
exit "$code"
