#!/bin/sh
# Runs a Windows program under Wine in the scratch prefix of the test run
# (never the developer's own ~/.wine), with Wine's debug noise off.
: "${WENDREL_WINEPREFIX:?set by run-tests.sh, or source scripts/wine-session.sh and call wendrel_session_start}"
export WINEPREFIX="$WENDREL_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
