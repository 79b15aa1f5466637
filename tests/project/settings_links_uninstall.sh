#!/bin/bash
# What an installation of Quorvane leaves besides its files, and how it goes
# again, seen from outside in a scratch prefix of the test's own: the 19
# settings and the uninstall record as `wine reg query` shows them, the two
# links as lnkinfo reads them, the entry in Wine's list of installed
# programs; a second installation going on with the records; then removal
# two ways (uninstall.exe /quiet, and Wine's uninstaller running the entry's
# command with its questions answered), after which nothing of the product
# is left but what the user made: a file of the user's own, a value of the
# user's own, and a library whose shared count another product holds.
# Usage: settings_links_uninstall.sh Teskor_Install.exe Teskor_Archive.exe PAYLOAD-DIR
set -u
SETUP=$(realpath "$1")
ARCHIVER=$(realpath "$2")
PAYLOAD=$(realpath "$3")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/driver_lib.sh" links

PRODUCT='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
SETTINGS='HKCU\Software\Pellunar\Ombo\Teskor'
SHARED='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs'
USER_DIR=$(ls -d "$WINEPREFIX"/drive_c/users/* | grep -v '/Public$' | head -1)
MENU_DIR=$USER_DIR/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Quorvane
MENU_LINK=$MENU_DIR/Quorvane.LNK
DESKTOP_LINK=$USER_DIR/Desktop/Quorvane.LNK
FILES=(Ombo_Teskor.exe Ombo_Teskor_SD.exe Ombo_Teskor_KH.dll Ombo_Teskor.Hlp Ombo_Teskor.GID)
mkdir -p "$DIST_UNIX"

same() { # description got wanted
  if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: got \"$2\", wanted \"$3\""; fi
}
# The data of one value ("" when missing).
value() { query "$1" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }'; }

# Runs a program, pressing Return in its message boxes (titled $1) until it
# ends; sets CODE and MSG.
run_answering() { # tag title command...
  local tag=$1 title=$2
  shift 2
  timeout 120 "$@" >"$OUT/$tag.out" 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    wendrel_answer_boxes_once "$title"
    wendrel_accept_wizard_once
    sleep 0.2
  done
  CODE=0
  wait "$pid" || CODE=$?
  MSG=$(tr -d '\r' <"$OUT/$tag.out" | grep -v '^$' | tr '\n' ' ' | sed 's/ $//')
  echo "   ($tag: exit $CODE${MSG:+, \"$MSG\"})"
}
install() { # tag
  run_answering "$1" Teskor_Install wine "$SETUP" -d "-s$DIST"
  same "$1: the setup ends well" "$CODE" 0
}

echo "== making the distribution"
timeout 120 wine "$ARCHIVER" "$DIST" >"$OUT/archive.out" 2>&1 || { cat "$OUT/archive.out"; exit 1; }

echo "== the first installation"
install install1

# The settings: 19 values with their types, exactly these.
expected_settings() {
  local n
  for n in MainLeft:0x0 MainTop:0x0 MainHeight:0x24e MainWidth:0x30c MainTabOrder:0x0 ASIMedical:0x50 \
    ASIEmploy:0x50 ASIDrug:0x50 ASILegal:0x50 ASIFamily:0x50 ASISocial:0x50 ASIPsych:0x50 LastProgram:0x1 \
    UseSpeedTab:0x1 UseDefaultWindow:0x1 ShowAllHints:0x0 ASIGeneral:0x50; do
    echo "${n%%:*} REG_DWORD ${n#*:}"
  done
  echo "UserColorForeground REG_SZ Black"
  echo "UserColorBackground REG_SZ Yellow"
}
got=$(query "$SETTINGS" | awk 'NF >= 3 { print $1, $2, $3 }' | sort)
same "the 19 settings under $SETTINGS" "$got" "$(expected_settings | sort)"

# The uninstall record: the entry, the files and links, the settings key.
same "DisplayName" "$(value "$PRODUCT" DisplayName)" "Quorvane"
same "UninstallString (unquoted)" "$(value "$PRODUCT" UninstallString)" "$DEST_WIN\\Uninstall\\uninstall.exe Quorvane"
same "Files Entries" "$(value "$PRODUCT\\Files" Entries)" "7"
same "RegistryKeys Entries" "$(value "$PRODUCT\\RegistryKeys" Entries)" "1"
same "RegistryKey1 Key" "$(value "$PRODUCT\\RegistryKeys\\RegistryKey1" Key)" '\Software\Pellunar\Ombo\Teskor'
same "RegistryKey1 Root" "$(value "$PRODUCT\\RegistryKeys\\RegistryKey1" Root)" "0x2"
same "RegistryKey1 lists the 19 names" \
  "$(query "$PRODUCT\\RegistryKeys\\RegistryKey1\\Entries" | awk 'NF >= 2 && $2 == "REG_SZ" { print $1 }' | sort)" \
  "$(expected_settings | awk '{ print $1 }' | sort)"
for link in "$MENU_LINK" "$DESKTOP_LINK"; do
  windows=$(echo "C:${link#"$WINEPREFIX"/drive_c}" | tr / '\\')
  expect "the record lists $windows" bash -c "wine reg query '$PRODUCT\\Files' 2>/dev/null | tr -d '\r' | grep -qF '$windows'"
done

# Wine's list of installed programs (it needs both values).
expect "wine uninstaller --list shows Quorvane" bash -c "timeout 60 wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -qx 'Quorvane|||Quorvane'"

# The links, read by lnkinfo.
lnk_field() { lnkinfo "$1" 2>/dev/null | awk -F': ' -v f="$2" '{ k = $1; gsub(/^[ \t]+|[ \t]+$/, "", k) } k == f { print $2; exit }'; }
for link in "$MENU_LINK" "$DESKTOP_LINK"; do
  name=${link#"$USER_DIR"/}
  if [ ! -f "$link" ]; then
    fail "$name: no link"
    continue
  fi
  same "$name: target" "$(lnk_field "$link" 'Local path')" "$DEST_WIN\\Ombo_Teskor.exe"
  same "$name: working directory" "$(lnk_field "$link" 'Working directory')" "$DEST_WIN"
done

echo "== the second installation goes on with the records"
install install2
same "RegistryKeys Entries" "$(value "$PRODUCT\\RegistryKeys" Entries)" "2"
expect "RegistryKey2 is there" has_key "$PRODUCT\\RegistryKeys\\RegistryKey2"
same "Files Entries" "$(value "$PRODUCT\\Files" Entries)" "14"

# What the user made, and a count another product holds.
user_things() {
  echo "my notes" >"$DEST/notes.txt"
  timeout 60 wine reg add "$SETTINGS" /v UserValue /d mine /f >/dev/null 2>&1
  timeout 60 wine reg add "$SHARED" /v "$DEST_WIN\\Ombo_Teskor_KH.dll" /t REG_DWORD /d 2 /f >/dev/null 2>&1
}
# Nothing of the product is left; what the user made stays.
check_removed() { # how
  local f
  for f in "${FILES[@]}"; do
    [ "$f" = Ombo_Teskor_KH.dll ] && continue
    [ -e "$DEST/$f" ] && fail "$1: $f is still there"
  done
  expect "$1: the user's file stays" test -f "$DEST/notes.txt"
  expect "$1: the shared library stays" test -f "$DEST/Ombo_Teskor_KH.dll"
  same "$1: its shared count went down" \
    "$(query "$SHARED" | grep -F "$DEST_WIN\\Ombo_Teskor_KH.dll" | awk '{ print $NF }')" "0x1"
  # The running uninstall program goes at the restart, with its folder.
  # A loaded machine can make one `wine reg` start fail: asked again, a
  # missing value stays missing.
  local pending="" try
  for try in 1 2 3; do
    pending=$(query "$SESSION_MANAGER" /v PendingFileRenameOperations) && break
  done
  if grep -qiF 'Uninstall\uninstall.exe' <<<"$pending"; then
    ok "$1: uninstall.exe goes at the restart"
  else
    fail "$1: uninstall.exe goes at the restart: the pending renames are \"$pending\""
  fi
  expect "$1: no menu link" test ! -e "$MENU_LINK"
  expect "$1: no menu folder" test ! -e "$MENU_DIR"
  expect "$1: no desktop link" test ! -e "$DESKTOP_LINK"
  same "$1: only the user's value stays" "$(query "$SETTINGS" | awk 'NF >= 3 { print $1, $3 }')" "UserValue mine"
  expect "$1: no uninstall entry" bash -c "! wine reg query '$PRODUCT' >/dev/null 2>&1"
  expect "$1: not in Wine's list" bash -c "! timeout 60 wine uninstaller --list 2>/dev/null | grep -q '|||Quorvane'"
}
forget_user_things() {
  rm -f "$DEST/notes.txt" "$DEST/Ombo_Teskor_KH.dll"
  timeout 60 wine reg delete "$SETTINGS" /f >/dev/null 2>&1
  timeout 60 wine reg delete "$SHARED" /v "$DEST_WIN\\Ombo_Teskor_KH.dll" /f >/dev/null 2>&1
}

echo "== uninstall.exe /quiet Quorvane"
user_things
run_answering quiet uninstall wine "$DEST_WIN\\Uninstall\\uninstall.exe" /quiet Quorvane
same "uninstall.exe /quiet ends well" "$CODE" 0
check_removed "quiet"
timeout 120 wineboot -r >/dev/null 2>&1
expect "quiet: after the restart no Uninstall folder" test ! -e "$DEST/Uninstall"
forget_user_things

echo "== Wine's uninstaller runs the entry's command"
install install3
user_things
run_answering remove uninstall wine uninstaller --remove Quorvane
check_removed "wine uninstaller"
forget_user_things

echo "== installed again before the restart: the new files survive it"
install install4
timeout 120 wineboot -r >/dev/null 2>&1
expect "uninstall.exe is there after the restart" test -f "$DEST/Uninstall/uninstall.exe"
same "the entry still names it" "$(value "$PRODUCT" UninstallString)" "$DEST_WIN\\Uninstall\\uninstall.exe Quorvane"

echo "$failures failure(s)"
[ "$failures" = 0 ]
