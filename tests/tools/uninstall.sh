#!/bin/bash
# uninstall.exe end to end under Wine, in a scratch prefix of its own: an
# uninstall record is made by hand as the setup program leaves it (files in
# Files and Files1 with repeats, a missing file and entries that are not file
# paths, self-registered servers, shared files with their counts, a help file
# with its index value, registry values beside a value of the user's, a
# Start-menu folder holding only its links), the program is run from the
# product's own Uninstall folder, and the result is read from outside: the
# files on the Wine drive and the registry as `wine reg query` shows it.
# Also: the exit codes of a blank and an unknown name, of a server that
# cannot be unregistered (all else is removed), a record whose key
# name has trailing blanks, a No to the question, Wine's list of installed
# programs running the unquoted uninstall string (its boxes answered with
# Return), and the program and its folder gone after a restart of the prefix.
# Prints ok/FAIL per check.
# Usage: uninstall.sh uninstall.exe uninstall_test_server.exe uninstall_test_library.dll
set -u
EXE=$(realpath "$1")
SERVER_EXE=$(realpath "$2")
SERVER_DLL=$(realpath "$3")
HERE=$(cd "$(dirname "$0")" && pwd)
failures=0

SCRATCH=$(mktemp -d /tmp/wdrl-uninstall.XXXXXX)
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

# C:\a\b -> the file on the Wine drive.
unix() {
  local p=${1#[Cc]:\\}
  echo "$WINEPREFIX/drive_c/${p//\\//}"
}
# Records are written as one file of registry values imported at once: each
# start of `wine reg` costs about half a second.
REGFILE=$SCRATCH/record.reg
esc() { local t=${1//\\/\\\\}; printf '%s' "${t//\"/\\\"}"; }
reg_begin() { printf 'REGEDIT4\r\n' >"$REGFILE"; }
reg_key() {
  local k=${1/#HKLM\\/HKEY_LOCAL_MACHINE\\}
  printf '\r\n[%s]\r\n' "${k/#HKCU\\/HKEY_CURRENT_USER\\}" >>"$REGFILE"
}
reg_sz() { printf '"%s"="%s"\r\n' "$(esc "$1")" "$(esc "$2")" >>"$REGFILE"; }
reg_dword() { printf '"%s"=dword:%08x\r\n' "$(esc "$1")" "$2" >>"$REGFILE"; }
reg_import() { timeout 60 wine reg import "$REGFILE" >/dev/null 2>&1 || fail "importing $(tr -d '\r' <"$REGFILE")"; }
# Each key is read once after a run (`wine reg query`); the checks look at that.
declare -A SEEN=()
seen() {
  if [ -z "${SEEN[$1]+x}" ]; then
    SEEN[$1]=$(timeout 60 wine reg query "$1" 2>/dev/null | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
  fi
  printf '%s\n' "${SEEN[$1]}"
}
forget() { SEEN=(); }
# (seen runs once in this shell first: a pipe or $(...) would fill a copy of the cache.)
has_key() {
  seen "$1" >/dev/null
  seen "$1" | tail -n 1 | grep -qx 'exit 0'
}
# The type and data of a value as `wine reg query` prints them, empty when missing.
value() { # key name
  seen "$1" >/dev/null
  seen "$1" | grep -F "    $2    " | sed -E 's/^    .*    (REG_[A-Z_]+)    /\1 /'
}
has_value() {
  seen "$1" >/dev/null
  [ -n "$(value "$1" "$2")" ]
}
file() { [ -f "$(unix "$1")" ]; }
folder() { [ -d "$(unix "$1")" ]; }
make() { # windows-path [content]
  local f
  f=$(unix "$1")
  mkdir -p "$(dirname "$f")"
  printf '%s\n' "${2:-$1}" >"$f"
}

# Presses a key in each of the program's message boxes (title "Uninstall"),
# as a user would: through the X server's own keyboard. (Keys sent to the
# window directly, xdotool's --window, were at times taken by the box of a
# later run as its answer.)
answer_boxes() { # key
  local w
  for w in $(xdotool search --name '^Uninstall$' 2>/dev/null); do
    xdotool windowfocus --sync "$w" key "$1" >/dev/null 2>&1
  done
}

# Runs uninstall.exe from Wine path $1 with the rest as its arguments; sets
# CODE and MSG (its output in one line: it always writes its last word).
run() {
  local exe=$1
  shift
  local attempt
  for attempt in 1 2; do # a start that Wine failed says nothing: once more
    CODE=0
    timeout 120 wine "$exe" "$@" >"$SCRATCH/out" 2>/dev/null || CODE=$?
    MSG=$(tr -d '\r' <"$SCRATCH/out" | tr '\n' ' ' | sed 's/ $//')
    [ -n "$MSG" ] && break
  done
  forget
}
expect_code() { # want description
  if [ "$CODE" = "$1" ]; then ok "$2: exit $CODE"; else fail "$2: exit $CODE, wanted $1 (${MSG:-no output})"; fi
}

ID="$$-$RANDOM"
PRODUCT="WendrelUninstTest $ID"
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
KEY="$UNINSTALL\\$PRODUCT"
SHARED='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs'
HELP='HKLM\SOFTWARE\Microsoft\Windows\Help'
PENDING_KEY='HKLM\System\CurrentControlSet\Control\Session Manager'
ROOT="C:\\WendrelUninstTest $ID"
APP="$ROOT\\Product Dir"
TOOL="$APP\\Uninstall\\uninstall.exe"
PROGRAMS='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
MENU="$PROGRAMS\\WendrelUninstTest $ID"
STARTUP="$PROGRAMS\\StartUp"
LOOSE="C:\\WendrelUninstTest-$ID.txt"
RELATIVE="WendrelUninstTest-$ID.rel" # beside the program's working folder, system32
USER_KEY="HKCU\\Software\\WendrelUninstTest $ID"
MACHINE_KEY="HKLM\\Software\\WendrelUninstTest $ID"
TOP_KEY="HKCU\\WendrelUninstTestTop $ID"

# A record list: Entries as given, File1.. as listed.
record_list() { # key entries path...
  local key=$1 entries=$2 n=0
  shift 2
  reg_key "$key"
  reg_sz Entries "$entries"
  for p in "$@"; do
    n=$((n + 1))
    reg_sz "File$n" "$p"
  done
}
record_registry_key() { # n root key value...
  local sub="$KEY\\RegistryKeys\\RegistryKey$1"
  reg_key "$sub"
  reg_dword Root "$2"
  reg_sz Key "$3"
  reg_key "$sub\\Entries"
  shift 3
  for v in "$@"; do reg_sz "$v" 1; done
}
uninstall_entry() { # key tool display-name
  reg_key "$1"
  reg_sz DisplayName "$3"
  reg_sz UninstallString "$2 $3"
  reg_sz QuietUninstallString "\"$2\" /quiet $3"
}

echo "== the command line"
run "$EXE" /quiet
expect_code 3 "no name"
run "$EXE" /QUIET "   "
expect_code 3 "a blank name"
run "$EXE" /quiet "WendrelUninstTest $ID Nowhere"
expect_code 4 "an unknown product"
expect "the unknown product is named in the message" grep -qF "WendrelUninstTest $ID Nowhere" <<<"$MSG"

echo "== a record whose key name has trailing blanks, found by the trimmed name"
TRAIL="$PRODUCT Trail"
make "$ROOT\\Trail\\t.txt"
reg_begin
record_list "$UNINSTALL\\$TRAIL  \\Files" 1 "$ROOT\\Trail\\t.txt"
reg_import
run "$EXE" /quiet "  $TRAIL"
expect_code 0 "trailing blanks"
expect "its file is gone" absent file "$ROOT\\Trail\\t.txt"
expect "its emptied folder is gone" absent folder "$ROOT\\Trail"
expect "its record is gone" absent has_key "$UNINSTALL\\$TRAIL  "

echo "== a server that cannot be unregistered: the rest is removed, the exit code tells"
FAIL_PRODUCT="$PRODUCT Fail"
make "$ROOT\\Fail\\f.txt"
make "$ROOT\\Fail\\bad.dll" "not a library"
reg_begin
record_list "$UNINSTALL\\$FAIL_PRODUCT\\Files" 1 "$ROOT\\Fail\\f.txt"
record_list "$UNINSTALL\\$FAIL_PRODUCT\\ActiveX" 1 "$ROOT\\Fail\\bad.dll;0"
reg_import
run "$EXE" /quiet "$FAIL_PRODUCT"
expect_code 1 "a failed unregistration"
expect "the message names the server" grep -qF "$ROOT\\Fail\\bad.dll" <<<"$MSG"
expect "the other file is gone all the same" absent file "$ROOT\\Fail\\f.txt"
expect "the server's file is gone too" absent file "$ROOT\\Fail\\bad.dll"
expect "the emptied folder is gone" absent folder "$ROOT\\Fail"
expect "the record is gone (the message lists what is left)" absent has_key "$UNINSTALL\\$FAIL_PRODUCT"

echo "== a whole record"
make "$APP\\app.exe"
make "$APP\\readme.txt"
chmod a-w "$(unix "$APP\\readme.txt")" # read-only on the Wine drive
make "$APP\\lib\\shared2.dll"
make "$APP\\lib\\shared1.dll"
make "$APP\\help\\Guide.Hlp"
make "$APP\\data\\sub\\deep.txt"
make "$APP\\user notes.txt" # the user's own: never recorded
make "$MENU\\App.lnk"
make "$MENU\\Site.url"
make "$STARTUP\\WendrelUninstTest $ID.lnk"
make "$LOOSE"
make "C:\\windows\\system32\\$RELATIVE"
mkdir -p "$(unix "$APP\\servers")"
cp "$SERVER_EXE" "$(unix "$APP\\servers\\server.exe")"
cp "$SERVER_DLL" "$(unix "$APP\\servers\\server.dll")"
mkdir -p "$(unix "$APP\\Uninstall")"
cp "$EXE" "$(unix "$TOOL")"
# An older setup counted this one under its short name: the count goes on there.
make "$APP\\lib\\short counted.dll"
SHORT=$(timeout 60 wine "$SERVER_EXE" /SHORT "$APP\\lib\\short counted.dll" 2>/dev/null)
expect "a short name differs from the long one ($SHORT)" test -n "$SHORT" -a "$SHORT" != "$APP\\lib\\short counted.dll"
# Empty shell folders stay: StartUp holds nothing but the recorded link.
expect "the StartUp folder holds only the recorded link" \
  test "$(ls -A "$(unix "$STARTUP")")" = "WendrelUninstTest $ID.lnk"

reg_begin
uninstall_entry "$KEY" "$TOOL" "$PRODUCT"
reg_sz InstallLocation "$APP"
reg_sz Publisher Caldrevin
reg_sz DisplayVersion 1.0.2.9
# "Entries" is the setup's own count: here not a number, or far too large.
record_list "$KEY\\Files" lots "$APP\\app.exe" "$APP\\readme.txt" "$APP\\lib\\shared2.dll" \
  "$APP\\lib\\shared1.dll" "$APP\\help\\Guide.Hlp" "$APP\\data\\sub\\deep.txt" "$APP\\gone.txt" \
  "$APP\\APP.EXE" "$MENU\\App.lnk" "$MENU\\Site.url" "$STARTUP\\WendrelUninstTest $ID.lnk" "$LOOSE" \
  "$RELATIVE" 'C:\' "" "$APP\\help\\Other$ID.hlp" "$ROOT\\..\\WendrelUninstTest-$ID.txt" \
  "$APP\\lib\\short counted.dll"
reg_dword File99 7 # not a text: passed over
record_list "$KEY\\Files1" 4000000000 "$TOOL" "$APP\\app.exe" "$APP\\lib\\shared2.dll"
record_list "$KEY\\ActiveX" 3 "$APP\\servers\\server.exe;1" "$APP\\servers\\server.dll;0" "$APP\\servers\\absent.dll;0"
reg_key "$KEY\\RegistryKeys"
reg_sz Entries 5
record_registry_key 1 2 "\\Software\\WendrelUninstTest $ID\\Settings" Width Height
record_registry_key 2 2 "\\Software\\WendrelUninstTest $ID\\Cache\\Deep" Size
record_registry_key 3 4 "\\Software\\WendrelUninstTest $ID\\Only" Path
record_registry_key 4 2 "\\WendrelUninstTestTop $ID" Flag
reg_key "$KEY\\RegistryKeys\\RegistryKey5"
reg_sz Root x # unusable: passed over
reg_key "$SHARED"
reg_dword "$APP\\lib\\shared2.dll" 2
reg_dword "$APP\\lib\\shared1.dll" 1
reg_dword "$SHORT" 2
reg_key "$HELP"
reg_sz GUIDE.HLP "$APP\\help"
reg_sz "OTHER$ID.HLP" "$ROOT\\Elsewhere" # another product's file of that name
reg_key "$USER_KEY\\Settings"
reg_dword Width 640
reg_dword Height 480
reg_sz UserChoice mine
reg_key "$USER_KEY\\Cache\\Deep"
reg_sz Size 1
reg_key "$MACHINE_KEY\\Only"
reg_sz Path "$APP"
reg_key "$TOP_KEY"
reg_sz Flag 1
reg_import

# Names that would reach past a record's own key.
run "$EXE" /quiet "$PRODUCT\\Files"
expect_code 4 "a name with a backslash"
run "$EXE" /quiet ..
expect_code 4 "a name of dots"
expect "... the record is untouched" has_key "$KEY\\Files"

expect "Wine's list of installed programs shows the product" \
  grep -qF "$PRODUCT" <<<"$(timeout 60 wine uninstaller --list 2>/dev/null | tr -d '\r')"

run "$TOOL" /quiet "$PRODUCT"
expect_code 0 "the whole record ($MSG)"
for f in "$APP\\app.exe" "$APP\\readme.txt" "$APP\\lib\\shared1.dll" "$APP\\help\\Guide.Hlp" \
  "$APP\\data\\sub\\deep.txt" "$LOOSE" "$APP\\servers\\server.exe" "$APP\\servers\\server.dll"; do
  expect "removed: $f" absent file "$f"
done
for d in "$APP\\help" "$APP\\data" "$MENU"; do
  expect "emptied folder removed: $d" absent folder "$d"
done
expect "the program was asked to unregister" file "$APP\\servers\\server.exe.unregistered"
expect "the library was asked to unregister" file "$APP\\servers\\server.dll.unregistered"
expect "the user's file stays" file "$APP\\user notes.txt"
expect "a shared file still counted by another product stays" file "$APP\\lib\\shared2.dll"
seen "$SHARED" >/dev/null
expect "its count is 1 (counted down once despite the repeats)" \
  test "$(value "$SHARED" "$APP\\lib\\shared2.dll")" = "REG_DWORD 0x1"
expect "a file counted under its short name stays" file "$APP\\lib\\short counted.dll"
expect "... its count there is 1" test "$(value "$SHARED" "$SHORT")" = "REG_DWORD 0x1"
expect "... and no count under its long name began" absent has_value "$SHARED" "$APP\\lib\\short counted.dll"
expect "the count of the removed shared file is gone" absent has_value "$SHARED" "$APP\\lib\\shared1.dll"
expect "the help value of the removed help file is gone" absent has_value "$HELP" GUIDE.HLP
expect "another folder's help value of a recorded name stays" has_value "$HELP" "OTHER$ID.HLP"
expect "the empty StartUp folder stays" folder "$STARTUP"
expect "the Start menu's Programs folder stays" folder "$PROGRAMS"
expect "a relative entry deletes nothing" file "C:\\windows\\system32\\$RELATIVE"
expect "drive C stays" folder 'C:\windows'
expect "the recorded values are gone" absent has_value "$USER_KEY\\Settings" Width
expect "... both of them" absent has_value "$USER_KEY\\Settings" Height
expect "the user's value stays, and its key" has_value "$USER_KEY\\Settings" UserChoice
expect "an emptied key and its emptied parent are gone" absent has_key "$USER_KEY\\Cache"
expect "a machine key emptied up to Software is gone" absent has_key "$MACHINE_KEY"
expect "a top-level key stays even empty" has_key "$TOP_KEY"
expect "... without its value" absent has_value "$TOP_KEY" Flag
expect "the record is gone" absent has_key "$KEY"
expect "the list of installed programs is kept" has_key "$UNINSTALL"
expect "Wine's list of installed programs no longer shows it" \
  absent grep -qF "$PRODUCT" <<<"$(timeout 60 wine uninstaller --list 2>/dev/null | tr -d '\r')"
pending=$(timeout 60 wine reg query "$PENDING_KEY" /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
expect "the running program waits for the restart" file "$TOOL"
expect "... and is to be deleted then" grep -qiF "$TOOL" <<<"$pending"
expect "... with its folder" grep -qiF "$APP\\Uninstall\\0" <<<"${pending}"

echo "== Wine's list of installed programs runs the unquoted uninstall string, with a blank in its path"
BOX="$PRODUCT Boxes"
BOX_TOOL="$ROOT\\Box Dir\\Uninstall\\uninstall.exe"
make "$ROOT\\Box Dir\\b.txt"
mkdir -p "$(unix "$ROOT\\Box Dir\\Uninstall")"
cp "$EXE" "$(unix "$BOX_TOOL")"
reg_begin
uninstall_entry "$UNINSTALL\\$BOX" "$BOX_TOOL" "$BOX"
record_list "$UNINSTALL\\$BOX\\Files" 1 "$ROOT\\Box Dir\\b.txt"
reg_import
# Under load Wine rarely fails to start a program at all; uninstall.exe
# always writes its last word, so a run without a word is started once more
# (as tests/wine-run.sh does).
for attempt in 1 2; do
  timeout 120 wine uninstaller --remove "$BOX" >"$SCRATCH/out" 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    answer_boxes Return
    sleep 0.2
  done
  CODE=0
  wait "$pid" || CODE=$?
  MSG=$(tr -d '\r' <"$SCRATCH/out" | tr '\n' ' ' | sed 's/ $//')
  [ -n "$MSG" ] && break
  echo "   (Wine's uninstaller ended with exit code $CODE and no word from uninstall.exe: start $attempt)"
done
forget
expect "Wine's uninstaller ran it (exit $CODE: $MSG)" test "$CODE" = 0
expect "its file is gone" absent file "$ROOT\\Box Dir\\b.txt"
expect "its record is gone" absent has_key "$UNINSTALL\\$BOX"

echo "== answering No"
NO="$PRODUCT No"
make "$ROOT\\No\\n.txt"
reg_begin
record_list "$UNINSTALL\\$NO\\Files" 1 "$ROOT\\No\\n.txt"
reg_import
timeout 120 wine "$EXE" "$NO" >/dev/null 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  answer_boxes n
  sleep 0.2
done
CODE=0
wait "$pid" || CODE=$?
MSG=""
forget
expect_code 2 "No"
expect "after No the file stays" file "$ROOT\\No\\n.txt"
expect "after No the record stays" has_key "$UNINSTALL\\$NO"
run "$EXE" /quiet "$NO"
expect_code 0 "the same product removed quietly"

echo "== after a restart of the prefix"
timeout 120 wineboot -r >/dev/null 2>&1
expect "the program is gone" absent file "$TOOL"
expect "its folder is gone" absent folder "$APP\\Uninstall"
expect "the product folder with the user's file stays" file "$APP\\user notes.txt"
expect "the other program is gone" absent file "$BOX_TOOL"

exit $((failures > 0))
