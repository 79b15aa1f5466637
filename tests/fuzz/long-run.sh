#!/bin/bash
# The long fuzz run by hand: every family (or those named) with COUNT cases,
# two at a time, in a scratch Wine session of its own. Each prints its
# cases, clean failures, successes checked, every bad end (all must be 0)
# and its peak working set; failing cases go to build/fuzz-cases/<family>/
# with the command that replays each.
#
#   tests/fuzz/long-run.sh [COUNT] [FAMILY ...]      (default 100000, all)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${WENDREL_BUILD:-$ROOT/build}
count=${1:-100000}
shift || true
families=("$@")
if [ ${#families[@]} = 0 ]; then
  families=(archive disks setupexe filelist buildinf language project commandline registry)
fi
cmake --build "$BUILD" --target $(printf 'fuzz_%s ' "${families[@]}") -j2 >/dev/null || exit 2
source "$ROOT/scripts/wine-session.sh"
wendrel_session_start "$BUILD/fuzz-session" >/dev/null
export WINEPREFIX=$WENDREL_WINEPREFIX WINEDEBUG=-all
out=$(winepath -w "$BUILD/fuzz-cases")
mkdir -p "$BUILD/fuzz-cases"
status=0
run() {
  wine "$BUILD/tests/fuzz/fuzz_$1.exe" --count "$count" --out "$out" >"$BUILD/fuzz-cases/$1.log" 2>&1
}
for ((i = 0; i < ${#families[@]}; i += 2)); do
  pids=()
  for f in "${families[@]:i:2}"; do
    run "$f" & pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
  for f in "${families[@]:i:2}"; do grep -v "^  written to" "$BUILD/fuzz-cases/$f.log" | tail -4; done
done
exit $status
