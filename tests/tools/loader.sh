#!/bin/bash
# setup.exe (WendrelLoadProgram.exe) end to end under Wine, in a scratch
# prefix of its own. Distributions are made here: setup.1 and files.1 by the
# archive engine (loader_test_pack), a self-extracting setup.exe by plain
# concatenation (loader + setup.1 [+ files.1] + the 56-byte record, written
# by Python), and the setup program is a stand-in (loader_test_setup) that
# reports its arguments and the files beside it. Everything is read from
# outside: exit codes, the standard error, the report (or its absence:
# nothing was started), the files on the Wine drive and the prefix's
# temporary folder, which must hold no folder of the loader afterwards.
# Prints ok/FAIL per check.
# Usage: loader.sh WendrelLoadProgram.exe loader_test_setup.exe loader_test_pack.exe
set -u
LOADER=$(realpath "$1")
STUB=$(realpath "$2")
PACK=$(realpath "$3")
HERE=$(cd "$(dirname "$0")" && pwd)
failures=0

SCRATCH=$(mktemp -d /tmp/wdrl-loader.XXXXXX)
source "$HERE/../../scripts/wine-session.sh"
wendrel_session_start "$SCRATCH/session" >/dev/null || { rm -rf "$SCRATCH"; exit 1; }
cleanup() {
  wendrel_session_stop
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect() { # description command...
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
absent() { ! "$@"; }
win() { local p=${1//\//\\}; echo "Z:$p"; } # a Unix path as Wine's drive Z: shows it

# The prefix's temporary folder, where the loader makes its own.
TEMP_U=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$TEMP_U" ] || { echo "FAIL: no temporary folder ($TEMP_U)"; exit 1; }
leftovers() { ls -d "$TEMP_U"/WDRL* 2>/dev/null; }
no_leftovers() { [ -z "$(leftovers)" ]; }

# The distribution's pieces: the stand-in setup program first, as the build
# puts the setup program first, then companion files.
SRC=$SCRATCH/src
mkdir -p "$SRC"
cp "$STUB" "$SRC/Teskor_Install.exe"
printf 'Quorvane 1.0.2.9\r\nCaldrevin\r\n' >"$SRC/readme.txt"
head -c 300000 /dev/urandom >"$SRC/data.bin"
pack() { # unix-archive unix-files...
  local out=$1
  shift
  local args=()
  for f in "$@"; do args+=("$(win "$f")"); done
  timeout 60 wine "$PACK" "$(win "$out")" "${args[@]}" >/dev/null 2>&1 || fail "packing $out"
}
rename() { # unix-archive index key
  timeout 60 wine "$PACK" --name "$(win "$1")" "$2" "$3" >/dev/null 2>&1 || fail "renaming in $1"
}
pack "$SCRATCH/setup.1" "$SRC/Teskor_Install.exe" "$SRC/readme.txt" "$SRC/data.bin"
pack "$SCRATCH/files.1" "$SRC/data.bin" "$SRC/readme.txt"

cat >"$SCRATCH/dist.py" <<'EOF'
import struct, sys
def tail(path):
    with open(path, 'rb') as f:
        f.seek(-56, 2)
        return bytearray(f.read())
cmd, path = sys.argv[1], sys.argv[2]
if cmd == 'make':  # make OUT LOADER SETUP1 [FILES1]
    parts = [open(p, 'rb').read() for p in sys.argv[3:]]
    loader, setup = parts[0], parts[1]
    files = parts[2] if len(parts) > 2 else b''
    start = len(loader)
    fs, fe = (start + len(setup), start + len(setup) + len(files) - 1) if files else (0, 0)
    record = b'SELFEXTRACTING\0\0' + struct.pack('<4i', start, start + len(setup) - 1, fs, fe) + bytes(24)
    open(path, 'wb').write(loader + setup + files + record)
elif cmd == 'flip':  # flip FILE OFFSET (negative: from the end)
    data = bytearray(open(path, 'rb').read())
    data[int(sys.argv[3])] ^= 0x20
    open(path, 'wb').write(data)
elif cmd == 'field':  # field FILE INDEX VALUE: one of the four int32 of the record
    data = bytearray(open(path, 'rb').read())
    at = len(data) - 56 + 16 + 4 * int(sys.argv[3])
    data[at:at + 4] = struct.pack('<i', int(sys.argv[4]))
    open(path, 'wb').write(data)
elif cmd == 'get':  # get FILE INDEX: one of the four int32 of the record
    print(struct.unpack('<i', tail(path)[16 + 4 * int(sys.argv[3]):20 + 4 * int(sys.argv[3])])[0])
elif cmd == 'cut':  # cut FILE N: drop the last N bytes
    data = open(path, 'rb').read()
    open(path, 'wb').write(data[:-int(sys.argv[3])])
elif cmd == 'append':  # append FILE N: N bytes of junk
    open(path, 'ab').write(b'junk' * (int(sys.argv[3]) // 4))
elif cmd == 'record':  # record ARCHIVE I: DataStart EndPos of record i
    data = open(path, 'rb').read()
    at = 5
    for _ in range(int(sys.argv[3])):
        at = struct.unpack_from('<i', data, at + 124)[0]
    print(struct.unpack_from('<i', data, at + 132)[0], struct.unpack_from('<i', data, at + 16)[0], at)
EOF
dist() { python3 "$SCRATCH/dist.py" "$@"; }
LOADER_SIZE=$(stat -c %s "$LOADER")

# A fresh distribution folder D (its name has a blank): empty, with a
# self-extracting setup.exe, or with the loader beside setup.1.
N=0
fresh() {
  N=$((N + 1))
  D="$SCRATCH/dist $N"
  mkdir -p "$D"
}
selfext() { # [files.1]
  fresh
  dist make "$D/setup.exe" "$LOADER" "$SCRATCH/setup.1" "$@"
}
beside() {
  fresh
  cp "$LOADER" "$D/setup.exe"
  cp "$SCRATCH/setup.1" "$D/setup.1"
}

REPORT=$SCRATCH/report.txt
COPIES=$SCRATCH/copies
export WDRL_STUB_REPORT
WDRL_STUB_REPORT=$(win "$REPORT")
# Runs a setup.exe with its arguments, answering the loader's message boxes
# with Return; sets CODE and ERR (its standard error in one line).
run() { # unix-exe args...
  local exe=$1
  shift
  local attempt
  for attempt in 1 2; do # a start that Wine failed says nothing: once more
    rm -f "$REPORT"
    CODE=0
    (cd "$(dirname "$exe")" && timeout 120 wine "$(win "$exe")" "$@" >/dev/null 2>"$SCRATCH/err") &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      wendrel_answer_boxes_once Setup
      sleep 0.2
    done
    wait "$pid" || CODE=$?
    ERR=$(tr -d '\r' <"$SCRATCH/err" | tr '\n' ' ')
    { [ -s "$SCRATCH/err" ] || [ -f "$REPORT" ]; } && break
    echo "   (setup.exe ended with exit code $CODE and no word: start $attempt)"
  done
}
report() { tr -d '\r' <"$REPORT" 2>/dev/null; }
args() { report | sed -n 's/^arg=//p' | paste -sd'|'; }
expect_code() { # want description
  if [ "$CODE" = "$1" ]; then ok "$2: exit $CODE"; else fail "$2: exit $CODE, wanted $1 (${ERR:-no message})"; fi
}
# A failure of the loader's own: its code, its message, nothing started, no folder left.
refused() { # code description message-part
  expect_code "$1" "$2"
  expect "$2: the message says why ($ERR)" grep -qiF "$3" <<<"$ERR"
  expect "$2: nothing was started" absent test -f "$REPORT"
  expect "$2: no folder is left in the temporary folder" no_leftovers
}

echo "== the loader's own file"
# Only libraries the system always takes from System32 (its known DLLs) may
# be imported: any other would be looked for beside setup.exe first.
if command -v x86_64-w64-mingw32-objdump >/dev/null; then
  IMPORTS=$(x86_64-w64-mingw32-objdump -p "$LOADER" | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z' | sort | paste -sd' ')
  expect "it imports known system libraries only ($IMPORTS)" test "$IMPORTS" = "ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL"
fi
expect "the library folder's marker lies beside it" test -f "$(dirname "$LOADER")/W32V40.TXT"

echo "== a self-extracting setup.exe with files.1"
selfext "$SCRATCH/files.1"
mkdir -p "$COPIES"
WDRL_STUB_EXIT=3 WDRL_STUB_COPY_TO=$(win "$COPIES") run "$D/setup.exe"
expect_code 3 "the setup program's exit code comes back"
expect "the setup program got -s<folder> -e<name> -c ($(args))" test "$(args)" = "-s$(win "$D")|-esetup.exe|-c"
expect "the folder and name are quoted, no trailing backslash" \
  grep -qF "\"-s$(win "$D")\" \"-esetup.exe\" -c" <<<"$(report | sed -n 's/^line=//p')"
EXE=$(report | sed -n 's/^exe=//p')
expect "it ran from a private folder of a random 128-bit name ($EXE)" \
  grep -qiE '\\WDRL[0-9A-F]{32}\\Teskor_Install\.exe$' <<<"$EXE"
expect "... in the temporary folder" test "$(winepath -u "${EXE%\\*}" 2>/dev/null | xargs dirname)" = "$TEMP_U"
expect "every record of setup.1 was beside it" \
  test "$(report | sed -n 's/^file=//p' | sort | paste -sd' ')" = "Teskor_Install.exe data.bin readme.txt"
for f in Teskor_Install.exe readme.txt data.bin; do
  expect "$f unpacked byte for byte" cmp -s "$SRC/$f" "$COPIES/$f"
done
expect "the private folder is gone afterwards" no_leftovers
unset -v CODE

echo "== the same, without files.1, started with *todisk"
selfext
WDRL_STUB_EXIT=0 run "$D/setup.exe" '*todisk'
expect_code 0 "*todisk"
expect "the setup program got -f last ($(args))" test "$(args)" = "-s$(win "$D")|-esetup.exe|-c|-f"
expect "the private folder is gone afterwards" no_leftovers

echo "== setup.exe beside setup.1"
beside
WDRL_STUB_EXIT=2 run "$D/setup.exe"
expect_code 2 "beside setup.1"
expect "the setup program got -s<folder> -c, no -e ($(args))" test "$(args)" = "-s$(win "$D")|-c"
expect "the private folder is gone afterwards" no_leftovers
run "$D/setup.exe" '*TODISK'
expect "*TODISK beside setup.1 gives -f ($(args))" test "$(args)" = "-s$(win "$D")|-c|-f"

echo "== the setup program removes its own copy (-c): the loader takes what is left"
selfext "$SCRATCH/files.1"
WDRL_STUB_EXIT=1 WDRL_STUB_CLEAN=1 run "$D/setup.exe"
expect_code 1 "with the setup program's clean-up"
expect "no folder is left" no_leftovers
expect "the loader reported nothing ($ERR)" test -z "$ERR"

echo "== a RunOnce value names the setup program in the folder: it stays for the restart"
VALUE="WendrelLoaderTest$$"
RUNONCE='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
selfext "$SCRATCH/files.1"
WDRL_STUB_EXIT=0 WDRL_STUB_RUNONCE=$VALUE run "$D/setup.exe"
expect_code 0 "with a restart pending"
KEPT=$(leftovers)
expect "the folder stays ($KEPT)" test -n "$KEPT" -a -f "$KEPT/Teskor_Install.exe"
expect "the RunOnce value names it" grep -qiF "$(report | sed -n 's/^exe=//p')" \
  <<<"$(timeout 60 wine reg query "$RUNONCE" /v "$VALUE" 2>/dev/null | tr -d '\r')"
timeout 60 wine reg delete "$RUNONCE" /v "$VALUE" /f >/dev/null 2>&1
rm -rf "$KEPT"

echo "== an unknown argument"
selfext "$SCRATCH/files.1"
run "$D/setup.exe" /S
refused 20 "/S" "Usage"
run "$D/setup.exe" '*TODISK' -b
refused 20 "*TODISK -b" "Usage"

echo "== setup.exe alone without setup.1 beside it"
fresh
cp "$LOADER" "$D/setup.exe"
run "$D/setup.exe"
refused 21 "no setup.1" "setup.1"

echo "== damage to setup.exe"
damaged() { # description setup.exe
  run "$2"
  refused 22 "$1" "damaged"
}
selfext "$SCRATCH/files.1"
dist cut "$D/setup.exe" 1000
damaged "a truncated setup.exe" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist cut "$D/setup.exe" 1
damaged "one byte short" "$D/setup.exe"
beside # setup.1 lies beside it, but is never a fallback
dist append "$D/setup.exe" 4000
damaged "junk appended without a record (setup.1 beside it is not used)" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist append "$D/setup.exe" 100
damaged "junk after the record" "$D/setup.exe"
for at in -56 -42 -41 -20 -1; do # marker, reserved byte 15, reserved bytes 32..55
  selfext "$SCRATCH/files.1"
  dist flip "$D/setup.exe" "$at"
  damaged "a flipped byte in the record at $at" "$D/setup.exe"
done
S1=$(stat -c %s "$SCRATCH/setup.1")
F1=$(stat -c %s "$SCRATCH/files.1")
badrange() { # description setup-start setup-end files-start files-end
  selfext "$SCRATCH/files.1"
  dist field "$D/setup.exe" 0 "$2"
  dist field "$D/setup.exe" 1 "$3"
  dist field "$D/setup.exe" 2 "$4"
  dist field "$D/setup.exe" 3 "$5"
  damaged "$1" "$D/setup.exe"
}
L=$LOADER_SIZE
badrange "setup.1 and files.1 swapped" $((L + F1)) $((L + F1 + S1 - 1)) $L $((L + F1 - 1))
badrange "setup end before its start" $L $((L - 10)) $((L + S1)) $((L + S1 + F1 - 1))
badrange "files.1 past the end of the file" $L $((L + S1 - 1)) $((L + S1)) $((L + S1 + F1 + 999))
badrange "setup.1 starting inside the loader" $((L - 512)) $((L + S1 - 1)) $((L + S1)) $((L + S1 + F1 - 1))
badrange "no files.1 named, yet it lies there" $L $((L + S1 - 1)) 0 0
read -r DATA0 END0 AT0 <<<"$(dist record "$SCRATCH/setup.1" 0)"
read -r DATA1 END1 AT1 <<<"$(dist record "$SCRATCH/setup.1" 1)"
selfext "$SCRATCH/files.1"
dist flip "$D/setup.exe" $((L + AT1 + 124 + 2)) # record 2's NextHeader: past setup.1
damaged "a flipped byte in the setup.1 table" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist flip "$D/setup.exe" $((L + AT0 + 132 + 1)) # record 1's DataStart
damaged "a flipped byte in the first record's data start" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist flip "$D/setup.exe" $((L + (DATA1 + END1) / 2))
damaged "a flipped byte in the data of a later file" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist flip "$D/setup.exe" $((L + END1))
damaged "a flipped byte in a later file's Adler-32" "$D/setup.exe"
selfext "$SCRATCH/files.1"
dist flip "$D/setup.exe" $((L + S1 + 5 + 124 + 2)) # files.1's first NextHeader
damaged "a flipped byte in the files.1 table" "$D/setup.exe"
beside
dist flip "$D/setup.1" $((DATA0 + 1000))
damaged "a flipped byte in setup.1 beside it" "$D/setup.exe"

echo "== record names"
for key in '' 'CON' 'a:b' 'C:\dir\..' 'dir\NUL.txt'; do
  cp "$SCRATCH/setup.1" "$SCRATCH/named.1"
  rename "$SCRATCH/named.1" 1 "$key"
  selfext "$SCRATCH/files.1"
  dist make "$D/setup.exe" "$LOADER" "$SCRATCH/named.1" "$SCRATCH/files.1"
  damaged "a file named \"$key\"" "$D/setup.exe"
done
cp "$SCRATCH/setup.1" "$SCRATCH/named.1"
rename "$SCRATCH/named.1" 1 '..\x'
selfext
dist make "$D/setup.exe" "$LOADER" "$SCRATCH/named.1"
run "$D/setup.exe"
expect_code 0 "a file named ..\\x"
expect "it was unpacked as x beside the setup program" grep -qx 'file=x' <<<"$(report)"
expect "nothing named x reached the temporary folder" absent test -e "$TEMP_U/x"
expect "no folder is left" no_leftovers

exit $((failures > 0))
