#!/bin/sh
# Runs a Windows program under Wine in the scratch prefix of the test run
# (never the developer's own ~/.wine), with Wine's debug noise off.
: "${WENDREL_WINEPREFIX:?set by run-tests.sh or tests/wine-env.sh}"
export WINEPREFIX="$WENDREL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
