#!/bin/bash
# The setup program's wizard driven by the keyboard as a user would, seen
# from outside in a scratch prefix of the test's own: the window titles, the
# windows' places on the screen, screenshots of every page, the exit code,
# the files on the Wine drive and the install record as `wine reg query`
# shows it. Walks the pages to a typed destination; refuses a relative
# destination with a message box; cancels on the Welcome page, on the
# destination page and while the files are copied (Escape, Alt+F4, the Cancel
# button); Alt+F4 on the wizard does nothing. The copy window is kept up by a
# distribution whose payload has one big file. Screenshots go to ARTEFACTS.
# The main window behind the wizard shows its gradient and embossed title,
# and the pages the wizard picture. WDRL_WIZARD_CASES="1 6" runs only the
# cases given.
# Usage: wizard.sh Teskor_Install.exe Teskor_Archive.exe PAYLOAD-DIR ARTEFACTS-DIR THEME.bmp \
#        Teskor_Install_Translated.exe
set -u
SETUP=$(realpath "$1")
ARCHIVER=$(realpath "$2")
PAYLOAD=$(realpath "$3")
SHOTS=$(realpath -m "$4")
THEME=$(realpath "$5") # the wizard picture as make_theme.py draws it
TRANSLATED=$(realpath "$6") # a build whose project shows its pages in French
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../project/driver_lib.sh" wizard
started=$SECONDS

RECORD='HKLM\Software\Wendrel\Install'
PRODUCT='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane'
FILES=(Ombo_Teskor.exe Ombo_Teskor.GID Ombo_Teskor.Hlp Ombo_Teskor_KH.dll Ombo_Teskor_SD.exe)
WIZARD='^(Welcome|Choose Destination Location|Setup complete|Setup incomplete)$'
TYPED_WIN='C:\Quorvane Test'
TYPED=$WINEPREFIX/drive_c/Quorvane\ Test
rm -rf "$SHOTS" && mkdir -p "$SHOTS" "$DIST_UNIX"
read -r SCREEN_W SCREEN_H < <(xdotool getdisplaygeometry)

same() { # description got wanted
  if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: got \"$2\", wanted \"$3\""; fi
}
wanted() { [ -z "${WDRL_WIZARD_CASES:-}" ] || [[ " $WDRL_WIZARD_CASES " == *" $1 "* ]]; }

# The machine as before any installation of Quorvane.
reset_state() {
  rm -rf "$WINEPREFIX/drive_c/Program Files/Pellunar" "$TYPED" "$WINEPREFIX/drive_c/Quorvane"
  rm -f "$WINEPREFIX/drive_c/windows/WdrlInstallOrder.txt"
  delete_key 'HKLM\Software\Wendrel'
  delete_key "$PRODUCT"
}

# ---- the setup program and its windows, seen from outside -------------------

# Starts the setup from the distribution in $1 (a Windows path); sets PID.
start_setup() { # tag dist
  timeout 300 wine "$SETUP" -d "-s$2" >"$OUT/$1.out" 2>&1 &
  PID=$!
}

# Prints the id of the first visible window whose title matches the regex,
# waiting for it up to $2 seconds; fails when it does not come or the setup
# ends first.
wait_window() { # regex seconds
  local end=$((SECONDS + $2)) w
  while [ "$SECONDS" -le "$end" ]; do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$w" ]; then
      echo "$w"
      return 0
    fi
    kill -0 "$PID" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# Waits until no visible window has a title matching the regex.
wait_gone() { # regex seconds
  local end=$((SECONDS + $2))
  while [ "$SECONDS" -le "$end" ]; do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  return 1
}

title() { xdotool getwindowname "$1" 2>/dev/null; }

# Waits for a page of the wizard and checks its title; sets WIN. The page is
# given time to draw itself before the screenshot.
expect_page() { # tag caption [seconds]
  WIN=$(wait_window "^$2\$" "${3:-60}")
  if [ -z "$WIN" ]; then
    local now
    now=$(xdotool search --onlyvisible --name "$WIZARD" 2>/dev/null | head -1)
    fail "$1: no page \"$2\" (the wizard shows \"$([ -n "$now" ] && title "$now")\")"
    shot "$1-missing-$2"
    return 1
  fi
  ok "$1: the page \"$2\" is shown"
  sleep 0.5
  return 0
}

pixel() { convert "$1" -crop "1x1+$2+$3" txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -1; }
shot() { import -window root "$SHOTS/$1.png" 2>/dev/null; }

# Keys go to the window with the input focus; focusing first and pressing
# without --window delivers each key once under Wine.
press() { # window keys...
  local w=$1
  shift
  timeout 10 xdotool windowfocus --sync "$w" >/dev/null 2>&1 || xdotool windowfocus "$w" >/dev/null 2>&1
  sleep 0.2
  xdotool key --delay 120 "$@"
}

# Waits for the setup to end; sets CODE (124 when it had to be stopped).
wait_exit() { # seconds
  local end=$((SECONDS + $1))
  while kill -0 "$PID" 2>/dev/null && [ "$SECONDS" -le "$end" ]; do sleep 0.2; done
  if kill -0 "$PID" 2>/dev/null; then
    kill "$PID" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    wineserver -p >/dev/null 2>&1
  fi
  CODE=0
  wait "$PID" || CODE=$?
}

# Outer geometry of a window: sets X Y W H.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  W=${WIDTH:-0} H=${HEIGHT:-0} X=${X:-0} Y=${Y:-0}
}

# The wizard: 478x395, centred on the screen.
check_wizard_place() { # tag window
  geometry "$2"
  echo "   ($1: the wizard is ${W}x${H} at $X,$Y on a ${SCREEN_W}x${SCREEN_H} screen)"
  same "$1: the wizard's size" "${W}x${H}" "478x395"
  same "$1: the wizard is centred" "$X,$Y" "$(((SCREEN_W - 478) / 2)),$(((SCREEN_H - 395) / 2))"
}

# The run was cancelled: "Setup incomplete", Finish, exit code 2, no record of
# the install left. A crash of the program shows Wine's "Program Error" box,
# which is kept as a screenshot and closed.
expect_cancelled() { # tag
  local tag=$1 end crashed=""
  if expect_page "$tag" "Setup incomplete" 120; then
    shot "$tag-incomplete"
    press "$WIN" Return
  fi
  end=$((SECONDS + 60))
  while kill -0 "$PID" 2>/dev/null && [ "$SECONDS" -le "$end" ]; do
    crashed=$(xdotool search --onlyvisible --name '^Program Error$' 2>/dev/null | head -1)
    [ -n "$crashed" ] && break
    sleep 0.2
  done
  if [ -n "$crashed" ]; then
    sleep 0.5
    shot "$tag-crash"
    fail "$tag: Teskor_Install.exe crashes after Finish on \"Setup incomplete\" (Wine's Program Error box, $SHOTS/$tag-crash.png)"
    press "$crashed" Return
  fi
  wait_exit 60
  if [ -n "$crashed" ] && [ "$CODE" != 2 ]; then
    fail "$tag: the setup ends with exit code $CODE after its crash, wanted 2"
  else
    same "$tag: the setup ends as cancelled by the user (exit code)" "$CODE" 2
  fi
  expect "$tag: no install record is left" bash -c "! timeout 120 wine reg query '$RECORD' /s 2>/dev/null | tr -d '\r' | grep -qi 'Teskor_Install'"
}

# Nothing of the product at the destination: the run was cancelled before
# the copy.
expect_nothing_installed() { # tag dest-dir
  same "$1: no product file at the destination" "$(ls -A "$2" 2>/dev/null | tr '\n' ' ')" ""
  expect "$1: no uninstall entry of Quorvane" bash -c "! timeout 120 wine reg query '$PRODUCT' >/dev/null 2>&1"
}

# The product files at a destination that hold their payload's bytes.
complete_files() { # dir [payload]
  local f payload=${2:-$PAYLOAD} list=""
  for f in "${FILES[@]}"; do
    cmp -s "$payload/$f" "$1/$f" && list="$list $f"
  done
  echo "${list# }"
}

# From the Welcome page to the destination page (Return presses Next).
to_destination() { # tag
  expect_page "$1" Welcome || return 1
  press "$WIN" Return
  expect_page "$1" "Choose Destination Location"
}

# Types a destination: from Next, Tab goes to Cancel, then to the edit, which
# selects all of its text.
type_destination() { # window text
  press "$1" Tab Tab
  xdotool type --delay 60 "$2"
}

# Tab from the edit goes to Browse, < Previous, Next >; Return presses it.
press_next_from_edit() { press "$1" Tab Tab Tab Return; }

echo "== making the distribution"
timeout 180 wine "$ARCHIVER" "$DIST" >"$OUT/archive.out" 2>&1 || { cat "$OUT/archive.out"; exit 1; }

# ---- 1. a typed destination, to the end --------------------------------------
if wanted 1; then
  echo "== 1. a typed destination, to the end"
  reset_state
  start_setup typed "$DIST"
  if expect_page typed Welcome; then
    shot welcome
    check_wizard_place typed "$WIN"
    # The main window fills the screen behind the wizard: its gradient right
    # of the wizard, its title at the top left; the page's picture.
    expect "typed: the main window's gradient, blue to black, right of the wizard" \
      python3 "$HERE/screen_checks.py" gradient "$SHOTS/welcome.png" $(((X + W + SCREEN_W) / 2)) 40 $((SCREEN_H - 20))
    expect "typed: the embossed title holds white, grey and black" \
      python3 "$HERE/screen_checks.py" title "$SHOTS/welcome.png" 0 20 300 60
    expect "typed: the Welcome page shows the wizard picture" \
      python3 "$HERE/screen_checks.py" theme "$SHOTS/welcome.png" "$THEME" "$X" "$Y" 200 "$H"
    press "$WIN" Return
    if expect_page typed "Choose Destination Location"; then
      shot destination
      type_destination "$WIN" "$TYPED_WIN"
      sleep 0.3
      shot destination-typed
      press_next_from_edit "$WIN"
      if expect_page typed "Setup complete" 180; then
        shot complete
        press "$WIN" Return
      fi
    fi
  fi
  wait_exit 60
  same "typed: the setup ends well (exit code)" "$CODE" 0
  same "typed: the five product files at $TYPED_WIN" "$(complete_files "$TYPED")" "${FILES[*]}"
  expect "typed: uninstall.exe in $TYPED_WIN\\Uninstall" test -f "$TYPED/Uninstall/uninstall.exe"
  expect "typed: nothing at the default destination" test ! -e "$DEST"
fi

# ---- 2. a relative destination is refused --------------------------------------
if wanted 2; then
  echo "== 2. a relative destination is refused"
  reset_state
  start_setup relative "$DIST"
  if to_destination relative; then
    type_destination "$WIN" 'Quorvane'
    press_next_from_edit "$WIN"
    box=$(wait_window '^Teskor_Install$' 30)
    if [ -n "$box" ]; then
      ok "relative: a message box \"Teskor_Install\" appears"
      sleep 0.5
      shot relative-refused
      same "relative: the page stays" "$(title "$WIN")" "Choose Destination Location"
      press "$box" Return
      expect "relative: the message box goes" wait_gone '^Teskor_Install$' 30
      sleep 0.5
      same "relative: the page is still the destination page" "$(title "$WIN")" "Choose Destination Location"
      press "$WIN" Escape
    else
      fail "relative: no message box"
      shot relative-no-box
      press "$WIN" Escape
    fi
  fi
  expect_cancelled relative
  expect_nothing_installed relative "$WINEPREFIX/drive_c/Quorvane"
  expect "relative: nothing at the default destination" test ! -e "$DEST"
fi

# ---- 3. Escape on the Welcome page ---------------------------------------------
if wanted 3; then
  echo "== 3. Escape on the Welcome page"
  reset_state
  start_setup welcome-escape "$DIST"
  expect_page welcome-escape Welcome && press "$WIN" Escape
  expect_cancelled welcome-escape
  expect_nothing_installed welcome-escape "$DEST"
fi

# ---- 4. Escape on the destination page -------------------------------------------
if wanted 4; then
  echo "== 4. Escape on the destination page"
  reset_state
  start_setup destination-escape "$DIST"
  to_destination destination-escape && press "$WIN" Escape
  expect_cancelled destination-escape
  expect_nothing_installed destination-escape "$DEST"
fi

# ---- 5. Alt+F4 on the wizard does nothing; the Cancel button ends the run ----------
if wanted 5; then
  echo "== 5. Alt+F4 on the wizard, then the Cancel button"
  reset_state
  start_setup altf4 "$DIST"
  if expect_page altf4 Welcome; then
    press "$WIN" alt+F4
    sleep 1.5
    same "altf4: the wizard still shows Welcome" "$(title "$WIN")" "Welcome"
    expect "altf4: the wizard is still visible" bash -c "xdotool search --onlyvisible --name '^Welcome\$' | grep -qx '$WIN'"
    expect "altf4: the setup still runs" kill -0 "$PID"
    shot altf4-welcome
    # From Next, Tab goes to Cancel; Return presses it.
    press "$WIN" Tab Return
  fi
  expect_cancelled altf4
  expect_nothing_installed altf4 "$DEST"
fi

# ---- 6. the copy window, with a big file to copy ------------------------------------
# The project names the payload folder by its path on drive Z:. The archive of
# the big distribution is made while Z: shows a copy of the file system in
# which that folder is the big payload (each other entry links to the real one).
make_big_distribution() {
  BIG_PAYLOAD=$SCRATCH/big-payload
  BIG_DIST_UNIX=$SCRATCH/bigdist
  BIG_DIST='Z:'$(echo "$BIG_DIST_UNIX" | tr / '\\')
  mkdir -p "$BIG_PAYLOAD" "$BIG_DIST_UNIX"
  cp -a "$PAYLOAD"/. "$BIG_PAYLOAD"/
  # Compressible, but each line differs.
  seq -f 'Quorvane test data, line %.0f of the big program file; abcdefghijklmnopqrstuvwxyz' 1 3400000 \
    >"$BIG_PAYLOAD/Ombo_Teskor_SD.exe"
  echo "   (the big file: $(stat -c %s "$BIG_PAYLOAD/Ombo_Teskor_SD.exe") bytes)"
  local root=$SCRATCH/zroot dir=/ mirror sub part entry
  mirror=$root
  mkdir -p "$root"
  IFS=/ read -r -a parts <<<"${PAYLOAD#/}"
  for part in "${parts[@]}"; do
    for entry in "$dir"/* "$dir"/.[!.]*; do
      [ -e "$entry" ] || [ -L "$entry" ] || continue
      sub=$(basename "$entry")
      [ "$sub" = "$part" ] || ln -s "$entry" "$mirror/$sub"
    done
    dir=${dir%/}/$part
    mirror=$mirror/$part
    if [ "$dir" = "$PAYLOAD" ]; then ln -s "$BIG_PAYLOAD" "$mirror"; else mkdir -p "$mirror"; fi
  done
  local z=$WINEPREFIX/dosdevices/z:
  ln -sfn "$root" "$z"
  timeout 600 wine "$ARCHIVER" "$BIG_DIST" >"$OUT/bigarchive.out" 2>&1
  local code=$?
  ln -sfn / "$z"
  [ "$code" = 0 ] || { cat "$OUT/bigarchive.out"; return 1; }
  grep -q 'Ombo_Teskor_SD.exe' "$OUT/bigarchive.out" || return 1
  echo "   (its archive: $(stat -c %s "$BIG_DIST_UNIX/files.1") bytes)"
}

# The copy window: 474x146, centred across and 30 above the bottom of the
# work area (the screen less a caption's height).
check_copy_place() { # tag window
  geometry "$2"
  local caption=$((SCREEN_H - 146 - 30 - Y))
  echo "   ($1: the copy window is ${W}x${H} at $X,$Y; the caption height it implies: $caption)"
  same "$1: the copy window's size" "${W}x${H}" "474x146"
  same "$1: the copy window is centred across" "$X" "$(((SCREEN_W - 474) / 2))"
  expect "$1: the copy window is 30 above the bottom less a caption (15..40)" test "$caption" -ge 15 -a "$caption" -le 40
}

cancel_copy() { # tag keys...
  local tag=$1
  shift
  reset_state
  start_setup "$tag" "$BIG_DIST"
  if to_destination "$tag"; then
    press "$WIN" Return
    # The copy runs at hundreds of MB/s: the setup is held still (SIGSTOP)
    # the moment its copy window shows, while the window is looked at and
    # the keys are queued; they reach it when it goes on.
    local copy="" end=$((SECONDS + 120))
    while [ -z "$copy" ] && [ "$SECONDS" -le "$end" ] && kill -0 "$PID" 2>/dev/null; do
      copy=$(xdotool search --onlyvisible --name '^Copying installation files$' 2>/dev/null | head -1)
      [ -z "$copy" ] && sleep 0.05
    done
    if [ -n "$copy" ]; then
      pkill -STOP -P "$PID" 2>/dev/null # the program under timeout
      ok "$tag: the window \"Copying installation files\" is shown"
      shot "$tag-copying"
      check_copy_place "$tag" "$copy"
      timeout 10 xdotool windowfocus --sync "$copy" >/dev/null 2>&1 || xdotool windowfocus "$copy" >/dev/null 2>&1
      xdotool key --delay 120 "$@"
      pkill -CONT -P "$PID" 2>/dev/null
      if wait_window '^Setup incomplete$' 60 >/dev/null; then
        if wait_gone '^Copying installation files$' 5; then
          ok "$tag: the copy window goes"
        else
          fail "$tag: the copy window stays up beside \"Setup incomplete\" ($SHOTS/$tag-incomplete.png)"
        fi
      fi
    else
      fail "$tag: no copy window"
      shot "$tag-no-copy-window"
    fi
  fi
  expect_cancelled "$tag"
  # The copy stopped: the big file was not written out whole.
  expect "$tag: the big file is not complete at the destination" bash -c "! cmp -s '$BIG_PAYLOAD/Ombo_Teskor_SD.exe' '$DEST/Ombo_Teskor_SD.exe'"
  echo "   ($tag: left at the destination: $(cd "$DEST" 2>/dev/null && find . -type f -printf '%P(%s) ' | sort)" \
    "uninstall entry: $(timeout 120 wine reg query "$PRODUCT" >/dev/null 2>&1 && echo yes || echo no))"
}

if wanted 6; then
  echo "== 6. the copy window, cancelled"
  if make_big_distribution; then
    ok "a distribution with a big file"
    cancel_copy copy-escape Escape
    [ -f "$SHOTS/copy-escape-copying.png" ] && cp "$SHOTS/copy-escape-copying.png" "$SHOTS/copying.png"
    cancel_copy copy-altf4 alt+F4
    # Not cancelled, the same distribution installs whole: the cancels above
    # are what stopped the copy.
    reset_state
    start_setup copy-whole "$BIG_DIST"
    if to_destination copy-whole; then
      press "$WIN" Return
      wait_window '^Copying installation files$' 120 >/dev/null && copy_from=$SECONDS
      expect_page copy-whole "Setup complete" 300 && press "$WIN" Return
      # How much time the cancels above had, for judging their margin.
      echo "   (copy-whole: the copy window was up for about $((SECONDS - ${copy_from:-$SECONDS})) s)"
    fi
    wait_exit 60
    same "copy-whole: the setup ends well (exit code)" "$CODE" 0
    expect "copy-whole: the big file is complete at the destination" cmp -s "$BIG_PAYLOAD/Ombo_Teskor_SD.exe" "$DEST/Ombo_Teskor_SD.exe"
  else
    fail "a distribution with a big file"
  fi
fi

# ---- 7. the translated build ------------------------------------------------
if wanted 7; then
  echo "== 7. a build whose project brings French lines"
  reset_state
  timeout 300 wine "$TRANSLATED" -d "-s$DIST" >"$OUT/french.out" 2>&1 &
  PID=$!
  if expect_page french Bienvenue; then
    shot welcome-fr
    press "$WIN" Return
    if expect_page french "Choix du dossier de destination"; then
      shot destination-fr
      press "$WIN" Escape
      if expect_page french "Installation incompl$(printf '\xc3\xa8')te" 120; then
        shot incomplete-fr
        press "$WIN" Return
      fi
    fi
  fi
  wait_exit 60
  same "french: the setup ends as cancelled by the user (exit code)" "$CODE" 2
fi

# The last page's screenshot under the plain name too.
[ -f "$SHOTS/welcome-escape-incomplete.png" ] && cp "$SHOTS/welcome-escape-incomplete.png" "$SHOTS/incomplete.png"
echo "== $((SECONDS - started)) s, $failures failed; screenshots in $SHOTS"
exit $((failures > 0))
