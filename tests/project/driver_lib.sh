# Sourced by the end-to-end drivers of the setup program: a scratch prefix
# with its own display and server (the session of the test run, if any, is
# left alone), removed when the driver ends, and the checks they print as
# "ok: ..." or "FAIL: ..." lines, counted in $failures.
# Usage: source driver_lib.sh TAG   (sets SCRATCH, OUT, WINEPREFIX, DISPLAY and
# the names below)

failures=0
SCRATCH=$(mktemp -d "/tmp/wdrl-$1.XXXXXX")
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-session.sh"
wendrel_session_start "$SCRATCH/session" >/dev/null || { rm -rf "$SCRATCH"; exit 1; }
wendrel_driver_cleanup() {
  wendrel_session_stop
  rm -rf "$SCRATCH"
}
trap wendrel_driver_cleanup EXIT
OUT=$SCRATCH/out
mkdir -p "$OUT"

# The distribution (made by the driver in the scratch folder) and where the
# setup puts Quorvane.
DIST_UNIX=$SCRATCH/dist
DIST='Z:'$(echo "$DIST_UNIX" | tr / '\\')
DEST_WIN='C:\Program Files\Pellunar\Ombo\Teskor'
DEST=$WINEPREFIX/drive_c/Program\ Files/Pellunar/Ombo/Teskor
SESSION_MANAGER='HKLM\System\CurrentControlSet\Control\Session Manager'

ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect() { # description command...: ok when the command succeeds
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
query() { timeout 120 wine reg query "$@" 2>/dev/null | tr -d '\r' | grep -v '^$'; }
has_key() { timeout 120 wine reg query "$1" >/dev/null 2>&1; }
delete_key() { timeout 120 wine reg delete "$1" /f >/dev/null 2>&1 || true; }
