#!/bin/bash
# The setup program's command line, end to end under Wine: each case's exit
# code and the message of the standard exception display. The display's
# message box is answered with the Return key, as a user would.
# Usage: command_line.sh Teskor_Install.exe
set -u
EXE=$1
export WINEPREFIX=${WENDREL_WINEPREFIX:?} WINEDEBUG=-all
failures=0

source "$(dirname "$0")/../../scripts/wine-session.sh"
answer_boxes() { # until the program ends, press Return in its message boxes
  local pid=$1
  while kill -0 "$pid" 2>/dev/null; do
    wendrel_answer_boxes_once Teskor_Install
    wendrel_accept_wizard_once
    sleep 0.2
  done
}

check() { # expected-code expected-message args...
  local want_code=$1 want_msg=$2
  shift 2
  local out
  out=$(mktemp)
  timeout 60 wine "$EXE" "$@" >"$out" 2>&1 &
  local pid=$!
  answer_boxes "$pid" &
  local answerer=$!
  wait "$pid"
  local code=$?
  kill "$answerer" 2>/dev/null
  local msg
  msg=$(tr -d '\r' <"$out" | grep -v '^$' | tail -n 1)
  rm -f "$out"
  if [ "$code" != "$want_code" ] || [ "$msg" != "$want_msg" ]; then
    echo "FAIL: $* -> exit $code, \"$msg\" (wanted exit $want_code, \"$want_msg\")"
    failures=$((failures + 1))
  else
    echo "ok: ${*:-(no arguments)} -> exit $code${msg:+, \"$msg\"}"
  fi
}

invalid='Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to floppies), -e (Called by self-extractor), -r (After reboot)'
loader='The path of the loading program was not passed correctly. If you are running your install project in the IDE, then you need to add two command line parameters. In Run | Parameters | "Run Parameters", type in: -d "-sBUILDPATH" where BUILDPATH is the path into which you built the distributables. Example: -d "-sC:\My Build".'
# A failed run shows its message and ends the program with code 1.
check 1 "$loader"
check 1 "$loader" '*TODISK'
# A run from a folder without the archive fails when it reads the table
# and keeps its install record for the next run; the test removes it again.
had_records=0
wine reg query 'HKLM\Software\Wendrel' >/dev/null 2>&1 && had_records=1
check 1 'Cannot open the compressed file C:\Dist\files.1.' -d '-sC:\Dist'
if [ "$had_records" = 0 ]; then
  wine reg query 'HKLM\Software\Wendrel\Install' /s 2>/dev/null | tr -d '\r' | grep -q 'Teskor_Install.exe' ||
    { echo "FAIL: the failed run kept no install record"; failures=$((failures + 1)); }
  wine reg delete 'HKLM\Software\Wendrel' /f >/dev/null 2>&1
fi
# The modes chosen while the project loads end the program with code 1.
check 1 'Need to have a BUILD.INF file in this directory with the first line specifying the build directory' -b
check 1 'Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage example: setup.exe *TODISK.' -f
check 1 'The TInstall could not either write or read unfinished business from the registry.' -r
check 1 "Invalid parameter <-x>. $invalid" -x
check 1 "Invalid parameter <->. $invalid" -
check 1 "Invalid parameter <setup>. $invalid" '*TODISK' setup
check 1 'You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "-sC:\My Build"' -D
exit $((failures > 0))
