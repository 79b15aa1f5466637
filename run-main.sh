#!/bin/bash
# The main job: sets up the machine, builds the setup program of Quorvane and
# runs it under Wine in a fresh scratch prefix with a virtual display, showing
# what it did (output kept in build/main-job/).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD=${WENDREL_BUILD:-$ROOT/build}
OUT=$BUILD/main-job
"$ROOT/scripts/setup.sh" "$BUILD"
source "$ROOT/scripts/wine-session.sh"
rm -rf "$OUT" && mkdir -p "$OUT"
wendrel_session_start "$BUILD/main-build-session"

PROGRAM=$BUILD/project/Teskor_Install.exe
SETUP='C:\Downloads\setup.exe'
# Runs the setup program with the given arguments, keeps a screenshot of
# the screen when its first message box is up, answers its message boxes
# with Return as a user would, and prints its exit code and messages.
run_setup() { # tag description program args...
  local tag=$1 what=$2 program=$3
  shift 3
  echo "== $program ${*:-(no arguments)}: $what"
  wine "$program" "$@" >"$OUT/$tag.out" 2>&1 &
  local pid=$!
  local shot=""
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$shot" ] && [ -n "$(xdotool search --onlyvisible --name '^(Install Quorvane|Teskor_Install)$' 2>/dev/null)" ]; then
      sleep 0.3 # let the window draw itself
      import -window root "$OUT/$tag.png" 2>/dev/null && shot=$OUT/$tag.png
    fi
    # Each wizard page once on a screenshot, then Return takes its default.
    local w page
    for w in $(xdotool search --name '^(Welcome|Choose Destination Location|Copying installation files|Setup complete|Setup incomplete)$' 2>/dev/null); do
      page=$(xdotool getwindowname "$w" 2>/dev/null) || continue
      if [ ! -f "$OUT/$tag-${page// /_}.png" ]; then
        sleep 0.4 # let it draw itself
        import -window root "$OUT/$tag-${page// /_}.png" 2>/dev/null && echo "   the page \"$page\": $OUT/$tag-${page// /_}.png"
      fi
    done
    wendrel_answer_boxes_once '(Teskor_Install|Setup)'
    wendrel_accept_wizard_once
    sleep 0.2
  done
  local code=0
  wait "$pid" || code=$?
  echo "   it ended with exit code $code${shot:+; screenshot: $shot}"
  if [ -s "$OUT/$tag.out" ]; then
    echo "   its messages:"
    tr -d '\r' <"$OUT/$tag.out" | grep -v '^$' | sed 's/^/     /'
  fi
  return "$code"
}

winpath() { echo "Z:$1" | tr / '\\'; }
query() { wine reg query "$@" 2>/dev/null | tr -d '\r' | grep -v '^$'; }

winpath() { echo "Z:$1" | tr / '\\'; }
query() { wine reg query "$@" 2>/dev/null | tr -d '\r' | grep -v '^$'; }

# ---- the build machine: the setup program builds its distribution -----------------
BUILDER=$OUT/builder
DIST=$OUT/distribution
mkdir -p "$BUILDER"
cp "$PROGRAM" "$BUILDER/Teskor_Install.exe"
printf '%s\r\n' "$(winpath "$DIST")" >"$BUILDER/BUILD.INF"
echo "== the build prefix: the install library (the folder of WendrelLoadProgram.exe and W32V40.TXT) on the search path"
wine reg add 'HKCU\Software\Wendrel Library\Environment' /v 'Library Search Path' /d '$(WENDREL)\tools' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wendrel Library' /v RootDir /d "$(winpath "$BUILD")" /f >/dev/null 2>&1
query 'HKCU\Software\Wendrel Library\Environment' | sed 's/^/   /'
query 'HKLM\Software\Wendrel Library' | sed 's/^/   /'
echo "   BUILD.INF: $(head -n 1 "$BUILDER/BUILD.INF" | tr -d '\r')"
code=0
run_setup build "build mode: the distribution into the folder BUILD.INF names" "$BUILDER/Teskor_Install.exe" -b || code=$?
echo "== the distribution, read by an independent reader (tests/project/dist_reader.py)"
python3 "$ROOT/tests/project/dist_reader.py" "$DIST" --setup-program "$PROGRAM" --payload "$BUILD/payload" |
  sed 's/^/   /' || code=1
wendrel_session_stop

# ---- a fresh machine: setup.exe alone ------------------------------------------------
wendrel_session_start "$BUILD/main-session"
mkdir -p "$WINEPREFIX/drive_c/Downloads"
cp "$DIST/setup.exe" "$WINEPREFIX/drive_c/Downloads/setup.exe"
TEMP_DIR=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -iname temp -type d | grep -v Public | head -1)
echo "== a fresh prefix: setup.exe copied alone to C:\Downloads ($(stat -c %s "$DIST/setup.exe") bytes)"
run_setup run "the installation, as a user starts it" "$SETUP" || code=$?
# The loading program's copy goes when the setup ends (a clean-up batch may still run).
for _ in $(seq 100); do
  [ -z "$(find "$TEMP_DIR" -maxdepth 1 -name 'WDRL*' 2>/dev/null)" ] && break
  sleep 0.2
done
if [ -n "$(find "$TEMP_DIR" -maxdepth 1 -name 'WDRL*' 2>/dev/null)" ]; then
  echo "   the setup program's copy is still under the temporary folder: $(cd "$TEMP_DIR" && ls -d WDRL*)"
  code=1
else
  echo "   no copy of the setup program is left under the temporary folder (${TEMP_DIR#"$WINEPREFIX"/drive_c/})"
fi

DEST="$WINEPREFIX/drive_c/Program Files/Pellunar/Ombo/Teskor"
echo "== what the installation left in the prefix"
echo "   installed files (C:\\Program Files\\Pellunar\\Ombo\\Teskor):"
for f in "$BUILD"/payload/*; do
  name=$(basename "$f")
  target=$(find "$DEST" -maxdepth 2 -name "$name" 2>/dev/null | head -1)
  if [ -z "$target" ]; then
    echo "     $name: MISSING"
    code=1
  elif cmp -s "$f" "$target"; then
    echo "     ${target#"$DEST"/}: $(stat -c %s "$target") bytes, same bytes as the payload"
  else
    echo "     ${target#"$DEST"/}: DIFFERENT from the payload"
    code=1
  fi
done
echo "   the uninstall record's files (HKLM\\...\\Uninstall\\Quorvane\\Files):"
query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane\Files' | sed 's/^/     /'
echo "   help registration (HKLM\\SOFTWARE\\Microsoft\\Windows\\Help):"
query 'HKLM\SOFTWARE\Microsoft\Windows\Help' | grep -i teskor | sed 's/^/     /'
echo "   the install order file (C:\\windows\\WdrlInstallOrder.txt):"
tr -d '\r' <"$WINEPREFIX/drive_c/windows/WdrlInstallOrder.txt" | sed 's/^/     /'
if query 'HKLM\Software\Wendrel\Install' >/dev/null; then
  echo "   the install record is still there:"
  query 'HKLM\Software\Wendrel\Install' /s | sed 's/^/     /'
else
  echo "   the install record is gone (the run ended well)"
fi

echo "   the settings (HKCU\\Software\\Pellunar\\Ombo\\Teskor):"
query 'HKCU\Software\Pellunar\Ombo\Teskor' | sed 's/^/     /'
PRODUCT='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
echo "   the uninstall entry and its record of the settings key:"
query "$PRODUCT" | sed 's/^/     /'
query "$PRODUCT\RegistryKeys" /s | grep -v '^ *[A-Z][A-Za-z]*  *REG_SZ  *$' | sed 's/^/     /'
echo "   Wine's list of installed programs (wine uninstaller --list):"
wine uninstaller --list 2>/dev/null | tr -d '\r' | sed 's/^/     /'
USER_DIR=$(ls -d "$WINEPREFIX"/drive_c/users/* | grep -v '/Public$' | head -1)
for link in "$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvane/Quorvane.LNK" \
  "$USER_DIR/Desktop/Quorvane.LNK"; do
  echo "   the link ${link#"$WINEPREFIX"/drive_c/} as lnkinfo reads it:"
  if [ -f "$link" ]; then
    lnkinfo "$link" 2>/dev/null | grep -E 'Local path|Working directory|Command line arguments|Hot Key' | sed 's/^\s*/     /'
  else
    echo "     MISSING"
    code=1
  fi
done

echo "== the user keeps a file of their own in the product's folder: My notes.txt"
echo "notes of the user" >"$DEST/My notes.txt"
echo "== uninstall.exe /quiet Quorvane: removing the product again"
wine "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Uninstall\\uninstall.exe" /quiet Quorvane >"$OUT/uninstall.out" 2>&1 && ucode=0 || ucode=$?
echo "   it ended with exit code $ucode"
tr -d '\r' <"$OUT/uninstall.out" | grep -v '^$' | sed 's/^/     /'
echo "   left in C:\\Program Files until the restart (the running uninstall program and its folders):"
(cd "$WINEPREFIX/drive_c/Program Files" && find Pellunar 2>/dev/null | sed 's/^/     /')
echo "   the menu folder: $([ -e "$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvane" ] && echo "still there" || echo gone)"
echo "   the desktop link: $([ -e "$USER_DIR/Desktop/Quorvane.LNK" ] && echo "still there" || echo gone)"
echo "   the settings key: $(query 'HKCU\Software\Pellunar' >/dev/null && echo "still there" || echo gone)"
echo "   the uninstall entry: $(query "$PRODUCT" >/dev/null && echo "still there" || echo gone)"
[ "$ucode" = 0 ] || code=1
echo "== a restart (wineboot -r) performs the deletions the uninstall program asked for"
timeout 120 wineboot -r >/dev/null 2>&1
echo "   left in C:\\Program Files after the restart:"
(cd "$WINEPREFIX/drive_c/Program Files" && find Pellunar -type f 2>/dev/null | sed 's/^/     /')
left=$(cd "$WINEPREFIX/drive_c/Program Files" && find Pellunar -type f 2>/dev/null | grep -v 'My notes.txt$' || true)
if [ -n "$left" ] || [ ! -f "$DEST/My notes.txt" ]; then
  echo "   WRONG: the uninstall should leave only the user's file"
  code=1
else
  echo "   nothing the setup installed is left; the user's own file stays"
fi

echo "== the install tree of the Quorvane project as the engine resolves it in this prefix"
wine "$BUILD/project/Teskor_Tree.exe" 2>&1 | tr -d '\r' | sed 's/^/   /'
exit "$code"
