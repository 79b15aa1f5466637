#!/bin/bash
# Runs a Windows program under Wine in the scratch prefix of the test run
# (never the developer's own ~/.wine), with Wine's debug noise off.
#
# Under load, Wine rarely fails to start a program at all: it ends at once
# with a failure code and without a line of output. Every program run
# through here writes something first (a test program names its filter), so
# such an end is reported and the program started once more.
#
# Under heavy load Wine has also kept a test program's process alive for
# minutes after the program wrote its whole result and returned from main.
# Once GoogleTest's closing summary is out, the program gets a minute to
# end; then it is stopped, that is reported, and the summary's result counts.
: "${WENDREL_WINEPREFIX:?set by run-tests.sh, or source scripts/wine-session.sh and call wendrel_session_start}"
export WINEPREFIX="$WENDREL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
out=$(mktemp)
stopped=$(mktemp -u)
trap 'rm -f "$out" "$stopped"' EXIT
grace=${WENDREL_EXIT_GRACE:-60}

# Stops the program when it outlives its summary by the grace time.
watch_summary() { # pid
  until grep -qE '^\[==========\] .* ran\.' "$out" 2>/dev/null; do
    kill -0 "$1" 2>/dev/null || return
    sleep 1
  done
  local waited=0
  while kill -0 "$1" 2>/dev/null; do
    if [ "$waited" -ge "$grace" ]; then
      touch "$stopped"
      kill -9 "$1" 2>/dev/null
      return
    fi
    sleep 1
    waited=$((waited + 1))
  done
}

exec 3<&0
code=0
for attempt in 1 2; do
  wine "$@" <&3 >"$out" &
  pid=$!
  watch_summary "$pid" &
  watcher=$!
  wait "$pid" 2>/dev/null
  code=$?
  kill "$watcher" 2>/dev/null
  wait "$watcher" 2>/dev/null
  cat "$out"
  if [ -e "$stopped" ]; then
    echo "wine-run.sh: $1 wrote its summary but had not ended $grace s later; it was stopped" >&2
    grep -qE '^\[  PASSED  \]' "$out" && ! grep -qE '^\[  FAILED  \]' "$out" && exit 0
    exit 1
  fi
  if [ "$code" = 0 ] || [ -s "$out" ]; then
    exit "$code"
  fi
  echo "wine-run.sh: $1 ended with exit code $code before writing anything (start $attempt)" >&2
done
exit "$code"
