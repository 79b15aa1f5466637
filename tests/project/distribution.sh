#!/bin/bash
# The distribution end to end, seen from outside, in a scratch prefix of its
# own: the setup program builds it (-b, BUILD.INF beside it, the install
# library found through the registry); an independent reader checks
# setup.exe, setup.1 and files.1 byte for byte; setup.exe copied alone to a
# download folder installs Quorvane; a second copy started meanwhile is
# refused; a reinstall while Ombo_Teskor.exe runs leaves the new file waiting
# for the restart (first with the restart request failing, so the waiting
# state can be looked at, then run again before the restart), and the
# restart (wineboot -r) replaces it, resumes the setup, which shows its good
# end and removes its record and its copy; a damaged archive and a truncated
# setup.exe end with their messages. Message boxes and pages are answered
# with Return, as a user would. Prints ok/FAIL per check.
# Usage: distribution.sh Teskor_Install.exe TOOLS-DIR PAYLOAD-DIR
set -u
# Disks of a real capacity are small file systems of their own, mounted in a
# mount namespace of this test alone; without one, the disk case is left out.
if [ -z "${WDRL_DISKS_NS:-}" ] && unshare -m true 2>/dev/null; then
  WDRL_DISKS_NS=1 exec unshare -m "$0" "$@"
fi
PROGRAM=$(realpath "$1")
TOOLS=$(realpath "$2")
PAYLOAD=$(realpath "$3")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/driver_lib.sh" dist

RECORD='HKLM\Software\Wendrel\Install'
RUNONCE='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
PRODUCT='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
FILES=(Ombo_Teskor.exe Ombo_Teskor_SD.exe Ombo_Teskor_KH.dll Ombo_Teskor.Hlp Ombo_Teskor.GID)
DOWNLOADS=$WINEPREFIX/drive_c/Downloads
SETUP_WIN='C:\Downloads\setup.exe'
TEMP_DIR=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -iname temp -type d | grep -v Public | head -1)
winpath() { echo "Z:$1" | tr / '\\'; }

# Runs a Windows program, answering message boxes titled $BOXES and the
# wizard's pages with Return until it ends. Sets CODE and MSG.
BOXES='(Teskor_Install|Setup)'
WIZARD=1
run() { # tag command...
  local tag=$1
  shift
  timeout 180 "$@" >"$OUT/$tag.out" 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    wendrel_press_return_once "^$BOXES\$"
    [ "$WIZARD" = 1 ] && wendrel_accept_wizard_once
    sleep 0.2
  done
  collect "$pid" "$tag"
  echo "   ($tag: exit $CODE${MSG:+, \"$MSG\"})"
  [ "$CODE" = 124 ] && end_strays "$tag"
}
# The exit code of the program pid and its messages on one line: CODE, MSG.
collect() { # pid tag
  CODE=0
  wait "$1" || CODE=$?
  MSG=$(tr -d '\r' <"$OUT/$2.out" | grep -v '^$' | tr '\n' ' ' | sed 's/ $//')
}
# A setup that hung: the screen is kept, and the programs it left end.
end_strays() { # tag
  import -window root "$OUT/$1-hung.png" 2>/dev/null && echo "   (screen: $OUT/$1-hung.png)"
  timeout 60 wine taskkill /f /im Teskor_Install.exe >/dev/null 2>&1 || true
}
expect_code() { # want description
  if [ "$CODE" = "$1" ]; then ok "$2: exit $CODE"; else fail "$2: exit $CODE, wanted $1 (${MSG:-no message})"; fi
}
complete() {
  local f
  for f in "${FILES[@]}"; do cmp -s "$PAYLOAD/$f" "$DEST/$f" || return 1; done
}
# The loading program's private folders under the temporary folder.
copies() { find "$TEMP_DIR" -maxdepth 1 -type d -name 'WDRL*' -printf '%f\n' 2>/dev/null | sort; }
# Waits up to 30 s for the copies' folders to go (a clean-up batch may still run).
no_copies_left() {
  local i
  for i in $(seq 150); do
    [ -z "$(copies)" ] && return 0
    sleep 0.2
  done
  echo "   left: $(copies)"
  return 1
}

# ---- 1. build ----------------------------------------------------------------------
echo "== 1. Teskor_Install.exe -b"
BUILDER=$SCRATCH/builder
BUILD_DIR=$SCRATCH/build-out
mkdir -p "$BUILDER"
cp "$PROGRAM" "$BUILDER/Teskor_Install.exe"
# An empty BUILD.INF names no folder.
: >"$BUILDER/BUILD.INF"
run build-empty wine "$BUILDER/Teskor_Install.exe" -b
expect_code 1 "build with an empty BUILD.INF"
[ "$MSG" = "Must be 1 line in BUILD.INF. This line should specify the build directory" ] &&
  ok "build with an empty BUILD.INF: its message" || fail "build with an empty BUILD.INF: \"$MSG\""
# Without the library on its search path: the registry is named.
printf '%s\r\nignored second line\r\n' "$(winpath "$BUILD_DIR")" >"$BUILDER/BUILD.INF"
run build-nolib wine "$BUILDER/Teskor_Install.exe" -b
expect_code 1 "build without the install library"
case "$MSG" in
*"HKEY_LOCAL_MACHINE | Software\\Wendrel Library key"*) ok "build without the install library: its message" ;;
*) fail "build without the install library: \"$MSG\"" ;;
esac
timeout 60 wine reg add 'HKCU\Software\Wendrel Library\Environment' /v 'Library Search Path' \
  /d "C:\\nowhere;\$(WENDREL)\\$(basename "$TOOLS")" /f >/dev/null 2>&1
timeout 60 wine reg add 'HKLM\Software\Wendrel Library' /v RootDir /d "$(winpath "$(dirname "$TOOLS")")" /f >/dev/null 2>&1
run build wine "$BUILDER/Teskor_Install.exe" -b
expect_code 0 "build"
expect "build: no install record made" bash -c "! timeout 60 wine reg query '$RECORD' >/dev/null 2>&1"
if python3 "$HERE/dist_reader.py" "$BUILD_DIR" --setup-program "$PROGRAM" --payload "$PAYLOAD" >"$OUT/reader.out" 2>&1; then
  ok "the distribution reads back byte for byte (independent reader)"
else
  fail "the independent reader: $(tail -n 1 "$OUT/reader.out")"
fi
sed 's/^/   /' "$OUT/reader.out"

# ---- 2. install from setup.exe alone -----------------------------------------------
echo "== 2. setup.exe alone in C:\\Downloads"
delete_key 'HKCU\Software\Wendrel Library'
delete_key 'HKLM\Software\Wendrel Library'
mkdir -p "$DOWNLOADS"
cp "$BUILD_DIR/setup.exe" "$DOWNLOADS/setup.exe"
run install wine "$SETUP_WIN"
expect_code 0 "install from setup.exe"
expect "install: every file holds its payload's bytes" complete
expect "install: the uninstall entry" has_key "$PRODUCT"
expect "install: no install record is left" bash -c "! timeout 60 wine reg query '$RECORD' >/dev/null 2>&1"
expect "install: no copy of the setup program is left under the temporary folder" no_copies_left

# ---- 3. one run at a time ----------------------------------------------------------
echo "== 3. a second setup while one runs"
timeout 180 wine "$SETUP_WIN" >"$OUT/first.out" 2>&1 &
first=$!
for _ in $(seq 150); do
  [ -n "$(xdotool search --onlyvisible --name '^Welcome$' 2>/dev/null)" ] && break
  sleep 0.2
done
WIZARD=0
run second wine "$SETUP_WIN"
WIZARD=1
[ "$CODE" != 0 ] && ok "the second setup ends with exit $CODE" || fail "the second setup ends with exit 0"
case "$MSG" in
*"Another installation of Quorvane is already running."*) ok "the second setup: its message" ;;
*) fail "the second setup: \"$MSG\"" ;;
esac
while kill -0 "$first" 2>/dev/null; do
  wendrel_accept_wizard_once
  wendrel_press_return_once "^$BOXES\$"
  sleep 0.2
done
if wait "$first"; then ok "the first setup goes on and ends well"; else
  CODE=$?
  fail "the first setup ends with exit $CODE"
  end_strays first
fi

# ---- 4. a file in use: replaced at the restart ---------------------------------------
echo "== 4. a reinstall while Ombo_Teskor.exe runs"
OLD=$PAYLOAD/Ombo_Teskor_SD.exe
cp "$OLD" "$DEST/Ombo_Teskor.exe"
xdotool keyup Return >/dev/null 2>&1
timeout 600 wine "$DEST_WIN\\Ombo_Teskor.exe" >/dev/null 2>&1 &
program=$!
for _ in $(seq 150); do
  [ -n "$(xdotool search --name '^Quorvane$' 2>/dev/null)" ] && break
  sleep 0.2
done
# The restart request fails (no wineboot to end the session): the user is
# asked to restart, and what waits for the restart can be looked at.
BOXES='(Teskor_Install|Setup)'
run inuse env WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wineboot.exe=d" wine "$SETUP_WIN"
expect_code 3 "reinstall with a file in use"
case "$MSG" in
*"Could not reboot windows. Please manually reboot windows."*) ok "the failed restart request is told" ;;
*) fail "no manual-restart message (\"$MSG\")" ;;
esac
expect "in use: Ombo_Teskor.1 waits with the payload's bytes" cmp -s "$PAYLOAD/Ombo_Teskor.exe" "$DEST/Ombo_Teskor.1"
expect "in use: the running Ombo_Teskor.exe is untouched" cmp -s "$OLD" "$DEST/Ombo_Teskor.exe"
query "$SESSION_MANAGER" /v PendingFileRenameOperations | grep -q 'Ombo_Teskor\.1\\0!' &&
  ok "in use: the delayed move, with \"!\"" || fail "in use: no delayed move of Ombo_Teskor.1"
resume=$(query "$RUNONCE" | grep -i WendrelUnfinished)
echo "   $resume"
case "$resume" in
*'Teskor_Install.exe" -r "-esetup.exe" "-sC:\Downloads" -c') ok "in use: RunOnce resumes the copy with the distribution's setup.exe" ;;
*) fail "in use: RunOnce value \"$resume\"" ;;
esac
query "$RECORD" /s | grep -q 'SelfExtract.*C:\\Downloads\\setup.exe' &&
  ok "in use: the install record names the self-extracting setup" || fail "in use: no SelfExtract in the install record"
kept=$(copies)
[ -n "$kept" ] && ok "in use: the copy the resume needs is kept ($kept)" || fail "in use: the copy is gone"
# Run again before the restart: one resume, naming the newer copy, whose
# predecessor is gone.
run again env WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wineboot.exe=d" wine "$SETUP_WIN"
expect_code 3 "run again before the restart"
count=$(query "$RUNONCE" | grep -ci WendrelUnfinished)
[ "$count" = 1 ] && ok "again: one WendrelUnfinished value" || fail "again: $count WendrelUnfinished values"
[ "$(copies | wc -l)" = 1 ] && [ "$(copies)" != "$kept" ] && ok "again: only the newer copy is kept" ||
  fail "again: copies under the temporary folder: $(copies | tr '\n' ' ')"
# The program is ended by its user, then the machine restarts.
for _ in $(seq 50); do
  kill -0 "$program" 2>/dev/null || break
  wendrel_answer_boxes_once Quorvane
  sleep 0.2
done
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null
echo "   restarting the prefix (wineboot -r)"
timeout 300 wineboot -r >"$OUT/restart.out" 2>&1 &
restart=$!
seen=""
for _ in $(seq 600); do
  if [ -n "$(xdotool search --onlyvisible --name '^Setup complete$' 2>/dev/null)" ]; then
    seen=1
    wendrel_accept_wizard_once
  fi
  kill -0 "$restart" 2>/dev/null || break
  sleep 0.2
done
wait "$restart" 2>/dev/null
[ -n "$seen" ] && ok "the resumed setup shows \"Setup complete\"" || fail "no \"Setup complete\" after the restart"
expect "after the restart: Ombo_Teskor.exe has the payload's bytes" cmp -s "$PAYLOAD/Ombo_Teskor.exe" "$DEST/Ombo_Teskor.exe"
expect "after the restart: Ombo_Teskor.1 is gone" test ! -e "$DEST/Ombo_Teskor.1"
expect "after the restart: the whole product is in place" complete
expect "after the restart: no RunOnce value" bash -c "! timeout 60 wine reg query '$RUNONCE' 2>/dev/null | grep -qi WendrelUnfinished"
expect "after the restart: no pending move" bash -c "! timeout 60 wine reg query '$SESSION_MANAGER' /v PendingFileRenameOperations 2>/dev/null | grep -q Ombo_Teskor"
expect "after the restart: the install record is gone" bash -c "! timeout 60 wine reg query '$RECORD' >/dev/null 2>&1"
expect "after the restart: the resumed copy is gone" no_copies_left

# ---- 5. damage --------------------------------------------------------------------
echo "== 5. a damaged archive, a truncated setup.exe"
# A byte inside the compressed data of files.1's first record.
python3 - "$DOWNLOADS/setup.exe" <<'EOF'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
fs, = struct.unpack_from("<i", data, len(data) - 56 + 24)
nxt, size, start, csize = struct.unpack_from("<iiii", data, fs + 5 + 124)
data[fs + start + csize // 2] ^= 0x5A
open(path, "wb").write(data)
EOF
delete_key "$RECORD"
run damaged wine "$SETUP_WIN"
[ "$CODE" != 0 ] && ok "damaged data: exit $CODE" || fail "damaged data: exit 0"
[ -n "$MSG" ] && ok "damaged data: the engine's message (\"$MSG\")" || fail "damaged data: no message"
expect "damaged data: the install record is kept" has_key "$RECORD"
expect "damaged data: the copy is removed" no_copies_left
delete_key "$RECORD"
cp "$BUILD_DIR/setup.exe" "$DOWNLOADS/setup.exe"
truncate -s -1000 "$DOWNLOADS/setup.exe"
run truncated wine "$SETUP_WIN"
expect_code 22 "truncated setup.exe"
expect "truncated: nothing started, no record" bash -c "! timeout 60 wine reg query '$RECORD' >/dev/null 2>&1"
expect "truncated: no folder left" no_copies_left

# ---- 6. disks ------------------------------------------------------------------
# A: is a link in the prefix, pointed at each disk before its prompt is
# answered. Disk 1 is a 1.44 MB floppy (it holds setup.exe and setup.1); the
# next are small, so files.1 spans several.
# Runs a program that asks for disks, as its user: each prompt (a message box
# titled Teskor_Install) is answered with Return after A: points at the disk
# the mode says (split: the next one while files.1 is not all on the disks,
# then disk 1 again; install: the next one; cancel: Escape at the first
# prompt); the wizard's pages take their defaults. Sets CODE, MSG, PROMPTS.
DISK=1
point() { ln -sfn "$SCRATCH/disk$1" "$WINEPREFIX/dosdevices/a:"; }
with_disks() { # mode tag command...
  local mode=$1 tag=$2 w
  shift 2
  DISK=1
  point 1
  PROMPTS=()
  WENDREL_PRESSED=""
  timeout 300 "$@" >"$OUT/$tag.out" 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    for w in $(xdotool search --onlyvisible --name '^Teskor_Install$' 2>/dev/null); do
      timeout 5 xdotool windowfocus --sync "$w" >/dev/null 2>&1
      if [ "$mode" = cancel ] && [ "${#PROMPTS[@]}" = 0 ]; then
        PROMPTS+=(cancel)
        xdotool key Escape
        sleep 1
        continue
      fi
      if [ "$mode" = split ] &&
        [ "$(cat "$SCRATCH"/disk*/files.* 2>/dev/null | wc -c)" -ge "$(stat -c %s "$BUILD_DIR/files.1")" ]; then
        DISK=1
      elif [ "$DISK" -lt 5 ]; then
        DISK=$((DISK + 1))
      fi
      PROMPTS+=("$DISK")
      point "$DISK"
      xdotool key Return
      sleep 1
    done
    [ "$mode" = install ] && wendrel_accept_wizard_once
    sleep 0.2
  done
  collect "$pid" "$tag"
  echo "   ($tag: exit $CODE, disks asked: ${PROMPTS[*]:-none}${MSG:+, \"$MSG\"})"
}

disk_case() {
  echo "== 6. setup.exe *TODISK, and the installation from the disks"
  local sizes=(1440k 16k 16k 16k 1440k) i
  for i in 1 2 3 4 5; do
    mkdir -p "$SCRATCH/disk$i"
    mount -t tmpfs -o "size=${sizes[$((i - 1))]}" tmpfs "$SCRATCH/disk$i" || { fail "cannot mount disk $i"; return; }
  done
  cp "$BUILD_DIR/setup.exe" "$DOWNLOADS/setup.exe"
  delete_key "$RECORD"
  with_disks split todisk wine "$SETUP_WIN" '*TODISK'
  [ "$CODE" = 0 ] && ok "*TODISK: exit 0" || fail "*TODISK: exit $CODE"
  local used=()
  for i in 1 2 3 4 5; do [ -n "$(ls -A "$SCRATCH/disk$i")" ] && used+=("$SCRATCH/disk$i"); done
  echo "   disks written: ${#used[@]}: $(for d in "${used[@]}"; do echo -n "$(basename "$d")[$(ls "$d" | tr '\n' ' ')] "; done)"
  [ "${#used[@]}" -ge 3 ] && ok "*TODISK: files.1 spans several disks" || fail "*TODISK: only ${#used[@]} disk(s) written"
  expect "*TODISK: disk 1's setup.exe is the loading program alone" \
    cmp -s "$SCRATCH/disk1/setup.exe" <(head -c "$(stat -c %s "$TOOLS/WendrelLoadProgram.exe")" "$BUILD_DIR/setup.exe")
  expect "*TODISK: disk 1's setup.1 is the build's" cmp -s "$SCRATCH/disk1/setup.1" "$BUILD_DIR/setup.1"
  if python3 "$HERE/dist_reader.py" "$BUILD_DIR" --payload "$PAYLOAD" --split "${used[@]}" >"$OUT/split.out" 2>&1; then
    ok "the split set reads back whole (independent reader): $(grep 'split set' "$OUT/split.out")"
  else
    fail "the split set: $(tail -n 1 "$OUT/split.out")"
  fi
  # Installing from the disks asks for each next one.
  rm -rf "$WINEPREFIX/drive_c/Program Files/Pellunar"
  delete_key "$PRODUCT"
  with_disks install fromdisk wine 'A:\setup.exe'
  [ "$CODE" = 0 ] && ok "install from the disks: exit 0" || fail "install from the disks: exit $CODE"
  expect "install from the disks: every file holds its payload's bytes" complete
  # Cancel at the first prompt: the set stays partial, and an install from
  # it fails without a damaged file.
  for i in 1 2 3 4 5; do rm -rf "${SCRATCH:?}/disk$i/"*; done
  with_disks cancel cancel wine "$SETUP_WIN" '*todisk'
  [ "$CODE" != 0 ] && ok "*TODISK cancelled: exit $CODE" || fail "*TODISK cancelled: exit 0"
  case "$MSG" in *"Aborted by user"*) ok "*TODISK cancelled: \"Aborted by user\"" ;; *) fail "*TODISK cancelled: \"$MSG\"" ;; esac
  rm -rf "$WINEPREFIX/drive_c/Program Files/Pellunar"
  delete_key "$PRODUCT"
  delete_key "$RECORD"
  with_disks install partial wine 'A:\setup.exe'
  [ "$CODE" != 0 ] && ok "install from the partial set fails: exit $CODE" || fail "install from the partial set: exit 0"
  local f bad=""
  for f in "${FILES[@]}"; do
    [ -e "$DEST/$f" ] && ! cmp -s "$PAYLOAD/$f" "$DEST/$f" && bad="$bad $f"
  done
  [ -z "$bad" ] && ok "install from the partial set: no damaged file installed" || fail "damaged files installed:$bad"
  for i in 1 2 3 4 5; do umount "$SCRATCH/disk$i" 2>/dev/null; done
}
if [ -n "${WDRL_DISKS_NS:-}" ]; then disk_case; else echo "== 6. disks: left out (no mount namespace here)"; fi

# WDRL_KEEP_OUT=DIR keeps the outputs and screenshots for a look afterwards.
[ -n "${WDRL_KEEP_OUT:-}" ] && mkdir -p "$WDRL_KEEP_OUT" && cp -r "$OUT/." "$WDRL_KEEP_OUT/"
echo "== $failures failure(s)"
exit $((failures > 0))
