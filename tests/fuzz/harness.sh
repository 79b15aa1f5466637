#!/bin/bash
# The fuzz loop against a reader that crashes, hangs, raises foreign
# exceptions, asks for huge memory and writes outside on some inputs: every
# kind is counted, its case written and replayed, and the loop reaches its
# count across the restarts.
set -uo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
win_out=$(winepath -w "$out" 2>/dev/null)
fail() { echo "FAIL: $*"; echo "$log"; exit 1; }

log=$("$here/../wine-run.sh" "$program" --count 400 --hang-seconds 3 --out "$win_out")
code=$?
echo "$log" | tail -5
[ "$code" = 1 ] || fail "exit code $code, not 1"
echo "$log" | grep -q "^selftest: 400 cases" || fail "the loop did not reach its count"
summary=$(echo "$log" | grep " crash / ")
for kind in crash hang outside "foreign exception" "huge memory"; do
  n=$(echo "$summary" | grep -o "[0-9]* $kind" | cut -d' ' -f1)
  [ "${n:-0}" -ge 1 ] || fail "no $kind counted"
  cases=$(grep -l "^outcome: $kind" "$out"/selftest/*.txt | wc -l)
  [ "$cases" = "$n" ] || fail "$n $kind counted, $cases written"
done
clean=$(echo "$log" | grep -o "[0-9]* clean failures" | cut -d' ' -f1)
[ "${clean:-0}" -ge 150 ] || fail "too few good cases: the loop stopped early"

# A written case replays alone, with the same end.
for kind in "foreign exception" outside "huge memory"; do
  txt=$(grep -l "^outcome: $kind" "$out"/selftest/*.txt | head -1)
  bin=$(winepath -w "${txt%.txt}.bin")
  replay=$("$here/../wine-run.sh" "$program" --replay "$bin")
  [ $? = 1 ] || fail "replay of $txt did not fail"
  echo "$replay" | grep -q "selftest: $kind:" || fail "replay of $txt: $replay"
  # The same case made again from its seed and iteration.
  iteration=$(sed -n 's/^iteration: //p' "$txt")
  again=$("$here/../wine-run.sh" "$program" --case "$iteration")
  echo "$again" | grep -q "selftest: $kind:" || fail "case $iteration again: $again"
done
echo "PASS"
